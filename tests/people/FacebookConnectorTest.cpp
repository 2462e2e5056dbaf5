// The Facebook connector on the library's stand-in against the service's graph: log-in with its one
// answer, the poll, the older token, "me" into the record, friend pages, the birthday's age, wall posts
// and invitations, and no token in any log line.
#include <gtest/gtest.h>

#include <ctime>

#include "ConnectorFixture.h"
#include "data/VelkoraUserInternal.h"
#include "social/VelkoraFBConnector.h"
#include "platform/services/facebook/Dialogs.h"
#include "platform/services/facebook/Session.h"
#include "platform/ui/AlertView.h"

using namespace velkora;
using namespace velkora::testing;
using foundation::Value;
namespace fb = velkora::services::facebook;

namespace {

struct Heard {
    std::vector<Value> objects;
    std::vector<std::pair<Value, bool>> pages;
};

class FacebookConnectorTest : public ConnectorTest {
protected:
    void SetUp() override {
        ConnectorTest::SetUp();
        ui::Application::instance().setOpenURLHandler([this](const std::string& url, const std::string&) {
            return connector_ && connector_->handleOpenURL(url);
        });
        connector_ = VelkoraFBConnector::create();
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
    // Connects with the log-in prompt answered as given; the connector's first answer.
    bool connect(bool approve) {
        bool open = connector_->connectWithDelegate(target());
        if (!open) {
            EXPECT_TRUE(
                waitFor([] { return services::Device::instance().isPromptWaiting(services::Prompt::FacebookLogin); }));
            services::Device::instance().answerPrompt(services::Prompt::FacebookLogin, approve);
        }
        EXPECT_TRUE(waitFor([&] { return !heard_->objects.empty(); }));
        for (int tick = 0; tick < 3; ++tick)
            loop().advance(1.0);
        settle();
        return open;
    }
    bool anyLineHolds(const std::string& secret) const {
        for (const auto& line : lines())
            if (!secret.empty() && line.find(secret) != std::string::npos) return true;
        return false;
    }
    // The "Error" alerts on screen.
    std::vector<std::shared_ptr<ui::AlertView>> errorAlerts() const {
        std::vector<std::shared_ptr<ui::AlertView>> out;
        for (const auto& w : ui::Application::instance().windows())
            for (const auto& v : w->subviews())
                if (auto alert = std::dynamic_pointer_cast<ui::AlertView>(v))
                    if (alert->isVisible() && alert->title() == "Error") out.push_back(alert);
        return out;
    }
    // Closes every alert as its person would, so none outlives the test.
    void dismissAlerts() {
        for (const auto& alert : errorAlerts())
            alert->tapButtonAtIndex(0);
    }

    std::shared_ptr<VelkoraFBConnector> connector_;
    std::shared_ptr<Heard> heard_;
};

TEST_F(FacebookConnectorTest, LogInAnswersMeOnceFillsTheRecordAndLogsNoToken) {
    EXPECT_FALSE(connect(true));
    ASSERT_EQ(heard_->objects.size(), 1u) << "the poll and the state change ask for one \"me\"";
    EXPECT_EQ(heard_->objects[0]["id"].toText(), std::string(kDanaOnFacebook));
    EXPECT_FALSE(connector_->isPolling());
    EXPECT_EQ(std::to_string(info().fbId()), kDanaOnFacebook);
    EXPECT_EQ(info().fbPhoto(), std::string(VelkoraUserInternal::kFacebookPhotoMarker));
    EXPECT_TRUE(logged("Velkora - Handling url from facebook "));
    // The log-in dialog opened outside the application, for this application and its three permissions.
    const auto& opened = ui::Application::instance().openedURLs();
    ASSERT_FALSE(opened.empty());
    EXPECT_NE(opened[0].find("/graph/dialog/oauth?client_id=" + std::string(kFacebookAppId)), std::string::npos)
        << opened[0];
    EXPECT_NE(opened[0].find("user_location%2Cuser_birthday%2Cuser_photos"), std::string::npos) << opened[0];
    auto session = fb::Session::activeSession();
    ASSERT_TRUE(session && session->isOpen());
    EXPECT_FALSE(anyLineHolds(session->accessToken()));

    // Open already: YES, no prompt, "me" again.
    heard_->objects.clear();
    EXPECT_TRUE(connect(true));
    ASSERT_EQ(heard_->objects.size(), 1u);
    EXPECT_FALSE(services::Device::instance().isPromptWaiting(services::Prompt::FacebookLogin));
}

// Given up, the log-in is a failed one for its caller: told once, with nothing, so its spinner can stop.
TEST_F(FacebookConnectorTest, ALogInNeverAnsweredStopsPollingPastThreeMinutesAndTellsItsCallerOnce) {
    EXPECT_FALSE(connector_->connectWithDelegate(target()));
    ASSERT_TRUE(waitFor([] { return services::Device::instance().isPromptWaiting(services::Prompt::FacebookLogin); }));
    loop().advance(180);
    EXPECT_TRUE(connector_->isPolling());
    EXPECT_TRUE(heard_->objects.empty());
    loop().advance(1.5);
    EXPECT_FALSE(connector_->isPolling());
    ASSERT_EQ(heard_->objects.size(), 1u);
    EXPECT_TRUE(heard_->objects[0].isNull());
    loop().advance(5);
    EXPECT_EQ(heard_->objects.size(), 1u);
}

TEST_F(FacebookConnectorTest, AnOlderTokenOpensTheSessionOnlyWhileItIsValid) {
    connect(true);
    const std::string token = fb::Session::activeSession()->accessToken();
    struct Case {
        double expiresIn;
        bool opens;
    };
    for (const Case c : {Case{3600, true}, Case{-1, false}}) {
        fb::Session::resetForTests();
        fb::Session::setDefaultAppID(kFacebookAppId);
        fb::TokenCachingStrategy::defaultInstance().clearToken();
        auto& defaults = foundation::UserDefaults::standard();
        defaults.setObject(Value(token), "FBAccessTokenKey");
        defaults.setObject(Value(loop().now() + c.expiresIn), "FBExpirationDateKey");
        auto again = VelkoraFBConnector::create();
        settle();
        EXPECT_EQ(again->isConnected(), c.opens) << c.expiresIn;
    }
}

TEST_F(FacebookConnectorTest, BirthdaysGiveWholeYearsOf365DaysAndAnUnreadableOneNoAge) {
    const double now = 20'000.0 * 86400; // a midnight, so that whole days are exact
    struct Case {
        double daysAgo;
        std::optional<int32_t> age;
    };
    for (const Case c : {Case{10949, 29}, Case{10950, 30}}) {
        const int64_t day = static_cast<int64_t>(20'000 - c.daysAgo);
        // The civil date of that day, written as the graph writes it.
        const time_t t = static_cast<time_t>(day * 86400);
        std::tm tm{};
        gmtime_r(&t, &tm);
        char text[16];
        std::strftime(text, sizeof text, "%m/%d/%Y", &tm);
        EXPECT_EQ(VelkoraFBConnector::ageFromBirthday(text, now), c.age) << text;
    }
    for (const char* bad : {"1990-01-01", "13/01/1990", "02/30/1990", "", "aa/bb/cccc"})
        EXPECT_EQ(VelkoraFBConnector::ageFromBirthday(bad, now), std::nullopt) << bad;

    auto user = std::make_shared<VelkoraUserInternal>();
    VelkoraFBConnector::updateUserWithFBDetails(
        user, Value(foundation::Dictionary{{"id", Value("7")}, {"birthday", Value("someday")}}), false);
    EXPECT_FALSE(user->isAgeSet());
    EXPECT_EQ(user->city(), std::nullopt);
    EXPECT_EQ(user->state(), std::string());
}

TEST_F(FacebookConnectorTest, FriendPagesRunToTheEmptyPage) {
    connect(true);
    connector_->getUserFriendsWithDelegate(pages());
    ASSERT_TRUE(waitFor([&] { return !heard_->pages.empty() && !heard_->pages.back().second; }));
    settle();
    ASSERT_GE(heard_->pages.size(), 2u);
    EXPECT_TRUE(heard_->pages.back().first["data"].asArray()->empty());
    EXPECT_FALSE(VelkoraFBConnector::retrieveFriendsIds(heard_->pages[0].first).empty());
    auto users = VelkoraFBConnector::retrieveFriendsFBUsers(heard_->pages[0].first);
    ASSERT_FALSE(users.empty());
    EXPECT_NE(users[0]->getPhoto(1, 1)->find("https://"), std::string::npos);
    EXPECT_NE(users[0]->getPhoto(1, 1)->find("/picture?width=180&height=180"), std::string::npos);
}

TEST_F(FacebookConnectorTest, EveryFailedLogInOrMeEndsInOneNullAndOneErrorAlertWithTheRecordUntouched) {
    struct Case {
        const char* what;
        bool approve;
        std::optional<service::Fault> fault;
        double clockOffset; // the service's clock moved past the token's life: 190
        bool closesSession;
    };
    using Kind = service::Fault::Kind;
    const Case cases[] = {
        {"log-in refused (257)", false, std::nullopt, 0, true},
        {"\"me\" dropped", true, service::Fault{"/graph/me", Kind::Drop, "", 500, 0, 1}, 0, false},
        {"\"me\" HTTP 500", true, service::Fault{"/graph/me", Kind::HttpStatus, "", 500, 0, 1}, 0, false},
        {"\"me\" not JSON", true, service::Fault{"/graph/me", Kind::NotJson, "<html>", 500, 0, 1}, 0, false},
        {"expired token (190)", true, std::nullopt, 61.0 * 24 * 3600, true},
    };
    info().setFbId(55);
    info().setFbFirstName(std::string("Earlier"));
    VelkoraAgentInternal::instance().saveUserInfo();
    const std::string before = recordFile();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fb::Session::resetForTests();
        fb::Session::setDefaultAppID(kFacebookAppId);
        fb::TokenCachingStrategy::defaultInstance().clearToken();
        service().clearFaults();
        service().setClockOffset(0);
        heard_->objects.clear();
        if (c.clockOffset > 0) {
            // Logged in earlier; the token has expired since.
            ASSERT_FALSE(connect(true));
            ASSERT_EQ(heard_->objects.size(), 1u);
            heard_->objects.clear();
            info().setFbId(55);
            info().setFbFirstName(std::string("Earlier"));
            info().setFbLastName(std::nullopt);
            info().setFbLocation(std::nullopt);
            info().setFbPhoto(std::nullopt);
            VelkoraAgentInternal::instance().saveUserInfo();
            ASSERT_EQ(recordFile(), before);
            service().setClockOffset(c.clockOffset);
        }
        if (c.fault) service().addFault(*c.fault);

        connect(c.approve);
        for (int tick = 0; tick < 5; ++tick)
            loop().advance(1.0);
        settle();
        ASSERT_EQ(heard_->objects.size(), 1u);
        EXPECT_TRUE(heard_->objects[0].isNull());
        EXPECT_EQ(errorAlerts().size(), 1u);
        EXPECT_FALSE(connector_->isPolling());
        EXPECT_FALSE(connector_->userDelegate().isWaiting());
        EXPECT_EQ(recordFile(), before);
        if (c.closesSession) {
            EXPECT_FALSE(connector_->isConnected());
            EXPECT_TRUE(fb::TokenCachingStrategy::defaultInstance().fetchTokenInformation().isNull());
        }
        dismissAlerts();
        EXPECT_TRUE(errorAlerts().empty());
    }
}

TEST_F(FacebookConnectorTest, ACallerTryingAgainFromItsNullAnswerHearsOnceForEachTry) {
    // Logged in, then the token expires: the caller hears null and at once asks again.
    ASSERT_FALSE(connect(true));
    heard_->objects.clear();
    service().setClockOffset(61.0 * 24 * 3600);
    auto retried = std::make_shared<Heard>();
    auto h = heard_;
    std::weak_ptr<VelkoraFBConnector> weak = connector_;
    connector_->connectWithDelegate(VelkoraConnectorTarget::make(heard_, [h, retried, weak](const Value& v) {
        h->objects.push_back(v);
        if (auto c = weak.lock())
            c->connectWithDelegate(VelkoraConnectorTarget::make(
                retried, [retried](const Value& again) { retried->objects.push_back(again); }));
    }));
    ASSERT_TRUE(waitFor([&] { return !heard_->objects.empty(); }));
    settle();
    ASSERT_EQ(heard_->objects.size(), 1u);
    EXPECT_TRUE(heard_->objects[0].isNull());
    EXPECT_TRUE(retried->objects.empty()) << "the second try waits for its own log-in";
    EXPECT_TRUE(connector_->isPolling());
    EXPECT_EQ(errorAlerts().size(), 1u);

    service().setClockOffset(0);
    ASSERT_TRUE(waitFor([] { return services::Device::instance().isPromptWaiting(services::Prompt::FacebookLogin); }));
    services::Device::instance().answerPrompt(services::Prompt::FacebookLogin, true);
    ASSERT_TRUE(waitFor([&] { return !retried->objects.empty(); }));
    for (int tick = 0; tick < 3; ++tick)
        loop().advance(1.0);
    settle();
    ASSERT_EQ(retried->objects.size(), 1u);
    EXPECT_EQ(retried->objects[0]["id"].toText(), std::string(kDanaOnFacebook));
    EXPECT_EQ(heard_->objects.size(), 1u);
    dismissAlerts();
}

TEST_F(FacebookConnectorTest, ASessionClosedWhileTheLogInWaitsAnswersNullOnce) {
    EXPECT_FALSE(connector_->connectWithDelegate(target()));
    ASSERT_TRUE(waitFor([] { return services::Device::instance().isPromptWaiting(services::Prompt::FacebookLogin); }));
    fb::Session::activeSession()->closeAndClearTokenInformation();
    settle();
    ASSERT_EQ(heard_->objects.size(), 1u);
    EXPECT_TRUE(heard_->objects[0].isNull());
    EXPECT_FALSE(connector_->isPolling());
    // The dialog's late approval opens nothing and answers no one again.
    services::Device::instance().answerPrompt(services::Prompt::FacebookLogin, true);
    settle();
    for (int tick = 0; tick < 3; ++tick)
        loop().advance(1.0);
    EXPECT_EQ(heard_->objects.size(), 1u);
    dismissAlerts();
}

TEST_F(FacebookConnectorTest, TwelveThousandFriendsComeInPagesOf5000ThenOneEmptyPage) {
    constexpr int64_t kPopular = 100009000000777;
    service().addFacebookFriends(kPopular, 12'000, 100020000000000);
    services::Device::instance().update([](services::DeviceProfile& p) {
        p.facebookUser = services::FacebookUser{"100009000000777", "Popular One", "popular-facebook-password"};
    });
    connect(true);
    service().clearRequests();
    connector_->getUserFriendsWithDelegate(pages());
    ASSERT_TRUE(waitFor([&] { return !heard_->pages.empty() && !heard_->pages.back().second; }));
    settle();
    ASSERT_EQ(heard_->pages.size(), 4u);
    const size_t sizes[] = {5000, 5000, 2000, 0};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(heard_->pages[i].first["data"].asArray()->size(), sizes[i]) << i;
        EXPECT_EQ(heard_->pages[i].second, i < 3) << i;
    }
    auto asked = service().requestsFor("/graph/me/friends");
    ASSERT_EQ(asked.size(), 4u);
    const char* offsets[] = {"offset=0", "offset=5000", "offset=10000", "offset=15000"};
    for (size_t i = 0; i < 4; ++i)
        EXPECT_NE(asked[i].query.find(offsets[i]), std::string::npos) << asked[i].query;
    auto ids = VelkoraFBConnector::retrieveFriendsIds(heard_->pages[2].first);
    EXPECT_EQ(ids.back().toText(), std::string("100020000011999")) << "ids read from their text";

    // A caller gone before its first page: no further page is asked for.
    service().clearRequests();
    auto gone = std::make_shared<Heard>();
    connector_->getUserFriendsWithDelegate(VelkoraConnectorTarget::pages(
        gone, [g = gone.get()](const Value& p, bool more) { g->pages.emplace_back(p, more); }));
    gone.reset();
    const auto replies = [&] { return linesHolding("Velkora - getUserFriendsWithDelegate: FB response"); };
    const size_t before = replies();
    ASSERT_TRUE(waitFor([&] { return replies() > before; }));
    settle();
    EXPECT_EQ(service().requestsFor("/graph/me/friends").size(), 1u);
}

TEST_F(FacebookConnectorTest, InvitationsAndWallPostsReachTheGraphThroughWhicheverDialogExists) {
    auto appData = VelkoraAgentInternal::instance().appData();
    appData->setFacebookInviteTitle(std::string("Join me"));
    appData->setFacebookInviteTitleLink(std::string("https://demo.velkora.example/join"));
    appData->setFacebookInviteDescription(std::string("Play with me"));
    appData->setFacebookInvitePicture(std::string("https://demo.velkora.example/i.png"));
    connect(true);
    std::vector<bool> results;
    auto record = [&](bool done) { results.push_back(done); };
    using Dialog = fb::FeedDialogViewController;

    // An invitation to a friend whose id needs more than 32 bits.
    const int64_t mira = 100009000000011;
    connector_->inviteByPostFriendWall(mira, record);
    auto dialog = Dialog::current();
    ASSERT_TRUE(dialog);
    ASSERT_FALSE(dialog->parameters().empty());
    EXPECT_EQ(dialog->parameters()[0], (std::pair<std::string, std::string>("to", "100009000000011")));
    dialog->tapAction();
    ASSERT_TRUE(waitFor([&] { return !results.empty(); }));
    EXPECT_EQ(results, std::vector<bool>{true});
    auto posts = service().selectRows("SELECT from_id, to_id, fields FROM graph_posts");
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0][0], kDanaOnFacebook);
    EXPECT_EQ(posts[0][1], "100009000000011");
    EXPECT_NE(posts[0][2].find("Join me"), std::string::npos);
    EXPECT_NE(posts[0][2].find("https://demo.velkora.example/i.png"), std::string::npos);

    // A feed post of the host's text, then one the person cancels: nothing was posted, so NO.
    results.clear();
    connector_->postToWall({{"description", "A text of the host"}}, record);
    ASSERT_TRUE(Dialog::current());
    Dialog::current()->tapAction();
    ASSERT_TRUE(waitFor([&] { return !results.empty(); }));
    connector_->postToWall({{"description", "Never mind"}}, record);
    ASSERT_TRUE(Dialog::current());
    Dialog::current()->tapCancel();
    settle();
    EXPECT_EQ(results, (std::vector<bool>{true, false}));
    posts = service().selectRows("SELECT to_id, fields FROM graph_posts ORDER BY id");
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_EQ(posts[1][0], kDanaOnFacebook) << "the user's own wall";
    EXPECT_NE(posts[1][1].find("A text of the host"), std::string::npos);

    // Without the web dialogs the native share dialog carries the description and link.
    results.clear();
    fb::WebDialogs::setAvailable(false);
    connector_->inviteByPostOnWall(record);
    dialog = Dialog::current();
    ASSERT_TRUE(dialog);
    EXPECT_EQ(dialog->parameters(),
              (Dialog::Parameters{{"message", "Play with me"}, {"link", "https://demo.velkora.example/join"}}));
    dialog->tapAction();
    ASSERT_TRUE(waitFor([&] { return !results.empty(); }));
    EXPECT_EQ(results, std::vector<bool>{true});

    // Neither: nothing shows and the completion is never called.
    results.clear();
    fb::NativeDialogs::setAvailable(false);
    connector_->inviteByPostFriendWall(mira, record);
    settle();
    EXPECT_TRUE(results.empty());
    EXPECT_EQ(service().selectRows("SELECT id FROM graph_posts").size(), 3u);
}

} // namespace
