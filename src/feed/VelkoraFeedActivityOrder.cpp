#include "feed/VelkoraFeedActivityOrder.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace velkora {

namespace {

bool anonymous(const VelkoraUserPtr& user) {
    return user && user->isAnonymous();
}

} // namespace

VelkoraActivityKey VelkoraActivityKey::of(const VelkoraActivityModel& item) {
    VelkoraActivityKey key;
    const OptionalDate time = item.getActivityTime();
    // Floor, not truncation: times before 1970 still fall into one second each.
    if (time && std::isfinite(*time) && std::fabs(*time) < 9.0e15) {
        key.hasTime = true;
        key.seconds = static_cast<int64_t>(std::floor(*time));
    }
    key.isPost = !item.isLike();
    if (const auto* post = dynamic_cast<const VelkoraFeedMessage*>(&item))
        key.id = post->messageId();
    else if (const auto* like = dynamic_cast<const VelkoraLikeObject*>(&item))
        key.id = like->objectId();
    return key;
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
    if (item.isLike()) return anonymous(item.getPoster());
    // A post about a followed user goes when either of the two is anonymous.
    if (const auto* post = dynamic_cast<const VelkoraFeedMessage*>(&item))
        return anonymous(post->sender()) || anonymous(post->otherUser());
    return false;
}

int32_t velkoraActivityChangeNumber(const VelkoraActivityModel& item) {
    const auto* like = item.isLike() ? dynamic_cast<const VelkoraLikeObject*>(&item) : nullptr;
    return like ? like->changeNumber() : 0;
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
