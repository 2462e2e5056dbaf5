#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <thread>

#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/TextLayout.h"

using namespace velkora::ui;

namespace {

const std::string kLong =
    "The quick brown fox jumps over the lazy dog while the whole chat room watches and nobody says a "
    "single word about it for a very long time indeed";

TextLayoutOptions opts(double width, int lines, LineBreakMode mode = LineBreakMode::TruncateTail) {
    TextLayoutOptions o;
    o.width = width;
    o.numberOfLines = lines;
    o.lineBreakMode = mode;
    return o;
}

} // namespace

TEST(TextLayoutTest, FontsComeFromThePrivateConfiguration) {
    ASSERT_TRUE(fonts::available());
    Font f = Font::systemFont(17);
    // DejaVu Sans: ascent 0.928 em, descent 0.236 em.
    EXPECT_NEAR(f.ascender(), 17 * 0.928, 0.2);
    EXPECT_NEAR(f.descender(), -17 * 0.236, 0.2);
    EXPECT_NEAR(f.lineHeight(), f.ascender() - f.descender(), 1e-9);
    EXPECT_NEAR(Font::systemFont(34).lineHeight(), 2 * f.lineHeight(), 1e-6);
    EXPECT_TRUE(Font::withName("Helvetica-Bold", 12).isBold());
    EXPECT_TRUE(Font::withName("Georgia-Italic", 12).isItalic());
    // Bold is wider than regular: the two faces really differ.
    EXPECT_GT(measureText("Velkora", Font::boldSystemFont(17), 0).width,
              measureText("Velkora", Font::systemFont(17), 0).width);
}

TEST(TextLayoutTest, LongTextInThreeLinesOfAHundredPointsEndsWithAnEllipsis) {
    Font font = Font::systemFont(14);
    TextLayout layout(kLong, font, opts(100, 3));
    EXPECT_EQ(layout.lineCount(), 3);
    EXPECT_GT(layout.totalLineCount(), 3);
    EXPECT_TRUE(layout.isTruncated());
    std::string shown = layout.visibleText();
    ASSERT_GE(shown.size(), 3u);
    EXPECT_EQ(shown.substr(shown.size() - 3), "\u2026");
    EXPECT_TRUE(kLong.starts_with(shown.substr(0, 10)));
    for (const auto& line : layout.lines())
        EXPECT_LE(line.frame.maxX(), 100.0 + 1e-6);
    EXPECT_TRUE(layout.lines().back().truncated);

    // A custom token replaces the ellipsis.
    auto o = opts(100, 3);
    o.truncationToken = " more";
    TextLayout custom(kLong, font, o);
    EXPECT_TRUE(custom.visibleText().ends_with(" more"));
}

TEST(TextLayoutTest, EachLineAddsOneLineHeight) {
    Font font = Font::systemFont(14);
    double h1 = TextLayout(kLong, font, opts(100, 1)).size().height;
    double h2 = TextLayout(kLong, font, opts(100, 2)).size().height;
    double h3 = TextLayout(kLong, font, opts(100, 3)).size().height;
    EXPECT_NEAR(h1, font.lineHeight(), 0.01);
    EXPECT_NEAR(h2 - h1, font.lineHeight(), 0.01);
    EXPECT_NEAR(h3 - h2, font.lineHeight(), 0.01);
    // Rounded up, as sizes that fit are.
    EXPECT_EQ(measureText(kLong, font, 100, 3).height, std::ceil(h3));
    // Unlimited lines take what the text needs.
    TextLayout all(kLong, font, opts(100, 0, LineBreakMode::WordWrap));
    EXPECT_FALSE(all.isTruncated());
    EXPECT_NEAR(all.size().height, all.lineCount() * font.lineHeight(), 0.01);
    EXPECT_EQ(all.visibleText(), kLong);
}

TEST(TextLayoutTest, MeasuringOnAnotherThreadGivesTheSameSize) {
    Font font = Font::systemFont(13);
    Size here = measureText(kLong, font, 100, 3);
    auto there = std::async(std::launch::async, [&] { return measureText(kLong, font, 100, 3); });
    auto third = std::async(std::launch::async, [&] { return measureText(kLong, font, 100, 3); });
    EXPECT_EQ(there.get(), here);
    EXPECT_EQ(third.get(), here);
}

TEST(TextLayoutTest, OneLineCutsAtHeadMiddleOrTail) {
    Font font = Font::systemFont(14);
    const std::string text = "abcdefghijklmnopqrstuvwxyz0123456789";
    struct Case {
        LineBreakMode mode;
        bool startsWithText, endsWithText;
    };
    for (auto c : {Case{LineBreakMode::TruncateTail, true, false}, Case{LineBreakMode::TruncateHead, false, true},
                   Case{LineBreakMode::TruncateMiddle, true, true}}) {
        TextLayout l(text, font, opts(120, 1, c.mode));
        std::string shown = l.visibleText();
        EXPECT_TRUE(l.isTruncated());
        EXPECT_NE(shown.find("\u2026"), std::string::npos) << shown;
        EXPECT_EQ(shown.starts_with("ab"), c.startsWithText) << shown;
        EXPECT_EQ(shown.ends_with("89"), c.endsWithText) << shown;
        EXPECT_LE(l.size().width, 120.0);
    }
    // A text that fits is not cut.
    TextLayout fits("abc", font, opts(120, 1));
    EXPECT_FALSE(fits.isTruncated());
    EXPECT_EQ(fits.visibleText(), "abc");
}

TEST(TextLayoutTest, WordAndCharacterBreaking) {
    Font font = Font::systemFont(14);
    const std::string text = "aaaa bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb";
    TextLayout words(text, font, opts(80, 0, LineBreakMode::WordWrap));
    TextLayout chars(text, font, opts(80, 0, LineBreakMode::CharWrap));
    ASSERT_GE(words.lineCount(), 2);
    // By word the first line holds only the first word; by character it fills up.
    EXPECT_EQ(utf16::substring(text, words.lines()[0].range), "aaaa ");
    EXPECT_GT(chars.lines()[0].range.length, 5u);
    for (const auto& l : chars.lines())
        EXPECT_LE(l.frame.maxX(), 80.0 + 1e-6);
}

// Clipping never splits a word: a word longer than the line stays whole on its own line.
TEST(TextLayoutTest, ClippingBreaksOnlyBetweenWords) {
    Font font = Font::boldSystemFont(16);
    const struct {
        const char* text;
        double width;
        std::vector<std::string> lines;
    } cases[] = {
        {"Seven", 20, {"Seven"}},
        {"Seven", 200, {"Seven"}},
        {"Two words", 50, {"Two ", "words"}},
        {"Supercalifragilistic word", 60, {"Supercalifragilistic ", "word"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        TextLayout clipped(c.text, font, opts(c.width, 0, LineBreakMode::Clip));
        std::vector<std::string> lines;
        for (const auto& l : clipped.lines())
            lines.push_back(utf16::substring(c.text, l.range));
        EXPECT_EQ(lines, c.lines);
    }
}

TEST(TextLayoutTest, IndexUnderAPoint) {
    Font font = Font::systemFont(20);
    TextLayout l("Hello world", font, opts(0, 0, LineBreakMode::WordWrap));
    double w = l.size().width;
    EXPECT_EQ(l.characterIndexAtPoint({1, 5}), 0u);
    EXPECT_EQ(l.characterIndexAtPoint({w - 1, 5}), 10u);
    EXPECT_EQ(l.characterIndexAtPoint({w + 10, 5}), kTextNotFound);
    EXPECT_EQ(l.characterIndexAtPoint({1, 500}), kTextNotFound);
    // Indices are UTF-16: an emoji counts two.
    TextLayout e("\xF0\x9F\x98\x80xy", font, opts(0, 0, LineBreakMode::WordWrap));
    double ew = e.size().width;
    EXPECT_EQ(e.characterIndexAtPoint({ew - 1, 5}), 3u);
}

TEST(TextLayoutTest, AttributedRunsAndParagraphSettings) {
    AttributedString s("Bold then plain", {{attr::Font, Font::systemFont(14)}});
    s.addAttribute(attr::Font, Font::boldSystemFont(14), {0, 4});
    Size mixed = measureText(s, 0);
    Size plain = measureText("Bold then plain", Font::systemFont(14), 0);
    EXPECT_GT(mixed.width, plain.width - 1);

    ParagraphStyle p;
    p.lineSpacing = 10;
    p.paragraphSpacingBefore = 5;
    AttributedString spaced(kLong, {{attr::Font, Font::systemFont(14)}, {attr::ParagraphStyle, p}});
    TextLayout l(spaced, opts(100, 2, LineBreakMode::WordWrap));
    EXPECT_NEAR(l.size().height, 5 + 2 * Font::systemFont(14).lineHeight() + 10, 0.05);
    EXPECT_NEAR(l.lines()[0].frame.y(), 5, 1e-6);

    ParagraphStyle centred;
    centred.alignment = TextAlignment::Center;
    TextLayout c(AttributedString("hi", {{attr::ParagraphStyle, centred}}), opts(200, 1));
    EXPECT_NEAR(c.lines()[0].frame.midX(), 100, 0.5);
    EXPECT_EQ(TextLayout("", Font::systemFont(14), opts(100, 0)).size(), (Size{0, 0}));
}

TEST(TextLayoutTest, BoxesOfACharacterRange) {
    Font font = Font::systemFont(20);
    TextLayout l("Hello world", font, opts(0, 0, LineBreakMode::WordWrap));
    auto boxes = l.rectsForRange({6, 5});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NEAR(boxes[0].x(), TextLayout("Hello ", font, opts(0, 0, LineBreakMode::WordWrap)).size().width, 0.5);
    EXPECT_NEAR(boxes[0].maxX(), l.size().width, 0.5);
    EXPECT_NEAR(boxes[0].height(), font.lineHeight(), 0.01);

    ParagraphStyle centred;
    centred.alignment = TextAlignment::Center;
    TextLayout c(AttributedString("Hello world", {{attr::ParagraphStyle, centred}, {attr::Font, font}}),
                 opts(200, 0, LineBreakMode::WordWrap));
    auto cb = c.rectsForRange({0, 11});
    ASSERT_EQ(cb.size(), 1u);
    EXPECT_NEAR(cb[0].x(), c.lines()[0].frame.x(), 0.5);

    TextLayout two(kLong, Font::systemFont(14), opts(100, 0, LineBreakMode::WordWrap));
    auto spread = two.rectsForRange({0, two.lines()[0].range.length + 3});
    ASSERT_EQ(spread.size(), 2u);
    EXPECT_NEAR(spread[1].y(), two.lines()[1].frame.y(), 1e-6);

    TextLayout cut(kLong, Font::systemFont(14), opts(100, 1));
    EXPECT_TRUE(cut.rectsForRange({utf16::length(kLong) - 5, 5}).empty());
    EXPECT_EQ(cut.rectsForRange({0, 2}).size(), 1u);
}

// Emoji come from the colour emoji font, in colour and at the size of the text around them, not as a box
// of their code point or as the font's own large pictures.
TEST(TextLayoutTest, EmojiDrawInColourAtTheTextsSize) {
    Font font = Font::systemFont(17);
    Size plain = measureText("room", font, 0);
    Size withEmoji = measureText("room \U0001F389", font, 0);
    EXPECT_LE(withEmoji.height, plain.height * 1.5);
    EXPECT_GT(withEmoji.width - plain.width, 10);
    EXPECT_LT(withEmoji.width - plain.width, 40);

    auto ctx = GraphicsContext::bitmap({40, 30});
    ctx->drawText("\U0001F389", font, Color::black(), {0, 0, 40, 30});
    auto image = ctx->makeImage();
    int coloured = 0;
    for (int y = 0; y < image->pixelHeight(); ++y)
        for (int x = 0; x < image->pixelWidth(); ++x) {
            Color c = image->colorAt(x, y);
            if (c.a > 0.5 && std::max({c.r, c.g, c.b}) - std::min({c.r, c.g, c.b}) > 0.4) ++coloured;
        }
    EXPECT_GT(coloured, 20);
}
