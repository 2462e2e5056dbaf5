// The user fetchers against velkora-service: friend ids sent in pages of 200, one page per reply, a late
// page sent from the first id not yet sent, Facebook's ids paged too, and followers and following.
#include <gtest/gtest.h>

#include "social/VelkoraUsersFetcher.h"
#include "server/ServerClientFixture.h"

using namespace velkora;
using namespace velkora::testing;
using foundation::Value;

namespace {

struct Told : VelkoraUsersFetcherDelegate {
    std::vector<size_t> sizes;
    void handleNewData(VelkoraUsersFetcher& fetcher) override { sizes.push_back(fetcher.getUsers().size()); }
};

Value idsPage(int64_t first, int count, const char* key) {
    foundation::Array ids;
    for (int i = 0; i < count; ++i)
        ids.emplace_back(foundation::Number(std::to_string(first + i)));
    if (std::string(key) == "ids") return Value(foundation::Dictionary{{"ids", Value(ids)}});
    foundation::Array data;
    for (const auto& id : ids)
        data.emplace_back(foundation::Dictionary{{"id", Value(id.textOr(""))}});
    return Value(foundation::Dictionary{{"data", Value(data)}});
}

class UsersFetcherTest : public ServerClientTest {
protected:
    void SetUp() override {
        ServerClientTest::SetUp();
        startNewUser();
        told_ = std::make_shared<Told>();
    }
    std::vector<size_t> sentPageSizes() const {
        std::vector<size_t> sizes;
        for (const auto& r : svc.requestsFor("getSocialNetworkFriends")) {
            auto ids = param(r, "friendIds");
            sizes.push_back(ids.empty() ? 0 : std::count(ids.begin(), ids.end(), ',') + 1);
        }
        return sizes;
    }
    std::shared_ptr<Told> told_;
};

TEST_F(UsersFetcherTest, TwitterIdsTravelInPagesOf200OnePerReplyAndALatePageOnlyWithItsNewIds) {
    auto fetcher = VelkoraSNUserFetcher::create();
    fetcher->setSocialNetwork(1);
    fetcher->loadUsersWithDelegate(told_); // no connector in this session: nothing is imported
    fetcher->twitterGotFriends(idsPage(700000000000, 450, "ids"), false);
    ASSERT_TRUE(waitFor([&] { return told_->sizes.size() == 3; }));
    ASSERT_TRUE(settle());
    EXPECT_EQ(sentPageSizes(), (std::vector<size_t>{200, 200, 50}));
    EXPECT_EQ(param(svc.requestsFor("getSocialNetworkFriends")[0], "network"), "twitter");
    EXPECT_EQ(told_->sizes.size(), 3u);

    svc.clearRequests();
    fetcher->twitterGotFriends(idsPage(800000000000, 3, "ids"), false);
    ASSERT_TRUE(waitFor([&] { return told_->sizes.size() == 4; }));
    ASSERT_TRUE(settle());
    ASSERT_EQ(sentPageSizes(), std::vector<size_t>{3}) << "only the ids not sent before";
    EXPECT_EQ(param(svc.requestsFor("getSocialNetworkFriends")[0], "friendIds"),
              "800000000000,800000000001,800000000002");
}

TEST_F(UsersFetcherTest, FacebookIdsGoAfterTheLastPageInPagesOf200) {
    auto fetcher = VelkoraSNUserFetcher::create();
    fetcher->setSocialNetwork(0);
    fetcher->loadUsersWithDelegate(told_);
    fetcher->fbGotFriends(idsPage(5'000'000'000, 1200, "data"), true);
    EXPECT_EQ(svc.requestsFor("getSocialNetworkFriends").size(), 0u);
    fetcher->fbGotFriends(idsPage(0, 0, "data"), false);
    ASSERT_TRUE(waitFor([&] { return told_->sizes.size() == 6; }));
    ASSERT_TRUE(settle());
    EXPECT_EQ(sentPageSizes(), (std::vector<size_t>(6, 200)));
    EXPECT_EQ(param(svc.requestsFor("getSocialNetworkFriends")[0], "network"), "facebook");
}

TEST_F(UsersFetcherTest, AServiceErrorLeavesTheListAndTellsNobody) {
    auto fetcher = VelkoraSNUserFetcher::create();
    fetcher->setSocialNetwork(1);
    fetcher->loadUsersWithDelegate(told_);
    svc.addFault({"getSocialNetworkFriends", service::Fault::Kind::ErrorCode, "INTERNAL_ERROR", 500, 0, 1});
    fetcher->twitterGotFriends(idsPage(1, 5, "ids"), false);
    ASSERT_TRUE(waitForRequests("getSocialNetworkFriends", 1));
    EXPECT_TRUE(told_->sizes.empty());
    EXPECT_TRUE(fetcher->getUsers().empty());
}

TEST_F(UsersFetcherTest, FavoritesOfTheSignedInUserAskForTheOwnListsAndOfAnotherForTheirs) {
    const std::string me = *agent().userId();
    const std::string other = svc.createUser(kApp);
    const std::string third = svc.createUser(kApp);
    svc.follow(kApp, other, me);
    svc.follow(kApp, third, other);
    struct Case {
        bool following;
        std::string whose;
        size_t count;
    };
    const Case cases[] = {{false, me, 1}, {true, other, 1}, {false, other, 1}, {false, third, 0}};
    for (const auto& c : cases) {
        auto fetcher = VelkoraFavoritesUsersFetcher::create();
        fetcher->setShowFollowing(c.following);
        auto user = std::make_shared<VelkoraUserInternal>();
        user->setUserId(c.whose);
        fetcher->setVelkoraUser(user);
        auto told = std::make_shared<Told>();
        fetcher->loadUsersWithDelegate(told);
        ASSERT_TRUE(waitFor([&] { return !told->sizes.empty(); })) << c.whose;
        EXPECT_EQ(told->sizes, std::vector<size_t>{c.count}) << c.whose << " " << c.following;
    }
}

} // namespace
