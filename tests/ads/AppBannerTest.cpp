// The pop-in banner of promoted applications: its schedule, rotation and closing on the test clock, the
// slide in every orientation, taps, the ad network's page and the interstitial, with the reports the
// service receives.
#include "AdsFixture.h"
#include "ads/VelkoraAppBannerView.h"
#include "platform/ui/Keyboard.h"
#include "shell/VelkoraLazyImageView.h"

#include <numbers>

using namespace velkora;
using namespace velkora::testing;

namespace {

class AppBannerTest : public AdsTest {
protected:
    std::shared_ptr<VelkoraAppBannerView> makeBanner(const BannerSetup& s) {
        useBanner(s);
        auto banner = VelkoraAppBannerView::initFromNib();
        EXPECT_TRUE(banner);
        return banner;
    }
    static std::string shownName(const VelkoraAppBannerView& b) {
        return b.appDeal() ? b.appDeal()->name().value_or("") : "";
    }
    // Until the deal's icon has arrived, so the picture shows it.
    bool iconLoaded(VelkoraAppBannerView& b) { return b.appImageView() && iconShown(*b.appImageView()); }
    std::string id(const VelkoraAppDealPtr& d) { return std::to_string(d->appDealId()); }
};

TEST_F(AppBannerTest, OwnDealsSlideInRotateCloseAndWrap) {
    auto deals = threeDeals();
    ASSERT_EQ(deals.size(), 3u);
    showHostWindow();
    auto banner = makeBanner({0, 1, 60, 5, 12});
    banner->startSchedule();
    // Its views are made when it first shows, not when it is made (at every start).
    EXPECT_FALSE(banner->isInterfaceLoaded());

    loop().advance(60);
    EXPECT_TRUE(banner->isInterfaceLoaded());
    ASSERT_TRUE(banner->alertWindow());
    EXPECT_EQ(banner->alertWindow()->windowLevel(), ui::WindowLevel::StatusBar);
    EXPECT_EQ(shownName(*banner), "Starboard Sailing");
    EXPECT_TRUE(ui::Animator::isAnimating(*banner->alertWindow()));
    loop().advance(0.2);
    EXPECT_DOUBLE_EQ(banner->alertWindow()->frame().origin.y, 0);
    EXPECT_DOUBLE_EQ(banner->alertWindow()->frame().origin.x, 0);

    loop().advance(5);
    EXPECT_EQ(shownName(*banner), "Pixel Garden");
    loop().advance(5);
    EXPECT_EQ(shownName(*banner), "Comet Courier");
    loop().advance(2); // 12 s after the slide-in: it slides out
    EXPECT_TRUE(banner->duringClosure());
    loop().advance(0.2);
    EXPECT_FALSE(banner->alertWindow());
    EXPECT_FALSE(banner->bannerChangeTimer());

    // The next tick goes on after the last deal shown, which wraps to the first.
    loop().advance(60 - 12.4);
    ASSERT_TRUE(banner->alertWindow());
    EXPECT_EQ(shownName(*banner), "Starboard Sailing");
    // Reports travel side by side and may reach the service in any order.
    auto seen = reports("adImpress", 4);
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"VENDOR0_" + id(deals[0]) + "|2|1", "VENDOR0_" + id(deals[0]) + "|2|1",
                                              "VENDOR0_" + id(deals[1]) + "|2|1", "VENDOR0_" + id(deals[2]) + "|2|1"}));
}

TEST_F(AppBannerTest, PicturesAtTheTopAndTheBottom) {
    auto deals = threeDeals();
    // The exchange's deals come with a description; the service's own come without.
    auto described = std::make_shared<VelkoraAppDeal>(*deals[0]);
    described->setDescription(std::string("Race the tides around twelve islands."));
    VelkoraAppDealsRepository::instance().setAppDeals({described, deals[1], deals[2]});
    showHostWindow();
    auto top = makeBanner({0, 1, 60, 0, 0});
    top->showNow();
    loop().advance(0.3);
    ASSERT_TRUE(iconLoaded(*top));
    EXPECT_FALSE(top->appDescriptionLabel()->isHidden());
    EXPECT_TRUE(top->appCategoryLabel()->isHidden());
    expectScreenLooksLike("banner_top_described");
    top->closeBannerTapped(nullptr);

    // The third deal: no description, so category and developer; three and a half stars.
    auto bottom = makeBanner({0, 2, 60, 0, 0});
    for (int i = 0; i < 3; ++i) {
        bottom->showNow();
        loop().advance(0.3);
    }
    EXPECT_EQ(shownName(*bottom), "Comet Courier");
    ASSERT_TRUE(iconLoaded(*bottom));
    EXPECT_TRUE(bottom->appDescriptionLabel()->isHidden());
    EXPECT_FALSE(bottom->appCategoryLabel()->isHidden());
    EXPECT_DOUBLE_EQ(bottom->alertWindow()->frame().origin.y, 568 - 64);
    expectScreenLooksLike("banner_bottom_category_developer");
}

struct TimingCase {
    const char* name;
    BannerSetup setup;
    // What to do after the first slide-in, and what it should leave.
    std::function<void(AppBannerTest&, VelkoraAppBannerView&)> check;
};

TEST_F(AppBannerTest, TimingTable) {
    threeDeals();
    showHostWindow();
    const TimingCase cases[] = {
        {"delay not longer than the change: no rotation",
         {0, 1, 60, 5, 4},
         [](AppBannerTest&, VelkoraAppBannerView& b) {
             EXPECT_FALSE(b.bannerChangeTimer());
             EXPECT_TRUE(b.bannerDelayTimer());
         }},
        {"no delay: it stays and rotates",
         {0, 1, 60, 5, 0},
         [](AppBannerTest& t, VelkoraAppBannerView& b) {
             EXPECT_FALSE(b.bannerDelayTimer());
             t.loop().advance(30);
             EXPECT_TRUE(b.alertWindow());
             EXPECT_TRUE(b.bannerChangeTimer());
         }},
        {"no swap while sliding out",
         {0, 1, 60, 5, 10},
         [](AppBannerTest& t, VelkoraAppBannerView& b) {
             t.loop().advance(10); // the close timer and the second rotation come due together
             std::string shown = shownName(b);
             t.loop().advance(0.1);
             EXPECT_TRUE(b.duringClosure());
             EXPECT_EQ(shownName(b), shown);
             t.loop().advance(0.2);
             EXPECT_FALSE(b.alertWindow());
         }},
        {"a tick during the slide-out keeps the new banner",
         {0, 1, 60, 0, 3},
         [](AppBannerTest& t, VelkoraAppBannerView& b) {
             t.loop().advance(3.1);
             ASSERT_TRUE(b.duringClosure());
             b.showNow();
             auto fresh = b.alertWindow();
             t.loop().advance(0.3);
             EXPECT_EQ(b.alertWindow(), fresh);
             EXPECT_FALSE(fresh->isHidden());
             EXPECT_TRUE(b.bannerDelayTimer());
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto banner = makeBanner(c.setup);
        banner->showNow();
        loop().advance(0.2);
        c.check(*this, *banner);
        banner->closeBannerTapped(nullptr);
        loop().advance(1);
    }
}

TEST_F(AppBannerTest, DisabledKeyboardAndNoKeyWindow) {
    threeDeals();
    auto banner = makeBanner({0, 2, 60, 0, 0});
    banner->startSchedule();
    // No key window: nothing shows and nothing is reported.
    loop().advance(60);
    EXPECT_FALSE(banner->alertWindow());

    showHostWindow();
    banner->setIsDisabled(true);
    loop().advance(60);
    EXPECT_FALSE(banner->alertWindow());
    banner->setIsDisabled(false);
    loop().advance(60);
    ASSERT_TRUE(banner->alertWindow());

    // A keyboard removes a bottom banner until it hides.
    foundation::NotificationCenter::defaultCenter().post(ui::kKeyboardWillShowNotification);
    EXPECT_FALSE(banner->alertWindow());
    loop().advance(60);
    EXPECT_FALSE(banner->alertWindow());
    foundation::NotificationCenter::defaultCenter().post(ui::kKeyboardWillHideNotification);
    loop().advance(60);
    EXPECT_TRUE(banner->alertWindow());

    // A top banner stays.
    useBanner({0, 1, 60, 0, 0});
    banner->showNow();
    foundation::NotificationCenter::defaultCenter().post(ui::kKeyboardWillShowNotification);
    EXPECT_TRUE(banner->alertWindow());
    EXPECT_EQ(reports("adImpress", 3).size(), 3u);
}

TEST_F(AppBannerTest, EntersFromTheUsersEdgeInEveryOrientation) {
    threeDeals();
    showHostWindow();
    for (int location : {1, 2})
        for (int o = 1; o <= 4; ++o) {
            SCOPED_TRACE("location " + std::to_string(location) + ", orientation " + std::to_string(o));
            ui::Application::instance().setStatusBarOrientation(o);
            auto banner = makeBanner({0, location, 60, 0, 0});
            banner->showNow();
            auto window = banner->alertWindow();
            ASSERT_TRUE(window);
            loop().advance(0.2);
            ui::Rect end = window->frame();
            // The user's top edge is where the status bar lies; a top banner ends against it, a bottom
            // banner against the opposite edge, and each starts just beyond its edge.
            ui::Rect bar = ui::Application::instance().statusBarFrame();
            ui::Rect screen = ui::Screen::main().bounds();
            bool barLeft = bar.size.height > bar.size.width && bar.origin.x == 0;
            bool barTop = bar.size.width > bar.size.height && bar.origin.y == 0;
            bool towardsBar = location == 1;
            double slid = 64;
            if (o == 1 || o == 2) {
                bool atTop = (o == 1) == towardsBar;
                EXPECT_DOUBLE_EQ(end.origin.y, atTop ? 0 : screen.size.height - slid);
                EXPECT_DOUBLE_EQ(end.size.width, 320);
                EXPECT_EQ(barTop, o == 1);
            } else {
                bool atLeft = (o == 4) == towardsBar;
                EXPECT_DOUBLE_EQ(end.origin.x, atLeft ? 0 : screen.size.width - slid);
                EXPECT_DOUBLE_EQ(end.size.height, 320);
                EXPECT_DOUBLE_EQ(end.origin.y, (screen.size.height - 320) / 2);
                EXPECT_EQ(barLeft, o == 4);
            }
            double angle = std::atan2(window->transform().b, window->transform().a);
            const double expected[] = {0, 0, std::numbers::pi, std::numbers::pi / 2, -std::numbers::pi / 2};
            EXPECT_NEAR(std::remainder(angle - expected[o], 2 * std::numbers::pi), 0, 1e-9);
            banner->closeBannerTapped(nullptr);
        }
    ui::Application::instance().setStatusBarOrientation(1);
}

TEST_F(AppBannerTest, DealTapClosesReportsOnceAndOpensTheStoreCloseSendsNothing) {
    auto deals = threeDeals();
    showHostWindow();
    auto banner = makeBanner({0, 1, 60, 5, 12});
    banner->showNow();
    loop().advance(0.2);
    banner->appBannerTapped(nullptr);
    EXPECT_FALSE(banner->alertWindow());
    EXPECT_FALSE(banner->bannerDelayTimer());
    EXPECT_EQ(ui::Application::instance().openedURLs(), std::vector<std::string>{"https://apps.example/starboard"});
    banner->showNow();
    loop().advance(0.2);
    banner->closeBannerTapped(nullptr);
    EXPECT_FALSE(banner->alertWindow());
    EXPECT_EQ(reports("adImpress", 2).size(), 2u);
    EXPECT_EQ(reports("adClick"), std::vector<std::string>{"VENDOR0_" + id(deals[0]) + "|2|1"});
}

TEST_F(AppBannerTest, ExchangeDealReportsItsNameAndCallsItsTrackingAddressPerImpression) {
    std::string tracking = svc.addPicture("track/orbit", "seen", "text/plain");
    auto deal = std::make_shared<VelkoraAppDeal>();
    deal->setName(std::string("Orbit Run"));
    deal->setUrl(std::string("https://apps.example/orbit"));
    deal->setImpressionUrl(tracking);
    VelkoraAppDealsRepository::instance().setAppDeals({deal});
    showHostWindow();
    auto banner = makeBanner({0, 1, 60, 0, 0});
    banner->showNow();
    loop().advance(0.2);
    banner->showNow();
    loop().advance(0.2);
    EXPECT_TRUE(waitFor([&] { return requestsTo("/pictures/track/orbit") == 2; }));
    EXPECT_EQ(reports("adImpress", 2), (std::vector<std::string>{"VENDOR0_Orbit Run|2|1", "VENDOR0_Orbit Run|2|1"}));
}

TEST_F(AppBannerTest, AdNetworkPageShowsOnceReloadsInPlaceAndItsLinkIsClickedThroughTheRedirect) {
    VelkoraAppSettings::instance().setAppId(std::string(service::Service::kDemoAppId));
    showHostWindow();
    auto banner = makeBanner({2, 1, 60, 5, 0});
    banner->showNow();
    ASSERT_TRUE(waitFor([&] { return banner->alertWindow() != nullptr; }));
    auto window = banner->alertWindow();
    loop().advance(0.2);
    ASSERT_TRUE(banner->bannerChangeTimer());
    // A rotation reloads the page in the same window.
    loop().advance(5);
    ASSERT_TRUE(waitFor([&] { return requestsTo("/adnet/ad") == 2 && !banner->webView()->isLoading(); }));
    EXPECT_EQ(banner->alertWindow(), window);
    EXPECT_EQ(reports("adImpress", 2), (std::vector<std::string>{"VENDOR2_none|2|1", "VENDOR2_none|2|1"}));

    // The person taps the page's link: the store hop after the redirect is the click.
    auto rects = banner->webView()->rectsForLink(0);
    ASSERT_FALSE(rects.empty());
    ASSERT_TRUE(banner->webView()->tapAt(rects[0].center()));
    ASSERT_TRUE(waitFor([&] { return !ui::Application::instance().openedURLs().empty(); }));
    EXPECT_EQ(ui::Application::instance().openedURLs()[0].rfind("itms-apps://apps.example/app/id", 0), 0u);
    EXPECT_FALSE(banner->alertWindow());
    EXPECT_EQ(reports("adClick", 1), std::vector<std::string>{"VENDOR2_none|2|1"});
}

TEST_F(AppBannerTest, AdNetworkFailuresShowNothingAndTheInterstitialFillsTheScreen) {
    VelkoraAppSettings::instance().setAppId(std::string(service::Service::kDemoAppId));
    showHostWindow();
    using K = service::Fault::Kind;
    for (auto fault : {service::Fault{"/adnet/ad", K::HttpStatus, "", 200},
                       service::Fault{"/adnet/ad", K::HttpStatus, "", 500, 0, -1},
                       service::Fault{"/adnet/ad", K::Drop, "", 0, 0, -1}}) {
        svc.clearFaults();
        svc.addFault(fault);
        auto banner = makeBanner({2, 1, 60, 5, 0});
        size_t asked = requestsTo("/adnet/ad");
        banner->showNow();
        ASSERT_TRUE(waitFor([&] { return requestsTo("/adnet/ad") > asked && !banner->webView()->isLoading(); }));
        loop().advance(0.5);
        EXPECT_FALSE(banner->alertWindow());
    }
    EXPECT_TRUE(logged("Velkora - No Ad Content Received"));
    svc.clearFaults();

    // A page of the network's without addresses in its text, so the picture is the same on every port.
    svc.addFault({"/adnet/ad", K::NotJson,
                  "<html><body><h1>Pixel Garden</h1><p>Grow a tiny garden one pixel at a time. Free for a "
                  "limited time only.</p><a href=\"https://ads.example/click?id=2\">Install now</a></body></html>"});
    auto full = makeBanner({2, 4, 60, 0, 8});
    ASSERT_TRUE(full->isFullView());
    full->showNow();
    ASSERT_TRUE(waitFor([&] { return full->alertWindow() != nullptr; }));
    EXPECT_EQ(full->alertWindow()->windowLevel(), ui::WindowLevel::Alert);
    EXPECT_EQ(full->alertWindow()->frame(), ui::Screen::main().bounds());
    EXPECT_NE(svc.requestsFor("/adnet/ad").back().query.find("size=INTER"), std::string::npos);
    EXPECT_EQ(reports("adImpress", 1), std::vector<std::string>{"VENDOR2_none|2|4"});
    loop().advance(0.2);
    // The close button has a band of its own above the page: it covers none of the ad's text or links.
    const ui::Rect close = full->closeButton()->convertRectToView(full->closeButton()->bounds(), nullptr);
    const ui::Rect page = full->webView()->convertRectToView(full->webView()->bounds(), nullptr);
    EXPECT_GE(page.minY(), close.maxY());
    EXPECT_EQ(page.maxY(), ui::Screen::main().bounds().maxY());
    expectScreenLooksLike("interstitial");
    loop().advance(8);
    EXPECT_FALSE(full->alertWindow());
}

} // namespace
