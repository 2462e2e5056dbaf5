// Reading the social networks' replies: 64-bit ids from a number's exact text, and the user model filled
// from a Twitter users/show or a Facebook "me" dictionary.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/foundation/Value.h"

namespace velkora {

class VelkoraUserInternal;

namespace people {

// The positive 64-bit id a value holds (a number or a string of digits), read from its text so that ids
// above 2^53 come through exactly; none for anything else.
std::optional<int64_t> idOf(const foundation::Value& value);
// The same for the "id" of a dictionary.
std::optional<int64_t> idIn(const foundation::Value& details);
// A text member, or none.
std::optional<std::string> textIn(const foundation::Value& details, std::string_view key);

} // namespace people
} // namespace velkora
