// The keys of the on-screen keyboard, for hosts without a keyboard of their own: digits, letters with a
// shift key (one letter in capitals, then back), space, backspace and the return key named after the
// focused input's return key type. A tap types through KeyInput, as a desktop's keyboard does.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/View.h"

namespace velkora::ui {

class Button;
class KeyboardView;
class Window;

// The keyboard on screen while it is up: its keys (or the first responder's input view in their place)
// in a window of its own above every other, for hosts without a keyboard. Off by default, so pictures
// of the screen show only the kit's windows.
class KeyboardKeys {
public:
    static constexpr double kWindowLevel = 10000;
    static void setShown(bool shown);
    static bool isShown();
    // That window and its keys while they show; null otherwise.
    static std::shared_ptr<Window> window();
    static std::shared_ptr<KeyboardView> keys();
    // Follows the keyboard: called whenever it comes, goes or changes its input view.
    static void update();
};

class KeyboardView : public View {
public:
    explicit KeyboardView(const Rect& frame);
    static std::shared_ptr<KeyboardView> create(const Rect& frame);
    const char* className() const override { return "KeyboardView"; }

    // Builds the keys once the view is shared (tap actions hold it weakly).
    void buildKeys();
    bool isShifted() const { return shifted_; }
    // The key showing `title` ("a", "shift", "space", "delete", the return key's title), or null.
    std::shared_ptr<Button> keyTitled(const std::string& title) const;
    // Follows the focused input's return key type.
    void updateReturnKey();
    void layoutSubviews() override;

private:
    void tapped(const std::string& key);
    void relabel();

    struct KeyCap {
        std::string name; // what it types, or "shift", "delete", "space", "return"
        std::shared_ptr<Button> button;
        int row = 0;
        double width = 1; // in letter-key widths
    };
    std::vector<KeyCap> keys_;
    bool shifted_ = false;
};

} // namespace velkora::ui
