// The profile and user-list screens against velkora-service: a fresh kit and service per test, a session
// started for a new user whose data the kit holds, the kit's interface files and classes, the screens
// registered, and a host window with a navigation stack to push them on. Everything runs on the test clock.
#pragma once

#include <gtest/gtest.h>

#include <iostream>

#include "BuildPaths.h"
#include "VelkoraKitScreens.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/TouchRouter.h"
#include "platform/ui/Window.h"
#include "server/ServerClientFixture.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"
#include "session/VelkoraScreenRegistry.h"
#include "shell/VelkoraGeneralFeatureViewController.h"
#include "shell/VelkoraStyleSheetCustomizer.h"
#include "support/SnapshotCompare.h"

namespace velkora::testing {

// Where a test's screens live: opened by the host, with the kit's own top panel.
struct HostContainer : VelkoraGeneralFeatureViewControllerDelegate {
    int backs = 0, closes = 0, backToPanels = 0;
    void didClickBack() override { ++backs; }
    void didClose() override { ++closes; }
    void backToPanel() override { ++backToPanels; }
    bool isUsingPopover() override { return false; }
    bool isTopPanelHidden() override { return false; }
    bool isOpenedAsFeature() override { return true; }
};

class ProfilesTest : public ServerClientTest {
protected:
    void SetUp() override {
        ServerClientTest::SetUp();
        ui::Application::instance().resetForTests();
        ui::InterfaceLoader::instance().reset();
        ui::Animator::reset();
        ui::TouchRouter::instance().reset();
        VelkoraDynamicFrameworkLoader::resetCachesForTests();
        VelkoraDynamicFrameworkLoader::setFrameworkPathTemplate(VELKORA_BUILD_FRAMEWORK_TEMPLATE);
        VelkoraStyleSheetCustomizer::resetForTests();
        VelkoraScreenRegistry::instance().resetForTests();
        registerKitScreens();
        container_ = std::make_shared<HostContainer>();
    }
    void TearDown() override {
        // What the kit logged explains most failures of a screen.
        if (HasFailure())
            for (const auto& line : capture_->lines())
                std::cerr << line << "\n";
        // Notices close themselves on the clock; let them, so nothing they hold outlives the test.
        loop().advance(5);
        nav_.reset();
        window_.reset();
        VelkoraScreenRegistry::instance().resetForTests();
        ui::TouchRouter::instance().reset();
        ui::Animator::reset();
        ui::Application::instance().resetForTests();
        ServerClientTest::TearDown();
    }

    // A session for a new user, with a name so the user counts as signed in, and the kit holding that
    // user's data as the service answers it.
    void startSignedIn(const std::string& firstName = "Vera", const std::string& lastName = "Viewer") {
        startNewUser();
        me_ = *VelkoraServerClientAgent::instance().userId();
        loadMyData();
        auto me = VelkoraAgentInternal::instance().velkoraUser();
        me->setFirstName(firstName);
        me->setLastName(lastName);
        auto caller = std::make_shared<Caller>();
        VelkoraServerApi::setUserData(me, Caller::of(caller));
        ASSERT_TRUE(waitFor([&] { return !caller->answers.empty() || !caller->errors.empty(); }));
        ASSERT_TRUE(settle());
    }

    // Shows a screen as the root of a navigation stack in a full-screen window.
    void show(const std::shared_ptr<ui::ViewController>& screen) {
        if (auto feature = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(screen))
            feature->setFeatureTabDelegate(container_);
        nav_ = ui::NavigationController::create(screen);
        nav_->setNavigationBarHidden(true);
        window_ = ui::Window::createFullScreen();
        window_->setRootViewController(nav_);
        window_->makeKeyAndVisible();
        window_->layoutIfNeeded();
        loop().advance(0.5);
    }
    // Until every request is answered and what it posted has run, then the layout.
    void settleScreen() {
        ASSERT_TRUE(settle());
        loop().advance(0.1);
        if (window_) window_->layoutIfNeeded();
    }
    // Waits while the test clock moves on a second at a time: retries and timers come due.
    bool waitAdvancing(const std::function<bool()>& p, int seconds = 300) {
        for (int i = 0; i < seconds; ++i) {
            if (loop().runUntil(p, 0.2)) return true;
            loop().advance(1.0);
        }
        return p();
    }
    std::shared_ptr<ui::Image> shot() { return ui::Snapshot::imageOfView(*window_); }

    // Compares with the reference in tests/profiles/data; VELKORA_UPDATE_SNAPSHOTS=1 writes it instead.
    void expectLooksLike(const std::string& name) {
        auto picture = shot();
        ASSERT_TRUE(picture);
        const std::string reference = std::string(VELKORA_TEST_DATA_DIR) + "/" + name + ".png";
        if (std::getenv("VELKORA_UPDATE_SNAPSHOTS")) {
            ASSERT_TRUE(picture->writePng(reference));
        }
        auto expected = ui::Image::fromFile(reference);
        ASSERT_TRUE(expected) << "missing reference " << reference;
        EXPECT_TRUE(looksLike(*picture, *expected))
            << name << " differs in " << shareOfPixelsDiffering(*picture, *expected, 48) << " of its pixels";
    }

    static void becomeTablet() {
        ui::Device::current().setUserInterfaceIdiom(ui::UserInterfaceIdiom::Pad);
        ui::Screen::main().setBounds({0, 0, 768, 1024});
    }

    std::string me_;
    std::shared_ptr<HostContainer> container_;
    std::shared_ptr<ui::NavigationController> nav_;
    std::shared_ptr<ui::Window> window_;
};

} // namespace velkora::testing
