// Both Base64 families: decoding arbitrary text never crashes, and encoding arbitrary bytes reads back.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>
#include <vector>

#include "server/utils/VelkoraBase64.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::span<const uint8_t> bytes(data, size);
    std::vector<uint8_t> input(data, data + size);

    (void)velkora::VelkoraBase64::decode(text);
    (void)velkora::dataWithBase64EncodedString(text);
    (void)velkora::stringWithBase64EncodedString(text);

    if (velkora::VelkoraBase64::decode(velkora::VelkoraBase64::encode(bytes)) != input) std::abort();

    unsigned width = size ? data[0] : 0;
    auto encoded = velkora::base64EncodedStringWithWrapWidth(bytes, width);
    if (size == 0) {
        if (encoded) std::abort();
        return 0;
    }
    if (!encoded) std::abort();
    auto decoded = velkora::dataWithBase64EncodedString(*encoded);
    if (!decoded || *decoded != input) std::abort();
    return 0;
}
