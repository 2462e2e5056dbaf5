// The activity feed cache: the feed items and the like activities, merged with what each poll brings and
// counted against the feed marks of the local user record; also the one like object kept per id.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "data/VelkoraFeedMessage.h"
#include "data/VelkoraLikeObject.h"
#include "platform/foundation/Value.h"
#include "server/VelkoraMessagesDelegate.h"
#include "session/VelkoraSharedRepository.h"

namespace velkora {

class VelkoraFeedMessagesRepository final : public VelkoraMessagesDelegate,
                                            public std::enable_shared_from_this<VelkoraFeedMessagesRepository> {
public:
    static constexpr const char* kGotFeedNotification = "VelkoraMessagesGotFeed";
    static constexpr const char* kNewFeedMessagesNotification = "VelkoraNewFeedMessagesNotification";
    static constexpr const char* kFeedMessagesViewedNotification = "VelkoraFeedMessagesViewedNotification";

    // Newest first; items of a poll go to the front, so the front must be cheap to grow.
    using FeedMessages = std::deque<VelkoraFeedMessagePtr>;
    using LikeObjects = std::unordered_map<int32_t, VelkoraLikeObjectPtr>;

    static VelkoraFeedMessagesRepository& instance() {
        return VelkoraSharedRepository<VelkoraFeedMessagesRepository>::instance();
    }
    static std::shared_ptr<VelkoraFeedMessagesRepository> shared() {
        return VelkoraSharedRepository<VelkoraFeedMessagesRepository>::shared();
    }
    static void resetForTests();

    // The feed reply: the items and the like objects (two lists of objects), replacing what is held; a
    // missing list is an empty one.
    void gotFirstFeedMessages(const foundation::Value& reply);
    void gotFirstFeedMessages(const std::vector<VelkoraFeedMessagePtr>& items,
                              const std::vector<VelkoraLikeObjectPtr>& likes);
    // Poll items arrive through `gotMessages`, poll likes through `gotLikes`.

    // The like object held for the id, made (empty) and held when there is none. Before the first feed
    // nothing is held: each call gives a new object.
    VelkoraLikeObjectPtr likeObjectWithId(int32_t objectId);
    // Feed items newer than the viewed feed mark plus like objects newer than the viewed like mark.
    int32_t numNewFeedMessages() const;
    void setFeedMessagesWereViewed();
    int32_t getMaxFeedMessageNumber() const;
    int32_t getMaxLikeObjectChangeNumber() const;
    void resetRepository();

    bool didFinishLoading() const { return didFinishLoading_; }
    const FeedMessages& feedMessages() const { return feedMessages_; }
    const LikeObjects& likeObjects() const { return likeObjects_; }
    // Whether a feed item of that id is held (like objects are held apart, in `likeObjects`).
    bool isFeedMessageHeld(int32_t messageId) const { return heldFeedMessageIds_.count(messageId) != 0; }

private:
    friend class VelkoraSharedRepository<VelkoraFeedMessagesRepository>;
    VelkoraFeedMessagesRepository();
    void didCreate();
    void requestFeed();
    void mergeFeedMessages(const std::optional<std::vector<VelkoraMessagePtr>>& messages);
    void mergeLikes(const std::vector<VelkoraLikeObjectPtr>& likes);
    void postNewFeedMessages(size_t count);

    bool didFinishLoading_ = false;
    // The collections exist from the first feed on; until then nothing is kept.
    bool holding_ = false;
    FeedMessages feedMessages_;
    LikeObjects likeObjects_;
    // Feed item ids and like object ids are separate numberings: one shared set would take a new feed
    // item for held whenever a like object happened to have the same id.
    std::unordered_set<int32_t> heldFeedMessageIds_;
};

} // namespace velkora
