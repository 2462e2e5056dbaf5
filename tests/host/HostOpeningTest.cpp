// Opening features as a host does, through the public headers: nothing before readiness, a screen the
// test registers pushed on the host's stack with its title, the lists of another user only once the user
// is found, features this build lacks, and the host's tab bar.
#include "HostFixture.h"

#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraFeatureRegistry.h"
#include "shell/VelkoraGeneralFeatureViewController.h"
#include "velkora/VelkoraApi.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

// Stands in for a feature's screen and keeps what it was opened with.
class RecordingScreen : public VelkoraGeneralFeatureViewController {
public:
    explicit RecordingScreen(foundation::Value arguments) : arguments(std::move(arguments)) {}
    const char* className() const override { return "RecordingScreen"; }
    void loadView() override { setView(ui::View::create()); }
    foundation::Value arguments;
};

class HostOpeningTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        window = VelkoraWindow::create();
        nav = VelkoraNavigationController::create(VelkoraHostScreen::create("Host"));
        window->setRootNavigationController(nav);
        window->makeKeyAndVisible();
        // The host's first call lets the build's screens register; the test's own take their places.
        Velkora::getFeatureBadgeNumber(kVelkoraFeatureInbox);
        VelkoraScreenRegistry::instance().resetForTests();
        size_t n = 0;
        for (auto* e = VelkoraFeatureRegistry::entries(&n); n; ++e, --n) {
            std::string name = e->name;
            VelkoraScreenRegistry::instance().registerScreen(name, [this, name](const foundation::Value& a) {
                opened.emplace_back(name, a);
                return std::make_shared<RecordingScreen>(a);
            });
        }
    }
    void TearDown() override {
        nav.reset();
        window.reset();
        HostTest::TearDown();
    }
    std::vector<std::string> openedNames() const {
        std::vector<std::string> names;
        for (const auto& o : opened)
            names.push_back(o.first);
        return names;
    }

    std::shared_ptr<VelkoraWindow> window;
    std::shared_ptr<VelkoraNavigationController> nav;
    std::vector<std::pair<std::string, foundation::Value>> opened;
};

} // namespace

TEST_F(HostOpeningTest, FeaturesOpenOnTheHostsStackOnceTheKitIsReady) {
    // Not ready: the popup says so and the host's stack stays as it was.
    Velkora::openLeaderboardWithNavigationController(nav, false);
    EXPECT_TRUE(logged("Velkora - Velkora is not ready yet, can't open feature"));
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(nav->stackDepth(), 1u);

    startAndComplete();
    auto& session = VelkoraAgentInternal::instance();
    // Under the host's own bar: the kit's top panel hides.
    Velkora::openLeaderboardWithNavigationController(nav, false);
    loop().advance(1);
    ASSERT_EQ(nav->stackDepth(), 2u);
    EXPECT_EQ(nav->topTitle(), "Leaderboard");
    EXPECT_EQ(openedNames(), std::vector<std::string>{"leaderboard"});
    EXPECT_EQ(VelkoraScreenArguments::object1(opened.back().second), foundation::Value(""));
    EXPECT_TRUE(session.isTopPanelHidden());
    Velkora::openActivityWithNavigationController(nav, true);
    loop().advance(1);
    EXPECT_EQ(nav->stackDepth(), 3u);
    EXPECT_FALSE(session.isTopPanelHidden());
    EXPECT_TRUE(VelkoraScreenArguments::object1(opened.back().second).isNull());

    // Back pops the screen opened last; back to the panel pops to the screen opened last.
    session.didClickBack();
    loop().advance(1);
    EXPECT_EQ(nav->stackDepth(), 2u);
    Velkora::openQuizWithId(7, nav, true);
    loop().advance(1);
    EXPECT_EQ(VelkoraScreenArguments::object1(opened.back().second), foundation::Value(7));
    EXPECT_EQ(nav->stackDepth(), 3u);
    session.backToPanel();
    loop().advance(1);
    EXPECT_EQ(nav->stackDepth(), 3u) << "the quiz was the screen opened last";
    nav->popToRoot();

    // Without a stack of the host's the screen comes in a stack of the kit's own, presented from the host's
    // window even though the initializing popup's window is still key; close ends it.
    Velkora::openInboxWithNavigationController(nullptr, true);
    loop().advance(1);
    EXPECT_EQ(nav->stackDepth(), 1u);
    EXPECT_TRUE(nav->isPresenting());
    session.didClose();
    loop().advance(1);
    EXPECT_FALSE(nav->isPresenting());
}

TEST_F(HostOpeningTest, AnotherUsersListsOpenOnlyForAUserTheServiceKnows) {
    startAndComplete();
    std::string mary = svc.createUser(kApp, named("Mary", "Ann"));
    struct Case {
        const char* what;
        std::function<void(const std::string&)> open;
        const char* feature;
        int32_t featureId;
    };
    const Case cases[] = {
        {"followers", [&](const std::string& id) { Velkora::openFollowersForUser(id, nav, true); }, "userfollowers",
         113},
        {"following", [&](const std::string& id) { Velkora::openFollowingForUser(id, nav, true); }, "userfollowing",
         114},
        {"posts", [&](const std::string& id) { Velkora::openPostsForUser(id, nav, true); }, "userPosts", 115},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        opened.clear();
        nav->popToRoot();
        const size_t asked = count("getOtherUserData");
        c.open("no-such-user");
        ASSERT_TRUE(waitForRequests("getOtherUserData", asked + 1));
        EXPECT_TRUE(logged("Velkora (W) - No user with Id no-such-user; feature " + std::to_string(c.featureId) +
                           " is not opened"));
        EXPECT_TRUE(opened.empty());
        EXPECT_EQ(nav->stackDepth(), 1u);

        c.open(mary);
        ASSERT_TRUE(waitFor([&] { return !opened.empty(); }));
        loop().advance(1);
        EXPECT_EQ(openedNames(), std::vector<std::string>{c.feature});
        auto user = VelkoraScreenArguments::object1(opened.back().second).asObject<VelkoraUserInternal>();
        ASSERT_TRUE(user) << "the list is handed the user, not the id";
        EXPECT_EQ(user->userId(), std::optional<std::string>(mary));
        EXPECT_EQ(nav->stackDepth(), 2u);
    }
}

TEST_F(HostOpeningTest, FeaturesThisBuildLacksOpenNothingAndSaySo) {
    startAndComplete();
    VelkoraScreenRegistry::instance().unregisterScreen("chat");
    Velkora::openChatWithUser("someone", nav, true);
    EXPECT_TRUE(logged("Velkora (W) - feature 108 (chat) is not part of this build"));
    loop().advance(1);
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(nav->stackDepth(), 1u);
    EXPECT_FALSE(nav->isPresenting());
}

TEST_F(HostOpeningTest, TheStickerStoreOpensLikeTheOtherFeatures) {
    startAndComplete();
    Velkora::openStickerStoreWithNavigationController(nav, true);
    EXPECT_TRUE(logged("Velkora - Opening Velkora's StickerStore"));
    loop().advance(1);
    EXPECT_EQ(openedNames(), std::vector<std::string>{"stickerStore"});
    EXPECT_EQ(nav->stackDepth(), 2u);
    VelkoraAgentInternal::instance().didClickBack();
    loop().advance(1);
    EXPECT_EQ(nav->stackDepth(), 1u);
    // Without a stack of the host's it comes in the kit's own, and closes.
    Velkora::openStickerStoreWithNavigationController(nullptr, true);
    loop().advance(1);
    EXPECT_TRUE(nav->isPresenting());
    VelkoraAgentInternal::instance().didClose();
    loop().advance(1);
    EXPECT_FALSE(nav->isPresenting());
}

TEST_F(HostOpeningTest, TabsAreTaggedByFeatureAndPlacedWhereTheHostSays) {
    auto tabs = VelkoraTabBarController::create({VelkoraHostScreen::create("Home"), VelkoraHostScreen::create("More")});
    VelkoraApi::addLeaderboardToTabBarController(tabs, 1);
    ASSERT_EQ(tabs->count(), 2u) << "the tab at 1 is replaced";
    EXPECT_EQ(tabs->tabTitles()[1], "Leaderboard");
    EXPECT_EQ(tabs->tabTags()[1], 802);
    VelkoraApi::addChatWithUser("u-1", tabs, 2);
    ASSERT_EQ(tabs->count(), 3u);
    EXPECT_EQ(tabs->tabTags()[2], 808);
    EXPECT_EQ(VelkoraScreenArguments::object1(opened.back().second), foundation::Value("u-1"));
    VelkoraApi::addInboxToTabBarController(tabs, 4);
    EXPECT_TRUE(logged("Velkora (E) - Tab-bar position 4 is beyond the 3 tabs; feature 1 is not added"));
    EXPECT_EQ(tabs->count(), 3u);
    EXPECT_EQ(tabs->tabTitles()[2], "Chat");
}
