// The sidebar goes with whoever holds it: nothing of it stays behind to hear notifications.
#include <gtest/gtest.h>

#include "SidebarFixture.h"

namespace velkora::testing {
namespace {

class LifetimeTest : public SidebarFixture {};

TEST_F(LifetimeTest, AnUninstalledSidebarIsGone) {
    serve({{"feed", "F"}, {"inbox", "I"}});
    startAs(named("Dana", "Whitfield"));
    install();
    sidebar->openPanel();
    loop().advance(1);
    std::weak_ptr<VelkoraViewController> controller = sidebar;
    std::weak_ptr<VelkoraPanelView> menu = sidebar->panelView();
    uninstall();
    loop().advance(1);
    EXPECT_TRUE(controller.expired());
    EXPECT_TRUE(menu.expired());
}

} // namespace
} // namespace velkora::testing
