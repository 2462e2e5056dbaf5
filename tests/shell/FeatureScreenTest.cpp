// The feature-screen base inside a navigation controller with a recording container, against
// velkora-service: the served name and colour, the inbox badge, back and close, the profile, the
// content's place under the navigation bar, and the shared elements offered to the host's style sheet.
#include "ShellServiceFixture.h"
#include "WidgetSnapshot.h"
#include "session/VelkoraChatsRepository.h"
#include "data/VelkoraUserInternal.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Font.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/TextView.h"
#include "platform/ui/UiNotifications.h"
#include "platform/ui/Window.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "session/VelkoraScreenRegistry.h"
#include "shell/VelkoraActivationGesturesHandler.h"
#include "shell/VelkoraGeneralFeatureViewController.h"
#include "session/VelkoraStyleSheetCustomizer.h"

using namespace velkora;
using namespace velkora::testing;
using foundation::Value;

namespace {

class TestFeatureScreen : public VelkoraGeneralFeatureViewController {
public:
    TestFeatureScreen() : VelkoraGeneralFeatureViewController("TestFeatureScreen") {}
    const char* className() const override { return "TestFeatureScreen"; }
};

// The container as the sidebar or the session object would be, writing down what the screen told it.
struct RecordingContainer : VelkoraGeneralFeatureViewControllerDelegate {
    bool topPanelHidden = false;
    bool openedAsFeature = false;
    std::vector<std::string> calls;
    void didClickBack() override { calls.push_back("didClickBack"); }
    void didClose() override { calls.push_back("didClose"); }
    void backToPanel() override { calls.push_back("backToPanel"); }
    bool isUsingPopover() override { return false; }
    bool isTopPanelHidden() override { return topPanelHidden; }
    bool isOpenedAsFeature() override { return openedAsFeature; }
};

class FeatureScreenTest : public ShellServiceTest {
protected:
    void SetUp() override {
        ShellServiceTest::SetUp();
        ui::InterfaceLoader::instance().setInterfacesPath(std::string(VELKORA_TEST_DATA_DIR) + "/interfaces");
        // The test screen's text bar.
        ui::InterfaceLoader::instance().registerClass<ui::TextView>("TextView");
        VelkoraChatsRepository::resetForTests();
        VelkoraScreenRegistry::instance().resetForTests();
        VelkoraStyleSheetCustomizer::resetForTests();
        container = std::make_shared<RecordingContainer>();
    }
    void TearDown() override {
        window.reset();
        VelkoraStyleSheetCustomizer::resetForTests();
        VelkoraScreenRegistry::instance().resetForTests();
        VelkoraChatsRepository::resetForTests();
        ui::InterfaceLoader::instance().reset();
        ui::Device::current().setUserInterfaceIdiom(ui::UserInterfaceIdiom::Phone);
        ui::Device::current().setSystemVersion("7.0");
        ui::Application::instance().resetForTests();
        ShellServiceTest::TearDown();
    }

    std::shared_ptr<TestFeatureScreen> makeScreen(bool profileButton, uint32_t screenId = 0) {
        auto screen = std::make_shared<TestFeatureScreen>();
        screen->setTitleText("Messages");
        screen->setShouldShowProfileButton(profileButton);
        screen->setStyleScreenIdentifier(screenId);
        screen->setFeatureTabDelegate(container);
        return screen;
    }
    // The screen on top of `below` other screens, in a navigation controller shown in a window.
    std::shared_ptr<ui::NavigationController> show(const std::shared_ptr<TestFeatureScreen>& screen, int below = 0) {
        auto nav = ui::NavigationController::create();
        std::vector<ui::ViewControllerPtr> stack;
        for (int i = 0; i < below; ++i)
            stack.push_back(ui::ViewController::create());
        stack.push_back(screen);
        nav->setViewControllers(stack, false);
        nav->setNavigationBarHidden(!container->topPanelHidden);
        window = ui::Window::create({0, 0, 320, 568});
        window->setRootViewController(nav);
        window->makeKeyAndVisible();
        screen->view();
        ui::Application::instance().layoutWindows();
        return nav;
    }
    // Two users of the application who wrote to this one.
    std::vector<std::string> twoUnreadChats() {
        std::string me = agent().userId().value_or("");
        std::vector<std::string> writers;
        for (const char* name : {"Ann", "Ben"}) {
            service::UserFields f;
            f.firstName = name;
            writers.push_back(svc.createUser(kApp, f));
            svc.sendMessage(kApp, writers.back(), me, std::string("hello from ") + name);
        }
        return writers;
    }

    std::shared_ptr<RecordingContainer> container;
    std::shared_ptr<ui::Window> window;
};

const char* const kConfiguration = R"({"appName":"Velkora Test","leadingColor":3046706})";

} // namespace

TEST_F(FeatureScreenTest, ThePanelShowsTheServedNameAndColourAndTheUnreadChats) {
    startAt(std::nullopt);
    serveConfiguration(kConfiguration);
    auto writers = twoUnreadChats();
    auto screen = makeScreen(true);
    show(screen);
    ASSERT_TRUE(waitFor([&] { return screen->profileBadgeLabel()->text() == "2"; }));
    settle();
    EXPECT_FALSE(screen->profileBadgeView()->isHidden());
    EXPECT_EQ(screen->appNameLabel()->text(), "Velkora Test");
    EXPECT_EQ(screen->titleLabel()->text(), "Messages");
    EXPECT_EQ(screen->aboveNavBarView()->backgroundColor(), ui::Color::fromHex("2E7D32"));
    EXPECT_EQ(screen->contentSizeForViewInPopover(), (ui::Size{320, 460}));
    EXPECT_EQ(screen->preferredStatusBarStyle(), ui::StatusBarStyleLightContent);
    EXPECT_FALSE(screen->velkoraShouldPopinAds());
    EXPECT_EQ(screen->appButton()->imageForState(ui::ControlStateNormal), ui::Image::named("VelImg_ribbonicon1"));
    EXPECT_EQ(screen->appButton()->imageForState(ui::ControlStateHighlighted), ui::Image::named("VelImg_ribbonicon1"));
    expectMatchesReference(ui::Snapshot::imageOfView(*window), "feature_screen_top_panel");

    // Only the inbox's badge counts: another feature's notification changes nothing even when the
    // inbox's number has changed quietly.
    VelkoraChatsRepository::instance().setChatWasDeleted(writers[0]);
    foundation::NotificationCenter::defaultCenter().post("VelkoraBadgeNumberChangedNotification", nullptr,
                                                         foundation::Dictionary{{"tabId", Value(2)}});
    EXPECT_EQ(screen->profileBadgeLabel()->text(), "2");
    foundation::NotificationCenter::defaultCenter().post("VelkoraBadgeNumberChangedNotification", nullptr,
                                                         foundation::Dictionary{{"tabId", Value(1)}});
    EXPECT_EQ(screen->profileBadgeLabel()->text(), "1");
    // Viewing the last one announces the inbox's badge, which the screen writes as "0" and hides.
    VelkoraChatsRepository::instance().setChatWasViewed(writers[1]);
    EXPECT_EQ(screen->profileBadgeLabel()->text(), "0");
    EXPECT_TRUE(screen->profileBadgeView()->isHidden());
}

TEST_F(FeatureScreenTest, AFailedChatListLeavesTheBadgeHidden) {
    startAt(std::nullopt);
    twoUnreadChats();
    svc.addFault({"getChats", service::Fault::Kind::HttpStatus, "", 503, 0, -1});
    auto screen = makeScreen(true);
    show(screen);
    ASSERT_TRUE(waitForRequests("getChats", 1));
    EXPECT_EQ(screen->profileBadgeLabel()->text(), "0");
    EXPECT_TRUE(screen->profileBadgeView()->isHidden());
}

TEST_F(FeatureScreenTest, BackGoesToTheContainerOnTheFirstScreensAndPopsDeeper) {
    struct Case {
        int below;
        bool panelHidden;
        bool fromNavigationBar;
        size_t stackAfter;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {0, false, false, 1, {"didClickBack"}},
        {1, false, false, 2, {"didClickBack"}},
        {2, false, false, 2, {}},
        {4, false, false, 4, {}},
        // The navigation bar's "Back" does exactly what the panel's back button does.
        {1, true, true, 2, {"didClickBack"}},
        {2, true, true, 2, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.below) + (c.fromNavigationBar ? " bar" : " panel"));
        container = std::make_shared<RecordingContainer>();
        container->topPanelHidden = c.panelHidden;
        auto screen = makeScreen(false);
        auto nav = show(screen, c.below);
        if (c.fromNavigationBar) {
            auto back = screen->navigationItem().leftBarButtonItem();
            ASSERT_TRUE(back);
            EXPECT_EQ(back->title(), "Back");
            EXPECT_EQ(back->style(), ui::BarButtonItemStyle::Bordered);
            back->tap();
        } else {
            screen->backButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
        }
        loop().advance(1);
        EXPECT_EQ(nav->viewControllers().size(), c.stackAfter);
        EXPECT_EQ(container->calls, c.calls);
    }
}

TEST_F(FeatureScreenTest, TheAppButtonLeavesTheKitAndAScreenWithoutContainerDoesNothing) {
    auto screen = makeScreen(false);
    show(screen);
    screen->appButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    EXPECT_EQ(container->calls, std::vector<std::string>{"didClose"});

    // Outside any navigation controller and with its container gone: nothing happens, and it is said.
    auto lone = makeScreen(false);
    lone->view();
    container.reset();
    lone->backButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    lone->appButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    EXPECT_TRUE(logged("Velkora (W) - backTapped: the screen TestFeatureScreen has no container"));
    EXPECT_TRUE(logged("Velkora (W) - appTapped: the screen TestFeatureScreen has no container"));
}

TEST_F(FeatureScreenTest, TheContainerIsNotKeptAliveByItsScreens) {
    auto screen = makeScreen(false);
    std::weak_ptr<RecordingContainer> weak = container;
    container.reset();
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(screen->featureTabDelegate(), nullptr);
}

TEST_F(FeatureScreenTest, TheProfileOpensTheLogInForAnAnonymousUserAndTheProfileOtherwise) {
    std::vector<std::string> made;
    std::shared_ptr<TestFeatureScreen> lastMade;
    for (const char* name : {"login", "myprofile"})
        VelkoraScreenRegistry::instance().registerScreen(name, [&made, &lastMade, name](const Value&) {
            made.push_back(name);
            lastMade = std::make_shared<TestFeatureScreen>();
            return lastMade;
        });
    struct Case {
        std::optional<std::string> first;
        const char* opened;
    };
    const Case cases[] = {{std::nullopt, "login"}, {" \t", "login"}, {"Ann", "myprofile"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.opened);
        made.clear();
        if (c.first) {
            auto user = std::make_shared<VelkoraUserInternal>();
            user->setFirstName(c.first);
            VelkoraAgentInternal::instance().setVelkoraUser(user);
        }
        auto screen = makeScreen(true);
        auto nav = show(screen);
        auto button = std::dynamic_pointer_cast<ui::Button>(screen->profileButtonView()->subviews().at(0));
        ASSERT_TRUE(button);
        button->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
        loop().advance(1);
        EXPECT_EQ(made, std::vector<std::string>{c.opened});
        ASSERT_EQ(nav->viewControllers().size(), 2u);
        EXPECT_EQ(nav->topViewController(), lastMade);
        EXPECT_EQ(lastMade->featureTabDelegate(), container);
    }
    // A build without a log-in screen opens nothing.
    VelkoraScreenRegistry::instance().unregisterScreen("login");
    VelkoraAgentInternal::instance().setVelkoraUser(nullptr);
    auto screen = makeScreen(true);
    auto nav = show(screen);
    screen->openMyProfile();
    EXPECT_EQ(nav->viewControllers().size(), 1u);
    EXPECT_TRUE(logged("Velkora (W) - The screen 'login' is not part of this build"));
}

TEST_F(FeatureScreenTest, AHiddenPanelGivesWayToTheNavigationBar) {
    startAt(std::nullopt);
    serveConfiguration(kConfiguration);
    container->topPanelHidden = true;
    auto screen = makeScreen(true);
    auto nav = show(screen);
    settle();
    // The platform's bar draws only its background: painted here so the picture shows where it is.
    nav->navigationBar()->setBackgroundColor(ui::Color::fromHex("2E7D32"));
    EXPECT_TRUE(screen->topPanelView()->isHidden());
    EXPECT_EQ(screen->navigationItem().title(), "Messages");
    // The profile button leaves the panel for the bar, its constraints with it.
    auto right = screen->navigationItem().rightBarButtonItem();
    ASSERT_TRUE(right);
    EXPECT_EQ(right->customView(), screen->profileButtonView());
    EXPECT_TRUE(screen->profileButtonView()->translatesAutoresizingMaskIntoConstraints());
    for (const auto& c : screen->topPanelView()->constraints()) {
        EXPECT_NE(c->firstItem(), screen->profileButtonView());
        EXPECT_NE(c->secondItem(), screen->profileButtonView());
    }
    expectMatchesReference(ui::Snapshot::imageOfView(*window), "feature_screen_navigation_bar");
}

TEST_F(FeatureScreenTest, TheContentMovesUnderTheNavigationBarForEachOrientationAndDevice) {
    struct Case {
        const char* version;
        std::optional<ui::UserInterfaceIdiom> idiom;
        int orientation;
        double constant;
    };
    using I = ui::UserInterfaceIdiom;
    const Case cases[] = {
        {"7.0", I::Phone, ui::InterfaceOrientationPortrait, -64 + 44},
        {"7.0", I::Phone, ui::InterfaceOrientationPortraitUpsideDown, -64 + 44},
        {"7.0", I::Phone, ui::InterfaceOrientationLandscapeRight, -64 + 32},
        {"7.0", I::Phone, ui::InterfaceOrientationLandscapeLeft, -64 + 32},
        {"8.1", I::Pad, ui::InterfaceOrientationLandscapeLeft, -64 + 44},
        {"7.0", std::nullopt, ui::InterfaceOrientationLandscapeRight, -64 + 32},
        {"6.1", I::Phone, ui::InterfaceOrientationLandscapeRight, -64},
    };
    container->topPanelHidden = true;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.version) + " " + std::to_string(c.orientation));
        ui::Device::current().setSystemVersion(c.version);
        ui::Device::current().setUserInterfaceIdiom(c.idiom);
        ui::Application::instance().setStatusBarOrientation(ui::InterfaceOrientationPortrait);
        auto screen = makeScreen(false);
        show(screen);
        // A rotation moves the content again, through the orientation notification.
        ui::Application::instance().setStatusBarOrientation(c.orientation);
        EXPECT_EQ(screen->velkoraContentViewTopSpaceConstraint()->constant(), c.constant);
    }
}

TEST_F(FeatureScreenTest, OlderSystemsPutThePanelAtTheTopExceptInATabletsSidebar) {
    struct Case {
        const char* version;
        ui::UserInterfaceIdiom idiom;
        bool openedAsFeature;
        double constant;
    };
    using I = ui::UserInterfaceIdiom;
    const Case cases[] = {
        {"6.1", I::Phone, false, 0},
        {"6.1", I::Pad, true, 0},
        {"6.1", I::Pad, false, 20},
        {"7.0", I::Phone, true, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.version) + (c.openedAsFeature ? " feature" : " sidebar"));
        ui::Device::current().setSystemVersion(c.version);
        ui::Device::current().setUserInterfaceIdiom(c.idiom);
        container->openedAsFeature = c.openedAsFeature;
        auto screen = makeScreen(false);
        screen->view();
        EXPECT_EQ(screen->topPanelViewTopSpaceConstraint()->constant(), c.constant);
    }
}

TEST_F(FeatureScreenTest, TheTextBarSendsOnlyTextAndAlwaysEmptiesItself) {
    struct Sending : TestFeatureScreen {
        std::vector<std::string> sent;
        void sendCallback(const std::string& text) override { sent.push_back(text); }
    };
    auto screen = std::make_shared<Sending>();
    screen->setFeatureTabDelegate(container);
    window = ui::Window::create({0, 0, 320, 568});
    window->setRootViewController(screen);
    window->makeKeyAndVisible();
    struct Case {
        const char* text;
        const char* button;
        std::vector<std::string> sent;
    };
    const Case cases[] = {
        {"", "send", {}},
        {" ", "send", {" "}},
        {"hello", "send", {"hello"}},
        {"hello", "cancel", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.button) + " '" + c.text + "'");
        screen->sent.clear();
        screen->textField()->setText(c.text);
        ASSERT_TRUE(screen->textField()->becomeFirstResponder());
        auto& button = std::string(c.button) == "send" ? screen->sendButton() : screen->cancelButton();
        button->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
        EXPECT_EQ(screen->sent, c.sent);
        EXPECT_EQ(screen->textField()->text(), "");
        EXPECT_FALSE(screen->textField()->isFirstResponder());
    }
}

namespace {

// A host's style sheet: its own bar colour and title font, and one face for every button.
struct HostStyleSheet : VelkoraStyleSheetProtocol {
    std::vector<std::pair<std::string, uint32_t>> calls;
    void note(const char* hook, uint32_t screen) { calls.emplace_back(hook, screen); }
    void customizeScreenTitleLabel(ui::View* e, uint32_t s) override {
        note("customizeScreenTitleLabel", s);
        if (auto* label = dynamic_cast<ui::Label*>(e)) {
            label->setFont(std::make_shared<ui::Font>(ui::Font::boldSystemFont(22)));
            label->setTextColor(ui::Color::fromHex("FFE082"));
        }
    }
    void customizeBackButton(ui::View*, uint32_t s) override { note("customizeBackButton", s); }
    void customizeAppButton(ui::View*, uint32_t s) override { note("customizeAppButton", s); }
    void customizeBackgroundView(ui::View*, uint32_t s) override { note("customizeBackgroundView", s); }
    void customizeNavbarView(ui::View* e, uint32_t s) override {
        note("customizeNavbarView", s);
        e->setBackgroundColor(ui::Color::fromHex("6A1B9A"));
    }
    void customizeNavBarImageView(ui::View*, uint32_t s) override { note("customizeNavBarImageView", s); }
    void customizeContentView(ui::View*, uint32_t s) override { note("customizeContentView", s); }
    void customizeProfileButtonView(ui::View*, uint32_t s) override { note("customizeProfileButtonView", s); }
    void customizeDefaultButtonStyle(ui::View* e, uint32_t s) override {
        note("customizeDefaultButtonStyle", s);
        e->setBackgroundColor(ui::Color::fromHex("FF7043"));
    }
};

} // namespace

TEST_F(FeatureScreenTest, TheHostsStyleSheetRestylesTheSharedElementsInOrderUnderTheScreensId) {
    startAt(std::nullopt);
    serveConfiguration(kConfiguration);
    auto sheet = std::make_shared<HostStyleSheet>();
    VelkoraAgentInternal::instance().setCustomStyleSheet(sheet);
    auto screen = makeScreen(true, VelkoraStyleScreenInbox);
    show(screen);
    ASSERT_TRUE(settle());
    const std::vector<std::pair<std::string, uint32_t>> expected = {
        {"customizeProfileButtonView", 3}, {"customizeScreenTitleLabel", 3}, {"customizeBackButton", 3},
        {"customizeAppButton", 3},         {"customizeBackgroundView", 3},   {"customizeNavbarView", 3},
        {"customizeNavBarImageView", 3},   {"customizeContentView", 3},
    };
    EXPECT_EQ(sheet->calls, expected);
    // The panel's buttons come through plain hooks; a screen's own button (the send button here) comes
    // through a button hook, which gives it the host's default face first.
    VelkoraStyleSheetCustomizer::instance().customizeSendButton(screen->sendButton().get(), 3);
    EXPECT_EQ(sheet->calls.at(expected.size()), (std::pair<std::string, uint32_t>{"customizeDefaultButtonStyle", 3}));
    ui::Application::instance().layoutWindows();
    expectMatchesReference(ui::Snapshot::imageOfView(*window), "feature_screen_styled");

    // A style sheet set later restyles only the screens made afterwards; a screen that sets no id of its
    // own reports under 0.
    auto later = std::make_shared<HostStyleSheet>();
    VelkoraAgentInternal::instance().setCustomStyleSheet(later);
    EXPECT_EQ(screen->aboveNavBarView()->backgroundColor(), ui::Color::fromHex("6A1B9A"));
    EXPECT_TRUE(later->calls.empty());
    auto plain = makeScreen(false);
    plain->view();
    ASSERT_EQ(later->calls.size(), 7u);
    for (const auto& call : later->calls)
        EXPECT_EQ(call.second, 0u) << call.first;
}

namespace {

// A host's style sheet that words the back button its own way.
struct BackTitleSheet : VelkoraStyleSheetProtocol {
    std::string title;
    void customizeBackButton(ui::View* e, uint32_t) override {
        if (auto* button = dynamic_cast<ui::Button*>(e)) button->setTitle(title);
    }
};

} // namespace

TEST_F(FeatureScreenTest, BackFitsItsTitleWithRoomAndThePanelsTextsKeepClearOfIt) {
    startAt(std::nullopt);
    // The test screen's file gives the button 50 points, too few for "Back" with room on either side.
    const struct {
        const char* title;
        bool fileWidthFits;
    } cases[] = {{"Back", false}, {"Zurück zum Menü", false}, {"<", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        auto sheet = std::make_shared<BackTitleSheet>();
        sheet->title = c.title;
        VelkoraAgentInternal::instance().setCustomStyleSheet(sheet);
        auto screen = makeScreen(true);
        show(screen);
        const auto& back = *screen->backButton();
        EXPECT_GE(back.frame().width() - back.titleLabel()->intrinsicContentSize().width, 16);
        EXPECT_EQ(back.frame().minX(), 6) << "the button grows to the right only";
        if (c.fileWidthFits) {
            EXPECT_EQ(back.frame().width(), 50) << "never narrower than the file made it";
        }
        for (const ui::View* beside :
             {static_cast<ui::View*>(screen->appIconView().get()), static_cast<ui::View*>(screen->appNameLabel().get()),
              static_cast<ui::View*>(screen->titleLabel().get())})
            EXPECT_GE(beside->frame().minX(), back.frame().maxX() + 8);
        // The texts give up width on their left; their right ends stay where the file put them.
        EXPECT_EQ(screen->titleLabel()->frame().maxX(), 214);
        EXPECT_EQ(screen->appNameLabel()->frame().maxX(), 224);
        EXPECT_EQ(screen->appNameLabel()->frame().minX() - screen->appIconView()->frame().maxX(), 4)
            << "the name stays beside the icon";
        if (c.fileWidthFits) {
            EXPECT_EQ(screen->titleLabel()->frame().minX(), 64);
        }
    }
}

TEST_F(FeatureScreenTest, TheAppButtonShowsTheHostsActivationRibbon) {
    const std::pair<uint32_t, const char*> cases[] = {{0, "VelImg_ribbonicon1"}, {1, "VelImg_ribbonicon2"},
                                                      {2, "VelImg_ribbonicon3"}, {3, "VelImg_ribbonicon4"},
                                                      {4, "VelImg_ribbonicon1"}, {0xFFFFFFFF, "VelImg_ribbonicon1"}};
    for (const auto& [type, image] : cases) {
        SCOPED_TRACE(type);
        VelkoraAgentInternal::instance().setActivationButtonType(type);
        auto screen = makeScreen(false);
        screen->view();
        ASSERT_TRUE(ui::Image::named(image));
        EXPECT_EQ(screen->appButton()->imageForState(ui::ControlStateNormal), ui::Image::named(image));
    }
    // A feature without data to load ahead is said to have none, and has no badge.
    VelkoraAgentInternal::instance().preloadFeature(101, nullptr);
    EXPECT_TRUE(logged("Velkora - Pre-load for feature 'apps' is not available"));
    EXPECT_EQ(VelkoraAgentInternal::instance().getFeatureBadgeNumber(101), 0);
}

namespace {

struct RecordingGestures : VelkoraActivationGesturesHandler {
    int resumes = 0;
    void resumeIfUserAllows() override { ++resumes; }
};

} // namespace

TEST_F(FeatureScreenTest, ARotationEndsEditingAndHandsTheGesturesBack) {
    auto screen = makeScreen(false);
    show(screen);
    // Before the sidebar is installed there are no gestures to resume: the rotation still ends editing.
    ASSERT_TRUE(screen->textField()->becomeFirstResponder());
    ui::Application::instance().setStatusBarOrientation(ui::InterfaceOrientationLandscapeLeft);
    EXPECT_FALSE(screen->textField()->isFirstResponder());

    auto gestures = std::make_shared<RecordingGestures>();
    VelkoraAgentInternal::instance().setGesturesHandler(gestures);
    ui::Application::instance().setStatusBarOrientation(ui::InterfaceOrientationPortrait);
    EXPECT_EQ(gestures->resumes, 1);
    // A screen that is gone hears no more rotations.
    std::weak_ptr<TestFeatureScreen> gone = screen;
    screen.reset();
    window->setHidden(true);
    window.reset();
    ASSERT_TRUE(gone.expired());
    ui::Application::instance().setStatusBarOrientation(ui::InterfaceOrientationLandscapeRight);
    EXPECT_EQ(gestures->resumes, 1);
    VelkoraAgentInternal::instance().setGesturesHandler(nullptr);
}
