// Checks that bytes are well-formed UTF-8 (no overlong forms, no surrogate halves, nothing beyond
// U+10FFFF), for the codecs that turn outside bytes into text.
#pragma once

#include <cstddef>
#include <string_view>

namespace velkora {

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

} // namespace velkora
