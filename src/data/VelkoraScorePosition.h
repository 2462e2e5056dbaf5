#pragma once

#include <cstdint>
#include <memory>

#include "data/VelkoraProperty.h"
#include "data/VelkoraUserInternal.h"

namespace velkora {

// One leaderboard row: the user's rank as the service numbers it and the score.
class VelkoraScorePosition {
    VELKORA_MODEL_PROPERTY(int64_t, position, Position)
    VELKORA_MODEL_PROPERTY(int64_t, score, Score)
    VELKORA_MODEL_PROPERTY(VelkoraUserPtr, user, User)
};

using VelkoraScorePositionPtr = std::shared_ptr<VelkoraScorePosition>;

}  // namespace velkora
