// The leaderboard, the question-suggestion form and the feed's quiz action against velkora-service's demo
// application (it has quizzes): a session for a new user of it, scores placed by other users at chosen
// times of the service's clock, and the screens shown in a host window on the test clock.
#pragma once

#include <ctime>

#include "platform/foundation/DateFormatter.h"
#include "profiles/ProfilesFixture.h"
#include "server/StoreFixture.h"

namespace velkora::testing {

class LeaderboardScreensTest : public ScreenFixture<StoreTest> {
protected:
    using StoreTest::svc;

    void SetUp() override {
        ScreenFixture<StoreTest>::SetUp();
        // Scores are grouped as the device's locale groups them.
        foundation::DateFormatter::setCurrentLocaleIdentifier("en_US");
    }
    void TearDown() override {
        foundation::DateFormatter::setCurrentLocaleIdentifier("");
        svc.setClockOffset(0);
        ScreenFixture<StoreTest>::TearDown();
    }

    // A new user of the demo application whose data the kit holds; with a name, signed in.
    void startUser(const std::string& firstName = "Vera", const std::string& lastName = "Viewer") {
        startDemoUser();
        loadMyData();
        if (firstName.empty() && lastName.empty()) return;
        auto me = VelkoraAgentInternal::instance().velkoraUser();
        me->setFirstName(firstName);
        me->setLastName(lastName);
        auto caller = std::make_shared<Caller>();
        VelkoraServerApi::setUserData(me, Caller::of(caller));
        ASSERT_TRUE(waitFor([&] { return !caller->answers.empty() || !caller->errors.empty(); }));
        ASSERT_TRUE(settle());
    }

    // The service's clock stands on a Wednesday at noon, local time, so today, this week and all time differ.
    void clockOnWednesdayNoon() {
        struct tm noon {};
        noon.tm_year = 2026 - 1900;
        noon.tm_mon = 11;
        noon.tm_mday = 9;
        noon.tm_hour = 12;
        noon.tm_isdst = -1;
        wednesday_ = static_cast<double>(mktime(&noon));
        svc.setClockOffset(wednesday_ - wallNow());
    }

    // A score of a user in a level, as setScore stores it `secondsAgo` before the service's clock.
    void score(const std::string& userId, int64_t points, double secondsAgo = 0, const std::string& level = "") {
        const double offset = wednesday_ > 0 ? wednesday_ - wallNow() : 0;
        svc.setClockOffset(offset - secondsAgo);
        const std::string reply =
            serviceGet("command=setScore&appId=" + std::string(kDemo) + "&userId=" + userId + "&level=" + level +
                       "&score=" + std::to_string(points) + "&clientType=1&build=2.5.7");
        svc.setClockOffset(offset);
        ASSERT_NE(reply.find("\"id\""), std::string::npos) << reply;
    }

    std::string createNamed(const std::string& first, const std::string& last) {
        service::UserFields f;
        f.firstName = first;
        f.lastName = last;
        return svc.createUser(kDemo, f);
    }

    static double wallNow() {
        using namespace std::chrono;
        return duration_cast<duration<double>>(system_clock::now().time_since_epoch()).count();
    }

    // Shows a screen the registry makes for a feature name, and waits for its requests.
    template <class T> std::shared_ptr<T> open(const std::string& feature, foundation::Value object1 = {}) {
        auto screen = std::dynamic_pointer_cast<T>(VelkoraScreenRegistry::instance().makeScreen(
            feature, foundation::Value(foundation::Dictionary{{"object1", std::move(object1)}})));
        EXPECT_TRUE(screen) << feature;
        if (!screen) return nullptr;
        show(screen);
        settleScreen();
        return screen;
    }

    std::shared_ptr<ui::ViewController> topScreen() const { return nav_ ? nav_->topViewController() : nullptr; }

    double wednesday_ = 0;
};

} // namespace velkora::testing
