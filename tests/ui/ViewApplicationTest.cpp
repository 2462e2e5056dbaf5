#include <gtest/gtest.h>

#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Application.h"
#include "platform/ui/UiNotifications.h"

using namespace velkora::ui;
using velkora::foundation::Log;
using velkora::foundation::Notification;
using velkora::foundation::NotificationObserver;

namespace {

class ViewApplication : public ::testing::Test {
protected:
    void TearDown() override { Application::instance().resetForTests(); }
};

TEST_F(ViewApplication, OrientationChangesPostTheNotificationWithTheOldValue) {
    auto& app = Application::instance();
    std::vector<int> old;
    NotificationObserver observer(kApplicationDidChangeStatusBarOrientationNotification, nullptr, [&](const Notification& n) {
        old.push_back(int(n.userInfo[kApplicationStatusBarOrientationUserInfoKey].int64Or(-1)));
    });
    app.setStatusBarOrientation(InterfaceOrientationLandscapeLeft);
    app.setStatusBarOrientation(InterfaceOrientationLandscapeLeft);  // no change, no notification
    Log::Capture capture;
    app.setStatusBarOrientation(0);
    app.setStatusBarOrientation(5);
    EXPECT_EQ(capture.count("Velkora (W) - Ignoring status bar orientation"), 2u);
    app.setStatusBarOrientation(InterfaceOrientationPortraitUpsideDown);
    EXPECT_EQ(old, (std::vector<int>{1, 4}));
    EXPECT_EQ(app.statusBarOrientation(), 2);

    // The screen stays in its fixed portrait coordinates; the bar moves to the user's top edge.
    Screen::main().setBounds({0, 0, 320, 480});
    struct Case {
        int orientation;
        Rect bar;
        Rect applicationFrame;
    } cases[] = {
        {1, {0, 0, 320, 20}, {0, 20, 320, 460}},
        {2, {0, 460, 320, 20}, {0, 0, 320, 460}},
        {3, {300, 0, 20, 480}, {0, 0, 300, 480}},
        {4, {0, 0, 20, 480}, {20, 0, 300, 480}},
    };
    for (auto& c : cases) {
        app.setStatusBarOrientation(c.orientation);
        EXPECT_EQ(app.statusBarFrame(), c.bar) << c.orientation;
        EXPECT_EQ(Screen::main().applicationFrame(), c.applicationFrame) << c.orientation;
        EXPECT_EQ(Screen::main().bounds(), Rect(0, 0, 320, 480));
    }
    EXPECT_TRUE(isLandscapeOrientation(0));
    EXPECT_TRUE(isPortraitOrientation(2));
}

TEST_F(ViewApplication, VersionsCompareNumberByNumber) {
    struct Case {
        const char* a;
        const char* b;
        int expected;
    } cases[] = {
        {"10.0", "7.0", 1}, {"7", "7.0", 0}, {"6.1.3", "7.0", -1}, {"7.0.1", "7.0", 1}, {"", "0", 0}, {"7.0b2", "7.0", 1},
    };
    for (auto& c : cases) EXPECT_EQ(Device::compareVersions(c.a, c.b), c.expected) << c.a << " vs " << c.b;
    Device::current().setSystemVersion("6.1");
    EXPECT_LT(Device::current().compareSystemVersion("7.0"), 0);
}

TEST_F(ViewApplication, IdiomURLsAndBadge) {
    auto& device = Device::current();
    EXPECT_TRUE(device.answersUserInterfaceIdiom());
    EXPECT_FALSE(device.isPad());
    device.setUserInterfaceIdiom(UserInterfaceIdiom::Pad);
    EXPECT_TRUE(device.isPad());
    device.setUserInterfaceIdiom(std::nullopt);
    EXPECT_FALSE(device.answersUserInterfaceIdiom());
    EXPECT_FALSE(device.isPad());

    auto& app = Application::instance();
    EXPECT_TRUE(app.openURL("https://example.org/a"));
    EXPECT_TRUE(app.openURL("itms-apps://itunes.example/app/id1"));
    Log::Capture capture;
    EXPECT_FALSE(app.openURL("no scheme here"));
    EXPECT_EQ(app.openedURLs(), (std::vector<std::string>{"https://example.org/a", "itms-apps://itunes.example/app/id1"}));
    EXPECT_TRUE(app.canOpenURL("HTTP://x"));
    EXPECT_FALSE(app.canOpenURL("fb://profile"));
    app.setCanOpenScheme("fb", true);
    EXPECT_TRUE(app.canOpenURL("fb://profile"));
    app.setApplicationIconBadgeNumber(7);
    EXPECT_EQ(app.applicationIconBadgeNumber(), 7);
}

}  // namespace
