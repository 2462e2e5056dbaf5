// The service's web stand-ins as the kit's web view reaches them: the ad network's pages and their
// click-through, the store lookup, the video service, and the application's own pages named by its
// configuration.
#include <algorithm>
#include <set>

#include "WebViewFixture.h"
#include "platform/foundation/JsonSerialization.h"
#include "platform/ui/Image.h"
#include "platform/ui/Snapshot.h"

namespace velkora::testing {

namespace {

using Endpoint = services::OutsideEndpoints::Service;

foundation::Value parsed(const std::string& body) {
    return foundation::JsonSerialization::JSONObjectWithData(body, 0).value_or(foundation::Value());
}

std::string adAddress(const std::string& key, const std::string& package) {
    return services::OutsideEndpoints::url(Endpoint::AdNetwork, "ad") + "?sdk_key=" + key + "&package_name=" + package +
           "&format=html&size=BANNER&platform=ios&hudid=0123456789abcdef0123456789abcdef01234567";
}

// The kit's road to a promoted application: the banner's link, the click address's store address, the
// store id cut out of it, and the lookup of that id.
TEST_F(WebViewTest, StoreLookupFindsTheApplicationBehindABanner) {
    load(adAddress(service::kAdNetworkSdkKey, "native-velkora-demo"));
    std::string promoted = view().documentTitle();
    auto click = fetch(view().firstLinkHref());
    ASSERT_EQ(click.status, 302);
    std::string store = click.response.header("Location");
    size_t at = store.find("/id");
    ASSERT_NE(at, std::string::npos) << store;
    std::string storeId = store.substr(at + 3, store.find_first_not_of("0123456789", at + 3) - at - 3);
    ASSERT_EQ(storeId.size(), 9u) << store;

    auto known = fetch(services::OutsideEndpoints::url(Endpoint::StoreLookup, "lookup?id=" + storeId));
    ASSERT_EQ(known.status, 200);
    foundation::Value reply = parsed(known.body);
    EXPECT_EQ(reply["resultCount"].int64Or(-1), 1);
    EXPECT_EQ(reply["results"].at(0)["trackName"].textOr(""), promoted);
    EXPECT_FALSE(reply["results"].at(0)["description"].textOr("").empty());

    for (const std::string& unknown : {std::string("999999999"), std::string("abc"), std::string("")}) {
        auto none = fetch(services::OutsideEndpoints::url(Endpoint::StoreLookup, "lookup?id=" + unknown));
        EXPECT_EQ(none.status, 200) << unknown;
        EXPECT_EQ(parsed(none.body)["resultCount"].int64Or(-1), 0) << unknown;
        EXPECT_EQ(parsed(none.body)["results"].size(), 0u) << unknown;
    }
    EXPECT_EQ(service().requestsFor("/appstore/lookup").size(), 4u);
}

struct AdPageCase {
    const char* name;
    std::string key;
    std::string package;
    bool served;
};

class WebStandInsAdTest : public WebViewTest, public ::testing::WithParamInterface<AdPageCase> {};

TEST_P(WebStandInsAdTest, BannerPageOrEmptyPage) {
    const AdPageCase& c = GetParam();
    load(adAddress(c.key, c.package));
    EXPECT_EQ(delegate().events.back(), "finish");
    if (!c.served) {
        EXPECT_EQ(view().bodyInnerHtml(), "");
        return;
    }
    EXPECT_GE(view().bodyInnerHtml().size(), 100u);
    ASSERT_EQ(view().firstLinkHref().rfind(base() + "/adnet/click?id=", 0), 0u);
    // The click address answers with the store's address of the promoted application.
    std::string click = view().firstLinkHref();
    auto reply = fetch(click);
    EXPECT_EQ(reply.status, 302);
    std::string location = reply.response.header("Location");
    EXPECT_EQ(location.rfind("itms-apps://", 0), 0u) << location;
    EXPECT_NE(location.find("/id" + click.substr(click.find("id=") + 3)), std::string::npos) << location;
}

INSTANTIATE_TEST_SUITE_P(
    Keys, WebStandInsAdTest,
    ::testing::Values(AdPageCase{"kit_key_banner", service::kAdNetworkSdkKey, "velkora-demo", true},
                      AdPageCase{"kit_key_native", service::kAdNetworkSdkKey, "native-velkora-demo", true},
                      AdPageCase{"kit_key_quiz_reward", service::kAdNetworkSdkKey, "free-velkora-demo", true},
                      AdPageCase{"unknown_key", std::string(86, 'A'), "velkora-demo", false},
                      AdPageCase{"no_key", "", "velkora-demo", false},
                      AdPageCase{"application_without_deals", service::kAdNetworkSdkKey, "no-such-app", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WebViewTest, AdNetworkPromotesEachDealInTurn) {
    std::set<std::string> promoted;
    for (int i = 0; i < 4; ++i) {
        load(adAddress(service::kAdNetworkSdkKey, "native-velkora-demo"));
        promoted.insert(view().documentTitle());
    }
    EXPECT_EQ(promoted, (std::set<std::string>{"Starboard Sailing", "Pixel Garden", "Comet Courier"}));
    EXPECT_EQ(service().requestsFor("/adnet/ad").size(), 4u);
}

TEST_F(WebViewTest, TheAdsPictureIsFetchedDrawnInItsPlaceAndLeadsWhereItsLinkDoes) {
    view().setFrame({0, 0, 320, 300});
    load(adAddress(service::kAdNetworkSdkKey, "velkora-demo"));
    const size_t asked = delegate().events.size();
    ASSERT_EQ(view().document().boxes().size(), 1u);
    const std::string source = view().document().boxes()[0].source;
    EXPECT_FALSE(view().isLoading()) << "the page is there before its pictures";
    ASSERT_TRUE(waitFor([&] { return !view().picturesLoading(); }));
    auto picture = view().pictureFor(source);
    ASSERT_TRUE(picture) << source;
    EXPECT_EQ(delegate().events.size(), asked) << "a picture is no load its delegate hears of";

    // Flush with the view (the page's body has no margin), at the banner's size, above the advertised name.
    const auto rects = view().pictureRects();
    ASSERT_EQ(rects.size(), 1u);
    const ui::Rect at = rects[0];
    EXPECT_EQ(at, ui::Rect(0, 0, 320, 50));
    EXPECT_GE(view().documentHeight(), at.maxY() + 20) << "the name and description follow the picture";
    auto shot = ui::Snapshot::imageOfView(view(), 1);
    ASSERT_TRUE(shot);
    const auto mid = at.center();
    EXPECT_EQ(shot->pixelAt(int(mid.x), int(mid.y)),
              picture->pixelAt(picture->pixelWidth() / 2, picture->pixelHeight() / 2))
        << "the picture's own pixels, not a box naming it";

    // The picture is part of the banner's link: a tap on it follows the link.
    const auto linkRects = view().rectsForLink(0);
    EXPECT_NE(std::find(linkRects.begin(), linkRects.end(), at), linkRects.end());
    EXPECT_TRUE(view().tapAt(mid));
    EXPECT_EQ(delegate().events[asked], "should 0 " + view().document().links()[0].href);
}

TEST_F(WebViewTest, APictureThatDoesNotComeKeepsItsBox) {
    view().loadHTMLString("<p>Before</p><img src=\"" + base() + "/adnet/no-such-picture.png\"><p>After</p>",
                          base() + "/");
    const double height = view().documentHeight();
    ASSERT_TRUE(waitFor([&] { return !view().picturesLoading(); }));
    EXPECT_FALSE(view().pictureFor(view().document().boxes()[0].source));
    EXPECT_TRUE(view().pictureRects().empty());
    EXPECT_EQ(view().documentHeight(), height);
    // A new page forgets the pictures of the last one and asks for its own.
    view().loadHTMLString("<p>Nothing to fetch</p>", base() + "/");
    EXPECT_FALSE(view().picturesLoading());
}

TEST_F(WebViewTest, VideoEmbedPageShowsItsStillAsABox) {
    load(services::OutsideEndpoints::url(Endpoint::VideoService, "embed/dQ-w4_9"));
    EXPECT_EQ(view().documentTitle(), "Video dQ-w4_9");
    ASSERT_EQ(view().document().boxes().size(), 1u);
    std::string still = view().document().boxes()[0].source;
    EXPECT_EQ(still, base() + "/video/vi/dQ-w4_9/hqdefault.jpg");
    auto picture = fetch(still);
    EXPECT_EQ(picture.status, 200);
    EXPECT_TRUE(ui::Image::fromData(picture.body));
}

TEST_F(WebViewTest, ConfigurationNamesTheServicePages) {
    // The configuration the kit receives names the pages on the host it asked.
    foundation::Value reply =
        parsed(service().answer("POST", "/VelkoraServer2/api", "command=getAppData&appId=velkora-demo").body);
    std::string terms = reply["appData"]["termsOfUse"].textOr("");
    EXPECT_EQ(terms, base() + service::kTermsPagePath);
    EXPECT_EQ(reply["appData"]["privacyPolicy"].textOr(""), base() + service::kPrivacyPagePath);
    load(terms);
    EXPECT_EQ(view().documentTitle(), "Terms of Use");
}

} // namespace

} // namespace velkora::testing
