// The alert a request shows when it is parked for want of a network while the sidebar shows: installed
// by the session's start, drawn by the platform's alert, and the request sent once the network is back.
#include <cstdlib>
#include <filesystem>

#include "BuildPaths.h"
#include "CommandTestSupport.h"
#include "platform/foundation/NetworkReachability.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Image.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/Window.h"
#include "server/utils/VelkoraReachability.h"
#include "server/utils/url_fetcher/VelkoraUrlFetcher.h"

using namespace velkora;
using namespace velkora::testing;
namespace fs = std::filesystem;

namespace {

class OfflineAlertTest : public CommandTest {
protected:
    void SetUp() override {
        CommandTest::SetUp();
        ui::Application::instance().resetForTests();
        foundation::Bundle::main().reset(); // the kit's own strings table
        provider_ = std::make_shared<foundation::TestReachabilityProvider>();
        foundation::NetworkReachability::setProvider(provider_);
        VelkoraReachabilityManager::resetForTests();
    }
    void TearDown() override {
        VelkoraUrlFetcher::setMenuVisibleProvider(nullptr);
        VelkoraUrlFetcher::setAlertPresenter(nullptr);
        CommandTest::TearDown();
        VelkoraReachabilityManager::resetForTests();
        foundation::NetworkReachability::setProvider(nullptr);
        ui::Application::instance().resetForTests();
    }
    // The alert on screen, if any.
    static std::shared_ptr<ui::AlertView> shownAlert() {
        for (auto& window : ui::Application::instance().windows())
            for (auto& view : window->subviews())
                if (auto alert = std::dynamic_pointer_cast<ui::AlertView>(view); alert && alert->isVisible())
                    return alert;
        return nullptr;
    }
    void networkGoes(bool reachable) {
        provider_->setReachable(reachable);
        loop().advance(0);
    }
    std::shared_ptr<foundation::TestReachabilityProvider> provider_;
};

fs::path dataDir() {
    return fs::path(VELKORA_TEST_DATA_DIR);
}

} // namespace

TEST_F(OfflineAlertTest, AParkedRequestAlertsOnlyWhileTheMenuShowsAndIsSentWhenTheNetworkIsBack) {
    startNewUser();
    VelkoraServerApi::pause();
    networkGoes(false);

    // Until the sidebar says otherwise the menu is not showing: parked without an alert.
    auto hidden = std::make_shared<Caller>();
    VelkoraServerApi::getFeed(Caller::of(hidden));
    EXPECT_TRUE(logged("Velkora - No internet connection... alerting on request"));
    EXPECT_FALSE(shownAlert());

    bool menuVisible = true;
    VelkoraUrlFetcher::setMenuVisibleProvider([&] { return menuVisible; });
    auto showing = std::make_shared<Caller>();
    VelkoraServerApi::getChats(Caller::of(showing));
    auto alert = shownAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "Error");
    EXPECT_EQ(alert->message(),
              "There is no network connection. What you asked for will be sent once the network is back.");
    ASSERT_EQ(alert->numberOfButtons(), 1);
    EXPECT_EQ(alert->buttonTitleAtIndex(0), "OK");

    auto shot = ui::Snapshot::imageOfScreen(1.0);
    ASSERT_TRUE(shot);
    fs::path reference = dataDir() / "offline_alert.png";
    if (std::getenv("VELKORA_UPDATE_SNAPSHOTS")) {
        fs::create_directories(dataDir());
        ASSERT_TRUE(shot->writePng(reference.string()));
    }
    auto expected = ui::Image::fromFile(reference.string());
    ASSERT_TRUE(expected) << "missing reference " << reference;
    ASSERT_EQ(expected->pixelWidth(), shot->pixelWidth());
    ASSERT_EQ(expected->pixelHeight(), shot->pixelHeight());
    long differing = 0;
    for (int y = 0; y < shot->pixelHeight(); ++y)
        for (int x = 0; x < shot->pixelWidth(); ++x)
            if (expected->pixelAt(x, y) != shot->pixelAt(x, y)) ++differing;
    EXPECT_LT(double(differing) / (shot->pixelWidth() * shot->pixelHeight()), 0.01);

    alert->tapButtonAtIndex(0);
    EXPECT_FALSE(shownAlert());
    EXPECT_TRUE(hidden->answers.empty() && showing->answers.empty());

    // Both parked requests go out once the network is back, and are answered once.
    networkGoes(true);
    ASSERT_TRUE(waitFor([&] { return hidden->answers.size() == 1 && showing->answers.size() == 1; }));
    EXPECT_TRUE(settle());
    EXPECT_TRUE(hidden->errors.empty() && showing->errors.empty());
    EXPECT_EQ(count("getFeed2"), 1u);
    EXPECT_EQ(count("getChats"), 1u);
}
