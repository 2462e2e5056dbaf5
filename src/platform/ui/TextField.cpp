#include "platform/ui/TextField.h"

#include <algorithm>

#include "platform/ui/CharacterBoundaries.h"
#include "platform/ui/TextLayout.h"

namespace velkora::ui {

TextRange clampedTextRange(const std::string& text, TextRange range) {
    size_t length = utf16::length(text);
    range.location = std::min(range.location, length);
    range.length = std::min(range.length, length - range.location);
    return range;
}

void replaceTextRange(std::string& text, TextRange range, const std::string& replacement) {
    range = clampedTextRange(text, range);
    size_t a = utf16::byteOffset(text, range.location);
    size_t b = utf16::byteOffset(text, range.location + range.length);
    text.replace(a, b - a, replacement);
}

TextField::TextField(const Rect& frame) : Control(frame) {
    setOpaque(false);
    setContentVerticalAlignment(ContentVerticalAlignment::Center);
}

void TextField::setText(std::string text) {
    text_ = std::move(text);
    caret_.reset();
    setNeedsDisplay();
}

void TextField::setPlaceholder(std::string p) {
    placeholder_ = std::move(p);
    setNeedsDisplay();
}

void TextField::setFont(const Font& f) {
    font_ = f;
    setNeedsDisplay();
}

void TextField::setTextColor(Color c) {
    textColor_ = c;
    setNeedsDisplay();
}

void TextField::setTextAlignment(TextAlignment a) {
    textAlignment_ = a;
    setNeedsDisplay();
}

void TextField::setBorderStyle(TextBorderStyle s) {
    borderStyle_ = s;
    setNeedsDisplay();
}

void TextField::setBackground(std::shared_ptr<Image> image) {
    background_ = std::move(image);
    setNeedsDisplay();
}

void TextField::setSecureTextEntry(bool s) {
    traits_.secureTextEntry = s;
    setNeedsDisplay();
}

void TextField::setLeftView(ViewPtr v) {
    if (leftView_) leftView_->removeFromSuperview();
    leftView_ = std::move(v);
    setNeedsLayout();
}

void TextField::setLeftViewMode(TextFieldViewMode m) {
    leftViewMode_ = m;
    setNeedsLayout();
}

void TextField::setRightView(ViewPtr v) {
    if (rightView_) rightView_->removeFromSuperview();
    rightView_ = std::move(v);
    setNeedsLayout();
}

void TextField::setRightViewMode(TextFieldViewMode m) {
    rightViewMode_ = m;
    setNeedsLayout();
}

bool TextField::modeShows(TextFieldViewMode mode, bool editing) {
    switch (mode) {
    case TextFieldViewMode::Always: return true;
    case TextFieldViewMode::WhileEditing: return editing;
    case TextFieldViewMode::UnlessEditing: return !editing;
    default: return false;
    }
}

bool TextField::isLeftViewShown() const { return leftView_ && modeShows(leftViewMode_, editing_); }
bool TextField::isRightViewShown() const { return rightView_ && modeShows(rightViewMode_, editing_); }

Rect TextField::leftViewRectForBounds(const Rect& b) const {
    if (!leftView_) return {};
    Size s = leftView_->bounds().size;
    return {b.minX(), b.midY() - s.height / 2, s.width, s.height};
}

Rect TextField::rightViewRectForBounds(const Rect& b) const {
    if (!rightView_) return {};
    Size s = rightView_->bounds().size;
    return {b.maxX() - s.width, b.midY() - s.height / 2, s.width, s.height};
}

Rect TextField::textRectForBounds(const Rect& b) const {
    double inset = borderStyle_ == TextBorderStyle::None ? 0 : 7;
    double left = isLeftViewShown() ? leftViewRectForBounds(b).width() : inset;
    double right = isRightViewShown() ? rightViewRectForBounds(b).width() : inset;
    return {b.minX() + left, b.minY(), std::max(0.0, b.width() - left - right), b.height()};
}

void TextField::layoutSubviews() {
    Control::layoutSubviews();
    auto place = [this](const ViewPtr& v, bool shown, const Rect& r) {
        if (!v) return;
        if (!shown) {
            if (v->superview() == this) v->removeFromSuperview();
            return;
        }
        if (v->superview() != this) addSubview(v);
        v->setFrame(r);
    };
    place(leftView_, isLeftViewShown(), leftViewRectForBounds(bounds()));
    place(rightView_, isRightViewShown(), rightViewRectForBounds(bounds()));
}

Size TextField::sizeThatFits(Size) const {
    Size s = measureText(text_.empty() ? placeholder_ : text_, font_, 0, 1);
    return {s.width + (borderStyle_ == TextBorderStyle::None ? 0 : 14), std::max(s.height, font_.lineHeight())};
}

std::string TextField::dumpText() const {
    if (traits_.secureTextEntry) {
        std::string dots;
        for (size_t i = 0, n = utf16::length(text_); i < n; ++i) dots += "\u2022";
        return dots;
    }
    return text_;
}

bool TextField::canBecomeFirstResponder() const { return isEnabled() && isUserInteractionEnabled(); }

bool TextField::becomeFirstResponder() {
    if (isFirstResponder()) return true;
    if (!canBecomeFirstResponder()) return false;
    if (auto d = delegate(); d && !d->textFieldShouldBeginEditing(*this)) return false;
    return Control::becomeFirstResponder();
}

bool TextField::resignFirstResponder() {
    if (!isFirstResponder()) return true;
    if (auto d = delegate(); d && !d->textFieldShouldEndEditing(*this)) return false;
    return Control::resignFirstResponder();
}

void TextField::didBecomeFirstResponder() {
    auto self = sharedView();
    editing_ = true;
    if (clearsOnBeginEditing_) text_.clear();
    setNeedsLayout();
    if (auto d = delegate()) d->textFieldDidBeginEditing(*this);
    sendActionsForControlEvents(ControlEventEditingDidBegin);
}

void TextField::didResignFirstResponder() {
    auto self = sharedView();
    editing_ = false;
    markedText_.clear();
    setNeedsLayout();
    if (auto d = delegate()) d->textFieldDidEndEditing(*this);
    sendActionsForControlEvents(ControlEventEditingDidEnd);
}

bool TextField::replaceRange(TextRange range, const std::string& replacement) {
    if (!editing_) return false;
    range = clampedTextRange(text_, range);
    auto self = sharedView();
    if (auto d = delegate(); d && !d->shouldChangeCharactersInRange(*this, range, replacement)) return false;
    replaceTextRange(text_, range, replacement);
    // A caret that was moved stays after what was typed; one at the end stays at the end.
    if (caret_) caret_ = range.location + utf16::length(replacement);
    setNeedsDisplay();
    sendActionsForControlEvents(ControlEventEditingChanged);
    return true;
}

bool TextField::insertText(const std::string& text) { return replaceRange({caretPosition(), 0}, text); }

bool TextField::deleteBackward() {
    size_t caret = caretPosition();
    if (caret == 0) return false;
    size_t start = previousCharacterBoundary(text_, caret);
    return replaceRange({start, caret - start}, "");
}

size_t TextField::caretPosition() const {
    size_t length = utf16::length(text_);
    return caret_ ? std::min(*caret_, length) : length;
}

void TextField::setCaretPosition(size_t position) {
    // Never inside a character: back to its start.
    if (position >= utf16::length(text_)) caret_.reset();
    else caret_ = utf16::indexOfByte(text_, utf16::byteOffset(text_, position));
    setNeedsDisplay();
}

void TextField::setMarkedText(std::string text) {
    if (!editing_) text.clear();
    if (text == markedText_) return;
    markedText_ = std::move(text);
    setNeedsDisplay();
}

bool TextField::clearText() {
    if (auto d = delegate(); d && !d->textFieldShouldClear(*this)) return false;
    auto self = sharedView();
    text_.clear();
    setNeedsDisplay();
    if (editing_) sendActionsForControlEvents(ControlEventEditingChanged);
    return true;
}

bool TextField::pressReturn() {
    auto self = sharedView();
    bool answer = true;
    if (auto d = delegate()) answer = d->textFieldShouldReturn(*this);
    if (answer) sendActionsForControlEvents(ControlEventEditingDidEndOnExit);
    return answer;
}

}  // namespace velkora::ui
