// The host's posts, scores and push token, and the user's sticker packs, against the service.
#include "HostFixture.h"

#include "server/utils/VelkoraBase64.h"
#include "data/VelkoraUserInfo.h"

using namespace velkora;
using namespace velkora::testing;

TEST_F(HostTest, APostAndAScoreMadeBeforeTheStartReachTheServiceOnceWithTheirValues) {
    Velkora::postToFeedWithImage("Beat level 3", std::string("https://example.org/l3.png"), std::string("Level 3"),
                                 std::string("in 42 seconds"), std::string("Play"), std::string("level-3"));
    Velkora::setUserScore(4200, "3");
    EXPECT_TRUE(logged("Velkora - posting to feed and velkora is not ready. adding to pending: Beat level 3"));
    EXPECT_TRUE(logged("Velkora - Setting user score and velkora is not ready. adding to pending"));
    startAndComplete();
    ASSERT_TRUE(waitForRequests("sendFeed2", 1));
    ASSERT_TRUE(waitForRequests("setScore", 1));
    loop().advance(60);
    settle();
    ASSERT_EQ(count("sendFeed2"), 1u);
    ASSERT_EQ(count("setScore"), 1u);
    auto feed = svc.requestsFor("sendFeed2")[0];
    const std::string sent = feed.query + "&" + feed.body;
    for (const char* part : {"Beat", "level-3", "Play"})
        EXPECT_NE(sent.find(part), std::string::npos) << part;
    auto score = svc.requestsFor("setScore")[0];
    EXPECT_EQ(param(score, "score"), "4200");
    EXPECT_EQ(param(score, "level"), "3");
}

TEST_F(HostTest, AnAnonymousScoreAndAPrivatePostAreRefused) {
    startAndComplete();
    Velkora::setUserScore(10, "");
    EXPECT_TRUE(logged("Velkora - Can not set score to a user that is not logged in"));
    VelkoraAgentInternal::instance().getUserInfo()->setIsPrivateMode(true);
    Velkora::postToFeed("secret");
    EXPECT_TRUE(logged("Velkora - Skipping feed for private users"));
    loop().advance(30);
    settle();
    EXPECT_EQ(count("setScore"), 0u);
    EXPECT_EQ(count("sendFeed2"), 0u);
}

TEST_F(HostTest, ThePushTokenArrivesAsStandardBase64) {
    startAndComplete();
    const std::vector<std::uint8_t> token{0xfb, 0xef, 0xff, 0x01, 0x02};
    Velkora::didRegisterForRemoteNotificationsWithDeviceToken(token);
    ASSERT_TRUE(waitForRequests("setDeviceToken", 1));
    auto request = svc.requestsFor("setDeviceToken")[0];
    // "++//AQI=", with its "+" and "=" escaped on the way.
    EXPECT_EQ(VelkoraBase64::encode(std::span<const uint8_t>(token)), "++//AQI=");
    EXPECT_EQ(param(request, "deviceToken"), "%2B%2B//AQI%3D");
}

TEST_F(HostTest, APackTheUserOwnsButTheRecordLacksIsAskedForOnce) {
    // The demo application's store has the free pack 1.
    startAndComplete(service::Service::kDemoAppId);
    EXPECT_EQ(count("getStickerData"), 0u) << "a new user owns no pack";
    // The user gets the free pack on the service; the next user reply names it.
    auto caller = std::make_shared<Caller>();
    VelkoraServerApi::addStickerPack(Caller::of(caller), 1);
    ASSERT_TRUE(waitFor([&] { return !caller->answers.empty() || !caller->errors.empty(); }));
    VelkoraAgentInternal::instance().resetUserInfoWithUserId(agent().userId());
    ASSERT_TRUE(waitForRequests("getStickerData", 1));
    ASSERT_TRUE(waitFor([] {
        auto map = VelkoraAgentInternal::instance().getUserInfo()->stickerPacksMap();
        return map && map->count(1);
    }));
    // The pack's icon and every sticker come down once.
    auto pictures = [&] {
        size_t n = 0;
        for (const auto& r : svc.requests())
            n += r.path.rfind("/pictures/stickers/", 0) == 0;
        return n;
    };
    const size_t stickers = VelkoraAgentInternal::instance().getUserInfo()->stickerPacksMap()->at(1)->stickers().size();
    ASSERT_GT(stickers, 0u);
    ASSERT_TRUE(waitFor(
        [&] { return pictures() >= stickers + 1 && VelkoraAgentInternal::instance().stickerFetchesInFlight() == 0; }));
    EXPECT_EQ(pictures(), stickers + 1);
    // The pack is in the record now: a later user reply asks nothing more, and what is cached is not
    // fetched again.
    VelkoraAgentInternal::instance().resetUserInfoWithUserId(agent().userId());
    ASSERT_TRUE(waitForRequests("getUserData", 3));
    ASSERT_TRUE(waitFor([] { return VelkoraAgentInternal::instance().stickerFetchesInFlight() == 0; }));
    settle();
    EXPECT_EQ(count("getStickerData"), 1u);
    EXPECT_EQ(pictures(), stickers + 1);
    EXPECT_TRUE(VelkoraAgentInternal::instance().getUserInfo()->stickerPacksMap()->count(-1)) << "recent stickers";
}
