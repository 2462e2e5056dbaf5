// The quiz, coin and score commands of the kit against velkora-service.
#include <gmock/gmock.h>

#include "StoreFixture.h"

using namespace velkora;
using namespace velkora::testing;
using foundation::Value;


TEST_F(StoreTest, SetScoreSendsNoScoreIdAndUpdateScoreSendsTheIdOfItsReply) {
    startDemoUser();
    // Before any reply the held id is 0, and it is sent.
    VelkoraServerApi::updateScore(std::string("1"), 5);
    ASSERT_TRUE(waitForRequests("setScore", 1));
    EXPECT_EQ(param(svc.requestsFor("setScore")[0], "scoreId"), "0");

    VelkoraServerApi::setScore(std::string("1"), 40);
    ASSERT_TRUE(waitForRequests("setScore", 2));
    const std::string first = lastQuery("setScore");
    EXPECT_EQ(first, "command=setScore&appId=" + std::string(kDemo) + "&userId=" + userId_ +
                         "&level=1&score=40&clientType=1&build=2.5.7");
    int32_t id = agent().lastSetScoreId();
    ASSERT_GT(id, 0);

    VelkoraServerApi::updateScore(std::string("1"), 90);
    ASSERT_TRUE(waitForRequests("setScore", 3));
    EXPECT_EQ(lastQuery("setScore"), first.substr(0, first.find("&score=")) + "&score=90&clientType=1&build=2.5.7" +
                                         "&scoreId=" + std::to_string(id));
    EXPECT_EQ(agent().lastSetScoreId(), id);  // the same score, grown
    // The total grew by every score's points: 5, then 40, then the update's 50.
    EXPECT_EQ(svc.userColumn(kDemo, userId_, "score"), "95");
}

TEST_F(StoreTest, ANewScoreForgetsTheOldIdAndUpdatesWaitForItsOwn) {
    startDemoUser();
    VelkoraServerApi::setScore(std::string("quiz_1"), 10);
    ASSERT_TRUE(waitForRequests("setScore", 1));
    const int32_t earlier = agent().lastSetScoreId();
    ASSERT_GT(earlier, 0);
    // A new game's score is on its way when the game goes on: its update waits for the new id, and only
    // the latest update goes out.
    svc.addFault(service::Fault{"setScore", service::Fault::Kind::Delay, "", 500, 1.0});
    VelkoraServerApi::setScore(std::string("quiz_1"), 20);
    EXPECT_EQ(agent().lastSetScoreId(), 0);
    VelkoraServerApi::updateScore(std::string("quiz_1"), 30);
    VelkoraServerApi::updateScore(std::string("quiz_1"), 35);
    ASSERT_TRUE(waitForRequests("setScore", 3));
    auto requests = svc.requestsFor("setScore");
    ASSERT_EQ(requests.size(), 3u);
    const int32_t newer = agent().lastSetScoreId();
    EXPECT_NE(newer, earlier);
    EXPECT_EQ(param(requests[2], "score"), "35");
    EXPECT_EQ(param(requests[2], "scoreId"), std::to_string(newer));
    EXPECT_EQ(svc.userColumn(kDemo, userId_, "score"), "45"); // 10, then 20 grown to 35

    // A new score that never arrives: the update held for it goes out as a new score of its own.
    svc.clearFaults();
    svc.addFault(service::Fault{"setScore", service::Fault::Kind::ErrorCode, "SERVICE_DOWN"});
    VelkoraServerApi::setScore(std::string("quiz_1"), 50);
    VelkoraServerApi::updateScore(std::string("quiz_1"), 60);
    ASSERT_TRUE(waitForRequests("setScore", 5));
    requests = svc.requestsFor("setScore");
    ASSERT_EQ(requests.size(), 5u);
    EXPECT_EQ(param(requests[4], "score"), "60");
    EXPECT_EQ(param(requests[4], "scoreId"), "<absent>");
    EXPECT_EQ(svc.userColumn(kDemo, userId_, "score"), "105");
}

TEST_F(StoreTest, ScoresAnswerTheLeadersAndTheUsersAreaRankedByPeriod) {
    startDemoUser();
    // A level with characters that must be escaped, or "&" would cut it short.
    const std::string level = "cats & dogs=1";
    std::vector<std::string> others;
    for (int i = 0; i < 5; ++i) others.push_back(svc.createUser(kDemo));
    auto score = [&](const std::string& user, int points, double daysAgo) {
        svc.setClockOffset(-daysAgo * 86400);
        std::string reply = serviceGet("command=setScore&appId=" + std::string(kDemo) + "&userId=" + user +
                                       "&level=" + escapeRequestValue(level) + "&score=" + std::to_string(points) +
                                       "&clientType=1&build=2.5.7");
        ASSERT_NE(reply.find("\"id\""), std::string::npos) << reply;
    };
    for (int i = 0; i < 5; ++i) score(others[i], 100 + 10 * i, 30);  // long ago: 100 ... 140
    score(others[0], 500, 0);                                          // today, the best
    svc.setClockOffset(0);
    VelkoraServerApi::setScore(level, 120);
    ASSERT_TRUE(waitForRequests("setScore", 1));
    EXPECT_EQ(param(svc.requestsFor("setScore")[0], "level"), "cats%20%26%20dogs%3D1");

    struct Case {
        int32_t intervalType;
        std::vector<std::string> leaders;
        std::vector<int64_t> positions;
        size_t areaSize;
    } cases[] = {
        {1, {others[0], userId_}, {1, 2}, 2},
        {2, {others[0], userId_}, {1, 2}, 2},
        // Equal scores share a place, the one reached first listed first; the user's area is the rows
        // around the user's own.
        {3, {others[0], others[4], others[3], others[2], userId_, others[1]}, {1, 2, 3, 4, 4, 6}, 4},

    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.intervalType);
        auto caller = std::make_shared<Caller>();
        VelkoraServerApi::getScores(Caller::of(caller), level, c.intervalType);
        ASSERT_TRUE(waitFor([&] { return caller->answers.size() == 1; }));
        EXPECT_EQ(lastQuery("getScores"), "command=getScores&appId=" + std::string(kDemo) + "&userId=" + userId_ +
                                              "&level=cats%20%26%20dogs%3D1&intervalType=" +
                                              std::to_string(c.intervalType) + "&clientType=1&build=2.5.7");
        auto leaders = objectsOf<VelkoraScorePosition>(caller->answers[0]["leaders"]);
        ASSERT_EQ(leaders.size(), c.leaders.size());
        for (size_t i = 0; i < leaders.size(); ++i) {
            EXPECT_EQ(leaders[i]->user()->userId(), c.leaders[i]) << i;
            EXPECT_EQ(leaders[i]->position(), c.positions[i]) << i;
        }
        EXPECT_EQ(objectsOf<VelkoraScorePosition>(caller->answers[0]["userArea"]).size(), c.areaSize);
    }
    auto caller = std::make_shared<Caller>();
    VelkoraServerApi::getScores(Caller::of(caller), std::string("2"), 3);
    ASSERT_TRUE(waitFor([&] { return caller->answers.size() == 1; }));
    EXPECT_TRUE(objectsOf<VelkoraScorePosition>(caller->answers[0]["leaders"]).empty());
    EXPECT_TRUE(objectsOf<VelkoraScorePosition>(caller->answers[0]["userArea"]).empty());
}

TEST_F(StoreTest, QuizzesAnswerTheListAndOneQuizWhoseAnswersCountTheReports) {
    startDemoUser();
    auto caller = std::make_shared<Caller>();
    VelkoraServerApi::getQuizzes(Caller::of(caller));
    ASSERT_TRUE(waitFor([&] { return caller->answers.size() == 1; }));
    EXPECT_EQ(lastQuery("getQuizzes"),
              "command=getQuizzes&appId=" + std::string(kDemo) + "&userId=" + userId_ + "&clientType=1&build=2.5.7");
    const Value list = caller->answers[0];
    EXPECT_EQ(list["unlockAllQuizzesCoins"].toInt64(), 500);
    ASSERT_EQ(list["quizzes"].size(), 3u);  // the two seeded quizzes and the one whose answers carry picks
    auto open = list["quizzes"].at(0).asObject<VelkoraQuiz>();
    auto locked = list["quizzes"].at(1).asObject<VelkoraQuiz>();
    EXPECT_FALSE(open->isLocked());
    EXPECT_TRUE(locked->isLocked());
    EXPECT_EQ(locked->coinsToUnlock(), 50);
    EXPECT_TRUE(locked->questions().empty());  // a locked quiz keeps its questions

    // Two players answer question 1: one right (answer 10), one wrong (11); a reserve is used once.
    VelkoraServerApi::reportQuiz(open->quizId(), std::string("1,10|2,21|4,42"));
    VelkoraServerApi::reportQuiz(open->quizId(), std::string("1,11"));
    ASSERT_TRUE(waitForRequests("reportQuiz", 2));
    // The two reports travel side by side, so the service may read either first.
    std::vector<std::string> reports;
    for (const auto& request : svc.requestsFor("reportQuiz")) reports.push_back(untagged(request));
    EXPECT_THAT(reports, ::testing::Contains("command=reportQuiz&appId=" + std::string(kDemo) + "&userId=" + userId_ +
                                             "&quizId=1&report=1,10%7C2,21%7C4,42" + "&clientType=1&build=2.5.7"));

    VelkoraServerApi::getQuiz(Caller::of(caller), open->quizId());
    ASSERT_TRUE(waitFor([&] { return caller->answers.size() == 2; }));
    EXPECT_EQ(lastQuery("getQuiz"), "command=getQuiz&appId=" + std::string(kDemo) + "&userId=" + userId_ +
                                        "&quizId=1&clientType=1&build=2.5.7");
    auto quiz = caller->answers[1].asObject<VelkoraQuiz>();
    ASSERT_TRUE(quiz);
    ASSERT_EQ(quiz->questions().size(), 3u);
    ASSERT_EQ(quiz->reserves().size(), 1u);
    std::vector<int32_t> hits;
    for (auto& a : quiz->questions()[0]->answers()) hits.push_back(a->hits());
    EXPECT_EQ(hits, (std::vector<int32_t>{50, 50, 0, 0}));  // shares of the question's picks
    EXPECT_EQ(quiz->questions()[1]->answers()[1]->hits(), 100);
    EXPECT_EQ(quiz->reserves()[0]->answers()[2]->hits(), 100);

    // A quiz the service does not have gives no answer at all.
    VelkoraServerApi::getQuiz(Caller::of(caller), 99);
    ASSERT_TRUE(waitForRequests("getQuiz", 2));
    EXPECT_EQ(caller->answers.size(), 2u);
}

TEST_F(StoreTest, TheFiveCoinFormsBuyWithAReceiptAndSpendNegatedCoins) {
    startDemoUser();
    const std::string ids = "command=updateQuizProduct&appId=" + std::string(kDemo) + "&userId=" + userId_ +
                            "&clientType=1&build=2.5.7";
    const std::string receipt = receiptFor("com.velkora.demo.coins100", "C-1");
    auto caller = std::make_shared<Caller>();
    auto cb = Caller::of(caller);
    struct Case {
        const char* name;
        std::function<void()> call;
        std::string method, text;
        bool success;
        int coinsAfter;
    } cases[] = {
        {"bought", [&] { VelkoraServerApi::updateQuizBoughtCoins(cb, 100, -1, -1, product("com.velkora.demo.coins100"), receipt); },
         "POST", ids + "&coins=100&price=0.99&currency=USD&productId=com.velkora.demo.coins100&receipt=" + receipt,
         true, 100},
        // The same purchase sent again is taken, and not credited twice.
        {"bought again", [&] { VelkoraServerApi::updateQuizBoughtCoins(cb, 100, 1, 2, product("com.velkora.demo.coins100"), receipt); },
         "POST", ids + "&coins=100&quizId=1&questionId=2&price=0.99&currency=USD&productId=com.velkora.demo.coins100&receipt=" + receipt,
         true, 100},
        {"lives", [&] { VelkoraServerApi::updateQuizUsedLives(cb, 10, 1, 1, 2); },
         "GET", ids + "&coins=-10&lives=1&quizId=1&questionId=2", true, 90},
        {"hints", [&] { VelkoraServerApi::updateQuizUsedHints(cb, 20, 2, 1, 3); },
         "GET", ids + "&coins=-20&hints=2&quizId=1&questionId=3", true, 70},
        // Offering less than the quiz costs unlocks nothing.
        {"quiz for too little", [&] { VelkoraServerApi::updateQuizUsedQuiz(cb, 10, 2); },
         "GET", ids + "&coins=-10&unlockQuizId=2", false, 70},
        {"quiz", [&] { VelkoraServerApi::updateQuizUsedQuiz(cb, 50, 2); },
         "GET", ids + "&coins=-50&unlockQuizId=2", true, 20},
        {"all quizzes without the coins", [&] { VelkoraServerApi::updateQuizUsedAllQuizzes(cb, 500); },
         "GET", ids + "&coins=-500&unlockAllQuizzes=1", false, 20},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        c.call();
        ASSERT_TRUE(waitFor([&] { return caller->answers.size() == i + 1; }));
        auto sent = svc.requestsFor("updateQuizProduct").back();
        EXPECT_EQ(sent.method, c.method);
        EXPECT_EQ(c.method == "POST" ? sent.body : untagged(sent), c.text);
        const Value& answer = caller->answers[i];
        EXPECT_EQ(answer["success"].toBool(), c.success);
        EXPECT_EQ(answer["shouldRetry"].toBool(), false);
        EXPECT_EQ(answer.get("productId") != nullptr, c.method == "POST");
        EXPECT_EQ(svc.userColumn(kDemo, userId_, "coins"), std::to_string(c.coinsAfter));
    }
    // The unlocked quiz now shows its questions.
    VelkoraServerApi::getQuiz(cb, 2);
    ASSERT_TRUE(waitFor([&] { return caller->answers.size() == std::size(cases) + 1; }));
    auto quiz = caller->answers.back().asObject<VelkoraQuiz>();
    ASSERT_TRUE(quiz);
    EXPECT_FALSE(quiz->isLocked());
    EXPECT_EQ(quiz->questions().size(), 2u);
}

TEST_F(StoreTest, SuggestionsEscapeTheirTextsAndAnswerNothing) {
    startDemoUser();
    auto caller = std::make_shared<Caller>();
    VelkoraServerApi::suggestQuizQuestion(Caller::of(caller), 1, std::string("Is 2+2=4 & more?"), std::string("Yes"),
                                          std::string("No"), std::string("100%"), std::string("Caf\xc3\xa9"));
    ASSERT_TRUE(waitFor([&] { return caller->answers.size() == 1; }));
    EXPECT_TRUE(caller->answers[0].isNull());
    EXPECT_EQ(lastQuery("suggestQuizQuestion"),
              "command=suggestQuizQuestion&appId=" + std::string(kDemo) + "&userId=" + userId_ +
                  "&quizId=1&question=Is%202%2B2%3D4%20%26%20more%3F&correct=Yes&wrong1=No&wrong2=100%25&wrong3=Caf%C3%A9"
                  "&clientType=1&build=2.5.7");
}

TEST_F(StoreTest, QuizCommandsMadeBeforeTheSessionAreReplayedInOrder) {
    auto caller = std::make_shared<Caller>();
    VelkoraServerApi::setScore(std::string("3"), 77);
    VelkoraServerApi::getScores(Caller::of(caller), std::string("3"), 2);
    VelkoraServerApi::reportQuiz(1, std::string("1,10"));
    VelkoraServerApi::updateQuizUsedHints(Caller::of(caller), 5, 1, 1, 1);
    VelkoraServerApi::suggestQuizQuestion(Caller::of(caller), 2, std::string("Q"), std::string("A"), std::string("B"),
                                          std::string("C"), std::string("D"));
    std::vector<int> types;
    for (auto& r : agent().pendingRequests()) types.push_back(r->type);
    EXPECT_EQ(types, (std::vector<int>{51, 53, 56, 58, 62}));
    startDemoUser();
    ASSERT_TRUE(waitFor([&] { return caller->answers.size() == 3; }));
    ASSERT_TRUE(waitForRequests("reportQuiz", 1));
    EXPECT_EQ(param(svc.requestsFor("setScore").at(0), "score"), "77");
    EXPECT_EQ(param(svc.requestsFor("getScores").at(0), "intervalType"), "2");
    EXPECT_EQ(param(svc.requestsFor("reportQuiz").at(0), "report"), "1,10");
    EXPECT_EQ(param(svc.requestsFor("updateQuizProduct").at(0), "hints"), "1");
    EXPECT_EQ(param(svc.requestsFor("suggestQuizQuestion").at(0), "wrong3"), "D");
}
