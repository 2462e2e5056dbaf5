// The live window's mouse as a person uses it, through SDL's own event queue (its off-screen driver, so
// no display is needed): with Ctrl or Alt held a drag brings a second finger that mirrors the first about
// the screen's centre, and a view's pinch recogniser hears the two fingers' scale; without, one finger.
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/LiveWindow.h"
#include "platform/ui/PinchGestureRecognizer.h"
#include "platform/ui/TouchRouter.h"
#include "platform/ui/Window.h"

// Last, as in the window's own source: the window-system headers define macros that clash.
// clang-format off
#include <SDL2/SDL.h>
// clang-format on

using namespace velkora::ui;
using velkora::foundation::RunLoop;

namespace {

// A view that counts the fingers that come down on it.
class FingerCount : public View {
public:
    using View::View;
    int fingers = 0;
    void touchesBegan(const TouchSet& touches, Event*) override { fingers += int(touches.size()); }
};

class LiveWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        RunLoop::main().useTestClock(1000);
        window = Window::createFullScreen();
        content = std::make_shared<FingerCount>(window->bounds());
        window->addSubview(content);
        window->makeKeyAndVisible();
    }
    void TearDown() override {
        live.reset();
        SDL_SetModState(KMOD_NONE);
        TouchRouter::instance().reset();
        window->setHidden(true);
        RunLoop::main().reset();
    }
    bool open(double scale) {
        std::string error;
        live = LiveWindow::open({"test", scale}, &error);
        EXPECT_TRUE(live) << error;
        return live != nullptr;
    }
    // Mouse events at window pixels, handled as the run loop would.
    void button(Uint32 type, int x, int y) {
        SDL_Event e{};
        e.type = type;
        e.button.button = SDL_BUTTON_LEFT;
        e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
        e.button.x = x, e.button.y = y;
        SDL_PushEvent(&e);
        live->handleEvents();
    }
    void motion(int x, int y) {
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.state = SDL_BUTTON_LMASK;
        e.motion.x = x, e.motion.y = y;
        SDL_PushEvent(&e);
        live->handleEvents();
    }
    std::shared_ptr<Window> window;
    std::shared_ptr<FingerCount> content;
    std::unique_ptr<LiveWindow> live;
};

using S = GestureRecognizerState;

} // namespace

TEST_F(LiveWindowTest, ACtrlOrAltDragIsASecondFingerThatReachesAPinch) {
    struct Case {
        const char* what;
        SDL_Keymod held;
        double scale; // window pixels per point
        int fingers;
        std::vector<double> pinchScales; // what the pinch reports, from Began to Ended
    } cases[] = {
        {"Ctrl", KMOD_LCTRL, 1, 2, {1.5, 2, 2}},
        {"Alt, in a window at twice the size", KMOD_LALT, 2, 2, {1.5, 2, 2}},
        {"nothing held: one finger, no pinch", KMOD_NONE, 1, 1, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(open(c.scale));
        auto pinch = std::make_shared<PinchGestureRecognizer>();
        content->addGestureRecognizer(pinch);
        std::vector<double> scales;
        std::vector<S> states;
        pinch->addAction([&](GestureRecognizer& g) {
            scales.push_back(pinch->scale());
            states.push_back(g.state());
        });
        content->fingers = 0;
        // From 40 points right of the centre to 80: the mirrored finger goes as far left, so the two
        // fingers end twice as far apart as they came down.
        const Rect s = Screen::main().bounds();
        auto px = [&](double x) { return int((x - s.x()) * c.scale); };
        const int y = int((s.midY() - s.y()) * c.scale);
        SDL_SetModState(c.held);
        button(SDL_MOUSEBUTTONDOWN, px(s.midX() + 40), y);
        motion(px(s.midX() + 80), y);
        button(SDL_MOUSEBUTTONUP, px(s.midX() + 80), y);
        SDL_SetModState(KMOD_NONE);

        EXPECT_EQ(content->fingers, c.fingers);
        ASSERT_EQ(scales.size(), c.pinchScales.size());
        for (size_t i = 0; i < scales.size(); ++i)
            EXPECT_NEAR(scales[i], c.pinchScales[i], 1e-9) << i;
        if (!c.pinchScales.empty()) {
            EXPECT_EQ(states, (std::vector<S>{S::Began, S::Changed, S::Ended}));
        }
        content->removeGestureRecognizer(pinch.get());
        live.reset();
    }
}
