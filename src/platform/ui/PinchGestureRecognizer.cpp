#include "platform/ui/PinchGestureRecognizer.h"

#include <cmath>

namespace velkora::ui {

using S = GestureRecognizerState;

double PinchGestureRecognizer::fingerDistance() const {
    const Touch* down[2] = {nullptr, nullptr};
    int n = 0;
    for (const auto& t : trackedTouches()) {
        if (t->phase() == TouchPhase::Ended || t->phase() == TouchPhase::Cancelled) continue;
        down[n++] = t.get();
        if (n == 2) break;
    }
    if (n < 2) return -1;
    Point a = down[0]->locationInView(nullptr), b = down[1]->locationInView(nullptr);
    return std::hypot(a.x - b.x, a.y - b.y);
}

void PinchGestureRecognizer::setScale(double scale) {
    double d = fingerDistance();
    if (d > 0 && scale > 0) startDistance_ = d / scale;
    scale_ = scale;
}

void PinchGestureRecognizer::touchesBegan(const TouchSet& touches, Event& event) {
    GestureRecognizer::touchesBegan(touches, event);
    if (numberOfTouches() > 2) {
        if (state() == S::Possible) setState(S::Failed);
        return;
    }
    if (numberOfTouches() == 2 && state() == S::Possible) {
        startDistance_ = fingerDistance();
        scale_ = 1;
    }
}

void PinchGestureRecognizer::touchesMoved(const TouchSet& touches, Event& event) {
    GestureRecognizer::touchesMoved(touches, event);
    double d = fingerDistance();
    // Two fingers on one spot give no scale to measure against.
    if (d < 0 || startDistance_ <= 0) return;
    if (state() == S::Possible && !isWaitingForFailure()) {
        if (std::fabs(d - startDistance_) > kSlop) {
            scale_ = d / startDistance_;
            setState(S::Began);
        }
    } else if (state() == S::Began || state() == S::Changed) {
        scale_ = d / startDistance_;
        setState(S::Changed);
    }
}

void PinchGestureRecognizer::touchesEnded(const TouchSet& touches, Event& event) {
    GestureRecognizer::touchesEnded(touches, event);
    if (state() == S::Began || state() == S::Changed || isWaitingForFailure()) {
        setState(S::Ended);
    } else if (state() == S::Possible && numberOfTouches() == 0) {
        setState(S::Failed);
    }
}

void PinchGestureRecognizer::touchesCancelled(const TouchSet& touches, Event& event) {
    GestureRecognizer::touchesCancelled(touches, event);
    setState(state() == S::Possible ? S::Failed : S::Cancelled);
}

void PinchGestureRecognizer::reset() {
    GestureRecognizer::reset();
    startDistance_ = -1;
    scale_ = 1;
}

} // namespace velkora::ui
