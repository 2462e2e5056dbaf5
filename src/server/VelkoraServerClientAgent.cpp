#include "server/VelkoraServerClientAgent.h"

#include <algorithm>
#include <cmath>
#include <mutex>

#include "platform/foundation/Log.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/ui/Application.h"
#include "server/VelkoraServerEndpoint.h"
#include "server/commands/VelkoraCommandGroups.h"
#include "server/utils/VelkoraLogEventsManager.h"
#include "data/VelkoraSessionRecords.h"
#include "data/VelkoraAppData.h"
#include "data/VelkoraAppSettings.h"
#include "data/VelkoraUserInfo.h"

namespace velkora {

using foundation::Log;
using foundation::Value;

namespace {

std::mutex g_instanceMutex;
std::unique_ptr<VelkoraServerClientAgent>& instanceSlot() {
    static std::unique_ptr<VelkoraServerClientAgent> slot;
    return slot;
}

// A poll cursor only moves forward: a reply numbered below what was already seen must not make the next
// poll fetch old items again. True when it moved.
bool advance(int32_t& cursor, int32_t changeNumber) {
    if (changeNumber <= cursor) return false;
    cursor = changeNumber;
    return true;
}

constexpr int kFailureTimeout = 15;
constexpr int kMessagesTimeout = 5;
constexpr int kLongestTimeout = 15;
constexpr double kLocatedPollInterval = 300;

std::shared_ptr<VelkoraUserInfo> userInfo() { return VelkoraSessionRecords::current().getUserInfo(); }

void replayGetUserData(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) { a.getUserData(r.delegate); }
void replayGetOtherUserData(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
    a.getOtherUserData(r.toUserId, r.delegate);
}

commands::Replays& replays() {
    static commands::Replays table = [] {
        commands::Replays t;
        for (auto add : {commands::addCoreReplays, commands::addAccountReplays, commands::addPeopleReplays,
                         commands::addMessageReplays, commands::addChatRoomReplays, commands::addStickerReplays,
                         commands::addFeedReplays, commands::addQuizReplays, commands::addAppDealReplays})
            add(t);
        return t;
    }();
    return table;
}

}  // namespace

void commands::addCoreReplays(Replays& table) {
    table[VelkoraPendingType::kGetUserData] = replayGetUserData;
    table[VelkoraPendingType::kGetOtherUserData] = replayGetOtherUserData;
}

VelkoraServerClientAgent& VelkoraServerClientAgent::instance() {
    std::lock_guard lock(g_instanceMutex);
    auto& slot = instanceSlot();
    if (!slot) slot.reset(new VelkoraServerClientAgent());
    return *slot;
}

void VelkoraServerClientAgent::resetForTests() {
    std::unique_ptr<VelkoraServerClientAgent> old;
    {
        std::lock_guard lock(g_instanceMutex);
        old = std::move(instanceSlot());
    }
}

VelkoraServerClientAgent::~VelkoraServerClientAgent() {
    if (updateTimer_) updateTimer_->invalidate();
    // Protocol objects still in flight must not call back into a dead agent.
    for (auto& w : workingProtocolsWrappers_) w->setDelegate(nullptr);
}

VelkoraServerClientAgent::Replay VelkoraServerClientAgent::replayFor(int type) {
    auto it = replays().find(type);
    return it == replays().end() ? nullptr : it->second;
}

void VelkoraServerClientAgent::setReplay(int type, Replay replay) { replays()[type] = replay; }

// ---- session ----

void VelkoraServerClientAgent::initSession(std::shared_ptr<services::LocationManager> locationManager) {
    activateLocationManager(std::move(locationManager));
    initSessionInternal();
}

void VelkoraServerClientAgent::activateLocationManager(std::shared_ptr<services::LocationManager> locationManager) {
    useLocation_ = locationManager != nullptr;
    locationManager_ = std::move(locationManager);
}

void VelkoraServerClientAgent::initSessionInternal() {
    if (isSessionStarted_) {
        Log::line("Velkora - session already started");
        return;
    }
    isSessionStarted_ = true;
    auto& session = VelkoraSessionRecords::current();
    if (!session.getUserInfo() && appId_) session.initUserInfo(*appId_);
    auto info = session.getUserInfo();
    auto settingsAppId = VelkoraAppSettings::appId();
    if (!settingsAppId) settingsAppId = appId_;
    if (info && info->userId() && !info->userId()->empty() && info->appId() == settingsAppId) {
        userId_ = info->userId();
        deviceId_ = info->deviceId();
        onUserIdAvailable();
        lastChangeNumber_ = info->messagesChangeNumber();
        lastFeedChangeNumber_ = info->feedChangeNumber();
        lastLikesChangeNumber_ = info->likesChangeNumber();
        updateTimerTick();
        sessionInitialized();
        return;
    }
    Log::line("Velkora (W) - new user Id should be created. userId = %@, user.appId=%@",
              info && info->userId() ? *info->userId() : std::string("(null)"),
              info && info->appId() ? *info->appId() : std::string("(null)"));
    createUserId();
}

void VelkoraServerClientAgent::createUserId() {
    auto w = makeWrapper();
    createUserInFlight_ = w->createUserId(appId_, std::nullopt, VelkoraAppSettings::displayTestUsers());
    if (!createUserInFlight_) dropIfIdle(*w);
}

void VelkoraServerClientAgent::deviceIdCreated(VelkoraProtocolWrapper& w, const std::optional<std::string>& id) {
    createUserInFlight_ = false;
    if (!id || id->empty()) {
        // Without an id the kit would stay dead and its queue lost: try again on the poll timer.
        Log::line("Velkora (E) - createUser answered without a user id");
        urlGotError(w, foundation::makeError("INTERNAL_ERROR", 0));
        return;
    }
    deviceId_ = id;
    userId_ = id;
    if (auto info = userInfo()) {
        info->setDeviceId(id);
        info->setUserId(id);
        auto settingsAppId = VelkoraAppSettings::appId();
        info->setAppId(settingsAppId ? settingsAppId : appId_);
        VelkoraSessionRecords::current().saveUserInfo();
    }
    updateTimerTick();
    sessionInitialized();
    onUserIdAvailable();
}

void VelkoraServerClientAgent::onUserIdAvailable() {
    Log::line("Velkora - *** Your Velkora user token is [ %@ ]", userId_.value_or(""));
    // The host's application delegate hands the token (or the refusal) to the session object.
    ui::Application::instance().registerForRemoteNotificationTypes(
        ui::RemoteNotificationTypeBadge | ui::RemoteNotificationTypeSound | ui::RemoteNotificationTypeAlert);
}

void VelkoraServerClientAgent::sessionInitialized() {
    isSessionInitialized_ = true;
    for (size_t i = 0; i < pendingRequests_.size(); ++i) {
        auto record = pendingRequests_[i];
        if (record->type < VelkoraPendingType::kFirst || record->type > VelkoraPendingType::kLast) continue;
        if (Replay replay = replayFor(record->type)) replay(*this, *record);
    }
    pendingRequests_.clear();
}

// ---- delegates and topics ----

void VelkoraServerClientAgent::setMessagesDelegate(std::weak_ptr<VelkoraMessagesDelegate> d) {
    messagesDelegate_ = std::move(d);
    doUpdate();
}

void VelkoraServerClientAgent::setFeedDelegate(std::weak_ptr<VelkoraMessagesDelegate> d) {
    feedDelegate_ = std::move(d);
    doUpdate();
}

void VelkoraServerClientAgent::setTopicsDelegate(std::weak_ptr<VelkoraMessagesDelegate> d) {
    topicsDelegate_ = std::move(d);
    if (topicsDelegate_.lock() && !enteredTopicObserver_) {
        enteredTopicObserver_ = foundation::NotificationObserver(
            "VelkoraEnteredTopic", nullptr, [this](const foundation::Notification& n) { didEnterTopic(n); });
        exitedTopicObserver_ = foundation::NotificationObserver(
            "VelkoraExitedTopic", nullptr, [this](const foundation::Notification& n) { didExitTopic(n); });
    }
    doUpdate();
}

void VelkoraServerClientAgent::didEnterTopic(const foundation::Notification& n) {
    withinTopic_ = true;
    topicId_ = n.userInfo["id"].int32Or(0);
    topicChangeNumber_ = n.userInfo["changeNumber"].int32Or(0);
}

void VelkoraServerClientAgent::didExitTopic(const foundation::Notification&) { withinTopic_ = false; }

void VelkoraServerClientAgent::setMessagesChangeNumber(int32_t changeNumber) {
    lastChangeNumber_ = changeNumber;
    if (auto info = userInfo()) {
        info->setMessagesChangeNumber(changeNumber);
        VelkoraSessionRecords::current().saveUserInfo();
    }
}

// ---- the poll ----

void VelkoraServerClientAgent::doUpdate() {
    VelkoraUpdateRequest r;
    auto now = foundation::RunLoop::main().now();
    if (useLocation_ && (!lastUpdateDateTime_ || now - *lastUpdateDateTime_ > kLocatedPollInterval) &&
        locationManager_) {
        if (auto location = currentCoordinate(locationManager_); location && location->isFix()) {
            lastUpdateDateTime_ = now;
            r.longitude = location->longitude;
            r.latitude = location->latitude;
        }
    }
    r.appId = appId_;
    r.deviceId = deviceId_;
    r.userId = userId_;
    r.wantMessages = messagesDelegate_.lock() != nullptr;
    r.changeNumber = lastChangeNumber_;
    r.wantFeed = feedDelegate_.lock() != nullptr;
    r.feedChangeNumber = lastFeedChangeNumber_;
    r.likesChangeNumber = lastLikesChangeNumber_;
    r.wantTopics = topicsDelegate_.lock() != nullptr && !withinTopic_;
    r.topicsChangeNumber = lastTopicsChangeNumber_;
    r.wantTopic = withinTopic_;
    r.topicId = topicId_;
    r.topicChangeNumber = topicChangeNumber_;
    auto w = makeWrapper();
    if (!w->update(r)) dropIfIdle(*w);
}

void VelkoraServerClientAgent::updateTimerTick() {
    if (paused_) return;
    if (updateTimer_) updateTimer_->invalidate();
    updateTimer_.reset();
    // A session still waiting for its user id asks for one again instead of polling without it.
    if (isSessionStarted_ && !isSessionInitialized_ && (!userId_ || userId_->empty())) {
        if (!createUserInFlight_) createUserId();
        return;
    }
    doUpdate();
}

void VelkoraServerClientAgent::pause() {
    if (updateTimer_) updateTimer_->invalidate();
    updateTimer_.reset();
    paused_ = true;
}

void VelkoraServerClientAgent::resume() {
    paused_ = false;
    updateTimerTick();
}

void VelkoraServerClientAgent::endSession() {
    if (updateTimer_ && updateTimer_->isValid()) updateTimer_->invalidate();
}

void VelkoraServerClientAgent::armUpdateTimer(double seconds) {
    if (updateTimer_) return;
    updateTimer_ = foundation::RunLoop::main().schedule(seconds, false, [](foundation::Timer&) {
        VelkoraServerClientAgent::instance().updateTimerTick();
    });
}

void VelkoraServerClientAgent::saveCursors(int32_t* messages, int32_t* feed, int32_t* likes) {
    auto info = userInfo();
    if (!info) return;
    if (messages) info->setMessagesChangeNumber(*messages);
    if (feed) info->setFeedChangeNumber(*feed);
    if (likes) info->setLikesChangeNumber(*likes);
    VelkoraSessionRecords::current().saveUserInfo();
}

void VelkoraServerClientAgent::updated(VelkoraProtocolWrapper&, const std::optional<std::vector<VelkoraMessagePtr>>& messages,
                                       int32_t changeNumber, int32_t numFollowers, int32_t score, int32_t coins) {
    if (auto user = VelkoraSessionRecords::current().velkoraUser()) {
        bool followers = user->numFollowers() != numFollowers, scored = user->score() != score,
             coined = user->coins() != coins;
        user->setNumFollowers(numFollowers);
        user->setScore(score);
        user->setCoins(coins);
        auto& center = foundation::NotificationCenter::defaultCenter();
        if (followers) center.post("VelkoraChangedFollowingNotification");
        if (scored) center.post("VelkoraChangedScoreNotification");
        if (coined) center.post("VelkoraChangedCoinsNotification");
    }
    auto delegate = messagesDelegate_.lock();
    if (messages) {
        if (advance(lastChangeNumber_, changeNumber)) saveCursors(&lastChangeNumber_, nullptr, nullptr);
        if (delegate && delegate->gotMessages)
            delegate->gotMessages(messages);
        else
            Log::line("Velkora - WARNING: messages received but no delegate assigned");
        lastUpdateTimeout_ = kMessagesTimeout;
    } else {
        lastUpdateTimeout_ *= 2;
        if (lastUpdateTimeout_ > kLongestTimeout || firstUpdate_) lastUpdateTimeout_ = kLongestTimeout;
        if (delegate && delegate->gotMessages) delegate->gotMessages(std::nullopt);
    }
    armUpdateTimer(lastUpdateTimeout_);
    firstUpdate_ = false;
}

void VelkoraServerClientAgent::feedUpdated(VelkoraProtocolWrapper&, const std::vector<VelkoraFeedMessagePtr>& items,
                                           int32_t changeNumber) {
    if (advance(lastFeedChangeNumber_, changeNumber)) saveCursors(nullptr, &lastFeedChangeNumber_, nullptr);
    auto delegate = feedDelegate_.lock();
    if (delegate && delegate->gotMessages)
        delegate->gotMessages(std::vector<VelkoraMessagePtr>(items.begin(), items.end()));
    else
        Log::line("Velkora - WARNING: feed messages received but no delegate assigned");
    armUpdateTimer(lastUpdateTimeout_);
}

void VelkoraServerClientAgent::likesUpdated(VelkoraProtocolWrapper&, const std::vector<VelkoraLikeObjectPtr>& likes,
                                            int32_t changeNumber) {
    // The service answers "likes": [] on every poll that asks for likes. Such a list says nothing new:
    // it neither moves the cursor (which would fetch old likes again) nor reaches the feed.
    if (!likes.empty()) {
        if (advance(lastLikesChangeNumber_, changeNumber)) saveCursors(nullptr, nullptr, &lastLikesChangeNumber_);
        auto delegate = feedDelegate_.lock();
        if (delegate && delegate->gotLikes)
            delegate->gotLikes(likes);
        else
            Log::line("Velkora - WARNING: feed messages received but no delegate assigned");
    }
    armUpdateTimer(lastUpdateTimeout_);
}

void VelkoraServerClientAgent::topicsUpdated(VelkoraProtocolWrapper&, const std::vector<VelkoraChatRoomsTopicPtr>& topics,
                                             int32_t changeNumber) {
    if (changeNumber >= 0) lastTopicsChangeNumber_ = changeNumber;
    auto delegate = topicsDelegate_.lock();
    if (delegate && delegate->gotTopics)
        delegate->gotTopics(topics);
    else
        Log::line("Velkora - WARNING:  topics messages received but no delegate assigned");
    armUpdateTimer(lastUpdateTimeout_);
}

void VelkoraServerClientAgent::topicUpdated(VelkoraProtocolWrapper&, const VelkoraChatRoomsTopicPtr& topic) {
    if (topic) {
        // A reply to a poll sent before the screen moved on names the old topic: its change number is
        // not the followed topic's.
        if (withinTopic_ && topic->topicId() == topicId_) topicChangeNumber_ = topic->changeNumber();
        auto delegate = topicsDelegate_.lock();
        if (delegate && delegate->gotTopic)
            delegate->gotTopic(topic);
        else
            Log::line("Velkora - WARNING:  topic message received but no delegate assigned");
    }
    armUpdateTimer(lastUpdateTimeout_);
}

void VelkoraServerClientAgent::updateAnswered(VelkoraProtocolWrapper&) {
    foundation::NotificationCenter::defaultCenter().post(kUpdatePollAnsweredNotification, this);
}

void VelkoraServerClientAgent::reportEventNow(const std::string& type, const std::string& message) {
    auto w = makeWrapper();
    if (!w->reportEvent(appId_, deviceId_, userId_, type, message)) dropIfIdle(*w);
}

// ---- protocol objects ----

std::shared_ptr<VelkoraProtocolWrapper> VelkoraServerClientAgent::makeWrapper(VelkoraCallback caller) {
    auto w = VelkoraProtocolWrapper::create(this);
    w->setUserDelegate(std::move(caller));
    addWorkingProtocolWrapper(w);
    return w;
}

VelkoraClientPendingRequestPtr VelkoraServerClientAgent::queue(int type, VelkoraCallback caller) {
    auto record = std::make_shared<VelkoraClientPendingRequest>();
    record->type = type;
    record->delegate = std::move(caller);
    pendingRequests_.push_back(record);
    return record;
}

void VelkoraServerClientAgent::addWorkingProtocolWrapper(const std::shared_ptr<VelkoraProtocolWrapper>& w) {
    workingProtocolsWrappers_.push_back(w);
}

void VelkoraServerClientAgent::dropIfIdle(VelkoraProtocolWrapper& w) {
    // An object that sent nothing has nothing left to do; one whose diagnostic report is on its way
    // stays until that report is answered.
    if (!w.fetcher(VelkoraCommand::ReportError)) removeWorkingProtocolWrapper(w);
}

void VelkoraServerClientAgent::removeWorkingProtocolWrapper(VelkoraProtocolWrapper& w) {
    std::erase_if(workingProtocolsWrappers_, [&](const auto& p) { return p.get() == &w; });
}

void VelkoraServerClientAgent::performUserSelector(VelkoraProtocolWrapper& w, const Value& answer) {
    unreachableSaid_ = false;
    auto keep = w.shared_from_this();
    w.userDelegate().answer(answer);
    removeWorkingProtocolWrapper(w);
}

void VelkoraServerClientAgent::performUserErrorSelector(VelkoraProtocolWrapper& w, const foundation::ErrorPtr& error) {
    auto keep = w.shared_from_this();
    w.userDelegate().fail(error);
    removeWorkingProtocolWrapper(w);
}

void VelkoraServerClientAgent::clearUserDelegate(const void* object) {
    if (!object) return;
    for (auto& w : workingProtocolsWrappers_)
        if (w->userDelegate().delegate() == object) w->userDelegate().clearDelegate();
    for (auto& r : pendingRequests_)
        if (r->delegate.delegate() == object) r->delegate.clearDelegate();
}

void VelkoraServerClientAgent::urlGotError(VelkoraProtocolWrapper& w, const foundation::ErrorPtr& error) {
    Log::line("Velkora (E) - Got error: %@", error ? error->domain : std::string());
    if (!unreachableSaid_ && cannotReachService(error)) {
        // A host without a service, or with the wrong one, hears it once rather than on every retry.
        unreachableSaid_ = true;
        Log::line("Velkora (E) - the service at %@ cannot be reached (%@)%@; the kit asks again every %d seconds "
                  "and completes its start when the service answers. Name the service with \"VelkoraServer\" or "
                  "VELKORA_SERVER, its certificate authority with \"VelkoraServerCAFile\" or VELKORA_SERVER_CA",
                  VelkoraServerEndpoint::url(), error->userInfo["description"].toText().value_or(error->domain),
                  VelkoraServerEndpoint::isConfigured() ? "" : ", and none is configured", kFailureTimeout);
    }
    if (w.command() == VelkoraCommand::CreateUser) createUserInFlight_ = false;
    relationChangeFailed(w);
    newScoreFailed(w);
    // The usage events this poll carried go back in front of anything logged since.
    if (!w.loggedEvents().empty()) VelkoraLogEventsManager::instance().putBackLoggedEvents(w.takeLoggedEvents());
    performUserErrorSelector(w, error);
    if (!updateTimer_) {
        lastUpdateTimeout_ = kFailureTimeout;
        armUpdateTimer(kFailureTimeout);
    }
}

bool VelkoraServerClientAgent::cannotReachService(const foundation::ErrorPtr& error) {
    if (!error || error->domain != foundation::kUrlConnectionErrorDomain) return false;
    switch (error->code) {
    case foundation::kUrlErrorTimedOut:
    case foundation::kUrlErrorCannotFindHost:
    case foundation::kUrlErrorCannotConnectToHost:
    case foundation::kUrlErrorNotConnectedToInternet:
    case foundation::kUrlErrorSecureConnectionFailed:
    case foundation::kUrlErrorServerCertificateUntrusted:
        return true;
    default:
        return false;
    }
}

// ---- server clock ----

double VelkoraServerClientAgent::getServerTimeDiff(foundation::Date date) const {
    return foundation::RunLoop::main().now() + clientServerTimeDifference_ - date;
}

foundation::Date VelkoraServerClientAgent::getDateWithServerDiff(foundation::Date date) const {
    return date - clientServerTimeDifference_;
}

// ---- commands ----

void VelkoraServerClientAgent::getAppData(VelkoraCallback caller) {
    auto w = makeWrapper(std::move(caller));
    auto record = VelkoraSessionRecords::current().getAppData();
    int32_t changeNumber = 0;
    if (record) {
        if (record->buildVersion() != std::optional<std::string>(kVelkoraBuild)) record->setChangeNumber(0);
        changeNumber = record->changeNumber();
    }
    if (!w->getAppData(appId_, changeNumber)) dropIfIdle(*w);
}

void VelkoraServerClientAgent::gotAppData(VelkoraProtocolWrapper& w, const std::shared_ptr<VelkoraAppData>& appData) {
    if (appData) {
        VelkoraSessionRecords::current().setAppData(appData);
        VelkoraSessionRecords::current().saveAppData();
    }
    performUserSelector(w, Value::object(appData));
}

void VelkoraServerClientAgent::getUserData(VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kGetUserData, std::move(caller),
                [](VelkoraClientPendingRequest&) {},
                [&](VelkoraProtocolWrapper& w) { return w.getUserData(appId_, userId_); });
}

void VelkoraServerClientAgent::answerUserOrFail(VelkoraProtocolWrapper& w, const VelkoraUserPtr& user) {
    // A caller without an error function is answered with no user, as it always was.
    if (!user && w.userDelegate().hasErrorSelector()) {
        commands::replyLacks(w, *this);
        return;
    }
    performUserSelector(w, Value::object(user));
}

void VelkoraServerClientAgent::gotUserData(VelkoraProtocolWrapper& w, const VelkoraUserPtr& user) {
    answerUserOrFail(w, user);
}

void VelkoraServerClientAgent::getOtherUserData(const OptString& otherUserId, VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kGetOtherUserData, std::move(caller),
                [&](VelkoraClientPendingRequest& r) { r.toUserId = otherUserId; },
                [&](VelkoraProtocolWrapper& w) { return w.getOtherUserData(appId_, userId_, appId_, otherUserId); });
}

void VelkoraServerClientAgent::gotOtherUserData(VelkoraProtocolWrapper& w, const VelkoraUserPtr& user) {
    answerUserOrFail(w, user);
}

}  // namespace velkora
