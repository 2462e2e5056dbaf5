// Where a post or a like stands in the feed and whether it is listed at all, read from the model in one go:
// what the feed's list is kept sorted by, both where the items are held and where they are shown.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "data/VelkoraActivityModel.h"

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

} // namespace velkora

namespace velkora {

// Where an item listed under `key` stands in a newest-first list, found by its key and then by identity
// among the items ranking equal; `npos` when it is not there under that key.
template <class Entry, class KeyOf, class IdentityOf>
size_t velkoraFindListed(const std::vector<Entry>& list, const VelkoraActivityKey& key, const void* identity,
                         KeyOf keyOf, IdentityOf identityOf) {
    auto first = std::lower_bound(list.begin(), list.end(), key, [&keyOf](const Entry& e, const VelkoraActivityKey& k) {
        return VelkoraActivityKey::newerFirst(keyOf(e), k);
    });
    for (auto it = first; it != list.end() && !VelkoraActivityKey::newerFirst(key, keyOf(*it)); ++it)
        if (identityOf(*it) == identity) return static_cast<size_t>(it - list.begin());
    return static_cast<size_t>(-1);
}

// A newest-first list without its rows `gone` (ascending) and with `incoming` (newest first) put in, each
// after the rows ranking equal to it, in one pass over the list; `landed(row, entry)` hears the row each
// incoming entry takes in the new list, before it moves in.
template <class Entry, class KeyOf, class Landed>
void velkoraMergeNewestFirst(std::vector<Entry>& list, const std::vector<size_t>& gone, std::vector<Entry>& incoming,
                             KeyOf keyOf, Landed landed) {
    std::vector<Entry> next;
    next.reserve(list.size() - gone.size() + incoming.size());
    size_t g = 0, in = 0;
    auto putIncoming = [&] {
        landed(next.size(), incoming[in]);
        next.push_back(std::move(incoming[in++]));
    };
    for (size_t row = 0; row < list.size(); ++row) {
        if (g < gone.size() && gone[g] == row) {
            ++g;
            continue;
        }
        while (in < incoming.size() && VelkoraActivityKey::newerFirst(keyOf(incoming[in]), keyOf(list[row])))
            putIncoming();
        next.push_back(std::move(list[row]));
    }
    while (in < incoming.size())
        putIncoming();
    list = std::move(next);
}

} // namespace velkora
