#include "people/VelkoraLoginViewController.h"

#include "people/VelkoraEmailLoginViewController.h"
#include "people/VelkoraSignUpViewController.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "shell/VelkoraAccountScreenSupport.h"

namespace velkora {

const VelkoraSocialEntryViewController::Twin VelkoraLoginViewController::kTwin = {
    kNibName,
    25,
    "velkora_text_login_title",
    "velkora_text_login_message",
    "velkora_text_signup_invite_message",
    "velkora_text_email_login_button",
    "velkora_text_signup_button",
    "velkora_text_login_privacy_html",
    1,
    "velkora_text_user_login_failed_title",
    "velkora_text_login_general_error_message",
};

std::shared_ptr<VelkoraLoginViewController> VelkoraLoginViewController::initFromNib() {
    return std::shared_ptr<VelkoraLoginViewController>(
        new VelkoraLoginViewController(account::interfaceName(kNibName)));
}

void VelkoraLoginViewController::bindFooter(ui::InterfaceBindings& b, std::shared_ptr<ui::Label>& footer,
                                            std::shared_ptr<ui::Button>& twin) {
    b.outlet("signUpInviteLabel", footer);
    b.outlet("signUpButton", twin);
    b.action("signUpClicked:", this, &VelkoraLoginViewController::signUpClicked);
}

void VelkoraLoginViewController::customizeTwinButton() {
    VelkoraStyleSheetCustomizer::instance().customizeSignupConnectButton(signUpButton().get(), styleScreenIdentifier());
}

std::shared_ptr<VelkoraGeneralFeatureViewController> VelkoraLoginViewController::makeEmailScreen() const {
    return VelkoraEmailLoginViewController::initFromNib(
        account::interfaceName(VelkoraEmailLoginViewController::kNibName));
}

std::shared_ptr<VelkoraGeneralFeatureViewController> VelkoraLoginViewController::makeTwinScreen() const {
    return VelkoraSignUpViewController::initFromNib();
}

} // namespace velkora
