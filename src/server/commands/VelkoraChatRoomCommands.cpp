// Chat rooms: topics, comments, their likes and pictures.
#include "platform/foundation/Log.h"
#include "platform/ui/Image.h"
#include "server/VelkoraServerApi.h"
#include "server/commands/VelkoraCommandGroups.h"
#include "server/commands/VelkoraRequestParts.h"
#include "server/utils/RequestText.h"
#include "server/utils/VelkoraBase64.h"

namespace velkora {

using foundation::Array;
using foundation::Dictionary;
using foundation::Log;
using foundation::Value;
using namespace request;
using commands::objectsValue;

namespace {

// ---- reply readers ----

void readGetTopics(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    int32_t changeNumber = reply["changeNumber"].int32Or(0);
    std::vector<VelkoraChatRoomsTopicPtr> topics;
    if (const Array* list = reply["topics"].asArray())
        for (const Value& e : *list)
            if (auto t = parseTopic(e)) topics.push_back(std::move(t));
    d.gotChatRoomsTopics(w, topics, changeNumber);
}

void readGetTopic(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    std::optional<Value> ads;
    if (const Value* a = reply.get("ads")) ads = *a;
    d.gotChatRoomsTopic(w, parseTopic(reply["topic"]), ads);
}

void readGetTopicEarliest(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    auto topic = parseTopic(reply["topic"]);
    if (!topic) {
        d.gotChatRoomsTopicComments(w, std::nullopt);
        return;
    }
    d.gotChatRoomsTopicComments(w, topic->getLatestTopicEvents());
}

void readAddImageComment(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    d.topicImageUploaded(w, reply["url"].toText());
}

void readGetChatroomData(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    d.gotChatRoomData(w, reply["topicId"].int32Or(0), reply["nComments"].int32Or(0));
}

void readAddComment(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value&) {
    d.topicCommentPosted(w);
}
void readDeleteComment(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value&) {
    d.topicCommentDeleted(w);
}
void readLike(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value&) { d.gotLikeAck(w); }
void readUnlike(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value&) { d.gotUnlikeAck(w); }

const commands::Branch kBranches[] = {
    {VelkoraCommand::GetChatRoomsTopics, readGetTopics},
    {VelkoraCommand::GetChatRoomsTopic, readGetTopic},
    {VelkoraCommand::GetChatRoomsTopicEarliest, readGetTopicEarliest},
    {VelkoraCommand::PostTopicComment, readAddComment},
    {VelkoraCommand::UploadTopicImage, readAddImageComment},
    {VelkoraCommand::GetChatRoomData, readGetChatroomData},
    {VelkoraCommand::DeleteTopicComment, readDeleteComment},
    {VelkoraCommand::LikeTopicComment, readLike},
    {VelkoraCommand::UnlikeTopicComment, readUnlike},
    {VelkoraCommand::LikeTopic, readLike},
    {VelkoraCommand::UnlikeTopic, readUnlike},
};

// ---- replays of the queued commands ----

void replayGetTopics(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
    a.getChatRoomsTopics(r.delegate);
}
void replayGetTopic(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
    a.getChatRoomsTopic(r.delegate, r.topicId, r.isClean);
}
void replayGetTopicEarliest(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
    a.getChatRoomsTopicEarliest(r.delegate, r.topicId, r.commentRef);
}
void replayPostComment(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
    a.postTopicComment(r.topicId, r.commentRef, r.commentText, r.contentType, r.delegate);
}
void replayUploadImage(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
    a.uploadTopicImage(r.topicId, r.image, r.smallImage, r.delegate);
}
void replayGetChatRoomData(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
    a.getChatRoomData(r.objectId, r.objectType, r.objectTitle, r.objectData, r.delegate);
}
void replayLikeComment(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
    a.likeTopicComment(r.topicId, r.commentRef, r.delegate);
}
void replayUnlikeComment(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
    a.unlikeTopicComment(r.topicId, r.commentRef, r.delegate);
}
void replayLikeTopic(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
    a.likeTopic(r.topicId, r.delegate);
}
void replayUnlikeTopic(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
    a.unlikeTopic(r.topicId, r.delegate);
}

VelkoraServerClientAgent& agent() { return VelkoraServerClientAgent::instance(); }

}  // namespace

std::span<const commands::Branch> commands::chatRoomBranches() { return kBranches; }

void commands::addChatRoomReplays(Replays& table) {
    table[VelkoraPendingType::kGetChatRoomsTopics] = replayGetTopics;
    table[VelkoraPendingType::kGetChatRoomsTopic] = replayGetTopic;
    table[VelkoraPendingType::kGetChatRoomsTopicEarliest] = replayGetTopicEarliest;
    table[VelkoraPendingType::kPostTopicComment] = replayPostComment;
    table[VelkoraPendingType::kUploadTopicImage] = replayUploadImage;
    table[VelkoraPendingType::kGetChatRoomData] = replayGetChatRoomData;
    table[VelkoraPendingType::kLikeTopicComment] = replayLikeComment;
    table[VelkoraPendingType::kUnlikeTopicComment] = replayUnlikeComment;
    table[VelkoraPendingType::kLikeTopic] = replayLikeTopic;
    table[VelkoraPendingType::kUnlikeTopic] = replayUnlikeTopic;
}

// ---- requests ----

bool VelkoraProtocolWrapper::getChatRoomsTopics(const OptString& appId, const OptString& userId) {
    if (idsMissing(appId, userId)) {
        Log::line("Velkora - getChatRoomsTopics: AppId or UserId not set");
        return false;
    }
    // Always the whole list: the poll brings what changes after it.
    send(VelkoraCommand::GetChatRoomsTopics, head("getTopics") + ids(appId, userId) + "&changeNumber=" + num(0));
    return true;
}

bool VelkoraProtocolWrapper::getChatRoomsTopic(const OptString& appId, const OptString& userId, int32_t topicId,
                                               bool clean) {
    if (idsMissing(appId, userId)) {
        Log::line("Velkora - getChatRoomsTopic: AppId or UserId not set");
        return false;
    }
    send(VelkoraCommand::GetChatRoomsTopic, head("getTopic") + ids(appId, userId) + "&topicId=" + num(topicId) +
                                                "&clean=" + flag(clean) +
                                                "&protocolVersion=" + num(kVelkoraProtocolVersion));
    return true;
}

bool VelkoraProtocolWrapper::getChatRoomsTopicEarliest(const OptString& appId, const OptString& userId,
                                                       int32_t topicId, int32_t earliestCommentId) {
    if (idsMissing(appId, userId)) {
        Log::line("Velkora - getChatRoomsTopic: AppId or UserId not set");
        return false;
    }
    send(VelkoraCommand::GetChatRoomsTopicEarliest,
         head("getTopic") + ids(appId, userId) + "&topicId=" + num(topicId) + "&offset=" + num(earliestCommentId) +
             "&protocolVersion=" + num(kVelkoraProtocolVersion));
    return true;
}

bool VelkoraProtocolWrapper::postTopicComment(const OptString& appId, const OptString& userId, int32_t topicId,
                                              int32_t /*commentRef*/, const OptString& commentText,
                                              const OptString& contentType) {
    if (idsMissing(appId, userId)) {
        Log::line("Velkora - postTopicComment: AppId or UserId not set");
        return false;
    }
    fetcherFor(VelkoraCommand::PostTopicComment)->setRetryMode(1);
    send(VelkoraCommand::PostTopicComment, head("addComment") + ids(appId, userId) + "&topicId=" + num(topicId) +
                                               "&text=" + escaped(commentText) +
                                               "&contentType=" + str(contentType));
    return true;
}

bool VelkoraProtocolWrapper::uploadTopicImage(const OptString& appId, const OptString& userId, int32_t topicId,
                                              const std::shared_ptr<ui::Image>& image,
                                              const std::shared_ptr<ui::Image>& smallImage) {
    std::optional<std::string> picture, thumbnail;
    if (image) picture = base64EncodedStringWithWrapWidth(image->jpegData(1.0), 0);
    if (smallImage) thumbnail = base64EncodedStringWithWrapWidth(smallImage->jpegData(1.0), 0);
    // A picture that cannot be encoded counts as missing: an empty "image" would be stored as a comment.
    if (idsMissing(appId, userId) || !picture || !thumbnail) {
        Log::line("Velkora - uploadTopicImage: AppId, UserId, Image or Small Image not set");
        return false;
    }
    std::string body = "command=addImageComment&clientType=" + num(kVelkoraClientType) + "&build=" + kVelkoraBuild +
                       ids(appId, userId) + "&topicId=" + num(topicId) + "&image=" + *picture +
                       "&smallImage=" + *thumbnail + pictureFormTag();
    command_ = VelkoraCommand::UploadTopicImage;
    fetcherFor(VelkoraCommand::UploadTopicImage)->getUrlWithPostData(endpoint(), body);
    return true;
}

bool VelkoraProtocolWrapper::getChatRoomData(const OptString& appId, const OptString& userId,
                                             const OptString& objectId, const OptString& objectType,
                                             const OptString& title, const OptString& data) {
    if (idsMissing(appId, userId)) {
        Log::line("Velkora - getChatRoomData: AppId or UserId not set");
        return false;
    }
    // The client type and the build come last in this one.
    send(VelkoraCommand::GetChatRoomData,
         bareHead("getChatroomData") + ids(appId, userId) + "&object=" + escaped(objectId) +
             "&objectType=" + str(objectType) + "&title=" + escaped(title) +
             "&text=" + escaped(data) + "&clientType=" + num(kVelkoraClientType) +
             "&build=" + kVelkoraBuild);
    return true;
}

bool VelkoraProtocolWrapper::deleteTopicComment(const OptString& appId, const OptString& userId, int32_t topicId,
                                                int32_t commentRef) {
    if (idsMissing(appId, userId)) {
        Log::line("Velkora - deleteTopicComment: AppId or UserId not set");
        return false;
    }
    send(VelkoraCommand::DeleteTopicComment, head("deleteComment") + ids(appId, userId) + "&topicId=" +
                                                 num(topicId) + "&commentId=" + num(commentRef));
    return true;
}

bool VelkoraProtocolWrapper::likeTopicComment(const OptString& appId, const OptString& userId, int32_t topicId,
                                              int32_t commentRef) {
    if (idsMissing(appId, userId)) {
        Log::line("Velkora - likeTopicComment: AppId or UserId not set");
        return false;
    }
    fetcherFor(VelkoraCommand::LikeTopicComment)->setRetryMode(1);
    send(VelkoraCommand::LikeTopicComment, head("like") + ids(appId, userId) + "&topicId=" + num(topicId) +
                                               "&commentId=" + num(commentRef) + "&objectType=COMMENT");
    return true;
}

bool VelkoraProtocolWrapper::unlikeTopicComment(const OptString& appId, const OptString& userId, int32_t topicId,
                                                int32_t commentRef) {
    if (idsMissing(appId, userId)) {
        Log::line("Velkora - unlikeTopicComment: AppId or UserId not set");
        return false;
    }
    send(VelkoraCommand::UnlikeTopicComment,
         head("unlike") + ids(appId, userId) + "&topicId=" + num(topicId) + "&commentId=" + num(commentRef));
    return true;
}

bool VelkoraProtocolWrapper::likeTopic(const OptString& appId, const OptString& userId, int32_t topicId) {
    if (idsMissing(appId, userId)) {
        Log::line("Velkora - likeTopic: AppId or UserId not set");
        return false;
    }
    fetcherFor(VelkoraCommand::LikeTopic)->setRetryMode(1);
    send(VelkoraCommand::LikeTopic, head("like") + ids(appId, userId) + "&topicId=" + num(topicId) + "&objectType=TOPIC");
    return true;
}

bool VelkoraProtocolWrapper::unlikeTopic(const OptString& appId, const OptString& userId, int32_t topicId) {
    if (idsMissing(appId, userId)) {
        Log::line("Velkora - unlikeTopic: AppId or UserId not set");
        return false;
    }
    send(VelkoraCommand::UnlikeTopic, head("unlike") + ids(appId, userId) + "&topicId=" + num(topicId));
    return true;
}

// ---- agent operations: queued until the session is initialised ----

void VelkoraServerClientAgent::getChatRoomsTopics(VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kGetChatRoomsTopics, std::move(caller),
                [](VelkoraClientPendingRequest&) {},
                [&](VelkoraProtocolWrapper& w) { return w.getChatRoomsTopics(appId_, userId_); });
}

void VelkoraServerClientAgent::getChatRoomsTopic(VelkoraCallback caller, int32_t topicId, bool clean) {
    sendOrQueue(VelkoraPendingType::kGetChatRoomsTopic, std::move(caller),
                [&](VelkoraClientPendingRequest& r) {
                    r.topicId = topicId;
                    r.isClean = clean;
                },
                [&](VelkoraProtocolWrapper& w) { return w.getChatRoomsTopic(appId_, userId_, topicId, clean); });
}

void VelkoraServerClientAgent::getChatRoomsTopicEarliest(VelkoraCallback caller, int32_t topicId,
                                                         int32_t earliestCommentId) {
    sendOrQueue(VelkoraPendingType::kGetChatRoomsTopicEarliest, std::move(caller),
                [&](VelkoraClientPendingRequest& r) {
                    r.topicId = topicId;
                    r.commentRef = earliestCommentId;
                },
                [&](VelkoraProtocolWrapper& w) {
                    return w.getChatRoomsTopicEarliest(appId_, userId_, topicId, earliestCommentId);
                });
}

void VelkoraServerClientAgent::postTopicComment(int32_t topicId, int32_t commentRef, const OptString& commentText,
                                                const OptString& contentType, VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kPostTopicComment, std::move(caller),
                [&](VelkoraClientPendingRequest& r) {
                    r.topicId = topicId;
                    r.commentRef = commentRef;
                    r.commentText = commentText;
                    r.contentType = contentType;
                },
                [&](VelkoraProtocolWrapper& w) {
                    return w.postTopicComment(appId_, userId_, topicId, commentRef, commentText, contentType);
                });
}

void VelkoraServerClientAgent::uploadTopicImage(int32_t topicId, const std::shared_ptr<ui::Image>& image,
                                                const std::shared_ptr<ui::Image>& smallImage,
                                                VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kUploadTopicImage, std::move(caller),
                [&](VelkoraClientPendingRequest& r) {
                    r.topicId = topicId;
                    r.image = image;
                    r.smallImage = smallImage;
                },
                [&](VelkoraProtocolWrapper& w) {
                    return w.uploadTopicImage(appId_, userId_, topicId, image, smallImage);
                });
}

void VelkoraServerClientAgent::getChatRoomData(const OptString& objectId, const OptString& objectType,
                                               const OptString& title, const OptString& data,
                                               VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kGetChatRoomData, std::move(caller),
                [&](VelkoraClientPendingRequest& r) {
                    r.objectId = objectId;
                    r.objectType = objectType;
                    r.objectTitle = title;
                    r.objectData = data;
                },
                [&](VelkoraProtocolWrapper& w) {
                    return w.getChatRoomData(appId_, userId_, objectId, objectType, title, data);
                });
}

void VelkoraServerClientAgent::deleteTopicComment(int32_t topicId, int32_t commentRef, VelkoraCallback caller) {
    auto w = makeWrapper(std::move(caller));
    if (!w->deleteTopicComment(appId_, userId_, topicId, commentRef)) dropIfIdle(*w);
}

void VelkoraServerClientAgent::likeTopicComment(int32_t topicId, int32_t commentRef, VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kLikeTopicComment, std::move(caller),
                [&](VelkoraClientPendingRequest& r) {
                    r.topicId = topicId;
                    r.commentRef = commentRef;
                },
                [&](VelkoraProtocolWrapper& w) { return w.likeTopicComment(appId_, userId_, topicId, commentRef); });
}

void VelkoraServerClientAgent::unlikeTopicComment(int32_t topicId, int32_t commentRef, VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kUnlikeTopicComment, std::move(caller),
                [&](VelkoraClientPendingRequest& r) {
                    r.topicId = topicId;
                    r.commentRef = commentRef;
                },
                [&](VelkoraProtocolWrapper& w) { return w.unlikeTopicComment(appId_, userId_, topicId, commentRef); });
}

void VelkoraServerClientAgent::likeTopic(int32_t topicId, VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kLikeTopic, std::move(caller),
                [&](VelkoraClientPendingRequest& r) { r.topicId = topicId; },
                [&](VelkoraProtocolWrapper& w) { return w.likeTopic(appId_, userId_, topicId); });
}

void VelkoraServerClientAgent::unlikeTopic(int32_t topicId, VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kUnlikeTopic, std::move(caller),
                [&](VelkoraClientPendingRequest& r) { r.topicId = topicId; },
                [&](VelkoraProtocolWrapper& w) { return w.unlikeTopic(appId_, userId_, topicId); });
}

// ---- agent callbacks ----

void VelkoraServerClientAgent::gotChatRoomsTopics(VelkoraProtocolWrapper& w,
                                                  const std::vector<VelkoraChatRoomsTopicPtr>& topics,
                                                  int32_t changeNumber) {
    // The poll's topic list goes on from the list just read.
    lastTopicsChangeNumber_ = changeNumber;
    performUserSelector(w, Dictionary{{"topics", objectsValue(topics)}, {"changeNumber", Value(changeNumber)}});
}

void VelkoraServerClientAgent::gotChatRoomsTopic(VelkoraProtocolWrapper& w, const VelkoraChatRoomsTopicPtr& topic,
                                                 const std::optional<Value>& ads) {
    if (topic) topicChangeNumber_ = topic->changeNumber();
    // Every value present goes to the caller: a reply without a topic still hands on its ads.
    Dictionary answer;
    if (topic) answer.set("topic", Value::object(topic));
    if (ads) answer.set("ads", *ads);
    performUserSelector(w, Value(std::move(answer)));
}

void VelkoraServerClientAgent::gotChatRoomsTopicComments(VelkoraProtocolWrapper& w,
                                                         const std::optional<VelkoraChatRoomsTopic::Comments>& comments) {
    performUserSelector(w, comments ? objectsValue(*comments) : Value());
}

void VelkoraServerClientAgent::topicCommentPosted(VelkoraProtocolWrapper& w) { performUserSelector(w, Value()); }

void VelkoraServerClientAgent::topicImageUploaded(VelkoraProtocolWrapper& w, const std::optional<std::string>& url) {
    performUserSelector(w, url ? Value(*url) : Value());
}

void VelkoraServerClientAgent::gotChatRoomData(VelkoraProtocolWrapper& w, int32_t topicId, int32_t commentsNumber) {
    performUserSelector(w, Dictionary{{"topicId", Value(topicId)}, {"nComments", Value(commentsNumber)}});
}

void VelkoraServerClientAgent::topicCommentDeleted(VelkoraProtocolWrapper& w) { performUserSelector(w, Value()); }

// ---- facade ----

void VelkoraServerApi::getChatRoomsTopics(VelkoraCallback caller) { agent().getChatRoomsTopics(std::move(caller)); }
void VelkoraServerApi::getChatRoomsTopic(VelkoraCallback caller, int32_t topicId, bool clean) {
    agent().getChatRoomsTopic(std::move(caller), topicId, clean);
}
void VelkoraServerApi::getChatRoomsTopicEarliest(VelkoraCallback caller, int32_t topicId, int32_t earliestCommentId) {
    agent().getChatRoomsTopicEarliest(std::move(caller), topicId, earliestCommentId);
}
void VelkoraServerApi::postTopicComment(int32_t topicId, int32_t commentRef, const OptString& commentText,
                                        const OptString& contentType, VelkoraCallback caller) {
    agent().postTopicComment(topicId, commentRef, commentText, contentType, std::move(caller));
}
void VelkoraServerApi::uploadTopicImage(int32_t topicId, const std::shared_ptr<ui::Image>& image,
                                        const std::shared_ptr<ui::Image>& smallImage, VelkoraCallback caller) {
    agent().uploadTopicImage(topicId, image, smallImage, std::move(caller));
}
void VelkoraServerApi::getChatRoomData(const OptString& objectId, const OptString& objectType, const OptString& title,
                                       const OptString& data, VelkoraCallback caller) {
    agent().getChatRoomData(objectId, objectType, title, data, std::move(caller));
}
void VelkoraServerApi::deleteTopicComment(int32_t topicId, int32_t commentRef, VelkoraCallback caller) {
    agent().deleteTopicComment(topicId, commentRef, std::move(caller));
}
void VelkoraServerApi::likeTopicComment(int32_t topicId, int32_t commentRef, VelkoraCallback caller) {
    agent().likeTopicComment(topicId, commentRef, std::move(caller));
}
void VelkoraServerApi::unlikeTopicComment(int32_t topicId, int32_t commentRef, VelkoraCallback caller) {
    agent().unlikeTopicComment(topicId, commentRef, std::move(caller));
}
void VelkoraServerApi::likeTopic(int32_t topicId, VelkoraCallback caller) {
    agent().likeTopic(topicId, std::move(caller));
}
void VelkoraServerApi::unlikeTopic(int32_t topicId, VelkoraCallback caller) {
    agent().unlikeTopic(topicId, std::move(caller));
}

}  // namespace velkora
