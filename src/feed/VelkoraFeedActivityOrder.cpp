#include "feed/VelkoraFeedActivityOrder.h"

#include <algorithm>
#include <unordered_set>

namespace velkora {

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
