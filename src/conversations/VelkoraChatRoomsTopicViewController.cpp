#include "conversations/VelkoraChatRoomsTopicViewController.h"

#include <algorithm>

#include "conversations/VelkoraStickerStoreViewController.h"
#include "data/VelkoraAppData.h"
#include "data/VelkoraAppSettings.h"
#include "data/VelkoraUserInfo.h"
#include "data/VelkoraUtils.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
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
#include "server/utils/VelkoraDynamicFrameworkLoader.h"
#include "server/utils/VelkoraLogEventsManager.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraChatRoomsTopicsRepository.h"
#include "session/VelkoraKitObjects.h"
#include "session/VelkoraScreenRegistry.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "shell/VelkoraAlertWindow.h"
#include "shell/VelkoraDefaultNotificationPopupView.h"
#include "shell/VelkoraLazyImageView.h"
#include "shell/VelkoraResizeableButton.h"

namespace velkora {

using foundation::Log;
using foundation::Value;

namespace {

constexpr int kDefaultPageSize = 20;
// About a one-line comment: where a comment not yet shown counts.
constexpr double kEstimatedRowHeight = 70;
constexpr int kMailSent = 2;
constexpr const char* kSmileyImage = "VelImg_SmileyIcon.png";
constexpr const char* kKeyboardImage = "VelImg_KeyboardIcon.png";
// The name the host's feature of this screen carries.
constexpr const char* kTitle = "Chat Room";

std::string text(const char* key) {
    return foundation::Bundle::main().localizedString(key);
}

VelkoraChatRoomsTopicsRepository& repository() {
    return VelkoraChatRoomsTopicsRepository::instance();
}

std::shared_ptr<VelkoraAppData> appData() {
    return VelkoraAgentInternal::instance().getAppData();
}

bool topNewest() {
    auto data = appData();
    return data && data->chatroomTopNewest();
}

int pageSize() {
    auto data = appData();
    return data && data->maxMessagesPerUpdate() > 0 ? data->maxMessagesPerUpdate() : kDefaultPageSize;
}

void showToast(ui::View* near) {
    auto toast = VelkoraDefaultNotificationPopupView::initFromNib(text("velkora_text_no_network_message"));
    ui::View* host = ui::Application::instance().keyWindow();
    if (!host && near) host = near->window() ? static_cast<ui::View*>(near->window()) : near;
    if (toast && host) toast->showInView(host);
}

// The row shown for what is no comment and no ad.
ui::TableViewCellPtr emptyCell(ui::TableView& table) {
    static constexpr const char* kEmpty = "velkorachatroomsemptycell";
    auto cell = table.dequeueReusableCellWithIdentifier(kEmpty);
    if (!cell) {
        cell = ui::TableViewCell::create(ui::TableViewCellStyle::Default, kEmpty);
    }
    return cell;
}

} // namespace

// ---- creation

VelkoraChatRoomsTopicViewController::VelkoraChatRoomsTopicViewController()
    : VelkoraGeneralFeatureViewController(velkoraChatRoomsInterface("VelkoraChatRoomsTopicList")) {}

std::shared_ptr<VelkoraChatRoomsTopicViewController> VelkoraChatRoomsTopicViewController::self() {
    return sharedAs<VelkoraChatRoomsTopicViewController>();
}

std::shared_ptr<VelkoraChatRoomsTopicViewController>
VelkoraChatRoomsTopicViewController::initWithTopic(const VelkoraChatRoomsTopicPtr& topic) {
    registerChatRoomsViewClasses();
    auto screen = std::shared_ptr<VelkoraChatRoomsTopicViewController>(new VelkoraChatRoomsTopicViewController());
    screen->setTopic(topic);
    return screen;
}

std::shared_ptr<VelkoraChatRoomsTopicViewController>
VelkoraChatRoomsTopicViewController::initFromNibWithTopicId(int32_t topicId) {
    return initFromNibWithTopicId(topicId, std::nullopt);
}

std::shared_ptr<VelkoraChatRoomsTopicViewController>
VelkoraChatRoomsTopicViewController::initFromNibWithTopicId(int32_t topicId,
                                                            const std::optional<std::string>& objectId) {
    auto screen = initWithTopic(repository().getTopicById(topicId));
    screen->topicId_ = topicId;
    screen->objectId_ = objectId;
    if (screen->topic_) return screen;
    if (objectId || repository().didFinishLoading()) {
        screen->askForTopic(true);
    } else {
        auto* raw = screen.get();
        screen->gotTopicsObserver_ =
            foundation::NotificationObserver(VelkoraChatRoomsTopicsRepository::kGotTopicsNotification, nullptr,
                                             [raw](const foundation::Notification& n) { raw->topicsUpdated(n); });
    }
    return screen;
}

VelkoraChatRoomsTopicViewController::~VelkoraChatRoomsTopicViewController() {
    // Left without the back action (host navigation, the sidebar closing): the poll stops following,
    // unless another topic is followed by now.
    auto& agent = VelkoraServerClientAgent::instance();
    if (entered_ && !exited_ && topic_ && agent.withinTopic() && agent.topicId() == topic_->topicId()) postExited();
    VelkoraServerApi::clearUserDelegate(this);
    if (topicHeader_) {
        topicHeader_->setDelegate({});
        if (topicHeader_->webView()) topicHeader_->webView()->setDelegate(nullptr);
        if (topicHeader_->dataImageView()) topicHeader_->dataImageView()->setDelegate({});
    }
    if (footerView_) footerView_->setDelegate({});
    if (signinHelper_) signinHelper_->setDelegate({});
    if (actionSheet_) actionSheet_->setDelegate({});
    if (confirmPopup_) confirmPopup_->setDelegate({});
    if (mailComposer_) mailComposer_->setMailComposeDelegate({});
}

void VelkoraChatRoomsTopicViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraGeneralFeatureViewController::registerInterfaceBindings(b);
    b.outlet("commentsTableView", commentsTableView_);
    b.outlet("postCommentView", postCommentView_);
    b.outlet("postCommentViewBottomSpaceConstraint", postCommentViewBottomSpaceConstraint_);
    b.outlet("postButton", postButton_);
    b.outlet("postCommentText", postCommentText_);
    b.outlet("shareView", shareView_);
    b.outlet("shareTitleLabel", shareTitleLabel_);
    b.outlet("shareCloseButton", shareCloseButton_);
    b.outlet("uploadPhotoButton", uploadPhotoButton_);
    b.outlet("activityIndicator", activityIndicator_);
    b.outlet("postBackgroundImageView", postBackgroundImageView_);
    b.action("postButtonClicked:", this, &VelkoraChatRoomsTopicViewController::postButtonClicked);
    b.action("photoUploadClicked:", this, &VelkoraChatRoomsTopicViewController::photoUploadClicked);
    b.action("shareEmailClicked:", this, &VelkoraChatRoomsTopicViewController::shareEmailClicked);
    b.action("shareCloseClicked:", this, &VelkoraChatRoomsTopicViewController::shareCloseClicked);
    b.action("shareFacebookClicked:", this, &VelkoraChatRoomsTopicViewController::shareFacebookClicked);
    b.action("shareTwitterClicked:", this, &VelkoraChatRoomsTopicViewController::shareTwitterClicked);
}

// ---- life cycle

void VelkoraChatRoomsTopicViewController::viewDidLoad() {
    setStyleScreenIdentifier(kScreenId);
    // Opened from the room list or a feed row (not as a feature of the host), it is named as the host's
    // feature of the same screen is; the topic's own title heads the page below the bar.
    if (titleText().empty()) setTitleText(kTitle);
    VelkoraGeneralFeatureViewController::viewDidLoad();
    auto me = self();
    if (commentsTableView_) {
        commentsTableView_->setDataSource(std::weak_ptr<ui::TableViewDataSource>(me));
        commentsTableView_->setDelegate(std::weak_ptr<ui::TableViewDelegate>(me));
        commentsTableView_->setSeparatorStyle(ui::TableViewCellSeparatorStyle::None);
        // A long topic is measured as its comments come into view, not all when it opens.
        commentsTableView_->setEstimatedRowHeight(kEstimatedRowHeight);
    }
    shouldReturnToStickersKeyboard_ = false;
    if (titleLabel() && !titleText().empty()) titleLabel()->setText(titleText());

    // The bar.
    if (postButton_) postButton_->setTitle(text("velkora_text_post_button"));
    if (postCommentText_) {
        const double h = postCommentText_->frame().height();
        postCommentText_->setLeftView(ui::View::create(ui::Rect(0, 0, 5, h)));
        keyboardSwitchButton_ = ui::Button::create(ui::ButtonType::Custom, ui::Rect(0, 0, 30, h));
        keyboardSwitchButton_->setImage(ui::Image::named(kSmileyImage));
        keyboardSwitchButton_->addTarget(me, &VelkoraChatRoomsTopicViewController::keyboardSwitchClicked,
                                         ui::ControlEventTouchUpInside);
        postCommentText_->setRightView(keyboardSwitchButton_);
        postCommentText_->setLeftViewMode(ui::TextFieldViewMode::Always);
        postCommentText_->setRightViewMode(ui::TextFieldViewMode::Always);
    }
    keyboardType_ = 0;
    if (shareCloseButton_) shareCloseButton_->setTitle(text("velkora_text_close_button"));
    if (shareTitleLabel_) shareTitleLabel_->setText(text("velkora_text_share_title"));
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeShareView(shareView_.get(), kScreenId);
    style.customizeChatroomPostButton(postButton_.get(), kScreenId);
    style.customizeChatroomUploadImageButton(uploadPhotoButton_.get(), kScreenId);
    style.customizePostMessageBackgroundView(postBackgroundImageView_.get(), kScreenId);
    if (shareView_) shareView_->setHidden(true);
    shareShade_ = shadeUnderPopup(view(), shareView_);

    // The header.
    if (!topicHeader_) topicHeader_ = VelkoraChatRoomsTopicHeaderView::initFromNib();
    if (topicHeader_) {
        topicHeader_->setDelegate(std::weak_ptr<VelkoraChatRoomsTopicHeaderViewDelegate>(me));
        if (topicHeader_->webView()) topicHeader_->webView()->setDelegate(me);
        headerImageDelegate_ = std::make_shared<VelkoraLazyImageDelegate>();
        headerImageDelegate_->imageDidFinish = [this](VelkoraLazyImageView&) { headerImageDidFinish(); };
        if (topicHeader_->dataImageView()) topicHeader_->dataImageView()->setDelegate(headerImageDelegate_);
    }

    keyboardShowObserver_ = foundation::NotificationObserver(
        ui::kKeyboardWillShowNotification, nullptr, [this](const foundation::Notification& n) { keyboardWillShow(n); });
    keyboardHideObserver_ = foundation::NotificationObserver(
        ui::kKeyboardWillHideNotification, nullptr, [this](const foundation::Notification& n) { keyboardWillHide(n); });
    newCommentsObserver_ =
        foundation::NotificationObserver(VelkoraChatRoomsTopicsRepository::kNewTopicCommentsNotification, &repository(),
                                         [this](const foundation::Notification& n) { gotNewComments(n); });
    orientationObserver_ = foundation::NotificationObserver(ui::kApplicationDidChangeStatusBarOrientationNotification,
                                                            nullptr, [this](const foundation::Notification&) {
                                                                if (commentsTableView_)
                                                                    commentsTableView_->reloadData();
                                                                rebuildPaneForOrientation();
                                                            });
    // Which comments offer delete and which flag follows the signed-in user.
    resetUserObserver_ =
        foundation::NotificationObserver("VelkoraDidResetUser", nullptr, [this](const foundation::Notification&) {
            if (commentsTableView_) commentsTableView_->reloadData();
        });
    if (commentsTableView_) {
        commentsTableView_->setHidden(true);
        if (topicHeader_) commentsTableView_->setTableHeaderView(topicHeader_);
    }
    if (topic_)
        initTopic();
    else if (activityIndicator_)
        activityIndicator_->startAnimating();
}

void VelkoraChatRoomsTopicViewController::viewWillAppear(bool animated) {
    VelkoraGeneralFeatureViewController::viewWillAppear(animated);
    // Back in view after another topic was followed (a topic opened from this one): follow this one again.
    auto& agent = VelkoraServerClientAgent::instance();
    if (topic_ && entered_ && (!agent.withinTopic() || agent.topicId() != topic_->topicId())) postEntered();
}

void VelkoraChatRoomsTopicViewController::viewDidAppear(bool animated) {
    VelkoraGeneralFeatureViewController::viewDidAppear(animated);
    const int32_t id = topicId_ != 0 ? topicId_ : (topic_ ? topic_->topicId() : 0);
    VelkoraLogEventsManager::instance().logEvent(foundation::format("feature-viewed;blog;%d", id));
    if (shouldReturnToStickersKeyboard_) {
        openStickersKeyboard();
        if (postCommentText_) {
            postCommentText_->reloadInputViews();
            postCommentText_->becomeFirstResponder();
        }
    }
    shouldReturnToStickersKeyboard_ = false;
}

void VelkoraChatRoomsTopicViewController::postEntered() {
    if (!topic_) return;
    entered_ = true;
    exited_ = false;
    foundation::Dictionary info{{"id", Value(topic_->topicId())}, {"changeNumber", Value(topic_->changeNumber())}};
    foundation::NotificationCenter::defaultCenter().post(kEnteredTopicNotification, this, Value(std::move(info)));
}

void VelkoraChatRoomsTopicViewController::postExited() {
    if (!topic_) return;
    exited_ = true;
    foundation::Dictionary info{{"id", Value(topic_->topicId())}, {"changeNumber", Value(topic_->changeNumber())}};
    foundation::NotificationCenter::defaultCenter().post(kExitedTopicNotification, this, Value(std::move(info)));
}

void VelkoraChatRoomsTopicViewController::topicsUpdated(const foundation::Notification&) {
    if (activityIndicator_) activityIndicator_->stopAnimating();
    gotTopicsObserver_.reset();
    topic_ = repository().getTopicById(topicId_);
    if (topic_ && isViewLoaded()) initTopic();
}

void VelkoraChatRoomsTopicViewController::initTopic() {
    if (!topic_) return;
    if (activityIndicator_) activityIndicator_->startAnimating();
    if (topicHeader_ && topicHeader_->updateWithTopic(topic_)) {
        showTableWithHeader();
        if (activityIndicator_) activityIndicator_->stopAnimating();
    }
    postEntered();
    if (!askedForComments_) {
        askForTopic(false);
    } else if (alreadyGotTopic_) {
        // The reply came before the screen could show it.
        if (activityIndicator_) activityIndicator_->stopAnimating();
        reloadActiveComments();
    }
}

void VelkoraChatRoomsTopicViewController::askForTopic(bool clean) {
    const int32_t id = topic_ ? topic_->topicId() : topicId_;
    lastAskClean_ = clean;
    askedForComments_ = true;
    VelkoraServerApi::getChatRoomsTopic(VelkoraCallback(self(), &VelkoraChatRoomsTopicViewController::gotTopic,
                                                        &VelkoraChatRoomsTopicViewController::gotTopicFailed),
                                        id, clean);
}

// The topic did not come: the spinner stops, the user hears why, and it is asked for again once the
// service answers a poll.
void VelkoraChatRoomsTopicViewController::gotTopicFailed(const foundation::ErrorPtr&) {
    ui::View* host = isViewLoaded() ? view().get() : nullptr;
    if (!host) {
        retryObserver_ = foundation::NotificationObserver(VelkoraServerClientAgent::kUpdatePollAnsweredNotification,
                                                          nullptr, [this](const foundation::Notification&) {
                                                              // One answer: the observation ends here (the
                                                              // center keeps this call alive while it runs).
                                                              retryObserver_.reset();
                                                              askForTopic(lastAskClean_);
                                                          });
        return;
    }
    retryObserver_ = failedUntilNextPoll(activityIndicator_.get(), [this] { askForTopic(lastAskClean_); });
}

void VelkoraChatRoomsTopicViewController::gotTopic(const Value& reply) {
    retryObserver_.reset();
    auto replyTopic = reply["topic"].asObject<VelkoraChatRoomsTopic>();
    alreadyGotTopic_ = true;
    if (!replyTopic) {
        if (activityIndicator_) activityIndicator_->stopAnimating();
        return;
    }
    updateInitiatedBySelf_ = true;
    if (replyTopic->isObject()) {
        if (activityIndicator_) activityIndicator_->stopAnimating();
        const bool adopt = !topic_;
        repository().addObjectTopic(replyTopic);
        // The repository may keep an earlier object for this id: the screen shows the kept one.
        if (auto kept = repository().getTopicById(replyTopic->topicId())) topic_ = kept;
        if (!topic_) topic_ = replyTopic;
        if (adopt && isViewLoaded()) {
            setHeaderAgain();
            initTopic();
            reloadActiveComments();
        }
    } else {
        if (topic_) topic_->setChangeNumber(replyTopic->changeNumber());
        repository().updateWithTopic(replyTopic);
        postEntered();
    }
    auto data = appData();
    if (data && data->nAdsPerPeriod() > 0 && data->adsPeriodSecs() > 0) processAds(reply["ads"]);
}

void VelkoraChatRoomsTopicViewController::gotNewComments(const foundation::Notification& n) {
    if (activityIndicator_) activityIndicator_->stopAnimating();
    newCommentsCount_ += n.userInfo["newComments"].int32Or(0);
    if (!updateInitiatedBySelf_ && newCommentsCount_ != 0) {
        const std::string format =
            text(newCommentsCount_ >= 2 ? "velkora_text_new_comments_button" : "velkora_text_new_comment_button");
        const std::string label = foundation::format(format, newCommentsCount_);
        if (topNewest()) {
            if (topicHeader_) {
                topicHeader_->didFinishLoadingWithRefreshComments(true, false, label);
                // A strip already offering new comments keeps its place but must name them all.
                if (!topicHeader_->isRefreshViewHidden() && topicHeader_->isRefresh() &&
                    topicHeader_->refreshCommentsLabel())
                    topicHeader_->refreshCommentsLabel()->setText(label);
            }
            showTableWithHeader();
        } else {
            if (footerView_) footerView_->setDelegate({});
            footerView_ = VelkoraChatRoomsCommentsFooterView::initFromNib(
                std::weak_ptr<VelkoraChatRoomsCommentsFooterDelegate>(self()), true, label);
            footerView_->setTranslatesAutoresizingMaskIntoConstraints(false);
            if (commentsTableView_) commentsTableView_->setTableFooterView(footerView_);
        }
        return;
    }
    reloadActiveComments();
    // A picture's holder keeps its size whether the picture comes or not: the comments need not wait for
    // it, and a picture that never comes must not hide them.
    if (commentsTableView_ && commentsTableView_->isHidden() && topicHeader_ && topicHeader_->dataView() &&
        !topicHeader_->dataView()->isHidden())
        unHideCommentsTable();
    updateInitiatedBySelf_ = false;
    if (updateDueToPost_) {
        updateDueToPost_ = false;
        scrollToNewestComment();
    }
}

void VelkoraChatRoomsTopicViewController::newCommentsClicked() {
    if (topNewest()) {
        if (topicHeader_) topicHeader_->didFinishLoadingWithRefreshComments(false, false, std::string());
        showTableWithHeader();
    } else if (commentsTableView_) {
        commentsTableView_->setTableFooterView(nullptr);
        footerView_.reset();
    }
    reloadActiveComments();
    scrollToNewestComment();
}

void VelkoraChatRoomsTopicViewController::reloadActiveComments() {
    newCommentsCount_ = 0;
    // A poll mostly brings comments newer than all shown: only those are taken in.
    const bool newest = topNewest();
    const bool onlyAppended = topic_ && shown_.topic.lock() == topic_ && shown_.rewrites == topic_->rewrites() &&
                              shown_.topNewest == newest && shown_.count == activeComments_.size() &&
                              shown_.count <= topic_->comments().size();
    if (onlyAppended) {
        const auto& all = topic_->comments();
        const auto added = all.begin() + static_cast<std::ptrdiff_t>(shown_.count);
        if (newest)
            activeComments_.insert(activeComments_.begin(), std::make_reverse_iterator(all.end()),
                                   std::make_reverse_iterator(added));
        else
            activeComments_.insert(activeComments_.end(), added, all.end());
    } else {
        activeComments_.clear();
        if (topic_) activeComments_ = topic_->getComments(newest);
    }
    shown_ = {topic_, topic_ ? topic_->rewrites() : 0, newest, activeComments_.size()};
    earliestCommentId_ = 0;
    if (!activeComments_.empty())
        earliestCommentId_ = (topNewest() ? activeComments_.back() : activeComments_.front())->commentId();
    showLoadEarlierMessagesIfNeeded();
    if (commentsTableView_) commentsTableView_->reloadData();
}

void VelkoraChatRoomsTopicViewController::showLoadEarlierMessagesIfNeeded() {
    if (static_cast<int>(activeComments_.size()) < pageSize()) return;
    const std::string label = text("velkora_text_load_earlier_comments_button");
    if (topNewest()) {
        if (footerView_) footerView_->setDelegate({});
        footerView_ = VelkoraChatRoomsCommentsFooterView::initFromNib(
            std::weak_ptr<VelkoraChatRoomsCommentsFooterDelegate>(self()), false, label);
        if (commentsTableView_) commentsTableView_->setTableFooterView(footerView_);
    } else {
        if (topicHeader_) topicHeader_->didFinishLoadingWithRefreshComments(false, true, label);
        showTableWithHeader();
    }
}

void VelkoraChatRoomsTopicViewController::loadEarlierCommentsClicked() {
    if (!topic_) return;
    if (activityIndicator_) activityIndicator_->startAnimating();
    std::weak_ptr<VelkoraChatRoomsTopicViewController> weak = self();
    VelkoraServerApi::getChatRoomsTopicEarliest(VelkoraCallback(self(),
                                                                &VelkoraChatRoomsTopicViewController::gotOldComments,
                                                                &VelkoraChatRoomsTopicViewController::gotTopicFailed),
                                                topic_->topicId(), earliestCommentId_);
}

void VelkoraChatRoomsTopicViewController::gotOldComments(const Value& comments) {
    retryObserver_.reset();
    if (activityIndicator_) activityIndicator_->stopAnimating();
    if (!topic_) return;
    if (const auto* list = comments.asArray())
        for (const auto& c : *list)
            if (auto comment = c.asObject<VelkoraChatRoomsComment>()) topic_->addComment(comment);
    reloadActiveComments();
}

void VelkoraChatRoomsTopicViewController::scrollToNewestComment() {
    if (activeComments_.empty() || !commentsTableView_) return;
    const int rows = numberOfRowsInSection(*commentsTableView_, 0);
    if (topNewest()) {
        for (int r = 0; r < rows; ++r)
            if (commentForRow(r)) {
                commentsTableView_->scrollToRowAtIndexPath(ui::IndexPath::of(r, 0), ui::TableViewScrollPosition::Bottom,
                                                           true);
                return;
            }
        return;
    }
    for (int r = rows - 1; r >= 0; --r)
        if (commentForRow(r)) {
            commentsTableView_->scrollToRowAtIndexPath(ui::IndexPath::of(r, 0), ui::TableViewScrollPosition::Top, true);
            return;
        }
}

void VelkoraChatRoomsTopicViewController::scrollToLastCommentClicked(ui::Control*) {
    if (activeComments_.empty() || !commentsTableView_) return;
    const int rows = numberOfRowsInSection(*commentsTableView_, 0);
    for (int r = rows - 1; r >= 0; --r)
        if (commentForRow(r)) {
            commentsTableView_->scrollToRowAtIndexPath(ui::IndexPath::of(r, 0), ui::TableViewScrollPosition::Top, true);
            return;
        }
}

// ---- header content

void VelkoraChatRoomsTopicViewController::webViewDidFinishLoad(ui::WebView& webView) {
    if (webView.isLoading()) {
        Log::line("Velkora -  Web View Still loading ...");
        return;
    }
    if (topicHeader_ && &webView == topicHeader_->webView().get()) unHideCommentsTable();
}

// A page that does not come still leaves the comments to read.
void VelkoraChatRoomsTopicViewController::webViewDidFailLoadWithError(ui::WebView& webView,
                                                                      const foundation::ErrorPtr&) {
    if (topicHeader_ && &webView == topicHeader_->webView().get() && !webView.isLoading()) unHideCommentsTable();
}

void VelkoraChatRoomsTopicViewController::headerImageDidFinish() {
    unHideCommentsTable();
}

void VelkoraChatRoomsTopicViewController::unHideCommentsTable() {
    if (topicHeader_) topicHeader_->didFinishLoadingWithRefreshComments(false, false, std::string());
    showTableWithHeader();
    // A strip asked for while the content was loading could not show yet.
    if (newCommentsCount_ > 0 && topNewest() && !updateInitiatedBySelf_) {
        const std::string format =
            text(newCommentsCount_ >= 2 ? "velkora_text_new_comments_button" : "velkora_text_new_comment_button");
        if (topicHeader_)
            topicHeader_->didFinishLoadingWithRefreshComments(true, false,
                                                              foundation::format(format, newCommentsCount_));
        showTableWithHeader();
    } else if (!topNewest()) {
        showLoadEarlierMessagesIfNeeded();
    }
}

void VelkoraChatRoomsTopicViewController::showTableWithHeader() {
    if (commentsTableView_) commentsTableView_->setHidden(false);
    setHeaderAgain();
}

void VelkoraChatRoomsTopicViewController::setHeaderAgain() {
    if (!commentsTableView_ || !topicHeader_) return;
    topicHeader_->resetViewFrame();
    commentsTableView_->setTableHeaderView(topicHeader_);
}

// ---- rows

int VelkoraChatRoomsTopicViewController::countedAdRows() const {
    const int n = static_cast<int>(activeComments_.size());
    int counted = 0;
    for (const auto& [row, ad] : adRowsDict_)
        if (row <= n) ++counted;
    return counted;
}

bool VelkoraChatRoomsTopicViewController::isAdRow(int row) const {
    return row <= static_cast<int>(activeComments_.size()) && adRowsDict_.count(row) != 0;
}

VelkoraChatRoomsCommentPtr VelkoraChatRoomsTopicViewController::commentForRow(int row) const {
    if (row < 0 || isAdRow(row)) return nullptr;
    const int n = static_cast<int>(activeComments_.size());
    int before = 0;
    for (const auto& [adRow, ad] : adRowsDict_)
        if (adRow < row && adRow <= n) ++before;
    const int index = row - before;
    return index >= 0 && index < n ? activeComments_[index] : nullptr;
}

int VelkoraChatRoomsTopicViewController::numberOfRowsInSection(ui::TableView&, int) {
    return static_cast<int>(activeComments_.size()) + countedAdRows();
}

double VelkoraChatRoomsTopicViewController::rowWidth() const {
    return commentsTableView_ ? commentsTableView_->bounds().width() : 320;
}

std::shared_ptr<VelkoraChatRoomsTopicTableCell>
VelkoraChatRoomsTopicViewController::createCommentCell(ui::TableView& table, const VelkoraChatRoomsCommentPtr& c) {
    const std::string type = c && c->contentType() ? *c->contentType() : "text/plain";
    std::shared_ptr<VelkoraChatRoomsTopicTableCell> cell;
    if (type == "sticker") {
        cell = std::dynamic_pointer_cast<VelkoraChatRoomsTopicTableCell>(
            table.dequeueReusableCellWithIdentifier(VelkoraChatRoomsTopicStickerTableCell::kReuseIdentifier));
        if (!cell) cell = VelkoraChatRoomsTopicStickerTableCell::initFromNib();
    } else if (type == "image") {
        cell = std::dynamic_pointer_cast<VelkoraChatRoomsTopicTableCell>(
            table.dequeueReusableCellWithIdentifier(VelkoraChatRoomsTopicImageTableCell::kReuseIdentifier));
        if (!cell) cell = VelkoraChatRoomsTopicImageTableCell::initFromNib();
    } else {
        cell = std::dynamic_pointer_cast<VelkoraChatRoomsTopicTableCell>(
            table.dequeueReusableCellWithIdentifier(VelkoraChatRoomsTopicCommentTableCell::kReuseIdentifier));
        if (!cell) cell = VelkoraChatRoomsTopicCommentTableCell::initFromNib();
    }
    if (cell) {
        cell->setBackgroundView(ui::View::create(cell->bounds()));
        cell->setDelegate(std::weak_ptr<VelkoraChatRoomsTopicTableCellDelegate>(self()));
    }
    return cell;
}

ui::TableViewCellPtr VelkoraChatRoomsTopicViewController::cellForRowAtIndexPath(ui::TableView& table,
                                                                                const ui::IndexPath& indexPath) {
    const int row = indexPath.row;
    if (isAdRow(row)) {
        auto cell = table.dequeueReusableCellWithIdentifier(VelkoraKitObjectNames::kNativeAdRow);
        if (!cell)
            cell = VelkoraScreenRegistry::instance().makeObject<ui::TableViewCell>(VelkoraKitObjectNames::kNativeAdRow);
        if (auto ad = std::dynamic_pointer_cast<VelkoraNativeAdRow>(cell)) {
            cell->setFrame(ui::Rect(0, 0, rowWidth(), cell->frame().height()));
            ad->updateData(adRowsDict_.at(row), topic_ ? topic_->topicId() : topicId_);
            return cell;
        }
        return emptyCell(table);
    }
    auto comment = commentForRow(row);
    if (!comment) return emptyCell(table);
    auto cell = createCommentCell(table, comment);
    if (!cell) return emptyCell(table);
    cell->setFrame(ui::Rect(0, 0, rowWidth(), cell->frame().height()));
    if (auto image = std::dynamic_pointer_cast<VelkoraChatRoomsTopicImageTableCell>(cell)) {
        std::weak_ptr<VelkoraChatRoomsTopicViewController> weak = self();
        image->setImageSized([weak](int32_t id, double h) {
            if (auto me = weak.lock()) me->imageRowSized(id, h);
        });
    }
    cell->updateData(comment);
    return cell;
}

double VelkoraChatRoomsTopicViewController::heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath& indexPath) {
    const int row = indexPath.row;
    if (isAdRow(row)) {
        if (!measuringAdCell_) {
            auto cell =
                VelkoraScreenRegistry::instance().makeObject<ui::TableViewCell>(VelkoraKitObjectNames::kNativeAdRow);
            measuringAdCell_ = std::dynamic_pointer_cast<VelkoraNativeAdRow>(cell);
        }
        return measuringAdCell_ ? measuringAdCell_->getHeight() : 0;
    }
    auto comment = commentForRow(row);
    if (!comment) return 0;
    const int width = static_cast<int>(rowWidth());
    const auto key = std::make_pair(comment->commentId(), width);
    if (auto it = commentToHeightMap_.find(key); it != commentToHeightMap_.end()) return it->second;
    const std::string type = comment->contentType().value_or("text/plain");
    const int slot = type == "sticker" ? 1 : type == "image" ? 2 : 0;
    auto& cell = measuringCells_[slot];
    if (!cell) {
        if (slot == 1)
            cell = VelkoraChatRoomsTopicStickerTableCell::initFromNib();
        else if (slot == 2)
            cell = VelkoraChatRoomsTopicImageTableCell::initFromNib();
        else
            cell = VelkoraChatRoomsTopicCommentTableCell::initFromNib();
        if (!cell) return 0;
        cell->setDelegate(std::weak_ptr<VelkoraChatRoomsTopicTableCellDelegate>(self()));
    }
    cell->setFrame(ui::Rect(0, 0, width, cell->frame().height()));
    const double h = cell->updateData(comment);
    ++measuredCells_;
    // Measuring fetches nothing: the shown row loads its own pictures.
    if (cell->userImageView()) cell->userImageView()->cancelPreviousCalls();
    if (auto s = std::dynamic_pointer_cast<VelkoraChatRoomsTopicStickerTableCell>(cell); s && s->stickerView())
        s->stickerView()->cancelPreviousCalls();
    if (auto i = std::dynamic_pointer_cast<VelkoraChatRoomsTopicImageTableCell>(cell); i && i->commentImageView())
        i->commentImageView()->cancelPreviousCalls();
    commentToHeightMap_[key] = h;
    return h;
}

void VelkoraChatRoomsTopicViewController::imageRowSized(int32_t commentId, double height) {
    const auto key = std::make_pair(commentId, static_cast<int>(rowWidth()));
    auto it = commentToHeightMap_.find(key);
    if (it != commentToHeightMap_.end() && std::abs(it->second - height) < 0.5) return;
    commentToHeightMap_[key] = height;
    // Reloading after the current layout pass: the row that told us may be in the middle of one.
    std::weak_ptr<VelkoraChatRoomsTopicViewController> weak = self();
    foundation::RunLoop::main().post([weak] {
        if (auto me = weak.lock())
            if (me->commentsTableView_) me->commentsTableView_->reloadData();
    });
}

void VelkoraChatRoomsTopicViewController::willDisplayCell(ui::TableView&, ui::TableViewCell& cell,
                                                          const ui::IndexPath&) {
    cell.setBackgroundColor(ui::Color::clear());
}

// ---- ads

void VelkoraChatRoomsTopicViewController::processAds(const Value& ads) {
    const auto* list = ads.asArray();
    if (!list || list->empty()) return;
    auto& agent = VelkoraAgentInternal::instance();
    auto info = agent.userInfo();
    auto data = appData();
    if (!info || !data) return;
    const double now = foundation::RunLoop::main().now();
    if (info->nAdsShownInPeriod() >= data->nAdsPerPeriod()) {
        if (data->adsPeriodSecs() > now - info->lastAdsPeriodResetTime()) return;
        info->setNAdsShownInPeriod(0);
    }
    auto source = VelkoraScreenRegistry::instance().makeObject<VelkoraNativeAds>(VelkoraKitObjectNames::kNativeAds);
    if (!source) return;
    std::weak_ptr<VelkoraChatRoomsTopicViewController> weak = self();
    for (const auto& slot : *list) {
        if (slot["type"].int32Or(-1) != 0) continue;
        const int32_t position = slot["position"].int32Or(0);
        // Above the first row there is no place for it: no ad is taken (nor counted against the cap).
        if (position < 0) continue;
        source->pullNativeAd([weak, position](const std::shared_ptr<VelkoraNativeAd>& ad) {
            auto me = weak.lock();
            if (!me || !ad) return;
            auto& session = VelkoraAgentInternal::instance();
            auto record = session.userInfo();
            if (record) {
                if (record->nAdsShownInPeriod() == 0)
                    record->setLastAdsPeriodResetTime(foundation::RunLoop::main().now());
                record->setNAdsShownInPeriod(record->nAdsShownInPeriod() + 1);
                session.saveUserInfo();
            }
            me->adRowsDict_[position] = ad;
            if (me->commentsTableView_) me->commentsTableView_->reloadData();
            VelkoraServerApi::reporEventNow("adImpress", foundation::format("VENDOR%d_none|4", 2));
        });
    }
}

// ---- header and row actions

void VelkoraChatRoomsTopicViewController::shareClicked(ui::Control*) {
    showPopupOnShade(shareView_, shareShade_, true);
    if (commentsTableView_) commentsTableView_->setUserInteractionEnabled(false);
}

void VelkoraChatRoomsTopicViewController::shareCloseClicked(ui::Control*) {
    showPopupOnShade(shareView_, shareShade_, false);
    if (commentsTableView_) commentsTableView_->setUserInteractionEnabled(true);
}

void VelkoraChatRoomsTopicViewController::shareFacebookClicked(ui::Control*) {}
void VelkoraChatRoomsTopicViewController::shareTwitterClicked(ui::Control*) {}

void VelkoraChatRoomsTopicViewController::commentsClicked(ui::Control*) {
    if (postCommentText_) postCommentText_->becomeFirstResponder();
}

void VelkoraChatRoomsTopicViewController::topicOwnerClicked(ui::Control*) {
    if (!topic_ || !topic_->user()) return;
    const auto& own = VelkoraServerClientAgent::instance().userId();
    if (own && topic_->user()->userId() == own) return;
    openUserProfile(topic_->user());
}

void VelkoraChatRoomsTopicViewController::openUserProfile(const VelkoraUserPtr& user) {
    if (!user) return;
    auto screen = VelkoraScreenRegistry::instance().makeScreen(
        "profile", foundation::Dictionary{{VelkoraScreenArguments::kObject1, Value::object(user)}});
    if (auto feature = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(screen))
        feature->setFeatureTabDelegate(featureTabDelegate());
    if (screen)
        if (auto* nav = navigationController()) nav->pushViewController(screen, true);
}

void VelkoraChatRoomsTopicViewController::imageClicked(const std::string& url) {
    auto screen = VelkoraScreenRegistry::instance().makeScreen(
        "fullScreenImage", foundation::Dictionary{{VelkoraScreenArguments::kObject1, Value(url)}});
    if (auto feature = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(screen))
        feature->setFeatureTabDelegate(featureTabDelegate());
    if (screen)
        if (auto* nav = navigationController()) nav->pushViewController(screen, true);
}

void VelkoraChatRoomsTopicViewController::playVideoClicked(ui::Control*) {
    if (!topic_ || !velkoraContentView()) return;
    videoWebView_ = ui::WebView::create(velkoraContentView()->frame());
    videoWebView_->setScalesPageToFit(true);
    view()->addSubview(videoWebView_);
    videoWebView_->loadRequest(foundation::UrlRequest::get(topic_->text().value_or("")));
}

bool VelkoraChatRoomsTopicViewController::isOpenedAsFeature() {
    auto d = featureTabDelegate();
    return d ? d->isOpenedAsFeature() : true;
}

// ---- leaving

void VelkoraChatRoomsTopicViewController::backTapped(ui::Control* sender) {
    const bool typed = postCommentText_ && !postCommentText_->text().empty();
    if (!typed && !photoToResend_) {
        performBack(sender);
        return;
    }
    pendingDelete_.reset();
    pendingFlag_.reset();
    pendingBack_ = true;
    confirm(text("velkora_text_delete_message_title"), text("velkora_text_delete_message_description"));
}

void VelkoraChatRoomsTopicViewController::performBack(ui::Control* sender) {
    postExited();
    VelkoraGeneralFeatureViewController::backTapped(sender);
}

// ---- the bar

void VelkoraChatRoomsTopicViewController::postButtonClicked(ui::Control*) {
    if (!postCommentText_ || postCommentText_->text().empty()) return;
    postedCommentContentType_ = "text/plain";
    startPosting();
}

void VelkoraChatRoomsTopicViewController::stickerSelected(const std::string& url) {
    postedUrl_ = url;
    postedCommentContentType_ = "sticker";
    startPosting();
    resetKeyboard();
}

void VelkoraChatRoomsTopicViewController::imageSelected(const std::shared_ptr<ui::Image>& image) {
    if (!image) return;
    uploadedImage_ = image;
    postedCommentContentType_ = "image";
    startPosting();
    resetKeyboard();
}

void VelkoraChatRoomsTopicViewController::startPosting() {
    auto user = VelkoraAgentInternal::instance().velkoraUser();
    if (!user || user->isAnonymous()) {
        if (signinHelper_) signinHelper_->setDelegate({});
        signinHelper_ = VelkoraSigninToFollowPopupHelper::create();
        ui::View* host = ui::Application::instance().keyWindow();
        signinHelper_->showSigninPopupInView(host ? host : view().get(), text("velkora_text_post_connect_message"),
                                             std::weak_ptr<VelkoraSigninToFollowPopupHelperDelegate>(self()));
        return;
    }
    performCommentPost();
}

void VelkoraChatRoomsTopicViewController::didSignin() {
    performCommentPost();
}

void VelkoraChatRoomsTopicViewController::performLogin() {
    auto screen = VelkoraScreenRegistry::instance().makeScreen("login");
    if (auto feature = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(screen))
        feature->setFeatureTabDelegate(featureTabDelegate());
    if (screen)
        if (auto* nav = navigationController()) nav->pushViewController(screen, true);
}

void VelkoraChatRoomsTopicViewController::performSignUp() {
    auto screen = VelkoraScreenRegistry::instance().makeScreen("signup");
    if (auto feature = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(screen))
        feature->setFeatureTabDelegate(featureTabDelegate());
    if (screen)
        if (auto* nav = navigationController()) nav->pushViewController(screen, true);
}

void VelkoraChatRoomsTopicViewController::performCommentPost() {
    if (!topic_) return;
    const int32_t id = topic_->topicId();
    std::weak_ptr<VelkoraChatRoomsTopicViewController> weak = self();
    if (postedCommentContentType_ == "image") {
        if (!uploadedImage_) return;
        if (activityIndicator_) activityIndicator_->startAnimating();
        auto small = VelkoraUtils::scaleImage(uploadedImage_, 200);
        auto full = VelkoraUtils::fixImageOrientation(uploadedImage_);
        VelkoraServerApi::uploadTopicImage(id, full, small,
                                           VelkoraCallback(self(), &VelkoraChatRoomsTopicViewController::imageUploaded,
                                                           &VelkoraChatRoomsTopicViewController::imageUploadFailed));
    } else if (postedCommentContentType_ == "sticker" || postedCommentContentType_ == "text/plain") {
        const bool sticker = postedCommentContentType_ == "sticker";
        const std::string body = sticker ? postedUrl_ : (postCommentText_ ? postCommentText_->text() : std::string());
        if (body.empty()) return;
        const std::string type = postedCommentContentType_;
        const std::string typed = sticker ? std::string() : body;
        VelkoraServerApi::postTopicComment(id, 0, body, type,
                                           VelkoraCallback::make(
                                               self(),
                                               [weak, type](const Value&) {
                                                   if (auto me = weak.lock()) me->commentPosted(std::string(), type);
                                               },
                                               [weak, typed](const foundation::ErrorPtr&) {
                                                   if (auto me = weak.lock()) me->commentPostFailed(typed);
                                               }));
    } else {
        return;
    }
    if (postCommentText_) {
        postCommentText_->setText(std::string());
        postCommentText_->resignFirstResponder();
    }
}

// A post that did not go: its text comes back to an empty field, and the user hears why.
void VelkoraChatRoomsTopicViewController::commentPostFailed(const std::string& typed) {
    if (!typed.empty() && postCommentText_ && postCommentText_->text().empty()) postCommentText_->setText(typed);
    showToast(isViewLoaded() ? view().get() : nullptr);
}

void VelkoraChatRoomsTopicViewController::imageUploaded(const Value& url) {
    if (activityIndicator_) activityIndicator_->stopAnimating();
    const auto address = url.toText();
    if (!address || address->empty()) return;
    commentPosted(std::string(), "image");
}

void VelkoraChatRoomsTopicViewController::imageUploadFailed(const foundation::ErrorPtr&) {
    Log::line("Velkora (E) - Failed uploading image");
    if (activityIndicator_) activityIndicator_->stopAnimating();
    resetKeyboard();
    // The photo stays with the screen and goes once more after the next good poll.
    photoToResend_ = uploadedImage_;
    showToast(isViewLoaded() ? view().get() : nullptr);
    resendObserver_ = foundation::NotificationObserver(VelkoraServerClientAgent::kUpdatePollAnsweredNotification,
                                                       nullptr, [this](const foundation::Notification&) {
                                                           auto photo = std::move(photoToResend_);
                                                           photoToResend_.reset();
                                                           resendObserver_.reset();
                                                           if (!photo) return;
                                                           uploadedImage_ = photo;
                                                           postedCommentContentType_ = "image";
                                                           performCommentPost();
                                                       });
}

void VelkoraChatRoomsTopicViewController::commentPosted(const std::string&, const std::string&) {
    if (!topic_) return;
    const int32_t id = topic_->topicId();
    VelkoraLogEventsManager::instance().logEvent(foundation::format("blog;comment-posted;%d", id));
    auto info = VelkoraAgentInternal::instance().userInfo();
    auto data = appData();
    if (info && !info->isPrivateMode() && data && data->autoPostCommented())
        VelkoraServerApi::sendCommentFeed(id, VelkoraCallback::make(self(), [](const Value&) {}));
    updateInitiatedBySelf_ = true;
    updateDueToPost_ = true;
    VelkoraServerApi::updateNow();
}

void VelkoraChatRoomsTopicViewController::keyboardSwitchClicked(ui::Control*) {
    if (!postCommentText_) return;
    if (keyboardType_ == 1) {
        postCommentText_->setInputView(nullptr);
        if (keyboardSwitchButton_) keyboardSwitchButton_->setImage(ui::Image::named(kSmileyImage));
        keyboardType_ = 0;
    } else {
        VelkoraLogEventsManager::instance().logEvent("feature-viewed;stickers-keyboard-blog");
        openStickersKeyboard();
    }
    if (uploadPhotoButton_) uploadPhotoButton_->setSelected(false);
    postCommentText_->reloadInputViews();
    postCommentText_->becomeFirstResponder();
}

void VelkoraChatRoomsTopicViewController::openStickersKeyboard() {
    if (!postCommentText_) return;
    auto me = self();
    postCommentText_->setInputView(VelkoraStickersKeyboardView::initFromNibWithVC(me, me));
    if (keyboardSwitchButton_) keyboardSwitchButton_->setImage(ui::Image::named(kKeyboardImage));
    keyboardType_ = 1;
}

void VelkoraChatRoomsTopicViewController::photoUploadClicked(ui::Control*) {
    if (!postCommentText_) return;
    if (keyboardType_ != 2) {
        auto me = self();
        postCommentText_->setInputView(VelkoraUploadImageKeyboardView::initFromNibWithVC(me, me));
        keyboardType_ = 2;
        if (uploadPhotoButton_) uploadPhotoButton_->setSelected(true);
    } else {
        postCommentText_->setInputView(nullptr);
        keyboardType_ = 0;
        if (uploadPhotoButton_) uploadPhotoButton_->setSelected(false);
    }
    postCommentText_->reloadInputViews();
    postCommentText_->becomeFirstResponder();
}

// A rotation with a pane up: the pane of the new orientation takes its place.
void VelkoraChatRoomsTopicViewController::rebuildPaneForOrientation() {
    if (!postCommentText_ || keyboardType_ == 0 || !postCommentText_->inputView()) return;
    auto me = self();
    if (keyboardType_ == 1)
        postCommentText_->setInputView(VelkoraStickersKeyboardView::initFromNibWithVC(me, me));
    else
        postCommentText_->setInputView(VelkoraUploadImageKeyboardView::initFromNibWithVC(me, me));
    postCommentText_->reloadInputViews();
}

void VelkoraChatRoomsTopicViewController::resetKeyboard() {
    if (!postCommentText_) return;
    postCommentText_->setText(std::string());
    postCommentText_->setInputView(nullptr);
    keyboardType_ = 0;
    if (keyboardSwitchButton_) keyboardSwitchButton_->setImage(ui::Image::named(kSmileyImage));
    if (uploadPhotoButton_) uploadPhotoButton_->setSelected(false);
    postCommentText_->resignFirstResponder();
}

void VelkoraChatRoomsTopicViewController::openStickersStore() {
    shouldReturnToStickersKeyboard_ = true;
    resetKeyboard();
    auto screen = VelkoraStickerStoreViewController::create();
    screen->setFeatureTabDelegate(featureTabDelegate());
    if (auto* nav = navigationController()) nav->pushViewController(screen, true);
}

void VelkoraChatRoomsTopicViewController::applyBarOffset(double offset, double duration) {
    if (!postCommentViewBottomSpaceConstraint_) return;
    postCommentViewBottomSpaceConstraint_->setConstant(offset);
    view()->setNeedsLayout();
    std::weak_ptr<VelkoraChatRoomsTopicViewController> weak = self();
    ui::Animator::animate(duration, [weak] {
        if (auto me = weak.lock()) me->view()->layoutIfNeeded();
    });
}

void VelkoraChatRoomsTopicViewController::keyboardWillShow(const foundation::Notification& n) {
    auto d = featureTabDelegate();
    if (!(d && d->isUsingPopover())) {
        const double duration = n.userInfo[ui::kKeyboardAnimationDurationUserInfoKey].toDouble().value_or(0.25);
        double height = 0;
        if (keyboardType_ != 0 && postCommentText_ && postCommentText_->inputView()) {
            height = postCommentText_->inputView()->frame().height();
        } else {
            const ui::Rect end = ui::Keyboard::rectFromUserInfo(n.userInfo, ui::kKeyboardFrameEndUserInfoKey);
            const int o = ui::Application::instance().statusBarOrientation();
            height = (o == 1 || o == 2) ? end.height() : end.width();
        }
        applyBarOffset(-height, duration);
    }
    if (!keyboardTap_) {
        keyboardTap_ = std::make_shared<ui::TapGestureRecognizer>();
        keyboardTap_->addTarget(self(), &VelkoraChatRoomsTopicViewController::handleTouchesWhenKeyboardIsVisble);
        keyboardTap_->setDelegate(std::weak_ptr<ui::GestureRecognizerDelegate>(self()));
        keyboardTap_->setCancelsTouchesInView(false);
        view()->addGestureRecognizer(keyboardTap_);
    }
}

void VelkoraChatRoomsTopicViewController::keyboardWillHide(const foundation::Notification& n) {
    auto d = featureTabDelegate();
    if (!(d && d->isUsingPopover()))
        applyBarOffset(0, n.userInfo[ui::kKeyboardAnimationDurationUserInfoKey].toDouble().value_or(0.25));
    if (keyboardTap_) {
        view()->removeGestureRecognizer(keyboardTap_.get());
        keyboardTap_.reset();
    }
}

bool VelkoraChatRoomsTopicViewController::gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer&,
                                                                              ui::Touch& touch) {
    if (!postCommentView_ || !velkoraContentView()) return true;
    const ui::Rect bar = view()->convertRectFromView(postCommentView_->frame(), velkoraContentView().get());
    return !bar.contains(touch.locationInView(view().get()));
}

void VelkoraChatRoomsTopicViewController::handleTouchesWhenKeyboardIsVisble(ui::GestureRecognizer&) {
    if (postCommentText_) postCommentText_->setInputView(nullptr);
    keyboardType_ = 0;
    if (keyboardSwitchButton_) keyboardSwitchButton_->setImage(ui::Image::named(kSmileyImage));
    view()->endEditing(true);
}

// ---- delete and flag

void VelkoraChatRoomsTopicViewController::deleteComment(VelkoraChatRoomsTopicTableCell& cell) {
    auto c = cell.comment();
    if (!c || !c->user()) return;
    pendingFlag_.reset();
    pendingBack_ = false;
    pendingDelete_ = PendingComment{c->commentId(), topic_ ? topic_->topicId() : c->topicId(), c->user()};
    actionSheet_ = ui::ActionSheet::create(std::string(), std::weak_ptr<ui::ActionSheetDelegate>(self()),
                                           text("velkora_text_cancel_button"), std::nullopt,
                                           {text("velkora_text_delete_message_title")});
    actionSheet_->showInView(view().get());
}

void VelkoraChatRoomsTopicViewController::flagComment(VelkoraChatRoomsTopicTableCell& cell) {
    auto c = cell.comment();
    if (!c || !c->user()) return;
    pendingDelete_.reset();
    pendingBack_ = false;
    pendingFlag_ = PendingComment{c->commentId(), topic_ ? topic_->topicId() : c->topicId(), c->user()};
    actionSheet_ = ui::ActionSheet::create(std::string(), std::weak_ptr<ui::ActionSheetDelegate>(self()),
                                           text("velkora_text_cancel_button"), std::nullopt,
                                           {text("velkora_text_flag_comment_title")});
    actionSheet_->showInView(view().get());
}

void VelkoraChatRoomsTopicViewController::confirm(const std::string& title, const std::string& message) {
    if (confirmPopup_) confirmPopup_->setDelegate({});
    confirmPopup_ = VelkoraDefaultOKPopupView::initFromNibCancel(text("velkora_text_confirm_yes_button"),
                                                                 text("velkora_text_cancel_button"));
    if (!confirmPopup_) return;
    confirmPopup_->setDelegate(std::weak_ptr<VelkoraDefaultOKPopupViewDelegate>(self()));
    if (confirmPopup_->titleLabel()) confirmPopup_->titleLabel()->setText(title);
    if (confirmPopup_->messageLable()) confirmPopup_->messageLable()->setText(message);
    ui::View* host = ui::Application::instance().keyWindow();
    confirmPopup_->showInView(host ? host : view().get());
}

void VelkoraChatRoomsTopicViewController::clickedButtonAtIndex(ui::ActionSheet& sheet, int index) {
    if (index == sheet.cancelButtonIndex()) {
        popupCancelTapped();
        return;
    }
    if (index != sheet.firstOtherButtonIndex()) return;
    if (pendingDelete_)
        confirm(text("velkora_text_delete_message_title"), text("velkora_text_delete_message_description"));
    else if (pendingFlag_)
        confirm(text("velkora_text_flag_comment_title"), text("velkora_text_flag_comment_description"));
    else
        Log::line("Velkora - Cannot determine whether delete or flag commment were chosen. Doing nothing.");
}

void VelkoraChatRoomsTopicViewController::popupOkTapped() {
    if (pendingBack_) {
        pendingBack_ = false;
        performBack(nullptr);
    } else if (pendingDelete_) {
        // The answer removes the comment it was sent for, whatever the rows show by then.
        const PendingComment chosen = *pendingDelete_;
        pendingDelete_.reset();
        std::weak_ptr<VelkoraChatRoomsTopicViewController> weak = self();
        VelkoraServerApi::deleteTopicComment(chosen.topicId, chosen.commentId,
                                             VelkoraCallback::make(self(), [weak, chosen](const Value&) {
                                                 if (auto me = weak.lock()) me->commentDeleted(chosen);
                                             }));
    } else if (pendingFlag_) {
        VelkoraServerApi::reportUser(pendingFlag_->author, true);
        pendingFlag_.reset();
    }
}

void VelkoraChatRoomsTopicViewController::popupCancelTapped() {
    pendingBack_ = false;
    pendingDelete_.reset();
    pendingFlag_.reset();
}

void VelkoraChatRoomsTopicViewController::commentDeleted(const PendingComment& chosen) {
    std::erase_if(activeComments_, [&](const auto& c) { return c->commentId() == chosen.commentId; });
    repository().deleteCommentWithId(chosen.commentId, chosen.topicId);
    if (topic_ && topic_->topicId() == chosen.topicId) topic_->deleteComment(chosen.commentId);
    if (commentsTableView_) commentsTableView_->reloadData();
}

// ---- mail

void VelkoraChatRoomsTopicViewController::shareEmailClicked(ui::Control*) {
    if (!topic_ || !VelkoraDynamicFrameworkLoader::loadClass("MFMailComposeViewController", "MessageUI")) return;
    if (!ui::MailComposeViewController::canSendMail()) return;
    auto composer = ui::MailComposeViewController::create();
    if (!composer) return;
    std::shared_ptr<ui::ViewController> presenter;
    if (auto sidebar = VelkoraAgentInternal::instance().velkoraVC()) presenter = sidebar->viewController();
    if (!presenter) presenter = self();
    origViewFrame_ = presenter->view()->frame();
    mailComposer_ = composer;
    mailPresenter_ = presenter;
    composer->setMailComposeDelegate(std::weak_ptr<ui::MailComposeViewControllerDelegate>(self()));
    composer->setSubject(VelkoraAppSettings::mailInviteSubject().value_or(""));
    composer->setMessageBody(topic_->title().value_or(""), false);
    presenter->presentViewController(composer, true);
}

void VelkoraChatRoomsTopicViewController::mailComposeControllerDidFinish(ui::MailComposeViewController&, int result,
                                                                         const foundation::ErrorPtr&) {
    if (result == kMailSent && topic_)
        VelkoraLogEventsManager::instance().logEvent(foundation::format("blog-shared;email;%d", topic_->topicId()));
    auto presenter = mailPresenter_.lock();
    mailComposer_.reset();
    if (!presenter) return;
    const ui::Rect frame = origViewFrame_;
    std::weak_ptr<ui::ViewController> weak = presenter;
    presenter->dismissViewController(true, [weak, frame] {
        if (auto p = weak.lock()) p->view()->setFrame(frame);
    });
}

} // namespace velkora
