// The user's profile, other users: searches, nearby users, social friends, follows and their lists,
// suggestions, blocking and reporting; and the upload of the kit's settings file.
#include <cmath>

#include "data/VelkoraQuery.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileIO.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "server/VelkoraServerApi.h"
#include "server/commands/VelkoraCommandGroups.h"
#include "server/commands/VelkoraRequestParts.h"
#include "server/utils/RequestText.h"
#include "server/utils/VelkoraKXJsonParser.h"
#include "data/VelkoraSessionRecords.h"
#include "data/VelkoraAppData.h"
#include "data/VelkoraAppSettings.h"
#include "data/VelkoraUserInfo.h"

namespace velkora {

using foundation::Log;
using foundation::Value;
using namespace request;

namespace {

constexpr int32_t kRetryWhenReachable = 1;

// "&key=<escaped value>" when the value is there, else nothing.
std::string textParameter(const char* key, const std::optional<std::string>& value) {
    return value ? std::string("&") + key + "=" + escapeRequestValue(*value) : std::string();
}

std::string profileParameters(const VelkoraUserInternal& u) {
    std::string text = textParameter("firstName", u.firstName()) + textParameter("lastName", u.lastName()) +
                       textParameter("photoUrl", u.userPhotoUrl()) + textParameter("email", u.email()) +
                       textParameter("city", u.city()) + textParameter("state", u.state()) + textParameter("country", u.country()) +
                       textParameter("zipcode", u.zipcode()) + textParameter("customString1", u.customString1()) +
                       textParameter("customString2", u.customString2()) + textParameter("customString3", u.customString3());
    text += "&facebookId=" + num(u.facebookId()) + "&twitterId=" + num(u.twitterId());
    if (u.isCustomFloat1Set()) text += "&customFloat1=" + VelkoraProtocolWrapper::formatDouble(u.customFloat1());
    if (u.isCustomFloat2Set()) text += "&customFloat2=" + VelkoraProtocolWrapper::formatDouble(u.customFloat2());
    if (u.isCustomFloat3Set()) text += "&customFloat3=" + VelkoraProtocolWrapper::formatDouble(u.customFloat3());
    if (u.isAgeSet()) text += "&age=" + num(u.age());
    return text + textParameter("gender", u.gender()) + textParameter("data", u.data());
}

// The search criteria; the query's own application and user never go out.
std::string queryParameters(const VelkoraQuery& q) {
    return textParameter("firstName", q.firstName()) + textParameter("lastName", q.lastName()) + textParameter("email", q.email()) +
           textParameter("city", q.city()) + textParameter("state", q.state()) + textParameter("country", q.country()) +
           textParameter("zipcode", q.zipcode()) + textParameter("customString1", q.customString1()) +
           textParameter("customString2", q.customString2()) + textParameter("customString3", q.customString3()) +
           textParameter("customFloat1", q.customFloat1()) + textParameter("customFloat2", q.customFloat2()) +
           textParameter("customFloat3", q.customFloat3()) + textParameter("age", q.age()) + textParameter("gender", q.gender());
}

std::string coordinates(double longitude, double latitude) {
    return "&longitude=" + VelkoraProtocolWrapper::formatDouble(longitude) +
           "&latitude=" + VelkoraProtocolWrapper::formatDouble(latitude);
}

// The kit's settings file as "key||value||key||value...", in the file's order; empty when there is none.
std::string appSettingsDump() {
    std::string path = foundation::Bundle::main().pathForResource("VelkoraAppSettings", "json");
    if (path.empty()) return {};
    auto bytes = foundation::readFile(path);
    if (!bytes) return {};
    VelkoraKXJsonParser parser;
    auto settings = parser.objectWithString(*bytes);
    const foundation::Dictionary* entries = settings ? settings->asDictionary() : nullptr;
    if (!entries) return {};
    std::string text;
    for (const auto& [key, value] : *entries) {
        if (!text.empty()) text += "||";
        text += key + "||" + value.toText().value_or(value.description());
    }
    return text;
}

// ---- reply readers ----

using Delegate = VelkoraProtocolWrapperDelegate;
using Wrapper = VelkoraProtocolWrapper;

std::vector<VelkoraUserPtr> usersOf(const Value& reply) { return parseUsers(reply["users"]); }

void readQuery(Wrapper& w, Delegate& d, const Value& reply) { d.gotQueryResult(w, usersOf(reply)); }
void readNearbyUsers(Wrapper& w, Delegate& d, const Value& reply) { d.gotNearbyUsers(w, usersOf(reply)); }
void readFavorites(Wrapper& w, Delegate& d, const Value& reply) { d.gotFavorites(w, usersOf(reply)); }
void readOtherFavorites(Wrapper& w, Delegate& d, const Value& reply) { d.gotOtherFavorites(w, usersOf(reply)); }
void readSocialNetworkFriends(Wrapper& w, Delegate& d, const Value& reply) {
    d.gotSocialNetworkFriends(w, usersOf(reply));
}
void readSuggestedUsers(Wrapper& w, Delegate& d, const Value& reply) { d.gotSuggestedUsers(w, usersOf(reply)); }
void readAddFollowing(Wrapper& w, Delegate& d, const Value&) { d.gotAddFollowing(w); }
void readRemoveFollowing(Wrapper& w, Delegate& d, const Value&) { d.gotRemoveFollowing(w); }

const commands::Branch kBranches[] = {
    {VelkoraCommand::Query, readQuery},
    {VelkoraCommand::GetNearbyUsers, readNearbyUsers},
    {VelkoraCommand::GetFavorites, readFavorites},
    {VelkoraCommand::GetOtherFavorites, readOtherFavorites},
    {VelkoraCommand::GetSocialNetworkFriends, readSocialNetworkFriends},
    {VelkoraCommand::GetSuggestedUsers, readSuggestedUsers},
    {VelkoraCommand::AddFollowing, readAddFollowing},
    {VelkoraCommand::RemoveFollowing, readRemoveFollowing},
};

// ---- replays of the queued calls ----

using Record = VelkoraClientPendingRequest;
using Agent = VelkoraServerClientAgent;

// The nearby request reads the location when it is replayed, not when it was queued.
void replayNearbyUsers(Agent& a, const Record& r) { a.getNearbyUsers(r.meters, r.delegate); }
void replayQuery(Agent& a, const Record& r) { a.query(r.query, r.delegate); }
void replaySetUserData(Agent& a, const Record& r) { a.setUserData(r.user, r.delegate); }
void replaySocialNetworkFriends(Agent& a, const Record& r) { a.getSocialNetworkFriends(r.delegate, r.message, r.url); }
void replayAddFollowing(Agent& a, const Record& r) { a.addFollowing(r.user); }
void replayRemoveFollowing(Agent& a, const Record& r) { a.removeFollowing(r.user); }
void replayDumpAppPlist(Agent& a, const Record&) { a.dumpAppPlist(); }
void replayBlockUser(Agent& a, const Record& r) { a.blockUser(r.user, r.direction); }
void replayReportUser(Agent& a, const Record& r) { a.reportUser(r.user, r.direction); }
void replayFavorites(Agent& a, const Record& r) { a.getFavorites(r.delegate, r.withLocation, r.direction, r.user); }
void replaySuggestedUsers(Agent& a, const Record& r) { a.getSuggestedUsers(r.force, r.numFollowing, r.delegate); }

}  // namespace

namespace commands {

std::span<const Branch> peopleBranches() { return kBranches; }

void addPeopleReplays(Replays& table) {
    table[VelkoraPendingType::kGetNearbyUsers] = replayNearbyUsers;
    table[VelkoraPendingType::kQuery] = replayQuery;
    table[VelkoraPendingType::kSetUserData] = replaySetUserData;
    table[VelkoraPendingType::kGetSocialNetworkFriends] = replaySocialNetworkFriends;
    table[VelkoraPendingType::kAddFollowing] = replayAddFollowing;
    table[VelkoraPendingType::kRemoveFollowing] = replayRemoveFollowing;
    table[VelkoraPendingType::kDumpAppPlist] = replayDumpAppPlist;
    table[VelkoraPendingType::kBlockUser] = replayBlockUser;
    table[VelkoraPendingType::kReportUser] = replayReportUser;
    table[VelkoraPendingType::kGetFavorites] = replayFavorites;
    table[VelkoraPendingType::kGetSuggestedUsers] = replaySuggestedUsers;
}

}  // namespace commands

// ---- requests ----

bool VelkoraProtocolWrapper::setUserData(const OptString& appId, const OptString& userId, const VelkoraUserPtr& user) {
    if (missing(appId) || missing(userId)) {
        Log::line("Velkora - setUserData: AppId or UserId not set");
        reportErrorToServer("setUserData-no-appId-or-userId=" + userId.value_or("nil") + "," + appId.value_or("nil"));
        return false;
    }
    // Without a user there is nothing to save; sending the always-present ids as 0 would erase the
    // account's social identities.
    if (!user) {
        Log::line("Velkora - setUserData: no user");
        return false;
    }
    send(VelkoraCommand::SetUserData, head("setUserData") + "&appId=" + *appId + "&userId=" + *userId +
                                          profileParameters(*user));
    return true;
}

bool VelkoraProtocolWrapper::query(const OptString& appId, const OptString& userId,
                                   const std::shared_ptr<VelkoraQuery>& q) {
    if (missing(appId) || missing(userId)) {
        Log::line("Velkora - query: AppId or UserId not set");
        return false;
    }
    send(VelkoraCommand::Query,
         head("query") + "&appId=" + *appId + "&userId=" + *userId + (q ? queryParameters(*q) : std::string()));
    return true;
}

bool VelkoraProtocolWrapper::getNearbyUsers(const OptString& appId, const OptString& userId, double longitude,
                                            double latitude, int32_t meters) {
    if (missing(appId) || missing(userId)) {
        Log::line("Velkora - getNearbyUsers: AppId or UserId not set");
        return false;
    }
    fetcherFor(VelkoraCommand::GetNearbyUsers)->setRetryMode(kRetryWhenReachable);
    send(VelkoraCommand::GetNearbyUsers, head("getNearbyUsers") + "&appId=" + *appId + "&userId=" + *userId +
                                             coordinates(longitude, latitude) + "&meters=" + num(meters) +
                                             "&test=" + flag(VelkoraAppSettings::displayTestUsers()));
    return true;
}

bool VelkoraProtocolWrapper::getSocialNetworkFriends(const OptString& appId, const OptString& userId,
                                                     const OptString& network, const OptString& friendIds) {
    if (missing(appId) || missing(userId)) {
        Log::line("Velkora - getSocialNetworkFriends: AppId or UserId not set");
        return false;
    }
    fetcherFor(VelkoraCommand::GetSocialNetworkFriends)->setRetryMode(kRetryWhenReachable);
    send(VelkoraCommand::GetSocialNetworkFriends, head("getSocialNetworkFriends") + "&appId=" + *appId +
                                                      "&userId=" + *userId +
                                                      "&network=" + escaped(network) +
                                                      "&friendIds=" + escaped(friendIds));
    return true;
}

namespace {
std::string otherUserParameters(const VelkoraUserInternal& other) {
    return "&otherAppId=" + str(other.appId()) + "&otherUserId=" + str(other.userId());
}
}  // namespace

bool VelkoraProtocolWrapper::addFollowing(const OptString& appId, const OptString& userId, const VelkoraUserPtr& user) {
    if (missing(appId) || missing(userId) || !user) {
        Log::line("Velkora - addFollowing: AppId or UserId not set");
        return false;
    }
    setTheOtherUser(user);
    auto& session = VelkoraSessionRecords::current();
    auto appData = session.getAppData();
    auto info = session.getUserInfo();
    bool publish = appData && appData->autoPostFollow() && !(info && info->isPrivateMode());
    send(VelkoraCommand::AddFollowing, head("favoriteAdd") + "&appId=" + *appId + "&userId=" + *userId +
                                           otherUserParameters(*user) + "&publish=" + flag(publish));
    return true;
}

bool VelkoraProtocolWrapper::removeFollowing(const OptString& appId, const OptString& userId,
                                             const VelkoraUserPtr& user) {
    if (missing(appId) || missing(userId) || !user) {
        Log::line("Velkora - removeFollowing: AppId or UserId not set");
        return false;
    }
    setTheOtherUser(user);
    send(VelkoraCommand::RemoveFollowing,
         head("favoriteRemove") + "&appId=" + *appId + "&userId=" + *userId + otherUserParameters(*user));
    return true;
}

bool VelkoraProtocolWrapper::getFavorites(const OptString& appId, const OptString& userId, bool withLocation,
                                          int32_t direction, double longitude, double latitude) {
    if (missing(appId) || missing(userId)) {
        Log::line("Velkora - getFavorites: AppId or UserId not set");
        return false;
    }
    send(VelkoraCommand::GetFavorites, head("getFavorites") + "&appId=" + *appId + "&userId=" + *userId +
                                           (withLocation ? coordinates(longitude, latitude) : std::string()) +
                                           "&direction=" + num(direction));
    return true;
}

bool VelkoraProtocolWrapper::getOtherFavorites(const OptString& appId, const OptString& userId,
                                               const OptString& otherAppId, const OptString& otherUserId,
                                               bool withLocation, int32_t direction, double longitude,
                                               double latitude) {
    if (missing(appId) || missing(userId)) {
        Log::line("Velkora - getOtherFavorites: AppId or UserId not set");
        return false;
    }
    send(VelkoraCommand::GetOtherFavorites, head("getOtherFavorites") + "&appId=" + *appId + "&userId=" + *userId +
                                                "&otherAppId=" + str(otherAppId) + "&otherUserId=" +
                                                str(otherUserId) +
                                                (withLocation ? coordinates(longitude, latitude) : std::string()) +
                                                "&direction=" + num(direction));
    return true;
}

bool VelkoraProtocolWrapper::getSuggestedUsers(const OptString& appId, const OptString& userId, bool forceRetrieve,
                                               int32_t numFollowing) {
    if (missing(appId) || missing(userId)) {
        Log::line("Velkora - getSuggestedUsers: AppId or UserId not set");
        return false;
    }
    send(VelkoraCommand::GetSuggestedUsers, head("getSuggestions") + "&appId=" + *appId + "&userId=" + *userId +
                                                "&force=" + flag(forceRetrieve) + "&followings=" + num(numFollowing) +
                                                "&test=" + flag(VelkoraSessionRecords::current().testMode()));
    return true;
}

bool VelkoraProtocolWrapper::setUserRelation(const OptString& appId, const OptString& userId,
                                             const OptString& otherAppId, const OptString& otherUserId,
                                             const std::string& type, bool value) {
    if (missing(appId) || missing(userId)) {
        Log::line("Velkora - setUserRelation: AppId or UserId not set");
        return false;
    }
    send(VelkoraCommand::SetUserRelation, head("setUserRelation") + "&appId=" + *appId + "&userId=" + *userId +
                                              "&otherAppId=" + str(otherAppId) + "&otherUserId=" + str(otherUserId) +
                                              "&type=" + type + "&value=" + flag(value) + "&v=2");
    return true;
}

bool VelkoraProtocolWrapper::dumpAppPlist(const OptString& appId, const OptString& userId) {
    if (missing(appId) || missing(userId)) {
        Log::line("Velkora - dumpAppPlist: AppId or UserId not set");
        return false;
    }
    send(VelkoraCommand::DumpAppPlist, head("dumpAppPlist") + "&appId=" + *appId + "&userId=" + *userId +
                                           "&appData=" + escapeRequestValue(appSettingsDump()) + "&v=2");
    return true;
}

// ---- the agent's operations ----

void VelkoraServerClientAgent::setUserData(VelkoraUserPtr user, VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kSetUserData, std::move(caller),
                [&](VelkoraClientPendingRequest& r) { r.user = std::move(user); },
                [&](VelkoraProtocolWrapper& w) { return w.setUserData(appId_, userId_, user); });
}

void VelkoraServerClientAgent::query(std::shared_ptr<VelkoraQuery> q, VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kQuery, std::move(caller),
                [&](VelkoraClientPendingRequest& r) { r.query = std::move(q); },
                [&](VelkoraProtocolWrapper& w) { return w.query(appId_, userId_, q); });
}

void VelkoraServerClientAgent::getNearbyUsers(int32_t meters, VelkoraCallback caller) {
    getNearbyUsers(meters, std::move(caller), currentCoordinate(locationManager_).value_or(VelkoraCoordinate{}));
}

void VelkoraServerClientAgent::getNearbyUsers(int32_t meters, VelkoraCallback caller, VelkoraCoordinate coordinate) {
    if (!isSessionInitialized_) {
        queue(VelkoraPendingType::kGetNearbyUsers, std::move(caller))->meters = meters;
        return;
    }
    // The device must know where it is, whatever coordinate the caller names.
    auto here = currentCoordinate(locationManager_).value_or(VelkoraCoordinate{});
    if (!locationManager_ || !here.isFix()) {
        Log::line("Velkora - getNearbyUsers called but no location available");
        return;
    }
    auto w = makeWrapper(std::move(caller));
    if (!w->getNearbyUsers(appId_, userId_, coordinate.longitude, coordinate.latitude, meters)) dropIfIdle(*w);
}

void VelkoraServerClientAgent::getSocialNetworkFriends(VelkoraCallback caller, const OptString& network,
                                                       const OptString& friendIds) {
    sendOrQueue(VelkoraPendingType::kGetSocialNetworkFriends, std::move(caller),
                [&](VelkoraClientPendingRequest& r) {
                    r.message = network;
                    r.url = friendIds;
                },
                [&](VelkoraProtocolWrapper& w) {
                    return w.getSocialNetworkFriends(appId_, userId_, network, friendIds);
                });
}

void VelkoraServerClientAgent::addFollowing(VelkoraUserPtr user) {
    changeRelation({'f', true, std::move(user)});
}

void VelkoraServerClientAgent::removeFollowing(VelkoraUserPtr user) {
    changeRelation({'f', false, std::move(user)});
}

void VelkoraServerClientAgent::getFavorites(VelkoraCallback caller, bool withLocation, int32_t direction,
                                            VelkoraUserPtr otherUser) {
    sendOrQueue(VelkoraPendingType::kGetFavorites, std::move(caller),
                [&](VelkoraClientPendingRequest& r) {
                    r.withLocation = withLocation;
                    r.direction = direction != 0;
                    r.user = std::move(otherUser);
                },
                [&](VelkoraProtocolWrapper& w) {
                    auto here = currentCoordinate(locationManager_).value_or(VelkoraCoordinate{});
                    return otherUser ? w.getOtherFavorites(appId_, userId_, otherUser->appId(), otherUser->userId(),
                                                           withLocation, direction, here.longitude, here.latitude)
                                     : w.getFavorites(appId_, userId_, withLocation, direction, here.longitude,
                                                      here.latitude);
                });
}

void VelkoraServerClientAgent::getSuggestedUsers(bool forceRetrieve, int32_t numFollowing, VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kGetSuggestedUsers, std::move(caller),
                [&](VelkoraClientPendingRequest& r) {
                    r.force = forceRetrieve;
                    r.numFollowing = numFollowing;
                },
                [&](VelkoraProtocolWrapper& w) {
                    return w.getSuggestedUsers(appId_, userId_, forceRetrieve, numFollowing);
                });
}

void VelkoraServerClientAgent::setUserRelation(VelkoraUserPtr user, const char* type, bool value, int pendingType) {
    sendOrQueue(
        pendingType, {},
        [&](VelkoraClientPendingRequest& r) {
            r.user = std::move(user);
            r.direction = value;
        },
        [&](VelkoraProtocolWrapper& w) {
            return w.setUserRelation(appId_, userId_, user ? user->appId() : std::nullopt,
                                     user ? user->userId() : std::nullopt, type, value);
        });
}

void VelkoraServerClientAgent::blockUser(VelkoraUserPtr user, bool value) {
    changeRelation({'b', value, std::move(user)});
}

void VelkoraServerClientAgent::reportUser(VelkoraUserPtr user, bool value) {
    changeRelation({'r', value, std::move(user)});
}

namespace {
std::string relationKey(const VelkoraUserPtr& user) {
    return user ? user->appId().value_or("") + "/" + user->userId().value_or("") : std::string();
}
} // namespace

void VelkoraServerClientAgent::changeRelation(RelationChange change) {
    // Before the session knows its user the requests wait in the pending queue, which keeps their order.
    if (!isSessionInitialized_ || !change.user) {
        auto user = std::move(change.user);
        if (change.kind == 'f')
            sendOrQueue(
                change.value ? VelkoraPendingType::kAddFollowing : VelkoraPendingType::kRemoveFollowing, {},
                [&](VelkoraClientPendingRequest& r) { r.user = user; },
                [&](VelkoraProtocolWrapper& w) {
                    return change.value ? w.addFollowing(appId_, userId_, user)
                                        : w.removeFollowing(appId_, userId_, user);
                });
        else
            setUserRelation(user, change.kind == 'b' ? "b" : "r", change.value,
                            change.kind == 'b' ? VelkoraPendingType::kBlockUser : VelkoraPendingType::kReportUser);
        return;
    }
    const std::string key = relationKey(change.user);
    auto& chain = relationChanges_[key];
    if (!chain.empty() && chain.back().kind == change.kind && chain.back().value == change.value) {
        Log::line("Velkora - The same change of the relation to %@ is already on its way", key);
        return;
    }
    chain.push_back(std::move(change));
    if (chain.size() == 1) sendRelationChange(key);
}

void VelkoraServerClientAgent::sendRelationChange(const std::string& key) {
    for (;;) {
        auto it = relationChanges_.find(key);
        if (it == relationChanges_.end()) return;
        if (it->second.empty()) {
            relationChanges_.erase(it);
            return;
        }
        const RelationChange change = it->second.front();
        auto w = makeWrapper({});
        const VelkoraUserPtr& user = change.user;
        bool sent = change.kind == 'f' ? (change.value ? w->addFollowing(appId_, userId_, user)
                                                       : w->removeFollowing(appId_, userId_, user))
                                       : w->setUserRelation(appId_, userId_, user->appId(), user->userId(),
                                                            change.kind == 'b' ? "b" : "r", change.value);
        if (sent) {
            relationWrappers_[w.get()] = key;
            return;
        }
        dropIfIdle(*w);
        it->second.pop_front();
    }
}

void VelkoraServerClientAgent::relationChangeFailed(VelkoraProtocolWrapper& w) {
    auto at = relationWrappers_.find(&w);
    if (at == relationWrappers_.end()) return;
    auto chain = relationChanges_.find(at->second);
    if (chain == relationChanges_.end() || chain->second.empty()) return;
    const RelationChange& change = chain->second.front();
    if (change.kind == 'f') {
        // The flag and the counts stay as they were; the screens redraw what is true.
        foundation::NotificationCenter::defaultCenter().post("VelkoraChangedFollowingNotification", this);
        return;
    }
    auto& user = *change.user;
    Log::line("Velkora (E) - setUserRelation for %@ failed: the relation stays as it was", user.description());
    if (change.kind == 'b' && user.isBlockedByCurrentUser() == change.value)
        user.setIsBlockedByCurrentUser(!change.value);
    if (change.kind == 'r' && user.isReportedByCurrentUser() == change.value)
        user.setIsReportedByCurrentUser(!change.value);
}

void VelkoraServerClientAgent::relationChangeDone(VelkoraProtocolWrapper& w) {
    auto at = relationWrappers_.find(&w);
    if (at == relationWrappers_.end()) return;
    const std::string key = at->second;
    relationWrappers_.erase(at);
    auto chain = relationChanges_.find(key);
    if (chain == relationChanges_.end()) return;
    if (!chain->second.empty()) chain->second.pop_front();
    if (chain->second.empty()) {
        relationChanges_.erase(chain);
        return;
    }
    // The next change leaves only once this call has unwound: the wrapper that ended is still running.
    foundation::RunLoop::main().post([key] { VelkoraServerClientAgent::instance().sendRelationChange(key); });
}

void VelkoraServerClientAgent::dumpAppPlist() {
    sendOrQueue(VelkoraPendingType::kDumpAppPlist, {},
                [](VelkoraClientPendingRequest&) {},
                [&](VelkoraProtocolWrapper& w) { return w.dumpAppPlist(appId_, userId_); });
}

// ---- the agent's replies ----

void VelkoraServerClientAgent::userDataSet(VelkoraProtocolWrapper& w) { performUserSelector(w, Value()); }

void VelkoraServerClientAgent::answerUsers(VelkoraProtocolWrapper& w, const std::vector<VelkoraUserPtr>& users) {
    foundation::Array answer;
    answer.reserve(users.size());
    for (const auto& u : users) answer.push_back(Value::object(u));
    performUserSelector(w, Value(std::move(answer)));
}

void VelkoraServerClientAgent::gotQueryResult(VelkoraProtocolWrapper& w, const std::vector<VelkoraUserPtr>& users) {
    answerUsers(w, users);
}
void VelkoraServerClientAgent::gotNearbyUsers(VelkoraProtocolWrapper& w, const std::vector<VelkoraUserPtr>& users) {
    answerUsers(w, users);
}
void VelkoraServerClientAgent::gotFavorites(VelkoraProtocolWrapper& w, const std::vector<VelkoraUserPtr>& users) {
    answerUsers(w, users);
}
void VelkoraServerClientAgent::gotOtherFavorites(VelkoraProtocolWrapper& w, const std::vector<VelkoraUserPtr>& users) {
    answerUsers(w, users);
}
void VelkoraServerClientAgent::gotSocialNetworkFriends(VelkoraProtocolWrapper& w,
                                                       const std::vector<VelkoraUserPtr>& users) {
    answerUsers(w, users);
}
void VelkoraServerClientAgent::gotSuggestedUsers(VelkoraProtocolWrapper& w, const std::vector<VelkoraUserPtr>& users) {
    // Whatever the service sends, nobody is offered to follow themself.
    std::vector<VelkoraUserPtr> others;
    others.reserve(users.size());
    for (const auto& u : users)
        if (u && !(userId_ && u->userId() == userId_)) others.push_back(u);
    answerUsers(w, others);
}

namespace {
// The follow flag and both counts move only when the relation changes: a second follow of a user
// already followed (or an unfollow of one not followed) leaves the counts as they are.
void applyFollow(VelkoraServerClientAgent& agent, const VelkoraUserPtr& other, bool follows) {
    if (other && other->isFavorite() != follows) {
        int32_t step = follows ? 1 : -1;
        other->setIsFavorite(follows);
        other->setNumFollowers(other->numFollowers() + step);
        if (auto me = VelkoraSessionRecords::current().velkoraUser()) me->setNumFollowing(me->numFollowing() + step);
    }
    foundation::NotificationCenter::defaultCenter().post("VelkoraChangedFollowingNotification", &agent);
}
}  // namespace

void VelkoraServerClientAgent::gotAddFollowing(VelkoraProtocolWrapper& w) { applyFollow(*this, w.theOtherUser(), true); }
void VelkoraServerClientAgent::gotRemoveFollowing(VelkoraProtocolWrapper& w) {
    applyFollow(*this, w.theOtherUser(), false);
}

// ---- the facade ----

namespace {
VelkoraServerClientAgent& agent() { return VelkoraServerClientAgent::instance(); }
}  // namespace

void VelkoraServerApi::getNearbyUsers(int32_t meters, VelkoraCallback caller) {
    agent().getNearbyUsers(meters, std::move(caller));
}
void VelkoraServerApi::getNearbyUsers(int32_t meters, VelkoraCallback caller, VelkoraCoordinate coordinate) {
    agent().getNearbyUsers(meters, std::move(caller), coordinate);
}
void VelkoraServerApi::setUserData(VelkoraUserPtr user) { agent().setUserData(std::move(user), {}); }
void VelkoraServerApi::setUserData(VelkoraUserPtr user, VelkoraCallback caller) {
    agent().setUserData(std::move(user), std::move(caller));
}
void VelkoraServerApi::dumpAppPlist() { agent().dumpAppPlist(); }
void VelkoraServerApi::query(std::shared_ptr<VelkoraQuery> q, VelkoraCallback caller) {
    agent().query(std::move(q), std::move(caller));
}
void VelkoraServerApi::getSocialNetworkFriends(VelkoraCallback caller, const OptString& network,
                                               const OptString& friendIds) {
    agent().getSocialNetworkFriends(std::move(caller), network, friendIds);
}
void VelkoraServerApi::addFollowing(VelkoraUserPtr user) { agent().addFollowing(std::move(user)); }
void VelkoraServerApi::removeFollowing(VelkoraUserPtr user) { agent().removeFollowing(std::move(user)); }
void VelkoraServerApi::getSuggestedUsers(VelkoraCallback caller, bool forceRetrieve, int32_t numFollowing) {
    agent().getSuggestedUsers(forceRetrieve, numFollowing, std::move(caller));
}
void VelkoraServerApi::reportUser(VelkoraUserPtr user, bool value) { agent().reportUser(std::move(user), value); }
void VelkoraServerApi::blockUser(VelkoraUserPtr user, bool value) { agent().blockUser(std::move(user), value); }
void VelkoraServerApi::getFollowing(VelkoraCallback caller, bool withLocation, VelkoraUserPtr otherUser) {
    agent().getFavorites(std::move(caller), withLocation, 1, std::move(otherUser));
}
void VelkoraServerApi::getFollowers(VelkoraCallback caller, bool withLocation, VelkoraUserPtr otherUser) {
    agent().getFavorites(std::move(caller), withLocation, 0, std::move(otherUser));
}

}  // namespace velkora
