#include "shell/VelkoraTimeIntervalDisplay.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/Log.h"
#include "server/VelkoraServerClientAgent.h"

namespace velkora {

namespace {

// One row of the age table: ages below `bound` use it. A unit of 0 means the text has no number.
struct Row {
    double bound;
    const char* key;
    double unit;
};

constexpr double kForever = std::numeric_limits<double>::infinity();

constexpr Row kLongRows[] = {
    {15, "velkora_text_a_few_seconds_ago", 0}, {60, "velkora_text_long_n_seconds_ago", 1},
    {120, "velkora_text_a_minute_ago", 0},     {3600, "velkora_text_long_n_minutes_ago", 60},
    {7200, "velkora_text_an_hour_ago", 0},     {86400, "velkora_text_long_n_hours_ago", 3600},
    {172800, "velkora_text_yesterday", 0},     {kForever, "velkora_text_long_n_days_ago", 86400},
};

// The short wording has no singular rows: a number from 15 seconds up to a day.
constexpr Row kShortRows[] = {
    {15, "velkora_text_a_few_seconds_ago", 0},      {60, "velkora_text_short_n_seconds_ago", 1},
    {3600, "velkora_text_short_n_minutes_ago", 60}, {86400, "velkora_text_short_n_hours_ago", 3600},
    {172800, "velkora_text_yesterday", 0},          {kForever, "velkora_text_short_n_days_ago", 86400},
};

// Truncated toward zero and held to the 32-bit range, so an absurd age cannot overflow the number.
int32_t countOf(double age, double unit) {
    double n = std::trunc(age / unit);
    if (n >= static_cast<double>(std::numeric_limits<int32_t>::max())) return std::numeric_limits<int32_t>::max();
    if (n <= static_cast<double>(std::numeric_limits<int32_t>::min())) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(n);
}

template <size_t N> std::string display(double age, const Row (&rows)[N]) {
    // An age that is no number (a broken date) reads like one just made, as does one in the future.
    if (std::isnan(age)) age = 0;
    for (const Row& row : rows) {
        // The last row takes every age left, an infinite one too.
        if (!(age < row.bound) && &row != &rows[N - 1]) continue;
        // The host's text is used as a template with one number, never handed to printf.
        std::string text = foundation::Bundle::main().localizedString(row.key);
        if (row.unit == 0) return text;
        return foundation::format(text, countOf(age, row.unit));
    }
    return {}; // not reached: the last row takes every age
}

std::string formatInDeviceTime(foundation::Date date, const char* pattern) {
    foundation::Date deviceDate = VelkoraServerClientAgent::instance().getDateWithServerDiff(date);
    return foundation::DateFormatter(pattern).stringFromDate(deviceDate);
}

} // namespace

std::string VelkoraTimeIntervalDisplay::getLongDisplayString(double age) {
    return display(age, kLongRows);
}

std::string VelkoraTimeIntervalDisplay::getDisplayString(double age) {
    return display(age, kShortRows);
}

std::string VelkoraTimeIntervalDisplay::getJustTime(foundation::Date date) {
    return formatInDeviceTime(date, "hh:mm a");
}

std::string VelkoraTimeIntervalDisplay::getJustDate(foundation::Date date) {
    return formatInDeviceTime(date, "MMM dd, yyyy");
}

} // namespace velkora
