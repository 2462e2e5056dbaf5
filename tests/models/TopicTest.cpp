#include <gtest/gtest.h>

#include "ModelsTestSupport.h"
#include "platform/foundation/Log.h"
#include "server/VelkoraReplyParsers.h"

using namespace velkora;
using velkora::test::json;

namespace {

VelkoraChatRoomsCommentPtr comment(int32_t id, const char* text = "") {
    auto c = std::make_shared<VelkoraChatRoomsComment>();
    c->setCommentId(id);
    c->setText(std::string(text));
    return c;
}

std::vector<int32_t> ids(const std::vector<VelkoraChatRoomsCommentPtr>& comments) {
    std::vector<int32_t> out;
    for (const auto& c : comments) out.push_back(c->commentId());
    return out;
}

class TopicTest : public ::testing::Test {
protected:
    void SetUp() override { VelkoraUsersRepository::instance().reset(); }
    foundation::Log::Capture log_;
};

}  // namespace

TEST_F(TopicTest, CommentsAreKeptOnePerIdAndSortedById) {
    VelkoraChatRoomsTopic t;
    t.addComment(comment(7, "seven"));
    t.addComment(comment(3));
    t.addComment(comment(9));
    t.addComment(comment(7, "seven again"));
    EXPECT_EQ(ids(t.getComments(true)), (std::vector<int32_t>{9, 7, 3}));
    EXPECT_EQ(ids(t.getComments(false)), (std::vector<int32_t>{3, 7, 9}));
    EXPECT_EQ(t.getComments(true)[1]->text(), "seven again");
    t.deleteComment(7);
    t.deleteComment(100);
    EXPECT_EQ(ids(t.getComments(false)), (std::vector<int32_t>{3, 9}));
    t.addComment(nullptr);
    EXPECT_EQ(t.getComments(false).size(), 2u);
}

TEST_F(TopicTest, EventsAreHandedOutOnceOldestFirst) {
    VelkoraChatRoomsTopic t;
    t.addTopicEvents({comment(5), comment(2)});
    t.addTopicEvents({comment(4)});
    EXPECT_EQ(ids(t.getLatestTopicEvents()), (std::vector<int32_t>{2, 4, 5}));
    EXPECT_TRUE(t.getLatestTopicEvents().empty());
    t.addTopicEvents({comment(8), comment(6)});
    EXPECT_EQ(ids(t.getLatestTopicEvents()), (std::vector<int32_t>{6, 8}));
    t.addTopicEvents({comment(1)});
    t.addComment(comment(1));
    t.reset();
    EXPECT_TRUE(t.getComments(true).empty());
    EXPECT_TRUE(t.getLatestTopicEvents().empty());
    t.addTopicEvents({comment(11)});
    EXPECT_EQ(ids(t.getLatestTopicEvents()), (std::vector<int32_t>{11}));
}

TEST_F(TopicTest, ParsedTopic) {
    auto t = parseTopic(json(R"({"id": 12, "changeNumber": 30, "removed": false, "isObject": true,
        "nComments": 4, "nLikes": "6", "title": "Cats", "text": "<b>hi</b>", "contentType": "video",
        "photoUrl": "http://p", "user": {"userId": "a"}, "time": "2024-03-05 07:08:09",
        "comments": [
            {"id": 5, "nLikes": 1, "text": "late", "contentType": "text/plain", "user": {"userId": "b"},
             "time": "2024-03-05 07:08:09"},
            {"id": 3, "text": null, "contentType": null, "user": {"userId": "c"}},
            {"id": 4, "text": "http://s", "contentType": "sticker", "user": {"userId": "c"}},
            {"id": 6, "text": "v", "contentType": "video", "user": {"userId": "c"}},
            {"id": 7, "text": "no type", "user": {"userId": "c"}},
            {"id": 8, "text": "number type", "contentType": 1, "user": {"userId": "c"}}
        ]})"));
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->topicId(), 12);
    EXPECT_EQ(t->changeNumber(), 30);
    EXPECT_FALSE(t->isRemoved());
    EXPECT_TRUE(t->isObject());
    EXPECT_EQ(t->commentsNumber(), 4);
    EXPECT_EQ(t->likesNumber(), 6);
    EXPECT_EQ(t->title(), "Cats");
    EXPECT_EQ(t->text(), "<b>hi</b>");
    EXPECT_EQ(t->contentType(), "video");
    EXPECT_TRUE(t->hasPhoto());
    EXPECT_EQ(t->user()->userId(), "a");
    EXPECT_TRUE(t->dateTime().has_value());
    EXPECT_TRUE(t->getComments(true).empty());  // comments of a reply arrive as events
    auto events = t->getLatestTopicEvents();
    ASSERT_EQ(ids(events), (std::vector<int32_t>{3, 4, 5}));
    EXPECT_EQ(events[0]->text(), "");
    EXPECT_EQ(events[0]->contentType(), "text/plain");
    EXPECT_EQ(events[1]->contentType(), "sticker");
    EXPECT_EQ(events[2]->likesNumber(), 1);
    EXPECT_EQ(events[2]->topicId(), 12);
    EXPECT_EQ(events[2]->user()->userId(), "b");
    EXPECT_TRUE(events[2]->dateTime().has_value());
    EXPECT_FALSE(events[0]->dateTime().has_value());
}

TEST_F(TopicTest, TopicDefaultsForNullAndMissingKeys) {
    struct Case {
        const char* json;
        const char* contentType;
    } cases[] = {
        {R"({"id": 1})", "text/html"},
        {R"({"id": 1, "contentType": null})", "text/html"},
        {R"({"id": 1, "contentType": "audio"})", "text/html"},
        {R"({"id": 1, "contentType": ["image"]})", "text/html"},
        {R"({"id": 1, "contentType": "link"})", "link"},
        {R"({"id": 1, "contentType": "image"})", "image"},
    };
    for (const auto& c : cases) {
        auto t = parseTopic(json(c.json));
        ASSERT_NE(t, nullptr) << c.json;
        EXPECT_EQ(t->contentType(), c.contentType) << c.json;
    }
    auto nulls = parseTopic(json(R"({"title": null, "text": null, "photoUrl": null, "time": null})"));
    EXPECT_EQ(nulls->title(), "");
    EXPECT_EQ(nulls->text(), "");
    EXPECT_EQ(nulls->photoUrl(), "");
    EXPECT_FALSE(nulls->hasPhoto());
    EXPECT_EQ(nulls->dateTime(), std::nullopt);
    EXPECT_EQ(nulls->user(), nullptr);
    auto absent = parseTopic(json(R"({"id": 2, "time": ""})"));
    EXPECT_EQ(absent->title(), std::nullopt);
    EXPECT_EQ(absent->text(), std::nullopt);
    EXPECT_EQ(absent->photoUrl(), std::nullopt);
    EXPECT_EQ(absent->dateTime(), std::nullopt);
    EXPECT_EQ(parseTopic(json("{}")), nullptr);
    EXPECT_EQ(parseTopic(json("null")), nullptr);
    EXPECT_EQ(parseTopic(json("[1]")), nullptr);
}

TEST_F(TopicTest, CommentListsOfOtherShapesAreEmpty) {
    EXPECT_TRUE(parseChatRoomsComments(json("null"), 1).empty());
    EXPECT_TRUE(parseChatRoomsComments(json(R"({"id": 1, "contentType": "image"})"), 1).empty());
    EXPECT_EQ(parseChatRoomsComments(json(R"([1, "x", {"id": 2, "contentType": "image"}])"), 1).size(), 1u);
}
