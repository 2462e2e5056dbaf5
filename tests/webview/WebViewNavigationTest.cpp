// Loading, following links and redirects, going back, stopping and failing, against the service's pages.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "WebViewFixture.h"
#include "platform/ui/TouchRouter.h"
#include "platform/ui/Window.h"

namespace velkora::testing {

namespace {

using Events = std::vector<std::string>;

TEST_F(WebViewTest, ServicePageGivesItsTitleLinksInnerHtmlAndHeight) {
    std::string terms = base() + service::kTermsPagePath;
    load(terms);

    EXPECT_EQ(delegate().events, (Events{"should 5 " + terms, "start", "finish"}));
    EXPECT_EQ(view().documentTitle(), "Terms of Use");
    ASSERT_EQ(view().links().size(), 2u);
    EXPECT_EQ(view().links()[0].href, base() + "/pages/privacy");
    EXPECT_EQ(view().links()[0].text, "Privacy Policy");
    EXPECT_EQ(view().links()[1].href, base() + "/pages/rules");
    EXPECT_EQ(view().firstLinkHref(), base() + "/pages/privacy");
    EXPECT_EQ(view().bodyInnerHtml().rfind("<h1>Terms of Use</h1>", 0), 0u) << view().bodyInnerHtml();
    EXPECT_NE(view().bodyInnerHtml().find("<a href=\"/pages/privacy\">Privacy Policy</a>"), std::string::npos);

    // The height is the text's at the view's width: a narrower view wraps into more lines.
    double wide = view().documentHeight();
    EXPECT_GT(wide, 150);
    view().setFrame({0, 0, 160, 480});
    EXPECT_GT(view().documentHeight(), wide * 1.5);
    EXPECT_EQ(view().sizeThatFits({160, 0}).height, view().documentHeight());
}

TEST_F(WebViewTest, TappedLinkRedirectsToAFramedPageAndBackWalksTheHistory) {
    auto window = ui::Window::create({0, 0, 320, 480});
    window->addSubview(view_);
    window->makeKeyAndVisible();
    std::string terms = base() + service::kTermsPagePath;
    load(terms);
    delegate().events.clear();

    // The second link ("Community Rules") goes to the page's old address, which moved.
    auto boxes = view().rectsForLink(1);
    ASSERT_FALSE(boxes.empty());
    ui::TouchDriver driver(window);
    driver.tap(boxes.front().center());
    driver.wait(0.5);
    settle();

    std::string community = base() + service::kCommunityPagePath;
    std::string video = base() + "/video/embed/welcome";
    EXPECT_EQ(delegate().events, (Events{"should 0 " + base() + "/pages/rules", "start", "should 5 " + community,
                                         "should 5 " + video, "start",
                                         // the page is done, its frame is not yet
                                         "finish loading", "finish"}))
        << ::testing::PrintToString(delegate().events);
    EXPECT_EQ(view().documentTitle(), "Community Rules");
    EXPECT_EQ(view().request().url, community);
    ASSERT_EQ(view().document().boxes().size(), 1u);
    EXPECT_EQ(view().document().boxes()[0].source, video);
    EXPECT_EQ(service().requestsFor("/video/embed/welcome").size(), 1u);

    ASSERT_TRUE(view().canGoBack());
    delegate().events.clear();
    view().goBack();
    settle();
    EXPECT_EQ(delegate().events, (Events{"should 2 " + terms, "start", "finish"}));
    EXPECT_EQ(view().documentTitle(), "Terms of Use");
    EXPECT_FALSE(view().canGoBack());

    // A new page after going back drops the pages that were ahead.
    view().setLocation("/pages/privacy");
    settle();
    EXPECT_EQ(view().documentTitle(), "Privacy Policy");
    view().goBack();
    settle();
    EXPECT_EQ(view().documentTitle(), "Terms of Use");
    EXPECT_FALSE(view().canGoBack());
}

TEST_F(WebViewTest, StepBackThatNeverArrivesKeepsThePlaceInTheHistory) {
    load(base() + service::kTermsPagePath);
    view().setLocation(service::kPrivacyPagePath);
    settle();
    service().addFault({"/pages/terms", service::Fault::Kind::Delay, "", 0, 0.5, 1});
    view().goBack();
    view().stopLoading();
    EXPECT_EQ(view().documentTitle(), "Privacy Policy");
    ASSERT_TRUE(view().canGoBack());
    view().goBack();
    settle();
    EXPECT_EQ(view().documentTitle(), "Terms of Use");
    EXPECT_FALSE(view().canGoBack());
}

TEST_F(WebViewTest, RedirectLoopEndsAfterTwentyHops) {
    service().addWebPage("loop", "Loop", "", "loop");
    std::string loop = base() + "/pages/loop";
    load(loop);
    Events expected{"should 5 " + loop, "start"};
    expected.insert(expected.end(), ui::WebView::kMaximumRedirects, "should 5 " + loop);
    expected.push_back("fail UrlConnectionErrorDomain -1007");
    EXPECT_EQ(delegate().events, expected);
    EXPECT_EQ(service().requestsFor("/pages/loop").size(), size_t(ui::WebView::kMaximumRedirects + 1));
}

TEST_F(WebViewTest, RedirectFromHttpsToPlainHttpIsRefused) {
    // A plain listener on loopback stands where the page would move to; nothing may reach it.
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(fd, 4), 0);
    socklen_t length = sizeof address;
    ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
    std::string plain = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/landing";
    service().addWebPage("downgrade", "Moved", "", plain);

    auto request = foundation::UrlRequest::get(base() + "/pages/downgrade");
    request.headers.emplace_back("Authorization", "Bearer secret");
    view().loadRequest(request);
    settle();
    EXPECT_EQ(delegate().events,
              (Events{"should 5 " + base() + "/pages/downgrade", "start", "fail UrlConnectionErrorDomain -1002"}));
    EXPECT_EQ(::accept(fd, nullptr, nullptr), -1);
    ::close(fd);
}

TEST_F(WebViewTest, TapsAwayFromLinksAndOnScriptLinksGoNowhere) {
    view().loadHTMLString("<p>plain words</p><p><a href=\"javascript:alert(1)\">run me</a></p>"
                          "<p><a href=\"" +
                              base() + "/pages/terms\">terms</a></p>",
                          base());
    delegate().events.clear();
    ASSERT_FALSE(view().rectsForLink(0).empty());
    EXPECT_FALSE(view().tapAt(view().rectsForLink(0).front().center()));
    EXPECT_FALSE(view().tapAt({ui::WebView::kMargin + 2, ui::WebView::kMargin + 4})); // "plain"
    EXPECT_FALSE(view().tapAt({300, 470}));                                           // under the text
    EXPECT_TRUE(delegate().events.empty()) << ::testing::PrintToString(delegate().events);
    EXPECT_TRUE(view().tapAt(view().rectsForLink(1).front().center()));
    EXPECT_EQ(delegate().events.front(), "should 0 " + base() + "/pages/terms");
    settle();
}

// The ad network's banner leads through its click address to the store's address of another application.
struct StoreHopCase {
    const char* name;
    bool refuse; // as the kit does: stop, hand the address to the application, answer no
    Events tail; // the calls after the click address was asked for
};

class WebViewStoreHopTest : public WebViewTest, public ::testing::WithParamInterface<StoreHopCase> {};

TEST_P(WebViewStoreHopTest, StoreAddressBehindTheBannerLink) {
    const StoreHopCase& c = GetParam();
    std::string ad = base() + "/adnet/ad?sdk_key=" + service::kAdNetworkSdkKey +
                     "&package_name=native-velkora-demo&format=html&size=BANNER&platform=ios&hudid=00ff";
    load(ad);
    ASSERT_GE(view().bodyInnerHtml().size(), 100u);
    std::string click = view().firstLinkHref();
    ASSERT_EQ(click.rfind(base() + "/adnet/click?id=", 0), 0u) << click;
    std::string store = fetch(click).response.header("Location");
    ASSERT_EQ(store.rfind("itms-apps://", 0), 0u) << store;

    delegate().events.clear();
    delegate().decide = [&](ui::WebView& v, const foundation::UrlRequest& r, int) {
        if (!c.refuse || foundation::urlScheme(r.url).find("itms") == std::string::npos) return true;
        v.stopLoading();
        ui::Application::instance().openURL(r.url);
        return false;
    };
    view().setLocation(click);
    settle();

    Events expected{"should 5 " + click, "start", "should 5 " + store};
    expected.insert(expected.end(), c.tail.begin(), c.tail.end());
    EXPECT_EQ(delegate().events, expected);
    EXPECT_EQ(ui::Application::instance().openedURLs(),
              c.refuse ? std::vector<std::string>{store} : std::vector<std::string>{});
    EXPECT_FALSE(view().isLoading());
    // The banner stays what the view shows.
    EXPECT_EQ(view().firstLinkHref(), click);
}

INSTANTIATE_TEST_SUITE_P(Hops, WebViewStoreHopTest,
                         ::testing::Values(StoreHopCase{"refused", true, {"fail UrlConnectionErrorDomain -999"}},
                                           StoreHopCase{"allowed", false, {"fail WebKitErrorDomain 102"}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WebViewTest, ClosedPortFailsAndErrorPagesAreContent) {
    // A port that was just free and is closed again.
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    socklen_t length = sizeof address;
    ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length), 0);
    ::close(fd);
    std::string closed = "https://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/pages/terms";

    load(closed);
    EXPECT_EQ(delegate().events, (Events{"should 5 " + closed, "start", "fail UrlConnectionErrorDomain -1004"}));
    EXPECT_FALSE(view().canGoBack());

    delegate().events.clear();
    load(base() + "/pages/nowhere");
    EXPECT_EQ(delegate().events.back(), "finish");
    EXPECT_EQ(view().documentTitle(), "Not Found");
    EXPECT_NE(view().bodyInnerHtml().find("There is no page at"), std::string::npos);
}

// The service drops the connection of the first requests for the page, before any byte of a reply.
struct DroppedCase {
    const char* name;
    int drops;
    std::string last;
    size_t requests;
};

class WebViewDroppedTest : public WebViewTest, public ::testing::WithParamInterface<DroppedCase> {};

TEST_P(WebViewDroppedTest, ConnectionLostBeforeTheReplyIsAskedOnceMore) {
    const DroppedCase& c = GetParam();
    foundation::UrlConnection::closeIdleConnections();
    service().addFault({"/pages/terms", service::Fault::Kind::Drop, "", 0, 0, c.drops});
    load(base() + service::kTermsPagePath);
    EXPECT_EQ(delegate().events.back(), c.last);
    EXPECT_EQ(service().requestsFor("/pages/terms").size(), c.requests);
}

INSTANTIATE_TEST_SUITE_P(Drops, WebViewDroppedTest,
                         ::testing::Values(DroppedCase{"once", 1, "finish", 2},
                                           DroppedCase{"twice", 2, "fail UrlConnectionErrorDomain -1005", 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WebViewTest, StoppingEndsTheLoadWithCancelled) {
    service().addFault({"/pages/terms", service::Fault::Kind::Delay, "", 0, 0.5, 1});
    view().loadRequest(foundation::UrlRequest::get(base() + service::kTermsPagePath));
    EXPECT_TRUE(view().isLoading());
    view().stopLoading();
    EXPECT_FALSE(view().isLoading());
    view().stopLoading(); // nothing more to stop: nothing more heard
    EXPECT_EQ(delegate().events,
              (Events{"should 5 " + base() + service::kTermsPagePath, "start", "fail UrlConnectionErrorDomain -999"}));
    // Nothing of the stopped load arrives later.
    loop().runUntil([] { return foundation::UrlConnection::activeCount() == 0; }, 10);
    EXPECT_EQ(delegate().events.size(), 3u);
    EXPECT_TRUE(view().documentTitle().empty());
}

TEST_F(WebViewTest, ViewLetGoMidLoadEndsItsLoads) {
    view().loadRequest(foundation::UrlRequest::get(base() + service::kCommunityPagePath));
    ASSERT_TRUE(view().isLoading());
    view_.reset();
    EXPECT_TRUE(waitFor([] { return foundation::UrlConnection::activeCount() == 0; }));
    EXPECT_EQ(delegate().events.size(), 2u); // asked and started; nothing after
}

TEST_F(WebViewTest, RefusedFirstRequestLoadsNothing) {
    delegate().decide = [](ui::WebView&, const foundation::UrlRequest&, int) { return false; };
    view().loadRequest(foundation::UrlRequest::get(base() + service::kTermsPagePath));
    EXPECT_FALSE(view().isLoading());
    EXPECT_EQ(delegate().events.size(), 1u);
    EXPECT_TRUE(service().requestsFor("/pages/terms").empty());
}

TEST_F(WebViewTest, FilesAndOtherSchemesAreNeverRead) {
    view().loadHTMLString("<p>first</p><iframe src=\"file:///etc/hostname\"></iframe>"
                          "<iframe src=\"" +
                              base() + "/pages/privacy\"></iframe>",
                          "file:///etc/");
    settle();
    // The file frame is asked about but never started; the web frame loads.
    EXPECT_EQ(delegate().events,
              (Events{"start", "should 5 file:///etc/hostname", "should 5 " + base() + "/pages/privacy", "start",
                      "finish loading", "finish"}));

    delegate().events.clear();
    view().setLocation("file:///etc/hostname");
    EXPECT_EQ(delegate().events, (Events{"should 5 file:///etc/hostname", "start", "fail WebKitErrorDomain 102"}));
    EXPECT_EQ(view().bodyInnerHtml().rfind("<p>first</p>", 0), 0u);
}

} // namespace

} // namespace velkora::testing
