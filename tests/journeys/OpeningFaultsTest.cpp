// What went wrong when a feature was opened from another place than its own tests use, opened again, or
// left midway: each case as a host meets it through the public headers.
#include <gtest/gtest.h>

#include "JourneyFixture.h"
#include "conversations/VelkoraFeedbackViewController.h"
#include "session/VelkoraChatsRepository.h"
#include "people/VelkoraUserSettingsViewController.h"
#include "server/VelkoraServerApi.h"

namespace velkora::testing {
namespace {

using Journey = JourneyTest;

TEST_F(Journey, ASidebarAddedBeforeAnyConfigurationIsPutInWhenTheConfigurationArrives) {
    serve(everyFeature());
    makeHostWindow();
    Velkora::addSidebar(hostWindow_, true);
    EXPECT_FALSE(agent().velkoraVC()) << "no configuration yet";
    ASSERT_NO_FATAL_FAILURE(start());
    loop().advance(1);
    auto sidebar = std::dynamic_pointer_cast<VelkoraViewController>(agent().velkoraVC());
    ASSERT_TRUE(sidebar);
    auto nav = sidebar->velkoraNavController();
    ASSERT_TRUE(nav);
    // Beneath the host's views, on the side the host asked for.
    ASSERT_FALSE(hostWindow().subviews().empty());
    EXPECT_EQ(hostWindow().subviews().front(), nav->view());
    ASSERT_TRUE(agent().gesturesHandler());
    Velkora::openSidebar();
    loop().advance(1);
    EXPECT_TRUE(Velkora::isSidebarOpen());
    EXPECT_GT(hostNav().view()->frame().origin.x, 0) << "a left sidebar slides the host to the right";
    Velkora::closeSidebar();
    loop().advance(1);
    expectHostAsItWas(1);
}

TEST_F(Journey, ASidebarAddedTwiceIsOneSidebar) {
    ASSERT_NO_FATAL_FAILURE(startHost());
    const size_t views = hostWindow().subviews().size();
    Velkora::addSidebar(hostWindow_, true);
    loop().advance(1);
    EXPECT_EQ(hostWindow().subviews().size(), views);
    EXPECT_EQ(agent().velkoraVC(), sidebarVC());
    // In another window it moves there.
    auto other = VelkoraWindow::create();
    other->setRootScreen(VelkoraHostScreen::create("Other"));
    other->makeKeyAndVisible();
    Velkora::addSidebar(other, false);
    loop().advance(1);
    EXPECT_EQ(hostWindow().subviews().size(), views - 1) << "the first window keeps no sidebar";
    auto moved = std::dynamic_pointer_cast<VelkoraViewController>(agent().velkoraVC());
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->velkoraNavController()->view()->window(), other->impl()->window.get());
    hostSidebar_ = moved;
    other->impl()->window->setHidden(true);
}

TEST_F(Journey, TheMenuInTheHostsStackLeavesTheSidebarAndAnotherStartLeavesTheHostsView) {
    ASSERT_NO_FATAL_FAILURE(startHost());
    auto sidebar = sidebarVC();
    auto kitNav = sidebarNav();
    ASSERT_TRUE(kitNav);
    for (bool kitBar : {true, false}) {
        SCOPED_TRACE(kitBar ? "with the kit's bar" : "under the host's bar");
        Velkora::openMenuWithNavigationController(publicNav(), kitBar);
        loop().advance(1);
        ASSERT_EQ(hostNav().viewControllers().size(), 2u) << "the menu is pushed on the host's stack";
        auto menu = std::dynamic_pointer_cast<VelkoraViewController>(hostNav().topViewController());
        ASSERT_TRUE(menu);
        EXPECT_NE(menu, sidebar);
        EXPECT_TRUE(menu->isMenuMode());
        EXPECT_EQ(menu->isTopPanelViewHidden(), !kitBar);
        EXPECT_EQ(menu->velkoraNavController().get(), &hostNav());
        expectOnShow(menu);
        // The sidebar still lies in its own stack beneath the host.
        EXPECT_EQ(sidebar->velkoraNavController(), kitNav);
        EXPECT_EQ(kitNav->viewControllers().size(), 1u);
        EXPECT_EQ(agent().velkoraVC(), sidebar);
        // Its close button takes the person back to the host.
        menu->appButtonClicked(nullptr);
        loop().advance(1);
        expectHostAsItWas(1);
    }
    EXPECT_FALSE(logged("Pushing a controller that is already on a stack"));

    // In a popover the menu is one made for it, not the sidebar.
    auto anchor = VelkoraView::create({10, 10, 40, 40});
    hostWindow_->addView(anchor);
    Velkora::openMenuInPopoverWithRect({10, 10, 40, 40}, anchor);
    loop().advance(1);
    ASSERT_TRUE(agent().popover());
    auto inPopover =
        std::dynamic_pointer_cast<VelkoraViewController>(topOf(agent().popover()->contentViewController()));
    ASSERT_TRUE(inPopover);
    EXPECT_NE(inPopover, sidebar);
    EXPECT_TRUE(inPopover->usingPopover());
    EXPECT_FALSE(sidebar->usingPopover());
    EXPECT_EQ(sidebar->velkoraNavController(), kitNav);
    inPopover->appButtonClicked(nullptr);
    loop().advance(1);

    // With the menu on the host's stack, the host starts the kit again: the host's view stays in its window.
    Velkora::openMenuWithNavigationController(publicNav(), true);
    loop().advance(1);
    bool done = false;
    Velkora::initWithAppId(kApp, [&] { done = true; });
    ASSERT_TRUE(waitFor([&] { return done; }) && settle());
    loop().advance(1);
    EXPECT_EQ(hostNav().view()->superview(), &hostWindow());
    EXPECT_EQ(hostWindow().rootViewController().get(), &hostNav());
    EXPECT_EQ(hostNav().viewControllers().size(), 2u);
}

TEST_F(Journey, ASecondFeatureOpenedInTheKitsOwnStackComesOnTopAndEachCloseClosesItsOwn) {
    ASSERT_NO_FATAL_FAILURE(startHost(false));
    Velkora::openInboxWithNavigationController(nullptr, true);
    loop().advance(1);
    auto inbox = topOf(presentedTop());
    ASSERT_TRUE(inbox);
    Velkora::openActivityWithNavigationController(nullptr, true);
    loop().advance(1);
    ASSERT_EQ(presentationDepth(), 2u) << "the activity is shown over the inbox";
    auto activity = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(topOf(presentedTop()));
    ASSERT_TRUE(activity);
    EXPECT_NE(activity, inbox);
    expectOnShow(activity);
    // The close of the screen on show closes it, and then the one below is on show with a close that works.
    activity->appTapped(nullptr);
    loop().advance(1);
    ASSERT_EQ(presentationDepth(), 1u);
    EXPECT_EQ(topOf(presentedTop()), inbox);
    expectOnShow(inbox);
    std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(inbox)->appTapped(nullptr);
    loop().advance(1);
    expectHostAsItWas(1);
}

TEST_F(Journey, ThePreloadOfAListAlreadyThereStillAnnouncesItsLaterBadges) {
    ASSERT_NO_FATAL_FAILURE(startHost(false));
    ASSERT_TRUE(waitFor([] { return VelkoraChatsRepository::instance().didFinishLoading(); }) && settle());
    int ran = 0;
    Velkora::preloadInboxWithCompletion([&] { ++ran; });
    EXPECT_EQ(ran, 1) << "the list is there: the block runs at once";
    Recorder badges({kVelkoraBadgeNumberChangedNotification});
    std::string mary = svc.createUser(kApp, named("Mary", "Ann"));
    svc.sendMessage(kApp, mary, myId(), "Hello there");
    const size_t polls = count("update");
    VelkoraServerApi::updateNow();
    ASSERT_TRUE(waitForRequests("update", polls + 1));
    ASSERT_TRUE(waitFor([&] { return Velkora::getFeatureBadgeNumber(kVelkoraFeatureInbox) == 1; }));
    ASSERT_GE(badges.count(kVelkoraBadgeNumberChangedNotification), 1u);
    EXPECT_EQ(badges.last(kVelkoraBadgeNumberChangedNotification)->userInfo["tabId"].int32Or(-1), 1);
}

TEST_F(Journey, TalkToUsOnTheHostsStackClosesOnceTheFeedbackIsSent) {
    ASSERT_NO_FATAL_FAILURE(startHost(false));
    Velkora::openTalkToUsWithNavigationController(publicNav(), false);
    loop().advance(1);
    auto talk = std::dynamic_pointer_cast<VelkoraFeedbackTalkToUsViewController>(hostNav().topViewController());
    ASSERT_TRUE(talk);
    ASSERT_TRUE(talk->feedbackText());
    talk->textViewShouldBeginEditing(*talk->feedbackText());
    talk->feedbackText()->setText("The map is lovely");
    talk->updateNumStars(4);
    talk->sendTapped(nullptr);
    ASSERT_TRUE(waitFor([&] { return !talk->isSending(); }) && settle());
    ASSERT_EQ(svc.messagesTo(kApp, "_OWNER").size(), 1u);
    // The person closes the thank-you popup: the screen goes with it.
    auto thanks = popup();
    ASSERT_TRUE(thanks);
    thanks->okTapped(nullptr);
    loop().advance(1);
    expectHostAsItWas(1);
}

TEST_F(Journey, SettingsFromTheSidebarAnswerToTheSidebar) {
    ASSERT_NO_FATAL_FAILURE(startHost());
    sidebarVC()->settingsClicked();
    loop().advance(1);
    auto settings = std::dynamic_pointer_cast<VelkoraUserSettingsViewController>(sidebarNav()->topViewController());
    ASSERT_TRUE(settings);
    EXPECT_EQ(std::dynamic_pointer_cast<VelkoraViewController>(settings->delegate()), sidebarVC());
    // Opened by name by anyone else, the sidebar answers too.
    auto byName = std::dynamic_pointer_cast<VelkoraUserSettingsViewController>(
        VelkoraScreenRegistry::instance().makeScreen("settings"));
    ASSERT_TRUE(byName);
    EXPECT_EQ(std::dynamic_pointer_cast<VelkoraViewController>(byName->delegate()), sidebarVC());
    // A saved name goes to the service and back to the sidebar's header.
    settings->userNameTextField()->setText("Nora Newname");
    settings->updateClicked(nullptr);
    ASSERT_TRUE(waitForRequests("setUserData", 1));
    EXPECT_EQ(agent().velkoraUser()->firstName(), std::optional<std::string>("Nora Newname"));
    loop().advance(1);
    EXPECT_EQ(sidebarNav()->viewControllers().size(), 1u) << "a save goes back to the menu";
    const auto& header = sidebarVC()->panelView()->nameLabel();
    ASSERT_TRUE(header);
    EXPECT_EQ(header->text(), "Nora N.") << "the header shows the saved name";
}

} // namespace
} // namespace velkora::testing
