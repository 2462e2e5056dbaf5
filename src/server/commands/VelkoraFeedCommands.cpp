// The activity feed and likes.
#include "server/commands/VelkoraCommandGroups.h"

namespace velkora::commands {

std::span<const Branch> feedBranches() { return {}; }
void addFeedReplays(Replays&) {}

}  // namespace velkora::commands
