// The signed-in user's own profile: picture, name, place and counts over the own-profile block, or an
// invitation to connect (or to log in or sign up) for an anonymous user; connecting, disconnecting and
// signing out, and the rows that open the lists, the posts, the inbox, the settings and the bio editor.
#pragma once

#include <memory>
#include <string>

#include "data/VelkoraUserInternal.h"
#include "platform/foundation/NotificationCenter.h"
#include "shell/VelkoraDefaultOKPopupView.h"
#include "shell/VelkoraGeneralFeatureViewController.h"
#include "shell/VelkoraPanelProfileViewDelegate.h"

namespace velkora {

namespace ui {
class ActivityIndicatorView;
class Label;
class ImageView;
class ScrollView;
} // namespace ui
class VelkoraLazyImageView;
class VelkoraPanelProfileView;
class VelkoraUserSignUpHelper;

class VelkoraUserProfileViewController : public VelkoraGeneralFeatureViewController,
                                         public VelkoraPanelProfileViewDelegate,
                                         public VelkoraDefaultOKPopupViewDelegate {
public:
    static constexpr const char* kInterface = "VelkoraUserProfile";
    static constexpr uint32_t kScreenId = 15;

    static std::shared_ptr<VelkoraUserProfileViewController> initFromNib();
    ~VelkoraUserProfileViewController() override;
    const char* className() const override { return "VelkoraUserProfileViewController"; }

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;

    // ---- the block's delegate
    void updateWithVelkoraUser(const std::shared_ptr<VelkoraUserInternal>& user) override;
    void editAboutClicked() override;
    void fbConnectClickedInView(ui::View* view) override;
    void fbSignoutClickedInView(ui::View* view) override;
    void twConnectClickedInView(ui::View* view) override;
    void twSignoutClickedInView(ui::View* view) override;
    void emailSignoutClickedInView(ui::View* view) override;
    void settingsClicked() override;
    void messagesClicked(const std::string& title) override;
    void privateModeSwitchedValue(bool on) override;

    void popupOkTapped() override;
    void popupCancelTapped() override {}

    // ---- answers
    void fbConnected(const foundation::Value& details);
    void twitterGotUserDetails(const foundation::Value& details);
    void connectFinished(const foundation::Value& ignored);
    void connectFailed(const foundation::ErrorPtr& error);
    void userSignedOut(const foundation::Value& ignored);
    void userDisconnectedFacebook(const foundation::Value& ignored);
    void userDisconnectedTwitter(const foundation::Value& ignored);
    void requestFailed(const foundation::ErrorPtr& error);

    void didConnect(int network); // 1 Facebook, 2 Twitter

    const std::shared_ptr<VelkoraPanelProfileView>& profileView() const { return profileView_; }
    int blocksBuilt() const { return blocksBuilt_; }
    const std::shared_ptr<ui::View>& anonymousView() const { return anonymousView_; }
    const std::shared_ptr<ui::View>& signUpAnonymousView() const { return signUpAnonymousView_; }
    const std::shared_ptr<ui::View>& userDetailsView() const { return userDetailsView_; }
    const std::shared_ptr<ui::Label>& nameLabel() const { return nameLabel_; }
    const std::shared_ptr<ui::Label>& locationLabel() const { return locationLabel_; }
    const std::shared_ptr<ui::Label>& numFollowersLabel() const { return numFollowersLabel_; }
    const std::shared_ptr<ui::Label>& anonymousInvitationLabel() const { return anonymousInvitationLabel_; }
    const std::shared_ptr<ui::Label>& signUpAnonymousInvitationLabel() const { return signUpAnonymousInvitationLabel_; }
    std::shared_ptr<VelkoraDefaultOKPopupView> signoutPopup() const { return signoutPopup_.lock(); }
    const std::shared_ptr<ui::Button>& facebookConnectButton() const { return facebookConnectButton_; }
    const std::shared_ptr<ui::Button>& twitterConnectButton() const { return twitterConnectButton_; }
    bool isSpinning() const;

    void registerInterfaceBindings(ui::InterfaceBindings& b) override;

private:
    VelkoraUserProfileViewController() : VelkoraGeneralFeatureViewController(kInterface) {}
    void startSpinnerAt(ui::View* view);
    void stopSpinner();
    void showSignoutPopup(int origin, const std::string& service, ui::View* view);
    void signoutFrom(int origin);
    void postSigninChanged(const std::string& service, int state, const foundation::Value* account);
    void pushFeature(const std::string& name, foundation::Value object1 = {});
    void pushScreen(const std::shared_ptr<ui::ViewController>& screen);
    VelkoraUserSignUpHelper& signUpHelper();

    VelkoraUserPtr velkoraUser_;
    std::shared_ptr<VelkoraPanelProfileView> profileView_;
    std::shared_ptr<VelkoraUserSignUpHelper> userSignUpHelper_;
    int signoutOrigin_ = 0;
    int pendingSignout_ = 0; // the sign-out the open confirmation would run
    bool isFacebookConnected_ = false, isTwitterConnected_ = false;
    bool buildingBlock_ = false;
    int blocksBuilt_ = 0;
    std::weak_ptr<ui::View> signoutView_;
    std::weak_ptr<VelkoraDefaultOKPopupView> signoutPopup_;
    std::shared_ptr<ui::ActivityIndicatorView> activityView_;

    std::shared_ptr<ui::View> userDetailsView_, anonymousView_, signUpAnonymousView_;
    std::shared_ptr<ui::ScrollView> detailsScrollView_;
    std::shared_ptr<ui::Label> userNameTitleLabel_, nameLabel_, locationLabel_, numPostsLabel_, numFollowersLabel_,
        numFollowingLabel_, postsLabel_, followersLabel_, followingLabel_, anonymousInvitationLabel_,
        signUpAnonymousInvitationLabel_;
    std::shared_ptr<VelkoraLazyImageView> userImage_;
    std::shared_ptr<ui::ImageView> userImageFrame_;
    std::shared_ptr<ui::Button> facebookConnectButton_, twitterConnectButton_, loginButton_, signUpButton_;
    std::vector<foundation::NotificationObserver> observers_;
};

} // namespace velkora
