// User defaults: a small persisted dictionary of values, kept as JSON in the documents folder and
// rewritten whole (atomically) on each change, so a value set is a value kept.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Value.h"

namespace velkora::foundation {

class UserDefaults {
public:
    static UserDefaults& standard();

    Value objectForKey(std::string_view key);
    std::optional<std::string> stringForKey(std::string_view key);
    void setObject(const Value& value, std::string_view key);  // a null value removes the key
    void removeObjectForKey(std::string_view key);
    // Writes what is held; false when the file could not be written.
    bool synchronize();

    // The file backing the defaults; by default "velkora.userdefaults.json" in the documents folder, read
    // on first use. Setting another path (tests, a host) drops what is held and reads that file.
    std::string filePath();
    void setFilePath(std::string path);

private:
    void loadLocked();
    bool saveLocked();

    std::mutex mutex_;
    std::string path_;
    bool loaded_ = false;
    Dictionary values_;
};

}  // namespace velkora::foundation
