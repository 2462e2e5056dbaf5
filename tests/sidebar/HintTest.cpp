// The first-run hint over installations of the sidebar: the finger, the welcome popup and the shake, as
// the configuration asks, and the record that it was shown.
#include <gtest/gtest.h>

#include "SidebarFixture.h"
#include "shell/VelkoraWelcomeFingerImageView.h"
#include "shell/WidgetSnapshot.h"

namespace velkora::testing {
namespace {

class HintTest : public SidebarFixture {
protected:
    // The hint as the service's configuration asks for it.
    void configure(int mode, int type, float delay = 0, float duration = 5, bool right = false) {
        serve({}, {{"welcomePopupMode", mode},
                   {"welcomePopupType", type},
                   {"welcomePopupDelay", delay},
                   {"welcomePopupDuration", duration},
                   {"opensRight", right}});
    }
    std::shared_ptr<VelkoraWelcomeFingerImageView> finger() const {
        for (auto& v : window->subviews())
            if (auto f = std::dynamic_pointer_cast<VelkoraWelcomeFingerImageView>(v)) return f;
        return nullptr;
    }
    // The host's next run: the kit starts again from the record its file kept, and the sidebar is added.
    void reinstall() {
        restart();
        install(true);
    }
};

TEST_F(HintTest, ModeZeroNeverShowsOrRecords) {
    configure(0, 0);
    install();
    EXPECT_FALSE(finger());
    EXPECT_FALSE(record().welcomePopupWasDisplayed());
}

TEST_F(HintTest, ModeOneShowsTheFingerOnceOverInstallations) {
    configure(1, 0, 0, 5);
    install(true);
    auto shown = finger();
    ASSERT_TRUE(shown);
    // A left-side sidebar opens with a swipe to the right.
    EXPECT_FALSE(shown->swipeRightImageView()->isHidden());
    EXPECT_TRUE(shown->swipeLeftImageView()->isHidden());
    EXPECT_TRUE(record().welcomePopupWasDisplayed());
    expectMatchesReference(screenshot(), "hint_finger_left");
    reinstall();
    EXPECT_FALSE(finger());
}

TEST_F(HintTest, ModeTwoShowsTheHintAtEveryLoad) {
    configure(2, 0, 0, 5);
    install(false);
    auto shown = finger();
    ASSERT_TRUE(shown);
    EXPECT_FALSE(shown->swipeLeftImageView()->isHidden());
    EXPECT_TRUE(shown->swipeRightImageView()->isHidden());
    reinstall();
    EXPECT_TRUE(finger());
}

TEST_F(HintTest, TheFingerGoesByTapPanOrTime) {
    configure(2, 0, 0, 5);
    install();
    ASSERT_TRUE(finger());
    ui::TouchDriver(window).tap({160, 240});
    EXPECT_FALSE(finger());

    reinstall();
    ASSERT_TRUE(finger());
    ui::TouchDriver(window).drag({10, 300}, {120, 300}, 6, 0.2);
    EXPECT_FALSE(finger());

    reinstall();
    std::weak_ptr<VelkoraWelcomeFingerImageView> weak = finger();
    ASSERT_FALSE(weak.expired());
    loop().advance(4); // five seconds from its start, counting the second of installing
    EXPECT_FALSE(finger());
    EXPECT_TRUE(weak.expired());
    loop().advance(10);
}

TEST_F(HintTest, ThePopupSaysWhichSideToSwipeFromAndGoesAfterItsTime) {
    struct Case {
        bool right;
        const char* text;
    };
    for (auto c : {Case{false, "Trailmix has a menu of its own: swipe from the left edge"},
                   Case{true, "Trailmix has a menu of its own: swipe from the right edge"}}) {
        SCOPED_TRACE(c.right);
        configure(2, 1, 0, 3, c.right);
        install(!c.right);
        auto shown = popup();
        ASSERT_TRUE(shown);
        EXPECT_EQ(shown->titleLabel()->text(), "Welcome!");
        EXPECT_EQ(shown->messageLable()->text().rfind(c.text, 0), 0u) << shown->messageLable()->text();
        if (!c.right) expectMatchesReference(screenshot(), "hint_popup");
        loop().advance(3);
        EXPECT_FALSE(popup());
        uninstall();
    }
}

TEST_F(HintTest, TheShakeSwingsTowardsTheSidebarAndADelayWaits) {
    configure(2, 2, 2, 1.0);
    install(true);
    // The delay runs from the load; a second of installing went by.
    EXPECT_DOUBLE_EQ(hostOffset(), 0);
    loop().advance(1);
    EXPECT_DOUBLE_EQ(hostOffset(), 15);
    loop().advance(0.3);
    EXPECT_DOUBLE_EQ(hostOffset(), 0);
    loop().advance(0.3);
    EXPECT_DOUBLE_EQ(hostOffset(), 0);
    EXPECT_EQ(ui::Animator::runningCount(), 0u);
}

TEST_F(HintTest, TheHintNeverOutlivesTheSidebarItPointsAt) {
    // A delayed hint whose sidebar has left the screen meanwhile shows nothing.
    configure(2, 1, 2, 30);
    install();
    window->setHidden(true);
    loop().advance(2);
    EXPECT_FALSE(popup());
    uninstall();

    // A popup still up when the kit closes goes with it, though its own time has not run out.
    configure(2, 1, 0, 30);
    install();
    ASSERT_TRUE(popup());
    std::weak_ptr<VelkoraViewController> gone = sidebar;
    uninstall();
    ASSERT_TRUE(gone.expired()) << "the closed sidebar is kept alive";
    EXPECT_FALSE(popup());
    loop().advance(30);
    EXPECT_FALSE(popup());
}

TEST_F(HintTest, AnUnknownTypeShowsNothingAndSavesNothing) {
    configure(1, 7);
    install();
    EXPECT_FALSE(finger());
    EXPECT_FALSE(popup());
    EXPECT_TRUE(record().welcomePopupWasDisplayed());
}

} // namespace
} // namespace velkora::testing
