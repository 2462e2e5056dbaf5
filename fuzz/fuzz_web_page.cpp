// Pages come from any server a link or a banner leads to: any bytes must parse, and what the web view
// reads from them must be well-formed text within the page's limit, with every link and box inside the
// drawn text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/foundation/Utf8.h"
#include "platform/ui/WebViewDocument.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using velkora::ui::WebViewDocument;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    WebViewDocument doc = WebViewDocument::parse(bytes, "https://fuzz.example/dir/page.html");
    if (!velkora::foundation::isValidUtf8(doc.bodyInnerHtml()) || !velkora::foundation::isValidUtf8(doc.title()) ||
        !velkora::foundation::isValidUtf8(doc.text().string()))
        __builtin_trap();
    for (const auto& link : doc.links())
        if (!velkora::foundation::isValidUtf8(link.href)) __builtin_trap();
    for (const auto& box : doc.boxes())
        if (box.range.end() > doc.text().length()) __builtin_trap();
    return 0;
}
