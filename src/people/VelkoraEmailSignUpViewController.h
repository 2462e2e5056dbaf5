// The e-mail sign-up form: a full name, an address, a password and a picture uploaded at once.
#pragma once

#include "people/VelkoraEmailFormViewController.h"
#include "shell/VelkoraPictureTaker.h"

namespace velkora {

namespace ui {
class Image;
class ImageView;
} // namespace ui
class VelkoraLazyImageView;
class VelkoraUserPictureUploader;

class VelkoraEmailSignUpViewController : public VelkoraEmailFormViewController, public VelkoraPictureTakerDelegate {
public:
    static constexpr const char* kNibName = "VelkoraEmailSignUpView";

    static std::shared_ptr<VelkoraEmailSignUpViewController> initFromNib(const std::string& nibName);
    ~VelkoraEmailSignUpViewController() override;
    const char* className() const override { return "VelkoraEmailSignUpViewController"; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;
    bool allConditionsMet() const override;
    bool signUp() { return send(); }
    void doneClicked(ui::Control*) { signUp(); }
    void imageAddClicked(ui::Control* sender);
    // The picture the taker hands over: sent at once.
    bool pictureTaken(const std::shared_ptr<ui::Image>& image) override;

    const std::optional<std::string>& uploadedImageUrl() const;
    const std::shared_ptr<VelkoraUserPictureUploader>& pictureUploader() const { return pictureUploader_; }
    const std::shared_ptr<VelkoraLazyImageView>& userImageView() const { return userImageView_; }
    const std::shared_ptr<ui::ImageView>& userImageFrameView() const { return userImageFrameView_; }
    const std::shared_ptr<ui::TextField>& nameTextField() const { return nameTextField_; }
    const std::shared_ptr<VelkoraResizeableButton>& doneButton() const { return doneButton_; }

protected:
    explicit VelkoraEmailSignUpViewController(std::string nibName);
    std::shared_ptr<ui::Button> mainButton() const override;
    void loadForm() override;
    void customizeWidgets() override;
    ui::TextField* fieldToFocus() const override { return nameTextField_.get(); }
    std::string requirementsMessageKey() const override;
    foundation::Dictionary details() const override;
    void showFailure(const foundation::ErrorPtr& error) override;

private:
    VelkoraUserPictureUploader& uploader();

    std::shared_ptr<VelkoraUserPictureUploader> pictureUploader_;
    std::shared_ptr<VelkoraLazyImageView> userImageView_;
    std::shared_ptr<ui::ImageView> userImageFrameView_;
    std::shared_ptr<ui::TextField> nameTextField_;
    std::shared_ptr<VelkoraResizeableButton> doneButton_;
};

} // namespace velkora
