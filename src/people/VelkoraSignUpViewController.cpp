#include "people/VelkoraSignUpViewController.h"

#include "people/VelkoraEmailSignUpViewController.h"
#include "people/VelkoraLoginViewController.h"
#include "platform/ui/ImageView.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "shell/VelkoraAccountScreenSupport.h"

namespace velkora {

const VelkoraSocialEntryViewController::Twin VelkoraSignUpViewController::kTwin = {
    kNibName,
    24,
    "velkora_text_signup_title",
    "velkora_text_signup_message",
    "velkora_text_login_invite_message",
    "velkora_text_email_signup_button",
    "velkora_text_login_button",
    "velkora_text_signup_privacy_html",
    0,
    "velkora_text_user_already_signed_up_title",
    "velkora_text_sign_up_general_error_message",
};

std::shared_ptr<VelkoraSignUpViewController> VelkoraSignUpViewController::initFromNib() {
    return std::shared_ptr<VelkoraSignUpViewController>(
        new VelkoraSignUpViewController(account::interfaceName(kNibName)));
}

void VelkoraSignUpViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraSocialEntryViewController::registerInterfaceBindings(b);
    b.outlet("loginBarImageView", loginBarImageView_);
}

void VelkoraSignUpViewController::bindFooter(ui::InterfaceBindings& b, std::shared_ptr<ui::Label>& footer,
                                             std::shared_ptr<ui::Button>& twin) {
    b.outlet("loginInviteLabel", footer);
    b.outlet("loginButton", twin);
    b.action("loginClicked:", this, &VelkoraSignUpViewController::loginClicked);
}

void VelkoraSignUpViewController::customizeTwinButton() {
    VelkoraStyleSheetCustomizer::instance().customizeLoginConnectButton(loginButton().get(), styleScreenIdentifier());
}

std::shared_ptr<VelkoraGeneralFeatureViewController> VelkoraSignUpViewController::makeEmailScreen() const {
    // The e-mail sign-up form has one file for every device.
    return VelkoraEmailSignUpViewController::initFromNib(VelkoraEmailSignUpViewController::kNibName);
}

std::shared_ptr<VelkoraGeneralFeatureViewController> VelkoraSignUpViewController::makeTwinScreen() const {
    return VelkoraLoginViewController::initFromNib();
}

} // namespace velkora
