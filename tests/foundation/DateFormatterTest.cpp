#include <gtest/gtest.h>

#include <cmath>

#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/Log.h"

using velkora::foundation::DateFormatter;

namespace {

// 2023-11-14 22:13:20 UTC.
constexpr double kInstant = 1700000000;

class DateFormatterTest : public ::testing::Test {
protected:
    void TearDown() override {
        DateFormatter::setCurrentLocaleIdentifier("");
        DateFormatter::setCurrentTimeZoneIdentifier("");
    }
};

} // namespace

TEST_F(DateFormatterTest, PatternsInALocaleAndZone) {
    struct Case {
        const char* pattern;
        const char* locale;
        const char* zone;
        const char* text;
    };
    const Case cases[] = {
        {"hh:mm a", "en_US", "UTC", "10:13 PM"},
        {"MMM dd, yyyy", "en_US", "UTC", "Nov 14, 2023"},
        // Across midnight into the next day, in another language.
        {"hh:mm a", "de_DE", "Europe/Berlin", "11:13 PM"},
        {"MMM dd, yyyy", "de_DE", "Asia/Tokyo", "Nov. 15, 2023"},
        {"MMM dd, yyyy", "fr_FR", "America/Los_Angeles", "nov. 14, 2023"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.pattern) + " " + c.locale + " " + c.zone);
        std::string text = DateFormatter(c.pattern, c.locale, c.zone).stringFromDate(kInstant);
        EXPECT_EQ(text, c.text);
    }
}

TEST_F(DateFormatterTest, TheProcessWideLocaleAndZoneServeFormattersThatNameNone) {
    DateFormatter::setCurrentLocaleIdentifier("en_US");
    ASSERT_TRUE(DateFormatter::setCurrentTimeZoneIdentifier("Asia/Kolkata"));
    EXPECT_EQ(DateFormatter("hh:mm a").stringFromDate(kInstant), "03:43 AM");
    // A name that is no zone is refused and leaves the current one.
    velkora::foundation::Log::Capture capture;
    EXPECT_FALSE(DateFormatter::setCurrentTimeZoneIdentifier("Mars/Olympus_Mons"));
    EXPECT_TRUE(capture.contains("Mars/Olympus_Mons"));
    EXPECT_EQ(DateFormatter::currentTimeZoneIdentifier(), "Asia/Kolkata");
    EXPECT_EQ(DateFormatter("hh:mm a", "", "Mars/Olympus_Mons").stringFromDate(kInstant), "");
    // A date that is no number gives no text rather than one for 1970.
    EXPECT_EQ(DateFormatter("hh:mm a").stringFromDate(std::nan("")), "");
}
