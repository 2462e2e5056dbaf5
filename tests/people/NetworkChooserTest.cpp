// The network chooser: the networks the device and the application allow, Facebook first, and a row
// opening the user list filled from that network.
#include <algorithm>

#include "FriendsFixture.h"
#include "people/VelkoraFindFriendsSelctionViewController.h"
#include "people/VelkoraUserListViewController.h"
#include "platform/foundation/Bundle.h"
#include "platform/ui/TableViewCell.h"
#include "data/VelkoraAppSettings.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

class NetworkChooserTest : public FriendsTest {
protected:
    // The host's URL scheme names its Facebook application.
    static void hostNamesFacebookApp() {
        using foundation::Array;
        using foundation::Dictionary;
        foundation::Bundle::main().setInfoDictionary(foundation::Value(
            Dictionary{{"CFBundleURLTypes", Array{Dictionary{{"CFBundleURLSchemes", Array{"fb100000000000001"}}}}}}));
        VelkoraAppSettings::instance().retreiveFBAppIdFromPlist();
    }
    void TearDown() override {
        foundation::Bundle::main().setInfoDictionary({});
        VelkoraAppSettings::instance().retreiveFBAppIdFromPlist();
        FriendsTest::TearDown();
    }
};

TEST_F(NetworkChooserTest, FacebookOffAndNoTwitterLeaveItEmpty) {
    start(friendsConfiguration());
    loadMyData();
    hostNamesFacebookApp();
    VelkoraAgentInternal::instance().appData()->setEnableFacebook(false);
    VelkoraAgentInternal::instance().appData()->setEnableTwitter(false);
    auto screen = VelkoraFindFriendsSelctionViewController::create();
    show(screen);
    ASSERT_TRUE(screen->optionsTable()) << "the interface file did not load";
    EXPECT_TRUE(screen->supportedSN().empty());
    EXPECT_EQ(screen->optionsTable()->numberOfRowsInSection(0), 0);
}

TEST_F(NetworkChooserTest, BothListFacebookFirstAndARowOpensTheListWithItsFetcher) {
    start(friendsConfiguration());
    loadMyData();
    hostNamesFacebookApp();
    auto screen = VelkoraFindFriendsSelctionViewController::create();
    screen->setTitleText("Find friends");
    show(screen);
    ASSERT_TRUE(screen->optionsTable());
    ASSERT_EQ(screen->supportedSN(), (std::vector<int32_t>{0, 1}));
    auto& table = *screen->optionsTable();
    table.layoutIfNeeded();
    auto first = table.cellForRowAtIndexPath(ui::IndexPath::of(0, 0));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->textLabel()->text(), "Facebook Friends");
    EXPECT_EQ(first->accessoryType(), ui::TableViewCellAccessoryType::DisclosureIndicator);
    EXPECT_EQ(table.cellForRowAtIndexPath(ui::IndexPath::of(1, 0))->textLabel()->text(), "Twitter Friends");
    // Each row ends in a line of the table's separator colour that parts it from the next.
    for (int row : {0, 1}) {
        auto cell = table.cellForRowAtIndexPath(ui::IndexPath::of(row, 0));
        const auto& subviews = cell->subviews();
        const bool parted = std::any_of(subviews.begin(), subviews.end(), [&](const ui::ViewPtr& v) {
            return v->frame().height() == 1 && v->frame().maxY() == cell->bounds().height() &&
                   v->backgroundColor() == table.separatorColor();
        });
        EXPECT_TRUE(parted) << "row " << row;
    }
    drain();
    snapshot("network_chooser");

    screen->didSelectRowAtIndexPath(table, ui::IndexPath::of(1, 0));
    loop().advance(1);
    auto list = std::dynamic_pointer_cast<VelkoraUserListViewController>(top());
    ASSERT_TRUE(list);
    EXPECT_EQ(list->title(), "Friends");
    EXPECT_TRUE(list->showFollowButton());
    EXPECT_EQ(list->featureTabDelegate(), container);
    auto fetcher = std::dynamic_pointer_cast<VelkoraSNUserFetcher>(list->usersFetcher());
    ASSERT_TRUE(fetcher);
    EXPECT_EQ(fetcher->socialNetwork(), 1);
    drain();
}

} // namespace
