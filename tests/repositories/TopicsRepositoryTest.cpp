// The chat-rooms cache: the index of the list, the new-comment flags a poll sets and a new list clears,
// the comments of a topic replaced by a topic reply and appended by the watched topic's poll.
#include "RepositoriesFixture.h"

using namespace velkora;
using namespace velkora::testing;
using foundation::Value;

namespace {

VelkoraChatRoomsTopicPtr topic(int32_t id, int32_t comments = 0, double time = 0, bool removed = false) {
    auto t = std::make_shared<VelkoraChatRoomsTopic>();
    t->setTopicId(id);
    t->setCommentsNumber(comments);
    t->setDateTime(time);
    t->setIsRemoved(removed);
    return t;
}

VelkoraChatRoomsCommentPtr comment(int32_t id) {
    auto c = std::make_shared<VelkoraChatRoomsComment>();
    c->setCommentId(id);
    return c;
}

std::vector<int32_t> commentIds(const VelkoraChatRoomsTopicPtr& t) {
    std::vector<int32_t> ids;
    for (const auto& c : t->getComments(false))
        ids.push_back(c->commentId());
    return ids;
}

std::vector<int32_t> idsOf(const VelkoraChatRoomsTopicsRepository::Topics& topics) {
    std::vector<int32_t> ids;
    for (const auto& t : topics)
        ids.push_back(t->topicId());
    return ids;
}

} // namespace

using TopicsRepositoryTest = RepositoriesTest;

TEST_F(TopicsRepositoryTest, PollSetsTheNewCommentFlagAndANewTopicClearsIt) {
    startNewUser();
    Posted got(VelkoraChatRoomsTopicsRepository::kGotTopicsNotification);
    Posted changes(VelkoraChatRoomsTopicsRepository::kNewTopicsNotification);
    int64_t b = svc.addTopic(kApp, "B");
    std::string other = svc.createUser(kApp);
    for (int i = 0; i < 3; ++i)
        svc.addTopicComment(kApp, b, other, "c");

    // The list is asked for at once; the poll brings topic changes only once it has arrived.
    auto& repo = VelkoraChatRoomsTopicsRepository::instance();
    EXPECT_FALSE(agent().topicsDelegate());
    ASSERT_TRUE(waitFor([&] { return repo.didFinishLoading(); }));
    EXPECT_EQ(agent().topicsDelegate().get(), &repo);
    ASSERT_TRUE(settle());
    EXPECT_EQ(count("getTopics"), 1u);
    EXPECT_EQ(got.last()["newTopics"], Value(1));
    EXPECT_EQ(param(svc.requestsFor("update")[0], "wantTopics"), "0");
    EXPECT_EQ(param(svc.requestsFor("update").back(), "wantTopics"), "1");
    auto listed = repo.getTopicById(int32_t(b));
    ASSERT_TRUE(listed);
    EXPECT_EQ(listed->commentsNumber(), 3);
    EXPECT_FALSE(repo.isTopicCommentsFlagOn(int32_t(b)));

    svc.addTopicComment(kApp, b, other, "four");
    svc.addTopicComment(kApp, b, other, "five");
    ASSERT_TRUE(pollNow());
    EXPECT_EQ(changes.last(),
              Value(foundation::Dictionary{{"newTopics", 0}, {"updatedTopics", 1}, {"deletedTopics", 0}}));
    EXPECT_EQ(listed->commentsNumber(), 5);
    EXPECT_TRUE(repo.isTopicCommentsFlagOn(int32_t(b)));
    EXPECT_EQ(repo.numUpdatedTopicThreads(), 1);

    int64_t c = svc.addTopic(kApp, "C");
    ASSERT_TRUE(pollNow());
    EXPECT_EQ(changes.last(),
              Value(foundation::Dictionary{{"newTopics", 1}, {"updatedTopics", 0}, {"deletedTopics", 0}}));
    EXPECT_EQ(repo.getActiveTopicIds(), (std::vector<int32_t>{int32_t(c), int32_t(b)}));
    EXPECT_EQ(repo.getTopicById(int32_t(b)), listed);
    EXPECT_FALSE(repo.isTopicCommentsFlagOn(int32_t(b)));
    EXPECT_EQ(repo.numUpdatedTopicThreads(), 0);
}

TEST_F(TopicsRepositoryTest, BatchMergesCountInsertsUpdatesAndRemovals) {
    auto& repo = VelkoraChatRoomsTopicsRepository::instance();
    Posted got(VelkoraChatRoomsTopicsRepository::kGotTopicsNotification);
    auto a = topic(1, 0, 10), b = topic(2, 3, 20);
    repo.gotNewTopics({a, b}, 42);
    EXPECT_EQ(got.last()["newTopics"], Value(2));
    EXPECT_EQ(repo.changeNumber(), 42);
    EXPECT_EQ(repo.getTopicById(1), a);
    EXPECT_EQ(repo.getTopicById(2), b);
    EXPECT_EQ(repo.getTopicById(3), nullptr);

    Posted changes(VelkoraChatRoomsTopicsRepository::kNewTopicsNotification);
    struct Case {
        VelkoraChatRoomsTopicsRepository::Topics batch;
        std::vector<int32_t> listed;
        int newTopics, updated, deleted;
        int badge;
    } cases[] = {
        {{topic(2, 5, 20)}, {1, 2}, 0, 1, 0, 1},                     // 3 → 5 comments: flagged
        {{topic(2, 5, 20)}, {1, 2}, 0, 1, 0, 1},                     // same count: the flag stays
        {{topic(9, 0, 0, true)}, {1, 2}, 0, 0, 0, 1},                // removed and not listed: ignored
        {{topic(1, 1, 10), topic(3, 0, 30)}, {3, 1, 2}, 1, 1, 0, 0}, // a new topic clears every flag
        {{topic(1, 0, 10, true)}, {3, 2}, 0, 0, 1, 0},
    };
    for (const Case& c : cases) {
        repo.gotTopics(c.batch);
        EXPECT_EQ(idsOf(repo.topics()), c.listed);
        EXPECT_EQ(changes.last(),
                  Value(foundation::Dictionary{
                      {"newTopics", c.newTopics}, {"updatedTopics", c.updated}, {"deletedTopics", c.deleted}}));
        EXPECT_EQ(repo.numUpdatedTopicThreads(), c.badge);
    }
    EXPECT_EQ(repo.getTopicById(1), nullptr);
    EXPECT_EQ(b->commentsNumber(), 5);

    Posted viewed(VelkoraChatRoomsTopicsRepository::kTopicCommentsViewedNotification);
    repo.gotTopics({topic(2, 6, 20)});
    EXPECT_TRUE(repo.isTopicCommentsFlagOn(2));
    repo.markCommentsViewedForTopic(2);
    EXPECT_FALSE(repo.isTopicCommentsFlagOn(2));
    EXPECT_EQ(viewed.last()["topicId"], Value(2));

    // Newest first unless the configuration fixes the order; the list itself is left as kept.
    EXPECT_EQ(idsOf(repo.getActiveTopics()), (std::vector<int32_t>{3, 2}));
    repo.gotTopics({topic(2, 6, 40)});
    EXPECT_EQ(idsOf(repo.getActiveTopics()), (std::vector<int32_t>{2, 3}));
    EXPECT_EQ(idsOf(repo.topics()), (std::vector<int32_t>{3, 2}));
}

TEST_F(TopicsRepositoryTest, TopicReplyReplacesTheCommentsAndTheWatchedTopicsPollAppends) {
    startNewUser();
    Posted added(VelkoraChatRoomsTopicsRepository::kNewTopicCommentsNotification);
    auto& repo = loaded<VelkoraChatRoomsTopicsRepository>();

    // An ad-hoc topic opened on its own, with two comments.
    int64_t id = svc.addTopic(kApp, "object");
    std::string other = svc.createUser(kApp);
    int64_t c1 = svc.addTopicComment(kApp, id, other, "one");
    int64_t c2 = svc.addTopicComment(kApp, id, other, "two");
    auto opened = topic(int32_t(id));
    opened->addTopicEvents({comment(int32_t(c1)), comment(int32_t(c2))});
    repo.addObjectTopic(opened);
    EXPECT_EQ(repo.getTopicById(int32_t(id)), opened);
    EXPECT_EQ(commentIds(opened), (std::vector<int32_t>{int32_t(c1), int32_t(c2)}));
    EXPECT_EQ(added.last()["newComments"], Value(2));

    // Watching it, the poll brings what the topic holds and it is added to what is held.
    foundation::NotificationCenter::defaultCenter().post(
        "VelkoraEnteredTopic", nullptr, Value(foundation::Dictionary{{"id", id}, {"changeNumber", 0}}));
    ASSERT_TRUE(pollNow());
    EXPECT_EQ(param(svc.requestsFor("update").back(), "wantTopic"), "1");
    EXPECT_EQ(commentIds(opened), (std::vector<int32_t>{int32_t(c1), int32_t(c2)}));

    // The topic reply replaces them.
    auto reply = topic(int32_t(id));
    reply->addTopicEvents({comment(int32_t(c2))});
    repo.updateWithTopic(reply);
    EXPECT_EQ(commentIds(opened), (std::vector<int32_t>{int32_t(c2)}));
    EXPECT_EQ(added.last()["newComments"], Value(1));

    // The next poll brings only the new comment, and it is appended.
    int64_t c3 = svc.addTopicComment(kApp, id, other, "three");
    ASSERT_TRUE(pollNow());
    EXPECT_EQ(commentIds(opened), (std::vector<int32_t>{int32_t(c2), int32_t(c3)}));
    EXPECT_EQ(added.last()["newComments"], Value(1));
    foundation::NotificationCenter::defaultCenter().post("VelkoraExitedTopic");

    // A topic neither listed nor opened is logged and dropped.
    repo.gotTopic(topic(777));
    EXPECT_TRUE(logged("Velkora - Got update for new Topic (777) ?! Can't be !!"));
    repo.deleteCommentWithId(int32_t(c2), 777);
    EXPECT_TRUE(logged("Velkora - deleteTopicById - Topic with Id 777 does not exist in repository"));
    repo.deleteCommentWithId(int32_t(c2), int32_t(id));
    EXPECT_EQ(commentIds(opened), (std::vector<int32_t>{int32_t(c3)}));
}

TEST_F(TopicsRepositoryTest, IndexOutlivingItsListWhileANewOneIsAwaitedFindsNothing) {
    startNewUser();
    auto& repo = loaded<VelkoraChatRoomsTopicsRepository>();
    auto opened = topic(50);
    repo.addObjectTopic(opened);
    repo.gotNewTopics({topic(1), topic(2, 3)}, 7);
    ASSERT_TRUE(settle());
    repo.clearRepository();
    EXPECT_FALSE(repo.didFinishLoading());
    EXPECT_FALSE(agent().topicsDelegate());
    EXPECT_EQ(repo.getTopicById(2), nullptr);
    EXPECT_EQ(repo.getTopicById(50), opened);
    // Whatever still arrives for a listed topic finds nothing and breaks nothing.
    repo.gotTopic(topic(2));
    repo.gotTopics({topic(2, 9), topic(1, 0, 0, true)});
    repo.deleteCommentWithId(1, 2);
    EXPECT_TRUE(repo.topics().empty());
    EXPECT_EQ(repo.getActiveTopicIds(), std::vector<int32_t>{});
    // The list is asked for again.
    ASSERT_TRUE(waitFor([&] { return repo.didFinishLoading(); }));
    EXPECT_EQ(count("getTopics"), 2u);
    EXPECT_EQ(agent().topicsDelegate().get(), &repo);
    EXPECT_EQ(repo.getTopicById(2), nullptr);
    EXPECT_TRUE(settle());
}
