#include <gtest/gtest.h>

#include <thread>

#include "platform/foundation/RunLoop.h"

using namespace velkora::foundation;

namespace {

class RunLoopTest : public ::testing::Test {
protected:
    void SetUp() override { loop.useTestClock(1000.0); }
    RunLoop loop;
};

TEST_F(RunLoopTest, OneShotFiresOnlyWhenTheClockPassesItsDate) {
    int fired = 0;
    loop.schedule(5.0, false, [&](Timer&) { ++fired; });
    loop.advance(4.999);
    EXPECT_EQ(fired, 0);
    loop.advance(0.001);
    EXPECT_EQ(fired, 1);
    loop.advance(100);
    EXPECT_EQ(fired, 1);
    EXPECT_EQ(loop.scheduledTimerCount(), 0u);
}

TEST_F(RunLoopTest, InvalidatedTimerNeverFires) {
    int fired = 0;
    auto t = loop.schedule(1.0, false, [&](Timer&) { ++fired; });
    t->invalidate();
    EXPECT_FALSE(t->isValid());
    loop.advance(10);
    EXPECT_EQ(fired, 0);
}

TEST_F(RunLoopTest, TimersDueTogetherFireInArmingOrderAndSeeTheirOwnDate) {
    std::vector<std::string> order;
    std::vector<double> seen;
    loop.schedule(2.0, false, [&](Timer&) { order.push_back("a"); seen.push_back(loop.now()); });
    loop.schedule(1.0, false, [&](Timer&) { order.push_back("early"); seen.push_back(loop.now()); });
    loop.schedule(2.0, false, [&](Timer&) { order.push_back("b"); });
    loop.advance(3);
    EXPECT_EQ(order, (std::vector<std::string>{"early", "a", "b"}));
    EXPECT_DOUBLE_EQ(seen[0], 1001.0);
    EXPECT_DOUBLE_EQ(seen[1], 1002.0);
    EXPECT_DOUBLE_EQ(loop.now(), 1003.0);
}

TEST_F(RunLoopTest, RepeatingTimerFiresOncePerPeriodAndStopsWhenInvalidatedFromItsCallback) {
    int fired = 0;
    loop.schedule(1.0, true, [&](Timer& t) {
        if (++fired == 7) t.invalidate();
    });
    loop.advance(3.5);
    EXPECT_EQ(fired, 3);
    loop.advance(20);
    EXPECT_EQ(fired, 7);
}

TEST_F(RunLoopTest, TimerArmedFromACallbackDuringAdvanceFiresWithinTheSameAdvance) {
    int fired = 0;
    loop.schedule(1.0, false, [&](Timer&) { loop.schedule(1.0, false, [&](Timer&) { ++fired; }); });
    loop.advance(2.0);
    EXPECT_EQ(fired, 1);
}

TEST_F(RunLoopTest, TaskPostedFromAnotherThreadRunsOnTheLoopNotInsidePost) {
    std::thread::id ranOn;
    bool ran = false;
    std::thread worker([&] {
        loop.post([&] {
            ranOn = std::this_thread::get_id();
            ran = true;
        });
        EXPECT_FALSE(ran);
    });
    worker.join();
    EXPECT_FALSE(ran);
    ASSERT_TRUE(loop.runUntil([&] { return ran; }, 5));
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST_F(RunLoopTest, PostAndWaitFromAWorkerBlocksUntilTheLoopRanIt) {
    int value = 0;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        loop.postAndWait([&] { value = 42; });
        done = true;
    });
    ASSERT_TRUE(loop.runUntil([&] { return done.load(); }, 5));
    worker.join();
    EXPECT_EQ(value, 42);
}

}  // namespace
