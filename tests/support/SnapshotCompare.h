// Comparing pictures of the ui with their references, loosely enough for anti-aliased edges that move a
// little between library versions, strictly enough that shapes and colours may not.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "platform/ui/Image.h"

namespace velkora::testing {

// Pixels that differ by more than `threshold` in some channel, as a share of all pixels (1 when the sizes
// differ).
inline double shareOfPixelsDiffering(const ui::Image& a, const ui::Image& b, int threshold) {
    if (a.pixelWidth() != b.pixelWidth() || a.pixelHeight() != b.pixelHeight()) return 1;
    long differing = 0;
    for (int y = 0; y < a.pixelHeight(); ++y)
        for (int x = 0; x < a.pixelWidth(); ++x) {
            uint32_t p = a.pixelAt(x, y), q = b.pixelAt(x, y);
            for (int shift = 0; shift < 32; shift += 8)
                if (std::abs(int((p >> shift) & 0xff) - int((q >> shift) & 0xff)) > threshold) {
                    ++differing;
                    break;
                }
        }
    return double(differing) / (double(a.pixelWidth()) * a.pixelHeight());
}

// Whether a picture shows what its reference shows.
inline bool looksLike(const ui::Image& shot, const ui::Image& reference) {
    return shareOfPixelsDiffering(shot, reference, 48) < 0.01 && shareOfPixelsDiffering(shot, reference, 160) < 0.002;
}

} // namespace velkora::testing
