#include "platform/foundation/TextBreaks.h"

#include <unicode/brkiter.h>
#include <unicode/locid.h>
#include <unicode/unistr.h>
#include <unicode/utext.h>

#include <memory>

namespace velkora::foundation {

namespace {

// A character break iterator over the UTF-8 bytes themselves, so its offsets are byte offsets.
struct CharacterBreaks {
    UText* text = nullptr;
    std::unique_ptr<icu::BreakIterator> iterator;

    explicit CharacterBreaks(std::string_view s) {
        UErrorCode status = U_ZERO_ERROR;
        text = utext_openUTF8(nullptr, s.data(), static_cast<int64_t>(s.size()), &status);
        if (U_FAILURE(status)) return;
        iterator.reset(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
        if (U_FAILURE(status)) {
            iterator.reset();
            return;
        }
        iterator->setText(text, status);
        if (U_FAILURE(status)) iterator.reset();
    }
    ~CharacterBreaks() {
        iterator.reset();
        if (text) utext_close(text);
    }
    CharacterBreaks(const CharacterBreaks&) = delete;
    CharacterBreaks& operator=(const CharacterBreaks&) = delete;
};

} // namespace

std::string firstComposedCharacter(std::string_view text) {
    if (text.empty()) return {};
    CharacterBreaks breaks(text);
    if (!breaks.iterator) return std::string(text.substr(0, 1));
    int32_t end = breaks.iterator->following(0);
    if (end == icu::BreakIterator::DONE || end <= 0) return std::string(text);
    return std::string(text.substr(0, static_cast<size_t>(end)));
}

size_t composedCharacterStart(std::string_view text, size_t byteOffset) {
    if (byteOffset >= text.size()) return text.size();
    // The break iterator takes an offset inside a UTF-8 sequence for the end of the character before it,
    // so the offset first goes back to the start of its code point.
    while (byteOffset > 0 && (static_cast<unsigned char>(text[byteOffset]) & 0xC0) == 0x80)
        --byteOffset;
    CharacterBreaks breaks(text);
    if (!breaks.iterator) return byteOffset;
    if (breaks.iterator->isBoundary(static_cast<int32_t>(byteOffset))) return byteOffset;
    int32_t start = breaks.iterator->preceding(static_cast<int32_t>(byteOffset));
    return start == icu::BreakIterator::DONE ? 0 : static_cast<size_t>(start);
}

std::string capitalizedString(std::string_view text) {
    icu::UnicodeString s =
        icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
    // The locale's word breaks decide where a word begins; a null iterator asks ICU for them.
    s.toTitle(nullptr, icu::Locale::getDefault());
    std::string out;
    s.toUTF8String(out);
    return out;
}

} // namespace velkora::foundation
