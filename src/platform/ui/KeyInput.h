// Typing from a keyboard the device does not draw (a desktop's, or a host's own): key presses and text go
// to the first responder as the on-screen keyboard would deliver them. Return is the text field's return
// key (its delegate's answer and its end-on-exit actions) and a line break in a text view; Tab moves to
// the next text input of the window in reading order (Shift: the previous one); Backspace takes the
// whole character before the caret; the arrows move the caret. An input method's composition shows in
// the input as marked text until it is committed as text.
#pragma once

#include <string>

namespace velkora::ui {

class Responder;

enum class Key { Backspace, Delete, Return, Tab, Left, Right, Up, Down, Home, End, Escape };

enum KeyModifiers : unsigned {
    KeyModifierNone = 0,
    KeyModifierShift = 1 << 0,
    KeyModifierControl = 1 << 1,
    KeyModifierAlt = 1 << 2,
};

class KeyInput {
public:
    static KeyInput& instance();

    // A key pressed; true when something took it.
    bool keyDown(Key key, unsigned modifiers = KeyModifierNone);
    // Text typed or committed by an input method (UTF-8); replaces the composition in progress. True
    // when the first responder took it.
    bool insertText(const std::string& text);
    // The input method's composition in progress; empty ends it without typing anything.
    void setMarkedText(const std::string& text);
    std::string markedText() const;

    // The text input that has the focus: the first responder, when it takes typing.
    static Responder* focusedInput();
    // Moves the focus to the next (or previous) text input of the focused input's window (or of the key
    // window), in reading order, wrapping round; true when the focus moved.
    static bool moveFocus(bool forward);

private:
    KeyInput() = default;
};

} // namespace velkora::ui
