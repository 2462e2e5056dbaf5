#include <gtest/gtest.h>

#include <thread>

#include "platform/foundation/NotificationCenter.h"

using namespace velkora::foundation;

namespace {

TEST(NotificationCenterTest, ObserversFilterByNameAndSender) {
    NotificationCenter center;
    int a = 0, b = 0;
    std::vector<std::string> seen;
    std::vector<const void*> anyFromA;
    center.addObserver("Changed", &a, [&](const Notification& n) { seen.push_back("a:" + n.name); });
    center.addObserver("Changed", nullptr, [&](const Notification& n) { seen.push_back("any:" + n.name); });
    center.addObserver("", &a, [&](const Notification& n) { anyFromA.push_back(n.object); });

    center.post("Changed", &b);
    center.post("Changed", &a, Value(Dictionary{{"count", 2}}));
    center.post("Other", &a);
    center.post("Other", nullptr);

    EXPECT_EQ(seen, (std::vector<std::string>{"any:Changed", "a:Changed", "any:Changed"}));
    EXPECT_EQ(anyFromA, (std::vector<const void*>{&a, &a}));
}

TEST(NotificationCenterTest, UserInfoReachesTheObserver) {
    NotificationCenter center;
    int64_t count = 0;
    center.addObserver("Changed", nullptr, [&](const Notification& n) { count = n.userInfo["count"].int64Or(-1); });
    center.post("Changed", nullptr, Value(Dictionary{{"count", 7}}));
    EXPECT_EQ(count, 7);
}

TEST(NotificationCenterTest, RemovingDuringDeliveryIsSafeAndRemovedObserversAreNotCalledLater) {
    NotificationCenter center;
    std::vector<std::string> calls;
    NotificationCenter::ObserverId self = 0, victim = 0;
    // The first observer removes itself and the third; the second adds a new one, which waits for the
    // next post.
    self = center.addObserver("N", nullptr, [&](const Notification&) {
        calls.push_back("self");
        center.removeObserver(self);
        center.removeObserver(victim);
    });
    bool added = false;
    center.addObserver("N", nullptr, [&](const Notification&) {
        calls.push_back("adder");
        if (!std::exchange(added, true))
            center.addObserver("N", nullptr, [&](const Notification&) { calls.push_back("new"); });
    });
    victim = center.addObserver("N", nullptr, [&](const Notification&) { calls.push_back("victim"); });

    center.post("N");
    EXPECT_EQ(calls, (std::vector<std::string>{"self", "adder"}));
    calls.clear();
    center.post("N");
    EXPECT_EQ(calls, (std::vector<std::string>{"adder", "new"}));
    EXPECT_EQ(center.observerCount(), 2u);
}

TEST(NotificationCenterTest, ObserverTokenRemovesOnDestructionAndSurvivesMoves) {
    NotificationCenter center;
    int calls = 0;
    {
        NotificationObserver token(center, "N", nullptr, [&](const Notification&) { ++calls; });
        NotificationObserver moved = std::move(token);
        EXPECT_FALSE(token);
        center.post("N");
        EXPECT_EQ(calls, 1);
    }
    center.post("N");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(center.observerCount(), 0u);
}

TEST(NotificationCenterTest, ObserverDestroyingItsOwnTokenDuringDeliveryIsSafe) {
    NotificationCenter center;
    int calls = 0;
    auto token = std::make_unique<NotificationObserver>();
    *token = NotificationObserver(center, "N", nullptr, [&](const Notification&) {
        ++calls;
        token.reset(); // destroys the function object's owner entry while it runs
    });
    center.post("N");
    center.post("N");
    EXPECT_EQ(calls, 1);
}

TEST(NotificationCenterTest, RegistrationFromManyThreadsWhilePosting) {
    NotificationCenter center;
    std::atomic<int> calls{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 200; ++i) {
                auto id = center.addObserver("N", nullptr, [&](const Notification&) { ++calls; });
                center.post("N");
                center.removeObserver(id);
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(center.observerCount(), 0u);
    EXPECT_GE(calls.load(), 800);
}

} // namespace
