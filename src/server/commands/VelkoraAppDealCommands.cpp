// Promoted applications.
#include "server/commands/VelkoraCommandGroups.h"

namespace velkora::commands {

std::span<const Branch> appDealBranches() { return {}; }
void addAppDealReplays(Replays&) {}

}  // namespace velkora::commands
