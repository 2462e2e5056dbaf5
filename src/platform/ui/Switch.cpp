#include "platform/ui/Switch.h"

namespace velkora::ui {

Switch::Switch(const Rect& frame) : Control(Rect(frame.origin, kSize)) { setOpaque(false); }

void Switch::setFrame(const Rect& frame) { Control::setFrame({frame.origin, kSize}); }

void Switch::setOn(bool on, bool /*animated*/) {
    if (on_ == on) return;
    on_ = on;
    setNeedsDisplay();
}

void Switch::tap() {
    if (!isEnabled() || !isUserInteractionEnabled()) return;
    auto self = sharedView();
    sendActionsForControlEvents(ControlEventTouchDown);
    setOn(!on_, true);
    sendActionsForControlEvents(ControlEventValueChanged | ControlEventTouchUpInside);
}

}  // namespace velkora::ui
