// The sidebar controller: its layout by device, side and orientation, the feature screens it opens from
// the menu, the header's states, and the promoted applications asked for after it closes.
#include <gtest/gtest.h>

#include <cmath>

#include "SidebarFixture.h"
#include "people/VelkoraProfileScreens.h"
#include "platform/ui/PopoverController.h"
#include "shell/VelkoraLazyImageView.h"
#include "shell/WidgetSnapshot.h"

namespace velkora::testing {
namespace {

// A feature screen of the registry, recording how it was made.
class RowScreen : public VelkoraGeneralFeatureViewController {
public:
    foundation::Value arguments;
};

class ControllerTest : public SidebarFixture {
protected:
    std::shared_ptr<RowScreen> made;
    void registerRow(const std::string& name) {
        VelkoraScreenRegistry::instance().registerScreen(name, [this](const foundation::Value& arguments) {
            made = std::make_shared<RowScreen>();
            made->arguments = arguments;
            return made;
        });
    }
};

TEST_F(ControllerTest, TheKitsViewLiesWhereTheDeviceSideAndOrientationSay) {
    struct Case {
        bool tablet;
        bool left;
        int orientation;
        ui::Rect frame;
    };
    // The kit's view lies in the window's fixed portrait frame; a tablet's sidebar is 450 wide at the far
    // edge of the side it opens from.
    std::vector<Case> cases{
        {false, true, 1, {0, 0, 320, 480}},          {false, false, 3, {0, 0, 320, 480}},
        {false, false, 2, {0, 0, 320, 480}},         {false, true, 4, {0, 0, 320, 480}},
        {true, false, 1, {768 - 450, 0, 450, 1024}}, {true, true, 1, {0, 0, 450, 1024}},
        {true, true, 2, {318, 0, 450, 1024}},        {true, false, 2, {0, 0, 450, 1024}},
        {true, false, 3, {0, 1024 - 450, 768, 450}}, {true, true, 3, {0, 0, 768, 450}},
        {true, true, 4, {0, 574, 768, 450}},         {true, false, 4, {0, 0, 768, 450}},
    };
    const double angles[] = {0, 0, M_PI, M_PI / 2, -M_PI / 2};
    for (auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "tablet " << c.tablet << " left " << c.left << " o " << c.orientation);
        if (c.tablet) becomeTablet();
        install(c.left);
        ui::Application::instance().setStatusBarOrientation(c.orientation);
        ui::Rect frame = nav->view()->frame();
        EXPECT_DOUBLE_EQ(frame.origin.x, c.frame.origin.x);
        EXPECT_DOUBLE_EQ(frame.origin.y, c.frame.origin.y);
        EXPECT_DOUBLE_EQ(frame.size.width, c.frame.size.width);
        EXPECT_DOUBLE_EQ(frame.size.height, c.frame.size.height);
        EXPECT_NEAR(std::atan2(nav->view()->transform().b, nav->view()->transform().a), angles[c.orientation], 1e-9);
        uninstall();
        ui::Application::instance().setStatusBarOrientation(1);
    }
}

TEST_F(ControllerTest, AScreenForcingTheWholeWidthLaysOutOverTheScreenAndClosingRestoresTheSidebar) {
    becomeTablet();
    serve({{"radar", "Near"}});
    install(false);
    registerRow("radar");
    panel().didSelectRowAtIndexPath(*panel().commandsTable(), ui::IndexPath::of(0, 0));
    ASSERT_TRUE(made);
    EXPECT_EQ(nav->view()->frame(), (ui::Rect{0, 0, 768, 1024}));
    EXPECT_TRUE(gestures->forceEntireWidth());
    loop().advance(1);
    EXPECT_DOUBLE_EQ(hostOffset(), -768);
    made->featureTabDelegate()->didClickBack();
    EXPECT_EQ(nav->view()->frame(), (ui::Rect{768 - 450, 0, 450, 1024}));
    loop().advance(1);
    EXPECT_DOUBLE_EQ(hostOffset(), -450);
}

TEST_F(ControllerTest, ARowOpensItsScreenWithTheHostFullyAsideAndBackReturnsToTheMenu) {
    serve({{"feed", "News"}, {"inbox", "Mail"}});
    install();
    registerRow("feed");
    Recorder posted{"VelkoraNotificationWasActivated", "VelkoraNotificationWasDeactivated"};
    sidebar->openPanel();
    loop().advance(1);
    ASSERT_EQ(posted.count("VelkoraNotificationWasActivated"), 1u);

    panel().didSelectRowAtIndexPath(*panel().commandsTable(), ui::IndexPath::of(0, 0));
    ASSERT_TRUE(made);
    EXPECT_EQ(made->titleText(), "News");
    EXPECT_EQ(made->arguments["openedAs"].textOr(""), "sidebarRow");
    EXPECT_EQ(made->arguments["title"].textOr(""), "News");
    loop().advance(1);
    EXPECT_EQ(nav->topViewController(), made);
    EXPECT_DOUBLE_EQ(hostOffset(), 320);
    // Sliding the host aside for a screen tells nobody.
    EXPECT_EQ(posted.count("VelkoraNotificationWasActivated"), 1u);

    made->featureTabDelegate()->didClickBack();
    loop().advance(1);
    EXPECT_EQ(nav->viewControllers().size(), 1u);
    EXPECT_DOUBLE_EQ(hostOffset(), 270);
    ASSERT_EQ(posted.count("VelkoraNotificationWasActivated"), 2u);
    EXPECT_EQ(posted.last("VelkoraNotificationWasActivated")->userInfo["panelShowing"].boolOr(false), true);

    // Closing from a screen slides the host back over the kit; the screen stays on the stack.
    panel().didSelectRowAtIndexPath(*panel().commandsTable(), ui::IndexPath::of(0, 0));
    loop().advance(1);
    made->featureTabDelegate()->didClose();
    loop().advance(1);
    EXPECT_DOUBLE_EQ(hostOffset(), 0);
    EXPECT_EQ(posted.count("VelkoraNotificationWasDeactivated"), 1u);
    EXPECT_EQ(nav->viewControllers().size(), 2u);

    // A row whose screen is not in this build opens nothing.
    sidebar->openPanel();
    loop().advance(1);
    panel().didSelectRowAtIndexPath(*panel().commandsTable(), ui::IndexPath::of(1, 0));
    EXPECT_TRUE(logged("Velkora (W) - The screen 'inbox' is not part of this build"));
    EXPECT_EQ(nav->viewControllers().size(), 2u);
}

TEST_F(ControllerTest, TheHeaderShowsTheUserOrTheInvitationThatFits) {
    // The service does not give the user's data yet; the sidebar is added meanwhile.
    service::Fault fault;
    fault.command = "getUserData";
    fault.kind = service::Fault::Kind::ErrorCode;
    fault.value = "INTERNAL_ERROR";
    fault.times = -1;
    svc.addFault(fault);
    start(false);
    install();
    auto& p = panel();
    // No user yet: the spinner and the invitation without e-mail sign-up.
    EXPECT_FALSE(agent().velkoraUser());
    EXPECT_TRUE(p.activityView()->isAnimating());
    EXPECT_TRUE(p.usersDetailsView()->isHidden());
    EXPECT_FALSE(p.anonymousView()->isHidden());

    // The kit asks again; the new device's user is anonymous.
    svc.clearFaults();
    // The clock moves only while nothing is in flight, so the retry's answer is awaited, not outrun.
    ASSERT_TRUE(waitFor([&] {
        if (VelkoraServerClientAgent::instance().workingProtocolsWrappers().empty()) loop().advance(1);
        return agent().velkoraUser() != nullptr;
    }));
    ASSERT_TRUE(settle());
    EXPECT_TRUE(agent().velkoraUser()->isAnonymous());
    struct Case {
        bool email;
        const char* text;
    };
    for (auto c :
         {Case{false, "Make the most of Trailmix"}, Case{true, "Log in or sign up to make the most of Trailmix."}}) {
        SCOPED_TRACE(c.email);
        serve({}, {{"emailSignUpEnabled", c.email}});
        p.updateWithVelkoraUser(agent().velkoraUser());
        EXPECT_FALSE(p.activityView()->isAnimating());
        EXPECT_TRUE(p.usersDetailsView()->isHidden());
        EXPECT_EQ(p.anonymousView()->isHidden(), c.email);
        EXPECT_EQ(p.signUpAnonymousView()->isHidden(), !c.email);
        auto& label = c.email ? p.signUpAnonymousInvitationLabel() : p.anonymousInvitationLabel();
        EXPECT_EQ(label->text().rfind(c.text, 0), 0u) << label->text();
        EXPECT_FALSE(p.isProfileViewShown());
    }
}

TEST_F(ControllerTest, TheHeaderOfANamedUserShowsTheTownOnlyWhenThereIsOne) {
    // A city-less user as the service knows it, then a later user with a town.
    startAs(named("Dana", "Whitfield"));
    install();
    auto& p = panel();
    EXPECT_FALSE(p.activityView()->isAnimating());
    EXPECT_FALSE(p.usersDetailsView()->isHidden());
    EXPECT_TRUE(p.anonymousView()->isHidden());
    EXPECT_TRUE(p.signUpAnonymousView()->isHidden());
    EXPECT_EQ(p.nameLabel()->text(), "Dana W.");
    EXPECT_EQ(p.numPostsLabel()->text(), "0");
    EXPECT_EQ(p.numFollowersLabel()->text(), "0");
    EXPECT_EQ(p.numFollowingLabel()->text(), "0");
    EXPECT_EQ(p.userImage()->image(), ui::Image::named("VelImg_UserThumbMediumNon.png"));
    EXPECT_TRUE(p.locationLabel()->isHidden());
    p.updateWithVelkoraUser(user("u2", "Ari", "Kem", std::string("Porto")));
    EXPECT_FALSE(p.locationLabel()->isHidden());
    EXPECT_EQ(p.locationLabel()->text(), "Porto");
}

TEST_F(ControllerTest, TheProfileButtonTwiceLeavesTheOffsetsOfSetUp) {
    startAs(named("Dana", "Whitfield"));
    install();
    auto& p = panel();
    double table = p.commandsTableTopSpaceConstraint()->constant();
    double scroll = p.profileScrollViewTopSpaceConstraint()->constant();
    EXPECT_DOUBLE_EQ(table, p.profileViewOrigY());
    // d: the screen's height less the panel's margins (20 on top, none below).
    EXPECT_DOUBLE_EQ(scroll, p.profileViewOrigY() + 480 - 20);
    p.profileButtonClicked(nullptr);
    EXPECT_TRUE(p.isProfileViewShown());
    EXPECT_FALSE(p.isUserInteractionEnabled());
    EXPECT_DOUBLE_EQ(p.commandsTableTopSpaceConstraint()->constant(), table + 460);
    p.showProfileScreen(); // already up: nothing
    EXPECT_DOUBLE_EQ(p.commandsTableTopSpaceConstraint()->constant(), table + 460);
    loop().advance(0.5);
    EXPECT_TRUE(p.isUserInteractionEnabled());
    p.profileButtonClicked(nullptr);
    loop().advance(0.5);
    EXPECT_DOUBLE_EQ(p.commandsTableTopSpaceConstraint()->constant(), table);
    EXPECT_DOUBLE_EQ(p.profileScrollViewTopSpaceConstraint()->constant(), scroll);
}

} // namespace
} // namespace velkora::testing

namespace velkora::testing {
namespace {

TEST_F(ControllerTest, ANetworksConnectReachesTheHostOncePerController) {
    install();
    record().setFbId(77);
    Recorder posted{"VelkoraUserSigninChanged"};
    for (int i = 0; i < 2; ++i)
        foundation::NotificationCenter::defaultCenter().post("VelkoraFacebookConnectedNotification");
    ASSERT_EQ(posted.count("VelkoraUserSigninChanged"), 1u);
    const auto& info = posted.seen[0].userInfo;
    EXPECT_EQ(info["socialService"].textOr(""), "Facebook");
    EXPECT_EQ(info["loginState"].int32Or(-1), 1);
    EXPECT_EQ(info["accountIdentifier"].int64Or(0), 77);
    EXPECT_EQ(info["userId"].textOr(""), myId());
    EXPECT_TRUE(sidebar->isFacebookConnected());
}

TEST_F(ControllerTest, ATwitterConnectWithoutTwitterOnTheDeviceExplains) {
    install();
    sidebar->twConnectClickedInView(panel().sharedView().get());
    std::shared_ptr<VelkoraDefaultOKPopupView> shown;
    for (auto& w : ui::Application::instance().windows())
        if (!w->isHidden() && w->windowLevel() == ui::WindowLevel::Alert)
            for (auto& v : w->subviews())
                if (auto p = std::dynamic_pointer_cast<VelkoraDefaultOKPopupView>(v)) shown = p;
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->messageLable()->text().rfind("We could not connect to Twitter", 0), 0u);
    EXPECT_FALSE(sidebar->activityIndicator());
    shown->close();
}

} // namespace
} // namespace velkora::testing

namespace velkora::testing {
namespace {

TEST_F(ControllerTest, AsAScreenOfTheHostTheMenuStartsBelowTheHostsBar) {
    struct Case {
        bool tablet;
        bool showBar; // the kit's own top panel
        int orientation;
        double unplacedTop; // before the host gives the view its place: the file's 20, the bar, the top panel
    };
    start();
    for (auto c : {Case{false, false, 1, 20 + 44}, Case{false, false, 3, 20 + 32}, Case{false, true, 1, 20 + 44 + 64},
                   Case{true, false, 1, 20 + 44}, Case{true, false, 4, 20 + 44}, Case{true, true, 1, 20 + 44 + 64}}) {
        SCOPED_TRACE(::testing::Message() << c.tablet << " " << c.showBar << " " << c.orientation);
        if (c.tablet) becomeTablet();
        window = ui::Window::createFullScreen();
        auto hostNav = ui::NavigationController::create(std::make_shared<ui::ViewController>());
        window->setRootViewController(hostNav);
        window->makeKeyAndVisible();
        ui::Application::instance().setStatusBarOrientation(c.orientation);
        auto menu = VelkoraViewController::initFromNibWithNavController(hostNav, c.showBar);
        EXPECT_TRUE(menu->isMenuMode());
        EXPECT_EQ(menu->isTopPanelViewHidden(), !c.showBar);
        menu->view();
        EXPECT_DOUBLE_EQ(menu->panelViewTopSpaceConstraint()->constant(), c.unplacedTop);
        hostNav->pushViewController(menu, false);
        window->layoutIfNeeded();
        // Our host places the view below its bar: the menu's first row follows the bar, or the kit's top panel
        // when that shows, with no band between them.
        auto* container = hostNav->view().get();
        auto in = [&](ui::View& v) { return v.convertRectToView(v.bounds(), container); };
        double barBottom = in(*hostNav->navigationBar()).maxY();
        double above = barBottom;
        if (c.showBar) {
            EXPECT_DOUBLE_EQ(in(*menu->topPanelView()).origin.y, barBottom);
            above = in(*menu->topPanelView()).maxY();
        }
        EXPECT_DOUBLE_EQ(in(*menu->panelView()).origin.y, above);
        EXPECT_EQ(menu->isTopPanelHidden(), !c.showBar);
        EXPECT_FALSE(menu->isOpenedAsFeature());
        if (!c.tablet) {
            EXPECT_DOUBLE_EQ(menu->panelViewWidthConstraint()->constant(), c.orientation == 1 ? 320 : 480);
        }
        menu->setVelkoraNavController(nullptr);
        window->setHidden(true);
        window.reset();
        hostNav.reset();
        ui::Application::instance().setStatusBarOrientation(1);
        // Gone with the host's stack: a menu left alive would still answer the kit's notifications.
        std::weak_ptr<VelkoraViewController> gone = menu;
        menu.reset();
        loop().advance(0.5);
        EXPECT_TRUE(gone.expired()) << "the menu outlives the host's stack";
    }
}

} // namespace
} // namespace velkora::testing

namespace velkora::testing {
namespace {

// Before the session has made its connectors a Facebook connect has nothing to wait for: no spinner is
// left turning in the header.
TEST_F(ControllerTest, AFacebookConnectBeforeTheConnectorsExistLeavesNoSpinner) {
    ASSERT_FALSE(VelkoraAgentInternal::instance().fbConnector());
    window = ui::Window::createFullScreen();
    auto menu = VelkoraViewController::initWithMode(false);
    window->setRootViewController(menu);
    window->makeKeyAndVisible();
    menu->fbConnectClickedInView(menu->view().get());
    loop().advance(1);
    EXPECT_FALSE(menu->activityIndicator() && menu->activityIndicator()->isAnimating());
}

TEST_F(ControllerTest, InAPopoverTheMenuAnswersAsOneAndLeavingClosesThePopover) {
    start();
    becomeTablet();
    window = ui::Window::createFullScreen();
    host = std::make_shared<ui::ViewController>();
    window->setRootViewController(host);
    window->makeKeyAndVisible();
    auto menu = VelkoraViewController::initWithMode(true);
    auto menuNav = ui::NavigationController::create(menu);
    menuNav->setNavigationBarHidden(true);
    menu->setVelkoraNavController(menuNav, true);
    auto popover = ui::PopoverController::create(menuNav);
    menu->setPopover(popover);
    popover->presentPopoverFromRect({10, 10, 40, 40}, host->view().get(), 15, false);
    loop().advance(1);
    ASSERT_TRUE(popover->isPopoverVisible());
    EXPECT_TRUE(menu->isUsingPopover());
    EXPECT_FALSE(menu->isTopPanelHidden());
    EXPECT_EQ(menu->preferredContentSize(), (ui::Size{270, 460}));
    // The popover's navigation view is not turned with the status bar.
    ui::Application::instance().setStatusBarOrientation(3);
    EXPECT_DOUBLE_EQ(menuNav->view()->transform().b, 0);
    menu->didClose();
    loop().advance(1);
    EXPECT_FALSE(popover->isPopoverVisible());
    menu->setVelkoraNavController(nullptr);
}

} // namespace
} // namespace velkora::testing

namespace velkora::testing {
namespace {

TEST_F(ControllerTest, ATapOnARowOfTheOpenSidebarOpensItsScreen) {
    serve({{"feed", "News"}, {"inbox", "Mail"}});
    install();
    registerRow("inbox");
    sidebar->openPanel();
    loop().advance(1);
    // The table takes a row's tap as the touch routing hands it over.
    EXPECT_TRUE(panel().commandsTable()->tapRowAtIndexPath(ui::IndexPath::of(1, 0)));
    loop().advance(1);
    ASSERT_TRUE(made);
    EXPECT_EQ(made->titleText(), "Mail");
    EXPECT_EQ(nav->topViewController(), made);
    EXPECT_DOUBLE_EQ(hostOffset(), 320);
}

} // namespace
} // namespace velkora::testing

namespace velkora::testing {
namespace {

TEST_F(ControllerTest, TheHeaderCarriesTheOwnProfileBlockWhenItIsPartOfTheBuild) {
    registerProfileScreens();
    startAs(named("Dana", "Whitfield"));
    install();
    auto& p = panel();
    auto block = p.profileView();
    ASSERT_TRUE(block);
    EXPECT_EQ(block->superview(), p.profileScrollView().get());
    EXPECT_EQ(p.profileScrollView()->contentSize(), block->bounds().size);
    // Shown, the block is made anew once the slide is over.
    p.profileButtonClicked(nullptr);
    loop().advance(0.5);
    EXPECT_NE(p.profileView(), block);
    ASSERT_TRUE(p.profileView());

    // The block's taps reach the controller: its followers open with the user as the list's.
    registerRow("userfollowers");
    sidebar->followersClicked(nullptr);
    ASSERT_TRUE(made);
    EXPECT_EQ(made->arguments["object1"].asObject<VelkoraUserInternal>(), agent().velkoraUser());
    EXPECT_EQ(made->titleText(), "Followers");
}

} // namespace
} // namespace velkora::testing

namespace velkora::testing {
namespace {

TEST_F(ControllerTest, AsAScreenOfTheHostTheMenuAndItsHeaderFillTheScreensWidth) {
    serve({{"feed", "Activity"}, {"inbox", "Messages"}});
    startAs(named("Dana", "Whitfield", "Lisbon"));
    for (bool tablet : {false, true}) {
        SCOPED_TRACE(tablet ? "tablet" : "phone");
        if (tablet) becomeTablet();
        const double width = tablet ? 450 : 320; // a tablet's menu keeps the sidebar's width
        window = ui::Window::createFullScreen();
        auto hostNav = ui::NavigationController::create(std::make_shared<ui::ViewController>());
        window->setRootViewController(hostNav);
        window->makeKeyAndVisible();
        auto menu = VelkoraViewController::initFromNibWithNavController(hostNav, false);
        hostNav->pushViewController(menu, false);
        loop().advance(1);
        window->layoutIfNeeded();
        auto& p = *menu->panelView();
        EXPECT_DOUBLE_EQ(p.frame().size.width, width);
        EXPECT_DOUBLE_EQ(p.commandsTable()->frame().size.width, width);
        for (auto* header : {p.usersDetailsView().get(), p.anonymousView().get(), p.signUpAnonymousView().get()})
            EXPECT_DOUBLE_EQ(header->frame().size.width, width);
        // The profile arrow keeps its place at the right edge.
        EXPECT_DOUBLE_EQ(p.profileButton()->frame().maxX(), width - 6);
        EXPECT_DOUBLE_EQ(p.convertRectToView(p.bounds(), nullptr).origin.y, 44); // right under the host's bar
        expectMatchesReference(screenshot(), tablet ? "menu_mode_tablet" : "menu_mode_phone");
        menu->setVelkoraNavController(nullptr);
        window->setHidden(true);
        window.reset();
    }
}

} // namespace
} // namespace velkora::testing
