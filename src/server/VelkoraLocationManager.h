// The host's location manager as the server client reads it: the current position, when there is one.
#pragma once

#include <cmath>
#include <optional>

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

class VelkoraLocationManager {
public:
    virtual ~VelkoraLocationManager() = default;
    virtual std::optional<VelkoraCoordinate> location() const = 0;
};

}  // namespace velkora
