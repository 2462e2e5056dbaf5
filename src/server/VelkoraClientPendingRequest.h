// A command made before the user is known, kept with its arguments until the session is initialised and
// then replayed by its type code.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "data/VelkoraFeedMessage.h"
#include "data/VelkoraLikeObject.h"
#include "data/VelkoraUserInternal.h"
#include "server/VelkoraCallback.h"

namespace velkora {

namespace ui {
class Image;
}
class VelkoraQuery;
class VelkoraProduct;

// The type codes; later commands add theirs (0 to 70).
namespace VelkoraPendingType {
inline constexpr int kGetNearbyUsers = 0;
inline constexpr int kSetUserData = 7;
inline constexpr int kGetUserData = 8;
inline constexpr int kGetOtherUserData = 9;
inline constexpr int kFirst = 0;
inline constexpr int kLast = 70;
}  // namespace VelkoraPendingType

class VelkoraClientPendingRequest {
public:
    using OptString = std::optional<std::string>;

    int type = -1;
    // delegate, selector and errorSelector: the caller, not owned.
    VelkoraCallback delegate;
    int32_t meters = 0;
    int32_t rating = 0;
    bool withLocation = false, direction = false;
    VelkoraUserPtr user;
    std::shared_ptr<VelkoraQuery> query;
    OptString message;
    OptString url;
    OptString toAppId, toUserId;
    int32_t replyTo = 0, feedId = 0, messageType = 0;
    OptString contentType;
    bool force = false;
    VelkoraLikeObjectPtr likeObject;
    VelkoraFeedMessagePtr feedMessage;
    int32_t numFollowing = 0, messagesOffset = 0, topicId = 0;
    bool isClean = false;
    int32_t commentRef = 0;
    OptString commentText, objectId, objectType, objectTitle, objectData;
    int32_t method = 0;
    bool replaceUserData = false, overrideOtherUser = false;
    OptString connectValue, password;
    std::shared_ptr<ui::Image> userImage;
    OptString email, facebookId, twitterId, level;
    int64_t score = 0;
    int32_t intervalType = 0, quizId = 0, questionId = 0, quizHints = 0, quizLives = 0, coins = 0;
    std::shared_ptr<VelkoraProduct> product;
    OptString paymentReceipt, question, correctAnswer, wrongAnswer1, wrongAnswer2, wrongAnswer3;
    std::shared_ptr<ui::Image> image, smallImage;
};

using VelkoraClientPendingRequestPtr = std::shared_ptr<VelkoraClientPendingRequest>;

}  // namespace velkora
