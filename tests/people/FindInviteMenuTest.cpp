// The find and invite menu: its rows for an anonymous and a signed-in user, the badge of friends not yet
// followed, rows of networks not connected opening nothing, connecting from a row (by the row's network,
// whatever its title reads), and its pictures on a phone and a tablet.
#include "FriendsFixture.h"
#include "people/VelkoraInviteSelectionViewController.h"
#include "people/VelkoraInviteSocialNetworkViewController.h"
#include "platform/ui/ImageView.h"
#include "data/VelkoraUserInfo.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

class FindInviteMenuTest : public FriendsTest {
protected:
    std::shared_ptr<VelkoraInviteSelectionViewController> openMenu() {
        auto screen = open<VelkoraInviteSelectionViewController>("invite");
        EXPECT_TRUE(screen && screen->optionsTable()) << "the interface file did not load";
        if (!screen || !screen->optionsTable()) return nullptr;
        host->layoutIfNeeded();
        return screen;
    }
    std::shared_ptr<VelkoraInviteViewCell> row(VelkoraInviteSelectionViewController& screen, int section, int r) {
        screen.optionsTable()->layoutIfNeeded();
        return std::dynamic_pointer_cast<VelkoraInviteViewCell>(
            screen.optionsTable()->cellForRowAtIndexPath(ui::IndexPath::of(r, section)));
    }
    void select(VelkoraInviteSelectionViewController& screen, int section, int r) {
        screen.didSelectRowAtIndexPath(*screen.optionsTable(), ui::IndexPath::of(r, section));
        loop().advance(1);
    }
};

TEST_F(FindInviteMenuTest, OneFindRowWhileAnonymousTwoOnceSignedInAndTheViewIsLogged) {
    start(friendsConfiguration());
    loadMyData();
    auto screen = openMenu();
    ASSERT_TRUE(screen);
    auto& table = *screen->optionsTable();
    EXPECT_EQ(table.numberOfSections(), 2);
    EXPECT_EQ(table.numberOfRowsInSection(0), 1) << "no suggestions for an anonymous user";
    EXPECT_EQ(table.numberOfRowsInSection(1), 3);
    EXPECT_TRUE(eventLogged("feature-viewed;findfriends"));
    EXPECT_FALSE(screen->shouldAutorotateToInterfaceOrientation(ui::InterfaceOrientationLandscapeLeft));

    signIn();
    table.reloadData();
    EXPECT_EQ(table.numberOfRowsInSection(0), 2);
    EXPECT_EQ(row(*screen, 0, 1)->title()->text(), "Suggestions");
    EXPECT_EQ(table.headerViewForSection(0), screen->findHeaderView());
    EXPECT_EQ(screen->findHeaderView()->headerLabel()->text(), "Find friends");
    EXPECT_EQ(screen->inviteHeaderView()->connectButton()->currentTitle(), "Connect");
}

TEST_F(FindInviteMenuTest, TheBadgeCountsFriendsNotFollowedAndHidesAtZero) {
    start(friendsConfiguration());
    loadMyData();
    auto screen = openMenu();
    ASSERT_TRUE(screen);
    EXPECT_TRUE(row(*screen, 0, 0)->badgeView()->isHidden());

    std::vector<VelkoraUserPtr> friends;
    for (int i = 0; i < 14; ++i)
        friends.push_back(person("f" + std::to_string(i), "Friend" + std::to_string(i)));
    friends[0]->setIsFavorite(true);
    friends[1]->setIsFavorite(true);
    VelkoraSNFriendsRepository::instance().setFacebookFriends(friends);
    screen->optionsTable()->reloadData();
    auto cell = row(*screen, 0, 0);
    EXPECT_FALSE(cell->badgeView()->isHidden());
    EXPECT_EQ(cell->badgeNumberLabel()->text(), "12");
}

TEST_F(FindInviteMenuTest, UnconnectedNetworkRowsOpenNothingConnectedOnesAndContactsOpenTheInviteList) {
    start(friendsConfiguration());
    loadMyData();
    signIn();
    auto screen = openMenu();
    ASSERT_TRUE(screen);
    EXPECT_FALSE(row(*screen, 1, 1)->fbConnectButton()->isHidden());
    EXPECT_FALSE(row(*screen, 1, 2)->twitterConnectButton()->isHidden());
    EXPECT_TRUE(row(*screen, 1, 0)->fbConnectButton()->isHidden());

    select(*screen, 1, 1);
    select(*screen, 1, 2);
    EXPECT_EQ(stack().size(), 1u) << "an unconnected row only deselects";
    EXPECT_FALSE(screen->optionsTable()->indexPathForSelectedRow());

    info().setFbId(100009000000001);
    screen->optionsTable()->reloadData();
    EXPECT_TRUE(row(*screen, 1, 1)->fbConnectButton()->isHidden());
    select(*screen, 1, 1);
    ASSERT_EQ(stack().size(), 2u);
    auto invite = std::dynamic_pointer_cast<VelkoraInviteSocialNetworkViewController>(top());
    ASSERT_TRUE(invite);
    EXPECT_EQ(invite->socialNetwork(), VelkoraInviteSocialNetworkViewController::kFacebook);
    EXPECT_EQ(invite->featureTabDelegate(), container);

    nav->popViewController(false);
    select(*screen, 1, 0);
    auto contacts = std::dynamic_pointer_cast<VelkoraInviteSocialNetworkViewController>(top());
    ASSERT_TRUE(contacts);
    EXPECT_EQ(contacts->socialNetwork(), VelkoraInviteSocialNetworkViewController::kContacts);
}

TEST_F(FindInviteMenuTest, ConnectingFacebookHidesItsButtonAndARefusalChangesNothing) {
    start(friendsConfiguration());
    loadMyData();
    signIn();
    auto screen = openMenu();
    ASSERT_TRUE(screen);
    services::Device::instance().setPromptPolicy(services::Prompt::FacebookLogin, services::PromptPolicy::Ask);

    // Refused: no identity reaches the service and the button stays.
    tap(row(*screen, 1, 1)->fbConnectButton());
    ASSERT_TRUE(
        waitAdvancing([] { return services::Device::instance().isPromptWaiting(services::Prompt::FacebookLogin); }));
    services::Device::instance().answerPrompt(services::Prompt::FacebookLogin, false);
    drain();
    dismissMessages();
    EXPECT_EQ(count("connectSocial") + count("signUp") + count("login"), 0u);
    EXPECT_FALSE(row(*screen, 1, 1)->fbConnectButton()->isHidden());

    // Granted, with the row's title in another language: the row's network decides.
    auto cell = row(*screen, 1, 1);
    cell->title()->setText("Facebook-Freunde einladen");
    tap(cell->fbConnectButton());
    ASSERT_TRUE(
        waitAdvancing([] { return services::Device::instance().isPromptWaiting(services::Prompt::FacebookLogin); }));
    services::Device::instance().answerPrompt(services::Prompt::FacebookLogin, true);
    ASSERT_TRUE(waitAdvancing([&] { return row(*screen, 1, 1)->fbConnectButton()->isHidden(); }));
    drain();
    EXPECT_EQ(std::to_string(info().fbId()), kDanaOnFacebook);
    // The helper attaches the identity as sign-up does for a user on the device's own account.
    auto sent = svc.requestsFor("signUp");
    for (const auto& r : svc.requestsFor("connectSocial"))
        sent.push_back(r);
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(param(sent[0], "method"), "2");
    EXPECT_FALSE(row(*screen, 1, 2)->twitterConnectButton()->isHidden());
}

TEST_F(FindInviteMenuTest, PictureOnPhoneAndTablet) {
    start(friendsConfiguration());
    loadMyData();
    signIn();
    std::vector<VelkoraUserPtr> friends;
    for (int i = 0; i < 12; ++i)
        friends.push_back(person("f" + std::to_string(i), "Friend" + std::to_string(i)));
    VelkoraSNFriendsRepository::instance().setTwitterFriends(friends);
    info().setTwitterId(900000001);
    auto screen = openMenu();
    ASSERT_TRUE(screen);
    drain();
    snapshot("invite_menu_phone");

    useTablet();
    auto tablet = openMenu();
    ASSERT_TRUE(tablet);
    drain();
    snapshot("invite_menu_tablet");
}

// A row's texts run up to what it shows on its right: the arrow, the badge or the connect button.
TEST_F(FindInviteMenuTest, TextsRunUpToTheBadgeTheButtonOrTheArrow) {
    start(friendsConfiguration());
    loadMyData();
    signIn();
    std::vector<VelkoraUserPtr> friends{person("f1", "Friend1")};
    VelkoraSNFriendsRepository::instance().setTwitterFriends(friends);
    info().setTwitterId(900000001);
    auto screen = openMenu();
    ASSERT_TRUE(screen);
    drain();
    struct Case {
        int section, row;
        const char* side;
    } const cases[] = {{0, 0, "badge"}, {0, 1, "arrow"}, {1, 1, "facebook button"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.side);
        auto cell = row(*screen, c.section, c.row);
        ASSERT_TRUE(cell && cell->title() && cell->descriptionLabel());
        cell->layoutIfNeeded();
        const std::string which = c.side;
        ui::View* side = which == "badge"   ? cell->badgeView().get()
                         : which == "arrow" ? static_cast<ui::View*>(cell->accessory().get())
                                            : cell->fbConnectButton().get();
        ASSERT_TRUE(side && !side->isHidden());
        for (const auto& label : {cell->title(), cell->descriptionLabel()})
            EXPECT_DOUBLE_EQ(label->frame().maxX(), side->frame().x() - 8);
    }
}

} // namespace
