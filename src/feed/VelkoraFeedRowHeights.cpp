#include "feed/VelkoraFeedRowHeights.h"

namespace velkora {

VelkoraFeedRowHeights::VelkoraFeedRowHeights(std::map<int, VelkoraFeedCellGeometry> geometries)
    : geometries_(std::move(geometries)) {}

std::optional<float> VelkoraFeedRowHeights::find(const std::string& key) const {
    std::lock_guard lock(mutex_);
    auto it = heights_.find(key);
    if (it == heights_.end()) return std::nullopt;
    return it->second;
}

float VelkoraFeedRowHeights::measure(const std::string& key, const VelkoraFeedCellText& text) {
    std::lock_guard lock(mutex_);
    if (auto it = heights_.find(key); it != heights_.end()) return it->second;
    auto geometry = geometries_.find(text.kind);
    const float height =
        geometry == geometries_.end() ? 0.0F : static_cast<float>(velkoraFeedRowHeight(text, geometry->second));
    heights_.emplace(key, height);
    measured_.fetch_add(1);
    return height;
}

void VelkoraFeedRowHeights::measureRows(const std::vector<VelkoraFeedRowText>& rows, bool stoppable) {
    for (const auto& row : rows) {
        if (stoppable && shouldStop()) return;
        if (row.text) measure(row.heightKey, *row.text);
    }
}

void VelkoraFeedRowHeights::keepOnly(const std::unordered_set<std::string>& keys) {
    std::lock_guard lock(mutex_);
    std::erase_if(heights_, [&keys](const auto& entry) { return !keys.count(entry.first); });
}

void VelkoraFeedRowHeights::forget(const std::vector<std::string>& keys) {
    if (keys.empty()) return;
    std::lock_guard lock(mutex_);
    for (const auto& key : keys)
        heights_.erase(key);
}

size_t VelkoraFeedRowHeights::size() const {
    std::lock_guard lock(mutex_);
    return heights_.size();
}

} // namespace velkora
