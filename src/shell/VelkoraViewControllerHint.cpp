// The first-run hint that a sidebar exists: a swiping finger, a welcome popup or a shake of the host's
// view, as the service configures it, remembered in the local user record.
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppSettings.h"
#include "data/VelkoraUserInfo.h"
#include "shell/VelkoraActivationGesturesHandler.h"
#include "shell/VelkoraViewController.h"
#include "shell/VelkoraWelcomeFingerImageView.h"

namespace velkora {

void VelkoraViewController::popupDelayElapsed() {
    // The hint points at the sidebar: once the sidebar's view has left the screen (the kit closed, its
    // window hidden) there is nothing to point at, and the hint would sit over whatever the host shows.
    auto shown = viewIfLoaded();
    auto* window = shown ? shown->window() : nullptr;
    if (!window || window->isHidden()) return;
    showNotificationAboutVelkora();
}

void VelkoraViewController::showNotificationAboutVelkora() {
    int mode = VelkoraAppSettings::welcomePopupMode();
    if (mode == 0) return;
    auto& agent = VelkoraAgentInternal::instance();
    auto info = agent.userInfo();
    if (mode != 2 && info && info->welcomePopupWasDisplayed()) return;
    if (info) info->setWelcomePopupWasDisplayed(true);
    double duration = VelkoraAppSettings::welcomePopupDuration();
    switch (VelkoraAppSettings::welcomePopupType()) {
    case 2:
        if (auto gestures = VelkoraActivationGesturesHandler::current()) gestures->shakeAffect(duration);
        break;
    case 1: {
        auto& bundle = foundation::Bundle::main();
        auto popup = VelkoraDefaultOKPopupView::initWithCustomNib("VelkoraWelcomePopupView", "", "");
        std::string key = VelkoraAppSettings::menuOpensToRight() ? "velkora_text_welcome_popup_right"
                                                                 : "velkora_text_welcome_popup_left";
        if (popup->messageLable())
            popup->messageLable()->setText(
                foundation::format(bundle.localizedString(key), VelkoraAppSettings::appName().value_or("")));
        if (popup->titleLabel())
            popup->titleLabel()->setText(bundle.localizedString("velkora_text_welcome_popup_title"));
        popup->showInView(ui::Application::instance().keyWindow());
        if (auto earlier = welcomePopup_.lock(); earlier && earlier != popup) earlier->close();
        welcomePopup_ = popup;
        std::weak_ptr<VelkoraDefaultOKPopupView> weak = popup;
        welcomeCloseTimer_ = foundation::Timer::scheduled(duration, false, [weak](foundation::Timer&) {
            if (auto p = weak.lock()) p->close();
        });
        break;
    }
    case 0: {
        int o = ui::Application::instance().statusBarOrientation();
        bool landscape = o == ui::InterfaceOrientationLandscapeRight || o == ui::InterfaceOrientationLandscapeLeft;
        VelkoraWelcomeFingerImageView::initFromNibAsLandscape(landscape)->showWithTimeout(duration);
        break;
    }
    default:
        return;
    }
    agent.saveUserInfo();
}

} // namespace velkora
