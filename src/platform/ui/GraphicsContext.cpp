#include "platform/ui/GraphicsContext.h"

#include <cairo.h>

#include <cmath>
#include <cstring>
#include <functional>

namespace velkora::ui {

namespace {

// Three box blurs approximate a Gaussian; `radius` in pixels, on the alpha of an ARGB32 surface.
void blurAlpha(cairo_surface_t* s, int radius) {
    if (radius < 1) return;
    cairo_surface_flush(s);
    int w = cairo_image_surface_get_width(s), h = cairo_image_surface_get_height(s);
    int stride = cairo_image_surface_get_stride(s);
    unsigned char* data = cairo_image_surface_get_data(s);
    std::vector<int> a(size_t(w) * size_t(h)), tmp(a.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t p;
            std::memcpy(&p, data + size_t(y) * size_t(stride) + size_t(x) * 4, 4);
            a[size_t(y) * size_t(w) + size_t(x)] = int(p >> 24);
        }
    auto pass = [&](std::vector<int>& src, std::vector<int>& dst, bool horizontal) {
        int n = horizontal ? w : h, lines = horizontal ? h : w;
        for (int l = 0; l < lines; ++l) {
            auto at = [&](int i) -> int& {
                return horizontal ? src[size_t(l) * size_t(w) + size_t(i)] : src[size_t(i) * size_t(w) + size_t(l)];
            };
            int sum = 0;
            for (int i = -radius; i <= radius; ++i) sum += (i >= 0 && i < n) ? at(i) : 0;
            for (int i = 0; i < n; ++i) {
                int& out = horizontal ? dst[size_t(l) * size_t(w) + size_t(i)] : dst[size_t(i) * size_t(w) + size_t(l)];
                out = sum / (2 * radius + 1);
                int add = i + radius + 1, drop = i - radius;
                if (add < n) sum += at(add);
                if (drop >= 0) sum -= at(drop);
            }
        }
    };
    for (int k = 0; k < 3; ++k) {
        pass(a, tmp, true);
        pass(tmp, a, false);
    }
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t p = uint32_t(std::clamp(a[size_t(y) * size_t(w) + size_t(x)], 0, 255)) << 24;
            std::memcpy(data + size_t(y) * size_t(stride) + size_t(x) * 4, &p, 4);
        }
    cairo_surface_mark_dirty(s);
}

cairo_operator_t operatorFor(BlendMode m) {
    switch (m) {
    case BlendMode::Multiply: return CAIRO_OPERATOR_MULTIPLY;
    case BlendMode::Screen: return CAIRO_OPERATOR_SCREEN;
    case BlendMode::Overlay: return CAIRO_OPERATOR_OVERLAY;
    case BlendMode::Clear: return CAIRO_OPERATOR_CLEAR;
    case BlendMode::Copy: return CAIRO_OPERATOR_SOURCE;
    case BlendMode::SourceIn: return CAIRO_OPERATOR_IN;
    case BlendMode::DestinationOut: return CAIRO_OPERATOR_DEST_OUT;
    default: return CAIRO_OPERATOR_OVER;
    }
}

void addGradientStops(cairo_pattern_t* p, const std::vector<Color>& colors, const std::vector<double>& locations,
                      double alpha) {
    for (size_t i = 0; i < colors.size(); ++i) {
        double at = i < locations.size() ? locations[i] : (colors.size() > 1 ? double(i) / double(colors.size() - 1) : 0);
        const Color& c = colors[i];
        cairo_pattern_add_color_stop_rgba(p, at, c.r, c.g, c.b, c.a * alpha);
    }
}

// Paints part of a surface (pixels `src`) into `dst` (user space), stretched or tiled.
void paintSlice(cairo_t* cr, cairo_surface_t* surface, const Rect& src, const Rect& dst, double pixelsPerPoint,
                bool tile, double alpha) {
    if (src.isEmpty() || dst.width() <= 0 || dst.height() <= 0) return;
    cairo_surface_t* sub = cairo_surface_create_for_rectangle(surface, src.x(), src.y(), src.width(), src.height());
    cairo_save(cr);
    cairo_rectangle(cr, dst.x(), dst.y(), dst.width(), dst.height());
    cairo_clip(cr);
    cairo_translate(cr, dst.x(), dst.y());
    if (tile) cairo_scale(cr, 1 / pixelsPerPoint, 1 / pixelsPerPoint);
    else cairo_scale(cr, dst.width() / src.width(), dst.height() / src.height());
    cairo_set_source_surface(cr, sub, 0, 0);
    cairo_pattern_set_extend(cairo_get_source(cr), tile ? CAIRO_EXTEND_REPEAT : CAIRO_EXTEND_PAD);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_paint_with_alpha(cr, alpha);
    cairo_restore(cr);
    cairo_surface_destroy(sub);
}

// Splits one axis of a stretchable image: source cap sizes in pixels, kept so a middle of at least one
// pixel remains when the picture has two or more; destination caps shrink together when the target is
// smaller than both.
struct AxisSplit {
    double srcLead, srcMid, srcTrail;
    double dstLead, dstMid, dstTrail;
};

// `snap` moves a position along the axis onto the nearest edge between the target's pixels.
AxisSplit splitAxis(double pixels, double scale, double capLead, double capTrail, double origin, double dst,
                    const std::function<double(double)>& snap) {
    AxisSplit a{};
    double lead = std::clamp(capLead * scale, 0.0, pixels), trail = std::clamp(capTrail * scale, 0.0, pixels - lead);
    // Caps that meet (half caps of an odd picture overlap by one) give up pixels evenly, so the centre
    // line is what stretches.
    double excess = lead + trail - (pixels - 1);
    if (excess > 0 && pixels >= 2) {
        double fromLead = std::min(lead, std::ceil(excess / 2));
        lead -= fromLead;
        trail = std::max(0.0, trail - (excess - fromLead));
    }
    a.srcLead = std::round(lead);
    a.srcTrail = std::round(trail);
    a.srcMid = std::max(0.0, pixels - a.srcLead - a.srcTrail);
    double dl = a.srcLead / scale, dt = a.srcTrail / scale;
    if (dl + dt > dst && dl + dt > 0) {
        // Squeezed caps meet between two pixels: where two slices each cover part of one pixel, the background
        // shows through the pair as a light seam across the picture.
        dl = std::clamp(snap(origin + dl * dst / (dl + dt)) - origin, 0.0, dst);
        dt = dst - dl;
    }
    a.dstLead = dl;
    a.dstTrail = dt;
    a.dstMid = std::max(0.0, dst - dl - dt);
    return a;
}

}  // namespace

GraphicsContext::GraphicsContext(cairo_t* cr) : cr_(cr ? cairo_reference(cr) : nullptr) {}

GraphicsContext::~GraphicsContext() {
    if (cr_) cairo_destroy(cr_);
}

std::unique_ptr<GraphicsContext> GraphicsContext::bitmap(Size size, double scale, bool opaque) {
    if (scale <= 0) scale = 1;
    int w = int(std::ceil(size.width * scale - 1e-9)), h = int(std::ceil(size.height * scale - 1e-9));
    auto image = Image::create(w, h, scale);
    if (!image) return nullptr;
    auto ctx = forImage(image);
    if (opaque) {
        cairo_set_source_rgb(ctx->cr_, 1, 1, 1);
        cairo_paint(ctx->cr_);
    }
    return ctx;
}

std::unique_ptr<GraphicsContext> GraphicsContext::forImage(const std::shared_ptr<Image>& image) {
    if (!image) return nullptr;
    std::unique_ptr<GraphicsContext> ctx(new GraphicsContext());
    ctx->cr_ = cairo_create(image->cairoSurface());
    ctx->scale_ = image->scale();
    cairo_scale(ctx->cr_, ctx->scale_, ctx->scale_);
    return ctx;
}

namespace {
cairo_surface_t* imageTarget(cairo_t* cr) {
    if (!cr) return nullptr;
    cairo_surface_t* s = cairo_get_target(cr);
    return cairo_surface_get_type(s) == CAIRO_SURFACE_TYPE_IMAGE ? s : nullptr;
}
}  // namespace

uint8_t* GraphicsContext::bitmapData() {
    cairo_surface_t* s = imageTarget(cr_);
    if (!s) return nullptr;
    cairo_surface_flush(s);
    cairo_surface_mark_dirty(s);
    return cairo_image_surface_get_data(s);
}

int GraphicsContext::bytesPerRow() const {
    cairo_surface_t* s = imageTarget(cr_);
    return s ? cairo_image_surface_get_stride(s) : 0;
}

int GraphicsContext::pixelWidth() const {
    cairo_surface_t* s = imageTarget(cr_);
    return s ? cairo_image_surface_get_width(s) : 0;
}

int GraphicsContext::pixelHeight() const {
    cairo_surface_t* s = imageTarget(cr_);
    return s ? cairo_image_surface_get_height(s) : 0;
}

std::shared_ptr<Image> GraphicsContext::makeImage() const {
    cairo_surface_t* s = imageTarget(cr_);
    if (!s) return nullptr;
    cairo_surface_flush(s);
    auto out = Image::create(cairo_image_surface_get_width(s), cairo_image_surface_get_height(s), scale_);
    if (!out) return nullptr;
    std::memcpy(out->mutableBytes(), cairo_image_surface_get_data(s),
                size_t(cairo_image_surface_get_stride(s)) * size_t(cairo_image_surface_get_height(s)));
    return out;
}

void GraphicsContext::saveGState() {
    cairo_save(cr_);
    saved_.push_back({fill_, stroke_, alpha_, shadowOffset_, shadowBlur_, shadowColor_});
}

void GraphicsContext::restoreGState() {
    if (saved_.empty()) return;  // unbalanced restores are ignored, as the platform logs and carries on
    cairo_restore(cr_);
    const Saved& s = saved_.back();
    fill_ = s.fill;
    stroke_ = s.stroke;
    alpha_ = s.alpha;
    shadowOffset_ = s.shadowOffset;
    shadowBlur_ = s.shadowBlur;
    shadowColor_ = s.shadowColor;
    saved_.pop_back();
}

void GraphicsContext::translate(double dx, double dy) { cairo_translate(cr_, dx, dy); }
void GraphicsContext::scaleBy(double sx, double sy) {
    if (sx != 0 && sy != 0) cairo_scale(cr_, sx, sy);
}
void GraphicsContext::rotate(double radians) { cairo_rotate(cr_, radians); }

void GraphicsContext::concat(const AffineTransform& t) {
    cairo_matrix_t m{t.a, t.b, t.c, t.d, t.tx, t.ty};
    if (t.a * t.d - t.b * t.c == 0) return;  // a singular matrix would put the context in an error state
    cairo_transform(cr_, &m);
}

AffineTransform GraphicsContext::ctm() const {
    cairo_matrix_t m;
    cairo_get_matrix(cr_, &m);
    return {m.xx, m.yx, m.xy, m.yy, m.x0, m.y0};
}

void GraphicsContext::setLineWidth(double w) { cairo_set_line_width(cr_, std::max(0.0, w)); }

void GraphicsContext::setLineCap(LineCap cap) {
    cairo_set_line_cap(cr_, cap == LineCap::Round ? CAIRO_LINE_CAP_ROUND
                            : cap == LineCap::Square ? CAIRO_LINE_CAP_SQUARE
                                                     : CAIRO_LINE_CAP_BUTT);
}

void GraphicsContext::setLineJoin(LineJoin join) {
    cairo_set_line_join(cr_, join == LineJoin::Round ? CAIRO_LINE_JOIN_ROUND
                             : join == LineJoin::Bevel ? CAIRO_LINE_JOIN_BEVEL
                                                       : CAIRO_LINE_JOIN_MITER);
}

void GraphicsContext::setLineDash(double phase, const std::vector<double>& lengths) {
    cairo_set_dash(cr_, lengths.data(), int(lengths.size()), phase);
}

void GraphicsContext::setBlendMode(BlendMode mode) { cairo_set_operator(cr_, operatorFor(mode)); }

void GraphicsContext::setShadow(Size offset, double blur, const Color& color) {
    shadowOffset_ = offset;
    shadowBlur_ = std::max(0.0, blur);
    shadowColor_ = color;
}

void GraphicsContext::setSource(const Color& c) { cairo_set_source_rgba(cr_, c.r, c.g, c.b, c.a * alpha_); }

template <typename Paint>
void GraphicsContext::withShadow(Paint&& paint) {
    if (shadowColor_.isClear()) {
        paint();
        return;
    }
    // The shape is drawn into a group, its coverage blurred and painted offset in the shadow's colour,
    // then the shape over it. Offsets and blur are in points, not affected by the transform.
    cairo_push_group(cr_);
    paint();
    cairo_pattern_t* shape = cairo_pop_group(cr_);

    double x0, y0, x1, y1;
    cairo_clip_extents(cr_, &x0, &y0, &x1, &y1);
    double xs[4] = {x0, x1, x0, x1}, ys[4] = {y0, y0, y1, y1};
    double dx0 = 1e18, dy0 = 1e18, dx1 = -1e18, dy1 = -1e18;
    for (int i = 0; i < 4; ++i) {
        double x = xs[i], y = ys[i];
        cairo_user_to_device(cr_, &x, &y);
        dx0 = std::min(dx0, x);
        dy0 = std::min(dy0, y);
        dx1 = std::max(dx1, x);
        dy1 = std::max(dy1, y);
    }
    int radius = int(std::lround(shadowBlur_ * scale_ / 2));
    double ox = shadowOffset_.width * scale_, oy = shadowOffset_.height * scale_;
    // The shape may lie outside the clip while its shadow falls inside: widen by the offset and blur.
    dx0 = std::floor(dx0 - std::abs(ox) - 3 * radius);
    dy0 = std::floor(dy0 - std::abs(oy) - 3 * radius);
    dx1 = std::ceil(dx1 + std::abs(ox) + 3 * radius);
    dy1 = std::ceil(dy1 + std::abs(oy) + 3 * radius);
    int w = int(std::min(8192.0, dx1 - dx0)), h = int(std::min(8192.0, dy1 - dy0));
    if (w > 0 && h > 0) {
        cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
        cairo_t* m = cairo_create(mask);
        cairo_matrix_t ctm;
        cairo_get_matrix(cr_, &ctm);
        cairo_translate(m, -dx0, -dy0);
        cairo_transform(m, &ctm);
        cairo_set_source(m, shape);
        cairo_paint(m);
        cairo_destroy(m);
        blurAlpha(mask, radius);
        cairo_save(cr_);
        cairo_identity_matrix(cr_);
        cairo_set_source_rgba(cr_, shadowColor_.r, shadowColor_.g, shadowColor_.b, shadowColor_.a);
        cairo_mask_surface(cr_, mask, dx0 + ox, dy0 + oy);
        cairo_restore(cr_);
        cairo_surface_destroy(mask);
    }
    cairo_set_source(cr_, shape);
    cairo_paint(cr_);
    cairo_pattern_destroy(shape);
}

void GraphicsContext::beginPath() { cairo_new_path(cr_); }
void GraphicsContext::moveTo(Point p) { cairo_move_to(cr_, p.x, p.y); }
void GraphicsContext::lineTo(Point p) {
    if (!cairo_has_current_point(cr_)) cairo_move_to(cr_, p.x, p.y);
    else cairo_line_to(cr_, p.x, p.y);
}
void GraphicsContext::curveTo(Point c1, Point c2, Point end) {
    if (!cairo_has_current_point(cr_)) cairo_move_to(cr_, c1.x, c1.y);
    cairo_curve_to(cr_, c1.x, c1.y, c2.x, c2.y, end.x, end.y);
}

void GraphicsContext::quadCurveTo(Point c, Point end) {
    double x0 = c.x, y0 = c.y;
    if (cairo_has_current_point(cr_)) cairo_get_current_point(cr_, &x0, &y0);
    else cairo_move_to(cr_, x0, y0);
    cairo_curve_to(cr_, x0 + 2.0 / 3 * (c.x - x0), y0 + 2.0 / 3 * (c.y - y0), end.x + 2.0 / 3 * (c.x - end.x),
                   end.y + 2.0 / 3 * (c.y - end.y), end.x, end.y);
}

void GraphicsContext::addArc(Point center, double radius, double startAngle, double endAngle, bool clockwise) {
    // With y pointing down, increasing angles turn clockwise on screen.
    if (clockwise) cairo_arc(cr_, center.x, center.y, radius, startAngle, endAngle);
    else cairo_arc_negative(cr_, center.x, center.y, radius, startAngle, endAngle);
}

void GraphicsContext::addArcToPoint(Point p1, Point p2, double radius) {
    double x0 = p1.x, y0 = p1.y;
    if (cairo_has_current_point(cr_)) cairo_get_current_point(cr_, &x0, &y0);
    else cairo_move_to(cr_, x0, y0);
    // The arc tangent to the lines current→p1 and p1→p2.
    double v1x = x0 - p1.x, v1y = y0 - p1.y, v2x = p2.x - p1.x, v2y = p2.y - p1.y;
    double l1 = std::hypot(v1x, v1y), l2 = std::hypot(v2x, v2y);
    if (l1 == 0 || l2 == 0 || radius <= 0) {
        cairo_line_to(cr_, p1.x, p1.y);
        return;
    }
    v1x /= l1;
    v1y /= l1;
    v2x /= l2;
    v2y /= l2;
    double cross = v1x * v2y - v1y * v2x;
    double angle = std::acos(std::clamp(v1x * v2x + v1y * v2y, -1.0, 1.0));
    if (std::abs(cross) < 1e-9 || angle < 1e-9) {
        cairo_line_to(cr_, p1.x, p1.y);
        return;
    }
    double t = radius / std::tan(angle / 2);
    Point a{p1.x + v1x * t, p1.y + v1y * t}, b{p1.x + v2x * t, p1.y + v2y * t};
    double bx = v1x + v2x, by = v1y + v2y, bl = std::hypot(bx, by);
    double d = radius / std::sin(angle / 2);
    Point c{p1.x + bx / bl * d, p1.y + by / bl * d};
    cairo_line_to(cr_, a.x, a.y);
    double sa = std::atan2(a.y - c.y, a.x - c.x), ea = std::atan2(b.y - c.y, b.x - c.x);
    if (cross > 0) cairo_arc_negative(cr_, c.x, c.y, radius, sa, ea);
    else cairo_arc(cr_, c.x, c.y, radius, sa, ea);
}

void GraphicsContext::addRect(const Rect& r) { cairo_rectangle(cr_, r.x(), r.y(), r.width(), r.height()); }

void GraphicsContext::addEllipseInRect(const Rect& r) {
    if (r.width() <= 0 || r.height() <= 0) return;
    cairo_save(cr_);
    cairo_translate(cr_, r.midX(), r.midY());
    cairo_scale(cr_, r.width() / 2, r.height() / 2);
    cairo_new_sub_path(cr_);
    cairo_arc(cr_, 0, 0, 1, 0, 2 * M_PI);
    cairo_close_path(cr_);
    cairo_restore(cr_);
}

void GraphicsContext::addRoundedRect(const Rect& r, double radius) {
    double rad = std::clamp(radius, 0.0, std::min(r.width(), r.height()) / 2);
    if (rad <= 0) {
        addRect(r);
        return;
    }
    double x = r.minX(), y = r.minY(), w = r.width(), h = r.height();
    cairo_new_sub_path(cr_);
    cairo_arc(cr_, x + w - rad, y + rad, rad, -M_PI / 2, 0);
    cairo_arc(cr_, x + w - rad, y + h - rad, rad, 0, M_PI / 2);
    cairo_arc(cr_, x + rad, y + h - rad, rad, M_PI / 2, M_PI);
    cairo_arc(cr_, x + rad, y + rad, rad, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr_);
}

void GraphicsContext::closePath() {
    if (cairo_has_current_point(cr_)) cairo_close_path(cr_);
}

bool GraphicsContext::isPathEmpty() const {
    cairo_path_t* p = cairo_copy_path(cr_);
    bool empty = p->num_data == 0;
    cairo_path_destroy(p);
    return empty;
}

void GraphicsContext::fillPath(bool evenOdd) {
    cairo_path_t* path = cairo_copy_path(cr_);
    cairo_new_path(cr_);
    withShadow([&] {
        cairo_new_path(cr_);
        cairo_append_path(cr_, path);
        cairo_set_fill_rule(cr_, evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
        setSource(fill_);
        cairo_fill(cr_);
    });
    cairo_path_destroy(path);
}

void GraphicsContext::strokePath() {
    cairo_path_t* path = cairo_copy_path(cr_);
    cairo_new_path(cr_);
    withShadow([&] {
        cairo_new_path(cr_);
        cairo_append_path(cr_, path);
        setSource(stroke_);
        cairo_stroke(cr_);
    });
    cairo_path_destroy(path);
}

void GraphicsContext::fillRect(const Rect& r) {
    cairo_new_path(cr_);
    addRect(r);
    fillPath();
}

void GraphicsContext::strokeRect(const Rect& r) {
    cairo_new_path(cr_);
    addRect(r);
    strokePath();
}

void GraphicsContext::clearRect(const Rect& r) {
    cairo_save(cr_);
    cairo_new_path(cr_);
    addRect(r);
    cairo_set_operator(cr_, CAIRO_OPERATOR_CLEAR);
    cairo_fill(cr_);
    cairo_restore(cr_);
}

void GraphicsContext::fillEllipseInRect(const Rect& r) {
    cairo_new_path(cr_);
    addEllipseInRect(r);
    fillPath();
}

void GraphicsContext::strokeEllipseInRect(const Rect& r) {
    cairo_new_path(cr_);
    addEllipseInRect(r);
    strokePath();
}

void GraphicsContext::strokeLine(Point a, Point b) {
    cairo_new_path(cr_);
    cairo_move_to(cr_, a.x, a.y);
    cairo_line_to(cr_, b.x, b.y);
    strokePath();
}

void GraphicsContext::drawLinearGradient(const std::vector<Color>& colors, const std::vector<double>& locations,
                                         Point start, Point end) {
    if (colors.empty()) return;
    cairo_pattern_t* p = cairo_pattern_create_linear(start.x, start.y, end.x, end.y);
    addGradientStops(p, colors, locations, alpha_);
    withShadow([&] {
        cairo_set_source(cr_, p);
        cairo_paint(cr_);
    });
    cairo_pattern_destroy(p);
}

void GraphicsContext::drawRadialGradient(const std::vector<Color>& colors, const std::vector<double>& locations,
                                         Point center, double radius) {
    if (colors.empty()) return;
    cairo_pattern_t* p = cairo_pattern_create_radial(center.x, center.y, 0, center.x, center.y, radius);
    addGradientStops(p, colors, locations, alpha_);
    withShadow([&] {
        cairo_set_source(cr_, p);
        cairo_paint(cr_);
    });
    cairo_pattern_destroy(p);
}

void GraphicsContext::clip(bool evenOdd) {
    cairo_set_fill_rule(cr_, evenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    cairo_clip(cr_);
}

void GraphicsContext::clipToRect(const Rect& r) {
    cairo_new_path(cr_);
    addRect(r);
    cairo_clip(cr_);
}

Rect GraphicsContext::clipBoundingBox() const {
    double x0, y0, x1, y1;
    cairo_clip_extents(cr_, &x0, &y0, &x1, &y1);
    return {x0, y0, x1 - x0, y1 - y0};
}

void GraphicsContext::drawResizable(const Image& image, const Rect& rect) {
    double s = image.scale();
    EdgeInsets caps = image.capInsets();
    // Rounds a position along one axis to the target's pixel grid, through the current transform.
    auto snapAlong = [this, &rect](bool horizontal) {
        return [this, &rect, horizontal](double at) {
            double x = horizontal ? at : rect.x(), y = horizontal ? rect.y() : at;
            cairo_user_to_device(cr_, &x, &y);
            double& along = horizontal ? x : y;
            along = std::round(along);
            cairo_device_to_user(cr_, &x, &y);
            return horizontal ? x : y;
        };
    };
    AxisSplit h = splitAxis(image.pixelWidth(), s, caps.left, caps.right, rect.x(), rect.width(), snapAlong(true));
    AxisSplit v = splitAxis(image.pixelHeight(), s, caps.top, caps.bottom, rect.y(), rect.height(), snapAlong(false));
    bool tile = image.resizingMode() == ImageResizingMode::Tile;
    double srcX[3] = {0, h.srcLead, h.srcLead + h.srcMid}, srcW[3] = {h.srcLead, h.srcMid, h.srcTrail};
    double srcY[3] = {0, v.srcLead, v.srcLead + v.srcMid}, srcH[3] = {v.srcLead, v.srcMid, v.srcTrail};
    double dstX[3] = {rect.x(), rect.x() + h.dstLead, rect.x() + h.dstLead + h.dstMid};
    double dstW[3] = {h.dstLead, h.dstMid, h.dstTrail};
    double dstY[3] = {rect.y(), rect.y() + v.dstLead, rect.y() + v.dstLead + v.dstMid};
    double dstH[3] = {v.dstLead, v.dstMid, v.dstTrail};
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 3; ++col) {
            // Caps stretch only along the edge they belong to; the middle tiles when asked to.
            bool tileThis = tile && (row == 1 || col == 1) && srcW[col] > 1 && srcH[row] > 1;
            paintSlice(cr_, image.cairoSurface(), Rect(srcX[col], srcY[row], srcW[col], srcH[row]),
                       Rect(dstX[col], dstY[row], dstW[col], dstH[row]), s, tileThis, alpha_);
        }
}

void GraphicsContext::drawImage(const Image& image, const Rect& rect) {
    if (rect.width() <= 0 || rect.height() <= 0) return;
    withShadow([&] {
        if (image.isResizable()) {
            drawResizable(image, rect);
            return;
        }
        paintSlice(cr_, image.cairoSurface(), Rect(0, 0, image.pixelWidth(), image.pixelHeight()), rect, image.scale(),
                   false, alpha_);
    });
}

void GraphicsContext::drawTiledImage(const Image& image, const Rect& rect) {
    withShadow([&] {
        paintSlice(cr_, image.cairoSurface(), Rect(0, 0, image.pixelWidth(), image.pixelHeight()), rect, image.scale(),
                   true, alpha_);
    });
}

std::unique_ptr<TextLayout> GraphicsContext::drawText(const AttributedString& text, const Rect& rect,
                                                      TextLayoutOptions options) {
    if (options.width <= 0) options.width = rect.width();
    auto layout = std::make_unique<TextLayout>(text, options);
    // Without a line limit, only the lines that fit in the rectangle are shown (at least one).
    if (options.numberOfLines == 0 && rect.height() > 0 && layout->size().height > rect.height() + 0.5) {
        int fit = 0;
        for (const auto& line : layout->lines())
            if (line.frame.maxY() <= rect.height() + 0.5) ++fit;
        options.numberOfLines = std::max(1, fit);
        layout = std::make_unique<TextLayout>(text, options);
    }
    drawTextLayout(*layout, rect.origin);
    return layout;
}

std::unique_ptr<TextLayout> GraphicsContext::drawText(const std::string& text, const Font& font, const Color& color,
                                                      const Rect& rect, TextLayoutOptions options) {
    options.defaultFont = font;
    options.defaultColor = color;
    return drawText(AttributedString(text, {{attr::Font, font}}), rect, options);
}

void GraphicsContext::drawTextLayout(const TextLayout& layout, Point origin) {
    withShadow([&] {
        if (alpha_ >= 1) {
            layout.draw(cr_, origin);
            return;
        }
        cairo_push_group(cr_);
        layout.draw(cr_, origin);
        cairo_pop_group_to_source(cr_);
        cairo_paint_with_alpha(cr_, alpha_);
    });
}

}  // namespace velkora::ui
