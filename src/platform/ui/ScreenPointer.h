// Fingers and the scroll wheel in the main screen's coordinates, for a display that shows every window
// at once: a finger goes to the topmost visible window under it and stays with that window until it
// lifts; the wheel scrolls the innermost scrollable view under the pointer.
#pragma once

#include "platform/ui/Geometry.h"

namespace velkora::ui {

class ScreenPointer {
public:
    static void down(int finger, Point screen);
    static void move(int finger, Point screen);
    static void up(int finger, Point screen);
    // Lifts every finger that is down (the pointer left, the display closed).
    static void cancelAll();
    // Scrolls by (dx, dy) points of content; true when a view scrolled.
    static bool scroll(Point screen, double dx, double dy);
};

} // namespace velkora::ui
