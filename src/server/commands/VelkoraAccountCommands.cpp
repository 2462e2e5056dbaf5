// Sign-up, log-in, social connections and the account's password, picture and push token.
#include "server/VelkoraServerEndpoint.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Image.h"
#include "server/VelkoraServerApi.h"
#include "server/commands/VelkoraCommandGroups.h"
#include "server/commands/VelkoraRequestParts.h"
#include "server/utils/RequestText.h"
#include "server/utils/VelkoraBase64.h"
#include "data/VelkoraSessionRecords.h"
#include "data/VelkoraUserInfo.h"

namespace velkora {

using foundation::Log;
using foundation::Value;
using namespace request;

namespace {

// Every value a person typed or a network handed us goes out escaped: an address such as "a+b@x.org"
// must reach the service as written, and a "&" in it must not start a parameter of its own.

// The profile fields sign-up and connect carry, each only when the user has it.
std::string profileParameters(const VelkoraUserPtr& user) {
    if (!user) return {};
    std::string text;
    const std::pair<const char*, const OptionalText&> fields[] = {
        {"&firstName=", user->firstName()}, {"&lastName=", user->lastName()}, {"&photoUrl=", user->userPhotoUrl()},
        {"&city=", user->city()},           {"&state=", user->state()},       {"&country=", user->country()},
        {"&gender=", user->gender()},
    };
    for (const auto& [key, value] : fields)
        if (value) text += key + escapeRequestValue(*value);
    return text;
}

std::string passwordParameter(const std::optional<std::string>& password) {
    return password ? "&password=" + escapeRequestValue(*password) : std::string();
}

std::optional<std::string> textOf(const Value& reply, const char* key) { return reply[key].toText(); }

// ---- reply readers ----

void readSignUp(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    d.userSignedIn(w, textOf(reply, "userId"));
}
void readSignOut(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value&) { d.userSignedOut(w); }
void readLogin(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    d.userLoggedIn(w, textOf(reply, "userId"));
}
void readConnectSocial(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value&) {
    d.socialNetworkConnected(w);
}
void readDisconnectSocial(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value&) {
    d.socialNetworkDisconnected(w);
}
void readUploadUserImage(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    d.userImageUploaded(w, textOf(reply, "url"));
}
void readBcSignUp(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value& reply) {
    d.bcUserSignedIn(w, textOf(reply, "userId"), textOf(reply, "deviceId"));
}
void readSetDeviceToken(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value&) {
    d.deviceTokenSet(w);
}
void readPasswordRequest(VelkoraProtocolWrapper& w, VelkoraProtocolWrapperDelegate& d, const Value&) {
    d.passwordRequestAnswered(w);
}

const commands::Branch kBranches[] = {
    {VelkoraCommand::SignUp, readSignUp},
    {VelkoraCommand::SignOut, readSignOut},
    {VelkoraCommand::Login, readLogin},
    {VelkoraCommand::ConnectSocial, readConnectSocial},
    {VelkoraCommand::DisconnectSocial, readDisconnectSocial},
    {VelkoraCommand::UploadUserImage, readUploadUserImage},
    {VelkoraCommand::BcSignUp, readBcSignUp},
    {VelkoraCommand::SetDeviceToken, readSetDeviceToken},
    {VelkoraCommand::ForgotPassword, readPasswordRequest},
    {VelkoraCommand::ChangePassword, readPasswordRequest},
};

// ---- replays of the queued calls ----

using Record = VelkoraClientPendingRequest;
using Agent = VelkoraServerClientAgent;

void replaySignUp(Agent& a, const Record& r) { a.signUp(r.delegate, r.method, r.connectValue, r.password, r.user); }
void replaySignOut(Agent& a, const Record& r) { a.signOut(r.delegate); }
void replayLogin(Agent& a, const Record& r) { a.login(r.delegate, r.method, r.connectValue, r.password); }
void replayConnectSocial(Agent& a, const Record& r) {
    a.connectSocial(r.delegate, r.method, r.connectValue, r.replaceUserData, r.overrideOtherUser, r.user);
}
void replayDisconnectSocial(Agent& a, const Record& r) { a.disconnectSocial(r.delegate, r.method); }
void replayUploadUserImage(Agent& a, const Record& r) { a.uploadUserImage(r.delegate, r.userImage); }
void replayForgotPassword(Agent& a, const Record& r) { a.forgotPassword(r.email, r.delegate); }
void replayChangePassword(Agent& a, const Record& r) { a.changePassword(r.password, r.delegate); }
void replayBcSignUp(Agent& a, const Record& r) { a.bcSignUp(r.delegate, r.facebookId, r.twitterId); }

}  // namespace

namespace commands {

std::span<const Branch> accountBranches() { return kBranches; }

void addAccountReplays(Replays& table) {
    table[VelkoraPendingType::kSignUp] = replaySignUp;
    table[VelkoraPendingType::kSignOut] = replaySignOut;
    table[VelkoraPendingType::kLogin] = replayLogin;
    table[VelkoraPendingType::kConnectSocial] = replayConnectSocial;
    table[VelkoraPendingType::kDisconnectSocial] = replayDisconnectSocial;
    table[VelkoraPendingType::kUploadUserImage] = replayUploadUserImage;
    table[VelkoraPendingType::kForgotPassword] = replayForgotPassword;
    table[VelkoraPendingType::kChangePassword] = replayChangePassword;
    table[VelkoraPendingType::kBcSignUp] = replayBcSignUp;
    table[VelkoraPendingType::kSetDeviceToken] = [](Agent& a, const Record& r) { a.sendDeviceToken(r.message); };
}

}  // namespace commands

// ---- requests ----

bool VelkoraProtocolWrapper::signUp(const OptString& appId, const OptString& deviceId, int32_t method,
                                    const OptString& connectValue, const OptString& password,
                                    const VelkoraUserPtr& user) {
    if (missing(appId) || missing(deviceId)) {
        Log::line("Velkora - signUp: AppId or DeviceId not set");
        return false;
    }
    send(VelkoraCommand::SignUp, bareHead("signUp") + "&appId=" + *appId + "&deviceId=" + *deviceId +
                                     "&method=" + num(method) + "&value=" + escaped(connectValue) +
                                     passwordParameter(password) + profileParameters(user));
    return true;
}

bool VelkoraProtocolWrapper::signOut(const OptString& appId, const OptString& deviceId) {
    if (missing(appId) || missing(deviceId)) {
        Log::line("Velkora - signOut: AppId or DeviceId not set");
        return false;
    }
    send(VelkoraCommand::SignOut, bareHead("signOut") + "&appId=" + *appId + "&deviceId=" + *deviceId);
    return true;
}

bool VelkoraProtocolWrapper::login(const OptString& appId, const OptString& deviceId, int32_t method,
                                   const OptString& connectValue, const OptString& password) {
    if (missing(appId) || missing(deviceId)) {
        Log::line("Velkora - login: AppId or DeviceId not set");
        return false;
    }
    send(VelkoraCommand::Login, bareHead("login") + "&appId=" + *appId + "&deviceId=" + *deviceId +
                                    "&method=" + num(method) + "&value=" + escaped(connectValue) +
                                    passwordParameter(password));
    return true;
}

bool VelkoraProtocolWrapper::connectSocial(const OptString& appId, const OptString& userId, int32_t method,
                                           const OptString& connectValue, bool replaceUserData,
                                           bool overrideOtherUser, const VelkoraUserPtr& user) {
    if (missing(appId) || missing(userId)) {
        Log::line("Velkora - connectSocial: AppId or UserId not set");
        return false;
    }
    send(VelkoraCommand::ConnectSocial, bareHead("connectSocial") + "&appId=" + *appId + "&userId=" + *userId +
                                            "&method=" + num(method) + "&value=" + escaped(connectValue) +
                                            "&replaceUserData=" + flag(replaceUserData) +
                                            "&overrideOtherUser=" + flag(overrideOtherUser) +
                                            profileParameters(user));
    return true;
}

bool VelkoraProtocolWrapper::disconnectSocial(const OptString& appId, const OptString& userId, int32_t method) {
    if (missing(appId) || missing(userId)) {
        Log::line("Velkora - disconnectSocial: AppId or UserId not set");
        return false;
    }
    send(VelkoraCommand::DisconnectSocial,
         bareHead("disconnectSocial") + "&appId=" + *appId + "&userId=" + *userId + "&method=" + num(method));
    return true;
}

bool VelkoraProtocolWrapper::uploadUserImage(const OptString& appId, const OptString& deviceId,
                                             const std::shared_ptr<ui::Image>& image) {
    // An image that gives no JPEG bytes is as good as none: the service would only refuse it.
    std::optional<std::string> encoded;
    if (image) encoded = base64EncodedString(image->jpegData(1.0));
    if (missing(appId) || missing(deviceId) || !encoded) {
        Log::line("Velkora - uploadUserImage: AppId, DeviceId or Image not set");
        return false;
    }
    // A POST: the bare endpoint, no CRC; URL-safe Base64 needs no further escaping.
    std::string body = "command=savePhoto&appId=" + *appId + "&deviceId=" + *deviceId +
                       "&clientType=" + num(kVelkoraClientType) + "&build=" + kVelkoraBuild + "&image=" + *encoded +
                       pictureFormTag();
    command_ = VelkoraCommand::UploadUserImage;
    fetcherFor(VelkoraCommand::UploadUserImage)->getUrlWithPostData(endpoint(), body);
    return true;
}

bool VelkoraProtocolWrapper::forgotPassword(const OptString& appId, const OptString& deviceId, const OptString& email) {
    if (missing(appId) || missing(deviceId)) {
        Log::line("Velkora - forgotPassword: AppId or UserId not set");
        return false;
    }
    send(VelkoraCommand::ForgotPassword, bareHead("forgotPassword") + "&appId=" + *appId + "&deviceId=" + *deviceId +
                                             "&email=" + escaped(email) + "&clientType=" +
                                             num(kVelkoraClientType) + "&build=" + kVelkoraBuild);
    return true;
}

bool VelkoraProtocolWrapper::changePassword(const OptString& appId, const OptString& userId, const OptString& password) {
    if (missing(appId) || missing(userId)) {
        Log::line("Velkora - changePassword: AppId or UserId not set");
        return false;
    }
    send(VelkoraCommand::ChangePassword, bareHead("changePassword") + "&appId=" + *appId + "&userId=" + *userId +
                                             "&password=" + escaped(password) + "&clientType=" +
                                             num(kVelkoraClientType) + "&build=" + kVelkoraBuild);
    return true;
}

bool VelkoraProtocolWrapper::bcSignUp(const OptString& appId, const OptString& userId, const OptString& facebookId,
                                      const OptString& twitterId) {
    if (missing(appId) || missing(userId)) {
        Log::line("Velkora - bcSignUp: AppId or UserId not set");
        return false;
    }
    send(VelkoraCommand::BcSignUp, bareHead("signUpBackComp") + "&appId=" + *appId + "&userId=" + *userId +
                                       "&facebookId=" + escaped(facebookId) + "&twitterId=" + escaped(twitterId) +
                                       "&clientType=" + num(kVelkoraClientType) + "&build=" + kVelkoraBuild);
    return true;
}

bool VelkoraProtocolWrapper::setDeviceToken(const OptString& appId, const OptString& deviceId, const OptString& userId,
                                            const OptString& deviceToken) {
    if (missing(appId) || missing(userId)) {
        Log::line("Velkora - setDeviceToken: AppId or UserId not set");
        return false;
    }
    // The token is standard Base64: the escaping turns its "+" into "%2B" and its "=" into "%3D" and
    // leaves "/" as it is.
    send(VelkoraCommand::SetDeviceToken, head("setDeviceToken") + "&appId=" + *appId + "&deviceId=" + str(deviceId) +
                                             "&userId=" + *userId + "&deviceToken=" + escaped(deviceToken));
    return true;
}

// ---- the agent's operations ----

namespace {
std::shared_ptr<VelkoraUserInfo> localUser() { return VelkoraSessionRecords::current().getUserInfo(); }

// A password (even as its digest) travels only to an https endpoint; elsewhere nothing is sent and the
// caller hears an error on the main run loop, as it would from the service.
bool passwordMayTravel(const char* command, const std::optional<std::string>& password, const VelkoraCallback& caller) {
    if (!password || VelkoraServerEndpoint::url().rfind("https://", 0) == 0) return true;
    Log::line("Velkora (E) - %@: the service's address is not https, the password is not sent", command);
    foundation::RunLoop::main().post([caller] { caller.fail(foundation::makeError("INTERNAL_ERROR", 0)); });
    return false;
}
}  // namespace

void VelkoraServerClientAgent::signUp(VelkoraCallback caller, int32_t method, const OptString& connectValue,
                                      const OptString& password, VelkoraUserPtr user) {
    if (!passwordMayTravel("signUp", password, caller)) return;
    sendOrQueue(VelkoraPendingType::kSignUp, std::move(caller),
                [&](VelkoraClientPendingRequest& r) {
                    r.method = method;
                    r.connectValue = connectValue;
                    r.password = password;
                    r.user = std::move(user);
                },
                [&](VelkoraProtocolWrapper& w) {
                    return w.signUp(appId_, deviceId_, method, connectValue, password, user);
                });
}

void VelkoraServerClientAgent::signOut(VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kSignOut, std::move(caller),
                [](VelkoraClientPendingRequest&) {},
                [&](VelkoraProtocolWrapper& w) { return w.signOut(appId_, deviceId_); });
}

void VelkoraServerClientAgent::login(VelkoraCallback caller, int32_t method, const OptString& connectValue,
                                     const OptString& password) {
    if (!passwordMayTravel("login", password, caller)) return;
    sendOrQueue(VelkoraPendingType::kLogin, std::move(caller),
                [&](VelkoraClientPendingRequest& r) {
                    r.method = method;
                    r.connectValue = connectValue;
                    r.password = password;
                },
                [&](VelkoraProtocolWrapper& w) { return w.login(appId_, deviceId_, method, connectValue, password); });
}

void VelkoraServerClientAgent::connectSocial(VelkoraCallback caller, int32_t method, const OptString& connectValue,
                                             bool replaceUserData, bool overrideOtherUser, VelkoraUserPtr user) {
    sendOrQueue(VelkoraPendingType::kConnectSocial, std::move(caller),
                [&](VelkoraClientPendingRequest& r) {
                    r.method = method;
                    r.connectValue = connectValue;
                    r.replaceUserData = replaceUserData;
                    r.overrideOtherUser = overrideOtherUser;
                    r.user = std::move(user);
                },
                [&](VelkoraProtocolWrapper& w) {
                    return w.connectSocial(appId_, userId_, method, connectValue, replaceUserData, overrideOtherUser,
                                           user);
                });
}

void VelkoraServerClientAgent::disconnectSocial(VelkoraCallback caller, int32_t method) {
    sendOrQueue(VelkoraPendingType::kDisconnectSocial, std::move(caller),
                [&](VelkoraClientPendingRequest& r) { r.method = method; },
                [&](VelkoraProtocolWrapper& w) { return w.disconnectSocial(appId_, userId_, method); });
}

void VelkoraServerClientAgent::uploadUserImage(VelkoraCallback caller, std::shared_ptr<ui::Image> image) {
    sendOrQueue(VelkoraPendingType::kUploadUserImage, std::move(caller),
                [&](VelkoraClientPendingRequest& r) { r.userImage = std::move(image); },
                [&](VelkoraProtocolWrapper& w) { return w.uploadUserImage(appId_, deviceId_, image); });
}

void VelkoraServerClientAgent::forgotPassword(const OptString& email, VelkoraCallback caller) {
    sendOrQueue(VelkoraPendingType::kForgotPassword, std::move(caller),
                [&](VelkoraClientPendingRequest& r) { r.email = email; },
                [&](VelkoraProtocolWrapper& w) { return w.forgotPassword(appId_, deviceId_, email); });
}

void VelkoraServerClientAgent::changePassword(const OptString& password, VelkoraCallback caller) {
    if (!passwordMayTravel("changePassword", password.value_or(std::string()), caller)) return;
    sendOrQueue(VelkoraPendingType::kChangePassword, std::move(caller),
                [&](VelkoraClientPendingRequest& r) { r.password = password; },
                [&](VelkoraProtocolWrapper& w) { return w.changePassword(appId_, userId_, password); });
}

void VelkoraServerClientAgent::bcSignUp(VelkoraCallback caller, const OptString& facebookId,
                                        const OptString& twitterId) {
    sendOrQueue(VelkoraPendingType::kBcSignUp, std::move(caller),
                [&](VelkoraClientPendingRequest& r) {
                    r.facebookId = facebookId;
                    r.twitterId = twitterId;
                },
                [&](VelkoraProtocolWrapper& w) { return w.bcSignUp(appId_, userId_, facebookId, twitterId); });
}

void VelkoraServerClientAgent::setDeviceToken(const OptString& token) {
    // The test runs now, even for a call that has to wait for the session.
    if (auto info = localUser(); info && info->deviceToken() && token && *info->deviceToken() == *token) return;
    pendingDeviceToken_ = token;
    if (!isSessionInitialized_) {
        queue(VelkoraPendingType::kSetDeviceToken, {})->message = token;
        return;
    }
    sendDeviceToken(token);
}

void VelkoraServerClientAgent::sendDeviceToken(const OptString& token) {
    pendingDeviceToken_ = token;
    auto w = makeWrapper();
    if (!w->setDeviceToken(appId_, deviceId_, userId_, token)) dropIfIdle(*w);
}

// ---- the agent's replies ----

void VelkoraServerClientAgent::takeUserIdFromReply(const std::optional<std::string>& userId) {
    // A reply without a usable id keeps the session's id: the user would otherwise be lost.
    if (userId_ && !userId_->empty() && userId && !userId->empty()) userId_ = userId;
}

void VelkoraServerClientAgent::userSignedIn(VelkoraProtocolWrapper& w, const std::optional<std::string>& userId) {
    takeUserIdFromReply(userId);
    performUserSelector(w, userId ? Value(*userId) : Value());
}

void VelkoraServerClientAgent::userLoggedIn(VelkoraProtocolWrapper& w, const std::optional<std::string>& userId) {
    takeUserIdFromReply(userId);
    performUserSelector(w, userId ? Value(*userId) : Value());
}

void VelkoraServerClientAgent::userSignedOut(VelkoraProtocolWrapper& w) { performUserSelector(w, Value()); }
void VelkoraServerClientAgent::socialNetworkConnected(VelkoraProtocolWrapper& w) { performUserSelector(w, Value()); }
void VelkoraServerClientAgent::socialNetworkDisconnected(VelkoraProtocolWrapper& w) {
    performUserSelector(w, Value());
}

void VelkoraServerClientAgent::userImageUploaded(VelkoraProtocolWrapper& w, const std::optional<std::string>& imageUrl) {
    performUserSelector(w, imageUrl ? Value(*imageUrl) : Value());
}

void VelkoraServerClientAgent::bcUserSignedIn(VelkoraProtocolWrapper& w, const std::optional<std::string>& userId,
                                              const std::optional<std::string>& deviceId) {
    foundation::Dictionary answer;
    if (deviceId)
        answer.set("deviceId", *deviceId);
    else if (userId)
        answer.set("userId", *userId);
    performUserSelector(w, Value(std::move(answer)));
}

void VelkoraServerClientAgent::passwordRequestAnswered(VelkoraProtocolWrapper& w) { performUserSelector(w, Value()); }

void VelkoraServerClientAgent::deviceTokenSet(VelkoraProtocolWrapper&) {
    if (auto info = localUser()) {
        info->setDeviceToken(pendingDeviceToken_);
        VelkoraSessionRecords::current().saveUserInfo();
    }
}

// ---- the facade ----

namespace {
VelkoraServerClientAgent& agent() { return VelkoraServerClientAgent::instance(); }
}  // namespace

void VelkoraServerApi::signUp(VelkoraCallback caller, int32_t method, const OptString& connectValue,
                              const OptString& password, VelkoraUserPtr user) {
    agent().signUp(std::move(caller), method, connectValue, password, std::move(user));
}
void VelkoraServerApi::signOut(VelkoraCallback caller) { agent().signOut(std::move(caller)); }
void VelkoraServerApi::login(VelkoraCallback caller, int32_t method, const OptString& connectValue,
                             const OptString& password) {
    agent().login(std::move(caller), method, connectValue, password);
}
void VelkoraServerApi::connectSocial(VelkoraCallback caller, int32_t method, const OptString& connectValue,
                                     bool replaceUserData, bool overrideOtherUser, VelkoraUserPtr user) {
    agent().connectSocial(std::move(caller), method, connectValue, replaceUserData, overrideOtherUser, std::move(user));
}
void VelkoraServerApi::disconnectSocial(VelkoraCallback caller, int32_t method) {
    agent().disconnectSocial(std::move(caller), method);
}
void VelkoraServerApi::uploadUserImage(VelkoraCallback caller, std::shared_ptr<ui::Image> image) {
    agent().uploadUserImage(std::move(caller), std::move(image));
}
void VelkoraServerApi::forgotPassword(const OptString& email) { agent().forgotPassword(email); }
void VelkoraServerApi::changePassword(const OptString& password) { agent().changePassword(password); }
void VelkoraServerApi::forgotPassword(const OptString& email, VelkoraCallback caller) {
    agent().forgotPassword(email, std::move(caller));
}
void VelkoraServerApi::changePassword(const OptString& password, VelkoraCallback caller) {
    agent().changePassword(password, std::move(caller));
}
void VelkoraServerApi::bcSignUp(VelkoraCallback caller, const OptString& facebookId, const OptString& twitterId) {
    agent().bcSignUp(std::move(caller), facebookId, twitterId);
}
void VelkoraServerApi::setDeviceToken(const OptString& token) { agent().setDeviceToken(token); }

}  // namespace velkora
