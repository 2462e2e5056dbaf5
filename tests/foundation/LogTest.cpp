#include <gtest/gtest.h>

#include "platform/foundation/Error.h"
#include "platform/foundation/Log.h"

using namespace velkora::foundation;

TEST(Format, PlaceholdersTakeTheirArgumentsByKind) {
    struct Case {
        std::string got, want;
    };
    std::shared_ptr<Error> none;
    Case cases[] = {
        {format("Velkora - user %@ has %d", "U1", 3), "Velkora - user U1 has 3"},
        {format("%ld|%lld|%u|%lu", -5L, 1LL << 40, 7u, 9ul), "-5|1099511627776|7|9"},
        {format("ts=%.6f", 1700000000.5), "ts=1700000000.500000"},
        {format("%@ and %@", none, Value()), "(null) and (null)"},
        {format("100%% of %@", std::string("it")), "100% of it"},
        {format("%d %@", 1), "1 %@"},
        {format("%02d:%02d", 5, 7), "05:07"},
        {format("%@", Value(Dictionary{{"a", 1}})), "{\"a\":1}"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(Format, AFormatFromTheStringsTableIsNeverInterpretedByPrintf) {
    EXPECT_EQ(format("%s%s%s%n%@", "x"), "x%s%s%n%@");
}

TEST(Format, OversizedWidthAndPrecisionAreCappedNotOverflowed) {
    EXPECT_EQ(format("%99999999999999999999d", 1).size(), 1000u);
    std::string f = format("%.99999999999999999999f", 1e308);
    EXPECT_EQ(f.substr(f.find('.')).size(), 101u);  // the point and a hundred digits, none cut off
}

TEST(Log, CaptureSeesLinesAndLevelComesFromThePrefix) {
    Log::Capture capture;
    Log::line("Velkora - hello %@", "there");
    Log::line("Velkora (E) - bad %d", 2);
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{"Velkora - hello there", "Velkora (E) - bad 2"}));
    EXPECT_EQ(Log::levelOf("Velkora (W) - x"), LogLevel::Warning);
    EXPECT_EQ(Log::levelOf("Velkora (E) - x"), LogLevel::Error);
    EXPECT_EQ(Log::levelOf("Velkora - x"), LogLevel::Info);
}
