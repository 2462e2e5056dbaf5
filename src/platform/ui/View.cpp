#include "platform/ui/View.h"

#include "platform/ui/Animation.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "platform/foundation/Log.h"
#include "platform/ui/Application.h"
#include "platform/ui/ScreenRenderer.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

namespace velkora::ui {

using foundation::Log;

namespace {

// Rotations by quarter turns come out of cos/sin with tiny residues (6e-17 instead of 0); snapping them
// keeps frames of rotated views exact, as the platform's are.
double snap(double v) {
    double r = std::round(v);
    return std::fabs(v - r) < 1e-9 ? r : v;
}

AffineTransform snapped(const AffineTransform& t) {
    return {snap(t.a), snap(t.b), snap(t.c), snap(t.d), snap(t.tx), snap(t.ty)};
}

View::LayoutHook& constraintHook() {
    static View::LayoutHook hook;
    return hook;
}

// One axis of the autoresizing rule: the flexible parts (leading margin, size, trailing margin) share
// the change of the superview's size in proportion to their current lengths, or equally when those are 0.
void resizeAxis(double pos, double size, double oldSuper, double newSuper, bool flexLead, bool flexSize,
                bool flexTrail, double& outPos, double& outSize) {
    outPos = pos;
    outSize = size;
    double delta = newSuper - oldSuper;
    int flexible = int(flexLead) + int(flexSize) + int(flexTrail);
    if (delta == 0 || flexible == 0) return;
    double lead = flexLead ? pos : 0;
    double mid = flexSize ? size : 0;
    double trail = flexTrail ? oldSuper - pos - size : 0;
    double sum = lead + mid + trail;
    double shareLead, shareMid;
    if (sum > 0 && lead >= 0 && mid >= 0 && trail >= 0) {
        shareLead = delta * lead / sum;
        shareMid = delta * mid / sum;
    } else {
        shareLead = flexLead ? delta / flexible : 0;
        shareMid = flexSize ? delta / flexible : 0;
    }
    outPos = pos + shareLead;
    outSize = size + shareMid;
}

}  // namespace

// ---- Layer

void Layer::addAnimation(LayerAnimation animation, const std::string& key) {
    // The animator times its end (and hears of the one it replaces).
    Animator::layerAnimationAdded(*this, key, animation);
    for (auto& [k, a] : animations_) {
        if (k == key && !key.empty()) {
            a = std::move(animation);
            return;
        }
    }
    animations_.emplace_back(key, std::move(animation));
}

const LayerAnimation* Layer::animationForKey(const std::string& key) const {
    for (auto& [k, a] : animations_)
        if (k == key) return &a;
    return nullptr;
}

void Layer::removeAnimationForKey(const std::string& key) {
    if (animationForKey(key)) Animator::layerAnimationRemoved(*this, key);
    std::erase_if(animations_, [&](const auto& e) { return e.first == key; });
}

void Layer::removeAllAnimations() {
    for (const auto& key : animationKeys()) Animator::layerAnimationRemoved(*this, key);
    animations_.clear();
}

std::vector<std::string> Layer::animationKeys() const {
    std::vector<std::string> keys;
    for (auto& [k, a] : animations_) keys.push_back(k);
    return keys;
}

// ---- View

View::View(const Rect& frame) {
    layer_.view_ = this;
    bounds_ = Rect({0, 0}, frame.size);
    center_ = frame.center();
}

namespace {

// How often each view asked to be drawn again, for a live screen that redraws the views whose count moved.
// Only views that ever asked are listed; a view leaves the list when it goes.
std::unordered_map<const View*, uint64_t>& displayGenerations() {
    static auto* counts = new std::unordered_map<const View*, uint64_t>;
    return *counts;
}

}  // namespace

View::~View() {
    displayGenerations().erase(this);
    for (auto& sub : subviews_)
        if (sub->superview_ == this) sub->superview_ = nullptr;
}

Responder* View::nextResponder() const {
    if (viewController_) return viewController_;
    return superview_;
}

Rect View::frame() const {
    if (transform_.isIdentity())
        return {center_.x - bounds_.size.width / 2, center_.y - bounds_.size.height / 2, bounds_.size.width,
                bounds_.size.height};
    Rect local(-bounds_.size.width / 2, -bounds_.size.height / 2, bounds_.size.width, bounds_.size.height);
    return snapped(transform_).applyToRect(local).offsetBy(center_.x, center_.y);
}

void View::setFrame(const Rect& f) {
    Size oldSize = bounds_.size;
    Size newSize = f.size;
    if (!transform_.isIdentity()) {
        // The bounds size whose transformed bounding box is the frame's size: |a|w + |c|h = W and
        // |b|w + |d|h = H. A transform that maps every size to a line (45 degrees) keeps the size.
        AffineTransform t = snapped(transform_);
        double a = std::fabs(t.a), b = std::fabs(t.b), c = std::fabs(t.c), d = std::fabs(t.d);
        double det = a * d - c * b;
        if (std::fabs(det) > 1e-12) {
            newSize = {(f.size.width * d - f.size.height * c) / det, (f.size.height * a - f.size.width * b) / det};
            newSize = {snap(newSize.width), snap(newSize.height)};
        } else {
            newSize = oldSize;
        }
    }
    if (f.center() != center_) Animator::viewPropertyWillChange(*this, "position");
    if (newSize != oldSize) Animator::viewPropertyWillChange(*this, "bounds");
    center_ = f.center();
    bounds_.size = newSize;
    if (oldSize != newSize) applyBoundsSizeChange(oldSize);
}

void View::setBounds(const Rect& b) {
    if (b == bounds_) return;
    Animator::viewPropertyWillChange(*this, "bounds");
    Size oldSize = bounds_.size;
    bounds_ = b;
    if (oldSize != b.size) applyBoundsSizeChange(oldSize);
    else setNeedsLayout();
}

void View::setCenter(Point c) {
    if (c != center_) Animator::viewPropertyWillChange(*this, "position");
    center_ = c;
}

void View::setTransform(const AffineTransform& t) {
    if (t != transform_) Animator::viewPropertyWillChange(*this, "transform");
    transform_ = t;
}

void View::applyBoundsSizeChange(Size oldSize) {
    boundsSizeDidChange(oldSize);
    if (autoresizesSubviews_) resizeSubviewsFrom(oldSize);
    setNeedsLayout();
    if (contentMode_ == ContentMode::Redraw) setNeedsDisplay();
}

void View::resizeSubviewsFrom(Size oldSize) {
    auto subs = subviews_;
    for (auto& sub : subs) sub->resizeWithOldSuperviewSize(oldSize, bounds_.size);
}

void View::resizeWithOldSuperviewSize(Size oldSize, Size newSize) {
    unsigned m = autoresizingMask_;
    if (m == AutoresizingNone) return;
    Rect f = frame();
    double x, w, y, h;
    resizeAxis(f.origin.x, f.size.width, oldSize.width, newSize.width, m & AutoresizingFlexibleLeftMargin,
               m & AutoresizingFlexibleWidth, m & AutoresizingFlexibleRightMargin, x, w);
    resizeAxis(f.origin.y, f.size.height, oldSize.height, newSize.height, m & AutoresizingFlexibleTopMargin,
               m & AutoresizingFlexibleHeight, m & AutoresizingFlexibleBottomMargin, y, h);
    Rect nf(x, y, w, h);
    if (nf != f) setFrame(nf);
}

void View::setHidden(bool hidden) {
    if (hidden_ == hidden) return;
    hidden_ = hidden;
    if (!hidden) setNeedsDisplay();
}

void View::setAlpha(double a) {
    a = std::clamp(a, 0.0, 1.0);
    if (a != alpha_) Animator::viewPropertyWillChange(*this, "opacity");
    alpha_ = a;
}

void View::setBackgroundColor(Color c) {
    if (c != backgroundColor_) Animator::viewPropertyWillChange(*this, "backgroundColor");
    backgroundColor_ = c;
    setNeedsDisplay();
}

Color View::tintColor() const {
    for (const View* v = this; v; v = v->superview_)
        if (v->hasTintColor_) return v->tintColor_;
    return Color::rgba(0, 122 / 255.0, 1);
}

void View::setTintColor(Color c) {
    tintColor_ = c;
    hasTintColor_ = true;
    setNeedsDisplay();
}

double View::contentScaleFactor() const {
    return contentScaleFactor_ > 0 ? contentScaleFactor_ : Screen::main().scale();
}

void View::setContentScaleFactor(double factor) {
    // A factor of zero or less goes back to the screen's.
    contentScaleFactor_ = factor > 0 ? factor : 0;
    setNeedsDisplay();
}

void View::setContentMode(ContentMode m) {
    contentMode_ = m;
    setNeedsDisplay();
}

// ---- The tree

Window* View::window() const {
    const View* v = this;
    while (v->superview_) v = v->superview_;
    return dynamic_cast<Window*>(const_cast<View*>(v));
}

void View::addSubview(const ViewPtr& view) { insertSubview(view, subviews_.size()); }

void View::insertSubview(const ViewPtr& view, size_t index) {
    if (!view) return;
    if (view.get() == this || isDescendantOfView(view.get())) {
        Log::line("Velkora (E) - Can't add a view (%@) as a subview of itself or of its own descendant (%@)",
                  view->className(), className());
        return;
    }
    ViewPtr keep = view;
    if (view->superview_ == this) {
        auto it = std::find(subviews_.begin(), subviews_.end(), view);
        size_t from = size_t(it - subviews_.begin());
        subviews_.erase(it);
        if (index > from) --index;
        index = std::min(index, subviews_.size());
        subviews_.insert(subviews_.begin() + long(index), keep);
        setNeedsLayout();
        return;
    }
    Window* oldWindow = view->window();
    Window* newWindow = window();
    view->willMoveToSuperview(this);
    if (oldWindow != newWindow) view->windowWillChange(newWindow);
    if (View* old = view->superview_) {
        old->willRemoveSubview(view.get());
        std::erase(old->subviews_, view);
        old->setNeedsLayout();
    }
    index = std::min(index, subviews_.size());
    subviews_.insert(subviews_.begin() + long(index), keep);
    view->superview_ = this;
    view->didMoveToSuperview();
    if (oldWindow != newWindow) view->windowDidChange();
    didAddSubview(view.get());
    setNeedsLayout();
}

void View::insertSubviewAbove(const ViewPtr& view, const View* sibling) {
    auto it = std::find_if(subviews_.begin(), subviews_.end(), [&](auto& s) { return s.get() == sibling; });
    if (it == subviews_.end()) return addSubview(view);
    insertSubview(view, size_t(it - subviews_.begin()) + 1);
}

void View::insertSubviewBelow(const ViewPtr& view, const View* sibling) {
    auto it = std::find_if(subviews_.begin(), subviews_.end(), [&](auto& s) { return s.get() == sibling; });
    if (it == subviews_.end()) return insertSubview(view, 0);
    insertSubview(view, size_t(it - subviews_.begin()));
}

void View::removeFromSuperview() {
    if (!superview_) return;
    // The superview may hold the last reference.
    ViewPtr self = sharedView();
    View* parent = superview_;
    Window* oldWindow = window();
    Responder* first = Responder::currentFirstResponder();
    if (auto* firstView = dynamic_cast<View*>(first); firstView && firstView->isDescendantOfView(this))
        firstView->resignFirstResponder();
    willMoveToSuperview(nullptr);
    if (oldWindow) windowWillChange(nullptr);
    parent->willRemoveSubview(this);
    std::erase_if(parent->subviews_, [&](auto& s) { return s.get() == this; });
    superview_ = nullptr;
    parent->setNeedsLayout();
    didMoveToSuperview();
    if (oldWindow) windowDidChange();
}

void View::bringSubviewToFront(const View* view) {
    auto it = std::find_if(subviews_.begin(), subviews_.end(), [&](auto& s) { return s.get() == view; });
    if (it == subviews_.end()) return;
    ViewPtr keep = *it;
    subviews_.erase(it);
    subviews_.push_back(keep);
}

void View::sendSubviewToBack(const View* view) {
    auto it = std::find_if(subviews_.begin(), subviews_.end(), [&](auto& s) { return s.get() == view; });
    if (it == subviews_.end()) return;
    ViewPtr keep = *it;
    subviews_.erase(it);
    subviews_.insert(subviews_.begin(), keep);
}

void View::exchangeSubviews(size_t i, size_t j) {
    if (i >= subviews_.size() || j >= subviews_.size()) return;
    std::swap(subviews_[i], subviews_[j]);
}

bool View::isDescendantOfView(const View* view) const {
    if (!view) return false;
    for (const View* v = this; v; v = v->superview_)
        if (v == view) return true;
    return false;
}

View* View::viewWithTag(int tag) {
    if (tag_ == tag) return this;
    for (auto& sub : subviews_)
        if (View* found = sub->viewWithTag(tag)) return found;
    return nullptr;
}

void View::windowWillChange(Window* newWindow) {
    willMoveToWindow(newWindow);
    auto subs = subviews_;
    for (auto& sub : subs) sub->windowWillChange(newWindow);
}

void View::windowDidChange() {
    didMoveToWindow();
    auto subs = subviews_;
    for (auto& sub : subs) sub->windowDidChange();
    if (needsLayout_) scheduleWindowLayout();
}

// ---- Coordinates

Point View::toSuperview(Point p) const {
    Point q{p.x - (bounds_.origin.x + bounds_.size.width / 2), p.y - (bounds_.origin.y + bounds_.size.height / 2)};
    if (!transform_.isIdentity()) q = snapped(transform_).apply(q);
    return {q.x + center_.x, q.y + center_.y};
}

Point View::fromSuperview(Point p) const {
    Point q{p.x - center_.x, p.y - center_.y};
    if (!transform_.isIdentity()) q = snapped(transform_).inverted().apply(q);
    return {q.x + bounds_.origin.x + bounds_.size.width / 2, q.y + bounds_.origin.y + bounds_.size.height / 2};
}

namespace {

const View* rootOf(const View* v) {
    while (v->superview()) v = v->superview();
    return v;
}

}  // namespace

Point View::convertPointToView(Point p, const View* view) const {
    Point pt = p;
    const View* v = this;
    while (v->superview_) {
        pt = v->toSuperview(pt);
        v = v->superview_;
    }
    if (!view || view == v) return view ? view->convertPointFromView(pt, nullptr) : pt;
    const View* otherRoot = rootOf(view);
    if (otherRoot != v) {
        // Different trees meet in screen coordinates, through their windows.
        if (dynamic_cast<const Window*>(v)) pt = v->toSuperview(pt);
        if (dynamic_cast<const Window*>(otherRoot)) pt = otherRoot->fromSuperview(pt);
    }
    return view->convertPointFromView(pt, nullptr);
}

Point View::convertPointFromView(Point p, const View* view) const {
    if (view) return view->convertPointToView(p, this);
    // From the root's coordinates down the chain.
    std::vector<const View*> chain;
    for (const View* v = this; v->superview_; v = v->superview_) chain.push_back(v);
    Point pt = p;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it) pt = (*it)->fromSuperview(pt);
    return pt;
}

namespace {

// The box around a rectangle's corners after mapping each of them.
template <typename Map>
Rect mappedBox(const Rect& r, Map map) {
    Point c[4] = {map(Point{r.minX(), r.minY()}), map(Point{r.maxX(), r.minY()}), map(Point{r.minX(), r.maxY()}),
                  map(Point{r.maxX(), r.maxY()})};
    double x0 = c[0].x, x1 = c[0].x, y0 = c[0].y, y1 = c[0].y;
    for (auto& q : c) {
        x0 = std::min(x0, q.x), x1 = std::max(x1, q.x), y0 = std::min(y0, q.y), y1 = std::max(y1, q.y);
    }
    return {snap(x0), snap(y0), snap(x1 - x0), snap(y1 - y0)};
}

}  // namespace

Rect View::convertRectToView(const Rect& r, const View* view) const {
    return mappedBox(r, [&](Point p) { return convertPointToView(p, view); });
}

Rect View::convertRectFromView(const Rect& r, const View* view) const {
    return mappedBox(r, [&](Point p) { return convertPointFromView(p, view); });
}

Point View::convertPointToScreen(Point p) const {
    Point pt = convertPointToView(p, nullptr);
    const View* root = rootOf(this);
    if (dynamic_cast<const Window*>(root)) pt = root->toSuperview(pt);
    return pt;
}

Point View::convertPointFromScreen(Point p) const {
    const View* root = rootOf(this);
    Point pt = p;
    if (dynamic_cast<const Window*>(root)) pt = root->fromSuperview(pt);
    return convertPointFromView(pt, nullptr);
}

// ---- Hit testing

View* View::hitTest(Point p) {
    if (hidden_ || alpha_ < 0.01 || !userInteractionEnabled_) return nullptr;
    if (!pointInside(p)) return nullptr;
    for (auto it = subviews_.rbegin(); it != subviews_.rend(); ++it) {
        View* sub = it->get();
        if (View* hit = sub->hitTest(sub->fromSuperview(p))) return hit;
    }
    return this;
}

bool View::pointInside(Point p) const { return bounds_.contains(p); }

// ---- Sizing and layout

Size View::sizeThatFits(Size /*size*/) const { return bounds_.size; }

void View::sizeToFit() {
    Size s = sizeThatFits(bounds_.size);
    Rect f = frame();
    setFrame({f.origin, s});
}

void View::setNeedsLayout() {
    if (needsLayout_) return;
    needsLayout_ = true;
    scheduleWindowLayout();
}

void View::scheduleWindowLayout() {
    if (window()) Application::instance().scheduleLayoutPass();
}

void View::layoutIfNeeded() {
    ViewPtr self = sharedView();
    if (needsLayout_) {
        needsLayout_ = false;
        if (viewController_) viewController_->viewWillLayoutSubviews();
        layoutSubviews();
        if (viewController_) viewController_->viewDidLayoutSubviews();
    }
    auto subs = subviews_;
    for (auto& sub : subs) sub->layoutIfNeeded();
}

void View::layoutSubviews() {
    if (constraintHook()) constraintHook()(*this);
}

void View::setConstraintLayoutHook(LayoutHook hook) { constraintHook() = std::move(hook); }

void View::addConstraint(const std::shared_ptr<LayoutConstraint>& constraint) {
    if (!constraint) return;
    if (std::find(constraints_.begin(), constraints_.end(), constraint) == constraints_.end())
        constraints_.push_back(constraint);
    setNeedsLayout();
}

void View::removeConstraint(const LayoutConstraint* constraint) {
    std::erase_if(constraints_, [&](auto& c) { return c.get() == constraint; });
    setNeedsLayout();
}

// ---- Display

uint64_t displayGenerationOf(const View& view) {
    auto& counts = displayGenerations();
    auto it = counts.find(&view);
    return it == counts.end() ? 0 : it->second;
}

void View::setNeedsDisplay() {
    needsDisplay_ = true;
    ++displayGenerations()[this];
}

int View::displayIfNeeded(GraphicsContext& context, const DisplayHooks& hooks) {
    ViewPtr self = sharedView();
    return displayInto(context, hooks);
}

int View::displayInto(GraphicsContext& context, const DisplayHooks& hooks) {
    if (hidden_ || alpha_ < 0.01) return 0;
    int drawn = 0;
    if (hooks.willDraw) hooks.willDraw(*this, context);
    if (needsDisplay_) {
        needsDisplay_ = false;
        drawRect(context, bounds_);
        ++drawn;
    }
    auto subs = subviews_;
    for (auto& sub : subs) drawn += sub->displayInto(context, hooks);
    if (hooks.didDraw) hooks.didDraw(*this, context);
    return drawn;
}

// ---- Editing and dumps

bool View::endEditing(bool force) {
    auto* first = dynamic_cast<View*>(Responder::currentFirstResponder());
    if (!first || !first->isDescendantOfView(this)) return true;
    return Responder::resignCurrentFirstResponder(force);
}

std::string View::dumpTree() const {
    std::string out;
    dumpInto(out, 0);
    return out;
}

void View::dumpInto(std::string& out, int depth) const {
    out.append(size_t(depth) * 2, ' ');
    out += className();
    out += ' ';
    out += frame().description();
    if (hidden_) out += " hidden";
    std::string text = dumpText();
    if (!text.empty()) out += " \"" + text + "\"";
    out += '\n';
    for (auto& sub : subviews_) sub->dumpInto(out, depth + 1);
}

}  // namespace velkora::ui
