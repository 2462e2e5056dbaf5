// Calendar days in a time zone (the process's current one unless named): where the day of a date begins.
// Keeps its calendar between calls, so filing many dates by day stays cheap.
#pragma once

#include <memory>
#include <string>

#include "platform/foundation/RunLoop.h"

namespace velkora::foundation {

class DayCalendar {
public:
    explicit DayCalendar(std::string timeZoneIdentifier = {});
    ~DayCalendar();
    DayCalendar(const DayCalendar&) = delete;
    DayCalendar& operator=(const DayCalendar&) = delete;

    // The local midnight that starts the day of `date` (the first instant of the day where a clock
    // change skips midnight); `date` itself when the zone cannot be used or the date is not finite.
    Date startOfDay(Date date) const;
    const std::string& timeZoneIdentifier() const { return timeZone_; }

private:
    struct Impl;
    std::string timeZone_;
    std::unique_ptr<Impl> impl_;
};

} // namespace velkora::foundation
