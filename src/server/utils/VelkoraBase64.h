// Base64 in the two alphabets the kit writes: the standard one (`VelkoraBase64`, for the push device
// token) and the URL- and file-safe one (the `Base64` family, for pictures and purchase receipts sent in
// form texts).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velkora {

class VelkoraBase64 {
public:
    // Standard alphabet with "=" padding; an empty input gives an empty text.
    static std::string encode(std::span<const uint8_t> bytes);
    static std::string encode(std::string_view bytes);
    // A negative length encodes nothing.
    static std::string encode(const uint8_t* bytes, int32_t length);

    // Lenient: trailing "=" dropped, characters outside the alphabet read as 0. A null pointer gives nullopt.
    static std::vector<uint8_t> decode(std::string_view text);
    static std::optional<std::vector<uint8_t>> decode(const char* text, int32_t length);
};

// The `Base64` family. Encoding writes the URL- and file-safe alphabet ("-" and "_"), with a line break
// (CR LF) after every `wrapWidth` characters (cut down to a multiple of 4; 0 for none). An empty input
// gives nullopt.
std::optional<std::string> base64EncodedStringWithWrapWidth(std::span<const uint8_t> bytes, unsigned wrapWidth);
std::optional<std::string> base64EncodedStringWithWrapWidth(std::string_view bytes, unsigned wrapWidth);
std::optional<std::string> base64EncodedString(std::span<const uint8_t> bytes);
std::optional<std::string> base64EncodedString(std::string_view bytes);
// Decoding reads both alphabets and skips every other character (padding and line breaks included);
// nullopt when nothing decodes.
std::optional<std::vector<uint8_t>> dataWithBase64EncodedString(std::string_view text);
// The decoded bytes as UTF-8 text; nullopt when nothing decodes or the bytes are not UTF-8.
std::optional<std::string> stringWithBase64EncodedString(std::string_view text);

} // namespace velkora
