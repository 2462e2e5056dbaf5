#include "people/VelkoraEmailSignUpViewController.h"

#include "data/VelkoraUtils.h"
#include "people/VelkoraUserPictureUploader.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "shell/VelkoraAccountScreenSupport.h"
#include "shell/VelkoraLazyImageView.h"
#include "shell/VelkoraPictureTaker.h"
#include "shell/VelkoraResizeableButton.h"

namespace velkora {

using foundation::Log;
using foundation::Value;

namespace {
const std::optional<std::string> kNoAddress;
}

std::shared_ptr<VelkoraEmailSignUpViewController>
VelkoraEmailSignUpViewController::initFromNib(const std::string& nib) {
    return std::shared_ptr<VelkoraEmailSignUpViewController>(new VelkoraEmailSignUpViewController(nib));
}

VelkoraEmailSignUpViewController::VelkoraEmailSignUpViewController(std::string nibName)
    : VelkoraEmailFormViewController({26, "velkora_text_signup_title", "velkora_text_signup_button", 0},
                                     std::move(nibName)) {}

VelkoraEmailSignUpViewController::~VelkoraEmailSignUpViewController() = default;

void VelkoraEmailSignUpViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraEmailFormViewController::registerInterfaceBindings(b);
    b.outlet("userImageView", userImageView_);
    b.outlet("userImageFrameView", userImageFrameView_);
    b.outlet("nameTextField", nameTextField_);
    b.outlet("doneButton", doneButton_);
    b.action("doneClicked:", this, &VelkoraEmailSignUpViewController::doneClicked);
    b.action("imageAddClicked:", this, &VelkoraEmailSignUpViewController::imageAddClicked);
}

std::shared_ptr<ui::Button> VelkoraEmailSignUpViewController::mainButton() const {
    return doneButton_;
}

void VelkoraEmailSignUpViewController::loadForm() {
    if (userImageView_) {
        userImageView_->layer().setCornerRadius(7.0);
        userImageView_->setClipsToBounds(true);
        userImageView_->setImage(ui::Image::named("VelImg_EmptyThumb.png"));
    }
    if (nameTextField_) {
        nameTextField_->setBorderStyle(ui::TextBorderStyle::RoundedRect);
        nameTextField_->setDelegate(std::dynamic_pointer_cast<ui::TextFieldDelegate>(shared_from_this()));
        nameTextField_->setPlaceholder(account::localized("velkora_text_full_name_text_field"));
    }
}

void VelkoraEmailSignUpViewController::customizeWidgets() {
    auto& customizer = VelkoraStyleSheetCustomizer::instance();
    const uint32_t screen = styleScreenIdentifier();
    customizer.customizeUserPhotoFrameImage(userImageFrameView_.get(), screen);
    customizer.customizeDoneButton(doneButton_.get(), screen);
    customizer.customizeNameTextField(nameTextField_.get(), screen);
    customizer.customizeEmailTextField(emailTextField().get(), screen);
    customizer.customizePasswordTextField(passwordTextField().get(), screen);
}

const std::optional<std::string>& VelkoraEmailSignUpViewController::uploadedImageUrl() const {
    return pictureUploader_ ? pictureUploader_->uploadedImageUrl() : kNoAddress;
}

bool VelkoraEmailSignUpViewController::allConditionsMet() const {
    const std::string email = emailTextField() ? emailTextField()->text() : "";
    const auto& picture = uploadedImageUrl();
    return nameTextField_ && !account::isBlankName(nameTextField_->text()) && !email.empty() &&
           VelkoraUtils::isValidEmail(email) && passwordTextField() &&
           account::isPasswordLongEnough(passwordTextField()->text()) && picture && !picture->empty();
}

std::string VelkoraEmailSignUpViewController::requirementsMessageKey() const {
    const auto& picture = uploadedImageUrl();
    return picture && !picture->empty() ? "velkora_text_requirements_not_met_message"
                                        : "velkora_text_user_image_required_message";
}

foundation::Dictionary VelkoraEmailSignUpViewController::details() const {
    foundation::Dictionary d = VelkoraEmailFormViewController::details();
    d.set("name", Value(nameTextField_ ? nameTextField_->text() : std::string()));
    if (const auto& picture = uploadedImageUrl()) d.set("photoUrl", Value(*picture));
    return d;
}

void VelkoraEmailSignUpViewController::showFailure(const foundation::ErrorPtr& error) {
    if (error && error->domain == "USER_ALREADY_SIGNED_UP") {
        Log::line("Velkora - User is already signed up");
        account::showOKPopup("velkora_text_user_already_signed_up_title",
                             "velkora_text_user_already_signed_up_message");
        return;
    }
    Log::line("Velkora - Sign up failed with error %@", error ? error->domain : std::string("(null)"));
    account::showOKPopup("velkora_text_user_already_signed_up_title", "velkora_text_sign_up_general_error_message");
}

void VelkoraEmailSignUpViewController::imageAddClicked(ui::Control*) {
    uploader().startTaking(std::static_pointer_cast<ui::ViewController>(shared_from_this()),
                           std::dynamic_pointer_cast<VelkoraPictureTakerDelegate>(shared_from_this()));
}

VelkoraUserPictureUploader& VelkoraEmailSignUpViewController::uploader() {
    if (!pictureUploader_) pictureUploader_ = VelkoraUserPictureUploader::create(ui::ActivityIndicatorViewStyle::Gray);
    return *pictureUploader_;
}

bool VelkoraEmailSignUpViewController::pictureTaken(const std::shared_ptr<ui::Image>& image) {
    auto v = viewIfLoaded();
    if (!v) return false;
    return uploader().pictureTaken(image, *v, userImageView_);
}

} // namespace velkora
