// Polls merged into the repository while the feed's queue is held, at the first list or inside the
// first warm-up: once let go, the rows are the repository's listed items, each once, in order, the
// refreshed like measured again at its new state, and nothing for ThreadSanitizer to report.
#include <future>
#include <set>

#include "FeedFixture.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

class FeedMergeTSan : public FeedScreenTest {
protected:
    void TearDown() override {
        release();
        VelkoraFeedTableController::setWarmUpHookForTests({});
        FeedScreenTest::TearDown();
    }
    void release() {
        if (!released_) {
            released_ = true;
            gate_.set_value();
        }
    }
    std::function<void()> gateTask() {
        return [open = gate_.get_future().share()] { open.wait(); };
    }

    // Thirty posts and a new like of a listed post reach the repository through two polls, while the
    // queue is held; then the queue goes on.
    void pollWhileHeld(const std::shared_ptr<Screen>& screen) {
        const auto& repository = VelkoraFeedMessagesRepository::instance();
        const size_t held = repository.feedMessages().size();
        for (int i = 0; i < 30; ++i)
            svc.postFeed(kApp, i % 2 ? author : liker, "busy day number " + std::to_string(i));
        const std::string kim = user("Kim", "Berg");
        svc.follow(kApp, me_, kim);
        svc.likeFeed(kApp, kim, activity);
        const size_t polls = count("update");
        ASSERT_TRUE(waitAdvancing(
            [&] { return count("update") >= polls + 2 && repository.feedMessages().size() >= held + 30; }, 120));
        ASSERT_TRUE(settle());
        EXPECT_LT(screen->shownGeneration(), screen->rebuildCount()) << "the queue was held";
        release();
        ASSERT_TRUE(listSettled(screen));
    }

    void expectRepositoryOrder(const std::shared_ptr<Screen>& screen) {
        auto& repository = VelkoraFeedMessagesRepository::instance();
        std::vector<VelkoraActivityPtr> posts(repository.feedMessages().begin(), repository.feedMessages().end());
        std::vector<VelkoraActivityPtr> likes;
        for (const auto& [id, like] : repository.likeObjects())
            likes.push_back(like);
        const auto& rows = screen->getMessagesAndLikes();
        EXPECT_EQ(rows.size(), getSortedActivities(posts, likes).size());
        std::set<std::string> seen;
        for (size_t i = 0; i < rows.size(); ++i) {
            EXPECT_TRUE(seen.insert(rows[i]->activityId()).second) << rows[i]->activityId() << " twice";
            if (i > 0) {
                EXPECT_FALSE(VelkoraActivityKey::newerFirst(VelkoraActivityKey::of(*rows[i]),
                                                            VelkoraActivityKey::of(*rows[i - 1])))
                    << "row " << i;
            }
        }
        // The like of the activity now has two likers and a newer time; the rows in view have the heights
        // of the states they show.
        for (const auto& row : rows) {
            auto like = std::dynamic_pointer_cast<VelkoraLikeObject>(row);
            if (like && like->type() == VelkoraLikeObject::POST) {
                EXPECT_EQ(like->numLikes(), 2);
            }
        }
        expectHeightsOfShownRowsOnly(screen);
    }

    std::promise<void> gate_;
    bool released_ = false;
};

TEST_F(FeedMergeTSan, PollsWhileTheQueueIsHeldListEveryItemOnceInOrder) {
    startSignedIn();
    seedEveryKind();
    loadRepository(5);
    auto screen = openFeature("feed");
    ASSERT_TRUE(screen && listSettled(screen));
    screen->serialQueue()->async(gateTask());
    pollWhileHeld(screen);
    expectRepositoryOrder(screen);
}

TEST_F(FeedMergeTSan, PollsWhileTheFirstWarmUpIsHeldListEveryItemOnceInOrder) {
    startSignedIn();
    seedEveryKind();
    loadRepository(5);
    VelkoraFeedTableController::setWarmUpHookForTests(gateTask());
    auto screen = openFeature("feed");
    ASSERT_TRUE(screen);
    EXPECT_FALSE(screen->tableController()->isWired());
    pollWhileHeld(screen);
    EXPECT_TRUE(screen->tableController()->isWired());
    expectRepositoryOrder(screen);
}

} // namespace
