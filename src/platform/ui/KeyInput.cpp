#include "platform/ui/KeyInput.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/ui/Application.h"
#include "platform/ui/CharacterBoundaries.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "platform/ui/Window.h"

namespace velkora::ui {

namespace {

TextField* editingField(Responder* r) {
    auto* f = dynamic_cast<TextField*>(r);
    return f && f->isEditing() ? f : nullptr;
}

TextView* editingTextView(Responder* r) {
    auto* t = dynamic_cast<TextView*>(r);
    return t && t->isEditing() && t->isEditable() ? t : nullptr;
}

bool takesFocus(View& v) {
    if (auto* f = dynamic_cast<TextField*>(&v)) return f->isEnabled() && f->canBecomeFirstResponder();
    if (auto* t = dynamic_cast<TextView*>(&v)) return t->isEditable();
    return false;
}

void collectInputs(View& v, std::vector<View*>& out) {
    if (v.isHidden() || v.alpha() < 0.01 || !v.isUserInteractionEnabled()) return;
    if (takesFocus(v)) out.push_back(&v);
    for (auto& sub : v.subviews())
        collectInputs(*sub, out);
}

// UTF-16 index of the start of the line holding `index`, and of its end (before the line break).
size_t lineStart(const std::string& text, size_t index) {
    size_t byte = utf16::byteOffset(text, index);
    size_t nl = byte == 0 ? std::string::npos : text.rfind('\n', byte - 1);
    return nl == std::string::npos ? 0 : utf16::indexOfByte(text, nl + 1);
}

size_t lineEnd(const std::string& text, size_t index) {
    size_t nl = text.find('\n', utf16::byteOffset(text, index));
    return nl == std::string::npos ? utf16::length(text) : utf16::indexOfByte(text, nl);
}

// The caret one line up or down, at the same column where the line is long enough.
size_t lineMove(const std::string& text, size_t caret, bool down) {
    size_t start = lineStart(text, caret), column = caret - start;
    if (down) {
        size_t end = lineEnd(text, caret);
        if (end >= utf16::length(text)) return end;
        size_t next = end + 1;
        return std::min(next + column, lineEnd(text, next));
    }
    if (start == 0) return 0;
    size_t previous = lineStart(text, start - 1);
    return std::min(previous + column, start - 1);
}

bool fieldKey(TextField& f, Key key) {
    const std::string& text = f.text();
    size_t caret = f.caretPosition();
    switch (key) {
    case Key::Return:
        f.pressReturn();
        return true;
    case Key::Backspace:
        f.deleteBackward();
        return true;
    case Key::Delete:
        if (caret < utf16::length(text)) f.replaceRange({caret, nextCharacterBoundary(text, caret) - caret}, "");
        return true;
    case Key::Left:
        f.setCaretPosition(previousCharacterBoundary(text, caret));
        return true;
    case Key::Right:
        f.setCaretPosition(nextCharacterBoundary(text, caret));
        return true;
    case Key::Home:
    case Key::Up:
        f.setCaretPosition(0);
        return true;
    case Key::End:
    case Key::Down:
        f.setCaretPosition(utf16::length(text));
        return true;
    default:
        return false;
    }
}

bool textViewKey(TextView& t, Key key) {
    const std::string& text = t.text();
    TextRange sel = t.selectedRange();
    size_t caret = sel.location;
    switch (key) {
    case Key::Return:
        t.insertText("\n");
        return true;
    case Key::Backspace:
        t.deleteBackward();
        return true;
    case Key::Delete:
        if (sel.length > 0)
            t.replaceRange(sel, "");
        else if (caret < utf16::length(text))
            t.replaceRange({caret, nextCharacterBoundary(text, caret) - caret}, "");
        return true;
    case Key::Left:
        caret = sel.length > 0 ? sel.location : previousCharacterBoundary(text, caret);
        break;
    case Key::Right:
        caret = sel.length > 0 ? sel.end() : nextCharacterBoundary(text, caret);
        break;
    case Key::Up:
        caret = lineMove(text, caret, false);
        break;
    case Key::Down:
        caret = lineMove(text, sel.end(), true);
        break;
    case Key::Home:
        caret = lineStart(text, caret);
        break;
    case Key::End:
        caret = lineEnd(text, sel.end());
        break;
    default:
        return false;
    }
    t.setSelectedRange({caret, 0});
    return true;
}

} // namespace

KeyInput& KeyInput::instance() {
    static KeyInput input;
    return input;
}

Responder* KeyInput::focusedInput() {
    Responder* r = Responder::currentFirstResponder();
    if (editingField(r)) return r;
    if (editingTextView(r)) return r;
    return nullptr;
}

bool KeyInput::moveFocus(bool forward) {
    auto* current = dynamic_cast<View*>(focusedInput());
    Window* window = current ? current->window() : Application::instance().keyWindow();
    if (!window) return false;
    auto keep = window->sharedView();
    std::vector<View*> inputs;
    collectInputs(*window, inputs);
    if (inputs.empty()) return false;
    // Reading order: rows from the top (a few points of slack for fields side by side), then left to right.
    std::stable_sort(inputs.begin(), inputs.end(), [window](View* a, View* b) {
        Rect ra = a->convertRectToView(a->bounds(), window), rb = b->convertRectToView(b->bounds(), window);
        if (std::fabs(ra.minY() - rb.minY()) > 4) return ra.minY() < rb.minY();
        return ra.minX() < rb.minX();
    });
    auto at = std::find(inputs.begin(), inputs.end(), current);
    size_t n = inputs.size();
    size_t next;
    if (at == inputs.end())
        next = forward ? 0 : n - 1;
    else {
        size_t i = static_cast<size_t>(at - inputs.begin());
        next = forward ? (i + 1) % n : (i + n - 1) % n;
    }
    if (inputs[next] == current) return false;
    auto target = inputs[next]->sharedView();
    return target->becomeFirstResponder();
}

std::string KeyInput::markedText() const {
    Responder* r = focusedInput();
    if (auto* f = editingField(r)) return f->markedText();
    if (auto* t = editingTextView(r)) return t->markedText();
    return {};
}

void KeyInput::setMarkedText(const std::string& text) {
    Responder* r = focusedInput();
    if (auto* f = editingField(r))
        f->setMarkedText(text);
    else if (auto* t = editingTextView(r))
        t->setMarkedText(text);
}

bool KeyInput::insertText(const std::string& text) {
    Responder* r = focusedInput();
    if (!r) return false;
    auto keep = r->weak_from_this().lock();
    setMarkedText("");
    if (text.empty()) return true;
    // Typed text may hold line breaks (a paste): in a field they are the return key, as on the device.
    if (auto* f = editingField(r)) {
        if (text == "\n" || text == "\r") return fieldKey(*f, Key::Return);
        return f->insertText(text);
    }
    if (auto* t = editingTextView(r)) return t->insertText(text);
    return false;
}

bool KeyInput::keyDown(Key key, unsigned modifiers) {
    Responder* r = focusedInput();
    auto keep = r ? r->weak_from_this().lock() : nullptr;
    // While an input method composes, the keys that end or edit a composition act on it, not the text.
    if (std::string marked = markedText(); !marked.empty()) {
        switch (key) {
        case Key::Return:
            return insertText(marked);
        case Key::Escape:
            setMarkedText("");
            return true;
        case Key::Backspace:
            setMarkedText(
                marked.substr(0, utf16::byteOffset(marked, previousCharacterBoundary(marked, utf16::length(marked)))));
            return true;
        default:
            insertText(marked);
            break;
        }
        r = focusedInput();
    }
    if (key == Key::Tab) return moveFocus((modifiers & KeyModifierShift) == 0);
    if (auto* f = editingField(r)) return fieldKey(*f, key);
    if (auto* t = editingTextView(r)) return textViewKey(*t, key);
    return false;
}

} // namespace velkora::ui
