// What a page yields in place of scripts, and pages that are broken, hostile or huge.
#include "WebViewFixture.h"
#include "platform/ui/Image.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/Snapshot.h"

namespace velkora::testing {

namespace {

struct PageCase {
    const char* name;
    std::string html;
    std::string title;
    std::string innerHtml;
    std::string firstLink; // resolved against https://host.example/dir/page.html
};

class WebViewPageTest : public WebViewTest, public ::testing::WithParamInterface<PageCase> {};

TEST_P(WebViewPageTest, ReadsWhatAScriptWouldRead) {
    const PageCase& c = GetParam();
    view().loadHTMLString(c.html, "https://host.example/dir/page.html");
    EXPECT_EQ(view().documentTitle(), c.title);
    EXPECT_EQ(view().bodyInnerHtml(), c.innerHtml);
    EXPECT_EQ(view().firstLinkHref(), c.firstLink);
    EXPECT_FALSE(view().isLoading());
}

INSTANTIATE_TEST_SUITE_P(
    Pages, WebViewPageTest,
    ::testing::Values(
        PageCase{"whitespace_around_title_and_href",
                 "<title>\n  Two   words </title><a href=\"  \n/x?a=1&amp;b=2 \">go</a>", "Two words",
                 "<a href=\"  \n/x?a=1&amp;b=2 \">go</a>", "https://host.example/x?a=1&b=2"},
        PageCase{"relative_link_and_escaped_text", "<p>1 &lt; 2 &amp; &quot;q&quot;</p><a href=\"next.html\">n</a>", "",
                 "<p>1 &lt; 2 &amp; \"q\"</p><a href=\"next.html\">n</a>", "https://host.example/dir/next.html"},
        PageCase{"scripts_stay_text", "<body><script>document.title='x'</script><b onclick=\"f()\">b</b></body>", "",
                 "<script>document.title='x'</script><b onclick=\"f()\">b</b>", ""},
        PageCase{"empty_page", "", "", "", ""},
        PageCase{"unclosed_tags_are_closed", "<div><p>one<p>two<span>three", "",
                 "<div><p>one</p><p>two<span>three</span></p></div>", ""},
        PageCase{"bad_utf8_becomes_replacement", "<p>a\xff\xfe b \xe2\x82 c\xc3\xa9</p>", "",
                 "<p>a\xEF\xBF\xBD\xEF\xBF\xBD b \xEF\xBF\xBD\xEF\xBF\xBD c\xc3\xa9</p>", ""},
        PageCase{"nul_byte", std::string("<p>x\0y</p>", 10), "", "<p>x\xEF\xBF\xBDy</p>", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WebViewTest, DrawnTextHasBoldHeadingsUnderlinedLinksAndNamedBoxes) {
    view().loadHTMLString("<h1>Head</h1><p>Some <a href=\"/a\">link</a> text.</p><img src=\"pic.png\">"
                          "<iframe src=\"/frame\"></iframe><script>hidden()</script>",
                          "https://host.example/");
    const ui::AttributedString& text = view().document().text();
    EXPECT_EQ(text.string(), "Head\n\nSome link text.\n\n\u25A3 image: https://host.example/pic.png\n"
                             "\u25A2 frame: https://host.example/frame\n");
    auto headFont = text.fontAt(0);
    ASSERT_TRUE(headFont);
    EXPECT_TRUE(headFont->isBold());
    size_t link = ui::utf16::length("Head\n\nSome ");
    auto underline = text.attributeAt(ui::attr::Underline, link);
    ASSERT_TRUE(underline);
    EXPECT_EQ(std::get<double>(*underline), 1.0);
    EXPECT_EQ(std::get<std::string>(*text.attributeAt(ui::attr::Link, link)), "https://host.example/a");
    EXPECT_FALSE(text.fontAt(link)->isBold());
    ASSERT_EQ(view().document().boxes().size(), 2u);
    EXPECT_EQ(view().document().boxes()[1].kind, ui::WebViewBox::Kind::Frame);
}

// Pages as the service serves them, however bad their bytes.
struct HostileCase {
    const char* name;
    std::string bytes;
    size_t minimumInnerHtml;
};

class WebViewHostileTest : public WebViewTest, public ::testing::WithParamInterface<HostileCase> {};

TEST_P(WebViewHostileTest, LoadsWithoutHarm) {
    const HostileCase& c = GetParam();
    std::string url = service().addPicture("hostile.html", c.bytes, "text/html");
    load(url);
    EXPECT_EQ(delegate().events.back(), "finish");
    EXPECT_GE(view().bodyInnerHtml().size(), c.minimumInnerHtml);
    // Never more than the page's limit, however much arrived.
    EXPECT_LE(view().bodyInnerHtml().size(), ui::WebViewDocument::kMaximumBytes + 4096);
    EXPECT_GT(view().documentHeight(), 0);
}

std::string repeated(const std::string& piece, size_t bytes) {
    std::string out;
    out.reserve(bytes + piece.size());
    while (out.size() < bytes)
        out += piece;
    return out;
}

// Each block closes the fonts of the one before, which the parser opens again inside the next block,
// together with a font of its own.
std::string fontsOpenedAgain(int blocks) {
    std::string out;
    for (int i = 0; i < blocks; ++i)
        out += "<div><font size=" + std::to_string(i) + ">x</div>";
    return out;
}

INSTANTIATE_TEST_SUITE_P(
    Pages, WebViewHostileTest,
    ::testing::Values(
        HostileCase{"broken_markup",
                    "<html><body><table><tr><td><p><<a href=\"x<b>\"><i></table></b>&#xFFFFFFFF;&bogus", 20},
        HostileCase{"bad_utf8", "<p>\xc0\xaf\xed\xa0\x80\xf8\x88\x80\x80\x80 text</p>", 10},
        HostileCase{"nine_megabytes", repeated("<p>Lorem ipsum dolor sit amet, consectetur.</p>\n", 9 * 1024 * 1024),
                    7 * 1024 * 1024},
        HostileCase{"deep_nesting", repeated("<div>", 200000), 0},
        // End tags of elements never opened close nothing: the page nests as deep as its start tags.
        HostileCase{"closing_tags_never_opened", repeated("<div></x>", 180000), 0},
        HostileCase{"formatting_opened_again", fontsOpenedAgain(20000), 0},
        HostileCase{"many_frames_to_nowhere", repeated("<iframe src=\"data:text/html,x\"></iframe>", 2000), 1000}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WebViewDocumentTest, SloppyButShallowPagesAreReadToTheEnd) {
    // Stray end tags, and bold text left open in blocks that the parser closes and opens again: the
    // page never nests deep, so nothing of it is cut.
    for (const std::string& sloppy : {repeated("<div>a</div></span></x>", 40000), repeated("<div><b>bold</div>", 4000),
                                      repeated("<section><i>a</section>", 4000)}) {
        auto doc = ui::WebViewDocument::parse(sloppy + "<p>the end</p>", "https://host.example/");
        EXPECT_NE(doc.bodyInnerHtml().find("the end"), std::string::npos) << sloppy.substr(0, 30);
    }
}

// A page's picture (64 pixels a side) in a 320-point view: where and how large the page's attributes and
// its body's style put it.
struct PictureLayoutCase {
    const char* name;
    std::string body;       // the body's style attribute; none when empty
    std::string attributes; // of the picture
    ui::Rect expected;
};

class WebViewPictureLayoutTest : public WebViewTest, public ::testing::WithParamInterface<PictureLayoutCase> {};

TEST_P(WebViewPictureLayoutTest, PictureTakesTheSizeAndPlaceThePageGivesIt) {
    const PictureLayoutCase& c = GetParam();
    const std::string body = c.body.empty() ? "<body>" : "<body style=\"" + c.body + "\">";
    view().loadHTMLString("<html>" + body + "<img src=\"" + base() + "/adnet/banner/7.png\" " + c.attributes +
                              "><p>Caption</p></body></html>",
                          base() + "/");
    ASSERT_TRUE(waitFor([&] { return !view().picturesLoading(); }));
    const auto rects = view().pictureRects();
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_EQ(rects[0], c.expected);
    // The caption follows the picture and the page ends at the body's bottom margin.
    EXPECT_GT(view().documentHeight(), c.expected.maxY() + 10);
    auto shot = ui::Snapshot::imageOfView(view(), 1);
    ASSERT_TRUE(shot);
    const auto picture = view().pictureFor(view().document().boxes()[0].source);
    ASSERT_TRUE(picture);
    const auto inside = [&](double x, double y) { return shot->pixelAt(int(x), int(y)); };
    const auto own = picture->pixelAt(0, 0);
    EXPECT_EQ(inside(c.expected.x() + 4, c.expected.y() + 4), own) << "top left corner drawn";
    EXPECT_EQ(inside(c.expected.maxX() - 4, c.expected.maxY() - 4), own) << "bottom right corner drawn";
    if (c.expected.x() > 0) {
        EXPECT_NE(inside(c.expected.x() - 1, c.expected.y() + 4), own) << "left margin left";
    }
    if (c.expected.maxX() < 320) {
        EXPECT_NE(inside(c.expected.maxX() + 1, c.expected.y() + 4), own) << "nothing drawn past the picture";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Pages, WebViewPictureLayoutTest,
    ::testing::Values(
        PictureLayoutCase{"own_size_in_default_margins", "", "", {8, 8, 64, 64}},
        PictureLayoutCase{"banner_flush_with_the_view", "margin:0", "width=\"320\" height=\"50\"", {0, 0, 320, 50}},
        PictureLayoutCase{"width_alone_keeps_proportions", "", "width=\"32\"", {8, 8, 32, 32}},
        PictureLayoutCase{"height_alone_keeps_proportions", "", "height=\"100\"", {8, 8, 100, 100}},
        PictureLayoutCase{"pixels_unit_in_attribute", "", "width=\"120px\" height=\"30\"", {8, 8, 120, 30}},
        PictureLayoutCase{"percentage_is_not_pixels", "", "width=\"50%\"", {8, 8, 64, 64}},
        PictureLayoutCase{
            "too_wide_shrinks_to_the_page", "margin: 0px", "width=\"640\" height=\"100\"", {0, 0, 320, 50}},
        PictureLayoutCase{"two_value_margin", "margin: 4px 10px", "", {10, 4, 64, 64}},
        PictureLayoutCase{"four_value_margin", "margin: 1px 2px 3px 24px", "", {24, 1, 64, 64}},
        PictureLayoutCase{"side_after_shorthand", "margin:0; Margin-Left: 20px !important", "", {20, 0, 64, 64}},
        PictureLayoutCase{"unknown_unit_keeps_default", "margin: 2em", "", {8, 8, 64, 64}},
        PictureLayoutCase{"negative_margin_is_zero", "margin: -30px", "", {0, 0, 64, 64}},
        PictureLayoutCase{"unreadable_declaration_dropped", "margin: 0 x; color: red", "", {8, 8, 64, 64}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WebViewTest, InterfaceFilesMakeWebViews) {
    auto objects = ui::InterfaceLoader::instance().loadFromText(
        R"({"objects": [{"class": "WebView", "frame": [0, 0, 300, 200], "properties": {"scalesPageToFit": true}}]})",
        "VelkoraGeneralWebView.json", nullptr);
    ASSERT_EQ(objects.size(), 1u);
    auto web = std::dynamic_pointer_cast<ui::WebView>(objects[0]);
    ASSERT_TRUE(web);
    EXPECT_TRUE(web->scalesPageToFit());
    EXPECT_EQ(web->frame(), ui::Rect(0, 0, 300, 200));
}

TEST_F(WebViewTest, FramesLoadDownToTheThirdLevelOnly) {
    // Each level frames the next; the fourth is drawn as a box but never asked for.
    std::string fourth = service().addPicture("level4.html", "<title>4</title>", "text/html");
    std::string third = service().addPicture("level3.html", "<iframe src=\"" + fourth + "\"></iframe>", "text/html");
    std::string second = service().addPicture("level2.html", "<iframe src=\"" + third + "\"></iframe>", "text/html");
    std::string first = service().addPicture("level1.html", "<iframe src=\"" + second + "\"></iframe>", "text/html");
    load(first);
    EXPECT_EQ(service().requestsFor("/pictures/level3.html").size(), 1u);
    EXPECT_TRUE(service().requestsFor("/pictures/level4.html").empty());
    EXPECT_EQ(delegate().finishes, 3);
    EXPECT_EQ(delegate().events.back(), "finish");
}

} // namespace

} // namespace velkora::testing
