// Opening features for the host: the initializing popup before readiness, the id rewrites, features
// without a screen, a screen pushed on the host's stack and what it answers, and the host's tab bar.
#include "server/ServerClientFixture.h"

#include "BuildPaths.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarItems.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/Window.h"
#include "data/VelkoraFeatureRegistry.h"
#include "session/VelkoraScreenRegistry.h"
#include "shell/VelkoraDefaultOKPopupView.h"
#include "shell/VelkoraGeneralFeatureViewController.h"
#include "shell/WidgetSnapshot.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

// A feature screen standing in for the real ones: it remembers what it was opened with.
class TestScreen : public VelkoraGeneralFeatureViewController {
public:
    TestScreen(std::string feature, foundation::Value arguments)
        : feature(std::move(feature)), arguments(std::move(arguments)) {}
    const char* className() const override { return "TestScreen"; }
    void loadView() override { setView(ui::View::create()); }
    std::string feature;
    foundation::Value arguments;
};

class OpeningTest : public ServerClientTest {
protected:
    void SetUp() override {
        ServerClientTest::SetUp();
        ui::Application::instance().resetForTests();
        VelkoraScreenRegistry::instance().resetForTests();
        host = ui::Window::createFullScreen();
        host->setBackgroundColor(ui::Color::fromHex("#E9EDF2"));
        auto heading = ui::Label::create({20, 40, 280, 30});
        heading->setText("Host application");
        host->addSubview(heading);
        hostRoot = ui::ViewController::create();
        hostNav = ui::NavigationController::create(hostRoot);
        host->setRootViewController(hostNav);
        host->makeKeyAndVisible();
    }
    void TearDown() override {
        host.reset();
        ui::Application::instance().resetForTests();
        ServerClientTest::TearDown();
    }
    // Every feature name opens a TestScreen, and the names asked for are recorded.
    void registerEveryScreen(std::vector<std::string> except = {}) {
        size_t n = 0;
        for (auto* e = VelkoraFeatureRegistry::entries(&n); n; ++e, --n) {
            std::string name = e->name;
            if (std::find(except.begin(), except.end(), name) != except.end()) continue;
            VelkoraScreenRegistry::instance().registerScreen(name, [this, name](const foundation::Value& a) {
                opened.push_back(name);
                return std::make_shared<TestScreen>(name, a);
            });
        }
    }
    void startAndComplete() {
        bool done = false;
        VelkoraAgentInternal::startSession(kApp, nullptr, 0, 2, [&] { done = true; });
        ASSERT_TRUE(waitFor([&] { return done; }));
    }
    static VelkoraAgentInternal& session() { return VelkoraAgentInternal::instance(); }
    void signIn(bool signedIn) {
        session().velkoraUser()->setFirstName(signedIn ? std::optional<std::string>("Ann") : std::nullopt);
    }

    std::shared_ptr<ui::Window> host;
    std::shared_ptr<ui::ViewController> hostRoot;
    std::shared_ptr<ui::NavigationController> hostNav;
    std::vector<std::string> opened;
};

} // namespace

TEST_F(OpeningTest, BeforeReadinessTheInitializingPopupShowsAndNothingOpens) {
    registerEveryScreen();
    session().openFeature(0, hostNav, true);
    EXPECT_TRUE(logged("Velkora - Velkora is not ready yet, can't open feature"));
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(hostNav->viewControllers().size(), 1u);
    auto popup = session().initializingPopup();
    ASSERT_TRUE(popup);
    EXPECT_EQ(popup->titleLabel()->text(), "Just a moment");
    EXPECT_EQ(popup->messageLable()->numberOfLines(), 0);
    loop().advance(1);
    expectMatchesReference(ui::Snapshot::imageOfScreen(), "initializing_popup");
}

TEST_F(OpeningTest, IdsAreRewrittenByWhoTheUserIs) {
    registerEveryScreen();
    startAndComplete();
    const std::string me = *session().velkoraUser()->userId();
    struct Case {
        int32_t featureId;
        bool signedIn;
        std::string object1;
        std::string expected;
    };
    const Case cases[] = {
        {107, true, me, "myprofile"}, {107, false, me, "login"},    {107, true, "someone", "profile"},
        {105, true, "", "myprofile"}, {104, true, "", "myprofile"}, {105, false, "", "signup"},
        {106, false, "", "login"},    {104, false, "", "login"},    {106, true, "", "myprofile"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.featureId) + (c.signedIn ? " signed in " : " anonymous ") + c.object1);
        signIn(c.signedIn);
        opened.clear();
        session().openFeature(c.featureId, hostNav, true,
                              c.object1.empty() ? foundation::Value() : foundation::Value(c.object1));
        EXPECT_EQ(opened, std::vector<std::string>{c.expected});
    }
}

TEST_F(OpeningTest, FeaturesWithoutAScreenLogAndOpenNothing) {
    registerEveryScreen({"chat"});
    startAndComplete();
    session().openFeature(101, hostNav, true);
    EXPECT_TRUE(logged("Velkora (E) - Unknown featureId given: 101"));
    session().openFeature(108, hostNav, true, foundation::Value("someone"));
    EXPECT_TRUE(logged("Velkora (W) - feature 108 (chat) is not part of this build"));
    session().openFeature(-3, nullptr, true);
    EXPECT_TRUE(logged("Velkora (E) - Unknown featureId given: -3"));
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(hostNav->viewControllers().size(), 1u);
    EXPECT_FALSE(hostRoot->presentedViewController() || hostNav->presentedViewController());
}

TEST_F(OpeningTest, AScreenPushedOnTheHostStackAnswersForItsContainer) {
    registerEveryScreen();
    startAndComplete();
    session().openFeature(102, hostNav, false, foundation::Value(""));
    loop().advance(1);
    ASSERT_EQ(hostNav->viewControllers().size(), 2u);
    auto screen = std::dynamic_pointer_cast<TestScreen>(hostNav->viewControllers().back());
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->titleText(), "Leaderboard");
    EXPECT_EQ(VelkoraScreenArguments::object1(screen->arguments), foundation::Value(""));
    EXPECT_EQ(VelkoraScreenArguments::openedAs(screen->arguments), "navigation");
    auto container = screen->featureTabDelegate();
    ASSERT_TRUE(container);
    EXPECT_TRUE(container->isTopPanelHidden()) << "the host's own bar shows";
    EXPECT_TRUE(container->isOpenedAsFeature());
    EXPECT_FALSE(container->isUsingPopover());
    session().openFeature(0, hostNav, true);
    EXPECT_FALSE(container->isTopPanelHidden());
    session().openFeature(0, nullptr, false);
    EXPECT_FALSE(container->isTopPanelHidden()) << "a stack of the kit's own has no host bar";
    loop().advance(1);
    // That one went modal, in a stack of the kit's own.
    auto modal = std::dynamic_pointer_cast<ui::NavigationController>(hostNav->presentedViewController());
    ASSERT_TRUE(modal);
    EXPECT_STREQ(modal->className(), "VelkoraNavControllerViewController");
    EXPECT_TRUE(modal->isNavigationBarHidden());
    // Close dismisses it and forgets the screen.
    container->didClose();
    loop().advance(1);
    EXPECT_FALSE(hostNav->presentedViewController());
    EXPECT_FALSE(session().currentPresentedFeatureVC());

    // Back pops one screen of the host's stack; back to the panel pops to the screen opened last.
    session().openFeature(1, hostNav, true);
    loop().advance(1);
    ASSERT_EQ(hostNav->viewControllers().size(), 4u);
    auto inbox = hostNav->viewControllers().back();
    container->didClickBack();
    loop().advance(1);
    EXPECT_EQ(hostNav->viewControllers().size(), 3u);
    EXPECT_FALSE(session().currentPresentedFeatureVC()) << "the screen that was popped is forgotten";
    session().openFeature(2, hostNav, true);
    loop().advance(1);
    auto rooms = hostNav->viewControllers().back();
    hostNav->pushViewController(ui::ViewController::create(), false);
    container->backToPanel();
    loop().advance(1);
    EXPECT_EQ(hostNav->viewControllers().back(), rooms);
}

TEST_F(OpeningTest, ScreensWithTheKitsPanelPutTheHostsBarAsideUntilTheHostsScreenIsBack) {
    registerEveryScreen();
    startAndComplete();
    ASSERT_FALSE(hostNav->isNavigationBarHidden());
    // Opened with the kit's panel: no empty host bar above it, also for a second screen on top.
    session().openFeature(0, hostNav, true);
    loop().advance(1);
    EXPECT_TRUE(hostNav->isNavigationBarHidden());
    session().openFeature(2, hostNav, true);
    loop().advance(1);
    hostNav->popViewController(false);
    loop().advance(1);
    EXPECT_TRUE(hostNav->isNavigationBarHidden()) << "a kit screen is still on top";
    hostNav->popToRootViewController(false);
    loop().advance(1);
    EXPECT_FALSE(hostNav->isNavigationBarHidden()) << "the host's screen has its bar back";
    // Opened under the host's own bar, the screen keeps it.
    session().openFeature(0, hostNav, false);
    loop().advance(1);
    EXPECT_FALSE(hostNav->isNavigationBarHidden());
}

TEST_F(OpeningTest, BackToPanelFromLogInPopsToTheRoot) {
    // The log-in and sign-up screens go back to the root; which one opened is read from the screen.
    struct LoginScreen : TestScreen {
        using TestScreen::TestScreen;
        const char* className() const override { return "VelkoraLoginViewController"; }
    };
    registerEveryScreen();
    VelkoraScreenRegistry::instance().registerScreen("login", [this](const foundation::Value& a) {
        opened.push_back("login");
        return std::make_shared<LoginScreen>("login", a);
    });
    startAndComplete();
    session().openFeature(0, hostNav, true);
    session().openFeature(104, hostNav, true); // anonymous: stays the log-in screen
    loop().advance(1);
    ASSERT_EQ(opened.back(), "login");
    ASSERT_EQ(hostNav->viewControllers().size(), 3u);
    session().backToPanel();
    loop().advance(1);
    EXPECT_EQ(hostNav->viewControllers().size(), 1u);
    EXPECT_FALSE(session().currentPresentedFeatureVC());
}

TEST_F(OpeningTest, TabBarEntriesReplaceAppendAndRefuseAPositionTooFar) {
    registerEveryScreen();
    auto tabs = ui::TabBarController::create();
    tabs->setViewControllers({ui::ViewController::create(), ui::ViewController::create()});
    // No readiness needed for the tab bar.
    session().addFeature(102, tabs, 1, foundation::Value(""));
    ASSERT_EQ(tabs->viewControllers().size(), 2u);
    auto entry = std::dynamic_pointer_cast<ui::NavigationController>(tabs->viewControllers()[1]);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->tabBarItem()->tag(), 802);
    EXPECT_EQ(entry->tabBarItem()->title(), "Leaderboard");
    EXPECT_TRUE(entry->tabBarItem()->image());
    auto screen = std::dynamic_pointer_cast<TestScreen>(entry->viewControllers().front());
    ASSERT_TRUE(screen);
    EXPECT_EQ(VelkoraScreenArguments::openedAs(screen->arguments), "tabBar");

    session().addFeature(104, tabs, 2); // appended; without a current user it counts as signed in
    ASSERT_EQ(tabs->viewControllers().size(), 3u);
    EXPECT_EQ(tabs->viewControllers()[2]->tabBarItem()->tag(), 806);
    EXPECT_FALSE(tabs->viewControllers()[2]->tabBarItem()->image());

    session().addFeature(0, tabs, 5);
    EXPECT_TRUE(logged("Velkora (E) - Tab-bar position 5 is beyond the 3 tabs; feature 0 is not added"));
    session().addFeature(110, tabs, 0);
    EXPECT_TRUE(logged("Velkora (E) - Unknown featureId given: 110"));
    EXPECT_EQ(tabs->viewControllers().size(), 3u);
}
