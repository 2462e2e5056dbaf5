// The static entry to the server client: the rest of the kit names an operation here and never touches
// the agent. Commands of later chapters join as further forwarders.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/RunLoop.h"
#include "server/VelkoraCallback.h"
#include "server/VelkoraLocationManager.h"
#include "server/VelkoraMessagesDelegate.h"

namespace velkora {

namespace ui {
class Image;
}

class VelkoraServerApi {
public:
    using OptString = std::optional<std::string>;

    VelkoraServerApi() = delete;

    // Session, poll and state.
    static void startSession(const OptString& appId, std::shared_ptr<VelkoraLocationManager> locationManager);
    static void endSession();
    static void activateLocationManager(std::shared_ptr<VelkoraLocationManager> locationManager);
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
    // ==== end of accounts ====

    // ==== people: user data, searches, follows (forwarders) ====
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
    // ==== end of chat rooms ====

    // ==== stickers (forwarders) ====
    // ==== end of stickers ====

    // ==== feed: feed and likes (forwarders) ====
    // ==== end of feed ====

    // ==== quizzes: quizzes and scores (forwarders) ====
    // ==== end of quizzes ====

    // ==== app deals (forwarders) ====
    // ==== end of app deals ====
};

}  // namespace velkora
