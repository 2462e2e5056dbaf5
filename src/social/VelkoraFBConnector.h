// The Facebook connector: log-in through the Facebook library, the user's "me", friends, wall posts and
// invitations. The library answers on the main run loop; the connector's targets are called there.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Value.h"
#include "social/VelkoraConnectorTarget.h"
#include "social/VelkoraSocialNetworkUser.h"

namespace velkora {

class VelkoraUserInternal;
namespace services::facebook {
class Session;
}

class VelkoraFBUser : public VelkoraSocialNetworkUser {
public:
    // The graph's picture of the user over HTTPS, whatever size is asked.
    std::optional<std::string> getPhoto(int width, int height) const override;
    std::string fullName() const override { return name_.value_or(""); }

    const std::optional<std::string>& firstName() const { return firstName_; }
    void setFirstName(std::optional<std::string> v) { firstName_ = std::move(v); }
    const std::optional<std::string>& lastName() const { return lastName_; }
    void setLastName(std::optional<std::string> v) { lastName_ = std::move(v); }
    const std::optional<std::string>& name() const { return name_; }
    void setName(std::optional<std::string> v) { name_ = std::move(v); }
    int64_t fbId() const { return fbId_; }
    void setFbId(int64_t v) { fbId_ = v; }

private:
    std::optional<std::string> firstName_, lastName_, name_;
    int64_t fbId_ = 0;
};

class VelkoraFBConnector : public std::enable_shared_from_this<VelkoraFBConnector> {
public:
    static constexpr int kFriendsPageSize = 5000;
    static constexpr double kLoginPollInterval = 1.0;
    static constexpr double kLoginPollLimit = 180.0;

    // Imports an older token kept in the standard user defaults when it has not expired.
    static std::shared_ptr<VelkoraFBConnector> create();
    ~VelkoraFBConnector();

    static bool isFacebookEnabled();
    bool isConnected() const;
    // The target gets "me" once, or null once when the log-in or "me" fails; YES when the session was
    // open already.
    bool connectWithDelegate(VelkoraConnectorTarget target);
    void removeDelegate(const void* object);
    bool handleOpenURL(const std::string& url);

    static void updateUserWithFBDetails(const std::shared_ptr<VelkoraUserInternal>& user,
                                        const foundation::Value& details, bool justUid);
    // Whole years of 365 days from a "MM/dd/yyyy" birthday (midnight UTC) to now; none when the text is
    // not such a date.
    static std::optional<int32_t> ageFromBirthday(const std::string& birthday, foundation::Date now);
    // Fills the record's Facebook values from a "me" holding "id", in one save.
    void updateUserInfoWithFBLogin(const foundation::Value& me);

    // Pages of 5000 friends from the offset to the empty page; a failed request ends with a null page.
    void getUserFriendsWithDelegate(VelkoraConnectorTarget target, int32_t offset = 0);
    static std::vector<foundation::Value> retrieveFriendsIds(const foundation::Value& page);
    static std::vector<std::shared_ptr<VelkoraFBUser>> retrieveFriendsFBUsers(const foundation::Value& page);

    using FeedParameters = std::vector<std::pair<std::string, std::string>>;
    // The feed dialog, else the native share dialog; neither: nothing happens, the completion is not called.
    void postToWall(const FeedParameters& parameters, std::function<void(bool)> completion);
    void inviteByPostOnWall(std::function<void(bool)> completion);
    void inviteByPostFriendWall(int64_t friendId, std::function<void(bool)> completion);

    // A text for the log with every access token's value masked.
    static std::string maskTokens(std::string text);

    const VelkoraConnectorTarget& userDelegate() const { return userDelegate_; }
    bool isPolling() const { return static_cast<bool>(didLoginCheckTimer_); }

private:
    VelkoraFBConnector() = default;
    static FeedParameters invitationParameters();
    void present(const FeedParameters& parameters, std::function<void(bool)> completion, const char* errorLine);
    void openSession();
    void checkIfUserLoggedIn();
    void stopPoll();
    void sessionStateChanged(services::facebook::Session& session, int state, const foundation::ErrorPtr& error);
    void getUserDetails();
    // The one answer of a failed connection: null to the waiting target and the "Error" alert.
    void connectionFailed(const foundation::ErrorPtr& error, bool closeSession);
    static void showErrorAlert(const foundation::ErrorPtr& error);

    VelkoraConnectorTarget userDelegate_;
    std::shared_ptr<foundation::Timer> didLoginCheckTimer_;
    foundation::Date didLoginTimerStartTime_ = 0;
    bool meRequested_ = false;
};

} // namespace velkora
