// The host's part of the demo: a host application that knows only the kit's public headers. It starts the
// kit through them (its information dictionary names the service and its authority), says when the kit is
// ready, reads the badges and the current user, and opens every feature in its own navigation controller,
// writing a picture of each screen that this build holds.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "DemoSteps.h"
#include "platform/foundation/UrlConnection.h"
#include "server/VelkoraServerEndpoint.h"
#include "velkora/Velkora.h"
#include "velkora/VelkoraFeatures.h"
#include "velkora/VelkoraHost.h"
#include "velkora/VelkoraMainLoop.h"
#include "velkora/VelkoraNotifications.h"
#include "velkora/VelkoraUser.h"

namespace {

// Pumps the kit's loop until `done` or the real deadline.
bool pumpUntil(const std::function<bool()>& done, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        velkora::VelkoraMainLoop::runOnce(0.05);
    }
    return true;
}

void pumpFor(double seconds) {
    pumpUntil([] { return false; }, seconds);
}

// The steps before this one reached the service through the demo's own set-up, which would hide whatever
// the host says: it is let go, so that the kit finds the service from the host's information dictionary
// alone, as the host guide has it.
void forgetTheDemosSetUp(velkora::demo::Demo& demo) {
    demo.endSession();
    velkora::VelkoraServerEndpoint::reset();
    velkora::foundation::UrlConnection::setCaFile("");
}

} // namespace

VELKORA_DEMO_STEP(hostInterface, 900, DemoStep::NeedsService) {
    forgetTheDemosSetUp(demo);
    using namespace velkora;
    // From here on the host uses the public headers only.
    velkoraSetInfoDictionaryJson(R"({"CFBundleDisplayName": "Velkora Demo", "VelkoraServer": "127.0.0.1:)" +
                                 std::to_string(demo.servicePort()) + R"(", "VelkoraServerCAFile": ")" + demo.caFile() +
                                 R"("})");
    auto window = VelkoraWindow::create();
    auto nav = VelkoraNavigationController::create(VelkoraHostScreen::create("Demo host"));
    window->setRootNavigationController(nav);
    window->makeKeyAndVisible();

    bool ready = false, completed = false;
    auto readiness = observe(kVelkoraIsReady, [&](const VelkoraNotificationInfo&) { ready = true; });
    Velkora::initWithAppId(demo.appId(), [&] { completed = true; });
    demo.say(ready ? "the kit is ready (before any reply)" : "the kit is not ready yet");
    if (!pumpUntil([&] { return ready && completed; }, 30)) {
        demo.say("the start did not complete");
        return false;
    }
    demo.say("the start completed: configuration and user are in");

    bool inbox = false;
    Velkora::preloadInboxWithCompletion([&] { inbox = true; });
    Velkora::preloadActivityWithCompletion([] {});
    pumpUntil([&] { return inbox; }, 10);
    demo.say("badges: activity " + std::to_string(Velkora::getFeatureBadgeNumber(kVelkoraFeatureActivity)) +
             ", inbox " + std::to_string(Velkora::getFeatureBadgeNumber(kVelkoraFeatureInbox)) + ", chat rooms " +
             std::to_string(Velkora::getFeatureBadgeNumber(kVelkoraFeatureChatRooms)));
    if (auto me = VelkoraUser::currentUser())
        demo.say("current user " + me->userId().value_or("?") +
                 (me->isAuthenticated() ? " (signed in)" : " (anonymous)"));

    auto topics = Velkora::getChatRoomTopics();
    struct Opening {
        std::int32_t featureId;
        std::function<void()> open;
    };
    const std::vector<Opening> openings = {
        {kVelkoraFeatureActivity, [&] { Velkora::openActivityWithNavigationController(nav, true); }},
        {kVelkoraFeatureInbox, [&] { Velkora::openInboxWithNavigationController(nav, true); }},
        {kVelkoraFeatureChatRooms, [&] { Velkora::openChatRoomsWithNavigationController(nav, true); }},
        {kVelkoraFeatureFindFriends, [&] { Velkora::openFindInviteFriendsWithNavigationController(nav, true); }},
        {kVelkoraFeatureRadar, [&] { Velkora::openRadarWithNavigationController(nav, true); }},
        {kVelkoraFeatureFeedback, [&] { Velkora::openFeedbackWithNavigationController(nav, true); }},
        {kVelkoraFeatureLeaderboard, [&] { Velkora::openLeaderboardWithNavigationController(nav, true); }},
        {kVelkoraFeatureQuiz, [&] { Velkora::openQuizWithNavigationController(nav, true); }},
        {kVelkoraFeatureLogin, [&] { Velkora::openLoginWithNavigationController(nav, true); }},
        {kVelkoraFeatureSignup, [&] { Velkora::openSignupWithNavigationController(nav, true); }},
        {kVelkoraFeatureMyProfile, [&] { Velkora::openMyProfileWithNavigationController(nav, true); }},
        {kVelkoraFeatureProfile, [&] { Velkora::openProfileForUser("u-mira", nav, true); }},
        {kVelkoraFeatureChat, [&] { Velkora::openChatWithUser("u-mira", nav, true); }},
        {kVelkoraFeatureChatRoomTopic,
         [&] { Velkora::openChatRoomWithTopicId(topics.empty() ? 1 : topics.front(), nav, true); }},
        {kVelkoraFeatureMenu, [&] { Velkora::openMenuWithNavigationController(nav, true); }},
        {kVelkoraFeatureTalkToUs, [&] { Velkora::openTalkToUsWithNavigationController(nav, true); }},
        {kVelkoraFeatureFollowers, [&] { Velkora::openMyFollowersWithNavigationController(nav, true); }},
        {kVelkoraFeatureFollowing, [&] { Velkora::openMyFollowingWithNavigationController(nav, true); }},
        {kVelkoraFeaturePosts, [&] { Velkora::openMyPostsWithNavigationController(nav, true); }},
        {kVelkoraFeatureStickerStore, [&] { Velkora::openStickerStoreWithNavigationController(nav, true); }},
        // Another user's lists open once the kit has found the user.
        {kVelkoraFeatureFollowers, [&] { Velkora::openFollowersForUser("u-mira", nav, true); }},
        {kVelkoraFeatureFollowing, [&] { Velkora::openFollowingForUser("u-mira", nav, true); }},
        {kVelkoraFeaturePosts, [&] { Velkora::openPostsForUser("u-mira", nav, true); }},
    };
    int shown = 0;
    std::vector<std::string> written;
    for (const auto& opening : openings) {
        const std::string name = velkoraFeatureName(opening.featureId);
        opening.open();
        pumpFor(0.6);
        if (nav->stackDepth() > 1 || nav->isPresenting()) {
            ++shown;
            // Some screens carry no title of their own (the menu, the lists): the feature's name says enough.
            const std::string title = nav->topTitle();
            demo.say("opened feature " + std::to_string(opening.featureId) + " (" + name + ")" +
                     (title.empty() ? "" : ": " + title));
            // A second opening of one feature (another user's list after the own one) gets a picture of its own.
            std::string picture = "host-" + name;
            while (std::find(written.begin(), written.end(), picture) != written.end())
                picture += "-again";
            written.push_back(picture);
            demo.writeScreenPng(picture);
        } else {
            demo.say("feature " + std::to_string(opening.featureId) + " (" + name + ") is not in this build");
        }
        nav->popToRoot();
        pumpFor(0.1);
    }
    demo.say(std::to_string(shown) + " of " + std::to_string(openings.size()) + " features opened");
    return true;
}
