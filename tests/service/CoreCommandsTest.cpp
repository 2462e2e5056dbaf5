// The session commands with real answers: users, the configuration, the update poll, user data.
#include <filesystem>

#include "ServiceFixture.h"

namespace velkora::service::testing {
namespace {

std::string ids(const std::string& user) {
    return "&appId=velkora-demo&userId=" + user;
}

std::string updateQuery(const std::string& user, int changeNumber) {
    return "command=update&clientType=1&build=2.5.7&appId=velkora-demo&deviceId=" + user + "&userId=" + user +
           "&wantMessages=1&changeNumber=" + std::to_string(changeNumber) +
           "&wantFeed2=0&feedChangeNumber=0&wantLikes=0&likesChangeNumber=0&wantTopics=0&topicsChangeNumber=0"
           "&wantTopic=0&topicChangeNumber=0&topicId=0&logs=&protocolVersion=15";
}

TEST_F(ServiceTest, CreateUserGivesANewIdEachTime) {
    std::string a = newUser(), b = newUser();
    EXPECT_FALSE(a.empty());
    EXPECT_NE(a, b);
    EXPECT_TRUE(service().userExists(app(), a));
    // The older form names the id; a known id belongs to someone and is never handed to another device,
    // which gets an id of its own. An unknown one is made.
    Json again = get("command=createUser&clientType=1&build=2.5.7&appId=velkora-demo&userId=" + a + "&version=15");
    EXPECT_FALSE(again.value("userId", "").empty()) << again;
    EXPECT_NE(again.value("userId", ""), a);
    Json named = get("command=createUser&clientType=1&build=2.5.7&appId=velkora-demo&userId=named-one&version=15");
    EXPECT_EQ(named.value("userId", ""), "named-one");
    EXPECT_EQ(
        get("command=createUser&clientType=1&build=2.5.7&appId=unknown&clientVersion=15&test=0").value("error", ""),
        "APP_NOT_FOUND");
}

TEST_F(ServiceTest, WhatUserAStoresUserBReads) {
    std::string a = newUser(), b = newUser();
    EXPECT_EQ(get("command=setUserData&clientType=1&build=2.5.7" + ids(a) +
                  "&firstName=Ana%C3%AFs&lastName=Duarte&email=ana+x@example.com&city=Porto&facebookId=0"
                  "&twitterId=123456789012&customFloat2=2.500000&age=0&gender=female&data=a%3Db"),
              Json::object());

    Json reply = get("command=getOtherUserData&clientType=1&build=2.5.7" + ids(b) + "&otherAppId=velkora-demo" +
                     "&otherUserId=" + a + "&clientV=15&osV=17.0&platform=x86_64&packageName=Demo&build=2.5.7");
    ASSERT_TRUE(reply["user"].is_object()) << reply;
    const Json& u = reply["user"];
    EXPECT_EQ(u["userId"], a);
    EXPECT_EQ(u["appId"], "velkora-demo");
    EXPECT_EQ(u["firstName"], "Ana\xC3\xAFs");
    EXPECT_EQ(u["lastName"], "Duarte");
    EXPECT_EQ(u["city"], "Porto");
    EXPECT_EQ(u["twitterId"], 123456789012LL);
    EXPECT_EQ(u["facebookId"], 0);
    EXPECT_DOUBLE_EQ(u["customFloat2"].get<double>(), 2.5);
    EXPECT_FALSE(u.contains("customFloat1"));
    EXPECT_EQ(u["age"], 0);
    EXPECT_EQ(u["gender"], "female");
    EXPECT_EQ(u["data"], "a=b");
    EXPECT_FALSE(u.contains("email")) << "another user's address stays private";
    EXPECT_FALSE(u.contains("isFavorite"));

    Json own = get("command=getUserData&clientType=1&build=2.5.7" + ids(a) +
                   "&clientV=15&osV=17.0&platform=x86_64&packageName=Demo&build=2.5.7");
    EXPECT_EQ(own["user"]["email"], "ana x@example.com"); // "+" reads as a blank, as the kit expects
    EXPECT_EQ(own["user"]["firstName"], "Ana\xC3\xAFs");
}

TEST_F(ServiceTest, SetUserDataKeepsFieldsItDoesNotName) {
    std::string a = newUser();
    get("command=setUserData&clientType=1&build=2.5.7" + ids(a) + "&firstName=Kai&city=Rome&facebookId=0&twitterId=0");
    get("command=setUserData&clientType=1&build=2.5.7" + ids(a) + "&city=Milan&facebookId=0&twitterId=0");
    EXPECT_EQ(service().userColumn(app(), a, "first_name"), "Kai");
    EXPECT_EQ(service().userColumn(app(), a, "city"), "Milan");
}

TEST_F(ServiceTest, GetUserDataCarriesTheServerTime) {
    std::string a = newUser();
    Json reply = get("command=getUserData&clientType=1&build=2.5.7" + ids(a) +
                     "&clientV=15&osV=17.0&platform=x86_64&packageName=Demo&build=2.5.7");
    ASSERT_TRUE(reply["serverTime"].is_string());
    std::string t = reply["serverTime"];
    EXPECT_EQ(t.size(), 19u);
    EXPECT_EQ(t[4], '-');
    EXPECT_EQ(t[10], ' ');
    EXPECT_EQ(t[13], ':');
    EXPECT_EQ(reply["user"]["userId"], a);
}

TEST_F(ServiceTest, FollowShowsInBothUsersCounts) {
    std::string a = newUser(), b = newUser();
    service().follow(app(), a, b);
    Json seenByA = get("command=getOtherUserData&clientType=1&build=2.5.7" + ids(a) + "&otherAppId=velkora-demo" +
                       "&otherUserId=" + b + "&clientV=15");
    EXPECT_EQ(seenByA["user"]["followers"], 1);
    EXPECT_EQ(seenByA["user"]["isFavorite"], true);
    Json self = get("command=getUserData&clientType=1&build=2.5.7" + ids(a) + "&clientV=15");
    EXPECT_EQ(self["user"]["following"], 1);
    EXPECT_EQ(get(updateQuery(b, 0))["numFollowers"], 1);
}

TEST_F(ServiceTest, MessageSentByOneUserIsInTheOthersNextUpdate) {
    std::string a = newUser(), b = newUser();
    Json first = get(updateQuery(b, 0));
    EXPECT_EQ(first["messages"], Json::array());
    EXPECT_EQ(first["numFollowers"], 0);
    EXPECT_EQ(first["score"], 0);
    EXPECT_EQ(first["coins"], 0);

    int64_t n1 = service().sendMessage(app(), a, b, "hello there");
    int64_t n2 = service().sendMessage(app(), a, b, "a picture", "image");
    EXPECT_GT(n2, n1);

    Json reply = get(updateQuery(b, 0));
    ASSERT_EQ(reply["messages"].size(), 2u) << reply;
    const Json& m = reply["messages"][0];
    EXPECT_EQ(m["message"], "hello there");
    EXPECT_EQ(m["contentType"], "text/plain");
    EXPECT_EQ(m["changeNumber"], n1);
    EXPECT_EQ(m["sender"]["userId"], a);
    EXPECT_EQ(m["otherUser"]["userId"], b);
    EXPECT_EQ(m["wasRead"], false);
    EXPECT_EQ(m["isSystem"], false);
    EXPECT_EQ(m["time"].get<std::string>().size(), 19u);
    EXPECT_EQ(reply["messages"][1]["contentType"], "image");

    // The cursor moves past what was delivered; the sender's own poll holds none of it.
    EXPECT_EQ(get(updateQuery(b, static_cast<int>(n2)))["messages"], Json::array());
    EXPECT_EQ(get(updateQuery(a, 0))["messages"], Json::array());
    // Without wantMessages there is no messages key at all.
    std::string noMessages = updateQuery(b, 0);
    noMessages.replace(noMessages.find("wantMessages=1"), 14, "wantMessages=0");
    EXPECT_FALSE(get(noMessages).contains("messages"));
}

TEST_F(ServiceTest, UpdateStoresLocationAndLogs) {
    std::string a = newUser();
    std::string query = "command=update&clientType=1&build=2.5.7&appId=velkora-demo&deviceId=" + a + "&userId=" + a +
                        "&wantMessages=1&changeNumber=0&wantFeed2=0&feedChangeNumber=0&wantLikes=0&likesChangeNumber=0"
                        "&longitude=-9.139300&latitude=38.722300&wantTopics=0&topicsChangeNumber=0&wantTopic=0"
                        "&topicChangeNumber=0&topicId=0&logs=feature-viewed;feed&protocolVersion=15";
    EXPECT_FALSE(get(query).contains("error"));
    EXPECT_EQ(service().userColumn(app(), a, "longitude"), "-9.1393");
    ASSERT_EQ(service().events(app()).size(), 1u);
    EXPECT_EQ(service().events(app())[0], "logs|feature-viewed;feed");
}

TEST_F(ServiceTest, AppDataAnswersNullWhenTheClientIsCurrent) {
    std::string base = "command=getAppData&clientType=1&build=2.5.7&appId=velkora-demo&v=15&changeNumber=";
    Json full = get(base + "0");
    ASSERT_TRUE(full["appData"].is_object());
    int current = full["appData"]["changeNumber"];
    EXPECT_EQ(current, service().appChangeNumber(app()));
    EXPECT_TRUE(get(base + std::to_string(current))["appData"].is_null());

    service().setAppConfiguration(app(), R"({"appName":"Renamed","features":[{"id":"feed","name":"Feed"}]})");
    Json changed = get(base + std::to_string(current));
    ASSERT_TRUE(changed["appData"].is_object());
    EXPECT_GT(changed["appData"]["changeNumber"].get<int>(), current);
    EXPECT_EQ(changed["appData"]["appName"], "Renamed");
}

TEST_F(ServiceTest, DemoConfigurationEnablesEveryFeature) {
    Json appData = get("command=getAppData&clientType=1&build=2.5.7&appId=velkora-demo&changeNumber=0&v=15")["appData"];
    std::set<std::string> ids;
    for (const auto& f : appData["features"])
        ids.insert(f["id"].get<std::string>());
    for (const char* id : {"feed", "inbox", "blog", "invite", "radar", "feedback", "apps", "leaderboard", "quiz",
                           "login", "signup", "myprofile", "stickerStore", "talkToUs"})
        EXPECT_TRUE(ids.count(id)) << id;
    for (const char* flag : {"enableFacebook", "enableTwitter", "emailSignUpEnabled", "appReward", "autoPostJoined"})
        EXPECT_EQ(appData[flag], true) << flag;
    EXPECT_EQ(appData["distanceUnits"], "K");
    EXPECT_TRUE(appData["bannerData"].is_object());
}

TEST_F(ServiceTest, DumpAppPlistIsKeptEvenWithoutIds) {
    EXPECT_EQ(get("command=dumpAppPlist&appId=ERROR&userId=ERROR&appData=getAppData-no-appId&v=2"), Json::object());
    std::string a = newUser();
    EXPECT_EQ(get("command=dumpAppPlist&clientType=1&build=2.5.7" + ids(a) + "&appData=key||value&v=2"),
              Json::object());
    EXPECT_EQ(get("command=dumpAppPlist&clientType=1&build=2.5.7" + ids(a) + "&v=2").value("error", ""), "BAD_REQUEST");
}

TEST(ServiceRestart, DataFolderKeepsUsersAndTheCa) {
    std::string dir =
        (std::filesystem::temp_directory_path() / ("velkora-restart-" + std::to_string(getpid()))).string();
    std::filesystem::remove_all(dir);
    std::string user, caText;
    {
        ServiceOptions o;
        o.dataDir = dir;
        Service s(o);
        ASSERT_TRUE(s.start());
        user = s.createUser(Service::kDemoAppId);
        std::ifstream in(s.caFile());
        caText.assign(std::istreambuf_iterator<char>(in), {});
    }
    {
        ServiceOptions o;
        o.dataDir = dir;
        Service s(o);
        ASSERT_TRUE(s.start());
        EXPECT_TRUE(s.userExists(Service::kDemoAppId, user));
        std::ifstream in(s.caFile());
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), caText);
    }
    EXPECT_TRUE(std::filesystem::exists(dir)) << "a given data folder is the caller's";
    std::filesystem::remove_all(dir);
}

TEST(ServiceTemporaryFolder, IsRemovedOnStop) {
    Service s;
    ASSERT_TRUE(s.start());
    std::string dir = s.dataDir();
    EXPECT_TRUE(std::filesystem::exists(dir + "/velkora.sqlite"));
    s.stop();
    EXPECT_FALSE(std::filesystem::exists(dir));
}

} // namespace
} // namespace velkora::service::testing

namespace velkora::service::testing {
namespace {

std::string sendQuery(const std::string& from, const std::string& to, const std::string& text,
                      const std::string& contentType = "text/plain") {
    return "command=sendMessage&clientType=1&build=2.5.7&appId=velkora-demo&userId=" + to + "&message=" + text +
           "&senderAppId=velkora-demo&senderUserId=" + from + "&contentType=" + contentType + "&messageType=0&rating=0";
}

TEST_F(ServiceTest, SendMessageReachesTheRecipientsPoll) {
    std::string a = newUser(), b = newUser();
    EXPECT_EQ(get(sendQuery(a, b, "caf%C3%A9%20at%205%3F")), Json::object());
    Json poll = get("command=update&clientType=1&build=2.5.7&appId=velkora-demo&deviceId=" + b + "&userId=" + b +
                    "&wantMessages=1&changeNumber=0&protocolVersion=15");
    ASSERT_EQ(poll["messages"].size(), 1u) << poll;
    EXPECT_EQ(poll["messages"][0]["message"], "caf\xC3\xA9 at 5?");
    EXPECT_EQ(poll["messages"][0]["sender"]["userId"], a);

    // Feedback goes to the application's owner.
    EXPECT_EQ(get(sendQuery(a, "_OWNER", "Great%20app") + "&messageType=2&rating=5"), Json::object());

    struct Case {
        std::string query, error;
    } refused[] = {
        {sendQuery(a, b, "x", "video"), "BAD_REQUEST"},
        {sendQuery(a, "nobody", "x"), "USER_NOT_FOUND"},
        {sendQuery("nobody", b, "x"), "USER_NOT_FOUND"},
        {"command=sendMessage&clientType=1&build=2.5.7&appId=velkora-demo&userId=" + b +
             "&message=x&senderAppId=other"
             "&senderUserId=" +
             a + "&contentType=text/plain&messageType=0&rating=0",
         "BAD_REQUEST"},
        {sendQuery(a, b, "x") + "x", "BAD_REQUEST"}, // rating "0x"
    };
    for (const auto& c : refused)
        EXPECT_EQ(get(c.query).value("error", ""), c.error) << c.query;
}

TEST_F(ServiceTest, ClockOffsetMovesServerTime) {
    std::string a = newUser();
    auto serverTime = [&] {
        return get("command=getUserData&clientType=1&build=2.5.7&appId=velkora-demo&userId=" + a +
                   "&clientV=15")["serverTime"]
            .get<std::string>();
    };
    auto seconds = [](const std::string& t) {
        std::tm parts{};
        strptime(t.c_str(), "%Y-%m-%d %H:%M:%S", &parts);
        parts.tm_isdst = -1;
        return static_cast<long>(mktime(&parts));
    };
    long before = seconds(serverTime());
    service().setClockOffset(30);
    long after = seconds(serverTime());
    EXPECT_GE(after - before, 29);
    EXPECT_LE(after - before, 32);
}

TEST_F(ServiceTest, FormBodiesKeepPlusAndPadding) {
    QueryText q = QueryText::parse("command=addPaidStickerPack&receipt=ab+c/d==&price=0.99", false);
    EXPECT_EQ(q.value("receipt"), "ab+c/d==");
    EXPECT_EQ(QueryText::parse("receipt=ab+c").value("receipt"), "ab c");
}

} // namespace
} // namespace velkora::service::testing
