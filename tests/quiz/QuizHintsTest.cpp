// The hints panel, the countdown and the score ladder of the quiz play screen against velkora-service.
#include "QuizPlayFixture.h"
#include "platform/services/Device.h"
#include "platform/services/Store.h"
#include "platform/ui/Animation.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TextLayout.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "quiz/VelkoraQuizScoreViews.h"
#include "server/VelkoraServerEndpoint.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

bool offered(const std::shared_ptr<ui::View>& hint) {
    return hint && hint->alpha() == 1.0 && hint->isUserInteractionEnabled();
}

// Counts the countdown's events.
struct TimerEvents : VelkoraQuizTimerViewDelegate {
    int expired = 0, stopped = 0, warned = 0;
    void quizTimerDidExpire() override { ++expired; }
    void quizTimerDidStop() override { ++stopped; }
    void quizTimerDidEnterWarningPeriod() override { ++warned; }
};

} // namespace

TEST_F(QuizPlayTest, WhichHintsAreOffered) {
    struct Case {
        const char* what;
        int coins;
        std::string question;
        bool reserves;
        bool leaveTwo, replace, popular;
    } cases[] = {
        {"9 coins", 9, question(1, 10, 15, 5, 0, 1, "5,5,5,5"), true, false, false, false},
        {"12 coins", 12, question(1, 10, 15, 5, 0, 1, "5,5,5,5"), true, true, true, false},
        {"no reserves, no hits", 50, question(1), false, true, false, false},
        {"two answers", 50,
         R"({"id":1,"question":"Q","score":1,"timeLimit":10,"answers":[{"id":1,"answer":"a","correct":true,"picks":3},
            {"id":2,"answer":"b","picks":1}]})",
         true, false, true, true},
        {"one answer", 50,
         R"({"id":1,"question":"Q","score":1,"timeLimit":10,"answers":[{"id":1,"answer":"a","correct":true}]})", true,
         false, true, false},
    };
    startPlayer();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        svc.setUserCoins(kDemo, userId_, c.coins);
        VelkoraAgentInternal::instance().velkoraUser()->setCoins(c.coins);
        const int64_t id = addQuiz(quizJson(c.question, c.reserves ? question(9) : ""));
        open(id);
        screen_->helpClicked(nullptr);
        ASSERT_FALSE(screen_->hintsView()->isHidden());
        EXPECT_EQ(screen_->testHintsLabel()->text(), std::to_string(c.coins));
        EXPECT_EQ(offered(screen_->leaveTwoView()), c.leaveTwo);
        EXPECT_EQ(offered(screen_->replaceQuestionView()), c.replace);
        EXPECT_EQ(offered(screen_->popularAnswerView()), c.popular);
        if (!c.leaveTwo) {
            // Even asked for directly, a hint that is not offered charges nothing.
            screen_->quizHintsLeaveTwoClicked(nullptr);
            EXPECT_EQ(VelkoraAgentInternal::instance().velkoraUser()->coins(), c.coins);
        }
    }
    ASSERT_TRUE(settle());
    EXPECT_EQ(count("updateQuizProduct"), 0u);
}

TEST_F(QuizPlayTest, LeaveTwoKeepsTheCorrectAndOneRandomWrongAnswerAndRedrawsTheBars) {
    startPlayer(100);
    // r mod 3 = 1: the correct answer at index 2 and the wrong one at index 1 stay, in that order.
    VelkoraQuizPlayViewController::setRandomSourceForTests([] { return 4u; });
    const int64_t id = addQuiz(quizJson(question(1, 10, 15, 5, 2, 1, "10,20,60,10") + "," + question(2)));
    open(id);
    screen_->helpClicked(nullptr);
    screen_->quizHintsPopularAnswerClicked(nullptr);
    EXPECT_TRUE(screen_->hintsView()->isHidden());
    EXPECT_TRUE(screen_->quizTimerView()->isRunning());
    EXPECT_EQ(screen_->answerButtonsArray()[2].hintLabel->text(), "60%");
    screen_->helpClicked(nullptr);
    screen_->quizHintsLeaveTwoClicked(nullptr);
    EXPECT_EQ(shownAnswers(), (std::vector<std::string>{"Answer 1B", "Answer 1C"}));
    // The bars follow the answers to their new slots.
    EXPECT_EQ(screen_->answerButtonsArray()[0].hintLabel->text(), "20%");
    EXPECT_EQ(screen_->answerButtonsArray()[1].hintLabel->text(), "60%");
    EXPECT_FALSE(screen_->answerButtonsArray()[1].hintImage->isHidden());
    EXPECT_TRUE(screen_->answerButtonsArray()[2].hintImage->isHidden());
    // W 320, margins 20 and 20: a room of 280, of which 60% is covered from the leading side.
    EXPECT_DOUBLE_EQ(screen_->answerButtonsArray()[1].hintImageTrailingSpaceConstraint->constant(), 20 + 280 - 168);
    EXPECT_EQ(VelkoraAgentInternal::instance().velkoraUser()->coins(), 100 - 15 - 10);
    // Both spends reach the service with the question's id.
    ASSERT_TRUE(waitForRequests("updateQuizProduct", 2));
    for (const auto& r : svc.requestsFor("updateQuizProduct")) {
        EXPECT_EQ(param(r, "questionId"), "1");
        EXPECT_EQ(param(r, "quizId"), std::to_string(id));
        EXPECT_EQ(param(r, "hints"), "1");
    }
    EXPECT_EQ(serviceCoins(), 75);
    // The kept answers answer as before.
    answer(1);
    EXPECT_EQ(screen_->reportArray(), (std::vector<std::string>{"1,12"}));
}

TEST_F(QuizPlayTest, ReplaceQuestionTakesAReserveByLevel) {
    auto level = [](std::vector<int> levels) {
        std::vector<VelkoraQuizQuestionPtr> reserves;
        for (int l : levels) {
            auto q = std::make_shared<VelkoraQuizQuestion>();
            q->setLevel(l);
            reserves.push_back(q);
        }
        return reserves;
    };
    EXPECT_EQ(VelkoraQuizPlayViewController::reserveIndexForLevel(level({1, 5, 3}), 3), 1);
    EXPECT_EQ(VelkoraQuizPlayViewController::reserveIndexForLevel(level({1, 2}), 3), 1);
    EXPECT_EQ(VelkoraQuizPlayViewController::reserveIndexForLevel(level({1, 2}), -1), -1);
    EXPECT_EQ(VelkoraQuizPlayViewController::reserveIndexForLevel(level({}), 2), -1);

    startPlayer(30);
    const int64_t id = addQuiz(quizJson(question(1, 40, 12, 8, 0, 3) + "," + question(2),
                                        question(7, 1, 30, 1, 0, 1) + "," + question(8, 1, 30, 1, 0, 5)));
    open(id);
    loop().advance(4);
    screen_->helpClicked(nullptr);
    screen_->quizHintsReplaceQuestionClicked(nullptr);
    EXPECT_EQ(screen_->questionLabel()->text(), "Question number 8?");
    auto q = screen_->currentQuestion();
    EXPECT_EQ(q->score(), 40);
    EXPECT_EQ(q->timeBonus(), 8);
    EXPECT_EQ(q->timeLimit(), 12);
    EXPECT_EQ(screen_->quiz()->reserves().size(), 1u);
    // A fresh countdown, and every hint offered again for the new question.
    EXPECT_NEAR(screen_->quizTimerView()->diffFromStart(), 0, 1e-9);
    EXPECT_FALSE(screen_->hintReplaceQuestionUsed());
    ASSERT_TRUE(waitForRequests("updateQuizProduct", 1));
    EXPECT_EQ(param(svc.requestsFor("updateQuizProduct")[0], "questionId"), "8");

    // A level below 0 takes nothing and charges nothing; the countdown goes on.
    const int64_t none = addQuiz(quizJson(question(1, 10, 15, 5, 0, -1) + "," + question(2), question(7)));
    open(none);
    screen_->helpClicked(nullptr);
    screen_->quizHintsReplaceQuestionClicked(nullptr);
    EXPECT_EQ(screen_->questionLabel()->text(), "Question number 1?");
    EXPECT_TRUE(screen_->quizTimerView()->isRunning());
    EXPECT_EQ(VelkoraAgentInternal::instance().velkoraUser()->coins(), 20);
}

TEST_F(QuizPlayTest, ASpendRefusedBehindTheKitsBackLeavesTheServiceBalance) {
    startPlayer(20);
    const int64_t id = addQuiz(quizJson(question(1, 10, 15, 5, 0, 1, "1,1,1,1") + "," + question(2)));
    open(id);
    svc.setUserCoins(kDemo, userId_, 5); // lowered where the kit cannot see
    screen_->helpClicked(nullptr);
    screen_->quizHintsPopularAnswerClicked(nullptr);
    EXPECT_EQ(VelkoraAgentInternal::instance().velkoraUser()->coins(), 5); // spent locally at once
    ASSERT_TRUE(waitForRequests("updateQuizProduct", 1));
    EXPECT_EQ(serviceCoins(), 5);
    // The next poll brings the true count.
    EXPECT_TRUE(waitAdvancing([&] { return count("update") >= 3; }, 40));
    ASSERT_TRUE(settle());
    EXPECT_EQ(VelkoraAgentInternal::instance().velkoraUser()->coins(), 5);
}

TEST_F(QuizPlayTest, HintsPanelShowsThePricedCoinPacks) {
    startPlayer(12);
    VelkoraQuizIAPServerManager::instance().initProducts();
    ASSERT_TRUE(waitAdvancing(
        [] {
            return VelkoraQuizIAPServerManager::instance().productByKey(VelkoraQuizPlayViewController::kCoinPack1) &&
                   VelkoraQuizIAPServerManager::instance().productByKey(VelkoraQuizPlayViewController::kCoinPack2);
        },
        30));
    open(3);
    screen_->helpClicked(nullptr);
    EXPECT_FALSE(screen_->quizHintsPurchaseOption1View()->isHidden());
    EXPECT_FALSE(screen_->quizHintsPurchaseOption2View()->isHidden());
    EXPECT_FALSE(screen_->buyOptionsActivityIndicator()->isAnimating());
    EXPECT_FALSE(screen_->quizHintsPurchaseOption1PriceLabel()->text().empty());
    // Nothing of the question behind shows through the panel.
    EXPECT_EQ(screen_->hintsView()->backgroundColor().a, 1.0);
    settleScreen();
    expectLooksLike("QuizHintsPanel");
}

TEST_F(QuizPlayTest, WithoutKnownPacksTheOptionsHideAndTheSpinnerTurns) {
    startPlayer(12);
    open(3);
    screen_->helpClicked(nullptr);
    EXPECT_TRUE(screen_->quizHintsPurchaseOption1View()->isHidden());
    EXPECT_TRUE(screen_->quizHintsPurchaseOption2View()->isHidden());
    EXPECT_TRUE(screen_->buyOptionsActivityIndicator()->isAnimating());
    screen_->quizHintsPurchaseOption1Clicked(nullptr); // nothing to buy: nothing happens
    EXPECT_TRUE(screen_->view()->isUserInteractionEnabled());
}

TEST_F(QuizPlayTest, TheCountdownWarnsBlinksPausesAndRestarts) {
    startPlayer();
    auto timer = std::make_shared<VelkoraQuizTimerView>();
    timer->setFrame({0, 0, 60, 60});
    auto events = std::make_shared<TimerEvents>();
    timer->setDelegate(events);
    timer->setNSeconds(10);
    timer->start();
    EXPECT_EQ(events->stopped, 1); // a start stops first, even when nothing ran
    loop().advance(5.0);
    EXPECT_EQ(events->warned, 0);
    loop().advance(0.05); // the first tick with fewer than 5 s left
    EXPECT_EQ(events->warned, 1);
    const int32_t first = timer->lastWarningIndex();
    loop().advance(0.6);
    EXPECT_NE(timer->lastWarningIndex(), first); // the colours swap every half second
    loop().advance(1.0);
    EXPECT_EQ(events->warned, 1);
    // Pausing twice banks once; paused, nothing is redrawn.
    timer->pause();
    const double banked = timer->diffFromStart();
    const uint64_t draws = timer->drawCount();
    loop().advance(60);
    timer->pause();
    EXPECT_DOUBLE_EQ(timer->diffFromStart(), banked);
    EXPECT_EQ(timer->drawCount(), draws);
    timer->continueTimer();
    loop().advance(1.0);
    EXPECT_NEAR(timer->diffFromStart(), banked + 1.0, 0.06);
    // Continuing after a stop does nothing: no expiry follows.
    EXPECT_NEAR(timer->stop(), banked + 1.0, 0.06);
    timer->continueTimer();
    loop().advance(20);
    EXPECT_EQ(events->expired, 0);
    // A restart while running stops the old countdown first; the expiry comes at the first tick past 10 s.
    timer->start();
    loop().advance(3);
    const int stops = events->stopped;
    timer->start();
    EXPECT_EQ(events->stopped, stops + 1);
    loop().advance(10.0);
    EXPECT_EQ(events->expired, 0);
    loop().advance(0.05);
    EXPECT_EQ(events->expired, 1);
    EXPECT_FALSE(timer->isRunning());
}

TEST_F(QuizPlayTest, TheWarningPulsesTheHelpButtonInTheWarningColour) {
    startPlayer();
    const int64_t id = addQuiz(quizJson(question(1, 10, 10, 5) + "," + question(2)));
    open(id);
    loop().advance(5.05);
    const auto* pulse =
        screen_->helpButton()->imageView()->layer().animationForKey(VelkoraResizeableButton::kPulseAnimationKey);
    ASSERT_TRUE(pulse);
    EXPECT_DOUBLE_EQ(pulse->duration, 0.5);
    ASSERT_EQ(pulse->animations.size(), 2u);
    EXPECT_DOUBLE_EQ(pulse->animations[0].fromValue.doubleOr(0), 0.5);
    EXPECT_NEAR(pulse->animations[0].toValue.doubleOr(0), 1.2, 1e-6);
    EXPECT_EQ(screen_->quizTimerView()->currentColor(),
              VelkoraQuizTimerView::kWarningColors[static_cast<size_t>(screen_->quizTimerView()->lastWarningIndex())]);
    window_->layoutIfNeeded();
    expectLooksLike("QuizCountdownWarning");
    // The answer stops the countdown and the pulse.
    answer(0);
    EXPECT_FALSE(
        screen_->helpButton()->imageView()->layer().animationForKey(VelkoraResizeableButton::kPulseAnimationKey));
}

TEST_F(QuizPlayTest, TimeBonusTable) {
    struct Case {
        int limit, bonus;
        double at;
        int32_t expected;
    } cases[] = {
        {20, 10, 3.2, 7}, {20, 10, 9.99, 1}, {20, 10, 10.0, 0}, {15, 5, 6.99, 1},
        {15, 5, 7.0, 0},  {15, 0, 1.0, 1},   {0, 10, 0, 0},     {-4, 10, 0, 0},
    };
    for (const Case& c : cases) {
        VelkoraQuizQuestion q;
        q.setTimeLimit(c.limit);
        q.setTimeBonus(c.bonus);
        EXPECT_EQ(VelkoraQuizPlayViewController::timeBonusFor(q, c.at), c.expected)
            << c.limit << " / " << c.bonus << " at " << c.at;
    }
}

TEST_F(QuizPlayTest, TheLadderAndTheBonusLabel) {
    startPlayer();
    const int64_t id = addQuiz(quizJson(question(1, 10, 15, 1499) + "," + question(2, 20) + "," + question(3, 30) +
                                        "," + question(4, 40) + "," + question(5, 50)));
    open(id);
    // 1,499 at once: the bonus is 1,500, shown with the grouping separator, rising and fading on the clock.
    answer(0);
    loop().advance(0.3); // the ladder has scrolled to its first step, animated
    EXPECT_EQ(screen_->scoreViewWidth(), 64);
    EXPECT_FLOAT_EQ(screen_->scoresScrollOrigOffset(), -118);
    // Centring the first step would leave the strip's start empty: the ladder starts at its left end, the
    // first step's edge on the strip's edge.
    EXPECT_NEAR(screen_->scoresScrollView()->contentOffset().x, 10, 1e-6);
    EXPECT_DOUBLE_EQ(screen_->scoresScrollView()->contentSize().width, 5 * 64 + 340);
    auto steps = screen_->scoresScrollView()->subviews();
    ASSERT_EQ(steps.size(), 5u);
    auto step = [&](size_t i) { return std::dynamic_pointer_cast<VelkoraQuizScrollScoreView>(steps[i]); };
    EXPECT_TRUE(step(0)->leftBarView()->isHidden());
    EXPECT_FALSE(step(0)->rightBarView()->isHidden());
    EXPECT_TRUE(step(4)->rightBarView()->isHidden());
    EXPECT_EQ(step(2)->scoreLabel()->text(), "30");
    EXPECT_DOUBLE_EQ(step(3)->frame().x(), 10 + 3 * 64);

    std::shared_ptr<VelkoraQuizTimeBonusView> label;
    for (const auto& v : screen_->view()->subviews())
        if (auto b = std::dynamic_pointer_cast<VelkoraQuizTimeBonusView>(v)) label = b;
    ASSERT_TRUE(label);
    EXPECT_EQ(label->timeBonusValueLabel()->text(), "+1,500");
    EXPECT_EQ(screen_->currentScore(), 10 + 1500);
    window_->layoutIfNeeded();
    expectLooksLike("QuizLadderWithBonus");
    loop().advance(0.3); // next question: the ladder moves on
    EXPECT_TRUE(label->superview());
    loop().advance(0.35);
    EXPECT_NEAR(screen_->scoresScrollView()->contentOffset().x, 10, 1e-6); // -118 + 64 is still left of the start
    EXPECT_TRUE(label->superview());                                       // fading until 1 s after the answer
    loop().advance(0.1);
    EXPECT_FALSE(label->superview());

    // A rotation rebuilds the ladder for the new width and keeps its step.
    ui::Application::instance().setStatusBarOrientation(ui::InterfaceOrientationLandscapeRight);
    ui::Screen::main().setBounds({0, 0, 320, 568});
    loop().advance(0.35);
    EXPECT_FLOAT_EQ(screen_->scoresScrollOrigOffset(), (568 - 64) * -0.5f + 10);
    EXPECT_NEAR(screen_->scoresScrollView()->contentOffset().x, 10, 1e-6); // the five steps fit the width
    EXPECT_EQ(screen_->scoresScrollView()->subviews().size(), 5u);
    // Laid out by its constraints for the new width: the content reaches a whole width past the last step,
    // and the old steps' constraints left with them (6 for the first step, 7 for each later one).
    window_->layoutIfNeeded();
    EXPECT_DOUBLE_EQ(screen_->scoresScrollView()->contentSize().width, 5 * 64 + 20 + 568);
    EXPECT_DOUBLE_EQ(screen_->scoresScrollView()->subviews()[3]->frame().x(), 10 + 3 * 64);
    EXPECT_EQ(screen_->scoresScrollView()->constraints().size(), 6u + 4 * 7);
    ui::Application::instance().setStatusBarOrientation(ui::InterfaceOrientationPortrait);
}

TEST_F(QuizPlayTest, TheLadderCentresTheCurrentStepAsFarAsItsEndsAllowAndShowsOnlyWholePills) {
    startPlayer();
    std::string questions;
    for (int i = 1; i <= 10; ++i) {
        if (i > 1) questions += ',';
        questions += question(i, 10 * i);
    }
    open(addQuiz(quizJson(questions)));
    auto strip = screen_->scoresScrollView();
    ASSERT_EQ(strip->bounds().width(), 320);
    // Ten steps of 64 from 10: the offset runs from the first step's edge, 10, to the last one's, 650 - 320.
    const struct {
        int step;
        double offset;
    } cases[] = {{0, 10}, {1, 10}, {2, 10}, {3, 74}, {5, 202}, {7, 330}, {8, 330}, {9, 330}};
    for (const auto& c : cases) {
        SCOPED_TRACE("step " + std::to_string(c.step));
        if (c.step == 0)
            screen_->createScoresScrollView();
        else
            screen_->updateScrollView(c.step);
        loop().advance(0.3);
        strip->layoutIfNeeded();
        EXPECT_NEAR(strip->contentOffset().x, c.offset, 1e-6);
        const ui::Rect seen(strip->contentOffset().x, 0, strip->bounds().width(), strip->bounds().height());
        int whole = 0;
        double start = seen.maxX(), end = seen.minX();
        for (const auto& v : strip->subviews()) {
            auto step = std::dynamic_pointer_cast<VelkoraQuizScrollScoreView>(v);
            if (!step) continue;
            const ui::Rect pill = step->scoreLabel()->convertRectToView(step->scoreLabel()->bounds(), strip.get());
            if (!pill.intersects(seen)) continue;
            EXPECT_TRUE(pill.minX() >= seen.minX() && pill.maxX() <= seen.maxX())
                << step->scoreLabel()->text() << " is cut";
            start = std::min(start, pill.minX());
            end = std::max(end, pill.maxX());
            ++whole;
        }
        EXPECT_EQ(whole, 5);
        // The strip ends with the inset it starts with: no pill against either edge.
        EXPECT_NEAR(start - seen.minX(), seen.maxX() - end, 1e-6);
        EXPECT_GT(start - seen.minX(), 0);
    }
}

TEST_F(QuizPlayTest, AOneQuestionLadderHasNoBars) {
    startPlayer();
    open(addQuiz(quizJson(question(1))));
    auto steps = screen_->scoresScrollView()->subviews();
    ASSERT_EQ(steps.size(), 1u);
    auto step = std::dynamic_pointer_cast<VelkoraQuizScrollScoreView>(steps[0]);
    EXPECT_TRUE(step->leftBarView()->isHidden());
    EXPECT_TRUE(step->rightBarView()->isHidden());

    // A strip shorter than its step still centres it: the lines carry a negative spacing.
    auto strip = screen_->scoresScrollView();
    const double h = step->frame().height();
    ASSERT_GT(h, 10);
    strip->setFrame({strip->frame().x(), strip->frame().y(), strip->frame().width(), h - 10});
    screen_->createScoresScrollView();
    strip->layoutIfNeeded();
    ASSERT_EQ(strip->subviews().size(), 1u);
    EXPECT_EQ(strip->subviews()[0]->frame(), ui::Rect(10, -5, 64, h));
}

TEST_F(QuizPlayTest, BuyingAPackLocksTheScreenUntilThePurchaseIsSettled) {
    VelkoraServerEndpoint::handOverServiceHost();
    services::Device::instance().update([](services::DeviceProfile& p) { p.storeAccount = "buyer@store.example"; });
    services::Device::instance().setPromptPolicy(services::Prompt::Purchase, services::PromptPolicy::Grant);
    services::PaymentQueue::defaultQueue().resetForTests();
    startPlayer(12);
    svc.setStoreOutcome("com.velkora.demo.coins100", service::StoreOutcome::Approve);
    VelkoraQuizIAPServerManager::instance().initProducts();
    ASSERT_TRUE(waitAdvancing(
        [] {
            return VelkoraQuizIAPServerManager::instance().productByKey(VelkoraQuizPlayViewController::kCoinPack1) !=
                   nullptr;
        },
        30));
    open(3);
    screen_->helpClicked(nullptr);
    screen_->quizHintsPurchaseOption1Clicked(nullptr);
    EXPECT_FALSE(screen_->view()->isUserInteractionEnabled());
    EXPECT_EQ(loggedEvents().back(), "quiz-hints;store-product-clicked;velkora.coins.100");
    ASSERT_TRUE(waitAdvancing([&] { return screen_->view()->isUserInteractionEnabled(); }, 60));
    ASSERT_TRUE(settle());
    // The panel shows the coins the purchase brought.
    EXPECT_EQ(screen_->testHintsLabel()->text(), "112");
    EXPECT_EQ(serviceCoins(), 112);
    EXPECT_TRUE(offered(screen_->popularAnswerView()));
    services::PaymentQueue::defaultQueue().resetForTests();
}

TEST_F(QuizPlayTest, UnsafeNumbersStayInTheirRanges) {
    startPlayer(100);
    // Shares outside 0 to 100 draw a full and an empty bar, never past the room or backwards.
    open(addQuiz(quizJson(question(1, 10, 15, 5, 0, 1, "1,1,1,1") + "," + question(2))));
    screen_->currentQuestion()->answers()[0]->setHits(150);
    screen_->currentQuestion()->answers()[1]->setHits(-5);
    screen_->helpClicked(nullptr);
    screen_->quizHintsPopularAnswerClicked(nullptr);
    const auto& slots = screen_->answerButtonsArray();
    EXPECT_EQ(slots[0].hintLabel->text(), "100%");
    EXPECT_DOUBLE_EQ(slots[0].hintImageTrailingSpaceConstraint->constant(), 20);
    EXPECT_EQ(slots[1].hintLabel->text(), "0%");
    EXPECT_DOUBLE_EQ(slots[1].hintImageTrailingSpaceConstraint->constant(), 20 + 280);

    // Points saturate at 32 bits instead of wrapping to a negative score.
    open(addQuiz(quizJson(question(1, 2000000000, 0) + "," + question(2, 2000000000, 0))));
    answer(0);
    loop().advance(0.6);
    answer(0);
    loop().advance(0.6);
    EXPECT_EQ(screen_->currentScore(), 2147483647);
    EXPECT_EQ(screen_->gameOverLabel()->text(), "Congratulations!");
}

TEST_F(QuizPlayTest, AnswersReadWholeBesideTheirSharesAndTheBarsStayInTheirButtons) {
    startPlayer(50);
    const std::string answers[] = {"Seven", "Nine", "Eight", "A longer answer that shrinks"};
    const int shares[] = {8, 30, 55, 7};
    std::string json = R"({"id":1,"question":"How many?","score":10,"timeLimit":15,"timeBonus":5,"answers":[)";
    for (int i = 0; i < 4; ++i)
        json += std::string(i ? "," : "") + R"({"id":)" + std::to_string(11 + i) + R"(,"answer":")" + answers[i] +
                R"(","correct":)" + (i == 2 ? "true" : "false") + R"(,"picks":)" + std::to_string(shares[i]) + "}";
    open(addQuiz(quizJson(question(2) + "," + json + "]}")));
    answer(0);
    loop().advance(0.2);
    window_->layoutIfNeeded();
    loop().advance(0.5);
    screen_->helpClicked(nullptr);
    screen_->quizHintsPopularAnswerClicked(nullptr);
    answer(0); // wrong: red beside the green of the right one
    window_->layoutIfNeeded();
    for (size_t i = 0; i < 4; ++i) {
        const auto& slot = screen_->answerButtonsArray()[i];
        SCOPED_TRACE(answers[i]);
        auto& button = *slot.button;
        const auto& title = button.titleLabel();
        ASSERT_EQ(title->text(), answers[i]);
        const ui::Rect text = title->frame();
        const ui::Rect share = slot.hintLabel->convertRectToView(slot.hintLabel->bounds(), &button);
        const ui::Rect bar = slot.hintImage->convertRectToView(slot.hintImage->bounds(), &button);
        EXPECT_GE(text.minX(), share.maxX()) << "the answer starts after its share";
        EXPECT_LE(text.maxX(), button.bounds().maxX());
        EXPECT_GE(bar.minX(), 0);
        EXPECT_LE(bar.maxX(), button.bounds().maxX() + 1e-6) << "the bar stays in its button";
        const ui::Font drawn = title->fittingFont();
        if (i < 3)
            EXPECT_EQ(drawn.pointSize(), title->font()->pointSize()) << "a short answer keeps its size";
        else
            EXPECT_LT(drawn.pointSize(), title->font()->pointSize());
        EXPECT_GE(drawn.pointSize(), 10);
        EXPECT_LE(ui::measureText(answers[i], drawn, 0, 1).width, text.width() + 0.5) << "on one line, whole";
    }
    expectLooksLike("QuizAnswersWithShares");
}
