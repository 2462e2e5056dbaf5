// The status rules, the offline park, and the kernel's provider reacting to a network that goes away and
// comes back (in a network namespace of the test's own).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NetworkReachability.h"
#include "platform/foundation/RunLoop.h"
#include "server/utils/VelkoraReachability.h"
#include "server/utils/url_fetcher/VelkoraUrlFetcher.h"

using namespace velkora;
using namespace velkora::foundation;

namespace {

TEST(ReachabilityRules, FlagsGiveTheStatusAndTheFlagLine) {
    auto r = VelkoraReachability::reachabilityForInternetConnection();
    ASSERT_NE(r, nullptr);
    const uint32_t R = kReachabilityFlagsReachable, c = kReachabilityFlagsConnectionRequired,
                   D = kReachabilityFlagsConnectionOnDemand, C = kReachabilityFlagsConnectionOnTraffic,
                   i = kReachabilityFlagsInterventionRequired, W = kReachabilityFlagsIsWWAN,
                   d = kReachabilityFlagsIsDirect;
    struct Case {
        uint32_t flags;
        VelkoraNetworkStatus status;
    } cases[] = {
        {0, 0},         {R, 1},     {R | c, 0},     {R | c | D, 1}, {R | c | D | i, 0},
        {R | c | C, 1}, {R | W, 2}, {R | c | W, 2}, {W, 0},         {R | c | D | i | W, 2},
    };
    for (const auto& k : cases)
        EXPECT_EQ(r->networkStatusForFlags(k.flags), k.status) << k.flags;

    auto local = VelkoraReachability::reachabilityForLocalWiFi();
    ASSERT_NE(local, nullptr);
    EXPECT_TRUE(local->localWiFiRef());
    EXPECT_EQ(local->localWiFiStatusForFlags(R | d), 1);
    EXPECT_EQ(local->localWiFiStatusForFlags(R), 0);
    EXPECT_EQ(local->localWiFiStatusForFlags(d), 0);

    Log::Capture capture;
    r->networkStatusForFlags(R | c | D);
    local->localWiFiStatusForFlags(W | R | kReachabilityFlagsTransientConnection | C | i |
                                   kReachabilityFlagsIsLocalAddress | d);
    ASSERT_EQ(capture.lines().size(), 2u);
    EXPECT_EQ(capture.lines()[0], "Velkora - Reachability Flag Status: -R -c--D-- networkStatusForFlags");
    EXPECT_EQ(capture.lines()[1], "Velkora - Reachability Flag Status: WR t-Ci-ld localWiFiStatusForFlags");
}

TEST(ReachabilityRules, UnreadableFlagsCountAsNotReachable) {
    auto provider = std::make_shared<TestReachabilityProvider>();
    NetworkReachability::setProvider(provider);
    auto r = VelkoraReachability::reachabilityForInternetConnection();
    provider->setFlags(kReachabilityFlagsReachable | kReachabilityFlagsConnectionRequired);
    EXPECT_TRUE(r->connectionRequired());
    provider->setReadable(false);
    EXPECT_EQ(r->currentReachabilityStatus(), 0);
    EXPECT_FALSE(r->connectionRequired());
    NetworkReachability::setProvider(nullptr);
}

// Records outcomes in order; requests to an address the connection refuses at once end in a posted
// error, which shows the order in which parked fetchers were resumed without any network.
struct Recorder : VelkoraUrlFetcherDelegate {
    std::vector<std::string>* outcomes;
    explicit Recorder(std::vector<std::string>* o) : outcomes(o) {}
    void urlGotError(VelkoraUrlFetcher& f, const ErrorPtr&) override { outcomes->push_back(f.requestUrl()); }
};

class ParkTest : public ::testing::Test {
protected:
    void SetUp() override {
        provider = std::make_shared<TestReachabilityProvider>();
        provider->setReachable(false);
        NetworkReachability::setProvider(provider);
        RunLoop::main().useTestClock();
        VelkoraReachabilityManager::resetForTests(); // each test's manager reads its own provider
        recorder = std::make_shared<Recorder>(&outcomes);
    }
    void TearDown() override {
        VelkoraReachabilityManager::resetForTests();
        NetworkReachability::setProvider(nullptr);
        RunLoop::main().reset();
    }

    std::shared_ptr<VelkoraUrlFetcher> fetch(const std::string& url, int mode = 0) {
        auto f = VelkoraUrlFetcher::create(recorder);
        f->setRetryMode(mode);
        f->getUrl(url);
        return f;
    }

    std::shared_ptr<TestReachabilityProvider> provider;
    std::vector<std::string> outcomes;
    std::shared_ptr<Recorder> recorder;
};

TEST_F(ParkTest, ParkedFetchersResumeInOrderOnlyWhenTheNetworkIsBack) {
    auto& manager = VelkoraReachabilityManager::instance();
    EXPECT_TRUE(manager.isInternetUnreachable()); // read when the manager was made

    Log::Capture capture;
    fetch("unsupported://a");
    fetch("unsupported://b");
    auto cancelled = fetch("unsupported://x");
    fetch("unsupported://c");
    cancelled->cancel();
    EXPECT_EQ(capture.count("Velkora - No internet connection... waiting for internet connection"), 4u);
    ASSERT_EQ(manager.pendingConnections().size(), 3u);

    // A change that still reports status 0 resumes nothing.
    provider->setFlags(kReachabilityFlagsReachable | kReachabilityFlagsConnectionRequired);
    RunLoop::main().advance(0);
    EXPECT_TRUE(manager.isInternetUnreachable());
    EXPECT_EQ(manager.pendingConnections().size(), 3u);
    EXPECT_TRUE(outcomes.empty());

    provider->setReachable(true);
    RunLoop::main().advance(0);
    EXPECT_FALSE(manager.isInternetUnreachable());
    EXPECT_TRUE(manager.pendingConnections().empty());
    EXPECT_EQ(outcomes, (std::vector<std::string>{"unsupported://a", "unsupported://b", "unsupported://c"}));
}

TEST_F(ParkTest, TheNetworkComingBackIsAnnouncedOnceAfterTheParkResumed) {
    auto& manager = VelkoraReachabilityManager::instance();
    std::vector<size_t> parkedWhenAnnounced;
    NotificationObserver back(kVelkoraNetworkIsBackNotification, &manager, [&](const Notification&) {
        parkedWhenAnnounced.push_back(manager.pendingConnections().size());
    });
    fetch("unsupported://a");
    struct Step {
        uint32_t flags;
        size_t announced;
    };
    const uint32_t R = kReachabilityFlagsReachable;
    const Step steps[] = {
        {R | kReachabilityFlagsConnectionRequired, 0}, // still no network
        {R | kReachabilityFlagsIsDirect, 1},           // back
        {R | kReachabilityFlagsIsWWAN, 1},             // another network, never down in between
        {0, 1},
        {R, 2},
    };
    for (const Step& s : steps) {
        provider->setFlags(s.flags);
        RunLoop::main().advance(0);
        EXPECT_EQ(parkedWhenAnnounced.size(), s.announced) << s.flags;
    }
    EXPECT_EQ(parkedWhenAnnounced, (std::vector<size_t>{0, 0}));
    EXPECT_EQ(outcomes, std::vector<std::string>{"unsupported://a"});
}

TEST_F(ParkTest, ModeOneAlertsOnlyWhileTheSidebarShowsAndModeTwoGivesUpAloud) {
    auto resources = std::filesystem::temp_directory_path() / ("velkora-strings-" + std::to_string(::getpid()));
    std::filesystem::create_directories(resources);
    {
        std::FILE* f = std::fopen((resources / "VelkoraLocalizable.strings").c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs("\"velkora_text_error_title\" = \"Error\";\n\"velkora_text_no_network_message\" = \"No network\";\n",
                   f);
        std::fclose(f);
    }
    Bundle::main().setResourcesPath(resources.string());
    int alerts = 0;
    std::vector<std::string> texts;
    bool menuVisible = false;
    VelkoraUrlFetcher::setMenuVisibleProvider([&] { return menuVisible; });
    VelkoraUrlFetcher::setAlertPresenter(
        [&](const std::string& title, const std::string& message, const std::string& button) {
            ++alerts;
            texts = {title, message, button};
        });
    Log::Capture capture;
    fetch("unsupported://hidden", 1);
    EXPECT_EQ(alerts, 0);
    menuVisible = true;
    fetch("unsupported://showing", 1);
    EXPECT_EQ(alerts, 1);
    // The table's texts, and "" for the key it lacks.
    EXPECT_EQ(texts, (std::vector<std::string>{"Error", "No network", ""}));
    Bundle::main().reset();
    std::filesystem::remove_all(resources);
    EXPECT_EQ(capture.count("Velkora - No internet connection... alerting on request"), 2u);
    EXPECT_EQ(VelkoraReachabilityManager::instance().pendingConnections().size(), 2u);

    // Mode 2 is not parked; the client hears that the request was given up.
    fetch("unsupported://given-up", 2);
    EXPECT_EQ(capture.count("Velkora - No internet connection... giving up on request"), 1u);
    EXPECT_EQ(VelkoraReachabilityManager::instance().pendingConnections().size(), 2u);
    RunLoop::main().advance(0);
    EXPECT_EQ(outcomes, (std::vector<std::string>{"unsupported://given-up"}));
    VelkoraUrlFetcher::setMenuVisibleProvider(nullptr);
    VelkoraUrlFetcher::setAlertPresenter(nullptr);
}

TEST_F(ParkTest, WithoutANotifierTheStatusIsReadAgainAndTheParkStillResumes) {
    provider->setWatchingFails(true);
    auto& manager = VelkoraReachabilityManager::instance();
    fetch("unsupported://first");
    EXPECT_EQ(manager.pendingConnections().size(), 1u);
    provider->setReachable(true); // nobody hears this change
    RunLoop::main().advance(0);
    EXPECT_TRUE(outcomes.empty());
    fetch("unsupported://second"); // finds the network back, and the park follows it
    RunLoop::main().advance(0);
    EXPECT_EQ(outcomes, (std::vector<std::string>{"unsupported://second", "unsupported://first"}));
}

std::string ipTool() {
    for (const char* p : {"/usr/sbin/ip", "/sbin/ip", "/usr/bin/ip", "/bin/ip"})
        if (std::filesystem::exists(p)) return p;
    return {};
}

TEST(NetlinkReachability, FollowsRoutesGoingAwayAndComingBack) {
    std::string ip = ipTool();
    if (ip.empty()) GTEST_SKIP() << "no ip tool";
    // A network namespace of this test alone: no route but what the test makes. The thread goes back to
    // the namespace it came from however the test ends, so later tests of this process still reach loopback.
    int home = ::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
    if (home < 0) GTEST_SKIP() << "cannot read this process's network namespace";
    struct BackHome {
        int fd;
        bool left = false;
        ~BackHome() {
            if (left && ::setns(fd, CLONE_NEWNET) != 0)
                ADD_FAILURE() << "could not return to the first network namespace";
            ::close(fd);
        }
    } backHome{home};
    if (::unshare(CLONE_NEWNET) != 0) GTEST_SKIP() << "cannot make a network namespace here";
    backHome.left = true;
    auto sh = [&](const std::string& args) { return std::system((ip + " " + args + " >/dev/null 2>&1").c_str()); };
    if (sh("link add vk0 type veth peer name vk1") != 0) GTEST_SKIP() << "cannot make a virtual link here";

    NetworkReachability::setProvider(nullptr); // the kernel's
    RunLoop::main().useTestClock();
    VelkoraReachabilityManager::resetForTests(); // one made by an earlier test watched another network
    auto handle = VelkoraReachability::reachabilityForInternetConnection();
    EXPECT_EQ(handle->currentReachabilityStatus(), 0);

    auto& manager = VelkoraReachabilityManager::instance();
    EXPECT_TRUE(manager.isInternetUnreachable());

    // Addresses of the documentation range, inside this namespace only; nothing is ever sent.
    ASSERT_EQ(sh("link set vk1 up"), 0);
    ASSERT_EQ(sh("link set vk0 up"), 0);
    ASSERT_EQ(sh("addr add 198.51.100.2/24 dev vk0"), 0);
    ASSERT_EQ(sh("route add default via 198.51.100.1"), 0);
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return !manager.isInternetUnreachable(); }, 10));
    EXPECT_EQ(handle->currentReachabilityStatus(), 1);

    ASSERT_EQ(sh("link set vk0 down"), 0);
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return manager.isInternetUnreachable(); }, 10));

    ASSERT_EQ(sh("link set vk0 up"), 0);
    ASSERT_EQ(sh("route add default via 198.51.100.1"), 0);
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return !manager.isInternetUnreachable(); }, 10));
    ASSERT_EQ(sh("route del default"), 0);
    ASSERT_EQ(sh("addr flush dev vk0"), 0);
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return manager.isInternetUnreachable(); }, 10));
    sh("link del vk0");
    VelkoraReachabilityManager::resetForTests();
    RunLoop::main().reset();
}

} // namespace
