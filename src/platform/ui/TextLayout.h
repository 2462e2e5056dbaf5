// Laying out, measuring, hit-testing and drawing attributed text with Pango. Safe to use from any thread
// (each thread lays out on its own Pango context); a TextLayout object itself belongs to one thread.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/AttributedString.h"

typedef struct _cairo cairo_t;

namespace velkora::ui {

struct TextLayoutOptions {
    // Zero or less: no limit (the text breaks only at its own line breaks).
    double width = 0;
    // Zero: as many lines as the text needs.
    int numberOfLines = 0;
    // How lines break and where the last shown line is cut; unset takes the paragraph style's.
    std::optional<LineBreakMode> lineBreakMode;
    std::optional<TextAlignment> alignment;
    std::string truncationToken = "\u2026";
    // For runs that name no font or colour.
    Font defaultFont = Font::systemFont(17);
    Color defaultColor = Color::black();
};

class TextLayout {
public:
    TextLayout(const AttributedString& text, const TextLayoutOptions& options);
    // Plain text in one font.
    TextLayout(const std::string& text, const Font& font, const TextLayoutOptions& options);
    ~TextLayout();
    TextLayout(const TextLayout&) = delete;
    TextLayout& operator=(const TextLayout&) = delete;

    struct Line {
        TextRange range;    // the characters of the text shown on the line (without the token)
        Rect frame;         // logical box, from the layout's origin
        double baseline = 0;  // from the layout's top
        bool truncated = false;
    };

    // The size the shown lines take (not rounded); the width is that of the widest line.
    Size size() const { return size_; }
    // Rounded up to whole points, as the platform reports sizes that fit.
    Size sizeThatFits() const;
    int lineCount() const { return int(lines_.size()); }
    // The lines the whole text would need in the width, whatever the limit.
    int totalLineCount() const { return totalLines_; }
    bool isTruncated() const { return truncated_; }
    const std::vector<Line>& lines() const { return lines_; }
    // The text as shown: the shown lines, the cut line with its token.
    std::string visibleText() const;
    // The boxes the characters of a range take on the shown lines (one per line part), from the
    // layout's origin; characters hidden by a cut have none.
    std::vector<Rect> rectsForRange(TextRange range) const;
    // The UTF-16 index of the character under a point (relative to the layout's origin), or kTextNotFound.
    size_t characterIndexAtPoint(Point p) const;
    // Draws with the layout's top left corner at `origin`, in the context's current user space.
    void draw(cairo_t* cr, Point origin) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::vector<Line> lines_;
    Size size_;
    int totalLines_ = 0;
    bool truncated_ = false;
};

// The size a text needs within `width` (0: unlimited) and `numberOfLines` (0: unlimited), rounded up.
Size measureText(const AttributedString& text, double width, int numberOfLines = 0,
                 std::optional<LineBreakMode> mode = std::nullopt);
Size measureText(const std::string& text, const Font& font, double width, int numberOfLines = 0,
                 std::optional<LineBreakMode> mode = std::nullopt);

}  // namespace velkora::ui
