// What a host sees of the kit's shared widgets: a question in its own window over the host's screen, the
// rating it leads to, a notice that goes by itself, the pull-to-refresh states and a panel of the
// stretchable widgets, with the name and the rating address the service gives the application.
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "BuildPaths.h"
#include "BuildTreeModules.h"
#include "DemoSteps.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/Image.h"
#include "platform/ui/Label.h"
#include "platform/ui/TouchRouter.h"
#include "platform/ui/Window.h"
#include "server/VelkoraServerApi.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"
#include "data/VelkoraAppSettings.h"
#include "shell/VelkoraCellBackgroundView.h"
#include "shell/VelkoraDefaultNotificationPopupView.h"
#include "shell/VelkoraDefaultOKPopupView.h"
#include "shell/VelkoraRateUsUtility.h"
#include "shell/VelkoraRefreshTableHeaderView.h"
#include "shell/VelkoraResizableTextField.h"
#include "shell/VelkoraResizeableButton.h"
#include "shell/VelkoraStretchableBadgeView.h"
#include "shell/VelkoraWidgetClasses.h"

namespace {

using namespace velkora;

// Rates the application when the user says yes.
struct RatingQuestion : VelkoraDefaultOKPopupViewDelegate {
    explicit RatingQuestion(demo::Demo& d) : demo(d) {}
    demo::Demo& demo;
    bool answered = false;
    void popupOkTapped() override {
        answered = true;
        const std::string rateUrl = VelkoraAppSettings::rateUrl().value_or("");
        demo.say("the user chose to rate; the rating address is " + rateUrl);
        VelkoraRateUsUtility::rateApp(VelkoraRateUsUtility::getAppIdFromUrl(rateUrl), nullptr);
    }
    void popupCancelTapped() override { answered = true; }
};

std::shared_ptr<ui::Window> hostWindow(const std::string& appName) {
    auto window = ui::Window::createFullScreen();
    window->setBackgroundColor(ui::Color::fromHex("#E9EDF2"));
    auto heading = ui::Label::create({20, 40, 280, 30});
    heading->setText(appName);
    heading->setFont(ui::Font::boldSystemFont(22));
    window->addSubview(heading);
    window->makeKeyAndVisible();
    return window;
}

// A log-in panel as a screen of the kit would build it: stretched field and buttons under a cell
// background with a badge.
std::shared_ptr<ui::View> widgetPanel(const std::string& appName) {
    auto panel = ui::View::create({0, 0, 300, 230});
    panel->setBackgroundColor(ui::Color::fromHex("#E9EDF2"));
    auto header = VelkoraCellBackgroundView::create({10, 10, 280, 50});
    header->setImage(ui::Image::named("VelImg_CellBg"));
    auto title = ui::Label::create({16, 0, 180, 50});
    title->setText(appName);
    title->setTextColor(ui::Color::whiteColor());
    header->addSubview(title);
    auto badge = VelkoraStretchableBadgeView::create({200, 15, 70, 21});
    badge->setText("12 new");
    header->addSubview(badge);
    panel->addSubview(header);
    for (auto [placeholder, y] : {std::pair{"E-mail", 75.0}, std::pair{"Password", 115.0}}) {
        auto field = VelkoraResizableTextField::create({10, y, 280, 31});
        field->setBackground(ui::Image::named("VelImg_TextFieldBg"));
        field->setPlaceholder(placeholder);
        field->setLeftView(ui::View::create({0, 0, 8, 31}));
        field->setLeftViewMode(ui::TextFieldViewMode::Always);
        panel->addSubview(field);
    }
    struct Action {
        const char* title;
        const char* image;
        double x, width;
    } actions[] = {{"Log in", "VelImg_BlueBtn", 10, 180}, {"Sign up", "VelImg_GreenBigBtn", 200, 90}};
    for (const auto& a : actions) {
        auto button = VelkoraResizeableButton::create({a.x, 165, a.width, 44});
        button->setBackgroundImage(ui::Image::named(a.image));
        button->setTitle(a.title);
        button->setTitleColor(ui::Color::whiteColor());
        panel->addSubview(button);
    }
    return panel;
}

} // namespace

VELKORA_DEMO_STEP(sharedWidgets, 400, DemoStep::NeedsService) {
    using namespace velkora;
    if (!demo.ensureSession()) return false;
    registerVelkoraWidgetClasses();
    demo::useBuildTreeModules("QuartzCore");
    auto& loop = demo.loop();
    bool shown = true;

    // The application's name and rating address, as the service has them.
    auto caller = std::make_shared<int>(0);
    bool configured = false;
    VelkoraServerApi::getAppData(VelkoraCallback::make(caller, [&](const foundation::Value&) { configured = true; }));
    loop.runUntil([&] { return configured; }, 10);
    const std::string appName = VelkoraAppSettings::appName().value_or("the application");
    demo.say("the service calls the application \"" + appName + "\"");

    auto host = hostWindow(appName);
    auto question = std::make_shared<RatingQuestion>(demo);
    {
        auto dialog = VelkoraDefaultOKPopupView::initFromNibCancel("Rate", "Later");
        dialog->titleLabel()->setText("Enjoying " + appName + "?");
        dialog->messageLable()->setText("Tell others what you think of it in the store.");
        dialog->setDelegate(question);
        dialog->showInView(host.get());
        shown &= demo.writeScreenPng("widgets-dialog");
        // The user taps "Rate"; the dialog closes after telling its delegate.
        ui::Button& rate = *dialog->okButton();
        ui::TouchDriver(dialog->alertWindow()).tap(rate.convertPointToView(rate.bounds().center(), nullptr));
    }
    for (const auto& url : ui::Application::instance().openedURLs())
        demo.say("opened " + url);
    shown &= question->answered && !ui::Application::instance().openedURLs().empty();

    std::weak_ptr<VelkoraDefaultNotificationPopupView> notice;
    {
        auto toast = VelkoraDefaultNotificationPopupView::initFromNib("Thank you for rating " + appName);
        toast->showInView(host.get());
        notice = toast;
    }
    shown &= demo.writeScreenPng("widgets-notice");
    shown &= loop.runUntil([&] { return notice.expired(); }, 5);
    demo.say(notice.expired() ? "the notice went away by itself" : "the notice stayed");

    auto header = VelkoraRefreshTableHeaderView::initFromNib();
    shown &= demo.writePng(*header, "widgets-refresh-pull");
    header->flipImageAnimated(false);
    header->setStatus(VelkoraRefreshTableHeaderView::ReleaseToRefresh);
    shown &= demo.writePng(*header, "widgets-refresh-release");
    header->toggleActivityView(true);
    shown &= demo.writePng(*header, "widgets-refresh-loading");

    shown &= demo.writePng(*widgetPanel(appName), "widgets-panel");
    host->setHidden(true);
    return shown;
}
