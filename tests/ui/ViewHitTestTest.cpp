#include <gtest/gtest.h>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/UiNotifications.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

using namespace velkora::ui;

namespace {

class ViewHitTest : public ::testing::Test {
protected:
    void SetUp() override {
        main = Window::create({0, 0, 320, 480});
        content = View::create({0, 0, 320, 480});
        button = View::create({20, 20, 100, 40});
        overlay = View::create({0, 0, 320, 100});
        main->addSubview(content);
        content->addSubview(button);
        content->addSubview(overlay);  // above the button
        main->makeKeyAndVisible();

        alert = Window::create({0, 300, 320, 100});
        alert->setWindowLevel(WindowLevel::Alert);
        alertButton = View::create({10, 10, 50, 50});
        alert->addSubview(alertButton);
        alert->setHidden(false);
    }
    void TearDown() override { Application::instance().resetForTests(); }

    std::shared_ptr<Window> main, alert;
    ViewPtr content, button, overlay, alertButton;
};

TEST_F(ViewHitTest, TopmostWindowThenDeepestViewThatTakesTouches) {
    auto& app = Application::instance();
    Window* hitWindow = nullptr;
    // The overlay lies over the button.
    EXPECT_EQ(app.hitTest({30, 30}, &hitWindow), overlay.get());
    EXPECT_EQ(hitWindow, main.get());
    // Passed over when hidden, transparent or not interactive: the touch reaches the button.
    overlay->setHidden(true);
    EXPECT_EQ(app.hitTest({30, 30}), button.get());
    overlay->setHidden(false);
    overlay->setAlpha(0.0);
    EXPECT_EQ(app.hitTest({30, 30}), button.get());
    overlay->setAlpha(1);
    overlay->setUserInteractionEnabled(false);
    EXPECT_EQ(app.hitTest({30, 30}), button.get());
    // A non-interactive parent takes its subviews with it.
    content->setUserInteractionEnabled(false);
    EXPECT_EQ(app.hitTest({30, 30}), main.get());
    content->setUserInteractionEnabled(true);

    // The alert window is above the main one where it lies, and only there.
    EXPECT_EQ(app.hitTest({20, 320}, &hitWindow), alertButton.get());
    EXPECT_EQ(hitWindow, alert.get());
    EXPECT_EQ(app.hitTest({200, 320}), alert.get());
    EXPECT_EQ(app.hitTest({200, 250}), content.get());
    alert->setHidden(true);
    EXPECT_EQ(app.hitTest({20, 320}, &hitWindow), content.get());
    EXPECT_EQ(hitWindow, main.get());
    // Outside every window.
    EXPECT_EQ(app.hitTest({400, 10}), nullptr);
}

TEST_F(ViewHitTest, AFarEdgeIsOutsideAndSubviewsOutsideTheirParentAreNotReached) {
    auto& app = Application::instance();
    auto outside = View::create({100, 0, 30, 30});  // hangs out of the button
    button->addSubview(outside);
    EXPECT_EQ(app.hitTest({130, 30}), overlay.get());
    overlay->setHidden(true);
    // 130 is past the button's far edge (20 + 100): the subview there is not reached.
    EXPECT_EQ(app.hitTest({130, 30}), content.get());
    EXPECT_EQ(app.hitTest({119, 30}), button.get());
}

TEST_F(ViewHitTest, KeyWindowChangesPostTheNotificationAndHidingGivesTheKeyBack) {
    std::vector<std::pair<std::string, void*>> posted;
    setNotificationPoster([&](const std::string& name, const std::shared_ptr<void>& object, const velkora::foundation::Value&) {
        posted.emplace_back(name, object.get());
    });
    EXPECT_TRUE(main->isKeyWindow());
    alert->makeKeyAndVisible();
    EXPECT_TRUE(alert->isKeyWindow());
    EXPECT_EQ(Application::instance().keyWindow(), alert.get());
    ASSERT_EQ(posted.size(), 2u);
    EXPECT_EQ(posted[0].first, kWindowDidResignKeyNotification);
    EXPECT_EQ(posted[1].first, kWindowDidBecomeKeyNotification);
    EXPECT_EQ(posted[1].second, alert.get());
    posted.clear();
    alert->setHidden(true);
    EXPECT_TRUE(main->isKeyWindow());
    ASSERT_FALSE(posted.empty());
    EXPECT_EQ(posted[0].first, kWindowDidBecomeKeyNotification);
    EXPECT_EQ(posted[0].second, main.get());
    setNotificationPoster(nullptr);

    // Windows are listed back to front by level.
    alert->setHidden(false);
    auto windows = Application::instance().windows();
    ASSERT_EQ(windows.size(), 2u);
    EXPECT_EQ(windows[0], main);
    EXPECT_EQ(windows[1], alert);
}

TEST_F(ViewHitTest, AVisibleWindowIsKeptAliveUntilHidden) {
    std::weak_ptr<Window> weak;
    {
        auto w = Window::create({0, 0, 10, 10});
        w->setHidden(false);
        weak = w;
    }
    ASSERT_FALSE(weak.expired());
    weak.lock()->setHidden(true);
    EXPECT_TRUE(weak.expired());
}

TEST_F(ViewHitTest, SetNeedsLayoutInAWindowIsServicedByTheRunLoop) {
    struct Counting : View {
        using View::View;
        int layouts = 0;
        void layoutSubviews() override { ++layouts; }
    };
    auto v = std::make_shared<Counting>(Rect(0, 0, 10, 10));
    content->addSubview(v);
    main->layoutIfNeeded();
    int before = v->layouts;
    v->setNeedsLayout();
    velkora::foundation::RunLoop::main().runUntil([&] { return v->layouts > before; }, 5);
    EXPECT_EQ(v->layouts, before + 1);
}

}  // namespace
