#include "platform/ui/MapPointIndex.h"

#include "platform/ui/MapView.h"

namespace velkora::ui {

MapPointIndex::Span MapPointIndex::spanOf(const MapRect& rect) {
    Span span;
    span.north = MapView::latitudeOfMercatorY(std::clamp(rect.y, 0.0, 1.0));
    span.south = MapView::latitudeOfMercatorY(std::clamp(rect.y + rect.height, 0.0, 1.0));
    // The poles the projection stops short of belong to the edge rows.
    if (rect.y <= 0) span.north = 90;
    if (rect.y + rect.height >= 1) span.south = -90;
    if (rect.width >= 1) {
        span.west = -180;
        span.east = 180;
        return span;
    }
    const auto wrapped = [](double x) {
        x = std::fmod(x, 1.0);
        return MapView::longitudeOfMercatorX(x < 0 ? x + 1 : x);
    };
    span.west = wrapped(rect.x);
    span.east = wrapped(rect.x + rect.width);
    // A rectangle ending exactly on the date line reads its east edge as -180.
    if (span.east == -180 && rect.width > 0) span.east = 180;
    return span;
}

std::vector<uint32_t> MapPointIndex::bucketsMeeting(const Span& span) const {
    const uint32_t buckets = static_cast<uint32_t>(starts_.size() - 1), mask = buckets - 1;
    std::vector<uint32_t> found;
    const uint32_t top = rowOf(span.north), bottom = rowOf(span.south);
    const uint32_t west = columnOf(span.west), east = columnOf(span.east);
    const uint64_t columns = west <= east && span.west <= span.east ? uint64_t(east - west) + 1
                                                                    : (uint64_t(1) << kColumnBits) - west + east + 1;
    const uint64_t cells = columns * (uint64_t(top) - bottom + 1);
    if (cells >= buckets) {
        found.resize(buckets);
        for (uint32_t b = 0; b < buckets; ++b)
            found[b] = b;
        return found;
    }
    found.reserve(static_cast<size_t>(cells));
    for (uint64_t i = 0; i < columns; ++i) {
        const auto column = static_cast<uint32_t>((west + i) & ((1u << kColumnBits) - 1));
        for (uint32_t row = bottom; row <= top; ++row)
            found.push_back(bucketOfCell(column, row, mask));
    }
    std::sort(found.begin(), found.end());
    found.erase(std::unique(found.begin(), found.end()), found.end());
    return found;
}

} // namespace velkora::ui
