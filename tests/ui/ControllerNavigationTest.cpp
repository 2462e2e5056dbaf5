#include <gtest/gtest.h>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/UiNotifications.h"
#include "platform/ui/Window.h"

using namespace velkora::ui;
using velkora::foundation::RunLoop;
using velkora::foundation::Value;

namespace {

using Log = std::vector<std::string>;

class Recording : public ViewController {
public:
    Recording(std::string name, Log& log) : name_(std::move(name)), log_(log) {}
    void viewDidLoad() override { log_.push_back(name_ + ".load"); }
    void viewWillAppear(bool) override { log_.push_back(name_ + ".willAppear"); }
    void viewDidAppear(bool) override { log_.push_back(name_ + ".didAppear"); }
    void viewWillDisappear(bool) override {
        log_.push_back(name_ + ".willDisappear" + (navigationController() ? "(in nav)" : ""));
    }
    void viewDidDisappear(bool) override { log_.push_back(name_ + ".didDisappear"); }
    void didMoveToParentViewController(ViewController* parent) override {
        if (!parent) log_.push_back(name_ + ".removed");
    }

private:
    std::string name_;
    Log& log_;
};

class ControllerNavigation : public ::testing::Test {
protected:
    void SetUp() override {
        RunLoop::main().useTestClock(1000);
        a = std::make_shared<Recording>("A", log);
        b = std::make_shared<Recording>("B", log);
        c = std::make_shared<Recording>("C", log);
        nav = NavigationController::create(a);
        setNotificationPoster([this](const std::string& name, const std::shared_ptr<void>& object, const Value& info) {
            if (name != kNavigationControllerDidShowViewControllerNotification) return;
            EXPECT_EQ(object.get(), static_cast<void*>(nav.get()));
            auto next = info[kNavigationControllerNextVisibleViewController].asObject<ViewController>();
            shown.push_back(next.get());
        });
        window = Window::createFullScreen();
        window->setRootViewController(nav);
        window->makeKeyAndVisible();
    }
    void TearDown() override {
        setNotificationPoster(nullptr);
        Application::instance().resetForTests();
        RunLoop::main().reset();
    }

    Log log;
    std::vector<ViewController*> shown;
    std::shared_ptr<Recording> a, b, c;
    std::shared_ptr<NavigationController> nav;
    std::shared_ptr<Window> window;
};

TEST_F(ControllerNavigation, StackOfThreeCallsBackInOrderAndPopsReturnWhatLeft) {
    EXPECT_EQ(log, (Log{"A.load", "A.willAppear", "A.didAppear"}));
    log.clear();

    nav->pushViewController(b, false);
    EXPECT_EQ(log, (Log{"B.load", "A.willDisappear(in nav)", "B.willAppear", "A.didDisappear", "B.didAppear"}));
    log.clear();
    nav->pushViewController(c, false);
    log.clear();
    EXPECT_EQ(nav->viewControllers().size(), 3u);
    EXPECT_EQ(c->navigationController(), nav.get());

    auto popped = nav->popViewController(false);
    EXPECT_EQ(popped, c);
    // The leaving controller still knows its navigation controller while it disappears.
    EXPECT_EQ(log, (Log{"C.willDisappear(in nav)", "B.willAppear", "C.didDisappear", "B.didAppear", "C.removed"}));
    EXPECT_EQ(c->navigationController(), nullptr);
    log.clear();

    nav->pushViewController(c, false);
    log.clear();
    auto toRoot = nav->popToRootViewController(false);
    EXPECT_EQ(toRoot, (std::vector<ViewControllerPtr>{b, c}));
    // Only the top and the new top hear of it: B never appeared in between.
    EXPECT_EQ(log, (Log{"C.willDisappear(in nav)", "A.willAppear", "C.didDisappear", "A.didAppear", "B.removed", "C.removed"}));
    EXPECT_EQ(nav->viewControllers(), (std::vector<ViewControllerPtr>{a}));
    EXPECT_EQ(nav->topViewController()->view()->superview(), nav->view().get());
    EXPECT_EQ(b->view()->superview(), nullptr);

    // Nothing to pop: the root stays.
    EXPECT_EQ(nav->popViewController(false), nullptr);
    EXPECT_TRUE(nav->popToRootViewController(false).empty());
    EXPECT_EQ(shown, (std::vector<ViewController*>{a.get(), b.get(), c.get(), b.get(), c.get(), a.get()}));
}

TEST_F(ControllerNavigation, AnimatedPushEndsOnTheRunLoopClock) {
    log.clear();
    shown.clear();
    nav->pushViewController(b, true);
    EXPECT_EQ(log, (Log{"B.load", "A.willDisappear(in nav)", "B.willAppear"}));
    EXPECT_TRUE(shown.empty());
    RunLoop::main().advance(ViewController::kTransitionDuration);
    EXPECT_EQ(log, (Log{"B.load", "A.willDisappear(in nav)", "B.willAppear", "A.didDisappear", "B.didAppear"}));
    EXPECT_EQ(shown, (std::vector<ViewController*>{b.get()}));

    // A second push while one is under way ends the first at once.
    log.clear();
    nav->popViewController(true);
    nav->pushViewController(c, true);
    EXPECT_EQ(log, (Log{"B.willDisappear(in nav)", "A.willAppear", "B.didDisappear", "A.didAppear", "B.removed",
                        "C.load", "A.willDisappear(in nav)", "C.willAppear"}));
    RunLoop::main().advance(1);
    EXPECT_EQ(nav->topViewController(), c);
    EXPECT_TRUE(c->isVisible());
}

TEST_F(ControllerNavigation, PopToAControllerAndRefusedPushes) {
    nav->setViewControllers({a, b, c}, false);
    EXPECT_EQ(nav->topViewController(), c);
    EXPECT_TRUE(c->isVisible());
    EXPECT_FALSE(a->isVisible());
    auto popped = nav->popToViewController(b.get(), false);
    EXPECT_EQ(popped, (std::vector<ViewControllerPtr>{c}));
    auto stranger = std::make_shared<Recording>("X", log);
    EXPECT_TRUE(nav->popToViewController(stranger.get(), false).empty());
    nav->pushViewController(b, false);  // already there
    EXPECT_EQ(nav->viewControllers().size(), 2u);
    nav->pushViewController(NavigationController::create(), false);
    EXPECT_EQ(nav->viewControllers().size(), 2u);
}

TEST_F(ControllerNavigation, HiddenBarGivesTheWholeViewToTheTopController) {
    Rect bounds = nav->view()->bounds();
    EXPECT_EQ(a->view()->frame(), Rect(0, 44, bounds.width(), bounds.height() - 44));
    nav->setNavigationBarHidden(true);
    EXPECT_TRUE(nav->navigationBar()->isHidden());
    EXPECT_EQ(a->view()->frame(), bounds);
}

TEST_F(ControllerNavigation, ModalPresentationCoversThePresenterAndDismissRunsTheCompletion) {
    log.clear();
    auto modal = std::make_shared<Recording>("M", log);
    bool presented = false, dismissed = false;
    // Presented from the controller inside the navigation controller: the navigation controller presents.
    EXPECT_TRUE(a->presentViewController(modal, true, [&] { presented = true; }));
    EXPECT_EQ(modal->presentingViewController(), nav.get());
    EXPECT_EQ(nav->presentedViewController(), modal);
    EXPECT_TRUE(modal->isBeingPresented());
    EXPECT_FALSE(presented);
    RunLoop::main().advance(ViewController::kTransitionDuration);
    EXPECT_TRUE(presented);
    EXPECT_EQ(log, (Log{"M.load", "M.willAppear", "A.willDisappear(in nav)", "M.didAppear", "A.didDisappear"}));
    EXPECT_EQ(modal->view()->window(), window.get());

    // A second presentation is refused.
    auto other = std::make_shared<Recording>("O", log);
    EXPECT_FALSE(a->presentViewController(other, false));

    log.clear();
    modal->dismissViewController(false, [&] { dismissed = true; });
    EXPECT_TRUE(dismissed);
    EXPECT_EQ(log, (Log{"M.willDisappear", "A.willAppear", "M.didDisappear", "A.didAppear"}));
    EXPECT_EQ(nav->presentedViewController(), nullptr);
    EXPECT_EQ(modal->view()->superview(), nullptr);

    // From a controller in no window: refused.
    auto loose = std::make_shared<Recording>("L", log);
    EXPECT_FALSE(loose->presentViewController(other, false));
}

TEST_F(ControllerNavigation, FormSheetOnATabletLeavesThePresenterVisible) {
    Device::current().setUserInterfaceIdiom(UserInterfaceIdiom::Pad);
    Screen::main().setBounds({0, 0, 768, 1024});
    window->setFrame(Screen::main().bounds());
    auto sheet = std::make_shared<Recording>("S", log);
    sheet->setModalPresentationStyle(ModalPresentationStyle::FormSheet);
    log.clear();
    nav->presentViewController(sheet, false);
    EXPECT_EQ(log, (Log{"S.load", "S.willAppear", "S.didAppear"}));
    EXPECT_EQ(sheet->view()->frame(), Rect(114, 202, 540, 620));
    EXPECT_TRUE(a->isVisible());
}

TEST_F(ControllerNavigation, TabsShowOneControllerAndAskTheDelegate) {
    auto tabs = TabBarController::create();
    auto x = std::make_shared<Recording>("X", log);
    auto y = std::make_shared<Recording>("Y", log);
    x->setTabBarItem(TabBarItem::create("x", nullptr, 7));
    y->setTitle("y");
    auto w = Window::createFullScreen();
    w->setRootViewController(tabs);
    w->makeKeyAndVisible();
    log.clear();
    tabs->setViewControllers({x, y});
    EXPECT_EQ(tabs->selectedIndex(), 0u);
    EXPECT_EQ(tabs->tabBar()->items().size(), 2u);
    EXPECT_EQ(tabs->tabBar()->items()[0]->tag(), 7);
    EXPECT_EQ(tabs->tabBar()->items()[1]->title(), "y");
    EXPECT_EQ(x->tabBarController(), tabs.get());
    EXPECT_EQ(log, (Log{"X.load", "X.willAppear", "X.didAppear"}));

    struct Refusing : TabBarControllerDelegate {
        bool allow = false;
        int selections = 0;
        bool shouldSelectViewController(TabBarController&, ViewController&) override { return allow; }
        void didSelectViewController(TabBarController&, ViewController&) override { ++selections; }
    };
    auto delegate = std::make_shared<Refusing>();
    tabs->setDelegate(delegate);
    EXPECT_FALSE(tabs->tapTabAtIndex(1));
    EXPECT_EQ(tabs->selectedIndex(), 0u);
    delegate->allow = true;
    log.clear();
    EXPECT_TRUE(tabs->tapTabAtIndex(1));
    EXPECT_EQ(delegate->selections, 1);
    EXPECT_EQ(log, (Log{"Y.load", "X.willDisappear", "Y.willAppear", "X.didDisappear", "Y.didAppear"}));
    // Selecting from code does not ask the delegate.
    delegate->allow = false;
    tabs->setSelectedIndex(0);
    EXPECT_EQ(tabs->selectedViewController(), x);
    EXPECT_EQ(delegate->selections, 1);
}

TEST_F(ControllerNavigation, ViewLoadsLazilyThroughTheInterfaceLoader) {
    std::vector<std::string> asked;
    ViewController::setNibViewLoader([&](ViewController& owner, const std::string& name) -> ViewPtr {
        asked.push_back(name);
        if (name == "Missing") return nullptr;
        auto v = View::create({0, 0, 1, 2});
        v->setTag(int(owner.title().size()));
        return v;
    });
    auto vc = std::make_shared<ViewController>("Screen");
    vc->setTitle("abc");
    EXPECT_FALSE(vc->isViewLoaded());
    EXPECT_EQ(vc->view()->tag(), 3);
    EXPECT_EQ(vc->view()->viewController(), vc.get());
    auto missing = std::make_shared<ViewController>("Missing");
    EXPECT_EQ(missing->view()->bounds().size, Screen::main().bounds().size);
    EXPECT_EQ(asked, (std::vector<std::string>{"Screen", "Missing"}));
    ViewController::setNibViewLoader(nullptr);
}

}  // namespace
