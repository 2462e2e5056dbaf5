// Where characters as a reader sees them begin (a letter with its combining marks, an emoji with its
// modifiers and joiners), and words in title case. Texts are UTF-8; offsets are byte offsets.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace velkora::foundation {

// The first composed character of the text ("" for an empty text).
std::string firstComposedCharacter(std::string_view text);

// The byte offset where the composed character holding `byteOffset` begins: `byteOffset` itself when it
// is a boundary, the text's size for an offset at or past the end.
size_t composedCharacterStart(std::string_view text, size_t byteOffset);

// Each word with its first letter in upper case and the rest in lower case, in the current locale.
std::string capitalizedString(std::string_view text);

} // namespace velkora::foundation
