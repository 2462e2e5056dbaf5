#pragma once

#include <cstdint>
#include <memory>

#include "data/VelkoraProperty.h"
#include "data/VelkoraUserInternal.h"

namespace velkora {

// One comment of a chat-room topic. Ids grow with time: a larger id is a newer comment.
class VelkoraChatRoomsComment {
    VELKORA_MODEL_PROPERTY(int32_t, commentId, CommentId)
    VELKORA_MODEL_PROPERTY(int32_t, topicId, TopicId)
    VELKORA_MODEL_PROPERTY(int32_t, likesNumber, LikesNumber)
    VELKORA_MODEL_PROPERTY(OptionalText, text, Text)
    VELKORA_MODEL_PROPERTY(OptionalText, contentType, ContentType)
    VELKORA_MODEL_PROPERTY(VelkoraUserPtr, user, User)
    VELKORA_MODEL_PROPERTY(OptionalDate, dateTime, DateTime)
};

using VelkoraChatRoomsCommentPtr = std::shared_ptr<VelkoraChatRoomsComment>;

}  // namespace velkora
