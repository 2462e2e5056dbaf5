#include "server/utils/VelkoraLogEventsManager.h"

#include <cmath>
#include <iterator>

#include "platform/foundation/RunLoop.h"
#include "server/utils/RequestText.h"

namespace velkora {

VelkoraLogEventsManager& VelkoraLogEventsManager::instance() {
    static VelkoraLogEventsManager manager;
    return manager;
}

void VelkoraLogEventsManager::logEvent(std::string_view event) {
    // Whole seconds, the fraction cut off.
    double now = foundation::RunLoop::main().now();
    auto seconds = static_cast<int64_t>(std::isfinite(now) ? std::trunc(now) : 0);
    std::string record(event);
    record += ';';
    record += std::to_string(seconds);
    std::lock_guard lock(mutex_);
    loggedEvents_.push_back(std::move(record));
}

std::string VelkoraLogEventsManager::escapedLoggedEvents(const std::vector<std::string>& records) {
    std::string joined;
    for (size_t i = 0; i < records.size(); ++i) {
        if (i) joined += '|';
        joined += records[i];
    }
    return escapeRequestValue(joined);
}

std::string VelkoraLogEventsManager::loggedEventsAsString() {
    return escapedLoggedEvents(takeLoggedEvents());
}

std::vector<std::string> VelkoraLogEventsManager::takeLoggedEvents() {
    std::lock_guard lock(mutex_);
    std::vector<std::string> records;
    records.swap(loggedEvents_);
    return records;
}

void VelkoraLogEventsManager::putBackLoggedEvents(std::vector<std::string> records) {
    if (records.empty()) return;
    std::lock_guard lock(mutex_);
    // The returned records are older than anything logged since they were taken.
    records.insert(records.end(), std::make_move_iterator(loggedEvents_.begin()),
                   std::make_move_iterator(loggedEvents_.end()));
    loggedEvents_.swap(records);
}

std::vector<std::string> VelkoraLogEventsManager::loggedEvents() const {
    std::lock_guard lock(mutex_);
    return loggedEvents_;
}

} // namespace velkora
