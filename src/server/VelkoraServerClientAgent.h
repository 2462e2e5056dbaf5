// The one broker between the kit and the service: identity, the pending queue, the protocol objects in
// flight, the update poll and its delegates, and the server clock.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "server/VelkoraCallback.h"
#include "server/VelkoraClientPendingRequest.h"
#include "server/VelkoraCoordinate.h"
#include "server/VelkoraMessagesDelegate.h"
#include "server/VelkoraProtocolWrapper.h"

namespace velkora {

class VelkoraServerClientAgent final : public VelkoraProtocolWrapperDelegate {
public:
    // Posted (object: the agent, no user information) once an update poll's reply has been handed to the
    // delegates: the service answered, so whatever failed to reach it may be sent again.
    static constexpr const char* kUpdatePollAnsweredNotification = "VelkoraUpdatePollAnsweredNotification";

    using OptString = std::optional<std::string>;
    using Replay = void (*)(VelkoraServerClientAgent&, const VelkoraClientPendingRequest&);

    static VelkoraServerClientAgent& instance();
    // A fresh agent (requests in flight are cancelled); for tests that start the kit more than once.
    static void resetForTests();
    ~VelkoraServerClientAgent() override;

    // ---- identity ----
    const OptString& appId() const { return appId_; }
    void setAppId(OptString v) { appId_ = std::move(v); }
    const OptString& userId() const { return userId_; }
    const OptString& getUserId() const { return userId_; }
    void setUserId(OptString v) { userId_ = std::move(v); }
    const OptString& deviceId() const { return deviceId_; }
    void setDeviceId(OptString v) { deviceId_ = std::move(v); }

    // ---- session and poll ----
    void initSession(std::shared_ptr<services::LocationManager> locationManager);
    void activateLocationManager(std::shared_ptr<services::LocationManager> locationManager);
    const std::shared_ptr<services::LocationManager>& locationManager() const { return locationManager_; }
    void initSessionInternal();
    void createUserId();
    void onUserIdAvailable();
    void setMessagesDelegate(std::weak_ptr<VelkoraMessagesDelegate> d);
    void setFeedDelegate(std::weak_ptr<VelkoraMessagesDelegate> d);
    void setTopicsDelegate(std::weak_ptr<VelkoraMessagesDelegate> d);
    std::shared_ptr<VelkoraMessagesDelegate> messagesDelegate() const { return messagesDelegate_.lock(); }
    std::shared_ptr<VelkoraMessagesDelegate> feedDelegate() const { return feedDelegate_.lock(); }
    std::shared_ptr<VelkoraMessagesDelegate> topicsDelegate() const { return topicsDelegate_.lock(); }
    void didEnterTopic(const foundation::Notification& n);
    void didExitTopic(const foundation::Notification& n);
    void setMessagesChangeNumber(int32_t changeNumber);
    void doUpdate();
    void updateTimerTick();
    void updateNow() { updateTimerTick(); }
    void pause();
    void resume();
    void endSession();
    void reportEventNow(const std::string& type, const std::string& message);

    bool isSessionStarted() const { return isSessionStarted_; }
    bool isSessionInitialized() const { return isSessionInitialized_; }
    bool paused() const { return paused_; }
    bool withinTopic() const { return withinTopic_; }
    int32_t topicId() const { return topicId_; }
    int32_t topicChangeNumber() const { return topicChangeNumber_; }
    bool useLocation() const { return useLocation_; }
    bool firstUpdate() const { return firstUpdate_; }
    void setFirstUpdate(bool v) { firstUpdate_ = v; }
    int32_t lastUpdateTimeout() const { return lastUpdateTimeout_; }
    void setLastUpdateTimeout(int32_t v) { lastUpdateTimeout_ = v; }
    int32_t lastChangeNumber() const { return lastChangeNumber_; }
    void setLastChangeNumber(int32_t v) { lastChangeNumber_ = v; }
    int32_t lastFeedChangeNumber() const { return lastFeedChangeNumber_; }
    void setLastFeedChangeNumber(int32_t v) { lastFeedChangeNumber_ = v; }
    int32_t lastLikesChangeNumber() const { return lastLikesChangeNumber_; }
    void setLastLikesChangeNumber(int32_t v) { lastLikesChangeNumber_ = v; }
    int32_t lastTopicsChangeNumber() const { return lastTopicsChangeNumber_; }
    void setLastTopicsChangeNumber(int32_t v) { lastTopicsChangeNumber_ = v; }
    const std::shared_ptr<foundation::Timer>& updateTimer() const { return updateTimer_; }
    std::optional<foundation::Date> lastUpdateDateTime() const { return lastUpdateDateTime_; }

    // ---- queue and working list ----
    std::vector<VelkoraClientPendingRequestPtr>& pendingRequests() { return pendingRequests_; }
    const std::vector<std::shared_ptr<VelkoraProtocolWrapper>>& workingProtocolsWrappers() const {
        return workingProtocolsWrappers_;
    }
    void sessionInitialized();
    // The replay of one type code; later commands register theirs. Null for a type without a row.
    static Replay replayFor(int type);
    static void setReplay(int type, Replay replay);
    void addWorkingProtocolWrapper(const std::shared_ptr<VelkoraProtocolWrapper>& w);
    void removeWorkingProtocolWrapper(VelkoraProtocolWrapper& w);
    void performUserSelector(VelkoraProtocolWrapper& w, const foundation::Value& answer);
    void performUserErrorSelector(VelkoraProtocolWrapper& w, const foundation::ErrorPtr& error);
    // Nobody answers the object any more: its requests in flight and its queued ones still run.
    void clearUserDelegate(const void* object);

    // ---- server clock ----
    void setTimeDifference(double seconds) override { clientServerTimeDifference_ = seconds; }
    double clientServerTimeDifference() const { return clientServerTimeDifference_; }
    double getServerTimeDiff(foundation::Date date) const;
    foundation::Date getDateWithServerDiff(foundation::Date date) const;

    // ---- commands ----
    void getAppData(VelkoraCallback caller);
    void getUserData(VelkoraCallback caller);
    void getOtherUserData(const OptString& otherUserId, VelkoraCallback caller);

    // ==== accounts: sign-up, log-in, social connections (operations) ====
    void signUp(VelkoraCallback caller, int32_t method, const OptString& connectValue, const OptString& password,
                VelkoraUserPtr user);
    void signOut(VelkoraCallback caller);
    void login(VelkoraCallback caller, int32_t method, const OptString& connectValue, const OptString& password);
    void connectSocial(VelkoraCallback caller, int32_t method, const OptString& connectValue, bool replaceUserData,
                       bool overrideOtherUser, VelkoraUserPtr user);
    void disconnectSocial(VelkoraCallback caller, int32_t method);
    void uploadUserImage(VelkoraCallback caller, std::shared_ptr<ui::Image> image);
    // Nobody is answered for these three.
    // The caller hears the service's answer: nothing on success, the error otherwise.
    void forgotPassword(const OptString& email, VelkoraCallback caller = {});
    void changePassword(const OptString& password, VelkoraCallback caller = {});
    void setDeviceToken(const OptString& token);
    // Answered with {"deviceId"} or {"userId"} or {}; never with an error.
    void bcSignUp(VelkoraCallback caller, const OptString& facebookId, const OptString& twitterId);
    // The token goes out without the test against the stored one (a queued call already passed it).
    void sendDeviceToken(const OptString& token);
    const OptString& pendingDeviceToken() const { return pendingDeviceToken_; }
    // ==== end of accounts ====

    // ==== people: user data, searches, follows (operations) ====
    void setUserData(VelkoraUserPtr user, VelkoraCallback caller);
    void query(std::shared_ptr<VelkoraQuery> query, VelkoraCallback caller);
    // Around the location manager's current position.
    void getNearbyUsers(int32_t meters, VelkoraCallback caller);
    void getNearbyUsers(int32_t meters, VelkoraCallback caller, VelkoraCoordinate coordinate);
    void getSocialNetworkFriends(VelkoraCallback caller, const OptString& network, const OptString& friendIds);
    void addFollowing(VelkoraUserPtr user);
    void removeFollowing(VelkoraUserPtr user);
    // The current user's lists, or the other user's when one is given.
    void getFavorites(VelkoraCallback caller, bool withLocation, int32_t direction, VelkoraUserPtr otherUser);
    void getSuggestedUsers(bool forceRetrieve, int32_t numFollowing, VelkoraCallback caller);
    void blockUser(VelkoraUserPtr user, bool value);
    void reportUser(VelkoraUserPtr user, bool value);
    void dumpAppPlist();
    // ==== end of people ====

    // ==== messages: private messages and chats (operations) ====
    void sendMessage(const OptString& message, const OptString& toAppId, const OptString& toUserId,
                     int32_t messageType, int32_t rating, const OptString& contentType, VelkoraCallback caller);
    // The caller's error function hears of a failed upload.
    void uploadImageMessage(VelkoraCallback caller, std::shared_ptr<ui::Image> image,
                            std::shared_ptr<ui::Image> smallImage, const OptString& toAppId,
                            const OptString& toUserId);
    // Never queued: sent at once with whatever ids the agent holds; nobody is answered.
    void deleteMessages(const OptString& messageIds);
    void markMessagesRead(const OptString& messageIds);
    void getChats(VelkoraCallback caller);
    void getChat(const VelkoraUserPtr& user, VelkoraCallback caller);
    void getChat(const VelkoraUserPtr& user, int32_t offset, VelkoraCallback caller);
    // ==== end of messages ====

    // ==== chat rooms (operations) ====
    void getChatRoomsTopics(VelkoraCallback caller);
    void getChatRoomsTopic(VelkoraCallback caller, int32_t topicId, bool clean);
    void getChatRoomsTopicEarliest(VelkoraCallback caller, int32_t topicId, int32_t earliestCommentId);
    void postTopicComment(int32_t topicId, int32_t commentRef, const OptString& commentText,
                          const OptString& contentType, VelkoraCallback caller);
    // The caller's error function hears of a failure.
    void uploadTopicImage(int32_t topicId, const std::shared_ptr<ui::Image>& image,
                          const std::shared_ptr<ui::Image>& smallImage, VelkoraCallback caller);
    void getChatRoomData(const OptString& objectId, const OptString& objectType, const OptString& title,
                         const OptString& data, VelkoraCallback caller);
    // Never queued: sent at once with whatever ids the agent holds.
    void deleteTopicComment(int32_t topicId, int32_t commentRef, VelkoraCallback caller);
    void likeTopicComment(int32_t topicId, int32_t commentRef, VelkoraCallback caller);
    void unlikeTopicComment(int32_t topicId, int32_t commentRef, VelkoraCallback caller);
    void likeTopic(int32_t topicId, VelkoraCallback caller);
    void unlikeTopic(int32_t topicId, VelkoraCallback caller);
    // ==== end of chat rooms ====

    // ==== stickers (operations) ====
    void getStickerStore(VelkoraCallback caller);
    void getStickerPack(VelkoraCallback caller, int32_t packId);
    void addStickerPack(VelkoraCallback caller, int32_t packId);
    void addPaidStickerPack(VelkoraCallback caller, int32_t packId, std::shared_ptr<services::Product> product,
                            const OptString& paymentReceipt);
    void getStickerData(VelkoraCallback caller);
    // ==== end of stickers ====

    // ==== feed: feed and likes (operations) ====
    void sendFeed(const VelkoraFeedMessagePtr& feed, VelkoraCallback caller);
    void resendFeed(int32_t feedId, VelkoraCallback caller);
    void deleteFeed(int32_t feedId, VelkoraCallback caller);
    void deleteFeedResend(int32_t feedId, VelkoraCallback caller);
    void sendCommentFeed(int32_t topicId, VelkoraCallback caller);
    // Only when the application posts "joined" items and the user is not in private mode.
    void sendJoinedFeed(VelkoraCallback caller);
    void getFeed(VelkoraCallback caller);
    void getOneFeed(VelkoraCallback caller, int32_t feedId);
    void getOtherFeed(const VelkoraUserPtr& user, VelkoraCallback caller);
    void getResenders(VelkoraCallback caller, int32_t feedId);
    void getLikes(const OptString& objectId, VelkoraCallback caller);
    void like(const VelkoraLikeObjectPtr& likeObject, VelkoraCallback caller);
    void likeFeed(const VelkoraLikeObjectPtr& likeObject, VelkoraCallback caller);
    void unlike(const VelkoraLikeObjectPtr& likeObject, VelkoraCallback caller);
    void unlikeFeed(const VelkoraLikeObjectPtr& likeObject, VelkoraCallback caller);
    // ==== end of feed ====

    // ==== quizzes: quizzes and scores (operations) ====
    void setScore(const OptString& level, int64_t score);
    void updateScore(const OptString& level, int64_t score);
    void getScores(VelkoraCallback caller, const OptString& level, int32_t intervalType);
    void getQuizzes(VelkoraCallback caller);
    void getQuiz(VelkoraCallback caller, int32_t quizId);
    void reportQuiz(int32_t quizId, const OptString& report);
    void updateQuizBoughtCoins(VelkoraCallback caller, int32_t coins, int32_t quizId, int32_t questionId,
                               std::shared_ptr<services::Product> product, const OptString& paymentReceipt);
    void updateQuizUsedLives(VelkoraCallback caller, int32_t coins, int32_t lives, int32_t quizId, int32_t questionId);
    void updateQuizUsedHints(VelkoraCallback caller, int32_t coins, int32_t hints, int32_t quizId, int32_t questionId);
    void updateQuizUsedQuiz(VelkoraCallback caller, int32_t coins, int32_t quizId);
    void updateQuizUsedAllQuizzes(VelkoraCallback caller, int32_t coins);
    void suggestQuizQuestion(VelkoraCallback caller, int32_t quizId, const OptString& question,
                             const OptString& correctAnswer, const OptString& firstWrongAnswer,
                             const OptString& secondWrongAnswer, const OptString& thirdWrongAnswer);
    // The score id of the last setScore or updateScore reply; updateScore sends it.
    int32_t lastSetScoreId() const { return lastSetScoreId_; }
    // Sends a new score whose id was already forgotten (a queued one, replayed once the session is ready).
    void sendNewScore(const OptString& level, int64_t score);
    // ==== end of quizzes ====

    // ==== app deals (operations) ====
    void getAppDeals(VelkoraCallback caller);
    // ==== end of app deals ====

    // ---- VelkoraProtocolWrapperDelegate ----
    void urlGotError(VelkoraProtocolWrapper& w, const foundation::ErrorPtr& error) override;
    void protocolWrapperDone(VelkoraProtocolWrapper& w) override {
        relationChangeDone(w);
        removeWorkingProtocolWrapper(w);
    }
    void deviceIdCreated(VelkoraProtocolWrapper& w, const std::optional<std::string>& deviceId) override;
    void updated(VelkoraProtocolWrapper& w, const std::optional<std::vector<VelkoraMessagePtr>>& messages,
                 int32_t changeNumber, int32_t numFollowers, int32_t score, int32_t coins) override;
    void feedUpdated(VelkoraProtocolWrapper& w, const std::vector<VelkoraFeedMessagePtr>& items,
                     int32_t changeNumber) override;
    void likesUpdated(VelkoraProtocolWrapper& w, const std::vector<VelkoraLikeObjectPtr>& likes,
                      int32_t changeNumber) override;
    void topicsUpdated(VelkoraProtocolWrapper& w, const std::vector<VelkoraChatRoomsTopicPtr>& topics,
                       int32_t changeNumber) override;
    void topicUpdated(VelkoraProtocolWrapper& w, const VelkoraChatRoomsTopicPtr& topic) override;
    void updateAnswered(VelkoraProtocolWrapper& w) override;
    void gotUserData(VelkoraProtocolWrapper& w, const VelkoraUserPtr& user) override;
    void gotOtherUserData(VelkoraProtocolWrapper& w, const VelkoraUserPtr& user) override;
    void gotAppData(VelkoraProtocolWrapper& w, const std::shared_ptr<VelkoraAppData>& appData) override;

    // ==== accounts: sign-up, log-in, social connections (replies) ====
    void userSignedIn(VelkoraProtocolWrapper& w, const std::optional<std::string>& userId) override;
    void userSignedOut(VelkoraProtocolWrapper& w) override;
    void userLoggedIn(VelkoraProtocolWrapper& w, const std::optional<std::string>& userId) override;
    void socialNetworkConnected(VelkoraProtocolWrapper& w) override;
    void socialNetworkDisconnected(VelkoraProtocolWrapper& w) override;
    void userImageUploaded(VelkoraProtocolWrapper& w, const std::optional<std::string>& imageUrl) override;
    void bcUserSignedIn(VelkoraProtocolWrapper& w, const std::optional<std::string>& userId,
                        const std::optional<std::string>& deviceId) override;
    void deviceTokenSet(VelkoraProtocolWrapper& w) override;
    void passwordRequestAnswered(VelkoraProtocolWrapper& w) override;
    // ==== end of accounts ====

    // ==== people: user data, searches, follows (replies) ====
    void userDataSet(VelkoraProtocolWrapper& w) override;
    void gotQueryResult(VelkoraProtocolWrapper& w, const std::vector<VelkoraUserPtr>& users) override;
    void gotNearbyUsers(VelkoraProtocolWrapper& w, const std::vector<VelkoraUserPtr>& users) override;
    void gotFavorites(VelkoraProtocolWrapper& w, const std::vector<VelkoraUserPtr>& users) override;
    void gotOtherFavorites(VelkoraProtocolWrapper& w, const std::vector<VelkoraUserPtr>& users) override;
    void gotSocialNetworkFriends(VelkoraProtocolWrapper& w, const std::vector<VelkoraUserPtr>& users) override;
    void gotSuggestedUsers(VelkoraProtocolWrapper& w, const std::vector<VelkoraUserPtr>& users) override;
    void gotAddFollowing(VelkoraProtocolWrapper& w) override;
    void gotRemoveFollowing(VelkoraProtocolWrapper& w) override;
    // ==== end of people ====

    // ==== messages: private messages and chats (replies) ====
    void messageSent(VelkoraProtocolWrapper& w) override;
    void imageMessageUploaded(VelkoraProtocolWrapper& w, const std::optional<std::string>& imageUrl) override;
    void gotChats(VelkoraProtocolWrapper& w, const std::vector<VelkoraChatPtr>& chats) override;
    void gotChat(VelkoraProtocolWrapper& w, const VelkoraChatPtr& chat) override;
    void gotChatMessages(VelkoraProtocolWrapper& w, const std::vector<VelkoraMessagePtr>& messages) override;
    // ==== end of messages ====

    // ==== chat rooms (replies) ====
    void gotChatRoomsTopics(VelkoraProtocolWrapper& w, const std::vector<VelkoraChatRoomsTopicPtr>& topics,
                            int32_t changeNumber) override;
    void gotChatRoomsTopic(VelkoraProtocolWrapper& w, const VelkoraChatRoomsTopicPtr& topic,
                           const std::optional<foundation::Value>& ads) override;
    void gotChatRoomsTopicComments(VelkoraProtocolWrapper& w,
                                   const std::optional<VelkoraChatRoomsTopic::Comments>& comments) override;
    void topicCommentPosted(VelkoraProtocolWrapper& w) override;
    void topicImageUploaded(VelkoraProtocolWrapper& w, const std::optional<std::string>& imageUrl) override;
    void gotChatRoomData(VelkoraProtocolWrapper& w, int32_t topicId, int32_t commentsNumber) override;
    void topicCommentDeleted(VelkoraProtocolWrapper& w) override;
    // ==== end of chat rooms ====

    // ==== stickers (replies) ====
    void gotStickerStore(VelkoraProtocolWrapper& w, const std::vector<VelkoraStickerPackPtr>& store) override;
    void gotStickerPack(VelkoraProtocolWrapper& w, const VelkoraStickerPackPtr& pack) override;
    void gotStickerData(VelkoraProtocolWrapper& w, const std::vector<VelkoraStickerPackPtr>& data) override;
    void addedStickerPack(VelkoraProtocolWrapper& w, int32_t packId) override;
    void addedPaidStickerPack(VelkoraProtocolWrapper& w, bool success, bool shouldRetry,
                              const std::optional<std::string>& productId, int32_t packId) override;
    // ==== end of stickers ====

    // ==== feed: feed and likes (replies) ====
    void feedSent(VelkoraProtocolWrapper& w) override;
    void feedResent(VelkoraProtocolWrapper& w) override;
    void feedDeleted(VelkoraProtocolWrapper& w) override;
    void feedResendDeleted(VelkoraProtocolWrapper& w) override;
    void commentFeedSent(VelkoraProtocolWrapper& w) override;
    void gotFeed(VelkoraProtocolWrapper& w, const std::vector<VelkoraFeedMessagePtr>& messages,
                 const std::vector<VelkoraLikeObjectPtr>& likes) override;
    void gotOneFeed(VelkoraProtocolWrapper& w, const VelkoraFeedMessagePtr& message) override;
    void gotOtherFeed(VelkoraProtocolWrapper& w, const std::vector<VelkoraFeedMessagePtr>& messages,
                      const std::vector<VelkoraLikeObjectPtr>& likes) override;
    void gotResenders(VelkoraProtocolWrapper& w, const std::vector<VelkoraUserPtr>& users) override;
    void gotLikes(VelkoraProtocolWrapper& w, const VelkoraLikeObjectPtr& likeObject) override;
    void gotLikeAck(VelkoraProtocolWrapper& w) override;
    void gotUnlikeAck(VelkoraProtocolWrapper& w) override;
    // ==== end of feed ====

    // ==== quizzes: quizzes and scores (replies) ====
    void scoreWasSet(VelkoraProtocolWrapper& w, int32_t scoreId) override;
    void gotScores(VelkoraProtocolWrapper& w, const std::vector<VelkoraScorePositionPtr>& leaders,
                   const std::vector<VelkoraScorePositionPtr>& userArea) override;
    void gotQuizzes(VelkoraProtocolWrapper& w, const std::vector<VelkoraQuizPtr>& quizzes,
                    int32_t unlockAllQuizzesCoins) override;
    void gotQuiz(VelkoraProtocolWrapper& w, const VelkoraQuizPtr& quiz) override;
    void quizProductUpdated(VelkoraProtocolWrapper& w, bool success, bool shouldRetry,
                            const std::optional<std::string>& productId) override;
    void quizQuestionSent(VelkoraProtocolWrapper& w) override;
    // ==== end of quizzes ====

    // ==== app deals (replies) ====
    void gotAppDeals(VelkoraProtocolWrapper& w, const std::vector<VelkoraAppDealPtr>& deals) override;
    // ==== end of app deals ====

private:
    VelkoraServerClientAgent() = default;
    // A protocol object answering this caller, already in the working list.
    std::shared_ptr<VelkoraProtocolWrapper> makeWrapper(VelkoraCallback caller = {});
    VelkoraClientPendingRequestPtr queue(int type, VelkoraCallback caller);
    // A request of the session: sent at once when the session is ready, otherwise kept, with what `keep`
    // writes into its record, until it is. A request the wrapper does not send lets the wrapper go.
    template <typename Keep, typename Send>
    void sendOrQueue(int type, VelkoraCallback caller, Keep&& keep, Send&& send) {
        if (!isSessionInitialized_) {
            keep(*queue(type, std::move(caller)));
            return;
        }
        auto w = makeWrapper(std::move(caller));
        if (!send(*w)) dropIfIdle(*w);
    }
    void answerUserOrFail(VelkoraProtocolWrapper& w, const VelkoraUserPtr& user);
    void armUpdateTimer(double seconds);
    void dropIfIdle(VelkoraProtocolWrapper& w);
    void saveCursors(int32_t* messages, int32_t* feed, int32_t* likes);

    double clientServerTimeDifference_ = 0;
    OptString pendingDeviceToken_;
    std::shared_ptr<foundation::Timer> updateTimer_;
    std::optional<foundation::Date> lastUpdateDateTime_;
    bool isSessionStarted_ = false;
    bool isSessionInitialized_ = false;
    bool withinTopic_ = false;
    int32_t topicId_ = 0, topicChangeNumber_ = 0;
    bool useLocation_ = false;
    bool paused_ = false;
    int32_t lastSetScoreId_ = 0;
    // A new score forgets the id of the one before, so an update never lands on an earlier game's score:
    // updates made while the new score's id is on its way wait for it, the latest one only.
    bool scoreInFlight_ = false;
    std::optional<std::pair<OptString, int64_t>> heldScoreUpdate_;
    std::vector<const VelkoraProtocolWrapper*> newScoreWrappers_;
    bool takeNewScoreWrapper(const VelkoraProtocolWrapper& w);
    void newScoreFailed(VelkoraProtocolWrapper& w);
    bool firstUpdate_ = true;
    std::weak_ptr<VelkoraMessagesDelegate> messagesDelegate_, feedDelegate_, topicsDelegate_;
    OptString appId_, userId_, deviceId_;
    std::shared_ptr<services::LocationManager> locationManager_;
    int32_t lastUpdateTimeout_ = 0;
    int32_t lastChangeNumber_ = 0, lastFeedChangeNumber_ = 0, lastLikesChangeNumber_ = 0, lastTopicsChangeNumber_ = 0;
    std::vector<VelkoraClientPendingRequestPtr> pendingRequests_;
    std::vector<std::shared_ptr<VelkoraProtocolWrapper>> workingProtocolsWrappers_;
    // A createUser request is on its way: the retry timer must not send a second one.
    bool createUserInFlight_ = false;
    // A transport failure that says the service is not there (rather than a refusal it answered).
    static bool cannotReachService(const foundation::ErrorPtr& error);
    // Said once while the service cannot be reached; its next answer lets a later outage be said again.
    bool unreachableSaid_ = false;
    foundation::NotificationObserver enteredTopicObserver_, exitedTopicObserver_;

    // ==== accounts: sign-up, log-in, social connections (state) ====
    // A sign-up or log-in reply: the id it names becomes the session's.
    void takeUserIdFromReply(const std::optional<std::string>& userId);
    // ==== end of accounts ====

    // ==== people: user data, searches, follows (state) ====
    void setUserRelation(VelkoraUserPtr user, const char* type, bool value, int pendingType);

    // Changes of the relation to one user (follow, unfollow, block, report) go one at a time, each after
    // the previous one answered, so the service ends in the state the user last asked for; a repeat of
    // the change last asked for is dropped.
    struct RelationChange {
        char kind = 'f'; // 'f' follow (value: follow or unfollow), 'b' block, 'r' report
        bool value = false;
        VelkoraUserPtr user;
    };
    void changeRelation(RelationChange change);
    void sendRelationChange(const std::string& key);
    void relationChangeFailed(VelkoraProtocolWrapper& w);
    void relationChangeDone(VelkoraProtocolWrapper& w);
    std::map<std::string, std::deque<RelationChange>> relationChanges_;
    std::map<const VelkoraProtocolWrapper*, std::string> relationWrappers_;
    void answerUsers(VelkoraProtocolWrapper& w, const std::vector<VelkoraUserPtr>& users);
    // ==== end of people ====

    // ==== messages: private messages and chats (state) ====
    // ==== end of messages ====

    // ==== chat rooms (state) ====
    // ==== end of chat rooms ====

    // ==== stickers (state) ====
    // ==== end of stickers ====

    // ==== feed: feed and likes (state) ====
    // ==== end of feed ====

    // ==== quizzes: quizzes and scores (state) ====
    // ==== end of quizzes ====

    // ==== app deals (state) ====
    // ==== end of app deals ====
};

}  // namespace velkora
