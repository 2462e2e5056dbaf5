// Sign-up, log-in, social connections and the account's password and picture.
#include "server/commands/VelkoraCommandGroups.h"

namespace velkora::commands {

std::span<const Branch> accountBranches() { return {}; }
void addAccountReplays(Replays&) {}

}  // namespace velkora::commands
