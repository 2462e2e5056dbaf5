// Row heights measured on a serial queue from the values copied on the main thread, while the main thread
// refreshes the same users and likes in place as the update poll does: the same heights as the main
// thread's, and nothing for ThreadSanitizer to report.
#include <gtest/gtest.h>

#include "BuildPaths.h"
#include "data/VelkoraChatRoomsComment.h"
#include "data/VelkoraChatRoomsTopic.h"
#include "data/VelkoraFeedMessage.h"
#include "data/VelkoraLikeObject.h"
#include "feed/VelkoraFeedActivityCell.h"
#include "feed/VelkoraFeedClasses.h"
#include "feed/VelkoraFeedLikeActivityCell.h"
#include "feed/VelkoraFeedLikeImageCell.h"
#include "feed/VelkoraFeedLikeTopicCell.h"
#include "feed/VelkoraFeedLikeTopicImageCell.h"
#include "feed/VelkoraFeedTableCell.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/InterfaceLoader.h"

namespace velkora::testing {
namespace {

class FeedHeightsTSan : public ::testing::Test {
protected:
    void SetUp() override {
        foundation::RunLoop::main().useTestClock(1'000'000);
        ui::Application::instance().resetForTests();
        ui::InterfaceLoader::instance().reset();
        registerVelkoraFeedClasses();
    }
    void TearDown() override {
        ui::Application::instance().resetForTests();
        foundation::RunLoop::main().reset();
    }
    static VelkoraUserPtr user(const std::string& id, const std::string& first) {
        auto u = std::make_shared<VelkoraUserInternal>();
        u->setUserId(id);
        u->setAppId(std::string("A"));
        u->setFirstName(first);
        u->setLastName(std::string("Lund"));
        return u;
    }
};

TEST_F(FeedHeightsTSan, HeightsOnAQueueEqualTheMainThreadsWhileTheModelsChange) {
    auto poster = user("1", "Zo\u00eb\U0001F600"), author = user("2", "Ame\u0301lie");
    auto post = std::make_shared<VelkoraFeedMessage>();
    post->setSender(poster);
    post->setOtherUser(author);
    post->setMessageType(0);
    post->setMessage(std::string("played a long round of Capitals of Europe with everybody in the room"));
    auto follow = std::make_shared<VelkoraFeedMessage>(*post);
    follow->setMessageType(1);
    auto topic = std::make_shared<VelkoraChatRoomsTopic>();
    topic->setTitle(std::string("Harbour days and the boats that come in at dawn"));
    auto comment = std::make_shared<VelkoraChatRoomsComment>();
    comment->setUser(author);
    comment->setText(std::string("https://h.example/rooms/boat.png"));
    comment->setContentType(std::string("image"));
    auto like = [&](int32_t type) {
        auto l = std::make_shared<VelkoraLikeObject>();
        l->setType(type);
        l->setUsers({poster});
        l->setDescription(std::string("the lake at dawn, from the north shore"));
        l->setFeedMessage(type == VelkoraLikeObject::POST ? post : nullptr);
        l->setChatRoomsTopic(topic);
        l->setChatRoomsComment(comment);
        return l;
    };
    const std::vector<std::pair<std::shared_ptr<VelkoraFeedCell>, VelkoraActivityPtr>> rows = {
        {VelkoraFeedTableCell::initFromNib({}), follow},
        {VelkoraFeedActivityCell::initFromNib({}), post},
        {VelkoraFeedLikeActivityCell::initFromNib({}), like(VelkoraLikeObject::POST)},
        {VelkoraFeedLikeImageCell::initFromNib({}), like(VelkoraLikeObject::IMAGE)},
        {VelkoraFeedLikeTopicCell::initFromNib({}), like(VelkoraLikeObject::TOPIC)},
        {VelkoraFeedLikeTopicCommentCell::initFromNib({}), like(VelkoraLikeObject::COMMENT)},
        {VelkoraFeedLikeTopicImageCell::initFromNib({}), like(VelkoraLikeObject::COMMENT)},
    };
    std::vector<float> mainHeights;
    for (const auto& [cell, item] : rows) {
        ASSERT_TRUE(cell);
        cell->reset();
        mainHeights.push_back(cell->getHeight(item));
    }

    auto queue = foundation::DispatchQueue::create("feed row heights");
    std::vector<float> queued(rows.size(), -1);
    for (int pass = 0; pass < 20; ++pass) {
        // The values are taken on the main thread; the queue reads nothing else.
        for (size_t i = 0; i < rows.size(); ++i)
            queue->async(
                [&queued, i, text = rows[i].first->textFor(rows[i].second), geometry = rows[i].first->geometry()] {
                    queued[i] = static_cast<float>(velkoraFeedRowHeight(text, geometry));
                });
        // Meanwhile a poll renames the users and recounts the likes in place.
        poster->setFirstName(std::string(pass % 2 ? "Zoe" : "Zo\u00eb\U0001F600"));
        author->setLastName(std::string(pass % 2 ? "Roux" : "Lund"));
        for (const auto& [cell, item] : rows)
            if (auto l = std::dynamic_pointer_cast<VelkoraLikeObject>(item)) l->setNumLikes(pass);
        queue->waitUntilIdle();
        EXPECT_EQ(queued, mainHeights) << "pass " << pass;
        poster->setFirstName(std::string("Zo\u00eb\U0001F600"));
        author->setLastName(std::string("Lund"));
    }
}

} // namespace
} // namespace velkora::testing
