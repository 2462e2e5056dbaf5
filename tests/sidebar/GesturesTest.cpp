// The activation gestures on a 320 x 480 phone: a host window, with the sidebar added by the host's call,
// whose root view slides aside over a menu of 270 points lying beneath it, driven by the synthetic finger
// on the test clock.
#include <gtest/gtest.h>

#include "SidebarFixture.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Button.h"
#include "platform/ui/Window.h"
#include "server/utils/VelkoraLogEventsManager.h"
#include "shell/VelkoraActivationGesturesHandler.h"

namespace velkora::testing {
namespace {

constexpr double kMenu = 270;

struct Posted {
    std::vector<std::pair<std::string, foundation::Value>> items;
    foundation::NotificationObserver activated{
        "VelkoraNotificationWasActivated", nullptr,
        [this](const foundation::Notification& n) { items.emplace_back(n.name, n.userInfo); }};
    foundation::NotificationObserver deactivated{
        "VelkoraNotificationWasDeactivated", nullptr,
        [this](const foundation::Notification& n) { items.emplace_back(n.name, n.userInfo); }};
    size_t count(const std::string& name) const {
        return std::count_if(items.begin(), items.end(), [&](auto& i) { return i.first == name; });
    }
};

class GesturesTest : public SidebarFixture {
protected:
    void TearDown() override {
        handler.reset();
        SidebarFixture::TearDown();
    }
    // The sidebar added by the host's call, with its handler as the session made it; a plain menu with one
    // button lies over the kit's own (beneath the host's view) so the finger's taps land on a known place.
    void install(bool left) {
        handler.reset();
        uninstall();
        SidebarFixture::install(left);
        menuView = ui::View::create({0, 0, 320, 480});
        window->insertSubview(menuView, 1);
        menuButton = ui::Button::create(ui::ButtonType::Custom, {20, 100, 100, 40});
        menuButton->addAction([this](ui::Control*) { ++menuTaps; }, ui::ControlEventTouchUpInside);
        menuView->addSubview(menuButton);
        hostButton = ui::Button::create(ui::ButtonType::Custom, {20, 200, 60, 40});
        hostButton->addAction([this](ui::Control*) { ++hostTaps; }, ui::ControlEventTouchUpInside);
        host->view()->addSubview(hostButton);
        handler = gestures;
        handler->setMenuWidth(kMenu);
        handler->setMenuWidthLandscape(kMenu);
        handler->start();
        loop().advance(0);
    }
    double offset() const { return host->view()->frame().origin.x; }
    void openAndSettle() {
        handler->showFullMenuWithNotification(true);
        loop().advance(1);
    }
    double runningDuration() const {
        auto running = ui::Animator::running();
        return running.empty() ? -1 : running.back().duration;
    }

    std::shared_ptr<ui::View> menuView;
    std::shared_ptr<ui::Button> menuButton, hostButton;
    int menuTaps = 0, hostTaps = 0;
    std::shared_ptr<VelkoraActivationGesturesHandler> handler;
};

TEST_F(GesturesTest, AReleasedRightDragOpensByItsProjectedPlace) {
    struct Case {
        const char* what;
        double seconds; // of the drag
        bool rest;      // the finger rests before lifting
        bool opens;
    };
    // 100 points at rest project to 100 < 160; at 500 points a second to 100 + 175 = 275 > 160.
    for (auto c : {Case{"at rest", 0.5, true, false}, Case{"moving", 0.2, false, true}}) {
        SCOPED_TRACE(c.what);
        install(true);
        Posted posted;
        ui::TouchDriver finger(window);
        finger.drag({10, 300}, {110, 300}, 10, c.seconds, false);
        EXPECT_DOUBLE_EQ(offset(), 100);
        if (c.rest) finger.wait(0.3);
        finger.up();
        EXPECT_EQ(handler->menuVisible(), c.opens);
        loop().advance(1);
        EXPECT_DOUBLE_EQ(offset(), c.opens ? kMenu : 0);
        EXPECT_EQ(posted.count("VelkoraNotificationWasActivated"), c.opens ? 1u : 0u);
        EXPECT_EQ(handler->isShowingFullMenu(), c.opens);
        handler.reset();
        host->view()->setFrame({0, 0, 320, 480});
    }
}

TEST_F(GesturesTest, DragsStayBetweenClosedAndTheMenuWidth) {
    install(true);
    ui::TouchDriver finger(window);
    finger.drag({10, 300}, {310, 300}, 10, 1, false);
    EXPECT_DOUBLE_EQ(offset(), kMenu);
    finger.wait(0.3);
    finger.up();
    loop().advance(1);
    ASSERT_TRUE(handler->isShowingFullMenu());
    // Open: a left drag from the menu area closes it and stops at 0 however far it goes.
    finger.drag({200, 300}, {-200, 300}, 10, 1, false);
    EXPECT_DOUBLE_EQ(offset(), 0);
    finger.up();
}

TEST_F(GesturesTest, ARightSideMenuMovesTheHostToNegativeOffsets) {
    install(false);
    ui::TouchDriver finger(window);
    finger.drag({300, 300}, {-100, 300}, 10, 1, false);
    EXPECT_DOUBLE_EQ(offset(), -kMenu);
    finger.up();
    loop().advance(1);
    EXPECT_TRUE(handler->menuVisible());
    EXPECT_DOUBLE_EQ(offset(), -kMenu);
}

TEST_F(GesturesTest, AVerticalStartNeverMovesTheHost) {
    install(true);
    ui::TouchDriver finger(window);
    finger.down({10, 100});
    finger.move({15, 111});
    finger.move({15, 112});
    EXPECT_EQ(handler->direction(), VelkoraActivationGesturesHandler::DirectionDown);
    for (double x = 30; x <= 200; x += 30)
        finger.move({x, 112});
    EXPECT_DOUBLE_EQ(offset(), 0);
    finger.up();
    loop().advance(1);
    EXPECT_DOUBLE_EQ(offset(), 0);
    EXPECT_FALSE(handler->menuVisible());
}

TEST_F(GesturesTest, SlidesLastByHowFarTheyGo) {
    install(true);
    handler->showFullMenuWithNotification(true);
    EXPECT_DOUBLE_EQ(runningDuration(), 0.5);
    loop().advance(1);
    handler->hideFullMenu();
    EXPECT_DOUBLE_EQ(runningDuration(), kMenu / 320 * 0.5);
    loop().advance(1);
    handler->setRootControllerOffset(kMenu * 0.9);
    handler->showFullMenuWithNotification(true);
    EXPECT_DOUBLE_EQ(runningDuration(), 0.1);
    loop().advance(1);
}

TEST_F(GesturesTest, TheNotificationsSayWhetherThePanelShows) {
    install(true);
    Posted posted;
    openAndSettle();
    ASSERT_EQ(posted.items.size(), 1u);
    EXPECT_EQ(posted.items[0].second["panelShowing"].boolOr(false), true);
    EXPECT_EQ(posted.items[0].second["panelWidth"].doubleOr(0), kMenu);
    EXPECT_TRUE(VelkoraLogEventsManager::instance().takeLoggedEvents().size() >= 1);

    // A feature screen slides the host fully aside.
    handler->setHideEntireOriginalApp(true);
    handler->showFullMenuWithNotification(true);
    loop().advance(1);
    ASSERT_EQ(posted.items.size(), 2u);
    EXPECT_EQ(posted.items[1].second["panelShowing"].boolOr(true), false);
    EXPECT_EQ(posted.items[1].second["panelWidth"].doubleOr(0), 320);
    EXPECT_FALSE(handler->recognizer()->isEnabled());

    // Asked without the notification, none comes.
    handler->setHideEntireOriginalApp(false);
    handler->showFullMenuWithNotification(false);
    loop().advance(1);
    EXPECT_EQ(posted.items.size(), 2u);

    handler->hideFullMenu();
    loop().advance(1);
    ASSERT_EQ(posted.items.size(), 3u);
    EXPECT_EQ(posted.items[2].first, "VelkoraNotificationWasDeactivated");
    EXPECT_TRUE(posted.items[2].second.isNull());
    EXPECT_FALSE(handler->isShowingFullMenu());
}

TEST_F(GesturesTest, WhileOpenTheUncoveredStripClosesTheMenuAndNeverReachesTheHost) {
    install(true);
    openAndSettle();
    ASSERT_DOUBLE_EQ(offset(), kMenu);
    ui::TouchDriver finger(window);
    // The menu area belongs to the menu.
    finger.tap({60, 120});
    EXPECT_EQ(menuTaps, 1);
    EXPECT_TRUE(handler->menuVisible());
    // The host's button, slid to 290 on the uncovered strip.
    finger.tap({kMenu + 40, 220});
    EXPECT_EQ(hostTaps, 0);
    EXPECT_FALSE(handler->menuVisible());
    loop().advance(1);
    EXPECT_DOUBLE_EQ(offset(), 0);
    // Once back, the host's button works again.
    finger.tap({40, 220});
    EXPECT_EQ(hostTaps, 1);
}

TEST_F(GesturesTest, ShakesSwingOncePerSixTenthsOfASecond) {
    install(true);
    handler->shakeAffect(2.0);
    std::vector<double> seen;
    for (int i = 0; i < 8; ++i) {
        seen.push_back(offset());
        loop().advance(0.3);
    }
    EXPECT_EQ(seen, (std::vector<double>{15, 0, 15, 0, 15, 0, 0, 0}));
    EXPECT_EQ(ui::Animator::runningCount(), 0u);

    handler->shakeAffect(0.5);
    EXPECT_EQ(ui::Animator::runningCount(), 0u);
    EXPECT_DOUBLE_EQ(offset(), 0);

    handler.reset();
    install(false);
    handler->shakeAffect(1.0);
    EXPECT_DOUBLE_EQ(offset(), -15);
    loop().advance(0.3);
    EXPECT_DOUBLE_EQ(offset(), 0);
}

TEST_F(GesturesTest, AnInterruptedOpeningLeavesTheWindowTakingTouches) {
    install(true);
    Posted posted;
    handler->showFullMenuWithNotification(true);
    EXPECT_FALSE(window->isUserInteractionEnabled());
    host->view()->layer().removeAllAnimations();
    loop().advance(0);
    EXPECT_TRUE(window->isUserInteractionEnabled());
    EXPECT_EQ(posted.count("VelkoraNotificationWasActivated"), 0u);
    EXPECT_FALSE(handler->isShowingFullMenu());
    // The menu the user sees can still be used.
    ui::TouchDriver finger(window);
    finger.tap({60, 120});
    EXPECT_EQ(menuTaps, 1);
}

TEST_F(GesturesTest, TheHostPausesAndResumesSwiping) {
    install(true);
    handler->userPause();
    EXPECT_TRUE(handler->userPaused());
    EXPECT_FALSE(handler->recognizer()->isEnabled());
    ui::TouchDriver finger(window);
    finger.drag({10, 300}, {200, 300}, 10, 0.2);
    EXPECT_DOUBLE_EQ(offset(), 0);
    handler->resumeIfUserAllows();
    EXPECT_FALSE(handler->recognizer()->isEnabled());
    handler->userResume();
    EXPECT_TRUE(handler->recognizer()->isEnabled());
    EXPECT_FALSE(handler->tapRecognizer()->isEnabled());
}

} // namespace
} // namespace velkora::testing
