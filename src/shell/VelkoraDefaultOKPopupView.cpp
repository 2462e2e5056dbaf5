#include "shell/VelkoraDefaultOKPopupView.h"

#include <cmath>

#include "platform/ui/Application.h"
#include "platform/ui/Touch.h"
#include "platform/ui/UiNotifications.h"
#include "shell/VelkoraAlertWindow.h"
#include "shell/VelkoraWidgetClasses.h"
#include "social/VelkoraPopups.h"

namespace velkora {

namespace {

// Hands a dialog's answer to whoever asked through VelkoraPopups.
class AnswerDelegate final : public VelkoraDefaultOKPopupViewDelegate {
public:
    explicit AnswerDelegate(VelkoraPopups::Answer answer) : answer_(std::move(answer)) {}
    void popupOkTapped() override { answer_(true); }
    void popupCancelTapped() override { answer_(false); }

private:
    VelkoraPopups::Answer answer_;
};

std::shared_ptr<VelkoraDefaultOKPopupView> present(ui::View* host, const VelkoraPopups::Popup& popup,
                                                   VelkoraPopups::Answer answer) {
    auto view = popup.cancelTitle.empty()
                    ? VelkoraDefaultOKPopupView::initFromNib(popup.okTitle)
                    : VelkoraDefaultOKPopupView::initFromNibCancel(popup.okTitle, popup.cancelTitle);
    if (!view) return nullptr;
    // A popup file without one of its labels still shows what it has.
    if (view->titleLabel()) view->titleLabel()->setText(popup.title);
    if (view->messageLable()) {
        if (popup.messageWraps) view->messageLable()->setNumberOfLines(0);
        view->messageLable()->setText(popup.message);
    }
    if (answer) view->keepDelegate(std::make_shared<AnswerDelegate>(std::move(answer)));
    view->showInView(host, popup.holdsTouches);
    return view;
}

// The rooms below the screens ask through VelkoraPopups; whatever links the dialog draws their popups.
[[maybe_unused]] const bool g_presents = (VelkoraPopups::setPresenter(&present), true);

} // namespace

std::shared_ptr<VelkoraDefaultOKPopupView> VelkoraDefaultOKPopupView::initFromNibInternal(const std::string& nibName) {
    auto popup = std::make_shared<VelkoraDefaultOKPopupView>();
    loadInto(popup, nibName);
    return popup;
}

void VelkoraDefaultOKPopupView::loadInto(const std::shared_ptr<VelkoraDefaultOKPopupView>& popup,
                                         const std::string& nibName) {
    registerVelkoraWidgetClasses();
    ui::InterfaceLoader::instance().loadNibNamed(nibName, popup.get());
    popup->alertWindow_ = installInAlertWindow(*popup, popup->toplevelView_, AlertBackdrop::Dimmed);
    popup->closeOnOrientationChange_ = true;
}

std::shared_ptr<VelkoraDefaultOKPopupView> VelkoraDefaultOKPopupView::initFromNib(const std::string& okTitle) {
    auto popup = initFromNibInternal(kOKInterface);
    popup->setButtonTitles(okTitle, {});
    return popup;
}

std::shared_ptr<VelkoraDefaultOKPopupView>
VelkoraDefaultOKPopupView::initFromNibCancel(const std::string& okTitle, const std::string& cancelTitle) {
    return initWithCustomNib(kOKCancelInterface, okTitle, cancelTitle);
}

std::shared_ptr<VelkoraDefaultOKPopupView>
VelkoraDefaultOKPopupView::initWithCustomNib(const std::string& nibName, const std::string& okTitle,
                                             const std::string& cancelTitle) {
    auto popup = initFromNibInternal(nibName);
    popup->setButtonTitles(okTitle, cancelTitle);
    return popup;
}

VelkoraDefaultOKPopupView::~VelkoraDefaultOKPopupView() = default;

void VelkoraDefaultOKPopupView::setButtonTitles(const std::string& okTitle, const std::string& cancelTitle) {
    for (auto& [button, title] : {std::pair{okButton_, okTitle}, std::pair{cancelButton_, cancelTitle}}) {
        if (!button) continue;
        button->setTitle(title, ui::ControlStateNormal);
        button->setTitle(title, ui::ControlStateHighlighted);
    }
}

void VelkoraDefaultOKPopupView::registerInterfaceBindings(ui::InterfaceBindings& bindings) {
    bindings.outlet("toplevelView", toplevelView_);
    bindings.outlet("titleLabel", titleLabel_);
    bindings.outlet("messageLable", messageLable_);
    bindings.outlet("okButton", okButton_);
    bindings.outlet("cancelButton", cancelButton_);
    bindings.action("okTapped:", this, &VelkoraDefaultOKPopupView::okTapped);
    bindings.action("cancelTapped:", this, &VelkoraDefaultOKPopupView::cancelTapped);
}

void VelkoraDefaultOKPopupView::showInView(ui::View* view, bool disableTouchesOutside) {
    ui::Size size = toplevelView_ ? toplevelView_->frame().size : ui::Size{};
    showInViewAtPosition(view, centredOrigin(view, size, "Popup"), disableTouchesOutside);
}

void VelkoraDefaultOKPopupView::showInViewAtPosition(ui::View* /*view*/, ui::Point position,
                                                     bool disableTouchesOutside) {
    if (!alertWindow_) return; // closed already
    std::weak_ptr<VelkoraDefaultOKPopupView> weak = sharedAs<VelkoraDefaultOKPopupView>();
    orientationObserver_ = foundation::NotificationObserver(ui::kApplicationDidChangeStatusBarOrientationNotification,
                                                            nullptr, [weak](const foundation::Notification& n) {
                                                                if (auto self = weak.lock())
                                                                    self->orientationDidChanged(n);
                                                            });
    setTransform({});
    setFrame({position, frame().size});
    updateOrientation();
    if (!disableTouchesOutside) {
        removeGestureHandler();
        auto self = sharedAs<VelkoraDefaultOKPopupView>();
        gestureHandler_ = std::make_shared<ui::TapGestureRecognizer>();
        gestureHandler_->addTarget(self, &VelkoraDefaultOKPopupView::handleTouchesOutside);
        gestureHandler_->setDelegate(std::static_pointer_cast<ui::GestureRecognizerDelegate>(self));
        alertWindow_->addGestureRecognizer(gestureHandler_);
    }
    alertWindow_->makeKeyAndVisible();
}

void VelkoraDefaultOKPopupView::okTapped(ui::Control* /*sender*/) {
    // The delegate may drop the last reference to whatever shows the dialog; the dialog stays alive until
    // this handler is done with it.
    auto self = sharedAs<VelkoraDefaultOKPopupView>();
    if (auto d = delegate_.lock()) d->popupOkTapped();
    close();
}

void VelkoraDefaultOKPopupView::cancelTapped(ui::Control* /*sender*/) {
    auto self = sharedAs<VelkoraDefaultOKPopupView>();
    if (auto d = delegate_.lock()) d->popupCancelTapped();
    close();
}

void VelkoraDefaultOKPopupView::removeGestureHandler() {
    if (!gestureHandler_) return;
    if (auto* view = gestureHandler_->view()) view->removeGestureRecognizer(gestureHandler_.get());
    gestureHandler_.reset();
}

void VelkoraDefaultOKPopupView::close() {
    auto self = sharedAs<VelkoraDefaultOKPopupView>();
    removeGestureHandler();
    orientationObserver_.reset();
    releaseAlertWindow(*this, alertWindow_);
}

bool VelkoraDefaultOKPopupView::gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer& /*recognizer*/,
                                                                    ui::Touch& touch) {
    if (!toplevelView_) return true;
    // Touches on the body belong to its buttons.
    ui::View* touched = touch.view();
    return !(touched && touched->isDescendantOfView(toplevelView_.get()));
}

void VelkoraDefaultOKPopupView::handleTouchesOutside(ui::GestureRecognizer& recognizer) {
    if (recognizer.state() != ui::GestureRecognizerState::Recognized) return;
    if (!toplevelView_ || !toplevelView_->bounds().contains(recognizer.locationInView(toplevelView_.get()))) close();
}

void VelkoraDefaultOKPopupView::updateOrientation() {
    double angle = 0;
    switch (ui::Application::instance().statusBarOrientation()) {
    case ui::InterfaceOrientationPortraitUpsideDown:
        angle = M_PI;
        break;
    case ui::InterfaceOrientationLandscapeRight:
        angle = M_PI / 2;
        break;
    case ui::InterfaceOrientationLandscapeLeft:
        angle = -M_PI / 2;
        break;
    default:
        break;
    }
    setTransform(ui::AffineTransform::rotation(angle));
}

void VelkoraDefaultOKPopupView::orientationDidChanged(const foundation::Notification& /*notification*/) {
    auto self = sharedAs<VelkoraDefaultOKPopupView>();
    updateOrientation();
    if (closeOnOrientationChange_) close();
}

} // namespace velkora
