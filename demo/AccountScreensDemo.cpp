// What a host's user meets on the way into an account: the sign-in question in both of its forms, the
// sign-up and log-in screens, the e-mail forms, the forgotten password, and, logged in to the seeded
// e-mail account (ana@demo.velkora.test, password "velkora1"), the settings and the new-password screen.
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "BuildPaths.h"
#include "BuildTreeModules.h"
#include "DemoSteps.h"
#include "VelkoraKitScreens.h"
#include "data/VelkoraUserInternal.h"
#include "people/VelkoraEmailLoginViewController.h"
#include "people/VelkoraLoginViewController.h"
#include "people/VelkoraSignUpViewController.h"
#include "shell/VelkoraSigninToFollowPopupHelper.h"
#include "people/VelkoraUserSettingsViewController.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/services/OutsideEndpoints.h"
#include "platform/ui/Application.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Window.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppData.h"
#include "session/VelkoraScreenRegistry.h"
#include "data/VelkoraUserInfo.h"
#include "shell/VelkoraDefaultOKPopupView.h"
#include "shell/VelkoraResizeableButton.h"

namespace {

using namespace velkora;

// The host's side of the screens: where they go back to.
struct Container : VelkoraGeneralFeatureViewControllerDelegate {
    explicit Container(demo::Demo& d) : demo(d) {}
    demo::Demo& demo;
    bool backInPanel = false;
    void didClickBack() override { demo.say("the screen went back to its container"); }
    void didClose() override {}
    void backToPanel() override {
        backInPanel = true;
        demo.say("the screen went back to the sidebar's panel");
    }
    bool isUsingPopover() override { return false; }
    bool isTopPanelHidden() override { return false; }
    bool isOpenedAsFeature() override { return true; }
};

// A screen that asks an anonymous user to sign in first.
struct Asker : VelkoraSigninToFollowPopupHelperDelegate {
    explicit Asker(demo::Demo& d) : demo(d) {}
    demo::Demo& demo;
    void didSignin() override { demo.say("signed in: the screen repeats what was tapped"); }
    void performLogin() override { demo.say("the screen opens the log-in screen"); }
    void performSignUp() override { demo.say("the screen opens the sign-up screen"); }
};

void closePopups() {
    for (const auto& w : ui::Application::instance().windows())
        for (const auto& v : w->subviews())
            if (auto popup = std::dynamic_pointer_cast<VelkoraDefaultOKPopupView>(v)) popup->close();
    foundation::RunLoop::main().advance(1);
}

} // namespace

VELKORA_DEMO_STEP(accountScreens, 620, DemoStep::NeedsService) {
    if (!demo.ensureSession()) return false;
    registerKitScreens();
    demo::useBuildTreeModules("QuartzCore");
    auto& loop = demo.loop();
    auto wait = [&](const std::function<bool()>& done) { return loop.runUntil(done, 20); };
    foundation::UrlConnection::setCaFile(demo.caFile());
    const std::string base = "https://127.0.0.1:" + std::to_string(demo.servicePort());
    services::OutsideEndpoints::setBase(services::OutsideEndpoints::Service::TwitterApi, base + "/twitter");
    services::OutsideEndpoints::setBase(services::OutsideEndpoints::Service::FacebookGraph, base + "/graph");
    auto& agent = VelkoraAgentInternal::instance();
    if (!agent.twitterConnector()) agent.initTwitterConnector();
    if (!agent.fbConnector()) agent.initFacebookConnector();
    wait([&] { return agent.appData() && agent.appData()->termsOfUse(); });
    bool shown = true;

    auto container = std::make_shared<Container>(demo);
    auto nav = ui::NavigationController::create();
    nav->setNavigationBarHidden(true);
    auto window = ui::Window::createFullScreen();
    window->setRootViewController(nav);
    window->makeKeyAndVisible();
    auto showRoot = [&](const std::shared_ptr<ui::ViewController>& screen) {
        auto feature = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(screen);
        if (!feature) return false;
        feature->setFeatureTabDelegate(container);
        nav->setViewControllers({screen}, false);
        screen->view();
        ui::Application::instance().layoutWindows();
        loop.advance(1);
        return true;
    };
    auto png = [&](const std::string& name) {
        ui::Application::instance().layoutWindows();
        loop.advance(1);
        return demo.writeScreenPng(name);
    };

    // The sign-in question, as the application allows e-mail sign-up and as it does not.
    auto asker = std::make_shared<Asker>(demo);
    auto question = VelkoraSigninToFollowPopupHelper::create();
    auto appData = agent.appData();
    const bool emailSignUp = appData && appData->emailSignUpEnabled();
    for (bool email : {true, false}) {
        if (appData) appData->setEmailSignUpEnabled(email);
        question->showSigninPopupInView(window.get(), "Sign in to follow people and see what they do.", asker);
        shown &= png(email ? "account-signin-popup-email" : "account-signin-popup-connect");
        closePopups();
    }
    if (appData) appData->setEmailSignUpEnabled(emailSignUp);

    // Features 105 and 104, and the e-mail forms each one opens.
    auto signup =
        std::dynamic_pointer_cast<VelkoraSignUpViewController>(VelkoraScreenRegistry::instance().makeScreen("signup"));
    shown &= signup && showRoot(signup) && png("account-signup");
    if (signup) {
        signup->emailConnectClicked(nullptr);
        shown &= nav->viewControllers().size() == 2 && png("account-email-signup");
    }
    auto login =
        std::dynamic_pointer_cast<VelkoraLoginViewController>(VelkoraScreenRegistry::instance().makeScreen("login"));
    shown &= login && showRoot(login) && png("account-login");
    if (!login) return false;
    login->emailConnectClicked(nullptr);
    auto emailLogin = std::dynamic_pointer_cast<VelkoraEmailLoginViewController>(nav->viewControllers().back());
    if (!emailLogin) return false;
    loop.advance(1);
    emailLogin->forgotPasswordClicked(nullptr);
    loop.advance(1);
    shown &= png("account-forgot-password");
    nav->popViewController(false);
    loop.advance(1);

    // The seeded e-mail account logs in.
    emailLogin->emailTextField()->setText("ana@demo.velkora.test");
    emailLogin->passwordTextField()->setText("velkora1");
    shown &= png("account-email-login");
    emailLogin->loginClicked(nullptr);
    if (!wait([&] { return container->backInPanel; })) {
        demo.say("the seeded e-mail account did not log in");
        return false;
    }
    demo.say("logged in by e-mail as " + agent.userInfo()->userId().value_or("?"));
    // The account's own data follows the log-in.
    wait([&] { return agent.velkoraUser() && agent.velkoraUser()->firstName().value_or("") == "Ana"; });

    // Its settings, and the way to a new password.
    auto settings = std::dynamic_pointer_cast<VelkoraUserSettingsViewController>(
        VelkoraScreenRegistry::instance().makeScreen("settings"));
    shown &= settings && showRoot(settings) && png("account-settings");
    if (settings) {
        settings->changePasswordClicked(nullptr);
        loop.advance(1);
        shown &= nav->viewControllers().size() == 2 && png("account-change-password");
    }
    nav->setViewControllers({}, false);
    window->setHidden(true);
    loop.advance(1);
    return shown;
}
