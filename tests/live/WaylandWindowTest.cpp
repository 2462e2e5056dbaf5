// The live window on Wayland: a Wayland compositor (weston, shown in a virtual X display so that xdotool
// can be its mouse) and the window in this process. With nothing happening the run loop sleeps on the
// display's connection instead of waking every few milliseconds; a click the compositor sends wakes it
// at once and reaches the view under it.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "live/LiveProcesses.h"
#include "platform/foundation/FileIO.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/LiveWindow.h"
#include "platform/ui/TouchRouter.h"
#include "platform/ui/Window.h"

// GCC names AddressSanitizer with a macro, clang 14 only through __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define VELKORA_LEAKS_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELKORA_LEAKS_CHECKED 1
#endif
#endif
#ifdef VELKORA_LEAKS_CHECKED
#include <sanitizer/lsan_interface.h>
#endif

// Last, as in the window's own source: the window-system headers define macros that clash.
// clang-format off
#include <SDL2/SDL.h>
// clang-format on

namespace {

using namespace velkora::testing;
using namespace velkora::ui;
using velkora::foundation::RunLoop;

class TouchLog : public View {
public:
    using View::View;
    std::vector<std::string> log;
    void touchesBegan(const TouchSet&, Event*) override { log.push_back("began"); }
    void touchesEnded(const TouchSet&, Event*) override { log.push_back("ended"); }
};

// SDL's Wayland side (its window decorations, the keymap and GL libraries it loads and unloads) keeps
// what it allocates past SDL's own shutdown, in libraries already gone when the leak checker looks: what
// this thread allocates while the window is open is not counted.
void countLeaks(bool on) {
#ifdef VELKORA_LEAKS_CHECKED
    if (on)
        __lsan_enable();
    else
        __lsan_disable();
#else
    (void)on;
#endif
}

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

class WaylandWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string xvfb = inPath("Xvfb"), weston = inPath("weston");
        xdotool_ = inPath("xdotool");
        if (xvfb.empty() || weston.empty() || xdotool_.empty())
            GTEST_SKIP() << "needs Xvfb, weston and xdotool (scripts/install-deps.sh installs them)";
        scratch_ = velkora::foundation::createTemporaryDirectory("velkora-wayland-");
        ASSERT_FALSE(scratch_.empty());
        ::chmod(scratch_.c_str(), 0700);
        display_ = startXvfb(x_, xvfb, "640x700x24");
        ASSERT_FALSE(display_.empty()) << "Xvfb did not start";
        // The kiosk shell shows the one window full screen on an output of the window's size: a point
        // of the output is the same point of the window.
        const Rect s = Screen::main().bounds();
        ASSERT_TRUE(compositor_.start(
            {weston, "--backend=x11-backend.so", "--shell=kiosk-shell.so", "--socket=velkora-test", "--idle-time=0",
             "--width=" + std::to_string(int(s.width())), "--height=" + std::to_string(int(s.height()))},
            {"DISPLAY=" + display_, "XDG_RUNTIME_DIR=" + scratch_}, false));
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        const std::string socket = scratch_ + "/velkora-test";
        while (::access(socket.c_str(), F_OK) != 0 && Clock::now() < deadline)
            ::poll(nullptr, 0, 50); // weston makes its socket when it is ready for clients
        ASSERT_EQ(::access(socket.c_str(), F_OK), 0) << "weston did not start";
        if (const char* was = std::getenv("XDG_RUNTIME_DIR")) runtimeDir_ = was;
        environmentSet_ = true;
        setenv("XDG_RUNTIME_DIR", scratch_.c_str(), 1);
        setenv("WAYLAND_DISPLAY", "velkora-test", 1);
        setenv("SDL_VIDEODRIVER", "wayland", 1);

        window_ = Window::createFullScreen();
        view_ = std::make_shared<TouchLog>(window_->bounds());
        view_->setBackgroundColor(Color::rgba(0.2, 0.4, 0.6));
        window_->addSubview(view_);
        window_->makeKeyAndVisible();
    }
    void TearDown() override {
        live_.reset();
        if (leaksIgnored_) countLeaks(true);
        if (environmentSet_) {
            unsetenv("WAYLAND_DISPLAY");
            unsetenv("SDL_VIDEODRIVER");
            if (runtimeDir_)
                setenv("XDG_RUNTIME_DIR", runtimeDir_->c_str(), 1);
            else
                unsetenv("XDG_RUNTIME_DIR");
        }
        TouchRouter::instance().reset();
        if (window_) window_->setHidden(true);
        compositor_.stop();
        x_.stop();
        if (!scratch_.empty()) velkora::foundation::removeTree(scratch_);
    }
    // Lets the window settle: shown, configured, first frame on screen.
    void settle() {
        const auto start = Clock::now();
        while (seconds(start) < 1.0) {
            live_->drawIfNeeded();
            RunLoop::main().runOnce(0.05);
        }
    }
    int xdotool(std::vector<std::string> args) {
        args.insert(args.begin(), xdotool_);
        return runTool(args, {"DISPLAY=" + display_});
    }

    std::string xdotool_, scratch_, display_;
    std::optional<std::string> runtimeDir_; // as it was before the test
    bool environmentSet_ = false;
    Child x_, compositor_;
    std::shared_ptr<Window> window_;
    std::shared_ptr<TouchLog> view_;
    std::unique_ptr<LiveWindow> live_;
    bool leaksIgnored_ = false;
};

} // namespace

TEST_F(WaylandWindowTest, TheWaitSleepsOnTheConnectionAndAClickWakesItAtOnce) {
    std::string error;
    countLeaks(false);
    leaksIgnored_ = true;
    live_ = LiveWindow::open({"wayland", 1.0}, &error);
    ASSERT_TRUE(live_) << error;
    ASSERT_STREQ(SDL_GetCurrentVideoDriver(), "wayland");
    settle();

    // Idle for 0.6 s: the loop wakes for timers and other sources now and then, not every few
    // milliseconds for a display that has nothing to say.
    int wakes = 0;
    for (const auto start = Clock::now(); seconds(start) < 0.6; ++wakes)
        RunLoop::main().runOnce(0.6 - seconds(start));
    EXPECT_LE(wakes, 10);

    // A click on the compositor's output comes as Wayland events; the waiting loop wakes for them.
    ASSERT_EQ(xdotool({"mousemove", "160", "300", "click", "1"}), 0);
    const auto start = Clock::now();
    while (view_->log.size() < 2 && seconds(start) < 10)
        RunLoop::main().runOnce(10);
    EXPECT_EQ(view_->log, (std::vector<std::string>{"began", "ended"}));
    EXPECT_LT(seconds(start), 2.0);
}
