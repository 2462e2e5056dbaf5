// The session object's duties toward the feature screens: the host's style sheet, the activation
// image, the preloaded features and their badges.
#include <map>
#include <vector>

#include "data/VelkoraChatRoomsTopicsRepository.h"
#include "data/VelkoraChatsRepository.h"
#include "data/VelkoraFeedMessagesRepository.h"
#include "data/VelkoraQuizzesRepository.h"
#include "data/VelkoraSNFriendsRepository.h"
#include "data/VelkoraUsersRepository.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraFeatureRegistry.h"
#include "shell/VelkoraStyleSheetCustomizer.h"

namespace velkora {

using foundation::Log;
using foundation::Notification;
using foundation::NotificationObserver;
using foundation::Value;

struct VelkoraAgentInternal::FeaturePreloads {
    struct Entry {
        bool wasPreloaded = false;
        std::function<void()> completionBlock;
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
    entry.completionBlock = std::move(completion);
    entry.wasPreloaded = true;
}

bool VelkoraAgentInternal::isFeaturePreloaded(int32_t featureId) const {
    if (!preloads_) return false;
    auto it = preloads_->entries.find(featureId);
    return it != preloads_->entries.end() && it->second.wasPreloaded;
}

void VelkoraAgentInternal::preloadFeature(int32_t featureId, std::function<void()> completion) {
    markFeatureForPreload(featureId, std::move(completion));
    auto feature = preloadedFeature(featureId);
    if (!feature) {
        Log::line("Velkora - Pre-load for feature '%@' is not available",
                  VelkoraFeatureRegistry::featureNameById(static_cast<uint32_t>(featureId)).value_or(""));
        return;
    }
    if (feature->finished) {
        auto& entry = preloads().entries[featureId];
        if (auto block = std::move(entry.completionBlock)) {
            entry.completionBlock = nullptr;
            block();
        }
        return;
    }
    auto& entry = preloads().entries[featureId];
    if (entry.loadObserver) return; // already waiting for the list
    const char* loadName = feature->loadNotification;
    std::vector<const char*> updates = feature->updateNotifications;
    const void* repository = feature->repository;
    entry.loadObserver = NotificationObserver(
        loadName, repository, [this, featureId, loadName, updates, repository](const Notification&) {
            featureLoaded(featureId, loadName);
            auto& loaded = preloads().entries[featureId];
            if (!loaded.updateObservers.empty()) return;
            for (const char* name : updates)
                loaded.updateObservers.emplace_back(name, repository, [this, featureId](const Notification& n) {
                    if (featureId == 1 && isEmptyPoll(n)) return;
                    sendBadgeNumberChangeNotificationForFeature(static_cast<uint32_t>(featureId));
                });
        });
}

void VelkoraAgentInternal::featureLoaded(int32_t featureId, const char* notificationName) {
    auto& entry = preloads().entries[featureId];
    if (auto block = std::move(entry.completionBlock)) {
        entry.completionBlock = nullptr;
        block();
    }
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

void VelkoraAgentInternal::sendBadgeNumberChangeNotificationForFeature(uint32_t featureId) {
    foundation::Dictionary info{{"tabId", Value(static_cast<unsigned long long>(featureId))}};
    if (auto name = VelkoraFeatureRegistry::featureNameById(featureId)) info.set("tabName", Value(*name));
    foundation::NotificationCenter::defaultCenter().post("VelkoraBadgeNumberChangedNotification", nullptr,
                                                         Value(std::move(info)));
}

} // namespace velkora
