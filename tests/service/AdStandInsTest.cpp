// The store lookup, the ad network and the video service that the service stands in for.
#include "ServiceFixture.h"

namespace velkora::service::testing {

namespace {

class AdStandInsTest : public ServiceTest {
protected:
    httplib::Result fetch(const std::string& target) { return client()->Get(target.c_str()); }
    Json lookup(const std::string& id) {
        auto res = fetch("/appstore/lookup?id=" + id);
        return res ? Json::parse(res->body, nullptr, false) : Json();
    }
    std::string banner(const std::string& key, const std::string& package) {
        auto res = fetch("/adnet/ad?sdk_key=" + key + "&package_name=" + package +
                         "&format=html&size=BANNER&platform=ios&hadid=0123abcd");
        return res && res->status == 200 ? res->body : "<failed>";
    }
};

} // namespace

TEST_F(AdStandInsTest, TheKitsKeyGetsABannerWhoseLinkEndsAtTheStoreWhereTheLookupKnowsTheApp) {
    ASSERT_EQ(std::string(kAdNetworkSdkKey).size(), 86u);
    std::string page = banner(kAdNetworkSdkKey, std::string("native-") + app());
    ASSERT_GE(page.size(), 100u);
    auto href = page.find("href=\"");
    ASSERT_NE(href, std::string::npos);
    std::string link = page.substr(href + 6, page.find('"', href + 6) - href - 6);
    ASSERT_EQ(link.rfind(service().baseUrl() + "/adnet/click?id=", 0), 0u) << link;

    auto click = fetch(link.substr(service().baseUrl().size()));
    ASSERT_TRUE(click);
    EXPECT_EQ(click->status, 302);
    std::string store = click->get_header_value("Location");
    ASSERT_EQ(store.rfind("itms-apps://", 0), 0u) << store;
    auto at = store.find("/id");
    ASSERT_NE(at, std::string::npos);
    std::string storeId = store.substr(at + 3, 9);
    EXPECT_EQ(store.substr(at + 12, 5), "?mt=8");

    Json known = lookup(storeId);
    EXPECT_EQ(known["resultCount"], 1);
    EXPECT_EQ(known["results"][0]["trackId"].get<int64_t>(), std::stoll(storeId));
    EXPECT_FALSE(known["results"][0]["trackName"].get<std::string>().empty());
    EXPECT_FALSE(known["results"][0]["description"].get<std::string>().empty());
    EXPECT_TRUE(known["results"][0].contains("artworkUrl60"));
    EXPECT_TRUE(known["results"][0].contains("artworkUrl512"));

    // The banners take turns among the deals.
    EXPECT_NE(banner(kAdNetworkSdkKey, app()), page);
}

TEST_F(AdStandInsTest, UnknownIdsKeysAndAppsGetNothing) {
    for (const char* id : {"600000999", "1", "", "abc", "9999999999"}) {
        Json reply = lookup(id);
        EXPECT_EQ(reply["resultCount"], 0) << id;
        EXPECT_TRUE(reply["results"].empty()) << id;
    }
    std::string wrongKey(86, 'x');
    EXPECT_EQ(banner(wrongKey, app()), "");
    EXPECT_EQ(banner("", app()), "");
    EXPECT_EQ(banner(kAdNetworkSdkKey, "free-no-such-app"), "");
    auto click = fetch("/adnet/click?id=600000999");
    ASSERT_TRUE(click);
    EXPECT_EQ(click->status, 404);
    // Requests are logged under their paths, where faults and request records apply.
    EXPECT_EQ(service().requestsFor("/appstore/lookup").size(), 5u);
}

TEST_F(AdStandInsTest, VideosHaveStillsAndEmbedPages) {
    auto still = fetch("/video/vi/abc123/hqdefault.jpg");
    ASSERT_TRUE(still);
    EXPECT_EQ(still->status, 200);
    EXPECT_EQ(still->body.substr(1, 3), "PNG");
    auto embed = fetch("/video/embed/abc123");
    ASSERT_TRUE(embed);
    EXPECT_NE(embed->body.find("/video/vi/abc123/hqdefault.jpg"), std::string::npos);
    EXPECT_EQ(fetch("/video/vi//hqdefault.jpg")->status, 404);
}

TEST_F(AdStandInsTest, AHostHeaderThatIsNoHostNeverReachesPagesOrAddresses) {
    const std::string own = "https://127.0.0.1:" + std::to_string(service().port());
    for (const std::string host :
         {"x\"><script>alert(1)</script>", "evil.example/phish?", "a b", "evil.example:99999", "[::1"}) {
        SCOPED_TRACE(host);
        auto c = client();
        httplib::Headers headers{{"Host", host}};
        auto ad = c->Get(("/adnet/ad?sdk_key=" + std::string(kAdNetworkSdkKey) + "&package_name=native-" + app() +
                          "&format=html&size=BANNER&platform=ios&hadid=0123abcd")
                             .c_str(),
                         headers);
        ASSERT_TRUE(ad);
        EXPECT_EQ(ad->body.find("<script"), std::string::npos) << ad->body;
        EXPECT_NE(ad->body.find("href=\"" + own + "/adnet/click"), std::string::npos) << ad->body;
        auto moved = c->Get("/pages/rules", headers);
        ASSERT_TRUE(moved);
        EXPECT_EQ(moved->status, 301);
        EXPECT_EQ(moved->get_header_value("Location"), own + "/pages/community");
    }
    // A real name is kept: the service is reached under the name its clients use.
    auto named = client()->Get("/pages/rules", httplib::Headers{{"Host", "velkora.example:8443"}});
    ASSERT_TRUE(named);
    EXPECT_EQ(named->get_header_value("Location"), "https://velkora.example:8443/pages/community");
}

} // namespace velkora::service::testing
