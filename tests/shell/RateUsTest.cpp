// Rate-us: the store id read from rating addresses, and the review page opened for the rating address
// the service serves.
#include <fstream>
#include <sstream>

#include "BuildPaths.h"
#include "platform/services/OutsideEndpoints.h"
#include "platform/ui/Application.h"
#include "server/ServerClientFixture.h"
#include "server/utils/VelkoraKXJsonParser.h"
#include "shell/VelkoraRateUsUtility.h"

using namespace velkora;

namespace {

class RateUsTest : public velkora::testing::ServerClientTest {
protected:
    void SetUp() override {
        ServerClientTest::SetUp();
        ui::Application::instance().resetForTests();
        services::OutsideEndpoints::reset();
    }
    void TearDown() override {
        ui::Application::instance().resetForTests();
        services::OutsideEndpoints::reset();
        ServerClientTest::TearDown();
    }
    // The rating address of the service's demo application.
    static std::string seededRateUrl() {
        std::ifstream in(std::string(VELKORA_SERVICE_SEED_DIR) + "/demo.json");
        std::stringstream text;
        text << in.rdbuf();
        auto seed = VelkoraKXJsonParser{}.objectWithString(text.str());
        const foundation::Value* apps = seed ? seed->get("apps") : nullptr;
        if (!apps || !apps->asArray() || apps->asArray()->empty()) return {};
        const foundation::Value* config = (*apps->asArray())[0].get("config");
        const foundation::Value* url = config ? config->get("rateUrl") : nullptr;
        return url && url->asString() ? *url->asString() : std::string();
    }
};

TEST_F(RateUsTest, TheIdIsTheDigitsAfterTheFirstIdMarkWhenThereAreEnoughAndTheyFit) {
    const std::string tooSmall = "Velkora - id is too small. Cannot find appId for ";
    struct Case {
        std::string url;
        int32_t id;
        std::string logged; // empty: nothing
    } cases[] = {
        {"https://apps.example/app/velkora/id284882215?mt=8", 284882215, ""},
        {"https://apps.example/id123456", 123456, ""},
        {"https://apps.example/app/id12345", 0, tooSmall},
        {"https://apps.example/app/id?mt=8", 0, tooSmall},
        {"https://apps.example/app/velkora/rate", 0, "Velkora - Unknown idRange. cannot find appId for "},
        // Only the first mark counts, even when a later one carries a good id.
        {"https://apps.example/idea/id284882215", 0, tooSmall},
        {"https://apps.example/id2147483647", 2147483647, ""},
        {"https://apps.example/id2147483648", 0, "Velkora - id is too large. Cannot find appId for "},
        {"https://apps.example/id99999999999999999999999", 0, "Velkora - id is too large. Cannot find appId for "},
    };
    for (const auto& c : cases) {
        foundation::Log::Capture capture;
        EXPECT_EQ(VelkoraRateUsUtility::getAppIdFromUrl(c.url), c.id) << c.url;
        if (c.logged.empty())
            EXPECT_TRUE(capture.lines().empty()) << c.url;
        else
            EXPECT_EQ(capture.lines(), std::vector<std::string>{c.logged + c.url}) << c.url;
    }
}

TEST_F(RateUsTest, TheServedRatingAddressOpensOneReviewPageOnTheStore) {
    const std::string rateUrl = seededRateUrl();
    ASSERT_NE(rateUrl.find("/id"), std::string::npos) << rateUrl;
    svc.setAppConfiguration(kApp, R"({"appName":"Test","rateUrl":")" + rateUrl + R"("})");
    VelkoraAgentInternal::instance().initAppData(kApp);
    agent().setAppId(std::string(kApp));
    auto caller = std::make_shared<velkora::testing::Caller>();
    VelkoraServerApi::getAppData(velkora::testing::Caller::of(caller));
    ASSERT_TRUE(waitFor([&] { return caller->answers.size() == 1; }));
    ASSERT_EQ(VelkoraAppSettings::rateUrl(), rateUrl);

    auto& app = ui::Application::instance();
    services::OutsideEndpoints::setBase(services::OutsideEndpoints::Service::Store, "https://store.example:9443");
    const int32_t id = VelkoraRateUsUtility::getAppIdFromUrl(*VelkoraAppSettings::rateUrl());
    ASSERT_NE(id, 0);
    VelkoraRateUsUtility::rateApp(id, nullptr);
    EXPECT_EQ(app.openedURLs(), std::vector<std::string>{"https://store.example:9443/app/id" + std::to_string(id) +
                                                         "?action=write-review"});

    // Nothing for no id; only the log line where the store cannot be opened.
    VelkoraRateUsUtility::rateApp(0, nullptr);
    EXPECT_EQ(app.openedURLs().size(), 1u);
    app.setCanOpenScheme("https", false);
    foundation::Log::Capture capture;
    VelkoraRateUsUtility::rateApp(id, nullptr);
    EXPECT_EQ(app.openedURLs().size(), 1u);
    EXPECT_TRUE(capture.contains("Velkora - Accessing the iTunes App Store is not supported on the iOS simulator. "
                                 "Please check on the device."));
}

} // namespace
