#include "platform/services/facebook/Session.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/services/Device.h"
#include "platform/services/OutsideEndpoints.h"
#include "platform/services/SocialRequest.h"
#include "platform/ui/Application.h"

namespace velkora::services::facebook {

namespace {

std::string& appIdStorage() {
    static std::string appId;
    return appId;
}

std::shared_ptr<Session>& activeStorage() {
    static std::shared_ptr<Session> session;
    return session;
}

std::string joined(const std::vector<std::string>& list) {
    std::string out;
    for (const auto& item : list)
        out += (out.empty() ? "" : ",") + item;
    return out;
}

// "a=1&b=2" into its pairs, values percent-decoded.
std::vector<std::pair<std::string, std::string>> formPairs(const std::string& text) {
    std::vector<std::pair<std::string, std::string>> out;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t amp = text.find('&', pos);
        std::string item = text.substr(pos, amp == std::string::npos ? std::string::npos : amp - pos);
        size_t eq = item.find('=');
        std::string value = eq == std::string::npos ? "" : item.substr(eq + 1);
        std::string decoded;
        for (size_t i = 0; i < value.size(); ++i) {
            if (value[i] == '%' && i + 2 < value.size() && std::isxdigit(static_cast<unsigned char>(value[i + 1])) &&
                std::isxdigit(static_cast<unsigned char>(value[i + 2]))) {
                decoded += static_cast<char>(std::stoi(value.substr(i + 1, 2), nullptr, 16));
                i += 2;
            } else {
                decoded += value[i] == '+' ? ' ' : value[i];
            }
        }
        if (!item.empty()) out.emplace_back(item.substr(0, eq), decoded);
        if (amp == std::string::npos) break;
        pos = amp + 1;
    }
    return out;
}

std::string returnAddress() {
    return "fb" + Session::defaultAppID() + "://authorize";
}

// The log-in dialog's answer is a redirect to the application's return address; the dialog's page
// is fetched without following it, as the browser hands such an address to the application.
class DialogFetch : public foundation::UrlConnectionDelegate {
public:
    explicit DialogFetch(std::function<void(std::string location)> done) : done_(std::move(done)) {}
    void connectionDidReceiveResponse(foundation::UrlConnection&, const foundation::UrlResponse& r) override {
        location_ = r.statusCode / 100 == 3 ? r.header("Location") : "";
        body_.clear();
    }
    void connectionDidReceiveData(foundation::UrlConnection&, const uint8_t* data, size_t size) override {
        body_.append(reinterpret_cast<const char*>(data), size);
    }
    void connectionDidFinishLoading(foundation::UrlConnection&) override {
        if (location_.empty()) foundation::Log::line("Velkora (W) - Facebook log-in dialog refused: %@", body_);
        finish(location_);
    }
    void connectionDidFailWithError(foundation::UrlConnection&, const foundation::ErrorPtr& error) override {
        fail(error);
    }
    void fail(const foundation::ErrorPtr& error) {
        foundation::Log::line("Velkora (W) - Facebook log-in dialog failed: %@", error);
        finish({});
    }

private:
    void finish(const std::string& location) {
        if (auto done = std::move(done_)) done(location);
        done_ = nullptr;
    }
    std::function<void(std::string)> done_;
    std::string location_, body_;
};

} // namespace

TokenCachingStrategy& TokenCachingStrategy::defaultInstance() {
    static TokenCachingStrategy strategy;
    return strategy;
}

void TokenCachingStrategy::cacheTokenInformation(const foundation::Value& information) {
    foundation::UserDefaults::standard().setObject(information, kTokenInformationDefaultsKey);
    foundation::UserDefaults::standard().synchronize();
}

foundation::Value TokenCachingStrategy::fetchTokenInformation() const {
    return foundation::UserDefaults::standard().objectForKey(kTokenInformationDefaultsKey);
}

void TokenCachingStrategy::clearToken() {
    foundation::UserDefaults::standard().removeObjectForKey(kTokenInformationDefaultsKey);
    foundation::UserDefaults::standard().synchronize();
}

void Session::setDefaultAppID(std::string appId) {
    appIdStorage() = std::move(appId);
}

const std::string& Session::defaultAppID() {
    return appIdStorage();
}

std::shared_ptr<Session> Session::activeSession() {
    auto& active = activeStorage();
    if (!active) active = std::make_shared<Session>();
    return active;
}

void Session::setActiveSession(std::shared_ptr<Session> session) {
    activeStorage() = std::move(session);
}

void Session::resetForTests() {
    activeStorage().reset();
    appIdStorage().clear();
}

Session::Session(std::vector<std::string> permissions) : permissions_(std::move(permissions)) {
    foundation::Value cached = TokenCachingStrategy::defaultInstance().fetchTokenInformation();
    if (cached.isDictionary()) state_ = SessionStateCreatedTokenLoaded;
}

bool Session::openActiveSessionWithReadPermissions(std::vector<std::string> permissions, bool allowLoginUI,
                                                   StateHandler handler) {
    auto current = activeStorage();
    // A session that is open, or still logging in, keeps going; a closed one is replaced.
    auto session = current && (current->isOpen() || current->state_ == SessionStateCreatedOpening)
                       ? current
                       : std::make_shared<Session>(permissions);
    if (session->isOpen() || session->state_ == SessionStateCreatedOpening) {
        if (handler) session->handler_ = std::move(handler);
        if (session->isOpen() && session->handler_) session->handler_(*session, session->state_, nullptr);
        return session->isOpen();
    }
    session->permissions_ = std::move(permissions);
    session->handler_ = std::move(handler);
    if (session->openFromCache()) {
        setActiveSession(session);
        return true;
    }
    if (!allowLoginUI) return false;
    setActiveSession(session);
    session->startLogIn();
    return false;
}

bool Session::openFromCache() {
    foundation::Value cached = TokenCachingStrategy::defaultInstance().fetchTokenInformation();
    const foundation::Value* token = cached.get(kTokenInformationTokenKey);
    const foundation::Value* expires = cached.get(kTokenInformationExpirationDateKey);
    if (!token || !token->asString() || token->asString()->empty() || !expires) return false;
    double expiration = expires->toDouble().value_or(0);
    if (expiration <= foundation::RunLoop::main().now()) {
        // An expired token can open nothing; dropping it keeps the next run from trying again.
        TokenCachingStrategy::defaultInstance().clearToken();
        state_ = SessionStateCreated;
        return false;
    }
    accessToken_ = *token->asString();
    expirationDate_ = expiration;
    setState(SessionStateOpen);
    return true;
}

void Session::startLogIn() {
    setState(SessionStateCreatedOpening);
    std::string dialog = OutsideEndpoints::url(OutsideEndpoints::Service::FacebookGraph, "dialog/oauth") +
                         "?client_id=" + oauthPercentEncode(defaultAppID()) +
                         "&redirect_uri=" + oauthPercentEncode(returnAddress()) +
                         "&scope=" + oauthPercentEncode(joined(permissions_)) + "&response_type=token";
    // The dialog opens outside the application (the Facebook application or the browser).
    ui::Application::instance().openURL(dialog);
    auto self = shared_from_this();
    Device::instance().ask(Prompt::FacebookLogin, [self, dialog](bool approved) {
        auto user = Device::instance().facebookUser();
        if (!approved || !user) {
            ui::Application::instance().deliverOpenURL(
                returnAddress() + "#error=access_denied&error_reason=user_denied", "com.facebook.Facebook");
            return;
        }
        foundation::UrlRequest request = foundation::UrlRequest::get(
            dialog + "&user=" + oauthPercentEncode(user->userId) + "&password=" + oauthPercentEncode(user->password));
        request.followRedirects = false;
        auto fetch = std::make_shared<DialogFetch>([](std::string location) {
            if (location.empty()) location = returnAddress() + "#error=server_error";
            ui::Application::instance().deliverOpenURL(location, "com.facebook.Facebook");
        });
        foundation::ErrorPtr whyNot;
        if (!foundation::UrlConnection::start(std::move(request), fetch, &whyNot)) fetch->fail(whyNot);
    });
}

bool Session::handleOpenURL(const std::string& url) {
    std::string prefix = returnAddress();
    if (state_ != SessionStateCreatedOpening || url.compare(0, prefix.size(), prefix) != 0) return false;
    std::string rest = url.substr(prefix.size());
    if (!rest.empty() && rest[0] != '#' && rest[0] != '?') return false;
    finishLogIn(rest.empty() ? "" : rest.substr(1));
    return true;
}

void Session::finishLogIn(const std::string& fragment) {
    std::string token, error;
    double expiresIn = 0;
    for (const auto& [key, value] : formPairs(fragment)) {
        if (key == "access_token") token = value;
        if (key == "expires_in") expiresIn = std::atof(value.c_str());
        if (key == "error") error = value;
    }
    if (token.empty()) {
        foundation::Dictionary info{{"com.facebook.sdk:ErrorLoginFailedReason",
                                     error.empty() ? std::string("com.facebook.sdk:UserLoginCancelled") : error}};
        setState(SessionStateClosedLoginFailed, foundation::makeError(kErrorDomain, kErrorLoginFailed, info));
        return;
    }
    double now = foundation::RunLoop::main().now();
    accessToken_ = token;
    expirationDate_ = now + (expiresIn > 0 ? expiresIn : 60 * 24 * 3600);
    foundation::Array permissions;
    for (const auto& p : permissions_)
        permissions.emplace_back(p);
    TokenCachingStrategy::defaultInstance().cacheTokenInformation(
        foundation::Dictionary{{kTokenInformationTokenKey, accessToken_},
                               {kTokenInformationExpirationDateKey, expirationDate_},
                               {kTokenInformationRefreshDateKey, now},
                               {kTokenInformationPermissionsKey, permissions}});
    setState(SessionStateOpen);
}

void Session::close() {
    if (state_ == SessionStateClosed || state_ == SessionStateClosedLoginFailed) return;
    accessToken_.clear();
    setState(SessionStateClosed);
}

void Session::closeAndClearTokenInformation() {
    TokenCachingStrategy::defaultInstance().clearToken();
    close();
}

void Session::setState(int state, const foundation::ErrorPtr& error) {
    state_ = state;
    if (state == SessionStateCreatedOpening) return;
    // The handler may close the session or replace itself; it runs on its own copy.
    if (auto handler = handler_) handler(*this, state, error);
}

} // namespace velkora::services::facebook
