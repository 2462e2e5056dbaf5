// Single values of the quizzes the kit holds, by quiz id.
#pragma once

#include <optional>
#include <string>

#include "velkora/Export.h"

namespace velkora {

class VELKORA_EXPORT VKQuiz {
public:
    VKQuiz() = delete;
    // False for a quiz the kit does not hold.
    static bool isLockedForUser(int quizId);
    // None for a quiz the kit does not hold.
    static std::optional<std::string> getName(int quizId);
    static std::optional<std::string> getDescription(int quizId);
};

} // namespace velkora
