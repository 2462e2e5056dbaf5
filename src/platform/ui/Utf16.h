// Counting and cutting UTF-8 text in UTF-16 code units, the units every range and length of the ui layer
// is given in. Cuts never fall inside a character: an index inside a surrogate pair or a multi-byte
// sequence moves back to the start of that character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace velkora::ui {

// A range of UTF-16 code units, as the platform counts them.
struct TextRange {
    size_t location = 0;
    size_t length = 0;
    size_t end() const { return location + length; }
    bool contains(size_t index) const { return index >= location && index < location + length; }
    friend bool operator==(const TextRange&, const TextRange&) = default;
};

inline constexpr size_t kTextNotFound = 2147483647;

namespace utf16 {

// Length in bytes of the UTF-8 sequence led by `lead` (1 for stray continuation bytes, so broken text
// still advances).
inline size_t sequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xe0) == 0xc0) return 2;
    if ((lead & 0xf0) == 0xe0) return 3;
    if ((lead & 0xf8) == 0xf0) return 4;
    return 1;
}

// UTF-16 units of one character led by `lead`: 2 for characters outside the basic plane.
inline size_t unitsOf(unsigned char lead) { return sequenceLength(lead) == 4 ? 2 : 1; }

inline size_t length(std::string_view s) {
    size_t units = 0;
    for (size_t i = 0; i < s.size();) {
        size_t n = sequenceLength(static_cast<unsigned char>(s[i]));
        units += n == 4 ? 2 : 1;
        i += n;
    }
    return units;
}

// The byte offset of a UTF-16 index; an index inside a character gives the start of that character,
// and one past the end gives the end.
inline size_t byteOffset(std::string_view s, size_t index) {
    size_t units = 0, i = 0;
    while (i < s.size()) {
        size_t n = sequenceLength(static_cast<unsigned char>(s[i]));
        size_t u = n == 4 ? 2 : 1;
        if (units + u > index) return i;
        units += u;
        i += n;
    }
    return s.size();
}

// The UTF-16 index of a byte offset (moved back to its character's start).
inline size_t indexOfByte(std::string_view s, size_t byte) {
    size_t units = 0, i = 0;
    while (i < s.size()) {
        size_t n = sequenceLength(static_cast<unsigned char>(s[i]));
        if (i + n > byte) break;
        units += n == 4 ? 2 : 1;
        i += n;
    }
    return units;
}

// The characters of a UTF-16 range, widened to whole characters at both ends and clipped to the text.
inline std::string substring(std::string_view s, TextRange r) {
    size_t a = byteOffset(s, r.location);
    size_t endIndex = r.location + r.length;
    size_t b = byteOffset(s, endIndex);
    // An end inside a character keeps that character whole rather than splitting it.
    if (b < s.size() && indexOfByte(s, b) < endIndex) b += sequenceLength(static_cast<unsigned char>(s[b]));
    if (b < a) b = a;
    return std::string(s.substr(a, b - a));
}

inline std::string substring(std::string_view s, size_t location, size_t len) { return substring(s, {location, len}); }

// The longest prefix of at most `maxUnits` UTF-16 units that ends on a character boundary.
inline std::string prefix(std::string_view s, size_t maxUnits) { return std::string(s.substr(0, byteOffset(s, maxUnits))); }

}  // namespace utf16
}  // namespace velkora::ui
