// The signed-in user's settings: the display name and picture, the connected identities with their
// connect and sign-out buttons (carried out by the opener), and the way to a new password. It redraws
// whenever the signed-in account changes.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Value.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextField.h"
#include "shell/VelkoraDefaultOKPopupView.h"
#include "shell/VelkoraGeneralFeatureViewController.h"
#include "shell/VelkoraPictureTaker.h"

namespace velkora {

namespace ui {
class Image;
class ImageView;
class ScrollView;
} // namespace ui
class VelkoraLazyImageView;
class VelkoraPanelProfileViewDelegate;
class VelkoraResizeableButton;
class VelkoraUserInternal;
class VelkoraUserPictureUploader;

class VelkoraUserSettingsViewController : public VelkoraGeneralFeatureViewController,
                                          public ui::TextFieldDelegate,
                                          public VelkoraDefaultOKPopupViewDelegate,
                                          public VelkoraPictureTakerDelegate {
public:
    static constexpr const char* kNibName = "VelkoraUserSettingsView";
    static constexpr uint32_t kStyleScreenIdentifier = 28;

    static std::shared_ptr<VelkoraUserSettingsViewController> initFromNib(const std::string& nibName);
    ~VelkoraUserSettingsViewController() override;
    const char* className() const override { return "VelkoraUserSettingsViewController"; }

    void viewDidLoad() override;
    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

    // Redraws from the current user.
    void updateUser();
    void updateWithVelkoraUser(const std::shared_ptr<VelkoraUserInternal>& user);

    void updateClicked(ui::Control* sender);
    void imageAddClicked(ui::Control* sender);
    void changePasswordClicked(ui::Control* sender);
    void fbSignOutClicked(ui::Control* sender);
    void fbConnectClicked(ui::Control* sender);
    void twSignOutClicked(ui::Control* sender);
    void twConnectClicked(ui::Control* sender);
    void emailSignOutClicked(ui::Control* sender);
    void backTapped(ui::Control* sender) override;

    bool textFieldShouldReturn(ui::TextField& field) override;
    void popupOkTapped() override;
    void popupCancelTapped() override;

    bool pictureTaken(const std::shared_ptr<ui::Image>& image) override;
    // The service's answers to a save.
    void userDataSaved(const foundation::Value& ignored);
    void userDataSaveFailed(const foundation::ErrorPtr& error);

    std::shared_ptr<VelkoraPanelProfileViewDelegate> delegate() const { return delegate_.lock(); }
    // Not retained: the opener owns this screen's stack.
    void setDelegate(std::weak_ptr<VelkoraPanelProfileViewDelegate> d) { delegate_ = std::move(d); }
    const std::optional<std::string>& uploadedImageUrl() const;
    bool isSaving() const { return saving_; }
    double scrollViewOrigHeight() const { return scrollViewOrigHeight_; }
    const std::shared_ptr<VelkoraUserPictureUploader>& pictureUploader() const { return pictureUploader_; }

    const std::shared_ptr<ui::ScrollView>& scrollView() const { return scrollView_; }
    const std::shared_ptr<ui::Label>& userDetailsLabel() const { return userDetailsLabel_; }
    const std::shared_ptr<ui::View>& userDetailsView() const { return userDetailsView_; }
    const std::shared_ptr<VelkoraLazyImageView>& userImageView() const { return userImageView_; }
    const std::shared_ptr<ui::ImageView>& userImageFrameView() const { return userImageFrameView_; }
    const std::shared_ptr<ui::TextField>& userNameTextField() const { return userNameTextField_; }
    const std::shared_ptr<ui::View>& changePasswordView() const { return changePasswordView_; }
    const std::shared_ptr<ui::Label>& changePasswordLabel() const { return changePasswordLabel_; }
    const std::shared_ptr<VelkoraResizeableButton>& changePasswordButton() const { return changePasswordButton_; }
    const std::shared_ptr<ui::Label>& accountsLabel() const { return accountsLabel_; }
    const std::shared_ptr<VelkoraResizeableButton>& updateButton() const { return updateButton_; }
    const std::shared_ptr<ui::View>& fbView() const { return fbView_; }
    const std::shared_ptr<ui::Label>& fbUserNameLabel() const { return fbUserNameLabel_; }
    const std::shared_ptr<ui::Button>& fbSignOutButton() const { return fbSignOutButton_; }
    const std::shared_ptr<ui::Button>& fbConnectButton() const { return fbConnectButton_; }
    const std::shared_ptr<ui::Label>& fbConnectLabel() const { return fbConnectLabel_; }
    const std::shared_ptr<ui::ImageView>& fbSocialLogo() const { return fbSocialLogo_; }
    const std::shared_ptr<ui::View>& twView() const { return twView_; }
    const std::shared_ptr<ui::Label>& twUserNameLabel() const { return twUserNameLabel_; }
    const std::shared_ptr<ui::Button>& twSignOutButton() const { return twSignOutButton_; }
    const std::shared_ptr<ui::Button>& twConnectButton() const { return twConnectButton_; }
    const std::shared_ptr<ui::Label>& twConnectLabel() const { return twConnectLabel_; }
    const std::shared_ptr<ui::ImageView>& twSocialLogo() const { return twSocialLogo_; }
    const std::shared_ptr<ui::View>& emailView() const { return emailView_; }
    const std::shared_ptr<ui::Label>& emailUserNameLabel() const { return emailUserNameLabel_; }
    const std::shared_ptr<ui::Button>& emailSignOutButton() const { return emailSignOutButton_; }
    const std::shared_ptr<ui::ImageView>& emailSocialLogo() const { return emailSocialLogo_; }

private:
    // Moves the account rows and the Update button up over the rows that are hidden.
    void closeUpRows();
    explicit VelkoraUserSettingsViewController(std::string nibName);
    bool hasChanges() const;
    void leave();

    VelkoraUserPictureUploader& uploader();

    std::shared_ptr<VelkoraUserPictureUploader> pictureUploader_;
    double scrollViewOrigHeight_ = 0;
    // Where the account rows and the Update button sit in the interface file, all rows shown.
    std::vector<double> rowTops_;
    std::weak_ptr<VelkoraPanelProfileViewDelegate> delegate_;
    bool saving_ = false;
    // The user as it will be once the service has saved it.
    std::shared_ptr<VelkoraUserInternal> pendingUser_;
    foundation::NotificationObserver signinObserver_;

    std::shared_ptr<ui::ScrollView> scrollView_;
    std::shared_ptr<ui::Label> userDetailsLabel_;
    std::shared_ptr<ui::View> userDetailsView_;
    std::shared_ptr<VelkoraLazyImageView> userImageView_;
    std::shared_ptr<ui::ImageView> userImageFrameView_;
    std::shared_ptr<ui::TextField> userNameTextField_;
    std::shared_ptr<ui::View> changePasswordView_;
    std::shared_ptr<ui::Label> changePasswordLabel_;
    std::shared_ptr<VelkoraResizeableButton> changePasswordButton_;
    std::shared_ptr<ui::Label> accountsLabel_;
    std::shared_ptr<VelkoraResizeableButton> updateButton_;
    std::shared_ptr<ui::View> fbView_;
    std::shared_ptr<ui::Label> fbUserNameLabel_;
    std::shared_ptr<ui::Button> fbSignOutButton_;
    std::shared_ptr<ui::Button> fbConnectButton_;
    std::shared_ptr<ui::Label> fbConnectLabel_;
    std::shared_ptr<ui::ImageView> fbSocialLogo_;
    std::shared_ptr<ui::View> twView_;
    std::shared_ptr<ui::Label> twUserNameLabel_;
    std::shared_ptr<ui::Button> twSignOutButton_;
    std::shared_ptr<ui::Button> twConnectButton_;
    std::shared_ptr<ui::Label> twConnectLabel_;
    std::shared_ptr<ui::ImageView> twSocialLogo_;
    std::shared_ptr<ui::View> emailView_;
    std::shared_ptr<ui::Label> emailUserNameLabel_;
    std::shared_ptr<ui::Button> emailSignOutButton_;
    std::shared_ptr<ui::ImageView> emailSocialLogo_;
};

} // namespace velkora
