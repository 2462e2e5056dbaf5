#include "platform/ui/KeyboardView.h"

#include <cctype>
#include <vector>

#include "platform/ui/Button.h"
#include "platform/ui/KeyInput.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "platform/ui/Window.h"

namespace velkora::ui {

namespace {

const char* const kRows[] = {"1234567890", "qwertyuiop", "asdfghjkl", "zxcvbnm"};

std::string returnTitle(ReturnKeyType t) {
    switch (t) {
    case ReturnKeyType::Go:
        return "Go";
    case ReturnKeyType::Google:
    case ReturnKeyType::Yahoo:
    case ReturnKeyType::Search:
        return "Search";
    case ReturnKeyType::Join:
        return "Join";
    case ReturnKeyType::Next:
        return "Next";
    case ReturnKeyType::Route:
        return "Route";
    case ReturnKeyType::Send:
        return "Send";
    case ReturnKeyType::Done:
        return "Done";
    case ReturnKeyType::EmergencyCall:
        return "Call";
    default:
        return "return";
    }
}

struct Keys {
    bool shown = false;
    std::shared_ptr<Window> window;
    std::shared_ptr<KeyboardView> view;
};

Keys& keysState() {
    // Kept for the life of the process: a window must not outlive the application object at exit.
    static auto* keys = new Keys;
    return *keys;
}

} // namespace

void KeyboardKeys::setShown(bool shown) {
    keysState().shown = shown;
    update();
}

bool KeyboardKeys::isShown() {
    return keysState().shown;
}

std::shared_ptr<Window> KeyboardKeys::window() {
    auto& k = keysState();
    return k.window && !k.window->isHidden() ? k.window : nullptr;
}

std::shared_ptr<KeyboardView> KeyboardKeys::keys() {
    auto w = window();
    return w && keysState().view->superview() == w.get() ? keysState().view : nullptr;
}

void KeyboardKeys::update() {
    auto& k = keysState();
    Keyboard& keyboard = Keyboard::instance();
    if (!k.shown || !keyboard.isVisible()) {
        if (k.window) k.window->setHidden(true);
        return;
    }
    const Rect frame = keyboard.frame();
    if (!k.window) {
        k.window = Window::create(frame);
        k.window->setWindowLevel(kWindowLevel);
        k.view = KeyboardView::create({0, 0, frame.width(), frame.height()});
    }
    Window& w = *k.window;
    w.setFrame(frame);
    std::shared_ptr<View> shown = keyboard.inputView();
    if (!shown) shown = k.view;
    for (auto& sub : std::vector<std::shared_ptr<View>>(w.subviews()))
        if (sub != shown) sub->removeFromSuperview();
    shown->setFrame({0, 0, frame.width(), frame.height()});
    if (shown->superview() != &w) w.addSubview(shown);
    k.view->updateReturnKey();
    w.setHidden(false);
    // Keys a finger can find at once, before the run loop's next layout pass.
    w.layoutIfNeeded();
}

KeyboardView::KeyboardView(const Rect& frame) : View(frame) {
    setBackgroundColor(Color::rgba(0.82, 0.84, 0.87));
}

std::shared_ptr<KeyboardView> KeyboardView::create(const Rect& frame) {
    auto v = std::make_shared<KeyboardView>(frame);
    v->buildKeys();
    return v;
}

void KeyboardView::buildKeys() {
    if (!keys_.empty()) return;
    auto add = [this](std::string name, int row, double width) {
        auto b = Button::create();
        b->setBackgroundColor(name.size() == 1 || name == "space" ? Color::whiteColor()
                                                                  : Color::rgba(0.67, 0.70, 0.74));
        b->layer().setCornerRadius(5);
        b->setTitleColor(Color::black());
        std::weak_ptr<KeyboardView> self = sharedAs<KeyboardView>();
        b->addAction(
            [self, name](Control*) {
                if (auto k = self.lock()) k->tapped(name);
            },
            ControlEventTouchUpInside);
        addSubview(b);
        keys_.push_back({std::move(name), std::move(b), row, width});
    };
    for (int row = 0; row < 4; ++row) {
        if (row == 3) add("shift", row, 1.4);
        for (const char* c = kRows[row]; *c; ++c)
            add(std::string(1, *c), row, 1);
        if (row == 3) add("delete", row, 1.4);
    }
    add("space", 4, 6);
    add("return", 4, 2.6);
    relabel();
    setNeedsLayout();
}

void KeyboardView::relabel() {
    std::string ret = "return";
    if (auto* f = dynamic_cast<TextField*>(KeyInput::focusedInput()))
        ret = returnTitle(f->returnKeyType());
    else if (auto* t = dynamic_cast<TextView*>(KeyInput::focusedInput()))
        ret = returnTitle(t->returnKeyType());
    for (auto& k : keys_) {
        std::string title = k.name;
        if (k.name.size() == 1 && shifted_)
            title = std::string(1, static_cast<char>(std::toupper(static_cast<unsigned char>(k.name[0]))));
        if (k.name == "return") title = ret;
        if (k.name == "shift") {
            title = "\u21e7";
            k.button->setBackgroundColor(shifted_ ? Color::whiteColor() : Color::rgba(0.67, 0.70, 0.74));
        }
        if (k.name == "delete") title = "\u232b";
        if (k.name == "space") title = "space";
        k.button->setTitle(title);
    }
}

void KeyboardView::updateReturnKey() {
    relabel();
}

std::shared_ptr<Button> KeyboardView::keyTitled(const std::string& title) const {
    for (auto& k : keys_)
        if (k.name == title || k.button->currentTitle() == title) return k.button;
    return nullptr;
}

void KeyboardView::layoutSubviews() {
    View::layoutSubviews();
    const Rect b = bounds();
    const double gap = 6, rowHeight = (b.height() - gap) / 5;
    // Ten letter keys fill the widest row.
    const double unit = (b.width() - gap) / 10;
    for (int row = 0; row < 5; ++row) {
        double total = 0;
        for (auto& k : keys_)
            if (k.row == row) total += k.width;
        double x = b.minX() + gap / 2 + (10 - total) * unit / 2;
        for (auto& k : keys_) {
            if (k.row != row) continue;
            k.button->setFrame({x + gap / 2, b.minY() + gap + row * rowHeight, k.width * unit - gap, rowHeight - gap});
            x += k.width * unit;
        }
    }
}

void KeyboardView::tapped(const std::string& key) {
    auto& input = KeyInput::instance();
    if (key == "shift") {
        shifted_ = !shifted_;
    } else if (key == "delete") {
        input.keyDown(Key::Backspace);
    } else if (key == "return") {
        input.keyDown(Key::Return);
    } else if (key == "space") {
        input.insertText(" ");
    } else {
        std::string typed = key;
        if (shifted_) typed[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(typed[0])));
        input.insertText(typed);
        shifted_ = false;
    }
    relabel();
}

} // namespace velkora::ui
