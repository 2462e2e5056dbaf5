#include "platform/ui/Label.h"

#include "platform/ui/Snapshot.h"

#include <algorithm>
#include <cmath>

namespace velkora::ui {

namespace {

Label::Measurer& measurer() {
    static Label::Measurer m;
    return m;
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
    // Measured as drawn: the label's font, lines and line breaking through the text layout.
    return measureLabel(*this, size);
}

Size Label::intrinsicContentSize() const {
    double width = numberOfLines_ == 1 ? 0 : preferredMaxLayoutWidth_;
    return sizeThatFits({width, 0});
}

}  // namespace velkora::ui
