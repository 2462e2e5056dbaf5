#include "platform/ui/Keyboard.h"

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/KeyboardView.h"
#include "platform/ui/Responder.h"
#include "platform/ui/UiNotifications.h"
#include "platform/ui/View.h"

namespace velkora::ui {

namespace {

bool showsKeyboard(Responder* r) { return r && (r->isTextInput() || r->inputView()); }

}  // namespace

Keyboard& Keyboard::instance() {
    static Keyboard k;
    return k;
}

Rect Keyboard::rectFromUserInfo(const foundation::Value& userInfo, const char* key) {
    auto r = userInfo[key].asObject<Rect>();
    return r ? *r : Rect{};
}

Rect Keyboard::frameFor(const std::shared_ptr<View>& input) const {
    Rect s = Screen::main().bounds();
    bool pad = Device::current().isPad();
    int o = Application::instance().statusBarOrientation();
    bool landscape = o == InterfaceOrientationLandscapeLeft || o == InterfaceOrientationLandscapeRight;
    double height = input ? input->frame().height() : (landscape ? (pad ? 352 : 162) : (pad ? 264 : 216));
    // Along the edge that is at the bottom for the user: opposite the status bar.
    switch (o) {
    case InterfaceOrientationPortraitUpsideDown: return {s.minX(), s.minY(), s.width(), height};
    case InterfaceOrientationLandscapeRight: return {s.minX(), s.minY(), height, s.height()};
    case InterfaceOrientationLandscapeLeft: return {s.maxX() - height, s.minY(), height, s.height()};
    default: return {s.minX(), s.maxY() - height, s.width(), height};
    }
}

Rect Keyboard::offscreen(const Rect& f) const {
    Rect s = Screen::main().bounds();
    switch (Application::instance().statusBarOrientation()) {
    case InterfaceOrientationPortraitUpsideDown: return f.offsetBy(0, -f.height());
    case InterfaceOrientationLandscapeRight: return f.offsetBy(-f.width(), 0);
    case InterfaceOrientationLandscapeLeft: return f.offsetBy(s.maxX() - f.minX(), 0);
    default: return f.offsetBy(0, s.maxY() - f.minY());
    }
}

void Keyboard::post(const char* name, const Rect& begin, const Rect& end) const {
    foundation::Dictionary info;
    info.set(kKeyboardFrameBeginUserInfoKey, foundation::Value::object(std::make_shared<Rect>(begin)));
    info.set(kKeyboardFrameEndUserInfoKey, foundation::Value::object(std::make_shared<Rect>(end)));
    info.set(kKeyboardAnimationDurationUserInfoKey, foundation::Value(kAnimationDuration));
    info.set(kKeyboardAnimationCurveUserInfoKey, foundation::Value(kAnimationCurve));
    postNotification(name, nullptr, foundation::Value(std::move(info)));
}

void Keyboard::after(const char* name, const Rect& begin, const Rect& end) {
    if (pending_) pending_->invalidate();
    pending_ = foundation::RunLoop::main().schedule(kAnimationDuration, false, [this, name, begin, end](foundation::Timer&) {
        pending_.reset();
        post(name, begin, end);
    });
}

void Keyboard::firstResponderChanged(Responder* previous, Responder* current) {
    (void)previous;
    bool show = showsKeyboard(current);
    if (show) {
        std::shared_ptr<View> input = current->inputView();
        Rect end = frameFor(input);
        if (input) input->setFrame(end);
        inputView_ = input;
        if (visible_ && end == frame_) {  // one text input to another: the keyboard stays
            KeyboardKeys::update();
            return;
        }
        Rect begin = visible_ ? frame_ : offscreen(end);
        visible_ = true;
        frame_ = end;
        KeyboardKeys::update();
        post(kKeyboardWillChangeFrameNotification, begin, end);
        post(kKeyboardWillShowNotification, begin, end);
        after(kKeyboardDidShowNotification, begin, end);
        return;
    }
    if (!visible_) return;
    Rect begin = frame_, end = offscreen(frame_);
    visible_ = false;
    inputView_.reset();
    KeyboardKeys::update();
    post(kKeyboardWillChangeFrameNotification, begin, end);
    post(kKeyboardWillHideNotification, begin, end);
    after(kKeyboardDidHideNotification, begin, end);
}

void Keyboard::reset() {
    if (pending_) pending_->invalidate();
    pending_.reset();
    visible_ = false;
    frame_ = {};
    inputView_.reset();
    KeyboardKeys::update();
}

}  // namespace velkora::ui
