// The platform's own JSON: what archives, user defaults, the bundle's dictionaries and interface files are
// read and written with. Numbers keep their exact decimal text both ways, so nothing written is changed
// by reading it back.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace velkora::foundation {

inline constexpr const char* kJsonSerializationErrorDomain = "VelkoraJsonSerialization";

class JsonSerialization {
public:
    enum ReadingOptions : unsigned {
        ReadingNone = 0,
        // A bare string, number, boolean or null is accepted at the top as well.
        ReadingAllowFragments = 1,
    };

    // Nesting deeper than this is refused: files on disk are outside input.
    static constexpr unsigned kMaxDepth = 512;

    // The value of a JSON text: a dictionary or an array unless fragments are allowed. Null (and the
    // error: where and why) for anything else, trailing text included. A member that repeats a key
    // replaces the earlier one.
    static std::optional<Value> JSONObjectWithData(std::string_view data, unsigned options = ReadingNone,
                                                   ErrorPtr* error = nullptr);

    // Compact JSON text of a dictionary or an array, keys in the dictionary's order. Null (and the error)
    // when the value, or anything inside it, has no JSON form: an object reference, a number whose text
    // is not a JSON number, nesting beyond kMaxDepth, or a bare scalar at the top.
    static std::optional<std::string> dataWithJSONObject(const Value& value, ErrorPtr* error = nullptr);

    static bool isValidJSONObject(const Value& value);
};

} // namespace velkora::foundation
