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

    Signature s;
    s.add(static_cast<const void*>(view.className()));
    s.add(ctm), s.add(b.width()), s.add(b.height()), s.add(alpha), s.add(order);
    s.add(view.backgroundColor()), s.add(view.contentMode() == ContentMode::Redraw),
        s.add(static_cast<int>(view.contentMode()));
    const Layer& l = view.layer();
    s.add(l.cornerRadius()), s.add(l.borderWidth()), s.add(l.borderColor()), s.add(l.masksToBounds());
    s.add(l.shadowOpacity()), s.add(l.shadowColor()), s.add(l.shadowRadius()), s.add(l.shadowOffset().width),
        s.add(l.shadowOffset().height);
    s.add(displayGenerationOf(view));
    addContent(s, view);
    {
        Drawn& noted = out.views[&view];
        noted.rect = drawn;
        noted.signature = s.h;
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
    out.views[&view].subtree = subtree;  // looked up again: the children's entries may have moved it
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

std::vector<Rect> ScreenRenderer::damage(const Scan& now) const {
    std::vector<Rect> out;
    if (!drawnOnce_ || now.screen.width != last_.screen.width || now.screen.height != last_.screen.height) {
        out.push_back({0, 0, now.screen.width, now.screen.height});
        return out;
    }
    for (auto& [view, d] : now.views) {
        auto was = last_.views.find(view);
        if (was == last_.views.end()) {
            if (!d.rect.isEmpty()) out.push_back(d.rect);
        } else if (was->second.signature != d.signature || !(was->second.rect == d.rect)) {
            if (!was->second.rect.isEmpty()) out.push_back(was->second.rect);
            if (!d.rect.isEmpty()) out.push_back(d.rect);
        }
    }
    for (auto& [view, d] : last_.views)
        if (!now.views.count(view) && !d.rect.isEmpty()) out.push_back(d.rect);
    return out;
}

bool ScreenRenderer::needsDrawing() {
    Scan now = scan();
    for (const Rect& r : damage(now))
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
    std::vector<PixelRect> rects;
    for (const Rect& r : damage(now))
        if (PixelRect p = toPixels(r, scale_, w, h); !p.isEmpty()) rects.push_back(p);
    rects = merged(std::move(rects));
    last_ = std::move(now);
    drawnOnce_ = true;
    if (rects.empty()) return {};

    // Only the changed parts, and only the subtrees that reach into them.
    std::vector<Rect> inPoints;
    for (auto& p : rects)
        inPoints.push_back({p.x / scale_, p.y / scale_, p.width / scale_, p.height / scale_});
    cairo_t* cr = context_->cairo();
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
    changed_ = rects;
    ++frames_;
    PixelRect all;
    for (auto& r : rects)
        all = unite(all, r);
    return all;
}

} // namespace velkora::ui
