// What the user does in the kit's screens, kept in memory as "event;seconds" records until the next
// update poll carries them to the service.
#pragma once

#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace velkora {

class VelkoraLogEventsManager {
public:
    static VelkoraLogEventsManager& instance();

    // Appends "<event>;<whole seconds since 1970>" at the main run loop's time. Any thread may log.
    void logEvent(std::string_view event);

    // Drains every record: joined with "|" and escaped for a request. Empty when nothing was logged.
    std::string loggedEventsAsString();

    // The poll's way: take the records, send them (escapedLoggedEvents), and put them back in front of
    // anything logged meanwhile when the request fails, so that nothing is lost.
    std::vector<std::string> takeLoggedEvents();
    void putBackLoggedEvents(std::vector<std::string> records);
    static std::string escapedLoggedEvents(const std::vector<std::string>& records);

    // A copy of the records not yet drained.
    std::vector<std::string> loggedEvents() const;

private:
    VelkoraLogEventsManager() = default;

    mutable std::mutex mutex_;
    std::vector<std::string> loggedEvents_;
};

} // namespace velkora
