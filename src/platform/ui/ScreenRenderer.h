// The screen as a live display shows it: every visible window back to front into one picture that is
// kept from frame to frame and redrawn only where something drawn changed. What each visible view draws
// (its place on screen, look, text, picture, and the count of its setNeedsDisplay calls) is noted every
// frame; a view whose note changed, came or went marks its old and new places as changed, and only
// those parts are drawn again (views wholly outside them are passed over). Nothing changed: no frame.
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
        uint64_t signature = 0;
    };
    struct Scan {
        std::unordered_map<const View*, Drawn> views;
        Size screen;
    };
    Scan scan();
    Rect scanView(View& view, const AffineTransform& parent, const Rect& clip, double alpha, uint64_t order, Scan& out);
    std::vector<Rect> damage(const Scan& now) const;

    double scale_;
    std::unique_ptr<GraphicsContext> context_;
    Scan last_;
    bool drawnOnce_ = false;
    std::vector<PixelRect> changed_;
    uint64_t frames_ = 0;
};

} // namespace velkora::ui
