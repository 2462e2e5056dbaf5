// Chat rooms, likes and the feed against the in-process service: what one user posts, another reads
// and hears of in the update poll.
#include <algorithm>

#include "ServiceFixture.h"

namespace velkora::service::testing {
namespace {

std::string head(const std::string& command, const std::string& user) {
    return "command=" + command + "&clientType=1&build=2.5.7&appId=velkora-demo&userId=" + user;
}

std::string poll(const std::string& user, int feedCn, int likesCn, int topicsCn, int topicId, int topicCn) {
    return "command=update&clientType=1&build=2.5.7&appId=velkora-demo&deviceId=d&userId=" + user +
           "&wantMessages=0&changeNumber=0&wantFeed2=1&feedChangeNumber=" + std::to_string(feedCn) +
           "&wantLikes=1&likesChangeNumber=" + std::to_string(likesCn) +
           "&wantTopics=1&topicsChangeNumber=" + std::to_string(topicsCn) + "&wantTopic=" + (topicId ? "1" : "0") +
           "&topicChangeNumber=" + std::to_string(topicCn) + "&topicId=" + std::to_string(topicId) +
           "&logs=&protocolVersion=15";
}

TEST_F(ServiceTest, CommentsPageOldestFirstAndReachOtherUsersPolls) {
    std::string a = newUser(), b = newUser();
    Json list = get(head("getTopics", a) + "&changeNumber=0");
    ASSERT_TRUE(list["topics"].is_array()) << list;
    ASSERT_EQ(list["topics"].size(), 8u);
    int topicsCn = list["changeNumber"];
    int topicId = list["topics"][0]["id"];

    Json opened = get(head("getTopic", b) + "&topicId=" + std::to_string(topicId) + "&clean=1&protocolVersion=15");
    ASSERT_TRUE(opened.contains("ads")) << opened;
    int topicCn = opened["topic"]["changeNumber"];
    EXPECT_EQ(opened["topic"]["comments"].size(), 2u);

    for (int i = 0; i < 25; ++i)
        ASSERT_EQ(get(head("addComment", a) + "&topicId=" + std::to_string(topicId) + "&text=n%20" + std::to_string(i) +
                      "&contentType=text/plain"),
                  Json::object());
    EXPECT_EQ(get(head("addComment", a) + "&topicId=" + std::to_string(topicId) + "&text=x&contentType=video")
                  .value("error", ""),
              "BAD_REQUEST");

    Json latest = get(head("getTopic", b) + "&topicId=" + std::to_string(topicId) + "&clean=0&protocolVersion=15");
    const Json& comments = latest["topic"]["comments"];
    ASSERT_EQ(comments.size(), 20u);
    EXPECT_EQ(comments.back()["text"], "n 24");
    EXPECT_EQ(latest["topic"]["nComments"], 27);
    int earliest = comments[0]["id"];
    Json before = get(head("getTopic", b) + "&topicId=" + std::to_string(topicId) +
                      "&offset=" + std::to_string(earliest) + "&protocolVersion=15");
    const Json& page = before["topic"]["comments"];
    ASSERT_EQ(page.size(), 7u) << before;
    for (size_t i = 1; i < page.size(); ++i)
        EXPECT_LT(page[i - 1]["id"].get<int>(), page[i]["id"].get<int>()) << "oldest first";
    EXPECT_EQ(page[0]["text"], "Hello from Lisbon!");

    Json p = get(poll(b, 0, 0, topicsCn, topicId, topicCn));
    ASSERT_TRUE(p["topics"].is_object()) << p;
    EXPECT_GT(p["topics"]["changeNumber"].get<int>(), topicsCn);
    ASSERT_EQ(p["topics"]["topics"].size(), 1u);
    EXPECT_EQ(p["topic"]["topic"]["comments"].size(), 25u);

    // Only the author deletes; the deletion reaches the poll as a changed topic.
    int last = comments.back()["id"];
    EXPECT_EQ(
        get(head("deleteComment", b) + "&topicId=" + std::to_string(topicId) + "&commentId=" + std::to_string(last))
            .value("error", ""),
        "NOT_ALLOWED");
    EXPECT_EQ(
        get(head("deleteComment", a) + "&topicId=" + std::to_string(topicId) + "&commentId=" + std::to_string(last)),
        Json::object());
    Json after = get(head("getTopic", b) + "&topicId=" + std::to_string(topicId) + "&clean=0&protocolVersion=15");
    EXPECT_EQ(after["topic"]["nComments"], 26);
}

TEST_F(ServiceTest, LikesOfTopicsCommentsAndObjectsAreCountedPerUser) {
    std::string a = newUser(), b = newUser();
    Json list = get(head("getTopics", a) + "&changeNumber=0");
    std::string topic = std::to_string(list["topics"][0]["id"].get<int>());
    Json t = get(head("getTopic", a) + "&topicId=" + topic + "&clean=1&protocolVersion=15");
    std::string comment = std::to_string(t["topic"]["comments"][0]["id"].get<int>());

    struct Case {
        std::string like, unlike;
    } cases[] = {
        {"&topicId=" + topic + "&objectType=TOPIC", "&topicId=" + topic},
        {"&topicId=" + topic + "&commentId=" + comment + "&objectType=COMMENT",
         "&topicId=" + topic + "&commentId=" + comment},
        {"&object=https%3A%2F%2Fx.example%2Fa.png&objectType=IMAGE&objectDesc=A%20picture",
         "&object=https%3A%2F%2Fx.example%2Fa.png"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(get(head("like", a) + c.like), Json::object()) << c.like;
        EXPECT_EQ(get(head("like", a) + c.like), Json::object()) << "liking twice counts once";
        EXPECT_EQ(get(head("like", b) + c.like), Json::object());
        Json p = get(poll(b, 0, 0, 0, 0, 0));
        ASSERT_FALSE(p["likes"].empty()) << p;
        const Json& o = p["likes"].back();
        EXPECT_EQ(o["numLikes"], 2) << c.like << o;
        EXPECT_EQ(o["isLike"], true);
        EXPECT_EQ(get(head("unlike", a) + c.unlike), Json::object());
        Json q = get(poll(b, 0, o["changeNumber"].get<int>(), 0, 0, 0));
        ASSERT_EQ(q["likes"].size(), 1u) << q;
        EXPECT_EQ(q["likes"][0]["numLikes"], 1);
    }
    Json topicNow = get(head("getTopic", a) + "&topicId=" + topic + "&clean=1&protocolVersion=15");
    EXPECT_EQ(topicNow["topic"]["nLikes"], 1);
    Json image = get(head("getLikes", a) + "&object=https%3A%2F%2Fx.example%2Fa.png");
    EXPECT_EQ(image["type"], "IMAGE");
    EXPECT_EQ(image["desc"], "A picture");
    EXPECT_EQ(image["isLike"], false);
    ASSERT_EQ(image["users"].size(), 1u);
    EXPECT_EQ(image["users"][0]["userId"], b);
}

TEST_F(ServiceTest, PostedFeedItemsReachOtherUsersAndCarryTheirLikes) {
    std::string a = newUser(), b = newUser();
    service().follow(app(), b, a);
    // The poll brings the application's items after the cursor: start after the seeded ones.
    int seen = 0;
    Json seeded = get(poll(b, 0, 0, 0, 0, 0));
    for (const Json& item : seeded["feed2"])
        seen = std::max(seen, item["id"].get<int>());
    Json sent = get(head("sendFeed2", a) +
                    "&message=Hi%20all&&replyTo=0&contentType=text/plain&descImageUrl=&descText=&descSubText=Sub"
                    "&actionVerb=&actionId=");
    ASSERT_TRUE(sent.contains("id")) << sent;
    int id = sent["id"];
    Json p = get(poll(b, seen, 0, 0, 0, 0));
    ASSERT_EQ(p["feed2"].size(), 1u) << p;
    EXPECT_EQ(p["feed2"][0]["message"], "Hi all");
    EXPECT_EQ(p["feed2"][0]["descSubText"], "Sub");
    EXPECT_EQ(p["feed2"][0]["descText"], "");
    EXPECT_EQ(p["feed2"][0]["sender"]["userId"], a);
    EXPECT_TRUE(get(poll(b, id, 0, 0, 0, 0))["feed2"].empty());

    EXPECT_EQ(get(head("like", b) + "&object=" + std::to_string(id) + "&objectType=POST&feedId=" + std::to_string(id)),
              Json::object());
    Json feed = get(head("getFeed2", a) + "&test=0&wantLikes=1&protocolVersion=15");
    ASSERT_EQ(feed["messages"].size(), 1u) << feed;
    EXPECT_EQ(feed["messages"][0]["numLikes"], 1);
    ASSERT_EQ(feed["likes"].size(), 1u);
    EXPECT_EQ(feed["likes"][0]["feedMessage"]["id"], id);
    EXPECT_EQ(get(head("unlike", b) + "&object=" + std::to_string(id)), Json::object());
    EXPECT_EQ(get(head("getOneFeed2", a) + "&feedId=" + std::to_string(id))["feed"]["numLikes"], 0);

    EXPECT_EQ(get(head("resendFeed2", b) + "&feedId=" + std::to_string(id)), Json::object());
    Json resenders = get(head("getResenders2", a) + "&feedId=" + std::to_string(id));
    ASSERT_EQ(resenders["users"].size(), 1u);
    EXPECT_EQ(resenders["users"][0]["userId"], b);
    EXPECT_EQ(get(head("deleteFeed2", b) + "&feedId=" + std::to_string(id)).value("error", ""), "NOT_ALLOWED");
    EXPECT_EQ(get(head("deleteFeed2", a) + "&feedId=" + std::to_string(id)), Json::object());
    EXPECT_TRUE(get(head("getOtherFeed2", b) + "&otherAppId=velkora-demo&otherUserId=" + a +
                    "&wantLikes=1&protocolVersion=15")["messages"]
                    .empty());
}

// Besides the likes of its items, the feed carries what the user and the people the user follows liked
// elsewhere (a host's pictures and videos, topics, comments), so a picture someone liked is a row of it.
TEST_F(ServiceTest, FeedCarriesTheLikesOfThePeopleTheUserSees) {
    std::string a = newUser(), b = newUser();
    auto likedThings = [&] {
        std::vector<std::string> things;
        const Json feed = get(head("getFeed2", a) + "&test=0&wantLikes=1&protocolVersion=15");
        for (const Json& like : feed["likes"])
            if (like.value("type", "") != "POST") // the likes of the feed's own items come with them
                things.push_back(like.value("type", "") + " " + like.value("desc", "") + " by " +
                                 like["users"][0].value("userId", ""));
        std::sort(things.begin(), things.end());
        return things;
    };
    auto relation = [&](const std::string& command, const std::string& whom, const std::string& rest) {
        return get(head(command, a) + "&otherAppId=velkora-demo&otherUserId=" + whom + rest);
    };
    EXPECT_TRUE(likedThings().empty()) << "nobody followed: the seeded people's likes are not the user's feed";

    ASSERT_EQ(relation("favoriteAdd", "u-mira", "&publish=0"), Json::object());
    ASSERT_EQ(get(head("like", b) + "&object=sunset.png&objectType=IMAGE&objectDesc=Sunset"), Json::object());
    ASSERT_EQ(get(head("like", a) + "&object=recipe-9&objectType=OTHER&objectDesc=Soup"), Json::object());
    struct Step {
        const char* what;
        std::string command, whom, rest;
        std::vector<std::string> things;
    };
    const Step steps[] = {
        {"the followed user's picture and topic likes and the user's own like; not a stranger's",
         "favoriteAdd",
         "u-lena",
         "&publish=0",
         {"COMMENT  by u-lena", "COMMENT  by u-mira", "IMAGE Harbour at dawn by u-mira", "OTHER Soup by " + a,
          "TOPIC  by u-lena", "VIDEO A lap around the lake by u-lena"}},
        {"a blocked user's likes leave the feed",
         "setUserRelation",
         "u-lena",
         "&type=b&value=1&v=2",
         {"COMMENT  by u-mira", "IMAGE Harbour at dawn by u-mira", "OTHER Soup by " + a}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        ASSERT_EQ(relation(step.command, step.whom, step.rest), Json::object());
        EXPECT_EQ(likedThings(), step.things);
    }
    // A thing whose last like is taken back is no activity any more.
    ASSERT_EQ(get(head("unlike", a) + "&object=recipe-9"), Json::object());
    EXPECT_EQ(likedThings(), (std::vector<std::string>{"COMMENT  by u-mira", "IMAGE Harbour at dawn by u-mira"}));
}

} // namespace
} // namespace velkora::service::testing
