#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "data/VelkoraProperty.h"
#include "data/VelkoraQuizAnswer.h"

namespace velkora {

// One timed question of a quiz; a time limit of 0 means no countdown.
class VelkoraQuizQuestion {
    VELKORA_PROPERTY(int32_t, questionId, QuestionId)
    VELKORA_PROPERTY(OptionalText, question, Question)
    VELKORA_PROPERTY(int32_t, level, Level)
    VELKORA_PROPERTY(int32_t, score, Score)
    VELKORA_PROPERTY(int32_t, timeBonus, TimeBonus)
    VELKORA_PROPERTY(int32_t, timeLimit, TimeLimit)
    VELKORA_PROPERTY(std::vector<VelkoraQuizAnswerPtr>, answers, Answers)

public:
    std::vector<VelkoraQuizAnswerPtr>& mutableAnswers() { return answers_; }
};

using VelkoraQuizQuestionPtr = std::shared_ptr<VelkoraQuizQuestion>;

}  // namespace velkora
