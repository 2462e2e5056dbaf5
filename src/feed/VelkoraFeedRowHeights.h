// The row heights of one feed table, shared by the main thread and its owner's serial queue: each height
// is measured once per item state and width, under one lock held for the whole measurement, from the
// plain values the main thread copied (the measuring cells' layouts and the rows' texts).
#pragma once

#include <atomic>
#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "feed/VelkoraFeedCellMeasure.h"

namespace velkora {

// What one row's height needs: its cache key, and its text unless it was measured when copied.
struct VelkoraFeedRowText {
    std::string heightKey;
    std::optional<VelkoraFeedCellText> text;
};

class VelkoraFeedRowHeights {
public:
    explicit VelkoraFeedRowHeights(std::map<int, VelkoraFeedCellGeometry> geometries);

    std::optional<float> find(const std::string& key) const;
    // The cached height, else measured now (counted) and kept.
    float measure(const std::string& key, const VelkoraFeedCellText& text);
    // Measures the rows that carry a text and are not cached yet, in order. A stoppable pass (the warm-up
    // before the table is wired) ends early once `stop` was asked; the rest is measured when shown.
    void measureRows(const std::vector<VelkoraFeedRowText>& rows, bool stoppable);
    // Forgets the heights of every key not listed.
    void keepOnly(const std::unordered_set<std::string>& keys);
    // Forgets the heights of these keys.
    void forget(const std::vector<std::string>& keys);

    void stop() { shouldStop_.store(true); }
    bool shouldStop() const { return shouldStop_.load(); }
    // Measurements made so far.
    size_t measuredCount() const { return measured_.load(); }
    size_t size() const;

private:
    const std::map<int, VelkoraFeedCellGeometry> geometries_;
    mutable std::mutex mutex_;
    std::unordered_map<std::string, float> heights_;
    std::atomic<bool> shouldStop_{false};
    std::atomic<size_t> measured_{0};
};

} // namespace velkora
