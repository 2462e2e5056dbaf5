// A host screen's answer to whether promoted applications may pop in over it, given through the public
// headers, decides the entry banner over the configuration's switch.
#include "HostFixture.h"

#include "ads/VelkoraAdsScreens.h"
#include "session/VelkoraKitObjects.h"
#include "velkora/VelkoraAds.h"
#include "velkora/VelkoraHost.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

struct Answer : VelkoraPopinAdsAnswer {
    explicit Answer(bool yes) : yes(yes) {}
    bool velkoraShouldPopinAds() const override { return yes; }
    bool yes;
};

// Counts the banners shown; the rest of what a banner does is not looked at here.
struct ShownBanner : VelkoraAppBanner {
    explicit ShownBanner(int& shown) : shown(shown) {}
    void startSchedule() override {}
    void stopSchedule() override {}
    void showNow() override { ++shown; }
    bool isDisabled() const override { return false; }
    void setIsDisabled(bool) override {}
    int& shown;
};

} // namespace

TEST_F(HostTest, TheRootScreensAnswerDecidesTheEntryBanner) {
    struct Case {
        const char* name;
        bool entryConfigured;
        std::optional<bool> answer;
        int shown;
    };
    const Case cases[] = {
        {"configured, no answer", true, std::nullopt, 1},
        {"configured, answered no", true, false, 0},
        {"not configured, answered yes", false, true, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        svc.setAppConfiguration(kApp,
                                std::string(R"({"appName":"Test","bannerData":{"position":1,"showInterval":30,)") +
                                    R"("entry":)" + (c.entryConfigured ? "true" : "false") + R"(,"entryInterval":5}})");
        auto screen = c.answer ? VelkoraHostScreen::create("Home", std::make_shared<Answer>(*c.answer))
                               : VelkoraHostScreen::create("Home");
        auto window = VelkoraWindow::create();
        window->setRootScreen(screen);
        window->makeKeyAndVisible();
        Velkora::addSidebar(window, true);
        // After the kit's first call, which registers the kit's own objects.
        int shown = 0;
        VelkoraScreenRegistry::instance().registerObject<VelkoraAppBanner>(
            VelkoraKitObjectNames::kAppBanner,
            [&](const foundation::Value&) { return std::make_shared<ShownBanner>(shown); });
        // The start asks the configuration it holds: the second start holds the service's.
        startAndComplete();
        loop().advance(5.1);
        EXPECT_EQ(shown, 0);
        startAndComplete();
        loop().advance(5.1);
        EXPECT_EQ(shown, c.shown);
        registerAdsScreens(); // the kit's own banner again
    }
}
