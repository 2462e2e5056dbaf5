// What the service answers for lists of people and feeds a viewer sees: whole lists, blocked users left
// out, and the helpers tests use to make and inspect people.
#include <set>

#include "service/AccountFixture.h"

namespace velkora::service::testing {
namespace {

class PeopleLists : public KitRequestTest {
protected:
    static std::string kv() { return "&clientType=1&build=2.5.7"; }
    std::string other(const std::string& user) { return "&otherAppId=" + app() + "&otherUserId=" + user; }
    Json followersOf(const std::string& viewer, const std::string& user) {
        return kit("command=getOtherFavorites" + kv() + as(viewer) + other(user) + "&withLocation=0&direction=0");
    }
    Json block(const std::string& viewer, const std::string& user, bool value) {
        return kit("command=setUserRelation" + kv() + as(viewer) + other(user) +
                   "&type=b&value=" + (value ? "1" : "0"));
    }
    static std::vector<std::string> userIds(const Json& reply) {
        std::vector<std::string> ids;
        for (const Json& u : reply.value("users", Json::array()))
            ids.push_back(u.value("userId", ""));
        return ids;
    }
};

TEST_F(PeopleLists, ThousandsOfFollowersComeInOneReplyNewestFirst) {
    std::string star = newUser();
    std::vector<UserFields> fans(3000);
    for (size_t i = 0; i < fans.size(); ++i)
        fans[i].firstName = "Fan" + std::to_string(i);
    std::vector<std::string> ids = service().createUsers(app(), fans);
    ASSERT_EQ(ids.size(), 3000u);
    for (const auto& id : ids)
        service().follow(app(), id, star);

    std::vector<std::string> listed = userIds(followersOf(star, star));
    ASSERT_EQ(listed.size(), 3000u) << "no cap hides followers the count shows";
    EXPECT_EQ(std::set<std::string>(listed.begin(), listed.end()), std::set<std::string>(ids.begin(), ids.end()));
    EXPECT_EQ(listed.front(), ids.back()) << "newest first";
    Json mine = kit("command=getFavorites" + kv() + as(star) + "&withLocation=0&direction=0");
    EXPECT_EQ(userIds(mine).size(), 3000u);
}

TEST_F(PeopleLists, UsersTheViewerBlockedLeaveListsAndTheFeed) {
    std::string viewer = newUser(), star = newUser();
    UserFields f;
    f.firstName = "Blocked";
    f.facebookId = 4242;
    std::string blocked = service().createUser(app(), f);
    std::string kept = service().createUser(app(), {});
    service().follow(app(), blocked, star);
    service().follow(app(), kept, star);
    service().follow(app(), viewer, blocked);
    service().postFeed(app(), blocked, "from the blocked one");
    service().postFeed(app(), kept, "from the kept one");

    ASSERT_EQ(block(viewer, blocked, true), Json::object());
    EXPECT_EQ(service().relation(app(), viewer, blocked, "b"), std::optional<bool>(true));
    EXPECT_EQ(service().relation(app(), viewer, blocked, "r"), std::nullopt);

    EXPECT_EQ(userIds(followersOf(viewer, star)), std::vector<std::string>{kept});
    EXPECT_EQ(userIds(followersOf(star, star)).size(), 2u) << "only the viewer who blocked stops seeing them";
    EXPECT_TRUE(userIds(kit("command=getFavorites" + kv() + as(viewer) + "&withLocation=0&direction=1")).empty());
    EXPECT_TRUE(userIds(kit("command=getSocialNetworkFriends" + kv() + as(viewer) + "&network=facebook&friendIds=4242"))
                    .empty());

    auto feedTexts = [&](const Json& items) {
        std::vector<std::string> texts;
        for (const Json& item : items)
            texts.push_back(item.value("message", item.dump()));
        return texts;
    };
    Json feed = kit("command=getFeed2" + kv() + as(viewer));
    for (const auto& text : feedTexts(feed.value("messages", Json::array())))
        EXPECT_EQ(text.find("blocked one"), std::string::npos);
    Json poll = kit("command=update" + kv() + as(viewer) + "&wantFeed2=1&feedChangeNumber=0");
    std::vector<std::string> polled = feedTexts(poll.value("feed2", Json::array()));
    EXPECT_NE(std::find(polled.begin(), polled.end(), "from the kept one"), polled.end());
    EXPECT_EQ(std::find(polled.begin(), polled.end(), "from the blocked one"), polled.end());

    ASSERT_EQ(block(viewer, blocked, false), Json::object());
    EXPECT_EQ(userIds(followersOf(viewer, star)).size(), 2u) << "unblocking brings them back";
}

TEST_F(PeopleLists, TestHelpersWriteBiosAndTestMarksAndReadFollows) {
    UserFields f;
    f.firstName = "Ada";
    f.customString1 = "&=?%#+ and a line\nbreak";
    f.isTest = true;
    std::string ada = service().createUser(app(), f);
    std::string bob = service().createUser(app(), {});
    EXPECT_EQ(service().userColumn(app(), ada, "custom_string1"), f.customString1);
    EXPECT_EQ(service().userColumn(app(), ada, "is_test"), "1");
    EXPECT_FALSE(service().isFollowing(app(), bob, ada));
    service().follow(app(), bob, ada);
    EXPECT_TRUE(service().isFollowing(app(), bob, ada));
    EXPECT_FALSE(service().isFollowing(app(), ada, bob));
}

TEST_F(PeopleLists, TheSeedGivesBiosAndADozenFollowers) {
    EXPECT_FALSE(service().userColumn(app(), "u-mira", "custom_string1").empty());
    EXPECT_GE(service().rowCount("follows", "other_user_id", "test-quinn"), 12);
}

} // namespace
} // namespace velkora::service::testing
