// Single values of the chat-room topics the kit holds, by topic id.
#pragma once

#include <optional>
#include <string>

#include "velkora/Export.h"

namespace velkora {

class VELKORA_EXPORT VKChatRoomTopic {
public:
    VKChatRoomTopic() = delete;
    // -1 for a topic the kit does not hold.
    static int getCommentsNumber(int topicId);
    static int getLikesNumber(int topicId);
    // None for a topic the kit does not hold.
    static std::optional<std::string> getTitle(int topicId);
    static std::optional<std::string> getText(int topicId);
    static std::optional<std::string> getPhotoUrl(int topicId);
    // The author's user id.
    static std::optional<std::string> getUser(int topicId);
};

} // namespace velkora
