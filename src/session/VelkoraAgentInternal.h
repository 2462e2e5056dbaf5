// The session object: one per process, owning the local user record, the application configuration and
// the current user. Start-up, the feature screens and the session's other duties grow on it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"

namespace velkora {

class VelkoraUserInfo;
class VelkoraAppData;
class VelkoraUserInternal;
class VelkoraStyleSheetProtocol;
class VelkoraActivationGesturesHandler;
class VelkoraImageFetcher;
class VelkoraTwitterConnector;
class VelkoraFBConnector;

class VelkoraAgentInternal {
public:
    static VelkoraAgentInternal& instance();
    // The configuration held by the shared object.
    static std::shared_ptr<VelkoraAppData> appDataOfInstance();

    // The local user record: loaded or created once per process.
    void initUserInfo(const std::string& appId);
    std::shared_ptr<VelkoraUserInfo> getUserInfo() const { return userInfo_; }
    std::shared_ptr<VelkoraUserInfo> userInfo() const { return userInfo_; }
    void setUserInfo(std::shared_ptr<VelkoraUserInfo> info) { userInfo_ = std::move(info); }
    // Writes the record; a failed write is logged and leaves the previous file as it was.
    bool saveUserInfo();
    void createVelkoraUserFromUserData();
    // Starts over with another user id (the device id when none).
    void resetUserInfoWithUserId(const std::optional<std::string>& userId);
    // What the server client does when the user changes (takes the new id, asks for the user's data); it
    // runs after the record is saved and before "VelkoraDidResetUser" is posted.
    void setUserResetHandler(std::function<void(const std::optional<std::string>&)> handler) {
        onUserReset_ = std::move(handler);
    }

    // The application configuration: loaded or created once per process.
    void initAppData(const std::string& appId);
    std::shared_ptr<VelkoraAppData> getAppData() const { return appData_; }
    std::shared_ptr<VelkoraAppData> appData() const { return appData_; }
    void setAppData(std::shared_ptr<VelkoraAppData> data) { appData_ = std::move(data); }
    bool saveAppData();

    std::shared_ptr<VelkoraUserInternal> velkoraUser() const { return velkoraUser_; }
    void setVelkoraUser(std::shared_ptr<VelkoraUserInternal> user) { velkoraUser_ = std::move(user); }
    // The host's style sheet, handed to the customizer every view asks while it is made.
    void setCustomStyleSheet(std::shared_ptr<VelkoraStyleSheetProtocol> sheet);

    // The host's own image fetcher, or null; every picture load asks it first.
    std::shared_ptr<VelkoraImageFetcher> imageFetcher() const { return imageFetcher_; }
    void setImageFetcher(std::shared_ptr<VelkoraImageFetcher> fetcher) { imageFetcher_ = std::move(fetcher); }
    // ---- What the feature screens read
    // The activation ribbon's style (0 to 3) and the name of its image.
    uint32_t activationButtonType() const { return activationButtonType_; }
    void setActivationButtonType(uint32_t type) { activationButtonType_ = type; }
    std::string getActivationButtonImageString() const;
    // Loads a feature's data ahead of its screen (0 feed, 1 inbox, 2 chat rooms, 103 quizzes); the
    // completion runs once the data is there, and the feature's badge is announced from then on.
    void preloadFeature(int32_t featureId, std::function<void()> completion);
    void markFeatureForPreload(int32_t featureId, std::function<void()> completion);
    bool isFeaturePreloaded(int32_t featureId) const;
    // 0 unless the feature was preloaded.
    int32_t getFeatureBadgeNumber(uint32_t featureId) const;
    // Posts "VelkoraBadgeNumberChangedNotification" with the feature's "tabId" and "tabName".
    void sendBadgeNumberChangeNotificationForFeature(uint32_t featureId);
    // The sidebar's gestures; none until the sidebar is installed.
    std::shared_ptr<VelkoraActivationGesturesHandler> gesturesHandler() const { return gesturesHandler_; }
    void setGesturesHandler(std::shared_ptr<VelkoraActivationGesturesHandler> h) { gesturesHandler_ = std::move(h); }

    // ---- The social networks' connectors: made once by start-up, handed out to the screens.
    std::shared_ptr<VelkoraTwitterConnector> twitterConnector() const { return twitterConnector_; }
    std::shared_ptr<VelkoraFBConnector> fbConnector() const { return fbConnector_; }
    void initTwitterConnector();
    void initFacebookConnector();

    bool testMode() const { return testMode_; }
    void setTestMode(bool on) { testMode_ = on; }

    static constexpr const char* kUserInfoFile = "persist_velkora_user_info.dat";
    static constexpr const char* kOldUserInfoFile = "user_info.dat";
    static constexpr const char* kAppDataFile = "persist_velkora_app_data.dat";
    static constexpr const char* kOldAppDataFile = "app_data.dat";

    // Push registration, as the host's application delegate forwards it: the token goes to the service as
    // Base64 text; a refusal is only logged.
    static void didRegisterForRemoteNotificationsWithDeviceToken(const std::vector<uint8_t>& deviceToken);
    static void didFailToRegisterForRemoteNotificationsWithError(const foundation::ErrorPtr& error);

    // A fresh session object, for tests that start the kit more than once in one process.
    static void resetForTests();

private:
    VelkoraAgentInternal() = default;

    std::shared_ptr<VelkoraUserInfo> userInfo_;
    std::shared_ptr<VelkoraAppData> appData_;
    std::shared_ptr<VelkoraUserInternal> velkoraUser_;
    std::shared_ptr<VelkoraImageFetcher> imageFetcher_;
    bool testMode_ = false;
    std::function<void(const std::optional<std::string>&)> onUserReset_;
    uint32_t activationButtonType_ = 0;
    std::shared_ptr<VelkoraActivationGesturesHandler> gesturesHandler_;
    std::shared_ptr<VelkoraTwitterConnector> twitterConnector_;
    std::shared_ptr<VelkoraFBConnector> fbConnector_;
    struct FeaturePreloads;
    std::shared_ptr<FeaturePreloads> preloads_;
    FeaturePreloads& preloads();
    void featureLoaded(int32_t featureId, const char* notificationName);
};

} // namespace velkora
