// The kit's JSON reader: strict about the grammar but for a few fixed tolerances (members and elements
// separated only by blanks), numbers kept as their exact decimal text, failures reported as a chain of
// errors.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Value.h"
#include "server/utils/VelkoraKXJsonBase.h"

namespace velkora {

class VelkoraKXJsonParser : public VelkoraKXJsonBase {
public:
    VelkoraKXJsonParser() = default;

    // A dictionary or an array; nullopt on failure (see errorTrace()). A null pointer fails with code 12.
    std::optional<foundation::Value> objectWithString(std::string_view text);
    std::optional<foundation::Value> objectWithString(const char* text);
    // Any JSON value, a bare string, number, boolean or null included.
    std::optional<foundation::Value> fragmentWithString(std::string_view text);
    std::optional<foundation::Value> fragmentWithString(const char* text);

private:
    struct Frame {
        bool isObject;
        uint32_t start;       // first index of this container's elements or members on the stacks
        uint32_t memberMark;  // size of the member stack when the container opened
    };

    bool parse(std::string_view text, foundation::Value& result);
    bool scanString(std::string& out);
    bool scanUnicodeEscape(std::string& out);
    bool scanHexQuad(unsigned& value);
    bool scanNumber(foundation::Value& slot);
    foundation::Value& slot(foundation::Value& result);
    foundation::Dictionary closeObject(uint32_t start);
    void unwind(size_t waitingFrames);

    const char* c_ = nullptr;
    const char* end_ = nullptr;
    // Work space reused from call to call: the containers being read keep their contents here until
    // they close, then move them into one allocation of the exact size.
    std::vector<Frame> frames_;
    std::vector<foundation::Value> values_;
    std::vector<foundation::Dictionary::Entry> members_;
    std::string scratch_;
};

}  // namespace velkora
