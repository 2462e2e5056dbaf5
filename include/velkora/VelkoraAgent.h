// The kit's older interface: its start calls look the host's key window up and put the sidebar in it
// themselves. Calls and blocks run on the main loop's thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "velkora/Export.h"
#include "velkora/Velkora.h"

namespace velkora {

class VELKORA_EXPORT VelkoraAgent {
public:
    VelkoraAgent() = delete;

    // Starts the kit in the key window (waiting for one that is not an alert window), after `delay`
    // seconds when given; `completion` runs as for Velkora::initWithAppId.
    static void startSession(const std::string& appId, const std::shared_ptr<VelkoraLocationManager>& manager);
    static void startSession(const std::string& appId, const std::shared_ptr<VelkoraLocationManager>& manager,
                             float delay);
    static void startSession(const std::string& appId, const std::shared_ptr<VelkoraLocationManager>& manager,
                             VelkoraCompletion completion);
    static void startSession(const std::string& appId, const std::shared_ptr<VelkoraLocationManager>& manager,
                             float delay, VelkoraCompletion completion);
    static void setTestMode(bool testMode);
    static void setCustomImageFetcher(const std::shared_ptr<VelkoraCustomImageFetcher>& fetcher);

    static void openSidebar();
    static void closeSidebar();
    static void pauseSwipe();
    static void resumeSwipe();
    // Whether a swipe opens the sidebar.
    static bool isSwipeEnalbed();
    static void setVelkoraActivationButtonType(unsigned type);
    static std::shared_ptr<VelkoraButton> velkoraActivationButtonOpensToLeft(bool toLeft);
    static std::shared_ptr<VelkoraBarItem> velkoraActivationBarItem();

    static void didRegisterForRemoteNotificationsWithDeviceToken(const std::vector<std::uint8_t>& deviceToken);
    static void didFailToRegisterForRemoteNotificationsWithError(const std::string& error);
    static void didReceiveRemoteNotification(const VelkoraNotificationInfo& payload);
    static bool handleOpenURL(const std::string& url);
    static void connectFacebook();
    static void disconnectFacebook();
    static void postToFacebookWall(const std::string& text);

    static void postToFeed(const std::string& text);
    static void postToFeedWithLink(const std::string& text, const std::optional<std::string>& link);
    static void postToFeedWithImage(const std::string& text, const std::optional<std::string>& imageUrl,
                                    const std::optional<std::string>& description,
                                    const std::optional<std::string>& subDescription,
                                    const std::optional<std::string>& actionVerb,
                                    const std::optional<std::string>& actionId);
    // Reported with the empty level.
    static void setUserScore(std::int32_t score);

    // False before the kit has a current user, and for an anonymous one.
    static bool isUserLoggedIn();
    // None before the kit has a current user.
    static std::optional<std::string> getUserId();

    static bool isPopInAdsEnabled();
    static void showPopInAdNow();
    static void disablePopInAds(bool disable);
    static void disableSideBarAds(bool disable);
};

} // namespace velkora
