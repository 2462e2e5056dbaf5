// The protocol object: one per call to the service. It builds the command's request text, tags it, sends
// it through its fetcher, reads the reply envelope and hands the reply to the agent's callback of that
// command.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/VelkoraChatRoomsTopic.h"
#include "data/VelkoraFeedMessage.h"
#include "data/VelkoraLikeObject.h"
#include "data/VelkoraMessageInternal.h"
#include "data/VelkoraUserInternal.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "server/VelkoraCallback.h"
#include "server/VelkoraReplyParsers.h"
#include "server/utils/url_fetcher/VelkoraUrlFetcher.h"

namespace velkora {

class VelkoraAppData;
class VelkoraQuery;
namespace services {
class Product;
}
class VelkoraProtocolWrapper;
namespace ui {
class Image;
}

inline constexpr int kVelkoraClientType = 1;
inline constexpr const char* kVelkoraBuild = "2.5.7";
inline constexpr int kVelkoraProtocolVersion = 15;

// The commands a protocol object can send; each has its own fetcher, so a reply is matched to its command
// by the fetcher that delivered it. The order of the reply table in the .cpp is the matching order.
enum class VelkoraCommand {
    CreateUser,        // tokenFetcher
    SetUserData,
    GetUserData,
    GetOtherUserData,
    Update,            // updateFetcher: the located poll
    UpdateNoLocation,  // updateNoLocationFetcher
    GetAppData,
    DumpAppPlist,
    ReportError,
    ReportEvent,

    // ==== accounts: sign-up, log-in, social connections (commands) ====
    SignUp,
    SignOut,
    Login,
    ConnectSocial,
    DisconnectSocial,
    UploadUserImage,   // savePhoto, a POST
    ForgotPassword,
    ChangePassword,
    BcSignUp,          // signUpBackComp
    SetDeviceToken,
    // ==== end of accounts ====

    // ==== people: user data, searches, follows (commands) ====
    Query,
    GetNearbyUsers,
    GetSocialNetworkFriends,
    AddFollowing,      // favoriteAdd
    RemoveFollowing,   // favoriteRemove
    GetFavorites,
    GetOtherFavorites,
    GetSuggestedUsers, // getSuggestions
    SetUserRelation,
    // ==== end of people ====

    // ==== messages: private messages and chats (commands) ====
    SendMessage,
    SendImageMessage,  // a form POST to the bare endpoint
    MarkMessages,      // deleted or read; no reply branch
    GetChats,
    GetChat,
    GetChatWithOffset,
    // ==== end of messages ====

    // ==== chat rooms (commands) ====
    GetChatRoomsTopics,
    GetChatRoomsTopic,
    GetChatRoomsTopicEarliest,  // the comments before a given one
    PostTopicComment,
    UploadTopicImage,           // a form POST
    GetChatRoomData,
    DeleteTopicComment,
    LikeTopicComment,
    UnlikeTopicComment,
    LikeTopic,
    UnlikeTopic,
    // ==== end of chat rooms ====

    // ==== stickers (commands) ====
    GetStickerStore,
    GetStickerPack,
    AddStickerPack,
    AddPaidStickerPack,
    GetStickerData,
    // ==== end of stickers ====

    // ==== feed: feed and likes (commands) ====
    SendFeed,  // also carries sendJoinedFeed, whose reply so arrives as feedSent
    ResendFeed,
    DeleteFeed,
    DeleteResend,
    SendCommentFeed,
    GetFeed,
    GetOneFeed,
    GetOtherFeed,
    GetResenders,
    GetLikes,
    Like,    // both forms of like
    Unlike,  // both forms of unlike
    // ==== end of feed ====

    // ==== quizzes: quizzes and scores (commands) ====
    SetScore,           // setScore and updateScore
    GetScores,
    GetQuizzes,
    GetQuiz,
    ReportQuiz,
    UpdateQuizProduct,  // the five forms share one fetcher
    SuggestQuizQuestion,
    // ==== end of quizzes ====

    // ==== app deals (commands) ====
    GetApps,            // the service's own list (vendors 0 and 3)
    GetExchangeAds,     // the ad exchange (vendor 1)
    // ==== end of app deals ====
};

// The agent's side: one callback per kind of reply, each with the protocol object first.
class VelkoraProtocolWrapperDelegate {
public:
    virtual ~VelkoraProtocolWrapperDelegate() = default;

    // A reply that is not JSON, a reply with "error", or a transport failure.
    virtual void urlGotError(VelkoraProtocolWrapper& wrapper, const foundation::ErrorPtr& error) = 0;
    // The object's reply (or failure) has been handled whatever it reached: it may leave the working list.
    virtual void protocolWrapperDone(VelkoraProtocolWrapper& /*wrapper*/) {}

    // createUser; no id when the reply carries none.
    virtual void deviceIdCreated(VelkoraProtocolWrapper&, const std::optional<std::string>& /*deviceId*/) {}
    // The update poll.
    virtual void updated(VelkoraProtocolWrapper&, const std::optional<std::vector<VelkoraMessagePtr>>& /*messages*/,
                         int32_t /*changeNumber*/, int32_t /*numFollowers*/, int32_t /*score*/, int32_t /*coins*/) {}
    virtual void feedUpdated(VelkoraProtocolWrapper&, const std::vector<VelkoraFeedMessagePtr>&, int32_t) {}
    virtual void likesUpdated(VelkoraProtocolWrapper&, const std::vector<VelkoraLikeObjectPtr>&, int32_t) {}
    virtual void topicsUpdated(VelkoraProtocolWrapper&, const std::vector<VelkoraChatRoomsTopicPtr>&, int32_t) {}
    virtual void topicUpdated(VelkoraProtocolWrapper&, const VelkoraChatRoomsTopicPtr&) {}
    // Every part of an update reply has been handed on.
    virtual void updateAnswered(VelkoraProtocolWrapper&) {}
    // Users.
    virtual void setTimeDifference(double /*seconds*/) {}
    virtual void gotUserData(VelkoraProtocolWrapper&, const VelkoraUserPtr&) {}
    virtual void gotOtherUserData(VelkoraProtocolWrapper&, const VelkoraUserPtr&) {}
    virtual void userDataSet(VelkoraProtocolWrapper&) {}
    // The application's configuration; null when the reply's "appData" is null.
    virtual void gotAppData(VelkoraProtocolWrapper&, const std::shared_ptr<VelkoraAppData>&) {}

    // ==== accounts: sign-up, log-in, social connections (replies) ====
    // The user id of a sign-up or log-in reply; none when the reply carries none.
    virtual void userSignedIn(VelkoraProtocolWrapper&, const std::optional<std::string>& /*userId*/) {}
    virtual void userSignedOut(VelkoraProtocolWrapper&) {}
    virtual void userLoggedIn(VelkoraProtocolWrapper&, const std::optional<std::string>& /*userId*/) {}
    virtual void socialNetworkConnected(VelkoraProtocolWrapper&) {}
    virtual void socialNetworkDisconnected(VelkoraProtocolWrapper&) {}
    virtual void userImageUploaded(VelkoraProtocolWrapper&, const std::optional<std::string>& /*imageUrl*/) {}
    virtual void bcUserSignedIn(VelkoraProtocolWrapper&, const std::optional<std::string>& /*userId*/,
                                const std::optional<std::string>& /*deviceId*/) {}
    virtual void deviceTokenSet(VelkoraProtocolWrapper&) {}
    // A forgotten-password or change-password request that the service carried out.
    virtual void passwordRequestAnswered(VelkoraProtocolWrapper&) {}
    // ==== end of accounts ====

    // ==== people: user data, searches, follows (replies) ====
    virtual void gotQueryResult(VelkoraProtocolWrapper&, const std::vector<VelkoraUserPtr>&) {}
    virtual void gotNearbyUsers(VelkoraProtocolWrapper&, const std::vector<VelkoraUserPtr>&) {}
    virtual void gotFavorites(VelkoraProtocolWrapper&, const std::vector<VelkoraUserPtr>&) {}
    virtual void gotOtherFavorites(VelkoraProtocolWrapper&, const std::vector<VelkoraUserPtr>&) {}
    virtual void gotSocialNetworkFriends(VelkoraProtocolWrapper&, const std::vector<VelkoraUserPtr>&) {}
    virtual void gotSuggestedUsers(VelkoraProtocolWrapper&, const std::vector<VelkoraUserPtr>&) {}
    virtual void gotAddFollowing(VelkoraProtocolWrapper&) {}
    virtual void gotRemoveFollowing(VelkoraProtocolWrapper&) {}
    // ==== end of people ====

    // ==== messages: private messages and chats (replies) ====
    virtual void messageSent(VelkoraProtocolWrapper&) {}
    virtual void imageMessageUploaded(VelkoraProtocolWrapper&, const std::optional<std::string>& /*imageUrl*/) {}
    virtual void gotChats(VelkoraProtocolWrapper&, const std::vector<VelkoraChatPtr>& /*chats*/) {}
    virtual void gotChat(VelkoraProtocolWrapper&, const VelkoraChatPtr& /*chat*/) {}
    // The paged read hands on only the page's messages.
    virtual void gotChatMessages(VelkoraProtocolWrapper&, const std::vector<VelkoraMessagePtr>& /*messages*/) {}
    // ==== end of messages ====

    // ==== chat rooms (replies) ====
    virtual void gotChatRoomsTopics(VelkoraProtocolWrapper&, const std::vector<VelkoraChatRoomsTopicPtr>& /*topics*/,
                                    int32_t /*changeNumber*/) {}
    // The topic (null when the reply has none) and the reply's "ads" as they came (absent when missing).
    virtual void gotChatRoomsTopic(VelkoraProtocolWrapper&, const VelkoraChatRoomsTopicPtr& /*topic*/,
                                   const std::optional<foundation::Value>& /*ads*/) {}
    // The page before a comment, oldest first; nothing when the reply has no topic.
    virtual void gotChatRoomsTopicComments(VelkoraProtocolWrapper&,
                                           const std::optional<VelkoraChatRoomsTopic::Comments>& /*comments*/) {}
    virtual void topicCommentPosted(VelkoraProtocolWrapper&) {}
    virtual void topicImageUploaded(VelkoraProtocolWrapper&, const std::optional<std::string>& /*imageUrl*/) {}
    virtual void gotChatRoomData(VelkoraProtocolWrapper&, int32_t /*topicId*/, int32_t /*commentsNumber*/) {}
    virtual void topicCommentDeleted(VelkoraProtocolWrapper&) {}
    // ==== end of chat rooms ====

    // ==== stickers (replies) ====
    virtual void gotStickerStore(VelkoraProtocolWrapper&, const std::vector<VelkoraStickerPackPtr>& /*store*/) {}
    virtual void gotStickerPack(VelkoraProtocolWrapper&, const VelkoraStickerPackPtr& /*pack*/) {}
    virtual void gotStickerData(VelkoraProtocolWrapper&, const std::vector<VelkoraStickerPackPtr>& /*data*/) {}
    virtual void addedStickerPack(VelkoraProtocolWrapper&, int32_t /*packId*/) {}
    // No product id when the reply carries no text under "productId".
    virtual void addedPaidStickerPack(VelkoraProtocolWrapper&, bool /*success*/, bool /*shouldRetry*/,
                                      const std::optional<std::string>& /*productId*/, int32_t /*packId*/) {}
    // ==== end of stickers ====

    // ==== feed: feed and likes (replies) ====
    virtual void feedSent(VelkoraProtocolWrapper&) {}
    virtual void feedResent(VelkoraProtocolWrapper&) {}
    virtual void feedDeleted(VelkoraProtocolWrapper&) {}
    virtual void feedResendDeleted(VelkoraProtocolWrapper&) {}
    virtual void commentFeedSent(VelkoraProtocolWrapper&) {}
    virtual void gotFeed(VelkoraProtocolWrapper&, const std::vector<VelkoraFeedMessagePtr>& /*messages*/,
                         const std::vector<VelkoraLikeObjectPtr>& /*likes*/) {}
    virtual void gotOneFeed(VelkoraProtocolWrapper&, const VelkoraFeedMessagePtr& /*message*/) {}
    virtual void gotOtherFeed(VelkoraProtocolWrapper&, const std::vector<VelkoraFeedMessagePtr>& /*messages*/,
                              const std::vector<VelkoraLikeObjectPtr>& /*likes*/) {}
    virtual void gotResenders(VelkoraProtocolWrapper&, const std::vector<VelkoraUserPtr>& /*users*/) {}
    // Null for a video whose preview cannot be worked out.
    virtual void gotLikes(VelkoraProtocolWrapper&, const VelkoraLikeObjectPtr& /*likeObject*/) {}
    // Every like and unlike, of any kind of object.
    virtual void gotLikeAck(VelkoraProtocolWrapper&) {}
    virtual void gotUnlikeAck(VelkoraProtocolWrapper&) {}
    // ==== end of feed ====

    // ==== quizzes: quizzes and scores (replies) ====
    virtual void scoreWasSet(VelkoraProtocolWrapper&, int32_t /*scoreId*/) {}
    virtual void gotScores(VelkoraProtocolWrapper&, const std::vector<VelkoraScorePositionPtr>& /*leaders*/,
                           const std::vector<VelkoraScorePositionPtr>& /*userArea*/) {}
    virtual void gotQuizzes(VelkoraProtocolWrapper&, const std::vector<VelkoraQuizPtr>& /*quizzes*/,
                            int32_t /*unlockAllQuizzesCoins*/) {}
    virtual void gotQuiz(VelkoraProtocolWrapper&, const VelkoraQuizPtr& /*quiz*/) {}
    virtual void quizProductUpdated(VelkoraProtocolWrapper&, bool /*success*/, bool /*shouldRetry*/,
                                    const std::optional<std::string>& /*productId*/) {}
    virtual void quizQuestionSent(VelkoraProtocolWrapper&) {}
    // ==== end of quizzes ====

    // ==== app deals (replies) ====
    virtual void gotAppDeals(VelkoraProtocolWrapper&, const std::vector<VelkoraAppDealPtr>& /*deals*/) {}
    // ==== end of app deals ====
};

// The values of one update poll.
struct VelkoraUpdateRequest {
    std::optional<std::string> appId, deviceId, userId;
    bool wantMessages = false;
    int32_t changeNumber = 0;
    bool wantFeed = false;
    int32_t feedChangeNumber = 0;
    int32_t likesChangeNumber = 0;
    bool wantTopics = false;
    int32_t topicsChangeNumber = 0;
    bool wantTopic = false;
    int32_t topicId = 0;
    int32_t topicChangeNumber = 0;
    // Present for the located form.
    std::optional<double> longitude, latitude;
};

class VelkoraProtocolWrapper : public VelkoraUrlFetcherDelegate,
                               public std::enable_shared_from_this<VelkoraProtocolWrapper> {
public:
    using OptString = std::optional<std::string>;

    // The delegate is not owned: it must outlive the object or clear itself (the agent lives for the process).
    static std::shared_ptr<VelkoraProtocolWrapper> create(VelkoraProtocolWrapperDelegate* delegate);
    ~VelkoraProtocolWrapper() override;

    VelkoraProtocolWrapperDelegate* delegate() const { return delegate_; }
    void setDelegate(VelkoraProtocolWrapperDelegate* d) { delegate_ = d; }
    // The caller to answer (userDelegate, userSelector and userErrorSelector in one).
    const VelkoraCallback& userDelegate() const { return userDelegate_; }
    VelkoraCallback& userDelegate() { return userDelegate_; }
    void setUserDelegate(VelkoraCallback cb) { userDelegate_ = std::move(cb); }
    const VelkoraUserPtr& theOtherUser() const { return theOtherUser_; }
    void setTheOtherUser(VelkoraUserPtr u) { theOtherUser_ = std::move(u); }

    // The command this object sent, once it sent one.
    std::optional<VelkoraCommand> command() const { return command_; }
    // The usage-event records this poll carries, to put back when it fails.
    const std::vector<std::string>& loggedEvents() const { return loggedEvents_; }
    std::vector<std::string> takeLoggedEvents() { return std::move(loggedEvents_); }

    // The device model identifier.
    static std::string platform();
    // The device's system version text.
    static std::string osVersion();
    static std::string endpoint();
    // The text with "&ts=...&crc=..." at the run loop's current time.
    static std::string getCrcUrl(const std::string& text);
    // A number as "%f" writes it (six decimals), whatever the locale.
    static std::string formatDouble(double value);

    void reportErrorToServer(const std::string& text);
    std::optional<foundation::Value> jsonWorkaround(const std::string& text);

    // Request operations. Each returns whether it sent anything.
    bool createUserId(const OptString& appId, const OptString& userId, bool test);
    bool update(const VelkoraUpdateRequest& request);
    bool reportEvent(const OptString& appId, const OptString& deviceId, const OptString& userId,
                     const std::string& type, const std::string& message);
    bool getAppData(const OptString& appId, int32_t changeNumber);
    bool getUserData(const OptString& appId, const OptString& userId);
    bool getOtherUserData(const OptString& appId, const OptString& userId, const OptString& otherAppId,
                          const OptString& otherUserId);

    // ==== accounts: sign-up, log-in, social connections (requests) ====
    // `method`: 1 e-mail, 2 Facebook id, 3 Twitter id. A null password sends no password parameter.
    bool signUp(const OptString& appId, const OptString& deviceId, int32_t method, const OptString& connectValue,
                const OptString& password, const VelkoraUserPtr& user);
    bool signOut(const OptString& appId, const OptString& deviceId);
    bool login(const OptString& appId, const OptString& deviceId, int32_t method, const OptString& connectValue,
               const OptString& password);
    bool connectSocial(const OptString& appId, const OptString& userId, int32_t method, const OptString& connectValue,
                       bool replaceUserData, bool overrideOtherUser, const VelkoraUserPtr& user);
    bool disconnectSocial(const OptString& appId, const OptString& userId, int32_t method);
    // savePhoto: a POST of the JPEG to the bare endpoint.
    bool uploadUserImage(const OptString& appId, const OptString& deviceId, const std::shared_ptr<ui::Image>& image);
    bool forgotPassword(const OptString& appId, const OptString& deviceId, const OptString& email);
    bool changePassword(const OptString& appId, const OptString& userId, const OptString& password);
    bool bcSignUp(const OptString& appId, const OptString& userId, const OptString& facebookId,
                  const OptString& twitterId);
    bool setDeviceToken(const OptString& appId, const OptString& deviceId, const OptString& userId,
                        const OptString& deviceToken);
    // ==== end of accounts ====

    // ==== people: user data, searches, follows (requests) ====
    bool setUserData(const OptString& appId, const OptString& userId, const VelkoraUserPtr& user);
    bool query(const OptString& appId, const OptString& userId, const std::shared_ptr<VelkoraQuery>& query);
    bool getNearbyUsers(const OptString& appId, const OptString& userId, double longitude, double latitude,
                        int32_t meters);
    bool getSocialNetworkFriends(const OptString& appId, const OptString& userId, const OptString& network,
                                 const OptString& friendIds);
    // The other user is kept in theOtherUser for the reply.
    bool addFollowing(const OptString& appId, const OptString& userId, const VelkoraUserPtr& user);
    bool removeFollowing(const OptString& appId, const OptString& userId, const VelkoraUserPtr& user);
    // Direction 1: whom the subject follows; 0: the subject's followers. Coordinates only when withLocation.
    bool getFavorites(const OptString& appId, const OptString& userId, bool withLocation, int32_t direction,
                      double longitude, double latitude);
    bool getOtherFavorites(const OptString& appId, const OptString& userId, const OptString& otherAppId,
                           const OptString& otherUserId, bool withLocation, int32_t direction, double longitude,
                           double latitude);
    bool getSuggestedUsers(const OptString& appId, const OptString& userId, bool forceRetrieve, int32_t numFollowing);
    // type "b" (block) or "r" (report).
    bool setUserRelation(const OptString& appId, const OptString& userId, const OptString& otherAppId,
                         const OptString& otherUserId, const std::string& type, bool value);
    bool dumpAppPlist(const OptString& appId, const OptString& userId);
    // ==== end of people ====

    // ==== messages: private messages and chats (requests) ====
    // "appId" and "userId" of the text name the recipient; "senderAppId" and "senderUserId" the writer.
    bool sendMessage(const OptString& appId, const OptString& userId, const OptString& message,
                     const OptString& toAppId, const OptString& toUserId, int32_t messageType, int32_t rating,
                     const OptString& contentType);
    // A form POST with both pictures as URL-safe Base64 JPEG; the recipient's app id is not sent.
    bool uploadImageMessage(const OptString& appId, const OptString& userId, const OptString& otherUserId,
                            const std::shared_ptr<ui::Image>& image, const std::shared_ptr<ui::Image>& smallImage);
    bool deleteMessages(const OptString& appId, const OptString& userId, const OptString& messageIds);
    bool markMessagesRead(const OptString& appId, const OptString& userId, const OptString& messageIds);
    bool getChats(const OptString& appId, const OptString& userId);
    bool getChat(const OptString& appId, const OptString& userId, const VelkoraUserPtr& user);
    bool getChat(const OptString& appId, const OptString& userId, const VelkoraUserPtr& user, int32_t offset);
    // ==== end of messages ====

    // ==== chat rooms (requests) ====
    bool getChatRoomsTopics(const OptString& appId, const OptString& userId);
    bool getChatRoomsTopic(const OptString& appId, const OptString& userId, int32_t topicId, bool clean);
    bool getChatRoomsTopicEarliest(const OptString& appId, const OptString& userId, int32_t topicId,
                                   int32_t earliestCommentId);
    // The comment reference is the caller's own: it is not sent.
    bool postTopicComment(const OptString& appId, const OptString& userId, int32_t topicId, int32_t commentRef,
                          const OptString& commentText, const OptString& contentType);
    bool uploadTopicImage(const OptString& appId, const OptString& userId, int32_t topicId,
                          const std::shared_ptr<ui::Image>& image, const std::shared_ptr<ui::Image>& smallImage);
    bool getChatRoomData(const OptString& appId, const OptString& userId, const OptString& objectId,
                         const OptString& objectType, const OptString& title, const OptString& data);
    bool deleteTopicComment(const OptString& appId, const OptString& userId, int32_t topicId, int32_t commentRef);
    bool likeTopicComment(const OptString& appId, const OptString& userId, int32_t topicId, int32_t commentRef);
    bool unlikeTopicComment(const OptString& appId, const OptString& userId, int32_t topicId, int32_t commentRef);
    bool likeTopic(const OptString& appId, const OptString& userId, int32_t topicId);
    bool unlikeTopic(const OptString& appId, const OptString& userId, int32_t topicId);
    // ==== end of chat rooms ====

    // ==== stickers (requests) ====
    bool getStickerStore(const OptString& appId, const OptString& userId);
    bool getStickerPack(const OptString& appId, const OptString& userId, int32_t packId);
    bool addStickerPack(const OptString& appId, const OptString& userId, int32_t packId);
    // A form POST; the product and the receipt are each optional.
    bool addPaidStickerPack(const OptString& appId, const OptString& userId, int32_t packId,
                            const std::shared_ptr<services::Product>& product, const OptString& paymentReceipt);
    bool getStickerData(const OptString& appId, const OptString& userId);
    // Posts the form text to the service endpoint (no time stamp or CRC) with the command's fetcher.
    void sendForm(VelkoraCommand command, const std::string& body);
    // ==== end of stickers ====

    // ==== feed: feed and likes (requests) ====
    bool sendFeed(const OptString& appId, const OptString& userId, const VelkoraFeedMessagePtr& feed);
    bool sendJoinedFeed(const OptString& appId, const OptString& userId);
    bool resendFeed(const OptString& appId, const OptString& userId, int32_t feedId);
    bool deleteFeed(const OptString& appId, const OptString& userId, int32_t feedId);
    bool deleteResend(const OptString& appId, const OptString& userId, int32_t feedId);
    bool sendCommentFeed(const OptString& appId, const OptString& userId, int32_t topicId);
    bool getFeed(const OptString& appId, const OptString& userId);
    bool getOneFeed(const OptString& appId, const OptString& userId, int32_t feedId);
    bool getOtherFeed(const OptString& appId, const OptString& userId, const OptString& otherAppId,
                      const OptString& otherUserId);
    bool getResenders(const OptString& appId, const OptString& userId, int32_t feedId);
    bool getLikes(const OptString& appId, const OptString& userId, const OptString& objectId);
    bool like(const OptString& appId, const OptString& userId, const VelkoraLikeObjectPtr& likeObject);
    bool likeFeed(const OptString& appId, const OptString& userId, const VelkoraLikeObjectPtr& likeObject);
    bool unlike(const OptString& appId, const OptString& userId, const VelkoraLikeObjectPtr& likeObject);
    bool unlikeFeed(const OptString& appId, const OptString& userId, const VelkoraLikeObjectPtr& likeObject);
    // ==== end of feed ====

    // ==== quizzes: quizzes and scores (requests) ====
    // A negative score id sends none (a new score).
    bool setScore(const OptString& appId, const OptString& userId, const OptString& level, int64_t score,
                  int32_t updatedScoreId);
    bool getScores(const OptString& appId, const OptString& userId, const OptString& level, int32_t intervalType);
    bool getQuizzes(const OptString& appId, const OptString& userId);
    bool getQuiz(const OptString& appId, const OptString& userId, int32_t quizId);
    bool reportQuiz(const OptString& appId, const OptString& userId, int32_t quizId, const OptString& report);
    // Coins bought (a form POST); a negative quiz or question id sends none.
    bool updateQuizBoughtCoins(const OptString& appId, const OptString& userId, int32_t coins, int32_t quizId,
                               int32_t questionId, const std::shared_ptr<services::Product>& product,
                               const OptString& paymentReceipt);
    // Coins spent, given as the positive number spent.
    bool updateQuizUsedLives(const OptString& appId, const OptString& userId, int32_t coins, int32_t lives,
                             int32_t quizId, int32_t questionId);
    bool updateQuizUsedHints(const OptString& appId, const OptString& userId, int32_t coins, int32_t hints,
                             int32_t quizId, int32_t questionId);
    bool updateQuizUsedQuiz(const OptString& appId, const OptString& userId, int32_t coins, int32_t quizId);
    bool updateQuizUsedAllQuizzes(const OptString& appId, const OptString& userId, int32_t coins);
    bool suggestQuizQuestion(const OptString& appId, const OptString& userId, int32_t quizId,
                             const OptString& question, const OptString& correctAnswer,
                             const OptString& firstWrongAnswer, const OptString& secondWrongAnswer,
                             const OptString& thirdWrongAnswer);
    // ==== end of quizzes ====

    // ==== app deals (requests) ====
    // From the service or the ad exchange, by the configured vendor.
    bool getAppDeals(const OptString& appId, const OptString& userId);
    // ==== end of app deals ====

    // VelkoraUrlFetcherDelegate.
    void urlGotError(VelkoraUrlFetcher& fetcher, const foundation::ErrorPtr& error) override;
    void urlDidFinishWithString(VelkoraUrlFetcher& fetcher, const std::optional<std::string>& text) override;

    // How like objects of a poll reach the feed repository's cache (it sets this when it exists).
    static void setLikeObjectProvider(std::function<VelkoraLikeObjectPtr(int32_t)> provider);
    static VelkoraLikeParseContext likeParseContext();

    // The fetcher of a command, if it was made.
    std::shared_ptr<VelkoraUrlFetcher> fetcher(VelkoraCommand command) const;

private:
    explicit VelkoraProtocolWrapper(VelkoraProtocolWrapperDelegate* delegate) : delegate_(delegate) {}
    std::shared_ptr<VelkoraUrlFetcher> fetcherFor(VelkoraCommand command);
    void send(VelkoraCommand command, const std::string& text);
    void handleReply(VelkoraUrlFetcher& fetcher, const std::optional<std::string>& text);
    void releaseFetcher(const std::shared_ptr<VelkoraUrlFetcher>& fetcher);

    VelkoraProtocolWrapperDelegate* delegate_ = nullptr;
    VelkoraCallback userDelegate_;
    VelkoraUserPtr theOtherUser_;
    std::map<VelkoraCommand, std::shared_ptr<VelkoraUrlFetcher>> fetchers_;
    std::optional<VelkoraCommand> command_;
    std::vector<std::string> loggedEvents_;
};

}  // namespace velkora
