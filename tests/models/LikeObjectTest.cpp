#include <gtest/gtest.h>

#include <map>

#include "ModelsTestSupport.h"
#include "platform/foundation/Log.h"
#include "platform/services/OutsideEndpoints.h"
#include "server/VelkoraReplyParsers.h"

using namespace velkora;
using velkora::test::json;

namespace {

class LikeObjectTest : public ::testing::Test {
protected:
    void SetUp() override {
        VelkoraUsersRepository::instance().reset();
        context_.appId = "APP";
        context_.likeObjectWithId = [this](int32_t id) {
            auto& slot = cache_[id];
            if (!slot) slot = std::make_shared<VelkoraLikeObject>();
            return slot;
        };
        // A plain-HTTP base is taken as its HTTPS form: video stills never load in the clear.
        services::OutsideEndpoints::setBase(services::OutsideEndpoints::Service::VideoService,
                                            std::string("http://img.youtube.com"));
    }
    void TearDown() override { services::OutsideEndpoints::reset(); }
    std::map<int32_t, VelkoraLikeObjectPtr> cache_;
    VelkoraLikeParseContext context_;
    foundation::Log::Capture log_;
};

} // namespace

TEST_F(LikeObjectTest, TypeWordsBothWays) {
    const char* words[] = {"NONE", "IMAGE", "VIDEO", "POST", "COMMENT", "TOPIC", "OTHER"};
    for (int32_t code = 0; code < 7; ++code) {
        VelkoraLikeObject like;
        like.setType(code);
        EXPECT_EQ(like.getObjectTypeStr(), words[code]);
        VelkoraLikeObject back;
        back.setObjectTypeStr(words[code]);
        EXPECT_EQ(back.type(), code);
    }
    VelkoraLikeObject like;
    like.setType(7);
    EXPECT_EQ(like.getObjectTypeStr(), std::nullopt);
    like.setType(-1);
    EXPECT_EQ(like.getObjectTypeStr(), std::nullopt);
    like.setType(VelkoraLikeObject::TOPIC);
    like.setObjectTypeStr("post"); // exact words only
    like.setObjectTypeStr("");
    EXPECT_EQ(like.type(), VelkoraLikeObject::TOPIC);
}

TEST_F(LikeObjectTest, KeysFollowTheLinkedObjectNotTheType) {
    VelkoraLikeObject like;
    like.setAppId(std::string("A"));
    like.setData(std::string("http://x/1"));
    like.setType(VelkoraLikeObject::POST);
    EXPECT_EQ(like.likeObjectToKey(), "LIKE-A,http://x/1");
    auto topic = std::make_shared<VelkoraChatRoomsTopic>();
    topic->setTopicId(5);
    like.setChatRoomsTopic(topic);
    EXPECT_EQ(like.likeObjectToKey(), "TOPIC-A,5");
    auto comment = std::make_shared<VelkoraChatRoomsComment>();
    comment->setCommentId(6);
    like.setChatRoomsComment(comment);
    EXPECT_EQ(like.likeObjectToKey(), "COMMENT-A,6");
    auto post = std::make_shared<VelkoraFeedMessage>();
    post->setOriginalId(77);
    post->setMessageId(78);
    like.setFeedMessage(post);
    like.setType(VelkoraLikeObject::IMAGE);
    EXPECT_EQ(like.likeObjectToKey(), "POST-A,77");
}

TEST_F(LikeObjectTest, VideoPreview) {
    struct Case {
        const char* data;
        const char* preview; // null: none
    } cases[] = {
        {"https://www.YouTube.com/watch?v=abc&t=10", "https://img.youtube.com/vi/abc/hqdefault.jpg"},
        {"http://youtube.com/watch?v=xyz", "https://img.youtube.com/vi/xyz/hqdefault.jpg"},
        {"http://youtube.com/watch?feature=1&v=q1&list=2", "https://img.youtube.com/vi/q1/hqdefault.jpg"},
        {"http://youtube.com/watch?V=abc", nullptr},
        {"http://vimeo.com/watch?v=abc", nullptr},
    };
    for (const auto& c : cases) {
        VelkoraLikeObject like;
        like.setData(std::string(c.data));
        like.calculateVideoPreviewImage();
        if (c.preview) {
            EXPECT_EQ(like.calculatedImageUrl(), c.preview) << c.data;
        } else {
            EXPECT_EQ(like.calculatedImageUrl(), std::nullopt) << c.data;
        }
    }
    VelkoraLikeObject like;
    like.setData(std::string("http://youtube.com/watch?v=first"));
    like.calculateVideoPreviewImage();
    like.setData(std::string("http://youtube.com/watch?v=second"));
    like.calculateVideoPreviewImage();
    EXPECT_EQ(like.calculatedImageUrl(), "https://img.youtube.com/vi/first/hqdefault.jpg");
}

TEST_F(LikeObjectTest, ParsedLikeObject) {
    auto like =
        parseLikeObject(json(R"({"objectId": "31", "users": [{"userId": "a"}, {"userId": null}, {"userId": "b"}],
        "feedMessage": {"sender": {"userId": "p"}, "id": 4, "originalId": 3},
        "topic": {"id": 9, "comments": [{"id": 12, "contentType": "text/plain", "user": {"userId": "c"}},
                                         {"id": 11, "contentType": "image", "user": {"userId": "c"}}]},
        "object": "http://x", "desc": "a picture", "type": "IMAGE", "time": "2024-03-05 07:08:09",
        "changeNumber": 88, "numLikes": 3, "isLike": true})"),
                        false, context_);
    ASSERT_NE(like, nullptr);
    EXPECT_TRUE(cache_.empty());
    EXPECT_EQ(like->objectId(), 31);
    EXPECT_EQ(like->appId(), "APP");
    ASSERT_EQ(like->users().size(), 2u);
    EXPECT_EQ(like->getPoster()->userId(), "a");
    EXPECT_EQ(like->feedMessage()->originalId(), 3);
    EXPECT_EQ(like->chatRoomsTopic()->topicId(), 9);
    EXPECT_EQ(like->chatRoomsComment()->commentId(), 11); // the oldest of the topic's events
    EXPECT_EQ(like->data(), "http://x");
    EXPECT_EQ(like->description(), "a picture");
    EXPECT_EQ(like->type(), VelkoraLikeObject::IMAGE);
    EXPECT_TRUE(like->time().has_value());
    EXPECT_EQ(like->changeNumber(), 88);
    EXPECT_EQ(like->numLikes(), 3);
    EXPECT_TRUE(like->storedIsLike());
    EXPECT_TRUE(like->isLike());
    EXPECT_EQ(like->activityId(), "feed-like-31");
    EXPECT_EQ(like->calculatedImageUrl(), std::nullopt);
}

TEST_F(LikeObjectTest, RepositoryCopiesAreUpdatedInPlace) {
    auto likes = parseLikes(json(R"([
        {"objectId": 1, "users": [{"userId": "a"}], "object": "o1", "desc": "d", "time": "2024-03-05 07:08:09",
         "topic": {"id": 4}},
        {"objectId": 2, "type": "VIDEO", "object": "http://vimeo.com/1"},
        {"objectId": 3, "type": "VIDEO", "object": "http://youtube.com/watch?v=Z"},
        {"objectId": 4, "type": "IMAGE", "object": "http://vimeo.com/1"},
        "junk"
    ])"),
                            context_);
    ASSERT_EQ(likes.size(), 3u);
    EXPECT_EQ(likes[0], cache_[1]);
    EXPECT_EQ(likes[0]->chatRoomsComment(), nullptr); // a topic without events gives no comment
    EXPECT_EQ(likes[1]->calculatedImageUrl(), "https://img.youtube.com/vi/Z/hqdefault.jpg");
    EXPECT_EQ(likes[2]->objectId(), 4);
    // The reader made the dropped video's slot before reading it; the feed repository lets such a slot go
    // when it merges the likes (the repositories' tests show it).
    EXPECT_EQ(cache_.size(), 4u);

    auto again = parseLikes(json(R"([{"objectId": 1, "users": [], "time": "", "numLikes": 9}])"), context_);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0], likes[0]);
    EXPECT_EQ(again[0]->numLikes(), 9);
    EXPECT_EQ(again[0]->getPoster(), nullptr);
    EXPECT_EQ(again[0]->data(), std::nullopt); // set even when absent
    EXPECT_TRUE(again[0]->time().has_value()); // an empty time leaves the old one
    EXPECT_NE(again[0]->chatRoomsTopic(), nullptr);

    EXPECT_EQ(parseLikeObject(json(R"({"objectId": 5, "type": "post"})"), true, context_)->type(),
              VelkoraLikeObject::NONE);
    EXPECT_EQ(parseLikeObject(json("[]"), true, context_), nullptr);
    EXPECT_TRUE(parseLikes(json("null"), context_).empty());
}
