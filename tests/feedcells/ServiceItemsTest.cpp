// What the service stores for the feed cells: the kit's message types, and the helpers tests and the seed
// use to make every kind of feed item and like.
#include <gtest/gtest.h>

#include "FeedCellsFixture.h"
#include <map>

#include "data/VelkoraFeedMessage.h"
#include "data/VelkoraAppData.h"

namespace velkora::testing {
namespace {

class ServiceItemsTest : public FeedCellsTest {
protected:
    std::vector<VelkoraFeedMessagePtr> myFeed() {
        auto caller = std::make_shared<Caller>();
        VelkoraServerApi::getFeed(Caller::of(caller));
        EXPECT_TRUE(waitFor([&] { return !caller->answers.empty(); }));
        std::vector<VelkoraFeedMessagePtr> items;
        if (caller->answers.empty()) return items;
        const auto& messages = caller->answers[0].at(0);
        for (size_t i = 0; i < messages.size(); ++i)
            items.push_back(messages.at(i).asObject<VelkoraFeedMessage>());
        return items;
    }
};

TEST_F(ServiceItemsTest, JoinedAndCommentedItemsCarryTheKitsMessageTypes) {
    startReady();
    int64_t topic = svc.addTopic(kApp, "Rooms");
    auto appData = std::make_shared<VelkoraAppData>();
    appData->setAutoPostJoined(true);
    VelkoraAgentInternal::instance().setAppData(appData);
    auto caller = std::make_shared<Caller>();
    VelkoraServerApi::sendJoinedFeed(Caller::of(caller));
    VelkoraServerApi::sendCommentFeed(static_cast<int32_t>(topic), Caller::of(caller));
    ASSERT_TRUE(waitFor([&] { return caller->answers.size() == 2; }));

    std::map<int32_t, int> types;
    for (const auto& item : myFeed()) {
        ASSERT_TRUE(item);
        ++types[item->messageType()];
        if (item->messageType() == 3) {
            EXPECT_EQ(item->topicTitle(), std::optional<std::string>("Rooms"));
        }
    }
    EXPECT_EQ(types[2], 1);
    EXPECT_EQ(types[3], 1);
    EXPECT_EQ(types[1], 0);
}

TEST_F(ServiceItemsTest, HelpersMakeItemsAndLikesStampedInThePast) {
    startReady();
    service::UserFields ola;
    ola.firstName = "Ola";
    ola.lastName = "Berg";
    std::string other = svc.createUser(kApp, ola);
    svc.follow(kApp, myUserId(), other);
    service::Service::FeedItemFields fields;
    fields.message = "played a round";
    fields.actionVerb = "Play";
    fields.actionId = "quiz-1";
    fields.descText = "Capitals";
    fields.descSubText = "12 points";
    fields.descImageUrl = "https://example.invalid/p.png";
    fields.secondsAgo = 3600;
    int64_t id = svc.addFeedItem(kApp, other, fields);
    auto items = myFeed();
    ASSERT_EQ(items.size(), 1u);
    const auto& item = items[0];
    EXPECT_EQ(item->messageId(), id);
    EXPECT_EQ(item->actionVerb(), std::optional<std::string>("Play"));
    EXPECT_EQ(item->descSubText(), std::optional<std::string>("12 points"));
    ASSERT_TRUE(item->time());
    EXPECT_NEAR(loop().now() - *item->time(), 3600, 120);

    int64_t topic = svc.addTopic(kApp, "With photo", "", "https://example.invalid/t.png");
    int64_t comment = svc.addTopicComment(kApp, topic, other, "https://example.invalid/c.png", "image");
    svc.likeTopic(kApp, other, topic);
    svc.likeTopicComment(kApp, other, topic, comment);
    svc.likeObject(kApp, other, "VIDEO", "https://www.youtube.com/watch?v=abc", "A video");
    svc.likeObject(kApp, myUserId(), "VIDEO", "https://www.youtube.com/watch?v=abc", "A video");
    EXPECT_EQ(svc.likesOf(kApp, "TOPIC", std::to_string(topic)), 1);
    EXPECT_EQ(svc.likesOf(kApp, "COMMENT", std::to_string(comment)), 1);
    EXPECT_EQ(svc.likesOf(kApp, "VIDEO", "https://www.youtube.com/watch?v=abc"), 2);
}

} // namespace
} // namespace velkora::testing
