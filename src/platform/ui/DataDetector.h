// Finding links in text: web addresses (with or without a scheme, and e-mail addresses as "mailto:")
// and phone numbers. Ranges are UTF-16. Pure and thread-safe: meant to run on a background queue.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/ui/Utf16.h"

namespace velkora::ui {

// The platform's text-checking types.
enum class TextCheckingType : uint64_t {
    Date = 1ull << 3,
    Address = 1ull << 4,
    Link = 1ull << 5,
    Replacement = 1ull << 8,
    PhoneNumber = 1ull << 11,
};

// The data-detector bits a label is given, and the checking types they ask for.
namespace DataDetectorTypes {
inline constexpr uint32_t PhoneNumber = 1;
inline constexpr uint32_t Link = 2;
inline constexpr uint32_t Address = 4;
inline constexpr uint32_t CalendarEvent = 8;
inline constexpr uint32_t All = 0xffffffffu;
}  // namespace DataDetectorTypes

uint64_t checkingTypesForDetectorTypes(uint32_t detectorTypes);

struct TextCheckingResult {
    TextCheckingType resultType = TextCheckingType::Link;
    TextRange range;
    std::string url;          // links
    std::string phoneNumber;  // phone numbers, as written
    std::string replacementString;
    std::map<std::string, std::string> addressComponents;
    double date = 0;  // seconds since 1970
    std::string timeZone;
    double duration = 0;

    static TextCheckingResult link(TextRange range, std::string url);
    static TextCheckingResult phoneNumberResult(TextRange range, std::string number);
    static TextCheckingResult replacement(TextRange range, std::string replacement);
    static TextCheckingResult address(TextRange range, std::map<std::string, std::string> components);
    static TextCheckingResult dateResult(TextRange range, double date, std::string timeZone = {}, double duration = 0);
    friend bool operator==(const TextCheckingResult&, const TextCheckingResult&) = default;
};

class DataDetector {
public:
    // `types`: a mask of TextCheckingType values.
    explicit DataDetector(uint64_t types) : types_(types) {}
    uint64_t checkingTypes() const { return types_; }
    // Matches in text order; they never overlap.
    std::vector<TextCheckingResult> matches(const std::string& text) const;

private:
    uint64_t types_;
};

}  // namespace velkora::ui
