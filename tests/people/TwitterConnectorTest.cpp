// The Twitter connector against the service's Twitter: identification with its one answer for every
// outcome, the chooser, friend paging in both modes, and tweets.
#include <gtest/gtest.h>

#include "ConnectorFixture.h"
#include "ScreenReference.h"
#include "data/VelkoraUserInternal.h"
#include "social/VelkoraTwitterConnector.h"
#include "platform/services/Accounts.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/ComposeViewController.h"
#include "platform/ui/Snapshot.h"

using namespace velkora;
using namespace velkora::testing;
using foundation::Value;

namespace {

struct Heard {
    std::vector<Value> objects;
    std::vector<std::pair<Value, bool>> pages;
};

class TwitterConnectorTest : public ConnectorTest {
protected:
    void SetUp() override {
        ConnectorTest::SetUp();
        connector_ = VelkoraTwitterConnector::create();
        heard_ = std::make_shared<Heard>();
    }
    void TearDown() override {
        connector_.reset();
        ConnectorTest::TearDown();
    }
    VelkoraConnectorTarget target() {
        auto h = heard_;
        return VelkoraConnectorTarget::make(heard_, [h](const Value& v) { h->objects.push_back(v); });
    }
    VelkoraConnectorTarget pages() {
        auto h = heard_;
        return VelkoraConnectorTarget::pages(heard_,
                                             [h](const Value& p, bool more) { h->pages.emplace_back(p, more); });
    }
    void identify() {
        connector_->getUserDetailsWithView(hostView(), target());
        waitFor([&] { return !heard_->objects.empty() || connector_->chooser(); });
        settle();
    }
    bool popupShown() const { return windows() > 1; }
    static void useAccounts(std::vector<services::TwitterAccount> accounts) {
        services::Device::instance().update([&](services::DeviceProfile& p) { p.twitterAccounts = accounts; });
    }

    std::shared_ptr<VelkoraTwitterConnector> connector_;
    std::shared_ptr<Heard> heard_;
};

TEST_F(TwitterConnectorTest, OneAccountIdentifiesTheUserAndStoresTheIdentityInOneSave) {
    identify();
    ASSERT_EQ(heard_->objects.size(), 1u);
    EXPECT_EQ(heard_->objects[0]["id"].toText(), "900000001");
    EXPECT_FALSE(connector_->chooser()) << "one account needs no choice";
    EXPECT_FALSE(popupShown());
    EXPECT_EQ(info().twitterId(), 900000001);
    EXPECT_EQ(info().twitterName(), std::string("Dana Whitfield"));
    EXPECT_EQ(info().twitterLocation(), std::string("Porto"));
    EXPECT_EQ(info().twitterAccountIdentifier(), std::string("900000001"));
    EXPECT_TRUE(logged("Velkora - getUserDetails: Twitter response, HTTP response: 200"));
}

TEST_F(TwitterConnectorTest, EveryFailedIdentificationAnswersNullOnceAndLeavesTheRecordAlone) {
    struct Case {
        const char* what;
        std::vector<services::TwitterAccount> accounts;
        services::PromptPolicy policy;
        std::optional<service::Fault> fault;
    };
    const services::TwitterAccount forged{kDana.username, kDana.identifier, kDana.token, "guessed"};
    service::Fault limited{"/twitter/1.1/users/show.json", service::Fault::Kind::HttpStatus, "", 429, 0, 1};
    service::Fault dropped{"/twitter/1.1/users/show.json", service::Fault::Kind::Drop, "", 500, 0, 1};
    service::Fault notJson{"/twitter/1.1/users/show.json", service::Fault::Kind::NotJson, "<html>", 500, 0, 1};
    service::Fault noId{"/twitter/1.1/users/show.json",
                        service::Fault::Kind::Answer,
                        R"({"errors":[{"code":50,"message":"User not found."}]})",
                        200,
                        0,
                        1};
    const Case cases[] = {
        {"no account", {}, services::PromptPolicy::Grant, std::nullopt},
        {"access refused", {kDana}, services::PromptPolicy::Refuse, std::nullopt},
        {"wrong secret (401)", {forged}, services::PromptPolicy::Grant, std::nullopt},
        {"rate limited (429)", {kDana}, services::PromptPolicy::Grant, limited},
        {"dropped", {kDana}, services::PromptPolicy::Grant, dropped},
        {"not JSON", {kDana}, services::PromptPolicy::Grant, notJson},
        {"a reply without \"id\"", {kDana}, services::PromptPolicy::Grant, noId},
    };
    info().setTwitterId(77);
    info().setTwitterName(std::string("Earlier"));
    VelkoraAgentInternal::instance().saveUserInfo();
    const std::string before = recordFile();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        services::Device::instance().resetForTests();
        useAccounts(c.accounts);
        services::Device::instance().setPromptPolicy(services::Prompt::TwitterAccounts, c.policy);
        service().clearFaults();
        if (c.fault) service().addFault(*c.fault);
        ui::Application::instance().resetForTests();
        host_->makeKeyAndVisible();
        heard_->objects.clear();

        identify();
        ASSERT_EQ(heard_->objects.size(), 1u);
        EXPECT_TRUE(heard_->objects[0].isNull());
        EXPECT_TRUE(popupShown());
        EXPECT_EQ(recordFile(), before);
    }
}

TEST_F(TwitterConnectorTest, SeveralAccountsAreOfferedInAChooserWhoseCancelAnswersNullWithoutAPopup) {
    useAccounts({kDana, kDanaGames, kDanaWork});
    identify();
    auto chooser = connector_->chooser();
    ASSERT_TRUE(chooser);
    ASSERT_EQ(chooser->numberOfButtons(), 4);
    EXPECT_EQ(chooser->buttonTitleAtIndex(0), "@dana_velkora");
    EXPECT_EQ(chooser->buttonTitleAtIndex(1), "@dana_games");
    EXPECT_EQ(chooser->buttonTitleAtIndex(2), "@dana_work");
    EXPECT_EQ(chooser->cancelButtonIndex(), 3);
    EXPECT_EQ(chooser->buttonTitleAtIndex(3), "Cancel");
    loop().advance(1);
    EXPECT_TRUE(screenLooksLike("twitter_chooser.png"));
    EXPECT_TRUE(heard_->objects.empty()) << "nothing is answered while the person chooses";

    chooser->tapButtonAtIndex(3);
    settle();
    ASSERT_EQ(heard_->objects.size(), 1u);
    EXPECT_TRUE(heard_->objects[0].isNull());
    EXPECT_FALSE(popupShown());
    EXPECT_EQ(info().twitterId(), 0);

    heard_->objects.clear();
    identify();
    ASSERT_TRUE(connector_->chooser());
    connector_->chooser()->tapButtonAtIndex(1);
    ASSERT_TRUE(waitFor([&] { return !heard_->objects.empty(); }));
    EXPECT_EQ(heard_->objects[0]["screen_name"].toText(), "dana_games");
    EXPECT_EQ(info().twitterAccountIdentifier(), std::string("900000002"));
}

TEST_F(TwitterConnectorTest, IdsModePagesWithCursorsAndEachFailureEndsWithOneNullPage) {
    identify();
    ASSERT_EQ(heard_->objects.size(), 1u);
    connector_->getUserFriendsIdsWithDelegate(pages());
    ASSERT_TRUE(waitFor([&] { return heard_->pages.size() == 4; }));
    settle();
    ASSERT_EQ(heard_->pages.size(), 4u) << "seven friends in pages of two";
    size_t ids = 0;
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(heard_->pages[i].second, i < 3) << i;
        ids += heard_->pages[i].first["ids"].asArray()->size();
    }
    EXPECT_EQ(ids, 7u);
    auto sent = service().requestsFor("/twitter/1.1/friends/ids.json");
    ASSERT_EQ(sent.size(), 4u);
    EXPECT_NE(sent[0].query.find("cursor=-1"), std::string::npos);

    struct Case {
        const char* what;
        std::optional<service::Fault> fault;
        services::PromptPolicy policy;
        bool forgetAccount;
    };
    const Case failures[] = {
        {"refused", std::nullopt, services::PromptPolicy::Refuse, false},
        {"no account", std::nullopt, services::PromptPolicy::Grant, true},
        {"dropped", service::Fault{"/twitter/1.1/friends/ids.json", service::Fault::Kind::Drop, "", 500, 0, 1},
         services::PromptPolicy::Grant, false},
        {"status 500", service::Fault{"/twitter/1.1/friends/ids.json", service::Fault::Kind::HttpStatus, "", 500, 0, 1},
         services::PromptPolicy::Grant, false},
        {"not JSON", service::Fault{"/twitter/1.1/friends/ids.json", service::Fault::Kind::NotJson, "x", 500, 0, 1},
         services::PromptPolicy::Grant, false},
    };
    for (const auto& c : failures) {
        SCOPED_TRACE(c.what);
        services::Device::instance().resetForTests();
        useAccounts({kDana});
        services::Device::instance().setPromptPolicy(services::Prompt::TwitterAccounts, c.policy);
        if (c.forgetAccount) useAccounts({});
        service().clearFaults();
        if (c.fault) service().addFault(*c.fault);
        heard_->pages.clear();
        connector_->getUserFriendsIdsWithDelegate(pages());
        waitFor([&] { return !heard_->pages.empty(); });
        settle();
        ASSERT_EQ(heard_->pages.size(), 1u);
        EXPECT_TRUE(heard_->pages[0].first.isNull());
        EXPECT_FALSE(heard_->pages[0].second);
    }
}

TEST_F(TwitterConnectorTest, ObjectsModeLooksUpTheGatheredIdsAndAnEmptyListStillAnswersOnce) {
    identify();
    connector_->getUserFriendsObjectsWithDelegate(pages());
    ASSERT_TRUE(waitFor([&] { return !heard_->pages.empty(); }));
    settle();
    ASSERT_EQ(heard_->pages.size(), 1u);
    EXPECT_FALSE(heard_->pages[0].second);
    auto users = VelkoraTwitterConnector::retrieveFriendsTwitterUsers(heard_->pages[0].first);
    ASSERT_EQ(users.size(), 7u);
    EXPECT_EQ(users[0]->fullName(), "mira_okafor");
    EXPECT_EQ(users[0]->twitterId(), 900000101);
    EXPECT_EQ(connector_->friendIds().size(), 7u);

    // dana_work follows nobody: one lookup without ids, has-more NO.
    useAccounts({kDanaWork});
    heard_->objects.clear();
    identify();
    heard_->pages.clear();
    connector_->getUserFriendsObjectsWithDelegate(pages());
    ASSERT_TRUE(waitFor([&] { return !heard_->pages.empty(); }));
    settle();
    ASSERT_EQ(heard_->pages.size(), 1u);
    EXPECT_FALSE(heard_->pages[0].second);
    EXPECT_TRUE(VelkoraTwitterConnector::retrieveFriendsTwitterUsers(heard_->pages[0].first).empty());
    auto lookups = service().requestsFor("/twitter/1.1/users/lookup.json");
    ASSERT_FALSE(lookups.empty());
    EXPECT_NE(lookups.back().query.find("user_id="), std::string::npos);
}

TEST_F(TwitterConnectorTest, RemovingAnotherObjectKeepsThePendingTarget) {
    auto other = std::make_shared<int>(0);
    connector_->getUserDetailsWithView(hostView(), target());
    connector_->removeDelegate(other.get());
    EXPECT_EQ(connector_->userDelegate().target(), heard_.get());
    connector_->removeDelegate(heard_.get());
    EXPECT_EQ(connector_->userDelegate().target(), nullptr);
    settle();
    EXPECT_TRUE(heard_->objects.empty()) << "a removed target hears nothing";
}

TEST_F(TwitterConnectorTest, TweetTextsJoinThePresentPiecesInOrder) {
    struct Case {
        std::optional<std::string> description, link, target, app;
        const char* text;
    };
    const Case cases[] = {
        {"Join", "L", "friend", "app", "@friend Join L via @app"},
        {"Join", "L", std::nullopt, std::string(), " Join L"},
        {std::nullopt, std::nullopt, std::nullopt, std::nullopt, ""},
        {"100% fun %@", std::nullopt, "a%d", std::nullopt, "@a%d 100% fun %@"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VelkoraTwitterConnector::tweetText(c.description, c.link, c.target, c.app), c.text);
}

TEST_F(TwitterConnectorTest, ATweetPostedOnTheSheetReachesTwitterAndCancelAnswersNo) {
    auto presenter = host_->rootViewController();
    std::vector<bool> results;
    connector_->sendTweet(presenter.get(), std::string("Join"), std::string("L"), std::string("mira_okafor"),
                          [&](bool done) { results.push_back(done); });
    auto sheet = std::dynamic_pointer_cast<ui::ComposeViewController>(presenter->presentedViewController());
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->text(), "@mira_okafor Join L");
    sheet->tapAction();
    ASSERT_TRUE(waitFor([&] { return !results.empty(); }));
    settle();
    EXPECT_EQ(results, std::vector<bool>{true});
    auto tweets = service().selectRows("SELECT text FROM tweets");
    ASSERT_EQ(tweets.size(), 1u);
    EXPECT_EQ(tweets[0][0], "@mira_okafor Join L");

    results.clear();
    loop().advance(1);
    connector_->sendTweet(presenter.get(), std::string("Again"), std::nullopt, std::nullopt,
                          [&](bool done) { results.push_back(done); });
    sheet = std::dynamic_pointer_cast<ui::ComposeViewController>(presenter->presentedViewController());
    ASSERT_TRUE(sheet);
    sheet->tapCancel();
    settle();
    EXPECT_EQ(results, std::vector<bool>{false});

    useAccounts({});
    EXPECT_FALSE(VelkoraTwitterConnector::canTweet());
}

TEST_F(TwitterConnectorTest, AnIdAbove2To53ReachesTheRecordAndTheHelperExactly) {
    constexpr int64_t kBig = 9007199254740993LL; // a double would read it as ...992
    service().addTwitterUser(kBig, "big_id", "Big Id", "9007199254740993-tok", "sEcR3t-big");
    useAccounts({{"big_id", "9007199254740993", "9007199254740993-tok", "sEcR3t-big"}});
    identify();
    ASSERT_EQ(heard_->objects.size(), 1u);
    EXPECT_EQ(heard_->objects[0]["id"].toText(), "9007199254740993");
    EXPECT_EQ(info().twitterId(), kBig);
    auto user = std::make_shared<VelkoraUserInternal>();
    VelkoraTwitterConnector::updateUserWithTwitterDetails(user, heard_->objects[0], true);
    EXPECT_EQ(user->twitterId(), kBig);
}

TEST_F(TwitterConnectorTest, ObjectsModeLooksUpTwoHundredFiftyFriendsInPagesOf100) {
    // Twitter's own page of 5000 ids: one friends/ids request, well inside its 15 a window.
    service().setTwitterPageSize(5000);
    service().addTwitterUser(900000250, "many_friends", "Many Friends", "900000250-tok", "sEcR3t-many");
    service().addTwitterFriends("many_friends", 250, 910000000);
    useAccounts({{"many_friends", "900000250", "900000250-tok", "sEcR3t-many"}});
    identify();
    ASSERT_EQ(heard_->objects.size(), 1u);
    service().clearRequests();
    connector_->getUserFriendsObjectsWithDelegate(pages());
    ASSERT_TRUE(waitFor([&] { return !heard_->pages.empty() && !heard_->pages.back().second; }));
    settle();
    ASSERT_EQ(heard_->pages.size(), 3u);
    const size_t sizes[] = {100, 100, 50};
    for (size_t i = 0; i < 3; ++i) {
        auto users = VelkoraTwitterConnector::retrieveFriendsTwitterUsers(heard_->pages[i].first);
        ASSERT_EQ(users.size(), sizes[i]) << i;
        EXPECT_EQ(users.front()->twitterId(), 910000000 + int64_t(100 * i)) << i;
        EXPECT_EQ(heard_->pages[i].second, i < 2) << i;
    }
    EXPECT_EQ(service().requestsFor("/twitter/1.1/friends/ids.json").size(), 1u);
    auto lookups = service().requestsFor("/twitter/1.1/users/lookup.json");
    ASSERT_EQ(lookups.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        // The ids joined by commas, as sent (percent-encoded or not).
        const auto& q = lookups[i].query;
        size_t commas = 0;
        for (size_t at = 0; (at = q.find("%2C", at)) != std::string::npos; at += 3)
            ++commas;
        commas += std::count(q.begin(), q.end(), ',');
        EXPECT_EQ(commas + 1, sizes[i]) << i;
        EXPECT_NE(q.find(std::to_string(910000000 + 100 * i)), std::string::npos) << i;
    }
}

TEST_F(TwitterConnectorTest, TheLastRequestOfTheRateWindowIsLoggedAndTheRefusedOneEndsWithOneNullPage) {
    // Pages of two ids: 32 friends would take 16 friends/ids requests, one more than the window allows.
    service().addTwitterUser(900000032, "thirty_two", "Thirty Two", "900000032-tok", "sEcR3t-32");
    service().addTwitterFriends("thirty_two", 32, 920000000);
    useAccounts({{"thirty_two", "900000032", "900000032-tok", "sEcR3t-32"}});
    identify();
    ASSERT_EQ(heard_->objects.size(), 1u);
    connector_->getUserFriendsIdsWithDelegate(pages());
    ASSERT_TRUE(waitFor([&] { return !heard_->pages.empty() && !heard_->pages.back().second; }));
    settle();
    ASSERT_EQ(heard_->pages.size(), 16u);
    for (size_t i = 0; i < 15; ++i) {
        EXPECT_EQ(heard_->pages[i].first["ids"].asArray()->size(), 2u) << i;
        EXPECT_TRUE(heard_->pages[i].second) << i;
    }
    EXPECT_TRUE(heard_->pages[15].first.isNull()) << "the 429 ends the paging";
    EXPECT_FALSE(heard_->pages[15].second);
    EXPECT_TRUE(logged("Velkora - Reached Twitter API limitation for friend ids API"));
    EXPECT_TRUE(logged("Velkora - getUserFriends: Twitter response, HTTP response: 429"));
}

TEST_F(TwitterConnectorTest, TheNoAccountsPopupTellsWhatToDo) {
    useAccounts({});
    identify();
    ASSERT_EQ(heard_->objects.size(), 1u);
    ASSERT_TRUE(popupShown());
    loop().advance(1);
    EXPECT_TRUE(screenLooksLike("twitter_no_accounts.png"));
}

TEST_F(TwitterConnectorTest, ACallerThatGoesAwayStopsThePagingInBothModes) {
    identify();
    ASSERT_EQ(heard_->objects.size(), 1u);
    for (bool objectsMode : {false, true}) {
        SCOPED_TRACE(objectsMode ? "objects mode" : "ids mode");
        service().clearRequests();
        auto leaving = std::make_shared<Heard>();
        auto target = VelkoraConnectorTarget::pages(
            leaving, [leaving](const Value& p, bool more) { leaving->pages.emplace_back(p, more); });
        if (objectsMode)
            connector_->getUserFriendsObjectsWithDelegate(target);
        else
            connector_->getUserFriendsIdsWithDelegate(target);
        // The screen goes away while the first page is on its way.
        connector_->removeDelegate(leaving.get());
        const auto answered = [&] { return linesHolding("Velkora - getUserFriends: Twitter response"); };
        const size_t before = answered();
        ASSERT_TRUE(waitFor([&] { return answered() > before; })) << "the first page's reply was handled";
        settle();
        EXPECT_TRUE(leaving->pages.empty());
        // Seven friends in pages of two: the next page would have moved the cursor on.
        EXPECT_EQ(connector_->friendsRequestCursor(), -1);
        EXPECT_EQ(connector_->currentPage(), 0);
        EXPECT_EQ(service().requestsFor("/twitter/1.1/friends/ids.json").size(), 1u);
        EXPECT_TRUE(service().requestsFor("/twitter/1.1/users/lookup.json").empty());
    }
}

} // namespace
