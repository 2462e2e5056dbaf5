// Where a post or a like stands in the feed and whether it is listed at all, read from the model in one go:
// what the feed's list is kept sorted by, both where the items are held and where they are shown.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "data/VelkoraActivityModel.h"
#include "data/VelkoraChunkedList.h"

namespace velkora {

using VelkoraActivityPtr = std::shared_ptr<VelkoraActivityModel>;

// Where an item stands in the feed, computed once per item. Times rank by whole seconds, so two items
// within one second of each other rank equal whatever else they are (an order the screen need not fix);
// then posts before likes, then the higher id. Items without a usable time come last.
struct VelkoraActivityKey {
    // Sixteen bytes, the flags after the numbers: a list of 100,000 keys is half as long as with each
    // flag padded to a word.
    int64_t seconds = 0;
    int32_t id = 0;
    bool hasTime = false;
    bool isPost = false;

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
template <class List, class KeyOf, class IdentityOf>
size_t velkoraFindListed(const List& list, const VelkoraActivityKey& key, const void* identity, KeyOf keyOf,
                         IdentityOf identityOf) {
    using Entry = typename List::value_type;
    auto first = std::lower_bound(list.begin(), list.end(), key, [&keyOf](const Entry& e, const VelkoraActivityKey& k) {
        return VelkoraActivityKey::newerFirst(keyOf(e), k);
    });
    for (auto it = first; it != list.end() && !VelkoraActivityKey::newerFirst(key, keyOf(*it)); ++it)
        if (identityOf(*it) == identity) return static_cast<size_t>(it - list.begin());
    return static_cast<size_t>(-1);
}

template <class Entry> Entry& velkoraRowOf(std::vector<Entry>& list, size_t row) {
    return list[row];
}
template <class Entry> Entry& velkoraRowOf(VelkoraChunkedList<Entry>& list, size_t row) {
    return list.mutableAt(row);
}

// A list without its rows `gone` (ascending), then grown by `incoming` entries, each of which takes the
// row `rowOf(j)` of the new list (ascending in j), the kept rows keeping their order. Done in place, from
// the first row that changes on: no new list is made, so a change near the top of a long list costs a
// move of the rows below it and nothing more.
template <class Entry, class RowOf, class Put>
void velkoraEditInPlace(std::vector<Entry>& list, const std::vector<size_t>& gone, size_t incoming, RowOf rowOf,
                        Put put) {
    size_t to = gone.empty() ? list.size() : gone.front();
    for (size_t from = to, g = 0; from < list.size(); ++from) {
        if (g < gone.size() && gone[g] == from) {
            ++g;
            continue;
        }
        list[to++] = std::move(list[from]);
    }
    const size_t kept = to;
    list.resize(kept + incoming);
    // From the end: the kept rows below each incoming one move down past it.
    size_t from = kept, end = kept + incoming;
    for (size_t j = incoming; j-- > 0;) {
        const size_t row = rowOf(j);
        while (end > row + 1)
            list[--end] = std::move(list[--from]);
        put(row, j);
        end = row;
    }
}

// The same on a chunked list: each row goes and comes where it is, so a change near the top costs the
// chunks it touches, not a move of every row below it.
template <class Entry, class RowOf, class Put>
void velkoraEditInPlace(VelkoraChunkedList<Entry>& list, const std::vector<size_t>& gone, size_t incoming, RowOf rowOf,
                        Put put) {
    for (size_t g = gone.size(); g-- > 0;)
        list.erase(gone[g]);
    for (size_t j = 0; j < incoming; ++j) {
        const size_t row = rowOf(j);
        list.insert(row, Entry{});
        put(row, j);
    }
}

// A newest-first list without its rows `gone` (ascending) and with `incoming` (newest first) put in, each
// after the rows ranking equal to it; `landed(row, j)` hears the row incoming entry j takes in the new
// list. In place, as above.
template <class List, class Entry, class KeyOf, class Landed>
void velkoraMergeNewestFirst(List& list, const std::vector<size_t>& gone, std::vector<Entry>& incoming, KeyOf keyOf,
                             Landed landed) {
    // Where each incoming entry lands: after the kept rows not newer than it... found on the list as it
    // will be once the gone rows are out, by their count above each place.
    std::vector<size_t> rows(incoming.size());
    for (size_t j = 0; j < incoming.size(); ++j) {
        const auto& key = keyOf(incoming[j]);
        const size_t at = static_cast<size_t>(std::upper_bound(list.begin(), list.end(), key,
                                                               [&keyOf](const VelkoraActivityKey& k, const Entry& e) {
                                                                   return VelkoraActivityKey::newerFirst(k, keyOf(e));
                                                               }) -
                                              list.begin());
        const size_t goneAbove = static_cast<size_t>(std::lower_bound(gone.begin(), gone.end(), at) - gone.begin());
        rows[j] = at - goneAbove + j;
    }
    velkoraEditInPlace(
        list, gone, incoming.size(), [&rows](size_t j) { return rows[j]; },
        [&](size_t row, size_t j) {
            landed(row, j);
            velkoraRowOf(list, row) = std::move(incoming[j]);
        });
}

} // namespace velkora
