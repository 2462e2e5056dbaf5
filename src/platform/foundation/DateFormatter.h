// Dates as text in a locale and a time zone, with the platform's date patterns ("hh:mm a",
// "MMM dd, yyyy"). Without a locale or a zone a formatter uses the process's current ones, which the
// host (and tests) may set.
#pragma once

#include <string>

#include "platform/foundation/RunLoop.h"

namespace velkora::foundation {

class DateFormatter {
public:
    // `localeIdentifier` names a locale ("en_US", "de_DE"), `timeZoneIdentifier` a zone ("UTC",
    // "Europe/Berlin"); empty means the process's current one.
    explicit DateFormatter(std::string pattern, std::string localeIdentifier = {}, std::string timeZoneIdentifier = {});

    // The date (seconds since 1970) as text; "" when the pattern, locale or zone cannot be used or the
    // date is not a finite number.
    std::string stringFromDate(Date date) const;

    const std::string& dateFormat() const { return pattern_; }
    const std::string& localeIdentifier() const { return locale_; }
    const std::string& timeZoneIdentifier() const { return timeZone_; }

    // The process's current locale and zone: the system's until set; empty sets them back to the
    // system's. An unknown zone name is refused (logged) and changes nothing.
    static std::string currentLocaleIdentifier();
    static void setCurrentLocaleIdentifier(std::string identifier);
    static std::string currentTimeZoneIdentifier();
    static bool setCurrentTimeZoneIdentifier(std::string identifier);

private:
    std::string pattern_;
    std::string locale_;
    std::string timeZone_;
};

} // namespace velkora::foundation
