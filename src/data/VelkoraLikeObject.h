#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/VelkoraActivityModel.h"
#include "data/VelkoraChatRoomsComment.h"
#include "data/VelkoraChatRoomsTopic.h"
#include "data/VelkoraFeedMessage.h"
#include "data/VelkoraProperty.h"

namespace velkora {

// One likeable thing and, at the same time, one "like" activity of the feed: a host object named by a
// text, a feed post, a chat-room topic or comment, with its like count and its likers.
class VelkoraLikeObject : public VelkoraActivityModel {
public:
    enum Type : int32_t { NONE = 0, IMAGE = 1, VIDEO = 2, POST = 3, COMMENT = 4, TOPIC = 5, OTHER = 6 };

    VELKORA_MODEL_PROPERTY(OptionalText, appId, AppId)
    VELKORA_MODEL_PROPERTY(std::vector<VelkoraUserPtr>, users, Users)
    VELKORA_MODEL_PROPERTY(int32_t, changeNumber, ChangeNumber)
    VELKORA_MODEL_PROPERTY(int32_t, numLikes, NumLikes)
    VELKORA_MODEL_PROPERTY(OptionalText, data, Data)
    VELKORA_MODEL_PROPERTY(int32_t, type, Type)
    VELKORA_MODEL_PROPERTY(OptionalText, description, Description)
    VELKORA_MODEL_PROPERTY(OptionalDate, time, Time)
    VELKORA_MODEL_PROPERTY(int32_t, objectId, ObjectId)
    VELKORA_MODEL_PROPERTY(VelkoraFeedMessagePtr, feedMessage, FeedMessage)
    VELKORA_MODEL_PROPERTY(OptionalText, calculatedImageUrl, CalculatedImageUrl)
    VELKORA_MODEL_PROPERTY(VelkoraChatRoomsCommentPtr, chatRoomsComment, ChatRoomsComment)
    VELKORA_MODEL_PROPERTY(VelkoraChatRoomsTopicPtr, chatRoomsTopic, ChatRoomsTopic)

public:
    // The reply's "isLike" as stored; the activity query `isLike()` answers YES for every like object.
    bool storedIsLike() const { return isLike_; }
    void setIsLike(bool v) { isLike_ = v; }

    VelkoraUserPtr getPoster() const override { return users_.empty() ? nullptr : users_.front(); }
    OptionalDate getActivityTime() const override { return time_; }
    bool isLike() const override { return true; }
    std::string activityId() const override { return "feed-like-" + std::to_string(objectId_); }

    // The type word sent as the like command's object type; unset for a code outside the table.
    OptionalText getObjectTypeStr() const;
    // Sets the type from its exact word; an unknown word leaves the type as it was.
    void setObjectTypeStr(std::string_view word);
    // The key of this thing in the signed-in user's set of liked keys.
    std::string likeObjectToKey() const;
    // Works out the thumbnail address of a video link once; later calls keep it.
    void calculateVideoPreviewImage();

private:
    bool isLike_ = false;
};

using VelkoraLikeObjectPtr = std::shared_ptr<VelkoraLikeObject>;

}  // namespace velkora
