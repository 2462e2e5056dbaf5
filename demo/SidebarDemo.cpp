// What a host sees of the kit's sidebar: the menu the service configures beneath the host's own screen,
// uncovered by a call of the host; a message from a seeded user announced by the banner and the inbox
// badge; the welcome popup of the first-run hint; and the activation ribbon a host places in its screens.
// The sidebar is installed as the host adds it, through the session object and the screen registry.
#include <memory>
#include <optional>
#include <string>

#include "DemoHost.h"
#include "DemoSteps.h"
#include "VelkoraKitScreens.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/Label.h"
#include "platform/ui/Window.h"
#include "server/VelkoraServerApi.h"
#include "server/VelkoraServerClientAgent.h"
#include "server/VelkoraServerEndpoint.h"
#include "server/utils/RequestText.h"
#include "server/utils/url_fetcher/VelkoraUrlFetcher.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppData.h"
#include "shell/VelkoraActivationRibonView.h"
#include "shell/VelkoraMessageNotificationView.h"
#include "shell/VelkoraViewController.h"

namespace {

using namespace velkora;

std::shared_ptr<VelkoraMessageNotificationView> bannerOnScreen() {
    for (auto& w : ui::Application::instance().windows())
        if (!w->isHidden())
            for (auto& v : w->subviews())
                if (auto b = std::dynamic_pointer_cast<VelkoraMessageNotificationView>(v)) return b;
    return nullptr;
}

std::shared_ptr<VelkoraDefaultOKPopupView> popupOnScreen() {
    for (auto& w : ui::Application::instance().windows())
        if (!w->isHidden() && w->windowLevel() == ui::WindowLevel::Alert)
            for (auto& v : w->subviews())
                if (auto p = std::dynamic_pointer_cast<VelkoraDefaultOKPopupView>(v)) return p;
    return nullptr;
}

} // namespace

VELKORA_DEMO_STEP(sidebar, 420, DemoStep::NeedsService) {
    using namespace velkora;
    if (!demo.ensureSession()) return false;
    auto& loop = demo.loop();
    auto caller = std::make_shared<int>(0);
    bool configured = false;
    VelkoraServerApi::getAppData(VelkoraCallback::make(caller, [&](const foundation::Value&) { configured = true; }));
    loop.runUntil([&] { return configured; }, 10);
    auto data = VelkoraAgentInternal::instance().appData();
    if (!data) {
        demo.say("the demo application's configuration did not come");
        return false;
    }
    // Banners for incoming messages; the hint is shown by this step itself.
    data->setActionOnIncomingMessage(1);
    data->setWelcomePopupMode(0);

    // The host's screen, and the sidebar beneath it as the session object installs it.
    auto window = ui::Window::createFullScreen();
    auto host = std::make_shared<ui::ViewController>();
    host->view()->setBackgroundColor(ui::Color::fromHex("#F4F1EA"));
    auto hostLabel = ui::Label::create({20, 200, 280, 40});
    hostLabel->setText("The host's own screen");
    hostLabel->setTextAlignment(ui::TextAlignment::Center);
    host->view()->addSubview(hostLabel);
    window->setRootViewController(host);
    window->makeKeyAndVisible();
    // The host adds the sidebar to its window, as it would through the public interface; the header shows
    // the user the session holds.
    demo::ensureUserData(demo);
    auto& agent = VelkoraAgentInternal::instance();
    registerKitScreens();
    agent.addSidebar(window, true);
    auto sidebar = std::dynamic_pointer_cast<VelkoraViewController>(agent.velkoraVC());
    if (!sidebar) {
        demo.say("the sidebar was not installed");
        window->setHidden(true);
        return false;
    }

    sidebar->openPanel();
    loop.runUntil([] { return false; }, 1.0);
    std::string rows;
    for (auto& c : sidebar->panelView()->commands())
        rows += (rows.empty() ? "" : ", ") + c->title().value_or("?");
    demo.say("the sidebar opened over the host with the rows: " + rows);
    bool ok = demo.writeScreenPng("sidebar_open");

    demo::seededUserWrites(demo, "u-mira", "Coffee after the match?", "text/plain");
    VelkoraServerApi::updateNow();
    loop.runUntil([] { return bannerOnScreen() != nullptr; }, 20);
    if (auto banner = bannerOnScreen()) {
        loop.runUntil([] { return false; }, 0.5);
        demo.say("u-mira wrote: the banner says \"" + banner->messageLabel()->text() + "\" and the inbox badge reads " +
                 std::to_string(sidebar->panelView()->commands().size() > 1
                                    ? sidebar->panelView()->commands()[1]->badgeNumber()
                                    : 0));
        ok = demo.writeScreenPng("sidebar_banner") && ok;
        banner->closeNotificationTapped(nullptr);
    } else {
        demo.say("no banner came for u-mira's message");
        ok = false;
    }

    data->setWelcomePopupMode(2);
    data->setWelcomePopupType(1);
    data->setWelcomePopupDuration(30);
    sidebar->closePanel();
    loop.runUntil([] { return false; }, 1.0);
    sidebar->showNotificationAboutVelkora();
    if (auto popup = popupOnScreen()) {
        demo.say("the welcome popup: \"" + popup->messageLable()->text() + "\"");
        ok = demo.writeScreenPng("sidebar_welcome_popup") && ok;
        popup->close();
    } else {
        ok = false;
    }

    // The user signs out from the sidebar's header: the kit asks first.
    sidebar->openPanel();
    loop.runUntil([] { return false; }, 1.0);
    sidebar->emailSignoutClickedInView(sidebar->view().get());
    if (auto popup = popupOnScreen()) {
        demo.say(std::string("signing out asks first: \"") + popup->titleLabel()->text() + "\"; the user cancels");
        ok = demo.writeScreenPng("sidebar_signout_confirm") && ok;
        popup->cancelTapped(nullptr);
    } else {
        demo.say("no question came before signing out");
        ok = false;
    }
    sidebar->closePanel();
    loop.runUntil([] { return false; }, 1.0);

    auto ribbon = VelkoraActivationRibonView::create();
    ribbon->setButtonType(0, 1);
    ok = demo.writePng(*ribbon, "sidebar_ribbon") && ok;

    agent.closeView();
    window->setHidden(true);
    return ok;
}
