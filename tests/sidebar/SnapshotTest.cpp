// Pictures of the sidebar against their references in tests/sidebar/data (VELKORA_UPDATE_SNAPSHOTS=1
// writes them; each was looked at before it was kept).
#include <gtest/gtest.h>

#include "SidebarFixture.h"
#include "shell/WidgetSnapshot.h"

namespace velkora::testing {
namespace {

class SidebarSnapshotTest : public SidebarFixture {
protected:
    void menu() {
        data().setAppFeatures({feature("feed", "Activity"), feature("inbox", "Messages"), feature("blog", "Chat Rooms"),
                               feature("invite", "Find & Invite Friends"), feature("radar", "Radar"),
                               feature("shop", "Shop", true, std::string("ShopIcon")),
                               feature("feedback", "Feedback")});
        data().setLeadingColor(0x3B8FE0);
        auto named = user("u1", "Dana", "Whitfield", std::string("Lisbon"));
        named->setNumFeeds(12);
        named->setNumFollowers(340);
        named->setNumFollowing(27);
        agent().setVelkoraUser(named);
    }
};

TEST_F(SidebarSnapshotTest, TheOpenSidebarOfANamedUserOnAPhone) {
    menu();
    install();
    panel().commands()[1]->setBadgeNumber(2);
    panel().commands()[0]->setBadgeNumber(5);
    panel().commandsTable()->reloadData();
    sidebar->openPanel();
    loop().advance(1);
    expectMatchesReference(screenshot(), "sidebar_phone_named");
}

} // namespace
} // namespace velkora::testing

namespace velkora::testing {
namespace {

TEST_F(SidebarSnapshotTest, TheOpenSidebarOnATablet) {
    becomeTablet();
    menu();
    install(true);
    panel().commands()[1]->setBadgeNumber(3);
    panel().commandsTable()->reloadData();
    sidebar->openPanel();
    loop().advance(1);
    EXPECT_DOUBLE_EQ(hostOffset(), 450);
    expectMatchesReference(ui::Snapshot::imageOfScreen(0.5), "sidebar_tablet_named");
}

} // namespace
} // namespace velkora::testing
