// The quizzes index and the unlock-all price, the social-network friends badge, and the promoted
// applications list.
#include "RepositoriesFixture.h"
#include "data/VelkoraAppDealsRepository.h"
#include "data/VelkoraSNFriendsRepository.h"

using namespace velkora;
using namespace velkora::testing;
using foundation::Value;

namespace {

VelkoraQuizPtr quiz(int32_t id) {
    auto q = std::make_shared<VelkoraQuiz>();
    q->setQuizId(id);
    return q;
}

Value quizReply(std::initializer_list<int32_t> ids, std::optional<int> coins) {
    foundation::Array list;
    for (int32_t id : ids)
        list.push_back(Value::object(quiz(id)));
    foundation::Dictionary reply{{"quizzes", Value(std::move(list))}};
    if (coins) reply.set("unlockAllQuizzesCoins", *coins);
    return Value(std::move(reply));
}

} // namespace

using SmallRepositoriesTest = RepositoriesTest;

TEST_F(SmallRepositoriesTest, QuizIndexIsMadeAfreshForEachListAndThePriceKeepsItsLastPositiveValue) {
    auto& repo = VelkoraQuizzesRepository::instance();
    EXPECT_EQ(repo.unlockAllQuizzesCoins(), 400);
    EXPECT_EQ(repo.getQuizById(1), nullptr);
    Posted got(VelkoraQuizzesRepository::kGotQuizzesNotification);

    struct Case {
        Value reply;
        std::vector<int32_t> ids;
        int32_t coins;
        std::vector<int32_t> missing;
    } cases[] = {
        {quizReply({11, 12, 13}, std::nullopt), {11, 12, 13}, 400, {14}},
        {quizReply({11, 12, 13}, 0), {11, 12, 13}, 400, {}},
        {quizReply({21, 13}, 250), {21, 13}, 250, {11, 12}}, // 12 sat at position 2, where 13 is now
        {quizReply({13}, -5), {13}, 250, {11, 12, 21}},
    };
    for (const Case& c : cases) {
        repo.gotQuizzes(c.reply);
        EXPECT_TRUE(repo.didFinishLoading());
        EXPECT_EQ(got.last()["newQuizzes"], Value(c.ids.size()));
        EXPECT_EQ(repo.getQuizIds(), c.ids);
        EXPECT_EQ(repo.unlockAllQuizzesCoins(), c.coins);
        // The first as well as the last is found, each as itself.
        for (int32_t id : c.ids) {
            ASSERT_TRUE(repo.getQuizById(id)) << id;
            EXPECT_EQ(repo.getQuizById(id)->quizId(), id);
        }
        for (int32_t id : c.missing)
            EXPECT_EQ(repo.getQuizById(id), nullptr) << id;
    }
}

TEST_F(SmallRepositoriesTest, QuizListIsAskedForWhenMadeAndThePriceStaysWhenTheServiceGivesNone) {
    startNewUser();
    Posted got(VelkoraQuizzesRepository::kGotQuizzesNotification);
    auto& repo = VelkoraQuizzesRepository::instance();
    EXPECT_FALSE(repo.didFinishLoading());
    ASSERT_TRUE(waitFor([&] { return repo.didFinishLoading(); }));
    EXPECT_EQ(count("getQuizzes"), 1u);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(repo.unlockAllQuizzesCoins(), 400);
    EXPECT_EQ(got.last()["newQuizzes"], Value(repo.quizzes().size()));
}

TEST_F(SmallRepositoriesTest, FriendsNotFollowedCountOncePerList) {
    auto friendOf = [](bool followed) {
        auto u = std::make_shared<VelkoraUserInternal>();
        u->setIsFavorite(followed);
        return u;
    };
    auto both = friendOf(false);
    auto& repo = VelkoraSNFriendsRepository::instance();
    repo.setFacebookFriends({});
    repo.setTwitterFriends({});
    EXPECT_EQ(repo.totalNonFollowedFriendsNumber(), 0);
    repo.setFacebookFriends({friendOf(false), friendOf(true), both});
    repo.setTwitterFriends({friendOf(false), friendOf(false)});
    EXPECT_EQ(repo.totalNonFollowedFriendsNumber(), 4);
    repo.setTwitterFriends({both, nullptr});
    EXPECT_EQ(repo.totalNonFollowedFriendsNumber(), 3);
}

TEST_F(SmallRepositoriesTest, AppDealsAppendUntilClearedAndStampTheTime) {
    loop().useTestClock();
    auto deal = [](int32_t id) {
        auto d = std::make_shared<VelkoraAppDeal>();
        d->setAppDealId(id);
        return d;
    };
    auto& repo = VelkoraAppDealsRepository::instance();
    repo.setAppDeals({});
    repo.setLastUpdateTime(std::nullopt);
    EXPECT_FALSE(repo.lastUpdateTime());
    repo.updateWithAppDeals({deal(1), deal(2)});
    const double first = *repo.lastUpdateTime();
    EXPECT_EQ(first, loop().now());
    loop().advance(30);
    repo.updateWithAppDeals({deal(3)});
    ASSERT_EQ(repo.appDeals().size(), 3u);
    EXPECT_EQ(repo.appDeals()[2]->appDealId(), 3);
    EXPECT_EQ(*repo.lastUpdateTime(), first + 30);
    repo.cleaerRepository();
    EXPECT_TRUE(repo.appDeals().empty());
    repo.updateWithAppDeals({deal(4)});
    ASSERT_EQ(repo.appDeals().size(), 1u);
}
