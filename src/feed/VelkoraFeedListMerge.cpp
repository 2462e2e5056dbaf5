#include "feed/VelkoraFeedListMerge.h"

#include <algorithm>
#include <numeric>
#include <unordered_set>

#include "platform/ui/TableView.h"

namespace velkora {

// ---- Main thread

void VelkoraFeedListSnapshot::begin(bool reset, uint64_t generation) {
    delta_ = {};
    delta_.generation = generation;
    delta_.reset = reset;
    if (reset) {
        // The queue drops its order without looking at it; what it named stays held until then.
        delta_.removed.reserve(known_.size());
        for (auto& [identity, seen] : known_)
            delta_.removed.push_back(std::move(seen.item));
        known_.clear();
    }
    ++pass_;
    seenThisPass_ = 0;
}

void VelkoraFeedListSnapshot::reserve(size_t count) {
    known_.reserve(count);
    if (delta_.reset) delta_.added.reserve(count);
}

void VelkoraFeedListSnapshot::add(const VelkoraActivityPtr& item, Seen& seen, const RowTextFor& rowTextFor) {
    VelkoraActivityEntry entry;
    entry.item = item;
    entry.key = seen.state.key;
    entry.position = delta_.added.size();
    delta_.added.push_back(std::move(entry));
    if (!rowTextFor) return;
    VelkoraFeedRowText row = rowTextFor(item);
    seen.heightKey = row.heightKey;
    delta_.rows.push_back(std::move(row));
}

void VelkoraFeedListSnapshot::remove(Seen& seen) {
    delta_.removed.push_back(seen.item);
    delta_.removedKeys.push_back(seen.state.key);
    if (!seen.heightKey.empty())
        delta_.forgottenHeights.push_back(seen.heightKey);
    else if (heightKeyFor_)
        delta_.forgottenHeights.push_back(heightKeyFor_(*seen.item, seen.state.change));
}

bool VelkoraFeedListSnapshot::seenUnchanged(const VelkoraActivityModel& item) {
    auto it = known_.find(&item);
    if (it == known_.end()) return false;
    Seen& seen = it->second;
    if (seen.pass == pass_) return true;
    if (!(VelkoraActivityState::of(item) == seen.state)) return false;
    seen.pass = pass_;
    ++seenThisPass_;
    return true;
}

void VelkoraFeedListSnapshot::seeChanged(const VelkoraActivityPtr& item, const RowTextFor& rowTextFor) {
    auto [it, isNew] = known_.try_emplace(item.get());
    Seen& seen = it->second;
    // The same object twice in one pass is listed once.
    if (!isNew && seen.pass == pass_) return;
    seen.pass = pass_;
    ++seenThisPass_;
    const VelkoraActivityState state = VelkoraActivityState::of(*item);
    if (isNew) {
        seen.item = item;
    } else {
        if (state == seen.state) return;
        // Refreshed in place: out of its old place, into its new one.
        if (!seen.state.hidden) remove(seen);
    }
    seen.state = state;
    if (!state.hidden) add(item, seen, rowTextFor);
}

VelkoraFeedListDelta VelkoraFeedListSnapshot::finish() {
    if (seenThisPass_ != known_.size()) {
        for (auto it = known_.begin(); it != known_.end();) {
            if (it->second.pass == pass_) {
                ++it;
                continue;
            }
            if (!it->second.state.hidden) remove(it->second);
            it = known_.erase(it);
        }
    }
    // A refreshed item that kept its height key keeps its height.
    if (!delta_.forgottenHeights.empty() && !delta_.rows.empty()) {
        std::unordered_set<std::string> kept;
        for (const auto& row : delta_.rows)
            kept.insert(row.heightKey);
        std::erase_if(delta_.forgottenHeights, [&kept](const std::string& key) { return kept.count(key) != 0; });
    }
    return std::move(delta_);
}

VelkoraFeedListDelta velkoraListedDelta(const VelkoraChunkedList<VelkoraActivityPtr>& rows,
                                        const VelkoraChunkedList<VelkoraFeedListedKey>& keys, uint64_t generation,
                                        const VelkoraFeedListSnapshot::RowTextFor& rowTextFor) {
    VelkoraFeedListDelta delta;
    delta.generation = generation;
    delta.reset = true;
    delta.whole = rows;
    delta.wholeKeys = keys;
    if (rowTextFor) {
        delta.rows.reserve(rows.size());
        for (const auto& item : rows)
            delta.rows.push_back(rowTextFor(item));
    }
    return delta;
}

VelkoraFeedListDelta velkoraListedDelta(const VelkoraFeedListedChanges& changes, uint64_t generation,
                                        const VelkoraFeedListSnapshot::RowTextFor& rowTextFor,
                                        const VelkoraFeedListSnapshot::HeightKeyFor& heightKeyFor) {
    VelkoraFeedListDelta delta;
    delta.generation = generation;
    for (const auto& gone : changes.removed) {
        delta.removed.push_back(gone.item);
        delta.removedKeys.push_back(gone.key);
        // A refreshed item that kept its state keeps its height.
        const bool kept = std::any_of(changes.added.begin(), changes.added.end(), [&gone](const auto& put) {
            return put.item == gone.item && put.change == gone.change;
        });
        if (!kept && heightKeyFor) delta.forgottenHeights.push_back(heightKeyFor(*gone.item, gone.change));
    }
    for (const auto& put : changes.added) {
        VelkoraActivityEntry entry;
        entry.item = put.item;
        entry.key = put.key;
        entry.position = delta.added.size();
        delta.added.push_back(std::move(entry));
        if (rowTextFor) delta.rows.push_back(rowTextFor(put.item));
    }
    return delta;
}

// ---- Queue

namespace {

// Where a row kept through the deletions and insertions lands, as the table computes it.
int landing(int oldRow, const std::vector<int>& deleted, const std::vector<int>& inserted) {
    int row = oldRow - static_cast<int>(std::lower_bound(deleted.begin(), deleted.end(), oldRow) - deleted.begin());
    for (int at : inserted) {
        if (at > row) break;
        ++row;
    }
    return row;
}

constexpr size_t kMostReloadsChecked = 64;
constexpr size_t kNowhere = static_cast<size_t>(-1);

} // namespace

VelkoraFeedListChange VelkoraFeedListMirror::mergeWhole(VelkoraFeedListDelta delta, VelkoraFeedRowHeights* heights,
                                                        bool stoppable) {
    VelkoraFeedListChange change;
    change.generation = delta.generation;
    change.reset = true;
    change.oldCount = order_.size();
    change.forgottenHeights = std::move(delta.forgottenHeights);
    if (heights && delta.rows.size() == delta.whole.size()) heights->measureRows(delta.rows, stoppable);
    order_ = std::move(delta.wholeKeys);
    change.newCount = order_.size();
    change.whole = std::move(delta.whole);
    change.released = std::move(delta.removed);
    return change;
}

VelkoraFeedListChange VelkoraFeedListMirror::merge(VelkoraFeedListDelta delta, VelkoraFeedRowHeights* heights,
                                                   bool stoppable) {
    if (delta.reset && delta.added.empty()) return mergeWhole(std::move(delta), heights, stoppable);
    VelkoraFeedListChange change;
    change.generation = delta.generation;
    change.oldCount = order_.size();
    change.reset = delta.reset;
    change.forgottenHeights = std::move(delta.forgottenHeights);

    std::vector<size_t> added(delta.added.size());
    std::iota(added.begin(), added.end(), size_t{0});
    std::stable_sort(added.begin(), added.end(), [&delta](size_t a, size_t b) {
        return VelkoraActivityKey::newerFirst(delta.added[a].key, delta.added[b].key);
    });
    if (heights && delta.rows.size() == delta.added.size()) {
        // In the order shown, so a stopped warm-up has measured the top rows.
        std::vector<VelkoraFeedRowText> rows;
        rows.reserve(added.size());
        for (size_t a : added)
            rows.push_back(std::move(delta.rows[a]));
        heights->measureRows(rows, stoppable);
    }

    if (delta.reset) order_.clear();
    auto keyOf = [](const Listed& listed) -> const VelkoraActivityKey& { return listed.key; };
    auto identityOf = [](const Listed& listed) -> const void* { return listed.item; };
    // The rows of the removed items: found by the key they were listed under, else looked for.
    std::vector<size_t> gone;
    if (!delta.reset) {
        gone.reserve(delta.removed.size());
        for (size_t i = 0; i < delta.removed.size(); ++i) {
            const VelkoraActivityModel* item = delta.removed[i].get();
            size_t row = i < delta.removedKeys.size()
                             ? velkoraFindListed(order_, delta.removedKeys[i], item, keyOf, identityOf)
                             : kNowhere;
            if (row == kNowhere) {
                auto it = std::find_if(order_.begin(), order_.end(),
                                       [item](const Listed& listed) { return listed.item == item; });
                if (it != order_.end()) row = static_cast<size_t>(it - order_.begin());
            }
            if (row != kNowhere) gone.push_back(row);
        }
        std::sort(gone.begin(), gone.end());
        gone.erase(std::unique(gone.begin(), gone.end()), gone.end());
    }
    // Refreshed items: where each stood and where it goes.
    std::vector<std::pair<int, const VelkoraActivityModel*>> refreshedFrom;
    for (size_t row : gone) {
        change.deleted.push_back(static_cast<int>(row));
        refreshedFrom.emplace_back(static_cast<int>(row), order_[row].item);
    }

    std::vector<Listed> incoming;
    incoming.reserve(added.size());
    for (size_t a : added)
        incoming.push_back({delta.added[a].item.get(), delta.added[a].key, 0});
    change.inserted.resize(added.size());
    // An added item ranking equal to a listed one goes after it.
    velkoraMergeNewestFirst(order_, gone, incoming, keyOf, [&](size_t row, size_t j) {
        change.inserted[j] = {static_cast<int>(row), std::move(delta.added[added[j]].item)};
    });
    change.newCount = order_.size();

    // A refreshed row that lands where it stood is reloaded there rather than deleted and inserted. A
    // poll refreshes a few; past a handful, rows simply move.
    if (!change.reset && !refreshedFrom.empty() && refreshedFrom.size() <= kMostReloadsChecked) {
        for (const auto& [from, item] : refreshedFrom) {
            auto to = std::find_if(change.inserted.begin(), change.inserted.end(),
                                   [item = item](const auto& inserted) { return inserted.second.get() == item; });
            if (to == change.inserted.end()) continue;
            std::vector<int> deleted;
            std::vector<int> inserted;
            for (int row : change.deleted)
                if (row != from) deleted.push_back(row);
            for (const auto& [row, unused] : change.inserted)
                if (row != to->first) inserted.push_back(row);
            if (landing(from, deleted, inserted) != to->first) continue;
            change.deleted = std::move(deleted);
            change.inserted.erase(to);
            change.reloaded.push_back(from);
        }
    }
    change.released = std::move(delta.removed);
    return change;
}

// ---- Main thread

namespace {

std::vector<size_t> toRows(const std::vector<int>& rows) {
    return {rows.begin(), rows.end()};
}

// Whether the change was made from a list of this size: rows in range, each once, in order.
bool changeFits(const VelkoraFeedListChange& change, size_t size) {
    if (size != change.oldCount || change.newCount != change.oldCount - change.deleted.size() + change.inserted.size())
        return false;
    int last = -1;
    for (int row : change.deleted) {
        if (row <= last || static_cast<size_t>(row) >= change.oldCount) return false;
        last = row;
    }
    last = -1;
    for (const auto& [row, item] : change.inserted) {
        if (row <= last || static_cast<size_t>(row) >= change.newCount) return false;
        last = row;
    }
    return true;
}

} // namespace

namespace {

// Rows in range, in order, and items to put in: then the list takes the change.
bool insertionsFit(const VelkoraFeedListChange& change, size_t size) {
    if (!changeFits(change, size)) return false;
    for (const auto& inserted : change.inserted)
        if (!inserted.second) return false;
    return true;
}

template <class List> bool applyListChange(List& list, VelkoraFeedListChange& change) {
    // Checked whole before anything moves: a change that does not fit leaves the list as it was.
    if (!change.reset && !insertionsFit(change, list.size())) return false;
    velkoraEditInPlace(
        list, toRows(change.deleted), change.inserted.size(),
        [&change](size_t j) { return static_cast<size_t>(change.inserted[j].first); },
        [&](size_t row, size_t j) { velkoraRowOf(list, row) = std::move(change.inserted[j].second); });
    return true;
}

} // namespace

bool velkoraApplyListChange(std::vector<VelkoraActivityPtr>& list, VelkoraFeedListChange& change) {
    if (change.reset) {
        list.assign(change.whole.begin(), change.whole.end());
        list.reserve(list.size() + change.inserted.size());
        for (auto& [row, item] : change.inserted)
            list.push_back(std::move(item));
        return true;
    }
    return applyListChange(list, change);
}

bool velkoraApplyListChange(VelkoraChunkedList<VelkoraActivityPtr>& list, VelkoraFeedListChange& change) {
    if (change.reset) {
        // The list as handed over shares its chunks; nothing is copied item by item.
        list = std::move(change.whole);
        for (auto& [row, item] : change.inserted)
            list.push_back(std::move(item));
        return true;
    }
    return applyListChange(list, change);
}

void velkoraApplyListChange(std::vector<float>& values, const VelkoraFeedListChange& change, float unknown) {
    if (change.reset || !changeFits(change, values.size())) {
        values.clear();
        return;
    }
    for (int row : change.reloaded)
        if (row >= 0 && static_cast<size_t>(row) < values.size()) values[static_cast<size_t>(row)] = unknown;
    velkoraEditInPlace(
        values, toRows(change.deleted), change.inserted.size(),
        [&change](size_t j) { return static_cast<size_t>(change.inserted[j].first); },
        [&](size_t row, size_t) { values[row] = unknown; });
}

void velkoraApplyListChange(ui::TableView& table, const VelkoraFeedListChange& change) {
    if (change.empty()) return;
    if (change.reset || table.numberOfSections() != 1 ||
        table.numberOfRowsInSection(0) != static_cast<int>(change.oldCount)) {
        table.reloadData();
        return;
    }
    auto paths = [](const std::vector<int>& rows) {
        std::vector<ui::IndexPath> out;
        out.reserve(rows.size());
        for (int row : rows)
            out.push_back(ui::IndexPath::of(row, 0));
        return out;
    };
    std::vector<int> inserted;
    inserted.reserve(change.inserted.size());
    for (const auto& [row, item] : change.inserted)
        inserted.push_back(row);
    table.beginUpdates();
    if (!change.deleted.empty()) table.deleteRowsAtIndexPaths(paths(change.deleted));
    if (!inserted.empty()) table.insertRowsAtIndexPaths(paths(inserted));
    if (!change.reloaded.empty()) table.reloadRowsAtIndexPaths(paths(change.reloaded));
    table.endUpdates();
}

} // namespace velkora
