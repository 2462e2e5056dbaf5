// The private conversation between the signed-in user and one other user: the day sections of messages,
// live messages from the poll, earlier pages on request, and the input bar with the system keyboard, the
// sticker keyboard and the photo pane. Sends go through the chat outbox, so a row the service has not
// confirmed shows as sending or not sent and is never lost.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "conversations/VelkoraChatOneCells.h"
#include "conversations/VelkoraChatOneDataSource.h"
#include "conversations/VelkoraChatOutbox.h"
#include "conversations/VelkoraEnhancedKeyboardView.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/TableView.h"
#include "server/VelkoraMessagesDelegate.h"
#include "shell/VelkoraChatPartnerScreen.h"
#include "shell/VelkoraDefaultOKPopupView.h"
#include "shell/VelkoraGeneralFeatureViewController.h"

namespace velkora {

namespace ui {
class ActivityIndicatorView;
class Button;
class ImageView;
class LayoutConstraint;
class TextField;
} // namespace ui
class VelkoraLazyImageView;

class VelkoraChatOneViewController : public VelkoraGeneralFeatureViewController,
                                     public ui::TableViewDelegate,
                                     public ui::GestureRecognizerDelegate,
                                     public VelkoraMessagesDelegate,
                                     public VelkoraChatOneTableCellDelegate,
                                     public VelkoraChatOneTableHeaderViewDelegate,
                                     public VelkoraDefaultOKPopupViewDelegate,
                                     public VelkoraEnhancedKeyboardDelegate,
                                     public VelkoraChatPartnerScreen {
public:
    static constexpr const char* kInterface = "VelkoraOneChatList";
    // The page size when the application's configuration names none.
    static constexpr int32_t kDefaultMessagesPerUpdate = 20;
    // How many pages one tap on load-earlier may ask for while the conversation changes underneath.
    static constexpr int kMaxPageSteps = 8;

    enum KeyboardType { kSystemKeyboard = 0, kStickersKeyboard = 1, kPhotoPane = 2 };

    // The user from the users repository; their data is asked for while their ids are missing.
    static std::shared_ptr<VelkoraChatOneViewController> initFromNibWithUserId(const std::string& userId);
    // For an opener that holds the user already.
    static std::shared_ptr<VelkoraChatOneViewController> create(const VelkoraUserPtr& user = nullptr);
    ~VelkoraChatOneViewController() override;
    const char* className() const override { return "VelkoraChatOneViewController"; }

    std::shared_ptr<VelkoraUserInternal> chatUser() const override { return chatUser_; }
    void setChatUser(VelkoraUserPtr user) { chatUser_ = std::move(user); }

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;
    bool shouldAutorotateToInterfaceOrientation(int orientation) const override;

    void gotUserData(const foundation::Value& user);
    void setViewWithUser();
    void gotChat(const foundation::Value& chat);
    void gotChatFailed(const foundation::ErrorPtr& error);
    void gotOlderMessages(const foundation::Value& messages);
    void liveMessages(const std::vector<VelkoraMessagePtr>& messages);
    void handleNewMessages(int count, bool animated);
    void handleOldMessages(int count);
    void userSawChatMessages();
    void showLoadMoreIfNeeded();
    void openOtherUserView();
    // Reloads the table with its last row ending at the table's bottom.
    void scrollToEnd();
    int32_t maxMessagesPerUpdate() const;

    // Composer.
    void sendMessageButtonTapped(ui::Control* sender);
    void keyboardSwitchClicked(ui::Control* sender);
    void photoUploadClicked(ui::Control* sender);
    void nameTitleClicked(ui::Control* sender);
    void otherImageClicked(ui::Control* sender);
    void openStickersKeyboard();
    // Closes any pane and the keyboard; the typed text stays.
    void resetKeyboard();
    void keyboardWillShow(const foundation::Notification& notification);
    void keyboardWillHide(const foundation::Notification& notification);
    void handleTouchesWhenKeyboardIsVisble(ui::GestureRecognizer& recognizer);
    bool gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer& recognizer, ui::Touch& touch) override;

    // VelkoraEnhancedKeyboardDelegate
    void imageSelected(const std::shared_ptr<ui::Image>& image) override;
    void stickerSelected(const std::string& url) override;
    void openStickersStore() override;

    // VelkoraChatOneTableCellDelegate / header delegate
    void otherProfileTapped(VelkoraChatOneTableCell& cell) override;
    void imageClicked(const std::string& url) override;
    bool isOpenedAsFeature() override;
    void unsentMessageTapped(const VelkoraMessagePtr& message) override;
    void loadMoreChatMessages() override;

    // Back asks first while the field holds any text at all.
    void backTapped(ui::Control* sender) override;
    void popupOkTapped() override;
    void popupCancelTapped() override;

    // Table delegate.
    void willDisplayCell(ui::TableView& table, ui::TableViewCell& cell, const ui::IndexPath& indexPath) override;
    ui::ViewPtr viewForHeaderInSection(ui::TableView& table, int section) override;
    double heightForHeaderInSection(ui::TableView& table, int section) override;
    double heightForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;

    const std::shared_ptr<VelkoraChatOneDataSource>& dataSource() const { return dataSource_; }
    const std::shared_ptr<ui::TableView>& messagesTable() const { return messagesTable_; }
    const std::shared_ptr<ui::ActivityIndicatorView>& activityIndicatorView() const { return activityIndicatorView_; }
    const std::shared_ptr<ui::TextField>& sendMessageText() const { return sendMessageText_; }
    const std::shared_ptr<ui::Button>& sendMessageButton() const { return sendMessageButton_; }
    const std::shared_ptr<ui::Button>& uploadPhotoButton() const { return uploadPhotoButton_; }
    const std::shared_ptr<ui::Button>& nameTitleButton() const { return nameTitleButton_; }
    const std::shared_ptr<ui::Button>& keyboardSwitchButton() const { return keyboardSwitchButton_; }
    const std::shared_ptr<ui::View>& sendMessageView() const { return sendMessageView_; }
    const std::shared_ptr<ui::LayoutConstraint>& sendMessageBottomSpaceConstraint() const {
        return sendMessageBottomSpaceConstraint_;
    }
    const std::shared_ptr<VelkoraChatOneTableHeaderView>& tableHeaderView() const { return tableHeaderView_; }
    const std::shared_ptr<VelkoraLazyImageView>& otherUserImageView() const { return otherUserImageView_; }
    int keyboardType() const { return keyboardType_; }
    bool shouldReturnToStickersKeyboard() const { return shouldReturnToStickersKeyboard_; }
    bool loaded() const { return loaded_; }
    bool isMessagesDelegate() const;

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    VelkoraChatOneViewController();
    void requestChat();
    void takeMessagesDelegate();
    void releaseMessagesDelegate();
    // The outbox's rows of this conversation, shown as sending or not sent.
    void showOutbox();
    void showEntry(const VelkoraChatOutbox::EntryPtr& entry);
    void outboxChanged(const foundation::Notification& notification);
    void askPage(int32_t offset);
    void setActivity(bool on);
    void setRightButtonImage(const char* name);
    void reloadInputViews() override;
    std::shared_ptr<VelkoraChatOneViewController> self();

    VelkoraUserPtr chatUser_;
    std::shared_ptr<VelkoraChatOneDataSource> dataSource_;
    std::shared_ptr<VelkoraChatOneHeaderView> dummyHeaderForHeightCalculations_;
    std::shared_ptr<ui::TableView> messagesTable_;
    std::shared_ptr<ui::ActivityIndicatorView> activityIndicatorView_;
    std::shared_ptr<ui::Button> nameTitleButton_, sendMessageButton_, uploadPhotoButton_, keyboardSwitchButton_;
    std::shared_ptr<ui::TextField> sendMessageText_;
    std::shared_ptr<ui::View> sendMessageView_, otherUserTopPanelView_;
    std::shared_ptr<ui::LayoutConstraint> sendMessageBottomSpaceConstraint_, otherUserTopPanelViewHeightConstraint_,
        otherUserTopPanelViewWidthConstraint_, otherUserTopPanelViewTopSpaceConstraint_,
        otherUserTopPanelViewBottomSpaceConstraint_;
    std::shared_ptr<VelkoraChatOneTableHeaderView> tableHeaderView_;
    std::shared_ptr<VelkoraLazyImageView> otherUserImageView_;
    std::shared_ptr<ui::ImageView> postBackgroundImageView_;
    std::shared_ptr<ui::TapGestureRecognizer> tapOutside_;
    // The rows of this screen's unsent messages, by their outbox entry.
    std::map<std::string, VelkoraMessagePtr> pendingRows_;
    int keyboardType_ = kSystemKeyboard;
    bool shouldReturnToStickersKeyboard_ = false;
    bool backTappedPending_ = false;
    ui::Control* backTappedSender_ = nullptr;
    bool loaded_ = false;
    bool loading_ = false;
    // Paging: the offset asked last, and how many more pages this tap may still ask.
    int32_t pageOffset_ = 0;
    int pageStepsLeft_ = 0;
    foundation::NotificationObserver keyboardShowObserver_, keyboardHideObserver_, orientationObserver_, retryObserver_,
        outboxObserver_;
};

} // namespace velkora
