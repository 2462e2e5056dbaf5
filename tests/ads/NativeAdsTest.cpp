// Native ads: the ad network's page followed to the store and looked up, the buffer that serves rows,
// every way a fetch can fail, the link and icon parsing, and the chat-room row.
#include "AdsFixture.h"
#include "ads/VelkoraAdNetwork.h"
#include "ads/VelkoraChatRoomsTopicNativeAppAdCell.h"
#include "ads/VelkoraNativeAdsController.h"
#include "shell/VelkoraLazyImageView.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

class NativeAdsTest : public AdsTest {
protected:
    void SetUp() override {
        AdsTest::SetUp();
        VelkoraNativeAdsController::resetForTests();
        VelkoraAppSettings::instance().setAppId(std::string(service::Service::kDemoAppId));
        data_->setNAdsPerPeriod(3);
        data_->setAdsPeriodSecs(600);
    }
    void TearDown() override {
        VelkoraNativeAdsController::resetForTests();
        AdsTest::TearDown();
    }
    VelkoraNativeAdsController& ads() { return VelkoraNativeAdsController::instance(); }
    bool fetchesEnded() {
        return waitFor([&] { return ads().adFetchers().empty(); });
    }
};

TEST_F(NativeAdsTest, ResetPullAndPrefetch) {
    // Ads switched off: the buffer empties and nothing is fetched.
    data_->setNAdsPerPeriod(0);
    ads().reset();
    EXPECT_TRUE(ads().adFetchers().empty());
    EXPECT_EQ(requestsTo("/adnet/ad"), 0u);

    // Empty: two fetchers; the first ad to the row, the second kept.
    data_->setNAdsPerPeriod(3);
    std::vector<VelkoraNativeAdPtr> served;
    ads().pullNativeAd([&](const VelkoraNativeAdPtr& ad) { served.push_back(ad); });
    EXPECT_EQ(ads().adFetchers().size(), 2u);
    ASSERT_TRUE(fetchesEnded());
    ASSERT_EQ(served.size(), 1u);
    EXPECT_EQ(ads().ads().size(), 1u);
    EXPECT_EQ(requestsTo("/adnet/ad"), 2u);
    auto asked = svc.requestsFor("/adnet/ad")[0].query;
    EXPECT_NE(asked.find("sdk_key=" + std::string(VelkoraAdNetwork::kSdkKey) +
                         "&package_name=native-velkora-demo"
                         "&format=html&size=BANNER&platform=ios&h"),
              std::string::npos)
        << asked;

    // The ad is what the store lookup says of the application the banner led to.
    const auto& ad = *served[0];
    std::set<std::string> names{"Starboard Sailing", "Pixel Garden", "Comet Courier"};
    EXPECT_TRUE(names.contains(ad.name().value_or(""))) << ad.name().value_or("");
    EXPECT_EQ(ad.url().value_or("").rfind("itms-apps://apps.example/app/id", 0), 0u);
    EXPECT_EQ(ad.icon().value_or("").rfind(svc.baseUrl() + "/appstore/artwork/", 0), 0u);
    EXPECT_NE(ad.icon().value_or("").find(".114x114-75.png"), std::string::npos);
    EXPECT_EQ(requestsTo("/appstore/lookup"), 2u);

    // One held: served at once, plus one prefetch.
    served.clear();
    ads().pullNativeAd([&](const VelkoraNativeAdPtr& a) { served.push_back(a); });
    EXPECT_EQ(served.size(), 1u);
    EXPECT_EQ(ads().adFetchers().size(), 1u);
    ASSERT_TRUE(fetchesEnded());
    EXPECT_EQ(served.size(), 1u);
    EXPECT_EQ(ads().ads().size(), 1u);

    data_->setAdsPeriodSecs(0);
    ads().reset();
    EXPECT_TRUE(ads().ads().empty());
}

struct FailureCase {
    const char* name;
    std::function<void(service::Service&)> fault;
    std::string domain;
    int64_t code;
    const char* line;
};

TEST_F(NativeAdsTest, EveryFailureEndsOnceReleasesItsFetcherAndPlacesNoRow) {
    using K = service::Fault::Kind;
    auto page = [](const std::string& html) {
        // A crafted page stands in the network's place; an empty one is a plain empty answer.
        return [html](service::Service& s) {
            s.addFault(html.empty() ? service::Fault{"/adnet/ad", K::HttpStatus, "", 200}
                                    : service::Fault{"/adnet/ad", K::NotJson, html});
        };
    };
    const std::string filler(120, ' ');
    const FailureCase cases[] = {
        {"empty page", page(""), "No Ad Content Received", 2, "Velkora - No Ad Content Received"},
        {"no link", page("<html><body><p>Nothing to follow here" + filler + "</p></body></html>"),
         "Failed parsing ad Url", 1, "Velkora - Ad response parsing error - cannot find href attribute"},
        {"a link to no store", nullptr, "Failed to extract ad app Id", 3, "Velkora - Erroneous App URL received"},
        {"lookup not JSON",
         [](service::Service& s) {
             s.addFault({"/appstore/lookup", K::NotJson, ""});
         },
         "Internal error", 4, "Velkora - internal error: cannot parse response"},
        {"resultCount 0",
         [](service::Service& s) {
             s.addFault({"/appstore/lookup", K::Answer, R"({"resultCount":0,"results":[]})"});
         },
         "App not found on App Store", 5, "Velkora - App not found !!"},
        {"no results",
         [](service::Service& s) {
             s.addFault({"/appstore/lookup", K::Answer, R"({"resultCount":1})"});
         },
         "App not found on App Store", 5, "Velkora - App not found !!"},
        {"lookup 404",
         [](service::Service& s) {
             s.addFault({"/appstore/lookup", K::HttpStatus, "", 404});
         },
         "UrlFetcher wrong responseCode", 404, "Velkora - Failed fetching app details: "},
        {"lookup dropped",
         [](service::Service& s) {
             s.addFault({"/appstore/lookup", K::Drop, "", 0, 0, -1});
         },
         "", 0, "Velkora - Failed fetching app details: "},
        {"page 500",
         [](service::Service& s) {
             s.addFault({"/adnet/ad", K::HttpStatus, "", 500});
         },
         "UrlFetcher wrong responseCode", 500, "Velkora - Failed loading web based ad banner: "},
        {"page dropped",
         [](service::Service& s) {
             s.addFault({"/adnet/ad", K::Drop, "", 0, 0, -1});
         },
         "", 0, "Velkora - Failed loading web based ad banner: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        svc.clearFaults();
        capture_->clear();
        if (c.fault) {
            c.fault(svc);
        } else {
            svc.addWebPage("plain", "Plain", "<p>Just a page</p>");
            page("<html><body><a href=\"" + svc.baseUrl() + "/pages/plain\">Look</a>" + filler + "</body></html>")(svc);
        }
        auto fetcher = VelkoraAdDetailsFetcher::create();
        int calls = 0;
        foundation::ErrorPtr error;
        VelkoraNativeAdPtr ad;
        fetcher->fetchAdDetails([&](const VelkoraNativeAdPtr& a, const foundation::ErrorPtr& e) {
            ++calls;
            ad = a;
            error = e;
        });
        // A lost lookup is sent again a few times, a second apart.
        ASSERT_TRUE(waitAdvancing([&] { return calls > 0; }, 30));
        loop().runUntil([] { return false; }, 0.2); // anything late would arrive now
        EXPECT_EQ(calls, 1);
        EXPECT_FALSE(ad);
        ASSERT_TRUE(error);
        if (!c.domain.empty()) {
            EXPECT_EQ(error->domain, c.domain);
            EXPECT_EQ(error->code, c.code);
        }
        EXPECT_TRUE(logged(c.line)) << c.line;
    }

    // Through the buffer: the row is not served, the line has no prefix, and the next pull starts afresh.
    svc.clearFaults();
    svc.addFault({"/adnet/ad", service::Fault::Kind::HttpStatus, "", 200, 0, 2});
    int rows = 0;
    ads().pullNativeAd([&](const VelkoraNativeAdPtr&) { ++rows; });
    ASSERT_TRUE(fetchesEnded());
    EXPECT_EQ(rows, 0);
    EXPECT_TRUE(ads().ads().empty());
    EXPECT_TRUE(logged("Failed fetching native ad app details with Error: No Ad Content Received)"));
    ads().pullNativeAd([&](const VelkoraNativeAdPtr&) { ++rows; });
    ASSERT_TRUE(fetchesEnded());
    EXPECT_EQ(rows, 1);
}

TEST(AdNetworkParsingTest, StoreIdsAndIconSizes) {
    struct IdCase {
        const char* url;
        std::optional<std::string> id;
    } ids[] = {
        {"itms-apps://apps.example/app/id123456789?mt=8", "123456789"},
        {"itms-apps://apps.example/app?id=123456789&x=1", "123456789"},
        {"itms-apps://apps.example/app/name", std::nullopt},
        {"", std::nullopt},
        {"itms-apps://apps.example/idabc", ""},
    };
    for (const auto& c : ids)
        EXPECT_EQ(VelkoraAdNetwork::extractAppId(c.url), c.id) << c.url;
    struct IconCase {
        const char* url;
        const char* fixed;
    } icons[] = {
        {"https://i.example/a/icon.jpg", "https://i.example/a/icon.114x114-75.png"},
        {"https://i.example/a/icon.jpeg", "https://i.example/a/icon.114x114-75.png"},
        {"https://i.example/a.png/icon.png", "https://i.example/a.png/icon.114x114-75.png"},
        {"https://i.example/a/icon", "https://i.example/a/icon"},
    };
    for (const auto& c : icons)
        EXPECT_EQ(VelkoraAdNetwork::fixImageUrlSize(c.url), c.fixed) << c.url;
    std::string page = "<a href=\"https://x.example/click\">" + std::string(100, 'x') + "</a>";
    EXPECT_EQ(VelkoraAdNetwork::parseAdUrl(page), "https://x.example/click");
    EXPECT_FALSE(VelkoraAdNetwork::parseAdUrl("<a href=\"short\">"));
    EXPECT_FALSE(VelkoraAdNetwork::parseAdUrl("<a href=\"" + std::string(120, 'x')));
    EXPECT_TRUE(VelkoraAdNetwork::isStoreAddress("itms-apps://a/id1"));
    EXPECT_FALSE(VelkoraAdNetwork::isStoreAddress("https://itms.example/id1"));
}

TEST_F(NativeAdsTest, RowReportsOnceInstallsAndLooks) {
    auto ad = std::make_shared<VelkoraNativeAd>();
    ad->setName(std::string("Comet Courier"));
    ad->setDescription(std::string("Deliver parcels between the planets before the comets pass."));
    ad->setIcon(picture("cometcourier"));
    ad->setUrl(std::string("itms-apps://apps.example/app/id600000006?mt=8"));
    auto cell = VelkoraChatRoomsTopicNativeAppAdCell::initFromNib();
    ASSERT_TRUE(cell);
    cell->updateData(ad, 42);
    cell->updateData(ad, 42);
    EXPECT_EQ(cell->titleLabel()->text(), "Suggested App");
    EXPECT_EQ(cell->installNowButton()->currentTitle(), "Install");
    EXPECT_EQ(cell->getHeight(), 96);

    cell->installNowClicked(nullptr);
    EXPECT_EQ(ui::Application::instance().openedURLs(), std::vector<std::string>{*ad->url()});
    auto events = VelkoraLogEventsManager::instance().takeLoggedEvents();
    EXPECT_TRUE(std::any_of(events.begin(), events.end(),
                            [](const std::string& e) { return e.find("blog;ad-clicked;42") != std::string::npos; }));
    EXPECT_EQ(reports("adImpressVisible", 1), std::vector<std::string>{"VENDOR2_none|4"});
    EXPECT_EQ(reports("adClick", 1), std::vector<std::string>{"VENDOR2_none|4"});

    ASSERT_TRUE(iconShown(*cell->appIconImageView()));
    window_ = ui::Window::createFullScreen();
    window_->setBackgroundColor(ui::Color::fromHex("#1E2126"));
    cell->setFrame({0, 60, 320, cell->getHeight()});
    window_->addSubview(cell);
    window_->makeKeyAndVisible();
    window_->layoutIfNeeded();
    expectLooksLike("native_ad_row");
}

TEST_F(NativeAdsTest, TheAppNameStaysReadableOnTheRowsDarkBackground) {
    auto fileColour = ui::Color::fromHex("#FFFFFF");
    struct Case {
        const char* what;
        int32_t leading;
        ui::Color expected;
    };
    for (auto c : {Case{"no leading colour", 0, fileColour}, Case{"a dark one", 0x202326, fileColour},
                   Case{"a light one", 0x3399FF, ui::Color::fromHex("#3399FF")},
                   Case{"white", 0xFFFFFF, ui::Color::fromHex("#FFFFFF")}}) {
        SCOPED_TRACE(c.what);
        data_->setLeadingColor(c.leading);
        auto cell = VelkoraChatRoomsTopicNativeAppAdCell::initFromNib();
        ASSERT_TRUE(cell);
        EXPECT_EQ(cell->appNameLabel()->textColor(), c.expected);
    }
}

} // namespace
