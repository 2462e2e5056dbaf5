// The quiz list against the demo application's quizzes: playing an open quiz, the unlock popup with its
// costs and the buttons the user's coins do not cover, unlocking one quiz or all of them on the
// service, and what the list does when the service refuses, fails or does not answer. A list of one quiz
// steps aside.
#include "QuizHomeFixture.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

class QuizList : public QuizHomeTest {
protected:
    // The list pushed on the quiz home, its first answer in.
    std::shared_ptr<VelkoraQuizzesViewController> openList() {
        auto home = openHome();
        if (!home) return nullptr;
        auto play = cellAt<VelkoraQuizProfileTableCell>(*home->quizProfileTable(), 0);
        if (!play) return nullptr;
        tap(play->playGameButton());
        loop().advance(1);
        auto list = top<VelkoraQuizzesViewController>();
        if (!list) return nullptr;
        settleScreen();
        return list;
    }
    int rowOf(const VelkoraQuizzesViewController& list, const std::string& name) {
        for (size_t i = 0; i < list.quizzes().size(); ++i)
            if (list.quizzes()[i]->name() == name) return static_cast<int>(i);
        return -1;
    }
    std::shared_ptr<VelkoraQuizCell> cellOf(VelkoraQuizzesViewController& list, const std::string& name) {
        return cellAt<VelkoraQuizCell>(*list.quizzesTable(), rowOf(list, name));
    }
    std::string actionTitle(VelkoraQuizzesViewController& list, const std::string& name) {
        auto cell = cellOf(list, name);
        return cell ? cell->actionButton()->titleForState(ui::ControlStateNormal).value_or("") : "<no row>";
    }
    // The locked quiz's popup, opened from its row's button.
    std::shared_ptr<VelkoraQuizBuyQuizPopupView> openPopup(VelkoraQuizzesViewController& list) {
        return openPopupOf(list, "Night Sky");
    }
    std::shared_ptr<VelkoraQuizBuyQuizPopupView> openPopupOf(VelkoraQuizzesViewController& list,
                                                             const std::string& name) {
        auto cell = cellOf(list, name);
        if (!cell) return nullptr;
        tap(cell->actionButton());
        loop().advance(0.5);
        return popupShowing<VelkoraQuizBuyQuizPopupView>();
    }
    // A list of quizzes as the service would give it, handed to the list as its answer.
    static foundation::Value reply(std::vector<std::pair<bool, int32_t>> lockedAndCoins, int32_t unlockAll = 0) {
        foundation::Array quizzes;
        int32_t id = 700;
        for (auto [locked, coins] : lockedAndCoins) {
            auto quiz = std::make_shared<VelkoraQuiz>();
            quiz->setQuizId(++id);
            quiz->setName("Quiz " + std::to_string(id));
            quiz->setDescription(std::string());
            quiz->setIsLocked(locked);
            quiz->setCoinsToUnlock(coins);
            quizzes.push_back(foundation::Value::object(quiz));
        }
        return foundation::Value(foundation::Dictionary{{"quizzes", foundation::Value(std::move(quizzes))},
                                                        {"unlockAllQuizzesCoins", foundation::Value(unlockAll)}});
    }
};

TEST_F(QuizList, ShowsTheSeededQuizzesAndPlaysTheOpenOne) {
    startDemo();
    auto list = openList();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->nibName(), "VelkoraQuizzesList");
    EXPECT_EQ(list->titleText(), "Quizzes");
    ASSERT_GE(rowOf(*list, "World Capitals"), 0);
    ASSERT_GE(rowOf(*list, "Night Sky"), 0);
    EXPECT_EQ(list->unlockAllQuizzesCoins(), 500);
    EXPECT_FALSE(list->activityIndicator()->isAnimating());
    EXPECT_EQ(actionTitle(*list, "World Capitals"), "Play");
    EXPECT_EQ(actionTitle(*list, "Night Sky"), "Unlock");
    auto capitals = cellOf(*list, "World Capitals");
    EXPECT_EQ(capitals->descriptionLabel()->text(), "How well do you know the capitals?");
    EXPECT_EQ(capitals->nameLabelTopSpaceConstraint()->constant(), capitals->nameOrigY());
    ASSERT_TRUE(picturesLoaded());
    expectLooksLike("quiz_list_phone");

    tap(capitals->actionButton());
    loop().advance(1);
    auto play = top<OpenedStandIn>();
    ASSERT_TRUE(play);
    EXPECT_EQ(play->feature, "quiz");
    EXPECT_EQ(play->object1.int32Or(0), list->quizzes()[rowOf(*list, "World Capitals")]->quizId());
    EXPECT_EQ(play->titleText(), "Quiz");
}

TEST_F(QuizList, OnATabletTheListAndItsPopupComeFromTheirTabletFiles) {
    becomeTablet();
    startDemo();
    setCoins(120);
    auto list = openList();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->nibName(), "iPad_VelkoraQuizzesList");
    ASSERT_TRUE(picturesLoaded());
    expectLooksLike("quiz_list_tablet");
    auto popup = openPopup(*list);
    ASSERT_TRUE(popup);
    ASSERT_TRUE(picturesLoaded());
    expectScreenLooksLike("quiz_unlock_popup_tablet");
}

TEST_F(QuizList, WithTooFewCoinsForAllOnlyTheSingleUnlockIsOfferedAndItUnlocksOnTheService) {
    startDemo();
    setCoins(120);
    auto list = openList();
    ASSERT_TRUE(list);
    auto popup = openPopup(*list);
    ASSERT_TRUE(popup);
    EXPECT_EQ(list->quizToUnlock(), list->quizzes()[rowOf(*list, "Night Sky")]);
    EXPECT_EQ(popup->titleLabel()->text(), "Locked quiz");
    EXPECT_EQ(popup->singleQuizCostLabel()->text(), "50 coins");
    EXPECT_EQ(popup->allQuizzesCostLabel()->text(), "500 coins");
    EXPECT_FALSE(popup->singleQuizCostLabel()->isHidden());
    EXPECT_EQ(popup->cancelButton()->titleForState(ui::ControlStateNormal), "Unlock this quiz");
    EXPECT_EQ(popup->okButton()->titleForState(ui::ControlStateNormal), "Unlock all quizzes");
    EXPECT_EQ(popup->buyCoinsButton()->titleForState(ui::ControlStateHighlighted), "Buy coins");
    EXPECT_TRUE(popup->cancelButton()->isEnabled());
    EXPECT_FALSE(popup->okButton()->isEnabled());
    // The button the coins do not cover takes the message's colour, and so does its cost.
    const ui::Color grey = popup->messageLable()->textColor();
    EXPECT_EQ(popup->okButton()->titleColorForState(ui::ControlStateNormal), std::optional<ui::Color>(grey));
    EXPECT_EQ(popup->allQuizzesCostLabel()->textColor(), grey);
    EXPECT_NE(popup->singleQuizCostLabel()->textColor(), grey);
    EXPECT_TRUE(popup->buyCoinsButton()->isEnabled());
    ASSERT_TRUE(picturesLoaded());
    expectScreenLooksLike("quiz_unlock_popup_phone");

    tap(popup->cancelButton());
    EXPECT_FALSE(list->view()->isUserInteractionEnabled());
    ASSERT_TRUE(waitFor([&] { return list->view()->isUserInteractionEnabled(); }));
    EXPECT_EQ(serviceCoins(), 70);
    EXPECT_EQ(param(svc.requestsFor("updateQuizProduct").back(), "coins"), "-50");
    EXPECT_EQ(actionTitle(*list, "Night Sky"), "Play");
    EXPECT_FALSE(list->quizToUnlock());
    EXPECT_EQ(toastShowing(), "");
}

TEST_F(QuizList, UnlockingAllAsksForTheListAgainAndBuyingCoinsOpensTheStore) {
    startDemo();
    setCoins(600);
    auto list = openList();
    ASSERT_TRUE(list);
    auto popup = openPopup(*list);
    ASSERT_TRUE(popup);
    EXPECT_TRUE(popup->okButton()->isEnabled());
    const size_t asked = count("getQuizzes");
    tap(popup->okButton());
    EXPECT_FALSE(list->quizToUnlock());
    ASSERT_TRUE(waitFor([&] { return count("getQuizzes") == asked + 1 && list->view()->isUserInteractionEnabled(); }));
    settleScreen();
    EXPECT_EQ(serviceCoins(), 100);
    EXPECT_EQ(param(svc.requestsFor("updateQuizProduct").back(), "unlockAllQuizzes"), "1");
    EXPECT_EQ(actionTitle(*list, "Night Sky"), "Play");
}

TEST_F(QuizList, BuyCoinsInThePopupOpensTheStoreForNoQuiz) {
    startDemo();
    setCoins(10);
    auto list = openList();
    ASSERT_TRUE(list);
    auto popup = openPopup(*list);
    ASSERT_TRUE(popup);
    EXPECT_FALSE(popup->cancelButton()->isEnabled());
    EXPECT_FALSE(popup->okButton()->isEnabled());
    tap(popup->buyCoinsButton());
    loop().advance(1);
    EXPECT_FALSE(popupShowing<VelkoraQuizBuyQuizPopupView>());
    auto store = top<VelkoraQuizPurchaseViewController>();
    ASSERT_TRUE(store);
    EXPECT_EQ(store->titleText(), "Coin store");
    EXPECT_EQ(store->quizId(), -1);
    EXPECT_EQ(store->questionId(), -1);
    EXPECT_EQ(store->featureTabDelegate(), list->featureTabDelegate());
}

// Nothing unlocks unless the service says so, and every outcome gives the list back to the user.
TEST_F(QuizList, UnlockOutcomes) {
    struct Case {
        const char* name;
        std::optional<service::Fault> fault;
        bool lowerBalance;
        const char* toast;
        bool asksListAgain;
    };
    service::Fault error;
    error.command = "updateQuizProduct";
    error.kind = service::Fault::Kind::ErrorCode;
    error.value = "INTERNAL_ERROR";
    service::Fault drop = error;
    drop.kind = service::Fault::Kind::Drop;
    drop.times = -1;
    const Case cases[] = {
        {"refused", std::nullopt, true, "The quiz could not be unlocked. Check your coins and try again.", true},
        {"error reply", error, false, "The quiz could not be unlocked. Check your coins and try again.", false},
        {"dropped", drop, false,
         "There is no network connection. What you asked for will be sent once the network is back.", false},
    };
    startDemo();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setCoins(120);
        auto list = openList();
        ASSERT_TRUE(list);
        if (c.lowerBalance) svc.setUserCoins(kDemo, userId_, 20); // spent elsewhere; the kit still counts 120
        if (c.fault) svc.addFault(*c.fault);
        const size_t asked = count("getQuizzes");
        auto popup = openPopup(*list);
        ASSERT_TRUE(popup);
        ASSERT_TRUE(popup->cancelButton()->isEnabled());
        tap(popup->cancelButton());
        EXPECT_FALSE(list->view()->isUserInteractionEnabled());
        ASSERT_TRUE(waitAdvancing([&] { return toastShowing() != ""; }, 120));
        EXPECT_EQ(toastShowing(), c.toast);
        ASSERT_TRUE(waitAdvancing([&] { return list->view()->isUserInteractionEnabled(); }, 30));
        svc.clearFaults();
        settleScreen();
        EXPECT_EQ(count("getQuizzes"), asked + (c.asksListAgain ? 1 : 0));
        EXPECT_EQ(actionTitle(*list, "Night Sky"), "Unlock");
        EXPECT_TRUE(list->quizzes()[rowOf(*list, "Night Sky")]->isLocked());
        EXPECT_EQ(serviceCoins(), c.lowerBalance ? 20 : 120);
        loop().advance(5); // the notice closes
    }
}

TEST_F(QuizList, AListThatDoesNotComeStopsItsSpinnerAndSaysWhy) {
    startDemo();
    service::Fault drop;
    drop.command = "getQuizzes";
    drop.kind = service::Fault::Kind::Drop;
    drop.times = -1;
    svc.addFault(drop);
    auto home = openHome();
    ASSERT_TRUE(home);
    home->playGameClicked();
    loop().advance(1);
    auto list = top<VelkoraQuizzesViewController>();
    ASSERT_TRUE(list);
    EXPECT_TRUE(list->activityIndicator()->isAnimating());
    ASSERT_TRUE(waitAdvancing([&] { return toastShowing() != ""; }, 120));
    EXPECT_EQ(toastShowing(),
              "There is no network connection. What you asked for will be sent once the network is back.");
    EXPECT_FALSE(list->activityIndicator()->isAnimating());
    EXPECT_TRUE(list->view()->isUserInteractionEnabled());
    EXPECT_TRUE(list->quizzes().empty());
    svc.clearFaults();
}

TEST_F(QuizList, ALockedQuizWithoutAPriceOpensForPlay) {
    startDemo();
    const int64_t free = svc.addQuiz(kDemo, R"({"name":"Free Pass","locked":true,"coins":0,"questions":[]})");
    auto list = openList();
    ASSERT_TRUE(list);
    ASSERT_GE(rowOf(*list, "Free Pass"), 0);
    EXPECT_EQ(actionTitle(*list, "Free Pass"), "Unlock");
    tap(cellOf(*list, "Free Pass")->actionButton());
    loop().advance(1);
    auto play = top<OpenedStandIn>();
    ASSERT_TRUE(play);
    EXPECT_EQ(play->object1.int32Or(0), free);
    EXPECT_FALSE(popupShowing<VelkoraQuizBuyQuizPopupView>());
    // A name without a description sits in the middle of its row.
    nav_->popViewController(false);
    loop().advance(1);
    auto cell = cellOf(*list, "Free Pass");
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->descriptionLabel()->text(), "");
    EXPECT_DOUBLE_EQ(cell->nameLabelTopSpaceConstraint()->constant(),
                     (cell->frame().height() - cell->nameLabel()->frame().height()) * 0.5);
    // Without a price for every quiz from the service, every quiz costs 400.
    list->gotQuizzes(reply({{true, 30}}, 0));
    EXPECT_EQ(list->unlockAllQuizzesCoins(), 400);
}

TEST_F(QuizList, AListOfOneOpenQuizPlaysItAtOnceAndBackLeadsPastTheList) {
    const int64_t only = svc.addQuiz(kApp, R"({"name":"The Only One","locked":false,"questions":[]})");
    startTestApp();
    auto list = openList();
    ASSERT_TRUE(list);
    loop().advance(1);
    auto home = nav_->viewControllers()[nav_->viewControllers().size() - 3];
    EXPECT_EQ(nav_->viewControllers()[nav_->viewControllers().size() - 2], list);
    auto play = top<OpenedStandIn>();
    ASSERT_TRUE(play);
    EXPECT_EQ(play->object1.int32Or(0), only);
    nav_->popViewController(false);
    loop().advance(1);
    window_->layoutIfNeeded();
    EXPECT_EQ(nav_->viewControllers().back(), home);
    EXPECT_EQ(home->view()->superview(), nav_->view().get());
    EXPECT_FALSE(list->navigationController());
}

TEST_F(QuizList, AListOfOneLockedQuizIsShownAndBackFromTheStoreLeadsPastIt) {
    svc.addQuiz(kApp, R"({"name":"The Only One","locked":true,"coins":30,"questions":[]})");
    startTestApp();
    auto list = openList();
    ASSERT_TRUE(list);
    auto home = nav_->viewControllers()[nav_->viewControllers().size() - 2];
    loop().advance(1);
    EXPECT_EQ(top<VelkoraQuizzesViewController>(), list);
    ASSERT_EQ(list->quizzes().size(), 1u);
    EXPECT_EQ(actionTitle(*list, "The Only One"), "Unlock");
    auto popup = openPopupOf(*list, "The Only One");
    ASSERT_TRUE(popup);
    tap(popup->buyCoinsButton());
    loop().advance(1);
    loop().advance(1);
    ASSERT_TRUE(top<VelkoraQuizPurchaseViewController>());
    nav_->popViewController(false);
    loop().advance(1);
    window_->layoutIfNeeded();
    EXPECT_EQ(nav_->viewControllers().back(), home);
    EXPECT_EQ(home->view()->superview(), nav_->view().get());
}

} // namespace
