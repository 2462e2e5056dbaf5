// The readers of untrusted request texts.
#include <gtest/gtest.h>

#include "velkora_service/QueryText.h"

namespace velkora::service {
namespace {

TEST(QueryText, SplitsPairsAtTheFirstEqualsSign) {
    QueryText q = QueryText::parse("command=savePhoto&image=QUJD==&smallImage=QQ=&flag&=v&&x=");
    EXPECT_EQ(q.value("command"), "savePhoto");
    EXPECT_EQ(q.value("image"), "QUJD==");
    EXPECT_EQ(q.value("smallImage"), "QQ=");
    EXPECT_TRUE(q.has("flag"));
    EXPECT_EQ(q.value("flag", "?"), "");
    EXPECT_EQ(q.value(""), "v");
    EXPECT_EQ(q.value("x", "?"), "");
    EXPECT_FALSE(q.has("missing"));
    EXPECT_EQ(q.value("missing", "fallback"), "fallback");
}

TEST(QueryText, FirstOfARepeatedKeyWins) {
    QueryText q = QueryText::parse("build=2.5.7&clientV=15&build=other");
    EXPECT_EQ(q.value("build"), "2.5.7");
    EXPECT_EQ(q.pairs().size(), 3u);
}

TEST(QueryText, DecodesEscapesAndKeepsBrokenOnes) {
    struct Case {
        const char *in, *out;
    } cases[] = {
        {"a%20b", "a b"}, {"a+b", "a b"},   {"%C3%A9", "\xC3\xA9"}, {"100%", "100%"},
        {"%4", "%4"},     {"%zz1", "%zz1"}, {"%2B%3D", "+="},
    };
    for (const auto& c : cases)
        EXPECT_EQ(percentDecode(c.in, true), c.out) << c.in;
    EXPECT_EQ(percentDecode("%00x", true), std::string("\0x", 2));
    EXPECT_EQ(percentDecode("a+b", false), "a+b");
}

TEST(QueryText, NumbersAreReadStrictly) {
    EXPECT_EQ(parseInteger("42"), 42);
    EXPECT_EQ(parseInteger("-7"), -7);
    EXPECT_EQ(parseInteger("9223372036854775807"), INT64_MAX);
    for (const char* bad : {"", " 1", "1 ", "1x", "0x10", "9223372036854775808", "--1", "1.0"})
        EXPECT_FALSE(parseInteger(bad)) << bad;
    EXPECT_DOUBLE_EQ(*parseDecimal("-9.139300"), -9.1393);
    EXPECT_DOUBLE_EQ(*parseDecimal("1e3"), 1000);
    for (const char* bad : {"", "nan", "inf", "1e999", "0x1p3", "1.0.0", " 2", "2 "})
        EXPECT_FALSE(parseDecimal(bad)) << bad;
}

TEST(QueryText, CrcIsTheOneOfZlib) {
    EXPECT_EQ(crc32Of(""), 0u);
    EXPECT_EQ(crc32Of("123456789"), 0xCBF43926u);
}

TEST(QueryText, TagCheckNamesWhatIsWrong) {
    std::string endpoint = "https://127.0.0.1:1/VelkoraServer2/api";
    std::string text = "command=update&ts=12.500000";
    std::string crc = std::to_string(crc32Of(endpoint + "?" + text));
    EXPECT_EQ(checkTag(endpoint, text + "&crc=" + crc), TagCheck::Ok);
    EXPECT_EQ(checkTag(endpoint, text), TagCheck::MissingCrc);
    EXPECT_EQ(checkTag(endpoint, "command=update&crc=1"), TagCheck::MissingTimestamp);
    EXPECT_EQ(checkTag(endpoint, "command=update&ts=abc&crc=1"), TagCheck::BadTimestamp);
    EXPECT_EQ(checkTag(endpoint, "command=update&ts=-1&crc=1"), TagCheck::BadTimestamp);
    EXPECT_EQ(checkTag(endpoint, text + "&crc=-1"), TagCheck::BadCrcText);
    EXPECT_EQ(checkTag(endpoint, text + "&crc="), TagCheck::BadCrcText);
    EXPECT_EQ(checkTag(endpoint, text + "&crc=4294967296"), TagCheck::BadCrcText);
    EXPECT_EQ(checkTag("https://localhost:1/VelkoraServer2/api", text + "&crc=" + crc), TagCheck::CrcMismatch);
}

} // namespace
} // namespace velkora::service
