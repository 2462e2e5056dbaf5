// UTF-8 for the codecs that turn outside bytes into text: checking that bytes are well formed (no overlong
// forms, no surrogate halves, nothing beyond U+10FFFF) and encoding a code point.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velkora::foundation {

// Length of the well-formed multi-byte character that starts at p (a byte from 0x80 up), or 0.
inline size_t utf8SequenceLength(const char* p, const char* end) {
    auto at = [&](size_t i) { return static_cast<unsigned char>(p[i]); };
    auto cont = [&](size_t i) { return p + i < end && (at(i) & 0xC0) == 0x80; };
    unsigned b0 = at(0);
    if (b0 < 0x80) return 1;
    if (b0 < 0xC2) return 0;
    if (b0 < 0xE0) return cont(1) ? 2 : 0;
    if (b0 < 0xF0) {
        if (!cont(1) || !cont(2)) return 0;
        if (b0 == 0xE0 && at(1) < 0xA0) return 0;  // overlong
        if (b0 == 0xED && at(1) >= 0xA0) return 0; // a surrogate half
        return 3;
    }
    if (b0 < 0xF5) {
        if (!cont(1) || !cont(2) || !cont(3)) return 0;
        if (b0 == 0xF0 && at(1) < 0x90) return 0;  // overlong
        if (b0 == 0xF4 && at(1) >= 0x90) return 0; // beyond U+10FFFF
        return 4;
    }
    return 0;
}

inline bool isValidUtf8(std::string_view s) {
    const char* p = s.data();
    const char* end = p + s.size();
    while (p < end) {
        if (static_cast<unsigned char>(*p) < 0x80) {
            ++p;
            continue;
        }
        size_t n = utf8SequenceLength(p, end);
        if (!n) return false;
        p += n;
    }
    return true;
}

// Appends the UTF-8 bytes of a code point (the caller has already refused surrogate halves).
inline void appendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

}  // namespace velkora::foundation
