#include "platform/ui/Label.h"

#include <algorithm>
#include <cmath>

namespace velkora::ui {

namespace {

Label::Measurer& measurer() {
    static Label::Measurer m;
    return m;
}

// Code points, for the estimate only.
size_t characterCount(const std::string& s) {
    size_t n = 0;
    for (unsigned char ch : s)
        if ((ch & 0xC0) != 0x80) ++n;
    return n;
}

}  // namespace

Label::Label(const Rect& frame) : View(frame) {
    setUserInteractionEnabled(false);
    setOpaque(false);
}

void Label::setMeasurer(Measurer m) { measurer() = std::move(m); }

void Label::setText(std::string text) {
    if (text == text_) return;
    text_ = std::move(text);
    setNeedsDisplay();
    if (superview()) superview()->setNeedsLayout();
}

void Label::setFont(std::shared_ptr<Font> font) {
    font_ = std::move(font);
    setNeedsDisplay();
}

void Label::setTextColor(Color c) {
    textColor_ = c;
    setNeedsDisplay();
}

void Label::setHighlightedTextColor(std::optional<Color> c) {
    highlightedTextColor_ = c;
    setNeedsDisplay();
}

void Label::setShadowColor(std::optional<Color> c) {
    shadowColor_ = c;
    setNeedsDisplay();
}

void Label::setShadowOffset(Size s) {
    shadowOffset_ = s;
    setNeedsDisplay();
}

void Label::setTextAlignment(TextAlignment a) {
    textAlignment_ = a;
    setNeedsDisplay();
}

void Label::setLineBreakMode(LineBreakMode m) {
    lineBreakMode_ = m;
    setNeedsDisplay();
}

void Label::setNumberOfLines(int n) {
    numberOfLines_ = std::max(0, n);
    setNeedsDisplay();
}

void Label::setAdjustsFontSizeToFitWidth(bool a) {
    adjustsFontSizeToFitWidth_ = a;
    setNeedsDisplay();
}

void Label::setMinimumScaleFactor(double f) {
    minimumScaleFactor_ = std::clamp(f, 0.0, 1.0);
    setNeedsDisplay();
}

void Label::setMinimumFontSize(double s) {
    minimumFontSize_ = std::max(0.0, s);
    setNeedsDisplay();
}

void Label::setHighlighted(bool h) {
    if (highlighted_ == h) return;
    highlighted_ = h;
    setNeedsDisplay();
}

void Label::setEnabled(bool e) {
    if (enabled_ == e) return;
    enabled_ = e;
    setNeedsDisplay();
}

void Label::setPreferredMaxLayoutWidth(double w) { preferredMaxLayoutWidth_ = std::max(0.0, w); }

Color Label::currentTextColor() const {
    if (highlighted_ && highlightedTextColor_) return *highlightedTextColor_;
    return textColor_;
}

Size Label::sizeThatFits(Size size) const {
    if (text_.empty()) return {0, 0};
    if (measurer()) return measurer()(*this, size);
    // Without a layout engine: about half an em per character of a 17-point font, one line.
    const double fontSize = 17;
    double width = std::ceil(double(characterCount(text_)) * fontSize * 0.5);
    double lineHeight = std::ceil(fontSize * 1.2);
    if (numberOfLines_ == 1 || size.width <= 0 || width <= size.width) return {width, lineHeight};
    double lines = std::ceil(width / size.width);
    if (numberOfLines_ > 0) lines = std::min(lines, double(numberOfLines_));
    return {size.width, lines * lineHeight};
}

Size Label::intrinsicContentSize() const {
    double width = numberOfLines_ == 1 ? 0 : preferredMaxLayoutWidth_;
    return sizeThatFits({width, 0});
}

}  // namespace velkora::ui
