// Which of a caller's many points lie in a part of the world, for a pin source that must answer a map
// without holding an annotation per point. The points stay the caller's: the index holds 4-byte positions
// in the caller's list, grouped by cell of a grid of the world in degrees (cells hashed into buckets, so a
// few far-off points cost nothing more), built in two passes over the points with no other copy of them.
#pragma once

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "platform/ui/MapAnnotation.h"

namespace velkora::ui {

// A rectangle of the world in the map's units: x east and y south, the whole world 0...1 each way
// (spherical Mercator, as MapView::mercatorX and mercatorY).
struct MapRect {
    double x = 0, y = 0, width = 0, height = 0;
    static MapRect world() { return {0, 0, 1, 1}; }
};

class MapPointIndex {
public:
    // Points at `coordinateOf(position)` for the positions below `count`; a position whose coordinate is
    // none or impossible is left out.
    template <class CoordinateOf> void build(uint32_t count, const CoordinateOf& coordinateOf) {
        positions_.clear();
        starts_.assign(bucketsFor(count) + 1, 0);
        const uint32_t mask = static_cast<uint32_t>(starts_.size() - 2);
        // Counted first, so the positions are held in one block of their exact size.
        uint32_t indexed = 0;
        for (uint32_t p = 0; p < count; ++p)
            if (const std::optional<MapCoordinate> c = coordinateOf(p); c && isValidCoordinate(*c)) {
                ++starts_[bucketOf(*c, mask) + 1];
                ++indexed;
            }
        for (size_t b = 1; b < starts_.size(); ++b)
            starts_[b] += starts_[b - 1];
        positions_.resize(indexed);
        // Each bucket's start moves up as it fills, ending where the next begins; shifted back after.
        for (uint32_t p = 0; p < count; ++p)
            if (const std::optional<MapCoordinate> c = coordinateOf(p); c && isValidCoordinate(*c))
                positions_[starts_[bucketOf(*c, mask)]++] = p;
        for (size_t b = starts_.size() - 1; b > 0; --b)
            starts_[b] = starts_[b - 1];
        starts_[0] = 0;
    }

    // The positions whose point lies in `rect` (x may run past 1 across the date line), ascending.
    template <class CoordinateOf>
    std::vector<uint32_t> positionsIn(const MapRect& rect, const CoordinateOf& coordinateOf) const {
        std::vector<uint32_t> found;
        if (positions_.empty()) return found;
        const Span span = spanOf(rect);
        const auto take = [&](uint32_t bucket) {
            for (uint32_t i = starts_[bucket]; i < starts_[bucket + 1]; ++i)
                if (const std::optional<MapCoordinate> c = coordinateOf(positions_[i]); c && span.contains(*c))
                    found.push_back(positions_[i]);
        };
        for (uint32_t bucket : bucketsMeeting(span))
            take(bucket);
        std::sort(found.begin(), found.end());
        return found;
    }

    size_t size() const { return positions_.size(); }
    bool empty() const { return positions_.empty(); }
    void clear() {
        positions_.clear();
        starts_.clear();
    }

private:
    // The grid: 2^14 columns of longitude and 2^13 rows of latitude (some 2.4 km at the equator).
    static constexpr int kColumnBits = 14, kRowBits = 13;

    // Longitudes from `west` eastwards to `east` (east below west: across the date line).
    struct Span {
        double south, north, west, east;
        bool contains(const MapCoordinate& c) const {
            if (c.latitude < south || c.latitude > north) return false;
            return west <= east ? c.longitude >= west && c.longitude <= east
                                : c.longitude >= west || c.longitude <= east;
        }
    };

    // Some eight points to a bucket.
    static size_t bucketsFor(uint32_t count) { return std::max<size_t>(16, std::bit_ceil(size_t(count) / 8 + 1)); }
    static uint32_t columnOf(double longitude) {
        return static_cast<uint32_t>(
            std::clamp((longitude + 180) / 360 * (1u << kColumnBits), 0.0, double((1u << kColumnBits) - 1)));
    }
    static uint32_t rowOf(double latitude) {
        return static_cast<uint32_t>(
            std::clamp((latitude + 90) / 180 * (1u << kRowBits), 0.0, double((1u << kRowBits) - 1)));
    }
    static uint32_t bucketOfCell(uint32_t column, uint32_t row, uint32_t mask) {
        return static_cast<uint32_t>(((uint64_t(column) << kRowBits | row) * 0x9E3779B97F4A7C15ull) >> 32) & mask;
    }
    static uint32_t bucketOf(const MapCoordinate& c, uint32_t mask) {
        return bucketOfCell(columnOf(c.longitude), rowOf(c.latitude), mask);
    }
    static Span spanOf(const MapRect& rect);
    // Each bucket once, for the cells the span meets (every bucket when they outnumber them).
    std::vector<uint32_t> bucketsMeeting(const Span& span) const;

    std::vector<uint32_t> positions_; // by bucket, ascending within one
    std::vector<uint32_t> starts_;    // where each bucket begins in positions_, and the end
};

} // namespace velkora::ui
