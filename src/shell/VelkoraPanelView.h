// The content of the sidebar: a header showing who uses the app (or an invitation to sign up) above the
// table of menu rows. The rows come from the feature list the service configures, in its order; the
// inbox, chat-rooms, feed, radar and find-friends rows carry badges kept from the repositories'
// notifications. The view and its subviews come from the sidebar controller's interface file.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TableView.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "shell/VelkoraPanelCommand.h"

namespace velkora {

class VelkoraLazyImageView;
class VelkoraPanelProfileViewDelegate;
class VelkoraPanelProfileViewFace;
class VelkoraPanelViewCell;
class VelkoraUserInternal;

// What the menu asks of whoever shows it: the row taps, and the margins the header's slide works with.
class VelkoraPanelViewDelegate {
public:
    virtual ~VelkoraPanelViewDelegate() = default;
    virtual void radarClicked(const std::string& title) = 0;
    virtual void customFeatureClicked(const std::string& customId) = 0;
    virtual void feedClicked(const std::string& title) = 0;
    virtual void chatClicked(const std::string& title) = 0;
    virtual void inviteClicked(const std::string& title) = 0;
    virtual void feedbackClicked(const std::string& title) = 0;
    virtual void chatRoomsClicked(const std::string& title) = 0;
    virtual void leaderboardClicked(const std::string& title) = 0;
    virtual void quizClicked(const std::string& title) = 0;
    virtual void rateUsClicked() = 0;
    virtual double getPanelTopMargin() = 0;
    virtual double getPanelBottomMargin() = 0;
};

class VelkoraPanelView : public ui::View,
                         public ui::InterfaceOwner,
                         public ui::TableViewDataSource,
                         public ui::TableViewDelegate {
public:
    static constexpr const char* kAppDealsReuseIdentifier = "VelkoraPanelAppDealsCell";

    VelkoraPanelView() = default;
    ~VelkoraPanelView() override;
    const char* className() const override { return "VelkoraPanelView"; }

    // ---- Menu
    // One-time set-up, after the delegate is set.
    void myInitAsMenu(bool menuMode);
    void initFeaturesNew();
    std::optional<std::string> localizedTitleOf(const std::string& key, const std::string& comment,
                                                const std::optional<std::string>& serverDefault) const;
    void refreshAppDealsView();
    void updateAppDeals();
    void refreshRadarBadge();
    void refreshFindFriendsBadge();
    void recreateSideBar();
    void sendBadgeNumberChangeNotificationForFeature(uint32_t featureId);
    // The sum of every row's badge but the radar's: what the activation button shows.
    int32_t totalBadges() const;

    const std::vector<std::shared_ptr<VelkoraPanelCommand>>& commands() const { return commands_; }
    std::shared_ptr<VelkoraPanelViewDelegate> delegate() const { return delegate_.lock(); }
    // Not retained: the delegate owns the panel.
    void setDelegate(std::weak_ptr<VelkoraPanelViewDelegate> delegate) { delegate_ = std::move(delegate); }
    int inboxCommandIdx() const { return inboxCommandIdx_; }
    int feedCommandIdx() const { return feedCommandIdx_; }
    int blogCommandIdx() const { return blogCommandIdx_; }
    int findFriendsCommandIdx() const { return findFriendsCommandIdx_; }
    int radarCommandIdx() const { return radarCommandIdx_; }
    int leaderboardCommandIdx() const { return leaderboardCommandIdx_; }
    int quizCommandIdx() const { return quizCommandIdx_; }
    const std::shared_ptr<ui::TableView>& commandsTable() const { return commandsTable_; }

    // ---- Header
    void updateWithVelkoraUser(const std::shared_ptr<VelkoraUserInternal>& user);
    void updateScrollView();
    void profileButtonClicked(ui::Control* sender);
    void showProfileScreen();
    void hideProfileScreen();
    bool isMenuMode() const { return isMenuMode_; }
    // What the own-profile block's taps reach (the sidebar controller); kept over every new block.
    void setProfileBlockDelegate(std::weak_ptr<VelkoraPanelProfileViewDelegate> delegate);
    bool isProfileViewShown() const { return isProfileViewShown_; }
    double profileViewOrigY() const { return profileViewOrigY_; }

    const std::shared_ptr<ui::View>& usersDetailsView() const { return usersDetailsView_; }
    const std::shared_ptr<VelkoraLazyImageView>& userImage() const { return userImage_; }
    const std::shared_ptr<ui::Label>& nameLabel() const { return nameLabel_; }
    const std::shared_ptr<ui::Label>& locationLabel() const { return locationLabel_; }
    const std::shared_ptr<ui::Label>& numPostsLabel() const { return numPostsLabel_; }
    const std::shared_ptr<ui::Label>& numFollowersLabel() const { return numFollowersLabel_; }
    const std::shared_ptr<ui::Label>& numFollowingLabel() const { return numFollowingLabel_; }
    const std::shared_ptr<ui::Label>& postsLabel() const { return postsLabel_; }
    const std::shared_ptr<ui::Label>& followersLabel() const { return followersLabel_; }
    const std::shared_ptr<ui::Label>& followingLabel() const { return followingLabel_; }
    const std::shared_ptr<ui::Button>& facebookConnectButton() const { return facebookConnectButton_; }
    const std::shared_ptr<ui::Button>& twitterConnectButton() const { return twitterConnectButton_; }
    const std::shared_ptr<ui::Button>& loginButton() const { return loginButton_; }
    const std::shared_ptr<ui::Button>& signUpButton() const { return signUpButton_; }
    const std::shared_ptr<ui::Button>& numPostsButton() const { return numPostsButton_; }
    const std::shared_ptr<ui::Button>& numFollowersButton() const { return numFollowersButton_; }
    const std::shared_ptr<ui::Button>& numFollowingButton() const { return numFollowingButton_; }
    const std::shared_ptr<ui::ActivityIndicatorView>& activityView() const { return activityView_; }
    const std::shared_ptr<ui::View>& anonymousView() const { return anonymousView_; }
    const std::shared_ptr<ui::Label>& anonymousInvitationLabel() const { return anonymousInvitationLabel_; }
    const std::shared_ptr<ui::View>& signUpAnonymousView() const { return signUpAnonymousView_; }
    const std::shared_ptr<ui::Label>& signUpAnonymousInvitationLabel() const { return signUpAnonymousInvitationLabel_; }
    const std::shared_ptr<ui::Button>& profileButton() const { return profileButton_; }
    const std::shared_ptr<ui::ScrollView>& profileScrollView() const { return profileScrollView_; }
    // The own-profile block, when a maker of it is part of this build.
    const std::shared_ptr<ui::View>& profileView() const { return profileView_; }
    const std::shared_ptr<ui::LayoutConstraint>& profileScrollViewTopSpaceConstraint() const {
        return profileScrollViewTopSpaceConstraint_;
    }
    const std::shared_ptr<ui::LayoutConstraint>& commandsTableTopSpaceConstraint() const {
        return commandsTableTopSpaceConstraint_;
    }

    // ---- Table
    int numberOfRowsInSection(ui::TableView& table, int section) override;
    ui::TableViewCellPtr cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;
    void willDisplayCell(ui::TableView& table, ui::TableViewCell& cell, const ui::IndexPath& indexPath) override;
    double heightForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;
    std::optional<ui::IndexPath> willSelectRowAtIndexPath(ui::TableView& table,
                                                          const ui::IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    friend struct VelkoraPanelViewFeatures;
    std::shared_ptr<VelkoraPanelCommand> makeCommand(const std::string& name, int32_t featureId) const;
    // Fills a row of the feature table; false for an id the table does not hold.
    bool finishKnownCommand(VelkoraPanelCommand& command, const std::optional<std::string>& serverTitle) const;
    std::shared_ptr<ui::TableViewCell> makeAppDealsCell() const;
    void setBadge(int index, int32_t value, uint32_t featureId);
    void observeRepositories();
    void gotNewMessages(const foundation::Notification& n);
    void styleHeader();

    std::weak_ptr<VelkoraPanelViewDelegate> delegate_;
    std::vector<std::shared_ptr<VelkoraPanelCommand>> commands_;
    int inboxCommandIdx_ = -1;
    int feedCommandIdx_ = -1;
    int blogCommandIdx_ = -1;
    int findFriendsCommandIdx_ = -1;
    int radarCommandIdx_ = -1;
    int leaderboardCommandIdx_ = -1;
    int quizCommandIdx_ = -1;
    std::shared_ptr<VelkoraPanelViewCell> defaultPanelCellSample_;
    std::shared_ptr<ui::TableViewCell> defaultPanelAppDealsCellSample_;
    std::vector<foundation::NotificationObserver> observers_;

    std::shared_ptr<ui::TableView> commandsTable_;
    std::shared_ptr<ui::ImageView> backgroundImageView_;
    std::shared_ptr<ui::View> usersDetailsView_;
    std::shared_ptr<VelkoraLazyImageView> userImage_;
    std::shared_ptr<ui::ImageView> userImageFrame_;
    std::shared_ptr<ui::Label> nameLabel_;
    std::shared_ptr<ui::Label> locationLabel_;
    std::shared_ptr<ui::Label> numPostsLabel_, numFollowersLabel_, numFollowingLabel_;
    std::shared_ptr<ui::Label> postsLabel_, followersLabel_, followingLabel_;
    std::shared_ptr<ui::Button> numPostsButton_, numFollowersButton_, numFollowingButton_;
    std::shared_ptr<ui::Button> facebookConnectButton_, twitterConnectButton_, loginButton_, signUpButton_;
    std::shared_ptr<ui::ActivityIndicatorView> activityView_;
    std::shared_ptr<ui::View> anonymousView_;
    std::shared_ptr<ui::Label> anonymousInvitationLabel_;
    std::shared_ptr<ui::View> signUpAnonymousView_;
    std::shared_ptr<ui::Label> signUpAnonymousInvitationLabel_;
    std::shared_ptr<ui::Button> profileButton_;
    std::shared_ptr<ui::ScrollView> profileScrollView_;
    std::shared_ptr<ui::View> profileView_;
    std::shared_ptr<VelkoraPanelProfileViewFace> profileBlock_;
    std::weak_ptr<VelkoraPanelProfileViewDelegate> profileBlockDelegate_;
    std::shared_ptr<ui::LayoutConstraint> profileScrollViewTopSpaceConstraint_;
    std::shared_ptr<ui::LayoutConstraint> commandsTableTopSpaceConstraint_;
    std::shared_ptr<ui::LayoutConstraint> profileOverlayImageBottomSpaceConstraint_;
    std::shared_ptr<ui::LayoutConstraint> profileOverlayShadeBottomSpaceConstraint_;
    bool isMenuMode_ = false;
    bool isProfileViewShown_ = false;
    double profileViewOrigY_ = 0;
};

} // namespace velkora
