// Replies of unusual shape, served by the service in place of its own answers.
#include "StoreFixture.h"

using namespace velkora;
using namespace velkora::testing;
using foundation::Value;

TEST_F(StoreTest, RepliesMissingTheirKeysStillAnswerWhatTheyCan) {
    startDemoUser();
    struct Case {
        const char* command;
        const char* reply;
        std::function<void(VelkoraCallback)> call;
        // Null when the reply lacks what the caller needs: its error function hears it.
        std::function<void(const Value&)> check;
    } cases[] = {
        {"getStickerStore", R"({})", [](VelkoraCallback cb) { VelkoraServerApi::getStickerStore(cb); },
         [](const Value& a) { EXPECT_TRUE(a.isArray() && a.size() == 0); }},
        {"getStickerPack", R"({})", [](VelkoraCallback cb) { VelkoraServerApi::getStickerPack(cb, 4); },
         [](const Value& a) {
             auto pack = a.asObject<VelkoraStickerPack>();
             ASSERT_TRUE(pack);
             EXPECT_EQ(pack->packId(), 0);
             EXPECT_TRUE(pack->stickers().empty());
         }},
        {"getStickerData", R"({"stickerPacks":[{"id":3,"icon":null,"stickers":[{"id":8,"url":null}]}]})",
         [](VelkoraCallback cb) { VelkoraServerApi::getStickerData(cb); },
         [](const Value& a) {
             auto packs = objectsOf<VelkoraStickerPack>(a);
             ASSERT_EQ(packs.size(), 1u);
             EXPECT_FALSE(packs[0]->icon());
             ASSERT_EQ(packs[0]->stickers().size(), 1u);
             EXPECT_EQ(packs[0]->stickers()[0]->stickerId(), 8);
             EXPECT_FALSE(packs[0]->stickers()[0]->url());
         }},
        {"addPaidStickerPack", R"({"success":false,"retry":true,"packId":4})",
         [](VelkoraCallback cb) { VelkoraServerApi::addPaidStickerPack(cb, 4, nullptr, std::nullopt); },
         [](const Value& a) {
             EXPECT_EQ(a, Value(foundation::Dictionary{
                              {"success", Value(false)}, {"shouldRetry", Value(true)}, {"packId", Value(4)}}));
         }},
        {"getQuiz", R"({"quiz":{}})", [](VelkoraCallback cb) { VelkoraServerApi::getQuiz(cb, 1); }, nullptr},
        {"getQuizzes", R"({"quizzes":[{},{"id":7,"locked":true,"name":null}]})",
         [](VelkoraCallback cb) { VelkoraServerApi::getQuizzes(cb); },
         [](const Value& a) {
             auto quizzes = objectsOf<VelkoraQuiz>(a["quizzes"]);
             ASSERT_EQ(quizzes.size(), 1u);  // the empty one is skipped
             EXPECT_EQ(quizzes[0]->coinsToUnlock(), 0);
             EXPECT_EQ(quizzes[0]->name(), std::string());
             EXPECT_EQ(a["unlockAllQuizzesCoins"].toInt64(), 0);
         }},
        {"getScores", R"({"topScores":[]})", [](VelkoraCallback cb) { VelkoraServerApi::getScores(cb, "1", 3); },
         [](const Value& a) {
             EXPECT_TRUE(a["leaders"].isArray());
             EXPECT_TRUE(a["userArea"].isArray() && a["userArea"].size() == 0);
         }},
        {"updateQuizProduct", R"({"success":true})",
         [](VelkoraCallback cb) { VelkoraServerApi::updateQuizUsedQuiz(cb, 5, 1); },
         [](const Value& a) {
             EXPECT_EQ(a, Value(foundation::Dictionary{{"success", Value(true)}, {"shouldRetry", Value(false)}}));
         }},
        {"getApps", R"({})", [](VelkoraCallback cb) { VelkoraServerApi::getAppDeals(cb); },
         [](const Value& a) { EXPECT_TRUE(a.isArray() && a.size() == 0); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        svc.addFault({c.command, service::Fault::Kind::NotJson, c.reply});
        auto caller = std::make_shared<Caller>();
        c.call(Caller::of(caller));
        ASSERT_TRUE(waitForRequests(c.command, 1));
        svc.clearRequests();
        if (!c.check) {
            EXPECT_TRUE(caller->answers.empty());
            ASSERT_EQ(caller->errors.size(), 1u);
            EXPECT_EQ(caller->errors[0]->domain, "Internal error");
            continue;
        }
        EXPECT_TRUE(caller->errors.empty());
        ASSERT_EQ(caller->answers.size(), 1u);
        c.check(caller->answers[0]);
    }
}
