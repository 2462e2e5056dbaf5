// The demo application's welcome: every user the commands create finds the owner's seeded system
// messages in the inbox and the seeded follows in both friends lists, when the service gives a welcome.
#include "AccountFixture.h"

namespace velkora::service::testing {
namespace {

class Welcome : public KitRequestTest {
protected:
    ServiceOptions options() override {
        ServiceOptions o;
        o.welcomeNewUsers = welcome_;
        return o;
    }
    static std::string kv() { return "&clientType=1&build=2.5.7"; }
    Json chats(const std::string& user) {
        return kit("command=getChats" + kv() + as(user) + "&protocolVersion=15")["chats"];
    }
    Json ownerChat(const std::string& user) {
        return kit("command=getChat" + kv() + as(user) + "&otherAppId=" + app() + "&otherUserId=_OWNER" +
                   "&protocolVersion=15")["chat"];
    }
    std::vector<std::string> favorites(const std::string& user, int direction) {
        std::vector<std::string> ids;
        Json reply = kit("command=getFavorites" + kv() + as(user) + "&direction=" + std::to_string(direction));
        for (const Json& u : reply.value("users", Json::array()))
            ids.push_back(u.value("userId", ""));
        std::sort(ids.begin(), ids.end());
        return ids;
    }
    bool welcome_ = true;
};

TEST_F(Welcome, ANewUserHasTheOwnersSystemMessagesAndTheSeededFollows) {
    const std::string user = newUser();
    ASSERT_FALSE(user.empty());
    Json list = chats(user);
    // The owner's chat, and the chats of the two seeded users whose welcome messages the seed names.
    ASSERT_EQ(list.size(), 3u);
    const Json* owner = nullptr;
    for (const Json& c : list)
        if (c["user"]["userId"] == "_OWNER") owner = &c;
    ASSERT_TRUE(owner);
    EXPECT_EQ((*owner)["isSystem"], true);
    Json chat = ownerChat(user);
    ASSERT_EQ(chat["messages"].size(), 2u);
    // Newest first: the link, then the announcement.
    const Json& link = chat["messages"][0];
    const Json& html = chat["messages"][1];
    EXPECT_EQ(link["contentType"], "text/link");
    EXPECT_EQ(link["isSystem"], true);
    EXPECT_EQ(link["messageName"], "Our Terms of Use");
    EXPECT_EQ(link["extraData"], service().baseUrl() + "/pages/terms") << "the service's own page";
    EXPECT_EQ(html["contentType"], "text/html");
    EXPECT_NE(html["extraData"].get<std::string>().find("<h1>"), std::string::npos);
    EXPECT_EQ(favorites(user, 0), (std::vector<std::string>{"u-mira", "u-tomas"})) << "followers";
    EXPECT_EQ(favorites(user, 1), (std::vector<std::string>{"u-lena"})) << "following";
}

TEST_F(Welcome, TheOwnersSystemMessageReachesTheUsersPollAndChats) {
    const std::string user = newUser();
    const int64_t id = service().sendSystemMessage(app(), user, "News", "text/plain", "News", "Quiz night at 8");
    Json chat = ownerChat(user);
    ASSERT_FALSE(chat["messages"].empty());
    const Json& newest = chat["messages"][0];
    EXPECT_EQ(newest["changeNumber"], id);
    EXPECT_EQ(newest["messageName"], "News");
    EXPECT_EQ(newest["extraData"], "Quiz night at 8");
    EXPECT_EQ(newest["sender"]["userId"], "_OWNER");
}

class NoWelcome : public Welcome {
protected:
    void SetUp() override {
        welcome_ = false;
        Welcome::SetUp();
    }
};

TEST_F(NoWelcome, WithoutTheWelcomeANewUserStartsEmpty) {
    const std::string user = newUser();
    EXPECT_TRUE(chats(user).empty());
    EXPECT_TRUE(favorites(user, 0).empty());
    EXPECT_TRUE(favorites(user, 1).empty());
}

} // namespace
} // namespace velkora::service::testing
