// Rendering views to pictures: a view (with its subtree) or the whole screen, with backgrounds, corner
// radii, borders, shadows, alpha, clipping, transforms, and the content of the standard views (labels'
// text, image views' pictures, buttons' backgrounds) followed by each view's own drawRect. This is how
// people look at the kit's screens.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/Geometry.h"

namespace velkora::ui {

class GraphicsContext;
class Image;
class Label;
class View;

class Snapshot {
public:
    // The view's bounds at `scale` pixels per point (its own position and transform are not applied;
    // those of its subviews are). The tree is laid out first.
    static std::shared_ptr<Image> imageOfView(View& view, double scale = 1.0);
    // Every visible window at its place on the main screen, back to front, on black.
    static std::shared_ptr<Image> imageOfScreen(double scale = 1.0);
    static bool writePng(View& view, const std::string& path, double scale = 1.0);
    static bool writeScreenPng(const std::string& path, double scale = 1.0);

    // Draws the view and its subtree into the context's current coordinates, taken as the view's own.
    static void drawTree(View& view, GraphicsContext& context);
    // What the view itself shows over its background: the standard views' content, then drawRect.
    static void drawContent(View& view, GraphicsContext& context);
};

// A label's text: measured as the label shows it (its font, lines, line breaking), and drawn centred
// vertically in its bounds.
Size measureLabel(const Label& label, Size bounds);
void drawLabel(const Label& label, GraphicsContext& context);

}  // namespace velkora::ui
