#include "feed/VelkoraFeedTableController.h"

#include <unordered_set>

#include "data/VelkoraAppSettings.h"
#include "data/VelkoraChatRoomsComment.h"
#include "data/VelkoraChatRoomsTopic.h"
#include "data/VelkoraUserDetailsDisplayer.h"
#include "feed/VelkoraFeedActivityCell.h"
#include "feed/VelkoraFeedClasses.h"
#include "feed/VelkoraFeedLikeActivityCell.h"
#include "feed/VelkoraFeedLikeImageCell.h"
#include "feed/VelkoraFeedLikeTopicCell.h"
#include "feed/VelkoraFeedLikeTopicImageCell.h"
#include "feed/VelkoraFeedTableCell.h"
#include "feed/VelkoraSuggestedPeople.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/WebView.h"
#include "platform/ui/Window.h"
#include "server/VelkoraServerApi.h"
#include "server/VelkoraServerClientAgent.h"
#include "server/utils/VelkoraLogEventsManager.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraChatRoomsTopicsRepository.h"
#include "session/VelkoraKitObjects.h"
#include "session/VelkoraScreenRegistry.h"
#include "shell/VelkoraActivationGesturesHandler.h"
#include "shell/VelkoraGeneralFeatureViewController.h"
#include "shell/VelkoraImageFetcher.h"
#include "social/VelkoraFBConnector.h"
#include "social/VelkoraTwitterConnector.h"
#include "social/VelkoraUserSignUpHelper.h"

namespace velkora {

namespace {

std::function<void()>& warmUpHook() {
    static std::function<void()> hook;
    return hook;
}

bool isWebAddress(const std::string& address) {
    auto startsWith = [&](const char* prefix) {
        const std::string p(prefix);
        if (address.size() <= p.size()) return false;
        for (size_t i = 0; i < p.size(); ++i)
            if (std::tolower(static_cast<unsigned char>(address[i])) != p[i]) return false;
        return true;
    };
    return startsWith("http://") || startsWith("https://");
}

constexpr double kPlayerCloseSize = 44;

// The arguments of a screen pushed from the feed.
foundation::Value pushedWith(foundation::Value object1, foundation::Value object2 = {}) {
    foundation::Dictionary arguments{
        {VelkoraScreenArguments::kOpenedAs, foundation::Value(VelkoraScreenArguments::kOpenedInNavigation)},
        {VelkoraScreenArguments::kObject1, std::move(object1)}};
    if (!object2.isNull()) arguments.set(VelkoraScreenArguments::kObject2, std::move(object2));
    return foundation::Value(std::move(arguments));
}

} // namespace

void VelkoraFeedTableController::setWarmUpHookForTests(std::function<void()> hook) {
    warmUpHook() = std::move(hook);
}

std::shared_ptr<VelkoraFeedTableController>
VelkoraFeedTableController::initWithTable(const std::shared_ptr<ui::TableView>& table,
                                          const std::shared_ptr<VelkoraGeneralFeatureViewController>& parent,
                                          const std::shared_ptr<VelkoraFeedTableControllerDelegate>& delegate) {
    registerVelkoraFeedClasses();
    auto controller = std::shared_ptr<VelkoraFeedTableController>(new VelkoraFeedTableController());
    controller->feedTable_ = table;
    controller->parentViewController_ = parent;
    controller->delegate_ = delegate;
    controller->makePrototypes();
    controller->calculateHeightsForAllElements();
    std::weak_ptr<VelkoraFeedTableController> weak = controller;
    controller->followingObserver_ = foundation::NotificationObserver(kChangedFollowingNotification, nullptr,
                                                                      [weak](const foundation::Notification& n) {
                                                                          if (auto c = weak.lock())
                                                                              c->followingDidChanged(n);
                                                                      });
    return controller;
}

VelkoraFeedTableController::~VelkoraFeedTableController() {
    VelkoraServerApi::clearUserDelegate(this);
    if (signinHelper_) signinHelper_->setDelegate({});
    if (userSignUpHelper_) userSignUpHelper_->removeDelegate(this);
    if (playerView_) playerView_->removeFromSuperview();
}

void VelkoraFeedTableController::makePrototypes() {
    auto self = shared_from_this();
    feedCellsPerType_[1] = VelkoraFeedTableCell::initFromNib(std::weak_ptr<VelkoraFeedTableCellDelegate>(self));
    feedCellsPerType_[2] = VelkoraFeedActivityCell::initFromNib(std::weak_ptr<VelkoraFeedActivityCellDelegate>(self));
    feedCellsPerType_[3] =
        VelkoraFeedLikeActivityCell::initFromNib(std::weak_ptr<VelkoraFeedLikeActivityCellDelegate>(self));
    feedCellsPerType_[4] = VelkoraFeedLikeImageCell::initFromNib(std::weak_ptr<VelkoraFeedLikeImageCellDelegate>(self));
    feedCellsPerType_[5] = VelkoraFeedLikeTopicCell::initFromNib(std::weak_ptr<VelkoraFeedLikeTopicCellDelegate>(self));
    feedCellsPerType_[6] =
        VelkoraFeedLikeTopicCommentCell::initFromNib(std::weak_ptr<VelkoraFeedLikeTopicCommentCellDelegate>(self));
    feedCellsPerType_[7] =
        VelkoraFeedLikeTopicImageCell::initFromNib(std::weak_ptr<VelkoraFeedLikeTopicImageCellDelegate>(self));
    std::map<int, VelkoraFeedCellGeometry> geometries;
    for (const auto& [kind, cell] : feedCellsPerType_)
        if (cell) geometries[kind] = cell->geometry();
    heights_ = std::make_shared<VelkoraFeedRowHeights>(std::move(geometries));
}

int VelkoraFeedTableController::feedCellTypeForActivity(const VelkoraActivityModel& item) {
    if (item.isLike()) {
        const auto* like = dynamic_cast<const VelkoraLikeObject*>(&item);
        const int32_t type = like ? like->type() : VelkoraLikeObject::NONE;
        if (type == VelkoraLikeObject::POST) return 3;
        if (type == VelkoraLikeObject::TOPIC) return 5;
        if (type != VelkoraLikeObject::COMMENT) return 4;
        const auto& comment = like->chatRoomsComment();
        return comment && comment->contentType() == std::optional<std::string>("image") ? 7 : 6;
    }
    const auto* post = dynamic_cast<const VelkoraFeedMessage*>(&item);
    const int32_t type = post ? post->messageType() : 0;
    return type == 1 || type == 2 || type == 3 ? 1 : 2;
}

double VelkoraFeedTableController::rowWidth() const {
    auto parent = parentViewController_.lock();
    auto container = parent ? parent->featureTabDelegate() : nullptr;
    return VelkoraFeedCell::widthAdjustedForInterfaceOrientation(container && container->isOpenedAsFeature());
}

bool VelkoraFeedTableController::estimatesHeights() const {
    auto table = feedTable_.lock();
    return table && table->estimatedRowHeight() > 0;
}

int VelkoraFeedTableController::widthKey() const {
    return static_cast<int>(rowWidth() * 8);
}

namespace {

std::string heightKeyOf(const VelkoraActivityModel& item, int32_t change, int width) {
    // A like refreshed in place (new first liker, new description) comes with a new change number, and a
    // rotation with a new width: either needs its own height.
    return item.activityId() + "#" + std::to_string(change) + "@" + std::to_string(width);
}

} // namespace

std::string VelkoraFeedTableController::heightKeyFor(const VelkoraActivityModel& item) const {
    return heightKeyOf(item, velkoraActivityChangeNumber(item), widthKey());
}

VelkoraFeedListSnapshot::HeightKeyFor VelkoraFeedTableController::heightKeyOfState() const {
    return [width = widthKey()](const VelkoraActivityModel& item, int32_t change) {
        return heightKeyOf(item, change, width);
    };
}

VelkoraFeedRowText VelkoraFeedTableController::rowTextFor(const VelkoraActivityPtr& item) const {
    VelkoraFeedRowText row;
    if (!item) return row;
    row.heightKey = heightKeyFor(*item);
    // A table that estimates asks for the rows it shows as they come into view: nothing is measured ahead.
    if (estimatesHeights() || heights_->find(row.heightKey)) return row;
    auto cell = feedCellsPerType_.find(feedCellTypeForActivity(*item));
    if (cell != feedCellsPerType_.end() && cell->second) row.text = cell->second->textFor(item);
    return row;
}

float VelkoraFeedTableController::getModelHeightForActivity(const VelkoraActivityPtr& item) {
    if (!item) return 0;
    const std::string key = heightKeyFor(*item);
    if (auto cached = heights_->find(key)) return *cached;
    auto cell = feedCellsPerType_.find(feedCellTypeForActivity(*item));
    if (cell == feedCellsPerType_.end() || !cell->second) return 0;
    cell->second->reset();
    return heights_->measure(key, cell->second->textFor(item));
}

void VelkoraFeedTableController::calculateHeightsForAllElements() {
    auto owner = delegate_.lock();
    auto queue = owner ? owner->serialQueue() : nullptr;
    std::vector<VelkoraFeedRowText> rows;
    if (owner && !estimatesHeights())
        for (const auto& item : owner->feedRows())
            rows.push_back(rowTextFor(item));
    std::weak_ptr<VelkoraFeedTableController> weak = weak_from_this();
    auto wire = [weak] {
        if (auto c = weak.lock()) c->wireTable();
    };
    if (!queue) {
        heights_->measureRows(rows, true);
        wire();
        return;
    }
    // The task holds the heights, never this controller or its owner: nothing of the screens is released
    // on the queue.
    queue->async([heights = heights_, rows = std::move(rows), wire] {
        if (warmUpHook()) warmUpHook()();
        heights->measureRows(rows, true);
        foundation::RunLoop::main().post(wire);
    });
}

void VelkoraFeedTableController::wireTable() {
    auto table = feedTable_.lock();
    if (!table) return;
    wired_ = true;
    table->setDataSource(std::weak_ptr<ui::TableViewDataSource>(shared_from_this()));
    table->setDelegate(std::weak_ptr<ui::TableViewDelegate>(shared_from_this()));
    table->reloadData();
}

void VelkoraFeedTableController::listHandedOver() {
    auto owner = delegate_.lock();
    if (!owner) return;
    std::unordered_set<std::string> keys;
    // Only rows that were shown have heights, and a new list shows from its top again: what is in view
    // is measured anew rather than every item's key made to sort out which heights stay.
    if (!estimatesHeights())
        for (const auto& item : owner->feedRows())
            if (item) keys.insert(heightKeyFor(*item));
    heights_->keepOnly(keys);
    rowHeights_.clear();
    if (auto table = feedTable_.lock(); table && wired_) table->reloadData();
}

void VelkoraFeedTableController::listChanged(const VelkoraFeedListChange& change) {
    if (change.reset || change.oldCount == 0) {
        listHandedOver();
        return;
    }
    heights_->forget(change.forgottenHeights);
    velkoraApplyListChange(rowHeights_, change, -1);
    if (auto table = feedTable_.lock(); table && wired_) velkoraApplyListChange(*table, change);
}

void VelkoraFeedTableController::measureListOnQueue() {
    auto owner = delegate_.lock();
    auto queue = owner ? owner->serialQueue() : nullptr;
    if (!owner) return;
    std::vector<VelkoraFeedRowText> rows;
    for (const auto& item : owner->feedRows()) {
        auto row = rowTextFor(item);
        if (row.text) rows.push_back(std::move(row));
    }
    if (rows.empty()) return;
    std::weak_ptr<VelkoraFeedTableController> weak = weak_from_this();
    auto reload = [weak] {
        auto c = weak.lock();
        auto table = c ? c->feedTable_.lock() : nullptr;
        if (table && c->wired_) table->reloadData();
    };
    if (!queue) {
        heights_->measureRows(rows, false);
        reload();
        return;
    }
    queue->async([heights = heights_, rows = std::move(rows), reload] {
        heights->measureRows(rows, false);
        foundation::RunLoop::main().post(reload);
    });
}

void VelkoraFeedTableController::stop() {
    heights_->stop();
    closePlayer();
}

VelkoraActivityPtr VelkoraFeedTableController::itemAt(int row) const {
    auto owner = delegate_.lock();
    if (!owner || row < 0) return nullptr;
    const auto list = owner->feedRows();
    return static_cast<size_t>(row) < list.size() ? list[static_cast<size_t>(row)] : nullptr;
}

int VelkoraFeedTableController::numberOfRowsInSection(ui::TableView&, int) {
    auto owner = delegate_.lock();
    return owner ? static_cast<int>(owner->feedRows().size()) : 0;
}

std::shared_ptr<VelkoraFeedCell> VelkoraFeedTableController::newCell(int kind) {
    auto self = shared_from_this();
    ++cellsMade_;
    switch (kind) {
    case 1:
        return VelkoraFeedTableCell::initFromNib(std::weak_ptr<VelkoraFeedTableCellDelegate>(self));
    case 2:
        return VelkoraFeedActivityCell::initFromNib(std::weak_ptr<VelkoraFeedActivityCellDelegate>(self));
    case 3:
        return VelkoraFeedLikeActivityCell::initFromNib(std::weak_ptr<VelkoraFeedLikeActivityCellDelegate>(self));
    case 4:
        return VelkoraFeedLikeImageCell::initFromNib(std::weak_ptr<VelkoraFeedLikeImageCellDelegate>(self));
    case 5:
        return VelkoraFeedLikeTopicCell::initFromNib(std::weak_ptr<VelkoraFeedLikeTopicCellDelegate>(self));
    case 6:
        return VelkoraFeedLikeTopicCommentCell::initFromNib(
            std::weak_ptr<VelkoraFeedLikeTopicCommentCellDelegate>(self));
    default:
        return VelkoraFeedLikeTopicImageCell::initFromNib(std::weak_ptr<VelkoraFeedLikeTopicImageCellDelegate>(self));
    }
}

ui::TableViewCellPtr VelkoraFeedTableController::cellForRowAtIndexPath(ui::TableView& table,
                                                                       const ui::IndexPath& indexPath) {
    if (!cellRequested_) {
        cellRequested_ = true;
        if (auto owner = delegate_.lock()) owner->stopAnimation();
    }
    auto item = itemAt(indexPath.row);
    if (!item) return ui::TableViewCell::create(ui::TableViewCellStyle::Default, "");
    const int kind = feedCellTypeForActivity(*item);
    auto prototype = feedCellsPerType_[kind];
    const std::string identifier = prototype ? prototype->reuseIdentifier() : std::string();
    auto cell = std::dynamic_pointer_cast<VelkoraFeedCell>(table.dequeueReusableCellWithIdentifier(identifier));
    if (!cell) cell = newCell(kind);
    if (!cell) return ui::TableViewCell::create(ui::TableViewCellStyle::Default, "");
    cell->updateData(item);
    return cell;
}

double VelkoraFeedTableController::heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath& indexPath) {
    auto owner = delegate_.lock();
    if (!owner || indexPath.row < 0) return 0;
    const auto list = owner->feedRows();
    const auto row = static_cast<size_t>(indexPath.row);
    if (row >= list.size()) return 0;
    // A table that estimates asks only for the rows coming into view, a few at a time, and keeps what it
    // was told: the keyed cache answers them, with no per-row list as long as the feed to keep.
    if (estimatesHeights()) {
        rowHeights_.clear();
        return getModelHeightForActivity(list[row]);
    }
    // A layout pass asks from the first row down: the width is looked at once per pass, not per row.
    if (row == 0 || rowHeightsWidth_ < 0) {
        const int width = widthKey();
        if (width != rowHeightsWidth_) rowHeights_.clear();
        rowHeightsWidth_ = width;
    }
    if (rowHeights_.size() != list.size()) rowHeights_.assign(list.size(), -1);
    float& height = rowHeights_[row];
    if (height < 0) height = getModelHeightForActivity(list[row]);
    return height;
}

void VelkoraFeedTableController::willDisplayCell(ui::TableView&, ui::TableViewCell& cell, const ui::IndexPath&) {
    cell.setBackgroundColor(ui::Color::clear());
}

// ---- Opening screens

void VelkoraFeedTableController::pushScreen(const std::shared_ptr<ui::ViewController>& screen) {
    auto parent = parentViewController_.lock();
    if (!screen || !parent) return;
    if (auto feature = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(screen))
        feature->setFeatureTabDelegate(parent->featureTabDelegate());
    if (auto* nav = parent->navigationController()) nav->pushViewController(screen, true);
}

void VelkoraFeedTableController::openProfile(const VelkoraUserPtr& user) {
    if (!user) return;
    const auto& me = VelkoraServerClientAgent::instance().userId();
    if (me && user->userId() == me) return;
    pushScreen(VelkoraScreenRegistry::instance().makeScreen("profile", pushedWith(foundation::Value::object(user))));
}

void VelkoraFeedTableController::openTopicWithId(int32_t topicId, const std::string& objectId) {
    if (topicId == -1) return;
    auto& topics = VelkoraChatRoomsTopicsRepository::instance();
    if (topics.getTopicById(topicId)) topics.markCommentsViewedForTopic(topicId);
    pushScreen(VelkoraScreenRegistry::instance().makeScreen(
        "blogTopic", pushedWith(foundation::Value(static_cast<int64_t>(topicId)), foundation::Value(objectId))));
}

namespace {
VelkoraUserPtr commentUser(const VelkoraLikeObjectPtr& like) {
    return like && like->chatRoomsComment() ? like->chatRoomsComment()->user() : nullptr;
}
int32_t topicIdOf(const VelkoraLikeObjectPtr& like) {
    return like && like->chatRoomsTopic() ? like->chatRoomsTopic()->topicId() : -1;
}
} // namespace

void VelkoraFeedTableController::profileTapped(VelkoraFeedTableCell& cell) {
    if (cell.theMessage()) openProfile(cell.theMessage()->sender());
}
void VelkoraFeedTableController::otherProfileTapped(VelkoraFeedTableCell& cell) {
    if (cell.theMessage()) openProfile(cell.theMessage()->otherUser());
}
void VelkoraFeedTableController::topicTapped(VelkoraFeedTableCell& cell) {
    if (cell.theMessage()) openTopicWithId(cell.theMessage()->topicId(), "");
}
void VelkoraFeedTableController::profileTapped(VelkoraFeedActivityCell& cell) {
    if (cell.theFeedMessage()) openProfile(cell.theFeedMessage()->getPoster());
}
void VelkoraFeedTableController::profileTapped(VelkoraFeedLikeActivityCell& cell) {
    if (cell.likeObject()) openProfile(cell.likeObject()->getPoster());
}
// The poster's line of a liked post names the post's author, not the liker.
void VelkoraFeedTableController::posterProfileTapped(VelkoraFeedLikeActivityCell& cell) {
    const auto& like = cell.likeObject();
    if (like && like->feedMessage()) openProfile(like->feedMessage()->getPoster());
}
void VelkoraFeedTableController::profileTapped(VelkoraFeedLikeImageCell& cell) {
    if (cell.likeObject()) openProfile(cell.likeObject()->getPoster());
}
void VelkoraFeedTableController::profileTapped(VelkoraFeedLikeTopicCell& cell) {
    if (cell.theLikeObject()) openProfile(cell.theLikeObject()->getPoster());
}
void VelkoraFeedTableController::topicTapped(VelkoraFeedLikeTopicCell& cell) {
    openTopicWithId(topicIdOf(cell.theLikeObject()), "");
}
void VelkoraFeedTableController::profileTapped(VelkoraFeedLikeTopicCommentCell& cell) {
    if (cell.theLikeObject()) openProfile(cell.theLikeObject()->getPoster());
}
void VelkoraFeedTableController::otherProfileTapped(VelkoraFeedLikeTopicCommentCell& cell) {
    openProfile(commentUser(cell.theLikeObject()));
}
void VelkoraFeedTableController::topicTapped(VelkoraFeedLikeTopicCommentCell& cell) {
    openTopicWithId(topicIdOf(cell.theLikeObject()), "");
}
// A liker's photo in a kind-7 row opens the liker, as in the other like rows.
void VelkoraFeedTableController::profileTapped(VelkoraFeedLikeTopicImageCell& cell) {
    if (cell.likeObject()) openProfile(cell.likeObject()->getPoster());
}
void VelkoraFeedTableController::posterProfileTapped(VelkoraFeedLikeTopicImageCell& cell) {
    openProfile(commentUser(cell.likeObject()));
}
void VelkoraFeedTableController::topicTapped(VelkoraFeedLikeTopicImageCell& cell) {
    openTopicWithId(topicIdOf(cell.likeObject()), "");
}
void VelkoraFeedTableController::topicImageTapped(VelkoraFeedLikeTopicImageCell& cell) {
    auto like = cell.likeObject();
    auto comment = like ? like->chatRoomsComment() : nullptr;
    if (!comment || !comment->text()) return;
    pushScreen(VelkoraScreenRegistry::instance().makeScreen("fullScreenImage",
                                                            pushedWith(foundation::Value(*comment->text()))));
}
void VelkoraFeedTableController::commentTapped(VelkoraFeedLikeImageCell&, int32_t topicId,
                                               const std::string& objectId) {
    openTopicWithId(topicId, objectId);
}

bool VelkoraFeedTableController::isOpenedAsFeature() {
    auto parent = parentViewController_.lock();
    auto container = parent ? parent->featureTabDelegate() : nullptr;
    return container && container->isOpenedAsFeature();
}

// ---- Follow

namespace {
// The user a simple row offers to follow or unfollow: the one who joined, or the one the row names.
VelkoraUserPtr followTargetOf(const VelkoraFeedMessage& post) {
    if (post.messageType() == 1) return post.otherUser();
    if (post.messageType() == 2) return post.sender();
    return nullptr;
}
} // namespace

void VelkoraFeedTableController::actionTapped(VelkoraFeedTableCell& cell) {
    const auto& post = cell.theMessage();
    if (!post) return;
    auto target = followTargetOf(*post);
    if (!target) return;
    userToFollow_ = std::move(target);
    auto me = VelkoraAgentInternal::instance().velkoraUser();
    if (!me || me->isAnonymous()) {
        if (signinHelper_) signinHelper_->setDelegate({});
        signinHelper_ = VelkoraSigninToFollowPopupHelper::create();
        auto* window = ui::Application::instance().keyWindow();
        signinHelper_->showSigninPopupInView(
            window, velkoraFeedText("velkora_text_follow_connect_message"),
            std::weak_ptr<VelkoraSigninToFollowPopupHelperDelegate>(shared_from_this()));
        return;
    }
    didSignin();
}

void VelkoraFeedTableController::unfollowTapped(VelkoraFeedTableCell& cell) {
    if (auto target = cell.theMessage() ? followTargetOf(*cell.theMessage()) : nullptr)
        VelkoraServerApi::removeFollowing(target);
}

void VelkoraFeedTableController::didSignin() {
    if (userToFollow_) VelkoraServerApi::addFollowing(userToFollow_);
}

void VelkoraFeedTableController::performLogin() {
    pushScreen(VelkoraScreenRegistry::instance().makeScreen("login"));
}

void VelkoraFeedTableController::performSignUp() {
    pushScreen(VelkoraScreenRegistry::instance().makeScreen("signup"));
}

void VelkoraFeedTableController::followingDidChanged(const foundation::Notification&) {
    // Every row about a user may show a follow button: redraw them all, not only the tapped one.
    auto table = feedTable_.lock();
    if (!table) return;
    for (const auto& cell : table->visibleCells())
        if (auto simple = std::dynamic_pointer_cast<VelkoraFeedTableCell>(cell)) simple->updatePostTapped();
}

// ---- The host's actions

void VelkoraFeedTableController::handleActivityAction(ui::TableViewCell& cell, const VelkoraFeedMessagePtr& post) {
    auto parent = parentViewController_.lock();
    auto& registry = VelkoraScreenRegistry::instance();
    if (registry.hasObject(VelkoraKitObjectNames::kActivityActionManager)) {
        auto manager = registry.makeObject<VelkoraActivityActionHandler>(VelkoraKitObjectNames::kActivityActionManager);
        if (manager && manager->handleActionOfActivity(cell, parent.get())) return;
    }
    VelkoraAgentInternal::instance().closePanel();
    foundation::NotificationCenter::defaultCenter().post(
        kActionTappedNotification, nullptr,
        foundation::Value(foundation::Dictionary{
            {"action", post && post->actionId() ? foundation::Value(*post->actionId()) : foundation::Value()}}));
}

void VelkoraFeedTableController::activityActionTapped(VelkoraFeedActivityCell& cell) {
    handleActivityAction(cell, cell.theFeedMessage());
}

void VelkoraFeedTableController::activityActionTapped(VelkoraFeedLikeActivityCell& cell) {
    handleActivityAction(cell, cell.theFeedMessage());
}

// ---- Video

void VelkoraFeedTableController::playTapped(VelkoraFeedLikeImageCell& cell) {
    auto like = cell.likeObject();
    auto parent = parentViewController_.lock();
    if (!like || !parent || !parent->isViewLoaded()) return;
    const std::string address = like->data().value_or("");
    // The object's data is the service's text: only a web address plays.
    if (!isWebAddress(address)) {
        foundation::Log::line("Velkora (W) - not a video address: %@", address);
        return;
    }
    closePlayer();
    auto table = feedTable_.lock();
    const ui::Rect frame = table ? table->convertRectToView(table->bounds(), parent->view().get()) : ui::Rect{};
    playerView_ = ui::View::create(frame);
    playerView_->setBackgroundColor(ui::Color::black());
    playerWebView_ = ui::WebView::create({0, 0, frame.width(), frame.height()});
    playerWebView_->setScalesPageToFit(true);
    playerWebView_->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleHeight);
    playerView_->addSubview(playerWebView_);
    auto close = ui::Button::create(ui::ButtonType::Custom,
                                    {frame.width() - kPlayerCloseSize, 0, kPlayerCloseSize, kPlayerCloseSize});
    close->setTitle("\u2715");
    close->setTitleColor(ui::Color::whiteColor());
    close->setBackgroundColor(ui::Color{0, 0, 0, 0.6});
    close->setAutoresizingMask(ui::AutoresizingFlexibleLeftMargin);
    std::weak_ptr<VelkoraFeedTableController> weak = weak_from_this();
    close->addAction(
        [weak](ui::Control*) {
            if (auto c = weak.lock()) c->closePlayer();
        },
        ui::ControlEventTouchUpInside, "closePlayer");
    playerView_->addSubview(close);
    parent->view()->addSubview(playerView_);
    playerWebView_->loadRequest(foundation::UrlRequest::get(address));
    if (auto gestures = VelkoraActivationGesturesHandler::current()) gestures->resumeIfUserAllows();
}

void VelkoraFeedTableController::closePlayer() {
    if (playerWebView_) playerWebView_->stopLoading();
    if (playerView_) playerView_->removeFromSuperview();
    playerView_.reset();
    playerWebView_.reset();
}

// ---- Shares

void VelkoraFeedTableController::shareTapped(VelkoraFeedLikeImageCell& cell) {
    objectToShare_ = cell.likeObject();
    if (auto owner = delegate_.lock()) owner->showSharePopup();
    if (auto table = feedTable_.lock()) table->setUserInteractionEnabled(false);
}

void VelkoraFeedTableController::closeTapped(ui::Control*) {
    if (auto owner = delegate_.lock()) owner->hideSharePopup();
    if (auto table = feedTable_.lock()) table->setUserInteractionEnabled(true);
}

std::string VelkoraFeedTableController::linkForObjectToShare() const {
    const std::string data = objectToShare_ ? objectToShare_->data().value_or("") : std::string();
    if (auto fetcher = VelkoraAgentInternal::instance().imageFetcher())
        if (auto link = fetcher->shareUrlForImage(data)) return *link;
    return data;
}

void VelkoraFeedTableController::shareConnected(int32_t method) {
    auto like = objectToShare_;
    if (!like) return;
    const std::string link = linkForObjectToShare();
    auto& agent = VelkoraAgentInternal::instance();
    if (method == 2) {
        auto fb = agent.fbConnector();
        if (!fb) return;
        VelkoraFBConnector::FeedParameters story{
            {"caption", VelkoraUserDetailsDisplayer::nameFull(like->getPoster().get())}};
        if (like->description()) story.emplace_back("description", *like->description());
        story.emplace_back("link", link);
        fb->postToWall(story, [](bool posted) {
            if (posted) VelkoraLogEventsManager::instance().logEvent("feed-shared;facebook");
        });
    } else {
        auto twitter = agent.twitterConnector();
        auto parent = parentViewController_.lock();
        if (!twitter || !parent) return;
        twitter->sendTweet(parent.get(), like->description(), link, std::nullopt, [](bool posted) {
            if (posted) VelkoraLogEventsManager::instance().logEvent("feed-shared;twitter");
        });
    }
}

void VelkoraFeedTableController::fbShareTapped(ui::Control*) {
    auto fb = VelkoraAgentInternal::instance().fbConnector();
    if (!fb) {
        VelkoraScreenRegistry::logNotInBuild("VelkoraFBConnector");
        return;
    }
    std::weak_ptr<VelkoraFeedTableController> weak = weak_from_this();
    fb->connectWithDelegate(VelkoraConnectorTarget::make(shared_from_this(), [weak](const foundation::Value& details) {
        auto c = weak.lock();
        if (!c || details.isNull()) return;
        if (!c->userSignUpHelper_) c->userSignUpHelper_ = VelkoraUserSignUpHelper::create();
        auto me = VelkoraAgentInternal::instance().velkoraUser();
        c->userSignUpHelper_->connectServerWithDetails(details, 0, 2, me && !me->isAnonymous(), true,
                                                       VelkoraCallback::make(
                                                           c,
                                                           [weak](const foundation::Value&) {
                                                               if (auto s = weak.lock()) s->shareConnected(2);
                                                           },
                                                           [](const foundation::ErrorPtr&) {}));
    }));
}

void VelkoraFeedTableController::twitterShareTapped(ui::Control*) {
    auto twitter = VelkoraAgentInternal::instance().twitterConnector();
    auto parent = parentViewController_.lock();
    if (!twitter) {
        VelkoraScreenRegistry::logNotInBuild("VelkoraTwitterConnector");
        return;
    }
    std::weak_ptr<VelkoraFeedTableController> weak = weak_from_this();
    twitter->getUserDetailsWithView(
        parent ? parent->view().get() : nullptr,
        VelkoraConnectorTarget::make(shared_from_this(), [weak](const foundation::Value& details) {
            auto c = weak.lock();
            if (!c || details.isNull()) return;
            if (!c->userSignUpHelper_) c->userSignUpHelper_ = VelkoraUserSignUpHelper::create();
            c->userSignUpHelper_->connectServerWithDetails(details, 0, 3, true, true,
                                                           VelkoraCallback::make(
                                                               c,
                                                               [weak](const foundation::Value&) {
                                                                   if (auto s = weak.lock()) s->shareConnected(3);
                                                               },
                                                               [](const foundation::ErrorPtr&) {}));
        }));
}

ui::ViewController* VelkoraFeedTableController::presenterForMail() const {
    // From the sidebar when there is one, else from the screen itself.
    if (auto sidebar = VelkoraAgentInternal::instance().velkoraVC())
        if (auto vc = sidebar->viewController(); vc && vc->isViewLoaded() && vc->view()->window()) return vc.get();
    auto parent = parentViewController_.lock();
    return parent.get();
}

void VelkoraFeedTableController::emailShareTapped(ui::Control*) {
    if (!objectToShare_) return;
    // A composer needs an account to send from: without one nothing opens.
    auto composer = ui::MailComposeViewController::create();
    if (!composer) return;
    ui::ViewController* presenter = presenterForMail();
    if (!presenter) return;
    origViewFrame_ = presenter->isViewLoaded() ? std::optional<ui::Rect>(presenter->view()->frame()) : std::nullopt;
    composer->setMailComposeDelegate(std::weak_ptr<ui::MailComposeViewControllerDelegate>(shared_from_this()));
    composer->setSubject(VelkoraAppSettings::mailInviteSubject().value_or(""));
    composer->setMessageBody(linkForObjectToShare(), false);
    mailPresenter_ = presenter->sharedAs<ui::ViewController>();
    presenter->presentViewController(composer, true);
}

void VelkoraFeedTableController::mailComposeControllerDidFinish(ui::MailComposeViewController& controller, int result,
                                                                const foundation::ErrorPtr&) {
    if (result == ui::MailComposeResultSent) VelkoraLogEventsManager::instance().logEvent("feed-shared;email");
    auto presenter = mailPresenter_.lock();
    std::weak_ptr<ui::ViewController> weakPresenter = presenter;
    auto frame = origViewFrame_;
    auto done = [weakPresenter, frame] {
        auto p = weakPresenter.lock();
        if (p && frame && p->isViewLoaded()) p->view()->setFrame(*frame);
    };
    if (presenter)
        presenter->dismissViewController(true, done);
    else
        controller.dismissViewController(true, done);
}

} // namespace velkora
