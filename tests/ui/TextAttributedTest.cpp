#include <gtest/gtest.h>

#include "platform/ui/AttributedString.h"
#include "platform/ui/DataDetector.h"

using namespace velkora::ui;

namespace {
const std::string kSmile = "\xF0\x9F\x98\x80";  // one character, two UTF-16 units
const std::string kE = "\xC3\xA9";              // é: two bytes, one unit
}  // namespace

TEST(TextUtf16Test, CountsAndCutsWithoutSplittingCharacters) {
    std::string s = "a" + kSmile + "b" + kE + "c";
    EXPECT_EQ(utf16::length(s), 6u);
    EXPECT_EQ(utf16::byteOffset(s, 1), 1u);
    EXPECT_EQ(utf16::byteOffset(s, 2), 1u);  // inside the pair: back to its start
    EXPECT_EQ(utf16::byteOffset(s, 3), 5u);
    EXPECT_EQ(utf16::byteOffset(s, 99), s.size());
    EXPECT_EQ(utf16::indexOfByte(s, 5), 3u);
    EXPECT_EQ(utf16::indexOfByte(s, 3), 1u);  // inside the emoji's bytes
    EXPECT_EQ(utf16::substring(s, 1, 2), kSmile);
    EXPECT_EQ(utf16::substring(s, 2, 1), kSmile);  // half a pair widens to the whole character
    EXPECT_EQ(utf16::substring(s, 1, 1), kSmile);
    EXPECT_EQ(utf16::substring(s, 4, 10), kE + "c");
    EXPECT_EQ(utf16::prefix(s, 2), "a");  // never half an emoji
    EXPECT_EQ(utf16::prefix(s, 3), "a" + kSmile);
    EXPECT_EQ(utf16::length(std::string("\xff\xfe")), 2u);  // broken bytes still count and advance
}

TEST(TextAttributedStringTest, AttributesOnUtf16Ranges) {
    Font f = Font::systemFont(12);
    AttributedString s("Hi " + kSmile + " there", {{attr::Font, f}});
    EXPECT_EQ(s.length(), 11u);
    s.addAttribute(attr::ForegroundColor, Color::rgba(1, 0, 0), {3, 2});
    TextRange eff;
    auto at = s.attributesAt(4, &eff);
    EXPECT_EQ(eff, (TextRange{3, 2}));
    EXPECT_TRUE(attributeAs<Color>(at, attr::ForegroundColor));
    EXPECT_TRUE(attributeAs<Font>(at, attr::Font));
    // The font spans the whole text across the colour's runs.
    s.attributeAt(attr::Font, 0, &eff);
    EXPECT_EQ(eff, (TextRange{0, 11}));
    EXPECT_EQ(s.runs().size(), 3u);

    s.removeAttribute(attr::ForegroundColor, {0, 100});  // clipped, and the runs merge again
    EXPECT_EQ(s.runs().size(), 1u);

    s.addAttribute(attr::Link, std::string("http://example.com"), {6, 5});
    AttributedString sub = s.substring({4, 4});  // starts inside the emoji: takes it whole
    EXPECT_EQ(sub.string(), kSmile + " th");
    EXPECT_EQ(sub.length(), 5u);
    EXPECT_FALSE(sub.attributeAt(attr::Link, 0));
    EXPECT_TRUE(sub.attributeAt(attr::Link, 3));
}

TEST(TextAttributedStringTest, ReplacingAndAppendingMoveTheRuns) {
    AttributedString s("hello world");
    s.addAttribute(attr::Underline, 1.0, {6, 5});
    s.replaceCharacters({0, 5}, std::string("hi"));
    EXPECT_EQ(s.string(), "hi world");
    TextRange eff;
    EXPECT_TRUE(s.attributeAt(attr::Underline, 3, &eff));
    EXPECT_EQ(eff, (TextRange{3, 5}));
    AttributedString tail(kSmile, {{attr::Kern, 2.0}});
    s.append(tail);
    EXPECT_EQ(s.length(), 10u);
    EXPECT_TRUE(s.attributeAt(attr::Kern, 9));
    AttributedString copy = s;
    EXPECT_EQ(copy, s);
    copy.addAttribute(attr::Kern, 3.0, {0, 1});
    EXPECT_FALSE(copy == s);
    // Replacing past the end appends.
    s.replaceCharacters({100, 0}, std::string("!"));
    EXPECT_TRUE(s.string().ends_with("!"));
}

TEST(TextDataDetectorTest, FindsWebAddressesAndPhoneNumbers) {
    DataDetector d(checkingTypesForDetectorTypes(DataDetectorTypes::All));
    std::string text = kSmile + " See https://velkora.example.com/a?b=1, or www.velkora.com. Mail me@velkora.io "
                       "(call +1 (555) 123-4567 or 555.987.6543) but not 12345 nor 3.14 nor example.notatld";
    auto m = d.matches(text);
    ASSERT_EQ(m.size(), 5u);
    EXPECT_EQ(m[0].resultType, TextCheckingType::Link);
    EXPECT_EQ(m[0].url, "https://velkora.example.com/a?b=1");
    EXPECT_EQ(utf16::substring(text, m[0].range), "https://velkora.example.com/a?b=1");
    EXPECT_EQ(m[0].range.location, 7u);  // after the emoji's two units and " See "
    EXPECT_EQ(m[1].url, "http://www.velkora.com");
    EXPECT_EQ(m[2].url, "mailto:me@velkora.io");
    EXPECT_EQ(m[3].resultType, TextCheckingType::PhoneNumber);
    EXPECT_EQ(m[3].phoneNumber, "+1 (555) 123-4567");
    EXPECT_EQ(utf16::substring(text, m[3].range), "+1 (555) 123-4567");
    EXPECT_EQ(m[4].phoneNumber, "555.987.6543");

    DataDetector linksOnly(checkingTypesForDetectorTypes(DataDetectorTypes::Link));
    EXPECT_EQ(linksOnly.matches(text).size(), 3u);
    EXPECT_TRUE(DataDetector(0).matches(text).empty());
    // Brackets that belong to the address stay; the sentence's do not.
    auto wiki = linksOnly.matches("(see http://en.example.org/wiki/A_(b))");
    ASSERT_EQ(wiki.size(), 1u);
    EXPECT_EQ(wiki[0].url, "http://en.example.org/wiki/A_(b)");
}
