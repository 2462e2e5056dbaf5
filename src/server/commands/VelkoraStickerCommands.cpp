// The sticker store: packs free and paid.
#include "server/commands/VelkoraCommandGroups.h"

namespace velkora::commands {

std::span<const Branch> stickerBranches() { return {}; }
void addStickerReplays(Replays&) {}

}  // namespace velkora::commands
