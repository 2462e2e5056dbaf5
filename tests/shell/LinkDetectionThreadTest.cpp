// Where the attributed label's link search runs: on the background queue, never on the main loop, and its
// matches reach the label only through the main loop, even while the main thread waits on that queue.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/foundation/DispatchQueue.h"
#include "platform/foundation/RunLoop.h"
#include "shell/VelkoraAttributedLabel.h"

namespace velkora::testing {
namespace {

// Holds the shared background queue: more blocked tasks than it runs at once, so every task queued
// behind them waits until release. Released at the latest when it goes, so a failing test never hangs.
class QueueGate {
public:
    static constexpr int kBlockers = 32;
    QueueGate() {
        for (int i = 0; i < kBlockers; ++i)
            foundation::DispatchQueue::global().async([this] {
                std::unique_lock lock(mutex_);
                open_.wait_for(lock, std::chrono::seconds(20), [this] { return released_; });
            });
    }
    ~QueueGate() { release(); }
    void release() {
        {
            std::lock_guard lock(mutex_);
            released_ = true;
        }
        open_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable open_;
    bool released_ = false;
};

class LinkDetectionThreadTest : public ::testing::Test {
protected:
    void SetUp() override { loop().useTestClock(1000); }
    void TearDown() override {
        foundation::DispatchQueue::global().waitUntilIdle();
        loop().reset();
    }
    static foundation::RunLoop& loop() { return foundation::RunLoop::main(); }
    // Runs every task posted to the main loop by now, and those they post in turn.
    static void pumpMainLoop() {
        for (int i = 0; i < 5; ++i) {
            bool done = false;
            loop().post([&] { done = true; });
            loop().runUntil([&] { return done; }, 20);
        }
    }
};

TEST_F(LinkDetectionThreadTest, TheSearchWaitsForTheQueueAndItsMatchesForTheMainLoop) {
    auto label = VelkoraAttributedLabel::create({0, 0, 300, 60});
    label->setNumberOfLines(0);
    label->setDataDetectorTypes(ui::DataDetectorTypes::All);
    {
        QueueGate gate;
        label->setText(std::string("Menu at https://velkora.example/menu, call +1 555 123 4567"));
        // Searched on the main loop, the links would be here by now.
        pumpMainLoop();
        EXPECT_TRUE(label->links().empty()) << "the search ran on the main loop";

        gate.release();
        // The main thread waits on the queue: a search that handed its matches over by waiting on the main
        // loop would never end, and one that touched the label from the queue would show links already.
        foundation::DispatchQueue::global().waitUntilIdle();
        EXPECT_TRUE(label->links().empty()) << "the label was touched off the main loop";
    }
    pumpMainLoop();
    ASSERT_EQ(label->links().size(), 2u);
    EXPECT_EQ(label->links()[0].resultType, ui::TextCheckingType::Link);
    EXPECT_EQ(label->links()[1].resultType, ui::TextCheckingType::PhoneNumber);
}

} // namespace
} // namespace velkora::testing
