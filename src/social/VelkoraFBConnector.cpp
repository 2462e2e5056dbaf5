#include "social/VelkoraFBConnector.h"

#include <charconv>
#include <cmath>
#include <utility>

#include "data/VelkoraAppData.h"
#include "data/VelkoraAppSettings.h"
#include "data/VelkoraSessionRecords.h"
#include "data/VelkoraUserInfo.h"
#include "data/VelkoraUserInternal.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/services/OutsideEndpoints.h"
#include "platform/services/facebook/Dialogs.h"
#include "platform/services/facebook/Request.h"
#include "platform/services/facebook/Session.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Application.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "social/VelkoraIdentityFields.h"
#include "social/VelkoraSocialDetails.h"

namespace velkora {

using foundation::Log;
using foundation::Value;
namespace fb = services::facebook;

namespace {

const std::vector<std::string> kReadPermissions = {"user_location", "user_birthday", "user_photos"};
constexpr int kExpiredTokenCode = 190;

// Days from 1970-01-01 to a civil date (proleptic Gregorian).
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool readNumber(std::string_view text, int& out) {
    if (text.empty()) return false;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc() && end == text.data() + text.size();
}

// The graph's own error code of a failed request, or 0.
int64_t graphErrorCode(const foundation::ErrorPtr& error) {
    if (!error) return 0;
    const Value* parsed = error->userInfo.get(fb::kErrorParsedJSONKey);
    if (!parsed) return 0;
    for (const Value* v : {parsed->get("error"), parsed->get("body") ? (*parsed)["body"].get("error") : nullptr})
        if (v)
            if (const Value* code = v->get("code")) return code->int64Or(0);
    return 0;
}

} // namespace

std::string VelkoraFBConnector::maskTokens(std::string text) {
    // "access_token=VALUE" in addresses and "access_token" : "VALUE" in dictionaries' descriptions.
    static constexpr std::string_view kKey = "access_token";
    size_t at = 0;
    while ((at = text.find(kKey, at)) != std::string::npos) {
        size_t start = at + kKey.size();
        while (start < text.size() &&
               (text[start] == '"' || text[start] == ' ' || text[start] == '=' || text[start] == ':'))
            ++start;
        size_t end = start;
        while (end < text.size() && text[end] != '&' && text[end] != '#' && text[end] != '"' && text[end] != ';' &&
               text[end] != ',' && text[end] != ' ' && text[end] != '\n' && text[end] != '}')
            ++end;
        if (end > start) text.replace(start, end - start, "<masked>");
        at = start;
    }
    return text;
}

std::optional<std::string> VelkoraFBUser::getPhoto(int, int) const {
    return services::OutsideEndpoints::url(services::OutsideEndpoints::Service::FacebookGraph,
                                           foundation::format("/%lld/picture?width=180&height=180", fbId_));
}

std::shared_ptr<VelkoraFBConnector> VelkoraFBConnector::create() {
    auto c = std::shared_ptr<VelkoraFBConnector>(new VelkoraFBConnector());
    auto appId = VelkoraAppSettings::facebookAppId();
    if (appId && !appId->empty())
        Log::line("Velkora - Init FB with fbAppId=%@", *appId);
    else
        Log::line(
            "Velkora - Facebook App Id is not set in Application plist - Facebook connectivity is not enabled !!");
    auto& defaults = foundation::UserDefaults::standard();
    Value token = defaults.objectForKey("FBAccessTokenKey");
    Value expiry = defaults.objectForKey("FBExpirationDateKey");
    const double now = foundation::RunLoop::main().now();
    if (token.isString() && expiry.toDouble() && *expiry.toDouble() > now) {
        fb::TokenCachingStrategy::defaultInstance().cacheTokenInformation(
            Value(foundation::Dictionary{{fb::kTokenInformationTokenKey, token},
                                         {fb::kTokenInformationExpirationDateKey, Value(*expiry.toDouble())},
                                         {fb::kTokenInformationRefreshDateKey, Value(now)}}));
        std::weak_ptr<VelkoraFBConnector> weak = c;
        fb::Session::openActiveSessionWithReadPermissions({}, false, [weak](fb::Session& s, int state, auto error) {
            if (auto self = weak.lock()) self->sessionStateChanged(s, state, error);
        });
    }
    return c;
}

VelkoraFBConnector::~VelkoraFBConnector() {
    stopPoll();
}

bool VelkoraFBConnector::isFacebookEnabled() {
    auto appData = VelkoraSessionRecords::current().getAppData();
    auto appId = VelkoraAppSettings::facebookAppId();
    return appData && appData->enableFacebook() && appId && !appId->empty();
}

bool VelkoraFBConnector::isConnected() const {
    auto session = fb::Session::activeSession();
    return session && session->isOpen();
}

void VelkoraFBConnector::removeDelegate(const void* object) {
    if (object && userDelegate_.target() == object) userDelegate_.clear();
}

void VelkoraFBConnector::openSession() {
    std::weak_ptr<VelkoraFBConnector> weak = shared_from_this();
    fb::Session::openActiveSessionWithReadPermissions(kReadPermissions, true,
                                                      [weak](fb::Session& s, int state, const foundation::ErrorPtr& e) {
                                                          if (auto self = weak.lock())
                                                              self->sessionStateChanged(s, state, e);
                                                      });
}

bool VelkoraFBConnector::connectWithDelegate(VelkoraConnectorTarget target) {
    userDelegate_ = std::move(target);
    meRequested_ = false;
    if (isConnected()) {
        getUserDetails();
        return true;
    }
    stopPoll();
    std::weak_ptr<VelkoraFBConnector> weak = shared_from_this();
    didLoginCheckTimer_ = foundation::Timer::scheduled(kLoginPollInterval, true, [weak](foundation::Timer&) {
        if (auto self = weak.lock()) self->checkIfUserLoggedIn();
    });
    didLoginTimerStartTime_ = foundation::RunLoop::main().now();
    openSession();
    return false;
}

void VelkoraFBConnector::stopPoll() {
    if (didLoginCheckTimer_) didLoginCheckTimer_->invalidate();
    didLoginCheckTimer_.reset();
}

void VelkoraFBConnector::checkIfUserLoggedIn() {
    const double elapsed = foundation::RunLoop::main().now() - didLoginTimerStartTime_;
    if (isConnected()) {
        Log::line("Velkora - Is login after %f", elapsed);
        stopPoll();
        // The target waits for "me", not for a null: ask for it unless the state change did.
        if (!meRequested_) getUserDetails();
        return;
    }
    if (elapsed > kLoginPollLimit) {
        // Given up: the caller waiting for this log-in hears it failed, or its spinner and buttons would
        // wait for ever. A session that opens later still reaches the state handler.
        stopPoll();
        auto target = std::exchange(userDelegate_, {});
        target.perform(Value());
    }
}

void VelkoraFBConnector::sessionStateChanged(fb::Session&, int state, const foundation::ErrorPtr& error) {
    if (state == fb::SessionStateClosedLoginFailed || state == fb::SessionStateClosed) {
        // The waiting target is taken first: closing reports 258 back here, and the target may start
        // another log-in from its answer, whose target must not hear this one's failure.
        auto target = std::exchange(userDelegate_, {});
        stopPoll();
        if (auto session = fb::Session::activeSession()) session->closeAndClearTokenInformation();
        target.perform(Value());
    } else if (state == fb::SessionStateOpen) {
        stopPoll();
        if (!meRequested_) getUserDetails();
    }
    if (error) showErrorAlert(error);
}

void VelkoraFBConnector::showErrorAlert(const foundation::ErrorPtr& error) {
    std::string message = error->userInfo["NSLocalizedDescription"].textOr("");
    if (message.empty()) message = maskTokens(error->description());
    ui::AlertView::create("Error", message, {}, std::string("OK"))->show();
}

void VelkoraFBConnector::connectionFailed(const foundation::ErrorPtr& error, bool closeSession) {
    // Taken before the session closes: its 258 comes back through the state handler, which must find
    // no one waiting, and a target that tries again from its answer waits for its own outcome.
    auto target = std::exchange(userDelegate_, {});
    if (closeSession)
        if (auto session = fb::Session::activeSession()) session->closeAndClearTokenInformation();
    target.perform(Value());
    if (error) showErrorAlert(error);
}

void VelkoraFBConnector::getUserDetails() {
    meRequested_ = true;
    if (!isConnected()) openSession();
    std::weak_ptr<VelkoraFBConnector> weak = shared_from_this();
    fb::Request::requestForMe()->startWithCompletionHandler([weak](const Value& result,
                                                                   const foundation::ErrorPtr& error) {
        auto self = weak.lock();
        if (!self) return;
        Log::line("Velkora - getUserDetails: FB response: %@", maskTokens(result.description()));
        if (error || !people::idIn(result)) {
            // An expired token (190) cannot be used again: the session closes and forgets it.
            return self->connectionFailed(error ? error : foundation::makeError(fb::kErrorDomain, fb::kErrorHttpError),
                                          graphErrorCode(error) == kExpiredTokenCode);
        }
        self->updateUserInfoWithFBLogin(result);
        // A caller that asked and went away meanwhile takes nothing: the record gets back what it held.
        auto target = std::exchange(self->userDelegate_, {});
        const bool asked = target.target() != nullptr;
        if (!target.perform(result) && asked) VelkoraIdentityFields::putBackReplaced(2, *people::idIn(result));
    });
}

void VelkoraFBConnector::updateUserInfoWithFBLogin(const Value& me) {
    auto& agent = VelkoraSessionRecords::current();
    auto info = agent.getUserInfo();
    auto id = people::idIn(me);
    if (!info || !id) return;
    VelkoraIdentityFields::rememberReplaced(2, *id, VelkoraIdentityFields::of(*info));
    info->setFbId(*id);
    info->setFbFirstName(people::textIn(me, "first_name"));
    info->setFbLastName(people::textIn(me, "last_name"));
    const Value* location = me.get("location");
    info->setFbLocation(location ? people::textIn(*location, "name") : std::nullopt);
    info->setFbPhoto(std::string(VelkoraUserInternal::kFacebookPhotoMarker));
    agent.saveUserInfo();
}

bool VelkoraFBConnector::handleOpenURL(const std::string& url) {
    const auto colon = url.find(':');
    const std::string scheme = colon == std::string::npos ? std::string() : url.substr(0, colon);
    Log::line("Velkora - Handling url from facebook %@, %@", maskTokens(url), scheme);
    auto session = fb::Session::activeSession();
    return session && session->handleOpenURL(url);
}

std::optional<int32_t> VelkoraFBConnector::ageFromBirthday(const std::string& birthday, foundation::Date now) {
    if (birthday.size() != 10 || birthday[2] != '/' || birthday[5] != '/') return std::nullopt;
    int month = 0, day = 0, year = 0;
    std::string_view b(birthday);
    if (!readNumber(b.substr(0, 2), month) || !readNumber(b.substr(3, 2), day) || !readNumber(b.substr(6, 4), year))
        return std::nullopt;
    static constexpr int kDaysIn[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > kDaysIn[month - 1]) return std::nullopt;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month == 2 && day == 29 && !leap) return std::nullopt;
    if (!std::isfinite(now)) return std::nullopt;
    const double born = static_cast<double>(daysFromCivil(year, month, day)) * 86400.0;
    const double days = std::trunc((now - born) / 86400.0);
    return static_cast<int32_t>(std::trunc(days / 365.0));
}

void VelkoraFBConnector::updateUserWithFBDetails(const std::shared_ptr<VelkoraUserInternal>& user, const Value& details,
                                                 bool justUid) {
    if (!user) {
        Log::line("Velkora - --- updateUserWithFBDetails. User is null!!!");
        return;
    }
    user->setFacebookId(people::idIn(details).value_or(0));
    if (justUid) return;
    user->setFirstName(people::textIn(details, "first_name"));
    user->setLastName(people::textIn(details, "last_name"));
    user->setGender(people::textIn(details, "gender"));
    user->setUserPhotoUrl(std::string(VelkoraUserInternal::kFacebookPhotoMarker));
    if (auto birthday = people::textIn(details, "birthday"))
        if (auto age = ageFromBirthday(*birthday, foundation::RunLoop::main().now())) user->setAge(*age);
    const Value* location = details.get("location");
    user->setCity(location ? people::textIn(*location, "name") : std::nullopt);
    user->setState(std::string());
}

void VelkoraFBConnector::getUserFriendsWithDelegate(VelkoraConnectorTarget target, int32_t offset) {
    if (!isConnected()) openSession();
    std::weak_ptr<VelkoraFBConnector> weak = shared_from_this();
    fb::Request::requestForGraphPath(foundation::format("me/friends?limit=%d&offset=%d", kFriendsPageSize, offset))
        ->startWithCompletionHandler([weak, target, offset](const Value& result, const foundation::ErrorPtr& error) {
            auto self = weak.lock();
            if (!self) return;
            Log::line("Velkora - getUserFriendsWithDelegate: FB response: %@", maskTokens(result.description()));
            const Value* data = error ? nullptr : result.get("data");
            if (!data || !data->isArray()) {
                target.performPage(Value(), false);
                return;
            }
            const bool hasMore = !data->asArray()->empty();
            target.performPage(result, hasMore);
            // A caller that went away hears no more pages, so none is asked for.
            if (hasMore && target.isWaiting()) self->getUserFriendsWithDelegate(target, offset + kFriendsPageSize);
        });
}

std::vector<Value> VelkoraFBConnector::retrieveFriendsIds(const Value& page) {
    std::vector<Value> ids;
    if (const auto* data = page["data"].asArray())
        for (const auto& f : *data)
            if (const Value* id = f.get("id")) ids.push_back(*id);
    return ids;
}

std::vector<std::shared_ptr<VelkoraFBUser>> VelkoraFBConnector::retrieveFriendsFBUsers(const Value& page) {
    std::vector<std::shared_ptr<VelkoraFBUser>> users;
    if (const auto* data = page["data"].asArray())
        for (const auto& f : *data) {
            auto u = std::make_shared<VelkoraFBUser>();
            u->setFbId(people::idIn(f).value_or(0));
            u->setName(people::textIn(f, "name"));
            users.push_back(std::move(u));
        }
    return users;
}

void VelkoraFBConnector::present(const FeedParameters& parameters, std::function<void(bool)> completion,
                                 const char* errorLine) {
    if (fb::WebDialogs::isAvailable()) {
        fb::WebDialogs::presentFeedDialogModallyWithSession(
            nullptr, parameters,
            [completion, errorLine](int result, const std::string& resultURL, const foundation::ErrorPtr& e) {
                if (e) Log::line(errorLine, e);
                // The dialog also "completes" when the person cancels it; only a post id says it posted.
                const bool posted = resultURL.find("post_id=") != std::string::npos;
                if (completion) completion(!e && result == fb::WebDialogResultDialogCompleted && posted);
            });
        return;
    }
    if (fb::NativeDialogs::isAvailable()) {
        std::string description, link;
        for (const auto& [k, v] : parameters) {
            if (k == "description") description = v;
            if (k == "link") link = v;
        }
        ui::ViewController* presenter = nullptr;
        if (auto* window = ui::Application::instance().keyWindow()) presenter = window->rootViewController().get();
        const bool shown = fb::NativeDialogs::presentShareDialogModallyFrom(
            presenter, description, nullptr, link, [completion, errorLine](int result, const foundation::ErrorPtr& e) {
                if (e) Log::line(errorLine, e);
                if (completion) completion(!e && result == fb::NativeDialogResultSucceeded);
            });
        if (!shown && completion) completion(false);
    }
}

void VelkoraFBConnector::postToWall(const FeedParameters& parameters, std::function<void(bool)> completion) {
    std::string shown;
    for (const auto& [k, v] : parameters)
        shown += (shown.empty() ? "" : ", ") + k + " = " + v;
    Log::line("Velkora - postTowall = %@", "{" + shown + "}");
    present(parameters, std::move(completion), "Velkora - Error Posting to Wall %@");
}

VelkoraFBConnector::FeedParameters VelkoraFBConnector::invitationParameters() {
    return {{"name", VelkoraAppSettings::facebookInviteTitle().value_or("")},
            {"link", VelkoraAppSettings::facebookInviteTitleLink().value_or("")},
            {"description", VelkoraAppSettings::facebookInviteDescription().value_or("")},
            {"picture", VelkoraAppSettings::facebookInvitePictureLink().value_or("")}};
}

void VelkoraFBConnector::inviteByPostOnWall(std::function<void(bool)> completion) {
    postToWall(invitationParameters(), std::move(completion));
}

void VelkoraFBConnector::inviteByPostFriendWall(int64_t friendId, std::function<void(bool)> completion) {
    FeedParameters parameters{{"to", foundation::format("%lld", friendId)}};
    for (auto& p : invitationParameters())
        parameters.push_back(std::move(p));
    present(parameters, std::move(completion), "Velkora - Error Posting to Friend Wall %@");
}

} // namespace velkora
