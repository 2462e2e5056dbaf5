// The like button against velkora-service: readiness, the count, one request per key, the answer applied
// to what was tapped, and failures put back visibly.
#include <gtest/gtest.h>

#include "FeedCellsFixture.h"
#include "data/VelkoraChatRoomsComment.h"
#include "data/VelkoraChatRoomsTopic.h"
#include "data/VelkoraFeedMessage.h"
#include "data/VelkoraLikeObject.h"
#include "feed/VelkoraLikeButton.h"
#include "data/VelkoraUserInfo.h"

namespace velkora::testing {
namespace {

using service::Fault;

// Records what the delegate is told.
struct RecordingLikeDelegate : VelkoraLikeButtonDelegate {
    struct Call {
        std::string data;
        bool liked;
        int32_t count;
    };
    std::vector<Call> calls;
    void likeObject(const VelkoraLikeObjectPtr& object, const OptionalText& data, bool newMode) override {
        calls.push_back({data.value_or(""), newMode, object ? object->numLikes() : -99});
    }
};

class LikeButtonTest : public FeedCellsTest {
protected:
    // A control bound to a host picture, its count answered by the service.
    std::shared_ptr<VelkoraLikeButton> readyHostButton(const std::string& object) {
        auto button = VelkoraLikeButton::create({0, 0, 64, 28});
        button->updateLikeObject(object, VelkoraLikeObject::IMAGE, std::string("A picture"));
        EXPECT_TRUE(waitFor([&] { return button->likeObjectIsReady(); }));
        EXPECT_TRUE(settle());
        return button;
    }
    static std::string title(const VelkoraLikeButton& b) {
        return b.likeOnButton()->titleForState(ui::ControlStateNormal).value_or("<none>");
    }
};

TEST_F(LikeButtonTest, HostButtonWaitsForReadinessThenLikesAndUnlikesThroughTheService) {
    svc.likeObject(kApp, svc.createUser(kApp), "IMAGE", "pic-1", "A picture");
    svc.likeObject(kApp, svc.createUser(kApp), "IMAGE", "pic-1", "A picture");

    auto button = VelkoraLikeButton::create({0, 0, 64, 28});
    button->updateLikeObject("pic-1", VelkoraLikeObject::IMAGE, std::string("A picture"));
    EXPECT_FALSE(button->likeObjectIsReady());
    EXPECT_FALSE(button->likeOnButton()->isHidden()) << "the like face while the count is unknown";
    EXPECT_TRUE(button->likeOffButton()->isHidden());
    EXPECT_FALSE(button->isUserInteractionEnabled());

    startReady();
    // A second announcement asks nothing more: the control kept one observer of readiness.
    foundation::NotificationCenter::defaultCenter().post("VelkoraIsReady");
    ASSERT_TRUE(waitFor([&] { return button->likeObjectIsReady(); }));
    ASSERT_TRUE(settle());
    EXPECT_EQ(count("getLikes"), 1u) << "one observer of readiness, one count request";
    EXPECT_EQ(param(svc.requestsFor("getLikes")[0], "object"), "pic-1");
    EXPECT_EQ(title(*button), "2");
    EXPECT_TRUE(button->isUserInteractionEnabled());

    button->likeOnButton()->tap();
    EXPECT_EQ(title(*button), "3") << "the tap shows its result at once";
    EXPECT_TRUE(button->likeOnButton()->isHidden());
    EXPECT_FALSE(button->likeOffButton()->isHidden());
    EXPECT_FALSE(recordHoldsKey(likeKey("pic-1"))) << "nothing is kept before the service answers";
    ASSERT_TRUE(waitForRequests("like", 1));
    const auto like = svc.requestsFor("like")[0];
    EXPECT_EQ(param(like, "object"), "pic-1");
    EXPECT_EQ(param(like, "objectType"), "IMAGE");
    EXPECT_EQ(param(like, "objectDesc"), "A%20picture");
    EXPECT_TRUE(recordHoldsKey(likeKey("pic-1")));
    EXPECT_NE(recordFileText().find(likeKey("pic-1")), std::string::npos) << "the record is saved";
    EXPECT_EQ(button->likeObject()->numLikes(), 3);
    EXPECT_EQ(svc.likesOf(kApp, "IMAGE", "pic-1"), 3);

    auto second = readyHostButton("pic-1");
    EXPECT_TRUE(second->shownLiked()) << "the liked keys are shared";
    EXPECT_EQ(title(*second), "3");

    second->likeOffButton()->tap();
    runThrough();
    EXPECT_FALSE(recordHoldsKey(likeKey("pic-1")));
    EXPECT_EQ(recordFileText().find(likeKey("pic-1")), std::string::npos);
    EXPECT_EQ(svc.likesOf(kApp, "IMAGE", "pic-1"), 2);
    for (auto* b : {button.get(), second.get()}) {
        EXPECT_EQ(title(*b), "2") << "every control of the key redraws";
        EXPECT_FALSE(b->shownLiked());
    }
}

TEST_F(LikeButtonTest, TitleShowsPositiveCountsOnly) {
    const std::pair<int32_t, std::string> cases[] = {{-1, ""}, {0, ""}, {1, "1"}, {12, "12"}};
    auto button = VelkoraLikeButton::create({0, 0, 64, 28});
    for (const auto& [n, expected] : cases) {
        auto object = std::make_shared<VelkoraLikeObject>();
        object->setNumLikes(n);
        object->setData(std::string("x"));
        button->updateLikeObject(object);
        EXPECT_EQ(title(*button), expected) << n;
        EXPECT_EQ(button->likeOffButton()->titleForState(ui::ControlStateHighlighted), expected) << n;
    }
}

TEST_F(LikeButtonTest, EachWayOfAskingTwiceSendsOneRequest) {
    startReady();
    struct Case {
        const char* name;
        std::function<void(VelkoraLikeButton&, VelkoraLikeButton&)> taps;
    } cases[] = {
        {"five taps in one turn",
         [](VelkoraLikeButton& b, VelkoraLikeButton&) {
             for (int i = 0; i < 5; ++i)
                 b.likeOnButton()->tap();
         }},
        {"like then unlike before the answer",
         [](VelkoraLikeButton& b, VelkoraLikeButton&) {
             b.clickLike();
             b.clickUnlike();
         }},
        {"clickLike when liked", [](VelkoraLikeButton& b, VelkoraLikeButton&) { b.clickLike(); }},
        {"two controls on one key",
         [](VelkoraLikeButton& b, VelkoraLikeButton& other) {
             b.clickLike();
             other.clickLike();
         }},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string object = "pic-once-" + std::to_string(n++);
        auto button = readyHostButton(object);
        auto other = readyHostButton(object);
        if (std::string(c.name) == "clickLike when liked") {
            button->clickLike();
            runThrough();
            svc.clearRequests();
            c.taps(*button, *other);
            runThrough();
            EXPECT_EQ(count("like"), 0u) << c.name;
            EXPECT_EQ(button->likeObject()->numLikes(), 1) << c.name;
            continue;
        }
        svc.clearRequests();
        c.taps(*button, *other);
        runThrough();
        EXPECT_EQ(count("like") + count("unlike"), 1u) << c.name;
        EXPECT_EQ(svc.likesOf(kApp, "IMAGE", object), 1) << c.name;
        EXPECT_EQ(button->likeObject()->numLikes(), 1) << c.name;
        EXPECT_EQ(other->likeObject()->numLikes(), 1) << c.name;
        EXPECT_TRUE(recordHoldsKey(likeKey(object))) << c.name;
    }
}

TEST_F(LikeButtonTest, FailuresPutFaceAndCountBackAndOnlyANetworkFailureSaysSo) {
    startReady();
    struct Case {
        const char* name;
        Fault fault;
        size_t notices;
    } cases[] = {
        {"error reply", Fault{"like", Fault::Kind::ErrorCode, "SERVICE_DOWN"}, 0},
        {"HTTP 500", Fault{"like", Fault::Kind::HttpStatus, "", 500}, 0},
        {"not JSON", Fault{"like", Fault::Kind::NotJson, "oops"}, 0},
        {"dropped", Fault{"like", Fault::Kind::Drop, "", 500, 0, -1}, 1},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::string object = "pic-fail-" + std::to_string(n++);
        auto button = readyHostButton(object);
        auto delegate = std::make_shared<RecordingLikeDelegate>();
        button->setDelegate(delegate);
        const size_t before = noticesShown();
        svc.clearFaults();
        svc.addFault(c.fault);
        button->clickLike();
        EXPECT_TRUE(button->shownLiked()) << c.name;
        runThrough();
        svc.clearFaults();
        EXPECT_FALSE(button->shownLiked()) << c.name;
        EXPECT_EQ(title(*button), "") << c.name;
        EXPECT_FALSE(button->likeOnButton()->isHidden()) << c.name;
        EXPECT_FALSE(recordHoldsKey(likeKey(object))) << c.name;
        EXPECT_EQ(noticesShown() - before, c.notices) << c.name;
        ASSERT_FALSE(delegate->calls.empty()) << c.name;
        for (const auto& call : delegate->calls) {
            EXPECT_FALSE(call.liked) << c.name << ": the delegate hears settled states only";
            EXPECT_EQ(call.count, 0) << c.name;
        }
        loop().advance(VelkoraDefaultNotificationPopupView::kDisplaySeconds + 0.1);
    }
}

TEST_F(LikeButtonTest, AnswersApplyToWhatWasAskedWhenTheControlWasReboundMeanwhile) {
    startReady();
    svc.likeObject(kApp, svc.createUser(kApp), "IMAGE", "old-count", "");
    for (int i = 0; i < 3; ++i)
        svc.likeObject(kApp, svc.createUser(kApp), "IMAGE", "new-count", "");

    // A count answer for the earlier binding is not written into the later one.
    auto button = VelkoraLikeButton::create({0, 0, 64, 28});
    svc.addFault(Fault{"getLikes", Fault::Kind::Delay, "", 500, 0.3});
    button->updateLikeObject("old-count", VelkoraLikeObject::IMAGE, std::nullopt);
    svc.clearFaults();
    button->updateLikeObject("new-count", VelkoraLikeObject::IMAGE, std::nullopt);
    runThrough();
    EXPECT_EQ(count("getLikes"), 2u);
    EXPECT_EQ(button->likeObject()->data(), std::optional<std::string>("new-count"));
    EXPECT_EQ(button->likeObject()->numLikes(), 3);

    // A like answered after a rebinding keeps the tapped thing's key, not the new thing's.
    auto tapped = button->likeObject();
    button->clickLike();
    auto next = std::make_shared<VelkoraLikeObject>();
    next->setData(std::string("other-thing"));
    next->setAppId(std::string(kApp));
    next->setNumLikes(7);
    button->updateLikeObject(next);
    EXPECT_EQ(title(*button), "7");
    runThrough();
    EXPECT_TRUE(recordHoldsKey(likeKey("new-count")));
    EXPECT_FALSE(recordHoldsKey(likeKey("other-thing")));
    EXPECT_EQ(tapped->numLikes(), 4);
    EXPECT_EQ(next->numLikes(), 7);
    EXPECT_EQ(title(*button), "7");
}

TEST_F(LikeButtonTest, EachKindOfThingIsLikedByItsOwnRequestAndRaisesItsOwnCount) {
    startReady();
    std::string poster = svc.createUser(kApp);
    int64_t post = svc.postFeed(kApp, poster, "a post");
    int64_t topicId = svc.addTopic(kApp, "Topic");
    int64_t commentId = svc.addTopicComment(kApp, topicId, poster, "a comment");

    auto feed = std::make_shared<VelkoraFeedMessage>();
    feed->setOriginalId(static_cast<int32_t>(post));
    feed->setNumLikes(4);
    auto sender = std::make_shared<VelkoraUserInternal>();
    sender->setAppId(std::string(kApp));
    feed->setSender(sender);
    auto topic = std::make_shared<VelkoraChatRoomsTopic>();
    topic->setTopicId(static_cast<int32_t>(topicId));
    topic->setLikesNumber(2);
    auto comment = std::make_shared<VelkoraChatRoomsComment>();
    comment->setTopicId(static_cast<int32_t>(topicId));
    comment->setCommentId(static_cast<int32_t>(commentId));
    comment->setLikesNumber(1);

    struct Case {
        const char* name;
        std::function<void(VelkoraLikeButton&)> bind;
        std::string expectedParams;
        std::function<int32_t()> linkedCount;
        int32_t linkedAfter;
    } cases[] = {
        {"post", [&](VelkoraLikeButton& b) { b.updateLikeObjectFromFeed(feed); },
         "object=" + std::to_string(post) + "&objectType=POST&feedId=" + std::to_string(post),
         [&] { return feed->numLikes(); }, 5},
        {"comment with its topic",
         [&](VelkoraLikeButton& b) {
             auto o = std::make_shared<VelkoraLikeObject>();
             o->setChatRoomsComment(comment);
             o->setChatRoomsTopic(topic);
             o->setType(VelkoraLikeObject::COMMENT);
             o->setAppId(std::string(kApp));
             b.updateLikeObject(o);
         },
         "topicId=" + std::to_string(topicId) + "&commentId=" + std::to_string(commentId),
         [&] { return comment->likesNumber() * 100 + topic->likesNumber(); }, 202},
        {"topic", [&](VelkoraLikeButton& b) { b.updateLikeObjectFromChatRoomsWithTopic(topic); },
         "topicId=" + std::to_string(topicId) + "&objectType=TOPIC", [&] { return topic->likesNumber(); }, 3},
    };
    for (const auto& c : cases) {
        auto button = VelkoraLikeButton::create({0, 0, 64, 28});
        c.bind(*button);
        svc.clearRequests();
        button->clickLike();
        runThrough();
        ASSERT_EQ(count("like"), 1u) << c.name;
        EXPECT_NE(svc.requestsFor("like")[0].query.find(c.expectedParams), std::string::npos)
            << c.name << ": " << svc.requestsFor("like")[0].query;
        EXPECT_EQ(c.linkedCount(), c.linkedAfter) << c.name;
    }

    // Host objects bound with the comment and topic codes go as NONE.
    for (int32_t type : {4, 5}) {
        auto button = VelkoraLikeButton::create({0, 0, 64, 28});
        const std::string object = "host-" + std::to_string(type);
        button->updateLikeObject(object, type, std::nullopt);
        ASSERT_TRUE(waitFor([&] { return button->likeObjectIsReady(); }));
        svc.clearRequests();
        button->clickLike();
        runThrough();
        ASSERT_EQ(count("like"), 1u);
        EXPECT_EQ(param(svc.requestsFor("like")[0], "objectType"), "NONE") << type;
    }
}

TEST_F(LikeButtonTest, ADestroyedControlIsNotCalledButTheLikeItSentIsKept) {
    startReady();
    auto delegate = std::make_shared<RecordingLikeDelegate>();
    {
        auto button = readyHostButton("gone");
        button->setDelegate(delegate);
        delegate->calls.clear();
        button->clickLike();
    }
    runThrough();
    EXPECT_TRUE(delegate->calls.empty());
    EXPECT_TRUE(recordHoldsKey(likeKey("gone"))) << "the service keeps the like, so the record does too";
}

} // namespace
} // namespace velkora::testing
