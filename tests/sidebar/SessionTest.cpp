// The sidebar as the session object installs it through the registry: added to the host's window beneath
// its root view, opened and closed through the session, its badges summed for the host, and the
// activation bar item and ribbon the session hands out.
#include <gtest/gtest.h>

#include "SidebarFixture.h"
#include "platform/ui/BarItems.h"
#include "platform/ui/Button.h"
#include "shell/VelkoraActivationRibonView.h"
#include "shell/VelkoraSidebarScreens.h"

namespace velkora::testing {
namespace {

class SessionTest : public SidebarFixture {
protected:
    void TearDown() override {
        agent().closeView();
        SidebarFixture::TearDown();
    }
};

TEST_F(SessionTest, TheSessionInstallsTheSidebarThroughItsRegistration) {
    serve({{"feed", "F"}, {"inbox", "I"}, {"radar", "R"}});
    start();
    window = ui::Window::createFullScreen();
    host = std::make_shared<ui::ViewController>();
    window->setRootViewController(host);
    window->makeKeyAndVisible();

    // Before the sidebar's makers are registered, nothing is installed.
    agent().addSidebar(window, true);
    EXPECT_FALSE(agent().velkoraVC());

    registerSidebarScreens();
    agent().addSidebar(window, true);
    auto installed = std::dynamic_pointer_cast<VelkoraViewController>(agent().velkoraVC());
    ASSERT_TRUE(installed);
    ASSERT_TRUE(agent().gesturesHandler());
    ASSERT_FALSE(window->subviews().empty());
    EXPECT_EQ(window->subviews().front(), installed->velkoraNavController()->view());
    EXPECT_EQ(installed->navigationController(), installed->velkoraNavController().get());
    EXPECT_EQ(installed->panelView()->commands().size(), 3u);
    EXPECT_EQ(installed->velkoraNavController()->view()->frame(), (ui::Rect{0, 0, 320, 480}));

    agent().openPanel();
    loop().advance(1);
    EXPECT_TRUE(agent().isPanelOpen());
    EXPECT_DOUBLE_EQ(host->view()->frame().origin.x, installed->panelView()->frame().size.width);
    agent().closePanel();
    loop().advance(1);
    EXPECT_FALSE(agent().isPanelOpen());
    EXPECT_DOUBLE_EQ(host->view()->frame().origin.x, 0);

    for (auto& row : installed->panelView()->commands())
        row->setBadgeNumber(6);
    EXPECT_EQ(agent().getTotalBagdes(), 12);

    auto item = agent().velkoraActivationBarItem();
    ASSERT_TRUE(item);
    auto button = std::dynamic_pointer_cast<VelkoraActivationView>(item->customView());
    ASSERT_TRUE(button);
    installed->panelView()->sendBadgeNumberChangeNotificationForFeature(1);
    EXPECT_EQ(button->badgeNumberLabel()->text(), "10+");

    auto ribbonButton = agent().velkoraActivationButtonOpensToLeft(true);
    ASSERT_TRUE(ribbonButton);
    std::shared_ptr<VelkoraActivationRibonView> ribbon;
    for (auto& v : ribbonButton->subviews())
        if (auto r = std::dynamic_pointer_cast<VelkoraActivationRibonView>(v)) ribbon = r;
    ASSERT_TRUE(ribbon);
    EXPECT_EQ(ribbon->ribbonDirection(), 1);
    EXPECT_DOUBLE_EQ(ribbonButton->frame().maxX(), 320);

    // A tap on the ribbon opens the sidebar through the session's controller.
    ribbon->activationButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    EXPECT_TRUE(agent().isPanelOpen());
    loop().advance(1);

    agent().closeView();
    EXPECT_FALSE(agent().velkoraVC());
    EXPECT_TRUE(window->subviews().size() == 1 || window->subviews().front() == host->view());
}

} // namespace
} // namespace velkora::testing
