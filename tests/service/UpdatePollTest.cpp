// The update poll's feed, likes and topics parts: each brings what changed after its cursor.
#include "ServiceFixture.h"

namespace velkora::service::testing {
namespace {

struct Cursors {
    int messages = 0, feed = 0, likes = 0, topics = 0, topic = 0, topicId = 0;
    bool wantFeed = true, wantTopics = true, wantTopic = false;
};

std::string poll(const std::string& user, const Cursors& c) {
    return "command=update&clientType=1&build=2.5.7&appId=velkora-demo&deviceId=" + user + "&userId=" + user +
           "&wantMessages=1&changeNumber=" + std::to_string(c.messages) + "&wantFeed2=" + (c.wantFeed ? "1" : "0") +
           "&feedChangeNumber=" + std::to_string(c.feed) + "&wantLikes=" + (c.wantFeed ? "1" : "0") +
           "&likesChangeNumber=" + std::to_string(c.likes) + "&wantTopics=" + (c.wantTopics ? "1" : "0") +
           "&topicsChangeNumber=" + std::to_string(c.topics) + "&wantTopic=" + (c.wantTopic ? "1" : "0") +
           "&topicChangeNumber=" + std::to_string(c.topic) + "&topicId=" + std::to_string(c.topicId) +
           "&logs=&protocolVersion=15";
}

int maxOf(const Json& list, const char* key) {
    int highest = 0;
    for (const auto& item : list)
        highest = std::max(highest, item[key].get<int>());
    return highest;
}

TEST_F(ServiceTest, FeedItemsArriveOnceAfterTheCursor) {
    std::string a = newUser(), b = newUser();
    Cursors c;
    Json first = get(poll(b, c));
    ASSERT_TRUE(first["feed2"].is_array()) << first;
    EXPECT_FALSE(first["feed2"].empty()) << "the demo feed is seeded";
    c.feed = maxOf(first["feed2"], "id");

    EXPECT_EQ(get(poll(b, c))["feed2"], Json::array());
    int64_t id = service().postFeed(app(), a, "new post");
    Json next = get(poll(b, c));
    ASSERT_EQ(next["feed2"].size(), 1u);
    const Json& item = next["feed2"][0];
    EXPECT_EQ(item["id"], id);
    EXPECT_GT(item["id"].get<int>(), c.feed);
    EXPECT_EQ(item["message"], "new post");
    EXPECT_EQ(item["sender"]["userId"], a);
    EXPECT_EQ(item["contentType"], "text/plain");
    EXPECT_EQ(item["messageType"], 0);
    EXPECT_EQ(item["numLikes"], 0);
    EXPECT_EQ(item["resends"], 0);

    c.wantFeed = false;
    Json without = get(poll(b, c));
    EXPECT_FALSE(without.contains("feed2"));
    EXPECT_FALSE(without.contains("likes"));
}

TEST_F(ServiceTest, LikesCarryTheirObjectAndMoveTheirCursor) {
    std::string a = newUser(), b = newUser();
    Cursors c;
    Json first = get(poll(b, c));
    ASSERT_TRUE(first["likes"].is_array());
    c.likes = maxOf(first["likes"], "changeNumber");
    c.feed = maxOf(first["feed2"], "id");
    EXPECT_EQ(get(poll(b, c))["likes"], Json::array()) << "an empty list still comes when likes are wanted";

    int64_t post = service().postFeed(app(), a, "like me");
    service().likeFeed(app(), b, post);
    Json next = get(poll(b, c));
    ASSERT_EQ(next["likes"].size(), 1u) << next;
    const Json& like = next["likes"][0];
    EXPECT_GT(like["changeNumber"].get<int>(), c.likes);
    EXPECT_EQ(like["type"], "POST");
    EXPECT_EQ(like["object"], std::to_string(post));
    EXPECT_EQ(like["numLikes"], 1);
    EXPECT_EQ(like["isLike"], true);
    EXPECT_EQ(like["users"][0]["userId"], b);
    EXPECT_EQ(like["feedMessage"]["id"], post);
    EXPECT_EQ(next["feed2"][0]["numLikes"], 1);

    // The same object seen by another user: not liked by them.
    Json seenByA = get(poll(a, c));
    EXPECT_EQ(seenByA["likes"][0]["isLike"], false);
}

TEST_F(ServiceTest, TopicsListAndOpenTopicBringTheirNews) {
    std::string a = newUser(), b = newUser();
    Cursors c;
    Json first = get(poll(b, c));
    ASSERT_TRUE(first["topics"].is_object()) << first;
    const Json& list = first["topics"]["topics"];
    EXPECT_GE(list.size(), 3u);
    c.topics = first["topics"]["changeNumber"];
    EXPECT_EQ(c.topics, maxOf(list, "changeNumber"));
    EXPECT_FALSE(get(poll(b, c)).contains("topics")) << "nothing changed";

    int64_t topic = service().addTopic(app(), "Fresh topic", "Talk here");
    Json added = get(poll(b, c));
    ASSERT_EQ(added["topics"]["topics"].size(), 1u);
    const Json& t = added["topics"]["topics"][0];
    EXPECT_EQ(t["id"], topic);
    EXPECT_EQ(t["title"], "Fresh topic");
    EXPECT_EQ(t["text"], "Talk here");
    EXPECT_EQ(t["contentType"], "text/html");
    EXPECT_EQ(t["nComments"], 0);
    EXPECT_EQ(t["removed"], false);

    // Open the topic: the list is not asked, the topic's new comments come.
    c.wantTopics = false;
    c.wantTopic = true;
    c.topicId = static_cast<int>(topic);
    c.topic = t["changeNumber"];
    EXPECT_FALSE(get(poll(b, c)).contains("topic"));
    int64_t comment = service().addTopicComment(app(), topic, a, "first!");
    Json news = get(poll(b, c));
    ASSERT_TRUE(news["topic"]["topic"].is_object()) << news;
    const Json& open = news["topic"]["topic"];
    EXPECT_GT(open["changeNumber"].get<int>(), c.topic);
    EXPECT_EQ(open["nComments"], 1);
    ASSERT_EQ(open["comments"].size(), 1u);
    EXPECT_EQ(open["comments"][0]["id"], comment);
    EXPECT_EQ(open["comments"][0]["text"], "first!");
    EXPECT_EQ(open["comments"][0]["contentType"], "text/plain");
    EXPECT_EQ(open["comments"][0]["user"]["userId"], a);
    EXPECT_FALSE(news.contains("topics"));

    c.topic = open["changeNumber"];
    EXPECT_FALSE(get(poll(b, c)).contains("topic"));
}

} // namespace
} // namespace velkora::service::testing
