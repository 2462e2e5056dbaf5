// The waiting side of postAndWait always wakes: with the task's result, its exception, or the news that
// a reset dropped it unrun.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "platform/foundation/RunLoop.h"

using namespace velkora::foundation;

namespace {

enum class Outcome { Waiting, Ran, Dropped, Threw };

// Calls postAndWait from a worker thread, as background work handing a result to the loop does.
class Waiter {
public:
    Waiter(RunLoop& loop, std::function<void()> task) {
        thread_ = std::thread([this, &loop, task = std::move(task)] {
            try {
                outcome_ = loop.postAndWait(task) ? Outcome::Ran : Outcome::Dropped;
            } catch (const std::runtime_error&) {
                outcome_ = Outcome::Threw;
            }
        });
    }
    ~Waiter() {
        if (thread_.joinable()) thread_.join();
    }
    bool woke() const { return outcome_ != Outcome::Waiting; }
    Outcome outcome() const { return outcome_; }

private:
    std::atomic<Outcome> outcome_{Outcome::Waiting};
    std::thread thread_;
};

TEST(PostAndWaitTest, TheWaiterWakesHoweverTheTaskEnds) {
    RunLoop loop;
    loop.useTestClock(1000.0);
    bool ran = false;
    {
        Waiter waiter(loop, [&] { ran = true; });
        ASSERT_TRUE(loop.runUntil([&] { return waiter.woke(); }, 10));
        EXPECT_EQ(waiter.outcome(), Outcome::Ran);
        EXPECT_TRUE(ran);
    }
    {
        Waiter waiter(loop, [] { throw std::runtime_error("the task failed"); });
        ASSERT_TRUE(loop.runUntil([&] { return waiter.woke(); }, 10));
        EXPECT_EQ(waiter.outcome(), Outcome::Threw);
        // The loop goes on after a task threw.
        bool later = false;
        loop.post([&] { later = true; });
        EXPECT_TRUE(loop.runUntil([&] { return later; }, 10));
    }
    {
        bool dropped = false;
        Waiter waiter(loop, [&] { dropped = true; });
        // The loop never runs its tasks here; each reset drops whatever the worker has posted by then.
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!waiter.woke() && std::chrono::steady_clock::now() < deadline) {
            loop.reset();
            std::this_thread::yield();
        }
        ASSERT_TRUE(waiter.woke());
        EXPECT_EQ(waiter.outcome(), Outcome::Dropped);
        EXPECT_FALSE(dropped);
    }
}

TEST(PostAndWaitTest, OnTheLoopThreadTheTaskRunsInline) {
    RunLoop loop;
    int value = 0;
    EXPECT_TRUE(loop.postAndWait([&] { value = 7; }));
    EXPECT_EQ(value, 7);
}

} // namespace
