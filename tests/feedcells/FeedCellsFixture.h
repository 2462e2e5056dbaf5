// The feed's controls against velkora-service: a fresh kit and ui for each test, the feed's classes and
// interface files, the test clock, and helpers that run a request through the service's faults.
#pragma once

#include "BuildPaths.h"
#include "data/VelkoraUtils.h"
#include "feed/VelkoraFeedClasses.h"
#include "feed/VelkoraLikeButton.h"
#include "platform/foundation/FileIO.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/TouchRouter.h"
#include "server/ServerClientFixture.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"
#include "session/VelkoraScreenRegistry.h"
#include "shell/VelkoraDefaultNotificationPopupView.h"
#include "session/VelkoraStyleSheetCustomizer.h"

namespace velkora::testing {

class FeedCellsTest : public ServerClientTest {
protected:
    void SetUp() override {
        ServerClientTest::SetUp();
        ui::Application::instance().resetForTests();
        ui::InterfaceLoader::instance().reset();
        ui::Animator::reset();
        ui::TouchRouter::instance().reset();
        VelkoraDynamicFrameworkLoader::resetCachesForTests();
        VelkoraDynamicFrameworkLoader::setFrameworkPathTemplate(VELKORA_BUILD_FRAMEWORK_TEMPLATE);
        VelkoraScreenRegistry::instance().resetForTests();
        VelkoraLikeButton::resetForTests();
        registerVelkoraFeedClasses();
    }
    void TearDown() override {
        VelkoraLikeButton::resetForTests();
        VelkoraScreenRegistry::instance().resetForTests();
        ui::TouchRouter::instance().reset();
        ui::Animator::reset();
        ui::Application::instance().resetForTests();
        ServerClientTest::TearDown();
    }

    // The session object started for a new user, as a host starts it, up to its completion: ready, with
    // the application's configuration and the user's data.
    void startReady() {
        auto done = std::make_shared<bool>(false);
        VelkoraAgentInternal::startSession(kApp, nullptr, 0, 2, [done] { *done = true; });
        ASSERT_TRUE(waitFor([&] { return *done; }));
        ASSERT_TRUE(VelkoraAgentInternal::instance().isVelkoraReady());
        ASSERT_TRUE(settle());
    }
    std::string myUserId() const { return agent().userId().value_or(""); }
    std::string likeKey(const std::string& object) const { return "LIKE-" + std::string(kApp) + "," + object; }
    bool recordHoldsKey(const std::string& key) const {
        auto info = VelkoraAgentInternal::instance().getUserInfo();
        return info && info->objectsMeLiked() && info->objectsMeLiked()->count(key);
    }
    // The local user record as written to its file.
    std::string recordFileText() const {
        return foundation::readFile(VelkoraUtils::dataFilePath(VelkoraAgentInternal::kUserInfoFile)).value_or("");
    }
    // Runs what is in flight to its end: a dropped connection is sent again five times, a second apart.
    void runThrough() {
        const std::string retrying = "Velkora - URLFetcher: Connection Failed";
        for (int attempt = 1; attempt <= 7; ++attempt) {
            ASSERT_TRUE(waitFor([&] {
                return agent().workingProtocolsWrappers().empty() ||
                       capture_->count(retrying) >= static_cast<size_t>(attempt);
            }));
            if (agent().workingProtocolsWrappers().empty()) break;
            loop().advance(1.0);
        }
        ASSERT_TRUE(settle());
    }
    // Notices shown: the windows above the host's that hold a notice.
    static size_t noticesShown() {
        size_t n = 0;
        for (const auto& w : ui::Application::instance().windows())
            for (const auto& v : w->subviews())
                if (dynamic_cast<VelkoraDefaultNotificationPopupView*>(v.get())) ++n;
        return n;
    }
};

} // namespace velkora::testing
