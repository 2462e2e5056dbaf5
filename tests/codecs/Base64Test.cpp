#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "server/utils/VelkoraBase64.h"

using namespace velkora;

namespace {

std::vector<uint8_t> bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> out;
    for (int v : values)
        out.push_back(static_cast<uint8_t>(v));
    return out;
}

std::vector<uint8_t> sample(size_t n) {
    std::vector<uint8_t> out(n);
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<uint8_t>(i * 73 + 0xF0);
    return out;
}

} // namespace

TEST(VelkoraBase64, EncodesTheStandardAlphabet) {
    EXPECT_EQ(VelkoraBase64::encode(std::string_view("abc")), "YWJj");
    EXPECT_EQ(VelkoraBase64::encode(bytes({0xFB})), "+w==");
    EXPECT_EQ(VelkoraBase64::encode(bytes({0xFB, 0xFF})), "+/8=");
    EXPECT_EQ(VelkoraBase64::encode(std::vector<uint8_t>{}), "");
    EXPECT_EQ(VelkoraBase64::encode(nullptr, 5), "");
    uint8_t one = 'a';
    EXPECT_EQ(VelkoraBase64::encode(&one, -1), "");
    EXPECT_EQ(VelkoraBase64::encode(&one, 1), "YQ==");
}

TEST(VelkoraBase64, DecodesLenientlyAndRoundTrips) {
    EXPECT_EQ(VelkoraBase64::decode("YWJj"), bytes({'a', 'b', 'c'}));
    EXPECT_EQ(VelkoraBase64::decode("+w=="), bytes({0xFB}));
    EXPECT_EQ(VelkoraBase64::decode("YWI"), bytes({'a', 'b'})); // a group cut short
    EXPECT_EQ(VelkoraBase64::decode(""), bytes({}));
    EXPECT_EQ(VelkoraBase64::decode("Y*Jj").size(), 3u); // outside the alphabet reads as 0
    EXPECT_FALSE(VelkoraBase64::decode(nullptr, 4));
    EXPECT_EQ(VelkoraBase64::decode("YWJjZA==", 4), bytes({'a', 'b', 'c'}));
    for (size_t n = 0; n < 40; ++n)
        EXPECT_EQ(VelkoraBase64::decode(VelkoraBase64::encode(sample(n))), sample(n)) << n;
}

TEST(Base64Family, EncodesTheSafeAlphabetAndEmptyAsNothing) {
    EXPECT_EQ(base64EncodedString(bytes({0xFB, 0xFF})), "-_8=");
    EXPECT_EQ(base64EncodedString(bytes({0xFB})), "-w==");
    EXPECT_EQ(base64EncodedString(std::string_view("abc")), "YWJj");
    EXPECT_FALSE(base64EncodedString(std::vector<uint8_t>{}));
    EXPECT_FALSE(base64EncodedStringWithWrapWidth(std::string_view(""), 8));
}

TEST(Base64Family, WrapWidthRules) {
    struct Case {
        size_t length;
        unsigned width;
        std::string expected;
    };
    const std::string s6 = *base64EncodedString(sample(6)); // 8 characters
    const std::string s9 = *base64EncodedString(sample(9)); // 12 characters
    const std::string s7 = *base64EncodedString(sample(7)); // 8 characters, then 2 and "=="
    const Case cases[] = {
        {6, 8, s6 + "\r\n"},
        {7, 8, s7.substr(0, 8) + "\r\n" + s7.substr(8)},
        {9, 8, s9.substr(0, 8) + "\r\n" + s9.substr(8)},
        {6, 6, s6.substr(0, 4) + "\r\n" + s6.substr(4) + "\r\n"}, // 6 acts as 4
        {6, 4, s6.substr(0, 4) + "\r\n" + s6.substr(4) + "\r\n"},
        {6, 3, s6}, // below 4: no breaks
        {9, 0, s9},
    };
    for (const auto& c : cases)
        EXPECT_EQ(base64EncodedStringWithWrapWidth(sample(c.length), c.width), c.expected)
            << c.length << "/" << c.width;
}

TEST(Base64Family, DecodingReadsBothAlphabetsSoItsOwnOutputComesBack) {
    // The family writes "-" and "_"; reading only "+" and "/" would drop them and corrupt the data.
    for (size_t n = 1; n < 40; ++n) {
        auto wrapped = base64EncodedStringWithWrapWidth(sample(n), 8);
        ASSERT_TRUE(wrapped);
        EXPECT_EQ(dataWithBase64EncodedString(*wrapped), sample(n)) << n;
    }
    EXPECT_EQ(dataWithBase64EncodedString("+/8="), bytes({0xFB, 0xFF}));
    EXPECT_EQ(dataWithBase64EncodedString("YW\r\nJj"), bytes({'a', 'b', 'c'}));
    EXPECT_EQ(dataWithBase64EncodedString("YWJjZA"), bytes({'a', 'b', 'c', 'd'}));       // two left over: one byte
    EXPECT_EQ(dataWithBase64EncodedString("YWJjZGU"), bytes({'a', 'b', 'c', 'd', 'e'})); // three: two bytes
    EXPECT_EQ(dataWithBase64EncodedString("YWJjZ"), bytes({'a', 'b', 'c'}));             // one: none
    EXPECT_EQ(dataWithBase64EncodedString("YW\xC3\xA9Jj"), bytes({'a', 'b', 'c'}));      // beyond ASCII: skipped
    EXPECT_FALSE(dataWithBase64EncodedString(""));
    EXPECT_FALSE(dataWithBase64EncodedString("===="));
    EXPECT_FALSE(dataWithBase64EncodedString("Y"));
}

TEST(Base64Family, DecodedTextMustBeUtf8) {
    EXPECT_EQ(stringWithBase64EncodedString("w6k="), "\xC3\xA9");
    EXPECT_EQ(stringWithBase64EncodedString(*base64EncodedString(std::string_view("caf\xC3\xA9 \xF0\x9F\x8E\x89"))),
              "caf\xC3\xA9 \xF0\x9F\x8E\x89");
    EXPECT_FALSE(stringWithBase64EncodedString("/w==")); // 0xFF is not text
    EXPECT_FALSE(stringWithBase64EncodedString(""));
}
