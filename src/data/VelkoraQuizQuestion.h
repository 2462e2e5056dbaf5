#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "data/VelkoraProperty.h"
#include "data/VelkoraQuizAnswer.h"

namespace velkora {

// One timed question of a quiz; a time limit of 0 means no countdown.
class VelkoraQuizQuestion {
    VELKORA_MODEL_PROPERTY(int32_t, questionId, QuestionId)
    VELKORA_MODEL_PROPERTY(OptionalText, question, Question)
    VELKORA_MODEL_PROPERTY(int32_t, level, Level)
    VELKORA_MODEL_PROPERTY(int32_t, score, Score)
    VELKORA_MODEL_PROPERTY(int32_t, timeBonus, TimeBonus)
    VELKORA_MODEL_PROPERTY(int32_t, timeLimit, TimeLimit)
    VELKORA_MODEL_PROPERTY(std::vector<VelkoraQuizAnswerPtr>, answers, Answers)

public:
    std::vector<VelkoraQuizAnswerPtr>& mutableAnswers() { return answers_; }
};

using VelkoraQuizQuestionPtr = std::shared_ptr<VelkoraQuizQuestion>;

}  // namespace velkora
