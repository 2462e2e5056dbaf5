// The Twitter connector against the service's Twitter: identification with its one answer for every
// outcome, the chooser, friend paging in both modes, and tweets.
#include <gtest/gtest.h>

#include "ConnectorFixture.h"
#include "data/VelkoraUserInternal.h"
#include "people/VelkoraTwitterConnector.h"
#include "platform/services/Accounts.h"
#include "platform/ui/ActionSheet.h"
#include "platform/ui/ComposeViewController.h"
#include "platform/ui/Snapshot.h"
#include "support/SnapshotCompare.h"

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
    const Case cases[] = {
        {"no account", {}, services::PromptPolicy::Grant, std::nullopt},
        {"access refused", {kDana}, services::PromptPolicy::Refuse, std::nullopt},
        {"wrong secret (401)", {forged}, services::PromptPolicy::Grant, std::nullopt},
        {"rate limited (429)", {kDana}, services::PromptPolicy::Grant, limited},
        {"dropped", {kDana}, services::PromptPolicy::Grant, dropped},
        {"not JSON", {kDana}, services::PromptPolicy::Grant, notJson},
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
    auto shot = ui::Snapshot::imageOfScreen();
    const std::string reference = std::string(VELKORA_TEST_DATA_DIR) + "/twitter_chooser.png";
    if (std::getenv("VELKORA_UPDATE_SNAPSHOTS")) {
        ASSERT_TRUE(shot->writePng(reference));
    }
    auto expected = ui::Image::fromFile(reference);
    ASSERT_TRUE(expected);
    EXPECT_TRUE(looksLike(*shot, *expected));
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

} // namespace
