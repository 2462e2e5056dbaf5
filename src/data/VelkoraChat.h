#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "data/VelkoraMessageInternal.h"

namespace velkora {

// One conversation of the inbox: the other user and the messages held, newest first.
class VelkoraChat {
    VELKORA_MODEL_PROPERTY(VelkoraUserPtr, user, User)
    VELKORA_MODEL_PROPERTY(std::vector<VelkoraMessagePtr>, messages, Messages)
    VELKORA_MODEL_PROPERTY(bool, systemChat, SystemChat)
    VELKORA_MODEL_PROPERTY(int32_t, numMessages, NumMessages)

public:
    std::vector<VelkoraMessagePtr>& mutableMessages() { return messages_; }
};

using VelkoraChatPtr = std::shared_ptr<VelkoraChat>;

}  // namespace velkora
