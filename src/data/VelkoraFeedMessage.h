#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/VelkoraActivityModel.h"
#include "data/VelkoraMessageInternal.h"

namespace velkora {

// One feed item. Its message type: 0 a post, 1 the poster followed `otherUser`, 2 the poster joined,
// 3 the poster commented on the topic `topicId` / `topicTitle`.
class VelkoraFeedMessage : public VelkoraMessageInternal, public VelkoraActivityModel {
    VELKORA_MODEL_PROPERTY(VelkoraUserPtr, replyToUser, ReplyToUser)
    VELKORA_MODEL_PROPERTY(int32_t, originalId, OriginalId)
    VELKORA_MODEL_PROPERTY(int32_t, resendId, ResendId)
    VELKORA_MODEL_PROPERTY(int32_t, resends, Resends)
    VELKORA_MODEL_PROPERTY(int32_t, replyTo, ReplyTo)
    VELKORA_MODEL_PROPERTY(std::vector<VelkoraUserPtr>, resenders, Resenders)
    VELKORA_MODEL_PROPERTY(OptionalDate, resendTime, ResendTime)
    VELKORA_MODEL_PROPERTY(OptionalText, descImageUrl, DescImageUrl)
    VELKORA_MODEL_PROPERTY(OptionalText, descText, DescText)
    VELKORA_MODEL_PROPERTY(OptionalText, descSubText, DescSubText)
    VELKORA_MODEL_PROPERTY(OptionalText, actionVerb, ActionVerb)
    VELKORA_MODEL_PROPERTY(OptionalText, actionId, ActionId)
    VELKORA_MODEL_PROPERTY(int32_t, numLikes, NumLikes)
    VELKORA_MODEL_PROPERTY(int32_t, topicId, TopicId)
    VELKORA_MODEL_PROPERTY(OptionalText, topicTitle, TopicTitle)

public:
    std::vector<VelkoraUserPtr>& mutableResenders() { return resenders_; }

    VelkoraUserPtr getPoster() const override { return sender(); }
    OptionalDate getActivityTime() const override { return time(); }
    bool isLike() const override { return false; }
    std::string activityId() const override { return "feed-message-" + std::to_string(messageId()); }

    bool isUserResender(const VelkoraUserPtr& user) const {
        for (const auto& r : resenders_) {
            if (sameUser(r, user)) return true;
        }
        return false;
    }
};

using VelkoraFeedMessagePtr = std::shared_ptr<VelkoraFeedMessage>;

}  // namespace velkora
