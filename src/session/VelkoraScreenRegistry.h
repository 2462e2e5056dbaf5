// Screens by feature name. The session core and the screens never name each other's classes: each
// screen registers a maker under its feature name ("login", "myprofile", ...), and whoever opens a
// feature asks here. A name nobody registered is not part of this build: that is logged, and nothing
// opens.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "platform/foundation/Value.h"

namespace velkora {

namespace ui {
class ViewController;
}

class VelkoraScreenRegistry {
public:
    // Makes a new screen; `arguments` carry what the feature needs (a user id, a topic id), or null.
    using ScreenMaker = std::function<std::shared_ptr<ui::ViewController>(const foundation::Value& arguments)>;

    static VelkoraScreenRegistry& instance();

    // A later registration under the same name replaces the earlier one.
    void registerScreen(const std::string& featureName, ScreenMaker maker);
    void unregisterScreen(const std::string& featureName);
    bool hasScreen(const std::string& featureName) const;
    // Null (logged) when no maker is registered or the maker made nothing.
    std::shared_ptr<ui::ViewController> makeScreen(const std::string& featureName,
                                                   const foundation::Value& arguments = {}) const;

    // Forgets every maker; for tests.
    void resetForTests();

private:
    VelkoraScreenRegistry() = default;

    mutable std::mutex mutex_;
    std::map<std::string, ScreenMaker> makers_;
};

} // namespace velkora
