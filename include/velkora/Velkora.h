// The kit's main interface for a host application. Every call is made on the main loop's thread
// (VelkoraMainLoop.h) and every block it takes runs there. Navigation and tab-bar controllers, windows and
// views are the host's own (VelkoraHost.h).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "velkora/Export.h"
#include "velkora/VelkoraHost.h"
#include "velkora/VelkoraMessage.h"
#include "velkora/VelkoraNotifications.h"
#include "velkora/VelkoraStyleSheet.h"

namespace velkora {

using VelkoraCompletion = std::function<void()>;
using VelkoraNavigation = std::shared_ptr<VelkoraNavigationController>;

class VELKORA_EXPORT Velkora {
public:
    Velkora() = delete;

    // ---- Start and set-up
    // Starts the kit for the application. "VelkoraIsReady" is posted at once; `completion` runs once, when
    // the configuration and the user's data are both in (a later call starts a new round and its block runs
    // at that round's end). An empty id is refused with an error line. While the service (VelkoraHost.h says
    // how to name it) cannot be reached, one error line says so, the kit asks again every 15 seconds and
    // the block waits: it never runs without the configuration and the user's data. A host that must go
    // on without them puts its own deadline on the wait.
    static void initWithAppId(const std::string& appId, VelkoraCompletion completion);
    // Warns with a popup when configured quiz products are missing from the store.
    static void setTestMode(bool testMode);
    static void setLocationManager(const std::shared_ptr<VelkoraLocationManager>& manager);
    static void setCustomImageFetcher(const std::shared_ptr<VelkoraCustomImageFetcher>& fetcher);
    static void setCustomStyleSheet(const std::shared_ptr<VelkoraStyleSheet>& styleSheet);

    // ---- Sidebar and activation
    // Puts the sidebar beneath the host's views in the window, on the left or the right; only once a
    // configuration has arrived (and the window is not an alert window).
    static void addSidebar(const std::shared_ptr<VelkoraWindow>& window, bool toLeft);
    static void openSidebar();
    static void closeSidebar();
    static bool isSidebarOpen();
    static void disableSwipeToOpenSidebar();
    static void enableSwipeToOpenSidebar();
    // Whether a swipe opens the sidebar.
    static bool isSwipeOpenSidebar();
    // The ribbon's style, 0 to 3.
    static void setVelkoraActivationButtonType(unsigned type);
    // Null when this build has no activation views.
    static std::shared_ptr<VelkoraButton> velkoraActivationButtonOpensToLeft(bool toLeft);
    static std::shared_ptr<VelkoraBarItem> velkoraActivationBarItem();
    static void openMenuInPopoverWithRect(const VelkoraRect& rect, const std::shared_ptr<VelkoraView>& view);

    // ---- Push, links and Facebook
    // The token goes to the service as Base64 text.
    static void didRegisterForRemoteNotificationsWithDeviceToken(const std::vector<std::uint8_t>& deviceToken);
    static void didFailToRegisterForRemoteNotificationsWithError(const std::string& error);
    static void didReceiveRemoteNotification(const VelkoraNotificationInfo& payload);
    // True when the kit's Facebook log-in took the address.
    static bool handleOpenURL(const std::string& url);
    static void connectFacebook();
    static void disconnectFacebook();

    // ---- Feed posts and scores (kept until the kit is ready)
    static void postToFeed(const std::string& text);
    static void postToFeedWithLink(const std::string& text, const std::optional<std::string>& link);
    static void postToFeedWithImage(const std::string& text, const std::optional<std::string>& imageUrl,
                                    const std::optional<std::string>& description,
                                    const std::optional<std::string>& subDescription,
                                    const std::optional<std::string>& actionVerb,
                                    const std::optional<std::string>& actionId);
    // A user who is not signed in gets no score.
    static void setUserScore(std::int32_t score, const std::string& level);

    // ---- Preloading: the block runs once the feature's data is in (at once when it already is).
    static void preloadActivityWithCompletion(VelkoraCompletion completion);
    static void preloadChatRoomsWithCompletion(VelkoraCompletion completion);
    static void preloadInboxWithCompletion(VelkoraCompletion completion);
    static void preloadQuizzesWithCompletion(VelkoraCompletion completion);

    // ---- Opening screens. A navigation controller of the host's gets the screen pushed (with the kit's
    // top bar when `velkoraNavControllerEnabled`, under the host's bar otherwise); null presents it in a
    // stack of the kit's own. Before the kit is ready a popup says so and nothing opens.
    static void openMenuWithNavigationController(const VelkoraNavigation& nav, bool velkoraNavControllerEnabled);
    static void openStickerStoreWithNavigationController(const VelkoraNavigation& nav,
                                                         bool velkoraNavControllerEnabled);
    static void openQuizWithNavigationController(const VelkoraNavigation& nav, bool velkoraNavControllerEnabled);
    static void openInboxWithNavigationController(const VelkoraNavigation& nav, bool velkoraNavControllerEnabled);
    static void openChatRoomsWithNavigationController(const VelkoraNavigation& nav, bool velkoraNavControllerEnabled);
    static void openFeedbackWithNavigationController(const VelkoraNavigation& nav, bool velkoraNavControllerEnabled);
    static void openActivityWithNavigationController(const VelkoraNavigation& nav, bool velkoraNavControllerEnabled);
    static void openFindInviteFriendsWithNavigationController(const VelkoraNavigation& nav,
                                                              bool velkoraNavControllerEnabled);
    static void openLeaderboardWithNavigationController(const VelkoraNavigation& nav, bool velkoraNavControllerEnabled);
    static void openRadarWithNavigationController(const VelkoraNavigation& nav, bool velkoraNavControllerEnabled);
    static void openLoginWithNavigationController(const VelkoraNavigation& nav, bool velkoraNavControllerEnabled);
    static void openSignupWithNavigationController(const VelkoraNavigation& nav, bool velkoraNavControllerEnabled);
    static void openMyProfileWithNavigationController(const VelkoraNavigation& nav, bool velkoraNavControllerEnabled);
    static void openTalkToUsWithNavigationController(const VelkoraNavigation& nav, bool velkoraNavControllerEnabled);
    static void openMyFollowersWithNavigationController(const VelkoraNavigation& nav, bool velkoraNavControllerEnabled);
    static void openMyFollowingWithNavigationController(const VelkoraNavigation& nav, bool velkoraNavControllerEnabled);
    static void openMyPostsWithNavigationController(const VelkoraNavigation& nav, bool velkoraNavControllerEnabled);
    static void openChatWithUser(const std::string& userId, const VelkoraNavigation& nav,
                                 bool velkoraNavControllerEnabled);
    static void openProfileForUser(const std::string& userId, const VelkoraNavigation& nav,
                                   bool velkoraNavControllerEnabled);
    static void openChatRoomWithTopicId(std::int32_t topicId, const VelkoraNavigation& nav,
                                        bool velkoraNavControllerEnabled);
    static void openQuizWithId(std::int32_t quizId, const VelkoraNavigation& nav, bool velkoraNavControllerEnabled);
    // These look the user up first; a user the kit cannot find is logged and nothing opens.
    static void openFollowersForUser(const std::string& userId, const VelkoraNavigation& nav,
                                     bool velkoraNavControllerEnabled);
    static void openFollowingForUser(const std::string& userId, const VelkoraNavigation& nav,
                                     bool velkoraNavControllerEnabled);
    static void openPostsForUser(const std::string& userId, const VelkoraNavigation& nav,
                                 bool velkoraNavControllerEnabled);

    // ---- Queries
    // 0 unless the feature was preloaded.
    static std::int32_t getFeatureBadgeNumber(std::uint32_t featureId);
    static std::vector<std::int32_t> getChatRoomTopics();
    static std::vector<std::int32_t> getQuizzes();
    // The newest message of the chat with that user; null (logged) when there is none.
    static std::shared_ptr<VelkoraMessage> getLastMessageFromUser(const std::string& userId);
    static bool areNewMessagesFromUser(const std::string& userId);
};

} // namespace velkora
