// What the steps that open the kit's screens as a host share: the host's side of a feature screen, and the
// current user's data, which some screens read.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "DemoSteps.h"
#include "data/VelkoraUserInternal.h"
#include "platform/foundation/RunLoop.h"
#include "platform/services/Device.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Window.h"
#include "server/VelkoraServerApi.h"
#include "server/VelkoraServerClientAgent.h"
#include "server/VelkoraServerEndpoint.h"
#include "server/utils/RequestText.h"
#include "server/utils/url_fetcher/VelkoraUrlFetcher.h"
#include "session/VelkoraAgentInternal.h"
#include "shell/VelkoraGeneralFeatureViewController.h"

namespace velkora::demo {

// The host opened the screen in its own navigation, with the kit's top panel; back and close do nothing.
struct DemoHost : VelkoraGeneralFeatureViewControllerDelegate {
    void didClickBack() override {}
    void didClose() override {}
    void backToPanel() override {}
    bool isUsingPopover() override { return false; }
    bool isTopPanelHidden() override { return false; }
    bool isOpenedAsFeature() override { return true; }
};

// A screen as a host shows it: the root of a navigation controller without a bar, in a key full-screen
// window; a feature screen gets `container` as its container.
struct HostScreen {
    std::shared_ptr<ui::NavigationController> nav;
    std::shared_ptr<ui::Window> window;
};
inline HostScreen showAsHostScreen(const std::shared_ptr<ui::ViewController>& screen,
                                   const std::shared_ptr<VelkoraGeneralFeatureViewControllerDelegate>& container) {
    if (auto feature = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(screen))
        feature->setFeatureTabDelegate(container);
    HostScreen shown{ui::NavigationController::create(screen), ui::Window::createFullScreen()};
    shown.nav->setNavigationBarHidden(true);
    shown.window->setRootViewController(shown.nav);
    shown.window->makeKeyAndVisible();
    return shown;
}

// The session's current user, asked of the service when the session does not hold it yet.
inline void ensureUserData(Demo& demo) {
    auto& session = VelkoraAgentInternal::instance();
    if (session.velkoraUser()) return;
    bool answered = false;
    auto waiter = std::make_shared<int>(0);
    VelkoraServerApi::getUserData(VelkoraCallback::make(waiter, [&](const foundation::Value& answer) {
        if (auto user = answer.asObject<VelkoraUserInternal>()) session.setVelkoraUser(user);
        answered = true;
    }));
    demo.loop().runUntil([&] { return answered; }, 20);
}

// Another client of the service, a seeded user (`from`), sends the demo's user a message; true once the
// service took it. The session's poll brings it.
inline bool seededUserWrites(Demo& demo, const std::string& from, const std::string& message,
                             const std::string& contentType) {
    struct Writer : VelkoraUrlFetcherDelegate {
        bool done = false, failed = false;
        void urlGotError(VelkoraUrlFetcher&, const foundation::ErrorPtr&) override { done = failed = true; }
        void urlDidFinishWithString(VelkoraUrlFetcher&, const std::optional<std::string>&) override { done = true; }
    };
    auto writer = std::make_shared<Writer>();
    auto fetcher = VelkoraUrlFetcher::create(writer);
    const std::string me = VelkoraServerClientAgent::instance().userId().value_or("");
    fetcher->getUrl(tagRequestText(VelkoraServerEndpoint::url() +
                                   "?command=sendMessage&clientType=1&build=2.5.7&appId=" + demo.appId() +
                                   "&userId=" + me + "&senderAppId=" + demo.appId() + "&senderUserId=" + from +
                                   "&message=" + escapeRequestValue(message) + "&contentType=" + contentType));
    demo.loop().runUntil([&] { return writer->done; }, 10);
    return !writer->failed;
}

// The person holding the device is asked to confirm the next purchase, as the store does, instead of the
// demo device's standing yes.
inline void askBeforeNextPurchase() {
    services::Device::instance().setPromptPolicy(services::Prompt::Purchase, services::PromptPolicy::Ask);
}

// Once the store's confirmation shows, writes the screen as `picture` and taps Buy; the device says yes by
// itself again after. False when no confirmation came.
inline bool confirmPurchase(Demo& demo, const std::string& picture) {
    auto& device = services::Device::instance();
    const bool asked =
        demo.loop().runUntil([&] { return device.promptAlert(services::Prompt::Purchase) != nullptr; }, 20);
    demo.loop().advance(0.3);
    const bool written = asked && demo.writeScreenPng(picture);
    if (asked) device.answerPrompt(services::Prompt::Purchase, true);
    device.setPromptPolicy(services::Prompt::Purchase, services::PromptPolicy::Grant);
    return written;
}

} // namespace velkora::demo
