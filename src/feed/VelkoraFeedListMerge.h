// The feed's shown list kept current by what changed, not rebuilt: the main thread compares the owner's
// items with what it saw last time (new, refreshed, gone), the serial queue merges the few changed ones
// into its copy of the sorted order, and the main thread applies the resulting row changes to its list
// and its table. A poll of twenty items over a feed of thousands costs twenty items, not thousands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "feed/VelkoraFeedActivityOrder.h"
#include "feed/VelkoraFeedRowHeights.h"
#include "session/VelkoraFeedMessagesRepository.h"

namespace velkora {

namespace ui {
class TableView;
}

// What changed since the last snapshot (main thread to queue). Everything in it is a value or a held
// pointer: the queue reads no model.
struct VelkoraFeedListDelta {
    uint64_t generation = 0;
    // Start over: the queue forgets the order it had.
    bool reset = false;
    // Listed before and now gone, or refreshed (then listed again in `added`). Held here so that nothing
    // they point to is freed, and so reused, before the queue has dropped them.
    std::vector<VelkoraActivityPtr> removed;
    // The key each removed item was listed under, where it is known: it is found by it, not looked for.
    std::vector<VelkoraActivityKey> removedKeys;
    // New or refreshed items to list, in the owner's order, with what measuring each needs (no rows
    // at all when the items were handed over without row texts).
    std::vector<VelkoraActivityEntry> added;
    std::vector<VelkoraFeedRowText> rows;
    // Start over from a list already in order: its items, and the identity and key of each, as the
    // repository keeps them (copies that share its chunks; then nothing is `added`).
    VelkoraChunkedList<VelkoraActivityPtr> whole;
    VelkoraChunkedList<VelkoraFeedListedKey> wholeKeys;
    // Heights of the removed items that no added item shares.
    std::vector<std::string> forgottenHeights;
};

// How the shown list changes (queue to main thread), in the table's terms: deletions name the rows as
// they were, insertions as they are after, reloads the rows refreshed where they stand.
struct VelkoraFeedListChange {
    uint64_t generation = 0;
    // The list is `inserted`, whole: no row of the one shown stays.
    bool reset = false;
    size_t oldCount = 0;
    size_t newCount = 0;
    std::vector<int> deleted;
    std::vector<std::pair<int, VelkoraActivityPtr>> inserted;
    // With `reset`, the new list when it came whole and in order (then it comes before `inserted`).
    VelkoraChunkedList<VelkoraActivityPtr> whole;
    std::vector<int> reloaded;
    std::vector<std::string> forgottenHeights;
    // The removed items, let go on the main thread, which owns the models.
    std::vector<VelkoraActivityPtr> released;

    bool empty() const { return !reset && deleted.empty() && inserted.empty() && reloaded.empty(); }
};

// The main thread's memory of the items it handed to the queue: identity, place in the order, whether
// listed, and the like's change number, so a refreshed like is found without reading any text.
class VelkoraFeedListSnapshot {
public:
    using RowTextFor = std::function<VelkoraFeedRowText(const VelkoraActivityPtr&)>;
    // The height key an item had in the state it was seen in, for items handed over without row texts
    // (a table that measures rows as they show): the height of a row that goes is forgotten by it.
    using HeightKeyFor = std::function<std::string(const VelkoraActivityModel&, int32_t change)>;

    // One pass over the owner's items: begin, see each item (the same object twice counts once), finish.
    // With `reset`, every item is new.
    void begin(bool reset, uint64_t generation);
    template <class Item> void see(const std::shared_ptr<Item>& item, const RowTextFor& rowTextFor) {
        // Most items are as they were: those cost one look-up and no copy of their pointer.
        if (item && !seenUnchanged(*item)) seeChanged(item, rowTextFor);
    }
    VelkoraFeedListDelta finish();
    void setHeightKeyFor(HeightKeyFor heightKeyFor) { heightKeyFor_ = std::move(heightKeyFor); }
    // Room for a pass over `count` items (after begin): a long list is not rehashed and regrown item by item.
    void reserve(size_t count);

    size_t size() const { return known_.size(); }
    void clear() { known_.clear(); }

private:
    struct Seen {
        VelkoraActivityPtr item;
        VelkoraActivityState state;
        uint64_t pass = 0;
        std::string heightKey;
    };
    // True when the item was seen in this pass already, or is known and unchanged (then seen now).
    bool seenUnchanged(const VelkoraActivityModel& item);
    void seeChanged(const VelkoraActivityPtr& item, const RowTextFor& rowTextFor);
    void add(const VelkoraActivityPtr& item, Seen& seen, const RowTextFor& rowTextFor);
    void remove(Seen& seen);

    std::unordered_map<const VelkoraActivityModel*, Seen> known_;
    uint64_t pass_ = 0;
    size_t seenThisPass_ = 0;
    HeightKeyFor heightKeyFor_;
    VelkoraFeedListDelta delta_;
};

// The feed repository's listed items for the queue: whole and in order, or what changed since the list
// was last taken (the heights of the states taken out forgotten by `heightKeyFor`).
VelkoraFeedListDelta velkoraListedDelta(const VelkoraChunkedList<VelkoraActivityPtr>& rows,
                                        const VelkoraChunkedList<VelkoraFeedListedKey>& keys, uint64_t generation,
                                        const VelkoraFeedListSnapshot::RowTextFor& rowTextFor);
VelkoraFeedListDelta velkoraListedDelta(const VelkoraFeedListedChanges& changes, uint64_t generation,
                                        const VelkoraFeedListSnapshot::RowTextFor& rowTextFor,
                                        const VelkoraFeedListSnapshot::HeightKeyFor& heightKeyFor);

// The queue's copy of the shown order: identities and keys only. It never dereferences an item; each
// one stays alive while listed here, held by the main thread's snapshot or by the delta removing it.
class VelkoraFeedListMirror {
public:
    // Measures the added rows (stoppably during the warm-up), merges them into the order and answers
    // the change of rows.
    VelkoraFeedListChange merge(VelkoraFeedListDelta delta, VelkoraFeedRowHeights* heights, bool stoppable);

    size_t size() const { return order_.size(); }

private:
    using Listed = VelkoraFeedListedKey;
    VelkoraFeedListChange mergeWhole(VelkoraFeedListDelta delta, VelkoraFeedRowHeights* heights, bool stoppable);

    VelkoraChunkedList<Listed> order_;
};

// The shown list after the change (main thread), its inserted items moved in. False, and the list left
// as it was, when the change was not made from this list.
bool velkoraApplyListChange(std::vector<VelkoraActivityPtr>& list, VelkoraFeedListChange& change);
bool velkoraApplyListChange(VelkoraChunkedList<VelkoraActivityPtr>& list, VelkoraFeedListChange& change);
// Values kept per row (heights) after the change: kept rows keep theirs, inserted and reloaded rows get
// `unknown`. Values that were not the old list's are dropped whole.
void velkoraApplyListChange(std::vector<float>& values, const VelkoraFeedListChange& change, float unknown);
// The table, which showed the old list and whose data source now answers the new one, deletes, inserts
// and reloads just the changed rows; a table that did not show the old list reloads.
void velkoraApplyListChange(ui::TableView& table, const VelkoraFeedListChange& change);

} // namespace velkora
