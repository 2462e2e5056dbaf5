// The quiz play screen's game against velkora-service: questions, answers, the countdown, scoring, the
// ends of a game, leaving, and quizzes that cannot be played.
#include <dlfcn.h>

#include "QuizPlayFixture.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TableView.h"
#include "data/VelkoraUserInfo.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

// The sounds the audio module played so far.
uint64_t soundsPlayed() {
    using Count = uint64_t (*)();
    auto count = reinterpret_cast<Count>(
        VelkoraDynamicFrameworkLoader::loadSymbol("VelkoraAudioToolboxPlayedCount", "AudioToolbox"));
    return count ? count() : 0;
}

// The button shows that image of the bundle as its background (a stretchable copy of it).
bool hasBackground(const VelkoraResizeableButton& b, const char* image) {
    auto shown = b.backgroundImageForState(ui::ControlStateNormal);
    auto wanted = ui::Image::named(image);
    if (!shown || !wanted || shown->pixelWidth() != wanted->pixelWidth()) return false;
    const int x = wanted->pixelWidth() / 2, y = wanted->pixelHeight() / 2;
    return shown->pixelAt(x, y) == wanted->pixelAt(x, y);
}

} // namespace

TEST_F(QuizPlayTest, AGameShowsEachQuestionAndMovesOnAfterACorrectAnswer) {
    startPlayer();
    auto& agent = VelkoraAgentInternal::instance();
    agent.disablePopInAds(false);
    const bool adsBefore = agent.isPopInAdsEnabled();
    EXPECT_TRUE(adsBefore);
    const int64_t id = addQuiz(quizJson(question(1, 10) + "," + question(2, 20, 15, 5, 1) + "," + question(3, 30)));
    // The host opens feature 103 with the quiz's id.
    auto nav = ui::NavigationController::create(ui::ViewController::create());
    window_ = ui::Window::createFullScreen();
    window_->setRootViewController(nav);
    window_->makeKeyAndVisible();
    agent.openFeature(103, nav, false, foundation::Value(int64_t(id)), {});
    screen_ = std::dynamic_pointer_cast<VelkoraQuizPlayViewController>(nav->topViewController());
    ASSERT_TRUE(screen_);
    EXPECT_EQ(screen_->titleText(), "Quiz");
    waitLoaded();
    ASSERT_TRUE(screen_->quiz());
    EXPECT_FALSE(agent.isPopInAdsEnabled());
    EXPECT_EQ(loggedEvents().back(), "quiz;start;" + std::to_string(id));

    EXPECT_EQ(screen_->questionLabel()->text(), "Question number 1?");
    EXPECT_EQ(shownAnswers(), (std::vector<std::string>{"Answer 1A", "Answer 1B", "Answer 1C", "Answer 1D"}));
    EXPECT_EQ(screen_->questionScoreLabel()->text(), "10");
    EXPECT_EQ(screen_->scoreNumberLabel()->text(), "0");
    EXPECT_FALSE(screen_->timerContainerView()->isHidden());
    EXPECT_TRUE(screen_->quizTimerView()->isRunning());
    EXPECT_EQ(screen_->scoresScrollView()->subviews().size(), 3u);

    loop().advance(8); // past the bonus window of 7 s
    answer(0);
    EXPECT_TRUE(hasBackground(*screen_->answerButtonsArray()[0].button, VelkoraQuizPlayViewController::kCorrectImage));
    EXPECT_FALSE(screen_->view()->isUserInteractionEnabled());
    loop().advance(0.59);
    EXPECT_EQ(screen_->currentQuestionIndex(), 0);
    loop().advance(0.02);
    EXPECT_EQ(screen_->currentQuestionIndex(), 1);
    EXPECT_EQ(screen_->questionLabel()->text(), "Question number 2?");
    EXPECT_EQ(screen_->scoreNumberLabel()->text(), "10");
    EXPECT_TRUE(screen_->view()->isUserInteractionEnabled());
    // Every shown button starts from the interface file's background again.
    EXPECT_FALSE(hasBackground(*screen_->answerButtonsArray()[0].button, VelkoraQuizPlayViewController::kCorrectImage));

    // Leaving through the confirmation gives the pop-in ads back and reports the game once.
    screen_->backTapped(nullptr);
    ASSERT_TRUE(screen_->leavePopup());
    screen_->popupOkTapped();
    EXPECT_EQ(agent.isPopInAdsEnabled(), adsBefore);
    ASSERT_TRUE(waitForRequests("reportQuiz", 1));
    EXPECT_EQ(param(svc.requestsFor("reportQuiz")[0], "report"), "1,10");
    EXPECT_EQ(count("setScore"), 0u);
    // The start reaches the service with the next poll.
    EXPECT_TRUE(waitAdvancing(
        [&] {
            for (const auto& e : svc.events(kDemo))
                if (e.find("quiz;start;" + std::to_string(id)) != std::string::npos) return true;
            return false;
        },
        40));
}

TEST_F(QuizPlayTest, QuestionLooksLikeItsPictureOnPhoneAndTablet) {
    for (bool tablet : {false, true}) {
        SCOPED_TRACE(tablet ? "tablet" : "phone");
        if (tablet) {
            screen_.reset();
            becomeTablet();
        } else {
            startPlayer();
        }
        auto quiz = open(3); // the seeded quiz whose answers carry picks
        ASSERT_TRUE(quiz && quiz->quiz());
        loop().advance(3.0);
        window_->layoutIfNeeded();
        expectLooksLike(tablet ? "QuizQuestionTablet" : "QuizQuestionPhone");
    }
}

TEST_F(QuizPlayTest, AWrongAnswerEndsTheGameAndScoresOnTheQuizLeaderboard) {
    startPlayer();
    const int before = serviceScore();
    const uint64_t sounds = soundsPlayed();
    const int64_t id = addQuiz(quizJson(question(1, 10, 20, 10) + "," + question(2, 20, 15, 5, 2)));
    open(id);
    loop().advance(3.2);
    answer(0); // correct after 3.2 s: 10 points and a bonus of trunc(10 × 0.68 + 1) = 7
    EXPECT_EQ(screen_->currentScore(), 17);
    EXPECT_EQ(soundsPlayed(), sounds + 1);
    loop().advance(0.6);
    answer(1); // wrong: the chosen red, the correct one green
    EXPECT_TRUE(hasBackground(*screen_->answerButtonsArray()[1].button, VelkoraQuizPlayViewController::kWrongImage));
    EXPECT_TRUE(hasBackground(*screen_->answerButtonsArray()[2].button, VelkoraQuizPlayViewController::kCorrectImage));
    EXPECT_TRUE(screen_->quizEndView()->isHidden());
    loop().advance(0.6);
    EXPECT_FALSE(screen_->quizEndView()->isHidden());
    EXPECT_EQ(screen_->gameOverLabel()->text(), "Game over");
    EXPECT_EQ(screen_->pointsReachedLabel()->text(), "17 points");
    EXPECT_EQ(loggedEvents().back(), "quiz;end;" + std::to_string(id));
    ASSERT_TRUE(waitForRequests("setScore", 1));
    EXPECT_EQ(param(svc.requestsFor("setScore")[0], "level"), "quiz_" + std::to_string(id));
    EXPECT_EQ(param(svc.requestsFor("setScore")[0], "score"), "17");
    EXPECT_EQ(serviceScore(), before + 17);
    EXPECT_EQ(VelkoraAgentInternal::instance().velkoraUser()->score(), before + 17);
    EXPECT_EQ(screen_->reportArray(), (std::vector<std::string>{"1,10", "2,21"}));
}

TEST_F(QuizPlayTest, AllAnsweredIsCongratulationsAndNoPointsSendNoScore) {
    startPlayer();
    // Muted: no sound plays.
    VelkoraAgentInternal::instance().getUserInfo()->setPlayQuizOnMute(true);
    const uint64_t sounds = soundsPlayed();
    const int64_t id = addQuiz(quizJson(question(1, 0, 0, 0)));
    open(id);
    EXPECT_TRUE(screen_->timerContainerView()->isHidden()); // untimed
    answer(0);
    loop().advance(0.6);
    EXPECT_EQ(screen_->gameOverLabel()->text(), "Congratulations!");
    EXPECT_EQ(screen_->currentQuestionIndex(), 1);
    EXPECT_EQ(soundsPlayed(), sounds);
    ASSERT_TRUE(settle());
    EXPECT_EQ(count("setScore"), 0u);
}

TEST_F(QuizPlayTest, LeavingMidGameReportsOnceAndTheHitsMove) {
    startPlayer();
    const int64_t id = addQuiz(quizJson(question(1) + "," + question(2)));
    open(id);
    answer(0);
    loop().advance(0.6);
    screen_->appTapped(nullptr);
    EXPECT_FALSE(screen_->quizTimerView()->isRunning()); // paused while asked
    screen_->popupCancelTapped();
    EXPECT_TRUE(screen_->quizTimerView()->isRunning());
    screen_->backTapped(nullptr);
    screen_->popupOkTapped();
    EXPECT_EQ(container_->backs, 1);
    ASSERT_TRUE(waitForRequests("reportQuiz", 1));
    auto caller = std::make_shared<Caller>();
    VelkoraServerApi::getQuiz(Caller::of(caller), static_cast<int32_t>(id));
    ASSERT_TRUE(waitFor([&] { return !caller->answers.empty(); }));
    auto quiz = caller->answers[0].asObject<VelkoraQuiz>();
    EXPECT_EQ(quiz->questions()[0]->answers()[0]->hits(), 100);
    EXPECT_EQ(count("reportQuiz"), 1u);
    EXPECT_EQ(count("setScore"), 0u);
}

TEST_F(QuizPlayTest, AContinuedGameThatSentNoScoreSendsANewOneAndLeavesEarlierGamesAlone) {
    startPlayer();
    // Untimed, so no bonus blurs the points.
    const int64_t id = addQuiz(quizJson(question(1, 10, 0) + "," + question(2, 20, 0) + "," + question(3, 30, 0)));
    open(id);
    answer(0);
    loop().advance(0.6);
    answer(1); // an earlier game ends with 10 points, its score sent
    loop().advance(0.6);
    ASSERT_TRUE(waitForRequests("setScore", 1));
    const std::string earlier = std::to_string(agent().lastSetScoreId());
    // A new game ends at 0 points (no score), then goes on with a life, as the end panel does.
    screen_->getQuiz();
    waitLoaded();
    answer(1);
    loop().advance(0.6);
    screen_->setScoreBeforeContinueQuiz(screen_->currentScore());
    screen_->setInContinueQuizMode(true);
    screen_->nextQuestion();
    answer(0);
    loop().advance(0.6);
    answer(1);
    loop().advance(0.6);
    ASSERT_TRUE(waitForRequests("setScore", 2));
    const auto second = svc.requestsFor("setScore")[1];
    EXPECT_EQ(param(second, "scoreId"), "<absent>"); // a score of its own, not an update of the earlier game's
    EXPECT_EQ(param(second, "score"), "20");
    EXPECT_EQ(svc.selectRows("SELECT score FROM scores WHERE id = ?", {earlier}),
              (std::vector<std::vector<std::string>>{{"10"}}));
    EXPECT_EQ(serviceScore(), 30);
}

TEST_F(QuizPlayTest, ANewGameWhoseQuizHasNotComeIsNotReportedTwiceOnLeaving) {
    startPlayer();
    const int64_t id = addQuiz(quizJson(question(1) + "," + question(2)));
    open(id);
    answer(1);
    loop().advance(0.6);
    // The end panel's new game reports, then fetches again; the player leaves before the quiz comes.
    svc.addFault(service::Fault{"getQuiz", service::Fault::Kind::Delay, "", 500, 2.0});
    screen_->reportQuiz();
    screen_->getQuiz();
    screen_->backTapped(nullptr);
    screen_->popupOkTapped();
    ASSERT_TRUE(waitForRequests("reportQuiz", 1));
    EXPECT_EQ(count("reportQuiz"), 1u);
}

TEST_F(QuizPlayTest, TimingOfAnswersAgainstTheLimit) {
    startPlayer();
    struct Case {
        const char* what;
        double at;     // seconds on the clock before the answer
        bool jump;     // the clock jumps there without ticks, as after the background
        bool scores;   // the answer counts
        int32_t score; // points after it
    } cases[] = {
        {"just inside the limit", 14.99, false, true, 10},
        {"after the limit, before the tick", 15.01, false, false, 0},
        {"after a 3 s absence inside the window", 3.0, true, true, 10 + 4}, // trunc(5 × 0.6 + 1)
        {"back after the limit, before any tick", 16.0, true, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int64_t id = addQuiz(quizJson(question(1, 10, 15, 5) + "," + question(2)));
        open(id);
        auto& clock = loop().useTestClock(loop().now());
        if (c.jump)
            clock.set(loop().now() + c.at);
        else
            loop().advance(c.at);
        answer(0);
        EXPECT_EQ(screen_->reportArray().size(), c.scores ? 1u : 0u);
        EXPECT_EQ(screen_->currentScore(), c.score);
        EXPECT_EQ(screen_->quizEndView()->isHidden(), c.scores); // a late answer ends the game at once
        loop().advance(1);
    }
}

TEST_F(QuizPlayTest, TheCountdownExpiresAtTheFirstTickPastTheLimitAndWaitsWhileAsked) {
    startPlayer();
    const int64_t id = addQuiz(quizJson(question(1, 10, 15, 5) + "," + question(2)));
    open(id);
    // A minute in the hints panel and another in the leave confirmation cost no time.
    loop().advance(2);
    screen_->helpClicked(nullptr);
    loop().advance(60);
    screen_->quizHintsCloseClicked(nullptr);
    screen_->backTapped(nullptr);
    loop().advance(60);
    screen_->popupCancelTapped();
    EXPECT_NEAR(screen_->quizTimerView()->diffFromStart(), 2.0, 0.06);
    EXPECT_TRUE(screen_->quizEndView()->isHidden());
    loop().advance(13.0);
    EXPECT_TRUE(screen_->quizEndView()->isHidden());
    loop().advance(0.051);
    EXPECT_FALSE(screen_->quizEndView()->isHidden());
    EXPECT_TRUE(screen_->reportArray().empty());
    EXPECT_EQ(screen_->gameOverLabel()->text(), "Game over");
}

TEST_F(QuizPlayTest, QuizzesThatCannotBePlayedEndInAMessageAndAClearExit) {
    startPlayer();
    struct Case {
        const char* what;
        int64_t quizId;
        std::optional<service::Fault> fault;
    } cases[] = {
        {"unknown id", 987654, std::nullopt},
        {"error reply", 1, service::Fault{"getQuiz", service::Fault::Kind::ErrorCode, "INTERNAL_ERROR"}},
        {"dropped connection", 1, service::Fault{"getQuiz", service::Fault::Kind::Drop, "", 500, 0, -1}},
        {"a reply without a quiz", 1, service::Fault{"getQuiz", service::Fault::Kind::Answer, "{}"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        svc.clearFaults();
        if (c.fault) svc.addFault(*c.fault);
        const int backs = container_->backs;
        open(c.quizId);
        ASSERT_TRUE(waitAdvancing([&] { return screen_->loadFailedPopup() != nullptr; }, 120));
        EXPECT_FALSE(screen_->activityIndicator()->isAnimating());
        EXPECT_EQ(screen_->loadFailedPopup()->titleLabel()->text(), "Quiz not available");
        screen_->popupOkTapped();
        EXPECT_EQ(container_->backs, backs + 1);
    }
    svc.clearFaults();
}

TEST_F(QuizPlayTest, ALockedQuizOpenedByItsIdIsGameOver) {
    startPlayer();
    open(2); // the seeded locked quiz: no questions for this player
    EXPECT_FALSE(screen_->quizEndView()->isHidden());
    EXPECT_EQ(screen_->gameOverLabel()->text(), "Game over");
}

TEST_F(QuizPlayTest, OddQuestionsShowAtMostFourAnswersEmptyTextsAndPlayUntimedWhenTheLimitIsNegative) {
    startPlayer();
    const int64_t id = addQuiz(R"({"name":"Odd","questions":[{"id":1,"question":null,"score":5,"timeLimit":-3,
        "timeBonus":4,"answers":[{"id":1,"answer":"a","correct":true},{"id":2,"answer":null},{"id":3,"answer":"c"},
        {"id":4,"answer":"d"},{"id":5,"answer":"e"}]},)" +
                               question(2) + "]}");
    open(id);
    EXPECT_EQ(screen_->questionLabel()->text(), "");
    EXPECT_EQ(shownAnswers(), (std::vector<std::string>{"a", "", "c", "d"}));
    EXPECT_TRUE(screen_->timerContainerView()->isHidden());
    EXPECT_FALSE(screen_->quizTimerView()->isRunning());
    loop().advance(100);
    EXPECT_TRUE(screen_->quizEndView()->isHidden());
    answer(0);
    EXPECT_EQ(screen_->currentScore(), 5); // no bonus without a limit
}

TEST_F(QuizPlayTest, AScreenThatLeftScoresNothing) {
    startPlayer();
    const int64_t id = addQuiz(quizJson(question(1, 10) + "," + question(2)));
    open(id);
    // The screen sits above another on the host's stack, and is popped from it.
    auto below = ui::ViewController::create();
    nav_->setViewControllers({below, screen_}, false);
    answer(0);
    loop().advance(0.6);
    answer(1); // wrong: the end panel, and its score, would come 0.6 s later
    nav_->popViewController(false);
    std::weak_ptr<VelkoraQuizPlayViewController> weak = screen_;
    screen_.reset();
    loop().advance(30);
    EXPECT_TRUE(weak.expired());
    ASSERT_TRUE(settle());
    EXPECT_EQ(count("setScore"), 0u);
}
