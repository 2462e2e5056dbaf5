// Folding names for search and ordering them: the quick tables for the common letters answer exactly what
// the full Unicode path answers, and the first letter upper-cased follows full case mapping.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/foundation/TextFolding.h"
#include "platform/foundation/Utf8.h"

using namespace velkora::foundation;

namespace {

std::string utf8(char32_t c) {
    std::string out;
    appendUtf8(out, static_cast<uint32_t>(c));
    return out;
}

TEST(TextFolding, EveryCommonLetterFoldsAsTheFullPathFoldsIt) {
    // A CJK letter folds to itself and sends the whole text down the full path: both answers must agree.
    const std::string ideograph = "\xE4\xB8\x80";
    for (char32_t c = 1; c < 0x400; ++c) {
        const std::string name = std::string("J").append(utf8(c)).append("anna");
        EXPECT_EQ(foldForSearch(name) + ideograph, foldForSearch(name + ideograph))
            << "U+" << std::hex << static_cast<uint32_t>(c);
    }
}

TEST(TextFolding, FoldsCaseAndMarksAndKeepsWhatIsNotALetter) {
    const struct {
        const char* text;
        const char* folded;
    } cases[] = {{"J\xC3\xB6"
                  "anna",
                  "joanna"}, // ö
                 {"\xC3\x89"
                  "MILE",
                  "emile"}, // É
                 {"Stra\xC3\x9F"
                  "e",
                  "strasse"}, // ß folds to two letters
                 {"Jo\xCC\x88"
                  "anna",
                  "joanna"}, // o and a combining diaeresis
                 {"\xC5\x81"
                  "ukasz",
                  "\xC5\x82"
                  "ukasz"}, // Ł has no decomposition: only its case goes
                 {"7up & co", "7up & co"},
                 {"", ""}};
    for (const auto& c : cases)
        EXPECT_EQ(foldForSearch(c.text), c.folded) << c.text;
    EXPECT_TRUE(containsFolded(foldForSearch("J\xC3\xB6"
                                             "anna"),
                               foldForSearch("ANN")));
}

TEST(TextFolding, FirstUnitUpperCasedUsesFullCaseMapping) {
    const struct {
        const char* text;
        char16_t unit;
    } cases[] = {{"anna", u'A'},
                 {"\xC3\x9F"
                  "en",
                  u'S'},
                 {"\xC3\xA9"
                  "mile",
                  u'\u00C9'},
                 {"\xC3\xBF", u'\u0178'},
                 {"\xE4\xB8\x80", u'\u4E00'},
                 {"", 0}};
    for (const auto& c : cases)
        EXPECT_EQ(static_cast<int>(firstUnitUpperCased(c.text)), static_cast<int>(c.unit)) << c.text;
}

} // namespace
