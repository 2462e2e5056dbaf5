#include "platform/ui/TextLayout.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>

#include "platform/ui/CharacterBoundaries.h"
#include "platform/ui/Utf16.h"

namespace velkora::ui {

namespace {

constexpr double kScale = PANGO_SCALE;

guint16 channel(double v) { return guint16(std::lround(std::clamp(v, 0.0, 1.0) * 65535)); }

void insertAttribute(PangoAttrList* list, PangoAttribute* a, size_t start, size_t end) {
    a->start_index = guint(start);
    a->end_index = guint(end);
    pango_attr_list_insert(list, a);
}

// The Pango attributes of an attributed string, on byte offsets.
PangoAttrList* pangoAttributes(const AttributedString& text) {
    PangoAttrList* list = pango_attr_list_new();
    const std::string& s = text.string();
    for (const auto& run : text.runs()) {
        size_t a = utf16::byteOffset(s, run.range.location), b = utf16::byteOffset(s, run.range.end());
        if (b <= a) continue;
        const Attributes& at = run.attributes;
        if (auto* f = attributeAs<Font>(at, attr::Font)) {
            PangoFontDescription* d = f->newPangoDescription();
            insertAttribute(list, pango_attr_font_desc_new(d), a, b);
            pango_font_description_free(d);
        }
        if (auto* c = attributeAs<Color>(at, attr::ForegroundColor)) {
            insertAttribute(list, pango_attr_foreground_new(channel(c->r), channel(c->g), channel(c->b)), a, b);
            insertAttribute(list, pango_attr_foreground_alpha_new(std::max<guint16>(1, channel(c->a))), a, b);
        }
        if (auto* c = attributeAs<Color>(at, attr::BackgroundColor); c && !c->isClear()) {
            insertAttribute(list, pango_attr_background_new(channel(c->r), channel(c->g), channel(c->b)), a, b);
            insertAttribute(list, pango_attr_background_alpha_new(std::max<guint16>(1, channel(c->a))), a, b);
        }
        if (auto* u = attributeAs<double>(at, attr::Underline); u && *u != 0)
            insertAttribute(list, pango_attr_underline_new(*u >= 2 ? PANGO_UNDERLINE_DOUBLE : PANGO_UNDERLINE_SINGLE), a, b);
        if (auto* u = attributeAs<bool>(at, attr::Underline); u && *u)
            insertAttribute(list, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE), a, b);
        if (auto* st = attributeAs<double>(at, attr::Strikethrough); st && *st != 0)
            insertAttribute(list, pango_attr_strikethrough_new(TRUE), a, b);
        if (auto* k = attributeAs<double>(at, attr::Kern); k && *k != 0)
            insertAttribute(list, pango_attr_letter_spacing_new(int(std::lround(*k * kScale))), a, b);
        if (auto* r = attributeAs<double>(at, attr::BaselineOffset); r && *r != 0)
            insertAttribute(list, pango_attr_rise_new(int(std::lround(*r * kScale))), a, b);
    }
    return list;
}

// Clipping breaks lines between words only: a word too long for its line runs past the edge and is cut
// there, rather than split with a hyphen into pieces that read as other words.
PangoWrapMode wrapModeFor(LineBreakMode mode) {
    switch (mode) {
    case LineBreakMode::CharWrap:
        return PANGO_WRAP_CHAR;
    case LineBreakMode::Clip:
        return PANGO_WRAP_WORD;
    default:
        return PANGO_WRAP_WORD_CHAR;
    }
}

PangoAlignment alignmentFor(TextAlignment a) {
    switch (a) {
    case TextAlignment::Center: return PANGO_ALIGN_CENTER;
    case TextAlignment::Right: return PANGO_ALIGN_RIGHT;
    default: return PANGO_ALIGN_LEFT;
    }
}

bool truncates(LineBreakMode m) {
    return m == LineBreakMode::TruncateHead || m == LineBreakMode::TruncateTail || m == LineBreakMode::TruncateMiddle;
}

struct Geometry {
    double x = 0;      // where lines start (the smaller of the two head indents)
    double width = 0;  // the width lines wrap in (0: none)
    double indent = 0; // the first line's indent relative to the others
    double top = 0, bottom = 0;
};

// Character boundaries (byte offsets) of a UTF-8 text, including 0 and its length.
std::vector<size_t> characterStarts(const std::string& s) {
    std::vector<size_t> out;
    for (size_t i = 0; i < s.size(); i += utf16::sequenceLength(static_cast<unsigned char>(s[i]))) out.push_back(i);
    out.push_back(s.size());
    return out;
}

}  // namespace

struct TextLayout::Impl {
    AttributedString text;
    TextLayoutOptions options;
    LineBreakMode mode = LineBreakMode::WordWrap;
    TextAlignment alignment = TextAlignment::Natural;
    Geometry geo;
    PangoLayout* full = nullptr;
    // The last shown line when it was cut, with the token; its characters come from `cutText`.
    PangoLayout* cut = nullptr;
    AttributedString cutText;
    size_t cutKeptPrefixUnits = 0;  // for mapping points back: the leading characters kept (tail cut)
    size_t cutFirstIndex = 0;       // index in `text` of the cut line's first character
    bool wrapped = true;            // laid out in the width (else one unwrapped line, placed by hand)

    ~Impl() {
        if (full) g_object_unref(full);
        if (cut) g_object_unref(cut);
    }

    PangoLayout* newLayout(const AttributedString& s, bool wrap) const {
        PangoContext* ctx = fonts::threadContext();
        if (!ctx) return nullptr;
        PangoLayout* l = pango_layout_new(ctx);
        PangoFontDescription* d = options.defaultFont.newPangoDescription();
        pango_layout_set_font_description(l, d);
        pango_font_description_free(d);
        pango_layout_set_text(l, s.string().c_str(), int(s.string().size()));
        PangoAttrList* attrs = pangoAttributes(s);
        pango_layout_set_attributes(l, attrs);
        pango_attr_list_unref(attrs);
        auto style = s.paragraphStyleAt(0).value_or(ParagraphStyle{});
        if (style.lineHeightMultiple > 0) pango_layout_set_line_spacing(l, float(style.lineHeightMultiple));
        else if (style.lineSpacing + style.lineSpacingAdjustment > 0)
            pango_layout_set_spacing(l, int(std::lround((style.lineSpacing + style.lineSpacingAdjustment) * kScale)));
        if (wrap && geo.width > 0) {
            pango_layout_set_width(l, int(std::lround(geo.width * kScale)));
            pango_layout_set_wrap(l, wrapModeFor(mode));
            pango_layout_set_indent(l, int(std::lround(geo.indent * kScale)));
            pango_layout_set_alignment(l, alignmentFor(alignment));
            pango_layout_set_justify(l, alignment == TextAlignment::Justified);
        }
        return l;
    }

    double singleLineWidth(const AttributedString& s) const {
        PangoLayout* l = newLayout(s, false);
        if (!l) return 0;
        PangoRectangle logical;
        pango_layout_get_extents(l, nullptr, &logical);
        g_object_unref(l);
        return logical.width / kScale;
    }
};

TextLayout::TextLayout(const std::string& text, const Font& font, const TextLayoutOptions& options)
    : TextLayout(AttributedString(text, {{attr::Font, font}}), [&] {
          TextLayoutOptions o = options;
          o.defaultFont = font;
          return o;
      }()) {}

TextLayout::TextLayout(const AttributedString& text, const TextLayoutOptions& options) : impl_(std::make_unique<Impl>()) {
    Impl& m = *impl_;
    m.text = text;
    m.options = options;
    auto style = text.paragraphStyleAt(0).value_or(ParagraphStyle{});
    m.mode = options.lineBreakMode.value_or(style.lineBreakMode);
    m.alignment = options.alignment.value_or(style.alignment);
    double lead = std::min(style.firstLineHeadIndent, style.headIndent);
    m.geo.x = lead;
    m.geo.indent = style.firstLineHeadIndent - style.headIndent;
    m.geo.top = style.paragraphSpacingBefore;
    m.geo.bottom = style.paragraphSpacing;
    if (options.width > 0) {
        double right = style.tailIndent > 0 ? style.tailIndent : options.width + style.tailIndent;
        m.geo.width = std::max(1.0, right - lead);
    }
    // A one-line text that is cut is laid out unwrapped: the cut decides what is shown.
    bool oneCutLine = options.numberOfLines == 1 && truncates(m.mode);
    // Unwrapped, the text still breaks at its own line breaks.
    bool wrapped = !oneCutLine;
    m.wrapped = wrapped;
    m.full = m.newLayout(text, wrapped);
    if (!m.full) return;
    totalLines_ = text.empty() ? 0 : pango_layout_get_line_count(m.full);
    int shown = options.numberOfLines > 0 ? std::min(totalLines_, options.numberOfLines) : totalLines_;

    // Where each laid-out line sits.
    struct Placed {
        int start = 0, length = 0;
        PangoRectangle logical{};
        int baseline = 0;
    };
    std::vector<Placed> placed;
    PangoLayoutIter* it = pango_layout_get_iter(m.full);
    do {
        Placed p;
        PangoLayoutLine* line = pango_layout_iter_get_line_readonly(it);
        p.start = line->start_index;
        p.length = line->length;
        pango_layout_iter_get_line_extents(it, nullptr, &p.logical);
        p.baseline = pango_layout_iter_get_baseline(it);
        placed.push_back(p);
    } while (int(placed.size()) < shown && pango_layout_iter_next_line(it));
    pango_layout_iter_free(it);
    if (text.empty()) placed.clear();

    const std::string& s = text.string();
    bool mustCut = shown < totalLines_ || (oneCutLine && options.width > 0 && !placed.empty() &&
                                            placed[0].logical.width / kScale > m.geo.width + 0.001);
    mustCut = mustCut && truncates(m.mode) && options.width > 0 && shown > 0;
    double height = 0, width = 0;
    for (int i = 0; i < int(placed.size()) && i < shown; ++i) {
        const Placed& p = placed[size_t(i)];
        bool last = i == shown - 1;
        if (last && mustCut) break;
        Line line;
        size_t a = utf16::indexOfByte(s, size_t(p.start)), b = utf16::indexOfByte(s, size_t(p.start + p.length));
        line.range = {a, b - a};
        line.frame = Rect(m.geo.x + p.logical.x / kScale, m.geo.top + p.logical.y / kScale, p.logical.width / kScale,
                          p.logical.height / kScale);
        line.baseline = m.geo.top + p.baseline / kScale;
        if (!wrapped && m.geo.width > 0) {
            if (m.alignment == TextAlignment::Center) line.frame.origin.x += (m.geo.width - line.frame.width()) / 2;
            else if (m.alignment == TextAlignment::Right) line.frame.origin.x += m.geo.width - line.frame.width();
        }
        lines_.push_back(line);
        height = line.frame.maxY() - m.geo.top;
        width = std::max(width, line.frame.maxX());
    }

    if (mustCut) {
        const Placed& p = placed[size_t(shown - 1)];
        size_t firstIndex = utf16::indexOfByte(s, size_t(p.start));
        // Exactly one line shown cuts as asked; a cut after several lines is always at the tail.
        LineBreakMode kind = shown == 1 ? m.mode : LineBreakMode::TruncateTail;
        AttributedString rest = text.substring({firstIndex, text.length() - firstIndex});
        std::string rs = rest.string();
        // The cut line is one line: a tail cut ends at the first line break, the others read across them.
        if (kind == LineBreakMode::TruncateTail) {
            auto nl = rs.find('\n');
            if (nl != std::string::npos) rest = rest.substring({0, utf16::indexOfByte(rs, nl)});
        } else {
            for (size_t i = 0; i < rs.size(); ++i)
                if (rs[i] == '\n') rest.replaceCharacters({utf16::indexOfByte(rs, i), 1}, std::string(" "));
        }
        rs = rest.string();
        auto starts = characterStarts(rs);
        size_t chars = starts.size() - 1;
        size_t tokenAt = kind == LineBreakMode::TruncateHead ? 0 : kind == LineBreakMode::TruncateMiddle ? rest.length() / 2 : (rest.length() > 0 ? rest.length() - 1 : 0);
        AttributedString token(options.truncationToken, rest.empty() ? Attributes{} : rest.attributesAt(tokenAt));
        // The candidate that keeps n characters.
        auto candidate = [&](size_t n, size_t* keptPrefix) {
            size_t head = 0, tail = 0;
            if (kind == LineBreakMode::TruncateTail) head = n;
            else if (kind == LineBreakMode::TruncateHead) tail = n;
            else {
                head = (n + 1) / 2;
                tail = n / 2;
            }
            AttributedString out;
            if (head > 0) {
                size_t end = starts[head];
                while (kind == LineBreakMode::TruncateTail && end > 0 && rs[end - 1] == ' ') --end;
                out.append(rest.substring({0, utf16::indexOfByte(rs, end)}));
            }
            if (keptPrefix) *keptPrefix = out.length();
            out.append(token);
            if (tail > 0) {
                size_t from = utf16::indexOfByte(rs, starts[chars - tail]);
                out.append(rest.substring({from, rest.length() - from}));
            }
            return out;
        };
        size_t lo = 0, hi = chars;
        // Largest n whose candidate fits; the whole rest fits only when no cut was needed after all.
        if (m.singleLineWidth(candidate(0, nullptr)) > m.geo.width) {
            hi = 0;
        } else {
            while (lo < hi) {
                size_t mid = (lo + hi + 1) / 2;
                if (m.singleLineWidth(candidate(mid, nullptr)) <= m.geo.width) lo = mid;
                else hi = mid - 1;
            }
        }
        m.cutText = candidate(lo, &m.cutKeptPrefixUnits);
        m.cutFirstIndex = firstIndex;
        m.cut = m.newLayout(m.cutText, false);
        PangoRectangle logical;
        pango_layout_get_extents(m.cut, nullptr, &logical);
        double w = logical.width / kScale;
        double x = m.geo.x;
        if (m.alignment == TextAlignment::Center) x += (m.geo.width - w) / 2;
        else if (m.alignment == TextAlignment::Right) x += m.geo.width - w;
        Line line;
        line.range = {firstIndex, kind == LineBreakMode::TruncateTail ? m.cutKeptPrefixUnits : rest.length()};
        line.frame = Rect(x, m.geo.top + p.logical.y / kScale, w, logical.height / kScale);
        line.baseline = line.frame.y() + pango_layout_get_baseline(m.cut) / kScale;
        line.truncated = true;
        lines_.push_back(line);
        height = line.frame.maxY() - m.geo.top;
        width = std::max(width, line.frame.maxX());
        truncated_ = true;
    }
    if (!lines_.empty()) size_ = {width, m.geo.top + height + m.geo.bottom};
}

TextLayout::~TextLayout() = default;

Size TextLayout::sizeThatFits() const { return {std::ceil(size_.width - 1e-9), std::ceil(size_.height - 1e-9)}; }

std::string TextLayout::visibleText() const {
    std::string out;
    const std::string& s = impl_->text.string();
    for (const auto& line : lines_) {
        if (line.truncated) out += impl_->cutText.string();
        else out += utf16::substring(s, line.range);
    }
    return out;
}

size_t TextLayout::characterIndexAtPoint(Point p) const {
    const Impl& m = *impl_;
    for (const auto& line : lines_) {
        if (p.y < line.frame.minY() || p.y >= line.frame.maxY()) continue;
        if (p.x < line.frame.minX() || p.x > line.frame.maxX()) return kTextNotFound;
        int index = 0, trailing = 0;
        if (line.truncated) {
            pango_layout_xy_to_index(m.cut, int((p.x - line.frame.x()) * kScale), int((p.y - line.frame.y()) * kScale),
                                     &index, &trailing);
            size_t unit = utf16::indexOfByte(m.cutText.string(), size_t(index));
            // Inside the kept start of a tail cut the characters are the text's own; the token hides the rest.
            if (unit < m.cutKeptPrefixUnits) return m.cutFirstIndex + unit;
            return kTextNotFound;
        }
        pango_layout_xy_to_index(m.full, int((p.x - m.geo.x) * kScale), int((p.y - m.geo.top) * kScale), &index, &trailing);
        return utf16::indexOfByte(m.text.string(), size_t(index));
    }
    return kTextNotFound;
}

std::vector<Rect> TextLayout::rectsForRange(TextRange range) const {
    const Impl& m = *impl_;
    std::vector<Rect> out;
    for (size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        size_t a = std::max(range.location, line.range.location), b = std::min(range.end(), line.range.end());
        if (b <= a) continue;
        PangoLayoutLine* pl = nullptr;
        size_t startByte = 0, endByte = 0;
        double x0 = 0;
        if (line.truncated) {
            // Only the kept start of a tail cut shows the text's own characters.
            const std::string& cs = m.cutText.string();
            size_t from = a - line.range.location, to = b - line.range.location;
            if (from >= m.cutKeptPrefixUnits) continue;
            to = std::min(to, m.cutKeptPrefixUnits);
            pl = pango_layout_get_line_readonly(m.cut, 0);
            startByte = utf16::byteOffset(cs, from);
            endByte = utf16::byteOffset(cs, to);
            x0 = line.frame.x();
        } else {
            pl = pango_layout_get_line_readonly(m.full, int(i));
            startByte = utf16::byteOffset(m.text.string(), a);
            endByte = utf16::byteOffset(m.text.string(), b);
            x0 = m.wrapped ? m.geo.x : line.frame.x();
        }
        if (!pl) continue;
        int* ranges = nullptr;
        int n = 0;
        // Ranges are measured from the layout's left edge (alignment included).
        pango_layout_line_get_x_ranges(pl, int(startByte), int(endByte), &ranges, &n);
        for (int k = 0; k < n; ++k) {
            double left = ranges[2 * k] / kScale, right = ranges[2 * k + 1] / kScale;
            out.push_back(Rect(x0 + left, line.frame.y(), right - left, line.frame.height()));
        }
        g_free(ranges);
    }
    return out;
}

void TextLayout::draw(cairo_t* cr, Point origin) const {
    const Impl& m = *impl_;
    if (!cr || !m.full) return;
    cairo_save(cr);
    const Color& c = m.options.defaultColor;
    cairo_set_source_rgba(cr, c.r, c.g, c.b, c.a);
    for (size_t i = 0; i < lines_.size(); ++i) {
        const Line& line = lines_[i];
        if (line.truncated) {
            cairo_move_to(cr, origin.x + line.frame.x(), origin.y + line.baseline);
            pango_cairo_show_layout_line(cr, pango_layout_get_line_readonly(m.cut, 0));
            continue;
        }
        PangoLayoutLine* pl = pango_layout_get_line_readonly(m.full, int(i));
        if (!pl) continue;
        PangoRectangle own;
        pango_layout_line_get_extents(pl, nullptr, &own);
        cairo_move_to(cr, origin.x + line.frame.x() - own.x / kScale, origin.y + line.baseline);
        pango_cairo_show_layout_line(cr, pl);
    }
    cairo_restore(cr);
}

Size measureText(const AttributedString& text, double width, int numberOfLines, std::optional<LineBreakMode> mode) {
    TextLayoutOptions o;
    o.width = width;
    o.numberOfLines = numberOfLines;
    o.lineBreakMode = mode;
    return TextLayout(text, o).sizeThatFits();
}

Size measureText(const std::string& text, const Font& font, double width, int numberOfLines,
                 std::optional<LineBreakMode> mode) {
    TextLayoutOptions o;
    o.width = width;
    o.numberOfLines = numberOfLines;
    o.lineBreakMode = mode;
    return TextLayout(text, font, o).sizeThatFits();
}

namespace {

// The UTF-16 indexes where Pango lets a caret stand, in order (0 and the end included).
std::vector<size_t> caretStops(std::string_view text) {
    std::vector<size_t> stops{0};
    if (text.empty()) return stops;
    const long chars = g_utf8_strlen(text.data(), static_cast<gssize>(text.size()));
    std::vector<PangoLogAttr> attrs(static_cast<size_t>(chars) + 1);
    pango_get_log_attrs(text.data(), static_cast<int>(text.size()), -1, pango_language_from_string("en"), attrs.data(),
                        static_cast<int>(attrs.size()));
    size_t units = 0, byte = 0;
    for (long c = 0; c < chars; ++c) {
        size_t n = utf16::sequenceLength(static_cast<unsigned char>(text[byte]));
        units += n == 4 ? 2 : 1;
        byte += n;
        if (attrs[static_cast<size_t>(c) + 1].is_cursor_position) stops.push_back(units);
    }
    if (stops.back() != units) stops.push_back(units);
    return stops;
}

} // namespace

size_t previousCharacterBoundary(std::string_view text, size_t index) {
    auto stops = caretStops(text);
    size_t best = 0;
    for (size_t s : stops)
        if (s < index) best = s;
    return best;
}

size_t nextCharacterBoundary(std::string_view text, size_t index) {
    auto stops = caretStops(text);
    for (size_t s : stops)
        if (s > index) return s;
    return stops.back();
}

}  // namespace velkora::ui
