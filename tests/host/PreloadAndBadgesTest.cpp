// Preloading the inbox and its badge as a host sees them, against the service's poll.
#include "HostFixture.h"

using namespace velkora;
using namespace velkora::testing;

TEST_F(HostTest, InboxPreloadAndItsBadgeFollowThePoll) {
    auto badges = listen(kVelkoraBadgeNumberChangedNotification);
    bool done = false;
    Velkora::initWithAppId(kApp, [&] { done = true; });
    // Before the chats arrive the block waits for them.
    int preloaded = 0;
    Velkora::preloadInboxWithCompletion([&] { ++preloaded; });
    EXPECT_EQ(preloaded, 0);
    ASSERT_TRUE(waitFor([&] { return done && preloaded == 1; }));
    ASSERT_TRUE(settle());
    // Once they are there it runs at once.
    Velkora::preloadInboxWithCompletion([&] { ++preloaded; });
    EXPECT_EQ(preloaded, 2);
    EXPECT_EQ(Velkora::getFeatureBadgeNumber(kVelkoraFeatureInbox), 0);

    // A poll that brings nothing changes no badge.
    badges->infos.clear();
    auto polls = count("update");
    VelkoraServerApi::updateNow();
    ASSERT_TRUE(waitForRequests("update", polls + 1));
    EXPECT_TRUE(badges->infos.empty());

    // A message from another user arrives with the next poll.
    std::string mary = svc.createUser(kApp, named("Mary", "Ann"));
    svc.sendMessage(kApp, mary, me(), "Hello there");
    VelkoraServerApi::updateNow();
    ASSERT_TRUE(waitFor([&] { return Velkora::getFeatureBadgeNumber(kVelkoraFeatureInbox) == 1; }));
    settle();
    ASSERT_EQ(badges->infos.size(), 1u);
    EXPECT_EQ(badges->infos[0],
              (VelkoraNotificationInfo{{"tabId", std::int64_t(1)}, {"tabName", std::string("inbox")}}));
    EXPECT_TRUE(Velkora::areNewMessagesFromUser(mary));
    auto last = Velkora::getLastMessageFromUser(mary);
    ASSERT_TRUE(last);
    EXPECT_EQ(last->message(), "Hello there");
    EXPECT_EQ(last->sender()->userId(), mary);
    EXPECT_FALSE(Velkora::getLastMessageFromUser("nobody"));
    EXPECT_TRUE(logged("Velkora - There is currently no chat with user with Id nobody"));
}

TEST_F(HostTest, FeaturesWithoutPreloadAnswerZeroAndSayWhy) {
    startAndComplete();
    EXPECT_EQ(Velkora::getFeatureBadgeNumber(kVelkoraFeatureActivity), 0) << "not preloaded";
    VelkoraAgentInternal::instance().preloadFeature(3, nullptr);
    EXPECT_TRUE(logged("Velkora - Pre-load for feature 'invite' is not available"));
    EXPECT_EQ(Velkora::getFeatureBadgeNumber(kVelkoraFeatureQuiz), 0);
    EXPECT_EQ(Velkora::getFeatureBadgeNumber(kVelkoraFeatureApps), 0);
}
