#include "server/utils/VelkoraBase64.h"

#include <array>

#include "platform/foundation/Utf8.h"

namespace velkora {

using foundation::isValidUtf8;

namespace {

constexpr char kStandard[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kSafe[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
constexpr uint8_t kSkip = 0xFF;

// Value of each character; kSkip for characters outside the alphabets. The safe alphabet's "-" and "_"
// read as "+" and "/" do, so what the family writes also reads back.
constexpr std::array<uint8_t, 256> makeDecodeTable() {
    std::array<uint8_t, 256> table{};
    for (auto& entry : table)
        entry = kSkip;
    for (uint8_t i = 0; i < 64; ++i) {
        table[static_cast<unsigned char>(kStandard[i])] = i;
        table[static_cast<unsigned char>(kSafe[i])] = i;
    }
    return table;
}

constexpr std::array<uint8_t, 256> kDecode = makeDecodeTable();

// Four characters for each group of three bytes; a final group of one or two bytes is padded with "=".
// `afterGroup` runs after each full group (the safe family breaks lines there).
template <typename AfterGroup>
void encodeInto(std::string& out, const uint8_t* in, size_t n, const char* alphabet, AfterGroup afterGroup) {
    size_t i = 0;
    for (; i + 3 <= n; i += 3) {
        uint32_t v = (uint32_t{in[i]} << 16) | (uint32_t{in[i + 1]} << 8) | in[i + 2];
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += alphabet[v & 63];
        afterGroup();
    }
    if (size_t rest = n - i) {
        uint32_t v = (uint32_t{in[i]} << 16) | (rest == 2 ? uint32_t{in[i + 1]} << 8 : 0);
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += rest == 2 ? alphabet[(v >> 6) & 63] : '=';
        out += '=';
    }
}

std::span<const uint8_t> bytesOf(std::string_view text) {
    return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

} // namespace

std::string VelkoraBase64::encode(std::span<const uint8_t> bytes) {
    std::string out;
    out.reserve(4 * ((bytes.size() + 2) / 3));
    encodeInto(out, bytes.data(), bytes.size(), kStandard, [] {});
    return out;
}

std::string VelkoraBase64::encode(std::string_view bytes) {
    return encode(bytesOf(bytes));
}

std::string VelkoraBase64::encode(const uint8_t* bytes, int32_t length) {
    if (!bytes || length <= 0) return {};
    return encode(std::span<const uint8_t>(bytes, static_cast<size_t>(length)));
}

std::vector<uint8_t> VelkoraBase64::decode(std::string_view text) {
    while (!text.empty() && text.back() == '=')
        text.remove_suffix(1);
    size_t outLength = text.size() * 3 / 4;
    std::vector<uint8_t> out;
    out.reserve(outLength);
    auto value = [&](size_t i) -> uint32_t {
        if (i >= text.size()) return 0; // a group cut short reads "A"
        uint8_t v = kDecode[static_cast<unsigned char>(text[i])];
        // Only the standard alphabet counts here; anything else reads as 0.
        return v == kSkip || text[i] == '-' || text[i] == '_' ? 0 : v;
    };
    for (size_t i = 0; i < text.size() && out.size() < outLength; i += 4) {
        uint32_t v = (value(i) << 18) | (value(i + 1) << 12) | (value(i + 2) << 6) | value(i + 3);
        for (int shift = 16; shift >= 0 && out.size() < outLength; shift -= 8)
            out.push_back(static_cast<uint8_t>(v >> shift));
    }
    return out;
}

std::optional<std::vector<uint8_t>> VelkoraBase64::decode(const char* text, int32_t length) {
    if (!text) return std::nullopt;
    return decode(std::string_view(text, length > 0 ? static_cast<size_t>(length) : 0));
}

std::optional<std::string> base64EncodedStringWithWrapWidth(std::span<const uint8_t> bytes, unsigned wrapWidth) {
    const size_t width = wrapWidth & ~3u;
    std::string out;
    size_t groups = (bytes.size() + 2) / 3;
    out.reserve(4 * groups + (width ? 2 * (4 * groups / width + 1) : 0));
    encodeInto(out, bytes.data(), bytes.size(), kSafe, [&] {
        // A break after every `width` characters, counting the breaks already written.
        if (width && (out.size() + 2) % (width + 2) == 0) out += "\r\n";
    });
    if (out.size() < 4) return std::nullopt;
    return out;
}

std::optional<std::string> base64EncodedStringWithWrapWidth(std::string_view bytes, unsigned wrapWidth) {
    return base64EncodedStringWithWrapWidth(bytesOf(bytes), wrapWidth);
}

std::optional<std::string> base64EncodedString(std::span<const uint8_t> bytes) {
    return base64EncodedStringWithWrapWidth(bytes, 0);
}

std::optional<std::string> base64EncodedString(std::string_view bytes) {
    return base64EncodedStringWithWrapWidth(bytesOf(bytes), 0);
}

std::optional<std::vector<uint8_t>> dataWithBase64EncodedString(std::string_view text) {
    std::vector<uint8_t> out;
    out.reserve(text.size() * 3 / 4);
    uint32_t accumulated = 0;
    int count = 0;
    for (char ch : text) {
        // Bytes beyond ASCII are skipped like any other character outside the alphabets (folding them
        // to seven bits would read some of them as letters).
        uint8_t v = kDecode[static_cast<unsigned char>(ch)];
        if (v == kSkip) continue;
        accumulated = (accumulated << 6) | v;
        if (++count == 4) {
            out.push_back(static_cast<uint8_t>(accumulated >> 16));
            out.push_back(static_cast<uint8_t>(accumulated >> 8));
            out.push_back(static_cast<uint8_t>(accumulated));
            accumulated = 0;
            count = 0;
        }
    }
    if (count == 3) {
        out.push_back(static_cast<uint8_t>(accumulated >> 10));
        out.push_back(static_cast<uint8_t>(accumulated >> 2));
    } else if (count == 2) {
        out.push_back(static_cast<uint8_t>(accumulated >> 4));
    }
    if (out.empty()) return std::nullopt;
    return out;
}

std::optional<std::string> stringWithBase64EncodedString(std::string_view text) {
    auto data = dataWithBase64EncodedString(text);
    if (!data) return std::nullopt;
    std::string out(data->begin(), data->end());
    if (!isValidUtf8(out)) return std::nullopt;
    return out;
}

} // namespace velkora
