// The feed cache: the order a poll's items take, what counts as held, the new-activity badge against the
// marks of the local user record, and the like objects the reply readers fill in place.
#include "RepositoriesFixture.h"

using namespace velkora;
using namespace velkora::testing;
using foundation::Value;

namespace {

std::vector<int32_t> idsOf(const VelkoraFeedMessagesRepository::FeedMessages& feed) {
    std::vector<int32_t> ids;
    for (const auto& f : feed)
        ids.push_back(f->messageId());
    return ids;
}

std::vector<VelkoraMessagePtr> items(std::initializer_list<int32_t> ids) {
    std::vector<VelkoraMessagePtr> out;
    for (int32_t id : ids) {
        auto f = std::make_shared<VelkoraFeedMessage>();
        f->setMessageId(id);
        f->setResendId(id);
        out.push_back(f);
    }
    return out;
}

} // namespace

using FeedRepositoryTest = RepositoriesTest;

TEST_F(FeedRepositoryTest, PollItemsGoToTheFrontInTheirOwnOrderAndHeldOnesStay) {
    struct Case {
        std::vector<VelkoraMessagePtr> batch;
        std::vector<int32_t> expected;
    } cases[] = {
        {items({7, 6}), {7, 6, 5, 4}},
        {items({6, 5}), {6, 5, 4}},
        {items({5, 4}), {5, 4}},
        {items({9, 5, 8}), {9, 8, 5, 4}},
    };
    for (const Case& c : cases) {
        VelkoraFeedMessagesRepository::resetForTests();
        auto& repo = VelkoraFeedMessagesRepository::instance();
        auto held = items({5, 4});
        repo.gotFirstFeedMessages({std::static_pointer_cast<VelkoraFeedMessage>(held[0]),
                                   std::static_pointer_cast<VelkoraFeedMessage>(held[1])},
                                  {});
        Posted posted(VelkoraFeedMessagesRepository::kNewFeedMessagesNotification);
        repo.gotMessages(c.batch);
        EXPECT_EQ(idsOf(repo.feedMessages()), c.expected);
        // The count is the batch's size, held items included.
        ASSERT_EQ(posted.size(), 1u);
        EXPECT_EQ(posted.last()["count"], Value(c.batch.size()));
        // An item already held keeps its place and its object.
        EXPECT_EQ(repo.feedMessages().back(), held[1]);
    }
}

TEST_F(FeedRepositoryTest, BadgeCountsItemsAndLikesAboveTheViewedMarks) {
    startNewUser();
    auto& repo = loaded<VelkoraFeedMessagesRepository>();
    auto info = VelkoraAgentInternal::instance().getUserInfo();
    info->setLastViewedFeedMessageNumber(6);
    info->setLastViewedLikeNumber(30);
    repo.gotFirstFeedMessages({feedItem(1, 5), feedItem(2, 6), feedItem(3, 7), feedItem(4, 8)},
                              {likeObject(1, 29), likeObject(2, 31)});
    EXPECT_EQ(repo.numNewFeedMessages(), 2 + 1);
    EXPECT_EQ(repo.getMaxFeedMessageNumber(), 8);
    EXPECT_EQ(repo.getMaxLikeObjectChangeNumber(), 31);

    Posted viewed(VelkoraFeedMessagesRepository::kFeedMessagesViewedNotification);
    repo.setFeedMessagesWereViewed();
    EXPECT_EQ(viewed.size(), 1u);
    EXPECT_EQ(repo.numNewFeedMessages(), 0);
    EXPECT_EQ(info->lastViewedFeedMessageNumber(), 8);
    EXPECT_EQ(info->lastViewedLikeNumber(), 31);
    repo.gotLikes({likeObject(3, 32)});
    EXPECT_EQ(repo.numNewFeedMessages(), 1);
    EXPECT_TRUE(settle());
}

TEST_F(FeedRepositoryTest, LikeObjectsBeforeTheFirstFeedAreNotKeptAndAfterItOneIdIsOneObject) {
    auto& repo = VelkoraFeedMessagesRepository::instance();
    // Nothing is held before the first feed: each call gives a fresh object and nothing breaks.
    auto early = repo.likeObjectWithId(3);
    ASSERT_TRUE(early);
    EXPECT_NE(repo.likeObjectWithId(3), early);
    EXPECT_TRUE(repo.likeObjects().empty());
    EXPECT_EQ(repo.numNewFeedMessages(), 0);
    EXPECT_EQ(repo.getMaxLikeObjectChangeNumber(), 0);
    Posted posted(VelkoraFeedMessagesRepository::kNewFeedMessagesNotification);
    repo.gotLikes({likeObject(4)});
    repo.gotMessages(items({1}));
    EXPECT_EQ(posted.size(), 2u);
    EXPECT_TRUE(repo.feedMessages().empty());

    repo.gotFirstFeedMessages({}, {likeObject(5)});
    auto made = repo.likeObjectWithId(3);
    EXPECT_EQ(repo.likeObjectWithId(3), made);
    EXPECT_EQ(repo.likeObjects().size(), 2u);
    // A poll's like object that is already held is not replaced: the reader updated the held one.
    auto held = repo.likeObjects().at(5);
    repo.gotLikes({likeObject(5, 99)});
    EXPECT_EQ(repo.likeObjects().at(5), held);
}

TEST_F(FeedRepositoryTest, PollBringsFeedItemsAndLikesAndAFeedItemWithTheIdOfAHeldLikeObjectIsKept) {
    startNewUser();
    Posted got(VelkoraFeedMessagesRepository::kGotFeedNotification);
    Posted posted(VelkoraFeedMessagesRepository::kNewFeedMessagesNotification);
    auto& repo = VelkoraFeedMessagesRepository::instance();
    // The feed is asked for at once; the poll brings feed items only once it has arrived.
    EXPECT_FALSE(agent().feedDelegate());
    ASSERT_TRUE(waitFor([&] { return repo.didFinishLoading(); }));
    EXPECT_EQ(agent().feedDelegate().get(), &repo);
    ASSERT_TRUE(waitForRequests("update", 2));
    EXPECT_EQ(count("getFeed2"), 1u);
    EXPECT_EQ(got.size(), 1u);
    EXPECT_EQ(param(svc.requestsFor("update")[0], "wantFeed2"), "0");
    EXPECT_EQ(param(svc.requestsFor("update")[1], "wantFeed2"), "1");

    std::string other = svc.createUser(kApp);
    int64_t first = svc.postFeed(kApp, other, "first");
    svc.likeFeed(kApp, other, first);
    ASSERT_TRUE(pollNow());
    ASSERT_EQ(idsOf(repo.feedMessages()), std::vector<int32_t>{int32_t(first)});
    ASSERT_EQ(repo.likeObjects().size(), 1u);
    auto like = repo.likeObjects().begin()->second;
    EXPECT_EQ(like->numLikes(), 1);

    // Feed items and like objects are numbered apart. Make the next feed item's id one that a held
    // like object already has: like objects of items that do not exist move the like numbering on.
    const int64_t target = std::max<int64_t>(first + 1, like->objectId());
    for (int64_t id = like->objectId(); id < target; ++id)
        svc.likeFeed(kApp, other, 1000000 + id);
    ASSERT_TRUE(pollNow());
    ASSERT_TRUE(repo.likeObjects().count(int32_t(target)));
    int64_t next = svc.postFeed(kApp, other, "filler");
    while (next < target)
        next = svc.postFeed(kApp, other, "filler");
    ASSERT_EQ(next, target);
    // A second like of the first item changes the held like object in place.
    svc.likeFeed(kApp, svc.createUser(kApp), first);
    const size_t before = posted.size();
    ASSERT_TRUE(pollNow());
    ASSERT_TRUE(repo.isFeedMessageHeld(int32_t(target)));
    EXPECT_EQ(repo.feedMessages().front()->messageId(), target);
    EXPECT_EQ(repo.likeObjects().at(like->objectId()), like);
    EXPECT_EQ(like->numLikes(), 2);
    // One notification for the items, one for the likes.
    EXPECT_EQ(posted.size(), before + 2);
}

TEST_F(FeedRepositoryTest, AVideoLikeWithoutAPreviewIsNeitherHeldNorCountedAsNew) {
    startNewUser();
    auto& repo = VelkoraFeedMessagesRepository::instance();
    ASSERT_TRUE(waitFor([&] { return repo.didFinishLoading(); }));
    std::string other = svc.createUser(kApp);
    svc.follow(kApp, me(), other);
    svc.likeObject(kApp, other, "VIDEO", "http://vimeo.com/1", "no preview", 20);
    svc.likeObject(kApp, other, "IMAGE", "https://pictures.example/lake.png", "a lake", 10);
    ASSERT_TRUE(pollNow());
    ASSERT_EQ(repo.likeObjects().size(), 1u);
    EXPECT_EQ(repo.likeObjects().begin()->second->type(), VelkoraLikeObject::IMAGE);
    EXPECT_EQ(repo.numNewFeedMessages(), 1);
}

TEST_F(FeedRepositoryTest, ResetDropsEverythingAndLoadsTheFeedAgain) {
    startNewUser();
    std::string other = svc.createUser(kApp);
    svc.follow(kApp, me(), other); // the feed holds the items of those the user follows
    int64_t item = svc.postFeed(kApp, other, "kept by the service");
    auto& repo = loaded<VelkoraFeedMessagesRepository>();
    ASSERT_TRUE(repo.isFeedMessageHeld(int32_t(item)));
    repo.gotFirstFeedMessages({feedItem(1)}, {likeObject(1)});
    repo.resetRepository();
    EXPECT_FALSE(repo.didFinishLoading());
    EXPECT_TRUE(repo.feedMessages().empty());
    EXPECT_TRUE(repo.likeObjects().empty());
    EXPECT_FALSE(repo.isFeedMessageHeld(1));
    EXPECT_FALSE(agent().feedDelegate());
    ASSERT_TRUE(waitFor([&] { return repo.didFinishLoading(); }));
    EXPECT_EQ(count("getFeed2"), 2u);
    EXPECT_EQ(idsOf(repo.feedMessages()), std::vector<int32_t>{int32_t(item)});
    EXPECT_EQ(agent().feedDelegate().get(), &repo);
    EXPECT_TRUE(settle());
}

TEST_F(FeedRepositoryTest, FeedReplyWithAMissingListReadsAsEmpty) {
    auto& repo = VelkoraFeedMessagesRepository::instance();
    struct Case {
        Value reply;
        size_t items, likes;
    } cases[] = {
        {Value(), 0, 0},
        {Value(foundation::Array{Value(foundation::Array{Value::object(feedItem(3))})}), 1, 0},
        {Value(foundation::Array{Value(), Value(foundation::Array{Value::object(likeObject(4))})}), 0, 1},
    };
    for (const Case& c : cases) {
        repo.gotFirstFeedMessages(c.reply);
        EXPECT_TRUE(repo.didFinishLoading());
        EXPECT_EQ(repo.feedMessages().size(), c.items);
        EXPECT_EQ(repo.likeObjects().size(), c.likes);
    }
}

TEST_F(FeedRepositoryTest, PollsWithoutLikesNeitherMoveTheLikesCursorNorBringOldLikesBack) {
    startNewUser();
    auto& repo = loaded<VelkoraFeedMessagesRepository>();
    Posted posted(VelkoraFeedMessagesRepository::kNewFeedMessagesNotification);
    std::vector<size_t> delivered;
    auto forward = repo.gotLikes;
    repo.gotLikes = [&](const std::vector<VelkoraLikeObjectPtr>& likes) {
        delivered.push_back(likes.size());
        forward(likes);
    };
    auto saved = [] { return VelkoraAgentInternal::instance().getUserInfo()->likesChangeNumber(); };
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(pollNow());
    EXPECT_TRUE(delivered.empty());
    EXPECT_EQ(posted.size(), 0u);
    EXPECT_EQ(saved(), 0);

    std::string other = svc.createUser(kApp);
    svc.likeFeed(kApp, other, 4242); // a like alone, without a feed item of its own in the poll
    ASSERT_TRUE(pollNow());
    ASSERT_EQ(delivered, std::vector<size_t>{1});
    ASSERT_EQ(repo.likeObjects().size(), 1u);
    const int32_t number = repo.likeObjects().begin()->second->changeNumber();
    EXPECT_GT(number, 0);
    EXPECT_EQ(saved(), number);
    EXPECT_EQ(posted.size(), 1u);

    // Later polls ask from that number on and get nothing again.
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(pollNow());
        EXPECT_EQ(param(svc.requestsFor("update").back(), "likesChangeNumber"), std::to_string(number));
        EXPECT_EQ(saved(), number);
    }
    EXPECT_EQ(delivered, std::vector<size_t>{1});
    EXPECT_EQ(posted.size(), 1u);
}
