// The profile, searches, nearby users, follows and their lists, blocking and reporting against
// velkora-service: the texts that go out, the follow state the agent keeps, and who is answered.
#include <functional>

#include "CommandTextFixture.h"
#include "data/VelkoraQuery.h"
#include "platform/foundation/FileIO.h"
#include "data/VelkoraAppData.h"

using namespace velkora;
using namespace velkora::testing;
using foundation::Value;

namespace {

service::UserFields named(const std::string& firstName, std::optional<VelkoraCoordinate> at = std::nullopt) {
    service::UserFields f;
    f.firstName = firstName;
    if (at) {
        f.longitude = at->longitude;
        f.latitude = at->latitude;
        f.located = true;
    }
    return f;
}

std::vector<std::string> idsOf(const Value& answer) {
    std::vector<std::string> ids;
    if (auto* list = answer.asArray())
        for (const Value& v : *list)
            if (auto u = v.asObject<VelkoraUserInternal>()) ids.push_back(u->userId().value_or("?"));
    return ids;
}

}  // namespace

class PeopleCommandsTest : public CommandTextTest {
protected:
    VelkoraUserPtr other(const std::string& userId) {
        return userWith([&](auto& u) {
            u.setAppId(std::string(kApp));
            u.setUserId(userId);
        });
    }
    void startWith(std::shared_ptr<services::LocationManager> manager) {
        VelkoraAppSettings::instance().setAppId(std::string(kApp));
        VelkoraServerApi::startSession(std::string(kApp), std::move(manager));
        ASSERT_TRUE(waitFor([] { return VelkoraServerClientAgent::instance().isSessionInitialized(); }));
        ASSERT_TRUE(waitForRequests("update", 1));
    }
};

TEST_F(PeopleCommandsTest, RequestTextsCarryTheirParametersInOrder) {
    foundation::Bundle::main().setInfoDictionary(foundation::Dictionary{{"CFBundleDisplayName", Value("My App")}});
    startNewUser();
    std::string u = me();
    std::string o = svc.createUser(kApp, {});
    auto caller = std::make_shared<Caller>();
    std::string head = "&clientType=1&build=2.5.7&appId=A&userId=" + u;
    std::string device = "&clientV=15&osV=" + VelkoraProtocolWrapper::osVersion() +
                         "&platform=" + VelkoraProtocolWrapper::platform() + "&packageName=My%20App&build=2.5.7";
    struct Case {
        const char* command;
        std::function<void()> call;
        std::string text;
    };
    const Case cases[] = {
        // The age goes out when set, even as 0; the social ids always, as 0 when there are none.
        {"setUserData", [&] { VelkoraServerApi::setUserData(userWith([](auto& p) { p.setAge(0); })); },
         "command=setUserData" + head + "&facebookId=0&twitterId=0&age=0"},
        {"setUserData",
         [&] {
             VelkoraServerApi::setUserData(userWith([](auto& p) {
                 p.setAge(30);
                 p.setIsAgeSet(false);
                 p.setFirstName(std::string("Ann Lee"));
                 p.setEmail(std::string("a+b@x.org"));
                 p.setCustomFloat2(1.5);
                 p.setFacebookId(123);
                 p.setGender(std::string("m"));
                 p.setData(std::string(R"({"k":1})"));
             }));
         },
         "command=setUserData" + head +
             "&firstName=Ann%20Lee&email=a%2Bb@x.org&facebookId=123&twitterId=0&customFloat2=1.500000&gender=m"
             "&data=%7B%22k%22:1%7D"},
        // Only the criteria set; the query's own ids never go out.
        {"query",
         [&] {
             auto q = std::make_shared<VelkoraQuery>();
             q->setAppId(std::string("Z"));
             q->setUserId(std::string("Z"));
             q->setCity(std::string("São Paulo"));
             VelkoraServerApi::query(q, Caller::of(caller));
         },
         "command=query" + head + "&city=S%C3%A3o%20Paulo"},
        {"getSuggestions", [&] { VelkoraServerApi::getSuggestedUsers(Caller::of(caller), true, 3); },
         "command=getSuggestions" + head + "&force=1&followings=3&test=0"},
        {"setUserRelation", [&] { VelkoraServerApi::blockUser(other(o), false); },
         "command=setUserRelation" + head + "&otherAppId=A&otherUserId=" + o + "&type=b&value=0&v=2"},
        {"setUserRelation", [&] { VelkoraServerApi::reportUser(other(o), true); },
         "command=setUserRelation" + head + "&otherAppId=A&otherUserId=" + o + "&type=r&value=1&v=2"},
        {"getSocialNetworkFriends",
         [&] { VelkoraServerApi::getSocialNetworkFriends(Caller::of(caller), std::string("facebook"), std::string("1,2")); },
         "command=getSocialNetworkFriends" + head + "&network=facebook&friendIds=1,2"},
        {"dumpAppPlist", [&] { VelkoraServerApi::dumpAppPlist(); }, "command=dumpAppPlist" + head + "&appData=&v=2"},
        // "build" twice, the second after the device.
        {"getUserData", [&] { VelkoraServerApi::getUserData(Caller::of(caller)); }, "command=getUserData" + head + device},
        {"getOtherUserData", [&] { VelkoraServerApi::getOtherUserData(o, Caller::of(caller)); },
         "command=getOtherUserData" + head + "&otherAppId=A&otherUserId=" + o + device},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        svc.clearRequests();
        c.call();
        EXPECT_EQ(lastText(c.command), c.text);
    }
}

TEST_F(PeopleCommandsTest, FollowChangesFlagAndCountsOnlyWhenTheRelationChanges) {
    startNewUser();
    auto myself = userWith([](auto& p) { p.setNumFollowing(4); });
    VelkoraAgentInternal::instance().setVelkoraUser(myself);
    auto followed = other(svc.createUser(kApp, {}));
    followed->setNumFollowers(10);
    std::vector<const void*> senders;
    foundation::NotificationObserver observer("VelkoraChangedFollowingNotification", nullptr,
                                              [&](const foundation::Notification& n) { senders.push_back(n.object); });
    struct Step {
        bool follow;
        bool isFavorite;
        int32_t followers, following;
    };
    const Step steps[] = {
        {true, true, 11, 5}, {true, true, 11, 5},     // a second follow counts nothing
        {false, false, 10, 4}, {false, false, 10, 4}, // nor a second unfollow
        {true, true, 11, 5},
    };
    size_t n = 0;
    for (const Step& s : steps) {
        SCOPED_TRACE(n);
        if (s.follow)
            VelkoraServerApi::addFollowing(followed);
        else
            VelkoraServerApi::removeFollowing(followed);
        ++n;
        ASSERT_TRUE(waitFor([&] { return senders.size() == n; }));
        EXPECT_EQ(senders.back(), &agent());
        EXPECT_EQ(followed->isFavorite(), s.isFavorite);
        EXPECT_EQ(followed->numFollowers(), s.followers);
        EXPECT_EQ(myself->numFollowing(), s.following);
    }
    EXPECT_EQ(param(svc.requestsFor("favoriteRemove").at(0), "otherUserId"), *followed->userId());

    // A failed follow changes nothing, and says so: the screens waiting on it redraw the true state.
    svc.addFault({"favoriteRemove", service::Fault::Kind::ErrorCode, "INTERNAL_ERROR"});
    VelkoraServerApi::removeFollowing(followed);
    ASSERT_TRUE(waitForRequests("favoriteRemove", 3));
    ASSERT_TRUE(waitFor([&] { return senders.size() == n + 1; }));
    EXPECT_EQ(senders.back(), &agent());
    EXPECT_TRUE(followed->isFavorite());
    EXPECT_EQ(followed->numFollowers(), 11);
    EXPECT_EQ(myself->numFollowing(), 5);
}

TEST_F(PeopleCommandsTest, FollowPublishesOnlyForAutoPostingAndNotInPrivateMode) {
    startNewUser();
    auto followed = other(svc.createUser(kApp, {}));
    struct Case {
        bool appData, autoPostFollow, privateMode;
        const char* publish;
    };
    const Case cases[] = {
        {false, false, false, "0"}, {true, false, false, "0"}, {true, true, false, "1"}, {true, true, true, "0"},
    };
    for (const Case& c : cases) {
        std::shared_ptr<VelkoraAppData> data;
        if (c.appData) {
            data = std::make_shared<VelkoraAppData>();
            data->setAutoPostFollow(c.autoPostFollow);
        }
        VelkoraAgentInternal::instance().setAppData(data);
        VelkoraAgentInternal::instance().getUserInfo()->setIsPrivateMode(c.privateMode);
        svc.clearRequests();
        VelkoraServerApi::addFollowing(followed);
        ASSERT_TRUE(waitForRequests("favoriteAdd", 1));
        EXPECT_EQ(param(svc.requestsFor("favoriteAdd")[0], "publish"), c.publish)
            << c.appData << c.autoPostFollow << c.privateMode;
    }
}

TEST_F(PeopleCommandsTest, FollowerListsNameTheSubjectTheDirectionAndTheDevicesPlace) {
    startNewUser();
    std::string u = me(), o = svc.createUser(kApp, {});
    svc.follow(kApp, u, o);
    auto caller = std::make_shared<Caller>();
    std::string head = "&clientType=1&build=2.5.7&appId=A&userId=" + u;
    std::string nowhere = "&longitude=0.000000&latitude=0.000000";
    struct Case {
        std::function<void()> call;
        const char* command;
        std::string text;
        std::vector<std::string> answer;
    };
    const Case cases[] = {
        {[&] { VelkoraServerApi::getFollowers(Caller::of(caller), true, nullptr); }, "getFavorites",
         "command=getFavorites" + head + nowhere + "&direction=0", {}},
        {[&] { VelkoraServerApi::getFollowing(Caller::of(caller), false, nullptr); }, "getFavorites",
         "command=getFavorites" + head + "&direction=1", {o}},
        {[&] { VelkoraServerApi::getFollowing(Caller::of(caller), true, other(o)); }, "getOtherFavorites",
         "command=getOtherFavorites" + head + "&otherAppId=A&otherUserId=" + o + nowhere + "&direction=1", {}},
        {[&] { VelkoraServerApi::getFollowers(Caller::of(caller), false, other(o)); }, "getOtherFavorites",
         "command=getOtherFavorites" + head + "&otherAppId=A&otherUserId=" + o + "&direction=0", {u}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        svc.clearRequests();
        caller->answers.clear();
        c.call();
        ASSERT_TRUE(waitFor([&] { return caller->answers.size() == 1; }));
        EXPECT_EQ(lastText(c.command), c.text);
        EXPECT_EQ(idsOf(caller->answers[0]), c.answer);
    }
}

TEST_F(PeopleCommandsTest, NearbyUsersNeedTheDevicesOwnPlaceAndAQueuedCallReadsItWhenReplayed) {
    auto manager = grantedLocationManager();
    placeDevice(VelkoraCoordinate{10, 10});
    auto caller = std::make_shared<Caller>();
    // Queued before the session: only the metres are kept.
    VelkoraServerApi::getNearbyUsers(2000, Caller::of(caller), VelkoraCoordinate{50, 50});
    std::string near = svc.createUser(kApp, named("N", VelkoraCoordinate{174.7633, -36.8485}));
    svc.createUser(kApp, named("F", VelkoraCoordinate{174.80, -36.8485}));
    placeDevice(VelkoraCoordinate{174.7633, -36.8400});  // about 945 m north of the first user
    startWith(manager);
    ASSERT_TRUE(waitFor([&] { return caller->answers.size() == 1; }));
    EXPECT_EQ(untagged(svc.requestsFor("getNearbyUsers").at(0)),
              "command=getNearbyUsers&clientType=1&build=2.5.7&appId=A&userId=" + me() +
                  "&longitude=174.763300&latitude=-36.840000&meters=2000&test=0");
    EXPECT_EQ(idsOf(caller->answers[0]), std::vector<std::string>{near});

    // The given coordinate goes out, but only while the device knows its own place. A device without a
    // fix reports (0, 0); the prime meridian and the equator are real places.
    struct Case {
        std::optional<VelkoraCoordinate> device;
        bool sent;
    };
    const Case cases[] = {
        {VelkoraCoordinate{0.0, 51.4779}, true},     {VelkoraCoordinate{32.58, 0.0004}, true},
        {VelkoraCoordinate{-0.001, 0.0}, true},      {VelkoraCoordinate{0.0, 0.0}, false},
        {VelkoraCoordinate{0.0005, -0.0009}, false}, {std::nullopt, false},
    };
    for (const Case& c : cases) {
        svc.clearRequests();
        capture_->clear();
        caller->answers.clear();
        placeDevice(c.device);
        VelkoraServerApi::getNearbyUsers(500, Caller::of(caller), VelkoraCoordinate{174.7633, -36.8485});
        if (c.sent) {
            ASSERT_TRUE(waitFor([&] { return caller->answers.size() == 1; }));
            EXPECT_EQ(param(svc.requestsFor("getNearbyUsers").at(0), "longitude"), "174.763300");
            EXPECT_EQ(idsOf(caller->answers[0]), std::vector<std::string>{near});
        } else {
            EXPECT_TRUE(logged("Velkora - getNearbyUsers called but no location available"));
            EXPECT_EQ(count("getNearbyUsers"), 0u);
        }
    }
}

TEST_F(PeopleCommandsTest, ListRepliesKeepOnlyTheUsersTheParserAccepts) {
    startNewUser();
    auto caller = std::make_shared<Caller>();
    struct Case {
        const char* body;
        std::vector<std::string> ids;
    };
    const Case cases[] = {
        {R"({})", {}},
        {R"({"users":[]})", {}},
        {R"({"users":[{"appId":"A","userId":"P1"},5,null,"x",{"appId":"A","userId":"P2"}]})", {"P1", "P2"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.body);
        caller->answers.clear();
        svc.addFault({"getSuggestions", service::Fault::Kind::NotJson, c.body});
        VelkoraServerApi::getSuggestedUsers(Caller::of(caller), false, 0);
        ASSERT_TRUE(waitFor([&] { return caller->answers.size() == 1; }));
        ASSERT_TRUE(caller->answers[0].isArray());
        EXPECT_EQ(idsOf(caller->answers[0]), c.ids);
    }
}

TEST_F(PeopleCommandsTest, CallsMadeBeforeTheSessionGoOutAfterIt) {
    auto caller = std::make_shared<Caller>();
    std::string o = svc.createUser(kApp, named("Kim"));
    auto q = std::make_shared<VelkoraQuery>();
    q->setFirstName(std::string("Kim"));
    VelkoraServerApi::query(q, Caller::of(caller));
    VelkoraServerApi::setUserData(userWith([](auto& p) { p.setCity(std::string("Oslo")); }), Caller::of(caller));
    VelkoraServerApi::getFollowers(Caller::of(caller), true, other(o));
    VelkoraServerApi::blockUser(other(o), true);
    VelkoraServerApi::getSuggestedUsers(Caller::of(caller), true, 7);
    EXPECT_EQ(agent().pendingRequests().size(), 5u);
    startNewUser();
    ASSERT_TRUE(waitFor([&] { return caller->answers.size() == 4; }));
    ASSERT_TRUE(waitForRequests("setUserRelation", 1));
    EXPECT_EQ(param(svc.requestsFor("query").at(0), "firstName"), "Kim");
    EXPECT_EQ(svc.userColumn(kApp, me(), "city"), "Oslo");
    EXPECT_EQ(param(svc.requestsFor("getOtherFavorites").at(0), "direction"), "0");
    EXPECT_EQ(param(svc.requestsFor("getOtherFavorites").at(0), "longitude"), "0.000000");
    EXPECT_EQ(param(svc.requestsFor("setUserRelation").at(0), "value"), "1");
    EXPECT_EQ(param(svc.requestsFor("getSuggestions").at(0), "followings"), "7");
}

TEST_F(PeopleCommandsTest, SettingsFileIsUploadedAsKeysAndValuesInItsOrder) {
    std::string folder = root_ + "/resources";
    ASSERT_TRUE(foundation::createDirectories(folder));
    ASSERT_TRUE(foundation::writeFileAtomically(folder + "/VelkoraAppSettings.json",
                                                R"({"zeta":"a b","alpha":2,"on":true})"));
    foundation::Bundle::main().setResourcesPath(folder);
    startNewUser();
    VelkoraServerApi::dumpAppPlist();
    ASSERT_TRUE(waitForRequests("dumpAppPlist", 1));
    foundation::Bundle::main().setResourcesPath("");
    EXPECT_EQ(param(svc.requestsFor("dumpAppPlist")[0], "appData"),
              "zeta%7C%7Ca%20b%7C%7Calpha%7C%7C2%7C%7Con%7C%7Ctrue");
}

TEST_F(PeopleCommandsTest, MissingIdsSendNothingButTheProfileCommandsReportIt) {
    const std::optional<std::string> none, app = std::string(kApp), user = std::string("U");
    struct Case {
        std::function<bool(VelkoraProtocolWrapper&)> call;
        const char* line;
        const char* diagnostic;  // the appData of the report, or null
    };
    const Case cases[] = {
        {[&](auto& w) { return w.setUserData(app, none, userWith([](auto&) {})); },
         "Velkora - setUserData: AppId or UserId not set", "setUserData-no-appId-or-userId=nil,A"},
        {[&](auto& w) { return w.getUserData(none, user); }, "Velkora - getUserData: AppId or UserId not set",
         "getUserData-no-appId-or-userId=U,nil"},
        {[&](auto& w) { return w.getOtherUserData(app, none, app, user); },
         "Velkora - getOtherUserData: AppId or UserId not set", "getOtherUserData-no-appId-or-userId=nil,A"},
        {[&](auto& w) { return w.query(none, user, nullptr); }, "Velkora - query: AppId or UserId not set", nullptr},
        {[&](auto& w) { return w.getNearbyUsers(app, none, 1, 1, 1); },
         "Velkora - getNearbyUsers: AppId or UserId not set", nullptr},
        {[&](auto& w) { return w.getSocialNetworkFriends(none, user, app, app); },
         "Velkora - getSocialNetworkFriends: AppId or UserId not set", nullptr},
        {[&](auto& w) { return w.addFollowing(app, none, other("X")); },
         "Velkora - addFollowing: AppId or UserId not set", nullptr},
        {[&](auto& w) { return w.removeFollowing(app, std::string(), other("X")); },
         "Velkora - removeFollowing: AppId or UserId not set", nullptr},
        {[&](auto& w) { return w.getFavorites(none, user, false, 1, 0, 0); },
         "Velkora - getFavorites: AppId or UserId not set", nullptr},
        {[&](auto& w) { return w.getOtherFavorites(app, none, app, user, false, 1, 0, 0); },
         "Velkora - getOtherFavorites: AppId or UserId not set", nullptr},
        {[&](auto& w) { return w.getSuggestedUsers(none, user, false, 0); },
         "Velkora - getSuggestedUsers: AppId or UserId not set", nullptr},
        {[&](auto& w) { return w.setUserRelation(app, none, app, user, "b", true); },
         "Velkora - setUserRelation: AppId or UserId not set", nullptr},
        {[&](auto& w) { return w.dumpAppPlist(none, user); }, "Velkora - dumpAppPlist: AppId or UserId not set",
         nullptr},
    };
    size_t reports = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        auto w = VelkoraProtocolWrapper::create(&agent());
        EXPECT_FALSE(c.call(*w));
        EXPECT_TRUE(logged(c.line));
        if (c.diagnostic) {
            ++reports;
            ASSERT_TRUE(waitFor([&] { return count("dumpAppPlist") == reports; }));
            EXPECT_EQ(param(svc.requestsFor("dumpAppPlist").back(), "appData"), c.diagnostic);
        }
    }
    EXPECT_EQ(svc.requests().size(), reports);
}

TEST_F(PeopleCommandsTest, ProfileTextsReachTheServiceExactlyAsTyped) {
    startNewUser();
    auto caller = std::make_shared<Caller>();
    const std::string name = "Who? Me & 1+1=2 #x 100%", photo = "https://x.org/p?a=1&b=%41";
    VelkoraServerApi::setUserData(userWith([&](auto& p) {
                                      p.setFirstName(name);
                                      p.setUserPhotoUrl(photo);
                                  }),
                                  Caller::of(caller));
    ASSERT_TRUE(waitFor([&] { return caller->answers.size() == 1; }));
    EXPECT_TRUE(caller->answers[0].isNull());
    EXPECT_EQ(svc.userColumn(kApp, me(), "first_name"), name);
    EXPECT_EQ(svc.userColumn(kApp, me(), "photo_url"), photo);
}

TEST_F(PeopleCommandsTest, FailuresReachACallerWithAnErrorFunctionOnce) {
    startNewUser();
    auto caller = std::make_shared<Caller>();
    struct Case {
        const char* command;
        std::function<void()> call;
    };
    const Case cases[] = {
        {"getSuggestions", [&] { VelkoraServerApi::getSuggestedUsers(Caller::of(caller), false, 0); }},
        {"query", [&] { VelkoraServerApi::query(std::make_shared<VelkoraQuery>(), Caller::of(caller)); }},
        {"getFavorites", [&] { VelkoraServerApi::getFollowing(Caller::of(caller), false, nullptr); }},
        {"setUserData", [&] { VelkoraServerApi::setUserData(userWith([](auto&) {}), Caller::of(caller)); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        svc.clearRequests();
        capture_->clear();
        svc.addFault({c.command, service::Fault::Kind::ErrorCode, "USER_NOT_FOUND"});
        c.call();
        ASSERT_TRUE(waitForRequests(c.command, 1));
        EXPECT_TRUE(logged("Velkora (E) - Got error: USER_NOT_FOUND"));
    }
    EXPECT_TRUE(caller->answers.empty());
    ASSERT_EQ(caller->errors.size(), std::size(cases));
    for (const auto& e : caller->errors)
        EXPECT_EQ(e->domain, "USER_NOT_FOUND");
}
