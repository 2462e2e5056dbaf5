#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/DayCalendar.h"

#include <unicode/calendar.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <cmath>
#include <memory>
#include <mutex>

#include "platform/foundation/Log.h"

namespace velkora::foundation {

namespace {

struct Current {
    std::mutex mutex;
    std::string locale;   // empty: the system's
    std::string timeZone; // empty: the system's
};

Current& current() {
    static Current c;
    return c;
}

// ICU answers an unknown zone id with its "unknown" zone rather than failing; that must not pass for a
// real zone, or dates would silently come out in GMT.
std::unique_ptr<icu::TimeZone> makeZone(const std::string& id) {
    if (id.empty()) return std::unique_ptr<icu::TimeZone>(icu::TimeZone::createDefault());
    std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createTimeZone(icu::UnicodeString::fromUTF8(id)));
    if (!zone || *zone == icu::TimeZone::getUnknown()) return nullptr;
    return zone;
}

} // namespace

DateFormatter::DateFormatter(std::string pattern, std::string localeIdentifier, std::string timeZoneIdentifier)
    : pattern_(std::move(pattern)), locale_(std::move(localeIdentifier)), timeZone_(std::move(timeZoneIdentifier)) {}

std::string DateFormatter::stringFromDate(Date date) const {
    if (!std::isfinite(date)) return {};
    std::string localeId = locale_.empty() ? currentLocaleIdentifier() : locale_;
    std::string zoneId = timeZone_.empty() ? currentTimeZoneIdentifier() : timeZone_;
    icu::Locale locale = localeId.empty() ? icu::Locale::getDefault() : icu::Locale::createCanonical(localeId.c_str());
    auto zone = makeZone(zoneId);
    if (!zone) return {};
    UErrorCode status = U_ZERO_ERROR;
    icu::SimpleDateFormat formatter(icu::UnicodeString::fromUTF8(pattern_), locale, status);
    if (U_FAILURE(status)) return {};
    formatter.adoptTimeZone(zone.release());
    icu::UnicodeString text;
    formatter.format(static_cast<UDate>(date * 1000.0), text);
    std::string out;
    text.toUTF8String(out);
    return out;
}

std::string DateFormatter::currentLocaleIdentifier() {
    std::lock_guard lock(current().mutex);
    return current().locale;
}

void DateFormatter::setCurrentLocaleIdentifier(std::string identifier) {
    std::lock_guard lock(current().mutex);
    current().locale = std::move(identifier);
}

std::string DateFormatter::currentTimeZoneIdentifier() {
    std::lock_guard lock(current().mutex);
    return current().timeZone;
}

bool DateFormatter::setCurrentTimeZoneIdentifier(std::string identifier) {
    if (!identifier.empty() && !makeZone(identifier)) {
        Log::line("Velkora (W) - Unknown time zone %@; the current zone stays", identifier);
        return false;
    }
    std::lock_guard lock(current().mutex);
    current().timeZone = std::move(identifier);
    return true;
}

struct DayCalendar::Impl {
    std::unique_ptr<icu::Calendar> calendar;
};

// Day calendars share the formatters' zone handling, so they live here.

DayCalendar::DayCalendar(std::string timeZoneIdentifier)
    : timeZone_(timeZoneIdentifier.empty() ? DateFormatter::currentTimeZoneIdentifier()
                                           : std::move(timeZoneIdentifier)),
      impl_(std::make_unique<Impl>()) {
    auto zone = makeZone(timeZone_);
    if (!zone) return;
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Calendar> calendar(icu::Calendar::createInstance(zone.release(), status));
    if (U_SUCCESS(status)) impl_->calendar = std::move(calendar);
}

DayCalendar::~DayCalendar() = default;

Date DayCalendar::startOfDay(Date date) const {
    if (!impl_->calendar || !std::isfinite(date)) return date;
    icu::Calendar& c = *impl_->calendar;
    UErrorCode status = U_ZERO_ERROR;
    c.setTime(static_cast<UDate>(date * 1000.0), status);
    const int32_t year = c.get(UCAL_EXTENDED_YEAR, status);
    const int32_t dayOfYear = c.get(UCAL_DAY_OF_YEAR, status);
    if (U_FAILURE(status)) return date;
    c.clear();
    c.set(UCAL_EXTENDED_YEAR, year);
    c.set(UCAL_DAY_OF_YEAR, dayOfYear);
    c.set(UCAL_HOUR_OF_DAY, 0);
    // A midnight that a clock change skips resolves to the first instant after the gap.
    c.setSkippedWallTimeOption(UCAL_WALLTIME_NEXT_VALID);
    const UDate start = c.getTime(status);
    if (U_FAILURE(status)) return date;
    return static_cast<Date>(start) / 1000.0;
}

} // namespace velkora::foundation
