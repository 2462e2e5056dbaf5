// The compose screen of the inbox: the people the user can start a chat with (everyone the user follows
// or is followed by, and people nearby when the radar is on), a first row that opens talk to us when
// feedback is on, and a filter over first and last names.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "conversations/VelkoraFeedbackViewController.h"
#include "data/VelkoraUserInternal.h"
#include "social/VelkoraUsersFetcher.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "shell/VelkoraGeneralFeatureViewController.h"

namespace velkora {

namespace ui {
class ImageView;
class Label;
class TextField;
class TapGestureRecognizer;
} // namespace ui
class VelkoraLazyImageView;
class VelkoraInviteHeaderView;

class VelkoraNewMessageChooserCell : public ui::TableViewCell, public ui::InterfaceOwner {
public:
    static constexpr const char* kReuseIdentifier = "VelkoraNewMessageCell";
    static constexpr const char* kInterface = "VelkoraNewMessageCell";
    static constexpr uint32_t kScreenId = 4;

    VelkoraNewMessageChooserCell() = default;
    ~VelkoraNewMessageChooserCell() override;
    const char* className() const override { return "VelkoraNewMessageChooserCell"; }
    static std::shared_ptr<VelkoraNewMessageChooserCell> initFromNib();

    void updateDataWithUser(const VelkoraUserPtr& user);
    void updateCellToMore();

    const VelkoraUserPtr& user() const { return user_; }
    bool showMoreButton() const { return showMoreButton_; }
    const std::shared_ptr<ui::Label>& title() const { return title_; }
    const std::shared_ptr<ui::Label>& moreLabel() const { return moreLabel_; }
    const std::shared_ptr<VelkoraLazyImageView>& userPhoto() const { return userPhoto_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    void prepare();

    std::shared_ptr<ui::Label> title_, moreLabel_;
    std::shared_ptr<ui::ImageView> accessory_, userFrameView_, moreImage_, lineView_;
    std::shared_ptr<VelkoraLazyImageView> userPhoto_;
    VelkoraUserPtr user_;
    bool showMoreButton_ = false;
};

class VelkoraNewMessageChooserViewController : public VelkoraGeneralFeatureViewController,
                                               public ui::TableViewDataSource,
                                               public ui::TableViewDelegate,
                                               public VelkoraUsersFetcherDelegate,
                                               public VelkoraFeedbackTalkToUsViewControllerDelegate {
public:
    static constexpr uint32_t kScreenId = 4;
    static constexpr const char* kInterface = "VelkoraNewMessageView";
    static constexpr int32_t kNearbyRadius = 50000;
    // A section shows this many rows until expanded, the last of them the more row.
    static constexpr int kCollapsedRows = 5;

    static std::shared_ptr<VelkoraNewMessageChooserViewController> create();
    ~VelkoraNewMessageChooserViewController() override;
    const char* className() const override { return "VelkoraNewMessageChooserViewController"; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    int numberOfSectionsInTableView(ui::TableView& table) override;
    int numberOfRowsInSection(ui::TableView& table, int section) override;
    ui::TableViewCellPtr cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;
    ui::ViewPtr viewForHeaderInSection(ui::TableView& table, int section) override;
    double heightForHeaderInSection(ui::TableView& table, int section) override;
    double heightForFooterInSection(ui::TableView& table, int section) override;
    void willDisplayCell(ui::TableView& table, ui::TableViewCell& cell, const ui::IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;

    void filterChanged(ui::Control* sender);
    void filterChangedEnded(ui::Control* sender);
    void filterContentForSearchText(const std::string& text);
    void handleNewData(VelkoraUsersFetcher& fetcher) override;
    void gotNearbyUsers(const foundation::Value& users);
    void cancelTapped(ui::Control* sender) override;
    void dismissTalkToUs() override;
    void keyboardWillShow(const foundation::Notification& notification);
    void keyboardWillHide(const foundation::Notification& notification);
    void handleTouchesWhenKeyboardIsVisble();

    // People whose first or last name contains the text, ignoring case and accents; each once.
    static std::vector<VelkoraUserPtr> filterUsers(const std::vector<VelkoraUserPtr>& friends,
                                                   const std::vector<VelkoraUserPtr>& nearby, const std::string& text);

    const std::vector<VelkoraUserPtr>& friendsList() const { return friendsList_; }
    const std::vector<VelkoraUserPtr>& nearbyUsersList() const { return nearbyUsersList_; }
    const std::optional<std::vector<VelkoraUserPtr>>& mergedFilteredList() const { return mergedFilteredList_; }
    int friendsSectionIndex() const { return friendsSectionIndex_; }
    int nearbySectionIndex() const { return nearbySectionIndex_; }
    bool showAllFriends() const { return showAllFriends_; }
    bool showAllNearby() const { return showAllNearby_; }
    const std::optional<ui::IndexPath>& talkToUsIndexPath() const { return talkToUsIndexPath_; }
    const std::shared_ptr<ui::TableView>& recipientsTable() const { return recipientsTable_; }
    const std::shared_ptr<ui::TextField>& filterText() const { return filterText_; }
    const std::shared_ptr<VelkoraInviteHeaderView>& friendsHeaderView() const { return friendsHeaderView_; }
    const std::shared_ptr<VelkoraInviteHeaderView>& nearbyHeaderView() const { return nearbyHeaderView_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    VelkoraNewMessageChooserViewController();
    void startLoading();
    bool filtering() const;
    const std::vector<VelkoraUserPtr>* listOfSection(int section, bool* expanded) const;
    void scrollToTalkToUs();
    void rebuildFriends();

    std::shared_ptr<VelkoraFavoritesUsersFetcher> followingFetcher_, followersFetcher_;
    std::vector<VelkoraUserPtr> friendsList_, nearbyUsersList_;
    std::optional<std::vector<VelkoraUserPtr>> mergedFilteredList_;
    bool showAllFriends_ = false, showAllNearby_ = false;
    int friendsSectionIndex_ = 1, nearbySectionIndex_ = -1;
    std::shared_ptr<VelkoraInviteHeaderView> friendsHeaderView_, nearbyHeaderView_;
    std::optional<ui::IndexPath> talkToUsIndexPath_;
    std::shared_ptr<ui::TableView> recipientsTable_;
    std::shared_ptr<ui::TextField> filterText_;
    std::shared_ptr<ui::TapGestureRecognizer> keyboardTap_;
    foundation::NotificationObserver keyboardShowObserver_, keyboardHideObserver_;
};

} // namespace velkora
