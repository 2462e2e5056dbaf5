#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "data/VelkoraChatRoomsComment.h"
#include "data/VelkoraProperty.h"
#include "data/VelkoraUserInternal.h"

namespace velkora {

// One chat-room topic with its comments. Comments of a reply arrive as events; whoever keeps the topic
// moves them into its comment set (one comment per id) with `addComment`.
class VelkoraChatRoomsTopic {
    VELKORA_MODEL_PROPERTY(int32_t, topicId, TopicId)
    VELKORA_MODEL_PROPERTY(int32_t, changeNumber, ChangeNumber)
    VELKORA_MODEL_PROPERTY(int32_t, commentsNumber, CommentsNumber)
    VELKORA_MODEL_PROPERTY(int32_t, likesNumber, LikesNumber)
    VELKORA_MODEL_PROPERTY(bool, isRemoved, IsRemoved)
    VELKORA_MODEL_PROPERTY(bool, isObject, IsObject)
    VELKORA_MODEL_PROPERTY(OptionalDate, dateTime, DateTime)
    VELKORA_MODEL_PROPERTY(OptionalText, title, Title)
    VELKORA_MODEL_PROPERTY(OptionalText, text, Text)
    VELKORA_MODEL_PROPERTY(OptionalText, contentType, ContentType)
    VELKORA_MODEL_PROPERTY(OptionalText, photoUrl, PhotoUrl)
    VELKORA_MODEL_PROPERTY(VelkoraUserPtr, user, User)

public:
    using Comments = std::vector<VelkoraChatRoomsCommentPtr>;

    // Every comment, by comment id: the newest first when `topNewest`, else the oldest first.
    Comments getComments(bool topNewest) const;
    // Stores the comment under its id, replacing one with the same id.
    void addComment(const VelkoraChatRoomsCommentPtr& comment);
    void deleteComment(int32_t commentId);
    // Removes every comment and event; the read position goes back to the start.
    void reset();
    void addTopicEvents(const Comments& events);
    // The events added since the previous call, oldest first; each event is handed out once.
    Comments getLatestTopicEvents();
    bool hasPhoto() const { return photoUrl_ && !photoUrl_->empty(); }

    static Comments sortedCommentsArray(Comments comments, bool topNewest);

private:
    std::map<int32_t, VelkoraChatRoomsCommentPtr> commentFromId_;
    Comments topicEvents_;
    size_t nextTopicEventIndex_ = 0;
};

using VelkoraChatRoomsTopicPtr = std::shared_ptr<VelkoraChatRoomsTopic>;

}  // namespace velkora
