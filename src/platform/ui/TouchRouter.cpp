#include "platform/ui/TouchRouter.h"

#include <algorithm>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/Control.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

namespace velkora::ui {

// ---- Touch and event

View* Touch::view() const { return view_.lock().get(); }

Window* Touch::window() const { return dynamic_cast<Window*>(window_.lock().get()); }

Point Touch::convert(Point inWindow, const View* view) const {
    auto w = window_.lock();
    if (!view || !w) return inWindow;
    return view->convertPointFromView(inWindow, w.get());
}

Point Touch::locationInView(const View* view) const { return convert(location_, view); }

Point Touch::previousLocationInView(const View* view) const { return convert(previous_, view); }

TouchSet Event::touchesForView(const View* view) const {
    TouchSet out;
    for (auto* t : touches_)
        if (t->view() == view) out.push_back(t);
    return out;
}

// ---- Routing

namespace {
using S = GestureRecognizerState;
bool isActive(S s) { return s == S::Began || s == S::Changed; }
bool isFinished(S s) { return s == S::Ended || s == S::Cancelled || s == S::Failed; }
// A control keeps a finger "inside" within this margin around its bounds, as on the platform.
constexpr double kControlTrackingMargin = 70;
}  // namespace

TouchRouter& TouchRouter::instance() {
    // Never destroyed: recognisers it still holds at exit must not reach a run loop already gone.
    static TouchRouter* router = new TouchRouter();
    return *router;
}

Point TouchRouter::fingerLocation(int finger) const {
    auto it = active_.find(finger);
    return it == active_.end() ? Point{} : it->second->location_;
}

void TouchRouter::reset() {
    active_.clear();
    for (auto& r : participants_) r->reset();
    participants_.clear();
    controlInside_.clear();
}

void TouchRouter::touchDown(Window& window, Point p, int finger) {
    if (active_.count(finger)) touchUp(finger, active_[finger]->location_);
    if (Application::instance().isIgnoringInteractionEvents()) return;
    auto touch = std::make_shared<Touch>();
    touch->finger_ = finger;
    touch->timestamp_ = foundation::RunLoop::main().now();
    touch->location_ = touch->previous_ = p;
    touch->window_ = window.sharedView();
    View* hit = window.hitTest(p);
    if (!hit) return;  // nothing here takes touches
    touch->view_ = hit->sharedView();
    // The recognisers of the view and its ancestors, nearest first; each asks its delegate.
    for (View* v = hit; v; v = v->superview()) {
        for (auto& r : v->gestureRecognizers()) {
            if (!r->isEnabled() || isFinished(r->state())) continue;
            if (auto d = r->delegate(); d && !d->gestureRecognizerShouldReceiveTouch(*r, *touch)) continue;
            touch->recognizers_.push_back(r);
        }
    }
    active_[finger] = touch;
    dispatch(touch, Phase::Began);
}

std::shared_ptr<Touch> TouchRouter::advanceTouch(int finger, std::optional<Point> p, TouchPhase phase) {
    auto it = active_.find(finger);
    if (it == active_.end()) return nullptr;
    auto touch = it->second;
    if (p) {
        touch->previous_ = touch->location_;
        touch->location_ = *p;
    }
    touch->timestamp_ = foundation::RunLoop::main().now();
    touch->phase_ = phase;
    if (phase == TouchPhase::Ended || phase == TouchPhase::Cancelled) active_.erase(it);
    return touch;
}

void TouchRouter::touchMove(int finger, Point p) {
    if (auto touch = advanceTouch(finger, p, TouchPhase::Moved)) dispatch(touch, Phase::Moved);
}

void TouchRouter::touchUp(int finger, Point p) {
    if (auto touch = advanceTouch(finger, p, TouchPhase::Ended)) dispatch(touch, Phase::Ended);
}

void TouchRouter::touchCancel(int finger) {
    if (auto touch = advanceTouch(finger, std::nullopt, TouchPhase::Cancelled)) dispatch(touch, Phase::Cancelled);
}

void TouchRouter::dispatch(const std::shared_ptr<Touch>& touch, Phase phase) {
    Event event;
    event.timestamp_ = touch->timestamp_;
    for (auto& [f, t] : active_) event.touches_.push_back(t.get());
    if (phase == Phase::Ended || phase == Phase::Cancelled) event.touches_.push_back(touch.get());
    Event* outer = currentEvent_;
    currentEvent_ = &event;
    TouchSet one{touch.get()};

    // Recognisers first: they see every phase before the view does.
    auto recognizers = touch->recognizers_;
    for (auto& r : recognizers) {
        if (phase == Phase::Began) {
            r->addTouch(touch);
            if (std::find(participants_.begin(), participants_.end(), r) == participants_.end())
                participants_.push_back(r);
        }
        if (!r->isEnabled() || isFinished(r->state()) || r->view() == nullptr) continue;
        switch (phase) {
        case Phase::Began: r->touchesBegan(one, event); break;
        case Phase::Moved: r->touchesMoved(one, event); break;
        case Phase::Ended: r->touchesEnded(one, event); break;
        case Phase::Cancelled: r->touchesCancelled(one, event); break;
        }
    }
    settle();

    // Then the view, unless a recogniser took the touch away from it.
    bool delayed = phase == Phase::Began && std::any_of(recognizers.begin(), recognizers.end(), [](const auto& r) {
                       return r->delaysTouchesBegan() && r->state() == S::Possible;
                   });
    if (touch->deliveredToView_ && !delayed) deliverToView(*touch, phase, event);
    currentEvent_ = outer;
    resetFinished();
}

void TouchRouter::deliverToView(Touch& touch, Phase phase, Event& event) {
    auto view = touch.view_.lock();
    if (!view) return;
    if (auto* control = dynamic_cast<Control*>(view.get())) {
        trackControl(*control, touch, phase);
        return;
    }
    TouchSet one{&touch};
    switch (phase) {
    case Phase::Began: view->touchesBegan(one, &event); break;
    case Phase::Moved: view->touchesMoved(one, &event); break;
    case Phase::Ended: view->touchesEnded(one, &event); break;
    case Phase::Cancelled: view->touchesCancelled(one, &event); break;
    }
}

void TouchRouter::trackControl(Control& control, Touch& touch, Phase phase) {
    auto keep = control.sharedView();
    if (!control.isEnabled() || !control.isUserInteractionEnabled()) return;
    Point p = touch.locationInView(&control);
    bool inside = control.bounds().insetBy(-kControlTrackingMargin, -kControlTrackingMargin).contains(p);
    switch (phase) {
    case Phase::Began:
        controlInside_[&control] = true;
        control.setHighlighted(true);
        control.sendActionsForControlEvents(ControlEventTouchDown);
        break;
    case Phase::Moved: {
        bool was = controlInside_[&control];
        controlInside_[&control] = inside;
        control.setHighlighted(inside);
        unsigned events = inside ? ControlEventTouchDragInside : ControlEventTouchDragOutside;
        if (was != inside) events |= inside ? ControlEventTouchDragEnter : ControlEventTouchDragExit;
        control.sendActionsForControlEvents(events);
        break;
    }
    case Phase::Ended:
        controlInside_.erase(&control);
        control.setHighlighted(false);
        control.sendActionsForControlEvents(inside ? ControlEventTouchUpInside : ControlEventTouchUpOutside);
        break;
    case Phase::Cancelled:
        controlInside_.erase(&control);
        control.setHighlighted(false);
        control.sendActionsForControlEvents(ControlEventTouchCancel);
        break;
    }
}

void TouchRouter::cancelInView(GestureRecognizer& recognizer) {
    if (!recognizer.cancelsTouchesInView()) return;
    Event event;
    event.timestamp_ = foundation::RunLoop::main().now();
    for (auto& t : recognizer.touches_) {
        if (!t->deliveredToView_) continue;
        t->deliveredToView_ = false;
        event.touches_ = {t.get()};
        deliverToView(*t, Phase::Cancelled, event);
    }
}

bool TouchRouter::simultaneous(GestureRecognizer& a, GestureRecognizer& b) {
    if (auto d = a.delegate(); d && d->gestureRecognizerShouldRecognizeSimultaneously(a, b)) return true;
    if (auto d = b.delegate(); d && d->gestureRecognizerShouldRecognizeSimultaneously(b, a)) return true;
    return false;
}

bool TouchRouter::mayBegin(GestureRecognizer& r) {
    // A tap of an ancestor does not take a tap away from a control under the finger.
    if (dynamic_cast<TapGestureRecognizer*>(&r)) {
        for (auto& t : r.touches_) {
            auto* control = dynamic_cast<Control*>(t->view());
            if (control && control != r.view() && control->isEnabled()) return false;
        }
    }
    if (auto d = r.delegate(); d && !d->gestureRecognizerShouldBegin(r)) return false;
    return true;
}

void TouchRouter::settle() {
    bool changed = true;
    int guard = 0;
    while (changed && ++guard < 100) {
        changed = false;
        auto list = participants_;
        for (auto& r : list) {
            if (r->pendingState_ == S::Possible || r->state_ != S::Possible) continue;
            // Waits while a recogniser it requires to fail is still undecided; fails when that one recognised.
            bool wait = false, fail = false;
            for (auto& weak : r->requiredToFail_) {
                auto other = weak.lock();
                if (!other) continue;
                bool taking = std::find(participants_.begin(), participants_.end(), other) != participants_.end();
                if (!taking) continue;
                if (other->state_ == S::Possible) wait = true;
                else if (isActive(other->state_) || other->state_ == S::Ended) fail = true;
            }
            if (fail) {
                r->pendingState_ = S::Possible;
                r->pendingEnd_ = false;
                r->state_ = S::Failed;
                changed = true;
                continue;
            }
            if (wait) continue;
            bool blocked = !mayBegin(*r);
            for (auto& o : list)
                if (o != r && (isActive(o->state_) || (o->state_ == S::Ended && o->isDiscrete() && !o->touches_.empty())) &&
                    !simultaneous(*r, *o))
                    blocked = true;
            S target = r->pendingState_;
            bool endAfter = r->pendingEnd_;
            r->pendingState_ = S::Possible;
            r->pendingEnd_ = false;
            changed = true;
            if (blocked) {
                r->state_ = S::Failed;
                continue;
            }
            auto keep = r;
            r->state_ = target;
            // Everything else still undecided that may not recognise alongside it fails now.
            for (auto& o : list)
                if (o != r && o->state_ == S::Possible && !simultaneous(*r, *o)) {
                    o->state_ = S::Failed;
                    o->pendingState_ = S::Possible;
                }
            cancelInView(*r);
            r->sendActions();
            if (endAfter && r->state_ == S::Began) {
                r->state_ = S::Ended;
                r->sendActions();
            }
        }
    }
    if (!currentEvent_) resetFinished();
}

void TouchRouter::resetFinished() {
    // Once no finger is down, every recogniser that finished goes back to Possible; one still waiting
    // (between the taps of a double tap, or for another to fail) stays.
    if (!active_.empty()) return;
    auto list = participants_;
    std::vector<std::shared_ptr<GestureRecognizer>> keep;
    for (auto& r : list) {
        if (isActive(r->state_)) {
            // A continuous gesture cannot outlive its fingers.
            r->state_ = S::Cancelled;
            r->sendActions();
        }
        if (r->state_ == S::Possible && (r->pendingState_ != S::Possible || r->awaitsMoreTouches())) keep.push_back(r);
        else r->reset();
    }
    participants_ = keep;
}

// ---- Driver

TouchDriver::TouchDriver(std::shared_ptr<Window> window) : window_(std::move(window)) {}

Window* TouchDriver::target() const {
    if (window_) return window_.get();
    return Application::instance().keyWindow();
}

void TouchDriver::down(Point p, int finger) {
    if (Window* w = target()) TouchRouter::instance().touchDown(*w, p, finger);
}

void TouchDriver::move(Point p, int finger) { TouchRouter::instance().touchMove(finger, p); }

void TouchDriver::up(Point p, int finger) { TouchRouter::instance().touchUp(finger, p); }

void TouchDriver::up(int finger) {
    TouchRouter::instance().touchUp(finger, TouchRouter::instance().fingerLocation(finger));
}

void TouchDriver::cancel(int finger) { TouchRouter::instance().touchCancel(finger); }

void TouchDriver::wait(double seconds) {
    auto& loop = foundation::RunLoop::main();
    if (!loop.hasTestClock()) loop.useTestClock();
    loop.advance(seconds);
}

void TouchDriver::tap(Point p, int finger) {
    down(p, finger);
    up(p, finger);
}

void TouchDriver::drag(Point from, Point to, int steps, double seconds, bool lift, int finger) {
    steps = std::max(1, steps);
    down(from, finger);
    for (int i = 1; i <= steps; ++i) {
        wait(seconds / steps);
        double f = double(i) / steps;
        move({from.x + (to.x - from.x) * f, from.y + (to.y - from.y) * f}, finger);
    }
    if (lift) up(to, finger);
}

}  // namespace velkora::ui
