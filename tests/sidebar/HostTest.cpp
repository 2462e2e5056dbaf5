// The sidebar as a host gets it through the public interface, against velkora-service: the kit started
// with its application id, the sidebar added to the host's window, opened by the host and by a swipe of
// the synthetic finger, and closed by a tap on the host's uncovered strip.
#include <gtest/gtest.h>

#include "host/HostFixture.h"
#include "host/HostInternals.h"
#include "platform/ui/Animation.h"
#include "platform/ui/BarItems.h"
#include "platform/ui/Image.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/TouchRouter.h"
#include "server/VelkoraServerApi.h"
#include "session/VelkoraAgentInternal.h"
#include "shell/VelkoraActivationView.h"
#include "shell/VelkoraMessageNotificationView.h"
#include "shell/VelkoraViewController.h"
#include "shell/VelkoraWidgetClasses.h"
#include "shell/WidgetSnapshot.h"
#include "velkora/VelkoraHost.h"

namespace velkora::testing {
namespace {

class SidebarHostTest : public HostTest {
protected:
    void SetUp() override {
        HostTest::SetUp();
        ui::InterfaceLoader::instance().reset();
        ui::Animator::reset();
        ui::TouchRouter::instance().reset();
        registerVelkoraWidgetClasses();
        ui::Screen::main().setBounds({0, 0, 320, 480});
        svc.setAppConfiguration(kApp, R"({"appName":"Trailmix","leadingColor":"3B8FE0","features":[
            {"id":"feed","name":"Activity","icon":"VelImg_feed","custom":false},
            {"id":"inbox","name":"Messages","icon":"VelImg_inbox","custom":false},
            {"id":"login","name":"Login","icon":"VelImg_login","custom":false},
            {"id":"shop","name":"Shop","icon":"ShopIcon","custom":true}]})");
    }
    void TearDown() override {
        window.reset();
        ui::TouchRouter::instance().reset();
        ui::Animator::reset();
        HostTest::TearDown();
    }
    // The host's window with its screen, and the sidebar added to it.
    std::shared_ptr<VelkoraViewController> addSidebar(bool toLeft = true) {
        window = VelkoraWindow::create();
        window->setRootScreen(VelkoraHostScreen::create("Host"));
        window->makeKeyAndVisible();
        Velkora::addSidebar(window, toLeft);
        return std::dynamic_pointer_cast<VelkoraViewController>(VelkoraAgentInternal::instance().velkoraVC());
    }
    // A finger's tap in the window of a view, at the view's centre.
    static void tapCentreOf(const ui::View& view) {
        auto* w = view.window();
        ASSERT_TRUE(w);
        ui::TouchDriver finger(std::static_pointer_cast<ui::Window>(w->shared_from_this()));
        auto b = view.bounds();
        finger.tap(view.convertPointToView({b.size.width / 2, b.size.height / 2}, nullptr));
    }
    static std::shared_ptr<VelkoraMessageNotificationView> banner() {
        for (auto& w : ui::Application::instance().windows())
            if (!w->isHidden())
                for (auto& v : w->subviews())
                    if (auto b = std::dynamic_pointer_cast<VelkoraMessageNotificationView>(v)) return b;
        return nullptr;
    }
    std::shared_ptr<VelkoraWindow> window;
};

TEST_F(SidebarHostTest, AHostStartsTheKitAddsTheSidebarAndItsUserSwipesItOpenAndTapsItShut) {
    startAndComplete();
    window = VelkoraWindow::create();
    window->setRootScreen(VelkoraHostScreen::create("Host"));
    window->makeKeyAndVisible();
    Velkora::addSidebar(window, true);
    auto activated = listen("VelkoraNotificationWasActivated");
    auto deactivated = listen("VelkoraNotificationWasDeactivated");

    Velkora::openSidebar();
    loop().advance(1);
    EXPECT_TRUE(Velkora::isSidebarOpen());
    ASSERT_EQ(activated->infos.size(), 1u);
    EXPECT_EQ(std::get<bool>(activated->infos[0].at("panelShowing")), true);
    auto png = VelkoraWindow::pngOfScreen();
    expectMatchesReference(ui::Image::fromData(png), "host_sidebar_open");

    // A tap on the host's strip beside the menu closes it.
    window->touchDown(300, 240);
    window->touchUp(300, 240);
    loop().advance(1);
    EXPECT_FALSE(Velkora::isSidebarOpen());
    EXPECT_EQ(deactivated->infos.size(), 1u);

    // A swipe to the right released moving opens it again.
    window->touchDown(10, 300);
    for (int x = 30; x <= 130; x += 20) {
        loop().advance(0.02);
        window->touchMove(x, 300);
    }
    window->touchUp(130, 300);
    loop().advance(1);
    EXPECT_TRUE(Velkora::isSidebarOpen());
    EXPECT_EQ(activated->infos.size(), 2u);
}

TEST_F(SidebarHostTest, TheServicesFeatureListMakesTheMenuAndACustomRowTellsTheHost) {
    startAndComplete();
    auto sidebar = addSidebar();
    ASSERT_TRUE(sidebar);
    auto custom = listen("kVelkoraCustomButtonClicked");
    Velkora::openSidebar();
    loop().advance(1);
    auto& panel = *sidebar->panelView();
    std::vector<std::string> ids;
    for (auto& c : panel.commands())
        ids.push_back(c->commandId().value_or("?"));
    EXPECT_EQ(ids, (std::vector<std::string>{"feed", "inbox", "shop"}));
    EXPECT_EQ(panel.commands()[2]->title(), "Shop");
    EXPECT_TRUE(panel.commands()[2]->icon());
    EXPECT_TRUE(logged("Velkora - Unknown internal feature: login, Login"));

    // The custom row's tap: the host hears of it, and the sidebar stays.
    EXPECT_TRUE(panel.commandsTable()->tapRowAtIndexPath(ui::IndexPath::of(2, 0)));
    loop().advance(1);
    ASSERT_EQ(custom->infos.size(), 1u);
    EXPECT_EQ(custom->infos[0], (VelkoraNotificationInfo{{"customButtonId", std::string("shop")}}));
    EXPECT_TRUE(Velkora::isSidebarOpen());
}

TEST_F(SidebarHostTest, ASeededUsersMessageReachesTheBadgesTheBannerAndTheActivationViews) {
    svc.setAppConfiguration(kApp, R"({"appName":"Trailmix","actionOnIncomingMessage":1,"features":[
        {"id":"feed","name":"Activity","icon":"VelImg_feed","custom":false},
        {"id":"inbox","name":"Messages","icon":"VelImg_inbox","custom":false}]})");
    startAndComplete();
    auto sidebar = addSidebar();
    ASSERT_TRUE(sidebar);
    auto item = Velkora::velkoraActivationBarItem();
    auto toLeft = Velkora::velkoraActivationButtonOpensToLeft(true);
    auto toRight = Velkora::velkoraActivationButtonOpensToLeft(false);
    ASSERT_TRUE(item && toLeft && toRight);
    auto button = std::dynamic_pointer_cast<VelkoraActivationView>(item->impl()->item->customView());
    auto leftRibbon = std::dynamic_pointer_cast<VelkoraActivationView>(toLeft->impl()->button->subviews().at(0));
    auto rightRibbon = std::dynamic_pointer_cast<VelkoraActivationView>(toRight->impl()->button->subviews().at(0));
    ASSERT_TRUE(button && leftRibbon && rightRibbon);
    // Nothing new: no badge anywhere.
    EXPECT_TRUE(button->badgeLeftView()->isHidden());
    auto badges = listen("VelkoraBadgeNumberChangedNotification");
    auto activated = listen("VelkoraNotificationWasActivated");

    // The host preloads the inbox; the message then comes with a poll.
    bool preloaded = false;
    Velkora::preloadInboxWithCompletion([&] { preloaded = true; });
    ASSERT_TRUE(waitFor([&] { return preloaded; }) && settle());
    std::string dana = svc.createUser(kApp, named("Dana", "Whitfield"));
    svc.sendMessage(kApp, dana, me(), "See you at eight?");
    VelkoraServerApi::updateNow();
    auto& inbox = *sidebar->panelView()->commands()[1];
    ASSERT_TRUE(waitFor([&] { return inbox.badgeNumber() == 1; }));
    ASSERT_TRUE(settle());
    EXPECT_NE(std::find(badges->infos.begin(), badges->infos.end(),
                        VelkoraNotificationInfo{{"tabId", std::int64_t(1)}, {"tabName", std::string("inbox")}}),
              badges->infos.end());
    // The total on the bar item and on both ribbons, each on its own side.
    EXPECT_FALSE(button->badgeLeftView()->isHidden());
    EXPECT_EQ(button->badgeNumberLabel()->text(), "1");
    EXPECT_FALSE(leftRibbon->badgeLeftView()->isHidden());
    EXPECT_EQ(leftRibbon->badgeNumberLabel()->text(), "1");
    EXPECT_FALSE(rightRibbon->badgeRightView()->isHidden());

    // The banner slid in above the status bar, naming the sender; a minute later it is still there.
    auto shown = banner();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->window()->windowLevel(), ui::WindowLevel::StatusBar);
    EXPECT_EQ(shown->nameLabel()->text(), "Dana W.");
    EXPECT_EQ(shown->messageLabel()->text(), "See you at eight?");
    loop().advance(60);
    ASSERT_EQ(banner(), shown);
    EXPECT_DOUBLE_EQ(shown->frame().origin.y, 0);
    // The person taps it: the sidebar opens and the banner goes.
    EXPECT_FALSE(Velkora::isSidebarOpen());
    tapCentreOf(*shown->messageLabel());
    loop().advance(1);
    EXPECT_TRUE(Velkora::isSidebarOpen());
    EXPECT_FALSE(banner());
    EXPECT_EQ(activated->infos.size(), 1u);

    // Closed again, the ribbon's tap opens it too.
    Velkora::closeSidebar();
    loop().advance(1);
    window->impl()->window->addSubview(toLeft->impl()->button);
    tapCentreOf(*toLeft->impl()->button);
    loop().advance(1);
    EXPECT_TRUE(Velkora::isSidebarOpen());
    EXPECT_EQ(activated->infos.size(), 2u);
}

TEST_F(SidebarHostTest, OnATabletTheSidebarIs450PointsWideAtTheSideTheHostChose) {
    VelkoraDevice::setTablet(true);
    startAndComplete();
    struct Case {
        bool left;
        VelkoraOrientation orientation;
        ui::Rect frame;
    };
    for (auto c : {Case{false, VelkoraOrientation::Portrait, {768 - 450, 0, 450, 1024}},
                   Case{true, VelkoraOrientation::Portrait, {0, 0, 450, 1024}},
                   Case{true, VelkoraOrientation::LandscapeLeft, {0, 574, 768, 450}}}) {
        SCOPED_TRACE(::testing::Message() << c.left << " " << int(c.orientation));
        VelkoraDevice::setOrientation(c.orientation);
        auto sidebar = addSidebar(c.left);
        ASSERT_TRUE(sidebar);
        EXPECT_EQ(sidebar->velkoraNavController()->view()->frame(), c.frame);
        Velkora::openSidebar();
        loop().advance(1);
        EXPECT_TRUE(Velkora::isSidebarOpen());
        Velkora::closeSidebar();
        loop().advance(1);
        VelkoraAgentInternal::instance().closeView();
        window.reset();
        VelkoraDevice::setOrientation(VelkoraOrientation::Portrait);
    }
}

} // namespace
} // namespace velkora::testing
