// The drawing context behind every view's draw method and every bitmap the kit paints: a Cairo context
// with the platform's drawing operations (paths, arcs, fills, strokes, images, stretchable images, text,
// transforms, shadows, clipping, gradients). Coordinates are points with the origin at the top left.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/AttributedString.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/Image.h"
#include "platform/ui/TextLayout.h"

typedef struct _cairo cairo_t;

namespace velkora::ui {

enum class LineCap { Butt, Round, Square };
enum class LineJoin { Miter, Round, Bevel };
enum class BlendMode { Normal, Multiply, Screen, Overlay, Clear, Copy, SourceIn, DestinationOut };

class GraphicsContext {
public:
    // Draws into an existing Cairo context (a reference is taken).
    explicit GraphicsContext(cairo_t* cr);
    ~GraphicsContext();
    GraphicsContext(const GraphicsContext&) = delete;
    GraphicsContext& operator=(const GraphicsContext&) = delete;

    // A bitmap context of `size` points at `scale` pixels per point, transparent (or white when opaque),
    // with byte access. Null for an empty size.
    static std::unique_ptr<GraphicsContext> bitmap(Size size, double scale = 1.0, bool opaque = false);
    // Draws straight into an image's pixels.
    static std::unique_ptr<GraphicsContext> forImage(const std::shared_ptr<Image>& image);

    cairo_t* cairo() const { return cr_; }

    // Bitmap contexts only (null / 0 otherwise): premultiplied ARGB32, rows `bytesPerRow()` apart.
    uint8_t* bitmapData();
    int bytesPerRow() const;
    int pixelWidth() const;
    int pixelHeight() const;
    double scale() const { return scale_; }
    // A copy of what was drawn so far, as an image of the context's scale.
    std::shared_ptr<Image> makeImage() const;

    // State.
    void saveGState();
    void restoreGState();
    void translate(double dx, double dy);
    void scaleBy(double sx, double sy);
    void rotate(double radians);
    void concat(const AffineTransform& t);
    AffineTransform ctm() const;
    void setFillColor(const Color& c) { fill_ = c; }
    void setStrokeColor(const Color& c) { stroke_ = c; }
    Color fillColor() const { return fill_; }
    void setLineWidth(double w);
    void setLineCap(LineCap cap);
    void setLineJoin(LineJoin join);
    void setLineDash(double phase, const std::vector<double>& lengths);
    void setAlpha(double alpha) { alpha_ = std::clamp(alpha, 0.0, 1.0); }
    double alpha() const { return alpha_; }
    void setBlendMode(BlendMode mode);
    // Every following drawing casts a shadow until the state is restored or the colour is cleared.
    void setShadow(Size offset, double blur, const Color& color);
    void clearShadow() { shadowColor_ = Color::clear(); }

    // Paths.
    void beginPath();
    void moveTo(Point p);
    void lineTo(Point p);
    void curveTo(Point c1, Point c2, Point end);
    void quadCurveTo(Point control, Point end);
    // Angles in radians from the x axis; clockwise as seen on screen (y downwards).
    void addArc(Point center, double radius, double startAngle, double endAngle, bool clockwise);
    void addArcToPoint(Point p1, Point p2, double radius);
    void addRect(const Rect& r);
    void addEllipseInRect(const Rect& r);
    void addRoundedRect(const Rect& r, double radius);
    void closePath();
    bool isPathEmpty() const;

    void fillPath(bool evenOdd = false);
    void strokePath();
    void fillRect(const Rect& r);
    void strokeRect(const Rect& r);
    void clearRect(const Rect& r);
    void fillEllipseInRect(const Rect& r);
    void strokeEllipseInRect(const Rect& r);
    void strokeLine(Point a, Point b);
    // Top to bottom (or along `start` → `end`) between colours at locations 0...1.
    void drawLinearGradient(const std::vector<Color>& colors, const std::vector<double>& locations, Point start,
                            Point end);
    void drawRadialGradient(const std::vector<Color>& colors, const std::vector<double>& locations, Point center,
                            double radius);

    // Clipping to the current path (then cleared), or to a rectangle.
    void clip(bool evenOdd = false);
    void clipToRect(const Rect& r);
    Rect clipBoundingBox() const;

    // Images fill `rect`; stretchable ones keep their caps and stretch or tile the middle.
    void drawImage(const Image& image, const Rect& rect);
    void drawImage(const Image& image, Point at) { drawImage(image, Rect(at, image.size())); }
    void drawTiledImage(const Image& image, const Rect& rect);

    // Text in `rect`: laid out in its width (and cut to the lines that fit in its height when the options
    // give no line limit). Answers the layout used.
    std::unique_ptr<TextLayout> drawText(const AttributedString& text, const Rect& rect, TextLayoutOptions options = {});
    std::unique_ptr<TextLayout> drawText(const std::string& text, const Font& font, const Color& color, const Rect& rect,
                                         TextLayoutOptions options = {});
    void drawTextLayout(const TextLayout& layout, Point origin);

private:
    GraphicsContext() = default;
    template <typename Paint>
    void withShadow(Paint&& paint);
    void setSource(const Color& c);
    void drawResizable(const Image& image, const Rect& rect);

    cairo_t* cr_ = nullptr;
    double scale_ = 1.0;
    Color fill_ = Color::black();
    Color stroke_ = Color::black();
    double alpha_ = 1.0;
    Size shadowOffset_;
    double shadowBlur_ = 0;
    Color shadowColor_ = Color::clear();
    struct Saved {
        Color fill, stroke;
        double alpha;
        Size shadowOffset;
        double shadowBlur;
        Color shadowColor;
    };
    std::vector<Saved> saved_;
};

}  // namespace velkora::ui
