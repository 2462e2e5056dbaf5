// How the command groups plug into the protocol object and the agent: each group's file gives the reply
// readers of its commands and the replays of its pending-request types. The core gathers them; a group
// adds nothing anywhere else but its own sections of the shared headers.
#pragma once

#include <map>
#include <span>

#include "platform/foundation/Value.h"
#include "server/VelkoraProtocolWrapper.h"
#include "server/VelkoraServerClientAgent.h"

namespace velkora::commands {

using Reader = void (*)(VelkoraProtocolWrapper&, VelkoraProtocolWrapperDelegate&, const foundation::Value&);
// A command's reply reader, run when the fetcher of that command delivers.
struct Branch {
    VelkoraCommand command;
    Reader read;
};
using Replays = std::map<int, VelkoraServerClientAgent::Replay>;

// A reply without an error that still lacks what its reader needs fails as an unreadable one does, so a
// caller waiting on it hears of it instead of waiting for ever.
void replyLacks(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d);

std::span<const Branch> coreBranches();
std::span<const Branch> accountBranches();
std::span<const Branch> peopleBranches();
std::span<const Branch> messageBranches();
std::span<const Branch> chatRoomBranches();
std::span<const Branch> stickerBranches();
std::span<const Branch> feedBranches();
std::span<const Branch> quizBranches();
std::span<const Branch> appDealBranches();

void addCoreReplays(Replays& table);
void addAccountReplays(Replays& table);
void addPeopleReplays(Replays& table);
void addMessageReplays(Replays& table);
void addChatRoomReplays(Replays& table);
void addStickerReplays(Replays& table);
void addFeedReplays(Replays& table);
void addQuizReplays(Replays& table);
void addAppDealReplays(Replays& table);

}  // namespace velkora::commands
