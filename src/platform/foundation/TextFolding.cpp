#include "platform/foundation/TextFolding.h"

#include "platform/foundation/Utf8.h"

#include <array>

#include <unicode/locid.h>
#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

namespace velkora::foundation {

namespace {

// The UTF-16 code unit that leads a code point: surrogates (0xD800..) for those outside the basic plane.
uint32_t leadUnit(char32_t c) {
    return c >= 0x10000 ? 0xD800 + ((c - 0x10000) >> 10) : c;
}

// Decodes one UTF-8 character at `i`, moving past it; broken bytes read as U+FFFD one byte at a time.
char32_t next(std::string_view s, size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    size_t n = b0 < 0x80 ? 1 : (b0 & 0xE0) == 0xC0 ? 2 : (b0 & 0xF0) == 0xE0 ? 3 : (b0 & 0xF8) == 0xF0 ? 4 : 0;
    if (n == 0 || i + n > s.size()) {
        ++i;
        return 0xFFFD;
    }
    char32_t c = n == 1 ? b0 : n == 2 ? (b0 & 0x1F) : n == 3 ? (b0 & 0x0F) : (b0 & 0x07);
    for (size_t k = 1; k < n; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return 0xFFFD;
        }
        c = (c << 6) | (b & 0x3F);
    }
    i += n;
    return c;
}

// Folding and upper-casing the first few hundred code points (Latin-1 and Latin Extended-A and -B, which
// hold nearly every name's letters) are looked up in tables made once through the same ICU calls, so a list
// of thousands of names does not pay ICU's set-up for each. Each of these code points folds on its own: case
// folding and canonical decomposition look at no neighbour, and combining marks lie above the tables.
constexpr char32_t kTabled = 0x250;

std::string foldWithIcu(std::string_view text) {
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = icu::Normalizer2::getNFDInstance(status);
    icu::UnicodeString source =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    source.foldCase();
    icu::UnicodeString decomposed = U_SUCCESS(status) ? nfd->normalize(source, status) : source;
    if (U_FAILURE(status)) decomposed = source;
    icu::UnicodeString stripped;
    for (int32_t k = 0; k < decomposed.length();) {
        UChar32 c = decomposed.char32At(k);
        if (u_charType(c) != U_NON_SPACING_MARK) stripped.append(c);
        k += U16_LENGTH(c);
    }
    std::string out;
    stripped.toUTF8String(out);
    return out;
}

char16_t upperFirstUnitWithIcu(char32_t c) {
    icu::UnicodeString first(static_cast<UChar32>(c));
    first.toUpper(icu::Locale::getRoot());
    return first.isEmpty() ? 0 : static_cast<char16_t>(first.charAt(0));
}

struct Tables {
    std::array<std::string, kTabled> folded;
    std::array<char16_t, kTabled> upperFirst{};
    Tables() {
        for (char32_t c = 0; c < kTabled; ++c) {
            std::string one;
            appendUtf8(one, static_cast<uint32_t>(c));
            folded[c] = foldWithIcu(one);
            upperFirst[c] = upperFirstUnitWithIcu(c);
        }
    }
};

const Tables& tables() {
    static const Tables made;
    return made;
}

} // namespace

int compareUtf16(std::string_view a, std::string_view b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        // Plain ASCII runs compare byte by byte: the common case for names stays a memcmp-like loop.
        const auto ca = static_cast<unsigned char>(a[i]), cb = static_cast<unsigned char>(b[j]);
        if (ca < 0x80 && cb < 0x80) {
            if (ca != cb) return ca < cb ? -1 : 1;
            ++i, ++j;
            continue;
        }
        const char32_t x = next(a, i), y = next(b, j);
        if (x == y) continue;
        const uint32_t ux = leadUnit(x), uy = leadUnit(y);
        if (ux != uy) return ux < uy ? -1 : 1;
        // Same lead surrogate: the trail units order as the code points do.
        return x < y ? -1 : 1;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

bool sortsBytewiseAsUtf16(std::string_view text) {
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        if (static_cast<unsigned char>(*p) < 0x80) {
            ++p;
            continue;
        }
        // Past the basic plane, UTF-16's surrogates sort below U+E000..U+FFFF while the bytes sort above.
        const size_t n = utf8SequenceLength(p, end);
        if (n == 0 || n == 4) return false;
        p += n;
    }
    return true;
}

std::string foldForSearch(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        if (b0 < 0x80) {
            out += static_cast<char>(b0 >= 'A' && b0 <= 'Z' ? b0 - 'A' + 'a' : b0);
            ++i;
            continue;
        }
        const char32_t c = next(text, i);
        // A broken byte, a letter past the tables or a combining mark: the whole text goes through ICU.
        if (c >= kTabled) return foldWithIcu(text);
        out += tables().folded[c];
    }
    return out;
}

char16_t firstUnitUpperCased(std::string_view text) {
    if (text.empty()) return 0;
    const auto b0 = static_cast<unsigned char>(text[0]);
    if (b0 < 0x80) return static_cast<char16_t>(b0 >= 'a' && b0 <= 'z' ? b0 - 'a' + 'A' : b0);
    size_t i = 0;
    const char32_t c = next(text, i);
    return c < kTabled ? tables().upperFirst[c] : upperFirstUnitWithIcu(c);
}

} // namespace velkora::foundation
