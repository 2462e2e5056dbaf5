// Session start against velkora-service: readiness, the two first replies that complete a start in
// either order, the return from background, the start's weak points, and the wait for the host's window.
#include "server/ServerClientFixture.h"

#include "host/HostInternals.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "data/VelkoraAppData.h"
#include "session/VelkoraScreenRegistry.h"
#include "velkora/VelkoraAgent.h"

using namespace velkora;
using namespace velkora::testing;
using service::Fault;

namespace {

class StartupTest : public ServerClientTest {
public:
    using ServerClientTest::settle;
    using ServerClientTest::svc;

protected:
    void SetUp() override {
        ServerClientTest::SetUp();
        // The host's first call registers the build's screens; these tests start a kit without any.
        host::prepareKit();
        VelkoraScreenRegistry::instance().resetForTests();
        events.clear();
        for (const char* name : {"VelkoraIsReady", "VelkoraAppDataReceived", "VelkoraUserDataReceived"})
            observers.emplace_back(name, nullptr, [this, name](const foundation::Notification&) {
                // Readiness says whether the user was known yet (it comes before any reply).
                const bool ready = std::string(name) == "VelkoraIsReady";
                events.push_back(std::string(name) + (ready && !agent().userId() ? " (no user id)" : ""));
            });
    }
    void TearDown() override {
        observers.clear();
        ServerClientTest::TearDown();
    }

public:
    // A completion that counts itself into the event list.
    std::function<void()> completion(const std::string& name) {
        return [this, name] { events.push_back("completion " + name); };
    }
    size_t countOf(const std::string& event) const { return std::count(events.begin(), events.end(), event); }
    bool completed(size_t n) {
        return waitFor([&] {
                   return size_t(std::count_if(events.begin(), events.end(), [](const std::string& e) {
                              return e.rfind("completion", 0) == 0;
                          })) >= n;
               }) &&
               settle();
    }
    // Through the host's start calls: the newer one starts in mode 2 at once, the older ones in mode 0.
    void start(const std::string& appId, float delay, int mode, std::function<void()> done) {
        if (mode == 2 && delay == 0)
            Velkora::initWithAppId(appId, std::move(done));
        else if (mode == 0)
            VelkoraAgent::startSession(appId, nullptr, delay, std::move(done));
        else // no host call starts mode 2 after a delay
            VelkoraAgentInternal::startSession(appId, nullptr, delay, mode, std::move(done));
    }

    std::vector<std::string> events;
    std::vector<foundation::NotificationObserver> observers;
};

} // namespace

TEST_F(StartupTest, NewUserIsReadyAtOnceAndCompletesAfterBothFirstRepliesInEitherOrder) {
    struct Case {
        const char* name;
        const char* delayed;
        const char* firstReply;
    };
    const Case cases[] = {{"configuration last", "getAppData", "VelkoraUserDataReceived"},
                          {"user last", "getUserData", "VelkoraAppDataReceived"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        // The delayed reply is held until the other one has arrived, however slow the machine.
        svc.addFault(Fault{c.delayed, Fault::Kind::Delay, "", 500, 120});
        start(kApp, 0, 2, completion("host"));
        // Ready before any reply: nothing has answered yet, not even the user's creation.
        EXPECT_EQ(events, std::vector<std::string>{"VelkoraIsReady (no user id)"});
        ASSERT_TRUE(waitFor([&] { return events.size() >= 2; }));
        EXPECT_EQ(countOf("completion host"), 0u);
        svc.releaseDelays();
        ASSERT_TRUE(completed(1));
        ASSERT_EQ(events.size(), 4u);
        EXPECT_EQ(events[1], c.firstReply);
        EXPECT_EQ(events[3], "completion host");
        EXPECT_EQ(countOf("VelkoraIsReady (no user id)"), 1u);
        // createUser and getAppData went at once, getUserData once the user existed. The configuration's
        // request may reach the service after the user's on a new connection, so only the user's order counts.
        auto all = svc.requests();
        std::vector<std::string> commands;
        for (auto& r : all)
            if (r.command == "createUser" || r.command == "getAppData" || r.command == "getUserData")
                commands.push_back(r.command);
        ASSERT_EQ(commands.size(), 3u);
        const auto at = [&](const char* command) { return std::find(commands.begin(), commands.end(), command); };
        EXPECT_LT(at("createUser"), at("getUserData"));
        EXPECT_EQ(count("createUser"), 1u);
        EXPECT_EQ(count("getAppData"), 1u);
        EXPECT_TRUE(VelkoraAgentInternal::instance().velkoraUser());
        EXPECT_TRUE(VelkoraAgentInternal::instance().isVelkoraReady());

        // Back from the background: the configuration is asked again, the completion does not run again.
        velkoraApplicationWillEnterForeground();
        ASSERT_TRUE(waitForRequests("getAppData", 2));
        EXPECT_TRUE(logged("Velkora - app returns from the background. clearing badge number"));
        EXPECT_EQ(countOf("completion host"), 1u);
    }
}

TEST_F(StartupTest, WeakPointsOfTheStartCompleteEveryBlockOnce) {
    struct Case {
        const char* name;
        std::vector<Fault> faults;
        // What the host does: starts, and maybe starts again.
        std::function<void(StartupTest&)> act;
        double advance; // test-clock seconds to let retries and delayed starts happen
        size_t createUsers, appDatas, userDatas, ready, completions;
    };
    auto once = [](StartupTest& t) { t.start(kApp, 0, 2, t.completion("1")); };
    const Case cases[] = {
        {"createUser error reply once",
         {Fault{"createUser", Fault::Kind::ErrorCode, "DB_BUSY"}},
         once,
         15.1,
         2,
         1,
         1,
         1,
         1},
        {"createUser connection dropped once", {Fault{"createUser", Fault::Kind::Drop, ""}}, once, 15.1, 2, 1, 1, 1, 1},
        {"getUserData error reply once",
         {Fault{"getUserData", Fault::Kind::ErrorCode, "DB_BUSY"}},
         once,
         15.1,
         1,
         1,
         2,
         1,
         1},
        {"getAppData error reply once",
         {Fault{"getAppData", Fault::Kind::ErrorCode, "DB_BUSY"}},
         once,
         15.1,
         1,
         2,
         1,
         1,
         1},
        {"getAppData connection dropped once", {Fault{"getAppData", Fault::Kind::Drop, ""}}, once, 15.1, 1, 2, 1, 1, 1},
        {"second start while a delayed start waits",
         {},
         [](StartupTest& t) {
             t.start(kApp, 0.5f, 2, t.completion("1"));
             t.start(kApp, 0, 2, t.completion("2"));
             // Nothing starts before the timer: no request, no readiness.
             t.settle();
             EXPECT_EQ(t.svc.requests().size(), 0u);
             EXPECT_TRUE(t.events.empty());
         },
         0.6,
         1,
         1,
         1,
         1,
         2},
        {"the older start delayed, the newer one while it waits",
         {},
         [](StartupTest& t) {
             t.start(kApp, 0.5f, 0, t.completion("1"));
             t.start(kApp, 0, 2, t.completion("2"));
             t.settle();
             EXPECT_EQ(t.svc.requests().size(), 0u);
             EXPECT_TRUE(t.events.empty());
         },
         0.6,
         1,
         1,
         1,
         1,
         2},
        {"second start while the first replies are in flight",
         {},
         [](StartupTest& t) {
             t.start(kApp, 0, 2, t.completion("1"));
             t.start(kApp, 0, 2, t.completion("2"));
         },
         0,
         1,
         2,
         2,
         2,
         2},
        {"empty application id", {}, [](StartupTest& t) { t.start("", 0, 2, t.completion("1")); }, 0, 0, 0, 0, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        for (const auto& f : c.faults)
            svc.addFault(f);
        c.act(*this);
        // A failed reply arms its retry (the agent's or the fetcher's) before the clock moves on.
        if (!c.faults.empty())
            ASSERT_TRUE(waitFor([&] { return logged("Velkora (E) - Got error") || logged("Retrying"); }));
        else
            settle();
        if (c.advance > 0) loop().advance(c.advance);
        if (c.completions) {
            ASSERT_TRUE(completed(c.completions));
        }
        waitFor([&] { return count("getUserData") >= c.userDatas && count("getAppData") >= c.appDatas; });
        settle();
        EXPECT_EQ(count("createUser"), c.createUsers);
        EXPECT_EQ(count("getAppData"), c.appDatas);
        EXPECT_EQ(count("getUserData"), c.userDatas);
        EXPECT_EQ(countOf("VelkoraIsReady (no user id)") + countOf("VelkoraIsReady"), c.ready);
        EXPECT_EQ(countOf("completion 1"), c.completions ? 1u : 0u);
        EXPECT_EQ(countOf("completion 2"), c.completions == 2 ? 1u : 0u);
        // A later cycle of the clock changes nothing: every block was let go.
        loop().advance(30);
        settle();
        EXPECT_EQ(countOf("completion 1"), c.completions ? 1u : 0u);
    }
    EXPECT_TRUE(logged("Velkora (E) - startSession called with an empty application id"));
}

TEST_F(StartupTest, ModeZeroWaitsForAKeyWindowThatIsNotAnAlertWindow) {
    start(kApp, 0, 0, completion("host"));
    EXPECT_TRUE(logged("Velkora - Window is not ready yet - either nil or an alert one"));
    settle();
    EXPECT_EQ(count("getAppData"), 0u);
    EXPECT_TRUE(events.empty());

    // The kit's own popup window becoming key is passed over.
    auto alert = ui::Window::create(ui::Rect{0, 0, 320, 480});
    alert->setWindowLevel(ui::WindowLevel::Alert);
    alert->makeKeyAndVisible();
    settle();
    EXPECT_FALSE(logged("Velkora - Window become Key Window. Starting ..."));
    EXPECT_EQ(count("getAppData"), 0u);
    EXPECT_TRUE(events.empty());

    auto host = VelkoraWindow::create(320, 480);
    host->makeKeyAndVisible();
    EXPECT_TRUE(logged("Velkora - Window become Key Window. Starting ..."));
    EXPECT_EQ(VelkoraAgentInternal::instance().appWindow(), host->impl()->window);
    ASSERT_TRUE(completed(1));
    EXPECT_EQ(countOf("completion host"), 1u);
    EXPECT_EQ(count("getAppData"), 1u);
    // The wait is over: another window becoming key starts nothing more.
    alert->makeKeyAndVisible();
    host->makeKeyAndVisible();
    settle();
    EXPECT_EQ(count("getAppData"), 1u);
}
