// The on-screen keyboard: it follows the first responder. A text input (or a responder with an input
// view) becoming first responder brings it up with the will-show notification now and did-show when its
// slide ends on the run loop's clock; resigning takes it down with the hide pair. An input view takes the
// keyboard's place and size.
#pragma once

#include <memory>

#include "platform/foundation/Value.h"
#include "platform/ui/Geometry.h"

namespace velkora::foundation {
class Timer;
}

namespace velkora::ui {

class Responder;
class View;

inline constexpr const char* kKeyboardWillShowNotification = "UIKeyboardWillShowNotification";
inline constexpr const char* kKeyboardDidShowNotification = "UIKeyboardDidShowNotification";
inline constexpr const char* kKeyboardWillHideNotification = "UIKeyboardWillHideNotification";
inline constexpr const char* kKeyboardDidHideNotification = "UIKeyboardDidHideNotification";
inline constexpr const char* kKeyboardWillChangeFrameNotification = "UIKeyboardWillChangeFrameNotification";
inline constexpr const char* kKeyboardDidChangeFrameNotification = "UIKeyboardDidChangeFrameNotification";
// User-info keys: the frames are Rect objects (Value::object<Rect>) in the screen's fixed coordinates,
// the duration a number of seconds, the curve the animation curve's number (7, the keyboard's own).
inline constexpr const char* kKeyboardFrameBeginUserInfoKey = "UIKeyboardFrameBeginUserInfoKey";
inline constexpr const char* kKeyboardFrameEndUserInfoKey = "UIKeyboardFrameEndUserInfoKey";
inline constexpr const char* kKeyboardAnimationDurationUserInfoKey = "UIKeyboardAnimationDurationUserInfoKey";
inline constexpr const char* kKeyboardAnimationCurveUserInfoKey = "UIKeyboardAnimationCurveUserInfoKey";

class Keyboard {
public:
    static Keyboard& instance();

    static constexpr double kAnimationDuration = 0.25;
    static constexpr int kAnimationCurve = 7;

    bool isVisible() const { return visible_; }
    // Where it is (or would be) on screen, in the screen's fixed coordinates; empty while hidden.
    Rect frame() const { return visible_ ? frame_ : Rect{}; }
    // The input view shown in the keyboard's place, if the first responder has one.
    std::shared_ptr<View> inputView() const { return inputView_.lock(); }

    // Reads a frame back from a notification's user info; empty when absent.
    static Rect rectFromUserInfo(const foundation::Value& userInfo, const char* key);

    // From the responder chain: the first responder changed.
    void firstResponderChanged(Responder* previous, Responder* current);
    // Hidden, nothing pending (for tests).
    void reset();

private:
    Keyboard() = default;
    Rect frameFor(const std::shared_ptr<View>& input) const;
    Rect offscreen(const Rect& frame) const;
    void post(const char* name, const Rect& begin, const Rect& end) const;
    void after(const char* name, const Rect& begin, const Rect& end);

    bool visible_ = false;
    Rect frame_;
    std::weak_ptr<View> inputView_;
    std::shared_ptr<foundation::Timer> pending_;
};

}  // namespace velkora::ui
