// The Facebook and Twitter rows of the log-in and sign-up screens against the service: a new identity
// signs up, a known one logs in, and every failure stops the spinner, keeps the screen and the record, and
// shows exactly one message (the connector's own, the screen's, or none).
#include "AccountFixture.h"
#include "data/VelkoraUtils.h"
#include "people/VelkoraLoginViewController.h"
#include "people/VelkoraSignUpViewController.h"
#include "social/VelkoraTwitterConnector.h"
#include "social/VelkoraUserSignUpHelper.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

class SocialRowsTest : public AccountTest {
protected:
    void SetUp() override {
        AccountTest::SetUp();
        for (const char* name : {"VelkoraTwitterConnectedNotification", "VelkoraFacebookConnectedNotification"})
            observers.emplace_back(name, nullptr,
                                   [this](const foundation::Notification& n) { posted.push_back(n.name); });
    }
    void TearDown() override {
        observers.clear();
        AccountTest::TearDown();
    }
    bool spinning(const VelkoraSocialEntryViewController& screen) const {
        return screen.activityIndicator() && screen.activityIndicator()->isAnimating();
    }
    void answerFacebook(bool approve) {
        ASSERT_TRUE(
            waitFor([] { return services::Device::instance().isPromptWaiting(services::Prompt::FacebookLogin); }));
        services::Device::instance().answerPrompt(services::Prompt::FacebookLogin, approve);
    }
    // Until the attempt has ended one way or the other.
    void finish(const VelkoraSocialEntryViewController& screen) {
        waitAdvancing([&] { return !screen.isAttemptRunning(); });
        for (int tick = 0; tick < 5; ++tick)
            loop().advance(1.0);
        drain();
    }

    std::vector<foundation::NotificationObserver> observers;
    std::vector<std::string> posted;
};

TEST_F(SocialRowsTest, TwitterLogInOfAnIdentityWithoutAnAccountSignsUpAndGoesBackToThePanel) {
    start(configurationJson(false, svc.baseUrl()));
    auto screen = open<VelkoraLoginViewController>("login");
    ASSERT_TRUE(screen);
    tap(screen->twitterConnectButton());
    EXPECT_TRUE(spinning(*screen));
    ASSERT_TRUE(waitFor([&] { return !container->calls.empty(); }));
    finish(*screen);
    EXPECT_EQ(container->calls, std::vector<std::string>{"backToPanel"});
    EXPECT_FALSE(spinning(*screen));
    EXPECT_EQ(count("login"), 1u);
    EXPECT_EQ(count("signUp"), 1u);
    const std::string userId = info().userId().value_or("");
    EXPECT_EQ(svc.userColumn(kApp, userId, "twitter_id"), kDanaTwitter.identifier);
    EXPECT_EQ(info().userInfoSource(), 2);
    EXPECT_EQ(posted, std::vector<std::string>{"VelkoraTwitterConnectedNotification"});
    EXPECT_TRUE(shownMessages().empty());
}

TEST_F(SocialRowsTest, FacebookWithAKnownIdentityLogsInToItsAccount) {
    start(configurationJson(false, svc.baseUrl()));
    service::UserFields dana;
    dana.firstName = "Dana";
    dana.facebookId = std::stoll(kDanaOnFacebook);
    dana.signedUp = true;
    const std::string account = svc.createUser(kApp, dana);
    auto screen = open<VelkoraLoginViewController>("login");
    tap(screen->facebookConnectButton());
    answerFacebook(true);
    ASSERT_TRUE(waitFor([&] { return !container->calls.empty(); }));
    finish(*screen);
    EXPECT_EQ(container->calls, std::vector<std::string>{"backToPanel"});
    EXPECT_EQ(info().userId(), account);
    EXPECT_EQ(info().userInfoSource(), 1);
    EXPECT_EQ(count("signUp"), 0u);
    EXPECT_EQ(posted, std::vector<std::string>{"VelkoraFacebookConnectedNotification"});
}

TEST_F(SocialRowsTest, EveryFailureStopsTheSpinnerKeepsTheScreenAndTheRecordAndTellsOnce) {
    using Kind = service::Fault::Kind;
    enum class Row { Twitter, Facebook };
    struct Case {
        const char* what;
        Row row;
        std::vector<services::TwitterAccount> accounts;
        services::PromptPolicy twitterPolicy;
        bool facebookApproves;
        std::optional<service::Fault> fault;
        std::vector<std::string> messages;
        bool cancelChooser = false;
        // Logged in to Facebook earlier; the token has expired since, so "me" answers code 190.
        bool expiredToken = false;
        // The sign-up screen tells its own pair.
        bool onSignUp = false;
    };
    const std::string cantConnect = "Connect with Twitter / We could not connect to Twitter. Check the Twitter "
                                    "account in the device's settings, then try again.";
    const std::string generalFailure = "Log in failed / We could not log you in. Please try again.";
    const std::string signUpFailure = "Sign up failed / We could not sign you up. Please try again.";
    const Case cases[] = {
        {"Twitter access refused",
         Row::Twitter,
         {kDanaTwitter},
         services::PromptPolicy::Refuse,
         true,
         {},
         {cantConnect}},
        {"no Twitter account", Row::Twitter, {}, services::PromptPolicy::Grant, true, {}, {cantConnect}},
        {"chooser cancelled",
         Row::Twitter,
         {kDanaTwitter, kDanaGames},
         services::PromptPolicy::Grant,
         true,
         {},
         {},
         true},
        {"Facebook refusal", Row::Facebook, {kDanaTwitter}, services::PromptPolicy::Grant, false, {}, {"<facebook>"}},
        {"Facebook code 190",
         Row::Facebook,
         {kDanaTwitter},
         services::PromptPolicy::Grant,
         true,
         {},
         {"<facebook>"},
         false,
         true},
        {"an error reply",
         Row::Twitter,
         {kDanaTwitter},
         services::PromptPolicy::Grant,
         true,
         service::Fault{"login", Kind::ErrorCode, "INTERNAL_ERROR", 500, 0, 1},
         {generalFailure}},
        {"a dropped log-in",
         Row::Facebook,
         {kDanaTwitter},
         services::PromptPolicy::Grant,
         true,
         service::Fault{"login", Kind::Drop, "", 500, 0, -1},
         {generalFailure}},
        {"an error reply on the sign-up screen",
         Row::Twitter,
         {kDanaTwitter},
         services::PromptPolicy::Grant,
         true,
         service::Fault{"signUp", Kind::ErrorCode, "INTERNAL_ERROR", 500, 0, 1},
         {signUpFailure},
         false,
         false,
         true},
    };
    start(configurationJson(false, svc.baseUrl()));
    // The record's identities as saved. (Which of the device's Twitter accounts was last used may stay.)
    auto identities = [this] {
        std::string text = recordFile();
        const std::string key = "\"velkoraTwitterAccountIdentifier\":{\"object\":{\"string\":\"";
        if (auto at = text.find(key); at != std::string::npos) text.erase(at, text.find("}}", at) + 3 - at);
        return text;
    };
    const std::string before = identities();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // A fresh device: an earlier case's answer to the accounts prompt is not remembered.
        services::Device::instance().resetForTests();
        services::Device::instance().update([&](services::DeviceProfile& p) {
            p.twitterAccounts = c.accounts;
            p.facebookUser = services::FacebookUser{kDanaOnFacebook, "Dana Whitfield", "dana-facebook-password"};
        });
        services::Device::instance().setPromptPolicy(services::Prompt::TwitterAccounts, c.twitterPolicy);
        services::facebook::Session::resetForTests();
        services::facebook::Session::setDefaultAppID(kFacebookAppId);
        svc.clearFaults();
        svc.clearRequests();
        svc.setClockOffset(0);
        if (c.fault) svc.addFault(*c.fault);
        container->calls.clear();
        if (c.expiredToken) {
            // A session of the device's Facebook, opened without the kit, whose token then runs out.
            namespace fb = services::facebook;
            auto opened = std::make_shared<bool>(false);
            fb::Session::openActiveSessionWithReadPermissions(
                {"email"}, true, [opened](fb::Session& s, int, const foundation::ErrorPtr&) { *opened |= s.isOpen(); });
            answerFacebook(true);
            ASSERT_TRUE(waitFor([&] { return *opened; }));
            drain();
            svc.setClockOffset(61.0 * 24 * 3600);
        }

        auto screen = open<VelkoraSocialEntryViewController>(c.onSignUp ? "signup" : "login");
        ASSERT_TRUE(screen);
        if (c.row == Row::Twitter) {
            tap(screen->twitterConnectButton());
            if (c.cancelChooser) {
                auto twitter = VelkoraAgentInternal::instance().twitterConnector();
                ASSERT_TRUE(waitFor([&] { return twitter->chooser() != nullptr; }));
                twitter->chooser()->tapButtonAtIndex(twitter->chooser()->cancelButtonIndex());
            }
        } else {
            tap(screen->facebookConnectButton());
            if (!c.expiredToken) answerFacebook(c.facebookApproves);
        }
        finish(*screen);
        EXPECT_FALSE(spinning(*screen));
        EXPECT_FALSE(screen->isAttemptRunning());
        EXPECT_TRUE(container->calls.empty());
        EXPECT_EQ(top(), screen);
        auto messages = shownMessages();
        if (c.messages == std::vector<std::string>{"<facebook>"}) {
            // The Facebook connector's own alert.
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0].rfind("alert: Error / ", 0), 0u) << messages[0];
            if (c.expiredToken) {
                EXPECT_NE(messages[0].find("Session has expired"), std::string::npos) << messages[0];
            }
        } else {
            EXPECT_EQ(messages, c.messages);
        }
        EXPECT_EQ(identities(), before);
        EXPECT_EQ(info().userInfoSource(), 0);
        dismissMessages();
    }
    svc.setClockOffset(0);
}

TEST_F(SocialRowsTest, ADeclinedOverrideShowsNothingMoreAndKeepsTheAccountAsItWas) {
    start(configurationJson(false, svc.baseUrl()));
    // Signed up by e-mail; Dana's Twitter identity belongs to another account.
    auto helper = VelkoraUserSignUpHelper::create();
    auto heard = std::make_shared<Caller>();
    helper->connectServerWithDetails(foundation::Value(foundation::Dictionary{
                                         {"name", foundation::Value("Mary")},
                                         {"email", foundation::Value("mary@x.org")},
                                         {"password", foundation::Value(VelkoraUtils::md5String("secret1", true))}}),
                                     0, 1, false, false, Caller::of(heard));
    ASSERT_TRUE(waitFor([&] { return !heard->answers.empty(); }));
    drain();
    service::UserFields other;
    other.firstName = "Other";
    other.twitterId = std::stoll(kDanaTwitter.identifier);
    other.signedUp = true;
    svc.createUser(kApp, other);

    auto screen = open<VelkoraSignUpViewController>("signup");
    tap(screen->twitterConnectButton());
    ASSERT_TRUE(waitFor([] { return !popups().empty(); }));
    drain();
    ASSERT_EQ(popups().size(), 1u);
    EXPECT_EQ(popups()[0]->titleLabel()->text(), "Already connected");
    tap(popups()[0]->cancelButton());
    finish(*screen);
    EXPECT_TRUE(shownMessages().empty());
    EXPECT_FALSE(spinning(*screen));
    EXPECT_TRUE(container->calls.empty());
    EXPECT_EQ(info().twitterId(), 0);
    EXPECT_EQ(info().emailId(), std::string("mary@x.org"));
    EXPECT_EQ(info().userInfoSource(), 3);
}

// A Facebook log-in left unanswered: once the connector gives up, the attempt ends and the screen's buttons
// work again, with nothing told to the person (nothing failed that they did not see).
TEST_F(SocialRowsTest, AFacebookLogInLeftUnansweredEndsWhenTheConnectorGivesUp) {
    start(configurationJson(false, svc.baseUrl()));
    auto screen = open<VelkoraLoginViewController>("login");
    tap(screen->facebookConnectButton());
    ASSERT_TRUE(waitFor([] { return services::Device::instance().isPromptWaiting(services::Prompt::FacebookLogin); }));
    EXPECT_TRUE(screen->isAttemptRunning());
    for (int tick = 0; tick < 182; ++tick)
        loop().advance(1.0);
    EXPECT_FALSE(screen->isAttemptRunning());
    EXPECT_FALSE(spinning(*screen));
    EXPECT_TRUE(popups().empty()) << "the kit tells nothing of its own";
    tap(screen->emailConnectButton());
    EXPECT_EQ(nav->viewControllers().size(), 2u) << "the buttons work again";
    EXPECT_EQ(count("login"), 0u);
}

// The person leaves the log-in screen while its Twitter connect runs. Whenever they leave, the user record
// holds no half-attached identity: before the service is asked it is as it was; once it is asked, the
// answer is still taken and the record is the signed-up account's.
class LeavingTwitterConnectTest : public SocialRowsTest {
protected:
    // Taps Twitter, leaves the screen at the given point, and runs what is left to its end; the anonymous
    // user's id.
    std::string leave(bool onceTheServiceIsAsked) {
        start(configurationJson(false, svc.baseUrl()));
        const std::string anonymous = info().userId().value_or("");
        auto screen = open<VelkoraLoginViewController>("login");
        tap(screen->twitterConnectButton());
        if (onceTheServiceIsAsked) {
            EXPECT_TRUE(
                waitFor([&] { return screen->userSignUpHelper() && screen->userSignUpHelper()->isConnecting(); }));
        }
        std::weak_ptr<VelkoraLoginViewController> left = screen;
        nav->setViewControllers({ui::ViewController::create()}, false);
        screen.reset();
        EXPECT_TRUE(left.expired());
        waitAdvancing([&] { return foundation::UrlConnection::activeCount() == 0 && settle(); }, 10);
        drain();
        return anonymous;
    }
};

TEST_F(LeavingTwitterConnectTest, LeftWhileTwitterIsAskedTheRecordIsAsItWas) {
    const std::string anonymous = leave(false);
    EXPECT_EQ(count("login") + count("signUp"), 0u);
    EXPECT_EQ(info().userInfoSource(), 0);
    EXPECT_EQ(info().twitterId(), 0);
    EXPECT_EQ(info().twitterAccountIdentifier(), std::nullopt);
    EXPECT_EQ(info().userId(), anonymous);
    EXPECT_EQ(recordFile().find(kDanaTwitter.identifier), std::string::npos) << "nor on disk";
}

TEST_F(LeavingTwitterConnectTest, LeftWhileTheServiceIsAskedTheAnswerIsStillTaken) {
    const std::string anonymous = leave(true);
    EXPECT_EQ(count("signUp"), 1u);
    EXPECT_EQ(info().userInfoSource(), 2);
    EXPECT_EQ(std::to_string(info().twitterId()), kDanaTwitter.identifier);
    EXPECT_NE(info().userId().value_or(""), anonymous);
    EXPECT_EQ(svc.userColumn(kApp, info().userId().value_or(""), "twitter_id"), kDanaTwitter.identifier);
    EXPECT_EQ(posted, std::vector<std::string>{"VelkoraTwitterConnectedNotification"});
}

TEST_F(SocialRowsTest, ASecondTapDuringAnAttemptSendsNothing) {
    start(configurationJson(false, svc.baseUrl()));
    auto screen = open<VelkoraLoginViewController>("login");
    tap(screen->twitterConnectButton());
    auto first = screen->activityIndicator();
    tap(screen->twitterConnectButton());
    tap(screen->facebookConnectButton());
    tap(screen->emailConnectButton());
    tap(screen->signUpButton());
    EXPECT_EQ(screen->activityIndicator(), first) << "one spinner";
    EXPECT_EQ(nav->viewControllers().size(), 1u);
    ASSERT_TRUE(waitFor([&] { return !container->calls.empty(); }));
    finish(*screen);
    EXPECT_EQ(count("login"), 1u);
    EXPECT_EQ(count("signUp"), 1u);
    EXPECT_FALSE(services::Device::instance().isPromptWaiting(services::Prompt::FacebookLogin));
    EXPECT_FALSE(first->isAnimating());
}

} // namespace
