// The feed cache: the order a poll's items take, what counts as held, the new-activity badge against the
// marks of the local user record, and the like objects the reply readers fill in place.
#include <algorithm>
#include <set>

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

namespace {

VelkoraUserPtr named(const std::string& first) {
    auto u = std::make_shared<VelkoraUserInternal>();
    u->setUserId(first.empty() ? std::string("nobody") : first);
    if (!first.empty()) u->setFirstName(first);
    return u;
}

VelkoraFeedMessagePtr postAt(int32_t id, OptionalDate time, const VelkoraUserPtr& sender) {
    auto p = std::make_shared<VelkoraFeedMessage>();
    p->setMessageId(id);
    p->setTime(time);
    p->setSender(sender);
    return p;
}

VelkoraLikeObjectPtr likeAt(int32_t id, OptionalDate time, const VelkoraUserPtr& liker) {
    auto l = std::make_shared<VelkoraLikeObject>();
    l->setObjectId(id);
    l->setChangeNumber(id);
    l->setTime(time);
    l->setUsers({liker});
    return l;
}

// A list as its items' identities, items that rank equal in a fixed order: any order of those is right.
std::vector<const void*> normalised(std::vector<VelkoraFeedListedItem> list) {
    std::stable_sort(list.begin(), list.end(), [](const auto& a, const auto& b) {
        if (VelkoraActivityKey::newerFirst(a.key, b.key)) return true;
        if (VelkoraActivityKey::newerFirst(b.key, a.key)) return false;
        return a.item.get() < b.item.get();
    });
    std::vector<const void*> ids;
    for (const auto& listed : list)
        ids.push_back(listed.item.get());
    return ids;
}

// What a full look at every held item lists: each object once, anonymous ones left out, newest first.
std::vector<const void*> listedByAFullLook(const VelkoraFeedMessagesRepository& repo) {
    std::vector<VelkoraFeedListedItem> all;
    std::set<const void*> seen;
    auto take = [&](const VelkoraActivityPtr& item) {
        if (!item || !seen.insert(item.get()).second) return;
        const auto state = VelkoraActivityState::of(*item);
        if (!state.hidden) all.push_back({item, state.key, state.change});
    };
    for (const auto& post : repo.feedMessages())
        take(post);
    for (const auto& [id, like] : repo.likeObjects())
        take(like);
    return normalised(std::move(all));
}

// A screen's copy of the list, kept by what changed since it last looked.
struct Follower {
    std::vector<VelkoraFeedListedItem> list;
    uint64_t revision = 0;
    bool tookWhole = false;

    void catchUp(const VelkoraFeedMessagesRepository& repo) {
        const auto changes = repo.listedChangesSince(revision);
        revision = repo.revision();
        tookWhole = changes.whole;
        if (changes.whole) {
            list = repo.listedItems();
            return;
        }
        for (const auto& gone : changes.removed) {
            auto at = std::find_if(list.begin(), list.end(), [&](const auto& l) { return l.item == gone.item; });
            ASSERT_NE(at, list.end()) << "a removed item was listed";
            EXPECT_EQ(at->key, gone.key) << "it is removed with the key it was listed under";
            list.erase(at);
        }
        for (const auto& put : changes.added) {
            EXPECT_TRUE(std::none_of(list.begin(), list.end(), [&](const auto& l) { return l.item == put.item; }))
                << "an added item is listed once";
            auto at = std::upper_bound(list.begin(), list.end(), put, [](const auto& a, const auto& b) {
                return VelkoraActivityKey::newerFirst(a.key, b.key);
            });
            list.insert(at, put);
        }
    }
};

} // namespace

// A first feed in any shape is listed as a full look lists it, newest first, each object once, and its
// items are held in the order they came (empty places skipped); a newest-first feed, the service's, is
// listed as it comes with the likes merged in.
TEST_F(FeedRepositoryTest, FirstFeedsOfEveryShapeAreListedAsAFullLookListsThem) {
    auto& repo = VelkoraFeedMessagesRepository::instance();
    const auto sam = named("Sam"), ada = named("Ada"), nobody = named("");
    struct Case {
        const char* what;
        std::vector<VelkoraFeedMessagePtr> posts;
        std::vector<VelkoraLikeObjectPtr> likes;
    };
    auto newestFirst = [&](std::initializer_list<int32_t> ids) {
        std::vector<VelkoraFeedMessagePtr> made;
        for (int32_t id : ids)
            made.push_back(postAt(id, 5000.0 - id * 10, id % 2 ? sam : ada));
        return made;
    };
    const auto twice = newestFirst({1, 2, 3});
    const auto earlierOf7 = likeAt(7, 4990, sam), laterOf7 = likeAt(7, 4900, ada);
    const std::vector<Case> cases = {
        {"newest first, likes between", newestFirst({1, 2, 3, 4, 5}), {likeAt(1, 4995, sam), likeAt(2, 4965, ada)}},
        {"newest first, likes above and below every post",
         newestFirst({1, 2}),
         {likeAt(3, 9000, sam), likeAt(4, 100, ada)}},
        {"newest first with empty places, an anonymous poster and a post without a time",
         [&] {
             auto posts = newestFirst({1, 2, 3});
             posts.insert(posts.begin() + 1, nullptr);
             posts.push_back(postAt(4, 4950, nobody));
             posts.push_back(postAt(5, std::nullopt, sam));
             posts.push_back(nullptr);
             return posts;
         }(),
         {likeAt(1, 4985, nobody), likeAt(2, 4975, sam)}},
        {"one post object twice, side by side", {twice[0], twice[1], twice[1], twice[2]}, {}},
        {"two likes of one id: the later one is held", newestFirst({1, 2}), {earlierOf7, laterOf7}},
        {"likes out of order", newestFirst({1, 2, 3}), {likeAt(1, 4900, sam), likeAt(2, 4999, ada)}},
        {"a post out of order late in the feed", newestFirst({1, 2, 3, 4, 30, 5}), {likeAt(1, 4975, sam)}},
        {"nothing", {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        repo.gotFirstFeedMessages(c.posts, c.likes);
        const auto listed = repo.listedItems();
        EXPECT_EQ(normalised(listed), listedByAFullLook(repo));
        for (size_t row = 1; row < listed.size(); ++row)
            EXPECT_FALSE(VelkoraActivityKey::newerFirst(listed[row].key, listed[row - 1].key)) << "row " << row;
        EXPECT_EQ(repo.listedRows().size(), listed.size());
        std::vector<int32_t> held;
        for (const auto& post : c.posts)
            if (post) held.push_back(post->messageId());
        EXPECT_EQ(idsOf(repo.feedMessages()), held);
        EXPECT_EQ(repo.feedMessages().size(), held.size());
    }
    // The later like object of an id is the one held and listed.
    repo.gotFirstFeedMessages(newestFirst({1}), {earlierOf7, laterOf7});
    EXPECT_EQ(repo.likeObjects().at(7).get(), laterOf7.get());
    const auto listed = repo.listedItems();
    EXPECT_TRUE(std::none_of(listed.begin(), listed.end(), [&](const auto& l) { return l.item == earlierOf7; }));
}

// The repository's listed items after every kind of change are what a full look at every held item lists,
// in order; a screen that follows by the changes alone (after each one, or after several at once) holds the
// same list, and one that fell too far behind or saw an earlier feed takes it whole.
TEST_F(FeedRepositoryTest, ListedItemsFollowEveryChangeAsAFullLookListsThem) {
    auto& repo = VelkoraFeedMessagesRepository::instance();
    const auto sam = named("Sam"), ada = named("Ada"), nobody = named("");
    std::vector<VelkoraFeedMessagePtr> posts;
    // Out of order, an anonymous poster, no time, two within one second, and one object twice.
    for (int32_t id : {3, 9, 1, 7, 5})
        posts.push_back(postAt(id, 1000.0 + id * 10, id % 2 ? sam : ada));
    posts.push_back(postAt(20, 1500, nobody));
    posts.push_back(postAt(21, std::nullopt, sam));
    posts.push_back(postAt(22, 1200.2, sam));
    posts.push_back(postAt(23, 1200.9, ada));
    posts.push_back(posts[1]);
    std::vector<VelkoraLikeObjectPtr> likes;
    for (int32_t id : {4, 2, 8, 6})
        likes.push_back(likeAt(id, 1003.5 + id * 10, id % 4 ? ada : sam));
    likes.push_back(likeAt(30, 1600, nobody));

    Follower eachTime, nowAndThen;
    const std::vector<std::pair<const char*, std::function<void()>>> steps = {
        {"the first feed", [&] { repo.gotFirstFeedMessages(posts, likes); }},
        {"nothing new", [&] { repo.gotMessages(std::vector<VelkoraMessagePtr>{}); }},
        {"new posts above, between and below, one already held",
         [&] {
             repo.gotMessages(std::vector<VelkoraMessagePtr>{postAt(40, 2000, sam), postAt(41, 1055, ada),
                                                             postAt(42, 900, sam), postAt(9, 1090, sam)});
         }},
        {"a like moved up by a new liker",
         [&] {
             auto like = repo.likeObjectWithId(4);
             like->setUsers({named("Kim"), ada});
             like->setChangeNumber(100);
             like->setTime(2500);
             repo.gotLikes({like});
         }},
        {"a like refreshed where it stands",
         [&] {
             auto like = repo.likeObjectWithId(8);
             like->setChangeNumber(101);
             repo.gotLikes({like});
         }},
        {"a like whose first liker is now anonymous",
         [&] {
             auto like = repo.likeObjectWithId(2);
             like->setUsers({nobody});
             like->setChangeNumber(102);
             repo.gotLikes({like});
         }},
        {"a new like, and a new video without a preview that is refused",
         [&] {
             auto fresh = repo.likeObjectWithId(50);
             fresh->setObjectId(50);
             fresh->setTime(1700);
             fresh->setUsers({sam});
             auto refused = repo.likeObjectWithId(51);
             refused->setObjectId(51);
             refused->setType(VelkoraLikeObject::VIDEO);
             refused->setTime(1800);
             refused->setUsers({sam});
             repo.gotLikes({fresh});
         }},
        {"a held like turned into a video without a preview",
         [&] {
             auto like = repo.likeObjectWithId(6);
             like->setType(VelkoraLikeObject::VIDEO);
             like->setChangeNumber(103);
             repo.gotLikes({like});
         }},
        {"a like given out and not changed", [&] { repo.gotLikes({repo.likeObjectWithId(50)}); }},
    };
    for (size_t i = 0; i < steps.size(); ++i) {
        SCOPED_TRACE(steps[i].first);
        steps[i].second();
        const auto expected = listedByAFullLook(repo);
        const auto listed = repo.listedItems();
        EXPECT_EQ(normalised(listed), expected);
        for (size_t row = 1; row < listed.size(); ++row)
            EXPECT_FALSE(VelkoraActivityKey::newerFirst(listed[row].key, listed[row - 1].key)) << "row " << row;
        eachTime.catchUp(repo);
        EXPECT_EQ(normalised(eachTime.list), expected);
        EXPECT_EQ(eachTime.tookWhole, i == 0);
        if (i % 3 == 2 || i + 1 == steps.size()) {
            nowAndThen.catchUp(repo);
            EXPECT_EQ(normalised(nowAndThen.list), expected);
            EXPECT_EQ(nowAndThen.tookWhole, i == 2) << "only its first look takes the list whole";
        }
    }
    EXPECT_FALSE(repo.likeObjects().count(51));
    EXPECT_FALSE(repo.likeObjects().count(6));

    // Far behind: more polls than are kept.
    const uint64_t before = eachTime.revision;
    for (int i = 0; i < 100; ++i)
        repo.gotMessages(std::vector<VelkoraMessagePtr>{postAt(1000 + i, 3000 + i, sam)});
    EXPECT_TRUE(repo.listedChangesSince(before).whole);
    eachTime.catchUp(repo);
    EXPECT_EQ(normalised(eachTime.list), listedByAFullLook(repo));

    // A new feed, then a reset: whatever was seen before is taken whole again.
    repo.gotFirstFeedMessages({postAt(7, 10, sam)}, {});
    EXPECT_TRUE(repo.listedChangesSince(eachTime.revision).whole);
    repo.resetRepository();
    EXPECT_TRUE(repo.listedItems().empty());
    EXPECT_TRUE(settle());
}
