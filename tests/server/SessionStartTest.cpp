// Session start against velkora-service: createUser for an empty record, the stored user, the replay of
// queued requests, and a createUser that fails.
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "ServerClientFixture.h"

using namespace velkora;
using namespace velkora::testing;
using service::Fault;

namespace {

// What the replay did, in order, seen from inside it (the service sees requests in flight in any order).
std::vector<std::string> g_replayed;

bool pollInFlight(VelkoraServerClientAgent& a) {
    for (auto& w : a.workingProtocolsWrappers())
        if (w->command() == VelkoraCommand::UpdateNoLocation) return true;
    return false;
}

// Records each replay of a type before doing what the agent does for it, and restores the table after.
class RecordedReplays {
public:
    RecordedReplays() : user_(VelkoraServerClientAgent::replayFor(8)), other_(VelkoraServerClientAgent::replayFor(9)) {
        g_replayed.clear();
        VelkoraServerClientAgent::setReplay(8, [](VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
            g_replayed.push_back(std::string("getUserData") + (pollInFlight(a) ? " after poll" : ""));
            a.getUserData(r.delegate);
        });
        VelkoraServerClientAgent::setReplay(9, [](VelkoraServerClientAgent& a, const VelkoraClientPendingRequest& r) {
            g_replayed.push_back("getOtherUserData " + r.toUserId.value_or(""));
            a.getOtherUserData(r.toUserId, r.delegate);
        });
    }
    ~RecordedReplays() {
        VelkoraServerClientAgent::setReplay(8, user_);
        VelkoraServerClientAgent::setReplay(9, other_);
    }

private:
    VelkoraServerClientAgent::Replay user_, other_;
};

// A loopback port that nothing listens on: taken from the system, then let go.
int closedPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

} // namespace

TEST_F(ServerClientTest, EmptyRecordCreatesTheUserThenPollsThenReplaysInOrder) {
    RecordedReplays recorded;
    auto caller = std::make_shared<Caller>();
    // Asked before the user is known: both wait in the queue.
    VelkoraServerApi::getUserData(Caller::of(caller));
    VelkoraServerApi::getOtherUserData(std::string("nobody"), Caller::of(caller));
    EXPECT_EQ(agent().pendingRequests().size(), 2u);

    startNewUser();
    ASSERT_TRUE(waitForRequests("getOtherUserData", 1));

    auto all = svc.requests();
    ASSERT_GE(all.size(), 4u);
    EXPECT_EQ(all[0].command, "createUser");
    const std::string& first = all[0].query;
    std::string text = "command=createUser&clientType=1&build=2.5.7&appId=A&clientVersion=15&test=0";
    EXPECT_EQ(first.substr(0, first.find("&ts=")), text);
    // Then the time stamp with six decimals and the CRC, nothing after them (the service checked the CRC).
    std::string ts = param(all[0], "ts"), crc = param(all[0], "crc");
    EXPECT_EQ(first, text + "&ts=" + ts + "&crc=" + crc);
    ASSERT_NE(ts.find('.'), std::string::npos);
    EXPECT_EQ(ts.size() - ts.find('.'), 7u);
    EXPECT_EQ(crc.find_first_not_of("0123456789"), std::string::npos);
    // The first poll goes before the replay, and the replay keeps the queue's order.
    EXPECT_EQ(g_replayed, (std::vector<std::string>{"getUserData after poll", "getOtherUserData nobody"}));

    std::string userId = *agent().userId();
    EXPECT_FALSE(userId.empty());
    EXPECT_TRUE(logged("Velkora - *** Your Velkora user token is [ " + userId + " ]"));
    auto info = VelkoraAgentInternal::instance().getUserInfo();
    ASSERT_TRUE(info);
    EXPECT_EQ(info->userId(), userId);
    EXPECT_EQ(info->deviceId(), userId);
    EXPECT_EQ(info->appId(), std::string(kApp));
    EXPECT_TRUE(agent().pendingRequests().empty());
    ASSERT_TRUE(waitFor([&] { return caller->answers.size() + caller->errors.size() == 2; }));
    EXPECT_TRUE(caller->answers.at(0).asObject<VelkoraUserInternal>());
}

TEST_F(ServerClientTest, StoredUserOfThisAppIsAdoptedWithItsCursors) {
    std::string stored = svc.createUser(kApp);
    auto& session = VelkoraAgentInternal::instance();
    session.initUserInfo(kApp);
    session.getUserInfo()->setUserId(stored);
    session.getUserInfo()->setDeviceId(stored);
    session.getUserInfo()->setAppId(std::string(kApp));
    session.getUserInfo()->setMessagesChangeNumber(7);
    session.getUserInfo()->setFeedChangeNumber(8);
    session.saveUserInfo();

    VelkoraAppSettings::instance().setAppId(std::string(kApp));
    VelkoraServerApi::startSession(std::string(kApp), nullptr);
    EXPECT_TRUE(agent().isSessionInitialized());
    ASSERT_TRUE(waitForRequests("update", 1));
    EXPECT_EQ(count("createUser"), 0u);
    auto poll = svc.requestsFor("update").at(0);
    EXPECT_EQ(param(poll, "userId"), stored);
    EXPECT_EQ(param(poll, "changeNumber"), "7");
    EXPECT_EQ(param(poll, "feedChangeNumber"), "8");
}

TEST_F(ServerClientTest, ReplayFollowsTypeCodesAndSkipsUnknownTypes) {
    RecordedReplays recorded;
    auto caller = std::make_shared<Caller>();
    VelkoraServerApi::getOtherUserData(std::string("first"), Caller::of(caller));
    auto stray = std::make_shared<VelkoraClientPendingRequest>();
    stray->type = 99;
    agent().pendingRequests().push_back(stray);
    auto noRow = std::make_shared<VelkoraClientPendingRequest>();
    noRow->type = 55; // a command whose replay is not registered
    agent().pendingRequests().push_back(noRow);
    VelkoraServerApi::getOtherUserData(std::string("second"), Caller::of(caller));

    startNewUser();
    ASSERT_TRUE(waitForRequests("getOtherUserData", 2));
    EXPECT_EQ(g_replayed, (std::vector<std::string>{"getOtherUserData first", "getOtherUserData second"}));
    EXPECT_TRUE(agent().pendingRequests().empty());
}

// One failure must not leave the kit without a user and its queue stuck for the rest of the process.
TEST_F(ServerClientTest, FailedCreateUserIsRetriedOnThePollTimer) {
    struct Case {
        const char* name;
        Fault fault;
    };
    const Case cases[] = {
        {"error reply", Fault{"createUser", Fault::Kind::ErrorCode, "APP_NOT_FOUND"}},
        {"http status", Fault{"createUser", Fault::Kind::HttpStatus, "", 503}},
        {"null id", Fault{"createUser", Fault::Kind::NotJson, R"({"userId":null})"}},
        {"empty id", Fault{"createUser", Fault::Kind::NotJson, R"({"userId":""})"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        svc.addFault(c.fault);
        auto caller = std::make_shared<Caller>();
        VelkoraServerApi::getUserData(Caller::of(caller));
        VelkoraAppSettings::instance().setAppId(std::string(kApp));
        VelkoraServerApi::startSession(std::string(kApp), nullptr);
        ASSERT_TRUE(waitForRequests("createUser", 1));
        EXPECT_FALSE(agent().isSessionInitialized());
        EXPECT_EQ(agent().lastUpdateTimeout(), 15);
        EXPECT_EQ(count("update"), 0u);

        loop().advance(14.9);
        settle();
        EXPECT_EQ(count("createUser"), 1u);
        loop().advance(0.2);
        ASSERT_TRUE(waitFor([&] { return agent().isSessionInitialized(); }));
        EXPECT_EQ(count("createUser"), 2u);
        ASSERT_TRUE(waitFor([&] { return caller->answers.size() == 1; }));
        EXPECT_TRUE(caller->answers[0].asObject<VelkoraUserInternal>());
        // The first poll is answered before the next case: the service stays, so a late one would count there.
        ASSERT_TRUE(settle());
    }
}

// A host pointed at no service hears it once, however often the kit asks again; what it asked for waits and
// is answered once the service is there.
TEST_F(ServerClientTest, AServiceThatCannotBeReachedIsSaidOnceAndTheStartGoesOnWhenItAnswers) {
    const int port = closedPort();
    ASSERT_GT(port, 0);
    const std::string nowhere = "127.0.0.1:" + std::to_string(port);
    VelkoraServerEndpoint::setServer(nowhere);
    auto caller = std::make_shared<Caller>();
    VelkoraServerApi::getUserData(Caller::of(caller));
    VelkoraAppSettings::instance().setAppId(std::string(kApp));
    VelkoraServerApi::startSession(std::string(kApp), nullptr);
    // A minute of the kit's clock: nothing listens, so each try fails at once and the next is on the clock.
    for (int second = 0; second < 60; ++second) {
        loop().advance(1.0);
        loop().runUntil([] { return false; }, 0.05);
    }
    EXPECT_GE(capture_->count("Velkora (E) - Got error"), 3u);
    EXPECT_EQ(
        capture_->count("Velkora (E) - the service at https://" + nowhere + "/VelkoraServer2/api cannot be reached"),
        1u);
    EXPECT_FALSE(agent().isSessionInitialized());
    EXPECT_TRUE(caller->answers.empty());
    EXPECT_TRUE(caller->errors.empty());

    VelkoraServerEndpoint::setServer(svc.endpoint());
    for (int second = 0; second < 30 && caller->answers.empty(); ++second) {
        loop().advance(1.0);
        loop().runUntil([&] { return !caller->answers.empty(); }, 0.5);
    }
    ASSERT_EQ(caller->answers.size(), 1u);
    EXPECT_TRUE(agent().isSessionInitialized());
}
