#include "platform/ui/ScreenPointer.h"

#include <cmath>
#include <map>
#include <memory>

#include "platform/ui/Application.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "platform/ui/TouchRouter.h"
#include "platform/ui/Window.h"

namespace velkora::ui {

namespace {

// The window each finger came down on, and the text input under it, if any.
struct Finger {
    std::weak_ptr<Window> window;
    std::weak_ptr<View> input;
    std::weak_ptr<View> hit;
    Point start;
};

std::map<int, Finger>& fingers() {
    static std::map<int, Finger> f;
    return f;
}

std::shared_ptr<View> textInputAt(Point screen) {
    View* v = Application::instance().hitTest(screen, nullptr);
    if (auto* f = dynamic_cast<TextField*>(v); f && f->isEnabled()) return f->sharedView();
    if (auto* t = dynamic_cast<TextView*>(v); t && t->canBecomeFirstResponder()) return t->sharedView();
    return nullptr;
}

void tapRowUnder(View& hit) {
    for (View* v = &hit; v; v = v->superview()) {
        if (dynamic_cast<Control*>(v)) return;
        auto* cell = dynamic_cast<TableViewCell*>(v);
        if (!cell) continue;
        for (View* up = cell->superview(); up; up = up->superview())
            if (auto* table = dynamic_cast<TableView*>(up)) {
                auto keep = table->sharedView();
                if (auto ip = table->indexPathForCell(cell)) table->tapRowAtIndexPath(*ip);
                return;
            }
        return;
    }
}

} // namespace

void ScreenPointer::down(int finger, Point screen) {
    if (fingers().count(finger)) up(finger, screen);
    Window* window = nullptr;
    Application::instance().hitTest(screen, &window);
    if (!window) return;
    auto shared = std::dynamic_pointer_cast<Window>(window->sharedView());
    View* hit = Application::instance().hitTest(screen, nullptr);
    fingers()[finger] = {shared, textInputAt(screen), hit ? hit->sharedView() : nullptr, screen};
    TouchRouter::instance().touchDown(*window, window->convertPointFromScreen(screen), finger);
}

void ScreenPointer::move(int finger, Point screen) {
    auto it = fingers().find(finger);
    if (it == fingers().end()) return;
    auto window = it->second.window.lock();
    if (!window) {
        TouchRouter::instance().touchCancel(finger);
        fingers().erase(it);
        return;
    }
    TouchRouter::instance().touchMove(finger, window->convertPointFromScreen(screen));
}

void ScreenPointer::up(int finger, Point screen) {
    auto it = fingers().find(finger);
    if (it == fingers().end()) return;
    auto window = it->second.window.lock();
    auto input = it->second.input.lock();
    auto hit = it->second.hit.lock();
    const bool still = std::hypot(screen.x - it->second.start.x, screen.y - it->second.start.y) < 10;
    fingers().erase(it);
    if (!window) {
        TouchRouter::instance().touchCancel(finger);
        return;
    }
    TouchRouter::instance().touchUp(finger, window->convertPointFromScreen(screen));
    // A finger that lifts on the text input it came down on gives it the focus, as on the device.
    if (input && textInputAt(screen) == input && !input->isFirstResponder()) input->becomeFirstResponder();
    // A finger that lifts where it came down on a table's row, not on a control of the row, selects it.
    if (still && hit) tapRowUnder(*hit);
}

void ScreenPointer::cancelAll() {
    for (auto& [finger, window] : fingers())
        TouchRouter::instance().touchCancel(finger);
    fingers().clear();
}

bool ScreenPointer::scroll(Point screen, double dx, double dy) {
    Window* window = nullptr;
    View* v = Application::instance().hitTest(screen, &window);
    for (; v; v = v->superview()) {
        auto* scroller = dynamic_cast<ScrollView*>(v);
        if (!scroller || !scroller->isScrollEnabled()) continue;
        Point now = scroller->contentOffset();
        Point to = scroller->clampedOffset({now.x + dx, now.y + dy});
        if (to == now) continue; // at its end: the wheel goes to the scroll view around it
        auto keep = scroller->sharedView();
        scroller->setContentOffset(to, false);
        return true;
    }
    return false;
}

} // namespace velkora::ui
