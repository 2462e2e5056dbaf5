// Touches and touch events: one finger's place, phase and time, as the touch routing hands them to
// gesture recognisers and views.
#pragma once

#include <memory>
#include <vector>

#include "platform/ui/Geometry.h"

namespace velkora::ui {

class View;
class Window;
class GestureRecognizer;

enum class TouchPhase { Began = 0, Moved, Stationary, Ended, Cancelled };

class Touch {
public:
    TouchPhase phase() const { return phase_; }
    double timestamp() const { return timestamp_; }
    int tapCount() const { return tapCount_; }
    // The view the finger came down on (null once that view is gone), and its window.
    View* view() const;
    Window* window() const;
    // In the view's coordinates; a null view means the window's.
    Point locationInView(const View* view) const;
    Point previousLocationInView(const View* view) const;
    // The recognisers that receive this touch.
    const std::vector<std::shared_ptr<GestureRecognizer>>& gestureRecognizers() const { return recognizers_; }

private:
    friend class TouchRouter;
    Point convert(Point inWindow, const View* view) const;

    TouchPhase phase_ = TouchPhase::Began;
    double timestamp_ = 0;
    int tapCount_ = 1;
    int finger_ = 0;
    Point location_;  // in the window
    Point previous_;
    std::weak_ptr<View> view_;
    std::weak_ptr<View> window_;
    std::vector<std::shared_ptr<GestureRecognizer>> recognizers_;
    bool deliveredToView_ = true;  // false once a recogniser cancelled it in the view
};

using TouchSet = std::vector<Touch*>;

class Event {
public:
    double timestamp() const { return timestamp_; }
    const TouchSet& allTouches() const { return touches_; }
    TouchSet touchesForView(const View* view) const;

private:
    friend class TouchRouter;
    double timestamp_ = 0;
    TouchSet touches_;
};

}  // namespace velkora::ui
