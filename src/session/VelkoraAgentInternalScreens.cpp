// The session object's duties toward the feature screens: the host's style sheet, the activation
// image, the preloaded features and their badges.
#include <map>
#include <vector>

#include "data/VelkoraFeatureRegistry.h"
#include "data/VelkoraSNFriendsRepository.h"
#include "data/VelkoraUserInfo.h"
#include "data/VelkoraUsersRepository.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "server/VelkoraServerApi.h"
#include "session/VelkoraAgentInternalDelegates.h"
#include "session/VelkoraChatRoomsTopicsRepository.h"
#include "session/VelkoraChatsRepository.h"
#include "session/VelkoraFeedMessagesRepository.h"
#include "session/VelkoraKitObjects.h"
#include "session/VelkoraQuizzesRepository.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "social/VelkoraUsersFetcher.h"

namespace velkora {

using foundation::Log;
using foundation::Notification;
using foundation::NotificationObserver;
using foundation::Value;

struct VelkoraAgentInternal::FeaturePreloads {
    struct Entry {
        VelkoraFeatureDetails details;
        NotificationObserver loadObserver;
        std::vector<NotificationObserver> updateObservers;
    };
    std::map<int32_t, Entry> entries;
};

namespace {

// The features whose data a repository loads: what it posts once its list is there, and what it posts
// when its badge may have changed.
struct PreloadedFeature {
    int32_t featureId;
    const void* repository;
    bool finished;
    const char* loadNotification;
    std::vector<const char*> updateNotifications;
};

std::optional<PreloadedFeature> preloadedFeature(int32_t featureId) {
    switch (featureId) {
    case 0: {
        auto& r = VelkoraFeedMessagesRepository::instance();
        return PreloadedFeature{0,
                                &r,
                                r.didFinishLoading(),
                                VelkoraFeedMessagesRepository::kGotFeedNotification,
                                {VelkoraFeedMessagesRepository::kNewFeedMessagesNotification,
                                 VelkoraFeedMessagesRepository::kFeedMessagesViewedNotification,
                                 VelkoraFeedMessagesRepository::kGotFeedNotification}};
    }
    case 1: {
        auto& r = VelkoraChatsRepository::instance();
        return PreloadedFeature{1,
                                &r,
                                r.didFinishLoading(),
                                VelkoraChatsRepository::kGotChatsNotification,
                                {VelkoraChatsRepository::kNewMessagesNotification,
                                 VelkoraChatsRepository::kMessagesViewedNotification,
                                 VelkoraChatsRepository::kGotChatsNotification}};
    }
    case 2: {
        auto& r = VelkoraChatRoomsTopicsRepository::instance();
        return PreloadedFeature{2,
                                &r,
                                r.didFinishLoading(),
                                VelkoraChatRoomsTopicsRepository::kGotTopicsNotification,
                                {VelkoraChatRoomsTopicsRepository::kGotTopicsNotification,
                                 VelkoraChatRoomsTopicsRepository::kNewTopicsNotification,
                                 VelkoraChatRoomsTopicsRepository::kTopicCommentsViewedNotification}};
    }
    case 103: {
        auto& r = VelkoraQuizzesRepository::instance();
        return PreloadedFeature{103, &r, r.didFinishLoading(), VelkoraQuizzesRepository::kGotQuizzesNotification, {}};
    }
    default:
        return std::nullopt;
    }
}

// A poll that brought nothing for anyone changes no inbox badge.
bool isEmptyPoll(const Notification& n) {
    if (n.name != VelkoraChatsRepository::kNewMessagesNotification) return false;
    const Value* newUsers = n.userInfo.get("newUsers");
    if (!newUsers || newUsers->toInt64() != std::optional<int64_t>(0)) return false;
    auto empty = [&](const char* key) {
        const Value* v = n.userInfo.get(key);
        return !v || v->isNull() || (v->asArray() && v->asArray()->empty());
    };
    return empty("messages") && empty("users");
}

} // namespace

void VelkoraAgentInternal::setCustomStyleSheet(std::shared_ptr<VelkoraStyleSheetProtocol> sheet) {
    VelkoraStyleSheetCustomizer::instance().setCustomStyleSheet(std::move(sheet));
}

std::string VelkoraAgentInternal::getActivationButtonImageString() const {
    switch (activationButtonType_) {
    case 1:
        return "VelImg_ribbonicon2";
    case 2:
        return "VelImg_ribbonicon3";
    case 3:
        return "VelImg_ribbonicon4";
    default:
        return "VelImg_ribbonicon1";
    }
}

VelkoraAgentInternal::FeaturePreloads& VelkoraAgentInternal::preloads() {
    if (!preloads_) preloads_ = std::make_shared<FeaturePreloads>();
    return *preloads_;
}

void VelkoraAgentInternal::markFeatureForPreload(int32_t featureId, std::function<void()> completion) {
    if (!VelkoraFeatureRegistry::featureNameById(static_cast<uint32_t>(featureId))) return;
    auto& entry = preloads().entries[featureId];
    if (entry.details.name().empty())
        entry.details = VelkoraFeatureDetails(
            featureId, *VelkoraFeatureRegistry::featureNameById(static_cast<uint32_t>(featureId)));
    entry.details.setCompletionBlock(std::move(completion));
    entry.details.setWasPreloaded(true);
}

bool VelkoraAgentInternal::isFeaturePreloaded(int32_t featureId) const {
    if (!preloads_) return false;
    auto it = preloads_->entries.find(featureId);
    return it != preloads_->entries.end() && it->second.details.wasPreloaded();
}

void VelkoraAgentInternal::preloadFeature(int32_t featureId, std::function<void()> completion) {
    markFeatureForPreload(featureId, std::move(completion));
    if (featureId == 4) {
        // The radar's badge is the nearby users' count; their reply does not run the block.
        VelkoraServerApi::getNearbyUsers(
            50000, VelkoraCallback::make(delegates_, [this](const Value& users) { gotNearbyUsers(users); }));
        return;
    }
    auto feature = preloadedFeature(featureId);
    if (!feature) {
        Log::line("Velkora - Pre-load for feature '%@' is not available",
                  VelkoraFeatureRegistry::featureNameById(static_cast<uint32_t>(featureId)).value_or(""));
        return;
    }
    if (feature->finished) {
        auto& entry = preloads().entries[featureId];
        if (auto block = entry.details.takeCompletionBlock()) block();
        // The list came before anyone asked: its badge is announced from now on all the same.
        observeBadgeUpdates(featureId, feature->updateNotifications, feature->repository);
        return;
    }
    auto& entry = preloads().entries[featureId];
    if (entry.loadObserver) return; // already waiting for the list
    const char* loadName = feature->loadNotification;
    std::vector<const char*> updates = feature->updateNotifications;
    const void* repository = feature->repository;
    entry.loadObserver = NotificationObserver(loadName, repository,
                                              [this, featureId, loadName, updates, repository](const Notification&) {
                                                  featureLoaded(featureId, loadName);
                                                  observeBadgeUpdates(featureId, updates, repository);
                                              });
}

void VelkoraAgentInternal::observeBadgeUpdates(int32_t featureId, const std::vector<const char*>& names,
                                               const void* repository) {
    auto& entry = preloads().entries[featureId];
    if (!entry.updateObservers.empty()) return;
    for (const char* name : names)
        entry.updateObservers.emplace_back(name, repository, [this, featureId](const Notification& n) {
            if (featureId == 1 && isEmptyPoll(n)) return;
            sendBadgeNumberChangeNotificationForFeature(static_cast<uint32_t>(featureId));
        });
}

void VelkoraAgentInternal::featureLoaded(int32_t featureId, const char* notificationName) {
    auto& entry = preloads().entries[featureId];
    if (auto block = entry.details.takeCompletionBlock()) block();
    // The one-shot wait for the list ends here; the handler running now stays alive until it returns.
    if (notificationName) foundation::NotificationCenter::defaultCenter().removeObserver(entry.loadObserver.release());
    sendBadgeNumberChangeNotificationForFeature(static_cast<uint32_t>(featureId));
}

int32_t VelkoraAgentInternal::getFeatureBadgeNumber(uint32_t featureId) const {
    if (!isFeaturePreloaded(static_cast<int32_t>(featureId))) return 0;
    switch (featureId) {
    case 0:
        return VelkoraFeedMessagesRepository::instance().numNewFeedMessages();
    case 1:
        return VelkoraChatsRepository::instance().numNewMessageThreads();
    case 2:
        return VelkoraChatRoomsTopicsRepository::instance().numUpdatedTopicThreads();
    case 3:
        return VelkoraSNFriendsRepository::instance().totalNonFollowedFriendsNumber();
    case 4:
        return static_cast<int32_t>(VelkoraUsersRepository::instance().nearbyUsers().size());
    default:
        return 0;
    }
}

void VelkoraAgentInternal::implicitPreloadFeatures() {
    markFeatureForPreload(1, nullptr);
    markFeatureForPreload(0, nullptr);
    markFeatureForPreload(2, nullptr);
}

int32_t VelkoraAgentInternal::getTotalBagdes() const {
    if (!velkoraVC_) return 0;
    int32_t total = 0;
    for (const auto& [commandId, badge] : velkoraVC_->panelCommandBadges())
        if (commandId != "radar") total += badge;
    return total;
}

void VelkoraAgentInternal::updateBadgeData() {
    VelkoraServerApi::getNearbyUsers(
        50000, VelkoraCallback::make(delegates_, [this](const Value& users) { gotNearbyUsers(users); }));
    auto& friends = VelkoraSNFriendsRepository::instance();
    const bool facebook = userInfo_ && userInfo_->isFacebookConnected();
    const bool twitter = userInfo_ && userInfo_->isTwitterConnected();
    if (!facebookFetcher_) {
        facebookFetcher_ = VelkoraSNUserFetcher::create();
        facebookFetcher_->setSocialNetwork(0);
    }
    friends.setFacebookFriends({});
    if (facebook) {
        facebookFetcher_->users().clear();
        facebookFetcher_->loadUsersWithDelegate(delegates_);
    }
    if (!twitterFetcher_) {
        twitterFetcher_ = VelkoraSNUserFetcher::create();
        twitterFetcher_->setSocialNetwork(1);
    }
    friends.setTwitterFriends({});
    if (twitter && !fetchingTwitterFriends_) {
        twitterFetcher_->users().clear();
        fetchingTwitterFriends_ = true;
        twitterFetcher_->loadUsersWithDelegate(delegates_);
        return;
    }
    // The sidebar refreshes its friends count with the emptied lists.
    if (!facebook) friendsArrived(nullptr);
}

void VelkoraAgentInternal::Delegates::handleNewData(VelkoraUsersFetcher& fetcher) {
    owner.handleNewData(fetcher);
}

void VelkoraAgentInternal::handleNewData(VelkoraUsersFetcher& fetcher) {
    friendsArrived(&fetcher);
}

void VelkoraAgentInternal::friendsArrived(VelkoraUsersFetcher* fetcher) {
    auto& friends = VelkoraSNFriendsRepository::instance();
    if (fetcher && fetcher == facebookFetcher_.get()) {
        auto list = friends.facebookFriends();
        list.insert(list.end(), fetcher->getUsers().begin(), fetcher->getUsers().end());
        friends.setFacebookFriends(std::move(list));
    } else if (fetcher && fetcher == twitterFetcher_.get()) {
        auto list = friends.twitterFriends();
        list.insert(list.end(), fetcher->getUsers().begin(), fetcher->getUsers().end());
        friends.setTwitterFriends(std::move(list));
        fetchingTwitterFriends_ = false;
    }
    if (velkoraVC_) velkoraVC_->updateWithSNFriendsCount();
}

void VelkoraAgentInternal::sendBadgeNumberChangeNotificationForFeature(uint32_t featureId) {
    foundation::Dictionary info{{"tabId", Value(static_cast<unsigned long long>(featureId))}};
    if (auto name = VelkoraFeatureRegistry::featureNameById(featureId)) info.set("tabName", Value(*name));
    foundation::NotificationCenter::defaultCenter().post("VelkoraBadgeNumberChangedNotification", nullptr,
                                                         Value(std::move(info)));
}

} // namespace velkora
