// The static entry to the server client: the rest of the kit names an operation here and never touches
// the agent. Commands of later chapters join as further forwarders.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "data/VelkoraFeedMessage.h"
#include "data/VelkoraLikeObject.h"
#include "data/VelkoraUserInternal.h"
#include "platform/foundation/RunLoop.h"
#include "server/VelkoraCallback.h"
#include "server/VelkoraCoordinate.h"
#include "server/VelkoraMessagesDelegate.h"

namespace velkora {

namespace ui {
class Image;
}
class VelkoraQuery;
namespace services {
class Product;
}

class VelkoraServerApi {
public:
    using OptString = std::optional<std::string>;

    VelkoraServerApi() = delete;

    // Session, poll and state.
    static void startSession(const OptString& appId, std::shared_ptr<services::LocationManager> locationManager);
    static void endSession();
    static void activateLocationManager(std::shared_ptr<services::LocationManager> locationManager);
    static void setMessagesDelegate(std::weak_ptr<VelkoraMessagesDelegate> delegate);
    static void setTopicsDelegate(std::weak_ptr<VelkoraMessagesDelegate> delegate);
    static void setFeedDelegate(std::weak_ptr<VelkoraMessagesDelegate> delegate);
    static void setMessagesChangeNumber(int32_t changeNumber);
    static void setUserId(const OptString& userId);
    static void setDeviceId(const OptString& deviceId);
    static void pause();
    static void resume();
    static void updateNow();
    static void reporEventNow(const std::string& type, const std::string& message);
    // The object stops being answered; pass the same pointer the callbacks were made with.
    static void clearUserDelegate(const void* object);
    static double getServerTimeDiff(foundation::Date date);

    // Application data.
    static void getAppData(VelkoraCallback caller);

    // Users.
    static void getUserData(VelkoraCallback caller);
    static void getOtherUserData(const OptString& otherUserId, VelkoraCallback caller);

    // ==== accounts: sign-up, log-in, social connections (forwarders) ====
    static void signUp(VelkoraCallback caller, int32_t method, const OptString& connectValue,
                       const OptString& password, VelkoraUserPtr user);
    static void signOut(VelkoraCallback caller);
    static void login(VelkoraCallback caller, int32_t method, const OptString& connectValue, const OptString& password);
    static void connectSocial(VelkoraCallback caller, int32_t method, const OptString& connectValue,
                              bool replaceUserData, bool overrideOtherUser, VelkoraUserPtr user);
    static void disconnectSocial(VelkoraCallback caller, int32_t method);
    static void uploadUserImage(VelkoraCallback caller, std::shared_ptr<ui::Image> image);
    static void forgotPassword(const OptString& email);
    static void changePassword(const OptString& password);
    // The same, answering the caller: null once the service has done it, the error otherwise.
    static void forgotPassword(const OptString& email, VelkoraCallback caller);
    static void changePassword(const OptString& password, VelkoraCallback caller);
    static void bcSignUp(VelkoraCallback caller, const OptString& facebookId, const OptString& twitterId);
    static void setDeviceToken(const OptString& token);
    // ==== end of accounts ====

    // ==== people: user data, searches, follows (forwarders) ====
    static void getNearbyUsers(int32_t meters, VelkoraCallback caller);
    static void getNearbyUsers(int32_t meters, VelkoraCallback caller, VelkoraCoordinate coordinate);
    // Nobody is answered.
    static void setUserData(VelkoraUserPtr user);
    static void setUserData(VelkoraUserPtr user, VelkoraCallback caller);
    static void dumpAppPlist();
    static void query(std::shared_ptr<VelkoraQuery> query, VelkoraCallback caller);
    static void getSocialNetworkFriends(VelkoraCallback caller, const OptString& network, const OptString& friendIds);
    static void addFollowing(VelkoraUserPtr user);
    static void removeFollowing(VelkoraUserPtr user);
    static void getSuggestedUsers(VelkoraCallback caller, bool forceRetrieve, int32_t numFollowing);
    static void reportUser(VelkoraUserPtr user, bool value);
    static void blockUser(VelkoraUserPtr user, bool value);
    // Whom the current user (or the other user, when given) follows; and who follows them.
    static void getFollowing(VelkoraCallback caller, bool withLocation, VelkoraUserPtr otherUser);
    static void getFollowers(VelkoraCallback caller, bool withLocation, VelkoraUserPtr otherUser);
    // ==== end of people ====

    // ==== messages: private messages and chats (forwarders) ====
    static void sendMessage(const OptString& message, const OptString& toAppId, const OptString& toUserId,
                            const OptString& contentType, VelkoraCallback caller);
    static void sendMessage(const OptString& message, const OptString& toAppId, const OptString& toUserId,
                            int32_t messageType, int32_t rating, const OptString& contentType, VelkoraCallback caller);
    static void uploadImageMessage(VelkoraCallback caller, std::shared_ptr<ui::Image> image,
                                   std::shared_ptr<ui::Image> smallImage, const OptString& toAppId,
                                   const OptString& toUserId);
    static void getChats(VelkoraCallback caller);
    static void getChat(const VelkoraUserPtr& user, VelkoraCallback caller);
    static void getChat(const VelkoraUserPtr& user, int32_t offset, VelkoraCallback caller);
    static void deleteMessages(const OptString& messageIds);
    static void markMessagesRead(const OptString& messageIds);
    // ==== end of messages ====

    // ==== chat rooms (forwarders) ====
    static void getChatRoomsTopics(VelkoraCallback caller);
    static void getChatRoomsTopic(VelkoraCallback caller, int32_t topicId, bool clean);
    static void getChatRoomsTopicEarliest(VelkoraCallback caller, int32_t topicId, int32_t earliestCommentId);
    static void postTopicComment(int32_t topicId, int32_t commentRef, const OptString& commentText,
                                 const OptString& contentType, VelkoraCallback caller);
    static void uploadTopicImage(int32_t topicId, const std::shared_ptr<ui::Image>& image,
                                 const std::shared_ptr<ui::Image>& smallImage, VelkoraCallback caller);
    static void getChatRoomData(const OptString& objectId, const OptString& objectType, const OptString& title,
                                const OptString& data, VelkoraCallback caller);
    static void deleteTopicComment(int32_t topicId, int32_t commentRef, VelkoraCallback caller);
    static void likeTopicComment(int32_t topicId, int32_t commentRef, VelkoraCallback caller);
    static void unlikeTopicComment(int32_t topicId, int32_t commentRef, VelkoraCallback caller);
    static void likeTopic(int32_t topicId, VelkoraCallback caller);
    static void unlikeTopic(int32_t topicId, VelkoraCallback caller);
    // ==== end of chat rooms ====

    // ==== stickers (forwarders) ====
    static void getStickerStore(VelkoraCallback caller);
    static void getStickerPack(VelkoraCallback caller, int32_t packId);
    static void addStickerPack(VelkoraCallback caller, int32_t packId);
    static void addPaidStickerPack(VelkoraCallback caller, int32_t packId, std::shared_ptr<services::Product> product,
                                   const OptString& paymentReceipt);
    static void getStickerData(VelkoraCallback caller);
    // ==== end of stickers ====

    // ==== feed: feed and likes (forwarders) ====
    static void sendFeed(const VelkoraFeedMessagePtr& feed, VelkoraCallback caller);
    static void resendFeed(int32_t feedId, VelkoraCallback caller);
    static void deleteFeed(int32_t feedId, VelkoraCallback caller);
    static void deleteFeedResend(int32_t feedId, VelkoraCallback caller);
    static void sendCommentFeed(int32_t topicId, VelkoraCallback caller);
    static void sendJoinedFeed(VelkoraCallback caller);
    static void getFeed(VelkoraCallback caller);
    static void getOneFeed(VelkoraCallback caller, int32_t feedId);
    // The agent takes (user, caller).
    static void getOtherFeed(VelkoraCallback caller, const VelkoraUserPtr& user);
    // The agent takes (caller, feed id).
    static void getResenders(int32_t feedId, VelkoraCallback caller);
    static void getLikes(const OptString& objectId, VelkoraCallback caller);
    static void like(const VelkoraLikeObjectPtr& likeObject, VelkoraCallback caller);
    static void unlike(const VelkoraLikeObjectPtr& likeObject, VelkoraCallback caller);
    static void likeFeed(const VelkoraLikeObjectPtr& likeObject, VelkoraCallback caller);
    static void unlikeFeed(const VelkoraLikeObjectPtr& likeObject, VelkoraCallback caller);
    // ==== end of feed ====

    // ==== quizzes: quizzes and scores (forwarders) ====
    static void setScore(const OptString& level, int64_t score);
    static void updateScore(const OptString& level, int64_t score);
    // The interval type: 1 today, 2 this week, 3 all time.
    static void getScores(VelkoraCallback caller, const OptString& level, int32_t intervalType);
    static void getQuizzes(VelkoraCallback caller);
    static void getQuiz(VelkoraCallback caller, int32_t quizId);
    static void reportQuiz(int32_t quizId, const OptString& report);
    static void updateQuizBoughtCoins(VelkoraCallback caller, int32_t coins, int32_t quizId, int32_t questionId,
                                      std::shared_ptr<services::Product> product, const OptString& paymentReceipt);
    static void updateQuizUsedLives(VelkoraCallback caller, int32_t coins, int32_t lives, int32_t quizId,
                                    int32_t questionId);
    static void updateQuizUsedHints(VelkoraCallback caller, int32_t coins, int32_t hints, int32_t quizId,
                                    int32_t questionId);
    static void updateQuizUsedQuiz(VelkoraCallback caller, int32_t coins, int32_t quizId);
    static void updateQuizUsedAllQuizzes(VelkoraCallback caller, int32_t coins);
    static void suggestQuizQuestion(VelkoraCallback caller, int32_t quizId, const OptString& question,
                                    const OptString& correctAnswer, const OptString& firstWrongAnswer,
                                    const OptString& secondWrongAnswer, const OptString& thirdWrongAnswer);
    // ==== end of quizzes ====

    // ==== app deals (forwarders) ====
    static void getAppDeals(VelkoraCallback caller);
    // ==== end of app deals ====
};

}  // namespace velkora
