// The screen as a live display shows it: every visible window back to front into one picture that is
// kept from frame to frame and redrawn only where something drawn changed. What each visible view draws
// (its place on screen, look, text, picture, and the count of its setNeedsDisplay calls) is noted every
// frame; a view whose note changed, came or went marks its old and new places as changed, and only
// those parts are drawn again (views wholly outside them are passed over). A clipping view with an opaque
// background whose content only moved (a scroll) has the pixels that stay in view moved by the offset,
// and only what came into view, or changed besides moving, is drawn. Nothing changed: no frame.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/ui/Geometry.h"

namespace velkora::ui {

class GraphicsContext;
class Image;
class View;

struct PixelRect {
    int x = 0, y = 0, width = 0, height = 0;
    bool isEmpty() const { return width <= 0 || height <= 0; }
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// How many times the view called setNeedsDisplay (kept by the view layer).
uint64_t displayGenerationOf(const View& view);

// Every visible window into the context, in screen points, on black, as Snapshot draws the screen; a
// subtree the predicate answers true for is left out (a redraw of part of the screen passes over what
// lies outside it). Defined with the snapshots.
void drawScreenInto(GraphicsContext& context, const std::function<bool(View&)>& skip);

class ScreenRenderer {
public:
    // `scale` pixels per point of the main screen.
    explicit ScreenRenderer(double scale = 1.0);
    ~ScreenRenderer();
    ScreenRenderer(const ScreenRenderer&) = delete;
    ScreenRenderer& operator=(const ScreenRenderer&) = delete;

    double scale() const { return scale_; }
    // The picture of the last frame: premultiplied ARGB32 words (Cairo's), opaque, rows bytesPerRow()
    // apart; null before the first frame.
    const uint8_t* pixels() const;
    int pixelWidth() const;
    int pixelHeight() const;
    int bytesPerRow() const;
    // A copy of the last frame.
    std::shared_ptr<Image> image() const;

    // Whether the screen differs from the last frame (windows are laid out first).
    bool needsDrawing();
    // Draws the parts that changed since the last frame; answers what changed, in pixels (empty: nothing
    // changed and nothing was drawn). Every changed part is listed in changedRects().
    PixelRect drawFrame();
    const std::vector<PixelRect>& changedRects() const { return changed_; }
    // The next frame draws everything.
    void invalidateAll();
    // Frames that drew something.
    uint64_t framesDrawn() const { return frames_; }

private:
    struct Drawn {
        Rect rect; // where it draws on screen, in points, clipped
        // What it and its subviews may cover: a redraw passes over subtrees outside the changed parts.
        Rect subtree;
        // All it draws but its place: a view that only moved keeps its signature.
        uint64_t signature = 0;
        Point origin; // where its own coordinates start on screen
        // What shows of its bounds, for a clipping view that hides all behind it (else empty): the part
        // a scroll can move.
        Rect movable;
        // Its place in drawing order, and the last place in its subtree.
        uint32_t first = 0, last = 0;
    };
    struct Scan {
        std::unordered_map<const View*, Drawn> views;
        Size screen;
        uint32_t count = 0;
    };
    // Pixels moved within `area` by (dx, dy), for a view whose content scrolled.
    struct Shift {
        const View* view = nullptr;
        PixelRect area;
        int dx = 0, dy = 0;
    };
    struct Damage {
        std::vector<Rect> rects; // to draw, in points
        std::vector<Shift> shifts;
    };
    Scan scan();
    Rect scanView(View& view, const AffineTransform& parent, const Rect& clip, double alpha, uint64_t order, Scan& out);
    Damage damage(const Scan& now) const;
    std::vector<Shift> shifts(const Scan& now) const;
    void applyShift(const Shift& shift);

    double scale_;
    std::unique_ptr<GraphicsContext> context_;
    Scan last_;
    bool drawnOnce_ = false;
    std::vector<PixelRect> changed_;
    uint64_t frames_ = 0;
};

} // namespace velkora::ui
