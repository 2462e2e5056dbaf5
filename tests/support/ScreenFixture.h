// What every screen test against velkora-service shares: the kit's interface files, classes and screens
// registered afresh, a host window with a navigation stack to show a screen in, waiting for requests and
// pictures on the test clock, and comparing what the window shows with a reference picture.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <string>

#include "BuildPaths.h"
#include "VelkoraKitScreens.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/TouchRouter.h"
#include "platform/ui/Window.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"
#include "session/VelkoraScreenRegistry.h"
#include "shell/VelkoraGeneralFeatureViewController.h"
#include "shell/VelkoraLazyImageView.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "support/SnapshotCompare.h"

namespace velkora::testing {

// Where a test's screens live: opened by the host, with the kit's own top panel.
struct HostContainer : VelkoraGeneralFeatureViewControllerDelegate {
    int backs = 0, closes = 0, backToPanels = 0;
    bool popover = false;
    void didClickBack() override { ++backs; }
    void didClose() override { ++closes; }
    void backToPanel() override { ++backToPanels; }
    bool isUsingPopover() override { return popover; }
    bool isTopPanelHidden() override { return false; }
    bool isOpenedAsFeature() override { return true; }
};

// Shows a screen as the root of a navigation stack (its bar hidden) in a full-screen key window, laid out,
// then lets half a second of the test clock pass for what it starts on appearing.
inline void showFullScreen(const std::shared_ptr<ui::ViewController>& screen,
                           const std::shared_ptr<VelkoraGeneralFeatureViewControllerDelegate>& container,
                           std::shared_ptr<ui::NavigationController>& nav, std::shared_ptr<ui::Window>& window) {
    if (auto feature = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(screen))
        feature->setFeatureTabDelegate(container);
    nav = ui::NavigationController::create(screen);
    nav->setNavigationBarHidden(true);
    window = ui::Window::createFullScreen();
    window->setRootViewController(nav);
    window->makeKeyAndVisible();
    window->layoutIfNeeded();
    foundation::RunLoop::main().advance(0.5);
}

// `Base` is a fixture of tests/server that starts the service and the kit's session on the test clock.
template <class Base> class ScreenFixture : public Base {
protected:
    using Base::loop;
    using Base::settle;
    using Base::waitFor;

    void SetUp() override {
        Base::SetUp();
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
        if (this->HasFailure())
            for (const auto& line : this->capture_->lines())
                std::cerr << line << "\n";
        // Notices close themselves on the clock; let them, so nothing they hold outlives the test.
        loop().advance(5);
        nav_.reset();
        window_.reset();
        VelkoraScreenRegistry::instance().resetForTests();
        ui::TouchRouter::instance().reset();
        ui::Animator::reset();
        ui::Application::instance().resetForTests();
        ui::Device::current().setUserInterfaceIdiom(ui::UserInterfaceIdiom::Phone);
        ui::Screen::main().setBounds({0, 0, 320, 568});
        Base::TearDown();
    }

    void show(const std::shared_ptr<ui::ViewController>& screen) { showFullScreen(screen, container_, nav_, window_); }
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

    // Until every picture asked for has come, from the network or the caches' own thread.
    static bool allLoaded(ui::View& view) {
        if (auto* lazy = dynamic_cast<VelkoraLazyImageView*>(&view))
            if (lazy->cachedImageFetcher() && !lazy->imageLoaded() && !lazy->image()) return false;
        for (const auto& sub : view.subviews())
            if (!allLoaded(*sub)) return false;
        return true;
    }
    bool picturesLoaded() {
        bool done = waitFor([] {
            if (foundation::UrlConnection::activeCount() != 0) return false;
            for (const auto& w : ui::Application::instance().windows())
                if (!allLoaded(*w)) return false;
            return true;
        });
        loop().advance(0.5);
        if (window_) window_->layoutIfNeeded();
        return done;
    }

    // Compares with the reference in the test folder's data; VELKORA_UPDATE_SNAPSHOTS=1 writes it instead.
    void expectPictureLooksLike(const std::shared_ptr<ui::Image>& picture, const std::string& name) {
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
    void expectLooksLike(ui::View& view, const std::string& name) {
        expectPictureLooksLike(ui::Snapshot::imageOfView(view), name);
    }
    void expectLooksLike(const std::string& name) { expectLooksLike(*window_, name); }
    // Every window, popups above the screen included.
    void expectScreenLooksLike(const std::string& name) { expectPictureLooksLike(ui::Snapshot::imageOfScreen(), name); }

    static void becomeTablet() {
        ui::Device::current().setUserInterfaceIdiom(ui::UserInterfaceIdiom::Pad);
        ui::Screen::main().setBounds({0, 0, 768, 1024});
    }

    std::shared_ptr<HostContainer> container_;
    std::shared_ptr<ui::NavigationController> nav_;
    std::shared_ptr<ui::Window> window_;
};

} // namespace velkora::testing
