// The kit's interface with the host's tab bar: the same start and screens as Velkora.h, and features
// placed as entries of a tab-bar controller of the host's. Calls and blocks run on the main loop's thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "velkora/Export.h"
#include "velkora/Velkora.h"

namespace velkora {

using VelkoraTabBar = std::shared_ptr<VelkoraTabBarController>;

class VELKORA_EXPORT VelkoraApi {
public:
    VelkoraApi() = delete;

    static void initWithAppId(const std::string& appId, VelkoraCompletion completion);
    static void setCustomStyleSheet(const std::shared_ptr<VelkoraStyleSheet>& styleSheet);
    static void addSidebar(const std::shared_ptr<VelkoraWindow>& window, bool toLeft);
    static void openMenuInPopoverWithRect(const VelkoraRect& rect, const std::shared_ptr<VelkoraView>& view);

    static void preloadActivityWithCompletion(VelkoraCompletion completion);
    static void preloadChatRoomsWithCompletion(VelkoraCompletion completion);
    static void preloadInboxWithCompletion(VelkoraCompletion completion);
    static void preloadQuizzesWithCompletion(VelkoraCompletion completion);

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
    static void openChatWithUser(const std::string& userId, const VelkoraNavigation& nav,
                                 bool velkoraNavControllerEnabled);
    static void openProfileForUser(const std::string& userId, const VelkoraNavigation& nav,
                                   bool velkoraNavControllerEnabled);
    static void openChatRoomWithTopicId(std::int32_t topicId, const VelkoraNavigation& nav,
                                        bool velkoraNavControllerEnabled);
    static void openQuizWithId(std::int32_t quizId, const VelkoraNavigation& nav, bool velkoraNavControllerEnabled);

    // The feature's screen in a stack of the kit's own becomes the tab at `position` (replacing the tab
    // there, or appended when `position` is the number of tabs); its tab's tag is the feature id + 700. A
    // position past the end is refused with a log line.
    static void addQuizToTabBarController(const VelkoraTabBar& tabs, std::int32_t position);
    static void addInboxToTabBarController(const VelkoraTabBar& tabs, std::int32_t position);
    static void addChatRoomsToTabBarController(const VelkoraTabBar& tabs, std::int32_t position);
    static void addFeedbackToTabBarController(const VelkoraTabBar& tabs, std::int32_t position);
    static void addActivityToTabBarController(const VelkoraTabBar& tabs, std::int32_t position);
    static void addFindInviteFriendsToTabBarController(const VelkoraTabBar& tabs, std::int32_t position);
    static void addRadarToTabBarController(const VelkoraTabBar& tabs, std::int32_t position);
    static void addLoginToTabBarController(const VelkoraTabBar& tabs, std::int32_t position);
    static void addSignupToTabBarController(const VelkoraTabBar& tabs, std::int32_t position);
    static void addMyProfileToTabBarController(const VelkoraTabBar& tabs, std::int32_t position);
    static void addLeaderboardToTabBarController(const VelkoraTabBar& tabs, std::int32_t position);
    static void addChatWithUser(const std::string& userId, const VelkoraTabBar& tabs, std::int32_t position);

    static std::int32_t getFeatureBadgeNumber(std::uint32_t featureId);
    static std::vector<std::int32_t> getChatRoomTopics();
    static std::vector<std::int32_t> getQuizzes();
};

} // namespace velkora
