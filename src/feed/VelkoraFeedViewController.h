// The activity feed screen: the application's feed (kept current by the update poll) or one user's
// posts, as one newest-first list of posts and likes, under a sign-in invitation for anonymous users or
// a strip of people to follow, with the share popup over the table.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "feed/VelkoraFeedActivityOrder.h"
#include "feed/VelkoraFeedTableController.h"
#include "feed/VelkoraSuggestedPeople.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/UiNotifications.h"
#include "shell/VelkoraGeneralFeatureViewController.h"

namespace velkora {

namespace foundation {
class DispatchQueue;
}
namespace ui {
class ActivityIndicatorView;
class Button;
class Label;
class TableView;
} // namespace ui
class VelkoraUserSignUpHelper;

class VelkoraFeedViewController : public VelkoraGeneralFeatureViewController,
                                  public VelkoraSuggestedPersonViewDelegate {
public:
    static constexpr const char* kInterface = "VelkoraFeedList";
    static constexpr uint32_t kScreenId = 5;
    static constexpr const char* kMemoryWarningNotification = ui::kApplicationDidReceiveMemoryWarningNotification;

    static std::shared_ptr<VelkoraFeedViewController> initFromNib(bool showProfileButton);
    ~VelkoraFeedViewController() override;
    const char* className() const override { return "VelkoraFeedViewController"; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;

    // ---- What the table controller asks (through `tableOwner_`)
    void showSharePopup();
    void hideSharePopup();
    // The rows shown, newest first: a long list kept in chunks it shares with the repository.
    const VelkoraChunkedList<VelkoraActivityPtr>& getMessagesAndLikes() const { return messagesAndLikes_; }
    void stopAnimation();
    std::shared_ptr<foundation::DispatchQueue> serialQueue() { return serialDispatchQ_; }

    void suggestedUserTapped(const VelkoraUserPtr& user) override;

    // ---- Actions of the interface file
    void twitterConnectClicked(ui::Control* sender);
    void facebookConnectClicked(ui::Control* sender);
    void closeAnonymousMessage(ui::Control* sender);
    void loginClicked(ui::Control* sender);
    void signUpClicked(ui::Control* sender);
    void followAllSuggestionTapped(ui::Control* sender);

    // ---- Replies and events
    void gotFeed(const foundation::Value& reply);
    void gotFeedFailed(const foundation::ErrorPtr& error);
    void gotSuggestedPersons(const foundation::Value& users);
    void gotNewFeedMessages(const foundation::Notification& notification);
    void feedMessagesLoaded(const foundation::Notification& notification);
    void didReceiveMemoryWarning();

    void updateViewOnAnonymous();
    void updateSuggestionsHeader();

    // Set before the view loads: posts mode.
    const VelkoraUserPtr& oneUser() const { return oneUser_; }
    void setOneUser(VelkoraUserPtr user) { oneUser_ = std::move(user); }
    bool useFeedRepository() const { return useFeedRepository_; }
    const std::vector<VelkoraUserPtr>& suggestedUsersToFollow() const { return suggestedUsersToFollow_; }
    const std::shared_ptr<VelkoraFeedTableController>& tableController() const { return tableController_; }
    // Lists built so far, and the one shown (for tests).
    size_t rebuildCount() const { return rebuildCount_; }
    uint64_t shownGeneration() const { return shownGeneration_; }
    // No event waits for its list, and the last list built is shown.
    bool listIsCurrent() const { return !modelPending_ && shownGeneration_ == rebuildCount_; }

    const std::shared_ptr<ui::TableView>& feedTable() const { return feedTable_; }
    const std::shared_ptr<ui::View>& shareView() const { return shareView_; }
    const std::shared_ptr<ui::View>& shareShade() const { return shareShade_; }
    const std::shared_ptr<VelkoraFeedSuggestionView>& suggestedPeopleView() const { return suggestedPeopleView_; }
    const std::shared_ptr<ui::ActivityIndicatorView>& activityIndicatorView() const { return activityIndicatorView_; }
    const std::shared_ptr<ui::View>& anonymousView() const { return anonymousView_; }
    const std::shared_ptr<ui::View>& signUpAnonymousView() const { return signUpAnonymousView_; }
    const std::shared_ptr<ui::Label>& anonymousWelcomeLabel() const { return anonymousWelcomeLabel_; }
    const std::shared_ptr<ui::Label>& signUpWelcomeLabel() const { return signUpWelcomeLabel_; }
    const std::shared_ptr<ui::Button>& closeButton() const { return closeButton_; }
    const std::shared_ptr<ui::Button>& facebookConnectButton() const { return facebookConnectButton_; }
    const std::shared_ptr<ui::Button>& twitterConnectButton() const { return twitterConnectButton_; }
    const std::shared_ptr<ui::Button>& signUpCloseButton() const { return signUpCloseButton_; }

    void registerInterfaceBindings(ui::InterfaceBindings& b) override;

private:
    VelkoraFeedViewController();
    // The repository's items into the list: what changed since the last snapshot, or all of them anew.
    void initModel(bool reset = false);
    // The list from the repository once the events of this turn of the loop are in: a poll announces its
    // items and its likes one after the other, and one look at the repository takes both.
    void initModelSoon(bool reset);
    // Hands what changed to the serial queue, which filters, sorts and measures from values copied here
    // and hands the row changes back.
    void buildList(VelkoraFeedListDelta delta);
    void applyList(VelkoraFeedListChange change);
    VelkoraFeedListSnapshot::RowTextFor rowTextFor() const;
    void setHeader(const std::shared_ptr<ui::View>& header);
    void pushScreen(const std::shared_ptr<ui::ViewController>& screen);
    void socialConnected();
    void connectWithDetails(const foundation::Value& details, int32_t method);

    std::shared_ptr<VelkoraUserSignUpHelper> userSignUpHelper_;
    std::shared_ptr<VelkoraFeedTableController> tableController_;
    bool hideAnonymousView_ = false;
    bool useFeedRepository_ = false;
    bool observing_ = false;
    VelkoraUserPtr oneUser_;
    VelkoraChunkedList<VelkoraActivityPtr> messagesAndLikes_;
    // Answers the table controller for this screen, whose rows are not a vector.
    std::shared_ptr<VelkoraFeedTableControllerDelegate> tableOwner_;
    std::vector<VelkoraUserPtr> suggestedUsersToFollow_;
    std::shared_ptr<foundation::DispatchQueue> serialDispatchQ_;
    // The items as last handed to the queue (main thread), and the queue's own copy of their order.
    VelkoraFeedListSnapshot snapshot_;
    // The repository's revision the list was last taken at.
    uint64_t listedRevision_ = 0;
    std::shared_ptr<VelkoraFeedListMirror> mirror_ = std::make_shared<VelkoraFeedListMirror>();
    uint64_t builtGeneration_ = 0;
    uint64_t shownGeneration_ = 0;
    size_t rebuildCount_ = 0;
    bool modelPending_ = false;
    bool pendingReset_ = false;

    std::shared_ptr<ui::TableView> feedTable_;
    std::shared_ptr<ui::View> shareView_;
    std::shared_ptr<ui::View> shareShade_; // dims the screen behind the share popup
    std::shared_ptr<VelkoraFeedSuggestionView> suggestedPeopleView_;
    std::shared_ptr<ui::ActivityIndicatorView> activityIndicatorView_;
    std::shared_ptr<ui::View> anonymousView_, signUpAnonymousView_;
    std::shared_ptr<ui::Label> anonymousWelcomeLabel_, anonymousHelpMessageLabel_, signUpWelcomeLabel_,
        signUpHelpMessageLabel_, shareLabel_;
    std::shared_ptr<ui::Button> facebookConnectButton_, twitterConnectButton_, closeButton_, loginButton_,
        signUpButton_, signUpCloseButton_;

    foundation::NotificationObserver newFeedObserver_, gotFeedObserver_, memoryObserver_;
};

} // namespace velkora
