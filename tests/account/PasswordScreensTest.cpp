// The password screens against the service: what they refuse, what the service records, the popup and the
// way back once the service has answered, a failure kept on the screen, and the return key doing what the
// button does.
#include "AccountFixture.h"
#include "people/VelkoraPasswordScreens.h"
#include "social/VelkoraUserSignUpHelper.h"

using namespace velkora;
using namespace velkora::testing;
using foundation::Value;

namespace {

const std::string kRequirements =
    "Please check / Enter a valid e-mail address and a password of at least 6 characters.";
const std::string kSent = "Password sent / If this address has an account, a new password is on its way to it.";
const std::string kFailed = "Error / That did not go through. Please try again.";

class PasswordScreensTest : public AccountTest {
protected:
    // Signs the device's user up by e-mail; the account stays signed in unless `leave`.
    std::string signUpByEmail(const std::string& email, const std::string& password, bool leave) {
        auto helper = VelkoraUserSignUpHelper::create();
        auto heard = std::make_shared<Caller>();
        helper->connectServerWithDetails(
            Value(foundation::Dictionary{{"name", Value("Mira")},
                                         {"email", Value(email)},
                                         {"password", Value(VelkoraUtils::md5String(password, true))}}),
            0, 1, false, false, Caller::of(heard));
        EXPECT_TRUE(waitFor([&] { return !heard->answers.empty(); }));
        drain();
        if (leave) {
            helper->userSignedOut(3);
            drain();
        }
        svc.clearRequests();
        return heard->answers.empty() ? "" : heard->answers[0].textOr("");
    }
    // An e-mail log-in as the service sees it: the account's id, or the error's domain.
    std::string logIn(const std::string& email, const std::string& password) {
        auto heard = std::make_shared<Caller>();
        VelkoraServerApi::login(Caller::of(heard), 1, email, VelkoraUtils::md5String(password, true));
        EXPECT_TRUE(waitFor([&] { return !heard->answers.empty() || !heard->errors.empty(); }));
        drain();
        if (!heard->errors.empty()) return heard->errors[0] ? heard->errors[0]->domain : "(null)";
        return heard->answers[0].textOr("");
    }
    template <class Screen> std::shared_ptr<Screen> showScreen() {
        auto screen = Screen::initFromNib(Screen::kNibName);
        show(screen);
        return screen;
    }
    void waitForAnswer(const VelkoraPasswordFieldViewController& screen) {
        waitAdvancing([&] { return !screen.isSending(); });
        drain();
    }
};

TEST_F(PasswordScreensTest, AForgottenPasswordIsAskedForOnlyForAnAddressAndAlwaysSaysSent) {
    start(configurationJson(true, svc.baseUrl()));
    signUpByEmail("mira@x.org", "secret1", true);
    struct Case {
        const char* email;
        std::optional<service::Fault> fault;
        bool sent;
        std::vector<std::string> messages;
        bool backToPanel;
    };
    const Case cases[] = {
        {"mira@x", std::nullopt, false, {kRequirements}, false},
        {"mira@x.org", std::nullopt, true, {kSent}, true},
        // Nobody learns from this screen who has an account.
        {"nobody@x.org", std::nullopt, true, {kSent}, true},
        {"mira@x.org",
         service::Fault{"forgotPassword", service::Fault::Kind::Drop, "", 500, 0, -1},
         true,
         {kFailed},
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.email + std::string(c.fault ? " dropped" : ""));
        svc.clearFaults();
        svc.clearRequests();
        if (c.fault) svc.addFault(*c.fault);
        container->calls.clear();
        auto screen = showScreen<VelkoraForgotPasswordViewController>();
        EXPECT_TRUE(screen->emailTextField()->isFirstResponder());
        screen->emailTextField()->setText(c.email);
        tap(screen->submitButton());
        waitForAnswer(*screen);
        EXPECT_EQ(count("forgotPassword") > 0, c.sent);
        EXPECT_EQ(shownMessages(), c.messages);
        EXPECT_EQ(container->calls,
                  c.backToPanel ? std::vector<std::string>{"backToPanel"} : std::vector<std::string>{});
        if (!c.backToPanel) {
            EXPECT_EQ(screen->emailTextField()->text(), c.email);
        }
        dismissMessages();
    }
    auto events = svc.events(kApp);
    EXPECT_EQ(std::count(events.begin(), events.end(), "forgotPassword|mira@x.org"), 1);
    EXPECT_EQ(std::count(events.begin(), events.end(), "forgotPassword|nobody@x.org"), 0);
}

TEST_F(PasswordScreensTest, ANewPasswordOfSixCharactersIsSentAsItsDigestAndOpensTheAccount) {
    start(configurationJson(true, svc.baseUrl()));
    const std::string account = signUpByEmail("mira@x.org", "secret1", false);
    auto screen = showScreen<VelkoraChangePasswordViewController>();
    EXPECT_TRUE(screen->passwordTextField()->isSecureTextEntry());
    screen->passwordTextField()->setText("12345");
    tap(screen->updateButton());
    drain();
    EXPECT_EQ(shownMessages(), std::vector<std::string>{kRequirements});
    EXPECT_EQ(count("changePassword"), 0u);
    dismissMessages();

    screen->passwordTextField()->setText("new-pw");
    snapshot("change_password");
    tap(screen->updateButton());
    waitForAnswer(*screen);
    EXPECT_TRUE(shownMessages().empty());
    EXPECT_EQ(container->calls, std::vector<std::string>{"backToPanel"});
    ASSERT_EQ(count("changePassword"), 1u);
    EXPECT_EQ(param(svc.requestsFor("changePassword")[0], "password"), VelkoraUtils::md5String("new-pw", true));
    EXPECT_EQ(logIn("mira@x.org", "new-pw"), account);
    EXPECT_EQ(logIn("mira@x.org", "secret1"), "USER_NOT_FOUND");
    expectNoTraceOf("new-pw");
    expectNoTraceOf("secret1");
}

TEST_F(PasswordScreensTest, AFailedChangeKeepsTheScreenAndTheOldPassword) {
    start(configurationJson(true, svc.baseUrl()));
    const std::string account = signUpByEmail("mira@x.org", "secret1", false);
    svc.addFault({"changePassword", service::Fault::Kind::ErrorCode, "INTERNAL_ERROR", 500, 0, 1});
    auto screen = showScreen<VelkoraChangePasswordViewController>();
    screen->passwordTextField()->setText("new-pw");
    tap(screen->updateButton());
    waitForAnswer(*screen);
    EXPECT_EQ(shownMessages(), std::vector<std::string>{kFailed});
    EXPECT_TRUE(container->calls.empty());
    EXPECT_EQ(logIn("mira@x.org", "secret1"), account);
}

TEST_F(PasswordScreensTest, ReturnDoesWhatTheButtonDoesAndLetsTheKeyboardGoOnlyWhenItSent) {
    start(configurationJson(true, svc.baseUrl()));
    signUpByEmail("mira@x.org", "secret1", false);
    struct Case {
        const char* text;
        bool sent;
    };
    for (const Case& c : {Case{"short", false}, Case{"long enough", true}}) {
        SCOPED_TRACE(c.text);
        auto screen = showScreen<VelkoraChangePasswordViewController>();
        ASSERT_TRUE(screen->passwordTextField()->isFirstResponder());
        screen->passwordTextField()->setText(c.text);
        EXPECT_EQ(screen->textFieldShouldReturn(*screen->passwordTextField()), c.sent);
        EXPECT_EQ(screen->passwordTextField()->isFirstResponder(), !c.sent);
        waitForAnswer(*screen);
        EXPECT_EQ(shownMessages().size(), c.sent ? 0u : 1u);
        dismissMessages();
    }
    EXPECT_EQ(count("changePassword"), 1u);
}

TEST_F(PasswordScreensTest, TheForgottenPasswordScreen) {
    start(configurationJson(true, svc.baseUrl()));
    auto screen = showScreen<VelkoraForgotPasswordViewController>();
    screen->emailTextField()->setText("mira@x.org");
    EXPECT_EQ(screen->titleLabel()->text(), "Forgot password");
    EXPECT_EQ(screen->submitButton()->titleForState(ui::ControlStateNormal), "Submit");
    snapshot("forgot_password");
    useTablet();
    screen = VelkoraForgotPasswordViewController::initFromNib(
        "iPad_" + std::string(VelkoraForgotPasswordViewController::kNibName));
    show(screen);
    // "Back" sits inside its button with room on each side, and the title starts clear of the button.
    const auto& back = *screen->backButton();
    EXPECT_GE(back.frame().width() - back.titleLabel()->intrinsicContentSize().width, 16);
    EXPECT_GE(screen->titleLabel()->frame().minX(), back.frame().maxX() + 8);
    snapshot("forgot_password_tablet");
}

TEST_F(PasswordScreensTest, OnATabletTheNewPasswordScreenComesFromItsTabletFile) {
    start(configurationJson(true, svc.baseUrl()));
    useTablet();
    auto screen = VelkoraChangePasswordViewController::initFromNib(
        "iPad_" + std::string(VelkoraChangePasswordViewController::kNibName));
    show(screen);
    EXPECT_TRUE(screen->passwordTextField()->isFirstResponder());
    screen->passwordTextField()->setText("new-pw");
    snapshot("change_password_tablet");
}

} // namespace
