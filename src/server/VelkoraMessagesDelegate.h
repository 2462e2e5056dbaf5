// What the update poll hands to the chats, feed and chat-room topics repositories. Every member is
// optional: an empty function is a method the delegate does not answer.
#pragma once

#include <functional>
#include <optional>
#include <vector>

#include "data/VelkoraChatRoomsTopic.h"
#include "data/VelkoraLikeObject.h"
#include "data/VelkoraMessageInternal.h"

namespace velkora {

class VelkoraMessagesDelegate {
public:
    virtual ~VelkoraMessagesDelegate() = default;

    // Private messages or feed items; no list when the poll brought none.
    std::function<void(const std::optional<std::vector<VelkoraMessagePtr>>& messages)> gotMessages;
    std::function<void(const std::vector<VelkoraLikeObjectPtr>& likes)> gotLikes;
    std::function<void(const std::vector<VelkoraChatRoomsTopicPtr>& topics)> gotTopics;
    std::function<void(const VelkoraChatRoomsTopicPtr& topic)> gotTopic;
};

}  // namespace velkora
