// The feed's order and filter: whole seconds rank equal, a second apart the newer comes first, posts
// before likes, then the higher id, items without a usable time last; a strict weak ordering over any
// mix, so every arrangement of the same items sorts alike; anonymous posters and followed users go.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "feed/VelkoraFeedActivityOrder.h"

using namespace velkora;

namespace {

VelkoraUserPtr person(const std::string& id, const std::string& first) {
    auto u = std::make_shared<VelkoraUserInternal>();
    u->setUserId(id);
    u->setFirstName(first);
    return u;
}

VelkoraActivityPtr post(int32_t id, OptionalDate time, VelkoraUserPtr sender = person("s", "Sam"),
                        VelkoraUserPtr other = nullptr) {
    auto p = std::make_shared<VelkoraFeedMessage>();
    p->setMessageId(id);
    p->setTime(time);
    p->setSender(std::move(sender));
    p->setOtherUser(std::move(other));
    return p;
}

VelkoraActivityPtr like(int32_t id, OptionalDate time, VelkoraUserPtr liker = person("l", "Lee")) {
    auto l = std::make_shared<VelkoraLikeObject>();
    l->setObjectId(id);
    l->setTime(time);
    if (liker) l->setUsers({liker});
    return l;
}

bool before(const VelkoraActivityPtr& a, const VelkoraActivityPtr& b) {
    return VelkoraActivityKey::newerFirst(VelkoraActivityKey::of(*a), VelkoraActivityKey::of(*b));
}

TEST(FeedOrder, TimesTiesAndMissingTimes) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* what;
        VelkoraActivityPtr a, b;
        bool aFirst, bFirst;
    } cases[] = {
        // Within one whole second the two rank as equal; by the ids, the higher first.
        {"100.0 and 100.9 rank by id", post(1, 100.0), post(2, 100.9), false, true},
        {"100.0 and 101.0: the newer first", post(2, 100.0), post(1, 101.0), false, true},
        {"99.9 and 100.0 are a second apart", post(2, 99.9), post(1, 100.0), false, true},
        {"a post before a like of the same second", like(9, 100.2), post(1, 100.7), false, true},
        {"a missing time comes last", post(5, std::nullopt), like(1, 1.0), false, true},
        {"NaN comes last", post(5, nan), like(1, 1.0), false, true},
        {"infinity comes last", post(5, inf), like(1, 1.0), false, true},
        {"two without a time: posts first", like(3, nan), post(1, std::nullopt), false, true},
        {"a time before 1970 ranks by its floor", post(2, -0.5), post(1, 0.2), false, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(before(c.a, c.b), c.aFirst) << c.what;
        EXPECT_EQ(before(c.b, c.a), c.bFirst) << c.what;
    }
}

TEST(FeedOrder, EveryTripleIsAStrictWeakOrderingAndEveryArrangementSortsAlike) {
    // Ties, chains of items less than a second apart, missing and broken times, posts and likes.
    std::vector<VelkoraActivityPtr> items;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (int i = 0; i < 40; ++i) {
        OptionalDate time;
        if (i % 9 == 0)
            time = std::nullopt;
        else if (i % 13 == 0)
            time = nan;
        else
            time = 100.0 + 0.6 * (i % 7) + (i % 3 == 0 ? 0.0 : 0.3);
        items.push_back(i % 2 ? post(i, time) : like(i, time));
    }
    std::vector<VelkoraActivityKey> keys;
    for (const auto& i : items)
        keys.push_back(VelkoraActivityKey::of(*i));
    auto less = VelkoraActivityKey::newerFirst;
    auto equal = [&](size_t a, size_t b) { return !less(keys[a], keys[b]) && !less(keys[b], keys[a]); };
    for (size_t a = 0; a < keys.size(); ++a) {
        EXPECT_FALSE(less(keys[a], keys[a]));
        for (size_t b = 0; b < keys.size(); ++b) {
            if (less(keys[a], keys[b])) {
                EXPECT_FALSE(less(keys[b], keys[a]));
            }
            for (size_t c = 0; c < keys.size(); ++c) {
                if (less(keys[a], keys[b]) && less(keys[b], keys[c])) {
                    EXPECT_TRUE(less(keys[a], keys[c]));
                }
                if (equal(a, b) && equal(b, c)) {
                    EXPECT_TRUE(equal(a, c));
                }
            }
        }
    }
    // The sorted keys are the same whatever order the items came in.
    auto sortedKeys = [&](std::vector<VelkoraActivityPtr> list) {
        std::vector<std::string> out;
        for (const auto& i : getSortedActivities(list, {}))
            out.push_back(i->activityId());
        return out;
    };
    const auto expected = sortedKeys(items);
    std::mt19937 random(7);
    for (int round = 0; round < 25; ++round) {
        std::shuffle(items.begin(), items.end(), random);
        EXPECT_EQ(sortedKeys(items), expected) << "round " << round;
    }
}

TEST(FeedOrder, AnonymousPostersAndFollowedUsersAreLeftOut) {
    auto nobody = person("n", "  ");
    auto real = person("r", "Rita");
    const std::vector<VelkoraActivityPtr> posts = {
        post(1, 10.0, nobody),          // an anonymous user's post
        post(2, 11.0, nobody),          // and the next one too
        post(3, 12.0, real, nobody),    // a follow of an anonymous user
        post(4, 13.0, real),            // kept
        post(5, 14.0, nullptr),         // no sender: kept
        post(6, 15.0, real, real),      // kept
        post(7, 16.0, nullptr, nobody), // no sender, anonymous other user
    };
    const std::vector<VelkoraActivityPtr> likes = {like(1, 10.5, nobody), like(2, 12.5, real), like(3, 9.0, nullptr)};
    std::vector<std::string> shown;
    for (const auto& i : getSortedActivities(posts, likes))
        shown.push_back(i->activityId());
    EXPECT_EQ(shown, (std::vector<std::string>{"feed-message-6", "feed-message-5", "feed-message-4", "feed-like-2",
                                               "feed-like-3"}));
}

} // namespace
