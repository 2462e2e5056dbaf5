// The Facebook connector on the library's stand-in against the service's graph: log-in with its one
// answer, the poll, the older token, "me" into the record, friend pages, the birthday's age, wall posts
// and invitations, and no token in any log line.
#include <gtest/gtest.h>

#include "ConnectorFixture.h"
#include "data/VelkoraUserInternal.h"
#include "people/VelkoraFBConnector.h"
#include "platform/services/facebook/Dialogs.h"
#include "platform/services/facebook/Session.h"

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
    bool alertShown() const { return windows() > 1; }

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
    auto session = fb::Session::activeSession();
    ASSERT_TRUE(session && session->isOpen());
    EXPECT_FALSE(anyLineHolds(session->accessToken()));

    // Open already: YES, no prompt, "me" again.
    heard_->objects.clear();
    EXPECT_TRUE(connect(true));
    ASSERT_EQ(heard_->objects.size(), 1u);
    EXPECT_FALSE(services::Device::instance().isPromptWaiting(services::Prompt::FacebookLogin));
}

TEST_F(FacebookConnectorTest, ALogInNeverAnsweredStopsPollingPastThreeMinutesWithoutAnswering) {
    EXPECT_FALSE(connector_->connectWithDelegate(target()));
    ASSERT_TRUE(waitFor([] { return services::Device::instance().isPromptWaiting(services::Prompt::FacebookLogin); }));
    loop().advance(180);
    EXPECT_TRUE(connector_->isPolling());
    loop().advance(1.5);
    EXPECT_FALSE(connector_->isPolling());
    EXPECT_TRUE(heard_->objects.empty());
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
        char text[11];
        std::snprintf(text, sizeof text, "%02d/%02d/%04d", tm.tm_mon + 1, tm.tm_mday, tm.tm_year + 1900);
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

} // namespace
