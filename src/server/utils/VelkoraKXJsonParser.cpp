#include "server/utils/VelkoraKXJsonParser.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <iterator>

#include "platform/foundation/Log.h"
#include "platform/foundation/Utf8.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velkora {

using foundation::appendUtf8;
using foundation::Array;
using foundation::Dictionary;
using foundation::Number;
using foundation::utf8SequenceLength;
using foundation::Value;

namespace {

// One compare passes every byte above the space, the common case between tokens; a bit set names the rest.
inline bool isWhite(char ch) {
    constexpr uint64_t kBlanks = (uint64_t{1} << ' ') | (uint64_t{1} << '\t') | (uint64_t{1} << '\n') |
                                 (uint64_t{1} << '\v') | (uint64_t{1} << '\f') | (uint64_t{1} << '\r');
    auto byte = static_cast<unsigned char>(ch);
    return byte <= ' ' && ((kBlanks >> byte) & 1);
}

inline bool isDigit(char ch) {
    return static_cast<unsigned char>(ch - '0') < 10;
}

inline int hexValue(char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return -1;
}

// The first byte that ends a run of ordinary string characters: a quotation mark, a backslash, a control
// byte, or a byte of a multi-byte character (which is checked before the run goes on).
inline const char* findStop(const char* p, const char* end) {
#if defined(__SSE2__)
    const __m128i quote = _mm_set1_epi8('"');
    const __m128i backslash = _mm_set1_epi8('\\');
    const __m128i space = _mm_set1_epi8(0x20);
    while (end - p >= 16) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        // A signed compare puts the bytes from 0x80 up below the space as well.
        __m128i hit = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(x, quote), _mm_cmpeq_epi8(x, backslash)),
                                   _mm_cmplt_epi8(x, space));
        int mask = _mm_movemask_epi8(hit);
        if (mask) return p + __builtin_ctz(static_cast<unsigned>(mask));
        p += 16;
    }
#endif
    while (p < end) {
        unsigned char ch = static_cast<unsigned char>(*p);
        if (ch == '"' || ch == '\\' || ch < 0x20 || ch >= 0x80) return p;
        ++p;
    }
    return end;
}

// The first byte from p on that is not a decimal digit, or end. Numbers in replies run to ten digits and more
// (times, ids): a block compare ends the run with one branch instead of one per digit.
inline const char* skipDigits(const char* p, const char* end) {
#if defined(__SSE2__)
    const __m128i zero = _mm_set1_epi8('0');
    const __m128i nine = _mm_set1_epi8(9);
    while (end - p >= 16) {
        // A digit is a byte that, less '0', is at most 9 unsigned.
        __m128i d = _mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), zero);
        auto digits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(_mm_min_epu8(d, nine), d)));
        if (digits != 0xFFFF) return p + __builtin_ctz(~digits);
        p += 16;
    }
#endif
    while (p < end && isDigit(*p))
        ++p;
    return p;
}

// A cheap fingerprint of a key, to rule out most pairs before comparing keys for duplicates.
inline uint8_t keyBucket(std::string_view k) {
    // The bytes are packed side by side and mixed by one multiplication: the key has just been scanned, and
    // a chain of multiplications per key showed in the reading loop's time.
    uint32_t h = static_cast<uint32_t>(k.size());
    if (!k.empty()) {
        h |= static_cast<uint32_t>(static_cast<unsigned char>(k.front())) << 8;
        h |= static_cast<uint32_t>(static_cast<unsigned char>(k.back())) << 16;
        h |= static_cast<uint32_t>(static_cast<unsigned char>(k[k.size() / 2])) << 24;
    }
    return static_cast<uint8_t>((h * 0x9E3779B1u) >> 26);
}

constexpr size_t kIncrementalKeyCheck = 32;
constexpr uint32_t kMaxRoom = 1024;
constexpr uint8_t kHintWindow = 16;

std::string hexText(unsigned v) {
    char buf[8];
    auto r = std::to_chars(buf, buf + sizeof buf, v, 16);
    return std::string(buf, r.ptr);
}

} // namespace

std::optional<Value> VelkoraKXJsonParser::fragmentWithString(const char* text) {
    if (!text) {
        clearErrorTrace();
        addErrorWithCode(kVelkoraKXJsonNilInput, "Input was 'nil'");
        return std::nullopt;
    }
    return fragmentWithString(std::string_view(text));
}

std::optional<Value> VelkoraKXJsonParser::objectWithString(const char* text) {
    if (!text) {
        clearErrorTrace();
        addErrorWithCode(kVelkoraKXJsonNilInput, "Input was 'nil'");
        return std::nullopt;
    }
    return objectWithString(std::string_view(text));
}

std::optional<Value> VelkoraKXJsonParser::fragmentWithString(std::string_view text) {
    clearErrorTrace();
    std::optional<Value> result(std::in_place);
    if (!parse(text, *result)) return std::nullopt;
    return result;
}

std::optional<Value> VelkoraKXJsonParser::objectWithString(std::string_view text) {
    clearErrorTrace();
    std::optional<Value> result(std::in_place);
    if (!parse(text, *result)) return std::nullopt;
    if (!result->isDictionary() && !result->isArray()) {
        addErrorWithCode(kVelkoraKXJsonNotContainer, "Valid fragment, but not JSON");
        return std::nullopt;
    }
    return result;
}

template <typename... Args> Value& VelkoraKXJsonParser::place(Value& result, Args&&... args) {
    if (frames_.empty()) {
        result = Value(std::forward<Args>(args)...);
        return result;
    }
    Frame& frame = frames_.back();
    if (frame.room) [[unlikely]] {
        if (frame.array)
            frame.array->reserve(frame.room);
        else
            frame.dictionary->reserve(frame.room);
        frame.room = 0;
    }
    if (frame.array) return frame.array->emplace_back(std::forward<Args>(args)...);
    return frame.dictionary
        ->emplaceUnchecked(std::piecewise_construct, std::forward_as_tuple(pendingKey_.data(), pendingKey_.size()),
                           std::forward_as_tuple(std::forward<Args>(args)...))
        .second;
}

// Looks for the key among the object's earlier keys, comparing only where a fingerprint matches. Large
// objects, whose fingerprints would all match, are checked once when they close. The fingerprint is also
// the slot that the hints of a container under this key are kept in.
inline void VelkoraKXJsonParser::noteKey(std::string_view key) {
    Frame& frame = frames_.back();
    const Dictionary& dictionary = *frame.dictionary;
    uint8_t bucket = keyBucket(key);
    pendingSlot_ = bucket;
    if (frame.repeatedKey || dictionary.size() >= kIncrementalKeyCheck) return;
    uint64_t bit = uint64_t{1} << bucket;
    if ((frame.keyBuckets & bit) &&
        std::any_of(dictionary.begin(), dictionary.end(), [&](const auto& m) { return m.first == key; }))
        frame.repeatedKey = true;
    frame.keyBuckets |= bit;
}

void VelkoraKXJsonParser::open(Value& container, bool isObject) {
    size_t depth = frames_.size();
    uint8_t slot = 0;
    if (depth) slot = frames_.back().array ? frames_.back().slot : pendingSlot_;
    // An odd stride spreads the depths over the table.
    auto index = static_cast<uint16_t>(((depth * 41 + slot) * 2 + isObject) % hints_.size());
    uint32_t size = hints_[index].size;
    uint32_t room = size ? std::clamp<uint32_t>(size, 2, kMaxRoom) : isObject ? 7 : 8;
    if (isObject)
        frames_.push_back(Frame{nullptr, container.asDictionary(), 0, room, index, slot});
    else
        frames_.push_back(Frame{container.asArray(), nullptr, 0, room, index, slot});
    depth_ = static_cast<uint32_t>(frames_.size());
}

inline void VelkoraKXJsonParser::noteSize(uint16_t index, size_t n) {
    SizeHint& hint = hints_[index];
    auto size = static_cast<uint16_t>(std::min<size_t>(n, kMaxRoom));
    hint.size = std::max(hint.size, size);
    hint.windowMax = std::max(hint.windowMax, size);
    if (++hint.closed == kHintWindow) {
        hint.size = hint.windowMax;
        hint.windowMax = 0;
        hint.closed = 0;
    }
}

// Ends the innermost container. A key given twice keeps its first place and its last value.
void VelkoraKXJsonParser::close() {
    Frame frame = frames_.back();
    frames_.pop_back();
    depth_ = static_cast<uint32_t>(frames_.size());
    if (frame.array) {
        noteSize(frame.hint, frame.array->size());
        return;
    }
    Dictionary& dictionary = *frame.dictionary;
    size_t n = dictionary.size();
    noteSize(frame.hint, n);
    bool duplicate = frame.repeatedKey;
    if (!duplicate && n > kIncrementalKeyCheck) {
        std::vector<std::string_view> keys;
        keys.reserve(n);
        for (const auto& entry : dictionary)
            keys.emplace_back(entry.first);
        std::sort(keys.begin(), keys.end());
        duplicate = std::adjacent_find(keys.begin(), keys.end()) != keys.end();
    }
    if (!duplicate) return;
    Dictionary merged;
    merged.reserve(n);
    for (auto& entry : dictionary)
        merged.set(std::move(entry.first), std::move(entry.second));
    dictionary = std::move(merged);
}

// A failure unwinds the containers being read. Each of the `waitingFrames` outermost frames was waiting
// for the value that failed and adds its own line to the trace, innermost first.
void VelkoraKXJsonParser::unwind(size_t waitingFrames) {
    for (size_t i = waitingFrames; i-- > 0;) {
        if (frames_[i].array) {
            addErrorWithCode(kVelkoraKXJsonParse, "Expected value while parsing array");
            continue;
        }
        // An open container below holds its key as the last member; the innermost frame's is pending.
        std::string_view key =
            i + 1 < frames_.size() ? std::string_view((frames_[i].dictionary->end() - 1)->first) : pendingKey_;
        addErrorWithCode(kVelkoraKXJsonParse, foundation::format("Object value expected for key: %@", key));
    }
    frames_.clear();
    depth_ = 0;
}

bool VelkoraKXJsonParser::parse(std::string_view text, Value& result) {
    c_ = text.data();
    end_ = c_ + text.size();
    depth_ = 0;
    frames_.clear();

    auto skipWhite = [this] {
        while (c_ < end_ && isWhite(*c_))
            ++c_;
    };
    auto cur = [this] { return c_ < end_ ? *c_ : '\0'; };
    auto literal = [this](const char* word, size_t n) {
        if (static_cast<size_t>(end_ - c_) < n || std::memcmp(c_, word, n) != 0) return false;
        c_ += n;
        return true;
    };

    // Key: an object's next member, with its opening quotation mark under the cursor.
    enum class Step { Value, AfterValue, ArrayNext, ObjectNext, Key };
    Step step = Step::Value;
    for (;;) {
        switch (step) {
        case Step::Value: {
            skipWhite();
            if (c_ == end_) {
                addErrorWithCode(kVelkoraKXJsonEndOfInput, "Unexpected end of string");
                unwind(frames_.size());
                return false;
            }
            char ch = *c_;
            switch (ch) {
            case '[':
            case '{': {
                if (maxDepth_ && frames_.size() + 1 > maxDepth_) {
                    addErrorWithCode(kVelkoraKXJsonDepth, "Nested too deep");
                    unwind(frames_.size());
                    return false;
                }
                ++c_;
                bool isObject = ch == '{';
                open(isObject ? place(result, std::in_place_type<Dictionary>)
                              : place(result, std::in_place_type<Array>),
                     isObject);
                step = isObject ? Step::ObjectNext : Step::ArrayNext;
                continue;
            }
            case '"': {
                ++c_;
                std::string_view s = scanString();
                if (!s.data()) {
                    unwind(frames_.size());
                    return false;
                }
                place(result, std::in_place_type<std::string>, s);
                break;
            }
            case 't':
            case 'f':
            case 'n': {
                // Nothing is required after the word: what follows is judged by the enclosing scanner.
                const bool isTrue = ch == 't';
                const bool isFalse = ch == 'f';
                const char* rest = isTrue ? "rue" : isFalse ? "alse" : "ull";
                ++c_;
                if (!literal(rest, isFalse ? 4 : 3)) {
                    addErrorWithCode(kVelkoraKXJsonParse, isTrue    ? "Expected 'true'"
                                                          : isFalse ? "Expected 'false'"
                                                                    : "Expected 'null'");
                    unwind(frames_.size());
                    return false;
                }
                if (ch == 'n')
                    place(result, nullptr);
                else
                    place(result, isTrue);
                break;
            }
            case '+':
                addErrorWithCode(kVelkoraKXJsonNumber, "Leading + disallowed in number");
                unwind(frames_.size());
                return false;
            default: {
                if (ch == '-' || isDigit(ch)) {
                    std::string_view number = scanNumber();
                    if (!number.data()) {
                        unwind(frames_.size());
                        return false;
                    }
                    // The exact text is the decimal number: nothing is rounded through binary floating point.
                    place(result, std::in_place_type<Number>, number.data(), number.size());
                    break;
                }
                addErrorWithCode(kVelkoraKXJsonParse, "Unrecognised leading character");
                unwind(frames_.size());
                return false;
            }
            }
            step = Step::AfterValue;
            continue;
        }
        case Step::AfterValue: {
            if (frames_.empty()) break;
            bool isObject = frames_.back().dictionary != nullptr;
            // Replies come without blanks: the separator or the closing mark right after the value, and after a
            // comma the next key or element. These go on at once instead of through the general steps below,
            // which would only find the same.
            if (c_ < end_) {
                const char closer = isObject ? '}' : ']';
                if (*c_ == closer) {
                    ++c_;
                    close();
                    continue;
                }
                if (*c_ == ',' && end_ - c_ >= 2) {
                    char next = c_[1];
                    if (isObject ? next == '"' : next != closer && !isWhite(next)) {
                        ++c_;
                        step = isObject ? Step::Key : Step::Value;
                        continue;
                    }
                }
            }
            skipWhite();
            if (cur() == ',') {
                ++c_;
                skipWhite();
                if (cur() == (isObject ? '}' : ']')) {
                    addErrorWithCode(kVelkoraKXJsonTrailingComma, isObject ? "Trailing comma disallowed in object"
                                                                           : "Trailing comma disallowed in array");
                    unwind(frames_.size() - 1);
                    return false;
                }
            }
            step = isObject ? Step::ObjectNext : Step::ArrayNext;
            continue;
        }
        case Step::ArrayNext: {
            if (c_ == end_) {
                addErrorWithCode(kVelkoraKXJsonEndOfInput, "End of input while parsing array");
                unwind(frames_.size() - 1);
                return false;
            }
            skipWhite();
            if (cur() == ']') {
                ++c_;
                close();
                step = Step::AfterValue;
                continue;
            }
            step = Step::Value;
            continue;
        }
        case Step::ObjectNext: {
            if (c_ == end_) {
                addErrorWithCode(kVelkoraKXJsonEndOfInput, "End of input while parsing object");
                unwind(frames_.size() - 1);
                return false;
            }
            skipWhite();
            if (cur() == '}') {
                ++c_;
                close();
                step = Step::AfterValue;
                continue;
            }
            [[fallthrough]];
        }
        case Step::Key: {
            std::string_view key;
            if (cur() != '"' || (++c_, !(key = scanString()).data())) {
                addErrorWithCode(kVelkoraKXJsonParse, "Object key string expected");
                unwind(frames_.size() - 1);
                return false;
            }
            if (key.data() == scratch_.data()) {
                // The value may use the scratch buffer too.
                keyScratch_.assign(key);
                key = keyScratch_;
            }
            pendingKey_ = key;
            noteKey(key);
            if (c_ < end_ && *c_ == ':') {
                ++c_;
                step = Step::Value;
                continue;
            }
            skipWhite();
            if (cur() != ':') {
                addErrorWithCode(kVelkoraKXJsonParse, "Expected ':' separating key and value");
                unwind(frames_.size() - 1);
                return false;
            }
            ++c_;
            step = Step::Value;
            continue;
        }
        }
        break; // the top value is complete
    }

    skipWhite();
    if (c_ != end_) {
        addErrorWithCode(kVelkoraKXJsonGarbage, "Garbage after JSON");
        return false;
    }
    return true;
}

// Reads a string after its opening quotation mark. Runs of ordinary characters are taken whole; only a
// string with escapes is assembled in the scratch buffer.
inline std::string_view VelkoraKXJsonParser::scanString() {
    const char* start = c_;
    const char* p = findStop(start, end_);
    if (p < end_ && *p == '"') [[likely]] {
        c_ = p + 1;
        return std::string_view(start, static_cast<size_t>(p - start));
    }
    return scanStringRest(start);
}

std::string_view VelkoraKXJsonParser::scanStringRest(const char* runStart) {
    bool assembled = false;
    for (;;) {
        const char* p = findStop(c_, end_);
        c_ = p;
        if (p == end_) {
            addErrorWithCode(kVelkoraKXJsonControlCharacter, "Unescaped control character '0x0'");
            return {};
        }
        unsigned char ch = static_cast<unsigned char>(*p);
        if (ch == '"') {
            ++c_;
            if (!assembled) return std::string_view(runStart, static_cast<size_t>(p - runStart));
            scratch_.append(runStart, p);
            return scratch_;
        }
        if (ch >= 0x80) {
            // Characters beyond ASCII tend to come in runs (a word in another script): check the whole run
            // before looking for the next stop.
            do {
                size_t n = utf8SequenceLength(p, end_);
                if (!n) {
                    c_ = p;
                    addErrorWithCode(kVelkoraKXJsonParse, foundation::format("Invalid UTF-8 byte '0x%@' in string",
                                                                             hexText(static_cast<unsigned char>(*p))));
                    return {};
                }
                p += n;
            } while (p < end_ && static_cast<unsigned char>(*p) >= 0x80);
            c_ = p;
            continue;
        }
        if (ch != '\\') {
            addErrorWithCode(kVelkoraKXJsonControlCharacter,
                             foundation::format("Unescaped control character '0x%@'", hexText(ch)));
            return {};
        }
        if (!assembled) {
            scratch_.clear();
            assembled = true;
        }
        scratch_.append(runStart, p);
        ++c_;
        char e = c_ < end_ ? *c_ : '\0';
        switch (e) {
        case '"':
        case '\\':
        case '/':
            scratch_ += e;
            ++c_;
            break;
        case 'b':
            scratch_ += '\b';
            ++c_;
            break;
        case 'f':
            scratch_ += '\f';
            ++c_;
            break;
        case 'n':
            scratch_ += '\n';
            ++c_;
            break;
        case 'r':
            scratch_ += '\r';
            ++c_;
            break;
        case 't':
            scratch_ += '\t';
            ++c_;
            break;
        case 'u':
            ++c_;
            if (!scanUnicodeEscape(scratch_)) {
                addErrorWithCode(kVelkoraKXJsonUnicode, "Broken unicode character");
                return {};
            }
            break;
        default:
            addErrorWithCode(kVelkoraKXJsonEscape, foundation::format("Illegal escape sequence '0x%@'",
                                                                      hexText(static_cast<unsigned char>(e))));
            return {};
        }
        if (c_ == end_) {
            addErrorWithCode(kVelkoraKXJsonEndOfInput, "Unexpected EOF while parsing string");
            return {};
        }
        runStart = c_;
    }
}

bool VelkoraKXJsonParser::scanHexQuad(unsigned& value) {
    value = 0;
    for (int i = 0; i < 4; ++i) {
        int d = c_ < end_ ? hexValue(*c_) : -1;
        if (d < 0) {
            addErrorWithCode(kVelkoraKXJsonUnicode, "Missing hex digit in quad");
            return false;
        }
        ++c_;
        value = value * 16 + static_cast<unsigned>(d);
    }
    return true;
}

bool VelkoraKXJsonParser::scanUnicodeEscape(std::string& out) {
    unsigned hi = 0;
    if (!scanHexQuad(hi)) {
        addErrorWithCode(kVelkoraKXJsonUnicode, "Missing hex quad");
        return false;
    }
    uint32_t cp = hi;
    if (hi >= 0xD800 && hi < 0xDC00) {
        unsigned lo = 0;
        bool escaped = end_ - c_ >= 2 && c_[0] == '\\' && c_[1] == 'u';
        if (escaped) c_ += 2;
        if (!escaped || !scanHexQuad(lo)) {
            addErrorWithCode(kVelkoraKXJsonUnicode, "Missing low character in surrogate pair");
            return false;
        }
        if (lo < 0xDC00 || lo > 0xDFFF) {
            addErrorWithCode(kVelkoraKXJsonUnicode, "Invalid low surrogate char");
            return false;
        }
        cp = 0x10000 + ((hi - 0xD800) << 10) + (lo - 0xDC00);
    } else if (hi >= 0xDC00 && hi < 0xE000) {
        addErrorWithCode(kVelkoraKXJsonUnicode, "Invalid high character in surrogate pair");
        return false;
    }
    appendUtf8(out, cp);
    return true;
}

// Works on a local cursor: through the member the compiler would store the position after every step.
std::string_view VelkoraKXJsonParser::scanNumber() {
    const char* const start = c_;
    const char* const end = end_;
    const char* p = start;
    auto digitHere = [&] { return p < end && isDigit(*p); };
    auto fail = [&](const char* description) {
        c_ = p;
        addErrorWithCode(kVelkoraKXJsonNumber, description);
        return std::string_view();
    };
    // Signs and a whole part of 0 follow no pattern in a list of coordinates or ratios: both are told without a
    // branch on each, the whole part read as one run of digits.
    p += *p == '-';
    const char* const whole = p;
    p = skipDigits(p, end);
    if (p == whole) return fail("No digits after initial minus");
    if ((*whole == '0') & (p - whole > 1)) {
        p = whole + 1;
        return fail("Leading 0 disallowed in number");
    }
    if (p < end && *p == '.') {
        const char* const fraction = ++p;
        p = skipDigits(p, end);
        if (p == fraction) return fail("No digits after decimal point");
    }
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        if (p < end && (*p == '-' || *p == '+')) ++p;
        if (!digitHere()) return fail("No digits after exponent");
        p = skipDigits(p, end);
    }
    c_ = p;
    return std::string_view(start, static_cast<size_t>(p - start));
}

} // namespace velkora
