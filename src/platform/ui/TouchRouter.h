// Routing fingers to the ui: the view under the finger (hit test), then the gesture recognisers of that
// view and its ancestors up to the window, then the view's own touch methods, then a control's actions.
// Times come from the main run loop's clock. TouchDriver is the synthetic finger tests and the demo use.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/Touch.h"

namespace velkora::ui {

class Control;
class Window;

class TouchRouter {
public:
    static TouchRouter& instance();

    // One finger's events, in the window's coordinates. A finger that comes down where no view takes
    // touches is ignored until it lifts.
    void touchDown(Window& window, Point p, int finger = 0);
    void touchMove(int finger, Point p);
    void touchUp(int finger, Point p);
    void touchCancel(int finger);
    bool isFingerDown(int finger) const { return active_.count(finger) > 0; }
    Point fingerLocation(int finger) const;

    // Settles recognisers after a decision taken outside a touch event (a timer).
    void settle();
    // Forgets every finger and recogniser in flight (for tests).
    void reset();

private:
    enum class Phase { Began, Moved, Ended, Cancelled };
    // Moves a finger's touch to its new place and phase (null when the finger is not down).
    std::shared_ptr<Touch> advanceTouch(int finger, std::optional<Point> p, TouchPhase phase);
    void dispatch(const std::shared_ptr<Touch>& touch, Phase phase);
    void deliverToView(Touch& touch, Phase phase, Event& event);
    void trackControl(Control& control, Touch& touch, Phase phase);
    void cancelInView(GestureRecognizer& recognizer);
    bool mayBegin(GestureRecognizer& recognizer);
    bool simultaneous(GestureRecognizer& a, GestureRecognizer& b);
    void resetFinished();

    std::map<int, std::shared_ptr<Touch>> active_;
    // Recognisers that took part in the current gesture, in the order they first received a touch.
    std::vector<std::shared_ptr<GestureRecognizer>> participants_;
    std::map<const Control*, bool> controlInside_;
    Event* currentEvent_ = nullptr;
};

class TouchDriver {
public:
    // Drives the given window, or the key window when none is given.
    explicit TouchDriver(std::shared_ptr<Window> window = nullptr);

    void down(Point p, int finger = 0);
    void move(Point p, int finger = 0);
    void up(Point p, int finger = 0);
    // Lifts the finger where it is.
    void up(int finger = 0);
    void cancel(int finger = 0);
    // Moves the run loop's clock forward (firing timers and animation ends on the way).
    void wait(double seconds);
    // Down and up at one point, at one instant.
    void tap(Point p, int finger = 0);
    // Down at `from`, then `steps` moves evenly to `to` over `seconds`, then (when `lift`) up at `to`
    // at once, so the finger leaves moving.
    void drag(Point from, Point to, int steps, double seconds, bool lift = true, int finger = 0);

private:
    Window* target() const;
    std::shared_ptr<Window> window_;
};

}  // namespace velkora::ui
