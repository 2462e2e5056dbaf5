#include "platform/ui/GestureRecognizer.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/TouchRouter.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

namespace velkora::ui {

const char* gestureRecognizerStateName(GestureRecognizerState s) {
    switch (s) {
    case GestureRecognizerState::Possible: return "possible";
    case GestureRecognizerState::Began: return "began";
    case GestureRecognizerState::Changed: return "changed";
    case GestureRecognizerState::Ended: return "ended";
    case GestureRecognizerState::Cancelled: return "cancelled";
    case GestureRecognizerState::Failed: return "failed";
    }
    return "?";
}

// ---- The view's list

View::GestureRecognizerList::~GestureRecognizerList() {
    for (auto& r : items) r->view_ = nullptr;
}

void View::addGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer) {
    if (!recognizer) return;
    if (recognizer->view_ == this) return;
    // A recogniser belongs to one view at a time: adding it elsewhere moves it.
    if (recognizer->view_) recognizer->view_->removeGestureRecognizer(recognizer.get());
    recognizer->view_ = this;
    gestureRecognizers_.items.push_back(recognizer);
}

void View::removeGestureRecognizer(const GestureRecognizer* recognizer) {
    auto& items = gestureRecognizers_.items;
    auto it = std::find_if(items.begin(), items.end(), [&](const auto& r) { return r.get() == recognizer; });
    if (it == items.end()) return;
    auto keep = *it;  // alive until it is detached
    items.erase(it);
    if (keep->state_ == GestureRecognizerState::Began || keep->state_ == GestureRecognizerState::Changed) {
        keep->state_ = GestureRecognizerState::Cancelled;
        keep->sendActions();
    }
    keep->view_ = nullptr;
    keep->reset();
}

// ---- The base

GestureRecognizer::~GestureRecognizer() = default;

uint64_t GestureRecognizer::addTarget(std::weak_ptr<void> target, Action action) {
    uint64_t token = nextToken_++;
    targets_.push_back({token, true, std::move(target), std::move(action)});
    return token;
}

uint64_t GestureRecognizer::addAction(Action action) {
    uint64_t token = nextToken_++;
    targets_.push_back({token, false, {}, std::move(action)});
    return token;
}

void GestureRecognizer::removeTarget(uint64_t token) {
    std::erase_if(targets_, [&](const Target& t) { return t.token == token; });
}

void GestureRecognizer::sendActions() {
    auto keep = weak_from_this().lock();
    auto targets = targets_;
    for (auto& t : targets) {
        if (t.hasTarget && t.target.expired()) continue;
        if (t.action) t.action(*this);
    }
}

void GestureRecognizer::setEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    if (enabled) return;
    auto keep = weak_from_this().lock();
    if (state_ == GestureRecognizerState::Began || state_ == GestureRecognizerState::Changed) {
        state_ = GestureRecognizerState::Cancelled;
        sendActions();
    } else if (state_ == GestureRecognizerState::Possible && !touches_.empty()) {
        // Only a gesture under way fails: an idle recogniser takes part in no touch that would reset it,
        // and would stay failed once switched on again.
        state_ = GestureRecognizerState::Failed;
    }
    pendingState_ = GestureRecognizerState::Possible;
    TouchRouter::instance().settle();
}

void GestureRecognizer::requireGestureRecognizerToFail(const std::shared_ptr<GestureRecognizer>& other) {
    if (!other || other.get() == this) return;
    requiredToFail_.push_back(other);
}

void GestureRecognizer::setState(GestureRecognizerState s) {
    using S = GestureRecognizerState;
    if (state_ == S::Possible) {
        if (pendingState_ != S::Possible) {
            // Already decided and waiting: a continuous gesture that ends meanwhile ends right after it begins.
            if (s == S::Ended && pendingState_ == S::Began) pendingEnd_ = true;
            else if (s == S::Failed || s == S::Cancelled) {
                pendingState_ = S::Possible;
                pendingEnd_ = false;
                state_ = S::Failed;
            }
            return;
        }
        if (s == S::Began || s == S::Ended) pendingState_ = s;  // the routing settles it
        else if (s == S::Failed || s == S::Cancelled) state_ = S::Failed;
        return;
    }
    if (state_ == S::Began || state_ == S::Changed) {
        if (s == S::Changed || s == S::Ended || s == S::Cancelled) {
            state_ = s;
            sendActions();
        } else if (s == S::Failed) {
            state_ = S::Cancelled;
            sendActions();
        }
    }
}

void GestureRecognizer::settleFromTimer() { TouchRouter::instance().settle(); }

void GestureRecognizer::addTouch(const std::shared_ptr<Touch>& touch) {
    if (std::find(touches_.begin(), touches_.end(), touch) == touches_.end()) touches_.push_back(touch);
}

size_t GestureRecognizer::numberOfTouches() const {
    return size_t(std::count_if(touches_.begin(), touches_.end(), [](const auto& t) {
        return t->phase() != TouchPhase::Ended && t->phase() != TouchPhase::Cancelled;
    }));
}

Point GestureRecognizer::windowCentroid() const {
    double x = 0, y = 0;
    int n = 0;
    for (const auto& t : touches_) {
        if (t->phase() == TouchPhase::Ended || t->phase() == TouchPhase::Cancelled) continue;
        Point p = t->locationInView(nullptr);
        x += p.x;
        y += p.y;
        ++n;
    }
    if (n == 0) return lastCentroid_;
    return {x / n, y / n};
}

Point GestureRecognizer::locationInView(const View* view) const {
    Point p = windowCentroid();
    // Window coordinates to the view's: through the window the touches came from.
    View* window = nullptr;
    for (const auto& t : touches_)
        if (t->window()) window = t->window();
    if (!window) window = lastWindow_.lock().get();
    if (!view || !window) return p;
    return view->convertPointFromView(p, window);
}

void GestureRecognizer::touchesBegan(const TouchSet& touches, Event&) {
    lastCentroid_ = windowCentroid();
    for (auto* t : touches)
        if (t->window()) lastWindow_ = t->window()->sharedView();
}
void GestureRecognizer::touchesMoved(const TouchSet&, Event&) { lastCentroid_ = windowCentroid(); }
void GestureRecognizer::touchesEnded(const TouchSet& touches, Event&) {
    // The place where the last finger lifted stays the recogniser's location.
    if (!touches.empty()) lastCentroid_ = touches.back()->locationInView(nullptr);
}
void GestureRecognizer::touchesCancelled(const TouchSet&, Event&) {}

void GestureRecognizer::reset() {
    state_ = GestureRecognizerState::Possible;
    pendingState_ = GestureRecognizerState::Possible;
    pendingEnd_ = false;
    touches_.clear();
}

// ---- Tap

namespace {
double distance(Point a, Point b) { return std::hypot(a.x - b.x, a.y - b.y); }
}  // namespace

TapGestureRecognizer::~TapGestureRecognizer() { disarmTimer(); }

void TapGestureRecognizer::armTimer() {
    disarmTimer();
    std::weak_ptr<GestureRecognizer> weak = weak_from_this();
    timer_ = foundation::RunLoop::main().schedule(kMaximumTapInterval, false, [weak](foundation::Timer&) {
        auto self = std::static_pointer_cast<TapGestureRecognizer>(weak.lock());
        if (!self || self->state() != GestureRecognizerState::Possible || self->isWaitingForFailure()) return;
        // Too slow for the next tap of a multiple tap (or a finger held too long): no tap.
        self->setState(GestureRecognizerState::Failed);
        self->settleFromTimer();
    });
}

void TapGestureRecognizer::disarmTimer() {
    if (timer_) timer_->invalidate();
    timer_.reset();
}

void TapGestureRecognizer::touchesBegan(const TouchSet& touches, Event& event) {
    GestureRecognizer::touchesBegan(touches, event);
    disarmTimer();
    if (fingersDown_ == 0) downPoint_ = windowCentroid();
    fingersDown_ += int(touches.size());
    maxFingers_ = std::max(maxFingers_, fingersDown_);
    if (fingersDown_ > touchesRequired_) setState(GestureRecognizerState::Failed);
}

void TapGestureRecognizer::touchesMoved(const TouchSet& touches, Event& event) {
    GestureRecognizer::touchesMoved(touches, event);
    for (auto* t : touches)
        if (distance(t->locationInView(nullptr), downPoint_) > kAllowableMovement) {
            disarmTimer();
            setState(GestureRecognizerState::Failed);
            return;
        }
}

void TapGestureRecognizer::touchesEnded(const TouchSet& touches, Event& event) {
    GestureRecognizer::touchesEnded(touches, event);
    for (auto* t : touches)
        if (distance(t->locationInView(nullptr), downPoint_) > kAllowableMovement) {
            setState(GestureRecognizerState::Failed);
            return;
        }
    fingersDown_ = std::max(0, fingersDown_ - int(touches.size()));
    if (fingersDown_ > 0) return;
    if (maxFingers_ != touchesRequired_) {
        setState(GestureRecognizerState::Failed);
        return;
    }
    maxFingers_ = 0;
    if (++tapsSeen_ >= tapsRequired_) setState(GestureRecognizerState::Recognized);
    else armTimer();
}

void TapGestureRecognizer::touchesCancelled(const TouchSet& touches, Event& event) {
    GestureRecognizer::touchesCancelled(touches, event);
    disarmTimer();
    setState(GestureRecognizerState::Failed);
}

void TapGestureRecognizer::reset() {
    GestureRecognizer::reset();
    disarmTimer();
    tapsSeen_ = 0;
    fingersDown_ = 0;
    maxFingers_ = 0;
}

// ---- Pan

void PanGestureRecognizer::sample(double time) {
    current_ = windowCentroid();
    lastTime_ = time;
    samples_.push_back({time, current_});
    // Only the recent motion counts; keep one sample older than the window to measure from.
    while (samples_.size() > 2 && samples_[1].time < time - kVelocityWindow) samples_.erase(samples_.begin());
}

void PanGestureRecognizer::touchesBegan(const TouchSet& touches, Event& event) {
    GestureRecognizer::touchesBegan(touches, event);
    if (numberOfTouches() > maxTouches_) {
        if (state() == GestureRecognizerState::Possible) setState(GestureRecognizerState::Failed);
        return;
    }
    if (state() == GestureRecognizerState::Possible && !isWaitingForFailure()) {
        origin_ = windowCentroid();
        samples_.clear();
    }
    sample(event.timestamp());
}

void PanGestureRecognizer::touchesMoved(const TouchSet& touches, Event& event) {
    GestureRecognizer::touchesMoved(touches, event);
    sample(event.timestamp());
    using S = GestureRecognizerState;
    if (state() == S::Possible && !isWaitingForFailure()) {
        if (numberOfTouches() >= minTouches_ && distance(current_, origin_) > kSlop) setState(S::Began);
    } else if (state() == S::Began || state() == S::Changed) {
        setState(S::Changed);
    }
}

void PanGestureRecognizer::touchesEnded(const TouchSet& touches, Event& event) {
    GestureRecognizer::touchesEnded(touches, event);
    current_ = touches.empty() ? current_ : touches.back()->locationInView(nullptr);
    lastTime_ = event.timestamp();
    samples_.push_back({lastTime_, current_});
    using S = GestureRecognizerState;
    if (numberOfTouches() >= minTouches_ && numberOfTouches() > 0) return;  // other fingers carry on
    if (state() == S::Began || state() == S::Changed || isWaitingForFailure()) setState(S::Ended);
    else if (state() == S::Possible) setState(S::Failed);
}

void PanGestureRecognizer::touchesCancelled(const TouchSet& touches, Event& event) {
    GestureRecognizer::touchesCancelled(touches, event);
    setState(GestureRecognizerState::Cancelled);
}

void PanGestureRecognizer::reset() {
    GestureRecognizer::reset();
    samples_.clear();
}

Point PanGestureRecognizer::convertVector(Point v, const View* view) const {
    if (!view) return v;
    View* window = nullptr;
    for (const auto& t : trackedTouches())
        if (t->window()) window = t->window();
    if (!window) return v;
    Point a = view->convertPointFromView({0, 0}, window), b = view->convertPointFromView(v, window);
    return {b.x - a.x, b.y - a.y};
}

Point PanGestureRecognizer::translationInView(const View* view) const {
    return convertVector({current_.x - origin_.x, current_.y - origin_.y}, view);
}

void PanGestureRecognizer::setTranslation(Point translation, const View* view) {
    // The origin moves so that the finger's place now reads as `translation`.
    Point inWindow = translation;
    if (view) {
        Point unit = convertVector({1, 0}, view), unitY = convertVector({0, 1}, view);
        double det = unit.x * unitY.y - unit.y * unitY.x;
        if (std::abs(det) > 1e-12)
            inWindow = {(translation.x * unitY.y - translation.y * unitY.x) / det,
                        (translation.y * unit.x - translation.x * unit.y) / det};
    }
    origin_ = {current_.x - inWindow.x, current_.y - inWindow.y};
}

Point PanGestureRecognizer::velocityInView(const View* view) const {
    if (samples_.size() < 2) return {0, 0};
    const Sample& last = samples_.back();
    // The oldest sample within the window, measured against the newest.
    const Sample* first = nullptr;
    for (const auto& s : samples_)
        if (s.time >= last.time - kVelocityWindow - 1e-9 && &s != &last) {
            first = &s;
            break;
        }
    if (!first || last.time - first->time <= 1e-9) return {0, 0};
    double dt = last.time - first->time;
    return convertVector({(last.at.x - first->at.x) / dt, (last.at.y - first->at.y) / dt}, view);
}

// ---- Swipe

void SwipeGestureRecognizer::touchesBegan(const TouchSet& touches, Event& event) {
    GestureRecognizer::touchesBegan(touches, event);
    if (int(numberOfTouches()) > touchesRequired_) {
        setState(GestureRecognizerState::Failed);
        return;
    }
    start_ = windowCentroid();
    startTime_ = event.timestamp();
}

void SwipeGestureRecognizer::touchesMoved(const TouchSet& touches, Event& event) {
    GestureRecognizer::touchesMoved(touches, event);
    if (state() != GestureRecognizerState::Possible || isWaitingForFailure()) return;
    if (event.timestamp() - startTime_ > kMaximumDuration) {
        setState(GestureRecognizerState::Failed);
        return;
    }
    if (int(numberOfTouches()) != touchesRequired_) return;
    Point p = windowCentroid();
    double dx = p.x - start_.x, dy = p.y - start_.y;
    struct Dir {
        unsigned bit;
        double along, across;
    };
    for (Dir d : {Dir{SwipeRight, dx, dy}, Dir{SwipeLeft, -dx, dy}, Dir{SwipeDown, dy, dx}, Dir{SwipeUp, -dy, dx}}) {
        if (!(direction_ & d.bit)) continue;
        if (d.along >= kMinimumDistance && std::abs(d.across) <= d.along / 2) {
            setState(GestureRecognizerState::Recognized);
            return;
        }
    }
}

void SwipeGestureRecognizer::touchesEnded(const TouchSet& touches, Event& event) {
    GestureRecognizer::touchesEnded(touches, event);
    if (state() == GestureRecognizerState::Possible && !isWaitingForFailure()) setState(GestureRecognizerState::Failed);
}

void SwipeGestureRecognizer::touchesCancelled(const TouchSet& touches, Event& event) {
    GestureRecognizer::touchesCancelled(touches, event);
    setState(GestureRecognizerState::Failed);
}

void SwipeGestureRecognizer::reset() { GestureRecognizer::reset(); }

}  // namespace velkora::ui
