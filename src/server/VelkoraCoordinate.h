// A position as the server client sends it, and the one the device's location manager holds now.
#pragma once

#include <cmath>
#include <memory>
#include <optional>

#include "platform/services/LocationManager.h"

namespace velkora {

struct VelkoraCoordinate {
    double longitude = 0;
    double latitude = 0;

    // A device without a fix reports (0, 0). Only a position that close to it on both axes counts as
    // none: a user on the equator or on the prime meridian has a real position.
    bool isFix() const {
        constexpr double kNoFixRadius = 0.001;
        return std::fabs(longitude) >= kNoFixRadius || std::fabs(latitude) >= kNoFixRadius;
    }
};

// The manager's current position; none without a manager or before its first fix.
inline std::optional<VelkoraCoordinate> currentCoordinate(const std::shared_ptr<services::LocationManager>& manager) {
    if (!manager) return std::nullopt;
    auto fix = manager->location();
    if (!fix) return std::nullopt;
    return VelkoraCoordinate{fix->longitude, fix->latitude};
}

} // namespace velkora
