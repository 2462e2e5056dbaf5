// People and relations, as the kit asks for them: follows, lists, searches, nearby users,
// suggestions, blocking and reporting.
#include <cmath>

#include "AccountFixture.h"

namespace velkora::service::testing {
namespace {

class RelationCommands : public KitRequestTest {
protected:
    static std::string kv() { return "&clientType=1&build=2.5.7"; }
    std::string other(const std::string& user) { return "&otherAppId=" + app() + "&otherUserId=" + user; }

    Json follow(const std::string& user, const std::string& whom) {
        return kit("command=favoriteAdd" + kv() + as(user) + other(whom) + "&publish=0");
    }
    Json profileSeenBy(const std::string& viewer, const std::string& user) {
        return kit("command=getOtherUserData" + kv() + as(viewer) + other(user) + "&clientV=15")["user"];
    }
    std::string named(const std::string& first, const std::string& last) {
        std::string user = newUser();
        kit("command=setUserData" + kv() + as(user) + "&firstName=" + esc(first) + "&lastName=" + esc(last) +
            "&facebookId=0&twitterId=0");
        return user;
    }
    static std::vector<std::string> userIds(const Json& reply) {
        std::vector<std::string> ids;
        for (const Json& u : reply.value("users", Json::array()))
            ids.push_back(u.value("userId", ""));
        return ids;
    }
};

TEST_F(RelationCommands, FollowCountsOnceOnBothSides) {
    std::string a = newUser(), b = newUser();
    EXPECT_EQ(follow(a, b), Json::object());
    EXPECT_EQ(follow(a, b), Json::object()) << "a second follow is accepted";
    Json seen = profileSeenBy(a, b);
    EXPECT_EQ(seen["followers"], 1);
    EXPECT_EQ(seen["isFavorite"], true);
    EXPECT_EQ(kit("command=getUserData" + kv() + as(a) + "&clientV=15")["user"]["following"], 1);
    EXPECT_FALSE(profileSeenBy(b, a).contains("isFavorite")) << "following is one way";

    struct Case {
        const char* what;
        std::string query;
        std::vector<std::string> users;
    };
    const Case lists[] = {
        {"whom a follows", "command=getFavorites" + kv() + as(a) + "&direction=1", {b}},
        {"a's followers", "command=getFavorites" + kv() + as(a) + "&direction=0", {}},
        {"b's followers", "command=getFavorites" + kv() + as(b) + "&direction=0", {a}},
        {"b's followers seen by a", "command=getOtherFavorites" + kv() + as(a) + other(b) + "&direction=0", {a}},
        {"whom a follows seen by b, with a place",
         "command=getOtherFavorites" + kv() + as(b) + other(a) + "&longitude=0.000000&latitude=0.000000&direction=1",
         {b}},
    };
    for (const Case& c : lists) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(userIds(kit(c.query)), c.users);
    }

    EXPECT_EQ(kit("command=favoriteRemove" + kv() + as(a) + other(b)), Json::object());
    EXPECT_EQ(profileSeenBy(a, b)["followers"], 0);
    EXPECT_FALSE(profileSeenBy(a, b).contains("isFavorite"));
    EXPECT_EQ(error(follow(a, a)), "BAD_REQUEST");
    EXPECT_EQ(error(follow(a, "nobody")), "USER_NOT_FOUND");
    EXPECT_EQ(error(kit("command=getFavorites" + kv() + as(a) + "&direction=2")), "BAD_REQUEST");
}

TEST_F(RelationCommands, NearbyUsersByDistanceOnTheSphere) {
    std::string me = userAt("Me", -58.3816, -34.6037);       // Buenos Aires
    std::string montevideo = userAt("M", -56.1645, -34.9011); // about 205 km
    std::string rosario = userAt("R", -60.6393, -32.9468);    // about 278 km
    std::string tokyo = userAt("T", 139.6917, 35.6895);       // about 18,370 km
    newUser();                                                // no place: never nearby
    auto nearby = [&](int meters) {
        return kit("command=getNearbyUsers" + kv() + as(me) + "&longitude=-58.381600&latitude=-34.603700&meters=" +
                   std::to_string(meters) + "&test=0");
    };
    EXPECT_EQ(userIds(nearby(150000)), std::vector<std::string>{});
    EXPECT_EQ(userIds(nearby(250000)), std::vector<std::string>{montevideo});
    Json both = nearby(300000);
    ASSERT_EQ(userIds(both), (std::vector<std::string>{montevideo, rosario}));
    EXPECT_NEAR(both["users"][0]["location"]["distance"].get<double>(), 205232, 100);
    EXPECT_NEAR(both["users"][1]["location"]["distance"].get<double>(), 278353, 100);
    std::vector<std::string> far = userIds(nearby(18400000));
    EXPECT_EQ(far.back(), tokyo) << "the farthest last";
    EXPECT_EQ(userIds(nearby(18300000)).size(), far.size() - 1);
    EXPECT_EQ(error(kit("command=getNearbyUsers" + kv() + as(me) + "&longitude=abc&latitude=1&meters=5&test=0")),
              "BAD_REQUEST");
}

TEST_F(RelationCommands, QueryMatchesEscapedFieldsAndBlockingHidesUsers) {
    std::string me = newUser(), ana = newUser(), bob = newUser();
    kit("command=setUserData" + kv() + as(ana) + "&firstName=" + esc("Ana & Co+1 = #1 100%") +
        "&city=Porto&facebookId=0&twitterId=0&age=30");
    kit("command=setUserData" + kv() + as(bob) + "&firstName=Bob&city=porto&facebookId=0&twitterId=0&age=40");

    struct Case {
        const char* what;
        std::string fields;
        std::vector<std::string> users;
    };
    const Case cases[] = {
        {"escaped name", "&firstName=" + esc("Ana & Co+1 = #1 100%"), {ana}},
        {"city in any case", "&city=PORTO", {ana, bob}},
        {"city and age", "&city=Porto&age=40", {bob}},
        {"no match", "&city=Atlantis", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<std::string> got = userIds(kit("command=query" + kv() + as(me) + c.fields));
        std::sort(got.begin(), got.end());
        std::vector<std::string> want = c.users;
        std::sort(want.begin(), want.end());
        EXPECT_EQ(got, want);
    }
    EXPECT_EQ(error(kit("command=query" + kv() + as(me) + "&age=old")), "BAD_REQUEST");

    auto relation = [&](const char* type, int value) {
        return kit("command=setUserRelation" + kv() + as(me) + other(bob) + "&type=" + type +
                   "&value=" + std::to_string(value) + "&v=2");
    };
    EXPECT_EQ(relation("b", 1), Json::object());
    EXPECT_EQ(userIds(kit("command=query" + kv() + as(me) + "&city=Porto")), std::vector<std::string>{ana});
    EXPECT_EQ(profileSeenBy(me, bob)["isBlocked"], true);
    EXPECT_EQ(profileSeenBy(ana, bob)["isBlocked"], false) << "a block is the blocker's own";
    EXPECT_EQ(relation("b", 0), Json::object());
    EXPECT_EQ(userIds(kit("command=query" + kv() + as(me) + "&city=Porto")).size(), 2u);
    EXPECT_EQ(relation("r", 1), Json::object());
    EXPECT_EQ(profileSeenBy(me, bob)["isReported"], true);
    EXPECT_EQ(error(relation("x", 1)), "BAD_REQUEST");
}

TEST_F(RelationCommands, SuggestionsLeaveOutWhomTheUserFollows) {
    std::string me = newUser(), popular = named("Pia", ""), quiet = named("", "Quist");
    for (int i = 0; i < 5; ++i)
        follow(newUser(), popular);
    auto suggestions = [&] {
        return userIds(kit("command=getSuggestions" + kv() + as(me) + "&force=1&followings=0&test=0"));
    };
    std::vector<std::string> first = suggestions();
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first[0], popular) << "the most followed first";
    EXPECT_EQ(std::count(first.begin(), first.end(), me), 0);
    EXPECT_EQ(std::count(first.begin(), first.end(), std::string("_OWNER")), 0);
    follow(me, popular);
    std::vector<std::string> after = suggestions();
    EXPECT_EQ(std::count(after.begin(), after.end(), popular), 0);
    EXPECT_EQ(std::count(after.begin(), after.end(), quiet), 1);
}

TEST_F(RelationCommands, SuggestionsLeaveOutGuests) {
    std::string me = named("Ana", "Souza"), named1 = named("Lena", "Vogel");
    // Guests more followed than anyone named: a blank name is no name.
    const std::string guests[] = {newUser(), named("", ""), named(" ", "\t")};
    for (const auto& guest : guests)
        for (int i = 0; i < 3; ++i)
            follow(newUser(), guest);
    std::vector<std::string> ids =
        userIds(kit("command=getSuggestions" + kv() + as(me) + "&force=1&followings=0&test=0"));
    for (const auto& guest : guests)
        EXPECT_EQ(std::count(ids.begin(), ids.end(), guest), 0) << guest;
    EXPECT_EQ(std::count(ids.begin(), ids.end(), named1), 1);
    EXPECT_EQ(std::count(ids.begin(), ids.end(), me), 0);
}

TEST_F(RelationCommands, SocialFriendsAreFoundByTheirNetworkIds) {
    std::string me = newUser(), f1 = newUser(), f2 = newUser();
    kit("command=setUserData" + kv() + as(f1) + "&facebookId=1001&twitterId=0");
    kit("command=setUserData" + kv() + as(f2) + "&facebookId=0&twitterId=2002");
    auto friends = [&](const char* network, const char* ids) {
        return userIds(kit("command=getSocialNetworkFriends" + kv() + as(me) + "&network=" + network +
                           "&friendIds=" + ids));
    };
    EXPECT_EQ(friends("facebook", "5,1001,x,1001"), std::vector<std::string>{f1});
    EXPECT_EQ(friends("twitter", "2002"), std::vector<std::string>{f2});
    EXPECT_EQ(friends("linkedin", "1001"), std::vector<std::string>{});
}

} // namespace
} // namespace velkora::service::testing
