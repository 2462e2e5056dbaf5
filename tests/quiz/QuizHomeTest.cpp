// The quiz home opened as feature 103 without a quiz id: the user's points and coins as the service
// counts them, the rows to the list, the store and the leaderboard, the sounds switch that the local
// record keeps, and the test-mode warning about coin packs without a store product.
#include <fstream>

#include <nlohmann/json.hpp>

#include "QuizHomeFixture.h"
#include "support/ScratchInterfaces.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

class QuizHome : public QuizHomeTest {};

TEST_F(QuizHome, ShowsTheServicesPointsAndCoinsGroupedAndAPollsNewCoinsAtOnce) {
    startDemo();
    VelkoraServerApi::setScore(std::string(""), 12345);
    ASSERT_TRUE(settle());
    setCoins(1234);
    auto home = openHome();
    ASSERT_TRUE(home);
    EXPECT_EQ(home->nibName(), "VelkoraQuizProfileView");
    ASSERT_TRUE(home->totalPointsNumberLabel() && home->coinsNumberLabel());
    EXPECT_TRUE(home->shouldShowProfileButton());
    EXPECT_EQ(home->totalPointsNumberLabel()->text(), "12,345");
    EXPECT_EQ(home->totalPointsTitleLabel()->text(), "Total points");
    EXPECT_EQ(home->coinsNumberLabel()->text(), "1,234");
    EXPECT_EQ(home->coinsTitleLabel()->text(), "Coins");
    ASSERT_TRUE(picturesLoaded());
    expectLooksLike("quiz_home_phone");

    // The service's count changes behind the kit's back; the next poll brings it to the open screen.
    svc.setUserCoins(kDemo, userId_, 2500);
    VelkoraServerApi::updateNow();
    EXPECT_TRUE(waitFor([&] { return home->coinsNumberLabel()->text() == "2,500"; }));
}

TEST_F(QuizHome, AFeedPostsActionHandsTheHomeItsQuiz) {
    auto home =
        std::dynamic_pointer_cast<VelkoraQuizProfileViewController>(VelkoraScreenRegistry::instance().makeScreen(
            "quizHome", foundation::Value(foundation::Dictionary{{"quizId", foundation::Value(7)}})));
    ASSERT_TRUE(home);
    EXPECT_EQ(home->quizId(), 7);
    EXPECT_TRUE(home->shouldShowProfileButton());
}

TEST_F(QuizHome, OnATabletComesFromItsTabletFile) {
    becomeTablet();
    startDemo();
    setCoins(75);
    auto home = openHome();
    ASSERT_TRUE(home);
    EXPECT_EQ(home->nibName(), "iPad_VelkoraQuizProfileView");
    ASSERT_TRUE(picturesLoaded());
    expectLooksLike("quiz_home_tablet");
}

TEST_F(QuizHome, RowsOpenTheListTheStoreAndTheOverallLeaderboard) {
    startDemo();
    auto home = openHome();
    ASSERT_TRUE(home);
    auto& table = *home->quizProfileTable();
    ASSERT_EQ(table.numberOfRowsInSection(0), 4);
    const double heights[] = {64, 44, 44, 44};
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(home->heightForRowAtIndexPath(table, ui::IndexPath{0, row}), heights[row]);
    auto play = cellAt<VelkoraQuizProfileTableCell>(table, 0);
    ASSERT_TRUE(play);
    EXPECT_FALSE(play->playGameButton()->isHidden());
    EXPECT_TRUE(play->titleLabel()->isHidden());
    EXPECT_EQ(play->playGameButton()->titleForState(ui::ControlStateNormal), "Play");
    auto buy = cellAt<VelkoraQuizProfileTableCell>(table, 1);
    EXPECT_EQ(buy->titleLabel()->text(), "Buy coins");
    EXPECT_TRUE(buy->playGameButton()->isHidden());
    EXPECT_FALSE(buy->moreImage()->isHidden());

    // The play row itself cannot be chosen: only its button plays.
    EXPECT_FALSE(home->willSelectRowAtIndexPath(table, ui::IndexPath{0, 0}));
    const size_t base = nav_->viewControllers().size();
    struct Case {
        int row;
        const char* screen;
        const char* title;
    };
    for (const Case& c :
         {Case{-1, "VelkoraQuizzesViewController", "Quizzes"},
          Case{1, "VelkoraQuizPurchaseViewController", "Coin store"}, Case{2, "OpenedStandIn", "Leaderboard"}}) {
        SCOPED_TRACE(c.screen);
        if (c.row < 0)
            tap(play->playGameButton());
        else
            table.tapRowAtIndexPath(ui::IndexPath{0, c.row});
        loop().advance(1);
        ASSERT_EQ(nav_->viewControllers().size(), base + 1);
        auto screen = top<VelkoraGeneralFeatureViewController>();
        ASSERT_TRUE(screen);
        EXPECT_STREQ(screen->className(), c.screen);
        EXPECT_EQ(screen->titleText(), c.title);
        EXPECT_EQ(screen->featureTabDelegate(), home->featureTabDelegate());
        if (auto store = std::dynamic_pointer_cast<VelkoraQuizPurchaseViewController>(screen)) {
            EXPECT_EQ(store->quizId(), -1);
            EXPECT_EQ(store->questionId(), -1);
        }
        nav_->popViewController(false);
        loop().advance(1);
    }
    // The overall leaderboard: level "".
    ASSERT_EQ(opened_.size(), 1u);
    ASSERT_TRUE(opened_[0]->object1.asString());
    EXPECT_EQ(*opened_[0]->object1.asString(), "");
    EXPECT_FALSE(opened_[0]->shouldShowProfileButton()) << "only the leaderboard feature has it";
}

TEST_F(QuizHome, TheSoundsRowFlipsTwiceBackAndTheSettingSurvivesARestart) {
    startDemo();
    auto home = openHome();
    ASSERT_TRUE(home);
    auto& table = *home->quizProfileTable();
    auto sounds = cellAt<VelkoraQuizProfileTableCell>(table, 3);
    ASSERT_TRUE(sounds);
    EXPECT_EQ(sounds->titleLabel()->text(), "Sounds");
    EXPECT_FALSE(sounds->soundsOnView()->isHidden());
    EXPECT_TRUE(sounds->soundsOffView()->isHidden());
    EXPECT_TRUE(sounds->moreImage()->isHidden());
    EXPECT_EQ(sounds->soundsOnLabel()->text(), "On");

    table.tapRowAtIndexPath(ui::IndexPath{0, 3});
    EXPECT_TRUE(session().userInfo()->playQuizOnMute());
    sounds = cellAt<VelkoraQuizProfileTableCell>(table, 3);
    EXPECT_TRUE(sounds->soundsOnView()->isHidden());
    EXPECT_FALSE(sounds->soundsOffView()->isHidden());
    EXPECT_EQ(sounds->soundsOffLabel()->text(), "Off");
    ASSERT_TRUE(picturesLoaded());
    expectLooksLike("quiz_home_muted_phone");

    table.tapRowAtIndexPath(ui::IndexPath{0, 3});
    EXPECT_FALSE(session().userInfo()->playQuizOnMute());
    table.tapRowAtIndexPath(ui::IndexPath{0, 3});
    EXPECT_TRUE(session().userInfo()->playQuizOnMute());

    // A new run of the host reads the record from its archive.
    nav_.reset();
    window_.reset();
    VelkoraAgentInternal::resetForTests();
    VelkoraAgentInternal::instance().initUserInfo(kDemo);
    ASSERT_TRUE(VelkoraAgentInternal::instance().userInfo());
    EXPECT_TRUE(VelkoraAgentInternal::instance().userInfo()->playQuizOnMute());
}

TEST_F(QuizHome, InTestModeAMissingCoinPackShowsTheNotReadyPopupAndOtherwiseNone) {
    struct Case {
        bool testMode;
        bool allPacks;
        bool popup;
    };
    startDemo(false);
    const auto allPacks = *session().appData()->productIds();
    for (const Case& c : {Case{true, false, true}, Case{true, true, false}, Case{false, false, false}}) {
        SCOPED_TRACE(std::to_string(c.testMode) + " " + std::to_string(c.allPacks));
        session().setTestMode(c.testMode);
        auto ids = allPacks;
        if (!c.allPacks) ids.erase("velkora.coins.500");
        session().appData()->setProductIds(ids);
        auto home = openHome();
        ASSERT_TRUE(home);
        auto popup = popupShowing<VelkoraDefaultOKPopupView>();
        EXPECT_EQ(static_cast<bool>(popup), c.popup);
        if (popup) {
            EXPECT_EQ(popup->titleLabel()->text(), "Quizzes not ready");
            EXPECT_EQ(popup->messageLable()->text(),
                      "Some quiz products of this application were not found in the store.");
            EXPECT_EQ(popup->okButton()->titleForState(ui::ControlStateNormal), "OK");
            ASSERT_TRUE(picturesLoaded());
            expectScreenLooksLike("quiz_not_ready_popup_phone");
            tap(popup->okButton());
            loop().advance(0.5);
            EXPECT_FALSE(popupShowing<VelkoraDefaultOKPopupView>());
        }
    }
}

// A popup file that lacks its labels (a host's own, trimmed): the not-ready popup still shows, with its button.
TEST_F(QuizHome, TheNotReadyPopupShowsFromAFileWithoutItsLabels) {
    std::ifstream original(ui::InterfaceLoader::instance().interfacesPath() + "/VelkoraOKPopupView.json");
    auto file = nlohmann::json::parse(original);
    auto& parts = file["objects"][0]["subviews"];
    for (auto it = parts.begin(); it != parts.end();)
        it = it->value("class", "") == "Label" ? parts.erase(it) : it + 1;
    ScratchInterfaces files({}, {{"VelkoraOKPopupView", file.dump()}});
    startDemo(false);
    session().setTestMode(true);
    auto ids = *session().appData()->productIds();
    ids.erase("velkora.coins.500");
    session().appData()->setProductIds(ids);
    auto home = openHome();
    ASSERT_TRUE(home);
    auto popup = popupShowing<VelkoraDefaultOKPopupView>();
    ASSERT_TRUE(popup);
    EXPECT_FALSE(popup->titleLabel());
    EXPECT_FALSE(popup->messageLable());
    ASSERT_TRUE(popup->okButton());
    tap(popup->okButton());
    loop().advance(0.5);
    EXPECT_FALSE(popupShowing<VelkoraDefaultOKPopupView>());
}

} // namespace

namespace {

// The end of a game posts to the feed with the application's picture: the demo's is served by the
// service itself.
TEST_F(QuizHome, TheDemoApplicationsPictureIsServedOnThePictureRoute) {
    auto reply = svc.answer("GET", "/pictures/app/icon.png");
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.contentType, "image/png");
    EXPECT_EQ(reply.body.compare(0, 4, "\x89PNG"), 0);
}

} // namespace
