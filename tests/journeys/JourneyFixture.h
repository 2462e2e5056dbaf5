// A host application as its developer writes one with the public headers alone: its window with its own
// navigation stack at the root, the kit started with the application's id against velkora-service over
// loopback HTTPS and the sidebar added beneath the host's views. The kit's screens are reached only to act
// on them as a person would (type, tap send, follow, save) and to see what is on screen; time runs on the
// test clock.
#pragma once

#include <string>
#include <vector>

#include "VelkoraKitScreens.h"
#include "shell/VelkoraGeneralFeatureViewController.h"
#include "sidebar/SidebarFixture.h"
#include "velkora/VelkoraFeatures.h"

namespace velkora::testing {

class JourneyTest : public SidebarFixture {
protected:
    void SetUp() override {
        SidebarFixture::SetUp();
        registerKitScreens();
    }
    void TearDown() override {
        if (HasFailure())
            for (const auto& line : capture_->lines())
                std::cerr << line << "\n";
        // What the screens start on the clock ends before the host lets its objects go.
        loop().advance(5);
        if (hostNav_) hostNav().popToRootViewController(false);
        hostSidebar_.reset();
        hostNav_.reset();
        if (hostWindow_) hostWindow_->impl()->window->setHidden(true);
        hostWindow_.reset();
        SidebarFixture::TearDown();
    }

    // Every row of the menu, so that every feature is on.
    static std::string everyFeature() {
        return configuration({{"feed", "Activity"},
                              {"inbox", "Inbox"},
                              {"blog", "Chat Rooms"},
                              {"invite", "Friends"},
                              {"radar", "Nearby"},
                              {"feedback", "Feedback"},
                              {"leaderboard", "Leaderboard"},
                              {"quiz", "Quiz"}});
    }

    // The host's window with its stack, the kit started (its completion waited for) and, unless told
    // otherwise, the sidebar added on the left.
    void startHost(bool withSidebar = true) {
        serve(everyFeature());
        ASSERT_NO_FATAL_FAILURE(start());
        makeHostWindow();
        if (withSidebar) {
            ASSERT_NO_FATAL_FAILURE(addSidebar());
        }
        loop().advance(1);
    }
    void makeHostWindow() {
        hostWindow_ = VelkoraWindow::create();
        hostNav_ = VelkoraNavigationController::create(VelkoraHostScreen::create("Home"));
        hostWindow_->setRootNavigationController(hostNav_);
        hostWindow_->makeKeyAndVisible();
        hostRootView_ = hostNav().view().get();
    }
    void addSidebar() {
        Velkora::addSidebar(hostWindow_, true);
        hostSidebar_ = std::dynamic_pointer_cast<VelkoraViewController>(agent().velkoraVC());
        ASSERT_TRUE(hostSidebar_) << "the sidebar was not added";
        hostSidebar_->view();
        loop().advance(1);
    }

    ui::NavigationController& hostNav() const { return *hostNav_->impl()->controller; }
    ui::Window& hostWindow() const { return *hostWindow_->impl()->window; }
    const std::shared_ptr<VelkoraNavigationController>& publicNav() const { return hostNav_; }
    const std::shared_ptr<VelkoraViewController>& sidebarVC() const { return hostSidebar_; }
    std::shared_ptr<ui::NavigationController> sidebarNav() const {
        return hostSidebar_ ? hostSidebar_->velkoraNavController() : nullptr;
    }

    // The controller on show at the very top: the last one presented over the host's stack, or the top
    // of the host's stack.
    std::shared_ptr<ui::ViewController> presentedTop() const {
        std::shared_ptr<ui::ViewController> top;
        for (auto p = hostNav().presentedViewController(); p; p = p->presentedViewController())
            top = p;
        return top;
    }
    static std::shared_ptr<ui::ViewController> topOf(const std::shared_ptr<ui::ViewController>& c) {
        if (auto nav = std::dynamic_pointer_cast<ui::NavigationController>(c)) return nav->topViewController();
        return c;
    }
    // How many controllers up the presentations over the host's stack.
    size_t presentationDepth() const {
        size_t n = 0;
        for (auto p = hostNav().presentedViewController(); p; p = p->presentedViewController())
            ++n;
        return n;
    }
    // The host's window as the host left it: its stack at the root, its view in the window, not slid
    // aside, the window key, nothing presented over it.
    void expectHostAsItWas(size_t depth) const {
        EXPECT_EQ(hostWindow().rootViewController().get(), &hostNav());
        EXPECT_EQ(hostNav().viewControllers().size(), depth);
        EXPECT_EQ(hostNav().viewControllers().front()->title(), "Home");
        EXPECT_EQ(hostNav().view().get(), hostRootView_);
        EXPECT_EQ(hostNav().view()->superview(), &hostWindow()) << "the host's view left its window";
        EXPECT_EQ(hostNav().view()->frame().origin.x, 0);
        EXPECT_TRUE(hostWindow_->isKey());
        EXPECT_EQ(presentationDepth(), 0u);
    }
    // The kit's controllers of one class on a stack: a screen shown twice counts twice.
    static size_t countOf(const ui::NavigationController& nav, const std::string& className) {
        size_t n = 0;
        for (const auto& c : nav.viewControllers())
            if (className == c->className()) ++n;
        return n;
    }
    // Shown, and the one on show: in the window, appeared, taking touches. The sidebar's stack lies in the
    // window beneath the host's views, outside any container that tells its screens they appeared.
    static void expectOnShow(const std::shared_ptr<ui::ViewController>& screen, bool appears = true) {
        ASSERT_TRUE(screen);
        auto view = screen->viewIfLoaded();
        ASSERT_TRUE(view) << screen->className();
        EXPECT_TRUE(view->window()) << screen->className() << " is not in a window";
        if (appears) {
            EXPECT_TRUE(screen->isVisible()) << screen->className() << " has not appeared";
        }
        EXPECT_FALSE(view->isHidden());
    }

    std::shared_ptr<VelkoraWindow> hostWindow_;
    std::shared_ptr<VelkoraNavigationController> hostNav_;
    std::shared_ptr<VelkoraViewController> hostSidebar_;
    ui::View* hostRootView_ = nullptr;
};

} // namespace velkora::testing
