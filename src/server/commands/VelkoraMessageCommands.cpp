// Private messages, chats and the feedback form.
#include "server/commands/VelkoraCommandGroups.h"

namespace velkora::commands {

std::span<const Branch> messageBranches() { return {}; }
void addMessageReplays(Replays&) {}

}  // namespace velkora::commands
