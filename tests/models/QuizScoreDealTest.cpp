#include <gtest/gtest.h>

#include "ModelsTestSupport.h"
#include "platform/foundation/Log.h"
#include "server/VelkoraReplyParsers.h"

using namespace velkora;
using velkora::test::json;

namespace {
class QuizScoreDealTest : public ::testing::Test {
protected:
    void SetUp() override { VelkoraUsersRepository::instance().reset(); }
    foundation::Log::Capture log_;
};
}  // namespace

TEST_F(QuizScoreDealTest, Quizzes) {
    struct Case {
        const char* json;
        bool parsed;
        int32_t id;
        bool locked;
        int32_t coins;
        OptionalText name, description;
        size_t questions, reserves;
    } cases[] = {
        {R"({"id": 3, "locked": true, "coins": 50, "name": "Q", "description": "D"})", true, 3, true, 50, "Q", "D", 0, 0},
        {R"({"id": 3, "locked": false, "coins": 50})", true, 3, false, 0, std::nullopt, std::nullopt, 0, 0},
        {R"({"id": 3, "locked": true})", true, 3, true, 0, std::nullopt, std::nullopt, 0, 0},
        {R"({"id": "4", "locked": 1, "coins": "20", "name": null, "description": null})", true, 4, true, 20, "", "", 0, 0},
        {R"({"id": null, "name": 7, "questions": [{"id": 1}, 2, {"id": 3}], "reserves": {"id": 1}})", true, 0, false,
         0, std::nullopt, std::nullopt, 2, 0},
        {R"({})", false, 0, false, 0, std::nullopt, std::nullopt, 0, 0},
        {R"(null)", false, 0, false, 0, std::nullopt, std::nullopt, 0, 0},
        {R"([{"id": 1}])", false, 0, false, 0, std::nullopt, std::nullopt, 0, 0},
    };
    for (const auto& c : cases) {
        auto q = parseQuiz(json(c.json));
        ASSERT_EQ(q != nullptr, c.parsed) << c.json;
        if (!q) continue;
        EXPECT_EQ(q->quizId(), c.id) << c.json;
        EXPECT_EQ(q->isLocked(), c.locked) << c.json;
        EXPECT_EQ(q->coinsToUnlock(), c.coins) << c.json;
        EXPECT_EQ(q->name(), c.name) << c.json;
        EXPECT_EQ(q->description(), c.description) << c.json;
        EXPECT_EQ(q->questions().size(), c.questions) << c.json;
        EXPECT_EQ(q->reserves().size(), c.reserves) << c.json;
    }
}

TEST_F(QuizScoreDealTest, QuestionsAndAnswers) {
    auto q = parseQuiz(json(R"({"id": 1, "questions": [
        {"id": 10, "question": "2+2?", "level": 1, "score": 100, "timeLimit": 20, "timeBonus": 50,
         "answers": [{"id": 1, "answer": "4", "correct": true, "hits": 80},
                     {"id": 2, "answer": null, "correct": 0, "hits": "20"}]},
        {"id": 11, "question": null}],
        "reserves": [{"id": 12, "question": "spare"}]})"));
    ASSERT_NE(q, nullptr);
    ASSERT_EQ(q->questions().size(), 2u);
    const auto& first = q->questions()[0];
    EXPECT_EQ(first->questionId(), 10);
    EXPECT_EQ(first->question(), "2+2?");
    EXPECT_EQ(first->level(), 1);
    EXPECT_EQ(first->score(), 100);
    EXPECT_EQ(first->timeLimit(), 20);
    EXPECT_EQ(first->timeBonus(), 50);
    ASSERT_EQ(first->answers().size(), 2u);
    EXPECT_EQ(first->answers()[0]->answer(), "4");
    EXPECT_TRUE(first->answers()[0]->isCorrect());
    EXPECT_EQ(first->answers()[0]->hits(), 80);
    EXPECT_EQ(first->answers()[1]->answer(), "");
    EXPECT_FALSE(first->answers()[1]->isCorrect());
    EXPECT_EQ(first->answers()[1]->hits(), 20);
    EXPECT_EQ(q->questions()[1]->question(), "");
    EXPECT_TRUE(q->questions()[1]->answers().empty());
    ASSERT_EQ(q->reserves().size(), 1u);
    EXPECT_EQ(q->reserves()[0]->question(), "spare");
    EXPECT_TRUE(parseQuestions(json("null")).empty());
    EXPECT_TRUE(parseAnswers(json("{}")).empty());
}

TEST_F(QuizScoreDealTest, ScoreRows) {
    auto reply = json(R"({"topScores": [
        {"position": 1, "score": 9000000000, "user": {"userId": "a"}},
        {"position": "2", "score": 10, "user": {"userId": null}},
        {"position": 3, "user": {"userId": "c"}}, 4]})");
    auto rows = parseScorePositionArray(reply, "topScores");
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0]->position(), 1);
    EXPECT_EQ(rows[0]->score(), 9000000000);
    EXPECT_EQ(rows[0]->user()->userId(), "a");
    EXPECT_EQ(rows[1]->position(), 3);
    EXPECT_EQ(rows[1]->score(), 0);
    EXPECT_TRUE(parseScorePositionArray(reply, "userArea").empty());
    EXPECT_TRUE(parseScorePositionArray(json("[]"), "topScores").empty());
}

TEST_F(QuizScoreDealTest, ServiceDeals) {
    auto deal = parseAppDeal(json(R"({"id": 5, "name": "Game", "icon": "http://i", "category": "Games",
        "developer": "Dev", "url": "http://store", "price": "0.99", "isFree": false, "rating": 4.5,
        "description": "ignored", "installs": "1 - 5"})"));
    ASSERT_NE(deal, nullptr);
    EXPECT_EQ(deal->appDealId(), 5);
    EXPECT_EQ(deal->name(), "Game");
    EXPECT_EQ(deal->icon(), "http://i");
    EXPECT_EQ(deal->category(), "Games");
    EXPECT_EQ(deal->developer(), "Dev");
    EXPECT_EQ(deal->url(), "http://store");
    EXPECT_EQ(deal->price(), "0.99");
    EXPECT_FALSE(deal->isFree());
    EXPECT_FLOAT_EQ(deal->rating(), 4.5f);
    EXPECT_EQ(deal->impressionUrl(), "");
    EXPECT_EQ(deal->description(), "");
    EXPECT_EQ(deal->downloads(), std::nullopt);
    auto bare = parseAppDeal(json(R"({"isFree": "1", "rating": "lots"})"));
    EXPECT_TRUE(bare->isFree());
    EXPECT_EQ(bare->name(), std::nullopt);
    EXPECT_FLOAT_EQ(bare->rating(), 0);
    EXPECT_EQ(parseAppDeal(json("7")), nullptr);
}

TEST_F(QuizScoreDealTest, ExchangeDeals) {
    const char* base = R"({"title": "T", "imageUrl": "http://i", "description": "D", "clickUrl": "http://c",
                           "trackingUrl": "http://t", "category": null, "developer": "Dev", "price": null,
                           "installs": "10,000 - 50,000", "rating": null})";
    auto deal = parseExchangeAppDeal(json(base));
    ASSERT_NE(deal, nullptr);
    EXPECT_EQ(deal->appDealId(), 0);
    EXPECT_EQ(deal->name(), "T");
    EXPECT_EQ(deal->icon(), "http://i");
    EXPECT_EQ(deal->description(), "D");
    EXPECT_EQ(deal->url(), "http://c");
    EXPECT_EQ(deal->impressionUrl(), "http://t");
    EXPECT_EQ(deal->category(), "");
    EXPECT_EQ(deal->developer(), "Dev");
    EXPECT_EQ(deal->price(), "");
    EXPECT_TRUE(deal->isFree());
    EXPECT_EQ(deal->downloads(), "10,000+");
    EXPECT_FLOAT_EQ(deal->rating(), 0);

    struct Installs {
        const char* value;
        OptionalText downloads;
    } installs[] = {{R"("500")", std::nullopt}, {"null", ""}, {R"(" 1,000 -5,000")", "1,000+"},
                    {R"("-")", "+"}, {"12", std::nullopt}};
    for (const auto& i : installs) {
        auto j = nlohmann::json::parse(base);
        j["installs"] = nlohmann::json::parse(i.value);
        auto d = parseExchangeAppDeal(velkora::test::toValue(j));
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->downloads(), i.downloads) << i.value;
    }
    for (const char* key : {"title", "imageUrl", "description", "clickUrl", "trackingUrl"}) {
        auto nulled = nlohmann::json::parse(base);
        nulled[key] = nullptr;
        EXPECT_EQ(parseExchangeAppDeal(velkora::test::toValue(nulled)), nullptr) << key;
        auto missing = nlohmann::json::parse(base);
        missing.erase(key);
        EXPECT_EQ(parseExchangeAppDeal(velkora::test::toValue(missing)), nullptr) << key;
    }
    auto rated = nlohmann::json::parse(base);
    rated["rating"] = 3.5;
    EXPECT_FLOAT_EQ(parseExchangeAppDeal(velkora::test::toValue(rated))->rating(), 3.5f);
    rated["rating"] = 1e300;
    EXPECT_GT(parseExchangeAppDeal(velkora::test::toValue(rated))->rating(), 1e38f);
}
