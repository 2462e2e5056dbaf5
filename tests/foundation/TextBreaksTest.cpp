#include <gtest/gtest.h>

#include "platform/foundation/TextBreaks.h"

using namespace velkora::foundation;

TEST(TextBreaksTest, ComposedCharactersStayWhole) {
    const std::string accent = "e\xCC\x81";                       // e + combining acute
    const std::string flag = "\xF0\x9F\x87\xB3\xF0\x9F\x87\xBF";  // two regional indicators
    const std::string thumb = "\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD"; // thumbs up, skin tone
    struct Case {
        std::string text;
        std::string first;
    };
    const Case cases[] = {{"", ""},           {"abc", "a"},   {accent + "x", accent},
                          {flag + "!", flag}, {thumb, thumb}, {"\xC3\xA9t\xC3\xA9", "\xC3\xA9"}};
    for (const Case& c : cases)
        EXPECT_EQ(firstComposedCharacter(c.text), c.first) << c.text;

    // Every offset inside a character goes back to where it begins, a byte inside a UTF-8 sequence too.
    const std::string text = "a" + accent + thumb + "b"; // bytes: a 0, e 1-3, thumb 4-11, b 12
    const size_t starts[] = {0, 1, 1, 1, 4, 4, 4, 4, 4, 4, 4, 4, 12, 13, 13};
    for (size_t offset = 0; offset < std::size(starts); ++offset)
        EXPECT_EQ(composedCharacterStart(text, offset), starts[offset]) << offset;
}

TEST(TextBreaksTest, CapitalizedWords) {
    EXPECT_EQ(capitalizedString("fEMALE"), "Female");
    EXPECT_EQ(capitalizedString("non binary"), "Non Binary");
    EXPECT_EQ(capitalizedString("\xC3\xA9LODIE"), "\xC3\x89lodie");
    EXPECT_EQ(capitalizedString(""), "");
}
