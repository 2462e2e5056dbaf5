// The inbox: the user's one-to-one conversations, newest first, one row per conversation with the other
// user's photo, name, newest message, its age and the unread badge, kept current from the chats
// repository's notifications, with pull-to-refresh, swipe-to-delete behind a confirmation, a compose
// button and, for a user who never signed up, an invitation to sign in.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/VelkoraChat.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "shell/VelkoraDefaultOKPopupView.h"
#include "shell/VelkoraGeneralFeatureViewController.h"

namespace velkora {

namespace ui {
class ActivityIndicatorView;
class GestureRecognizer;
class ImageView;
class Label;
class LayoutConstraint;
class TapGestureRecognizer;
} // namespace ui
class VelkoraLazyImageView;
class VelkoraRefreshTableHeaderView;
class VelkoraUserSignUpHelper;
class VelkoraChatsHistoryTableCell;

class VelkoraChatsHistoryTableCellDelegate {
public:
    virtual ~VelkoraChatsHistoryTableCellDelegate() = default;
    virtual void deleteSwiped(bool revealed, VelkoraChatsHistoryTableCell& cell) = 0;
    virtual void deleteTapped(VelkoraChatsHistoryTableCell& cell) = 0;
};

class VelkoraChatsHistoryTableCell : public ui::TableViewCell, public ui::InterfaceOwner {
public:
    static constexpr const char* kReuseIdentifier = "velkorachatshistorycell";
    static constexpr const char* kInterface = "VelkoraInboxCell";
    static constexpr uint32_t kScreenId = 3;
    // Below two days the age reads as a relative time, from then on as a date.
    static constexpr double kRelativeAgeLimit = 172800;
    static constexpr double kSwipeSeconds = 0.4;

    VelkoraChatsHistoryTableCell() = default;
    ~VelkoraChatsHistoryTableCell() override;
    const char* className() const override { return "VelkoraChatsHistoryTableCell"; }
    // The row from its interface file, with `myInit` sent.
    static std::shared_ptr<VelkoraChatsHistoryTableCell> initFromNib(ui::InterfaceOwner* owner = nullptr);

    void myInit();
    void updateData(const VelkoraChatPtr& chat, bool isLast);
    // The swipe's action, and how the inbox closes a revealed delete area: toggles it.
    void handlePanEvents(ui::GestureRecognizer* recognizer);
    void swipeDelete();
    void unSwipeDelete();
    void deleteTapped(ui::Control* sender);
    bool isDeleteRevealed() const;

    const VelkoraChatPtr& chat() const { return chat_; }
    void setDelegate(std::weak_ptr<VelkoraChatsHistoryTableCellDelegate> d) { delegate_ = std::move(d); }
    const std::shared_ptr<ui::Label>& nameLabel() const { return nameLabel_; }
    const std::shared_ptr<ui::Label>& timeLabel() const { return timeLabel_; }
    const std::shared_ptr<ui::Label>& messageLabel() const { return messageLabel_; }
    const std::shared_ptr<ui::Label>& badgeLabel() const { return badgeLabel_; }
    const std::shared_ptr<VelkoraLazyImageView>& userImageView() const { return userImageView_; }
    const std::shared_ptr<ui::View>& badgeView() const { return badgeView_; }
    const std::shared_ptr<ui::Button>& deleteButton() const { return deleteButton_; }
    const std::shared_ptr<ui::LayoutConstraint>& messageLabelTrailingSpaceToBadgeConstraint() const {
        return messageLabelTrailingSpaceToBadgeConstraint_;
    }
    const std::shared_ptr<ui::LayoutConstraint>& deleteViewTrailingSpaceConstraint() const {
        return deleteViewTrailingSpaceConstraint_;
    }
    double origMessageLabelTrailingSpaceToBadge() const { return origMessageLabelTrailingSpaceToBadge_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    void moveDeleteArea(double constant, bool revealed);

    std::shared_ptr<ui::Label> nameLabel_, timeLabel_, messageLabel_, badgeLabel_;
    std::shared_ptr<VelkoraLazyImageView> userImageView_;
    std::shared_ptr<ui::ImageView> openItemView_, itemIsNewImageView_, badgeImageView_, lineView_;
    std::shared_ptr<ui::View> badgeView_;
    std::shared_ptr<ui::Button> deleteButton_;
    std::shared_ptr<ui::LayoutConstraint> messageLabelTrailingSpaceToBadgeConstraint_, deleteViewWidthConstraint_,
        deleteViewTrailingSpaceConstraint_;
    double origMessageLabelTrailingSpaceToBadge_ = 0;
    VelkoraChatPtr chat_;
    std::weak_ptr<VelkoraChatsHistoryTableCellDelegate> delegate_;
    std::shared_ptr<ui::GestureRecognizer> swipeRecognizer_;
};

class VelkoraChatsHistoryViewController : public VelkoraGeneralFeatureViewController,
                                          public ui::TableViewDataSource,
                                          public ui::TableViewDelegate,
                                          public VelkoraChatsHistoryTableCellDelegate,
                                          public VelkoraDefaultOKPopupViewDelegate {
public:
    static constexpr uint32_t kScreenId = 3;
    static constexpr const char* kInterface = "VelkoraInboxList";
    static constexpr double kRefreshSettleSeconds = 0.3;
    static constexpr double kRefreshShowSeconds = 0.2;

    static std::shared_ptr<VelkoraChatsHistoryViewController> initFromNib();
    ~VelkoraChatsHistoryViewController() override;
    const char* className() const override { return "VelkoraChatsHistoryViewController"; }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;

    // Repository notifications.
    void gotNewMessages(const foundation::Notification& notification);
    void messagesViewed(const foundation::Notification& notification);
    void chatsReloaded(const foundation::Notification& notification);
    void handleNewChatsHistory(int newChats);
    void dataSourceDidFinishLoadingNewData();
    void updateViewOnAnonymous();
    void recalculateConstraintsPriorities();

    // Table.
    int numberOfRowsInSection(ui::TableView& table, int section) override;
    ui::TableViewCellPtr cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;
    void willDisplayCell(ui::TableView& table, ui::TableViewCell& cell, const ui::IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;

    // Pull-to-refresh.
    void scrollViewWillBeginDragging(ui::ScrollView& scrollView) override;
    void scrollViewDidScroll(ui::ScrollView& scrollView) override;
    void scrollViewDidEndDragging(ui::ScrollView& scrollView, bool willDecelerate) override;
    void showReloadAnimationAnimated(bool animated);
    void reloadTableViewDataSource();

    // Opening.
    void openChatScreen(const VelkoraChatPtr& chat);
    void openSystemMessageChatScreen(const VelkoraChatPtr& chat);
    void addMessageTapped(ui::Control* sender);
    void loginClicked(ui::Control* sender);
    void signUpClicked(ui::Control* sender);
    void closeAnonymousMessage(ui::Control* sender);
    void facebookConnectClicked(ui::Control* sender);
    void twitterConnectClicked(ui::Control* sender);
    void fbConnected(const foundation::Value& details);
    void twitterGotUserDetails(const foundation::Value& details);
    void facebookConnectedServer(const foundation::Value& answer);
    void twitterConnectedServer(const foundation::Value& answer);
    void facebookServerConnectFailed(const foundation::ErrorPtr& error);
    void twitterServerConnectFailed(const foundation::ErrorPtr& error);

    // Deletion.
    void deleteSwiped(bool revealed, VelkoraChatsHistoryTableCell& cell) override;
    void tappedWhileDelete();
    void deleteTapped(VelkoraChatsHistoryTableCell& cell) override;
    void popupOkTapped() override;
    void popupCancelTapped() override;

    const std::vector<VelkoraChatPtr>& activeChats() const { return activeChats_; }
    bool isRefreshEnabled() const { return isRefreshEnabled_; }
    bool reloadingTable() const { return reloadingTable_; }
    bool hideAnonymousView() const { return hideAnonymousView_; }
    VelkoraChatsHistoryTableCell* toDeleteCell() const { return toDeleteCell_; }
    // Whose chat OK deletes: the user of the row whose delete button was tapped.
    const std::string& toDeleteUserId() const { return toDeleteUserId_; }
    const std::shared_ptr<VelkoraRefreshTableHeaderView>& refreshTableHeaderView() const {
        return refreshTableHeaderView_;
    }
    const std::shared_ptr<ui::TapGestureRecognizer>& gestureRecognizer() const { return gestureRecognizer_; }
    const std::shared_ptr<ui::TableView>& chatsTable() const { return chatsTable_; }
    const std::shared_ptr<ui::Button>& addMessageButton() const { return addMessageButton_; }
    const std::shared_ptr<ui::View>& noMessagesView() const { return noMessagesView_; }
    const std::shared_ptr<ui::Label>& noMessagesLabel() const { return noMessagesLabel_; }
    const std::shared_ptr<ui::View>& anonynousView() const { return anonynousView_; }
    const std::shared_ptr<ui::Button>& closeAnonymousViewButton() const { return closeAnonymousViewButton_; }
    const std::shared_ptr<ui::ImageView>& anonymousNoMessagesImageView() const { return anonymousNoMessagesImageView_; }
    const std::shared_ptr<ui::Label>& anonymousNoMessagesLabel() const { return anonymousNoMessagesLabel_; }
    const std::shared_ptr<ui::View>& signinView() const { return signinView_; }
    const std::shared_ptr<ui::View>& signupView() const { return signupView_; }
    const std::shared_ptr<ui::Button>& facebookConnectButton() const { return facebookConnectButton_; }
    const std::shared_ptr<ui::Button>& twitterConnectButton() const { return twitterConnectButton_; }
    const std::shared_ptr<ui::Button>& signupLoginButton() const { return signupLoginButton_; }
    const std::shared_ptr<ui::Button>& signupSignUpButton() const { return signupSignUpButton_; }
    const std::shared_ptr<ui::ActivityIndicatorView>& activityIndicator() const { return activityIndicator_; }
    // The five table-top constraints, in the order: super view, anonymous view, no-messages view, old
    // sign-in view, new sign-in view.
    std::vector<std::shared_ptr<ui::LayoutConstraint>> tableTopConstraints() const;
    const std::shared_ptr<ui::LayoutConstraint>& signupViewHeightConstraint() const {
        return signupViewHeightConstraint_;
    }
    const std::shared_ptr<ui::LayoutConstraint>& oldSigninViewHeightConstraint() const {
        return oldSigninViewHeightConstraint_;
    }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    VelkoraChatsHistoryViewController();
    bool repositoryLoaded() const;
    bool isAnonymous() const;
    bool emailSignUpEnabled() const;
    void installRefreshHeader();
    void removeRefreshHeader();
    void pushNamed(const std::string& name, const foundation::Value& arguments = {});
    VelkoraUserSignUpHelper& userSignUpHelper();
    void connectWithNetwork(int32_t method, const foundation::Value& details);
    void closeToDeleteRow();

    std::vector<VelkoraChatPtr> activeChats_;
    VelkoraChatsHistoryTableCell* toDeleteCell_ = nullptr;
    std::string toDeleteUserId_;
    std::shared_ptr<ui::TapGestureRecognizer> gestureRecognizer_;
    std::shared_ptr<VelkoraUserSignUpHelper> userSignUpHelper_;
    bool hideAnonymousView_ = false;
    bool isRefreshEnabled_ = false;
    bool reloadingTable_ = false;
    bool checkForRefresh_ = false;
    std::shared_ptr<VelkoraRefreshTableHeaderView> refreshTableHeaderView_;
    std::shared_ptr<ui::ActivityIndicatorView> activityIndicator_;
    foundation::NotificationObserver newMessagesObserver_, viewedObserver_, gotChatsObserver_;

    std::shared_ptr<ui::TableView> chatsTable_;
    std::shared_ptr<ui::Button> addMessageButton_;
    std::shared_ptr<ui::View> noMessagesView_;
    std::shared_ptr<ui::Label> noMessagesLabel_;
    std::shared_ptr<ui::View> anonynousView_;
    std::shared_ptr<ui::Button> closeAnonymousViewButton_;
    std::shared_ptr<ui::Label> anonymousWelcomeLabel_, anonymousMessageLabel_;
    std::shared_ptr<ui::ImageView> anonymousNoMessagesImageView_;
    std::shared_ptr<ui::Label> anonymousNoMessagesLabel_;
    std::shared_ptr<ui::View> signinView_;
    std::shared_ptr<ui::Button> facebookConnectButton_, twitterConnectButton_;
    std::shared_ptr<ui::ImageView> oldSigninViewDashImageView_;
    std::shared_ptr<ui::View> signupView_;
    std::shared_ptr<ui::Label> signupWelcomeLabel_, signupMessageLabel_;
    std::shared_ptr<ui::Button> signupLoginButton_, signupSignUpButton_, signupCloseButton_;
    std::shared_ptr<ui::ImageView> signupViewDashImageView_;
    std::shared_ptr<ui::LayoutConstraint> tableViewTopSpaceWithSuperViewConstraint_,
        tableViewTopSpaceWithAnonymousViewConstraint_, tableViewTopSpaceWithNoMessagesViewConstraint_,
        tableViewTopSpaceWithOldSigninViewConstraint_, tableViewTopSpaceWithNewSigninViewConstraint_,
        anonymousNoMessagesImageTopSpaceWithOldSigninViewConstraint_,
        anonymousNoMessagesImageTopSpaceWithNewSigninViewConstraint_, oldSigninViewHeightConstraint_,
        signupViewHeightConstraint_;
};

} // namespace velkora
