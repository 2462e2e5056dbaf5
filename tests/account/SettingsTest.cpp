// The settings screen against the service: the rows of each identity, a name saved whole once the service
// has it, nothing sent for nothing changed, leaving with changes asked first, a picture that becomes the
// user's only on update, a failing save kept on the screen, and a sign-out made elsewhere redrawn.
#include "AccountFixture.h"
#include "data/VelkoraUserInternal.h"
#include "shell/VelkoraPanelProfileViewDelegate.h"
#include "people/VelkoraUserPictureUploader.h"
#include "people/VelkoraUserSettingsViewController.h"
#include "social/VelkoraUserSignUpHelper.h"
#include "platform/ui/GraphicsContext.h"

using namespace velkora;
using namespace velkora::testing;
using foundation::Value;

namespace {

// The opener, writing down what the screen handed it.
struct RecordingOpener : VelkoraPanelProfileViewDelegate {
    std::vector<std::string> calls;
    std::vector<ui::View*> views;
    std::vector<std::shared_ptr<VelkoraUserInternal>> users;
    void updateWithVelkoraUser(const std::shared_ptr<VelkoraUserInternal>& user) override {
        calls.push_back("updateWithVelkoraUser");
        users.push_back(user);
    }
    void editAboutClicked() override { calls.push_back("editAboutClicked"); }
    void fbConnectClickedInView(ui::View* v) override { record("fbConnect", v); }
    void fbSignoutClickedInView(ui::View* v) override { record("fbSignout", v); }
    void twConnectClickedInView(ui::View* v) override { record("twConnect", v); }
    void twSignoutClickedInView(ui::View* v) override { record("twSignout", v); }
    void emailSignoutClickedInView(ui::View* v) override { record("emailSignout", v); }
    void settingsClicked() override { calls.push_back("settingsClicked"); }
    void messagesClicked(const std::string&) override { calls.push_back("messagesClicked"); }
    void privateModeSwitchedValue(bool) override { calls.push_back("privateModeSwitchedValue"); }
    void record(const char* what, ui::View* v) {
        calls.push_back(what);
        views.push_back(v);
    }
};

class SettingsTest : public AccountTest {
protected:
    void SetUp() override {
        AccountTest::SetUp();
        opener = std::make_shared<RecordingOpener>();
    }
    // Signs the device's user up with the details (e-mail, or Twitter), as the screens would.
    std::string signUp(const Value& details, int32_t method) {
        auto helper = VelkoraUserSignUpHelper::create();
        auto heard = std::make_shared<Caller>();
        if (method == 3) info().setTwitterId(std::stoll(details["id"].textOr("0")));
        helper->connectServerWithDetails(details, 0, method, false, true, Caller::of(heard));
        EXPECT_TRUE(waitFor([&] { return !heard->answers.empty() || !heard->errors.empty(); }));
        drain();
        svc.clearRequests();
        return heard->answers.empty() ? "" : heard->answers[0].textOr("");
    }
    std::string signUpByEmail() {
        return signUp(Value(foundation::Dictionary{{"name", Value("Mira Okafor")},
                                                   {"email", Value("mira@x.org")},
                                                   {"password", Value(VelkoraUtils::md5String("secret1", true))}}),
                      1);
    }
    // The record holding a Facebook identity, as the Facebook connector leaves it.
    void connectFacebook() {
        info().setFbId(std::stoll(kDanaOnFacebook));
        info().setFbFirstName(std::string("Dana"));
        info().setFbLastName(std::string("Whitfield"));
        VelkoraAgentInternal::instance().saveUserInfo();
    }
    std::shared_ptr<VelkoraUserSettingsViewController> openSettings() {
        auto screen = open<VelkoraUserSettingsViewController>("settings");
        if (screen) screen->setDelegate(opener);
        return screen;
    }
    static bool shown(const std::shared_ptr<ui::View>& v) { return v && !v->isHidden(); }
    void waitForSave(const VelkoraUserSettingsViewController& screen) {
        waitAdvancing([&] { return !screen.isSaving(); });
        drain();
    }

    std::shared_ptr<RecordingOpener> opener;
};

TEST_F(SettingsTest, TheRowsShowEachConnectedIdentityAndHideTheEmailRowsWithoutOne) {
    start(configurationJson(true, svc.baseUrl()));
    signUpByEmail();
    connectFacebook();
    auto sheet = std::make_shared<RecordingSheet>();
    VelkoraStyleSheetCustomizer::instance().setCustomStyleSheet(sheet);
    auto screen = openSettings();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->titleLabel()->text(), "Settings");
    EXPECT_EQ(screen->userNameTextField()->text(), "Mira Okafor");
    EXPECT_EQ(screen->fbUserNameLabel()->text(), "Dana Whitfield");
    EXPECT_TRUE(shown(screen->fbUserNameLabel()) && shown(screen->fbSignOutButton()) && shown(screen->fbSocialLogo()));
    EXPECT_FALSE(shown(screen->fbConnectButton()) || shown(screen->fbConnectLabel()));
    EXPECT_FALSE(shown(screen->twUserNameLabel()) || shown(screen->twSignOutButton()) || shown(screen->twSocialLogo()));
    EXPECT_TRUE(shown(screen->twConnectButton()) && shown(screen->twConnectLabel()));
    EXPECT_TRUE(shown(screen->emailView()) && shown(screen->changePasswordView()));
    EXPECT_EQ(screen->emailUserNameLabel()->text(), "mira@x.org");
    const std::vector<std::string> hooks = {
        "customizeUserPhotoFrameImage",   "customizeFacebookConnectLogo", "customizeFacebookConnectButton",
        "customizeFacebookSignoutButton", "customizeTwitterConnectLogo",  "customizeTwitterConnectButton",
        "customizeTwitterSignoutButton",  "customizeEmailConnectLogo",    "customizeEmailSignoutButton",
        "customizeChangePasswordButton",  "customizeUpdateButton"};
    std::vector<std::pair<std::string, uint32_t>> expected;
    for (const auto& h : hooks)
        expected.emplace_back(h, 28u);
    EXPECT_EQ(sheet->only(hooks), expected);
    VelkoraStyleSheetCustomizer::resetForTests();
    snapshot("settings_email_facebook");

    // The five buttons only hand the tap to the opener, with the screen's view.
    for (const auto& button : {screen->fbSignOutButton(), screen->fbConnectButton(), screen->twSignOutButton(),
                               screen->twConnectButton(), screen->emailSignOutButton()})
        tap(button);
    EXPECT_EQ(opener->calls,
              (std::vector<std::string>{"fbSignout", "fbConnect", "twSignout", "twConnect", "emailSignout"}));
    for (ui::View* v : opener->views)
        EXPECT_EQ(v, screen->view().get());
    drain();
    EXPECT_EQ(count("signOut") + count("disconnectSocial"), 0u);
}

TEST_F(SettingsTest, AUserWithoutAnEmailIdentitySeesNeitherTheEmailNorThePasswordRow) {
    start(configurationJson(true, svc.baseUrl()));
    signUp(Value(foundation::Dictionary{{"id", Value(foundation::Number(kDanaTwitter.identifier))},
                                        {"name", Value("Dana Whitfield")},
                                        {"screen_name", Value("dana_velkora")}}),
           3);
    info().setTwitterName(std::string("Dana Whitfield"));
    auto screen = openSettings();
    ASSERT_TRUE(screen);
    EXPECT_FALSE(shown(screen->emailView()));
    EXPECT_FALSE(shown(screen->changePasswordView()));
    EXPECT_EQ(screen->twUserNameLabel()->text(), "Dana Whitfield");
    EXPECT_TRUE(shown(screen->twSignOutButton()));
    EXPECT_TRUE(shown(screen->fbConnectButton()));
    // The rows below close up over the hidden ones: Update keeps under the Twitter row the gap it has
    // under the last row when every row shows.
    const double gap = screen->updateButton()->frame().minY() - screen->twView()->frame().maxY();
    EXPECT_EQ(gap, 356 - (292 + 46));
    EXPECT_EQ(screen->twView()->frame().minY(), 196) << "the rows that show keep their places";
    snapshot("settings_twitter");
    // An e-mail identity added later brings its rows back in their places, Update below them again.
    info().setEmailId(std::string("dana@x.org"));
    screen->updateUser();
    EXPECT_TRUE(shown(screen->emailView()) && shown(screen->changePasswordView()));
    EXPECT_EQ(screen->emailView()->frame().minY(), 244);
    EXPECT_EQ(screen->updateButton()->frame().minY(), 356);
}

TEST_F(SettingsTest, ANameIsSavedWholeAsTheFirstNameOnceTheServiceHasIt) {
    start(configurationJson(true, svc.baseUrl()));
    const std::string me = signUpByEmail();
    auto screen = openSettings();
    // Nothing changed: nothing is sent and the screen stays.
    tap(screen->updateButton());
    drain();
    EXPECT_EQ(count("setUserData"), 0u);
    EXPECT_TRUE(container->calls.empty());
    // Blanks are no name.
    screen->userNameTextField()->setText("  \t ");
    tap(screen->updateButton());
    drain();
    EXPECT_EQ(shownMessages(), std::vector<std::string>{"Please check / Your name cannot be empty."});
    EXPECT_EQ(count("setUserData"), 0u);
    dismissMessages();

    screen->userNameTextField()->setText("Ana María López");
    tap(screen->updateButton());
    EXPECT_EQ(VelkoraAgentInternal::instance().velkoraUser()->firstName(), std::string("Mira Okafor"))
        << "the current user waits for the service";
    waitForSave(*screen);
    EXPECT_EQ(svc.userColumn(kApp, me, "first_name"), "Ana María López");
    EXPECT_EQ(svc.userColumn(kApp, me, "last_name"), "");
    auto user = VelkoraAgentInternal::instance().velkoraUser();
    EXPECT_EQ(user->firstName(), std::string("Ana María López"));
    EXPECT_EQ(user->lastName(), std::string());
    EXPECT_EQ(opener->calls, std::vector<std::string>{"updateWithVelkoraUser"});
    EXPECT_EQ(opener->users.at(0), user);
    EXPECT_EQ(container->calls, std::vector<std::string>{"didClickBack"});
    EXPECT_TRUE(shownMessages().empty());
}

TEST_F(SettingsTest, AFailingSaveStaysWithTheTypedNameAndTheUserUnchanged) {
    start(configurationJson(true, svc.baseUrl()));
    const std::string me = signUpByEmail();
    svc.addFault({"setUserData", service::Fault::Kind::ErrorCode, "INTERNAL_ERROR", 500, 0, 1});
    auto screen = openSettings();
    screen->userNameTextField()->setText("Ana");
    tap(screen->updateButton());
    waitForSave(*screen);
    EXPECT_EQ(shownMessages(), std::vector<std::string>{"Error / That did not go through. Please try again."});
    EXPECT_EQ(screen->userNameTextField()->text(), "Ana");
    EXPECT_EQ(VelkoraAgentInternal::instance().velkoraUser()->firstName(), std::string("Mira Okafor"));
    EXPECT_EQ(svc.userColumn(kApp, me, "first_name"), "Mira Okafor");
    EXPECT_TRUE(opener->calls.empty());
    EXPECT_TRUE(container->calls.empty());
}

TEST_F(SettingsTest, BackWithChangesAsksFirstOkLeavesCancelStays) {
    start(configurationJson(true, svc.baseUrl()));
    signUpByEmail();
    auto screen = openSettings();
    tap(screen->backButton());
    EXPECT_EQ(container->calls, std::vector<std::string>{"didClickBack"}) << "nothing changed: back at once";
    container->calls.clear();

    screen->userNameTextField()->setText("Someone Else");
    tap(screen->backButton());
    loop().advance(1);
    ASSERT_EQ(popups().size(), 1u);
    EXPECT_EQ(popupText(), "Discard changes? / Your changes have not been saved. Leave without saving them?");
    tap(popups()[0]->cancelButton());
    loop().advance(1);
    EXPECT_TRUE(container->calls.empty());
    EXPECT_TRUE(popups().empty());
    tap(screen->backButton());
    loop().advance(1);
    tap(popups().at(0)->okButton());
    loop().advance(1);
    EXPECT_EQ(container->calls, std::vector<std::string>{"didClickBack"});
    EXPECT_EQ(count("setUserData"), 0u);
}

TEST_F(SettingsTest, AnUploadedPictureBecomesTheUsersOnlyOnUpdate) {
    start(configurationJson(true, svc.baseUrl()));
    const std::string me = signUpByEmail();
    const std::string before = svc.userColumn(kApp, me, "photo_url");
    auto screen = openSettings();
    auto picture = ui::Image::create(300, 300);
    ui::GraphicsContext::forImage(picture)->setFillColor(ui::Color::fromHex("#2E7D32"));
    ASSERT_TRUE(screen->pictureTaken(picture));
    ASSERT_TRUE(waitFor([&] { return screen->uploadedImageUrl().has_value(); }));
    drain();
    const std::string uploaded = *screen->uploadedImageUrl();
    EXPECT_EQ(svc.userColumn(kApp, me, "photo_url"), before) << "not the user's before update";
    EXPECT_NE(VelkoraAgentInternal::instance().velkoraUser()->userPhotoUrl(), uploaded);

    tap(screen->updateButton());
    waitForSave(*screen);
    EXPECT_EQ(svc.userColumn(kApp, me, "photo_url"), uploaded);
    EXPECT_EQ(VelkoraAgentInternal::instance().velkoraUser()->userPhotoUrl(), uploaded);
    EXPECT_FALSE(screen->uploadedImageUrl().has_value());
}

TEST_F(SettingsTest, ASignOutMadeElsewhereRedrawsTheRow) {
    start(configurationJson(true, svc.baseUrl()));
    signUpByEmail();
    connectFacebook();
    auto screen = openSettings();
    ASSERT_TRUE(shown(screen->fbSignOutButton()));
    VelkoraUserSignUpHelper::create()->userSignedOut(1);
    drain();
    EXPECT_FALSE(shown(screen->fbSignOutButton()));
    EXPECT_TRUE(shown(screen->fbConnectButton()));
}

TEST_F(SettingsTest, OnATabletTheScreenComesFromItsTabletFile) {
    start(configurationJson(true, svc.baseUrl()));
    signUpByEmail();
    connectFacebook();
    useTablet();
    auto screen = openSettings();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->nibName(), "iPad_VelkoraUserSettingsView");
    EXPECT_TRUE(shown(screen->fbSignOutButton()) && shown(screen->twConnectButton()) && shown(screen->emailView()));
    snapshot("settings_tablet");
}

} // namespace
