#include "feed/VelkoraFeedActivityOrder.h"

#include <algorithm>
#include <cmath>
#include <typeinfo>
#include <unordered_set>

namespace velkora {

namespace {

bool anonymous(const VelkoraUserPtr& user) {
    return user && user->isAnonymous();
}

// The item as a post or as a like: the exact types are told apart by their type alone, which is what a
// pass over thousands of items can afford; anything else is cast.
struct Kinds {
    const VelkoraFeedMessage* post = nullptr;
    const VelkoraLikeObject* like = nullptr;

    explicit Kinds(const VelkoraActivityModel& item) {
        const std::type_info& type = typeid(item);
        if (type == typeid(VelkoraFeedMessage)) {
            post = static_cast<const VelkoraFeedMessage*>(&item);
        } else if (type == typeid(VelkoraLikeObject)) {
            like = static_cast<const VelkoraLikeObject*>(&item);
        } else {
            post = dynamic_cast<const VelkoraFeedMessage*>(&item);
            if (!post) like = dynamic_cast<const VelkoraLikeObject*>(&item);
        }
    }
};

VelkoraActivityKey keyOf(const VelkoraActivityModel& item, const Kinds& kinds) {
    VelkoraActivityKey key;
    const OptionalDate time = item.getActivityTime();
    // Floor, not truncation: times before 1970 still fall into one second each.
    if (time && std::isfinite(*time) && std::fabs(*time) < 9.0e15) {
        key.hasTime = true;
        key.seconds = static_cast<int64_t>(std::floor(*time));
    }
    key.isPost = !item.isLike();
    if (kinds.post)
        key.id = kinds.post->messageId();
    else if (kinds.like)
        key.id = kinds.like->objectId();
    return key;
}

bool hiddenOf(const VelkoraActivityModel& item, const Kinds& kinds) {
    if (item.isLike()) {
        // A like's poster is its first liker.
        if (kinds.like) return !kinds.like->users().empty() && anonymous(kinds.like->users().front());
        return anonymous(item.getPoster());
    }
    // A post about a followed user goes when either of the two is anonymous.
    return kinds.post && (anonymous(kinds.post->sender()) || anonymous(kinds.post->otherUser()));
}

int32_t changeOf(const VelkoraActivityModel& item, const Kinds& kinds) {
    return item.isLike() && kinds.like ? kinds.like->changeNumber() : 0;
}

} // namespace

VelkoraActivityKey VelkoraActivityKey::of(const VelkoraActivityModel& item) {
    return keyOf(item, Kinds(item));
}

bool VelkoraActivityKey::newerFirst(const VelkoraActivityKey& a, const VelkoraActivityKey& b) {
    if (a.hasTime != b.hasTime) return a.hasTime;
    if (a.hasTime && a.seconds != b.seconds) return a.seconds > b.seconds;
    if (a.isPost != b.isPost) return a.isPost;
    return a.id > b.id;
}

VelkoraActivityEntry VelkoraActivityEntry::of(const VelkoraActivityPtr& item) {
    VelkoraActivityEntry entry;
    entry.item = item;
    if (!item) {
        entry.hidden = true;
        return entry;
    }
    entry.key = VelkoraActivityKey::of(*item);
    entry.activityId = item->activityId();
    entry.hidden = velkoraActivityHidden(*item);
    return entry;
}

bool velkoraActivityHidden(const VelkoraActivityModel& item) {
    return hiddenOf(item, Kinds(item));
}

int32_t velkoraActivityChangeNumber(const VelkoraActivityModel& item) {
    return changeOf(item, Kinds(item));
}

VelkoraActivityState VelkoraActivityState::of(const VelkoraActivityModel& item) {
    const Kinds kinds(item);
    return {keyOf(item, kinds), hiddenOf(item, kinds), changeOf(item, kinds)};
}

std::vector<VelkoraActivityEntry> velkoraSortedEntries(std::vector<VelkoraActivityEntry> entries) {
    // The same object twice is listed once; distinct objects are all listed, ids or not.
    std::unordered_set<const VelkoraActivityModel*> seen;
    seen.reserve(entries.size());
    std::erase_if(entries,
                  [&seen](const VelkoraActivityEntry& e) { return e.hidden || !seen.insert(e.item.get()).second; });
    std::stable_sort(entries.begin(), entries.end(), [](const VelkoraActivityEntry& a, const VelkoraActivityEntry& b) {
        return VelkoraActivityKey::newerFirst(a.key, b.key);
    });
    return entries;
}

std::vector<VelkoraActivityPtr> getSortedActivities(const std::vector<VelkoraActivityPtr>& messages,
                                                    const std::vector<VelkoraActivityPtr>& likes) {
    std::vector<VelkoraActivityEntry> entries;
    entries.reserve(messages.size() + likes.size());
    for (const auto* list : {&messages, &likes})
        for (const auto& item : *list)
            entries.push_back(VelkoraActivityEntry::of(item));
    std::vector<VelkoraActivityPtr> sorted;
    for (auto& e : velkoraSortedEntries(std::move(entries)))
        sorted.push_back(std::move(e.item));
    return sorted;
}

std::vector<VelkoraActivityPtr> velkoraActivitiesOf(const foundation::Value& list) {
    std::vector<VelkoraActivityPtr> items;
    if (const auto* array = list.asArray()) {
        for (const auto& v : *array) {
            if (auto post = v.asObject<VelkoraFeedMessage>())
                items.push_back(post);
            else if (auto like = v.asObject<VelkoraLikeObject>())
                items.push_back(like);
        }
    }
    return items;
}

std::vector<VelkoraActivityPtr> getSortedActivities(const foundation::Value& messages, const foundation::Value& likes) {
    return getSortedActivities(velkoraActivitiesOf(messages), velkoraActivitiesOf(likes));
}

} // namespace velkora
