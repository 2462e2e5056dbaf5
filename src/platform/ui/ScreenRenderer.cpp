#include "platform/ui/ScreenRenderer.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string_view>

#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/PageControl.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/Switch.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "platform/ui/Window.h"

namespace velkora::ui {

namespace {

// FNV-1a over whatever a view's drawing depends on.
struct Signature {
    uint64_t h = 1469598103934665603ull;
    void bytes(const void* p, size_t n) {
        auto* b = static_cast<const unsigned char*>(p);
        for (size_t i = 0; i < n; ++i)
            h = (h ^ b[i]) * 1099511628211ull;
    }
    void add(uint64_t v) { bytes(&v, sizeof v); }
    void add(double v) { add(static_cast<uint64_t>(std::llround(v * 256.0))); }
    void add(bool v) { add(static_cast<uint64_t>(v)); }
    void add(int v) { add(static_cast<uint64_t>(static_cast<int64_t>(v))); }
    void add(const void* p) { add(static_cast<uint64_t>(reinterpret_cast<uintptr_t>(p))); }
    void add(std::string_view s) {
        add(static_cast<uint64_t>(s.size()));
        bytes(s.data(), s.size());
    }
    void add(const Color& c) { add(c.r), add(c.g), add(c.b), add(c.a); }
    void add(const Rect& r) { add(r.x()), add(r.y()), add(r.width()), add(r.height()); }
    void add(const AffineTransform& t) { add(t.a), add(t.b), add(t.c), add(t.d), add(t.tx), add(t.ty); }
    void add(const Font& f) {
        add(std::string_view(f.fontName())), add(f.pointSize()), add(f.isBold()), add(f.isItalic());
    }
};

// What the standard views show over their background, as Snapshot draws it.
void addContent(Signature& s, const View& v) {
    if (auto* l = dynamic_cast<const Label*>(&v)) {
        s.add(std::string_view(l->text()));
        if (l->font()) s.add(*l->font());
        s.add(l->currentTextColor());
        s.add(static_cast<int>(l->textAlignment())), s.add(static_cast<int>(l->lineBreakMode()));
        s.add(l->numberOfLines()), s.add(l->isHighlighted()), s.add(l->isEnabled());
        if (l->shadowColor()) s.add(*l->shadowColor());
    } else if (auto* i = dynamic_cast<const ImageView*>(&v)) {
        s.add(i->currentImage().get());
    } else if (auto* b = dynamic_cast<const Button*>(&v)) {
        s.add(b->currentBackgroundImage().get());
    } else if (auto* w = dynamic_cast<const Switch*>(&v)) {
        s.add(w->isOn()), s.add(w->onTintColor());
    } else if (auto* p = dynamic_cast<const PageControl*>(&v)) {
        s.add(p->currentPage()), s.add(p->numberOfPages()), s.add(p->showsDots());
    } else if (auto* a = dynamic_cast<const ActivityIndicatorView*>(&v)) {
        s.add(a->color());
    } else if (auto* f = dynamic_cast<const TextField*>(&v)) {
        s.add(std::string_view(f->text())), s.add(std::string_view(f->placeholder())),
            s.add(std::string_view(f->markedText()));
        s.add(static_cast<uint64_t>(f->caretPosition())), s.add(f->font()), s.add(f->textColor());
        s.add(f->background().get()), s.add(f->isSecureTextEntry());
    } else if (auto* t = dynamic_cast<const TextView*>(&v)) {
        s.add(std::string_view(t->text())), s.add(std::string_view(t->markedText())), s.add(t->font()),
            s.add(t->textColor());
    } else {
        s.add(std::string_view(v.dumpText()));
    }
}

// Pixels a view's drawing may spill past its bounds: anti-aliased edges, a shadow.
double spill(const View& v) {
    double out = 2;
    const Layer& l = v.layer();
    if (l.shadowOpacity() > 0)
        out += l.shadowRadius() * 2 + std::max(std::fabs(l.shadowOffset().width), std::fabs(l.shadowOffset().height));
    if (auto* label = dynamic_cast<const Label*>(&v); label && label->shadowColor())
        out += std::max(std::fabs(label->shadowOffset().width), std::fabs(label->shadowOffset().height));
    return out;
}

PixelRect toPixels(const Rect& r, double scale, int width, int height) {
    int x0 = std::max(0, int(std::floor(r.minX() * scale))), y0 = std::max(0, int(std::floor(r.minY() * scale)));
    int x1 = std::min(width, int(std::ceil(r.maxX() * scale))), y1 = std::min(height, int(std::ceil(r.maxY() * scale)));
    if (x1 <= x0 || y1 <= y0) return {};
    return {x0, y0, x1 - x0, y1 - y0};
}

bool touches(const PixelRect& a, const PixelRect& b, int slack) {
    return a.x <= b.x + b.width + slack && b.x <= a.x + a.width + slack && a.y <= b.y + b.height + slack &&
           b.y <= a.y + a.height + slack;
}

PixelRect unite(const PixelRect& a, const PixelRect& b) {
    if (a.isEmpty()) return b;
    if (b.isEmpty()) return a;
    int x0 = std::min(a.x, b.x), y0 = std::min(a.y, b.y);
    int x1 = std::max(a.x + a.width, b.x + b.width), y1 = std::max(a.y + a.height, b.y + b.height);
    return {x0, y0, x1 - x0, y1 - y0};
}

// Few rectangles, none overlapping another: neighbours within a few pixels are merged, and past a
// handful everything becomes one.
std::vector<PixelRect> merged(std::vector<PixelRect> rects) {
    bool again = true;
    while (again) {
        again = false;
        for (size_t i = 0; i < rects.size() && !again; ++i)
            for (size_t j = i + 1; j < rects.size(); ++j)
                if (touches(rects[i], rects[j], 8)) {
                    rects[i] = unite(rects[i], rects[j]);
                    rects.erase(rects.begin() + static_cast<std::ptrdiff_t>(j));
                    again = true;
                    break;
                }
    }
    if (rects.size() > 8) {
        PixelRect all;
        for (auto& r : rects)
            all = unite(all, r);
        rects = {all};
    }
    return rects;
}

} // namespace

ScreenRenderer::ScreenRenderer(double scale) : scale_(scale > 0 ? scale : 1.0) {}

ScreenRenderer::~ScreenRenderer() = default;

const uint8_t* ScreenRenderer::pixels() const {
    return context_ ? context_->bitmapData() : nullptr;
}
int ScreenRenderer::pixelWidth() const {
    return context_ ? context_->pixelWidth() : 0;
}
int ScreenRenderer::pixelHeight() const {
    return context_ ? context_->pixelHeight() : 0;
}
int ScreenRenderer::bytesPerRow() const {
    return context_ ? context_->bytesPerRow() : 0;
}
std::shared_ptr<Image> ScreenRenderer::image() const {
    return context_ ? context_->makeImage() : nullptr;
}

void ScreenRenderer::invalidateAll() {
    drawnOnce_ = false;
    last_ = {};
}

Rect ScreenRenderer::scanView(View& view, const AffineTransform& parent, const Rect& clip, double alpha, uint64_t order,
                              Scan& out) {
    if (view.isHidden() || view.alpha() < 0.01) return {};
    alpha *= view.alpha();
    const Rect b = view.bounds();
    const Point c = view.center();
    AffineTransform ctm = AffineTransform::translation(-b.width() / 2 - b.x(), -b.height() / 2 - b.y())
                              .concat(view.transform())
                              .concat(AffineTransform::translation(c.x, c.y))
                              .concat(parent);
    Rect onScreen = ctm.applyToRect(b);
    double out0 = spill(view);
    Rect drawn = onScreen.insetBy(-out0, -out0).intersection(clip);

    // The place is kept apart from the rest: a view that only moved is told from one that changed.
    Signature s;
    s.add(static_cast<const void*>(view.className()));
    s.add(ctm.a), s.add(ctm.b), s.add(ctm.c), s.add(ctm.d);
    s.add(b.width()), s.add(b.height()), s.add(alpha), s.add(order);
    s.add(view.backgroundColor()), s.add(view.contentMode() == ContentMode::Redraw),
        s.add(static_cast<int>(view.contentMode()));
    const Layer& l = view.layer();
    s.add(l.cornerRadius()), s.add(l.borderWidth()), s.add(l.borderColor()), s.add(l.masksToBounds());
    s.add(l.shadowOpacity()), s.add(l.shadowColor()), s.add(l.shadowRadius()), s.add(l.shadowOffset().width),
        s.add(l.shadowOffset().height);
    s.add(displayGenerationOf(view));
    addContent(s, view);
    const uint32_t index = ++out.count;
    {
        Drawn& noted = out.views[&view];
        noted.rect = drawn;
        noted.signature = s.h;
        noted.origin = {ctm.tx, ctm.ty};
        noted.first = index;
        // Moving its pixels is sound only for a scroll view whose content all moves with its offset (a
        // text view draws its text where it shows), where its own opaque, square, unbordered background
        // hides everything drawn before it, at the screen's own scale.
        const bool plain = ctm.a == 1 && ctm.b == 0 && ctm.c == 0 && ctm.d == 1;
        const bool scrolls = dynamic_cast<const ScrollView*>(&view) && !dynamic_cast<const TextView*>(&view);
        if (scrolls && view.clipsToBounds() && plain && alpha >= 1 && view.backgroundColor().a >= 1 &&
            l.cornerRadius() <= 0 && l.borderWidth() <= 0)
            noted.movable = onScreen.intersection(clip);
    }

    Rect childClip = view.clipsToBounds() ? clip.intersection(onScreen) : clip;
    Rect subtree = drawn;
    const auto& subs = view.subviews();
    for (size_t i = 0; i < subs.size(); ++i) {
        // Siblings that overlap draw in their order: a change of order between them changes what shows.
        uint64_t siblingOrder = 0;
        if (subs.size() <= 64) {
            Rect f = subs[i]->frame();
            for (size_t j = 0; j < i; ++j)
                if (!subs[j]->isHidden() && subs[j]->frame().intersects(f))
                    siblingOrder = (siblingOrder ^ reinterpret_cast<uintptr_t>(subs[j].get())) * 1099511628211ull;
        }
        subtree = subtree.unionWith(scanView(*subs[i], ctm, childClip, alpha, siblingOrder, out));
    }
    Drawn& noted = out.views[&view]; // looked up again: the children's entries may have moved it
    noted.subtree = subtree;
    noted.last = out.count;
    return subtree;
}

ScreenRenderer::Scan ScreenRenderer::scan() {
    Scan now;
    now.views.reserve(last_.views.size() + 64);
    Rect screen = Screen::main().bounds();
    now.screen = screen.size;
    Rect clip{0, 0, screen.width(), screen.height()};
    AffineTransform origin = AffineTransform::translation(-screen.x(), -screen.y());
    uint64_t order = 0;
    for (auto& window : Application::instance().windows()) {
        if (window->isHidden()) continue;
        window->layoutIfNeeded();
        scanView(*window, origin, clip, 1.0, ++order, now);
    }
    return now;
}

std::vector<ScreenRenderer::Shift> ScreenRenderer::shifts(const Scan& now) const {
    std::vector<Shift> out;
    const int w = int(std::ceil(now.screen.width * scale_ - 1e-9)),
              h = int(std::ceil(now.screen.height * scale_ - 1e-9));
    for (auto& [view, d] : now.views) {
        if (d.movable.isEmpty()) continue;
        auto was = last_.views.find(view);
        if (was == last_.views.end() || was->second.signature != d.signature) continue;
        const Rect& m = d.movable;
        const Rect& o = was->second.movable;
        if (std::fabs(m.x() - o.x()) > 1e-6 || std::fabs(m.y() - o.y()) > 1e-6 ||
            std::fabs(m.width() - o.width()) > 1e-6 || std::fabs(m.height() - o.height()) > 1e-6)
            continue;
        const double fx = (d.origin.x - was->second.origin.x) * scale_,
                     fy = (d.origin.y - was->second.origin.y) * scale_;
        const double rx = std::round(fx), ry = std::round(fy);
        // Only whole pixels move without changing how they look.
        if ((rx == 0 && ry == 0) || std::fabs(fx - rx) > 1e-3 || std::fabs(fy - ry) > 1e-3) continue;
        // The whole pixels inside what shows.
        int x0 = std::max(0, int(std::ceil(m.minX() * scale_ - 1e-6))),
            y0 = std::max(0, int(std::ceil(m.minY() * scale_ - 1e-6)));
        int x1 = std::min(w, int(std::floor(m.maxX() * scale_ + 1e-6))),
            y1 = std::min(h, int(std::floor(m.maxY() * scale_ + 1e-6)));
        const int dx = int(rx), dy = int(ry);
        if (x1 - x0 <= std::abs(dx) || y1 - y0 <= std::abs(dy)) continue; // nothing stays in view
        out.push_back({view, {x0, y0, x1 - x0, y1 - y0}, dx, dy});
    }
    // A scroll inside another, or two over each other, would move each other's pixels: those are drawn.
    auto overlaps = [&](const Shift& a, const Shift& b) {
        return a.area.x < b.area.x + b.area.width && b.area.x < a.area.x + a.area.width &&
               a.area.y < b.area.y + b.area.height && b.area.y < a.area.y + a.area.height;
    };
    std::vector<Shift> kept;
    for (size_t i = 0; i < out.size(); ++i) {
        bool alone = true;
        for (size_t j = 0; j < out.size() && alone; ++j)
            if (j != i && overlaps(out[i], out[j])) alone = false;
        if (alone) kept.push_back(out[i]);
    }
    return kept;
}

ScreenRenderer::Damage ScreenRenderer::damage(const Scan& now) const {
    Damage out;
    if (!drawnOnce_ || now.screen.width != last_.screen.width || now.screen.height != last_.screen.height) {
        out.rects.push_back({0, 0, now.screen.width, now.screen.height});
        return out;
    }
    out.shifts = shifts(now);
    struct Moved {
        Rect area; // in points
        Point by;  // in points
        uint32_t nowFirst, nowLast, wasFirst, wasLast;
    };
    std::vector<Moved> moved;
    for (const Shift& sh : out.shifts) {
        const Drawn& d = now.views.at(sh.view);
        const Drawn& was = last_.views.at(sh.view);
        moved.push_back({{sh.area.x / scale_, sh.area.y / scale_, sh.area.width / scale_, sh.area.height / scale_},
                         {sh.dx / scale_, sh.dy / scale_},
                         d.first,
                         d.last,
                         was.first,
                         was.last});
        // What came into view, and the edges of what shows that are not whole pixels.
        const PixelRect& a = sh.area;
        std::vector<PixelRect> strips;
        if (sh.dy > 0) strips.push_back({a.x, a.y, a.width, sh.dy});
        if (sh.dy < 0) strips.push_back({a.x, a.y + a.height + sh.dy, a.width, -sh.dy});
        if (sh.dx > 0) strips.push_back({a.x, a.y, sh.dx, a.height});
        if (sh.dx < 0) strips.push_back({a.x + a.width + sh.dx, a.y, -sh.dx, a.height});
        for (auto& p : strips)
            out.rects.push_back({p.x / scale_, p.y / scale_, p.width / scale_, p.height / scale_});
        const Rect& m = d.movable;
        const Rect inner = moved.back().area;
        if (m.minY() < inner.minY()) out.rects.push_back({m.minX(), m.minY(), m.width(), inner.minY() - m.minY()});
        if (m.maxY() > inner.maxY()) out.rects.push_back({m.minX(), inner.maxY(), m.width(), m.maxY() - inner.maxY()});
        if (m.minX() < inner.minX()) out.rects.push_back({m.minX(), m.minY(), inner.minX() - m.minX(), m.height()});
        if (m.maxX() > inner.maxX()) out.rects.push_back({inner.maxX(), m.minY(), m.maxX() - inner.maxX(), m.height()});
    }
    // Where pixels of the last frame inside a scroll are now.
    auto carried = [pad = 1 / scale_](const Rect& r, const Moved& m) {
        return r.intersection(m.area).offsetBy(m.by.x, m.by.y).insetBy(-pad, -pad).intersection(m.area);
    };
    // Where a view's pixels of the last frame are now: moved with a scroll they lay in, or carried along
    // by one they lay over.
    auto oldPixels = [&](const Drawn& was) {
        if (was.rect.isEmpty()) return;
        bool inside = false;
        for (const Moved& m : moved) {
            const bool within = was.first > m.wasFirst && was.first <= m.wasLast;
            inside = inside || within;
            if (within || (was.first > m.wasLast && was.rect.intersects(m.area)))
                if (Rect r = carried(was.rect, m); !r.isEmpty()) out.rects.push_back(r);
        }
        if (!inside) out.rects.push_back(was.rect);
    };
    for (auto& [view, d] : now.views) {
        const auto* scrolled = view; // clang 14 cannot capture a structured binding in a lambda
        if (std::any_of(out.shifts.begin(), out.shifts.end(), [&](const Shift& sh) { return sh.view == scrolled; }))
            continue; // the scroll itself: its pixels moved
        auto found = last_.views.find(view);
        if (found == last_.views.end()) {
            if (!d.rect.isEmpty()) out.rects.push_back(d.rect);
            continue;
        }
        const Drawn& was = found->second;
        const Moved* within = nullptr;
        for (const Moved& m : moved)
            if (d.first > m.nowFirst && d.first <= m.nowLast && was.first > m.wasFirst && was.first <= m.wasLast)
                within = &m;
        bool same;
        if (within)
            same = was.signature == d.signature && std::fabs(d.origin.x - was.origin.x - within->by.x) < 1e-3 &&
                   std::fabs(d.origin.y - was.origin.y - within->by.y) < 1e-3;
        else
            same = was.signature == d.signature && was.rect == d.rect && was.origin.x == d.origin.x &&
                   was.origin.y == d.origin.y;
        if (same && within) continue;
        if (same) {
            // Unchanged, but over a scroll whose pixels moved: drawn again where it was carried and where
            // it is, within what moved.
            for (const Moved& m : moved)
                if (was.first > m.wasLast && was.rect.intersects(m.area)) {
                    out.rects.push_back(carried(was.rect, m));
                    out.rects.push_back(d.rect.intersection(m.area));
                }
            continue;
        }
        oldPixels(was);
        if (!d.rect.isEmpty()) out.rects.push_back(d.rect);
    }
    for (auto& [view, d] : last_.views)
        if (!now.views.count(view)) oldPixels(d);
    return out;
}

void ScreenRenderer::applyShift(const Shift& sh) {
    uint8_t* data = context_->bitmapData();
    const int stride = context_->bytesPerRow();
    const PixelRect& a = sh.area;
    const int rows = a.height - std::abs(sh.dy), cols = a.width - std::abs(sh.dx);
    const int fromX = a.x + std::max(0, -sh.dx), toX = a.x + std::max(0, sh.dx);
    const int fromY = a.y + std::max(0, -sh.dy), toY = a.y + std::max(0, sh.dy);
    auto row = [&](int i) {
        std::memmove(data + size_t(toY + i) * stride + size_t(toX) * 4,
                     data + size_t(fromY + i) * stride + size_t(fromX) * 4, size_t(cols) * 4);
    };
    // Rows go in the order that reads each before it is overwritten.
    if (sh.dy > 0)
        for (int i = rows - 1; i >= 0; --i)
            row(i);
    else
        for (int i = 0; i < rows; ++i)
            row(i);
}

bool ScreenRenderer::needsDrawing() {
    Scan now = scan();
    Damage d = damage(now);
    if (!d.shifts.empty()) return true;
    for (const Rect& r : d.rects)
        if (!toPixels(r, scale_, int(std::ceil(now.screen.width * scale_)), int(std::ceil(now.screen.height * scale_)))
                 .isEmpty())
            return true;
    return false;
}

PixelRect ScreenRenderer::drawFrame() {
    changed_.clear();
    Scan now = scan();
    const int w = int(std::ceil(now.screen.width * scale_ - 1e-9)),
              h = int(std::ceil(now.screen.height * scale_ - 1e-9));
    if (!context_ || context_->pixelWidth() != w || context_->pixelHeight() != h) {
        context_ = GraphicsContext::bitmap(now.screen, scale_, true);
        drawnOnce_ = false;
        if (!context_) return {};
    }
    Damage d = damage(now);
    std::vector<PixelRect> rects;
    for (const Rect& r : d.rects)
        if (PixelRect p = toPixels(r, scale_, w, h); !p.isEmpty()) rects.push_back(p);
    rects = merged(std::move(rects));
    last_ = std::move(now);
    drawnOnce_ = true;
    if (rects.empty() && d.shifts.empty()) return {};

    cairo_t* cr = context_->cairo();
    if (!d.shifts.empty()) {
        cairo_surface_flush(cairo_get_target(cr));
        for (const Shift& sh : d.shifts) {
            applyShift(sh);
            cairo_surface_mark_dirty_rectangle(cairo_get_target(cr), sh.area.x, sh.area.y, sh.area.width,
                                               sh.area.height);
        }
    }
    if (!rects.empty()) {
        // Only the changed parts, and only the subtrees that reach into them.
        std::vector<Rect> inPoints;
        for (auto& p : rects)
            inPoints.push_back({p.x / scale_, p.y / scale_, p.width / scale_, p.height / scale_});
        context_->saveGState();
        cairo_matrix_t matrix;
        cairo_get_matrix(cr, &matrix);
        cairo_identity_matrix(cr);
        cairo_new_path(cr);
        for (auto& p : rects)
            cairo_rectangle(cr, p.x, p.y, p.width, p.height);
        cairo_set_matrix(cr, &matrix);
        cairo_clip(cr);
        const auto& noted = last_.views;
        drawScreenInto(*context_, [&](View& v) {
            auto it = noted.find(&v);
            if (it == noted.end()) return false;
            for (const Rect& r : inPoints)
                if (it->second.subtree.intersects(r)) return false;
            return true;
        });
        context_->restoreGState();
        cairo_surface_flush(cairo_get_target(cr));
    }
    // What a display shows again: the parts drawn and the parts moved.
    changed_ = rects;
    for (const Shift& sh : d.shifts)
        changed_.push_back(sh.area);
    changed_ = merged(std::move(changed_));
    ++frames_;
    PixelRect all;
    for (auto& r : changed_)
        all = unite(all, r);
    return all;
}

} // namespace velkora::ui
