// The kit's JSON reader: strict about the grammar but for a few fixed tolerances (members and elements
// separated only by blanks), numbers kept as their exact decimal text, failures reported as a chain of
// errors.
#pragma once

#include <array>
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
    // A container being read. It already sits in its final place (in its parent, or as the result): its
    // parent does not change while it is open, so the pointer stays valid.
    struct Frame {
        foundation::Array* array;
        foundation::Dictionary* dictionary;
        uint64_t keyBuckets = 0; // fingerprints of the keys so far, to find a repeated key cheaply
        uint32_t room = 0;       // reserved with the first element, so an empty container allocates nothing
        uint16_t hint = 0;       // its entry in hints_
        uint8_t slot = 0;        // what its elements' hints are keyed on (an array's elements share its slot)
        bool repeatedKey = false;
    };
    // How much room the containers read lately in one place of the document needed: the largest size of
    // the last window of closes, raised at once by a larger one. Siblings of one shape then rarely grow,
    // even when an optional member or two make their sizes alternate, and an outlier is forgotten soon.
    struct SizeHint {
        uint16_t size = 0; // 0: nothing read there yet
        uint16_t windowMax = 0;
        uint8_t closed = 0;
    };

    bool parse(std::string_view text, foundation::Value& result);
    // The string after its opening quotation mark; a null data pointer on failure.
    std::string_view scanString();
    std::string_view scanStringRest(const char* runStart);
    bool scanUnicodeEscape(std::string& out);
    bool scanHexQuad(unsigned& value);
    std::string_view scanNumber();
    template <typename... Args> foundation::Value& place(foundation::Value& result, Args&&... args);
    void noteKey(std::string_view key);
    void open(foundation::Value& container, bool isObject);
    void close();
    void noteSize(uint16_t index, size_t n);
    void unwind(size_t waitingFrames);

    const char* c_ = nullptr;
    const char* end_ = nullptr;
    std::vector<Frame> frames_;
    // Size hints keyed on the depth, the kind of container and a fingerprint of the key it sits under:
    // siblings in a reply tend to have the same shape, while containers at one depth under different keys
    // (a list of likes beside a list of comments) do not. A collision only costs a worse hint.
    std::array<SizeHint, 256> hints_{};
    uint8_t pendingSlot_ = 0;
    // The key of the member whose value is being read, in the input or (when it held escapes) in its
    // own buffer.
    std::string_view pendingKey_;
    std::string keyScratch_;
    std::string scratch_;
};

} // namespace velkora
