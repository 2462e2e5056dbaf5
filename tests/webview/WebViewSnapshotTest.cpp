// How the web view draws a page: the service's terms page, and an error page that is drawn like any other.
#include "WebViewFixture.h"
#include "platform/ui/Snapshot.h"
#include "shell/WidgetSnapshot.h"

namespace velkora::testing {

namespace {

// Pixels clearly darker than the white page: drawn text.
int inkedPixels(const ui::Image& image) {
    int inked = 0;
    for (int y = 0; y < image.pixelHeight(); ++y)
        for (int x = 0; x < image.pixelWidth(); ++x)
            if ((image.pixelAt(x, y) & 0xff) < 128) ++inked;
    return inked;
}

TEST_F(WebViewTest, TermsPageSnapshot) {
    load(base() + service::kTermsPagePath);
    auto shot = ui::Snapshot::imageOfView(view(), 2);
    expectMatchesReference(shot, "web_page_terms");
}

TEST_F(WebViewTest, PicturesAndFramesAreBoxesNamingTheirSource) {
    // Frames are refused, so the picture shows no more than what the page itself holds.
    delegate().decide = [](ui::WebView&, const foundation::UrlRequest&, int) { return false; };
    view().loadHTMLString("<h2>Our friends</h2><p>Meet the <b>team</b> or <a href=\"/about\">read about us</a>.</p>"
                          "<img src=\"team.png\"><p>Their latest video:</p><iframe src=\"/video/embed/42\"></iframe>"
                          "<ul><li>one</li><li>two</li></ul>",
                          "https://pages.example/");
    expectMatchesReference(ui::Snapshot::imageOfView(view(), 2), "web_page_boxes");
}

TEST_F(WebViewTest, ErrorPageIsDrawn) {
    auto blank = ui::Snapshot::imageOfView(view(), 1);
    ASSERT_TRUE(blank);
    EXPECT_EQ(inkedPixels(*blank), 0);
    load(base() + "/pages/missing");
    auto shot = ui::Snapshot::imageOfView(view(), 1);
    ASSERT_TRUE(shot);
    EXPECT_GT(inkedPixels(*shot), 300);
}

} // namespace

} // namespace velkora::testing
