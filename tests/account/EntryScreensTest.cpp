// The log-in and sign-up screens: their texts and widgets offered to the host's style sheet, the privacy
// line whose names open the served pages, and the buttons to the e-mail forms and to each other.
#include "AccountFixture.h"
#include "data/VelkoraUserInternal.h"
#include "people/VelkoraEmailLoginViewController.h"
#include "people/VelkoraEmailSignUpViewController.h"
#include "people/VelkoraLoginViewController.h"
#include "people/VelkoraSignUpViewController.h"
#include "platform/ui/BarItems.h"
#include "shell/VelkoraGeneralWebViewController.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

class EntryScreensTest : public AccountTest {};

const std::vector<std::string> kEntryHooks = {
    "customizeFacebookConnectButton", "customizeFacebookConnectLogo", "customizeTwitterConnectButton",
    "customizeTwitterConnectLogo",    "customizeEmailConnectButton",  "customizeLoginConnectButton",
    "customizeSignupConnectButton",   "customizeLoginHeaderLabel",    "customizeLoginFooterLabel"};

TEST_F(EntryScreensTest, TheTwinsShowTheServedNameAndOfferTheirWidgetsInOrder) {
    struct Case {
        const char* feature;
        uint32_t screenId;
        const char* title;
        const char* header;
        const char* footer;
        const char* email;
        const char* twin;
        const char* twinHook;
        const char* snapshot;
    };
    const Case cases[] = {
        {"signup", 24, "Sign up", "Make the most of Velkora Test: sign up and meet your friends here.",
         "Already have an account?", "Sign up with e-mail", "Log in", "customizeLoginConnectButton", "signup_phone"},
        {"login", 25, "Log in", "Welcome back to Velkora Test. Log in to continue.", "New here?", "Log in with e-mail",
         "Sign up", "customizeSignupConnectButton", "login_phone"},
    };
    start(configurationJson(true, svc.baseUrl()));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.feature);
        auto sheet = std::make_shared<RecordingSheet>();
        VelkoraStyleSheetCustomizer::instance().setCustomStyleSheet(sheet);
        auto screen = open<VelkoraSocialEntryViewController>(c.feature);
        ASSERT_TRUE(screen);
        EXPECT_EQ(screen->titleLabel()->text(), c.title);
        EXPECT_EQ(screen->makeTheMostLabel()->text(), c.header);
        EXPECT_EQ(screen->facebookConnectLabel()->text(), "Connect with Facebook");
        EXPECT_EQ(screen->twitterConnectLabel()->text(), "Connect with Twitter");
        EXPECT_EQ(screen->emailConnectButton()->titleForState(ui::ControlStateNormal), c.email);
        EXPECT_EQ(screen->emailConnectButton()->titleForState(ui::ControlStateHighlighted), c.email);
        std::vector<std::pair<std::string, uint32_t>> expected;
        for (const char* hook :
             {"customizeFacebookConnectButton", "customizeFacebookConnectLogo", "customizeTwitterConnectButton",
              "customizeTwitterConnectLogo", "customizeEmailConnectButton", c.twinHook, "customizeLoginHeaderLabel",
              "customizeLoginFooterLabel"})
            expected.emplace_back(hook, c.screenId);
        EXPECT_EQ(sheet->only(kEntryHooks), expected);
        if (auto login = std::dynamic_pointer_cast<VelkoraLoginViewController>(screen)) {
            EXPECT_EQ(login->signUpInviteLabel()->text(), c.footer);
            EXPECT_EQ(login->signUpButton()->titleForState(ui::ControlStateNormal), c.twin);
        } else {
            auto signup = std::dynamic_pointer_cast<VelkoraSignUpViewController>(screen);
            ASSERT_TRUE(signup);
            EXPECT_EQ(signup->loginInviteLabel()->text(), c.footer);
            EXPECT_EQ(signup->loginButton()->titleForState(ui::ControlStateNormal), c.twin);
            EXPECT_TRUE(signup->loginBarImageView());
        }
        VelkoraStyleSheetCustomizer::resetForTests();
        snapshot(c.snapshot);
    }
}

TEST_F(EntryScreensTest, OnATabletTheTwinsComeFromTheirTabletFiles) {
    start(configurationJson(true, svc.baseUrl()));
    useTablet();
    for (const char* feature : {"signup", "login"}) {
        auto screen = open<VelkoraSocialEntryViewController>(feature);
        ASSERT_TRUE(screen);
        EXPECT_EQ(screen->nibName().rfind("iPad_", 0), 0u) << screen->nibName();
        snapshot(std::string(feature) + "_tablet");
    }
}

TEST_F(EntryScreensTest, TheSessionOpensFeatures104And105OnTheHostsOwnStack) {
    struct Case {
        bool tablet;
        int32_t feature;
        const char* screen;
        const char* nib;
        const char* title;
        const char* form;
        const char* formNib;
    };
    const Case cases[] = {
        {false, 104, "VelkoraLoginViewController", "VelkoraLoginView", "Log in", "VelkoraEmailLoginViewController",
         "VelkoraEmailLoginView"},
        {false, 105, "VelkoraSignUpViewController", "VelkoraSignUpView", "Sign up", "VelkoraEmailSignUpViewController",
         "VelkoraEmailSignUpView"},
        {true, 104, "VelkoraLoginViewController", "iPad_VelkoraLoginView", "Log in", "VelkoraEmailLoginViewController",
         "iPad_VelkoraEmailLoginView"},
        {true, 105, "VelkoraSignUpViewController", "iPad_VelkoraSignUpView", "Sign up",
         "VelkoraEmailSignUpViewController", "VelkoraEmailSignUpView"},
    };
    start(configurationJson(true, svc.baseUrl()));
    // The session holds the device's new user, as after its start.
    auto caller = std::make_shared<Caller>();
    VelkoraServerApi::getUserData(Caller::of(caller));
    ASSERT_TRUE(waitFor([&] { return !caller->answers.empty() || !caller->errors.empty(); }));
    ASSERT_FALSE(caller->answers.empty());
    auto& session = VelkoraAgentInternal::instance();
    session.setVelkoraUser(caller->answers[0].asObject<VelkoraUserInternal>());
    ASSERT_TRUE(session.velkoraUser() && session.velkoraUser()->isAnonymous());
    auto hostRoot = ui::ViewController::create();
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.feature) + (c.tablet ? " tablet" : ""));
        if (c.tablet) useTablet();
        nav->setNavigationBarHidden(false);
        nav->setViewControllers({hostRoot}, false);
        // In the host's own bar: the kit's top panel is hidden.
        session.openFeature(c.feature, nav, false);
        loop().advance(1);
        ASSERT_EQ(nav->viewControllers().size(), 2u);
        auto screen = std::dynamic_pointer_cast<VelkoraSocialEntryViewController>(top());
        ASSERT_TRUE(screen);
        EXPECT_STREQ(screen->className(), c.screen);
        EXPECT_EQ(screen->nibName(), c.nib);
        EXPECT_EQ(screen->titleText(), c.title);
        EXPECT_EQ(screen->featureTabDelegate(), session.featureContainer());
        EXPECT_NE(screen->makeTheMostLabel()->text().find("Velkora Test"), std::string::npos);

        // The e-mail form it pushes answers the same container, with its main button in the host's bar.
        tap(screen->emailConnectButton());
        loop().advance(1);
        ASSERT_EQ(nav->viewControllers().size(), 3u);
        auto form = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(top());
        ASSERT_TRUE(form);
        EXPECT_STREQ(form->className(), c.form);
        EXPECT_EQ(form->nibName(), c.formNib);
        EXPECT_EQ(form->featureTabDelegate(), session.featureContainer());
        auto barItem = form->navigationItem().rightBarButtonItem();
        ASSERT_TRUE(barItem);
        auto button = std::dynamic_pointer_cast<ui::Button>(barItem->customView());
        ASSERT_TRUE(button);
        EXPECT_EQ(button->titleForState(ui::ControlStateNormal), c.feature == 104 ? "Log in" : "Sign up");

        // Back to the panel: the host's stack holds its own screen again.
        session.backToPanel();
        loop().advance(1);
        EXPECT_EQ(nav->viewControllers().size(), 1u);
    }
}

TEST_F(EntryScreensTest, ThePrivacyLineMarksTheNamesInTheFinalText) {
    struct Case {
        const char* line;
        const char* text;
        std::optional<std::string> privacy, terms;
    };
    const Case cases[] = {
        {"Plain words.", "Plain words.", std::nullopt, std::nullopt},
        {"Read the $PRIVACY$ and the $TERMS$.", "Read the Privacy and the Terms of Use.", "Privacy", "Terms of Use"},
        // The terms ahead of the privacy name move it: both ranges belong to the final text.
        {"See $TERMS$ and $PRIVACY$!", "See Terms of Use and Privacy!", "Privacy", "Terms of Use"},
        {"Only $TERMS$ here, $TERMS$ twice.", "Only Terms of Use here, $TERMS$ twice.", std::nullopt, "Terms of Use"},
        {"Ünïcode 😀 $TERMS$ → $PRIVACY$", "Ünïcode 😀 Terms of Use → Privacy", "Privacy", "Terms of Use"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        auto line = VelkoraPrivacyLine::make(c.line, "Privacy", "Terms of Use");
        EXPECT_EQ(line.text, c.text);
        auto named = [&](const std::optional<ui::TextRange>& r) -> std::optional<std::string> {
            if (!r) return std::nullopt;
            return ui::utf16::substring(line.text, *r);
        };
        EXPECT_EQ(named(line.privacyRange), c.privacy);
        EXPECT_EQ(named(line.termsRange), c.terms);
    }
}

TEST_F(EntryScreensTest, TheNamesAreBoldAndColouredAndLinkOnlyToServedWebPages) {
    struct Case {
        const char* what;
        std::string configuration;
        size_t links;
    };
    const std::string base = svc.baseUrl();
    const std::string head = R"({"appName":"Velkora Test","leadingColor":3381759)";
    const Case cases[] = {
        {"both addresses", configurationJson(true, base), 2},
        {"no addresses", configurationJson(true, base, false), 0},
        {"terms not on the web",
         head + R"(,"privacyPolicy":")" + base + R"(/pages/privacy","termsOfUse":"file:///etc/passwd"})", 1},
    };
    start(configurationJson(true, base));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        serveConfiguration(c.configuration);
        auto screen = open<VelkoraSocialEntryViewController>("signup");
        ASSERT_TRUE(screen);
        const auto& text = screen->privacyLabel()->attributedText();
        ASSERT_TRUE(text);
        EXPECT_EQ(text->string(), "By signing up you accept the Privacy Policy and the Terms of Use.");
        for (const char* name : {"Privacy Policy", "Terms of Use"}) {
            const size_t at = ui::utf16::indexOfByte(text->string(), text->string().find(name));
            EXPECT_EQ(text->colorAt(at), ui::Color::fromHex("#3399FF")) << name;
            ASSERT_TRUE(text->fontAt(at)) << name;
            EXPECT_TRUE(text->fontAt(at)->isBold()) << name;
        }
        EXPECT_FALSE(text->fontAt(0) && text->fontAt(0)->isBold());
        EXPECT_EQ(screen->privacyLabel()->links().size(), c.links);
        for (const auto& link : screen->privacyLabel()->links()) {
            EXPECT_EQ(link.replacementString.rfind(base, 0), 0u);
            const std::string shown = ui::utf16::substring(text->string(), link.range);
            EXPECT_EQ(link.replacementString == base + "/pages/privacy", shown == "Privacy Policy") << shown;
        }
    }
}

TEST_F(EntryScreensTest, ATappedNamePushesTheWebPageTitledByIt) {
    start(configurationJson(true, svc.baseUrl()));
    for (const std::string name : {"Privacy Policy", "Terms of Use"}) {
        SCOPED_TRACE(name);
        auto screen = open<VelkoraSocialEntryViewController>("login");
        ASSERT_TRUE(screen);
        auto label = screen->privacyLabel();
        const auto& text = *label->attributedText();
        const size_t at = ui::utf16::indexOfByte(text.string(), text.string().find(name)) + 2;
        auto link = label->linkAtCharacterIndex(at);
        ASSERT_TRUE(link);
        // What the label does with a tap on the link.
        label->delegate()->attributedLabelDidSelectLinkWithTextCheckingResult(*label, *link);
        loop().advance(1);
        ASSERT_EQ(nav->viewControllers().size(), 2u);
        auto page = std::dynamic_pointer_cast<VelkoraGeneralWebViewController>(top());
        ASSERT_TRUE(page);
        EXPECT_EQ(page->titleText(), name);
        EXPECT_EQ(page->linkUrl(), svc.baseUrl() + (name == "Privacy Policy" ? "/pages/privacy" : "/pages/terms"));
        EXPECT_EQ(page->featureTabDelegate(), container);
    }
}

TEST_F(EntryScreensTest, TheEmailAndTwinButtonsPushTheirScreens) {
    struct Case {
        bool tablet;
        const char* feature;
        bool email;
        const char* pushed;
        const char* nib;
    };
    const Case cases[] = {
        {false, "signup", true, "VelkoraEmailSignUpViewController", "VelkoraEmailSignUpView"},
        {false, "login", true, "VelkoraEmailLoginViewController", "VelkoraEmailLoginView"},
        {false, "signup", false, "VelkoraLoginViewController", "VelkoraLoginView"},
        {false, "login", false, "VelkoraSignUpViewController", "VelkoraSignUpView"},
        // The e-mail sign-up form has no tablet file of its own.
        {true, "signup", true, "VelkoraEmailSignUpViewController", "VelkoraEmailSignUpView"},
        {true, "login", true, "VelkoraEmailLoginViewController", "iPad_VelkoraEmailLoginView"},
        {true, "signup", false, "VelkoraLoginViewController", "iPad_VelkoraLoginView"},
        {true, "login", false, "VelkoraSignUpViewController", "iPad_VelkoraSignUpView"},
    };
    start(configurationJson(true, svc.baseUrl()));
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.feature) + (c.email ? " e-mail" : " twin") + (c.tablet ? " tablet" : ""));
        if (c.tablet) useTablet();
        auto screen = open<VelkoraSocialEntryViewController>(c.feature);
        ASSERT_TRUE(screen);
        if (c.email) {
            tap(screen->emailConnectButton());
        } else if (auto login = std::dynamic_pointer_cast<VelkoraLoginViewController>(screen)) {
            tap(login->signUpButton());
        } else {
            tap(std::dynamic_pointer_cast<VelkoraSignUpViewController>(screen)->loginButton());
        }
        loop().advance(1);
        ASSERT_EQ(nav->viewControllers().size(), 2u);
        EXPECT_STREQ(top()->className(), c.pushed);
        EXPECT_EQ(top()->nibName(), c.nib);
        auto pushed = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(top());
        ASSERT_TRUE(pushed);
        EXPECT_EQ(pushed->featureTabDelegate(), container);
    }
}

} // namespace
