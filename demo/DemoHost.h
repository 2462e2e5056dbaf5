// What the steps that open the kit's screens as a host share: the host's side of a feature screen, and the
// current user's data, which some screens read.
#pragma once

#include <memory>

#include "DemoSteps.h"
#include "data/VelkoraUserInternal.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Window.h"
#include "server/VelkoraServerApi.h"
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

} // namespace velkora::demo
