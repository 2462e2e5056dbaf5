// The sign-in question of an anonymous user: with e-mail sign-up it hands over to the asking screen; without
// it, it connects Twitter or Facebook itself, tells the screen once the service has answered, and shows one
// popup when the service's conversation fails.
#include "AccountFixture.h"
#include "shell/VelkoraAccountScreenSupport.h"
#include "shell/VelkoraSigninToFollowPopupHelper.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

// The screen that asked, writing down what it was told and how far the service had got by then.
struct AskingScreen : VelkoraSigninToFollowPopupHelperDelegate {
    std::vector<std::string> calls;
    std::function<void()> onSignin;
    void didSignin() override {
        calls.push_back("didSignin");
        if (onSignin) onSignin();
    }
    void performLogin() override { calls.push_back("performLogin"); }
    void performSignUp() override { calls.push_back("performSignUp"); }
};

class SigninPopupTest : public AccountTest {
protected:
    void SetUp() override {
        AccountTest::SetUp();
        screen = std::make_shared<AskingScreen>();
        helper = VelkoraSigninToFollowPopupHelper::create();
    }
    void TearDown() override {
        helper.reset();
        AccountTest::TearDown();
    }
    std::shared_ptr<VelkoraDefaultOKPopupView> ask() {
        auto popup = helper->showSigninPopupInView(host->rootViewController()->view().get(),
                                                   account::localized("velkora_text_follow_connect_message"), screen);
        loop().advance(1);
        return popup;
    }
    size_t accountRequests() const { return count("login") + count("signUp") + count("connectSocial"); }

    std::shared_ptr<AskingScreen> screen;
    std::shared_ptr<VelkoraSigninToFollowPopupHelper> helper;
};

TEST_F(SigninPopupTest, WithEmailSignUpTheAnswersOpenTheScreensAndSendNothing) {
    start(configurationJson(true, svc.baseUrl()));
    auto popup = ask();
    ASSERT_TRUE(popup);
    EXPECT_EQ(popup->titleLabel()->text(), "Welcome to Velkora Test");
    EXPECT_EQ(popup->messageLable()->text(), "Sign in to follow people and see what they do.");
    EXPECT_EQ(popup->okButton()->titleForState(ui::ControlStateNormal), "Sign up");
    EXPECT_EQ(popup->cancelButton()->titleForState(ui::ControlStateNormal), "Log in");
    snapshot("signin_popup_email");
    tap(popup->okButton());
    EXPECT_EQ(screen->calls, std::vector<std::string>{"performSignUp"});

    // The configuration is read at every showing.
    popup = ask();
    tap(popup->cancelButton());
    drain();
    EXPECT_EQ(screen->calls, (std::vector<std::string>{"performSignUp", "performLogin"}));
    EXPECT_EQ(accountRequests(), 0u);
    EXPECT_TRUE(popups().empty());
}

TEST_F(SigninPopupTest, WithoutEmailSignUpTwitterSignsInOnceTheServiceHasAnswered) {
    start(configurationJson(false, svc.baseUrl()));
    auto popup = ask();
    ASSERT_TRUE(popup);
    EXPECT_EQ(popup->titleLabel()->text(), "Welcome to Velkora Test");
    EXPECT_EQ(popup->okButton()->titleForState(ui::ControlStateNormal), "Connect");
    EXPECT_EQ(popup->cancelButton()->titleForState(ui::ControlStateNormal), "Connect");
    // The logos tell the two apart (the snapshot shows which is which).
    EXPECT_TRUE(popup->okButton()->imageForState(ui::ControlStateNormal));
    EXPECT_TRUE(popup->cancelButton()->imageForState(ui::ControlStateNormal));
    snapshot("signin_popup_connect");

    int sourceAtSignin = -1;
    size_t signUpsAtSignin = 0;
    screen->onSignin = [&] {
        sourceAtSignin = info().userInfoSource();
        signUpsAtSignin = count("signUp");
    };
    tap(popup->okButton());
    ASSERT_TRUE(waitFor([&] { return !screen->calls.empty(); }));
    drain();
    EXPECT_EQ(screen->calls, std::vector<std::string>{"didSignin"});
    EXPECT_EQ(signUpsAtSignin, 1u) << "the service signed the identity up before the screen heard";
    EXPECT_EQ(sourceAtSignin, 2);
    EXPECT_EQ(param(svc.requestsFor("signUp").at(0), "value"), kDanaTwitter.identifier);
    EXPECT_EQ(param(svc.requestsFor("signUp").at(0), "method"), "3");
    EXPECT_TRUE(popups().empty());
}

TEST_F(SigninPopupTest, FacebookThroughTheCancelButtonSignsIn) {
    start(configurationJson(false, svc.baseUrl()));
    auto popup = ask();
    tap(popup->cancelButton());
    ASSERT_TRUE(waitFor([] { return services::Device::instance().isPromptWaiting(services::Prompt::FacebookLogin); }));
    services::Device::instance().answerPrompt(services::Prompt::FacebookLogin, true);
    ASSERT_TRUE(waitFor([&] { return !screen->calls.empty(); }));
    drain();
    EXPECT_EQ(screen->calls, std::vector<std::string>{"didSignin"});
    EXPECT_EQ(param(svc.requestsFor("signUp").at(0), "value"), kDanaOnFacebook);
    EXPECT_EQ(info().userInfoSource(), 1);
}

TEST_F(SigninPopupTest, AFailedConversationShowsOnePopupAndNoSignin) {
    start(configurationJson(false, svc.baseUrl()));
    svc.addFault({"signUp", service::Fault::Kind::ErrorCode, "INTERNAL_ERROR", 500, 0, 1});
    auto popup = ask();
    tap(popup->okButton());
    ASSERT_TRUE(waitForRequests("signUp", 1));
    drain();
    EXPECT_TRUE(screen->calls.empty());
    EXPECT_EQ(popupText(), "Log in failed / We could not log you in. Please try again.");
    EXPECT_EQ(info().userInfoSource(), 0);
    EXPECT_EQ(info().twitterId(), 0);
}

TEST_F(SigninPopupTest, OnATabletBothFormsComeFromTheirTabletFiles) {
    start(configurationJson(true, svc.baseUrl()));
    useTablet();
    for (bool email : {true, false}) {
        SCOPED_TRACE(email ? "e-mail sign-up" : "connect");
        VelkoraAgentInternal::instance().appData()->setEmailSignUpEnabled(email);
        auto popup = ask();
        ASSERT_TRUE(popup);
        EXPECT_EQ(popup->titleLabel()->text(), "Welcome to Velkora Test");
        snapshot(email ? "signin_popup_email_tablet" : "signin_popup_connect_tablet");
        closePopups();
        loop().advance(1);
    }
}

} // namespace
