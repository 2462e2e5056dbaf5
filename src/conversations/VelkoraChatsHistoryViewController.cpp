#include "conversations/VelkoraChatsHistoryViewController.h"

#include <algorithm>

#include "conversations/VelkoraEnhancedKeyboardView.h"
#include "conversations/VelkoraGeneralSystemMessageViewController.h"
#include "conversations/VelkoraInboxScreens.h"
#include "conversations/VelkoraNewMessageChooserViewController.h"
#include "session/VelkoraChatsRepository.h"
#include "social/VelkoraConnectorTarget.h"
#include "social/VelkoraFBConnector.h"
#include "social/VelkoraTwitterConnector.h"
#include "social/VelkoraUserSignUpHelper.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarItems.h"
#include "platform/ui/Button.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
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
#include "shell/VelkoraMultiLineAutoSize.h"
#include "shell/VelkoraRefreshTableHeaderView.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "shell/VelkoraTimeIntervalDisplay.h"
#include "data/VelkoraUserDetailsDisplayer.h"

namespace velkora {

using foundation::Log;
using foundation::Value;

namespace {

std::string text(const char* key) {
    return foundation::Bundle::main().localizedString(key);
}

void hide(const std::shared_ptr<ui::View>& view, bool hidden) {
    if (view) view->setHidden(hidden);
}

bool isShown(const std::shared_ptr<ui::View>& view) {
    return view && !view->isHidden();
}

void setPriority(const std::shared_ptr<ui::LayoutConstraint>& c, double priority) {
    if (c) c->setPriority(priority);
}

} // namespace

// ---- row

VelkoraChatsHistoryTableCell::~VelkoraChatsHistoryTableCell() = default;

std::shared_ptr<VelkoraChatsHistoryTableCell> VelkoraChatsHistoryTableCell::initFromNib(ui::InterfaceOwner* owner) {
    registerInboxViewClasses();
    auto cell = std::dynamic_pointer_cast<VelkoraChatsHistoryTableCell>(
        ui::InterfaceLoader::instance().loadFirstObject(kInterface, owner));
    if (cell) cell->myInit();
    return cell;
}

void VelkoraChatsHistoryTableCell::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("nameLabel", nameLabel_);
    b.outlet("timeLabel", timeLabel_);
    b.outlet("messageLabel", messageLabel_);
    b.outlet("badgeLabel", badgeLabel_);
    b.outlet("userImageView", userImageView_);
    b.outlet("openItemView", openItemView_);
    b.outlet("itemIsNewImageView", itemIsNewImageView_);
    b.outlet("badgeImageView", badgeImageView_);
    b.outlet("lineView", lineView_);
    b.outlet("badgeView", badgeView_);
    b.outlet("deleteButton", deleteButton_);
    b.outlet("messageLabelTrailingSpaceToBadgeConstraint", messageLabelTrailingSpaceToBadgeConstraint_);
    b.outlet("deleteViewWidthConstraint", deleteViewWidthConstraint_);
    b.outlet("deleteViewTrailingSpaceConstraint", deleteViewTrailingSpaceConstraint_);
    b.action("deleteTapped:", this, &VelkoraChatsHistoryTableCell::deleteTapped);
}

void VelkoraChatsHistoryTableCell::myInit() {
    setReuseIdentifier(kReuseIdentifier);
    auto selected = ui::View::create(frame());
    selected->setBackgroundColor(ui::Color::rgba(29 / 255.0, 29 / 255.0, 29 / 255.0, 1.0));
    setSelectedBackgroundView(selected);
    if (deleteViewTrailingSpaceConstraint_ && deleteViewWidthConstraint_)
        deleteViewTrailingSpaceConstraint_->setConstant(-deleteViewWidthConstraint_->constant());
    if (nameLabel_) {
        VelkoraAppSettings::setLeadingColor(*nameLabel_);
        nameLabel_->setHighlightedTextColor(VelkoraAppSettings::leadingColor());
    }
    if (messageLabelTrailingSpaceToBadgeConstraint_)
        origMessageLabelTrailingSpaceToBadge_ = messageLabelTrailingSpaceToBadgeConstraint_->constant();
    if (userImageView_) {
        userImageView_->layer().setCornerRadius(7);
        userImageView_->setClipsToBounds(true);
        userImageView_->setUsingCache(true);
    }
    if (deleteButton_) deleteButton_->setTitle(text("velkora_text_delete_button"));
    auto swipe = std::make_shared<ui::SwipeGestureRecognizer>();
    swipe->setDirection(ui::SwipeRight | ui::SwipeLeft);
    swipe->addAction([this](ui::GestureRecognizer& r) {
        if (r.state() == ui::GestureRecognizerState::Recognized) handlePanEvents(&r);
    });
    addGestureRecognizer(swipe);
    swipeRecognizer_ = swipe;
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeTableCellSelectedBackgroundView(selected.get(), kScreenId);
    style.customizeTableCellTimeLabel(timeLabel_.get(), kScreenId);
    style.customizeTableCellTitleLabel(nameLabel_.get(), kScreenId);
    style.customizeTableCellDescriptionLabel(messageLabel_.get(), kScreenId);
    style.customizeTableCellAccessoryView(openItemView_.get(), kScreenId);
    style.customizeTableCellBadgeLabel(badgeLabel_.get(), kScreenId);
    style.customizeTableCellBadgeImageView(badgeImageView_.get(), kScreenId);
    style.customizeTableCellDeleteButton(deleteButton_.get(), kScreenId);
    style.customizeTableCellSeparatorView(lineView_.get(), kScreenId);
}

void VelkoraChatsHistoryTableCell::updateData(const VelkoraChatPtr& chat, bool /*isLast*/) {
    if (timeLabel_) timeLabel_->setAdjustsFontSizeToFitWidth(true);
    chat_ = chat;
    const VelkoraUserPtr user = chat ? chat->user() : nullptr;
    // A reply may count messages it does not carry: such a row shows its photo and name only.
    const VelkoraMessagePtr newest = chat && !chat->messages().empty() ? chat->messages().front() : nullptr;

    if (userImageView_) {
        userImageView_->setImage(ui::Image::named("VelImg_UserThumbMediumNon.png"));
        auto info = VelkoraAgentInternal::instance().userInfo();
        if (user && user->hasPhoto(info ? info->userInfoSource() : 0)) {
            const ui::Size pixels = userImageView_->getSizeInPixels();
            if (auto url = user->getSizedPhotoUrl(float(pixels.width), float(pixels.height)); url && !url->empty())
                userImageView_->getImage(*url);
        } else if (user && user->isAppOwner()) {
            if (auto logo = VelkoraAppSettings::appLogo()) userImageView_->setImage(logo);
        }
    }

    if (timeLabel_) {
        std::string age;
        if (newest && newest->time()) {
            const double d = VelkoraServerClientAgent::instance().getServerTimeDiff(*newest->time());
            age = d < kRelativeAgeLimit ? VelkoraTimeIntervalDisplay::getLongDisplayString(d)
                                        : VelkoraTimeIntervalDisplay::getJustDate(*newest->time());
        }
        timeLabel_->setText(age);
    }

    if (nameLabel_) {
        if (newest && newest->messageName())
            nameLabel_->setText(*newest->messageName());
        else
            nameLabel_->setText(VelkoraUserDetailsDisplayer::nameWithInitial(user.get()));
    }

    const int32_t unread =
        user && user->userId() ? VelkoraChatsRepository::instance().numNewMessageFromUser(*user->userId()) : 0;
    if (unread > 0) {
        hide(badgeView_, false);
        if (badgeLabel_) badgeLabel_->setText(std::to_string(user->isAppOwner() ? 1 : unread));
        if (messageLabelTrailingSpaceToBadgeConstraint_)
            messageLabelTrailingSpaceToBadgeConstraint_->setConstant(origMessageLabelTrailingSpaceToBadge_);
    } else {
        hide(badgeView_, true);
        if (messageLabelTrailingSpaceToBadgeConstraint_)
            messageLabelTrailingSpaceToBadgeConstraint_->setConstant(origMessageLabelTrailingSpaceToBadge_ -
                                                                     (badgeView_ ? badgeView_->frame().width() : 0));
    }

    if (messageLabel_) {
        std::string line;
        if (newest) {
            const std::string type = newest->contentType().value_or("");
            if (type == "sticker")
                line = text("velkora_text_notification_sticker_message");
            else if (type == "image")
                line = text("velkora_text_notification_image_message");
            else
                line = newest->getPlainText().value_or("");
        }
        messageLabel_->setText(line);
    }
    setNeedsLayout();
}

bool VelkoraChatsHistoryTableCell::isDeleteRevealed() const {
    return deleteViewTrailingSpaceConstraint_ && deleteViewTrailingSpaceConstraint_->constant() == 0;
}

void VelkoraChatsHistoryTableCell::handlePanEvents(ui::GestureRecognizer*) {
    if (isDeleteRevealed())
        unSwipeDelete();
    else
        swipeDelete();
}

void VelkoraChatsHistoryTableCell::swipeDelete() {
    moveDeleteArea(0, true);
}

void VelkoraChatsHistoryTableCell::unSwipeDelete() {
    moveDeleteArea(deleteViewWidthConstraint_ ? -deleteViewWidthConstraint_->constant() : 0, false);
}

// The inbox hears of a move only when it ran to its end: one interrupted by the next swipe says nothing.
void VelkoraChatsHistoryTableCell::moveDeleteArea(double constant, bool revealed) {
    if (!deleteViewTrailingSpaceConstraint_) return;
    deleteViewTrailingSpaceConstraint_->setConstant(constant);
    std::weak_ptr<VelkoraChatsHistoryTableCell> weak = sharedAs<VelkoraChatsHistoryTableCell>();
    ui::View::animateWithDuration(
        kSwipeSeconds,
        [weak] {
            if (auto self = weak.lock()) self->layoutIfNeeded();
        },
        [weak, revealed](bool finished) {
            auto self = weak.lock();
            if (!self || !finished) return;
            if (auto d = self->delegate_.lock()) d->deleteSwiped(revealed, *self);
        });
}

void VelkoraChatsHistoryTableCell::deleteTapped(ui::Control*) {
    if (auto d = delegate_.lock()) d->deleteTapped(*this);
}

// ---- screen

VelkoraChatsHistoryViewController::VelkoraChatsHistoryViewController()
    : VelkoraGeneralFeatureViewController(VelkoraEnhancedKeyboardView::interfaceName(kInterface)) {}

std::shared_ptr<VelkoraChatsHistoryViewController> VelkoraChatsHistoryViewController::initFromNib() {
    registerInboxViewClasses();
    return std::shared_ptr<VelkoraChatsHistoryViewController>(new VelkoraChatsHistoryViewController());
}

VelkoraChatsHistoryViewController::~VelkoraChatsHistoryViewController() {
    newMessagesObserver_.reset();
    viewedObserver_.reset();
    gotChatsObserver_.reset();
    VelkoraServerApi::clearUserDelegate(this);
    if (chatsTable_) {
        chatsTable_->setDataSource({});
        chatsTable_->setDelegate({});
    }
    auto& session = VelkoraAgentInternal::instance();
    if (auto fb = session.fbConnector()) fb->removeDelegate(this);
    if (auto tw = session.twitterConnector()) tw->removeDelegate(this);
    if (userSignUpHelper_) userSignUpHelper_->removeDelegate(this);
}

void VelkoraChatsHistoryViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraGeneralFeatureViewController::registerInterfaceBindings(b);
    b.outlet("chatsTable", chatsTable_);
    b.outlet("addMessageButton", addMessageButton_);
    b.outlet("noMessagesView", noMessagesView_);
    b.outlet("noMessagesLabel", noMessagesLabel_);
    b.outlet("anonynousView", anonynousView_);
    b.outlet("closeAnonymousViewButton", closeAnonymousViewButton_);
    b.outlet("anonymousWelcomeLabel", anonymousWelcomeLabel_);
    b.outlet("anonymousMessageLabel", anonymousMessageLabel_);
    b.outlet("anonymousNoMessagesImageView", anonymousNoMessagesImageView_);
    b.outlet("anonymousNoMessagesLabel", anonymousNoMessagesLabel_);
    b.outlet("signinView", signinView_);
    b.outlet("facebookConnectButton", facebookConnectButton_);
    b.outlet("twitterConnectButton", twitterConnectButton_);
    b.outlet("oldSigninViewDashImageView", oldSigninViewDashImageView_);
    b.outlet("signupView", signupView_);
    b.outlet("signupWelcomeLabel", signupWelcomeLabel_);
    b.outlet("signupMessageLabel", signupMessageLabel_);
    b.outlet("signupLoginButton", signupLoginButton_);
    b.outlet("signupSignUpButton", signupSignUpButton_);
    b.outlet("signupCloseButton", signupCloseButton_);
    b.outlet("signupViewDashImageView", signupViewDashImageView_);
    b.outlet("activityIndicator", activityIndicator_);
    b.outlet("tableViewTopSpaceWithSuperViewConstraint", tableViewTopSpaceWithSuperViewConstraint_);
    b.outlet("tableViewTopSpaceWithAnonymousViewConstraint", tableViewTopSpaceWithAnonymousViewConstraint_);
    b.outlet("tableViewTopSpaceWithNoMessagesViewConstraint", tableViewTopSpaceWithNoMessagesViewConstraint_);
    b.outlet("tableViewTopSpaceWithOldSigninViewConstraint", tableViewTopSpaceWithOldSigninViewConstraint_);
    b.outlet("tableViewTopSpaceWithNewSigninViewConstraint", tableViewTopSpaceWithNewSigninViewConstraint_);
    b.outlet("anonymousNoMessagesImageTopSpaceWithOldSigninViewConstraint",
             anonymousNoMessagesImageTopSpaceWithOldSigninViewConstraint_);
    b.outlet("anonymousNoMessagesImageTopSpaceWithNewSigninViewConstraint",
             anonymousNoMessagesImageTopSpaceWithNewSigninViewConstraint_);
    b.outlet("oldSigninViewHeightConstraint", oldSigninViewHeightConstraint_);
    b.outlet("signupViewHeightConstraint", signupViewHeightConstraint_);
    b.action("addMessageTapped:", this, &VelkoraChatsHistoryViewController::addMessageTapped);
    b.action("loginClicked:", this, &VelkoraChatsHistoryViewController::loginClicked);
    b.action("signUpClicked:", this, &VelkoraChatsHistoryViewController::signUpClicked);
    b.action("closeAnonymousMessage:", this, &VelkoraChatsHistoryViewController::closeAnonymousMessage);
    b.action("facebookConnectClicked:", this, &VelkoraChatsHistoryViewController::facebookConnectClicked);
    b.action("twitterConnectClicked:", this, &VelkoraChatsHistoryViewController::twitterConnectClicked);
}

std::vector<std::shared_ptr<ui::LayoutConstraint>> VelkoraChatsHistoryViewController::tableTopConstraints() const {
    return {tableViewTopSpaceWithSuperViewConstraint_, tableViewTopSpaceWithAnonymousViewConstraint_,
            tableViewTopSpaceWithNoMessagesViewConstraint_, tableViewTopSpaceWithOldSigninViewConstraint_,
            tableViewTopSpaceWithNewSigninViewConstraint_};
}

bool VelkoraChatsHistoryViewController::repositoryLoaded() const {
    return VelkoraChatsRepository::instance().didFinishLoading();
}

bool VelkoraChatsHistoryViewController::isAnonymous() const {
    auto me = VelkoraAgentInternal::instance().velkoraUser();
    return me && me->isAnonymous();
}

bool VelkoraChatsHistoryViewController::emailSignUpEnabled() const {
    auto data = VelkoraAgentInternal::instance().appData();
    return data && data->emailSignUpEnabled();
}

void VelkoraChatsHistoryViewController::viewDidLoad() {
    setStyleScreenIdentifier(kScreenId);
    VelkoraGeneralFeatureViewController::viewDidLoad();
    auto& repository = VelkoraChatsRepository::instance();
    activeChats_ = repository.getActiveChats();
    auto self = sharedAs<VelkoraChatsHistoryViewController>();
    if (chatsTable_) {
        chatsTable_->setDataSource(std::weak_ptr<ui::TableViewDataSource>(self));
        chatsTable_->setDelegate(std::weak_ptr<ui::TableViewDelegate>(self));
        chatsTable_->setSeparatorStyle(ui::TableViewCellSeparatorStyle::None);
        // Every row is as tall as the row's interface file makes it.
        if (auto measure = VelkoraChatsHistoryTableCell::initFromNib())
            chatsTable_->setRowHeight(measure->frame().height());
    }
    if (!activeChats_.empty())
        installRefreshHeader();
    else
        removeRefreshHeader();

    const std::string appName = VelkoraAppSettings::appName().value_or("");
    for (auto* label : {anonymousWelcomeLabel_.get(), signupWelcomeLabel_.get()})
        if (label) label->setText(foundation::format(text("velkora_text_welcome_to_app"), appName));
    for (auto* label : {anonymousMessageLabel_.get(), signupMessageLabel_.get()})
        if (label) {
            label->setText(foundation::format(text("velkora_text_anonymous_message"), appName));
            adjustFontSizeToFit(*label);
        }
    if (noMessagesLabel_) noMessagesLabel_->setText(text("velkora_text_no_messages_title"));
    if (anonymousNoMessagesLabel_) anonymousNoMessagesLabel_->setText(text("velkora_text_anonymous_no_messages_title"));
    for (auto* button : {facebookConnectButton_.get(), twitterConnectButton_.get()})
        if (button) button->setTitle(text("velkora_text_connect_button"));
    if (signupLoginButton_) signupLoginButton_->setTitle(text("velkora_text_login_button"));
    if (signupSignUpButton_) signupSignUpButton_->setTitle(text("velkora_text_signup_button"));
    if (titleLabel() && titleText().empty()) titleLabel()->setText(text("velkora_text_inbox_title"));

    gestureRecognizer_ = std::make_shared<ui::TapGestureRecognizer>();
    std::weak_ptr<VelkoraChatsHistoryViewController> weak = self;
    gestureRecognizer_->addAction([weak](ui::GestureRecognizer& r) {
        if (r.state() != ui::GestureRecognizerState::Recognized) return;
        if (auto s = weak.lock()) s->tappedWhileDelete();
    });
    auto* object = &repository;
    newMessagesObserver_ =
        foundation::NotificationObserver(VelkoraChatsRepository::kNewMessagesNotification, object,
                                         [this](const foundation::Notification& n) { gotNewMessages(n); });
    viewedObserver_ =
        foundation::NotificationObserver(VelkoraChatsRepository::kMessagesViewedNotification, object,
                                         [this](const foundation::Notification& n) { messagesViewed(n); });
    gotChatsObserver_ =
        foundation::NotificationObserver(VelkoraChatsRepository::kGotChatsNotification, object,
                                         [this](const foundation::Notification& n) { chatsReloaded(n); });

    if (repositoryLoaded()) {
        updateViewOnAnonymous();
    } else {
        for (const auto& v : std::initializer_list<std::shared_ptr<ui::View>>{noMessagesView_, addMessageButton_,
                                                                              anonynousView_, signinView_, signupView_})
            hide(v, true);
        if (activityIndicator_) {
            activityIndicator_->setHidden(false);
            activityIndicator_->startAnimating();
        }
    }

    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeInboxAnonymousNoMessagesImageView(anonymousNoMessagesImageView_.get(), kScreenId);
    style.customizeInboxComposeButton(addMessageButton_.get(), kScreenId);
    style.customizeFacebookConnectButton(facebookConnectButton_.get(), kScreenId);
    style.customizeTwitterConnectButton(twitterConnectButton_.get(), kScreenId);
    style.customizeSignupConnectButton(signupSignUpButton_.get(), kScreenId);
    style.customizeLoginConnectButton(signupLoginButton_.get(), kScreenId);
}

void VelkoraChatsHistoryViewController::viewWillAppear(bool animated) {
    VelkoraGeneralFeatureViewController::viewWillAppear(animated);
    if (chatsTable_) chatsTable_->reloadData();
}

void VelkoraChatsHistoryViewController::viewDidAppear(bool animated) {
    VelkoraGeneralFeatureViewController::viewDidAppear(animated);
    VelkoraLogEventsManager::instance().logEvent("feature-viewed;inbox");
}

// The header rests hidden above the first row until a pull uncovers it.
void VelkoraChatsHistoryViewController::installRefreshHeader() {
    if (!chatsTable_) return;
    if (!refreshTableHeaderView_) refreshTableHeaderView_ = VelkoraRefreshTableHeaderView::initFromNib();
    auto top = refreshTableHeaderView_ ? refreshTableHeaderView_->topLevelSubview() : nullptr;
    if (!top) return;
    const bool wasInstalled = chatsTable_->tableHeaderView() == top;
    if (!wasInstalled) chatsTable_->setTableHeaderView(top);
    const double h = top->frame().height();
    auto inset = chatsTable_->contentInset();
    inset.top = -h;
    chatsTable_->setContentInset(inset);
    if (!wasInstalled && !chatsTable_->isDragging() && chatsTable_->contentOffset().y < h)
        chatsTable_->setContentOffset({chatsTable_->contentOffset().x, h});
    isRefreshEnabled_ = true;
}

void VelkoraChatsHistoryViewController::removeRefreshHeader() {
    if (chatsTable_) {
        chatsTable_->setTableHeaderView(nullptr);
        auto inset = chatsTable_->contentInset();
        inset.top = 0;
        chatsTable_->setContentInset(inset);
    }
    isRefreshEnabled_ = false;
}

// ---- notifications

void VelkoraChatsHistoryViewController::gotNewMessages(const foundation::Notification& n) {
    handleNewChatsHistory(n.userInfo["newUsers"].int32Or(0));
}

void VelkoraChatsHistoryViewController::messagesViewed(const foundation::Notification&) {
    handleNewChatsHistory(0);
}

void VelkoraChatsHistoryViewController::chatsReloaded(const foundation::Notification&) {
    if (activityIndicator_) activityIndicator_->stopAnimating();
    updateViewOnAnonymous();
    handleNewChatsHistory(0);
}

// New chats are the newest, so they come first. They are inserted as rows only when the active list grew
// by exactly that many at its top (a new chat with a user deleted earlier may stay out of it); anything
// else reloads, so the table never disagrees with the list. Without new chats the list is re-read and the
// table reloaded: a message in an older chat moves it to the top, and a row must never open a chat other
// than the one it shows.
void VelkoraChatsHistoryViewController::handleNewChatsHistory(int newChats) {
    const auto before = activeChats_;
    const auto after = VelkoraChatsRepository::instance().getActiveChats();
    const size_t n = newChats > 0 ? static_cast<size_t>(newChats) : 0;
    bool insert = n > 0 && chatsTable_ && after.size() == before.size() + n &&
                  chatsTable_->numberOfRowsInSection(0) == static_cast<int>(before.size()) &&
                  std::equal(before.begin(), before.end(), after.begin() + static_cast<std::ptrdiff_t>(n));
    if (insert) {
        std::vector<ui::IndexPath> paths;
        for (size_t i = 0; i < n; ++i)
            paths.push_back(ui::IndexPath::of(static_cast<int>(i), 0));
        chatsTable_->beginUpdates();
        dataSourceDidFinishLoadingNewData();
        chatsTable_->insertRowsAtIndexPaths(paths, ui::TableViewRowAnimation::Top);
        chatsTable_->endUpdates();
        return;
    }
    dataSourceDidFinishLoadingNewData();
    if (chatsTable_) chatsTable_->reloadData();
}

void VelkoraChatsHistoryViewController::dataSourceDidFinishLoadingNewData() {
    reloadingTable_ = false;
    activeChats_ = VelkoraChatsRepository::instance().getActiveChats();
    if (refreshTableHeaderView_) {
        if (refreshTableHeaderView_->isFlipped()) refreshTableHeaderView_->flipImageAnimated(false);
        auto header = refreshTableHeaderView_;
        std::weak_ptr<ui::TableView> table = chatsTable_;
        ui::View::animateWithDuration(kRefreshSettleSeconds, [header, table] {
            auto t = table.lock();
            if (t && header->topLevelSubview() && t->tableHeaderView() == header->topLevelSubview()) {
                const double h = header->topLevelSubview()->frame().height();
                auto inset = t->contentInset();
                inset.top = -h;
                t->setContentInset(inset);
                if (!t->isDragging() && t->contentOffset().y < h) t->setContentOffset({t->contentOffset().x, h});
            }
            header->setStatus(VelkoraRefreshTableHeaderView::PullDownToRefresh);
            header->toggleActivityView(false);
        });
    }
    if (!activeChats_.empty())
        installRefreshHeader();
    else
        removeRefreshHeader();
}

// ---- anonymous state and empty views

void VelkoraChatsHistoryViewController::updateViewOnAnonymous() {
    const bool anonymous = isAnonymous();
    if (anonymous && !hideAnonymousView_) {
        hide(anonynousView_, false);
        hide(noMessagesView_, true);
        hide(addMessageButton_, true);
        const bool email = emailSignUpEnabled();
        hide(signinView_, email);
        hide(signupView_, !email);
    } else {
        hide(anonynousView_, true);
        hide(noMessagesView_, anonymous);
        hide(addMessageButton_, anonymous);
        if (chatsTable_) chatsTable_->reloadData();
    }
    recalculateConstraintsPriorities();
    if (view()) view()->layoutIfNeeded();
    auto d = featureTabDelegate();
    if (d && d->isTopPanelHidden() && isShown(addMessageButton_)) {
        if (topPanelView()) removeConstraintsForView(addMessageButton_.get(), topPanelView().get());
        addMessageButton_->setTranslatesAutoresizingMaskIntoConstraints(true);
        navigationItem().setRightBarButtonItem(ui::BarButtonItem::withCustomView(addMessageButton_));
    } else {
        navigationItem().setRightBarButtonItem(nullptr);
    }
}

int VelkoraChatsHistoryViewController::numberOfRowsInSection(ui::TableView&, int) {
    const int rows = static_cast<int>(activeChats_.size());
    if (rows == 0) {
        if (repositoryLoaded()) {
            hide(noMessagesView_, isShown(anonynousView_));
            hide(anonymousNoMessagesImageView_, false);
            hide(anonymousNoMessagesLabel_, false);
            hide(closeAnonymousViewButton_, true);
        }
    } else {
        hide(noMessagesView_, true);
        hide(closeAnonymousViewButton_, !isShown(anonynousView_));
        hide(anonymousNoMessagesImageView_, true);
        hide(anonymousNoMessagesLabel_, true);
    }
    recalculateConstraintsPriorities();
    return rows;
}

void VelkoraChatsHistoryViewController::recalculateConstraintsPriorities() {
    for (const auto& c : tableTopConstraints())
        setPriority(c, 500);
    const bool anonymous = isAnonymous();
    const bool bannerShown = anonymous && !hideAnonymousView_;
    if (!activeChats_.empty()) {
        if (bannerShown) {
            setPriority(anonymousNoMessagesImageTopSpaceWithOldSigninViewConstraint_, 500);
            setPriority(anonymousNoMessagesImageTopSpaceWithNewSigninViewConstraint_, 500);
            if (emailSignUpEnabled()) {
                setPriority(tableViewTopSpaceWithNewSigninViewConstraint_, 750);
                setPriority(anonymousNoMessagesImageTopSpaceWithNewSigninViewConstraint_, 750);
                if (signupViewHeightConstraint_)
                    signupViewHeightConstraint_->setConstant(
                        signupViewDashImageView_ ? signupViewDashImageView_->frame().y() + 1 : 1);
            } else {
                setPriority(tableViewTopSpaceWithOldSigninViewConstraint_, 750);
                setPriority(anonymousNoMessagesImageTopSpaceWithOldSigninViewConstraint_, 750);
                if (oldSigninViewHeightConstraint_)
                    oldSigninViewHeightConstraint_->setConstant(
                        oldSigninViewDashImageView_ ? oldSigninViewDashImageView_->frame().y() + 1 : 1);
            }
        } else {
            setPriority(tableViewTopSpaceWithSuperViewConstraint_, 750);
        }
    } else if (anonymous && hideAnonymousView_) {
        setPriority(tableViewTopSpaceWithSuperViewConstraint_, 750);
        hide(noMessagesView_, true);
    } else if (anonymous) {
        setPriority(tableViewTopSpaceWithAnonymousViewConstraint_, 750);
    } else {
        setPriority(tableViewTopSpaceWithNoMessagesViewConstraint_, 750);
    }
    if (view()) view()->setNeedsLayout();
}

// ---- rows

ui::TableViewCellPtr VelkoraChatsHistoryViewController::cellForRowAtIndexPath(ui::TableView& table,
                                                                              const ui::IndexPath& indexPath) {
    auto cell = std::dynamic_pointer_cast<VelkoraChatsHistoryTableCell>(
        table.dequeueReusableCellWithIdentifier(VelkoraChatsHistoryTableCell::kReuseIdentifier));
    if (!cell) {
        cell = VelkoraChatsHistoryTableCell::initFromNib();
        if (!cell) return nullptr;
        cell->setDelegate(
            std::weak_ptr<VelkoraChatsHistoryTableCellDelegate>(sharedAs<VelkoraChatsHistoryViewController>()));
    }
    cell->setFrame(ui::Rect(0, 0, table.bounds().width(), cell->frame().height()));
    if (indexPath.row >= 0 && indexPath.row < static_cast<int>(activeChats_.size()))
        cell->updateData(activeChats_[indexPath.row], indexPath.row + 1 == static_cast<int>(activeChats_.size()));
    return cell;
}

void VelkoraChatsHistoryViewController::willDisplayCell(ui::TableView&, ui::TableViewCell& cell, const ui::IndexPath&) {
    cell.setBackgroundColor(ui::Color::clear());
}

void VelkoraChatsHistoryViewController::didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) {
    if (indexPath.row < 0 || indexPath.row >= static_cast<int>(activeChats_.size())) return;
    const VelkoraChatPtr chat = activeChats_[indexPath.row];
    table.deselectRowAtIndexPath(indexPath, true);
    if (!chat) return;
    // Decided by the messages held: a reply may count messages it did not send.
    if (chat->systemChat() && !chat->messages().empty() && chat->messages().front() &&
        chat->messages().front()->contentType().value_or("") != "text/plain")
        openSystemMessageChatScreen(chat);
    else if (chat->systemChat() && chat->messages().empty())
        return;
    else
        openChatScreen(chat);
}

void VelkoraChatsHistoryViewController::pushNamed(const std::string& name, const Value& arguments) {
    auto screen = VelkoraScreenRegistry::instance().makeScreen(name, arguments);
    if (!screen) return;
    if (auto feature = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(screen))
        feature->setFeatureTabDelegate(featureTabDelegate());
    if (auto* nav = navigationController()) nav->pushViewController(screen, true);
}

void VelkoraChatsHistoryViewController::openChatScreen(const VelkoraChatPtr& chat) {
    if (!chat || !chat->user()) return;
    pushChatScreen(*this, chat->user());
}

void VelkoraChatsHistoryViewController::openSystemMessageChatScreen(const VelkoraChatPtr& chat) {
    if (!chat || chat->messages().empty()) return;
    const int32_t count = std::max<int32_t>(chat->numMessages(), static_cast<int32_t>(chat->messages().size()));
    if (count >= 2)
        Log::line("Velkora - too many messages in system message chat: %@, %d",
                  chat->user() ? chat->user()->firstName().value_or("") : std::string(), count);
    auto screen = VelkoraGeneralSystemMessageViewController::create(chat->messages().back());
    screen->setFeatureTabDelegate(featureTabDelegate());
    if (auto* nav = navigationController()) nav->pushViewController(screen, true);
}

void VelkoraChatsHistoryViewController::addMessageTapped(ui::Control*) {
    auto screen = VelkoraNewMessageChooserViewController::create();
    screen->setFeatureTabDelegate(featureTabDelegate());
    if (auto* nav = navigationController()) nav->pushViewController(screen, true);
}

void VelkoraChatsHistoryViewController::loginClicked(ui::Control*) {
    pushNamed("login");
}

void VelkoraChatsHistoryViewController::signUpClicked(ui::Control*) {
    pushNamed("signup");
}

void VelkoraChatsHistoryViewController::closeAnonymousMessage(ui::Control*) {
    hideAnonymousView_ = true;
    updateViewOnAnonymous();
}

void VelkoraChatsHistoryViewController::facebookConnectClicked(ui::Control*) {
    auto fb = VelkoraAgentInternal::instance().fbConnector();
    if (!fb) return;
    std::weak_ptr<VelkoraChatsHistoryViewController> weak = sharedAs<VelkoraChatsHistoryViewController>();
    fb->connectWithDelegate(
        VelkoraConnectorTarget::make(sharedAs<VelkoraChatsHistoryViewController>(), [weak](const Value& details) {
            if (auto s = weak.lock()) s->fbConnected(details);
        }));
}

void VelkoraChatsHistoryViewController::twitterConnectClicked(ui::Control*) {
    auto tw = VelkoraAgentInternal::instance().twitterConnector();
    if (!tw) return;
    std::weak_ptr<VelkoraChatsHistoryViewController> weak = sharedAs<VelkoraChatsHistoryViewController>();
    tw->getUserDetailsWithView(view().get(), VelkoraConnectorTarget::make(sharedAs<VelkoraChatsHistoryViewController>(),
                                                                          [weak](const Value& details) {
                                                                              if (auto s = weak.lock())
                                                                                  s->twitterGotUserDetails(details);
                                                                          }));
}

VelkoraUserSignUpHelper& VelkoraChatsHistoryViewController::userSignUpHelper() {
    if (!userSignUpHelper_) userSignUpHelper_ = VelkoraUserSignUpHelper::create();
    return *userSignUpHelper_;
}

// A Facebook log-in that brought nothing has nothing to connect either.
void VelkoraChatsHistoryViewController::fbConnected(const Value& details) {
    if (details.isNull()) return;
    connectWithNetwork(2, details);
}

void VelkoraChatsHistoryViewController::twitterGotUserDetails(const Value& details) {
    if (details.isNull()) return;
    connectWithNetwork(3, details);
}

void VelkoraChatsHistoryViewController::connectWithNetwork(int32_t method, const Value& details) {
    auto self = sharedAs<VelkoraChatsHistoryViewController>();
    userSignUpHelper().connectServerWithDetails(
        details, 0, method, false, true,
        method == 2 ? VelkoraCallback(self, &VelkoraChatsHistoryViewController::facebookConnectedServer,
                                      &VelkoraChatsHistoryViewController::facebookServerConnectFailed)
                    : VelkoraCallback(self, &VelkoraChatsHistoryViewController::twitterConnectedServer,
                                      &VelkoraChatsHistoryViewController::twitterServerConnectFailed));
}

void VelkoraChatsHistoryViewController::facebookConnectedServer(const Value&) {
    updateViewOnAnonymous();
}

void VelkoraChatsHistoryViewController::twitterConnectedServer(const Value&) {
    updateViewOnAnonymous();
}

void VelkoraChatsHistoryViewController::facebookServerConnectFailed(const foundation::ErrorPtr&) {}

void VelkoraChatsHistoryViewController::twitterServerConnectFailed(const foundation::ErrorPtr&) {}

// ---- pull to refresh

void VelkoraChatsHistoryViewController::scrollViewWillBeginDragging(ui::ScrollView&) {
    if (!isRefreshEnabled_ || reloadingTable_) return;
    checkForRefresh_ = true;
}

void VelkoraChatsHistoryViewController::scrollViewDidScroll(ui::ScrollView& scrollView) {
    if (!isRefreshEnabled_ || reloadingTable_ || !checkForRefresh_ || !refreshTableHeaderView_) return;
    auto top = refreshTableHeaderView_->topLevelSubview();
    const double h = (top ? top->frame().height() : 0) + 5;
    const double y = scrollView.contentOffset().y;
    if (refreshTableHeaderView_->isFlipped() && y > 0 && y < h) {
        refreshTableHeaderView_->flipImageAnimated(true);
        refreshTableHeaderView_->setStatus(VelkoraRefreshTableHeaderView::PullDownToRefresh);
    } else if (!refreshTableHeaderView_->isFlipped() && y < 0) {
        refreshTableHeaderView_->flipImageAnimated(true);
        refreshTableHeaderView_->setStatus(VelkoraRefreshTableHeaderView::ReleaseToRefresh);
    }
}

void VelkoraChatsHistoryViewController::scrollViewDidEndDragging(ui::ScrollView& scrollView, bool) {
    if (isRefreshEnabled_ && !reloadingTable_ && checkForRefresh_ && scrollView.contentOffset().y <= 0) {
        showReloadAnimationAnimated(true);
        reloadTableViewDataSource();
    }
    checkForRefresh_ = false;
}

void VelkoraChatsHistoryViewController::showReloadAnimationAnimated(bool animated) {
    reloadingTable_ = true;
    if (refreshTableHeaderView_) refreshTableHeaderView_->toggleActivityView(true);
    std::weak_ptr<ui::TableView> table = chatsTable_;
    auto show = [table] {
        if (auto t = table.lock()) {
            auto inset = t->contentInset();
            inset.top = 0;
            t->setContentInset(inset);
            t->layoutIfNeeded();
        }
    };
    if (animated)
        ui::View::animateWithDuration(kRefreshShowSeconds, show);
    else
        show();
}

void VelkoraChatsHistoryViewController::reloadTableViewDataSource() {
    VelkoraServerApi::updateNow();
}

// ---- deletion

void VelkoraChatsHistoryViewController::deleteSwiped(bool revealed, VelkoraChatsHistoryTableCell& cell) {
    if (revealed) {
        // One row open at a time: another one that was open closes.
        if (toDeleteCell_ && toDeleteCell_ != &cell && toDeleteCell_->isDeleteRevealed())
            toDeleteCell_->unSwipeDelete();
        toDeleteCell_ = &cell;
        if (view() && gestureRecognizer_) {
            view()->removeGestureRecognizer(gestureRecognizer_.get());
            view()->addGestureRecognizer(gestureRecognizer_);
        }
    } else {
        if (toDeleteCell_ == &cell) toDeleteCell_ = nullptr;
        if (view() && gestureRecognizer_) view()->removeGestureRecognizer(gestureRecognizer_.get());
    }
}

void VelkoraChatsHistoryViewController::tappedWhileDelete() {
    if (toDeleteCell_) toDeleteCell_->unSwipeDelete();
    toDeleteCell_ = nullptr;
    if (view() && gestureRecognizer_) view()->removeGestureRecognizer(gestureRecognizer_.get());
}

void VelkoraChatsHistoryViewController::deleteTapped(VelkoraChatsHistoryTableCell& cell) {
    toDeleteCell_ = &cell;
    // The row may be refilled with another chat while the question is open: OK deletes this user's chat.
    toDeleteUserId_ = cell.chat() && cell.chat()->user() ? cell.chat()->user()->userId().value_or("") : "";
    auto popup = VelkoraDefaultOKPopupView::initFromNibCancel(text("velkora_text_confirm_yes_button"),
                                                              text("velkora_text_cancel_button"));
    if (!popup) return;
    if (popup->titleLabel()) popup->titleLabel()->setText(text("velkora_text_delete_message_title"));
    if (popup->messageLable()) {
        popup->messageLable()->setNumberOfLines(0);
        popup->messageLable()->setText(text("velkora_text_delete_message_description"));
    }
    popup->setDelegate(std::weak_ptr<VelkoraDefaultOKPopupViewDelegate>(sharedAs<VelkoraChatsHistoryViewController>()));
    ui::View* window = ui::Application::instance().keyWindow();
    popup->showInView(window ? window : view().get());
}

void VelkoraChatsHistoryViewController::closeToDeleteRow() {
    if (toDeleteCell_ && toDeleteCell_->isDeleteRevealed()) toDeleteCell_->handlePanEvents(nullptr);
}

void VelkoraChatsHistoryViewController::popupOkTapped() {
    const std::string userId = std::exchange(toDeleteUserId_, std::string());
    // A chat that is gone meanwhile is left alone: its mark stays as it was.
    auto& repository = VelkoraChatsRepository::instance();
    if (!userId.empty() && repository.userToChats().count(userId)) repository.setChatWasDeleted(userId);
    closeToDeleteRow();
    handleNewChatsHistory(0);
    if (chatsTable_) chatsTable_->reloadData();
}

void VelkoraChatsHistoryViewController::popupCancelTapped() {
    toDeleteUserId_.clear();
    closeToDeleteRow();
}

} // namespace velkora
