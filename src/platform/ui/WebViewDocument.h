// One page as the web view holds it: parsed by Gumbo from whatever bytes arrived, and turned into what the
// view draws and what its callers read in place of scripts (title, links, the body's inner HTML). A page
// never runs code: scripts and event attributes are kept as text in the inner HTML and nothing else.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/AttributedString.h"

namespace velkora::ui {

struct WebViewLink {
    std::string href; // resolved against the page's address; the attribute as written when it resolves to nothing
    std::string text; // the link's text, white space collapsed
};

// A picture or a frame, drawn as a box that names its source.
struct WebViewBox {
    enum class Kind { Image, Frame };
    Kind kind = Kind::Image;
    std::string source; // resolved like links
    TextRange range;    // the characters of the box's label in the drawn text
    // The size the page asks for in its width and height attributes, in points; none where it names none
    // or names a share of the page rather than pixels.
    std::optional<double> width;
    std::optional<double> height;
};

// The white space between the view's edges and the page's body.
struct WebViewMargins {
    // What a page gets when its body says nothing of its margins, as in any browser.
    static constexpr double kDefault = 8;
    double top = kDefault;
    double right = kDefault;
    double bottom = kDefault;
    double left = kDefault;
    bool operator==(const WebViewMargins&) const = default;
};

class WebViewDocument {
public:
    // What a page yields.
    struct Parts {
        std::string title;
        std::string bodyInnerHtml;
        std::vector<WebViewLink> links;
        std::vector<std::string> frameSources;
        std::vector<WebViewBox> boxes;
        WebViewMargins margins;
        AttributedString text;
    };

    // The most of a page that is read; the rest is dropped.
    static constexpr size_t kMaximumBytes = 8 * 1024 * 1024;

    WebViewDocument() = default;
    // Any bytes: malformed UTF-8 becomes U+FFFD, and more than kMaximumBytes is cut (at a character).
    static WebViewDocument parse(std::string_view bytes, const std::string& baseUrl);

    const std::string& baseUrl() const { return baseUrl_; }
    // The text of the first title element, white space collapsed.
    const std::string& title() const { return parts_.title; }
    const std::string& bodyInnerHtml() const { return parts_.bodyInnerHtml; }
    const std::vector<WebViewLink>& links() const { return parts_.links; }
    // The sources of the page's own frames (not those of frames inside them), in order.
    const std::vector<std::string>& frameSources() const { return parts_.frameSources; }
    const std::vector<WebViewBox>& boxes() const { return parts_.boxes; }
    // The body's margins: those its style attribute gives in pixels, the default for the rest.
    const WebViewMargins& margins() const { return parts_.margins; }
    // The page's text as drawn: block breaks, bold headings, underlined links carrying their address
    // (attr::Link), and the labels of the boxes.
    const AttributedString& text() const { return parts_.text; }

    // Bytes made well-formed UTF-8: every byte that starts no well-formed character becomes one U+FFFD.
    static std::string sanitizedUtf8(std::string_view bytes);

private:
    std::string baseUrl_;
    Parts parts_;
};

} // namespace velkora::ui
