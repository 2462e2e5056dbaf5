// The activity feed cache: the feed items and the like activities, merged with what each poll brings and
// counted against the feed marks of the local user record; also the one like object kept per id.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <iterator>
#include <memory>
#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "data/VelkoraActivityKey.h"
#include "data/VelkoraChunkedList.h"
#include "data/VelkoraFeedMessage.h"
#include "data/VelkoraLikeObject.h"
#include "platform/foundation/Value.h"
#include "server/VelkoraMessagesDelegate.h"
#include "session/VelkoraSharedRepository.h"

namespace velkora {

// One listed item (not by or about an anonymous user) and the state it is listed in.
struct VelkoraFeedListedItem {
    VelkoraActivityPtr item;
    VelkoraActivityKey key;
    int32_t change = 0;
};

// An item's identity, where it stands and the state it is listed in, without holding it: a list of these
// goes to a screen's queue, which never dereferences the item.
struct VelkoraFeedListedKey {
    const VelkoraActivityModel* item = nullptr;
    VelkoraActivityKey key;
    int32_t change = 0;
};

// What changed in the listed items since a revision: the items taken out, each with the state it was
// listed in, and those put in, with the state they are listed in now (a refreshed item is both).
struct VelkoraFeedListedChanges {
    // Too far behind, or a new feed since: take the listed items whole.
    bool whole = false;
    std::vector<VelkoraFeedListedItem> removed;
    std::vector<VelkoraFeedListedItem> added;
};

class VelkoraFeedMessagesRepository final : public VelkoraMessagesDelegate,
                                            public std::enable_shared_from_this<VelkoraFeedMessagesRepository> {
public:
    static constexpr const char* kGotFeedNotification = "VelkoraMessagesGotFeed";
    static constexpr const char* kNewFeedMessagesNotification = "VelkoraNewFeedMessagesNotification";
    static constexpr const char* kFeedMessagesViewedNotification = "VelkoraFeedMessagesViewedNotification";

    // The feed items held, newest first: those polls brought (each to the front, so the front must be
    // cheap to grow), then the first feed's as they came, read where the feed keeps them (no copy of a
    // long feed is made to hold it).
    class FeedMessages {
    public:
        class const_iterator : public VelkoraIteratorTypes<VelkoraFeedMessagePtr> {
        public:
            const_iterator() = default;
            const_iterator(const FeedMessages* owner, size_t at) : owner_(owner), at_(owner->skipEmpty(at)) {}
            reference operator*() const { return owner_->at(at_); }
            pointer operator->() const { return &owner_->at(at_); }
            const_iterator& operator++() {
                at_ = owner_->skipEmpty(at_ + 1);
                return *this;
            }
            const_iterator operator++(int) {
                auto was = *this;
                ++*this;
                return was;
            }
            bool operator==(const const_iterator& other) const { return at_ == other.at_; }

        private:
            const FeedMessages* owner_ = nullptr;
            size_t at_ = 0;
        };

        const_iterator begin() const { return {this, 0}; }
        const_iterator end() const { return {this, polled_.size() + firstSize()}; }
        size_t size() const { return polled_.size() + firstHeld_; }
        bool empty() const { return size() == 0; }
        const VelkoraFeedMessagePtr& front() const { return *begin(); }
        const VelkoraFeedMessagePtr& back() const;

    private:
        friend class VelkoraFeedMessagesRepository;
        size_t firstSize() const { return first_ ? first_->size() : 0; }
        const VelkoraFeedMessagePtr& at(size_t i) const {
            return i < polled_.size() ? polled_[i] : (*first_)[i - polled_.size()];
        }
        // The first place from `i` on that holds an item (the first feed may have empty places).
        size_t skipEmpty(size_t i) const {
            const size_t end = polled_.size() + firstSize();
            while (i < end && !at(i))
                ++i;
            return i;
        }

        std::deque<VelkoraFeedMessagePtr> polled_;
        const std::vector<VelkoraFeedMessagePtr>* first_ = nullptr;
        size_t firstHeld_ = 0;
    };
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
    void gotFirstFeedMessages(std::vector<VelkoraFeedMessagePtr> items, std::vector<VelkoraLikeObjectPtr> likes);
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
    // The feed items and like objects a feed screen lists, newest first, kept in order as each poll
    // merges (a screen follows it by what changed rather than by looking at every item again): the items,
    // and beside them where each stands. A screen takes copies of both, which share their chunks.
    const VelkoraChunkedList<VelkoraActivityPtr>& listedRows() const { return listedRows_; }
    const VelkoraChunkedList<VelkoraFeedListedKey>& listedKeys() const { return listedKeys_; }
    // Both in one list of their own (a copy, item by item).
    std::vector<VelkoraFeedListedItem> listedItems() const;
    // Counts every change of the listed items; a new feed starts past every earlier revision.
    uint64_t revision() const { return revision_; }
    VelkoraFeedListedChanges listedChangesSince(uint64_t revision) const;
    // Whether a feed item of that id is held (like objects are held apart, in `likeObjects`).
    bool isFeedMessageHeld(int32_t messageId) const;

private:
    friend class VelkoraSharedRepository<VelkoraFeedMessagesRepository>;
    VelkoraFeedMessagesRepository();
    void didCreate();
    void requestFeed();
    void mergeFeedMessages(const std::optional<std::vector<VelkoraMessagePtr>>& messages);
    void mergeLikes(const std::vector<VelkoraLikeObjectPtr>& likes);
    void postNewFeedMessages(size_t count);
    void listAll();
    // Lists the posts (each handed to `put` by `posts`, newest first) and the likes (newest first) merged,
    // each object once; false, and nothing listed, when a post comes out of order.
    template <class Posts> bool listMerged(Posts posts, std::vector<VelkoraFeedListedItem>& likes);
    // Takes the items out of the listed ones and puts the others in, as one revision.
    void relist(std::vector<VelkoraFeedListedItem> removed, std::vector<VelkoraFeedListedItem> added);
    void startOver();

    bool didFinishLoading_ = false;
    // The collections exist from the first feed on; until then nothing is kept.
    bool holding_ = false;
    FeedMessages feedMessages_;
    LikeObjects likeObjects_;
    // The ids of the first feed's items, ascending, and of those polls brought since. Feed item ids and
    // like object ids are separate numberings: one shared set would take a new feed item for held
    // whenever a like object happened to have the same id.
    std::vector<int32_t> feedIds_;
    std::unordered_set<int32_t> heldFeedMessageIds_;
    // The first feed as it was handed over. Its items are kept and listed through pointers that share
    // its one count: taking and copying the lists of a long feed then never touches each item's own.
    struct Feed {
        std::vector<VelkoraFeedMessagePtr> items;
        std::vector<VelkoraLikeObjectPtr> likes;
    };
    std::shared_ptr<const Feed> feed_;

    VelkoraChunkedList<VelkoraActivityPtr> listedRows_;
    VelkoraChunkedList<VelkoraFeedListedKey> listedKeys_;
    uint64_t revision_ = 0;
    // Changes before this revision are not kept: a screen that saw less takes the list whole.
    uint64_t wholeFrom_ = 0;
    struct Revision {
        uint64_t revision = 0;
        std::vector<VelkoraFeedListedItem> removed;
        std::vector<VelkoraFeedListedItem> added;
    };
    std::deque<Revision> revisions_;
    // Held like objects handed out to be read into since the last likes merged, with the state each was
    // in: the reader changes them in place, and the merge needs to know where each stood.
    struct HandedOut {
        int32_t objectId = 0;
        VelkoraLikeObjectPtr like;
        // Held before it was handed out, and then in this state (unknown for one changed unseen).
        bool wasHeld = false;
        std::optional<VelkoraActivityState> before;
    };
    std::unordered_map<const VelkoraActivityModel*, HandedOut> handedOut_;
};

} // namespace velkora
