// The find-friends screen: five rows then the rest behind "more", a search across both networks, the
// follow button and follow-all reaching the service, a screen without friends, and connecting a network
// whose friends then arrive page by page, each once.
#include <set>

#include "FriendsFixture.h"
#include "people/VelkoraFindFriendsViewController.h"
#include "people/VelkoraInviteSelectionViewController.h"
#include "platform/ui/TextField.h"
#include "data/VelkoraUserInfo.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

class FindFriendsTest : public FriendsTest {
protected:
    std::shared_ptr<VelkoraFindFriendsViewController> openFindFriends() {
        auto screen = VelkoraFindFriendsViewController::create();
        show(screen);
        EXPECT_TRUE(screen->friendsTable() && screen->filterText()) << "the interface file did not load";
        if (!screen->friendsTable() || !screen->filterText()) return nullptr;
        host->layoutIfNeeded();
        return screen;
    }
    std::shared_ptr<VelkoraFindFriendsCell> row(VelkoraFindFriendsViewController& screen, int section, int r) {
        screen.friendsTable()->scrollToRowAtIndexPath(ui::IndexPath::of(r, section),
                                                      ui::TableViewScrollPosition::Middle, false);
        screen.friendsTable()->layoutIfNeeded();
        return std::dynamic_pointer_cast<VelkoraFindFriendsCell>(
            screen.friendsTable()->cellForRowAtIndexPath(ui::IndexPath::of(r, section)));
    }
    static std::vector<VelkoraUserPtr> named(int n, const std::string& prefix) {
        std::vector<VelkoraUserPtr> out;
        for (int i = 0; i < n; ++i)
            out.push_back(person(prefix + std::to_string(i), prefix + std::to_string(i), "Lind", i == 1 ? 1 : 3));
        return out;
    }
    void type(VelkoraFindFriendsViewController& screen, const std::string& text) {
        screen.filterText()->setText(text);
        screen.filterChanged(screen.filterText().get());
    }
};

TEST_F(FindFriendsTest, SevenFriendsShowFourAndMoreUntilTappedFourShowNoMore) {
    start(friendsConfiguration());
    loadMyData();
    signIn();
    VelkoraSNFriendsRepository::instance().setFacebookFriends(named(7, "Fb"));
    auto twitter = named(4, "Tw");
    twitter.push_back(person("anon", "", ""));
    VelkoraSNFriendsRepository::instance().setTwitterFriends(twitter);
    auto facebookWithAnonymous = named(7, "Fb");
    facebookWithAnonymous.push_back(person("anon2", " ", ""));
    VelkoraSNFriendsRepository::instance().setFacebookFriends(facebookWithAnonymous);
    auto screen = openFindFriends();
    ASSERT_TRUE(screen);
    auto& table = *screen->friendsTable();
    EXPECT_EQ(screen->facebookList().size(), 7u) << "anonymous users leave the Facebook list";
    EXPECT_EQ(screen->twitterList().size(), 5u) << "and stay in the Twitter one";
    EXPECT_EQ(table.numberOfRowsInSection(0), 5);
    EXPECT_TRUE(row(*screen, 0, 4)->showMoreButton());
    EXPECT_FALSE(row(*screen, 0, 4)->moreLabel()->isHidden());
    EXPECT_EQ(row(*screen, 0, 3)->user()->firstName(), "Fb3");
    EXPECT_EQ(row(*screen, 0, 1)->numFollowersLabel()->text(), "1 follower");
    EXPECT_EQ(row(*screen, 0, 0)->numFollowersLabel()->text(), "3 followers");
    EXPECT_EQ(table.numberOfRowsInSection(1), 5) << "five Twitter friends: four and more";

    screen->didSelectRowAtIndexPath(table, ui::IndexPath::of(4, 0));
    EXPECT_TRUE(screen->showAllFacebook());
    EXPECT_EQ(table.numberOfRowsInSection(0), 7);
    EXPECT_FALSE(row(*screen, 0, 4)->showMoreButton());
    EXPECT_EQ(stack().size(), 1u) << "the more row opens nothing";

    VelkoraSNFriendsRepository::instance().setTwitterFriends(named(4, "Tw"));
    auto four = openFindFriends();
    ASSERT_TRUE(four);
    EXPECT_EQ(four->friendsTable()->numberOfRowsInSection(1), 4);
    for (int r = 0; r < 4; ++r)
        EXPECT_FALSE(row(*four, 1, r)->showMoreButton());
}

TEST_F(FindFriendsTest, SearchMergesBothListsIgnoringCaseAndAccentsAndNobodyGivesOneEmptySection) {
    start(friendsConfiguration());
    loadMyData();
    signIn();
    VelkoraSNFriendsRepository::instance().setFacebookFriends(
        {person("1", "Jöanna", "Lind"), person("2", "Mark", "Hannover"), person("3", "Zoe", "Park")});
    VelkoraSNFriendsRepository::instance().setTwitterFriends({person("4", "Anne", "Berg")});
    auto screen = openFindFriends();
    ASSERT_TRUE(screen);
    EXPECT_FALSE(screen->filterText()->isHidden());
    EXPECT_EQ(screen->friendsTable()->tableHeaderView(), screen->filterText());

    type(*screen, "ANN");
    auto& table = *screen->friendsTable();
    ASSERT_EQ(table.numberOfSections(), 1);
    ASSERT_EQ(table.numberOfRowsInSection(0), 3);
    EXPECT_EQ(row(*screen, 0, 0)->user()->userId(), "4") << "sorted by full name: Anne, Jöanna, Mark";
    EXPECT_EQ(row(*screen, 0, 1)->user()->userId(), "1");
    EXPECT_EQ(screen->heightForHeaderInSection(table, 0), 0);
    EXPECT_FALSE(screen->viewForHeaderInSection(table, 0));

    type(*screen, "qqq");
    EXPECT_EQ(table.numberOfSections(), 1);
    EXPECT_EQ(table.numberOfRowsInSection(0), 0);
    type(*screen, "");
    EXPECT_EQ(table.numberOfSections(), 2);
}

TEST_F(FindFriendsTest, NoFriendsMeansNoSearchAndNoFollowAll) {
    start(friendsConfiguration());
    loadMyData();
    auto screen = openFindFriends();
    ASSERT_TRUE(screen);
    EXPECT_TRUE(screen->filterText()->isHidden());
    EXPECT_FALSE(screen->friendsTable()->tableHeaderView());
    EXPECT_TRUE(screen->facebookHeaderView()->followAllButton()->isHidden());
    EXPECT_TRUE(screen->twitterHeaderView()->followAllButton()->isHidden());
    EXPECT_FALSE(screen->facebookHeaderView()->connectButton()->isHidden()) << "Facebook is not connected";
}

TEST_F(FindFriendsTest, FollowDisablesTheButtonAndTheAnswerRedrawsTheRow) {
    start(friendsConfiguration());
    loadMyData();
    signIn();
    auto people = servicePeople(3, "Pal");
    VelkoraSNFriendsRepository::instance().setFacebookFriends(people);
    auto screen = openFindFriends();
    ASSERT_TRUE(screen);
    auto cell = row(*screen, 0, 1);
    ASSERT_TRUE(cell->user());
    const std::string who = *cell->user()->userId();
    tap(cell->followButton());
    EXPECT_FALSE(cell->followButton()->isEnabled());
    ASSERT_TRUE(waitFor([&] { return !cell->unfollowButton()->isHidden(); }));
    EXPECT_TRUE(cell->followButton()->isHidden());
    EXPECT_TRUE(svc.isFollowing(kApp, myId(), who));
    EXPECT_EQ(count("favoriteAdd"), 1u);
}

TEST_F(FindFriendsTest, FollowAllOfThirtySendsOneFollowForEachFriend) {
    start(friendsConfiguration());
    loadMyData();
    signIn();
    auto people = servicePeople(30, "Mate");
    VelkoraSNFriendsRepository::instance().setFacebookFriends(people);
    auto screen = openFindFriends();
    ASSERT_TRUE(screen);
    ASSERT_FALSE(screen->facebookHeaderView()->followAllButton()->isHidden());
    svc.clearRequests();
    tap(screen->facebookHeaderView()->followAllButton());
    ASSERT_TRUE(waitForRequests("favoriteAdd", 30));
    drain();
    std::multiset<std::string> followed;
    for (const auto& r : svc.requestsFor("favoriteAdd"))
        followed.insert(param(r, "otherUserId"));
    std::multiset<std::string> expected;
    for (const auto& p : people)
        expected.insert(*p->userId());
    EXPECT_EQ(followed, expected) << "each friend once";
    for (const auto& p : people)
        EXPECT_TRUE(svc.isFollowing(kApp, myId(), *p->userId()));
}

TEST_F(FindFriendsTest, ConnectingFacebookEmptiesTheListAndFriendsArrivingLateAppearOnce) {
    start(friendsConfiguration());
    loadMyData();
    signIn();
    // Dana's Facebook friends, three of whom use the application.
    const int64_t dana = std::stoll(kDanaOnFacebook);
    svc.addFacebookFriends(dana, 5, 7100000000);
    std::vector<service::UserFields> users;
    for (int i = 0; i < 3; ++i) {
        service::UserFields f;
        f.firstName = "Graph" + std::to_string(i);
        f.lastName = "User";
        f.facebookId = 7100000000 + i;
        users.push_back(f);
    }
    svc.createUsers(kApp, users);
    VelkoraSNFriendsRepository::instance().setFacebookFriends({person("stale", "Stale", "Entry")});
    auto screen = openFindFriends();
    ASSERT_TRUE(screen);
    ASSERT_EQ(screen->facebookList().size(), 1u);

    services::Device::instance().setPromptPolicy(services::Prompt::FacebookLogin, services::PromptPolicy::Grant);
    tap(screen->facebookHeaderView()->connectButton());
    ASSERT_TRUE(waitAdvancing([&] { return screen->facebookList().size() == 3; }));
    drain();
    loop().advance(5);
    drain();
    std::set<std::string> ids;
    for (const auto& u : screen->facebookList())
        ids.insert(*u->userId());
    EXPECT_EQ(ids.size(), 3u);
    EXPECT_EQ(screen->facebookList().size(), 3u) << "each friend once, the stale one gone";
    EXPECT_EQ(VelkoraSNFriendsRepository::instance().facebookFriends().size(), 3u);
    EXPECT_TRUE(screen->facebookHeaderView()->connectButton()->isHidden());
    EXPECT_FALSE(screen->facebookHeaderView()->followAllButton()->isHidden());
    EXPECT_FALSE(screen->filterText()->isHidden());
}

TEST_F(FindFriendsTest, Picture) {
    start(friendsConfiguration());
    loadMyData();
    signIn();
    info().setFbId(std::stoll(kDanaOnFacebook));
    VelkoraSNFriendsRepository::instance().setFacebookFriends(
        {person("1", "Ana", "Souza", 12), person("2", "Bruno", "Lima", 1), person("3", "Chloé", "Martin", 4),
         person("4", "Diego", "Ruiz", 0), person("5", "Émile", "Laurent", 7), person("6", "Farah", "Nasser", 2)});
    VelkoraSNFriendsRepository::instance().setTwitterFriends({person("7", "Gil", "Ortega", 3)});
    auto screen = openFindFriends();
    ASSERT_TRUE(screen);
    drain();
    snapshot("find_friends");
}

} // namespace
