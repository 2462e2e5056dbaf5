// Another user's profile: picture, name, place, bio, the counts of posts, followers and following,
// follow or unfollow, a private chat, block and report, and that user's own posts and likes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "data/VelkoraActivityModel.h"
#include "data/VelkoraUserInternal.h"
#include "feed/VelkoraFeedTableController.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/TableView.h"
#include "shell/VelkoraDefaultOKPopupView.h"
#include "shell/VelkoraGeneralFeatureViewController.h"
#include "shell/VelkoraSigninToFollowPopupHelper.h"

namespace velkora {

namespace ui {
class ActivityIndicatorView;
class ImageView;
class Label;
class LayoutConstraint;
} // namespace ui
class VelkoraLazyImageView;

class VelkoraOtherUserProfileViewController : public VelkoraGeneralFeatureViewController,
                                              public ui::ActionSheetDelegate,
                                              public VelkoraFeedTableControllerDelegate,
                                              public VelkoraDefaultOKPopupViewDelegate,
                                              public VelkoraSigninToFollowPopupHelperDelegate {
public:
    static constexpr const char* kInterface = "VelkoraOtherUserProfile";
    static constexpr const char* kWatchedNotification = "kVelkoraOtherUserProfileWatched";
    static constexpr uint32_t kScreenId = 14;

    // A user the caller holds (shown as it is when complete).
    static std::shared_ptr<VelkoraOtherUserProfileViewController> create(VelkoraUserPtr user);
    // The repository's user of the id; asks the service only for a user lacking its application or user id.
    static std::shared_ptr<VelkoraOtherUserProfileViewController> initWithUserId(const std::string& userId);
    ~VelkoraOtherUserProfileViewController() override;
    const char* className() const override { return "VelkoraOtherUserProfileViewController"; }

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void viewDidLayoutSubviews() override;

    void setViewWithUser();
    void gotUserData(const foundation::Value& user);
    void gotUserDataFailed(const foundation::ErrorPtr& error);
    void gotUserPosts(const foundation::Value& reply);
    void gotUserPostsFailed(const foundation::ErrorPtr& error);
    void followingDidChanged(const foundation::Notification& n);

    // ---- actions of the interface file
    void followTapped(ui::Control* sender);
    void unfollowTapped(ui::Control* sender);
    void chatTapped(ui::Control* sender);
    void badUserTapped(ui::Control* sender);
    void followersTapped(ui::Control* sender);
    void followingTapped(ui::Control* sender);
    void feedTapped(ui::Control* sender);

    // ---- the sign-in question, the block/report sheet and its confirmation
    void didSignin() override;
    void performLogin() override;
    void performSignUp() override;
    void clickedButtonAtIndex(ui::ActionSheet& sheet, int index) override;
    void popupOkTapped() override;
    void popupCancelTapped() override {}

    // ---- the posts table, drawn by the feed's table controller
    void showSharePopup() override;
    void hideSharePopup() override;
    const std::vector<VelkoraActivityPtr>& getMessagesAndLikes() const override { return messagesAndLikes_; }
    void stopAnimation() override;
    std::shared_ptr<foundation::DispatchQueue> serialQueue() override { return serialQueue_; }
    const std::shared_ptr<VelkoraFeedTableController>& tableController() const { return tableController_; }

    // Messages then likes, without anything by or about an anonymous user, newest first, as the feed lists them.
    static std::vector<std::shared_ptr<VelkoraActivityModel>> getSortedActivities(const foundation::Value& messages,
                                                                                  const foundation::Value& likes);

    const VelkoraUserPtr& velkoraUser() const { return velkoraUser_; }
    const std::vector<std::shared_ptr<VelkoraActivityModel>>& messagesAndLikes() const { return messagesAndLikes_; }
    std::shared_ptr<ui::ActionSheet> badUserSheet() const { return badUserSheet_.lock(); }
    std::shared_ptr<VelkoraDefaultOKPopupView> badUserPopup() const { return badUserPopup_.lock(); }
    const std::shared_ptr<VelkoraSigninToFollowPopupHelper>& signinHelper() const { return signinHelper_; }

    const std::shared_ptr<VelkoraLazyImageView>& userPhoto() const { return userPhoto_; }
    const std::shared_ptr<ui::Label>& userNameLabel() const { return userNameLabel_; }
    const std::shared_ptr<ui::Label>& userLocationLabel() const { return userLocationLabel_; }
    const std::shared_ptr<ui::Label>& userAboutLabel() const { return userAboutLabel_; }
    const std::shared_ptr<ui::Label>& numPostsLabel() const { return numPostsLabel_; }
    const std::shared_ptr<ui::Label>& numFollowersLabel() const { return numFollowersLabel_; }
    const std::shared_ptr<ui::Label>& numFollowingLabel() const { return numFollowingLabel_; }
    const std::shared_ptr<ui::Label>& midBarTitleLabel() const { return midBarTitleLabel_; }
    const std::shared_ptr<ui::Button>& followButton() const { return followButton_; }
    const std::shared_ptr<ui::Button>& unfollowButton() const { return unfollowButton_; }
    const std::shared_ptr<ui::Button>& chatButton() const { return chatButton_; }
    const std::shared_ptr<ui::Button>& badUserButton() const { return badUserButton_; }
    const std::shared_ptr<ui::TableView>& postsTable() const { return postsTable_; }
    const std::shared_ptr<ui::ActivityIndicatorView>& activityIndicator() const { return activityIndicator_; }
    const std::shared_ptr<ui::LayoutConstraint>& aboutLabelHeightConstraint() const {
        return aboutLabelHeightConstraint_;
    }

    void registerInterfaceBindings(ui::InterfaceBindings& b) override;

private:
    explicit VelkoraOtherUserProfileViewController(VelkoraUserPtr user);
    void showFollowState();
    void askToSignIn(const std::string& messageKey);
    void pushScreen(const std::shared_ptr<ui::ViewController>& screen);
    void pushFeature(const std::string& name, foundation::Value object1 = {});
    void showToast(const std::string& key);

    VelkoraUserPtr velkoraUser_;
    std::vector<std::shared_ptr<VelkoraActivityModel>> messagesAndLikes_;
    std::shared_ptr<VelkoraSigninToFollowPopupHelper> signinHelper_;
    bool isFollowTapped_ = false, isChatTapped_ = false;
    int badUserClickedOption_ = -1;
    std::weak_ptr<ui::ActionSheet> badUserSheet_;
    std::weak_ptr<VelkoraDefaultOKPopupView> badUserPopup_;

    std::shared_ptr<VelkoraLazyImageView> userPhoto_;
    std::shared_ptr<ui::ImageView> userPhotoFrame_;
    std::shared_ptr<ui::Label> userNameLabel_, userNameTitleLabel_, userLocationLabel_, userAboutLabel_;
    std::shared_ptr<ui::Label> numPostsLabel_, numFollowersLabel_, numFollowingLabel_;
    std::shared_ptr<ui::Label> postsLabel_, followersLabel_, followingLabel_;
    std::shared_ptr<ui::Button> followButton_, unfollowButton_, chatButton_, badUserButton_;
    std::shared_ptr<ui::TableView> postsTable_;
    std::shared_ptr<ui::View> midBarView_;
    std::shared_ptr<ui::ImageView> midBarTopImageView_, midBarShadeImageView_;
    // Names what the list under the bar holds, so the bar reads as its heading.
    std::shared_ptr<ui::Label> midBarTitleLabel_;
    std::shared_ptr<ui::View> shareView_;
    std::shared_ptr<ui::Label> shareLabel_, facebookConnectLabel_, twitterConnectLabel_, emailConnectLabel_;
    std::shared_ptr<ui::Button> closeButton_;
    std::shared_ptr<ui::ActivityIndicatorView> activityIndicator_;
    std::shared_ptr<ui::LayoutConstraint> aboutLabelHeightConstraint_, aboutLabelLeadingSpaceConstraint_,
        aboutLabelTrailingSpaceConstraint_;

    foundation::NotificationObserver followingObserver_;
    std::shared_ptr<foundation::DispatchQueue> serialQueue_;
    std::shared_ptr<VelkoraFeedTableController> tableController_;
};

} // namespace velkora
