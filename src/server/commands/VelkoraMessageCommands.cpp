// Private messages, chats and the feedback form.
#include "platform/foundation/Log.h"
#include "platform/ui/Image.h"
#include "server/VelkoraServerApi.h"
#include "server/commands/VelkoraCommandGroups.h"
#include "server/commands/VelkoraRequestParts.h"
#include "server/utils/RequestText.h"
#include "server/utils/VelkoraBase64.h"

namespace velkora {

using foundation::Log;
using foundation::Value;
using namespace request;
using commands::objectsValue;

namespace {

// Requests that a screen waits on are kept and re-sent when the network comes back, alerting the user.
constexpr int32_t kAlertingRetryMode = 1;
constexpr double kJpegQuality = 1.0;

// The picture as the form carries it: JPEG, then URL-safe Base64 on one line; nothing for no picture.
std::string imageField(const std::shared_ptr<ui::Image>& image) {
    if (!image) return {};
    auto jpeg = image->jpegData(kJpegQuality);
    return base64EncodedStringWithWrapWidth(std::span<const uint8_t>(jpeg), 0).value_or("");
}

// ---- reply readers ----

void readSendMessage(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value&) { d.messageSent(w); }

void readSendImageMessage(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    d.imageMessageUploaded(w, reply["url"].toText());
}

void readGetChats(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    std::vector<VelkoraChatPtr> chats;
    if (const auto* list = reply["chats"].asArray())
        for (const Value& element : *list)
            if (auto chat = parseChat(element)) chats.push_back(std::move(chat));
    d.gotChats(w, chats);
}

// A chat whose user cannot be read answers nobody.
void readGetChat(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    if (auto chat = parseChat(reply["chat"]))
        d.gotChat(w, chat);
    else
        commands::replyLacks(w, d);
}

void readGetChatWithOffset(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    if (auto chat = parseChat(reply["chat"]))
        d.gotChatMessages(w, chat->messages());
    else
        commands::replyLacks(w, d);
}

const commands::Branch kBranches[] = {
    {VelkoraCommand::SendMessage, readSendMessage},
    {VelkoraCommand::SendImageMessage, readSendImageMessage},
    {VelkoraCommand::GetChats, readGetChats},
    {VelkoraCommand::GetChat, readGetChat},
    {VelkoraCommand::GetChatWithOffset, readGetChatWithOffset},
};

// ---- replays ----

void replaySendMessage(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
    a.sendMessage(r.message, r.toAppId, r.toUserId, r.messageType, r.rating, r.contentType, r.delegate);
}
void replayUploadImageMessage(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
    a.uploadImageMessage(r.delegate, r.image, r.smallImage, r.toAppId, r.toUserId);
}
void replayGetChats(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) { a.getChats(r.delegate); }
void replayGetChat(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) { a.getChat(r.user, r.delegate); }
void replayGetChatWithOffset(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
    a.getChat(r.user, r.messagesOffset, r.delegate);
}

}  // namespace

std::span<const commands::Branch> commands::messageBranches() { return kBranches; }

void commands::addMessageReplays(Replays& table) {
    table[VelkoraPendingType::kSendMessage] = replaySendMessage;
    table[VelkoraPendingType::kUploadImageMessage] = replayUploadImageMessage;
    table[VelkoraPendingType::kGetChats] = replayGetChats;
    table[VelkoraPendingType::kGetChat] = replayGetChat;
    table[VelkoraPendingType::kGetChatWithOffset] = replayGetChatWithOffset;
}

// ---- requests ----

bool VelkoraProtocolWrapper::sendMessage(const OptString& appId, const OptString& userId, const OptString& message,
                                         const OptString& toAppId, const OptString& toUserId, int32_t messageType,
                                         int32_t rating, const OptString& contentType) {
    if (missing(appId) || missing(userId)) {
        Log::line("Velkora - sendMessage: AppId or UserId not set");
        return false;
    }
    // The content type is escaped too: a value with "&" or "=" must not become parameters of its own.
    std::string text = head("sendMessage") + "&appId=" + str(toAppId) + "&userId=" + str(toUserId) +
                       "&message=" + escaped(message) + "&senderAppId=" + *appId +
                       "&senderUserId=" + *userId + "&contentType=" + escaped(contentType) +
                       "&messageType=" + num(messageType) + "&rating=" + num(rating);
    fetcherFor(VelkoraCommand::SendMessage)->setRetryMode(kAlertingRetryMode);
    send(VelkoraCommand::SendMessage, text);
    return true;
}

bool VelkoraProtocolWrapper::uploadImageMessage(const OptString& appId, const OptString& userId,
                                                const OptString& otherUserId, const std::shared_ptr<ui::Image>& image,
                                                const std::shared_ptr<ui::Image>& smallImage) {
    if (missing(appId) || missing(userId) || missing(otherUserId) || !image) {
        Log::line("Velkora - uploadImageMessage: AppId, UserId, OtherUserId or Image not set");
        return false;
    }
    std::string body = "command=sendImageMessage&appId=" + *appId + "&userId=" + *otherUserId +
                       "&senderAppId=" + *appId + "&senderUserId=" + *userId + "&image=" + imageField(image) +
                       "&smallImage=" + imageField(smallImage) + pictureFormTag();
    command_ = VelkoraCommand::SendImageMessage;
    fetcherFor(VelkoraCommand::SendImageMessage)->getUrlWithPostData(endpoint(), body);
    return true;
}

namespace {
std::string markMessagesText(const std::string& appId, const std::string& userId,
                             const std::optional<std::string>& messageIds, bool deleted) {
    return head("markMessages") + "&appId=" + appId + "&userId=" + userId +
           "&messages=" + escaped(messageIds) + "&markDeleted=" + flag(deleted);
}
}  // namespace

bool VelkoraProtocolWrapper::deleteMessages(const OptString& appId, const OptString& userId,
                                            const OptString& messageIds) {
    if (missing(appId) || missing(userId)) {
        Log::line("Velkora - deleteMessages: AppId or UserId not set");
        return false;
    }
    send(VelkoraCommand::MarkMessages, markMessagesText(*appId, *userId, messageIds, true));
    return true;
}

bool VelkoraProtocolWrapper::markMessagesRead(const OptString& appId, const OptString& userId,
                                              const OptString& messageIds) {
    if (missing(appId) || missing(userId)) {
        Log::line("Velkora - markMessagesRead: AppId or UserId not set");
        return false;
    }
    send(VelkoraCommand::MarkMessages, markMessagesText(*appId, *userId, messageIds, false));
    return true;
}

bool VelkoraProtocolWrapper::getChats(const OptString& appId, const OptString& userId) {
    if (missing(appId) || missing(userId)) {
        Log::line("Velkora - getChats: AppId or UserId not set");
        return false;
    }
    fetcherFor(VelkoraCommand::GetChats)->setRetryMode(kAlertingRetryMode);
    send(VelkoraCommand::GetChats, head("getChats") + "&appId=" + *appId + "&userId=" + *userId +
                                       "&protocolVersion=" + num(kVelkoraProtocolVersion));
    return true;
}

namespace {
// Both reads of one chat: the first page, or the page at an offset.
std::string chatText(const std::string& appId, const std::string& userId, const VelkoraUserPtr& user,
                     std::optional<int32_t> offset) {
    std::string text = head("getChat") + "&appId=" + appId + "&userId=" + userId +
                       "&otherAppId=" + str(user ? user->appId() : std::nullopt) +
                       "&otherUserId=" + str(user ? user->userId() : std::nullopt);
    if (offset) text += "&offset=" + num(*offset);
    return text + "&protocolVersion=" + num(kVelkoraProtocolVersion);
}
}  // namespace

bool VelkoraProtocolWrapper::getChat(const OptString& appId, const OptString& userId, const VelkoraUserPtr& user) {
    if (missing(appId) || missing(userId)) {
        Log::line("Velkora - getChat: AppId or UserId not set");
        return false;
    }
    fetcherFor(VelkoraCommand::GetChat)->setRetryMode(kAlertingRetryMode);
    send(VelkoraCommand::GetChat, chatText(*appId, *userId, user, std::nullopt));
    return true;
}

bool VelkoraProtocolWrapper::getChat(const OptString& appId, const OptString& userId, const VelkoraUserPtr& user,
                                     int32_t offset) {
    if (missing(appId) || missing(userId)) {
        Log::line("Velkora - getChat: AppId or UserId not set");
        return false;
    }
    fetcherFor(VelkoraCommand::GetChatWithOffset)->setRetryMode(kAlertingRetryMode);
    send(VelkoraCommand::GetChatWithOffset, chatText(*appId, *userId, user, offset));
    return true;
}

// ---- the agent's operations ----

void VelkoraServerClientAgent::sendMessage(const OptString& message, const OptString& toAppId,
                                           const OptString& toUserId, int32_t messageType, int32_t rating,
                                           const OptString& contentType, VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kSendMessage, std::move(caller),
                [&](VelkoraClientPendingRequest& r) {
                    r.message = message;
                    r.toAppId = toAppId;
                    r.toUserId = toUserId;
                    r.contentType = contentType;
                    r.messageType = messageType;
                    r.rating = rating;
                },
                [&](VelkoraProtocolWrapper& w) {
                    return w.sendMessage(appId_, userId_, message, toAppId, toUserId, messageType, rating, contentType);
                });
}

void VelkoraServerClientAgent::uploadImageMessage(VelkoraCallback caller, std::shared_ptr<ui::Image> image,
                                                  std::shared_ptr<ui::Image> smallImage, const OptString& toAppId,
                                                  const OptString& toUserId) {
    sendOrQueue(VelkoraPendingType::kUploadImageMessage, std::move(caller),
                [&](VelkoraClientPendingRequest& r) {
                    r.image = std::move(image);
                    r.smallImage = std::move(smallImage);
                    r.toAppId = toAppId;
                    r.toUserId = toUserId;
                },
                [&](VelkoraProtocolWrapper& w) {
                    return w.uploadImageMessage(appId_, userId_, toUserId, image, smallImage);
                });
}

void VelkoraServerClientAgent::deleteMessages(const OptString& messageIds) {
    auto w = makeWrapper();
    if (!w->deleteMessages(appId_, userId_, messageIds)) dropIfIdle(*w);
}

void VelkoraServerClientAgent::markMessagesRead(const OptString& messageIds) {
    auto w = makeWrapper();
    if (!w->markMessagesRead(appId_, userId_, messageIds)) dropIfIdle(*w);
}

void VelkoraServerClientAgent::getChats(VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kGetChats, std::move(caller),
                [](VelkoraClientPendingRequest&) {},
                [&](VelkoraProtocolWrapper& w) { return w.getChats(appId_, userId_); });
}

void VelkoraServerClientAgent::getChat(const VelkoraUserPtr& user, VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kGetChat, std::move(caller),
                [&](VelkoraClientPendingRequest& r) { r.user = user; },
                [&](VelkoraProtocolWrapper& w) { return w.getChat(appId_, userId_, user); });
}

void VelkoraServerClientAgent::getChat(const VelkoraUserPtr& user, int32_t offset, VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kGetChatWithOffset, std::move(caller),
                [&](VelkoraClientPendingRequest& r) {
                    r.user = user;
                    r.messagesOffset = offset;
                },
                [&](VelkoraProtocolWrapper& w) { return w.getChat(appId_, userId_, user, offset); });
}

// ---- the agent's reply callbacks ----

void VelkoraServerClientAgent::messageSent(VelkoraProtocolWrapper& w) { performUserSelector(w, Value()); }

void VelkoraServerClientAgent::imageMessageUploaded(VelkoraProtocolWrapper& w, const std::optional<std::string>& url) {
    performUserSelector(w, url ? Value(*url) : Value());
}

void VelkoraServerClientAgent::gotChats(VelkoraProtocolWrapper& w, const std::vector<VelkoraChatPtr>& chats) {
    performUserSelector(w, objectsValue(chats));
}

void VelkoraServerClientAgent::gotChat(VelkoraProtocolWrapper& w, const VelkoraChatPtr& chat) {
    performUserSelector(w, Value::object(chat));
}

void VelkoraServerClientAgent::gotChatMessages(VelkoraProtocolWrapper& w, const std::vector<VelkoraMessagePtr>& messages) {
    performUserSelector(w, objectsValue(messages));
}

// ---- the facade ----

void VelkoraServerApi::sendMessage(const OptString& message, const OptString& toAppId, const OptString& toUserId,
                                   const OptString& contentType, VelkoraCallback caller) {
    sendMessage(message, toAppId, toUserId, 0, 0, contentType, std::move(caller));
}

void VelkoraServerApi::sendMessage(const OptString& message, const OptString& toAppId, const OptString& toUserId,
                                   int32_t messageType, int32_t rating, const OptString& contentType,
                                   VelkoraCallback caller) {
    VelkoraServerClientAgent::instance().sendMessage(message, toAppId, toUserId, messageType, rating, contentType,
                                                     std::move(caller));
}

void VelkoraServerApi::uploadImageMessage(VelkoraCallback caller, std::shared_ptr<ui::Image> image,
                                          std::shared_ptr<ui::Image> smallImage, const OptString& toAppId,
                                          const OptString& toUserId) {
    VelkoraServerClientAgent::instance().uploadImageMessage(std::move(caller), std::move(image), std::move(smallImage),
                                                            toAppId, toUserId);
}

void VelkoraServerApi::getChats(VelkoraCallback caller) { VelkoraServerClientAgent::instance().getChats(std::move(caller)); }

void VelkoraServerApi::getChat(const VelkoraUserPtr& user, VelkoraCallback caller) {
    VelkoraServerClientAgent::instance().getChat(user, std::move(caller));
}

void VelkoraServerApi::getChat(const VelkoraUserPtr& user, int32_t offset, VelkoraCallback caller) {
    VelkoraServerClientAgent::instance().getChat(user, offset, std::move(caller));
}

void VelkoraServerApi::deleteMessages(const OptString& messageIds) {
    VelkoraServerClientAgent::instance().deleteMessages(messageIds);
}

void VelkoraServerApi::markMessagesRead(const OptString& messageIds) {
    VelkoraServerClientAgent::instance().markMessagesRead(messageIds);
}

}  // namespace velkora
