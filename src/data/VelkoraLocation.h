#pragma once

#include <memory>

#include "data/VelkoraProperty.h"

namespace velkora {

// Where a user was last seen, and how far from the current user the service says that is.
class VelkoraLocation {
    VELKORA_MODEL_PROPERTY(double, longitude, Longitude)
    VELKORA_MODEL_PROPERTY(double, latitude, Latitude)
    VELKORA_MODEL_PROPERTY(double, distance, Distance)

public:
    std::shared_ptr<VelkoraLocation> copy() const { return std::make_shared<VelkoraLocation>(*this); }
};

}  // namespace velkora
