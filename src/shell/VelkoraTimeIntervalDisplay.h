// The texts lists and chat bubbles show for server times: a relative age in the host's wording, or a
// clock time or calendar date in device time. Every text comes from the strings table "VelkoraLocalizable".
#pragma once

#include <string>

#include "platform/foundation/RunLoop.h"

namespace velkora {

class VelkoraTimeIntervalDisplay {
public:
    // `age` is seconds before the server's now (VelkoraServerClientAgent::getServerTimeDiff).
    static std::string getLongDisplayString(double age);
    static std::string getDisplayString(double age);
    // `date` is a time the server gave, shown in device time: "hh:mm a" and "MMM dd, yyyy".
    static std::string getJustTime(foundation::Date date);
    static std::string getJustDate(foundation::Date date);

    VelkoraTimeIntervalDisplay() = delete;
};

} // namespace velkora
