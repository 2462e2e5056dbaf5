#include "platform/ui/WebViewDocument.h"

#include <gumbo.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>

#include "platform/foundation/UrlConnection.h"
#include "platform/foundation/Utf8.h"

namespace velkora::ui {

namespace {

// Gumbo's tree freeing recurses once per level of nesting, and its tree building looks through the open
// elements for many tags; a page is cut where its tags would nest deeper than this (the depth past which
// browsers stop nesting too), so no page exhausts the stack or costs more than linear time. The walks
// here keep their own stacks.
constexpr int kMaximumNesting = 512;
// The most of the page's text that is drawn; what follows is left undrawn rather than stalling the
// main thread in the text layout.
constexpr size_t kMaximumDrawnBytes = 64 * 1024;

const Color kLinkColor = Color::rgba(0.0, 0.33, 0.8);
constexpr double kBodyFontSize = 15;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

std::string trimmed(std::string_view s) {
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isSpace(s.back()))
        s.remove_suffix(1);
    return std::string(s);
}

std::string collapsed(std::string_view s) {
    std::string out;
    bool space = false;
    for (char c : s) {
        if (isSpace(c)) {
            space = !out.empty();
            continue;
        }
        if (space) out += ' ';
        space = false;
        out += c;
    }
    return out;
}

// A width or height attribute as browsers read it: the number it starts with, in pixels, whatever follows;
// none for a percentage or no number at all.
std::optional<double> dimensionAttribute(const char* value) {
    if (!value) return std::nullopt;
    std::string_view s(value);
    while (!s.empty() && isSpace(s.front()))
        s.remove_prefix(1);
    size_t end = 0;
    while (end < s.size() && (std::isdigit(static_cast<unsigned char>(s[end])) || s[end] == '.'))
        ++end;
    if (end == 0 || (end < s.size() && s[end] == '%')) return std::nullopt;
    double v = 0;
    auto [stop, error] = std::from_chars(s.data(), s.data() + end, v);
    if (error != std::errc() || stop == s.data() || !std::isfinite(v)) return std::nullopt;
    return v;
}

// A CSS length in pixels ("0", "12", "12px"); none for any other unit, which the page's layout here
// cannot honour. A negative one would push the page out of the view: it is taken as 0.
std::optional<double> cssPixels(std::string_view s) {
    std::string v = trimmed(s);
    std::transform(v.begin(), v.end(), v.begin(), [](unsigned char c) { return std::tolower(c); });
    if (v.size() > 2 && v.compare(v.size() - 2, 2, "px") == 0) v.resize(v.size() - 2);
    double d = 0;
    auto [stop, error] = std::from_chars(v.data(), v.data() + v.size(), d);
    if (v.empty() || error != std::errc() || stop != v.data() + v.size() || !std::isfinite(d)) return std::nullopt;
    return std::max(0.0, d);
}

// The margins a body's style attribute sets, in the order written, over the default ones. A declaration
// with a value that cannot be read is dropped whole, as CSS does.
WebViewMargins bodyMargins(const char* style) {
    WebViewMargins m;
    if (!style) return m;
    std::string_view rest(style);
    while (!rest.empty()) {
        size_t semicolon = rest.find(';');
        std::string_view declaration = rest.substr(0, semicolon);
        rest = semicolon == std::string_view::npos ? std::string_view() : rest.substr(semicolon + 1);
        size_t colon = declaration.find(':');
        if (colon == std::string_view::npos) continue;
        std::string name = trimmed(declaration.substr(0, colon));
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        std::string value = trimmed(declaration.substr(colon + 1));
        if (auto bang = value.find('!'); bang != std::string::npos) value = trimmed(value.substr(0, bang));
        if (name == "margin") {
            std::vector<double> sides;
            bool readable = true;
            for (size_t i = 0; i < value.size() && readable;) {
                if (isSpace(value[i])) {
                    ++i;
                    continue;
                }
                size_t j = i;
                while (j < value.size() && !isSpace(value[j]))
                    ++j;
                auto length = cssPixels(std::string_view(value).substr(i, j - i));
                readable = length.has_value();
                if (length) sides.push_back(*length);
                i = j;
            }
            if (!readable || sides.empty() || sides.size() > 4) continue;
            // top, right, bottom, left; a side not given takes the one opposite, the left the right.
            m.top = sides[0];
            m.right = sides.size() > 1 ? sides[1] : sides[0];
            m.bottom = sides.size() > 2 ? sides[2] : sides[0];
            m.left = sides.size() > 3 ? sides[3] : m.right;
            continue;
        }
        auto length = cssPixels(value);
        if (!length) continue;
        if (name == "margin-top") m.top = *length;
        if (name == "margin-right") m.right = *length;
        if (name == "margin-bottom") m.bottom = *length;
        if (name == "margin-left") m.left = *length;
    }
    return m;
}

// Tags that hold elements, minus those a new sibling closes by itself and those with no end tag, so the
// estimate of the nesting stays above what the parser builds only for pages that are deep for real.
bool opensLevel(std::string_view name) {
    static constexpr std::string_view kFlat[] = {
        "p",    "li",   "dt",   "dd",  "option", "tr",    "td",     "th",    "br",  "img",   "hr",     "input", "meta",
        "link", "area", "base", "col", "embed",  "param", "source", "track", "wbr", "frame", "keygen", "!"};
    for (auto flat : kFlat)
        if (name == flat) return false;
    return true;
}

// The elements the parser opens again after an end tag of an element around them closed them.
bool isFormatting(std::string_view name) {
    static constexpr std::string_view kFormatting[] = {"a",    "b", "big",   "code",   "em",     "font", "i",
                                                       "nobr", "s", "small", "strike", "strong", "tt",   "u"};
    for (auto formatting : kFormatting)
        if (name == formatting) return true;
    return false;
}

// Where the page must be cut so that its elements never nest deeper than kMaximumNesting. The page's tags
// are replayed on a model of the parser's open elements: an end tag closes the innermost open element of
// its name and those inside it, and one that matches nothing open closes nothing (the parser ignores it).
// Formatting elements closed by an end tag around them stay counted, as the parser opens them again; like
// the parser, it keeps at most three that are written alike. Each tag costs at most the model's depth,
// which the cut bounds, so the whole page is read in linear time.
size_t nestingCut(std::string_view html) {
    struct Open {
        std::string name;
        std::string_view written; // the start tag as it stands, attributes included
    };
    std::vector<Open> open;
    std::vector<Open> reopened;
    for (size_t i = 0; i + 1 < html.size(); ++i) {
        if (html[i] != '<') continue;
        bool closing = html[i + 1] == '/';
        size_t at = i + (closing ? 2 : 1);
        size_t end = at;
        while (end < html.size() && std::isalnum(static_cast<unsigned char>(html[end])))
            ++end;
        if (end == at) continue;
        std::string name(html.substr(at, end - at));
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        if (!opensLevel(name)) continue;
        if (!closing) {
            size_t close = html.find('>', end);
            open.push_back(
                {std::move(name), html.substr(i, (close == std::string_view::npos ? html.size() : close) - i)});
            if (open.size() > size_t(kMaximumNesting)) return i;
            continue;
        }
        auto match = std::find_if(open.rbegin(), open.rend(), [&](const Open& o) { return o.name == name; });
        if (match == open.rend()) continue;
        size_t index = size_t(open.rend() - match) - 1;
        reopened.clear();
        for (size_t j = index + 1; j < open.size(); ++j)
            if (isFormatting(open[j].name)) reopened.push_back(std::move(open[j]));
        open.resize(index);
        for (Open& o : reopened) {
            auto alike = std::count_if(open.begin(), open.end(), [&](const Open& x) { return x.written == o.written; });
            if (alike < 3) open.push_back(std::move(o));
        }
    }
    return html.size();
}

std::string tagName(const GumboElement& element) {
    if (element.tag != GUMBO_TAG_UNKNOWN) return gumbo_normalized_tagname(element.tag);
    GumboStringPiece piece = element.original_tag;
    gumbo_tag_from_original_text(&piece);
    std::string name(piece.data ? piece.data : "", piece.data ? piece.length : 0);
    std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
    return name;
}

const char* attribute(const GumboElement& element, const char* name) {
    const GumboAttribute* a = gumbo_get_attribute(&element.attributes, name);
    return a ? a->value : nullptr;
}

bool isVoid(GumboTag tag) {
    switch (tag) {
    case GUMBO_TAG_AREA:
    case GUMBO_TAG_BASE:
    case GUMBO_TAG_BASEFONT:
    case GUMBO_TAG_BGSOUND:
    case GUMBO_TAG_BR:
    case GUMBO_TAG_COL:
    case GUMBO_TAG_EMBED:
    case GUMBO_TAG_FRAME:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_IMG:
    case GUMBO_TAG_INPUT:
    case GUMBO_TAG_KEYGEN:
    case GUMBO_TAG_LINK:
    case GUMBO_TAG_META:
    case GUMBO_TAG_PARAM:
    case GUMBO_TAG_SOURCE:
    case GUMBO_TAG_TRACK:
    case GUMBO_TAG_WBR:
        return true;
    default:
        return false;
    }
}

bool keepsRawText(GumboTag tag) {
    switch (tag) {
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_XMP:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_NOFRAMES:
    case GUMBO_TAG_PLAINTEXT:
        return true;
    default:
        return false;
    }
}

void escapeInto(std::string& out, std::string_view text, bool inAttribute) {
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '&') {
            out += "&amp;";
        } else if (c == '\xC2' && i + 1 < text.size() && text[i + 1] == '\xA0') {
            out += "&nbsp;";
            ++i;
        } else if (inAttribute && c == '"') {
            out += "&quot;";
        } else if (!inAttribute && c == '<') {
            out += "&lt;";
        } else if (!inAttribute && c == '>') {
            out += "&gt;";
        } else {
            out += c;
        }
    }
}

const GumboVector* childrenOf(const GumboNode* node) {
    switch (node->type) {
    case GUMBO_NODE_DOCUMENT:
        return &node->v.document.children;
    case GUMBO_NODE_ELEMENT:
    case GUMBO_NODE_TEMPLATE:
        return &node->v.element.children;
    default:
        return nullptr;
    }
}

// Visits a subtree in document order on a stack of its own, so no page's nesting reaches the thread's
// stack: `enter(node)` answers whether to go into the node's children; `leave(node)` follows the last of
// them for each node that was gone into.
template <class Enter, class Leave> void traverse(const GumboNode* root, Enter&& enter, Leave&& leave) {
    struct Step {
        const GumboNode* node;
        unsigned next;
    };
    if (!enter(root)) return;
    std::vector<Step> path{{root, 0}};
    while (!path.empty()) {
        Step& top = path.back();
        const GumboVector* children = childrenOf(top.node);
        if (children && top.next < children->length) {
            auto* child = static_cast<const GumboNode*>(children->data[top.next++]);
            if (enter(child)) path.push_back({child, 0});
            continue;
        }
        const GumboNode* done = top.node;
        path.pop_back();
        leave(done);
    }
}

// The serialisation of the fragment algorithm, as a page's innerHTML reads: the node's children.
void serializeChildren(std::string& out, const GumboNode* parent) {
    traverse(
        parent,
        [&](const GumboNode* node) {
            if (node == parent) return true;
            switch (node->type) {
            case GUMBO_NODE_ELEMENT:
            case GUMBO_NODE_TEMPLATE: {
                const GumboElement& e = node->v.element;
                out += '<';
                out += tagName(e);
                for (unsigned i = 0; i < e.attributes.length; ++i) {
                    auto* a = static_cast<const GumboAttribute*>(e.attributes.data[i]);
                    out += ' ';
                    out += a->name;
                    out += "=\"";
                    escapeInto(out, a->value, true);
                    out += '"';
                }
                out += '>';
                return !isVoid(e.tag);
            }
            case GUMBO_NODE_TEXT:
            case GUMBO_NODE_WHITESPACE:
            case GUMBO_NODE_CDATA: {
                const GumboNode* up = node->parent;
                bool raw = up && up->type == GUMBO_NODE_ELEMENT && keepsRawText(up->v.element.tag);
                if (raw)
                    out += node->v.text.text;
                else
                    escapeInto(out, node->v.text.text, false);
                return false;
            }
            case GUMBO_NODE_COMMENT:
                out += "<!--";
                out += node->v.text.text;
                out += "-->";
                return false;
            case GUMBO_NODE_DOCUMENT:
                return true;
            }
            return false;
        },
        [&](const GumboNode* node) {
            if (node == parent || node->type == GUMBO_NODE_DOCUMENT) return;
            out += "</";
            out += tagName(node->v.element);
            out += '>';
        });
}

std::string textOf(const GumboNode* root) {
    std::string out;
    traverse(
        root,
        [&](const GumboNode* node) {
            if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE || node->type == GUMBO_NODE_CDATA)
                out += node->v.text.text;
            return node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE;
        },
        [](const GumboNode*) {});
    return out;
}

const GumboNode* findElement(const GumboNode* root, GumboTag tag) {
    const GumboNode* found = nullptr;
    traverse(
        root,
        [&](const GumboNode* node) {
            if (found) return false;
            if (node->type == GUMBO_NODE_ELEMENT && node->v.element.tag == tag) found = node;
            return !found && (node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_DOCUMENT);
        },
        [](const GumboNode*) {});
    return found;
}

int headingLevel(GumboTag tag) {
    switch (tag) {
    case GUMBO_TAG_H1:
        return 1;
    case GUMBO_TAG_H2:
        return 2;
    case GUMBO_TAG_H3:
        return 3;
    case GUMBO_TAG_H4:
        return 4;
    case GUMBO_TAG_H5:
        return 5;
    case GUMBO_TAG_H6:
        return 6;
    default:
        return 0;
    }
}

enum class Break { None, Line, Paragraph };

Break breakOf(GumboTag tag) {
    switch (tag) {
    case GUMBO_TAG_P:
    case GUMBO_TAG_H1:
    case GUMBO_TAG_H2:
    case GUMBO_TAG_H3:
    case GUMBO_TAG_H4:
    case GUMBO_TAG_H5:
    case GUMBO_TAG_H6:
    case GUMBO_TAG_UL:
    case GUMBO_TAG_OL:
    case GUMBO_TAG_DL:
    case GUMBO_TAG_TABLE:
    case GUMBO_TAG_BLOCKQUOTE:
    case GUMBO_TAG_PRE:
    case GUMBO_TAG_FORM:
    case GUMBO_TAG_HR:
        return Break::Paragraph;
    case GUMBO_TAG_DIV:
    case GUMBO_TAG_LI:
    case GUMBO_TAG_TR:
    case GUMBO_TAG_DT:
    case GUMBO_TAG_DD:
    case GUMBO_TAG_SECTION:
    case GUMBO_TAG_ARTICLE:
    case GUMBO_TAG_HEADER:
    case GUMBO_TAG_FOOTER:
    case GUMBO_TAG_NAV:
    case GUMBO_TAG_ASIDE:
    case GUMBO_TAG_MAIN:
    case GUMBO_TAG_ADDRESS:
    case GUMBO_TAG_FIGURE:
    case GUMBO_TAG_CENTER:
    case GUMBO_TAG_CAPTION:
    case GUMBO_TAG_FIELDSET:
    case GUMBO_TAG_BODY:
        return Break::Line;
    default:
        return Break::None;
    }
}

bool isHidden(GumboTag tag) {
    switch (tag) {
    case GUMBO_TAG_HEAD:
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_TEMPLATE:
    case GUMBO_TAG_TITLE:
    case GUMBO_TAG_INPUT:
    case GUMBO_TAG_SELECT:
    case GUMBO_TAG_OBJECT:
    case GUMBO_TAG_EMBED:
    case GUMBO_TAG_AUDIO:
    case GUMBO_TAG_VIDEO:
    case GUMBO_TAG_CANVAS:
    case GUMBO_TAG_SVG:
    case GUMBO_TAG_MATH:
        return true;
    default:
        return false;
    }
}

// Walks the body into the drawn text, the links and the boxes.
class TextBuilder {
public:
    TextBuilder(const std::string& baseUrl, WebViewDocument::Parts& parts) : baseUrl_(baseUrl), parts_(parts) {}

    void walk(const GumboNode* root) {
        traverse(
            root, [this](const GumboNode* node) { return enter(node); },
            [this](const GumboNode* node) { leave(node); });
    }

    void finish() {
        AttributedString text(out_,
                              {{attr::Font, Font::systemFont(kBodyFontSize)}, {attr::ForegroundColor, Color::black()}});
        // Headings and bold first, so a link inside a heading keeps the heading's font.
        for (const auto& span : spans_)
            text.addAttributes(span.attributes, span.range);
        for (const auto& span : links_)
            text.addAttributes(span.attributes, span.range);
        parts_.text = std::move(text);
    }

private:
    // What an element gone into left to do once its children are walked.
    struct Open {
        Break brk;
        size_t start;
        size_t link;
    };

    bool enter(const GumboNode* node) {
        if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_CDATA || node->type == GUMBO_NODE_WHITESPACE) {
            addText(node->v.text.text);
            return false;
        }
        if (node->type != GUMBO_NODE_ELEMENT) return false;
        const GumboElement& e = node->v.element;
        if (isHidden(e.tag)) return false;
        if (e.tag == GUMBO_TAG_BR) {
            newline();
            return false;
        }
        if (e.tag == GUMBO_TAG_IMG || e.tag == GUMBO_TAG_IFRAME || e.tag == GUMBO_TAG_FRAME) {
            addBox(e);
            return false;
        }
        Break brk = breakOf(e.tag);
        breakFor(brk);
        // A space before an inline element belongs before it, not to its text (a link's underline).
        if (brk == Break::None && pendingSpace_) {
            emit(" ");
            pendingSpace_ = false;
        }
        if (e.tag == GUMBO_TAG_LI) emit("\u2022 ");
        open_.push_back({brk, units_, beginLink(e)});
        if (e.tag == GUMBO_TAG_PRE) ++preDepth_;
        return true;
    }

    void leave(const GumboNode* node) {
        Open o = open_.back();
        open_.pop_back();
        if (node->v.element.tag == GUMBO_TAG_PRE) --preDepth_;
        styleElement(node, TextRange{o.start, units_ - o.start}, o.link);
        breakFor(o.brk);
    }

    struct Span {
        TextRange range;
        Attributes attributes;
    };

    size_t beginLink(const GumboElement& e) {
        const char* href = e.tag == GUMBO_TAG_A ? attribute(e, "href") : nullptr;
        if (!href) return std::string::npos;
        parts_.links.push_back({resolved(href), {}});
        return parts_.links.size() - 1;
    }

    void styleElement(const GumboNode* node, TextRange range, size_t link) {
        GumboTag tag = node->v.element.tag;
        if (int level = headingLevel(tag)) {
            static constexpr double kSizes[] = {26, 22, 19, 17, 15, 13};
            spans_.push_back({range, {{attr::Font, Font::boldSystemFont(kSizes[level - 1])}}});
        } else if (tag == GUMBO_TAG_B || tag == GUMBO_TAG_STRONG || tag == GUMBO_TAG_TH) {
            spans_.push_back({range, {{attr::Font, Font::boldSystemFont(kBodyFontSize)}}});
        }
        if (link == std::string::npos) return;
        parts_.links[link].text = collapsed(textOf(node));
        links_.push_back(
            {range,
             {{attr::Link, parts_.links[link].href}, {attr::Underline, 1.0}, {attr::ForegroundColor, kLinkColor}}});
    }

    std::string resolved(const char* href) {
        std::string raw = trimmed(href);
        std::string out = foundation::resolveUrl(baseUrl_, raw);
        return out.empty() ? raw : out;
    }

    bool full() const { return out_.size() >= kMaximumDrawnBytes; }

    void emit(std::string_view s) {
        if (full()) return;
        out_ += s;
        units_ += utf16::length(s);
        atLineStart_ = !s.empty() && s.back() == '\n';
    }

    void addText(std::string_view text) {
        if (preDepth_ > 0) {
            emit(text);
            pendingSpace_ = false;
            return;
        }
        size_t i = 0;
        while (i < text.size()) {
            if (isSpace(text[i])) {
                if (!atLineStart_ && !out_.empty()) pendingSpace_ = true;
                ++i;
                continue;
            }
            size_t j = i;
            while (j < text.size() && !isSpace(text[j]))
                ++j;
            if (pendingSpace_) emit(" ");
            pendingSpace_ = false;
            emit(text.substr(i, j - i));
            i = j;
        }
    }

    void newline() {
        pendingSpace_ = false;
        emit("\n");
    }

    void breakFor(Break brk) {
        if (brk == Break::None) return;
        pendingSpace_ = false;
        if (out_.empty()) return;
        if (!atLineStart_) emit("\n");
        if (brk == Break::Paragraph && out_.size() >= 1 && (out_.size() < 2 || out_[out_.size() - 2] != '\n'))
            emit("\n");
    }

    void addBox(const GumboElement& e) {
        const char* src = attribute(e, "src");
        std::string source = src ? resolved(src) : std::string();
        bool frame = e.tag != GUMBO_TAG_IMG;
        if (frame && !source.empty()) parts_.frameSources.push_back(source);
        breakFor(Break::Line);
        size_t start = units_;
        emit(std::string(frame ? "\u25A2 frame: " : "\u25A3 image: ") + (source.empty() ? "(none)" : source));
        parts_.boxes.push_back({frame ? WebViewBox::Kind::Frame : WebViewBox::Kind::Image, source,
                                TextRange{start, units_ - start}, dimensionAttribute(attribute(e, "width")),
                                dimensionAttribute(attribute(e, "height"))});
        breakFor(Break::Line);
    }

    const std::string& baseUrl_;
    WebViewDocument::Parts& parts_;
    std::string out_;
    size_t units_ = 0;
    bool atLineStart_ = true;
    bool pendingSpace_ = false;
    int preDepth_ = 0;
    std::vector<Open> open_;
    std::vector<Span> spans_;
    std::vector<Span> links_;
};

} // namespace

std::string WebViewDocument::sanitizedUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    const char* p = bytes.data();
    const char* end = p + bytes.size();
    while (p < end) {
        auto c = static_cast<unsigned char>(*p);
        if (c == 0) { // the parser would take a NUL for the end of the text
            out += "\uFFFD";
            ++p;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
            ++p;
        } else if (size_t n = foundation::utf8SequenceLength(p, end)) {
            out.append(p, n);
            p += n;
        } else {
            out += "\uFFFD";
            ++p;
        }
    }
    return out;
}

WebViewDocument WebViewDocument::parse(std::string_view bytes, const std::string& baseUrl) {
    WebViewDocument doc;
    doc.baseUrl_ = baseUrl;
    if (bytes.size() > kMaximumBytes) bytes = bytes.substr(0, kMaximumBytes);
    std::string html = sanitizedUtf8(bytes);
    // A cut in the middle of a character has already become U+FFFD; the limit holds for the text too.
    html.resize(std::min(html.size(), nestingCut(html)));

    GumboOptions options = kGumboDefaultOptions;
    // The parser's record of an error copies every open element's tag: a page of stray end tags would
    // cost the square of its size. Nothing here reads the errors.
    options.max_errors = 0;
    GumboOutput* output = gumbo_parse_with_options(&options, html.data(), html.size());
    if (!output) return doc;
    Parts parts;
    if (const GumboNode* title = findElement(output->document, GUMBO_TAG_TITLE)) parts.title = collapsed(textOf(title));
    if (const GumboNode* body = findElement(output->document, GUMBO_TAG_BODY)) {
        parts.margins = bodyMargins(attribute(body->v.element, "style"));
        serializeChildren(parts.bodyInnerHtml, body);
        TextBuilder builder(baseUrl, parts);
        builder.walk(body);
        builder.finish();
    }
    gumbo_destroy_output(&options, output);
    doc.parts_ = std::move(parts);
    return doc;
}

} // namespace velkora::ui
