#include <cmath>
#include <limits>

#include "BuildPaths.h"
#include "data/VelkoraChat.h"
#include "data/VelkoraMessageInternal.h"
#include "platform/foundation/DateFormatter.h"
#include "server/ServerClientFixture.h"
#include "shell/VelkoraTimeIntervalDisplay.h"

using namespace velkora;
using namespace velkora::testing;
using foundation::DateFormatter;

namespace {

class TimeIntervalDisplayTest : public ServerClientTest {
protected:
    void SetUp() override {
        ServerClientTest::SetUp();
        DateFormatter::setCurrentLocaleIdentifier("en_US");
        DateFormatter::setCurrentTimeZoneIdentifier("UTC");
    }
    void TearDown() override {
        DateFormatter::setCurrentLocaleIdentifier("");
        DateFormatter::setCurrentTimeZoneIdentifier("");
        foundation::Bundle::main().reset();
        ServerClientTest::TearDown();
    }
};

} // namespace

TEST_F(TimeIntervalDisplayTest, AgesFollowTheThresholdTableInBothWordings) {
    struct Case {
        double age;
        const char* longText;
        const char* shortText;
    };
    const Case cases[] = {
        {0, "A few seconds ago", "A few seconds ago"},
        {14.9, "A few seconds ago", "A few seconds ago"},
        {15, "15 seconds ago", "15s"},
        {59.9, "59 seconds ago", "59s"},
        {60, "A minute ago", "1m"},
        {90, "A minute ago", "1m"},
        {119, "A minute ago", "1m"},
        {120, "2 minutes ago", "2m"},
        {3599, "59 minutes ago", "59m"},
        {3600, "An hour ago", "1h"},
        {5400, "An hour ago", "1h"},
        {7199, "An hour ago", "1h"},
        {7200, "2 hours ago", "2h"},
        {86399, "23 hours ago", "23h"},
        {86400, "Yesterday", "Yesterday"},
        {172799, "Yesterday", "Yesterday"},
        {172800, "2 days ago", "2d"},
        {864000, "10 days ago", "10d"},
        // A date slightly in the future, one that is no number, and absurd ages read sanely.
        {-5, "A few seconds ago", "A few seconds ago"},
        {-1e300, "A few seconds ago", "A few seconds ago"},
        {std::nan(""), "A few seconds ago", "A few seconds ago"},
        {1e300, "2147483647 days ago", "2147483647d"},
        {std::numeric_limits<double>::infinity(), "2147483647 days ago", "2147483647d"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.age);
        EXPECT_EQ(VelkoraTimeIntervalDisplay::getLongDisplayString(c.age), c.longText);
        EXPECT_EQ(VelkoraTimeIntervalDisplay::getDisplayString(c.age), c.shortText);
    }
}

TEST_F(TimeIntervalDisplayTest, TheHostsTextsAreTemplatesNeverPrintfFormats) {
    // A table holding printf directives: the first placeholder takes the number as text, and the rest
    // stay as written; nothing reads arguments that are not there, and %n writes nothing.
    foundation::Bundle::main().setResourcesPath(std::string(VELKORA_TEST_DATA_DIR) + "/hostile");
    EXPECT_EQ(VelkoraTimeIntervalDisplay::getLongDisplayString(42), "42%s%s%n %d seconds %@ %x");
    EXPECT_EQ(VelkoraTimeIntervalDisplay::getDisplayString(3 * 86400), "3%d");
    // A key the host's table lacks is its own text, and its own template.
    EXPECT_EQ(VelkoraTimeIntervalDisplay::getLongDisplayString(600), "velkora_text_long_n_minutes_ago");
    EXPECT_EQ(VelkoraTimeIntervalDisplay::getDisplayString(1), "velkora_text_a_few_seconds_ago");
}

TEST_F(TimeIntervalDisplayTest, AnItemTheServiceStampedIsAgedByTheServiceClock) {
    startNewUser();
    VelkoraServerApi::pause();
    svc.setClockOffset(30);
    ASSERT_TRUE(getUserDataWithinOneSecond());
    ASSERT_EQ(VelkoraServerApi::getServerTimeDiff(loop().now()), 30);

    std::string me = agent().userId().value_or("");
    std::string other = svc.createUser(kApp, {});
    svc.sendMessage(kApp, other, me, "hello");
    auto caller = std::make_shared<Caller>();
    auto otherUser = std::make_shared<VelkoraUserInternal>();
    otherUser->setAppId(std::string(kApp));
    otherUser->setUserId(other);
    VelkoraServerApi::getChat(otherUser, Caller::of(caller));
    ASSERT_TRUE(waitFor([&] { return !caller->answers.empty(); }));
    auto chat = caller->answers[0].asObject<VelkoraChat>();
    ASSERT_TRUE(chat && !chat->messages().empty());
    ASSERT_TRUE(chat->messages()[0]->time());
    foundation::Date stamped = *chat->messages()[0]->time();

    // Twenty seconds after the service stamped it, by the service's clock: on the device that is the
    // stamp less the offset, plus twenty.
    loop().advance(stamped - 30 + 20 - loop().now());
    double age = VelkoraServerApi::getServerTimeDiff(stamped);
    EXPECT_EQ(VelkoraTimeIntervalDisplay::getLongDisplayString(age), "20 seconds ago");
    EXPECT_EQ(VelkoraTimeIntervalDisplay::getDisplayString(age), "20s");
    svc.setClockOffset(0);
}

TEST_F(TimeIntervalDisplayTest, ClockTimesAndDatesAreShownInDeviceTime) {
    // 2023-11-14 22:13:20 on the server, whose clock runs an hour ahead: 21:13:20 on the device.
    agent().setTimeDifference(3600);
    const double stamp = 1700000000;
    struct Case {
        const char* locale;
        const char* zone;
        const char* time;
        const char* date;
    };
    const Case cases[] = {
        {"en_US", "UTC", "09:13 PM", "Nov 14, 2023"},
        {"fr_FR", "Asia/Tokyo", "06:13 AM", "nov. 15, 2023"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.locale);
        DateFormatter::setCurrentLocaleIdentifier(c.locale);
        DateFormatter::setCurrentTimeZoneIdentifier(c.zone);
        EXPECT_EQ(VelkoraTimeIntervalDisplay::getJustTime(stamp), c.time);
        EXPECT_EQ(VelkoraTimeIntervalDisplay::getJustDate(stamp), c.date);
    }
}
