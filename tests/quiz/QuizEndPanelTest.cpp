// The quiz end panel against velkora-service: its rows, a life bought with coins, the other options and
// the screens they open by name, the coin pack, the overlay, the pictures of both ends, and the post of
// the score to the feed.
#include <algorithm>

#include "QuizPlayFixture.h"
#include "platform/services/OutsideEndpoints.h"
#include "platform/ui/Application.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/WebView.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "quiz/VelkoraQuizEndTableCell.h"
#include "data/VelkoraAppData.h"
#include "data/VelkoraUserInfo.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

// A screen of another folder as the registry makes it; the arguments it was made with are kept.
struct StandIn {
    // A feature screen made as the kit's makers make the leaderboard: with its profile button.
    struct Screen : VelkoraGeneralFeatureViewController {};
    foundation::Value arguments;
    int made = 0;
    std::shared_ptr<Screen> last;
    void registerAs(const char* name) {
        VelkoraScreenRegistry::instance().registerScreen(name, [this](const foundation::Value& a) {
            arguments = a;
            ++made;
            last = std::make_shared<Screen>();
            last->setShouldShowProfileButton(true);
            return last;
        });
    }
};

} // namespace

class QuizEndTest : public QuizPlayTest {
protected:
    // Untimed questions (no bonus blurs the points), 10, 20, 30... points each.
    int64_t addPlainQuiz(int questions) {
        std::string json;
        for (int i = 1; i <= questions; ++i) {
            if (i > 1) json += ',';
            json += question(i, 10 * i, 0);
        }
        return addQuiz(quizJson(json));
    }
    // Answers `right` questions correctly, then the next one wrongly (when there is one), and waits for
    // the panel.
    void play(int right, bool thenWrong = true) {
        for (int i = 0; i < right; ++i) {
            answer(0);
            loop().advance(0.6);
        }
        if (thenWrong) {
            answer(1);
            loop().advance(0.6);
        }
        ASSERT_FALSE(screen_->quizEndView()->isHidden());
        window_->layoutIfNeeded();
    }
    std::shared_ptr<VelkoraQuizEndTableCell> row(int r) {
        return std::dynamic_pointer_cast<VelkoraQuizEndTableCell>(
            screen_->quizEndTable()->cellForRowAtIndexPath(ui::IndexPath::of(r, 0)));
    }
    std::vector<std::string> rowTitles() {
        std::vector<std::string> out;
        for (int r = 0; r < screen_->quizEndTable()->numberOfRowsInSection(0); ++r)
            out.push_back(row(r) && row(r)->titleLabel() ? row(r)->titleLabel()->text() : "<none>");
        return out;
    }
    bool tapRow(int r) { return screen_->quizEndTable()->tapRowAtIndexPath(ui::IndexPath::of(r, 0)); }
    // Waits for the hidden reward page of the current game to be read.
    void waitRewardPage(size_t pages = 1) {
        ASSERT_TRUE(waitFor([&] {
            return svc.requestsFor("/adnet/ad").size() >= pages && screen_->rewardWebView() &&
                   !screen_->rewardWebView()->isLoading();
        }));
    }
};

TEST_F(QuizEndTest, RowsFollowWhereTheGameEndedAndALifeNeedsFiftyCoins) {
    struct Case {
        const char* name;
        int questions, right, coins;
        std::vector<std::string> titles;
        bool lifeUsable;
    };
    const std::vector<std::string> four = {"Start a new game", "Leaderboard", "Suggest a question", "Exit"};
    std::vector<std::string> five = four;
    five.insert(five.begin(), "Use a life (50 coins)");
    const Case cases[] = {
        {"lost on the last question", 2, 1, 100, four, false},
        {"lost on question 3 of 10", 10, 2, 50, five, true},
        {"49 coins", 10, 2, 49, five, false},
    };
    startPlayer(0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        svc.setUserCoins(kDemo, userId_, c.coins);
        VelkoraAgentInternal::instance().velkoraUser()->setCoins(c.coins);
        open(addPlainQuiz(c.questions));
        play(c.right);
        EXPECT_EQ(rowTitles(), c.titles);
        if (c.titles.size() == 5) {
            auto life = row(0);
            ASSERT_TRUE(life);
            EXPECT_EQ(life->titleLabel()->alpha(), c.lifeUsable ? 1.0 : 0.5);
            EXPECT_EQ(life->isUserInteractionEnabled(), c.lifeUsable);
            EXPECT_EQ(row(1)->titleLabel()->alpha(), 1.0);
            if (!c.lifeUsable) {
                EXPECT_FALSE(tapRow(0)); // a dimmed life cannot be chosen
                EXPECT_FALSE(screen_->quizEndView()->isHidden());
            }
        }
    }
}

TEST_F(QuizEndTest, ALifeGoesOnAtTheNextQuestionAndItsEndUpdatesTheEarlierScore) {
    StandIn store;
    store.registerAs("quizStore");
    startPlayer(50);
    const int before = serviceScore();
    const int64_t id = addPlainQuiz(3);
    open(id);
    play(1); // 10 points, lost on question 2 of 3
    ASSERT_TRUE(waitForRequests("setScore", 1));
    ASSERT_TRUE(tapRow(0));
    EXPECT_TRUE(screen_->quizEndView()->isHidden());
    EXPECT_EQ(screen_->currentQuestionIndex(), 2);
    EXPECT_EQ(screen_->currentScore(), 10);
    EXPECT_EQ(VelkoraAgentInternal::instance().velkoraUser()->coins(), 0);
    ASSERT_TRUE(waitForRequests("updateQuizProduct", 1));
    const auto lives = svc.requestsFor("updateQuizProduct")[0];
    EXPECT_EQ(param(lives, "coins"), "-50"); // a spend
    EXPECT_EQ(param(lives, "lives"), "1");
    EXPECT_EQ(param(lives, "quizId"), std::to_string(id));
    EXPECT_EQ(param(lives, "questionId"), "2");
    ASSERT_TRUE(settle());
    EXPECT_EQ(serviceCoins(), 0);

    play(1, false); // question 3 right: 40 points, congratulations
    EXPECT_EQ(screen_->gameOverLabel()->text(), "Congratulations!");
    ASSERT_TRUE(waitForRequests("setScore", 2));
    ASSERT_TRUE(settle());
    EXPECT_EQ(svc.selectRows("SELECT score FROM scores WHERE user_id = ? AND level = ?",
                             {userId_, "quiz_" + std::to_string(id)}),
              (std::vector<std::vector<std::string>>{{"40"}}));
    EXPECT_EQ(serviceScore(), before + 40);

    // Past the last question the store is given no question.
    screen_->quizEndPurchaseLivesClicked(nullptr);
    EXPECT_EQ(VelkoraScreenArguments::object2(store.arguments).int64Or(0), -1);
}

TEST_F(QuizEndTest, OptionsOpenTheirScreensByNameAndExitReportsOnce) {
    StandIn leaderboard, form, store;
    leaderboard.registerAs("leaderboard");
    form.registerAs("quizSuggestQuestion");
    store.registerAs("quizStore");
    startPlayer(0);
    const int64_t id = addPlainQuiz(2);
    open(id);
    play(1); // lost on the last question: no life, four rows

    ASSERT_TRUE(tapRow(1)); // leaderboard
    EXPECT_EQ(VelkoraScreenArguments::object1(leaderboard.arguments).toText(), "quiz_" + std::to_string(id));
    EXPECT_FALSE(leaderboard.last->shouldShowProfileButton()) << "only the leaderboard feature has it";
    EXPECT_EQ(nav_->viewControllers().size(), 2u);
    nav_->popViewController(false);

    ASSERT_TRUE(tapRow(2)); // the form, modal
    EXPECT_EQ(VelkoraScreenArguments::object1(form.arguments).int64Or(0), id);
    EXPECT_TRUE(nav_->presentedViewController());
    EXPECT_EQ(nav_->viewControllers().size(), 1u);
    nav_->dismissViewController(false);

    // The coin pack's button: the store, for the question the game ended on.
    screen_->quizEndPurchaseLivesClicked(nullptr);
    EXPECT_EQ(VelkoraScreenArguments::object1(store.arguments).int64Or(0), id);
    EXPECT_EQ(VelkoraScreenArguments::object2(store.arguments).int64Or(0), 2);
    nav_->popViewController(false);

    // Any other option only says so.
    screen_->quizEndDidSelectOption(7);
    EXPECT_TRUE(logged("Velkora (E) - QUIZ END: Unknown option selected !!"));
    EXPECT_EQ(nav_->viewControllers().size(), 1u);

    ASSERT_TRUE(tapRow(3)); // exit
    EXPECT_EQ(container_->backs, 1);
    ASSERT_TRUE(waitForRequests("reportQuiz", 1));
    ASSERT_TRUE(settle());
    EXPECT_EQ(count("reportQuiz"), 1u);
    EXPECT_EQ(leaderboard.made + form.made + store.made, 3);
}

TEST_F(QuizEndTest, ANewGameFetchesTheQuizAgainAndAMissingScreenIsNotPartOfTheBuild) {
    VelkoraScreenRegistry::instance().unregisterScreen("quizStore");
    startPlayer(0);
    const int64_t id = addPlainQuiz(3);
    open(id);
    play(0);
    const size_t fetches = count("getQuiz");
    ASSERT_TRUE(tapRow(1)); // a new game
    EXPECT_FALSE(screen_->inContinueQuizMode());
    waitLoaded();
    EXPECT_EQ(count("getQuiz"), fetches + 1);
    EXPECT_TRUE(screen_->quizEndView()->isHidden());
    EXPECT_EQ(screen_->currentQuestionIndex(), 0);
    EXPECT_EQ(count("reportQuiz"), 1u);

    // Lost on question 1 of 3 with no coins: the life row sends to the store, which this build lacks.
    play(0);
    screen_->quizEndDidSelectOption(VelkoraQuizPlayViewController::QuizEndUseLife);
    EXPECT_TRUE(logged("quizStore is not part of this build"));
    EXPECT_FALSE(screen_->quizEndView()->isHidden());
    EXPECT_EQ(count("updateQuizProduct"), 0u);
}

TEST_F(QuizEndTest, TheOverlayIsInvertedToWholePixelsAndTheCoinPackShowsItsPrice) {
    startPlayer(0);
    VelkoraQuizIAPServerManager::instance().initProducts();
    ASSERT_TRUE(waitAdvancing(
        [] {
            return VelkoraQuizIAPServerManager::instance().productByKey(VelkoraQuizPlayViewController::kCoinPack1) !=
                   nullptr;
        },
        30));
    open(addPlainQuiz(2));
    play(0);
    auto overlay = screen_->quizEndOverlayImageView();
    ASSERT_TRUE(overlay->image());
    EXPECT_EQ(overlay->image()->pixelAt(5, 5) >> 24, 204u);
    EXPECT_EQ(overlay->image()->pixelWidth(), static_cast<int>(overlay->frame().size.width));
    EXPECT_FALSE(screen_->quizEndPurchaseButton()->superview()->isHidden());
    EXPECT_FALSE(screen_->quizEndPurchaseLivesPriceLabel()->text().empty());
    EXPECT_FALSE(screen_->quizEndPurchaseButton()->titleForState(ui::ControlStateNormal).value_or("").empty());

    // A fractional frame becomes whole pixels; an empty one no picture, and nothing fails.
    overlay->setFrame({0, 0, 100.6, 40.4});
    screen_->prepareQuizEndOverlayImage();
    ASSERT_TRUE(overlay->image());
    EXPECT_EQ(overlay->image()->pixelWidth(), 101);
    EXPECT_EQ(overlay->image()->pixelHeight(), 40);
    EXPECT_EQ(overlay->image()->pixelAt(100, 39) >> 24, 204u);
    overlay->setFrame({0, 0, 0, 40});
    screen_->prepareQuizEndOverlayImage();
    EXPECT_FALSE(overlay->image());
}

TEST_F(QuizEndTest, GameOverAndCongratulationsLookLikeTheirPicturesOnPhoneAndTablet) {
    for (bool tablet : {false, true}) {
        SCOPED_TRACE(tablet ? "tablet" : "phone");
        if (tablet) {
            screen_.reset();
            becomeTablet();
        } else {
            startPlayer(60);
            VelkoraQuizIAPServerManager::instance().initProducts();
        }
        ASSERT_TRUE(waitAdvancing(
            [] {
                return VelkoraQuizIAPServerManager::instance().productByKey(
                           VelkoraQuizPlayViewController::kCoinPack1) != nullptr;
            },
            30));
        // No offer in the pictures: the reward page has its own test.
        VelkoraAgentInternal::instance().appData()->setAppReward(false);
        const size_t pages = svc.requestsFor("/adnet/ad").size();
        open(addPlainQuiz(3));
        waitRewardPage(pages + 1);
        play(1);
        ASSERT_TRUE(settle());
        expectLooksLike(tablet ? "QuizEndGameOverTablet" : "QuizEndGameOverPhone");
        screen_->quizEndDidSelectOption(VelkoraQuizPlayViewController::QuizEndNewGame);
        waitLoaded();
        play(3, false);
        ASSERT_TRUE(settle());
        // The question played last stays behind the panel: none of it may show through.
        EXPECT_DOUBLE_EQ(screen_->quizEndView()->backgroundColor().a, 1.0);
        expectLooksLike(tablet ? "QuizEndCongratulationsTablet" : "QuizEndCongratulationsPhone");
    }
}

TEST_F(QuizEndTest, PostToFeedStoresThePlayActionAndPrivateUsersSkipIt) {
    startPlayer(0);
    const int64_t id = addPlainQuiz(2);
    open(id);
    play(1);
    screen_->postScoreButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    ASSERT_TRUE(waitForRequests("sendFeed2", 1));
    ASSERT_TRUE(settle());
    auto rows = svc.selectRows("SELECT message, action_verb, action_id, content_type, desc_text, desc_image_url "
                               "FROM feed WHERE user_id = ?",
                               {userId_});
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "I scored 10 points in Test quiz!");
    EXPECT_EQ(rows[0][1], "Play");
    EXPECT_EQ(rows[0][2], "velkora-quiz-" + std::to_string(id));
    EXPECT_EQ(rows[0][3], "text/plain");
    EXPECT_EQ(rows[0][4], "Can you beat my score?");
    EXPECT_EQ(rows[0][5], VelkoraAgentInternal::instance().appData()->appImage().value_or(""));

    VelkoraAgentInternal::instance().getUserInfo()->setIsPrivateMode(true);
    screen_->postToFeed();
    EXPECT_TRUE(logged("Velkora - Skipping feed for private users"));
    ASSERT_TRUE(settle());
    EXPECT_EQ(count("sendFeed2"), 1u);
}

// The reward offer: the hidden ad page of each fetched game, read once, offered from the threshold on.
TEST_F(QuizEndTest, TheRewardOfferFollowsThePageAndTheThreshold) {
    using K = service::Fault::Kind;
    startPlayer(0);
    auto app = VelkoraAgentInternal::instance().appData();
    app->setAppReward(true);
    app->setAppRewardQuizThreshold(100);
    const std::string filler(120, '.');
    // 99 characters in all, a link among them.
    const std::string shortPage = "<a href=\"https://ads.example/c\">x</a>" + std::string(99 - 37, '.');
    ASSERT_EQ(shortPage.size(), 99u);
    const std::string frame = services::OutsideEndpoints::url(services::OutsideEndpoints::Service::AdNetwork, "x");
    struct Case {
        const char* name;
        int points;
        std::optional<service::Fault> fault;
        bool offered;
        const char* line;
    };
    const Case cases[] = {
        {"the network's page, 99 points", 99, std::nullopt, false, nullptr},
        {"the network's page, 100 points", 100, std::nullopt, true, nullptr},
        {"99 characters", 100, service::Fault{"/adnet/ad", K::NotJson, "<html><body>" + shortPage + "</body></html>"},
         false, "Velkora - Reward response string is empty or two short"},
        {"no link, in frames", 100,
         service::Fault{"/adnet/ad", K::NotJson,
                        "<html><body><p>" + filler + "</p><iframe src=\"" + frame + "\"></iframe></body></html>"},
         false, "Velkora - Reward response parsing error - cannot find href attribute"},
        {"no closing quote", 100,
         service::Fault{"/adnet/ad", K::NotJson,
                        "<html><body><p>" + filler + " href=\"https://ads.example/c</p></body></html>"},
         false, "Velkora - Reward response parsing error - cannot find href attribute end"},
        {"empty", 100, service::Fault{"/adnet/ad", K::HttpStatus, "", 200}, false, "Velkora - No Ad Content Received"},
        {"a 500", 100, service::Fault{"/adnet/ad", K::HttpStatus, "", 500}, false, "Velkora - No Ad Content Received"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        svc.clearFaults();
        if (c.fault) svc.addFault(*c.fault);
        capture_->clear();
        const size_t pages = svc.requestsFor("/adnet/ad").size();
        const int64_t id = addQuiz(quizJson(question(1, c.points, 0) + "," + question(2, 10, 0)));
        open(id);
        waitRewardPage(pages + 1);
        ASSERT_TRUE(settle());
        play(1);
        EXPECT_EQ(!screen_->rewardUrlStr().empty(), c.offered || c.points < 100);
        EXPECT_EQ(screen_->quizEndRewardView()->isHidden(), !c.offered);
        EXPECT_EQ(screen_->quizEndImageLineTopSpaceToBuyViewConstraint()->priority(), c.offered ? 700 : 900);
        const auto events = loggedEvents();
        EXPECT_EQ(std::count(events.begin(), events.end(), "quiz;reward-displayed;" + std::to_string(id)),
                  c.offered ? 1 : 0);
        // Read once, when the page had finished as a whole.
        if (c.line) {
            EXPECT_EQ(capture_->count(c.line), 1u);
        }
    }
}

TEST_F(QuizEndTest, TakingTheRewardReportsOnceAndOpensTheStore) {
    startPlayer(0);
    VelkoraQuizIAPServerManager::instance().initProducts();
    ASSERT_TRUE(waitAdvancing(
        [] {
            return VelkoraQuizIAPServerManager::instance().productByKey(VelkoraQuizPlayViewController::kCoinPack1) !=
                   nullptr;
        },
        30));
    ui::Application::instance().clearOpenedURLs();
    const int64_t id = addQuiz(quizJson(question(1, 100, 0) + "," + question(2, 10, 0)));
    open(id);
    waitRewardPage();
    play(1);
    ASSERT_FALSE(screen_->quizEndRewardView()->isHidden());
    window_->layoutIfNeeded();
    expectLooksLike("QuizEndRewardPhone");
    screen_->quizEndRewardsClicked(nullptr);
    ASSERT_TRUE(waitFor([] { return !ui::Application::instance().openedURLs().empty(); }));
    EXPECT_EQ(ui::Application::instance().openedURLs()[0].rfind("itms-apps://apps.example/app/id", 0), 0u);
    screen_->quizEndRewardsClicked(nullptr); // a second tap while the first is followed
    auto clicks = [&] {
        size_t n = 0;
        for (const auto& line : svc.events(kDemo))
            if (line.rfind("adClick|", 0) == 0) {
                EXPECT_EQ(line, "adClick|VENDOR0_none|3");
                ++n;
            }
        return n;
    };
    ASSERT_TRUE(waitFor([&] { return clicks() >= 1; }));
    ASSERT_TRUE(settle());
    EXPECT_EQ(clicks(), 1u);
    EXPECT_EQ(ui::Application::instance().openedURLs().size(), 1u);
    const auto events = loggedEvents();
    EXPECT_EQ(std::count(events.begin(), events.end(), "quiz;reward-clicked;" + std::to_string(id)), 1);
}

TEST_F(QuizEndTest, OnATabletTheRewardOfferSitsUnderTheCoinPack) {
    becomeTablet();
    startPlayer(0);
    VelkoraQuizIAPServerManager::instance().initProducts();
    ASSERT_TRUE(waitAdvancing(
        [] {
            return VelkoraQuizIAPServerManager::instance().productByKey(VelkoraQuizPlayViewController::kCoinPack1) !=
                   nullptr;
        },
        30));
    open(addQuiz(quizJson(question(1, 100, 0) + "," + question(2, 10, 0))));
    waitRewardPage();
    play(1);
    ASSERT_FALSE(screen_->quizEndRewardView()->isHidden());
    ASSERT_TRUE(settle());
    window_->layoutIfNeeded();
    const ui::Rect box = screen_->quizEndPurchaseButton()->superview()->frame();
    const ui::Rect reward = screen_->quizEndRewardView()->frame();
    const ui::Rect table = screen_->quizEndTable()->frame();
    EXPECT_GT(reward.y(), box.y() + box.height() - 1);
    EXPECT_GT(table.y(), reward.y() + reward.height());
    expectLooksLike("QuizEndRewardTablet");
}
