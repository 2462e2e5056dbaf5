// The update poll against velkora-service: its two texts, the intervals, what the reply hands to the
// delegates, the topic screen's notifications, and the usage events riding with it.
#include "ServerClientFixture.h"

using namespace velkora;
using namespace velkora::testing;
using service::Fault;

namespace {

struct Delegate : VelkoraMessagesDelegate {
    std::vector<std::optional<std::vector<VelkoraMessagePtr>>> got;
    Delegate() {
        gotMessages = [this](const std::optional<std::vector<VelkoraMessagePtr>>& m) { got.push_back(m); };
    }
};

std::string queryWithoutTag(const service::RecordedRequest& r) { return r.query.substr(0, r.query.find("&ts=")); }

}  // namespace

TEST_F(ServerClientTest, PollTextsInBothForms) {
    auto location = grantedLocationManager();
    placeDevice(VelkoraCoordinate{0.0005, -0.0004});
    VelkoraAppSettings::instance().setAppId(std::string(kApp));
    VelkoraServerApi::startSession(std::string(kApp), location);
    ASSERT_TRUE(waitFor([] { return VelkoraServerClientAgent::instance().isSessionInitialized(); }));
    ASSERT_TRUE(waitForRequests("update", 1));
    std::string id = *agent().userId();
    // A fix this close to (0, 0) is a device without one.
    EXPECT_EQ(queryWithoutTag(svc.requestsFor("update")[0]),
              "command=update&clientType=1&build=2.5.7&appId=A&deviceId=" + id + "&userId=" + id +
                  "&wantMessages=0&changeNumber=0&wantFeed2=0&feedChangeNumber=0&wantLikes=0&likesChangeNumber=0"
                  "&wantTopics=0&topicsChangeNumber=0&wantTopic=0&topicChangeNumber=0&topicId=0&logs=&protocolVersion=15");

    // Paused, so that only the polls made here go out while the clock moves.
    VelkoraServerApi::pause();
    placeDevice(VelkoraCoordinate{-12.5, 45.25});
    agent().doUpdate();
    ASSERT_TRUE(waitForRequests("update", 2));
    EXPECT_EQ(queryWithoutTag(svc.requestsFor("update")[1]),
              "command=update&clientType=1&build=2.5.7&appId=A&deviceId=" + id + "&userId=" + id +
                  "&wantMessages=0&changeNumber=0&wantFeed2=0&feedChangeNumber=0&wantLikes=0&likesChangeNumber=0"
                  "&longitude=-12.500000&latitude=45.250000"
                  "&wantTopics=0&topicsChangeNumber=0&wantTopic=0&topicChangeNumber=0&topicId=0&logs=&protocolVersion=15");

    // Within 300 s of the last located poll the form without location is used again.
    loop().advance(299);
    agent().doUpdate();
    ASSERT_TRUE(waitForRequests("update", 3));
    EXPECT_EQ(param(svc.requestsFor("update")[2], "longitude"), "<absent>");
    loop().advance(2);
    agent().doUpdate();
    ASSERT_TRUE(waitForRequests("update", 4));
    EXPECT_EQ(param(svc.requestsFor("update")[3], "longitude"), "-12.500000");
}

TEST_F(ServerClientTest, IntervalsFollowWhatThePollBrings) {
    startNewUser();
    // The first reply without messages: 15 s.
    EXPECT_EQ(agent().lastUpdateTimeout(), 15);
    auto delegate = std::make_shared<Delegate>();
    VelkoraServerApi::setMessagesDelegate(delegate);
    ASSERT_TRUE(waitForRequests("update", 2));
    EXPECT_EQ(agent().lastUpdateTimeout(), 15);
    ASSERT_EQ(delegate->got.size(), 1u);
    EXPECT_FALSE(delegate->got[0]);  // nothing came: no list

    std::string other = svc.createUser(kApp);
    int64_t change = svc.sendMessage(kApp, other, *agent().userId(), "hello");
    // The armed 15 s timer brings the message; then 5, 10, 15, 15.
    loop().advance(15);
    ASSERT_TRUE(waitForRequests("update", 3));
    ASSERT_EQ(delegate->got.size(), 2u);
    ASSERT_TRUE(delegate->got[1]);
    EXPECT_EQ(delegate->got[1]->size(), 1u);
    EXPECT_EQ(agent().lastChangeNumber(), change);
    EXPECT_EQ(VelkoraAgentInternal::instance().getUserInfo()->messagesChangeNumber(), change);
    EXPECT_EQ(agent().lastUpdateTimeout(), 5);
    for (int expected : {10, 15, 15}) {
        size_t before = count("update");
        loop().advance(agent().lastUpdateTimeout() - 0.5);
        settle();
        EXPECT_EQ(count("update"), before);
        loop().advance(0.5);
        ASSERT_TRUE(waitForRequests("update", before + 1));
        EXPECT_EQ(agent().lastUpdateTimeout(), expected);
    }
    EXPECT_EQ(param(svc.requestsFor("update").back(), "changeNumber"), std::to_string(change));
    // One timer at a time.
    EXPECT_TRUE(agent().updateTimer());
}

TEST_F(ServerClientTest, FailedPollArmsFifteenAndPutsItsUsageEventsBack) {
    startNewUser();
    loop().advance(15);  // let the armed poll go
    ASSERT_TRUE(waitForRequests("update", 2));
    VelkoraLogEventsManager::instance().logEvent("feature-viewed;feed");
    svc.addFault(Fault{"update", Fault::Kind::HttpStatus, "", 500});
    loop().advance(15);
    ASSERT_TRUE(waitForRequests("update", 3));
    EXPECT_NE(param(svc.requestsFor("update")[2], "logs"), "");
    EXPECT_EQ(agent().lastUpdateTimeout(), 15);
    ASSERT_EQ(VelkoraLogEventsManager::instance().loggedEvents().size(), 1u);
    // The next poll carries them again and the service keeps them.
    loop().advance(15);
    ASSERT_TRUE(waitForRequests("update", 4));
    EXPECT_TRUE(VelkoraLogEventsManager::instance().loggedEvents().empty());
    auto events = svc.events(kApp);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_NE(events[0].find("feature-viewed;feed"), std::string::npos);
}

TEST_F(ServerClientTest, TopicScreenNotificationsChangeTheNextPoll) {
    startNewUser();
    auto topics = std::make_shared<VelkoraMessagesDelegate>();
    topics->gotTopics = [](const std::vector<VelkoraChatRoomsTopicPtr>&) {};
    VelkoraServerApi::setTopicsDelegate(topics);
    ASSERT_TRUE(waitForRequests("update", 2));
    auto& center = foundation::NotificationCenter::defaultCenter();
    center.post("VelkoraEnteredTopic", nullptr, foundation::Value(foundation::Dictionary{{"id", 7}, {"changeNumber", 12}}));
    VelkoraServerApi::updateNow();
    ASSERT_TRUE(waitForRequests("update", 3));
    auto inside = svc.requestsFor("update")[2];
    EXPECT_EQ(param(inside, "wantTopics"), "0");
    EXPECT_EQ(param(inside, "wantTopic"), "1");
    EXPECT_EQ(param(inside, "topicChangeNumber"), "12");
    EXPECT_EQ(param(inside, "topicId"), "7");
    center.post("VelkoraExitedTopic");
    VelkoraServerApi::updateNow();
    ASSERT_TRUE(waitForRequests("update", 4));
    auto outside = svc.requestsFor("update")[3];
    EXPECT_EQ(param(outside, "wantTopics"), "1");
    EXPECT_EQ(param(outside, "wantTopic"), "0");
    EXPECT_EQ(param(outside, "topicId"), "7");
}

TEST_F(ServerClientTest, FollowerCountChangePostsItsNotificationOnce) {
    startNewUser();
    auto me = std::make_shared<VelkoraUserInternal>();
    me->setNumFollowers(0);
    VelkoraAgentInternal::instance().setVelkoraUser(me);
    int following = 0, score = 0;
    foundation::NotificationObserver a("VelkoraChangedFollowingNotification", nullptr, [&](auto&) { ++following; });
    foundation::NotificationObserver b("VelkoraChangedScoreNotification", nullptr, [&](auto&) { ++score; });
    svc.follow(kApp, svc.createUser(kApp), *agent().userId());
    VelkoraServerApi::updateNow();
    ASSERT_TRUE(waitForRequests("update", 2));
    EXPECT_EQ(me->numFollowers(), 1);
    EXPECT_EQ(following, 1);
    VelkoraServerApi::updateNow();
    ASSERT_TRUE(waitForRequests("update", 3));
    EXPECT_EQ(following, 1);
    EXPECT_EQ(score, 0);
}

TEST_F(ServerClientTest, OnlyAFixNextToZeroZeroLeavesThePollUnlocated) {
    auto location = grantedLocationManager();
    VelkoraAppSettings::instance().setAppId(std::string(kApp));
    VelkoraServerApi::startSession(std::string(kApp), location);
    ASSERT_TRUE(waitFor([] { return VelkoraServerClientAgent::instance().isSessionInitialized(); }));
    ASSERT_TRUE(waitForRequests("update", 1));
    VelkoraServerApi::pause();
    struct Case {
        VelkoraCoordinate fix;
        const char* longitude;
        const char* latitude;
    };
    const Case cases[] = {
        {{0.0000, 51.4779}, "0.000000", "51.477900"}, // the prime meridian at the observatory
        {{32.58, 0.0004}, "32.580000", "0.000400"},   // on the equator
        {{0.0, 0.0}, "<absent>", "<absent>"},
        {{-0.0009, 0.0009}, "<absent>", "<absent>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.latitude);
        placeDevice(c.fix);
        loop().advance(301); // past the interval between located polls
        const size_t before = count("update");
        agent().doUpdate();
        ASSERT_TRUE(waitForRequests("update", before + 1));
        EXPECT_EQ(param(svc.requestsFor("update").back(), "longitude"), c.longitude);
        EXPECT_EQ(param(svc.requestsFor("update").back(), "latitude"), c.latitude);
    }
}

TEST_F(ServerClientTest, AnsweredPollsAreAnnouncedAndFailedOnesAreNot) {
    startNewUser();
    int answered = 0;
    foundation::NotificationObserver observer(VelkoraServerClientAgent::kUpdatePollAnsweredNotification, &agent(),
                                              [&](const foundation::Notification&) { ++answered; });
    VelkoraServerApi::pause();
    agent().doUpdate();
    ASSERT_TRUE(waitForRequests("update", 2));
    EXPECT_EQ(answered, 1);
    for (auto kind : {Fault::Kind::HttpStatus, Fault::Kind::ErrorCode, Fault::Kind::NotJson}) {
        svc.addFault(Fault{"update", kind, "", 500});
        const size_t before = count("update");
        agent().doUpdate();
        ASSERT_TRUE(waitForRequests("update", before + 1));
    }
    EXPECT_EQ(answered, 1);
}
