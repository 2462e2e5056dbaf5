#include "platform/ui/TextView.h"

#include <algorithm>

#include "platform/ui/CharacterBoundaries.h"
#include "platform/ui/TextLayout.h"

namespace velkora::ui {

TextView::TextView(const Rect& frame) : ScrollView(frame) {
    setBackgroundColor(Color::whiteColor());
    setAlwaysBounceVertical(true);
}

void TextView::setText(std::string text) {
    text_ = std::move(text);
    selectedRange_ = {utf16::length(text_), 0};
    updateContentSize();
    setNeedsDisplay();
}

void TextView::setFont(const Font& f) {
    font_ = f;
    updateContentSize();
    setNeedsDisplay();
}

void TextView::setTextColor(Color c) {
    textColor_ = c;
    setNeedsDisplay();
}

void TextView::setTextAlignment(TextAlignment a) {
    textAlignment_ = a;
    setNeedsDisplay();
}

void TextView::setEditable(bool e) {
    editable_ = e;
    if (!e && editing_) resignFirstResponder();
}

void TextView::setTextContainerInset(EdgeInsets i) {
    textContainerInset_ = i;
    updateContentSize();
}

void TextView::setSelectedRange(TextRange range) {
    range = clampedTextRange(text_, range);
    if (range == selectedRange_) return;
    selectedRange_ = range;
    if (auto d = delegate()) d->textViewDidChangeSelection(*this);
}

void TextView::setDelegate(std::weak_ptr<TextViewDelegate> d) {
    delegate_ = d;
    ScrollView::setDelegate(std::weak_ptr<ScrollViewDelegate>(d.lock()));
}

bool TextView::becomeFirstResponder() {
    if (isFirstResponder()) return true;
    if (!canBecomeFirstResponder()) return false;
    if (auto d = delegate(); d && editable_ && !d->textViewShouldBeginEditing(*this)) return false;
    return ScrollView::becomeFirstResponder();
}

bool TextView::resignFirstResponder() {
    if (!isFirstResponder()) return true;
    if (auto d = delegate(); d && editing_ && !d->textViewShouldEndEditing(*this)) return false;
    return ScrollView::resignFirstResponder();
}

void TextView::didBecomeFirstResponder() {
    if (!editable_) return;
    auto self = sharedView();
    editing_ = true;
    if (auto d = delegate()) d->textViewDidBeginEditing(*this);
}

void TextView::didResignFirstResponder() {
    if (!editing_) return;
    auto self = sharedView();
    editing_ = false;
    markedText_.clear();
    if (auto d = delegate()) d->textViewDidEndEditing(*this);
}

bool TextView::replaceRange(TextRange range, const std::string& text) {
    if (!editing_) return false;
    range = clampedTextRange(text_, range);
    auto self = sharedView();
    if (auto d = delegate(); d && !d->shouldChangeTextInRange(*this, range, text)) return false;
    replaceTextRange(text_, range, text);
    selectedRange_ = {range.location + utf16::length(text), 0};
    updateContentSize();
    setNeedsDisplay();
    if (auto d = delegate()) {
        d->textViewDidChange(*this);
        d->textViewDidChangeSelection(*this);
    }
    return true;
}

bool TextView::insertText(const std::string& text) { return replaceRange(selectedRange_, text); }

bool TextView::deleteBackward() {
    TextRange r = selectedRange_;
    if (r.length == 0) {
        if (r.location == 0) return false;
        size_t start = previousCharacterBoundary(text_, r.location);
        r = {start, r.location - start};
    }
    return replaceRange(r, "");
}

void TextView::setMarkedText(std::string text) {
    if (!editing_) text.clear();
    if (text == markedText_) return;
    markedText_ = std::move(text);
    setNeedsDisplay();
}

void TextView::scrollRangeToVisible(TextRange range) {
    // Lines are not tracked here: the end of the text is the only place a range is scrolled to.
    if (range.location + range.length >= utf16::length(text_))
        setContentOffset({contentOffset().x, maxContentOffset().y}, false);
}

Size TextView::sizeThatFits(Size size) const {
    double width = size.width > 0 ? size.width : bounds().width();
    Size text = measureText(text_, font_, std::max(0.0, width - textContainerInset_.left - textContainerInset_.right - 10));
    double height = std::max(text.height, font_.lineHeight()) + textContainerInset_.top + textContainerInset_.bottom;
    return {width, height};
}

void TextView::updateContentSize() { setContentSize(sizeThatFits({bounds().width(), 0})); }

void TextView::layoutSubviews() {
    ScrollView::layoutSubviews();
    updateContentSize();
}

}  // namespace velkora::ui
