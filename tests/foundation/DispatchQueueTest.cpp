#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/RunLoop.h"

using namespace velkora::foundation;

namespace {

TEST(DispatchQueueTest, SerialQueueRunsTasksInOrderOffTheCallingThread) {
    auto queue = DispatchQueue::create("test.serial");
    std::vector<int> order;
    std::atomic<bool> onCaller{false};
    auto caller = std::this_thread::get_id();
    for (int i = 0; i < 100; ++i) {
        queue->async([&, i] {
            if (std::this_thread::get_id() == caller) onCaller = true;
            order.push_back(i); // serial: no two tasks touch the vector at once
        });
    }
    queue->waitUntilIdle();
    ASSERT_EQ(order.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(order[i], i);
    EXPECT_FALSE(onCaller);
}

TEST(DispatchQueueTest, ResultHopsBackToTheMainLoopAndNeverRunsInsideThePost) {
    RunLoop& loop = RunLoop::main();
    loop.reset();
    loop.adoptCurrentThread();
    auto queue = DispatchQueue::create("test.hop");
    std::atomic<bool> posted{false};
    bool ranInsidePost = false, delivered = false;
    std::thread::id deliveredOn;
    queue->async([&] {
        int result = 6 * 7;
        loop.post([&, result] {
            ranInsidePost = !posted.load();
            delivered = result == 42;
            deliveredOn = std::this_thread::get_id();
        });
        posted = true;
    });
    queue->waitUntilIdle();
    EXPECT_FALSE(delivered); // the loop has not run yet
    ASSERT_TRUE(loop.runUntil([&] { return delivered; }, 10));
    EXPECT_FALSE(ranInsidePost);
    EXPECT_EQ(deliveredOn, std::this_thread::get_id());
}

TEST(DispatchQueueTest, SyncWaitsForTheTaskAndRunsInlineFromItsOwnQueue) {
    auto queue = DispatchQueue::create("test.sync");
    int value = 0;
    queue->sync([&] {
        value = 1;
        queue->sync([&] { value = 2; }); // would wait on itself for ever
        EXPECT_TRUE(queue->isCurrent());
    });
    EXPECT_EQ(value, 2);
    EXPECT_FALSE(queue->isCurrent());
}

TEST(DispatchQueueTest, WaitUntilIdleCoversTasksQueuedByTasks) {
    auto queue = DispatchQueue::create("test.chain");
    std::atomic<int> depth{0};
    std::function<void()> step = [&] {
        if (++depth < 50) queue->async(step);
    };
    queue->async(step);
    queue->waitUntilIdle();
    EXPECT_EQ(depth.load(), 50);
}

TEST(DispatchQueueTest, DroppingAQueueFinishesItsTasks) {
    std::atomic<int> done{0};
    auto keepAlive = DispatchQueue::create("test.watch");
    {
        auto queue = DispatchQueue::create("test.dropped");
        for (int i = 0; i < 10; ++i)
            queue->async([&] { ++done; });
        // A task that drops the last reference to its own queue.
        queue->async([q = queue, &done]() mutable {
            q.reset();
            ++done;
        });
    }
    RunLoop::main().adoptCurrentThread();
    ASSERT_TRUE(RunLoop::main().runUntil([&] { return done.load() == 11; }, 10));
}

TEST(DispatchQueueTest, GlobalQueueRunsIndependentJobsConcurrently) {
    // Two jobs that each wait for the other can only finish if they run at the same time.
    std::atomic<int> arrived{0};
    std::atomic<bool> bothMet{true};
    auto job = [&] {
        ++arrived;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (arrived.load() < 2) {
            if (std::chrono::steady_clock::now() > deadline) {
                bothMet = false;
                return;
            }
            std::this_thread::yield();
        }
    };
    DispatchQueue::global().async(job);
    DispatchQueue::global().async(job);
    DispatchQueue::global().waitUntilIdle();
    EXPECT_TRUE(bothMet.load());
}

} // namespace
