// The activity feed and likes: posting, re-posting and deleting items, reading feeds, and liking.
#include "platform/foundation/Log.h"
#include "server/VelkoraServerApi.h"
#include "server/commands/VelkoraCommandGroups.h"
#include "server/commands/VelkoraRequestParts.h"
#include "server/utils/RequestText.h"
#include "data/VelkoraSessionRecords.h"
#include "data/VelkoraAppData.h"
#include "data/VelkoraAppSettings.h"
#include "data/VelkoraUserInfo.h"

namespace velkora {

using foundation::Array;
using foundation::Log;
using foundation::Value;
using namespace request;
using commands::objectsValue;

namespace {

VelkoraLikeParseContext likeContext() { return VelkoraProtocolWrapper::likeParseContext(); }

// ---- reply readers ----

void readFeedSent(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value&) { d.feedSent(w); }
void readFeedResent(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value&) { d.feedResent(w); }
void readFeedDeleted(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value&) { d.feedDeleted(w); }
void readResendDeleted(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value&) {
    d.feedResendDeleted(w);
}
void readCommentFeedSent(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value&) {
    d.commentFeedSent(w);
}
void readLikeAck(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value&) { d.gotLikeAck(w); }
void readUnlikeAck(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value&) { d.gotUnlikeAck(w); }

void readGetFeed(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    auto messages = parseFeedMessages(reply["messages"]);
    d.gotFeed(w, messages, parseLikes(reply["likes"], likeContext()));
}

void readGetOtherFeed(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    auto messages = parseFeedMessages(reply["messages"]);
    d.gotOtherFeed(w, messages, parseLikes(reply["likes"], likeContext()));
}

void readGetOneFeed(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    d.gotOneFeed(w, parseOneFeedMessage(reply["feed"]));
}

void readGetResenders(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    d.gotResenders(w, parseUsers(reply["users"]));
}

void readGetLikes(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    // A fresh object for the caller: the cache is left alone.
    d.gotLikes(w, parseLikeObject(reply, false, likeContext()));
}

const commands::Branch kBranches[] = {
    {VelkoraCommand::SendFeed, readFeedSent},
    {VelkoraCommand::ResendFeed, readFeedResent},
    {VelkoraCommand::DeleteFeed, readFeedDeleted},
    {VelkoraCommand::DeleteResend, readResendDeleted},
    {VelkoraCommand::SendCommentFeed, readCommentFeedSent},
    {VelkoraCommand::GetFeed, readGetFeed},
    {VelkoraCommand::GetOneFeed, readGetOneFeed},
    {VelkoraCommand::GetOtherFeed, readGetOtherFeed},
    {VelkoraCommand::GetResenders, readGetResenders},
    {VelkoraCommand::GetLikes, readGetLikes},
    {VelkoraCommand::Like, readLikeAck},
    {VelkoraCommand::Unlike, readUnlikeAck},
};

// ---- replays of the queued commands ----

void replaySendFeed(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
    a.sendFeed(r.feedMessage, r.delegate);
}
void replayResendFeed(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
    a.resendFeed(r.feedId, r.delegate);
}
void replayDeleteFeed(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
    a.deleteFeed(r.feedId, r.delegate);
}
void replayDeleteResend(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
    a.deleteFeedResend(r.feedId, r.delegate);
}
void replaySendCommentFeed(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
    a.sendCommentFeed(r.topicId, r.delegate);
}
void replaySendJoinedFeed(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
    a.sendJoinedFeed(r.delegate);
}
void replayGetFeed(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) { a.getFeed(r.delegate); }
void replayGetOneFeed(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
    a.getOneFeed(r.delegate, r.feedId);
}
void replayGetOtherFeed(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
    a.getOtherFeed(r.user, r.delegate);
}
void replayGetResenders(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
    a.getResenders(r.delegate, r.feedId);
}
void replayGetLikes(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
    a.getLikes(r.message, r.delegate);
}
void replayLike(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) { a.like(r.likeObject, r.delegate); }
void replayLikeFeed(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
    a.likeFeed(r.likeObject, r.delegate);
}
void replayUnlike(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
    a.unlike(r.likeObject, r.delegate);
}
void replayUnlikeFeed(VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
    a.unlikeFeed(r.likeObject, r.delegate);
}

VelkoraServerClientAgent& agent() { return VelkoraServerClientAgent::instance(); }

}  // namespace

std::span<const commands::Branch> commands::feedBranches() { return kBranches; }

void commands::addFeedReplays(Replays& table) {
    table[VelkoraPendingType::kSendFeed] = replaySendFeed;
    table[VelkoraPendingType::kResendFeed] = replayResendFeed;
    table[VelkoraPendingType::kDeleteFeed] = replayDeleteFeed;
    table[VelkoraPendingType::kDeleteFeedResend] = replayDeleteResend;
    table[VelkoraPendingType::kSendCommentFeed] = replaySendCommentFeed;
    table[VelkoraPendingType::kSendJoinedFeed] = replaySendJoinedFeed;
    table[VelkoraPendingType::kGetFeed] = replayGetFeed;
    table[VelkoraPendingType::kGetOneFeed] = replayGetOneFeed;
    table[VelkoraPendingType::kGetOtherFeed] = replayGetOtherFeed;
    table[VelkoraPendingType::kGetResenders] = replayGetResenders;
    table[VelkoraPendingType::kGetLikes] = replayGetLikes;
    table[VelkoraPendingType::kLike] = replayLike;
    table[VelkoraPendingType::kLikeFeed] = replayLikeFeed;
    table[VelkoraPendingType::kUnlike] = replayUnlike;
    table[VelkoraPendingType::kUnlikeFeed] = replayUnlikeFeed;
}

// ---- requests ----

bool VelkoraProtocolWrapper::sendFeed(const OptString& appId, const OptString& userId,
                                      const VelkoraFeedMessagePtr& feed) {
    if (idsMissing(appId, userId)) {
        Log::line("Velkora - sendFeed: AppId or UserId not set");
        return false;
    }
    if (!feed) return false;  // nothing to post
    send(VelkoraCommand::SendFeed,
         head("sendFeed2") + ids(appId, userId) + "&message=" + escaped(feed->message()) +
             "&&replyTo=" + num(feed->replyTo()) + "&contentType=" + str(feed->contentType()) +
             "&descImageUrl=" + escaped(feed->descImageUrl()) + "&descText=" + escaped(feed->descText()) +
             "&descSubText=" + escaped(feed->descSubText()) + "&actionVerb=" + escaped(feed->actionVerb()) +
             "&actionId=" + escaped(feed->actionId()));
    return true;
}

bool VelkoraProtocolWrapper::sendJoinedFeed(const OptString& appId, const OptString& userId) {
    if (idsMissing(appId, userId)) {
        Log::line("Velkora - sendFeed: AppId or UserId not set");
        return false;
    }
    send(VelkoraCommand::SendFeed, head("sendJoinedFeed") + ids(appId, userId));
    return true;
}

namespace {
// The commands whose one parameter after the ids is a feed item's number.
std::string feedIdText(const char* command, const std::optional<std::string>& appId,
                       const std::optional<std::string>& userId, int32_t feedId) {
    return head(command) + ids(appId, userId) + "&feedId=" + num(feedId);
}
}  // namespace

bool VelkoraProtocolWrapper::resendFeed(const OptString& appId, const OptString& userId, int32_t feedId) {
    if (idsMissing(appId, userId)) {
        Log::line("Velkora - resendFeed: AppId or UserId not set");
        return false;
    }
    send(VelkoraCommand::ResendFeed, feedIdText("resendFeed2", appId, userId, feedId));
    return true;
}

bool VelkoraProtocolWrapper::deleteFeed(const OptString& appId, const OptString& userId, int32_t feedId) {
    if (idsMissing(appId, userId)) {
        Log::line("Velkora - deleteFeed: AppId or UserId not set");
        return false;
    }
    send(VelkoraCommand::DeleteFeed, feedIdText("deleteFeed2", appId, userId, feedId));
    return true;
}

bool VelkoraProtocolWrapper::deleteResend(const OptString& appId, const OptString& userId, int32_t feedId) {
    if (idsMissing(appId, userId)) {
        Log::line("Velkora - deleteResend: AppId or UserId not set");
        return false;
    }
    send(VelkoraCommand::DeleteResend, feedIdText("deleteResend2", appId, userId, feedId));
    return true;
}

bool VelkoraProtocolWrapper::getResenders(const OptString& appId, const OptString& userId, int32_t feedId) {
    if (idsMissing(appId, userId)) {
        Log::line("Velkora - getResenders: AppId or UserId not set");
        return false;
    }
    send(VelkoraCommand::GetResenders, feedIdText("getResenders2", appId, userId, feedId));
    return true;
}

bool VelkoraProtocolWrapper::getOneFeed(const OptString& appId, const OptString& userId, int32_t feedId) {
    if (idsMissing(appId, userId)) {
        Log::line("Velkora - getOneFeed: AppId or UserId not set");
        return false;
    }
    fetcherFor(VelkoraCommand::GetOneFeed)->setRetryMode(1);
    send(VelkoraCommand::GetOneFeed, feedIdText("getOneFeed2", appId, userId, feedId));
    return true;
}

bool VelkoraProtocolWrapper::sendCommentFeed(const OptString& appId, const OptString& userId, int32_t topicId) {
    if (idsMissing(appId, userId)) {
        Log::line("Velkora - sendCommentFeed: AppId or UserId not set");
        return false;
    }
    send(VelkoraCommand::SendCommentFeed, head("sendCommentFeed") + ids(appId, userId) + "&topicId=" + num(topicId));
    return true;
}

bool VelkoraProtocolWrapper::getFeed(const OptString& appId, const OptString& userId) {
    if (idsMissing(appId, userId)) {
        Log::line("Velkora - getFeed: AppId or UserId not set");
        return false;
    }
    fetcherFor(VelkoraCommand::GetFeed)->setRetryMode(1);
    send(VelkoraCommand::GetFeed, head("getFeed2") + ids(appId, userId) +
                                      "&test=" + flag(VelkoraAppSettings::displayTestUsers()) +
                                      "&wantLikes=1&protocolVersion=" + num(kVelkoraProtocolVersion));
    return true;
}

bool VelkoraProtocolWrapper::getOtherFeed(const OptString& appId, const OptString& userId,
                                          const OptString& otherAppId, const OptString& otherUserId) {
    if (idsMissing(appId, userId)) {
        Log::line("Velkora - getOtherFeed: AppId or UserId not set");
        return false;
    }
    fetcherFor(VelkoraCommand::GetOtherFeed)->setRetryMode(1);
    send(VelkoraCommand::GetOtherFeed, head("getOtherFeed2") + ids(appId, userId) + "&otherAppId=" +
                                           str(otherAppId) + "&otherUserId=" + str(otherUserId) +
                                           "&wantLikes=1&protocolVersion=" + num(kVelkoraProtocolVersion));
    return true;
}

bool VelkoraProtocolWrapper::getLikes(const OptString& appId, const OptString& userId, const OptString& objectId) {
    if (idsMissing(appId, userId)) {
        Log::line("Velkora - getLikes: AppId or UserId not set");
        return false;
    }
    send(VelkoraCommand::GetLikes, head("getLikes") + ids(appId, userId) + "&object=" + escaped(objectId));
    return true;
}

bool VelkoraProtocolWrapper::like(const OptString& appId, const OptString& userId,
                                  const VelkoraLikeObjectPtr& likeObject) {
    if (idsMissing(appId, userId)) {
        Log::line("Velkora - like: AppId or UserId not set");
        return false;
    }
    if (!likeObject) return false;  // nothing to like
    send(VelkoraCommand::Like, head("like") + ids(appId, userId) + "&object=" +
                                   escaped(likeObject->data()) +
                                   "&objectType=" + str(likeObject->getObjectTypeStr()) +
                                   "&objectDesc=" + escaped(likeObject->description()));
    return true;
}

bool VelkoraProtocolWrapper::likeFeed(const OptString& appId, const OptString& userId,
                                      const VelkoraLikeObjectPtr& likeObject) {
    if (idsMissing(appId, userId)) {
        Log::line("Velkora - likeFeed: AppId or UserId not set");
        return false;
    }
    // Without its feed item the object names no post.
    if (!likeObject || !likeObject->feedMessage()) return false;
    std::string original = num(likeObject->feedMessage()->originalId());
    send(VelkoraCommand::Like, head("like") + ids(appId, userId) + "&object=" + original +
                                   "&objectType=" + str(likeObject->getObjectTypeStr()) + "&feedId=" + original);
    return true;
}

bool VelkoraProtocolWrapper::unlike(const OptString& appId, const OptString& userId,
                                    const VelkoraLikeObjectPtr& likeObject) {
    if (idsMissing(appId, userId)) {
        Log::line("Velkora - unlike: AppId or UserId not set");
        return false;
    }
    if (!likeObject) return false;
    send(VelkoraCommand::Unlike,
         head("unlike") + ids(appId, userId) + "&object=" + escaped(likeObject->data()));
    return true;
}

bool VelkoraProtocolWrapper::unlikeFeed(const OptString& appId, const OptString& userId,
                                        const VelkoraLikeObjectPtr& likeObject) {
    if (idsMissing(appId, userId)) {
        Log::line("Velkora - unlike: AppId or UserId not set");
        return false;
    }
    if (!likeObject || !likeObject->feedMessage()) return false;
    send(VelkoraCommand::Unlike,
         head("unlike") + ids(appId, userId) + "&object=" + num(likeObject->feedMessage()->originalId()));
    return true;
}

// ---- agent operations: queued until the session is initialised ----

void VelkoraServerClientAgent::sendFeed(const VelkoraFeedMessagePtr& feed, VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kSendFeed, std::move(caller),
                [&](VelkoraClientPendingRequest& r) { r.feedMessage = feed; },
                [&](VelkoraProtocolWrapper& w) { return w.sendFeed(appId_, userId_, feed); });
}

void VelkoraServerClientAgent::resendFeed(int32_t feedId, VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kResendFeed, std::move(caller),
                [&](VelkoraClientPendingRequest& r) { r.feedId = feedId; },
                [&](VelkoraProtocolWrapper& w) { return w.resendFeed(appId_, userId_, feedId); });
}

void VelkoraServerClientAgent::deleteFeed(int32_t feedId, VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kDeleteFeed, std::move(caller),
                [&](VelkoraClientPendingRequest& r) { r.feedId = feedId; },
                [&](VelkoraProtocolWrapper& w) { return w.deleteFeed(appId_, userId_, feedId); });
}

void VelkoraServerClientAgent::deleteFeedResend(int32_t feedId, VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kDeleteFeedResend, std::move(caller),
                [&](VelkoraClientPendingRequest& r) { r.feedId = feedId; },
                [&](VelkoraProtocolWrapper& w) { return w.deleteResend(appId_, userId_, feedId); });
}

void VelkoraServerClientAgent::sendCommentFeed(int32_t topicId, VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kSendCommentFeed, std::move(caller),
                [&](VelkoraClientPendingRequest& r) { r.topicId = topicId; },
                [&](VelkoraProtocolWrapper& w) { return w.sendCommentFeed(appId_, userId_, topicId); });
}

void VelkoraServerClientAgent::sendJoinedFeed(VelkoraCallback caller) {
    auto& session = VelkoraSessionRecords::current();
    auto appData = session.getAppData();
    auto userInfo = session.getUserInfo();
    if (!appData || !appData->autoPostJoined()) return;
    if (userInfo && userInfo->isPrivateMode()) return;
    sendOrQueue(VelkoraPendingType::kSendJoinedFeed, std::move(caller),
                [](VelkoraClientPendingRequest&) {},
                [&](VelkoraProtocolWrapper& w) { return w.sendJoinedFeed(appId_, userId_); });
}

void VelkoraServerClientAgent::getFeed(VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kGetFeed, std::move(caller),
                [](VelkoraClientPendingRequest&) {},
                [&](VelkoraProtocolWrapper& w) { return w.getFeed(appId_, userId_); });
}

void VelkoraServerClientAgent::getOneFeed(VelkoraCallback caller, int32_t feedId) {
    sendOrQueue(VelkoraPendingType::kGetOneFeed, std::move(caller),
                [&](VelkoraClientPendingRequest& r) { r.feedId = feedId; },
                [&](VelkoraProtocolWrapper& w) { return w.getOneFeed(appId_, userId_, feedId); });
}

void VelkoraServerClientAgent::getOtherFeed(const VelkoraUserPtr& user, VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kGetOtherFeed, std::move(caller),
                [&](VelkoraClientPendingRequest& r) { r.user = user; },
                [&](VelkoraProtocolWrapper& w) {
                    return w.getOtherFeed(appId_, userId_, user ? user->appId() : std::nullopt,
                                          user ? user->userId() : std::nullopt);
                });
}

void VelkoraServerClientAgent::getResenders(VelkoraCallback caller, int32_t feedId) {
    sendOrQueue(VelkoraPendingType::kGetResenders, std::move(caller),
                [&](VelkoraClientPendingRequest& r) { r.feedId = feedId; },
                [&](VelkoraProtocolWrapper& w) { return w.getResenders(appId_, userId_, feedId); });
}

void VelkoraServerClientAgent::getLikes(const OptString& objectId, VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kGetLikes, std::move(caller),
                [&](VelkoraClientPendingRequest& r) { r.message = objectId; },
                [&](VelkoraProtocolWrapper& w) { return w.getLikes(appId_, userId_, objectId); });
}

void VelkoraServerClientAgent::like(const VelkoraLikeObjectPtr& likeObject, VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kLike, std::move(caller),
                [&](VelkoraClientPendingRequest& r) { r.likeObject = likeObject; },
                [&](VelkoraProtocolWrapper& w) { return w.like(appId_, userId_, likeObject); });
}

void VelkoraServerClientAgent::likeFeed(const VelkoraLikeObjectPtr& likeObject, VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kLikeFeed, std::move(caller),
                [&](VelkoraClientPendingRequest& r) { r.likeObject = likeObject; },
                [&](VelkoraProtocolWrapper& w) { return w.likeFeed(appId_, userId_, likeObject); });
}

void VelkoraServerClientAgent::unlike(const VelkoraLikeObjectPtr& likeObject, VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kUnlike, std::move(caller),
                [&](VelkoraClientPendingRequest& r) { r.likeObject = likeObject; },
                [&](VelkoraProtocolWrapper& w) { return w.unlike(appId_, userId_, likeObject); });
}

void VelkoraServerClientAgent::unlikeFeed(const VelkoraLikeObjectPtr& likeObject, VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kUnlikeFeed, std::move(caller),
                [&](VelkoraClientPendingRequest& r) { r.likeObject = likeObject; },
                [&](VelkoraProtocolWrapper& w) { return w.unlikeFeed(appId_, userId_, likeObject); });
}

// ---- agent callbacks: none changes the agent's state ----

void VelkoraServerClientAgent::feedSent(VelkoraProtocolWrapper& w) { performUserSelector(w, Value()); }
void VelkoraServerClientAgent::feedResent(VelkoraProtocolWrapper& w) { performUserSelector(w, Value()); }
void VelkoraServerClientAgent::feedDeleted(VelkoraProtocolWrapper& w) { performUserSelector(w, Value()); }
void VelkoraServerClientAgent::feedResendDeleted(VelkoraProtocolWrapper& w) { performUserSelector(w, Value()); }
void VelkoraServerClientAgent::commentFeedSent(VelkoraProtocolWrapper& w) { performUserSelector(w, Value()); }
void VelkoraServerClientAgent::gotLikeAck(VelkoraProtocolWrapper& w) { performUserSelector(w, Value()); }
void VelkoraServerClientAgent::gotUnlikeAck(VelkoraProtocolWrapper& w) { performUserSelector(w, Value()); }

void VelkoraServerClientAgent::gotFeed(VelkoraProtocolWrapper& w, const std::vector<VelkoraFeedMessagePtr>& messages,
                                       const std::vector<VelkoraLikeObjectPtr>& likes) {
    performUserSelector(w, Array{objectsValue(messages), objectsValue(likes)});
}

void VelkoraServerClientAgent::gotOtherFeed(VelkoraProtocolWrapper& w,
                                            const std::vector<VelkoraFeedMessagePtr>& messages,
                                            const std::vector<VelkoraLikeObjectPtr>& likes) {
    performUserSelector(w, Array{objectsValue(messages), objectsValue(likes)});
}

void VelkoraServerClientAgent::gotOneFeed(VelkoraProtocolWrapper& w, const VelkoraFeedMessagePtr& message) {
    performUserSelector(w, Value::object(message));
}

void VelkoraServerClientAgent::gotResenders(VelkoraProtocolWrapper& w, const std::vector<VelkoraUserPtr>& users) {
    performUserSelector(w, objectsValue(users));
}

void VelkoraServerClientAgent::gotLikes(VelkoraProtocolWrapper& w, const VelkoraLikeObjectPtr& likeObject) {
    performUserSelector(w, Value::object(likeObject));
}

// ---- facade ----

void VelkoraServerApi::sendFeed(const VelkoraFeedMessagePtr& feed, VelkoraCallback caller) {
    agent().sendFeed(feed, std::move(caller));
}
void VelkoraServerApi::resendFeed(int32_t feedId, VelkoraCallback caller) { agent().resendFeed(feedId, std::move(caller)); }
void VelkoraServerApi::deleteFeed(int32_t feedId, VelkoraCallback caller) { agent().deleteFeed(feedId, std::move(caller)); }
void VelkoraServerApi::deleteFeedResend(int32_t feedId, VelkoraCallback caller) {
    agent().deleteFeedResend(feedId, std::move(caller));
}
void VelkoraServerApi::sendCommentFeed(int32_t topicId, VelkoraCallback caller) {
    agent().sendCommentFeed(topicId, std::move(caller));
}
void VelkoraServerApi::sendJoinedFeed(VelkoraCallback caller) { agent().sendJoinedFeed(std::move(caller)); }
void VelkoraServerApi::getFeed(VelkoraCallback caller) { agent().getFeed(std::move(caller)); }
void VelkoraServerApi::getOneFeed(VelkoraCallback caller, int32_t feedId) {
    agent().getOneFeed(std::move(caller), feedId);
}
void VelkoraServerApi::getOtherFeed(VelkoraCallback caller, const VelkoraUserPtr& user) {
    agent().getOtherFeed(user, std::move(caller));
}
void VelkoraServerApi::getResenders(int32_t feedId, VelkoraCallback caller) {
    agent().getResenders(std::move(caller), feedId);
}
void VelkoraServerApi::getLikes(const OptString& objectId, VelkoraCallback caller) {
    agent().getLikes(objectId, std::move(caller));
}
void VelkoraServerApi::like(const VelkoraLikeObjectPtr& likeObject, VelkoraCallback caller) {
    agent().like(likeObject, std::move(caller));
}
void VelkoraServerApi::unlike(const VelkoraLikeObjectPtr& likeObject, VelkoraCallback caller) {
    agent().unlike(likeObject, std::move(caller));
}
void VelkoraServerApi::likeFeed(const VelkoraLikeObjectPtr& likeObject, VelkoraCallback caller) {
    agent().likeFeed(likeObject, std::move(caller));
}
void VelkoraServerApi::unlikeFeed(const VelkoraLikeObjectPtr& likeObject, VelkoraCallback caller) {
    agent().unlikeFeed(likeObject, std::move(caller));
}

}  // namespace velkora
