// The pop-in banner across configuration replies, and the host's swipe switch.
#include "server/ServerClientFixture.h"

#include "platform/ui/UiNotifications.h"
#include "session/VelkoraKitObjects.h"
#include "session/VelkoraScreenRegistry.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

// A banner that records what the session asks of it.
struct Banners {
    struct Banner : VelkoraAppBanner {
        explicit Banner(Banners& all) : all(all) {}
        void startSchedule() override { ++all.schedules; }
        void stopSchedule() override { ++all.stops; }
        void showNow() override { ++all.shown; }
        bool isDisabled() const override { return disabled; }
        void setIsDisabled(bool d) override { disabled = d; }
        Banners& all;
        bool disabled = false;
    };
    int made = 0, schedules = 0, stops = 0, shown = 0;
    std::shared_ptr<Banner> last;
};

constexpr const char* kBannerConfiguration =
    R"({"appName":"Test","bannerData":{"position":1,"showInterval":30,"entry":true,"entryInterval":5}})";

} // namespace

TEST_F(ServerClientTest, TheBannerStaysOffAndIsWatchedForOnceAcrossConfigurations) {
    VelkoraScreenRegistry::instance().resetForTests();
    Banners banners;
    VelkoraScreenRegistry::instance().registerObject<VelkoraAppBanner>(
        VelkoraKitObjectNames::kAppBanner, [&](const foundation::Value&) {
            ++banners.made;
            banners.last = std::make_shared<Banners::Banner>(banners);
            return banners.last;
        });
    svc.setAppConfiguration(kApp, kBannerConfiguration);
    auto& session = VelkoraAgentInternal::instance();
    // Switched off before any configuration: the banner is made off.
    session.disablePopInAds(true);
    ASSERT_EQ(banners.made, 1);
    EXPECT_FALSE(session.isPopInAdsEnabled());

    bool done = false;
    VelkoraAgentInternal::startSession(kApp, nullptr, 0, 2, [&] { done = true; });
    ASSERT_TRUE(waitFor([&] { return done; }));
    settle();
    // The new configuration's banner takes over the switch; the old one stops.
    EXPECT_EQ(banners.made, 2);
    EXPECT_TRUE(banners.last->isDisabled());
    EXPECT_EQ(banners.stops, 1);
    EXPECT_EQ(banners.schedules, 1);

    // Another configuration arrives (the service's changed): still one watch over the host's navigation.
    svc.setAppConfiguration(kApp, kBannerConfiguration);
    foundation::NotificationCenter::defaultCenter().post("UIApplicationWillEnterForegroundNotification");
    ASSERT_TRUE(waitForRequests("getAppData", 2));
    EXPECT_EQ(banners.made, 3);
    EXPECT_TRUE(banners.last->isDisabled());
    ui::postNotification(ui::kNavigationControllerDidShowViewControllerNotification);
    loop().advance(5.1);
    EXPECT_EQ(banners.shown, 1);
}

TEST_F(ServerClientTest, SwipeAnswersWhetherItIsEnabled) {
    auto& session = VelkoraAgentInternal::instance();
    EXPECT_TRUE(session.isSwipeEnabled());
    session.pauseGestureHandler();
    EXPECT_FALSE(session.isSwipeEnabled());
    EXPECT_TRUE(session.userPausedSwipe());
    session.resumeGestureHandler();
    EXPECT_TRUE(session.isSwipeEnabled());
}
