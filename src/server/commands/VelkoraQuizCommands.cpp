// Quizzes, their products and the scores.
#include "server/commands/VelkoraCommandGroups.h"

namespace velkora::commands {

std::span<const Branch> quizBranches() { return {}; }
void addQuizReplays(Replays&) {}

}  // namespace velkora::commands
