#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "server/utils/VelkoraLogEventsManager.h"

using velkora::VelkoraLogEventsManager;

namespace {

class LogEvents : public ::testing::Test {
protected:
    void SetUp() override {
        foundation().useTestClock(1765300000.9);
        log().takeLoggedEvents();
    }
    void TearDown() override { foundation().reset(); }
    static velkora::foundation::RunLoop& foundation() { return velkora::foundation::RunLoop::main(); }
    static VelkoraLogEventsManager& log() { return VelkoraLogEventsManager::instance(); }
};

} // namespace

TEST_F(LogEvents, RecordsDrainInOrderJoinedAndEscaped) {
    log().logEvent("feature-viewed;feed");
    log().logEvent("invite-sent;email");
    EXPECT_EQ(log().loggedEvents(),
              (std::vector<std::string>{"feature-viewed;feed;1765300000", "invite-sent;email;1765300000"}));
    EXPECT_EQ(log().loggedEventsAsString(), "feature-viewed;feed;1765300000%7Cinvite-sent;email;1765300000");
    EXPECT_EQ(log().loggedEventsAsString(), "");

    // Free text in an event cannot break the request it travels in.
    log().logEvent("quiz;start;7&logs=x");
    EXPECT_EQ(log().loggedEventsAsString(), "quiz;start;7%26logs%3Dx;1765300000");
}

TEST_F(LogEvents, AFailedPollPutsItsRecordsBackBeforeNewerOnes) {
    log().logEvent("a");
    log().logEvent("b");
    auto carried = log().takeLoggedEvents();
    EXPECT_EQ(VelkoraLogEventsManager::escapedLoggedEvents(carried), "a;1765300000%7Cb;1765300000");
    foundation().useTestClock(1765300002.0);
    log().logEvent("c");
    log().putBackLoggedEvents(std::move(carried));
    EXPECT_EQ(log().loggedEventsAsString(), "a;1765300000%7Cb;1765300000%7Cc;1765300002");
}

TEST_F(LogEvents, EventsLoggedDuringDrainsLandInExactlyOneDrain) {
    constexpr int kThreads = 4;
    constexpr int kEach = 2000;
    std::vector<std::thread> loggers;
    for (int t = 0; t < kThreads; ++t)
        loggers.emplace_back([t] {
            for (int i = 0; i < kEach; ++i)
                log().logEvent(std::string("e").append(std::to_string(t)).append("-").append(std::to_string(i)));
        });
    std::multiset<std::string> seen;
    auto drain = [&] {
        for (auto& record : log().takeLoggedEvents())
            seen.insert(std::move(record));
    };
    for (int i = 0; i < 200; ++i)
        drain();
    for (auto& thread : loggers)
        thread.join();
    drain();
    ASSERT_EQ(seen.size(), static_cast<size_t>(kThreads * kEach));
    EXPECT_EQ(std::set<std::string>(seen.begin(), seen.end()).size(), seen.size());
}
