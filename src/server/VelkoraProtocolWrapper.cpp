#include "server/VelkoraProtocolWrapper.h"

#include <sys/utsname.h>

#include <charconv>
#include <cmath>
#include <functional>
#include <random>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "server/VelkoraReplyParsers.h"
#include "server/VelkoraServerEndpoint.h"
#include "server/commands/VelkoraCommandGroups.h"
#include "server/commands/VelkoraRequestParts.h"
#include "server/utils/RequestText.h"
#include "server/utils/VelkoraKXJsonParser.h"
#include "server/utils/VelkoraLogEventsManager.h"
#include "data/VelkoraUtils.h"
#include "data/VelkoraAppData.h"
#include "data/VelkoraAppSettings.h"

namespace velkora {

using foundation::Log;
using foundation::Value;
using namespace request;
using commands::Branch;

namespace {

// ---- reply readers, one per command that has a branch ----

int32_t intOf(const Value& reply, const char* key) { return reply[key].int32Or(0); }

void readCreateUser(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    if (!reply.get("userId")) {
        d.deviceIdCreated(w, std::nullopt);
        return;
    }
    d.deviceIdCreated(w, reply["userId"].toText());
}

void readUpdate(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    int32_t numFollowers = intOf(reply, "numFollowers"), score = intOf(reply, "score"), coins = intOf(reply, "coins");
    if (!reply.get("messages")) {
        d.updated(w, std::nullopt, -1, numFollowers, score, coins);
    } else {
        auto messages = parseMessages(reply["messages"]);
        if (messages.empty()) {
            d.updated(w, std::nullopt, -1, numFollowers, score, coins);
        } else {
            int32_t changeNumber = 0;
            for (auto& m : messages) changeNumber = std::max(changeNumber, m->messageId());
            d.updated(w, messages, changeNumber, numFollowers, score, coins);
        }
    }
    if (reply.get("feed2")) {
        auto items = parseFeedMessages(reply["feed2"]);
        int32_t changeNumber = 0;
        for (auto& m : items) changeNumber = std::max(changeNumber, m->resendId());
        if (!items.empty()) d.feedUpdated(w, items, changeNumber);
    }
    if (reply.get("likes")) {
        VelkoraLikeParseContext context{VelkoraProtocolWrapper::likeParseContext()};
        auto likes = parseLikes(reply["likes"], context);
        int32_t changeNumber = 0;
        for (auto& l : likes) changeNumber = std::max(changeNumber, l->changeNumber());
        d.likesUpdated(w, likes, changeNumber);
    }
    if (const Value* topics = reply.get("topics")) {
        int32_t changeNumber = (*topics)["changeNumber"].int32Or(0);
        if (const Value* list = topics->get("topics")) {
            std::vector<VelkoraChatRoomsTopicPtr> parsed;
            if (auto* array = list->asArray())
                for (const Value& e : *array)
                    if (auto t = parseTopic(e)) parsed.push_back(std::move(t));
            d.topicsUpdated(w, parsed, changeNumber);
        }
    }
    if (const Value* topic = reply.get("topic")) {
        if (const Value* inner = topic->get("topic")) d.topicUpdated(w, parseTopic(*inner));
    }
    d.updateAnswered(w);
}

void readGetUserData(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    if (const Value* serverTime = reply.get("serverTime")) {
        double difference = 0;
        if (auto text = serverTime->toText())
            if (auto date = VelkoraUtils::getInputDateFormatter().dateFromString(*text))
                difference = std::trunc(*date - foundation::RunLoop::main().now());
        d.setTimeDifference(difference);
    }
    d.gotUserData(w, reply["user"].isNull() ? nullptr : parseUser(reply["user"]));
}

void readGetOtherUserData(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    d.gotOtherUserData(w, reply["user"].isNull() ? nullptr : parseUser(reply["user"]));
}

void readGetAppData(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    d.gotAppData(w, VelkoraAppData::fromReply(reply["appData"]));
}

void readSetUserData(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value&) { d.userDataSet(w); }

const Branch kBranches[] = {
    {VelkoraCommand::CreateUser, readCreateUser},
    {VelkoraCommand::Update, readUpdate},
    {VelkoraCommand::UpdateNoLocation, readUpdate},
    {VelkoraCommand::GetUserData, readGetUserData},
    {VelkoraCommand::GetOtherUserData, readGetOtherUserData},
    {VelkoraCommand::GetAppData, readGetAppData},
    {VelkoraCommand::SetUserData, readSetUserData},
};

// Every group's readers, in the order a delivering fetcher is compared; a command without a reader
// ends with the envelope.
const std::vector<Branch>& allBranches() {
    static const std::vector<Branch> table = [] {
        std::vector<Branch> all;
        for (auto group : {commands::coreBranches(), commands::accountBranches(), commands::peopleBranches(),
                           commands::messageBranches(), commands::chatRoomBranches(), commands::stickerBranches(),
                           commands::feedBranches(), commands::quizBranches(), commands::appDealBranches()})
            all.insert(all.end(), group.begin(), group.end());
        return all;
    }();
    return table;
}

std::function<VelkoraLikeObjectPtr(int32_t)> g_likeObjectWithId;

}  // namespace

std::span<const Branch> commands::coreBranches() { return kBranches; }

void commands::replyLacks(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d) {
    Log::line("Velkora - internal error: cannot parse response");
    d.urlGotError(w, foundation::makeError("Internal error", 0));
}

// Every like object carries the application's id, the poll's as well as the feed reads'.
VelkoraLikeParseContext VelkoraProtocolWrapper::likeParseContext() {
    return VelkoraLikeParseContext{VelkoraAppSettings::appId(), g_likeObjectWithId};
}

void VelkoraProtocolWrapper::setLikeObjectProvider(std::function<VelkoraLikeObjectPtr(int32_t)> provider) {
    g_likeObjectWithId = std::move(provider);
}

std::shared_ptr<VelkoraProtocolWrapper> VelkoraProtocolWrapper::create(VelkoraProtocolWrapperDelegate* delegate) {
    return std::shared_ptr<VelkoraProtocolWrapper>(new VelkoraProtocolWrapper(delegate));
}

VelkoraProtocolWrapper::~VelkoraProtocolWrapper() {
    for (auto& [command, fetcher] : fetchers_) releaseFetcher(fetcher);
}

void VelkoraProtocolWrapper::releaseFetcher(const std::shared_ptr<VelkoraUrlFetcher>& fetcher) {
    if (fetcher) fetcher->cancel();
}

namespace {
// The machine and the system's release, asked once: neither changes while the process runs.
const utsname* systemName() {
    static const std::optional<utsname> name = [] {
        utsname u {};
        return ::uname(&u) == 0 ? std::optional<utsname>(u) : std::nullopt;
    }();
    return name ? &*name : nullptr;
}
}  // namespace

std::string VelkoraProtocolWrapper::platform() {
    const utsname* u = systemName();
    return u ? u->machine : "unknown";
}

std::string VelkoraProtocolWrapper::osVersion() {
    const utsname* u = systemName();
    return u ? u->release : "unknown";
}

std::string VelkoraProtocolWrapper::endpoint() { return VelkoraServerEndpoint::url(); }

std::string VelkoraProtocolWrapper::getCrcUrl(const std::string& text) { return tagRequestText(text); }

std::string VelkoraProtocolWrapper::formatDouble(double value) {
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    if (ec != std::errc()) return "0.000000";
    return std::string(buffer, end);
}

std::shared_ptr<VelkoraUrlFetcher> VelkoraProtocolWrapper::fetcher(VelkoraCommand command) const {
    auto it = fetchers_.find(command);
    return it == fetchers_.end() ? nullptr : it->second;
}

std::shared_ptr<VelkoraUrlFetcher> VelkoraProtocolWrapper::fetcherFor(VelkoraCommand command) {
    auto& f = fetchers_[command];
    if (!f) f = VelkoraUrlFetcher::create(weak_from_this());
    return f;
}

void VelkoraProtocolWrapper::send(VelkoraCommand command, const std::string& text) {
    if (command != VelkoraCommand::ReportError) command_ = command;
    auto fetcher = fetcherFor(command);
    // The poll and the promoted applications are fetched ahead of need: what a start asks with them (its
    // configuration and user data, which the host waits for) reaches the service first.
    fetcher->setBackground(command == VelkoraCommand::Update || command == VelkoraCommand::UpdateNoLocation ||
                           command == VelkoraCommand::GetApps);
    fetcher->getUrl(getCrcUrl(text));
}

void VelkoraProtocolWrapper::reportErrorToServer(const std::string& text) {
    send(VelkoraCommand::ReportError,
         endpoint() + "?command=dumpAppPlist&appId=ERROR&userId=ERROR&appData=" + text + "&v=2");
}

std::optional<Value> VelkoraProtocolWrapper::jsonWorkaround(const std::string& text) {
    VelkoraKXJsonParser parser;
    auto result = parser.objectWithString(text);
    if (!result) Log::line("Velkora - JSONValue failed. Error trace is: %@", parser.errorTraceDescription());
    return result;
}

bool VelkoraProtocolWrapper::createUserId(const OptString& appId, const OptString& userId, bool test) {
    if (missing(appId)) {
        Log::line("Velkora - createUserId: AppId not set");
        reportErrorToServer("createUserId-no-appId:userId=" + userId.value_or("nil"));
        return false;
    }
    std::string text = head("createUser") + "&appId=" + *appId;
    if (userId)
        text += "&userId=" + *userId + "&version=" + num(kVelkoraProtocolVersion);
    else
        text += "&clientVersion=" + num(kVelkoraProtocolVersion) + "&test=" + flag(test);
    send(VelkoraCommand::CreateUser, text);
    return true;
}

bool VelkoraProtocolWrapper::update(const VelkoraUpdateRequest& r) {
    bool located = r.longitude && r.latitude;
    if (missing(r.appId) || missing(r.userId)) {
        Log::line(located ? "Velkora - update: AppId or UserId not set"
                          : "Velkora - update(no location): AppId or UserId not set");
        return false;
    }
    loggedEvents_ = VelkoraLogEventsManager::instance().takeLoggedEvents();
    std::string text = head("update") + "&appId=" + *r.appId + "&deviceId=" + str(r.deviceId) +
                       "&userId=" + *r.userId + "&wantMessages=" + flag(r.wantMessages) +
                       "&changeNumber=" + num(r.changeNumber) + "&wantFeed2=" + flag(r.wantFeed) +
                       "&feedChangeNumber=" + num(r.feedChangeNumber) + "&wantLikes=" + flag(r.wantFeed) +
                       "&likesChangeNumber=" + num(r.likesChangeNumber);
    if (located) text += "&longitude=" + formatDouble(*r.longitude) + "&latitude=" + formatDouble(*r.latitude);
    text += "&wantTopics=" + std::string(flag(r.wantTopics)) + "&topicsChangeNumber=" + num(r.topicsChangeNumber) +
            "&wantTopic=" + flag(r.wantTopic) + "&topicChangeNumber=" + num(r.topicChangeNumber) +
            "&topicId=" + num(r.topicId) + "&logs=" + VelkoraLogEventsManager::escapedLoggedEvents(loggedEvents_) +
            "&protocolVersion=" + num(kVelkoraProtocolVersion);
    send(located ? VelkoraCommand::Update : VelkoraCommand::UpdateNoLocation, text);
    return true;
}

bool VelkoraProtocolWrapper::reportEvent(const OptString& appId, const OptString& deviceId, const OptString& userId,
                                         const std::string& type, const std::string& message) {
    if (missing(appId) || missing(userId)) {
        Log::line("Velkora - reportEvent: AppId or UserId not set");
        return false;
    }
    send(VelkoraCommand::ReportEvent, head("reportEvent") + "&appId=" + *appId + "&deviceId=" + str(deviceId) +
                                          "&userId=" + *userId + "&type=" + type +
                                          "&logs=" + escapeRequestValue(message));
    return true;
}

bool VelkoraProtocolWrapper::getAppData(const OptString& appId, int32_t changeNumber) {
    if (missing(appId)) {
        Log::line("Velkora - getAppData: AppId not set");
        reportErrorToServer("getAppData-no-appId");
        return false;
    }
    send(VelkoraCommand::GetAppData, head("getAppData") + "&appId=" + *appId + "&changeNumber=" + num(changeNumber) +
                                         "&v=" + num(kVelkoraProtocolVersion));
    return true;
}

std::string request::pictureFormTag() {
    static thread_local std::mt19937_64 random{std::random_device{}()};
    char drawn[24];
    std::snprintf(drawn, sizeof drawn, "%016llx", static_cast<unsigned long long>(random()));
    return "&ts=" + requestTimeStamp(foundation::RunLoop::main().now()) + "&sendId=" + drawn;
}

std::string request::deviceParameters() {
    auto name = foundation::Bundle::main().infoDictionary()["CFBundleDisplayName"].textOr("");
    return "&clientV=" + num(kVelkoraProtocolVersion) + "&osV=" + VelkoraProtocolWrapper::osVersion() +
           "&platform=" + VelkoraProtocolWrapper::platform() + "&packageName=" + escapeRequestValue(name) +
           "&build=" + kVelkoraBuild;
}

bool VelkoraProtocolWrapper::getUserData(const OptString& appId, const OptString& userId) {
    if (missing(appId) || missing(userId)) {
        Log::line("Velkora - getUserData: AppId or UserId not set");
        reportErrorToServer("getUserData-no-appId-or-userId=" + userId.value_or("nil") + "," + appId.value_or("nil"));
        return false;
    }
    send(VelkoraCommand::GetUserData, head("getUserData") + "&appId=" + *appId + "&userId=" + *userId + deviceParameters());
    return true;
}

bool VelkoraProtocolWrapper::getOtherUserData(const OptString& appId, const OptString& userId,
                                              const OptString& otherAppId, const OptString& otherUserId) {
    if (missing(appId) || missing(userId)) {
        Log::line("Velkora - getOtherUserData: AppId or UserId not set");
        reportErrorToServer("getOtherUserData-no-appId-or-userId=" + userId.value_or("nil") + "," +
                            appId.value_or("nil"));
        return false;
    }
    send(VelkoraCommand::GetOtherUserData, head("getOtherUserData") + "&appId=" + *appId + "&userId=" + *userId +
                                               "&otherAppId=" + str(otherAppId) + "&otherUserId=" +
                                               str(otherUserId) + deviceParameters());
    return true;
}

void VelkoraProtocolWrapper::urlGotError(VelkoraUrlFetcher& fetcher, const foundation::ErrorPtr& error) {
    auto self = shared_from_this();  // the agent drops its reference while we are still here
    if (&fetcher == this->fetcher(VelkoraCommand::ReportError).get()) {
        if (delegate_) delegate_->protocolWrapperDone(*this);
        return;
    }
    if (delegate_) {
        delegate_->urlGotError(*this, error);
        delegate_->protocolWrapperDone(*this);
    } else {
        Log::line("Velkora - Protocol wrapper got error: %d", error ? error->code : 0);
    }
}

void VelkoraProtocolWrapper::urlDidFinishWithString(VelkoraUrlFetcher& fetcher, const std::optional<std::string>& text) {
    auto self = shared_from_this();
    handleReply(fetcher, text);
    if (delegate_) delegate_->protocolWrapperDone(*this);
}

void VelkoraProtocolWrapper::handleReply(VelkoraUrlFetcher& fetcher, const std::optional<std::string>& text) {
    if (&fetcher == this->fetcher(VelkoraCommand::ReportError).get()) return;
    std::optional<Value> reply;
    if (text) reply = jsonWorkaround(*text);
    // A top-level array or a body that is not UTF-8 has no keys to read: it is no reply of ours.
    if (!reply || !reply->isDictionary()) {
        if (delegate_)
            commands::replyLacks(*this, *delegate_);
        else
            Log::line("Velkora - internal error: cannot parse response");
        return;
    }
    if (const Value* error = reply->get("error")) {
        std::string domain = error->isNull() ? "INTERNAL_ERROR" : error->textOr("");
        if (delegate_)
            delegate_->urlGotError(*this, foundation::makeError(domain, 0));
        else
            Log::line("Velkora - Protocol wrapper got error: %@", domain);
        return;
    }
    if (const Value* warning = reply->get("warning"))
        Log::line("Velkora - protocol wrapper received warning: %@", warning->textOr(warning->description()));
    if (!delegate_) return;
    for (const Branch& branch : allBranches()) {
        auto f = this->fetcher(branch.command);
        if (f && f.get() == &fetcher) {
            branch.read(*this, *delegate_, *reply);
            return;
        }
    }
}

}  // namespace velkora
