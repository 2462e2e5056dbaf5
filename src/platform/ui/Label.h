// The label: text with its font, colours, alignment, line breaking, number of lines, shrinking to fit and
// highlighted state.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/ui/AttributedString.h"
#include "platform/ui/Font.h"
#include "platform/ui/View.h"

namespace velkora::ui {

// The platform's values.
enum class BaselineAdjustment { AlignBaselines = 0, AlignCenters, None };

class Label : public View {
public:
    Label() : Label(Rect{}) {}
    explicit Label(const Rect& frame);
    static std::shared_ptr<Label> create(const Rect& frame = {}) { return std::make_shared<Label>(frame); }
    const char* className() const override { return "Label"; }

    const std::string& text() const { return text_; }
    void setText(std::string text);
    // Never null: the system font of 17 points until set.
    const std::shared_ptr<Font>& font() const { return font_; }
    void setFont(const Font& font);
    // Null sets the system font of 17 points.
    void setFont(std::shared_ptr<Font> font);
    Color textColor() const { return textColor_; }
    void setTextColor(Color c);
    std::optional<Color> highlightedTextColor() const { return highlightedTextColor_; }
    void setHighlightedTextColor(std::optional<Color> c);
    std::optional<Color> shadowColor() const { return shadowColor_; }
    void setShadowColor(std::optional<Color> c);
    Size shadowOffset() const { return shadowOffset_; }
    void setShadowOffset(Size s);
    TextAlignment textAlignment() const { return textAlignment_; }
    void setTextAlignment(TextAlignment a);
    LineBreakMode lineBreakMode() const { return lineBreakMode_; }
    void setLineBreakMode(LineBreakMode m);
    // 0: as many lines as it takes.
    int numberOfLines() const { return numberOfLines_; }
    void setNumberOfLines(int n);
    bool adjustsFontSizeToFitWidth() const { return adjustsFontSizeToFitWidth_; }
    void setAdjustsFontSizeToFitWidth(bool a);
    double minimumScaleFactor() const { return minimumScaleFactor_; }
    void setMinimumScaleFactor(double f);
    double minimumFontSize() const { return minimumFontSize_; }
    void setMinimumFontSize(double s);
    BaselineAdjustment baselineAdjustment() const { return baselineAdjustment_; }
    void setBaselineAdjustment(BaselineAdjustment b) { baselineAdjustment_ = b; }
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool h);
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool e);
    double preferredMaxLayoutWidth() const { return preferredMaxLayoutWidth_; }
    void setPreferredMaxLayoutWidth(double w);
    // The colour the text is drawn in now: highlighted, else normal.
    Color currentTextColor() const;
    // The font the text fits the width in when it shrinks to fit (the font itself otherwise), never
    // below the minimum scale factor or font size.
    Font fittingFont() const;

    Size sizeThatFits(Size size) const override;
    Size intrinsicContentSize() const override;
    std::string dumpText() const override { return text_; }

    // Where the text goes within `bounds` for a number of lines (0: as many as it takes): centred
    // vertically, as labels show their text. Subclasses that lay text out themselves answer their own.
    virtual Rect textRectForBounds(const Rect& bounds, int numberOfLines) const;
    // Draws the text into `rect` (the renderer passes the bounds); subclasses draw their own text.
    virtual void drawTextInRect(GraphicsContext& context, const Rect& rect);

private:
    std::string text_;
    std::shared_ptr<Font> font_ = std::make_shared<Font>(Font::systemFont(17));
    Color textColor_ = Color::black();
    std::optional<Color> highlightedTextColor_;
    std::optional<Color> shadowColor_;
    Size shadowOffset_{0, -1};
    TextAlignment textAlignment_ = TextAlignment::Left;
    LineBreakMode lineBreakMode_ = LineBreakMode::TruncateTail;
    int numberOfLines_ = 1;
    bool adjustsFontSizeToFitWidth_ = false;
    double minimumScaleFactor_ = 0;
    double minimumFontSize_ = 0;
    BaselineAdjustment baselineAdjustment_ = BaselineAdjustment::AlignBaselines;
    bool highlighted_ = false;
    bool enabled_ = true;
    double preferredMaxLayoutWidth_ = 0;
};

}  // namespace velkora::ui
