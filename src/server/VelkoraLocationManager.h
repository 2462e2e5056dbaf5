// The host's location manager as the server client reads it: the current position, when there is one.
#pragma once

#include <optional>

namespace velkora {

struct VelkoraCoordinate {
    double longitude = 0;
    double latitude = 0;
};

class VelkoraLocationManager {
public:
    virtual ~VelkoraLocationManager() = default;
    virtual std::optional<VelkoraCoordinate> location() const = 0;
};

}  // namespace velkora
