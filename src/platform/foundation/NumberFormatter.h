// Locale-aware display of numbers and prices.
#pragma once

#include <string>
#include <string_view>

namespace velkora::foundation {

class NumberFormatter {
public:
    enum class Style { Decimal, Currency };

    // `localeIdentifier` names a locale ("en_US", "de_DE", "fr_FR@currency=EUR"); empty means the
    // process's current locale. Returns "" only when the locale's formatter cannot be made.
    static std::string format(double number, Style style, std::string_view localeIdentifier = {});
};

}  // namespace velkora::foundation
