// The suggested users screen against velkora-service: users already followed are left out, the follow-all
// button names one user or counts several and follows them all, a row follows its user, and an empty list
// shows the no-suggestions view; nobody is offered themself, and a guest's row reads "Guest".
#include "FeedFixture.h"
#include "feed/VelkoraSuggestedUserViewController.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

class SuggestedUsersTest : public FeedScreenTest {
protected:
    std::shared_ptr<VelkoraSuggestedUserViewController> openSuggestions() {
        auto screen = std::dynamic_pointer_cast<VelkoraSuggestedUserViewController>(
            VelkoraScreenRegistry::instance().makeScreen("suggestedUsers"));
        EXPECT_TRUE(screen);
        if (!screen) return nullptr;
        show(screen);
        settleScreen();
        EXPECT_TRUE(screen->usersTable()) << "the interface file did not load";
        return screen->usersTable() ? screen : nullptr;
    }
    static std::string title(const std::shared_ptr<VelkoraSuggestedUserViewController>& screen) {
        return screen->followAllButton()->titleForState(ui::ControlStateNormal).value_or("");
    }
};

TEST_F(SuggestedUsersTest, FollowedUsersAreLeftOutAndFollowAllNamesOneOrCountsSeveral) {
    startSignedIn();
    const std::string ana = user("Ana", "Souza"), tom = user("Tomas", "Berg"), ravi = user("Ravi", "Shah"),
                      lena = user("Lena", "Vogel");
    svc.follow(kApp, me_, lena);
    svc.pinSuggestions(kApp, me_, {lena, ana});
    auto one = openSuggestions();
    ASSERT_TRUE(one);
    ASSERT_EQ(one->users().size(), 1u) << "the user followed already is left out";
    EXPECT_EQ(one->users()[0]->userId(), std::optional(ana));
    EXPECT_EQ(title(one), "Follow Ana S.");
    EXPECT_FALSE(one->activityIndicator()->isAnimating());
    EXPECT_TRUE(one->noSuggestionsView()->isHidden());
    svc.clearRequests();
    one->followAllButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    ASSERT_TRUE(waitForRequests("favoriteAdd", 1));
    EXPECT_TRUE(svc.isFollowing(kApp, me_, ana));

    svc.pinSuggestions(kApp, me_, {tom, ravi, lena, user("Kim", "Berg")});
    auto three = openSuggestions();
    ASSERT_TRUE(three);
    EXPECT_EQ(three->users().size(), 3u);
    EXPECT_EQ(title(three), "Follow all 3");
    ASSERT_TRUE(picturesLoaded());
    expectLooksLike("suggested_users");

    // A row's follow button follows its user, and the row shows it.
    auto cell = std::dynamic_pointer_cast<VelkoraUserListCell>(
        three->usersTable()->cellForRowAtIndexPath(ui::IndexPath::of(0, 0)));
    ASSERT_TRUE(cell);
    svc.clearRequests();
    three->followTapped(*cell);
    ASSERT_TRUE(waitForRequests("favoriteAdd", 1));
    EXPECT_TRUE(svc.isFollowing(kApp, me_, tom));
    loop().advance(0.1);
    EXPECT_TRUE(cell->theUser()->isFavorite());

    svc.clearRequests();
    three->followAllButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    ASSERT_TRUE(waitForRequests("favoriteAdd", 2));
    EXPECT_TRUE(svc.isFollowing(kApp, me_, ravi));
    EXPECT_EQ(title(three), "Follow all 3") << "the count is the list as loaded";
}

TEST_F(SuggestedUsersTest, NobodyIsOfferedThemselfAndAGuestRowSaysSo) {
    startSignedIn();
    const std::string guest = user("", ""), lena = user("Lena", "Vogel");
    // A service that does suggest the user to herself, and a guest.
    svc.pinSuggestions(kApp, me_, {me_, guest, lena});
    auto screen = openSuggestions();
    ASSERT_TRUE(screen);
    ASSERT_EQ(screen->users().size(), 2u);
    for (const auto& u : screen->users())
        EXPECT_NE(u->userId(), std::optional(me_));
    EXPECT_EQ(title(screen), "Follow all 2");
    struct Row {
        int row;
        const char* name;
    } rows[] = {{0, "Guest"}, {1, "Lena V."}};
    for (const auto& r : rows) {
        auto cell = std::dynamic_pointer_cast<VelkoraUserListCell>(
            screen->usersTable()->cellForRowAtIndexPath(ui::IndexPath::of(r.row, 0)));
        ASSERT_TRUE(cell) << r.row;
        EXPECT_EQ(cell->nameLabel()->text(), r.name);
    }
}

TEST_F(SuggestedUsersTest, NoSuggestionsShowTheirViewAndNoButton) {
    startSignedIn();
    const std::string lena = user("Lena", "Vogel");
    svc.follow(kApp, me_, lena);
    svc.pinSuggestions(kApp, me_, {lena});
    auto screen = openSuggestions();
    ASSERT_TRUE(screen);
    EXPECT_TRUE(screen->users().empty());
    EXPECT_FALSE(screen->noSuggestionsView()->isHidden());
    EXPECT_TRUE(screen->followAllButton()->isHidden());
    ASSERT_TRUE(picturesLoaded());
    expectLooksLike("suggested_users_none");
}

} // namespace
