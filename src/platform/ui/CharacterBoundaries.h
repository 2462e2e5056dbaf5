// Where a caret may stand in a text: between what a person sees as characters, so a letter with its
// combining marks, an emoji with its modifiers and joiners, or a flag moves and goes as one.
#pragma once

#include <cstddef>
#include <string_view>

namespace velkora::ui {

// The UTF-16 index of the character boundary before (after) `index`; 0 (the text's length) at the ends.
size_t previousCharacterBoundary(std::string_view text, size_t index);
size_t nextCharacterBoundary(std::string_view text, size_t index);

} // namespace velkora::ui
