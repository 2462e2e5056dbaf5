// The e-mail forms against the service: what each refuses before sending, the picture cropped and sent at
// 200 by 200, the password sent only as its digest, the answer announced or told, and the keyboard kept
// off the focused field.
#include "AccountFixture.h"
#include "data/VelkoraUtils.h"
#include "people/VelkoraEmailLoginViewController.h"
#include "people/VelkoraEmailSignUpViewController.h"
#include "people/VelkoraPasswordScreens.h"
#include "people/VelkoraUserPictureUploader.h"
#include "social/VelkoraUserSignUpHelper.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/ImagePickerController.h"
#include "platform/ui/ScrollView.h"
#include "server/utils/VelkoraBase64.h"
#include "shell/VelkoraPictureTaker.h"

using namespace velkora;
using namespace velkora::testing;
using foundation::Value;

namespace {

const std::string kRequirements =
    "Please check / Enter a valid e-mail address and a password of at least 6 characters.";
const std::string kPictureRequired = "Please check / Add a picture of yourself to sign up.";

// A photo of 640 by 480: a red square in the middle on blue, so the crop can be seen.
std::shared_ptr<ui::Image> photo() {
    auto image = ui::Image::create(640, 480);
    auto g = ui::GraphicsContext::forImage(image);
    g->setFillColor(ui::Color::fromHex("#2050C0"));
    g->fillRect({0, 0, 640, 480});
    g->setFillColor(ui::Color::fromHex("#D03020"));
    g->fillRect({80, 0, 480, 480});
    return image;
}

class EmailFormsTest : public AccountTest {
protected:
    void SetUp() override {
        AccountTest::SetUp();
        observer = foundation::NotificationObserver(
            "VelkoraUserSigninChanged", nullptr, [this](const foundation::Notification& n) { signins.push_back(n); });
    }
    void TearDown() override {
        observer = {};
        AccountTest::TearDown();
    }
    std::shared_ptr<VelkoraEmailSignUpViewController> signUpForm() {
        auto form = VelkoraEmailSignUpViewController::initFromNib(VelkoraEmailSignUpViewController::kNibName);
        show(form);
        return form;
    }
    std::shared_ptr<VelkoraEmailLoginViewController> loginForm() {
        auto form = VelkoraEmailLoginViewController::initFromNib(VelkoraEmailLoginViewController::kNibName);
        show(form);
        return form;
    }
    // Takes the photo on the form and waits until its address is there and shown.
    void takePhoto(VelkoraEmailSignUpViewController& form) {
        ASSERT_TRUE(form.pictureTaken(photo()));
        ASSERT_TRUE(waitFor([&] { return form.uploadedImageUrl().has_value(); }));
        waitAdvancing([&] { return !form.pictureUploader()->activityIndicator()->isAnimating(); }, 10);
        drain();
    }
    static void fill(VelkoraEmailFormViewController& form, const std::string& email, const std::string& password) {
        form.emailTextField()->setText(email);
        form.passwordTextField()->setText(password);
    }
    // An e-mail account of the service, made the way a person makes one, then left on this device.
    void makeAccount(const std::string& email, const std::string& password) {
        auto helper = VelkoraUserSignUpHelper::create();
        auto heard = std::make_shared<Caller>();
        helper->connectServerWithDetails(
            Value(foundation::Dictionary{{"name", Value("Mira Okafor")},
                                         {"email", Value(email)},
                                         {"password", Value(VelkoraUtils::md5String(password, true))}}),
            0, 1, false, false, Caller::of(heard));
        ASSERT_TRUE(waitFor([&] { return !heard->answers.empty(); }));
        drain();
        account = heard->answers[0].textOr("");
        helper->userSignedOut(3);
        drain();
        signins.clear();
        svc.clearRequests();
    }

    foundation::NotificationObserver observer;
    std::vector<foundation::Notification> signins;
    std::string account;
};

TEST_F(EmailFormsTest, SignUpRefusesWhatItCannotSendAndSendsNothing) {
    start(configurationJson(true, svc.baseUrl()));
    auto form = signUpForm();
    struct Case {
        const char* name;
        const char* email;
        const char* password;
        const std::string& message;
    };
    // Without a picture every check gives the picture's message.
    form->nameTextField()->setText("Mira Okafor");
    fill(*form, "mira@x.org", "secret1");
    tap(form->doneButton());
    EXPECT_EQ(popupText(), kPictureRequired);
    closePopups();

    takePhoto(*form);
    const Case cases[] = {
        {"", "mira@x.org", "secret1", kRequirements},
        {"   ", "mira@x.org", "secret1", kRequirements}, // blanks are no name
        {"Mira", "", "secret1", kRequirements},
        {"Mira", "a@b", "secret1", kRequirements},
        {"Mira", " a@b.co", "secret1", kRequirements},
        {"Mira", "mira@x.org", "12345", kRequirements},
        {"Mira", "mira@x.org", "ab😀c", kRequirements}, // five UTF-16 units
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "|" + c.email + "|" + c.password);
        form->nameTextField()->setText(c.name);
        fill(*form, c.email, c.password);
        EXPECT_FALSE(form->signUp());
        EXPECT_EQ(popupText(), c.message);
        EXPECT_EQ(form->nameTextField()->text(), c.name) << "the fields keep what was typed";
        closePopups();
    }
    // Six units are enough, on both forms.
    form->nameTextField()->setText("Mira");
    fill(*form, "mira@x.org", "123456");
    EXPECT_TRUE(form->allConditionsMet());
    auto login = loginForm();
    for (const char* password : {"12345", "123456"}) {
        fill(*login, "mira@x.org", password);
        EXPECT_EQ(login->allConditionsMet(), std::string(password).size() == 6) << password;
    }
    drain();
    EXPECT_EQ(count("signUp") + count("login"), 0u);
    EXPECT_TRUE(container->calls.empty());
}

TEST_F(EmailFormsTest, APictureChosenFromTheAlbumIsUploadedAndShown) {
    start(configurationJson(true, svc.baseUrl()));
    auto bytes = photo()->pngData();
    services::Device::instance().update([&](services::DeviceProfile& p) {
        p.privacyAnswers[services::Prompt::Photos] = true;
        p.album = {{"me.png", std::string(bytes.begin(), bytes.end())}};
    });
    auto form = signUpForm();
    form->imageAddClicked(nullptr);
    auto taker = form->pictureUploader()->pictureTaker();
    ASSERT_TRUE(taker && taker->actionSheet());
    taker->actionSheet()->tapButtonAtIndex(VelkoraPictureTaker::kSavedPhotosAlbumButton);
    ASSERT_TRUE(taker->picker());
    ASSERT_TRUE(taker->picker()->pickPhotoAtIndex(0));
    ASSERT_TRUE(waitFor([&] { return form->uploadedImageUrl().has_value(); }));
    waitAdvancing([&] { return !form->pictureUploader()->activityIndicator()->isAnimating(); }, 10);
    EXPECT_EQ(count("savePhoto"), 1u);
    ASSERT_TRUE(form->userImageView()->image());
    EXPECT_EQ(form->userImageView()->image()->pixelWidth(), 200) << "the served picture, not the empty frame";
    EXPECT_FALSE(form->pictureUploader()->activityIndicator()->isAnimating());
}

TEST_F(EmailFormsTest, EveryEmptyFieldHintsAtWhatGoesInIt) {
    start(configurationJson(true, svc.baseUrl()));
    auto signUp = signUpForm();
    auto login = loginForm();
    const struct {
        const char* what;
        ui::TextField* field;
        const char* hint;
    } cases[] = {
        {"sign-up name", signUp->nameTextField().get(), "Full name"},
        {"sign-up e-mail", signUp->emailTextField().get(), "name@example.com"},
        {"sign-up password", signUp->passwordTextField().get(), "At least 6 characters"},
        {"log-in e-mail", login->emailTextField().get(), "name@example.com"},
        {"log-in password", login->passwordTextField().get(), "At least 6 characters"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(c.field);
        EXPECT_EQ(c.field->text(), "");
        EXPECT_EQ(c.field->placeholder(), c.hint);
    }
}

TEST_F(EmailFormsTest, SignUpSendsTheCroppedPictureAndTheDigestAndAnnouncesTheAccount) {
    start(configurationJson(true, svc.baseUrl()));
    auto form = signUpForm();
    snapshot("email_signup_empty");
    takePhoto(*form);
    // The photo went out as a 200 by 200 JPEG of its centred square.
    ASSERT_EQ(count("savePhoto"), 1u);
    const std::string body = svc.requestsFor("savePhoto")[0].body;
    auto jpeg = dataWithBase64EncodedString(body.substr(body.find("&image=") + 7));
    ASSERT_TRUE(jpeg);
    auto sent = ui::Image::fromData(*jpeg);
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->pixelWidth(), 200);
    EXPECT_EQ(sent->pixelHeight(), 200);
    EXPECT_EQ(sent->pixelAt(5, 100) & 0xff0000, sent->pixelAt(195, 100) & 0xff0000) << "no blue edge on one side";

    form->nameTextField()->setText("Mira Okafor");
    fill(*form, "mira@x.org", "secret1");
    snapshot("email_signup_filled");
    EXPECT_TRUE(form->signUp());
    EXPECT_FALSE(form->signUp()) << "a second tap while the first is on its way sends nothing";
    ASSERT_TRUE(waitFor([&] { return !container->calls.empty(); }));
    drain();
    EXPECT_EQ(container->calls, std::vector<std::string>{"backToPanel"});
    ASSERT_EQ(count("signUp"), 1u);
    const auto request = svc.requestsFor("signUp")[0];
    EXPECT_EQ(param(request, "password"), VelkoraUtils::md5String("secret1", true));
    EXPECT_EQ(param(request, "password").size(), 32u);
    EXPECT_EQ(param(request, "password").find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_EQ(param(request, "photoUrl").empty(), false);
    ASSERT_EQ(signins.size(), 1u);
    const Value& userInfo = signins[0].userInfo;
    EXPECT_EQ(userInfo["socialService"].textOr(""), "Email");
    EXPECT_EQ(userInfo["loginState"].int64Or(-1), 1);
    EXPECT_EQ(userInfo["accountIdentifier"].textOr(""), "mira@x.org");
    EXPECT_EQ(userInfo["userId"].textOr(""), info().userId().value_or("?"));
    EXPECT_FALSE(form->activityIndicator()->isAnimating());
    expectNoTraceOf("secret1");
}

TEST_F(EmailFormsTest, SignUpFailuresTellWhichInOnePopupAndKeepTheForm) {
    start(configurationJson(true, svc.baseUrl()));
    makeAccount("taken@x.org", "secret1");
    struct Case {
        const char* email;
        std::optional<service::Fault> fault;
        std::string message;
    };
    const Case cases[] = {
        {"taken@x.org", std::nullopt, "Sign up failed / This e-mail address already has an account. Log in instead."},
        {"new@x.org", service::Fault{"signUp", service::Fault::Kind::Drop, "", 500, 0, -1},
         "Sign up failed / We could not sign you up. Please try again."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.email);
        svc.clearFaults();
        if (c.fault) svc.addFault(*c.fault);
        auto form = signUpForm();
        takePhoto(*form);
        form->nameTextField()->setText("Mira");
        fill(*form, c.email, "secret1");
        ASSERT_TRUE(form->signUp());
        waitAdvancing([&] { return !form->isAttemptRunning(); });
        drain();
        EXPECT_EQ(shownMessages(), std::vector<std::string>{c.message});
        EXPECT_FALSE(form->activityIndicator()->isAnimating());
        EXPECT_TRUE(container->calls.empty());
        EXPECT_EQ(form->emailTextField()->text(), c.email);
        EXPECT_TRUE(signins.empty());
        closePopups();
    }
}

TEST_F(EmailFormsTest, LogInOpensTheAccountAndTellsAWrongPasswordOrAFailure) {
    start(configurationJson(true, svc.baseUrl()));
    makeAccount("mira@x.org", "secret1");
    struct Case {
        const char* password;
        std::optional<service::Fault> fault;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {"wrong-one", std::nullopt, {"Log in failed / The e-mail address or the password is wrong."}},
        {"secret1",
         service::Fault{"login", service::Fault::Kind::ErrorCode, "INTERNAL_ERROR", 500, 0, 1},
         {"Log in failed / We could not log you in. Please try again."}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.password);
        svc.clearFaults();
        if (c.fault) svc.addFault(*c.fault);
        auto form = loginForm();
        fill(*form, "mira@x.org", c.password);
        tap(form->loginButton());
        waitAdvancing([&] { return !form->isAttemptRunning(); });
        drain();
        EXPECT_EQ(shownMessages(), c.messages);
        EXPECT_EQ(form->emailTextField()->text(), "mira@x.org");
        EXPECT_EQ(form->passwordTextField()->text(), c.password);
        EXPECT_TRUE(container->calls.empty());
        EXPECT_NE(info().userId(), account);
        closePopups();
    }
    svc.clearFaults();
    auto form = loginForm();
    fill(*form, "mira@x.org", "secret1");
    snapshot("email_login_filled");
    tap(form->loginButton());
    ASSERT_TRUE(waitFor([&] { return !container->calls.empty(); }));
    drain();
    EXPECT_EQ(container->calls, std::vector<std::string>{"backToPanel"});
    EXPECT_EQ(info().userId(), account);
    ASSERT_EQ(signins.size(), 1u);
    EXPECT_EQ(signins[0].userInfo["userId"].textOr(""), account);
    expectNoTraceOf("secret1");
    expectNoTraceOf("wrong-one");
}

TEST_F(EmailFormsTest, TheDemoApplicationsSeededAccountLogsInWithItsPassword) {
    const std::string demoApp = service::Service::kDemoAppId;
    VelkoraAppSettings::instance().setAppId(demoApp);
    VelkoraServerApi::startSession(demoApp, nullptr);
    ASSERT_TRUE(waitFor([] { return VelkoraServerClientAgent::instance().isSessionInitialized(); }));
    drain();
    auto form = loginForm();
    fill(*form, "ana@demo.velkora.test", "velkora1");
    tap(form->loginButton());
    ASSERT_TRUE(waitAdvancing([&] { return !form->isAttemptRunning(); }));
    drain();
    EXPECT_TRUE(shownMessages().empty());
    EXPECT_EQ(container->calls, std::vector<std::string>{"backToPanel"});
    const std::string userId = info().userId().value_or("");
    EXPECT_EQ(svc.userColumn(demoApp, userId, "email"), "ana@demo.velkora.test");
    EXPECT_EQ(svc.userColumn(demoApp, userId, "first_name"), "Ana");
    expectNoTraceOf("velkora1");
}

TEST_F(EmailFormsTest, AKeyboardOverTheFocusedFieldSetsTheInsetsAndScrollsOneBelowTheFormChangesNothing) {
    start(configurationJson(true, svc.baseUrl()));
    // The log-in form's scroll view ends above where the keyboard comes.
    auto login = loginForm();
    login->viewDidAppear(false);
    ASSERT_TRUE(login->emailTextField()->isFirstResponder()) << "the e-mail field has the focus";
    login->passwordTextField()->becomeFirstResponder();
    loop().advance(1);
    EXPECT_EQ(login->scrollView()->contentInset(), ui::EdgeInsets{});
    EXPECT_EQ(login->scrollView()->contentOffset(), (ui::Point{0, 0}));
    login->passwordTextField()->resignFirstResponder();
    loop().advance(1);

    // A smaller phone: the sign-up form's password field is under the keyboard.
    ui::Screen::main().setBounds({0, 0, 320, 480});
    host->setFrame({0, 0, 320, 480});
    auto form = signUpForm();
    form->viewDidAppear(false);
    ASSERT_TRUE(form->nameTextField()->isFirstResponder()) << "the name field has the focus";
    loop().advance(1);
    EXPECT_EQ(form->scrollView()->contentInset(), (ui::EdgeInsets{0, 0, 216, 0}));
    EXPECT_EQ(form->scrollView()->contentOffset(), (ui::Point{0, 0})) << "the name field is in sight";
    form->nameTextField()->resignFirstResponder();
    loop().advance(1);
    form->passwordTextField()->becomeFirstResponder();
    loop().advance(1);
    EXPECT_EQ(form->activeField(), form->passwordTextField().get());
    EXPECT_EQ(form->scrollView()->contentInset(), (ui::EdgeInsets{0, 0, 216, 0}));
    EXPECT_EQ(form->scrollView()->scrollIndicatorInsets(), (ui::EdgeInsets{0, 0, 216, 0}));
    EXPECT_EQ(form->scrollView()->contentOffset(), (ui::Point{0, 40}));
    form->passwordTextField()->resignFirstResponder();
    loop().advance(1);
    EXPECT_EQ(form->scrollView()->contentInset(), ui::EdgeInsets{});
    EXPECT_EQ(form->activeField(), nullptr);
}

TEST_F(EmailFormsTest, ForgotPasswordPushesItsScreenAndBackLeavesTheFieldsUnfocused) {
    start(configurationJson(true, svc.baseUrl()));
    auto form = loginForm();
    form->viewDidAppear(false);
    tap(form->forgotPasswordButton());
    loop().advance(1);
    EXPECT_FALSE(form->emailTextField()->isFirstResponder());
    ASSERT_EQ(nav->viewControllers().size(), 2u);
    EXPECT_STREQ(top()->className(), "VelkoraForgotPasswordViewController");
    EXPECT_EQ(top()->nibName(), "VelkoraForgotPasswordView");
}

TEST_F(EmailFormsTest, OnATabletTheLogInFormComesFromItsTabletFile) {
    start(configurationJson(true, svc.baseUrl()));
    useTablet();
    auto form =
        VelkoraEmailLoginViewController::initFromNib("iPad_" + std::string(VelkoraEmailLoginViewController::kNibName));
    show(form);
    fill(*form, "mira@x.org", "secret1");
    EXPECT_TRUE(form->passwordTextField()->isSecureTextEntry());
    snapshot("email_login_tablet");
}

} // namespace
