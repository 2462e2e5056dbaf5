#include "session/VelkoraFeedMessagesRepository.h"

#include <algorithm>
#include <iterator>

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
// Polls a screen may fall behind by (its queue busy) and still catch up by what changed.
constexpr size_t kRevisionsKept = 64;
constexpr size_t kReadAhead = 8;

// Revisions count across repositories, so a screen that saw one repository never takes a later one's
// revision for its own.
uint64_t nextRevision() {
    static uint64_t last = 0;
    return ++last;
}

bool newerFirst(const VelkoraFeedListedItem& a, const VelkoraFeedListedItem& b) {
    return VelkoraActivityKey::newerFirst(a.key, b.key);
}
const VelkoraActivityKey& keyOf(const VelkoraFeedListedKey& listed) {
    return listed.key;
}
const void* identityOf(const VelkoraFeedListedKey& listed) {
    return listed.item;
}

// Where the item stands in the list: by the key it was listed under, else by looking at every row (its
// identity only, never the item).
size_t findListed(const VelkoraChunkedList<VelkoraFeedListedKey>& list, const VelkoraActivityModel* item,
                  const VelkoraActivityKey* key) {
    if (key) {
        const size_t at = velkoraFindListed(list, *key, item, keyOf, identityOf);
        if (at != static_cast<size_t>(-1)) return at;
    }
    auto it = std::find_if(list.begin(), list.end(), [item](const auto& listed) { return listed.item == item; });
    return it == list.end() ? static_cast<size_t>(-1) : static_cast<size_t>(it - list.begin());
}

} // namespace

const VelkoraFeedMessagePtr& VelkoraFeedMessagesRepository::FeedMessages::back() const {
    for (size_t i = firstSize(); i-- > 0;)
        if ((*first_)[i]) return (*first_)[i];
    return polled_.back();
}

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

void VelkoraFeedMessagesRepository::gotFirstFeedMessages(std::vector<VelkoraFeedMessagePtr> items,
                                                         std::vector<VelkoraLikeObjectPtr> likes) {
    feedMessages_ = {};
    heldFeedMessageIds_ = std::unordered_set<int32_t>(kInitialCapacity);
    holding_ = true;
    // The feed as handed over holds its items; what is kept and listed here shares its one count.
    auto feed = std::make_shared<Feed>(Feed{std::move(items), std::move(likes)});
    feed_ = feed;
    likeObjects_ = LikeObjects(std::max(kInitialCapacity, feed->likes.size()));
    // The last like object of an id is the one held: from the end, the first of each id stays.
    for (auto like = feed->likes.rbegin(); like != feed->likes.rend(); ++like)
        if (*like) likeObjects_.try_emplace((*like)->objectId(), VelkoraLikeObjectPtr(feed, like->get()));
    listAll();
    VelkoraServerApi::setFeedDelegate(weak_from_this());
    didFinishLoading_ = true;
    foundation::NotificationCenter::defaultCenter().post(kGotFeedNotification, this);
}

void VelkoraFeedMessagesRepository::mergeFeedMessages(const std::optional<std::vector<VelkoraMessagePtr>>& messages) {
    if (!messages) return postNewFeedMessages(0);
    if (holding_) {
        std::vector<VelkoraFeedListedItem> added;
        // From the last to the first, each to the front: the batch keeps its own order at the top.
        for (auto it = messages->rbegin(); it != messages->rend(); ++it) {
            auto item = std::dynamic_pointer_cast<VelkoraFeedMessage>(*it);
            if (!item || isFeedMessageHeld(item->messageId()) || !heldFeedMessageIds_.insert(item->messageId()).second)
                continue;
            const auto state = VelkoraActivityState::of(*item);
            if (!state.hidden) added.push_back({item, state.key, state.change});
            feedMessages_.polled_.push_front(std::move(item));
        }
        // Listed in the batch's own order where they rank equal.
        std::reverse(added.begin(), added.end());
        relist({}, std::move(added));
    }
    postNewFeedMessages(messages->size());
}

void VelkoraFeedMessagesRepository::mergeLikes(const std::vector<VelkoraLikeObjectPtr>& likes) {
    if (holding_) {
        // A held like object was already updated in place by the reply's reader: the ones it was handed
        // and the ones the batch names are all that can have changed.
        auto touched = std::move(handedOut_);
        handedOut_.clear();
        for (const auto& like : likes) {
            if (!like) continue;
            auto [slot, isNew] = likeObjects_.try_emplace(like->objectId(), like);
            // A held object changed without being handed out: where it stood is looked for.
            if (isNew || slot->second == like)
                touched.try_emplace(like.get(), HandedOut{like->objectId(), like, !isNew, std::nullopt});
        }
        std::vector<VelkoraFeedListedItem> removed, added;
        for (auto& [identity, handed] : touched) {
            auto slot = likeObjects_.find(handed.objectId);
            bool held = slot != likeObjects_.end() && slot->second == handed.like;
            // The reader makes the slot of a like before it reads it, and refuses a video without a
            // preview after: that slot goes, so the like is neither listed nor counted as new.
            const VelkoraLikeObjectPtr like = slot != likeObjects_.end() ? slot->second : nullptr;
            if (slot != likeObjects_.end() &&
                (!like || (like->type() == VelkoraLikeObject::VIDEO && !like->calculatedImageUrl()))) {
                likeObjects_.erase(slot);
                held = false;
            }
            const VelkoraActivityState now = held ? VelkoraActivityState::of(*handed.like) : VelkoraActivityState{};
            if (held && handed.before && *handed.before == now) continue;
            const bool listedNow = held && !now.hidden;
            if (handed.wasHeld && (!handed.before || !handed.before->hidden)) {
                const size_t at =
                    findListed(listedKeys_, handed.like.get(), handed.before ? &handed.before->key : nullptr);
                if (at != static_cast<size_t>(-1)) {
                    const auto& was = listedKeys_[at];
                    if (listedNow && was.key == now.key && was.change == now.change) continue;
                    removed.push_back({listedRows_[at], was.key, was.change});
                }
            }
            if (listedNow) added.push_back({handed.like, now.key, now.change});
        }
        relist(std::move(removed), std::move(added));
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
    const bool held = slot != nullptr;
    if (!held) slot = std::make_shared<VelkoraLikeObject>();
    // Whoever asks reads into it: where it stands now is kept for the next merge of likes.
    handedOut_.try_emplace(slot.get(), HandedOut{objectId, slot, held,
                                                 held ? std::optional(VelkoraActivityState::of(*slot)) : std::nullopt});
    return slot;
}

void VelkoraFeedMessagesRepository::startOver() {
    revision_ = nextRevision();
    wholeFrom_ = revision_;
    revisions_.clear();
    handedOut_.clear();
    listedRows_.clear();
    listedKeys_.clear();
}

template <class Posts>
bool VelkoraFeedMessagesRepository::listMerged(Posts posts, std::vector<VelkoraFeedListedItem>& likes) {
    size_t like = 0;
    // The same object twice is listed once; it ranks equal to itself, so its copies stand together.
    size_t equalFrom = 0;
    std::optional<VelkoraActivityKey> lastListed;
    auto put = [&](VelkoraActivityPtr item, const VelkoraActivityKey& key, int32_t change) {
        const size_t count = listedKeys_.size();
        if (!lastListed || !(*lastListed == key)) {
            equalFrom = count;
            lastListed = key;
        } else {
            for (size_t i = equalFrom; i < count; ++i)
                if (listedKeys_[i].item == item.get()) return;
        }
        listedKeys_.push_back({item.get(), key, change});
        listedRows_.push_back(std::move(item));
    };
    std::optional<VelkoraActivityKey> last;
    // The likes are copied, not moved: a pass that finds the posts out of order leaves them whole.
    const bool inOrder = posts([&](VelkoraActivityPtr post, const VelkoraActivityKey& key) {
        if (last && VelkoraActivityKey::newerFirst(key, *last)) return false;
        // The likes newer than this post go before it; a post goes before a like that ranks equal.
        for (; like < likes.size() && VelkoraActivityKey::newerFirst(likes[like].key, key); ++like)
            put(likes[like].item, likes[like].key, likes[like].change);
        put(std::move(post), key, 0);
        last = key;
        return true;
    });
    if (!inOrder) {
        listedRows_.clear();
        listedKeys_.clear();
        return false;
    }
    for (; like < likes.size(); ++like)
        put(likes[like].item, likes[like].key, likes[like].change);
    return true;
}

void VelkoraFeedMessagesRepository::listAll() {
    startOver();
    // The like objects held, newest first: most often the feed's order already.
    std::vector<VelkoraFeedListedItem> likes;
    likes.reserve(feed_->likes.size());
    for (const auto& like : feed_->likes) {
        if (!like) continue;
        auto held = likeObjects_.find(like->objectId());
        if (held == likeObjects_.end() || held->second.get() != like.get()) continue;
        const auto state = VelkoraActivityState::of(*like);
        if (!state.hidden) likes.push_back({held->second, state.key, state.change});
    }
    if (!std::is_sorted(likes.begin(), likes.end(), newerFirst))
        std::stable_sort(likes.begin(), likes.end(), newerFirst);

    // One look at each item: where it is listed, and its id for telling a poll's items from held ones.
    // The service sends its feed newest first: the posts are then listed as they come, the likes merged
    // in between, with no list of their own made and sorted first.
    feedIds_.clear();
    feedIds_.reserve(feed_->items.size());
    const auto& posts = feed_->items;
    auto lookedAt = [this, &posts](auto&& each) {
        for (size_t i = 0; i < posts.size(); ++i) {
            // The items of a long feed are far apart in memory: the ones a few steps ahead are asked for
            // while this one is read.
            if (i + kReadAhead < posts.size() && posts[i + kReadAhead]) {
                const auto* ahead = posts[i + kReadAhead].get();
                __builtin_prefetch(ahead);
                __builtin_prefetch(reinterpret_cast<const char*>(ahead) + 64);
                __builtin_prefetch(static_cast<const VelkoraActivityModel*>(ahead));
            }
            const auto& post = posts[i];
            if (!post) continue;
            feedIds_.push_back(post->messageId());
            const auto state = VelkoraActivityState::of(*post);
            if (!state.hidden && !each(VelkoraActivityPtr(feed_, post.get()), state.key)) return false;
        }
        return true;
    };
    if (!listMerged(lookedAt, likes)) {
        // Out of order: the posts are sorted first (stable: equal ones keep the feed's order).
        feedIds_.clear();
        std::vector<VelkoraFeedListedItem> sorted;
        lookedAt([&sorted](VelkoraActivityPtr post, const VelkoraActivityKey& key) {
            sorted.push_back({std::move(post), key, 0});
            return true;
        });
        std::stable_sort(sorted.begin(), sorted.end(), newerFirst);
        listMerged(
            [&sorted](auto&& each) {
                for (auto& post : sorted)
                    each(std::move(post.item), post.key);
                return true;
            },
            likes);
    }
    feedMessages_.first_ = &feed_->items;
    feedMessages_.firstHeld_ = feedIds_.size();
    // Most often newest first, the highest id first.
    if (std::is_sorted(feedIds_.rbegin(), feedIds_.rend()))
        std::reverse(feedIds_.begin(), feedIds_.end());
    else
        std::sort(feedIds_.begin(), feedIds_.end());
}

std::vector<VelkoraFeedListedItem> VelkoraFeedMessagesRepository::listedItems() const {
    std::vector<VelkoraFeedListedItem> items;
    items.reserve(listedKeys_.size());
    for (size_t row = 0; row < listedKeys_.size(); ++row)
        items.push_back({listedRows_[row], listedKeys_[row].key, listedKeys_[row].change});
    return items;
}

void VelkoraFeedMessagesRepository::relist(std::vector<VelkoraFeedListedItem> removed,
                                           std::vector<VelkoraFeedListedItem> added) {
    if (removed.empty() && added.empty()) return;
    std::vector<size_t> gone;
    gone.reserve(removed.size());
    for (const auto& item : removed)
        gone.push_back(findListed(listedKeys_, item.item.get(), &item.key));
    std::sort(gone.begin(), gone.end());
    gone.erase(std::unique(gone.begin(), gone.end()), gone.end());
    if (!gone.empty() && gone.back() == static_cast<size_t>(-1)) gone.pop_back();
    std::stable_sort(added.begin(), added.end(), newerFirst);
    std::vector<VelkoraFeedListedKey> incoming;
    incoming.reserve(added.size());
    for (const auto& item : added)
        incoming.push_back({item.item.get(), item.key, item.change});
    // The keys first, which tell where each lands; the items then take the same rows.
    std::vector<size_t> rows(added.size());
    velkoraMergeNewestFirst(listedKeys_, gone, incoming, keyOf, [&rows](size_t row, size_t j) { rows[j] = row; });
    velkoraEditInPlace(
        listedRows_, gone, added.size(), [&rows](size_t j) { return rows[j]; },
        [&](size_t row, size_t j) { listedRows_.mutableAt(row) = added[j].item; });
    revision_ = nextRevision();
    revisions_.push_back({revision_, std::move(removed), std::move(added)});
    while (revisions_.size() > kRevisionsKept) {
        wholeFrom_ = revisions_.front().revision;
        revisions_.pop_front();
    }
}

VelkoraFeedListedChanges VelkoraFeedMessagesRepository::listedChangesSince(uint64_t revision) const {
    VelkoraFeedListedChanges changes;
    if (revision < wholeFrom_ || revision > revision_) {
        changes.whole = true;
        return changes;
    }
    // An item put in and taken out again since was never there for whoever asks.
    std::unordered_map<const VelkoraActivityModel*, size_t> addedAt;
    std::vector<bool> dropped;
    for (const auto& step : revisions_) {
        if (step.revision <= revision) continue;
        for (const auto& item : step.removed) {
            auto it = addedAt.find(item.item.get());
            if (it == addedAt.end()) {
                changes.removed.push_back(item);
                continue;
            }
            dropped[it->second] = true;
            addedAt.erase(it);
        }
        for (const auto& item : step.added) {
            addedAt[item.item.get()] = changes.added.size();
            changes.added.push_back(item);
            dropped.push_back(false);
        }
    }
    size_t kept = 0;
    for (size_t i = 0; i < changes.added.size(); ++i)
        if (!dropped[i]) changes.added[kept++] = std::move(changes.added[i]);
    changes.added.resize(kept);
    return changes;
}

bool VelkoraFeedMessagesRepository::isFeedMessageHeld(int32_t messageId) const {
    return std::binary_search(feedIds_.begin(), feedIds_.end(), messageId) || heldFeedMessageIds_.count(messageId) != 0;
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
    feedMessages_ = {};
    likeObjects_.clear();
    heldFeedMessageIds_.clear();
    feedIds_.clear();
    feed_.reset();
    startOver();
    holding_ = false;
    didFinishLoading_ = false;
    requestFeed();
}

} // namespace velkora
