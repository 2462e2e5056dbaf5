// The feed's one list of posts and likes: which items it leaves out (anything by or about an anonymous
// user) and its newest-first order. Both run on plain values taken on the main thread, so the feed's
// serial queue can build the list while the poll keeps changing the models.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/VelkoraActivityKey.h"
#include "data/VelkoraActivityModel.h"
#include "data/VelkoraFeedMessage.h"
#include "data/VelkoraLikeObject.h"
#include "platform/foundation/Value.h"

namespace velkora {

// One item as the main thread saw it: the queue reads these values, never the item.
struct VelkoraActivityEntry {
    VelkoraActivityPtr item;
    VelkoraActivityKey key;
    std::string activityId;
    // By or about an anonymous user: not listed.
    bool hidden = false;
    // Where the item stood in the list it was taken from.
    size_t position = 0;

    static VelkoraActivityEntry of(const VelkoraActivityPtr& item);
};

// The listed entries, newest first: hidden ones dropped, each item once (its first entry).
std::vector<VelkoraActivityEntry> velkoraSortedEntries(std::vector<VelkoraActivityEntry> entries);

// Messages then likes, without anonymous posters, newest first (main thread).
std::vector<VelkoraActivityPtr> getSortedActivities(const std::vector<VelkoraActivityPtr>& messages,
                                                    const std::vector<VelkoraActivityPtr>& likes);
// The same from the lists of a reply (model objects; anything else is skipped).
std::vector<VelkoraActivityPtr> getSortedActivities(const foundation::Value& messages, const foundation::Value& likes);
// The activities of a list of a reply, in its order.
std::vector<VelkoraActivityPtr> velkoraActivitiesOf(const foundation::Value& list);

} // namespace velkora
