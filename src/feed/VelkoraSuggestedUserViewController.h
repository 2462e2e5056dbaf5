// People the service suggests to follow, as their own screen (opened from the invitations): one row per
// person not followed yet, with follow buttons, and one button that follows them all.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "shell/VelkoraSigninToFollowPopupHelper.h"
#include "shell/VelkoraUserListCell.h"
#include "social/VelkoraUsersFetcher.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/TableView.h"
#include "shell/VelkoraGeneralFeatureViewController.h"

namespace velkora {

namespace ui {
class ActivityIndicatorView;
class Button;
class Label;
} // namespace ui

class VelkoraSuggestedUsersFetcher : public VelkoraUsersFetcher {
public:
    static std::shared_ptr<VelkoraSuggestedUsersFetcher> create();
    ~VelkoraSuggestedUsersFetcher() override;
    void loadUsersWithDelegate(std::weak_ptr<VelkoraUsersFetcherDelegate> delegate) override;
    void gotSuggestedUsers(const foundation::Value& users);

private:
    VelkoraSuggestedUsersFetcher() = default;
};

class VelkoraSuggestedUserViewController : public VelkoraGeneralFeatureViewController,
                                           public ui::TableViewDataSource,
                                           public ui::TableViewDelegate,
                                           public VelkoraUsersFetcherDelegate,
                                           public VelkoraUserListCellDelegate,
                                           public VelkoraSigninToFollowPopupHelperDelegate {
public:
    static constexpr const char* kInterface = "VelkoraSuggestedUsersList";
    static constexpr const char* kCellIdentifier = "VelkorafavUserCell";
    static constexpr uint32_t kScreenId = 12;

    // Starts fetching at once, before the view loads.
    static std::shared_ptr<VelkoraSuggestedUserViewController> initFromNib();
    ~VelkoraSuggestedUserViewController() override;
    const char* className() const override { return "VelkoraSuggestedUserViewController"; }

    void viewDidLoad() override;

    int numberOfRowsInSection(ui::TableView& table, int section) override;
    ui::TableViewCellPtr cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;
    void willDisplayCell(ui::TableView& table, ui::TableViewCell& cell, const ui::IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;

    void handleNewData(VelkoraUsersFetcher& fetcher) override;
    void followTapped(VelkoraUserListCell& cell) override;
    void unFollowTapped(VelkoraUserListCell& cell) override;
    void didSignin() override;
    void performLogin() override;
    void performSignUp() override;
    void followAllTapped(ui::Control* sender);
    void followingDidChanged(const foundation::Notification& notification);
    void updateFollowAllButton();

    const std::vector<VelkoraUserPtr>& users() const { return users_; }
    const std::shared_ptr<VelkoraSuggestedUsersFetcher>& usersFetcher() const { return usersFetcher_; }
    const std::shared_ptr<ui::Button>& followAllButton() const { return followAllButton_; }
    const std::shared_ptr<ui::TableView>& usersTable() const { return usersTable_; }
    const std::shared_ptr<ui::View>& noSuggestionsView() const { return noSuggestionsView_; }
    const std::shared_ptr<ui::ActivityIndicatorView>& activityIndicator() const { return activityIndicator_; }
    const std::shared_ptr<VelkoraSigninToFollowPopupHelper>& signinHelper() const { return signinHelper_; }

    void registerInterfaceBindings(ui::InterfaceBindings& b) override;

private:
    VelkoraSuggestedUserViewController();
    void pushScreen(const std::shared_ptr<ui::ViewController>& screen);

    std::shared_ptr<VelkoraSuggestedUsersFetcher> usersFetcher_;
    std::vector<VelkoraUserPtr> users_;
    std::shared_ptr<VelkoraSigninToFollowPopupHelper> signinHelper_;
    std::weak_ptr<VelkoraUserListCell> tappedCell_;
    VelkoraUserPtr tappedUser_;

    std::shared_ptr<ui::Button> followAllButton_;
    std::shared_ptr<ui::TableView> usersTable_;
    std::shared_ptr<ui::View> noSuggestionsView_;
    std::shared_ptr<ui::Label> nameTitleLabel_, noSuggestionsLabel_;
    std::shared_ptr<ui::ActivityIndicatorView> activityIndicator_;
    foundation::NotificationObserver followingObserver_;
};

} // namespace velkora
