// Comparing and searching people's names as the platform's string functions did: ordering by UTF-16 code
// units, and "contains" that ignores case and diacritics. Texts are UTF-8.
#pragma once

#include <string>
#include <string_view>

namespace velkora::foundation {

// <0, 0 or >0 as the two texts compare unit by unit in UTF-16 (case-sensitive, no locale): characters
// outside the basic plane sort below U+E000..U+FFFF, as their surrogates do.
int compareUtf16(std::string_view a, std::string_view b);

// Whether comparing the text's bytes orders it as its UTF-16 units do: well-formed UTF-8 of the basic plane
// only. Two such texts may be compared as plain strings, which is what sorting thousands of names wants.
bool sortsBytewiseAsUtf16(std::string_view text);

// A text folded for matching: case-folded, decomposed and stripped of combining marks ("Jöanna" → "joanna").
// Fold each side once and match folded texts with containsFolded.
std::string foldForSearch(std::string_view text);

// The first UTF-16 unit of the text upper-cased (full case mapping: "ß" gives "S"); 0 for an empty text.
char16_t firstUnitUpperCased(std::string_view text);

inline bool containsFolded(std::string_view foldedText, std::string_view foldedNeedle) {
    return foldedText.find(foldedNeedle) != std::string_view::npos;
}

} // namespace velkora::foundation
