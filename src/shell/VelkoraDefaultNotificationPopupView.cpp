#include "shell/VelkoraDefaultNotificationPopupView.h"

#include "platform/foundation/RunLoop.h"
#include "shell/VelkoraAlertWindow.h"

namespace velkora {

std::shared_ptr<VelkoraDefaultNotificationPopupView>
VelkoraDefaultNotificationPopupView::initFromNib(const std::string& text) {
    auto toast = std::make_shared<VelkoraDefaultNotificationPopupView>();
    ui::InterfaceLoader::instance().loadNibNamed(kInterface, toast.get());
    if (toast->titleLabel_) toast->titleLabel_->setText(text);
    toast->alertWindow_ = installInAlertWindow(*toast, toast->toplevelView_, AlertBackdrop::Clear);
    return toast;
}

void VelkoraDefaultNotificationPopupView::registerInterfaceBindings(ui::InterfaceBindings& bindings) {
    bindings.outlet("toplevelView", toplevelView_);
    bindings.outlet("titleLabel", titleLabel_);
}

void VelkoraDefaultNotificationPopupView::showInView(ui::View* view) {
    ui::Size size = toplevelView_ ? toplevelView_->frame().size : ui::Size{};
    showInViewAtPosition(view, centredOrigin(view, size, "Notification"));
}

void VelkoraDefaultNotificationPopupView::showInViewAtPosition(ui::View* /*view*/, ui::Point position) {
    if (!alertWindow_) return; // closed already
    setFrame({position, frame().size});
    alertWindow_->makeKeyAndVisible();
    // The timer holds the notice until it fires, as a timer holds its target.
    auto self = sharedAs<VelkoraDefaultNotificationPopupView>();
    foundation::Timer::scheduled(kDisplaySeconds, false, [self](foundation::Timer&) { self->closeNotification(); });
}

void VelkoraDefaultNotificationPopupView::closeNotification() {
    auto self = sharedAs<VelkoraDefaultNotificationPopupView>();
    releaseAlertWindow(*this, alertWindow_);
}

} // namespace velkora
