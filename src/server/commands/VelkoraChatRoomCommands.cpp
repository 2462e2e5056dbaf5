// Chat rooms: topics, comments, their likes and pictures.
#include "server/commands/VelkoraCommandGroups.h"

namespace velkora::commands {

std::span<const Branch> chatRoomBranches() { return {}; }
void addChatRoomReplays(Replays&) {}

}  // namespace velkora::commands
