#pragma once

#include <cstdint>
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
    // Every comment, oldest (lowest id) first, without a copy.
    const Comments& comments() const { return comments_; }
    // Counts the changes other than a comment newer than all others added at the end: while it stays
    // the same, a list taken earlier is still the start of `comments()`.
    uint64_t rewrites() const { return rewrites_; }
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
    // By id, ascending: comments mostly come newer than all before them, and are then appended.
    Comments comments_;
    uint64_t rewrites_ = 0;
    Comments topicEvents_;
    size_t nextTopicEventIndex_ = 0;
};

using VelkoraChatRoomsTopicPtr = std::shared_ptr<VelkoraChatRoomsTopic>;

} // namespace velkora
