// The server clock: the getUserData reply's "serverTime" sets the offset that turns server time stamps
// into ages, against velkora-service with its clock moved.
#include <chrono>

#include "ServerClientFixture.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

double wallNow() {
    using namespace std::chrono;
    return duration_cast<duration<double>>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

TEST_F(ServerClientTest, ServerTimeOfGetUserDataSetsTheClockOffset) {
    startNewUser();
    VelkoraServerApi::pause();  // no poll in between
    struct Case {
        double serviceAhead;
        double offset;
    };
    const Case cases[] = {{30, 30}, {-90, -90}, {0, 0}, {7200, 7200}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.serviceAhead);
        svc.setClockOffset(c.serviceAhead);
        // The service stamps whole seconds: the kit's clock stands on the same whole second while the
        // request runs, and a run that crossed into the next second is made again.
        bool sameSecond = false;
        for (int attempt = 0; attempt < 3 && !sameSecond; ++attempt) {
            double second = std::floor(wallNow());
            loop().useTestClock(second);
            auto caller = std::make_shared<Caller>();
            VelkoraServerApi::getUserData(Caller::of(caller));
            ASSERT_TRUE(waitFor([&] { return !caller->answers.empty() || !caller->errors.empty(); }));
            ASSERT_TRUE(caller->errors.empty());
            sameSecond = std::floor(wallNow()) == second;
        }
        ASSERT_TRUE(sameSecond);
        double now = loop().now();
        EXPECT_EQ(VelkoraServerApi::getServerTimeDiff(now), c.offset);
        // A server time stamp moved to the device clock, and the age of an item the server stamped a
        // minute ago.
        EXPECT_EQ(agent().getDateWithServerDiff(now + c.offset), now);
        EXPECT_EQ(VelkoraServerApi::getServerTimeDiff(now + c.offset - 60), 60);
    }
    svc.setClockOffset(0);
}
