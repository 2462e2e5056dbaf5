// The feed's one list of posts and likes: which items it leaves out (anything by or about an anonymous
// user) and its newest-first order. Both run on plain values taken on the main thread, so the feed's
// serial queue can build the list while the poll keeps changing the models.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/VelkoraActivityModel.h"
#include "data/VelkoraFeedMessage.h"
#include "data/VelkoraLikeObject.h"
#include "platform/foundation/Value.h"

namespace velkora {

using VelkoraActivityPtr = std::shared_ptr<VelkoraActivityModel>;

// Where an item stands in the feed, computed once per item. Times rank by whole seconds, so two items
// within one second of each other rank equal whatever else they are (an order the screen need not fix);
// then posts before likes, then the higher id. Items without a usable time come last.
struct VelkoraActivityKey {
    bool hasTime = false;
    int64_t seconds = 0;
    bool isPost = false;
    int64_t id = 0;

    static VelkoraActivityKey of(const VelkoraActivityModel& item);
    // True when `a` is listed before `b`: a strict weak ordering, whatever the clock says.
    static bool newerFirst(const VelkoraActivityKey& a, const VelkoraActivityKey& b);
    bool operator==(const VelkoraActivityKey&) const = default;
};

// What a pass over the listed items compares: place, visibility and state, read in one go.
struct VelkoraActivityState {
    VelkoraActivityKey key;
    bool hidden = false;
    int32_t change = 0;

    static VelkoraActivityState of(const VelkoraActivityModel& item);
    bool operator==(const VelkoraActivityState&) const = default;
};

// By or about an anonymous user: not listed.
bool velkoraActivityHidden(const VelkoraActivityModel& item);
// What tells one state of an item from the next: a like refreshed in place (new liker, new description)
// comes with a new change number; a post never changes.
int32_t velkoraActivityChangeNumber(const VelkoraActivityModel& item);

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
