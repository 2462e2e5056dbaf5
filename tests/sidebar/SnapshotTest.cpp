// Pictures of the sidebar against their references in tests/sidebar/data (VELKORA_UPDATE_SNAPSHOTS=1
// writes them; each was looked at before it was kept).
#include <gtest/gtest.h>

#include "SidebarFixture.h"
#include "shell/WidgetSnapshot.h"

namespace velkora::testing {
namespace {

class SidebarSnapshotTest : public SidebarFixture {
protected:
    // A full menu, and a user of Lisbon with posts, followers and one followed, as the service knows her.
    void menu() {
        serve({{"feed", "Activity"},
               {"inbox", "Messages"},
               {"blog", "Chat Rooms"},
               {"invite", "Find & Invite Friends"},
               {"radar", "Radar"},
               {"shop", "Shop", true, "ShopIcon"},
               {"feedback", "Feedback"}});
        auto others = svc.createUsers(kApp, {named("Ari", "Kem"), named("Noor", "Basri"), named("Teo", "Lund")});
        auto dana = named("Dana", "Whitfield", "Lisbon");
        std::string id = svc.createUser(kApp, dana);
        for (int i = 0; i < 12; ++i)
            svc.postFeed(kApp, id, "Morning ride #" + std::to_string(i));
        svc.follow(kApp, others[0], id);
        svc.follow(kApp, others[1], id);
        svc.follow(kApp, id, others[2]);
        startAsExisting(id);
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
