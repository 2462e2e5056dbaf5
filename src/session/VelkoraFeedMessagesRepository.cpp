#include "session/VelkoraFeedMessagesRepository.h"

#include <algorithm>

#include "data/VelkoraSessionRecords.h"
#include "data/VelkoraUserInfo.h"
#include "platform/foundation/NotificationCenter.h"
#include "server/VelkoraProtocolWrapper.h"
#include "server/VelkoraServerApi.h"

namespace velkora {

using foundation::Dictionary;
using foundation::Value;

namespace {

constexpr size_t kInitialCapacity = 100;

} // namespace

VelkoraFeedMessagesRepository::VelkoraFeedMessagesRepository() {
    gotMessages = [this](const std::optional<std::vector<VelkoraMessagePtr>>& m) { mergeFeedMessages(m); };
    gotLikes = [this](const std::vector<VelkoraLikeObjectPtr>& likes) { mergeLikes(likes); };
}

void VelkoraFeedMessagesRepository::resetForTests() {
    VelkoraProtocolWrapper::setLikeObjectProvider({});
    VelkoraSharedRepository<VelkoraFeedMessagesRepository>::resetForTests();
}

void VelkoraFeedMessagesRepository::didCreate() {
    // Like objects the replies name are the ones held here, so a reply updates what the feed shows.
    std::weak_ptr<VelkoraFeedMessagesRepository> weak = weak_from_this();
    VelkoraProtocolWrapper::setLikeObjectProvider([weak](int32_t objectId) -> VelkoraLikeObjectPtr {
        auto self = weak.lock();
        return self ? self->likeObjectWithId(objectId) : nullptr;
    });
    requestFeed();
}

void VelkoraFeedMessagesRepository::requestFeed() {
    // A failed request leaves the repository not loaded, and the poll without the feed, until the next reset.
    VelkoraServerApi::getFeed(
        VelkoraCallback::make(shared_from_this(), [this](const Value& reply) { gotFirstFeedMessages(reply); }));
}

void VelkoraFeedMessagesRepository::gotFirstFeedMessages(const Value& reply) {
    gotFirstFeedMessages(objectsOf<VelkoraFeedMessage>(reply.at(0)), objectsOf<VelkoraLikeObject>(reply.at(1)));
}

void VelkoraFeedMessagesRepository::gotFirstFeedMessages(const std::vector<VelkoraFeedMessagePtr>& items,
                                                         const std::vector<VelkoraLikeObjectPtr>& likes) {
    feedMessages_.clear();
    likeObjects_ = LikeObjects(kInitialCapacity);
    heldFeedMessageIds_ = std::unordered_set<int32_t>(kInitialCapacity);
    holding_ = true;
    for (const auto& like : likes) {
        if (like) likeObjects_[like->objectId()] = like;
    }
    for (const auto& item : items) {
        if (!item) continue;
        feedMessages_.push_back(item);
        heldFeedMessageIds_.insert(item->messageId());
    }
    VelkoraServerApi::setFeedDelegate(weak_from_this());
    didFinishLoading_ = true;
    foundation::NotificationCenter::defaultCenter().post(kGotFeedNotification, this);
}

void VelkoraFeedMessagesRepository::mergeFeedMessages(const std::optional<std::vector<VelkoraMessagePtr>>& messages) {
    if (!messages) return postNewFeedMessages(0);
    if (holding_) {
        // From the last to the first, each to the front: the batch keeps its own order at the top.
        for (auto it = messages->rbegin(); it != messages->rend(); ++it) {
            auto item = std::dynamic_pointer_cast<VelkoraFeedMessage>(*it);
            if (!item || !heldFeedMessageIds_.insert(item->messageId()).second) continue;
            feedMessages_.push_front(std::move(item));
        }
    }
    postNewFeedMessages(messages->size());
}

void VelkoraFeedMessagesRepository::mergeLikes(const std::vector<VelkoraLikeObjectPtr>& likes) {
    if (holding_) {
        // A held like object was already updated in place by the reply's reader.
        for (const auto& like : likes) {
            if (like) likeObjects_.try_emplace(like->objectId(), like);
        }
        // The reader makes the slot of a like before it reads it, and refuses a video without a preview
        // after: that slot goes, so the like is neither listed nor counted as new.
        std::erase_if(likeObjects_, [](const auto& entry) {
            const auto& like = entry.second;
            return !like || (like->type() == VelkoraLikeObject::VIDEO && !like->calculatedImageUrl());
        });
    }
    postNewFeedMessages(likes.size());
}

void VelkoraFeedMessagesRepository::postNewFeedMessages(size_t count) {
    foundation::NotificationCenter::defaultCenter().post(kNewFeedMessagesNotification, this,
                                                         Value(Dictionary{{"count", count}}));
}

VelkoraLikeObjectPtr VelkoraFeedMessagesRepository::likeObjectWithId(int32_t objectId) {
    if (!holding_) return std::make_shared<VelkoraLikeObject>();
    auto& slot = likeObjects_[objectId];
    if (!slot) slot = std::make_shared<VelkoraLikeObject>();
    return slot;
}

int32_t VelkoraFeedMessagesRepository::getMaxFeedMessageNumber() const {
    int32_t highest = 0;
    for (const auto& item : feedMessages_)
        highest = std::max(highest, item->resendId());
    return highest;
}

int32_t VelkoraFeedMessagesRepository::getMaxLikeObjectChangeNumber() const {
    int32_t highest = 0;
    for (const auto& [id, like] : likeObjects_)
        highest = std::max(highest, like->changeNumber());
    return highest;
}

int32_t VelkoraFeedMessagesRepository::numNewFeedMessages() const {
    auto info = VelkoraSessionRecords::current().getUserInfo();
    const int32_t feedMark = info ? info->lastViewedFeedMessageNumber() : 0;
    const int32_t likeMark = info ? info->lastViewedLikeNumber() : 0;
    int32_t n = 0;
    for (const auto& item : feedMessages_)
        n += item->resendId() > feedMark;
    for (const auto& [id, like] : likeObjects_)
        n += like->changeNumber() > likeMark;
    return n;
}

void VelkoraFeedMessagesRepository::setFeedMessagesWereViewed() {
    if (auto info = VelkoraSessionRecords::current().getUserInfo()) {
        info->setLastViewedFeedMessageNumber(getMaxFeedMessageNumber());
        info->setLastViewedLikeNumber(getMaxLikeObjectChangeNumber());
        VelkoraSessionRecords::current().saveUserInfo();
    }
    foundation::NotificationCenter::defaultCenter().post(kFeedMessagesViewedNotification, this);
}

void VelkoraFeedMessagesRepository::resetRepository() {
    VelkoraServerApi::setFeedDelegate({});
    feedMessages_.clear();
    likeObjects_.clear();
    heldFeedMessageIds_.clear();
    holding_ = false;
    didFinishLoading_ = false;
    requestFeed();
}

} // namespace velkora
