// The user list: sections and order of names, search ignoring case and accents, users kept once across
// replies, the side index, cells reused while scrolling thousands, following from a row, and pictures.
#include <set>

#include "ProfilesFixture.h"
#include "people/VelkoraUserListSections.h"
#include "people/VelkoraUserListViewController.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextField.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

VelkoraUserPtr person(const std::string& id, const std::string& first, const std::string& last = {}) {
    auto u = std::make_shared<VelkoraUserInternal>();
    u->setUserId(id);
    u->setAppId(std::string("A"));
    u->setFirstName(first);
    u->setLastName(last);
    return u;
}

service::UserFields named(const std::string& first, const std::string& last = {}) {
    service::UserFields f;
    f.firstName = first;
    f.lastName = last;
    return f;
}

std::vector<std::string> idsOf(const std::vector<VelkoraUserPtr>& users) {
    std::vector<std::string> ids;
    for (const auto& u : users)
        ids.push_back(u->userId().value_or("?"));
    return ids;
}

TEST(UserListSections, FirstCharacterOfTheUpperCasedFullNameChoosesTheSection) {
    const struct {
        const char* name;
        int section;
    } cases[] = {{"émile", 27}, {"zoe", 26}, {"", 27},    {"7up", 27},  {"Anna", 1},     {"anna", 1},
                 {"Zed", 26},   {"_x", 27},  {"ßen", 19}, {"Ölaf", 27}, {"😀 Smiley", 27}};
    for (const auto& c : cases)
        EXPECT_EQ(VelkoraUserListSections::sectionForName(c.name), c.section) << c.name;
}

TEST(UserListSections, SortsCaseSensitivelyInUtf16UnitsWithTiesByIdAndKeepsEachUserOnce) {
    VelkoraUserListSections s;
    // "Zoe" sorts before "anna" (capitals first); the emoji's surrogates sort below U+FF21.
    s.merge({person("u3", "anna"), person("u1", "Zoe"), person("u2", "Anna"), person("u5", "Anna"),
             person("u4", "\xEF\xBC\xA1"
                          "lpha"),
             person("u6", "\xF0\x9F\x98\x80")});
    EXPECT_EQ(s.merge({person("u1", "Zoe again"), person("u7", "Alma")}), 1u) << "u1 is held already";
    s.rebuild();
    EXPECT_EQ(idsOf(s.section(1)), (std::vector<std::string>{"u7", "u2", "u5", "u3"}));
    EXPECT_EQ(idsOf(s.section(26)), (std::vector<std::string>{"u1"}));
    EXPECT_EQ(idsOf(s.section(27)), (std::vector<std::string>{"u6", "u4"}));
    EXPECT_TRUE(s.section(0).empty());
    EXPECT_EQ(s.count(), 7u);
}

TEST(UserListSections, SearchIgnoresCaseAndAccentsOnFirstOrLastNameAndSkipsBlockedUsers) {
    VelkoraUserListSections s;
    auto blocked = person("u9", "Annabel", "Blocked");
    blocked->setIsBlockedByCurrentUser(true);
    s.merge({person("u1", "Jöanna", "Lind"), person("u2", "Mark", "Hannover"), person("u3", "Zoe", "Park"), blocked});
    s.rebuild();
    EXPECT_EQ(idsOf(s.filter("ANN")), (std::vector<std::string>{"u1", "u2"}));
    EXPECT_EQ(idsOf(s.filter("oa")), (std::vector<std::string>{"u1"}));
    EXPECT_TRUE(s.filter("Joanna Lind").empty()) << "first or last name, not the full name";
    EXPECT_TRUE(s.section(1).empty()) << "a blocked user is in no section";
    blocked->setIsBlockedByCurrentUser(false);
    s.rebuild();
    EXPECT_EQ(idsOf(s.section(1)), (std::vector<std::string>{"u9"}));
}

class UserListScreenTest : public ProfilesTest {
protected:
    // A user of the service with `count` followers named from the table, followed in order.
    std::string starWithFollowers(const std::vector<std::string>& names) {
        std::string star = svc.createUser(kApp, named("Star", "Person"));
        std::vector<service::UserFields> fans;
        for (const auto& n : names) {
            service::UserFields f;
            auto space = n.find(' ');
            f.firstName = n.substr(0, space);
            if (space != std::string::npos) f.lastName = n.substr(space + 1);
            f.city = "Lisbon";
            fans.push_back(f);
        }
        for (const auto& id : svc.createUsers(kApp, fans))
            svc.follow(kApp, id, star);
        return star;
    }
    std::shared_ptr<VelkoraUserListViewController> openFollowers(const std::string& userId) {
        auto screen =
            std::dynamic_pointer_cast<VelkoraUserListViewController>(VelkoraScreenRegistry::instance().makeScreen(
                "userfollowers", foundation::Value(foundation::Dictionary{{"object1", foundation::Value(userId)}})));
        EXPECT_TRUE(screen);
        if (!screen) return nullptr;
        show(screen);
        settleScreen();
        EXPECT_TRUE(screen->usersTable() && screen->searchText()) << "the screen's interface file did not load";
        return screen->searchText() ? screen : nullptr;
    }
    std::shared_ptr<VelkoraUserListCell> cellOf(VelkoraUserListViewController& screen, const std::string& firstName) {
        for (const auto& c : screen.usersTable()->visibleCells())
            if (auto cell = std::dynamic_pointer_cast<VelkoraUserListCell>(c))
                if (cell->theUser() && cell->theUser()->firstName() == firstName) return cell;
        return nullptr;
    }
};

TEST_F(UserListScreenTest, ThreeThousandFollowersArriveInOneRequestAndScrollThroughFewCells) {
    startSignedIn();
    std::vector<std::string> names;
    for (int i = 0; i < 3000; ++i)
        names.push_back("Fan" + std::to_string(10000 + i) + " Person");
    names.push_back("Jöanna Lind");
    auto star = starWithFollowers(names);
    svc.clearRequests();
    auto screen = openFollowers(star);
    ASSERT_TRUE(screen);
    EXPECT_EQ(count("getOtherFavorites"), 1u);
    EXPECT_EQ(screen->sortedUsers().count(), 3001u);
    EXPECT_EQ(screen->usersTable()->numberOfRowsInSection(6), 3000) << "every Fan under F";
    EXPECT_FALSE(screen->searchText()->isHidden());

    auto& table = *screen->usersTable();
    const size_t visible = table.visibleCells().size();
    std::set<const ui::TableViewCell*> cells;
    std::set<std::string> seen;
    for (double y = 0;; y += table.bounds().height() / 2) {
        const bool last = y >= table.maxContentOffset().y;
        table.setContentOffset({0, std::min(y, table.maxContentOffset().y)});
        table.layoutIfNeeded();
        for (const auto& c : table.visibleCells()) {
            cells.insert(c.get());
            if (auto cell = std::dynamic_pointer_cast<VelkoraUserListCell>(c))
                if (cell->theUser()) seen.insert(*cell->theUser()->userId());
        }
        if (last) break;
    }
    EXPECT_LE(cells.size(), visible + 2);
    EXPECT_EQ(seen.size(), 3001u) << "each user shown once the list is scrolled through";

    // The side index: "F" is section 6, "#" the last, and the search glyph goes back to the top.
    ASSERT_EQ(table.sectionIndexTitles().size(), 28u);
    EXPECT_EQ(table.sectionIndexTitles()[0], ui::kTableViewIndexSearch);
    EXPECT_EQ(screen->sectionForSectionIndexTitle(table, "F", 6), 6);
    EXPECT_EQ(screen->sectionForSectionIndexTitle(table, "#", 27), 27);
    table.setContentOffset({0, 5000});
    table.tapSectionIndexAtIndex(0);
    EXPECT_EQ(table.contentOffset().y, 0);

    // "ANN" finds Jöanna alone, and the search leaves the index out.
    screen->searchText()->setText("ANN");
    screen->searchText()->sendActionsForControlEvents(ui::ControlEventEditingChanged);
    ASSERT_TRUE(screen->filteredMode());
    EXPECT_EQ(idsOf(screen->filteredSortedUsers()).size(), 1u);
    EXPECT_EQ(screen->filteredSortedUsers()[0]->firstName(), std::string("Jöanna"));
    EXPECT_TRUE(table.sectionIndexTitles().empty());
}

TEST_F(UserListScreenTest, FollowingFromARowSendsOneRequestAndTheRowShowsTheTrueState) {
    startSignedIn();
    auto star = starWithFollowers({"Ana Souza", "Bruno Lima"});
    auto screen = openFollowers(star);
    ASSERT_TRUE(screen);
    auto ana = cellOf(*screen, "Ana");
    ASSERT_TRUE(ana);
    ASSERT_FALSE(ana->followButton()->isHidden());
    svc.clearRequests();
    ana->followButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    EXPECT_FALSE(ana->followButton()->isEnabled()) << "off until the service answered";
    // A second tap that reaches the screen anyway (the row redrawn meanwhile) is the same change again.
    screen->followTapped(*ana);
    ASSERT_TRUE(waitFor([&] { return ana->theUser()->isFavorite(); }));
    settleScreen();
    EXPECT_EQ(count("favoriteAdd"), 1u) << "a double tap sends one follow";
    EXPECT_TRUE(svc.isFollowing(kApp, me_, *ana->theUser()->userId()));
    EXPECT_TRUE(ana->theUser()->isFavorite());
    EXPECT_TRUE(ana->followButton()->isHidden());
    EXPECT_FALSE(ana->followingButton()->isHidden());
    EXPECT_TRUE(ana->followingButton()->isEnabled());
}

TEST_F(UserListScreenTest, AnAnonymousTapAsksToSignInFirstAndSigningInFollowsOnce) {
    startNewUser();
    loadMyData();
    ASSERT_TRUE(VelkoraAgentInternal::instance().velkoraUser()->isAnonymous());
    auto star = starWithFollowers({"Ana Souza"});
    auto screen = openFollowers(star);
    ASSERT_TRUE(screen);
    auto ana = cellOf(*screen, "Ana");
    ASSERT_TRUE(ana);
    const size_t windowsBefore = ui::Application::instance().windows().size();
    svc.clearRequests();
    screen->followTapped(*ana);
    settleScreen();
    EXPECT_GT(ui::Application::instance().windows().size(), windowsBefore) << "the sign-in question is up";
    EXPECT_EQ(count("favoriteAdd"), 0u);
    screen->didSignin(); // what the question calls once the user signed in
    ASSERT_TRUE(waitFor([&] { return count("favoriteAdd") == 1; }));
    settleScreen();
    EXPECT_EQ(count("favoriteAdd"), 1u);
    EXPECT_TRUE(ana->theUser()->isFavorite());
}

TEST_F(UserListScreenTest, TheViewerHasNoButtonsAndAnEmptyListHasNoSearch) {
    startSignedIn();
    auto star = svc.createUser(kApp, named("Lonely"));
    auto empty = openFollowers(star);
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->searchText()->isHidden());
    EXPECT_FALSE(empty->activityIndicatorView()->isAnimating());

    svc.follow(kApp, me_, star);
    auto screen = openFollowers(star);
    ASSERT_TRUE(screen);
    auto mine = cellOf(*screen, "Vera");
    ASSERT_TRUE(mine);
    EXPECT_TRUE(mine->followButton()->isHidden());
    EXPECT_TRUE(mine->followingButton()->isHidden());
}

TEST_F(UserListScreenTest, AnEmptyListSaysSoInWordsAndAFullOneDoesNot) {
    startSignedIn();
    const std::string lonely = svc.createUser(kApp, named("Lonely", "Heart"));
    const std::string fan = svc.createUser(kApp, named("Fan", "Club"));
    svc.follow(kApp, fan, lonely);
    const struct {
        const char* feature;
        std::string user;
        const char* words; // empty: the list has someone and shows no words
    } cases[] = {{"userfollowers", fan, "No followers yet."},
                 {"userfollowing", lonely, "Not following anyone yet."},
                 {"userfollowers", lonely, ""},
                 {"userfollowing", fan, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.feature) + " " + c.words);
        auto screen =
            std::dynamic_pointer_cast<VelkoraUserListViewController>(VelkoraScreenRegistry::instance().makeScreen(
                c.feature, foundation::Value(foundation::Dictionary{{"object1", foundation::Value(c.user)}})));
        ASSERT_TRUE(screen);
        show(screen);
        ASSERT_TRUE(screen->noUsersLabel()) << "the interface file has no place for the words";
        EXPECT_TRUE(screen->noUsersLabel()->isHidden()) << "no words while the list loads";
        settleScreen();
        EXPECT_EQ(screen->noUsersLabel()->isHidden(), std::string(c.words).empty());
        if (*c.words) {
            EXPECT_EQ(screen->noUsersLabel()->text(), c.words);
        }
    }
    openFollowers(fan);
    expectLooksLike("user_list_empty");

    // Friends found through a network: none of them uses the application.
    auto fetcher = VelkoraSNUserFetcher::create();
    fetcher->setSocialNetwork(1);
    auto friends = VelkoraUserListViewController::initWithTitle("Friends", fetcher);
    show(friends);
    foundation::Array strangers{foundation::Value(foundation::Number("900000000001"))};
    fetcher->twitterGotFriends(foundation::Value(foundation::Dictionary{{"ids", foundation::Value(strangers)}}),
                               false);
    ASSERT_TRUE(waitFor([&] { return count("getSocialNetworkFriends") == 1; }));
    settleScreen();
    EXPECT_FALSE(friends->noUsersLabel()->isHidden());
    EXPECT_EQ(friends->noUsersLabel()->text(), "None of your friends are here yet.");
}

TEST_F(UserListScreenTest, SocialNetworkPagesListEveryMatchOnce) {
    startSignedIn();
    std::vector<service::UserFields> friends;
    for (int i = 0; i < 450; ++i) {
        service::UserFields f;
        f.firstName = "Friend" + std::to_string(i);
        f.twitterId = 900000000000 + i;
        friends.push_back(f);
    }
    svc.createUsers(kApp, friends);
    auto fetcher = VelkoraSNUserFetcher::create();
    fetcher->setSocialNetwork(1);
    auto screen = VelkoraUserListViewController::initWithTitle("Friends", fetcher);
    show(screen);
    foundation::Array ids;
    for (int i = 0; i < 450; ++i)
        ids.emplace_back(foundation::Number(std::to_string(900000000000 + i)));
    fetcher->twitterGotFriends(foundation::Value(foundation::Dictionary{{"ids", foundation::Value(ids)}}), false);
    ASSERT_TRUE(waitFor([&] { return count("getSocialNetworkFriends") == 3; }));
    settleScreen();
    EXPECT_EQ(screen->sortedUsers().count(), 450u);
    EXPECT_EQ(screen->usersTable()->numberOfRowsInSection(6), 450);
}

TEST_F(UserListScreenTest, FollowersAndFollowingOfAUserByNameAndAFailedFetchLeavesTheSpinner) {
    startSignedIn();
    const std::string quinn = svc.createUser(kApp, named("Quinn", "Adams"));
    std::vector<service::UserFields> people;
    for (const char* n : {"Ana", "Bruno", "Chloe", "Dora"})
        people.push_back(named(n, "Lima"));
    const auto ids = svc.createUsers(kApp, people);
    for (size_t i = 0; i < ids.size(); ++i) {
        if (i < 3) svc.follow(kApp, ids[i], quinn);  // three follow Quinn
        if (i >= 2) svc.follow(kApp, quinn, ids[i]); // Quinn follows two
    }
    const struct {
        const char* feature;
        std::vector<std::string> names;
        const char* title;
    } cases[] = {{"userfollowers", {"Ana", "Bruno", "Chloe"}, "Followers"},
                 {"userfollowing", {"Chloe", "Dora"}, "Following"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.feature);
        svc.clearRequests();
        auto screen =
            std::dynamic_pointer_cast<VelkoraUserListViewController>(VelkoraScreenRegistry::instance().makeScreen(
                c.feature, foundation::Value(foundation::Dictionary{{"object1", foundation::Value(quinn)}})));
        ASSERT_TRUE(screen);
        show(screen);
        settleScreen();
        EXPECT_EQ(count("getOtherFavorites"), 1u);
        EXPECT_EQ(screen->nameTitleLabel()->text(), c.title);
        std::vector<std::string> shown;
        for (int section = 0; section < 28; ++section)
            for (const auto& u : screen->sortedUsers().section(section))
                shown.push_back(u->firstName().value_or(""));
        EXPECT_EQ(shown, c.names);
        EXPECT_FALSE(screen->activityIndicatorView()->isAnimating());
        EXPECT_FALSE(screen->searchText()->isHidden());
    }

    // A fetch the service refuses never answers the list: the spinner stays, the search stays hidden.
    svc.addFault({"getOtherFavorites", service::Fault::Kind::ErrorCode, "INTERNAL_ERROR", 500, 0, -1});
    auto failed = std::dynamic_pointer_cast<VelkoraUserListViewController>(VelkoraScreenRegistry::instance().makeScreen(
        "userfollowers", foundation::Value(foundation::Dictionary{{"object1", foundation::Value(quinn)}})));
    ASSERT_TRUE(failed);
    show(failed);
    ASSERT_TRUE(waitFor([&] { return count("getOtherFavorites") >= 1; }));
    settleScreen();
    EXPECT_TRUE(failed->activityIndicatorView()->isAnimating());
    EXPECT_TRUE(failed->searchText()->isHidden());
    EXPECT_EQ(failed->usersTable()->numberOfRowsInSection(1), 0);
}

TEST_F(UserListScreenTest, PicturesOfTheListAndOfASearch) {
    startSignedIn();
    auto star = starWithFollowers(
        {"Ana Souza", "Björn Holm", "chloé Martin", "Émile Laurent", "Jöanna Lind", "Zoe Park", "7up Fan"});
    svc.follow(kApp, me_, star);
    auto screen = openFollowers(star);
    ASSERT_TRUE(screen);
    expectLooksLike("user_list");
    screen->searchText()->setText("an");
    screen->searchText()->sendActionsForControlEvents(ui::ControlEventEditingChanged);
    window_->layoutIfNeeded();
    expectLooksLike("user_list_search");
}

} // namespace
