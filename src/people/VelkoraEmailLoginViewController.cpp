#include "people/VelkoraEmailLoginViewController.h"

#include "data/VelkoraUtils.h"
#include "people/VelkoraPasswordScreens.h"
#include "platform/foundation/Log.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "shell/VelkoraAccountScreenSupport.h"
#include "shell/VelkoraResizeableButton.h"

namespace velkora {

using foundation::Log;

std::shared_ptr<VelkoraEmailLoginViewController> VelkoraEmailLoginViewController::initFromNib(const std::string& nib) {
    return std::shared_ptr<VelkoraEmailLoginViewController>(new VelkoraEmailLoginViewController(nib));
}

VelkoraEmailLoginViewController::VelkoraEmailLoginViewController(std::string nibName)
    : VelkoraEmailFormViewController({27, "velkora_text_login_title", "velkora_text_login_button", 1},
                                     std::move(nibName)) {}

void VelkoraEmailLoginViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraEmailFormViewController::registerInterfaceBindings(b);
    b.outlet("loginButton", loginButton_);
    b.outlet("forgotPasswordButton", forgotPasswordButton_);
    b.action("loginClicked:", this, &VelkoraEmailLoginViewController::loginClicked);
    b.action("forgotPasswordClicked:", this, &VelkoraEmailLoginViewController::forgotPasswordClicked);
}

std::shared_ptr<ui::Button> VelkoraEmailLoginViewController::mainButton() const {
    return loginButton_;
}

void VelkoraEmailLoginViewController::loadForm() {
    if (forgotPasswordButton_)
        forgotPasswordButton_->setTitle(account::localized("velkora_text_forgot_password_button"),
                                        ui::ControlStateNormal);
}

void VelkoraEmailLoginViewController::customizeWidgets() {
    auto& customizer = VelkoraStyleSheetCustomizer::instance();
    const uint32_t screen = styleScreenIdentifier();
    customizer.customizeEmailTextField(emailTextField().get(), screen);
    customizer.customizePasswordTextField(passwordTextField().get(), screen);
    customizer.customizeForgotPasswordButton(forgotPasswordButton_.get(), screen);
}

bool VelkoraEmailLoginViewController::allConditionsMet() const {
    const std::string email = emailTextField() ? emailTextField()->text() : "";
    return !email.empty() && VelkoraUtils::isValidEmail(email) && passwordTextField() &&
           account::isPasswordLongEnough(passwordTextField()->text());
}

void VelkoraEmailLoginViewController::showFailure(const foundation::ErrorPtr& error) {
    if (error && error->domain == "USER_NOT_FOUND") {
        Log::line("Velkora - User Login Failed due to unknown user or bad password");
        account::showOKPopup("velkora_text_user_login_failed_title", "velkora_text_user_login_failed_message");
        return;
    }
    Log::line("Velkora - Sign up failed with error %@", error ? error->domain : std::string("(null)"));
    account::showOKPopup("velkora_text_user_login_failed_title", "velkora_text_login_general_error_message");
}

void VelkoraEmailLoginViewController::resignResponder() {
    for (const auto& field : {emailTextField(), passwordTextField()})
        if (field && field->isFirstResponder()) field->resignFirstResponder();
}

void VelkoraEmailLoginViewController::forgotPasswordClicked(ui::Control*) {
    resignResponder();
    account::pushScreen(*this, VelkoraForgotPasswordViewController::initFromNib(
                                   account::interfaceName(VelkoraForgotPasswordViewController::kNibName)));
}

void VelkoraEmailLoginViewController::backTapped(ui::Control* sender) {
    resignResponder();
    VelkoraEmailFormViewController::backTapped(sender);
}

} // namespace velkora
