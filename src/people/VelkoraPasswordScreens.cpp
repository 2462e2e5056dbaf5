#include "people/VelkoraPasswordScreens.h"

#include "data/VelkoraUtils.h"
#include "server/VelkoraServerApi.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "shell/VelkoraAccountScreenSupport.h"
#include "shell/VelkoraResizeableButton.h"

namespace velkora {

using foundation::ErrorPtr;
using foundation::Value;

VelkoraPasswordFieldViewController::VelkoraPasswordFieldViewController(const Screen& screen, std::string nibName)
    : VelkoraGeneralFeatureViewController(std::move(nibName)), screen_(screen) {}

void VelkoraPasswordFieldViewController::viewDidLoad() {
    setStyleScreenIdentifier(kStyleScreenIdentifier);
    setTitleText(account::localized(screen_.titleKey));
    VelkoraGeneralFeatureViewController::viewDidLoad();
    if (auto b = button()) b->setTitle(account::localized(screen_.buttonKey), ui::ControlStateNormal);
    if (auto f = field()) {
        account::decorateField(*f, screen_.leftText);
        f->setDelegate(std::dynamic_pointer_cast<ui::TextFieldDelegate>(shared_from_this()));
        loadField(*f);
        f->becomeFirstResponder();
    }
    account::moveMainButtonIfPanelHidden(*this, button());
    customizeWidgets();
}

bool VelkoraPasswordFieldViewController::run() {
    // The answer of the request already sent is awaited.
    if (sending_) return false;
    const std::string text = field() ? field()->text() : "";
    if (!isValid(text)) {
        account::showOKPopup("velkora_text_requirements_not_met_title", "velkora_text_requirements_not_met_message");
        return false;
    }
    sending_ = true;
    auto self = std::static_pointer_cast<VelkoraPasswordFieldViewController>(shared_from_this());
    sendRequest(text, VelkoraCallback(self, &VelkoraPasswordFieldViewController::requestAnswered,
                                      &VelkoraPasswordFieldViewController::requestFailed));
    return true;
}

void VelkoraPasswordFieldViewController::requestAnswered(const Value&) {
    done();
}

void VelkoraPasswordFieldViewController::requestFailed(const ErrorPtr& error) {
    if (countsAsDone(error)) return done();
    sending_ = false;
    account::showOKPopup("velkora_text_error_title", "velkora_text_request_failed_message");
}

void VelkoraPasswordFieldViewController::done() {
    sending_ = false;
    showDone();
    if (auto container = featureTabDelegate()) container->backToPanel();
}

bool VelkoraPasswordFieldViewController::textFieldShouldReturn(ui::TextField& f) {
    const bool sent = run();
    if (sent) f.resignFirstResponder();
    return sent;
}

// ---- forgotten password

std::shared_ptr<VelkoraForgotPasswordViewController>
VelkoraForgotPasswordViewController::initFromNib(const std::string& nibName) {
    return std::shared_ptr<VelkoraForgotPasswordViewController>(new VelkoraForgotPasswordViewController(nibName));
}

VelkoraForgotPasswordViewController::VelkoraForgotPasswordViewController(std::string nibName)
    // The button sends a request for a new password: nothing of the user's is updated here.
    : VelkoraPasswordFieldViewController({"velkora_text_forgot_password_title", "Email", "velkora_text_submit_button"},
                                         std::move(nibName)) {}

void VelkoraForgotPasswordViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraPasswordFieldViewController::registerInterfaceBindings(b);
    b.outlet("emailTextField", emailTextField_);
    b.outlet("submitButton", submitButton_);
    b.action("submitClicked:", this, &VelkoraForgotPasswordViewController::submitClicked);
}

std::shared_ptr<ui::Button> VelkoraForgotPasswordViewController::button() const {
    return submitButton_;
}

void VelkoraForgotPasswordViewController::loadField(ui::TextField& f) {
    f.setKeyboardType(ui::KeyboardType::EmailAddress);
}

void VelkoraForgotPasswordViewController::customizeWidgets() {
    auto& customizer = VelkoraStyleSheetCustomizer::instance();
    customizer.customizeEmailTextField(emailTextField_.get(), styleScreenIdentifier());
    customizer.customizeSubmitButton(submitButton_.get(), styleScreenIdentifier());
}

bool VelkoraForgotPasswordViewController::isValid(const std::string& text) const {
    return VelkoraUtils::isValidEmail(text);
}

void VelkoraForgotPasswordViewController::sendRequest(const std::string& text, VelkoraCallback caller) {
    VelkoraServerApi::forgotPassword(text, std::move(caller));
}

void VelkoraForgotPasswordViewController::showDone() {
    account::showOKPopup("velkora_text_password_sent_title", "velkora_text_password_sent_message");
}

bool VelkoraForgotPasswordViewController::countsAsDone(const ErrorPtr& error) const {
    // An unknown address is answered as a known one: the screen tells nobody who has an account.
    return error && error->domain == "USER_NOT_FOUND";
}

// ---- change password

std::shared_ptr<VelkoraChangePasswordViewController>
VelkoraChangePasswordViewController::initFromNib(const std::string& nibName) {
    return std::shared_ptr<VelkoraChangePasswordViewController>(new VelkoraChangePasswordViewController(nibName));
}

VelkoraChangePasswordViewController::VelkoraChangePasswordViewController(std::string nibName)
    : VelkoraPasswordFieldViewController(
          {"velkora_text_change_password_title", "Password", "velkora_text_update_button"}, std::move(nibName)) {}

void VelkoraChangePasswordViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraPasswordFieldViewController::registerInterfaceBindings(b);
    b.outlet("passwordTextField", passwordTextField_);
    b.outlet("updateButton", updateButton_);
    b.action("updateClicked:", this, &VelkoraChangePasswordViewController::updateClicked);
}

std::shared_ptr<ui::Button> VelkoraChangePasswordViewController::button() const {
    return updateButton_;
}

void VelkoraChangePasswordViewController::loadField(ui::TextField& f) {
    f.setPlaceholder(account::localized("velkora_text_password_text_field"));
    f.setSecureTextEntry(true);
}

void VelkoraChangePasswordViewController::customizeWidgets() {
    auto& customizer = VelkoraStyleSheetCustomizer::instance();
    customizer.customizePasswordTextField(passwordTextField_.get(), styleScreenIdentifier());
    customizer.customizeUpdateButton(updateButton_.get(), styleScreenIdentifier());
}

bool VelkoraChangePasswordViewController::isValid(const std::string& text) const {
    return account::isPasswordLongEnough(text);
}

void VelkoraChangePasswordViewController::sendRequest(const std::string& text, VelkoraCallback caller) {
    VelkoraServerApi::changePassword(VelkoraUtils::md5String(text, true), std::move(caller));
}

} // namespace velkora
