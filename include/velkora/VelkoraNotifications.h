// What the kit announces to a host, and how a host listens. Every callback runs on the main loop's
// thread (VelkoraMainLoop.h), synchronously when the kit posts.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <variant>

#include "velkora/Export.h"

namespace velkora {

// The kit is started and answers the host (start-up posts it before the first replies arrive).
inline constexpr const char* kVelkoraIsReady = "VelkoraIsReady";
// A new application configuration arrived.
inline constexpr const char* kVelkoraAppDataReceived = "VelkoraAppDataReceived";
// The current user's data arrived from the service.
inline constexpr const char* kVelkoraUserDataReceived = "VelkoraUserDataReceived";
// The user signed in or out; "loginState" 1 or 0.
inline constexpr const char* kVelkoraUserSigninChanged = "VelkoraUserSigninChanged";
// A feature's badge may have changed: "tabId" (the feature id) and "tabName" (its name, when it has one).
inline constexpr const char* kVelkoraBadgeNumberChangedNotification = "VelkoraBadgeNumberChangedNotification";
// The sidebar opened ("panelShowing", "panelWidth") and closed.
inline constexpr const char* kVelkoraNotificationWasActivated = "VelkoraNotificationWasActivated";
inline constexpr const char* kVelkoraNotificationWasDeactivated = "VelkoraNotificationWasDeactivated";
// The host's custom sidebar button was tapped.
inline constexpr const char* kVelkoraCustomButtonClicked = "kVelkoraCustomButtonClicked";
// A sticker pack entered the user's collection.
inline constexpr const char* kVelkoraStickerPackUpdated = "VelkoraStickerPackUpdated";

// A notification's user information: flat values only (flags, whole numbers, numbers, texts).
using VelkoraNotificationValue = std::variant<bool, std::int64_t, double, std::string>;
using VelkoraNotificationInfo = std::map<std::string, VelkoraNotificationValue>;

// Listening lasts as long as this object; moving it moves the listening.
class VELKORA_EXPORT VelkoraObservation {
public:
    VelkoraObservation() = default;
    explicit VelkoraObservation(std::uint64_t id) : id_(id) {}
    ~VelkoraObservation();
    VelkoraObservation(VelkoraObservation&& other) noexcept : id_(other.id_) { other.id_ = 0; }
    VelkoraObservation& operator=(VelkoraObservation&& other) noexcept;
    VelkoraObservation(const VelkoraObservation&) = delete;
    VelkoraObservation& operator=(const VelkoraObservation&) = delete;
    // Stops listening now.
    void reset();
    explicit operator bool() const { return id_ != 0; }

private:
    std::uint64_t id_ = 0;
};

// Calls `callback` with the user information of every notification of that name the kit posts, until the
// returned object goes. Values that are not flat (lists, objects) are left out of the information.
[[nodiscard]] VELKORA_EXPORT VelkoraObservation observe(const std::string& name,
                                                        std::function<void(const VelkoraNotificationInfo&)> callback);

} // namespace velkora
