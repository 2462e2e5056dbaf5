// Attributed strings: UTF-8 text with attributes on UTF-16 ranges (font, colours, paragraph settings,
// links, and any key a client adds).
#pragma once

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/ui/Font.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/Utf16.h"

namespace velkora::ui {

enum class TextAlignment { Left = 0, Center = 1, Right = 2, Justified = 3, Natural = 4 };

// Values as the platform numbers them.
enum class LineBreakMode { WordWrap = 0, CharWrap = 1, Clip = 2, TruncateHead = 3, TruncateTail = 4, TruncateMiddle = 5 };

struct ParagraphStyle {
    TextAlignment alignment = TextAlignment::Natural;
    LineBreakMode lineBreakMode = LineBreakMode::WordWrap;
    double lineSpacing = 0;
    // Added to the line spacing (the font's own gap between lines, as a label asks for it).
    double lineSpacingAdjustment = 0;
    double paragraphSpacing = 0;
    double paragraphSpacingBefore = 0;
    double firstLineHeadIndent = 0;
    double headIndent = 0;
    // Positive: from the leading edge; zero or negative: from the trailing edge, as on the platform.
    double tailIndent = 0;
    double lineHeightMultiple = 0;
    double minimumLineHeight = 0;
    double maximumLineHeight = 0;
    friend bool operator==(const ParagraphStyle&, const ParagraphStyle&) = default;
};

using AttributeValue = std::variant<std::monostate, bool, double, std::string, Color, Font, ParagraphStyle>;
using Attributes = std::map<std::string, AttributeValue>;

// The attribute keys the layout reads.
namespace attr {
inline const std::string Font = "NSFont";
inline const std::string ForegroundColor = "NSColor";
inline const std::string BackgroundColor = "NSBackgroundColor";
inline const std::string ParagraphStyle = "NSParagraphStyle";
inline const std::string Link = "NSLink";                     // string: the address
inline const std::string Underline = "NSUnderline";           // double: 0 none, 1 single
inline const std::string Strikethrough = "NSStrikethrough";   // double
inline const std::string Kern = "NSKern";                     // double: extra space after each character
inline const std::string BaselineOffset = "NSBaselineOffset"; // double
}  // namespace attr

class AttributedString {
public:
    AttributedString() = default;
    explicit AttributedString(std::string text, Attributes attributes = {});

    const std::string& string() const { return text_; }
    // In UTF-16 units.
    size_t length() const { return length_; }
    bool empty() const { return text_.empty(); }

    // The attributes at a UTF-16 index, and the range over which they stay the same.
    Attributes attributesAt(size_t index, TextRange* effectiveRange = nullptr) const;
    std::optional<AttributeValue> attributeAt(const std::string& name, size_t index, TextRange* effectiveRange = nullptr) const;
    std::optional<Font> fontAt(size_t index) const;
    std::optional<Color> colorAt(size_t index) const;
    std::optional<ParagraphStyle> paragraphStyleAt(size_t index) const;

    // Ranges outside the text are clipped to it.
    void setAttributes(const Attributes& attributes, TextRange range);
    void addAttribute(const std::string& name, AttributeValue value, TextRange range);
    void addAttributes(const Attributes& attributes, TextRange range);
    void removeAttribute(const std::string& name, TextRange range);
    void replaceCharacters(TextRange range, const std::string& text);
    void replaceCharacters(TextRange range, const AttributedString& text);
    void append(const AttributedString& other);
    AttributedString substring(TextRange range) const;

    struct Run {
        TextRange range;
        Attributes attributes;
    };
    // The runs in order; neighbours always differ.
    const std::vector<Run>& runs() const { return runs_; }
    void enumerateAttribute(const std::string& name, TextRange range,
                            const std::function<void(const AttributeValue*, TextRange)>& visit) const;

    friend bool operator==(const AttributedString& a, const AttributedString& b);

private:
    void splitAt(size_t index);
    void merge();
    TextRange clip(TextRange r) const;
    template <typename F>
    void forRunsIn(TextRange range, F&& change);

    std::string text_;
    size_t length_ = 0;
    std::vector<Run> runs_;
};

template <typename T>
const T* attributeAs(const Attributes& a, const std::string& name) {
    auto it = a.find(name);
    return it == a.end() ? nullptr : std::get_if<T>(&it->second);
}

}  // namespace velkora::ui
