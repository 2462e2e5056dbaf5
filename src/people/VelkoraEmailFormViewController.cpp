#include "people/VelkoraEmailFormViewController.h"

#include "data/VelkoraUtils.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/ScrollView.h"
#include "shell/VelkoraAccountScreenSupport.h"
#include "social/VelkoraUserSignUpHelper.h"

namespace velkora {

using foundation::ErrorPtr;
using foundation::Value;

VelkoraEmailFormViewController::VelkoraEmailFormViewController(const Form& form, std::string nibName)
    : VelkoraGeneralFeatureViewController(std::move(nibName)), form_(form) {}

VelkoraEmailFormViewController::~VelkoraEmailFormViewController() {
    if (userSignUpHelper_) userSignUpHelper_->removeDelegate(this);
}

void VelkoraEmailFormViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraGeneralFeatureViewController::registerInterfaceBindings(b);
    b.outlet("scrollView", scrollView_);
    b.outlet("emailTextField", emailTextField_);
    b.outlet("passwordTextField", passwordTextField_);
}

void VelkoraEmailFormViewController::viewDidLoad() {
    setStyleScreenIdentifier(form_.styleScreenIdentifier);
    setTitleText(account::localized(form_.titleKey));
    VelkoraGeneralFeatureViewController::viewDidLoad();
    if (auto button = mainButton()) button->setTitle(account::localized(form_.mainButtonKey), ui::ControlStateNormal);
    loadForm();

    auto self = std::dynamic_pointer_cast<ui::TextFieldDelegate>(shared_from_this());
    if (emailTextField_) {
        account::decorateField(*emailTextField_, account::localized("velkora_text_email_text_field_title"));
        // Each field of the form hints at what goes in it, the address as the others do.
        emailTextField_->setPlaceholder(account::localized("velkora_text_email_text_field"));
        emailTextField_->setDelegate(self);
        emailTextField_->setKeyboardType(ui::KeyboardType::EmailAddress);
    }
    if (passwordTextField_) {
        account::decorateField(*passwordTextField_, account::localized("velkora_text_password_text_field_title"));
        passwordTextField_->setDelegate(self);
        passwordTextField_->setPlaceholder(account::localized("velkora_text_password_text_field"));
        passwordTextField_->setSecureTextEntry(true);
    }
    account::moveMainButtonIfPanelHidden(*this, mainButton());
    if (scrollView_) scrollViewOrigHeight_ = scrollView_->frame().height();
    customizeWidgets();
    registerForKeyboardNotifications();
}

void VelkoraEmailFormViewController::viewDidAppear(bool animated) {
    VelkoraGeneralFeatureViewController::viewDidAppear(animated);
    if (scrollView_) scrollView_->setContentSize(scrollView_->frame().size);
    if (auto* field = fieldToFocus()) field->becomeFirstResponder();
}

foundation::Dictionary VelkoraEmailFormViewController::details() const {
    foundation::Dictionary d;
    // Only the digest ever leaves the device.
    d.set("password", Value(VelkoraUtils::md5String(passwordTextField_ ? passwordTextField_->text() : "", true)));
    d.set("email", Value(emailTextField_ ? emailTextField_->text() : std::string()));
    return d;
}

bool VelkoraEmailFormViewController::send() {
    // One conversation at a time: a second tap would leave the first spinner turning for ever.
    if (attemptRunning_) return false;
    if (!allConditionsMet()) {
        account::showOKPopup("velkora_text_requirements_not_met_title", requirementsMessageKey());
        return false;
    }
    attemptRunning_ = true;
    if (auto v = viewIfLoaded())
        activityIndicator_ = account::startIndicator(*v, ui::ActivityIndicatorViewStyle::White);
    if (!userSignUpHelper_) userSignUpHelper_ = VelkoraUserSignUpHelper::create();
    auto self = std::static_pointer_cast<VelkoraEmailFormViewController>(shared_from_this());
    userSignUpHelper_->connectServerWithDetails(Value(details()), form_.connectType, 1, false, false,
                                                VelkoraCallback(self, &VelkoraEmailFormViewController::connectedServer,
                                                                &VelkoraEmailFormViewController::serverConnectFailed));
    return true;
}

void VelkoraEmailFormViewController::connectedServer(const Value& userId) {
    attemptRunning_ = false;
    if (activityIndicator_) activityIndicator_->stopAnimating();
    foundation::NotificationCenter::defaultCenter().post(
        "VelkoraUserSigninChanged", nullptr,
        Value(foundation::Dictionary{{"socialService", Value("Email")},
                                     {"loginState", Value(1)},
                                     {"accountIdentifier", Value(emailTextField_ ? emailTextField_->text() : "")},
                                     {"userId", userId}}));
    if (auto container = featureTabDelegate()) container->backToPanel();
}

void VelkoraEmailFormViewController::serverConnectFailed(const ErrorPtr& error) {
    attemptRunning_ = false;
    if (activityIndicator_) activityIndicator_->stopAnimating();
    showFailure(error);
}

void VelkoraEmailFormViewController::registerForKeyboardNotifications() {
    keyboardShownObserver_ = foundation::NotificationObserver(
        ui::kKeyboardDidShowNotification, nullptr, [this](const foundation::Notification& n) { keyboardWasShown(n); });
    keyboardHiddenObserver_ =
        foundation::NotificationObserver(ui::kKeyboardWillHideNotification, nullptr,
                                         [this](const foundation::Notification& n) { keyboardWillBeHidden(n); });
}

void VelkoraEmailFormViewController::keyboardWasShown(const foundation::Notification& notification) {
    auto v = viewIfLoaded();
    if (!v || !scrollView_ || !velkoraContentView()) return;
    const ui::Rect keyboard = ui::Keyboard::rectFromUserInfo(notification.userInfo, ui::kKeyboardFrameBeginUserInfoKey);
    const int orientation = ui::Application::instance().statusBarOrientation();
    const bool landscape =
        orientation == ui::InterfaceOrientationLandscapeLeft || orientation == ui::InterfaceOrientationLandscapeRight;
    const double keyboardHeight = landscape ? keyboard.width() : keyboard.height();

    const ui::Rect content = velkoraContentView()->frame();
    const ui::Rect scroll = scrollView_->frame();
    const ui::Rect screen = v->frame();
    // A keyboard that leaves the form in sight changes nothing.
    if (screen.height() - keyboardHeight > content.y() + scroll.height()) return;
    ui::Rect visible = content;
    visible.size.height -= keyboardHeight;
    const ui::EdgeInsets insets{0, 0, scroll.height() - visible.height(), 0};
    scrollView_->setContentInset(insets);
    scrollView_->setScrollIndicatorInsets(insets);
    if (!activeField_ || !activeField_->superview()) return;
    const ui::Rect field = activeField_->frame();
    const ui::Point origin = activeField_->superview()->convertPointToView(field.origin, v.get());
    if (!visible.contains(origin))
        scrollView_->setContentOffset({0, field.y() + field.height() - keyboardHeight}, true);
}

void VelkoraEmailFormViewController::keyboardWillBeHidden(const foundation::Notification& notification) {
    if (!scrollView_) return;
    const double duration =
        notification.userInfo[ui::kKeyboardAnimationDurationUserInfoKey].doubleOr(ui::Keyboard::kAnimationDuration);
    auto scroll = scrollView_;
    ui::View::animateWithDuration(duration, [scroll] {
        scroll->setContentInset({});
        scroll->setScrollIndicatorInsets({});
    });
}

void VelkoraEmailFormViewController::textFieldDidBeginEditing(ui::TextField& field) {
    activeField_ = &field;
}

void VelkoraEmailFormViewController::textFieldDidEndEditing(ui::TextField& field) {
    if (activeField_ == &field) activeField_ = nullptr;
}

bool VelkoraEmailFormViewController::textFieldShouldReturn(ui::TextField& field) {
    field.resignFirstResponder();
    return true;
}

} // namespace velkora
