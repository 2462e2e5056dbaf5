// The Facebook client library a host links: the session that logs the person in through the Facebook
// log-in dialog (the device's signed-in Facebook user approves it in a prompt), receives the token
// through the application's "fb<appId>://authorize#access_token=..." return address, and keeps it in
// the user defaults so that a later run opens without asking.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"

namespace velkora::services::facebook {

enum SessionState : int {
    SessionStateCreated = 0,
    SessionStateCreatedTokenLoaded = 1,
    SessionStateCreatedOpening = 2,
    SessionStateOpen = 513,
    SessionStateOpenTokenExtended = 514,
    SessionStateClosedLoginFailed = 257,
    SessionStateClosed = 258,
};

// The library's error domain; log-in failures carry code 2, graph failures code 5.
inline constexpr const char* kErrorDomain = "com.facebook.sdk";
inline constexpr int kErrorLoginFailed = 2;
inline constexpr int kErrorHttpError = 5;

// The user-defaults key of the cached token, and the keys of its dictionary.
inline constexpr const char* kTokenInformationDefaultsKey = "FBAccessTokenInformationKey";
inline constexpr const char* kTokenInformationTokenKey = "com.facebook.sdk:TokenInformationTokenKey";
inline constexpr const char* kTokenInformationExpirationDateKey = "com.facebook.sdk:TokenInformationExpirationDateKey";
inline constexpr const char* kTokenInformationRefreshDateKey = "com.facebook.sdk:TokenInformationRefreshDateKey";
inline constexpr const char* kTokenInformationPermissionsKey = "com.facebook.sdk:TokenInformationPermissionsKey";

// Where the token lives between runs.
class TokenCachingStrategy {
public:
    static TokenCachingStrategy& defaultInstance();
    // A dictionary with the token (text), the expiration and refresh dates (seconds since 1970) and
    // the permissions (array of texts).
    void cacheTokenInformation(const foundation::Value& information);
    foundation::Value fetchTokenInformation() const;
    void clearToken();
};

class Session : public std::enable_shared_from_this<Session> {
public:
    using StateHandler = std::function<void(Session& session, int state, const foundation::ErrorPtr& error)>;

    // The application id the log-in dialog is for; the host declares it (its "fb<appId>" URL scheme).
    static void setDefaultAppID(std::string appId);
    static const std::string& defaultAppID();

    static std::shared_ptr<Session> activeSession();
    static void setActiveSession(std::shared_ptr<Session> session);

    // Opens the active session: at once from a cached token that has not expired (answers true);
    // otherwise, when log-in interface is allowed, through the log-in dialog (answers false and reports
    // 513 or 257 to the handler later); otherwise answers false and nothing happens.
    static bool openActiveSessionWithReadPermissions(std::vector<std::string> permissions, bool allowLoginUI,
                                                     StateHandler handler);

    explicit Session(std::vector<std::string> permissions = {});

    int state() const { return state_; }
    bool isOpen() const { return state_ == SessionStateOpen || state_ == SessionStateOpenTokenExtended; }
    const std::string& accessToken() const { return accessToken_; }
    double expirationDate() const { return expirationDate_; }
    const std::vector<std::string>& permissions() const { return permissions_; }

    // The return address of the log-in dialog: opens the session (or fails its log-in). False for an
    // address that is not this application's log-in answer or when no log-in is waiting for one.
    bool handleOpenURL(const std::string& url);

    void close();
    void closeAndClearTokenInformation();

    // Forgets the active session and the application id; for tests.
    static void resetForTests();

private:
    bool openFromCache();
    void startLogIn();
    void finishLogIn(const std::string& url);
    void setState(int state, const foundation::ErrorPtr& error = nullptr);

    int state_ = SessionStateCreated;
    std::vector<std::string> permissions_;
    std::string accessToken_;
    double expirationDate_ = 0;
    StateHandler handler_;
};

} // namespace velkora::services::facebook
