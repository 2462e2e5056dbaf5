// The one screen that lists people (a user's followers or followings, friends from a social network, any
// list a users fetcher makes): alphabetical sections with a side index, a search over first and last
// names, follow and unfollow on each row, and the row's profile on a tap.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "people/VelkoraUserListSections.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/TableView.h"
#include "shell/VelkoraGeneralFeatureViewController.h"
#include "shell/VelkoraSigninToFollowPopupHelper.h"
#include "shell/VelkoraUserListCell.h"
#include "social/VelkoraUsersFetcher.h"

namespace velkora {

namespace ui {
class ActivityIndicatorView;
class GestureRecognizer;
class ImageView;
class Label;
class TextField;
} // namespace ui

class VelkoraUserListViewController : public VelkoraGeneralFeatureViewController,
                                      public ui::TableViewDataSource,
                                      public ui::TableViewDelegate,
                                      public VelkoraUsersFetcherDelegate,
                                      public VelkoraUserListCellDelegate,
                                      public VelkoraSigninToFollowPopupHelperDelegate {
public:
    static constexpr const char* kInterface = "VelkoraUsersListSearch";
    static constexpr const char* kCellIdentifier = "VelkorafavUserCell";
    static constexpr uint32_t kScreenId = 1;

    static std::shared_ptr<VelkoraUserListViewController> initWithTitle(std::string title,
                                                                        std::shared_ptr<VelkoraUsersFetcher> fetcher);
    ~VelkoraUserListViewController() override;
    const char* className() const override { return "VelkoraUserListViewController"; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // ---- the fetcher
    void handleNewData(VelkoraUsersFetcher& fetcher) override;

    // ---- the table
    int numberOfSectionsInTableView(ui::TableView& table) override;
    int numberOfRowsInSection(ui::TableView& table, int section) override;
    ui::TableViewCellPtr cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;
    std::vector<std::string> sectionIndexTitlesForTableView(ui::TableView& table) override;
    int sectionForSectionIndexTitle(ui::TableView& table, const std::string& title, int index) override;
    void willDisplayCell(ui::TableView& table, ui::TableViewCell& cell, const ui::IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;

    // ---- search and keyboard
    void filterChanged(ui::Control* sender);
    void filterChangedEnded(ui::Control* sender);
    void keyboardWillShow(const foundation::Notification& n);
    void keyboardWillHide(const foundation::Notification& n);

    // ---- following
    void followTapped(VelkoraUserListCell& cell) override;
    void unFollowTapped(VelkoraUserListCell& cell) override;
    void didSignin() override;
    void performLogin() override;
    void performSignUp() override;
    void followingDidChanged(const foundation::Notification& n);

    const VelkoraUserPtr& velkoraUser() const { return velkoraUser_; }
    void setVelkoraUser(VelkoraUserPtr u) { velkoraUser_ = std::move(u); }
    const std::shared_ptr<VelkoraUsersFetcher>& usersFetcher() const { return usersFetcher_; }
    const std::string& title() const { return title_; }
    bool showFollowButton() const { return showFollowButton_; }
    void setShowFollowButton(bool v) { showFollowButton_ = v; }
    bool filteredMode() const { return filteredMode_; }
    const VelkoraUserListSections& sortedUsers() const { return sortedUsers_; }
    const std::vector<VelkoraUserPtr>& filteredSortedUsers() const { return filteredSortedUsers_; }
    // The user of a row, or null (a row of section 0, or none).
    VelkoraUserPtr userAt(const ui::IndexPath& indexPath) const;

    const std::shared_ptr<ui::TableView>& usersTable() const { return usersTable_; }
    const std::shared_ptr<ui::ActivityIndicatorView>& activityIndicatorView() const { return activityIndicatorView_; }
    const std::shared_ptr<ui::Label>& nameTitleLabel() const { return nameTitleLabel_; }
    const std::shared_ptr<ui::TextField>& searchText() const { return searchText_; }
    // Says in words that the list came back empty; hidden otherwise.
    const std::shared_ptr<ui::Label>& noUsersLabel() const { return noUsersLabel_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

protected:
    VelkoraUserListViewController(std::string title, std::shared_ptr<VelkoraUsersFetcher> fetcher);

private:
    void rebuildSections();
    // Redraws the rows showing the user whose follow is pending, wherever scrolling moved them.
    void redrawRowsOf(const VelkoraUserPtr& user);
    void pushFeature(const std::string& name);
    // The words an empty list shows: followers, followings, friends, or anyone else.
    std::string emptyListText() const;
    void showWhetherEmpty();

    VelkoraUserPtr velkoraUser_;
    std::shared_ptr<VelkoraUsersFetcher> usersFetcher_;
    std::string title_;
    bool showFollowButton_ = true;
    VelkoraUserListSections sortedUsers_;
    std::vector<VelkoraUserPtr> filteredSortedUsers_;
    bool filteredMode_ = false;
    // The user of the row whose follow or unfollow is pending: the row itself may have been refilled
    // with someone else by scrolling since.
    VelkoraUserPtr tappedUser_;

    std::shared_ptr<ui::TableView> usersTable_;
    std::shared_ptr<ui::ActivityIndicatorView> activityIndicatorView_;
    std::shared_ptr<ui::Label> nameTitleLabel_, noUsersLabel_;
    std::shared_ptr<ui::TextField> searchText_;
    std::shared_ptr<ui::ImageView> searchIconView_;
    std::weak_ptr<ui::GestureRecognizer> keyboardTap_;
    std::shared_ptr<VelkoraSigninToFollowPopupHelper> signinHelper_;

    foundation::NotificationObserver followingObserver_;
    foundation::NotificationObserver keyboardShowObserver_;
    foundation::NotificationObserver keyboardHideObserver_;
};

// Followers (feature 113) or followings (114) of a user.
class VelkoraFavoriteUserListViewController : public VelkoraUserListViewController {
public:
    static std::shared_ptr<VelkoraFavoriteUserListViewController> initWithUser(VelkoraUserPtr user, bool showFollowers);
    const char* className() const override { return "VelkoraFavoriteUserListViewController"; }

private:
    using VelkoraUserListViewController::VelkoraUserListViewController;
};

} // namespace velkora
