#include "feed/VelkoraFeedListMerge.h"

#include <algorithm>
#include <numeric>
#include <unordered_set>

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

void VelkoraFeedListSnapshot::add(const VelkoraActivityPtr& item, Seen& seen, const RowTextFor& rowTextFor) {
    VelkoraActivityEntry entry;
    entry.item = item;
    entry.key = seen.key;
    entry.activityId = item->activityId();
    entry.position = delta_.added.size();
    VelkoraFeedRowText row = rowTextFor ? rowTextFor(item) : VelkoraFeedRowText{};
    seen.heightKey = row.heightKey;
    delta_.added.push_back(std::move(entry));
    delta_.rows.push_back(std::move(row));
}

void VelkoraFeedListSnapshot::remove(Seen& seen) {
    delta_.removed.push_back(seen.item);
    if (!seen.heightKey.empty()) delta_.forgottenHeights.push_back(seen.heightKey);
}

void VelkoraFeedListSnapshot::see(const VelkoraActivityPtr& item, const RowTextFor& rowTextFor) {
    if (!item) return;
    auto [it, isNew] = known_.try_emplace(item.get());
    Seen& seen = it->second;
    // The same object twice in one pass is listed once.
    if (!isNew && seen.pass == pass_) return;
    seen.pass = pass_;
    ++seenThisPass_;
    const VelkoraActivityKey key = VelkoraActivityKey::of(*item);
    const bool hidden = velkoraActivityHidden(*item);
    const int32_t change = velkoraActivityChangeNumber(*item);
    if (!isNew) {
        if (key == seen.key && hidden == seen.hidden && change == seen.change) return;
        // Refreshed in place: out of its old place, into its new one.
        if (!seen.hidden) remove(seen);
    } else {
        seen.item = item;
    }
    seen.key = key;
    seen.hidden = hidden;
    seen.change = change;
    if (!hidden) add(item, seen, rowTextFor);
}

VelkoraFeedListDelta VelkoraFeedListSnapshot::finish() {
    if (seenThisPass_ != known_.size()) {
        for (auto it = known_.begin(); it != known_.end();) {
            if (it->second.pass == pass_) {
                ++it;
                continue;
            }
            if (!it->second.hidden) remove(it->second);
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

} // namespace

VelkoraFeedListChange VelkoraFeedListMirror::merge(VelkoraFeedListDelta delta, VelkoraFeedRowHeights* heights,
                                                   bool stoppable) {
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
    if (heights) {
        // In the order shown, so a stopped warm-up has measured the top rows.
        std::vector<VelkoraFeedRowText> rows;
        rows.reserve(added.size());
        for (size_t a : added)
            rows.push_back(std::move(delta.rows[a]));
        heights->measureRows(rows, stoppable);
    }

    if (delta.reset) order_.clear();
    std::vector<const VelkoraActivityModel*> gone;
    if (!delta.reset) {
        gone.reserve(delta.removed.size());
        for (const auto& item : delta.removed)
            gone.push_back(item.get());
        std::sort(gone.begin(), gone.end());
    }

    std::vector<Listed> next;
    next.reserve(order_.size() + added.size());
    // Refreshed items: where each stood and where it goes.
    std::vector<std::pair<int, const VelkoraActivityModel*>> refreshedFrom;
    size_t a = 0;
    auto insertAdded = [&] {
        auto& entry = delta.added[added[a++]];
        change.inserted.emplace_back(static_cast<int>(next.size()), std::move(entry.item));
        next.push_back({change.inserted.back().second.get(), entry.key});
    };
    for (size_t i = 0; i < order_.size(); ++i) {
        const Listed& listed = order_[i];
        if (!gone.empty() && std::binary_search(gone.begin(), gone.end(), listed.item)) {
            change.deleted.push_back(static_cast<int>(i));
            refreshedFrom.emplace_back(static_cast<int>(i), listed.item);
            continue;
        }
        // An added item ranking equal to a listed one goes after it.
        while (a < added.size() && VelkoraActivityKey::newerFirst(delta.added[added[a]].key, listed.key))
            insertAdded();
        next.push_back(listed);
    }
    while (a < added.size())
        insertAdded();
    order_ = std::move(next);
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

bool velkoraApplyListChange(std::vector<VelkoraActivityPtr>& list, VelkoraFeedListChange& change) {
    if (change.reset) {
        list.clear();
        list.reserve(change.inserted.size());
        for (auto& [row, item] : change.inserted)
            list.push_back(std::move(item));
        return true;
    }
    // Checked whole before anything moves: a change that does not fit leaves the list as it was.
    if (list.size() != change.oldCount ||
        change.newCount != change.oldCount - change.deleted.size() + change.inserted.size())
        return false;
    for (int row : change.deleted)
        if (row < 0 || static_cast<size_t>(row) >= change.oldCount) return false;
    for (const auto& [row, item] : change.inserted)
        if (row < 0 || static_cast<size_t>(row) >= change.newCount || !item) return false;
    std::vector<VelkoraActivityPtr> next;
    next.reserve(change.newCount);
    size_t d = 0;
    size_t ins = 0;
    for (size_t i = 0; i < list.size(); ++i) {
        if (d < change.deleted.size() && change.deleted[d] == static_cast<int>(i)) {
            ++d;
            continue;
        }
        while (ins < change.inserted.size() && change.inserted[ins].first == static_cast<int>(next.size()))
            next.push_back(std::move(change.inserted[ins++].second));
        next.push_back(std::move(list[i]));
    }
    while (ins < change.inserted.size())
        next.push_back(std::move(change.inserted[ins++].second));
    list = std::move(next);
    return true;
}

} // namespace velkora
