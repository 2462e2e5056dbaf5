#include "platform/foundation/NumberFormatter.h"

#include <unicode/locid.h>
#include <unicode/numfmt.h>
#include <unicode/unistr.h>

#include <memory>

#include "platform/foundation/DateFormatter.h"

namespace velkora::foundation {

std::string NumberFormatter::format(double number, Style style, std::string_view localeIdentifier) {
    // The process's current locale is the one the date formatters follow too, so numbers and dates of one
    // screen agree.
    const std::string id = localeIdentifier.empty() ? DateFormatter::currentLocaleIdentifier()
                                                    : std::string(localeIdentifier);
    icu::Locale locale = id.empty() ? icu::Locale::getDefault() : icu::Locale::createCanonical(id.c_str());
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::NumberFormat> formatter(style == Style::Currency
                                                     ? icu::NumberFormat::createCurrencyInstance(locale, status)
                                                     : icu::NumberFormat::createInstance(locale, status));
    if (U_FAILURE(status) || !formatter) return {};
    icu::UnicodeString text;
    formatter->format(number, text);
    std::string out;
    text.toUTF8String(out);
    return out;
}

}  // namespace velkora::foundation
