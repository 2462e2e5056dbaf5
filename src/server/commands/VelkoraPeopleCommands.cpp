// User data, people searches, suggestions, follows, blocking and reporting.
#include "server/commands/VelkoraCommandGroups.h"

namespace velkora::commands {

std::span<const Branch> peopleBranches() { return {}; }
void addPeopleReplays(Replays&) {}

}  // namespace velkora::commands
