#include "conversations/VelkoraChatOneViewController.h"

#include <algorithm>
#include <limits>

#include "conversations/VelkoraFullScreenImageViewController.h"
#include "conversations/VelkoraStickerStoreViewController.h"
#include "session/VelkoraChatsRepository.h"
#include "data/VelkoraUsersRepository.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarItems.h"
#include "platform/ui/Button.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Touch.h"
#include "platform/ui/UiNotifications.h"
#include "platform/ui/Window.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "server/VelkoraServerApi.h"
#include "server/VelkoraServerClientAgent.h"
#include "server/utils/VelkoraLogEventsManager.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppData.h"
#include "data/VelkoraAppSettings.h"
#include "session/VelkoraScreenRegistry.h"
#include "data/VelkoraUserInfo.h"
#include "shell/VelkoraLazyImageView.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "data/VelkoraUserDetailsDisplayer.h"

namespace velkora {

using foundation::Log;
using foundation::Value;

namespace {

std::string text(const char* key) {
    return foundation::Bundle::main().localizedString(key);
}

std::shared_ptr<ui::Image> kitImage(const std::string& name) {
    return ui::Image::named(name);
}

} // namespace

VelkoraChatOneViewController::VelkoraChatOneViewController()
    : VelkoraGeneralFeatureViewController(VelkoraEnhancedKeyboardView::interfaceName(kInterface)) {}

std::shared_ptr<VelkoraChatOneViewController> VelkoraChatOneViewController::create(const VelkoraUserPtr& user) {
    registerChatViewClasses();
    auto screen = std::shared_ptr<VelkoraChatOneViewController>(new VelkoraChatOneViewController());
    screen->chatUser_ = user;
    screen->gotMessages = [weak = std::weak_ptr<VelkoraChatOneViewController>(screen)](
                              const std::optional<std::vector<VelkoraMessagePtr>>& messages) {
        if (auto s = weak.lock()) s->liveMessages(messages.value_or(std::vector<VelkoraMessagePtr>{}));
    };
    return screen;
}

std::shared_ptr<VelkoraChatOneViewController>
VelkoraChatOneViewController::initFromNibWithUserId(const std::string& userId) {
    auto user = userId.empty() ? nullptr : VelkoraUsersRepository::instance().userWithId(userId);
    auto screen = create(user);
    if (user && (!user->appId() || !user->userId())) {
        VelkoraServerApi::getOtherUserData(userId, VelkoraCallback(screen, &VelkoraChatOneViewController::gotUserData));
    }
    return screen;
}

VelkoraChatOneViewController::~VelkoraChatOneViewController() {
    VelkoraServerApi::clearUserDelegate(this);
    releaseMessagesDelegate();
    if (messagesTable_) {
        messagesTable_->setDelegate({});
        messagesTable_->setDataSource({});
    }
}

std::shared_ptr<VelkoraChatOneViewController> VelkoraChatOneViewController::self() {
    return sharedAs<VelkoraChatOneViewController>();
}

void VelkoraChatOneViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraGeneralFeatureViewController::registerInterfaceBindings(b);
    using C = VelkoraChatOneViewController;
    b.outlet("messagesTable", messagesTable_);
    b.outlet("activityIndicatorView", activityIndicatorView_);
    b.outlet("nameTitleButton", nameTitleButton_);
    b.outlet("sendMessageButton", sendMessageButton_);
    b.outlet("sendMessageText", sendMessageText_);
    b.outlet("sendMessageView", sendMessageView_);
    b.outlet("uploadPhotoButton", uploadPhotoButton_);
    b.outlet("sendMessageBottomSpaceConstraint", sendMessageBottomSpaceConstraint_);
    b.outlet("otherUserTopPanelView", otherUserTopPanelView_);
    b.outlet("otherUserTopPanelViewHeightConstraint", otherUserTopPanelViewHeightConstraint_);
    b.outlet("otherUserTopPanelViewWidthConstraint", otherUserTopPanelViewWidthConstraint_);
    b.outlet("otherUserTopPanelViewTopSpaceConstraint", otherUserTopPanelViewTopSpaceConstraint_);
    b.outlet("otherUserTopPanelViewBottomSpaceConstraint", otherUserTopPanelViewBottomSpaceConstraint_);
    b.outlet("otherUserImageView", otherUserImageView_);
    b.outlet("postBackgroundImageView", postBackgroundImageView_);
    b.action("sendMessageButtonTapped:", this, &C::sendMessageButtonTapped);
    b.action("photoUploadClicked:", this, &C::photoUploadClicked);
    b.action("nameTitleClicked:", this, &C::nameTitleClicked);
    b.action("otherImageClicked:", this, &C::otherImageClicked);
}

void VelkoraChatOneViewController::viewDidLoad() {
    VelkoraGeneralFeatureViewController::viewDidLoad();
    dummyHeaderForHeightCalculations_ = VelkoraChatOneHeaderView::initFromNib();
    if (otherUserImageView_) {
        otherUserImageView_->layer().setCornerRadius(7.0);
        otherUserImageView_->setClipsToBounds(true);
        otherUserImageView_->setUsingCache(true);
        otherUserImageView_->setImage(kitImage("VelImg_UserThumbMediumNon.png"));
    }
    auto container = featureTabDelegate();
    if (container && container->isTopPanelHidden() && otherUserTopPanelView_) {
        if (ui::Device::current().compareSystemVersion("7.0") < 0)
            removeConstraintsForView(otherUserTopPanelView_.get(), topPanelView().get());
        otherUserTopPanelView_->setTranslatesAutoresizingMaskIntoConstraints(true);
        navigationItem().setRightBarButtonItem(ui::BarButtonItem::withCustomView(otherUserTopPanelView_));
    } else {
        navigationItem().setRightBarButtonItem(nullptr);
    }
    if (sendMessageButton_) sendMessageButton_->setTitle(text("velkora_text_send_button"));
    if (activityIndicatorView_ && messagesTable_) {
        activityIndicatorView_->setCenter(messagesTable_->center());
        activityIndicatorView_->startAnimating();
    }
    // The bar: a spacer before the text, the keyboard switch after it.
    if (sendMessageText_) {
        sendMessageText_->setFont(ui::Font::systemFont(14));
        const double h = sendMessageText_->frame().height();
        sendMessageText_->setLeftView(ui::View::create({0, 0, 5.0, h}));
        sendMessageText_->setLeftViewMode(ui::TextFieldViewMode::Always);
        keyboardSwitchButton_ = ui::Button::create(ui::ButtonType::Custom, {0, 0, 30.0, h});
        keyboardSwitchButton_->setImage(kitImage("VelImg_SmileyIcon.png"));
        keyboardSwitchButton_->addTarget(self(), &VelkoraChatOneViewController::keyboardSwitchClicked,
                                         ui::ControlEventTouchUpInside);
        sendMessageText_->setRightView(keyboardSwitchButton_);
        sendMessageText_->setRightViewMode(ui::TextFieldViewMode::Always);
        // The keyboard's return key sends, as the button beside the field does.
        sendMessageText_->setReturnKeyType(ui::ReturnKeyType::Send);
        sendMessageText_->addTarget(self(), &VelkoraChatOneViewController::sendMessageButtonTapped,
                                    ui::ControlEventEditingDidEndOnExit);
    }
    keyboardType_ = kSystemKeyboard;
    keyboardShowObserver_ = foundation::NotificationObserver(
        ui::kKeyboardWillShowNotification, nullptr, [this](const foundation::Notification& n) { keyboardWillShow(n); });
    keyboardHideObserver_ = foundation::NotificationObserver(
        ui::kKeyboardWillHideNotification, nullptr, [this](const foundation::Notification& n) { keyboardWillHide(n); });
    orientationObserver_ = foundation::NotificationObserver(ui::kApplicationDidChangeStatusBarOrientationNotification,
                                                            nullptr, [this](const foundation::Notification&) {
                                                                if (dataSource_)
                                                                    dataSource_->forgetHeightsIfWidthChanged();
                                                                if (messagesTable_) messagesTable_->reloadData();
                                                            });
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeChatSendMessageButton(sendMessageButton_.get(), VelkoraChatOneTableCell::kScreenId);
    style.customizeChatUploadImageButton(uploadPhotoButton_.get(), VelkoraChatOneTableCell::kScreenId);
    style.customizePostMessageBackgroundView(postBackgroundImageView_.get(), styleScreenIdentifier());
    shouldReturnToStickersKeyboard_ = false;
    if (chatUser_ && chatUser_->appId() && chatUser_->userId())
        setViewWithUser();
    else if (velkoraContentView())
        velkoraContentView()->setHidden(true);
}

void VelkoraChatOneViewController::gotUserData(const Value& user) {
    auto u = user.asObject<VelkoraUserInternal>();
    if (!u) return;
    chatUser_ = u;
    if (isViewLoaded()) setViewWithUser();
}

void VelkoraChatOneViewController::setViewWithUser() {
    if (!chatUser_ || dataSource_) return;
    if (nameTitleButton_) {
        nameTitleButton_->setTitle(VelkoraUserDetailsDisplayer::nameWithInitial(chatUser_.get()));
        if (nameTitleButton_->titleLabel()) nameTitleButton_->titleLabel()->setAdjustsFontSizeToFitWidth(true);
    }
    if (otherUserImageView_) {
        auto info = VelkoraAgentInternal::instance().userInfo();
        if (chatUser_->hasPhoto(info ? info->userInfoSource() : 0)) {
            const ui::Size px = otherUserImageView_->getSizeInPixels();
            if (auto url = chatUser_->getSizedPhotoUrl(static_cast<float>(px.width), static_cast<float>(px.height)))
                otherUserImageView_->getImage(*url);
        } else if (chatUser_->isAppOwner()) {
            if (auto logo = VelkoraAppSettings::appLogo()) otherUserImageView_->setImage(logo);
        }
    }
    dataSource_ = std::make_shared<VelkoraChatOneDataSource>();
    auto me = self();
    dataSource_->setDelegate(std::weak_ptr<VelkoraChatOneTableCellDelegate>(me));
    if (messagesTable_) {
        // The table hands its cells back for reuse.
        dataSource_->setMessagesTable(messagesTable_);
        messagesTable_->setDataSource(std::weak_ptr<ui::TableViewDataSource>(dataSource_));
        messagesTable_->setDelegate(std::weak_ptr<ui::TableViewDelegate>(me));
        messagesTable_->setSeparatorStyle(ui::TableViewCellSeparatorStyle::None);
        // A long conversation is measured as its rows come into view, not all when it opens.
        messagesTable_->setEstimatedRowHeight(VelkoraChatOneDataSource::kEstimatedRowHeight);
    }
    if (velkoraContentView()) velkoraContentView()->setHidden(false);
    // What was not sent before, in this run or an earlier one, shows in its place.
    VelkoraChatOutbox::instance().start();
    outboxObserver_ = foundation::NotificationObserver(VelkoraChatOutbox::kChangedNotification, nullptr,
                                                       [this](const foundation::Notification& n) { outboxChanged(n); });
    requestChat();
}

void VelkoraChatOneViewController::requestChat() {
    if (loading_ || !chatUser_) return;
    loading_ = true;
    setActivity(true);
    VelkoraServerApi::getChat(chatUser_, VelkoraCallback(self(), &VelkoraChatOneViewController::gotChat,
                                                         &VelkoraChatOneViewController::gotChatFailed));
}

void VelkoraChatOneViewController::gotChat(const Value& value) {
    loading_ = false;
    retryObserver_.reset();
    auto chat = value.asObject<VelkoraChat>();
    if (!chat) {
        gotChatFailed(nullptr);
        return;
    }
    if (!chat->user()) chat->setUser(chatUser_);
    dataSource_->gotChat(chat);
    loaded_ = true;
    takeMessagesDelegate();
    showOutbox();
    // What the poll brought while the page was on its way.
    if (auto held = VelkoraChatsRepository::instance().userToChats().find(chatUser_->userId().value_or(""));
        held != VelkoraChatsRepository::instance().userToChats().end() && held->second)
        dataSource_->gotMessages(held->second->messages());
    if (!dataSource_->allMessages().empty())
        handleNewMessages(static_cast<int>(dataSource_->allMessages().size()), false);
    else
        setActivity(false);
    showLoadMoreIfNeeded();
}

// The first page did not come: the user hears why, and it is asked again once the service answers a poll.
void VelkoraChatOneViewController::gotChatFailed(const foundation::ErrorPtr&) {
    loading_ = false;
    if (loaded_) return;
    // The observer answers once; it goes when the page comes (not from inside its own call).
    retryObserver_ = failedUntilNextPoll(activityIndicatorView_.get(), [this] { requestChat(); });
}

bool VelkoraChatOneViewController::isMessagesDelegate() const {
    auto held = VelkoraChatsRepository::instance().messagesDelegate();
    return held && held.get() == static_cast<const VelkoraMessagesDelegate*>(this);
}

void VelkoraChatOneViewController::takeMessagesDelegate() {
    auto me = self();
    if (!me) return;
    VelkoraChatsRepository::instance().setMessagesDelegate(std::weak_ptr<VelkoraMessagesDelegate>(me));
}

void VelkoraChatOneViewController::releaseMessagesDelegate() {
    if (!VelkoraChatsRepository::shared()) return;
    // Only this screen's own hold is let go: another chat screen may hold the slot now.
    auto held = VelkoraChatsRepository::instance().messagesDelegate();
    if (!held || held.get() == static_cast<VelkoraMessagesDelegate*>(this))
        VelkoraChatsRepository::instance().setMessagesDelegate({});
}

void VelkoraChatOneViewController::viewWillAppear(bool animated) {
    VelkoraGeneralFeatureViewController::viewWillAppear(animated);
    if (!loaded_ || isMessagesDelegate()) return;
    // Back on screen: this chat takes the live messages again and catches up on what came meanwhile.
    takeMessagesDelegate();
    auto& chats = VelkoraChatsRepository::instance().userToChats();
    auto held = chats.find(chatUser_->userId().value_or(""));
    if (held != chats.end() && held->second) liveMessages(held->second->messages());
}

void VelkoraChatOneViewController::viewDidAppear(bool animated) {
    VelkoraGeneralFeatureViewController::viewDidAppear(animated);
    if (shouldReturnToStickersKeyboard_) {
        openStickersKeyboard();
        if (sendMessageText_) {
            reloadInputViews();
            sendMessageText_->becomeFirstResponder();
        }
    }
    shouldReturnToStickersKeyboard_ = false;
}

bool VelkoraChatOneViewController::shouldAutorotateToInterfaceOrientation(int orientation) const {
    return orientation == ui::InterfaceOrientationPortrait;
}

void VelkoraChatOneViewController::liveMessages(const std::vector<VelkoraMessagePtr>& messages) {
    if (!dataSource_ || !loaded_) return;
    const int n = dataSource_->gotMessages(messages);
    if (n > 0) {
        Log::line("Velkora - handling new messages (%d) in chat", n);
        setActivity(false);
        // The batch is newest first: its first message that is now a row is the newest row.
        VelkoraMessagePtr newest;
        for (const auto& m : messages)
            if (m && dataSource_->indexPathOf(m.get())) {
                newest = m;
                break;
            }
        if (messagesTable_) {
            dataSource_->showAdmitted(*messagesTable_, n, newest);
            messagesTable_->setContentOffset({0, messagesTable_->maxContentOffset().y});
        }
        userSawChatMessages();
    }
    showLoadMoreIfNeeded();
}

void VelkoraChatOneViewController::handleNewMessages(int count, bool) {
    Log::line("Velkora - handling new messages (%d) in chat", count);
    setActivity(false);
    scrollToEnd();
    userSawChatMessages();
}

void VelkoraChatOneViewController::scrollToEnd() {
    if (!messagesTable_) return;
    messagesTable_->reloadData();
    // Offsets set from code are not clamped: the end is where the last row ends at the table's bottom.
    messagesTable_->setContentOffset({0, messagesTable_->maxContentOffset().y});
}

void VelkoraChatOneViewController::userSawChatMessages() {
    if (chatUser_ && chatUser_->userId()) VelkoraChatsRepository::instance().setChatWasViewed(*chatUser_->userId());
}

int32_t VelkoraChatOneViewController::maxMessagesPerUpdate() const {
    auto data = VelkoraAgentInternal::instance().appData();
    const int32_t n = data ? data->maxMessagesPerUpdate() : 0;
    return n > 0 ? n : kDefaultMessagesPerUpdate;
}

void VelkoraChatOneViewController::showLoadMoreIfNeeded() {
    if (!messagesTable_ || !dataSource_) return;
    if (dataSource_->totalNumberOfMessages() < maxMessagesPerUpdate()) {
        messagesTable_->setTableHeaderView(nullptr);
        tableHeaderView_.reset();
        return;
    }
    if (tableHeaderView_ && messagesTable_->tableHeaderView() == tableHeaderView_->toplevelSubview()) return;
    tableHeaderView_ = VelkoraChatOneTableHeaderView::initFromNib();
    tableHeaderView_->setDelegate(std::weak_ptr<VelkoraChatOneTableHeaderViewDelegate>(self()));
    auto top = tableHeaderView_->toplevelSubview();
    if (top) top->setFrame({0, 0, messagesTable_->bounds().width(), top->frame().height()});
    messagesTable_->setTableHeaderView(top);
}

// Pages overlap by one, and a page that misses what is held says how the conversation changed meanwhile:
// all newer (messages were added) asks the next page, all older (messages were deleted) the one before.
void VelkoraChatOneViewController::loadMoreChatMessages() {
    if (!dataSource_ || !chatUser_) return;
    pageStepsLeft_ = kMaxPageSteps;
    askPage(std::max(0, dataSource_->totalNumberOfMessages() - 1));
}

void VelkoraChatOneViewController::askPage(int32_t offset) {
    pageOffset_ = offset;
    --pageStepsLeft_;
    VelkoraServerApi::getChat(chatUser_, offset,
                              VelkoraCallback(self(), &VelkoraChatOneViewController::gotOlderMessages));
}

void VelkoraChatOneViewController::gotOlderMessages(const Value& value) {
    std::vector<VelkoraMessagePtr> page;
    if (const auto* list = value.asArray())
        for (const auto& v : *list)
            if (auto m = v.asObject<VelkoraMessageInternal>()) page.push_back(m);
    if (page.empty() || !dataSource_) return;
    const auto oldest = dataSource_->oldestNumberedMessage();
    bool allNewer = true, allOlder = true;
    for (const auto& m : page) {
        if (!oldest) break;
        if (m->messageId() <= oldest->messageId()) allNewer = false;
        if (m->messageId() >= oldest->messageId()) allOlder = false;
    }
    const int n = dataSource_->gotMessages(page);
    // Admitted rows count once; a page that overlapped counted nothing twice.
    if (n > 0) handleOldMessages(n);
    if (!oldest || pageStepsLeft_ <= 0) return;
    if (allNewer) {
        askPage(pageOffset_ + static_cast<int32_t>(page.size()) - 1);
    } else if (allOlder && pageOffset_ > 0) {
        askPage(std::max(0, pageOffset_ - maxMessagesPerUpdate() + 1));
    }
}

void VelkoraChatOneViewController::handleOldMessages(int count) {
    Log::line("Velkora - handling old messages (%d) in chat", count);
    setActivity(false);
    dataSource_->resort();
    if (messagesTable_) messagesTable_->reloadData();
    showLoadMoreIfNeeded();
    userSawChatMessages();
}

void VelkoraChatOneViewController::openOtherUserView() {
    if (!chatUser_) return;
    auto screen = VelkoraScreenRegistry::instance().makeScreen(
        "profile", Value(foundation::Dictionary{{VelkoraScreenArguments::kObject1, Value::object(chatUser_)}}));
    if (!screen) return;
    if (auto feature = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(screen))
        feature->setFeatureTabDelegate(featureTabDelegate());
    if (auto* nav = navigationController()) nav->pushViewController(screen, true);
}

void VelkoraChatOneViewController::nameTitleClicked(ui::Control*) {
    openOtherUserView();
}
void VelkoraChatOneViewController::otherImageClicked(ui::Control*) {
    openOtherUserView();
}
void VelkoraChatOneViewController::otherProfileTapped(VelkoraChatOneTableCell&) {
    openOtherUserView();
}

void VelkoraChatOneViewController::imageClicked(const std::string& url) {
    auto screen = VelkoraFullScreenImageViewController::initFromNibWithImageUrl(url);
    screen->setFeatureTabDelegate(featureTabDelegate());
    if (auto* nav = navigationController()) nav->pushViewController(screen, true);
}

bool VelkoraChatOneViewController::isOpenedAsFeature() {
    auto d = featureTabDelegate();
    return d ? d->isOpenedAsFeature() : true;
}

void VelkoraChatOneViewController::backTapped(ui::Control* sender) {
    if (!sendMessageText_ || sendMessageText_->text().empty()) {
        VelkoraGeneralFeatureViewController::backTapped(sender);
        return;
    }
    auto popup = VelkoraDefaultOKPopupView::initFromNibCancel(text("velkora_text_confirm_yes_button"),
                                                              text("velkora_text_cancel_button"));
    if (!popup) return;
    if (popup->titleLabel()) popup->titleLabel()->setText(text("velkora_text_delete_message_title"));
    if (popup->messageLable()) popup->messageLable()->setText(text("velkora_text_delete_message_description"));
    popup->setDelegate(std::weak_ptr<VelkoraDefaultOKPopupViewDelegate>(self()));
    backTappedPending_ = true;
    backTappedSender_ = sender;
    ui::View* window = ui::Application::instance().keyWindow();
    popup->showInView(window ? window : view().get());
}

void VelkoraChatOneViewController::popupOkTapped() {
    if (!backTappedPending_) return;
    backTappedPending_ = false;
    ui::Control* sender = backTappedSender_;
    backTappedSender_ = nullptr;
    VelkoraGeneralFeatureViewController::backTapped(sender);
}

void VelkoraChatOneViewController::popupCancelTapped() {
    backTappedPending_ = false;
    backTappedSender_ = nullptr;
}

// ---- table delegate

void VelkoraChatOneViewController::willDisplayCell(ui::TableView&, ui::TableViewCell& cell, const ui::IndexPath&) {
    cell.setBackgroundColor(ui::Color::clear());
}

ui::ViewPtr VelkoraChatOneViewController::viewForHeaderInSection(ui::TableView& table, int section) {
    auto header = VelkoraChatOneHeaderView::initFromNib();
    if (header->headerLabel() && dataSource_)
        header->headerLabel()->setText(dataSource_->getSectionHeaderText(section));
    header->setFrame({0, 0, table.bounds().width(), header->frame().height()});
    if (header->toplevelSubview()) header->toplevelSubview()->setFrame(header->bounds());
    return header;
}

double VelkoraChatOneViewController::heightForHeaderInSection(ui::TableView&, int) {
    return dummyHeaderForHeightCalculations_ ? dummyHeaderForHeightCalculations_->frame().height() : 0;
}

double VelkoraChatOneViewController::heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath& indexPath) {
    if (!dataSource_) return 0;
    auto m = dataSource_->getMessageFromIndexPath(indexPath);
    return m ? dataSource_->getCellHeight(m) : 0;
}

void VelkoraChatOneViewController::didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) {
    table.deselectRowAtIndexPath(indexPath, false);
    if (!dataSource_) return;
    auto m = dataSource_->getMessageFromIndexPath(indexPath);
    if (m && dataSource_->sendState(m.get()) == VelkoraChatSendState::NotSent) unsentMessageTapped(m);
}

// ---- sending

void VelkoraChatOneViewController::setActivity(bool on) {
    if (!activityIndicatorView_) return;
    if (on)
        activityIndicatorView_->startAnimating();
    else
        activityIndicatorView_->stopAnimating();
}

void VelkoraChatOneViewController::showOutbox() {
    if (!chatUser_ || !chatUser_->userId()) return;
    for (const auto& e : VelkoraChatOutbox::instance().entriesFor(*chatUser_->userId()))
        showEntry(e);
}

void VelkoraChatOneViewController::showEntry(const VelkoraChatOutbox::EntryPtr& e) {
    if (!dataSource_ || !e->message) return;
    if (!dataSource_->indexPathOf(e->message.get())) dataSource_->addMessageToDateMessages(e->message);
    pendingRows_[e->localId] = e->message;
    dataSource_->setSendState(e->message.get(), e->state == VelkoraChatOutbox::State::Sending
                                                    ? VelkoraChatSendState::Sending
                                                    : VelkoraChatSendState::NotSent);
    if (e->contentType == "image" && e->smallPicture && e->text.empty())
        dataSource_->setLocalPicture(e->message.get(), e->smallPicture);
}

void VelkoraChatOneViewController::outboxChanged(const foundation::Notification& n) {
    if (!dataSource_ || !loaded_ || !chatUser_) return;
    const std::string localId = n.userInfo["localId"].textOr("");
    const std::string state = n.userInfo["state"].textOr("");
    if (state != "sent") {
        for (const auto& e : VelkoraChatOutbox::instance().entriesFor(*chatUser_->userId()))
            if (e->localId == localId) showEntry(e);
        if (messagesTable_) messagesTable_->reloadData();
        return;
    }
    // A confirmed entry has left the box: its row is known by the entry's id.
    auto found = pendingRows_.find(localId);
    if (found == pendingRows_.end()) return;
    VelkoraMessagePtr row = found->second;
    pendingRows_.erase(found);
    if (!row) return;
    setActivity(false);
    // Confirmed: the row takes the service's time and moves to the day it was stored.
    dataSource_->removeMessage(row.get());
    dataSource_->setSendState(row.get(), VelkoraChatSendState::Sent);
    dataSource_->setLocalPicture(row.get(), nullptr);
    dataSource_->setTotalNumberOfMessages(dataSource_->totalNumberOfMessages() + 1);
    if (dataSource_->chat()) {
        auto& list = dataSource_->chat()->mutableMessages();
        list.insert(list.begin(), row);
    }
    dataSource_->addMessageToDateMessages(row);
    scrollToEnd();
    showLoadMoreIfNeeded();
}

void VelkoraChatOneViewController::unsentMessageTapped(const VelkoraMessagePtr& message) {
    if (auto e = VelkoraChatOutbox::instance().entryForMessage(message.get())) {
        VelkoraChatOutbox::instance().retry(e->localId);
        showEntry(e);
        if (messagesTable_) messagesTable_->reloadData();
    }
}

void VelkoraChatOneViewController::sendMessageButtonTapped(ui::Control*) {
    if (!sendMessageText_ || !chatUser_ || !dataSource_) return;
    const std::string typed = sendMessageText_->text();
    // No trimming: blanks are a message; only nothing at all is not.
    if (typed.empty()) return;
    auto e = VelkoraChatOutbox::instance().sendText(chatUser_, "text/plain", typed);
    if (!e) return;
    setActivity(true);
    showEntry(e);
    sendMessageText_->setText("");
    sendMessageText_->resignFirstResponder();
    scrollToEnd();
}

void VelkoraChatOneViewController::stickerSelected(const std::string& url) {
    if (!chatUser_ || !dataSource_) return;
    auto e = VelkoraChatOutbox::instance().sendText(chatUser_, "sticker", url);
    if (e) showEntry(e);
    resetKeyboard();
    scrollToEnd();
}

void VelkoraChatOneViewController::imageSelected(const std::shared_ptr<ui::Image>& image) {
    if (!chatUser_ || !dataSource_ || !image) return;
    auto e = VelkoraChatOutbox::instance().sendPhoto(chatUser_, image);
    resetKeyboard();
    if (!e) return;
    // The screen stays usable while the photo goes: its row shows the progress.
    setActivity(true);
    showEntry(e);
    scrollToEnd();
}

// The field's input view changed while it may be first responder: the keyboard takes the new one's place.
void VelkoraChatOneViewController::reloadInputViews() {
    if (sendMessageText_ && sendMessageText_->isFirstResponder())
        ui::Keyboard::instance().firstResponderChanged(sendMessageText_.get(), sendMessageText_.get());
}

void VelkoraChatOneViewController::setRightButtonImage(const char* name) {
    if (keyboardSwitchButton_) keyboardSwitchButton_->setImage(kitImage(name));
}

void VelkoraChatOneViewController::openStickersKeyboard() {
    if (!sendMessageText_) return;
    auto me = self();
    sendMessageText_->setInputView(
        VelkoraStickersKeyboardView::initFromNibWithVC(me, std::weak_ptr<VelkoraEnhancedKeyboardDelegate>(me)));
    setRightButtonImage("VelImg_KeyboardIcon.png");
    keyboardType_ = kStickersKeyboard;
}

void VelkoraChatOneViewController::keyboardSwitchClicked(ui::Control*) {
    if (!sendMessageText_) return;
    if (keyboardType_ == kStickersKeyboard) {
        sendMessageText_->setInputView(nullptr);
        setRightButtonImage("VelImg_SmileyIcon.png");
        keyboardType_ = kSystemKeyboard;
    } else {
        VelkoraLogEventsManager::instance().logEvent("feature-viewed;stickers-keyboard-chat");
        openStickersKeyboard();
    }
    if (uploadPhotoButton_) uploadPhotoButton_->setSelected(false);
    reloadInputViews();
    sendMessageText_->becomeFirstResponder();
}

void VelkoraChatOneViewController::photoUploadClicked(ui::Control*) {
    if (!sendMessageText_) return;
    if (keyboardType_ == kPhotoPane) {
        sendMessageText_->setInputView(nullptr);
        keyboardType_ = kSystemKeyboard;
        if (uploadPhotoButton_) uploadPhotoButton_->setSelected(false);
    } else {
        auto me = self();
        sendMessageText_->setInputView(
            VelkoraUploadImageKeyboardView::initFromNibWithVC(me, std::weak_ptr<VelkoraEnhancedKeyboardDelegate>(me)));
        keyboardType_ = kPhotoPane;
        if (uploadPhotoButton_) uploadPhotoButton_->setSelected(true);
    }
    reloadInputViews();
    sendMessageText_->becomeFirstResponder();
}

void VelkoraChatOneViewController::resetKeyboard() {
    if (!sendMessageText_) return;
    sendMessageText_->setInputView(nullptr);
    keyboardType_ = kSystemKeyboard;
    setRightButtonImage("VelImg_SmileyIcon.png");
    if (uploadPhotoButton_) uploadPhotoButton_->setSelected(false);
    sendMessageText_->resignFirstResponder();
}

void VelkoraChatOneViewController::openStickersStore() {
    shouldReturnToStickersKeyboard_ = true;
    resetKeyboard();
    auto store = VelkoraStickerStoreViewController::create();
    store->setFeatureTabDelegate(featureTabDelegate());
    if (auto* nav = navigationController()) nav->pushViewController(store, true);
}

void VelkoraChatOneViewController::keyboardWillShow(const foundation::Notification& n) {
    auto container = featureTabDelegate();
    const bool popover = container && container->isUsingPopover();
    if (!popover && sendMessageBottomSpaceConstraint_) {
        const double duration = n.userInfo[ui::kKeyboardAnimationDurationUserInfoKey].doubleOr(0);
        const ui::Rect frame = ui::Keyboard::rectFromUserInfo(n.userInfo, ui::kKeyboardFrameEndUserInfoKey);
        double bottom;
        if (keyboardType_ != kSystemKeyboard && sendMessageText_ && sendMessageText_->inputView()) {
            bottom = sendMessageText_->inputView()->frame().height();
        } else {
            const int o = ui::Application::instance().statusBarOrientation();
            bottom = o == ui::InterfaceOrientationPortrait || o == ui::InterfaceOrientationPortraitUpsideDown
                         ? frame.height()
                         : frame.width();
        }
        sendMessageBottomSpaceConstraint_->setConstant(bottom);
        view()->setNeedsLayout();
        auto weak = std::weak_ptr<VelkoraChatOneViewController>(self());
        ui::Animator::animate(
            duration, [this] { view()->layoutIfNeeded(); },
            [weak](bool) {
                auto s = weak.lock();
                if (!s || !s->messagesTable_ || !s->dataSource_) return;
                if (auto last = s->dataSource_->lastShownIndexPath();
                    last && last->section < s->messagesTable_->numberOfSections() &&
                    last->row < s->messagesTable_->numberOfRowsInSection(last->section))
                    s->messagesTable_->scrollToRowAtIndexPath(*last, ui::TableViewScrollPosition::Bottom, true);
            });
    }
    if (!tapOutside_) {
        tapOutside_ = std::make_shared<ui::TapGestureRecognizer>();
        tapOutside_->addTarget(self(), &VelkoraChatOneViewController::handleTouchesWhenKeyboardIsVisble);
        tapOutside_->setDelegate(std::weak_ptr<ui::GestureRecognizerDelegate>(self()));
        tapOutside_->setCancelsTouchesInView(false);
        view()->addGestureRecognizer(tapOutside_);
    }
}

void VelkoraChatOneViewController::keyboardWillHide(const foundation::Notification& n) {
    auto container = featureTabDelegate();
    if (!(container && container->isUsingPopover()) && sendMessageBottomSpaceConstraint_) {
        sendMessageBottomSpaceConstraint_->setConstant(0);
        view()->setNeedsLayout();
        ui::Animator::animate(n.userInfo[ui::kKeyboardAnimationDurationUserInfoKey].doubleOr(0),
                              [this] { view()->layoutIfNeeded(); });
    }
    if (tapOutside_) {
        view()->removeGestureRecognizer(tapOutside_.get());
        tapOutside_.reset();
    }
}

bool VelkoraChatOneViewController::gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer&, ui::Touch& touch) {
    if (!sendMessageView_ || !velkoraContentView()) return true;
    const ui::Rect bar =
        sendMessageView_->superview()
            ? sendMessageView_->superview()->convertRectToView(sendMessageView_->frame(), velkoraContentView().get())
            : sendMessageView_->frame();
    return !bar.contains(touch.locationInView(velkoraContentView().get()));
}

void VelkoraChatOneViewController::handleTouchesWhenKeyboardIsVisble(ui::GestureRecognizer&) {
    resetKeyboard();
}

} // namespace velkora
