#include "platform/ui/Label.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/Snapshot.h"
#include "platform/ui/TextLayout.h"

namespace velkora::ui {

Label::Label(const Rect& frame) : View(frame) {
    setUserInteractionEnabled(false);
    setOpaque(false);
}

void Label::setText(std::string text) {
    if (text == text_) return;
    text_ = std::move(text);
    setNeedsDisplay();
    if (superview()) superview()->setNeedsLayout();
}

void Label::setFont(const Font& font) { setFont(std::make_shared<Font>(font)); }

void Label::setFont(std::shared_ptr<Font> font) {
    font_ = font ? std::move(font) : std::make_shared<Font>(Font::systemFont(17));
    setNeedsDisplay();
    if (superview()) superview()->setNeedsLayout();
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
    // Measured as drawn: the label's font, lines and line breaking through the text layout. One line
    // answers its whole width, whatever width it is offered, as the platform's labels do.
    return measureLabel(*this, numberOfLines_ == 1 ? Size{0, size.height} : size);
}

Font Label::fittingFont() const {
    const Font& font = *font_;
    if (!adjustsFontSizeToFitWidth_ || numberOfLines_ != 1 || text_.empty()) return font;
    double width = bounds().width();
    double full = measureText(text_, font, 0, 1).width;
    if (full <= width || full <= 0) return font;
    double minimum = minimumScaleFactor_ > 0 ? font.pointSize() * minimumScaleFactor_ : minimumFontSize_;
    if (minimum <= 0) minimum = std::min(font.pointSize(), 4.0);
    // Widths grow with the size: step down half a point at a time until it fits.
    double size = std::floor(font.pointSize() * width / full * 2) / 2;
    while (size > minimum && measureText(text_, font.withSize(size), 0, 1).width > width) size -= 0.5;
    return font.withSize(std::max(size, minimum));
}

Rect Label::textRectForBounds(const Rect& bounds, int numberOfLines) const {
    Size size = measureLabel(*this, {bounds.width(), 0});
    if (numberOfLines > 0 && numberOfLines != numberOfLines_) {
        size = measureText(text_, *font_, bounds.width(), numberOfLines, lineBreakMode_);
    }
    double height = std::min(size.height, bounds.height());
    return {bounds.x(), bounds.y() + std::floor((bounds.height() - height) / 2), bounds.width(), height};
}

void Label::drawTextInRect(GraphicsContext& context, const Rect& rect) {
    (void)rect;
    drawLabel(*this, context);
}

Size Label::intrinsicContentSize() const {
    double width = numberOfLines_ == 1 ? 0 : preferredMaxLayoutWidth_;
    return sizeThatFits({width, 0});
}

}  // namespace velkora::ui
