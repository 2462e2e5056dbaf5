// The leaderboard against velkora-service: rows by period from scores dated by the service's clock, the
// place and score texts, the section around the user's own place, taps on rows, usage events, pictures,
// and what a late, failed or dropped request leaves on the screen.
#include "LeaderboardScreensFixture.h"
#include "people/VelkoraOtherUserProfileViewController.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "quiz/VelkoraLeaderboardViewController.h"
#include "data/VelkoraAppData.h"
#include "support/PicturePng.h"

using namespace velkora;
using namespace velkora::testing;
using service::Fault;

namespace {

class LeaderboardTest : public LeaderboardScreensTest {
protected:
    std::shared_ptr<VelkoraLeaderboardViewController> openLeaderboard(const std::string& level = "") {
        auto screen = open<VelkoraLeaderboardViewController>("leaderboard", foundation::Value(level));
        EXPECT_TRUE(screen && screen->leadersTable()) << "the screen's interface file did not load";
        return screen && screen->leadersTable() ? screen : nullptr;
    }
    // The user ids of a section's rows, as the screen holds them.
    static std::vector<std::string> idsOf(const std::vector<VelkoraScorePositionPtr>& rows) {
        std::vector<std::string> ids;
        for (const auto& r : rows)
            ids.push_back(r->user() ? r->user()->userId().value_or("?") : "?");
        return ids;
    }
    std::shared_ptr<VelkoraLeaderboardTableCell> cellAt(VelkoraLeaderboardViewController& screen, int section,
                                                        int row) {
        auto& table = *screen.leadersTable();
        table.scrollToRowAtIndexPath({section, row}, ui::TableViewScrollPosition::Middle, false);
        table.layoutIfNeeded();
        return std::dynamic_pointer_cast<VelkoraLeaderboardTableCell>(table.cellForRowAtIndexPath({section, row}));
    }
    void tap(const std::shared_ptr<ui::Button>& button) {
        ASSERT_TRUE(button);
        button->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
        settleScreen();
    }
    std::string me() const { return *VelkoraServerClientAgent::instance().userId(); }
};

TEST_F(LeaderboardTest, EachPeriodShowsTheScoresOfItsDaysAndTheSameButtonAsksNothing) {
    clockOnWednesdayNoon();
    startUser();
    const std::string longAgo = createNamed("Cleo", "Long"), tuesday = createNamed("Bruno", "Week"),
                      today = createNamed("Ada", "Today");
    score(longAgo, 300, 30 * 86400);
    score(tuesday, 200, 86400);
    score(today, 100, 3600);
    score(me(), 50, 60);
    loadMyData(); // the user's own score, as the session holds it
    svc.clearRequests();
    auto screen = openLeaderboard();
    ASSERT_TRUE(screen);
    EXPECT_EQ(count("getScores"), 1u);
    EXPECT_EQ(param(svc.requestsFor("getScores")[0], "intervalType"), "1");
    EXPECT_EQ(param(svc.requestsFor("getScores")[0], "level"), "");
    EXPECT_TRUE(screen->todayButton()->isSelected());
    EXPECT_FALSE(screen->activityIndicator()->isAnimating());

    struct Case {
        std::shared_ptr<ui::Button> button;
        int mode;
        std::vector<std::string> leaders;
    } cases[] = {
        {screen->todayButton(), 1, {today, me()}},
        {screen->thisWeekButton(), 2, {tuesday, today, me()}},
        {screen->allTimeButton(), 3, {longAgo, tuesday, today, me()}},
        {screen->todayButton(), 1, {today, me()}},
    };
    size_t asked = 1;
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.mode);
        if (i > 0) tap(c.button);
        if (i > 0) ++asked;
        ASSERT_EQ(count("getScores"), asked);
        EXPECT_EQ(param(svc.requestsFor("getScores").back(), "intervalType"), std::to_string(c.mode));
        EXPECT_EQ(screen->leaderboardMode(), c.mode);
        EXPECT_EQ(idsOf(screen->leaders()), c.leaders);
        EXPECT_TRUE(c.button->isSelected());
        EXPECT_EQ(screen->todayButton()->isSelected() + screen->thisWeekButton()->isSelected() +
                      screen->allTimeButton()->isSelected(),
                  1);
        // The shown period's button again: nothing is asked.
        EXPECT_FALSE(c.mode == 1   ? screen->updateForToday()
                     : c.mode == 2 ? screen->updateForThisWeek()
                                   : screen->updateForAllTime());
        tap(c.button);
        EXPECT_EQ(count("getScores"), asked);
    }
}

TEST_F(LeaderboardTest, PlacesHaveTwoDigitsScoresAreGroupedAndTheUsersAreaSitsUnderTheDash) {
    startUser("Vera", "Viewer");
    std::vector<service::UserFields> fields(125);
    for (size_t i = 0; i < fields.size(); ++i) {
        fields[i].firstName = "Player" + std::to_string(i + 1);
        fields[i].lastName = "Surname";
    }
    const auto players = svc.createUsers(kDemo, fields);
    for (size_t i = 0; i < players.size(); ++i)
        score(players[i], 1000000 - static_cast<int64_t>(i) * 1000);
    score(me(), 1000000 - 121 * 1000 - 500); // between the 122nd and the 123rd
    loadMyData();
    auto screen = openLeaderboard();
    ASSERT_TRUE(screen);
    auto& table = *screen->leadersTable();
    ASSERT_EQ(table.numberOfSections(), 2);
    EXPECT_EQ(table.numberOfRowsInSection(0), 10);
    EXPECT_EQ(table.numberOfRowsInSection(1), 5);
    EXPECT_EQ(screen->heightForHeaderInSection(table, 1), 10.0);
    EXPECT_EQ(screen->heightForHeaderInSection(table, 0), 0.0);
    EXPECT_TRUE(screen->viewForHeaderInSection(table, 1));
    EXPECT_EQ(screen->heightForRowAtIndexPath(table, {0, 0}), screen->sampleCell()->frame().height());

    struct Case {
        int section, row;
        const char *place, *name, *score;
        bool mine;
    } cases[] = {
        {0, 0, "01", "Player1 S.", "1,000,000", false},  {0, 6, "07", "Player7 S.", "994,000", false},
        {1, 0, "121", "Player121 S.", "880,000", false}, {1, 2, "123", "Vera V.", "878,500", true},
        {1, 4, "125", "Player124 S.", "877,000", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.place);
        auto cell = cellAt(*screen, c.section, c.row);
        ASSERT_TRUE(cell);
        // Only the user's own row stands out; a reused cell does not carry the mark to another player.
        ASSERT_TRUE(cell->backgroundView());
        EXPECT_EQ(cell->backgroundView()->backgroundColor().isClear(), !c.mine);
        EXPECT_EQ(cell->userPositionLabel()->text(), c.place);
        EXPECT_EQ(cell->userNameLabel()->text(), c.name);
        EXPECT_EQ(cell->userScoreLabel()->text(), c.score);
        EXPECT_EQ(cell->userLocationLabel()->text(), "");
        // Without a second line the name sits in the middle of the row.
        EXPECT_DOUBLE_EQ(cell->nameLabelTopSpaceConstraint()->constant(),
                         (cell->frame().height() - cell->userNameLabel()->frame().height()) * 0.5);
    }
}

TEST_F(LeaderboardTest, WithoutAScoreOrWithoutRowsAroundTheUserThereIsOneSection) {
    startUser();
    // Eleven players above the user: the user's place (12th) is under the ten leaders.
    std::vector<service::UserFields> fields(11);
    for (size_t i = 0; i < fields.size(); ++i)
        fields[i].firstName = "Ada" + std::to_string(i + 1);
    const auto others = svc.createUsers(kDemo, fields);
    for (const auto& other : others)
        score(other, 100);
    score(others[0], 100, 0, "quiz_9");
    score(others[0], 100, 0, "quiz_7");
    score(me(), 40);
    score(me(), 40, 0, "quiz_7");
    const struct {
        const char* name;
        const char* level;
        int32_t myScore; // as the session holds it
        size_t leaders, userArea;
    } cases[] = {
        // The 11th and the user's own row; the 10th is among the leaders already.
        {"a user whose score is 0", "", 0, 10, 2},
        {"no score of the user in this level", "quiz_9", 40, 1, 0},
        {"the user among the leaders: nothing shown twice", "quiz_7", 40, 2, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto screen = openLeaderboard(c.level);
        ASSERT_TRUE(screen);
        VelkoraAgentInternal::instance().velkoraUser()->setScore(c.myScore);
        screen->leadersTable()->reloadData();
        EXPECT_EQ(screen->leaders().size(), c.leaders);
        EXPECT_EQ(screen->myNeighbours().size(), c.userArea);
        EXPECT_EQ(screen->leadersTable()->numberOfSections(), 1);
        EXPECT_EQ(screen->heightForHeaderInSection(*screen->leadersTable(), 0), 0.0);
    }
}

TEST_F(LeaderboardTest, TapsOnRowsOpenProfilesOrAskAnAnonymousUserToSignIn) {
    startUser("", ""); // anonymous
    const std::string ada = createNamed("Ada", "Lovelace");
    const std::string guest = svc.createUser(kDemo);
    score(ada, 300);
    score(guest, 200);
    score(me(), 100);
    loadMyData();
    auto screen = openLeaderboard();
    ASSERT_TRUE(screen);
    ASSERT_EQ(idsOf(screen->leaders()), (std::vector<std::string>{ada, guest, me()}));
    auto mine = cellAt(*screen, 0, 2);
    ASSERT_TRUE(mine);
    EXPECT_EQ(mine->userNameLabel()->text(), "Guest");
    EXPECT_EQ(mine->userLocationLabel()->text(), "That's you! Sign in to show your name.");
    EXPECT_EQ(mine->nameLabelTopSpaceConstraint()->constant(), 0.0);
    EXPECT_EQ(cellAt(*screen, 0, 1)->userNameLabel()->text(), "Guest");
    EXPECT_EQ(cellAt(*screen, 0, 1)->userLocationLabel()->text(), "");

    auto& table = *screen->leadersTable();
    // Another anonymous user's row: nothing but the deselection.
    const size_t windows = ui::Application::instance().windows().size();
    table.selectRowAtIndexPath(ui::IndexPath{0, 1}, false, ui::TableViewScrollPosition::None);
    screen->didSelectRowAtIndexPath(table, {0, 1});
    settleScreen();
    EXPECT_EQ(topScreen(), screen);
    EXPECT_EQ(ui::Application::instance().windows().size(), windows);
    EXPECT_FALSE(table.indexPathForSelectedRow());

    // The user's own row while anonymous: the sign-in question; signing in asks for the period again.
    svc.clearRequests();
    screen->didSelectRowAtIndexPath(table, {0, 2});
    settleScreen();
    EXPECT_GT(ui::Application::instance().windows().size(), windows) << "the sign-in question is up";
    ASSERT_TRUE(screen->signinHelper());
    EXPECT_EQ(count("getScores"), 0u);
    screen->didSignin();
    ASSERT_TRUE(waitForRequests("getScores", 1));
    settleScreen();
    EXPECT_EQ(param(svc.requestsFor("getScores")[0], "intervalType"), "1");
    EXPECT_FALSE(screen->activityIndicator()->isAnimating());

    // Another user's row: that user's profile.
    screen->didSelectRowAtIndexPath(table, {0, 0});
    settleScreen();
    auto profile = std::dynamic_pointer_cast<VelkoraOtherUserProfileViewController>(topScreen());
    ASSERT_TRUE(profile);
    EXPECT_EQ(profile->velkoraUser()->userId(), ada);
    EXPECT_EQ(profile->featureTabDelegate(), container_);
}

TEST_F(LeaderboardTest, TheSignedInUsersOwnRowDoesNothing) {
    startUser();
    score(me(), 100);
    loadMyData();
    auto screen = openLeaderboard();
    ASSERT_TRUE(screen);
    ASSERT_EQ(idsOf(screen->leaders()), (std::vector<std::string>{me()}));
    EXPECT_EQ(cellAt(*screen, 0, 0)->userNameLabel()->text(), "Vera V.");
    const size_t windows = ui::Application::instance().windows().size();
    screen->didSelectRowAtIndexPath(*screen->leadersTable(), {0, 0});
    settleScreen();
    EXPECT_EQ(topScreen(), screen);
    EXPECT_EQ(ui::Application::instance().windows().size(), windows);
    EXPECT_FALSE(screen->signinHelper());
}

TEST_F(LeaderboardTest, FeatureOneHundredTwoOpensTheOverallBoardWithTheProfileButton) {
    startUser();
    score(me(), 70);
    // The session is ready once it holds the application's configuration.
    auto data = std::make_shared<VelkoraAppData>();
    data->setAppName(std::string("Quiz Night"));
    VelkoraAgentInternal::instance().setAppData(data);
    svc.clearRequests();
    show(ui::ViewController::create());
    VelkoraAgentInternal::instance().openFeature(102, nav_, false);
    loop().advance(1);
    settleScreen();
    auto screen = std::dynamic_pointer_cast<VelkoraLeaderboardViewController>(topScreen());
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->level(), "");
    EXPECT_TRUE(screen->shouldShowProfileButton());
    EXPECT_EQ(screen->titleText(), "Leaderboard");
    ASSERT_EQ(count("getScores"), 1u);
    EXPECT_EQ(param(svc.requestsFor("getScores")[0], "level"), "");
    EXPECT_EQ(idsOf(screen->leaders()), (std::vector<std::string>{me()}));
}

TEST_F(LeaderboardTest, TheOverallBoardAndAQuizsBoardReportDifferentUsageEvents) {
    startUser();
    const struct {
        const char* level;
        const char* event;
    } cases[] = {{"", "feature-viewed;leaderboard"}, {"quiz_3", "feature-viewed;highscores"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.level);
        VelkoraLogEventsManager::instance().takeLoggedEvents();
        svc.clearRequests();
        const size_t sentBefore = svc.events(kDemo).size();
        auto screen = openLeaderboard(c.level);
        ASSERT_TRUE(screen);
        EXPECT_EQ(param(svc.requestsFor("getScores").at(0), "level"), c.level[0] ? "quiz_3" : "");
        // Each event carries its time after a ";"; it waits for a poll, or rode on one already.
        int viewed = 0;
        for (const auto& e : VelkoraLogEventsManager::instance().takeLoggedEvents())
            viewed += e.rfind(std::string(c.event) + ";", 0) == 0;
        const auto sent = svc.events(kDemo);
        for (size_t i = sentBefore; i < sent.size(); ++i)
            viewed += sent[i].find(std::string(c.event) + ";") != std::string::npos;
        EXPECT_EQ(viewed, 1);
    }
}

// ---- failures

TEST_F(LeaderboardTest, ALateReplyForAPeriodNoLongerShownIsDropped) {
    clockOnWednesdayNoon();
    startUser();
    const std::string old = createNamed("Cleo", "Long"), today = createNamed("Ada", "Today");
    score(old, 300, 30 * 86400);
    score(today, 100, 60);
    // Today's answer is held until the person has moved on to all time and seen its rows.
    svc.addFault(Fault{"getScores", Fault::Kind::Delay, "", 500, 600, 1});
    auto screen = std::dynamic_pointer_cast<VelkoraLeaderboardViewController>(
        VelkoraScreenRegistry::instance().makeScreen("leaderboard"));
    ASSERT_TRUE(screen);
    show(screen);
    ASSERT_TRUE(screen->activityIndicator()->isAnimating());
    ASSERT_TRUE(waitFor([&] { return count("getScores") == 1; }));
    ASSERT_TRUE(screen->updateForAllTime());
    ASSERT_TRUE(waitFor([&] {
        return count("getScores") == 2 && VelkoraServerClientAgent::instance().workingProtocolsWrappers().size() == 1;
    }));
    loop().advance(0.1);
    ASSERT_EQ(idsOf(screen->leaders()), (std::vector<std::string>{old, today}));
    svc.releaseDelays();
    settleScreen();
    EXPECT_EQ(screen->leaderboardMode(), 3);
    EXPECT_EQ(idsOf(screen->leaders()), (std::vector<std::string>{old, today})) << "today's rows are only Ada's";
    EXPECT_FALSE(screen->activityIndicator()->isAnimating());
    EXPECT_TRUE(screen->allTimeButton()->isSelected());
    // Called straight, a today answer changes nothing either.
    foundation::Value todayReply(foundation::Dictionary{{"leaders", foundation::Value(foundation::Array{})},
                                                        {"userArea", foundation::Value(foundation::Array{})}});
    screen->gotScoresOfToday(todayReply);
    EXPECT_EQ(idsOf(screen->leaders()), (std::vector<std::string>{old, today}));
}

TEST_F(LeaderboardTest, AnAnswerOrFailureOfARequestNoLongerTheLatestIsDropped) {
    // Today's first request is held while the person goes to this week and back to today; when it is let
    // go, its outcome belongs to a request that is no longer the latest, though it is for the period shown.
    const struct {
        const char* name;
        Fault outcome; // what the held request meets once it runs
    } cases[] = {
        {"an answer without rows",
         Fault{"getScores", Fault::Kind::Answer, R"({"topScores":[],"userArea":[]})", 500, 0, 1}},
        {"an error reply", Fault{"getScores", Fault::Kind::ErrorCode, "SERVICE_DOWN", 500, 0, 1}},
    };
    startUser();
    const std::string ada = createNamed("Ada", "Today");
    score(ada, 100);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        svc.clearFaults();
        svc.clearRequests();
        // Held far longer than the test runs: only releaseDelays lets it go.
        svc.addFault(Fault{"getScores", Fault::Kind::Delay, "", 500, 600, 1});
        auto screen = std::dynamic_pointer_cast<VelkoraLeaderboardViewController>(
            VelkoraScreenRegistry::instance().makeScreen("leaderboard"));
        ASSERT_TRUE(screen);
        show(screen);
        ASSERT_TRUE(waitFor([&] { return count("getScores") == 1; }));
        ASSERT_TRUE(screen->updateForThisWeek());
        ASSERT_TRUE(screen->updateForToday());
        // Both later requests answered; only the held one is still on its way.
        ASSERT_TRUE(waitFor([&] {
            return count("getScores") == 3 &&
                   VelkoraServerClientAgent::instance().workingProtocolsWrappers().size() == 1;
        }));
        loop().advance(0.1);
        ASSERT_EQ(screen->leaderboardMode(), 1);
        ASSERT_EQ(idsOf(screen->leaders()), (std::vector<std::string>{ada}));
        ASSERT_FALSE(screen->activityIndicator()->isAnimating());

        svc.addFault(c.outcome);
        svc.releaseDelays();
        settleScreen();
        EXPECT_TRUE(svc.requestsFor("getScores").size() == 3) << "the held request was not asked again";
        EXPECT_EQ(idsOf(screen->leaders()), (std::vector<std::string>{ada})) << "the latest answer's rows stay";
        EXPECT_FALSE(screen->activityIndicator()->isAnimating());
        EXPECT_EQ(toastShowing(), "") << "a failure nobody waits for shows nothing";
        EXPECT_FALSE(screen->updateForToday()) << "today is answered: the same button still asks nothing";
        EXPECT_TRUE(screen->todayButton()->isSelected());
    }
}

TEST_F(LeaderboardTest, AFailedRequestStopsTheSpinnerKeepsTheRowsAndLetsTheButtonAskAgain) {
    startUser();
    const std::string ada = createNamed("Ada", "Lovelace");
    score(ada, 300);
    const struct {
        const char* name;
        Fault::Kind kind;
        const char* value;
    } cases[] = {{"error reply", Fault::Kind::ErrorCode, "SERVICE_DOWN"}, {"dropped", Fault::Kind::Drop, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        svc.clearFaults();
        auto screen = openLeaderboard();
        ASSERT_TRUE(screen);
        ASSERT_EQ(idsOf(screen->leaders()), (std::vector<std::string>{ada}));
        svc.addFault(Fault{"getScores", c.kind, c.value, 500, 0, -1});
        svc.clearRequests();
        ASSERT_TRUE(screen->updateForThisWeek());
        EXPECT_TRUE(screen->activityIndicator()->isAnimating());
        // A dropped connection is tried again a few times, a second apart, before it fails.
        ASSERT_TRUE(waitAdvancing([&] { return !screen->activityIndicator()->isAnimating(); }, 30));
        settleScreen();
        EXPECT_EQ(toastShowing(), "There is no network connection. What you asked for will be sent once the "
                                  "network is back.");
        EXPECT_EQ(idsOf(screen->leaders()), (std::vector<std::string>{ada})) << "the rows stay";
        EXPECT_EQ(screen->leaderboardMode(), 2);
        EXPECT_TRUE(screen->thisWeekButton()->isSelected());
        // The service is back: the same button asks again and shows the week.
        svc.clearFaults();
        const size_t asked = count("getScores");
        ASSERT_TRUE(screen->updateForThisWeek());
        ASSERT_TRUE(waitForRequests("getScores", asked + 1));
        settleScreen();
        EXPECT_FALSE(screen->activityIndicator()->isAnimating());
        EXPECT_EQ(idsOf(screen->leaders()), (std::vector<std::string>{ada}));
        EXPECT_FALSE(screen->updateForThisWeek()) << "answered: the guard is back";
        loop().advance(5); // the notice closes
    }
}

// ---- pictures

TEST_F(LeaderboardTest, PicturesOnPhoneAndTablet) {
    startUser("Vera", "Viewer");
    const struct {
        const char *first, *last, *picture, *colour;
        int64_t points;
    } players[] = {{"Ana", "Souza", "board/ana.png", "#3B8FE0", 125000},
                   {"Björn", "Holm", "", "", 117650},
                   {"Chloé", "Martin", "board/chloe.png", "#3DB24B", 98300},
                   {"Diego", "Ruiz", "board/diego.png", "#F29B30", 41007}};
    for (const auto& p : players) {
        service::UserFields f;
        f.firstName = p.first;
        f.lastName = p.last;
        if (*p.picture) f.photoUrl = svc.addPicture(p.picture, picturePng(p.colour, 96), "image/png");
        score(svc.createUser(kDemo, f), p.points);
    }
    score(svc.createUser(kDemo), 1200); // a guest
    score(me(), 40000);
    loadMyData();
    for (bool tablet : {false, true}) {
        SCOPED_TRACE(tablet ? "tablet" : "phone");
        if (tablet) becomeTablet();
        auto screen = openLeaderboard();
        ASSERT_TRUE(screen);
        // Every player is among the leaders: no rows repeated under the dash.
        ASSERT_EQ(screen->leadersTable()->numberOfSections(), 1);
        // The rows show the stand-in picture at once; those with a photo wait for it.
        ASSERT_TRUE(waitFor([&] {
            for (const auto& c : screen->leadersTable()->visibleCells()) {
                auto cell = std::dynamic_pointer_cast<VelkoraLeaderboardTableCell>(c);
                auto user = cell && cell->cellUser() ? cell->cellUser()->user() : nullptr;
                if (user && user->userPhotoUrl() && !user->userPhotoUrl()->empty() &&
                    !cell->userImageView()->imageLoaded())
                    return false;
            }
            return true;
        }));
        ASSERT_TRUE(picturesLoaded());
        expectLooksLike(tablet ? "leaderboard_tablet" : "leaderboard");
    }
}

} // namespace
