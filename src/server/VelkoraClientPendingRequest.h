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
namespace services {
class Product;
}

// The type codes, one per replayable operation; a record of another type is skipped.
namespace VelkoraPendingType {
inline constexpr int kGetNearbyUsers = 0;
inline constexpr int kQuery = 1;
inline constexpr int kSendFeed = 2;
inline constexpr int kResendFeed = 3;
inline constexpr int kDeleteFeed = 4;
inline constexpr int kDeleteFeedResend = 5;
inline constexpr int kSendMessage = 6;
inline constexpr int kSetUserData = 7;
inline constexpr int kGetUserData = 8;
inline constexpr int kGetOtherUserData = 9;
inline constexpr int kSetDeviceToken = 10;
inline constexpr int kGetFeed = 11;
inline constexpr int kSendJoinedFeed = 12;
inline constexpr int kGetOneFeed = 13;
inline constexpr int kGetResenders = 14;
inline constexpr int kGetSocialNetworkFriends = 15;
inline constexpr int kGetOtherFeed = 16;
inline constexpr int kGetChat = 17;
inline constexpr int kGetChatWithOffset = 18;
inline constexpr int kGetChats = 19;
inline constexpr int kAddFollowing = 20;
inline constexpr int kRemoveFollowing = 21;
inline constexpr int kDumpAppPlist = 22;
inline constexpr int kBlockUser = 23;
inline constexpr int kReportUser = 24;
inline constexpr int kGetFavorites = 25;
inline constexpr int kLike = 26;
inline constexpr int kLikeFeed = 27;
inline constexpr int kUnlikeFeed = 28;
inline constexpr int kUnlike = 29;
inline constexpr int kGetSuggestedUsers = 30;
inline constexpr int kGetLikes = 31;
inline constexpr int kGetAppDeals = 32;
inline constexpr int kGetChatRoomsTopics = 33;
inline constexpr int kGetChatRoomsTopic = 34;
inline constexpr int kGetChatRoomsTopicEarliest = 35;
inline constexpr int kPostTopicComment = 36;
inline constexpr int kLikeTopicComment = 37;
inline constexpr int kUnlikeTopicComment = 38;
inline constexpr int kLikeTopic = 39;
inline constexpr int kUnlikeTopic = 40;
inline constexpr int kSendCommentFeed = 41;
inline constexpr int kSignUp = 42;
inline constexpr int kSignOut = 43;
inline constexpr int kLogin = 44;
inline constexpr int kConnectSocial = 45;
inline constexpr int kDisconnectSocial = 46;
inline constexpr int kUploadUserImage = 47;
inline constexpr int kForgotPassword = 48;
inline constexpr int kChangePassword = 49;
inline constexpr int kBcSignUp = 50;
inline constexpr int kSetScore = 51;
inline constexpr int kUpdateScore = 52;
inline constexpr int kGetScores = 53;
inline constexpr int kGetQuizzes = 54;
inline constexpr int kGetQuiz = 55;
inline constexpr int kReportQuiz = 56;
inline constexpr int kUpdateQuizUsedLives = 57;
inline constexpr int kUpdateQuizUsedHints = 58;
inline constexpr int kUpdateQuizUsedQuiz = 59;
inline constexpr int kUpdateQuizUsedAllQuizzes = 60;
inline constexpr int kUpdateQuizBoughtCoins = 61;
inline constexpr int kSuggestQuizQuestion = 62;
inline constexpr int kGetChatRoomData = 63;
inline constexpr int kGetStickerStore = 64;
inline constexpr int kGetStickerPack = 65;
inline constexpr int kGetStickerData = 66;
inline constexpr int kAddStickerPack = 67;
inline constexpr int kAddPaidStickerPack = 68;
inline constexpr int kUploadImageMessage = 69;
inline constexpr int kUploadTopicImage = 70;
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
    // The store product of a purchase.
    std::shared_ptr<services::Product> product;
    OptString paymentReceipt, question, correctAnswer, wrongAnswer1, wrongAnswer2, wrongAnswer3;
    std::shared_ptr<ui::Image> image, smallImage;
};

using VelkoraClientPendingRequestPtr = std::shared_ptr<VelkoraClientPendingRequest>;

}  // namespace velkora
