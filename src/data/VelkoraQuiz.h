#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "data/VelkoraProperty.h"
#include "data/VelkoraQuizQuestion.h"

namespace velkora {

// A quiz as the service hands it out: the questions of one game in play order and spare questions for
// the replace-question hint.
class VelkoraQuiz {
    VELKORA_MODEL_PROPERTY(int32_t, quizId, QuizId)
    VELKORA_MODEL_PROPERTY(bool, isLocked, IsLocked)
    VELKORA_MODEL_PROPERTY(int32_t, coinsToUnlock, CoinsToUnlock)
    VELKORA_MODEL_PROPERTY(OptionalText, name, Name)
    VELKORA_MODEL_PROPERTY(OptionalText, description, Description)
    VELKORA_MODEL_PROPERTY(std::vector<VelkoraQuizQuestionPtr>, questions, Questions)
    VELKORA_MODEL_PROPERTY(std::vector<VelkoraQuizQuestionPtr>, reserves, Reserves)

public:
    std::vector<VelkoraQuizQuestionPtr>& mutableQuestions() { return questions_; }
    std::vector<VelkoraQuizQuestionPtr>& mutableReserves() { return reserves_; }
};

using VelkoraQuizPtr = std::shared_ptr<VelkoraQuiz>;

}  // namespace velkora
