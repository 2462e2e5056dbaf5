// The user's Facebook and Twitter friends who use the application, each with a follow button: follow all
// of a network at once, connect a network not yet connected, search both lists by name, and open a
// friend's profile. The lists come from the social-network friends repository.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/VelkoraUserInternal.h"
#include "people/VelkoraFriendsSupport.h"
#include "people/VelkoraInviteHeaderView.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "shell/VelkoraGeneralFeatureViewController.h"
#include "social/VelkoraUsersFetcher.h"

namespace velkora {

namespace ui {
class Button;
class Control;
class GestureRecognizer;
class ImageView;
class Label;
class TextField;
} // namespace ui
class VelkoraLazyImageView;
class VelkoraFindFriendsCell;

class VelkoraFindFriendsCellDelegate {
public:
    virtual ~VelkoraFindFriendsCellDelegate() = default;
    virtual void followUserTapped(VelkoraFindFriendsCell& cell) = 0;
    virtual void unfollowUserTapped(VelkoraFindFriendsCell& cell) = 0;
    virtual bool isOpenedAsFeature() = 0;
};

class VelkoraFindFriendsCell : public ui::TableViewCell, public ui::InterfaceOwner {
public:
    static constexpr const char* kInterface = "VelkoraFindFriendsCell";
    static constexpr uint32_t kScreenId = 10;

    const char* className() const override { return "VelkoraFindFriendsCell"; }
    static std::shared_ptr<VelkoraFindFriendsCell> initFromNib(std::weak_ptr<VelkoraFindFriendsCellDelegate> d);

    void updateDataWithUser(VelkoraUserPtr user);
    // The row that shows the rest of the list when tapped.
    void updateCellToMore();
    void updateCellButtons();
    void followTapped(ui::Control* sender);
    void unfollowTapped(ui::Control* sender);
    void layoutSubviews() override;

    const VelkoraUserPtr& user() const { return user_; }
    bool showMoreButton() const { return showMoreButton_; }
    std::shared_ptr<VelkoraFindFriendsCellDelegate> delegate() const { return delegate_.lock(); }
    const std::shared_ptr<ui::Label>& nameLabel() const { return nameLabel_; }
    const std::shared_ptr<ui::Label>& numFollowersLabel() const { return numFollowersLabel_; }
    const std::shared_ptr<ui::ImageView>& userFrameView() const { return userFrameView_; }
    const std::shared_ptr<VelkoraLazyImageView>& userPhoto() const { return userPhoto_; }
    const std::shared_ptr<ui::Button>& followButton() const { return followButton_; }
    const std::shared_ptr<ui::Button>& unfollowButton() const { return unfollowButton_; }
    const std::shared_ptr<ui::Button>& showProfileButton() const { return showProfileButton_; }
    const std::shared_ptr<ui::ImageView>& moreImage() const { return moreImage_; }
    const std::shared_ptr<ui::Label>& moreLabel() const { return moreLabel_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    void setUp();
    void showUserViews(bool user);

    VelkoraUserPtr user_;
    bool showMoreButton_ = false;
    std::weak_ptr<VelkoraFindFriendsCellDelegate> delegate_;
    std::shared_ptr<ui::Label> nameLabel_;
    std::shared_ptr<ui::Label> numFollowersLabel_;
    std::shared_ptr<ui::ImageView> userFrameView_;
    std::shared_ptr<VelkoraLazyImageView> userPhoto_;
    std::shared_ptr<ui::Button> followButton_;
    std::shared_ptr<ui::Button> unfollowButton_;
    std::shared_ptr<ui::Button> showProfileButton_;
    std::shared_ptr<ui::ImageView> moreImage_;
    std::shared_ptr<ui::Label> moreLabel_;
};

class VelkoraFindFriendsViewController : public VelkoraGeneralFeatureViewController,
                                         public ui::TableViewDataSource,
                                         public ui::TableViewDelegate,
                                         public VelkoraUsersFetcherDelegate,
                                         public VelkoraFindFriendsCellDelegate,
                                         public VelkoraInviteHeaderViewDelegate {
public:
    static constexpr const char* kInterface = "VelkoraFindFriendsView";
    static constexpr const char* kCellIdentifier = "VelkoraFindFriendsCell";
    static constexpr uint32_t kScreenId = 10;
    // A network's section shows this many rows until the user asks for all of them.
    static constexpr int kRowsBeforeMore = 5;

    static std::shared_ptr<VelkoraFindFriendsViewController> create();
    ~VelkoraFindFriendsViewController() override;
    const char* className() const override { return "VelkoraFindFriendsViewController"; }

    void viewDidLoad() override;
    bool shouldAutorotateToInterfaceOrientation(int orientation) const override;

    int numberOfSectionsInTableView(ui::TableView& table) override;
    int numberOfRowsInSection(ui::TableView& table, int section) override;
    ui::TableViewCellPtr cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;
    double heightForHeaderInSection(ui::TableView& table, int section) override;
    double heightForFooterInSection(ui::TableView& table, int section) override;
    ui::ViewPtr viewForHeaderInSection(ui::TableView& table, int section) override;
    void willDisplayCell(ui::TableView& table, ui::TableViewCell& cell, const ui::IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;

    void filterChanged(ui::Control* sender);
    void filterContentForSearchText(const std::string& text);
    void filterChangedEnded(ui::Control* sender);
    void cancelTapped(ui::Control* sender) override;
    void keyboardWillShow(const foundation::Notification& n);
    void keyboardWillHide(const foundation::Notification& n);

    void followUserTapped(VelkoraFindFriendsCell& cell) override;
    void unfollowUserTapped(VelkoraFindFriendsCell& cell) override;
    bool isOpenedAsFeature() override;
    void followAllTapped(VelkoraInviteHeaderView& header) override;
    void connectTapped(VelkoraInviteHeaderView& header) override;
    void handleNewData(VelkoraUsersFetcher& fetcher) override;
    void followingDidChanged(const foundation::Notification& n);

    const std::vector<VelkoraUserPtr>& facebookList() const { return facebookList_; }
    const std::vector<VelkoraUserPtr>& twitterList() const { return twitterList_; }
    const std::vector<VelkoraUserPtr>& mergedFilteredList() const { return mergedFilteredList_; }
    bool showAllFacebook() const { return showAllFacebook_; }
    bool showAllTwitter() const { return showAllTwitter_; }
    const std::shared_ptr<VelkoraSNUserFetcher>& facebookFetcher() const { return facebookFetcher_; }
    const std::shared_ptr<VelkoraSNUserFetcher>& twitterFetcher() const { return twitterFetcher_; }
    const std::shared_ptr<VelkoraInviteHeaderView>& facebookHeaderView() const { return facebookHeaderView_; }
    const std::shared_ptr<VelkoraInviteHeaderView>& twitterHeaderView() const { return twitterHeaderView_; }
    const std::shared_ptr<ui::TableView>& friendsTable() const { return friendsTable_; }
    const std::shared_ptr<ui::TextField>& filterText() const { return filterText_; }
    const std::shared_ptr<ui::Label>& findFriendsTitleLabel() const { return findFriendsTitleLabel_; }
    bool isFiltering() const;

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    VelkoraFindFriendsViewController();
    void buildHeaders();
    // The shown lists, copied again from the repository.
    void rebuildLists();
    const std::vector<VelkoraUserPtr>& listOf(int section) const;
    void connected(int32_t method);
    void showConnect(VelkoraInviteHeaderView& header, bool show);

    std::vector<VelkoraUserPtr> facebookList_, twitterList_, mergedFilteredList_;
    std::shared_ptr<VelkoraSNUserFetcher> facebookFetcher_, twitterFetcher_;
    bool showAllFacebook_ = false, showAllTwitter_ = false;
    std::shared_ptr<VelkoraInviteHeaderView> facebookHeaderView_, twitterHeaderView_;
    std::shared_ptr<friends::NetworkConnect> connect_;
    // The user whose follow is pending: a row may show someone else by the time the answer comes.
    VelkoraUserPtr tappedUser_;

    std::shared_ptr<ui::TableView> friendsTable_;
    std::shared_ptr<ui::TextField> filterText_;
    std::shared_ptr<ui::ImageView> searchIconView_;
    std::shared_ptr<ui::Label> findFriendsTitleLabel_;
    std::weak_ptr<ui::GestureRecognizer> keyboardTap_;
    foundation::NotificationObserver followingObserver_, keyboardShowObserver_, keyboardHideObserver_;
};

namespace friends {
// The users sorted by full name as the user list sorts them (UTF-16 units, case-sensitive; ties by id).
void sortByFullName(std::vector<VelkoraUserPtr>& users);
// Adds the users not yet in `list` (by id), in order; answers how many were new.
size_t addOnce(std::vector<VelkoraUserPtr>& list, const std::vector<VelkoraUserPtr>& users);
} // namespace friends

} // namespace velkora
