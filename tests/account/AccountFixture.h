// The account screens against velkora-service over loopback HTTPS: a session started for a new user, the
// served configuration, the social stand-ins pointing at the service (Dana's Twitter account and Facebook
// user on the device), the kit's interface files and screens, and a host window whose navigation
// controller holds what the test opens. Prompts are answered by the test; time is the test clock.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>

#include "BuildPaths.h"
#include "VelkoraKitScreens.h"
#include "data/VelkoraUtils.h"
#include "social/VelkoraFBConnector.h"
#include "social/VelkoraIdentityFields.h"
#include "platform/foundation/FileIO.h"
#include "platform/services/OutsideEndpoints.h"
#include "platform/services/facebook/Dialogs.h"
#include "platform/services/facebook/Session.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/TouchRouter.h"
#include "platform/ui/Window.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"
#include "services/SocialFixture.h"
#include "data/VelkoraAppData.h"
#include "session/VelkoraScreenRegistry.h"
#include "shell/ShellServiceFixture.h"
#include "shell/VelkoraDefaultOKPopupView.h"
#include "shell/VelkoraGeneralFeatureViewController.h"
#include "shell/VelkoraResizeableButton.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "shell/WidgetSnapshot.h"

namespace velkora::testing {

// The container as the sidebar or the session object would be, writing down what the screens told it.
struct RecordingContainer : VelkoraGeneralFeatureViewControllerDelegate {
    bool topPanelHidden = false;
    std::vector<std::string> calls;
    void didClickBack() override { calls.push_back("didClickBack"); }
    void didClose() override { calls.push_back("didClose"); }
    void backToPanel() override { calls.push_back("backToPanel"); }
    bool isUsingPopover() override { return false; }
    bool isTopPanelHidden() override { return topPanelHidden; }
    bool isOpenedAsFeature() override { return true; }
};

// A host style sheet that answers every hook and writes down which reached it, with the screen id.
class RecordingSheet : public VelkoraStyleSheetProtocol {
public:
    std::vector<std::pair<std::string, uint32_t>> calls;
#define VELKORA_STYLE_HOOK(name, kind)                                                                                 \
    void name(ui::View*, uint32_t screen) override {                                                                   \
        calls.emplace_back(#name, screen);                                                                             \
    }
#include "session/VelkoraStyleSheetHooks.inc"
#undef VELKORA_STYLE_HOOK
    // The hooks among `wanted` in the order they came, each with its screen id.
    std::vector<std::pair<std::string, uint32_t>> only(const std::vector<std::string>& wanted) const {
        std::vector<std::pair<std::string, uint32_t>> out;
        for (const auto& call : calls)
            if (std::find(wanted.begin(), wanted.end(), call.first) != wanted.end()) out.push_back(call);
        return out;
    }
};

class AccountTest : public ShellServiceTest {
protected:
    void SetUp() override {
        ShellServiceTest::SetUp();
        ui::Application::instance().resetForTests();
        ui::InterfaceLoader::instance().reset();
        ui::Animator::reset();
        ui::TouchRouter::instance().reset();
        ui::Keyboard::instance().reset();
        VelkoraDynamicFrameworkLoader::resetCachesForTests();
        VelkoraDynamicFrameworkLoader::setFrameworkPathTemplate(VELKORA_BUILD_FRAMEWORK_TEMPLATE);
        VelkoraScreenRegistry::instance().resetForTests();
        VelkoraStyleSheetCustomizer::resetForTests();
        registerKitScreens();

        const std::string base = svc.baseUrl();
        services::OutsideEndpoints::reset();
        services::OutsideEndpoints::setBase(services::OutsideEndpoints::Service::TwitterApi, base + "/twitter");
        services::OutsideEndpoints::setBase(services::OutsideEndpoints::Service::FacebookGraph, base + "/graph");
        services::Device::instance().update([](services::DeviceProfile& p) {
            p.twitterAccounts = {kDanaTwitter};
            p.facebookUser = services::FacebookUser{kDanaOnFacebook, "Dana Whitfield", "dana-facebook-password"};
        });
        services::Device::instance().setPromptPolicy(services::Prompt::TwitterAccounts, services::PromptPolicy::Grant);
        services::facebook::Session::resetForTests();
        services::facebook::Session::setDefaultAppID(kFacebookAppId);
        ui::Application::instance().setOpenURLHandler([](const std::string& url, const std::string&) {
            auto fb = VelkoraAgentInternal::instance().fbConnector();
            return fb && fb->handleOpenURL(url);
        });

        container = std::make_shared<RecordingContainer>();
        host = ui::Window::createFullScreen();
        host->setBackgroundColor(ui::Color::fromHex("#E9EDF2"));
        nav = ui::NavigationController::create();
        nav->setNavigationBarHidden(true);
        host->setRootViewController(nav);
        host->makeKeyAndVisible();
    }

    void TearDown() override {
        ui::Screen::main().setBounds({0, 0, 320, 568});
        VelkoraIdentityFields::forgetReplaced();
        nav.reset();
        host.reset();
        ui::Keyboard::instance().reset();
        ui::TouchRouter::instance().reset();
        ui::Animator::reset();
        services::facebook::Session::resetForTests();
        services::OutsideEndpoints::reset();
        ui::Application::instance().resetForTests();
        VelkoraScreenRegistry::instance().resetForTests();
        VelkoraStyleSheetCustomizer::resetForTests();
        ui::InterfaceLoader::instance().reset();
        VelkoraDynamicFrameworkLoader::resetCachesForTests();
        ui::Device::current().setUserInterfaceIdiom(ui::UserInterfaceIdiom::Phone);
        ui::Device::current().setSystemVersion("7.0");
        ShellServiceTest::TearDown();
    }

    // A new user's session with the connectors and the configuration served as given.
    void start(const std::string& configuration) {
        startAt(std::nullopt);
        serveConfiguration(configuration);
        VelkoraAgentInternal::instance().initTwitterConnector();
        VelkoraAgentInternal::instance().initFacebookConnector();
    }
    VelkoraUserInfo& info() { return *VelkoraAgentInternal::instance().userInfo(); }
    // A tablet from now on: the "iPad_" files and the tablet's screen.
    void useTablet() {
        ui::Device::current().setUserInterfaceIdiom(ui::UserInterfaceIdiom::Pad);
        ui::Screen::main().setBounds({0, 0, 768, 1024});
        host->setFrame({0, 0, 768, 1024});
    }

    // The screen made by its feature name and shown as the root of the host's navigation controller.
    template <class Screen> std::shared_ptr<Screen> open(const std::string& feature) {
        auto made = VelkoraScreenRegistry::instance().makeScreen(feature);
        auto screen = std::dynamic_pointer_cast<Screen>(made);
        EXPECT_TRUE(screen) << feature;
        if (!screen) return nullptr;
        show(screen);
        return screen;
    }
    void show(const std::shared_ptr<VelkoraGeneralFeatureViewController>& screen) {
        screen->setFeatureTabDelegate(container);
        nav->setViewControllers({screen}, false);
        screen->view();
        ui::Application::instance().layoutWindows();
        loop().advance(1);
    }
    ui::ViewControllerPtr top() const { return nav->viewControllers().back(); }

    // The popups showing now, oldest first.
    static std::vector<std::shared_ptr<VelkoraDefaultOKPopupView>> popups() {
        std::vector<std::shared_ptr<VelkoraDefaultOKPopupView>> found;
        for (const auto& w : ui::Application::instance().windows())
            for (const auto& v : w->subviews())
                if (auto popup = std::dynamic_pointer_cast<VelkoraDefaultOKPopupView>(v)) found.push_back(popup);
        return found;
    }
    // The one popup's title and message, or "" when there is none, "<n popups>" when several.
    static std::string popupText() {
        auto shown = popups();
        if (shown.empty()) return "";
        if (shown.size() > 1) return "<" + std::to_string(shown.size()) + " popups>";
        return shown[0]->titleLabel()->text() + " / " + shown[0]->messageLable()->text();
    }
    static void closePopups() {
        for (const auto& p : popups())
            p->close();
    }
    // Every message showing: the kit's popups as "title / message", the platform's alerts (the connectors'
    // own) as "alert: title / message".
    static std::vector<std::string> shownMessages() {
        std::vector<std::string> out;
        for (const auto& w : ui::Application::instance().windows())
            for (const auto& v : w->subviews()) {
                if (auto popup = std::dynamic_pointer_cast<VelkoraDefaultOKPopupView>(v))
                    out.push_back(popup->titleLabel()->text() + " / " + popup->messageLable()->text());
                else if (auto alert = std::dynamic_pointer_cast<ui::AlertView>(v); alert && alert->isVisible())
                    out.push_back("alert: " + alert->title() + " / " + alert->message());
            }
        return out;
    }
    // Closes every popup and alert as its person would.
    static void dismissMessages() {
        closePopups();
        for (const auto& w : ui::Application::instance().windows())
            for (const auto& v : w->subviews())
                if (auto alert = std::dynamic_pointer_cast<ui::AlertView>(v); alert && alert->isVisible())
                    alert->tapButtonAtIndex(0);
    }
    std::string recordFile() const {
        return foundation::readFile(foundation::Paths::documents() + "/" + VelkoraAgentInternal::kUserInfoFile)
            .value_or("");
    }
    static void tap(const std::shared_ptr<ui::Button>& button) {
        ASSERT_TRUE(button);
        button->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    }
    // Until nothing of the kit or the platform is in flight and what it posted has run.
    void drain() {
        settle();
        waitFor([] { return foundation::UrlConnection::activeCount() == 0; });
        loop().advance(1);
        settle();
    }
    // No log line, record file or user-defaults file holds the typed password or its digest.
    void expectNoTraceOf(const std::string& typed) {
        const std::string digest = VelkoraUtils::md5String(typed, true);
        const std::string lower = VelkoraUtils::md5String(typed, false);
        for (const auto& line : capture_->lines())
            for (const std::string& secret : {typed, digest, lower})
                EXPECT_EQ(line.find(secret), std::string::npos) << line;
        for (const std::string& file : {foundation::Paths::documents() + "/" + VelkoraAgentInternal::kUserInfoFile,
                                        foundation::Paths::documents() + "/" + VelkoraAgentInternal::kAppDataFile,
                                        root_ + "/Documents/velkora.userdefaults.json"}) {
            const std::string text = foundation::readFile(file).value_or("");
            for (const std::string& secret : {typed, digest, lower})
                EXPECT_EQ(text.find(secret), std::string::npos) << file;
        }
    }
    // Until the predicate holds, moving the clock a second at a time so that retries and timers run.
    bool waitAdvancing(const std::function<bool()>& done, int seconds = 60) {
        for (int i = 0; i < seconds && !done(); ++i) {
            loop().runUntil(done, 0.5);
            if (!done()) loop().advance(1.0);
        }
        return done();
    }
    void snapshot(const std::string& name) {
        ui::Application::instance().layoutWindows();
        expectMatchesReference(ui::Snapshot::imageOfScreen(), name);
    }

    std::shared_ptr<RecordingContainer> container;
    std::shared_ptr<ui::Window> host;
    std::shared_ptr<ui::NavigationController> nav;
};

inline std::string configurationJson(bool emailSignUp, const std::string& base, bool withAddresses = true) {
    std::string json = R"({"appName":"Velkora Test","leadingColor":3381759,"enableTwitter":true,"enableFacebook":true)";
    json += std::string(",\"emailSignUpEnabled\":") + (emailSignUp ? "true" : "false");
    if (withAddresses)
        json += ",\"privacyPolicy\":\"" + base + "/pages/privacy\",\"termsOfUse\":\"" + base + "/pages/terms\"";
    return json + "}";
}

} // namespace velkora::testing
