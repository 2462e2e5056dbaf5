#pragma once

#include <cstdint>
#include <memory>

#include "data/VelkoraProperty.h"

namespace velkora {

// One answer of a quiz question; `hits` is the share of players who chose it, in whole percent.
class VelkoraQuizAnswer {
    VELKORA_MODEL_PROPERTY(int32_t, answerId, AnswerId)
    VELKORA_MODEL_PROPERTY(OptionalText, answer, Answer)
    VELKORA_MODEL_PROPERTY(bool, isCorrect, IsCorrect)
    VELKORA_MODEL_PROPERTY(int32_t, hits, Hits)
};

using VelkoraQuizAnswerPtr = std::shared_ptr<VelkoraQuizAnswer>;

}  // namespace velkora
