// The server clock: the getUserData reply's "serverTime" sets the offset that turns server time stamps
// into ages, against velkora-service with its clock moved.
#include "ServerClientFixture.h"

using namespace velkora;
using namespace velkora::testing;

TEST_F(ServerClientTest, ServerTimeOfGetUserDataSetsTheClockOffset) {
    startNewUser();
    VelkoraServerApi::pause(); // no poll in between
    struct Case {
        double serviceAhead;
        double offset;
    };
    const Case cases[] = {{30, 30}, {-90, -90}, {0, 0}, {7200, 7200}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.serviceAhead);
        svc.setClockOffset(c.serviceAhead);
        ASSERT_TRUE(getUserDataWithinOneSecond());
        double now = loop().now();
        EXPECT_EQ(VelkoraServerApi::getServerTimeDiff(now), c.offset);
        // A server time stamp moved to the device clock, and the age of an item the server stamped a
        // minute ago.
        EXPECT_EQ(agent().getDateWithServerDiff(now + c.offset), now);
        EXPECT_EQ(VelkoraServerApi::getServerTimeDiff(now + c.offset - 60), 60);
    }
    svc.setClockOffset(0);
}
