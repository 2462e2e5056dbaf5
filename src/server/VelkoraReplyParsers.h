// The readers that turn the service's JSON replies into model objects. Each is a pure function of the
// value it is given (users go through the users repository's identity map). A value of an unexpected
// JSON type is treated as absent: a text key holding a number reads as unset, a number key holding an
// array reads as 0, a list that is not an array reads as empty, and list elements that are not objects
// are left out.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "data/VelkoraAppDeal.h"
#include "data/VelkoraChat.h"
#include "data/VelkoraChatRoomsComment.h"
#include "data/VelkoraChatRoomsTopic.h"
#include "data/VelkoraFeedMessage.h"
#include "data/VelkoraLikeObject.h"
#include "data/VelkoraMessageInternal.h"
#include "data/VelkoraQuiz.h"
#include "data/VelkoraScorePosition.h"
#include "data/VelkoraSticker.h"
#include "data/VelkoraStickerPack.h"
#include "data/VelkoraUserInternal.h"
#include "platform/foundation/Value.h"

namespace velkora {



// Users.
VelkoraUserPtr parseUser(const foundation::Value& dictionary);
// The "users" list of a reply: each element through parseUser, users that cannot be parsed left out.
std::vector<VelkoraUserPtr> parseUsers(const foundation::Value& array);

// Private messages, feed items and chats.
std::vector<VelkoraMessagePtr> parseMessages(const foundation::Value& array);
VelkoraFeedMessagePtr parseOneFeedMessage(const foundation::Value& dictionary);
std::vector<VelkoraFeedMessagePtr> parseFeedMessages(const foundation::Value& array);
VelkoraChatPtr parseChat(const foundation::Value& dictionary);

// Chat-room topics and comments.
VelkoraChatRoomsTopicPtr parseTopic(const foundation::Value& dictionary);
std::vector<VelkoraChatRoomsCommentPtr> parseChatRoomsComments(const foundation::Value& array, int32_t topicId);

// Stickers and packs.
std::vector<VelkoraStickerPtr> parseStickers(const foundation::Value& array);
// The packs of a store list ("getStickerStore", `withTexts` set) or of the user's sticker data
// ("getStickerData": id, icon and stickers only).
std::vector<VelkoraStickerPackPtr> parseStickerPacks(const foundation::Value& array, bool withTexts);
// The one pack of a "getStickerPack" reply: id, icon and stickers; a missing pack gives id 0, no stickers.
VelkoraStickerPackPtr parseStickerPack(const foundation::Value& dictionary);

// Like objects. The reader needs two things of the session: the application id every like object
// carries, and the feed repository's cached like object for an id (which creates and stores it).
struct VelkoraLikeParseContext {
    OptionalText appId;
    std::function<VelkoraLikeObjectPtr(int32_t objectId)> likeObjectWithId;
};
// Null for a video whose preview cannot be worked out.
VelkoraLikeObjectPtr parseLikeObject(const foundation::Value& dictionary, bool keepInRepository,
                                     const VelkoraLikeParseContext& context);
std::vector<VelkoraLikeObjectPtr> parseLikes(const foundation::Value& array, const VelkoraLikeParseContext& context);

// Quizzes and leaderboards.
VelkoraQuizPtr parseQuiz(const foundation::Value& dictionary);
std::vector<VelkoraQuizQuestionPtr> parseQuestions(const foundation::Value& array);
std::vector<VelkoraQuizAnswerPtr> parseAnswers(const foundation::Value& array);
// The rows of the array under `key` of a reply; rows whose user cannot be parsed are left out.
std::vector<VelkoraScorePositionPtr> parseScorePositionArray(const foundation::Value& reply, std::string_view key);

// Promoted applications.
VelkoraAppDealPtr parseAppDeal(const foundation::Value& dictionary);
// Null when the deal is unusable (no name, icon, description, click or tracking address).
VelkoraAppDealPtr parseExchangeAppDeal(const foundation::Value& dictionary);

}  // namespace velkora
