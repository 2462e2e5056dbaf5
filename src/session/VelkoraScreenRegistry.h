// Screens and other kit objects by name. The session core and the screens never name each other's
// classes: each screen registers a maker under its feature name ("login", "myprofile", ...), each kit
// object that others make by name (the sidebar, its gestures, the banner, the purchase managers) under
// its class name, and whoever needs one asks here. A name nobody registered is not part of this build:
// that is logged, and nothing is made.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <typeindex>
#include <vector>

#include "platform/foundation/Value.h"

namespace velkora {

namespace ui {
class ViewController;
}

// The keys of the arguments a screen maker is handed (a dictionary; an older caller may pass null).
struct VelkoraScreenArguments {
    // What the feature is opened with: a user id, a topic id, a user object, the leaderboard's level.
    static constexpr const char* kObject1 = "object1";
    static constexpr const char* kObject2 = "object2";
    // How the screen is shown: one of the kOpened* values.
    static constexpr const char* kOpenedAs = "openedAs";
    static constexpr const char* kOpenedInNavigation = "navigation"; // pushed on the host's stack
    static constexpr const char* kOpenedModally = "modal";           // in a stack of the kit's own
    static constexpr const char* kOpenedInTabBar = "tabBar";         // an entry of the host's tab bar
    static constexpr const char* kOpenedFromSidebar = "sidebarRow";  // a row of the sidebar's menu
    // The tab bar's options object (it takes object 1's place there).
    static constexpr const char* kOptions = "options";
    // The sidebar row's title.
    static constexpr const char* kTitle = "title";
    // Whoever carries out what the screen asks of its opener (an object of the interface the screen names).
    static constexpr const char* kDelegate = "delegate";

    // Object 1 of a dictionary of arguments, or of a plain argument as older callers pass it.
    static const foundation::Value& object1(const foundation::Value& arguments);
    static const foundation::Value& object2(const foundation::Value& arguments);
    static std::string openedAs(const foundation::Value& arguments);
};

class VelkoraScreenRegistry {
public:
    // Makes a new screen; `arguments` carry what the feature needs (see VelkoraScreenArguments), or null.
    using ScreenMaker = std::function<std::shared_ptr<ui::ViewController>(const foundation::Value& arguments)>;

    static VelkoraScreenRegistry& instance();

    // A later registration under the same name replaces the earlier one.
    void registerScreen(const std::string& featureName, ScreenMaker maker);
    void unregisterScreen(const std::string& featureName);
    bool hasScreen(const std::string& featureName) const;
    // Null (logged) when no maker is registered or the maker made nothing.
    std::shared_ptr<ui::ViewController> makeScreen(const std::string& featureName,
                                                   const foundation::Value& arguments = {}) const;

    // Kit objects other than screens, made (or handed out, for singletons) under their class name and
    // asked for with the type they are registered as.
    template <class T>
    void registerObject(const std::string& name, std::function<std::shared_ptr<T>(const foundation::Value&)> maker) {
        if (!maker) {
            unregisterObject(name);
            return;
        }
        registerObjectErased(
            name, typeid(T),
            [maker = std::move(maker)](const foundation::Value& a) -> std::shared_ptr<void> { return maker(a); });
    }
    void unregisterObject(const std::string& name);
    bool hasObject(const std::string& name) const;
    // Null when nobody registered the name (logged as "Velkora (W) - <name> is not part of this build") or
    // registered it with another type.
    template <class T>
    std::shared_ptr<T> makeObject(const std::string& name, const foundation::Value& arguments = {}) const {
        return std::static_pointer_cast<T>(makeObjectErased(name, typeid(T), arguments));
    }

    // Work of other folders run each time the user's own data arrives from the service, in the order
    // added; a later duty under the same name replaces the earlier one.
    void addUserDataDuty(const std::string& name, std::function<void()> duty);
    void runUserDataDuties() const;

    // "Velkora (W) - <what> is not part of this build".
    static void logNotInBuild(const std::string& what);

    // Forgets every maker and duty; for tests.
    void resetForTests();

private:
    using ErasedMaker = std::function<std::shared_ptr<void>(const foundation::Value&)>;
    struct ObjectEntry {
        std::type_index type = typeid(void);
        ErasedMaker maker;
    };

    VelkoraScreenRegistry() = default;
    void registerObjectErased(const std::string& name, std::type_index type, ErasedMaker maker);
    std::shared_ptr<void> makeObjectErased(const std::string& name, std::type_index type,
                                           const foundation::Value& arguments) const;

    mutable std::mutex mutex_;
    std::map<std::string, ScreenMaker> makers_;
    std::map<std::string, ObjectEntry> objects_;
    std::vector<std::pair<std::string, std::function<void()>>> duties_;
};

} // namespace velkora
