#include <gtest/gtest.h>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Button.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/TouchRouter.h"
#include "platform/ui/Window.h"

using namespace velkora::ui;
using velkora::foundation::RunLoop;

namespace {

// A view that keeps a log of the touch methods it receives.
class TouchLogView : public View {
public:
    using View::View;
    std::vector<std::string> log;
    void touchesBegan(const TouchSet&, Event*) override { log.push_back("began"); }
    void touchesMoved(const TouchSet&, Event*) override { log.push_back("moved"); }
    void touchesEnded(const TouchSet&, Event*) override { log.push_back("ended"); }
    void touchesCancelled(const TouchSet&, Event*) override { log.push_back("cancelled"); }
};

struct Delegate : GestureRecognizerDelegate {
    bool receive = true, begin = true, together = false;
    bool gestureRecognizerShouldBegin(GestureRecognizer&) override { return begin; }
    bool gestureRecognizerShouldReceiveTouch(GestureRecognizer&, Touch&) override { return receive; }
    bool gestureRecognizerShouldRecognizeSimultaneously(GestureRecognizer&, GestureRecognizer&) override {
        return together;
    }
};

class GestureTest : public ::testing::Test {
protected:
    void SetUp() override {
        RunLoop::main().useTestClock(1000);
        window = Window::create({0, 0, 320, 480});
        content = std::make_shared<TouchLogView>(Rect(0, 0, 320, 480));
        window->addSubview(content);
        window->makeKeyAndVisible();
        driver = std::make_unique<TouchDriver>(window);
    }
    void TearDown() override {
        TouchRouter::instance().reset();
        window->setHidden(true);
        RunLoop::main().reset();
    }
    // Records every state a recogniser reports to its targets.
    std::vector<GestureRecognizerState>& watch(GestureRecognizer& r) {
        auto log = std::make_shared<std::vector<GestureRecognizerState>>();
        logs.push_back(log);
        r.addAction([log](GestureRecognizer& g) { log->push_back(g.state()); });
        return *log;
    }
    std::shared_ptr<Window> window;
    std::shared_ptr<TouchLogView> content;
    std::unique_ptr<TouchDriver> driver;
    std::vector<std::shared_ptr<std::vector<GestureRecognizerState>>> logs;
};

using S = GestureRecognizerState;

}  // namespace

TEST_F(GestureTest, PanReportsTranslationAndVelocityAtRestAndMoving) {
    auto pan = std::make_shared<PanGestureRecognizer>();
    window->addGestureRecognizer(pan);
    Point translation, velocity;
    auto& states = watch(*pan);
    pan->addAction([&](GestureRecognizer&) {
        if (pan->state() == S::Ended) {
            translation = pan->translationInView(content.get());
            velocity = pan->velocityInView(content.get());
        }
    });

    // 100 points in 0.2 s, then the finger rests before it lifts.
    driver->drag({50, 100}, {150, 100}, 10, 0.2, false);
    driver->wait(0.3);
    driver->up();
    EXPECT_EQ(translation, (Point{100, 0}));
    EXPECT_EQ(velocity, (Point{0, 0}));
    ASSERT_GE(states.size(), 3u);
    EXPECT_EQ(states.front(), S::Began);
    EXPECT_EQ(states[1], S::Changed);
    EXPECT_EQ(states.back(), S::Ended);
    EXPECT_EQ(pan->state(), S::Possible);  // reset for the next gesture

    // The same 100 points at 500 points a second, lifted while moving.
    driver->drag({50, 100}, {150, 100}, 10, 0.2);
    EXPECT_EQ(translation, (Point{100, 0}));
    EXPECT_NEAR(velocity.x, 500, 1e-6);
    EXPECT_NEAR(velocity.y, 0, 1e-6);
    // The view under the finger saw the pan take the touch.
    EXPECT_EQ(content->log.back(), "cancelled");
}

TEST_F(GestureTest, PanWaitsForTheSlopAndTranslatesFromTheTouchDown) {
    auto pan = std::make_shared<PanGestureRecognizer>();
    content->addGestureRecognizer(pan);
    driver->down({100, 100});
    driver->move({108, 104});  // under 10 points from the start
    EXPECT_EQ(pan->state(), S::Possible);
    driver->move({111, 100});
    EXPECT_EQ(pan->state(), S::Began);
    EXPECT_EQ(pan->translationInView(nullptr), (Point{11, 0}));
    pan->setTranslation({0, 0}, nullptr);
    driver->move({121, 110});
    EXPECT_EQ(pan->state(), S::Changed);
    EXPECT_EQ(pan->translationInView(nullptr), (Point{10, 10}));
    EXPECT_EQ(pan->locationInView(content.get()), (Point{121, 110}));
    driver->up();
}

TEST_F(GestureTest, TapFailsOnceTheFingerMovesMoreThanTenPoints) {
    struct Case {
        double moved;
        bool recognised;
    };
    for (auto c : {Case{0, true}, Case{10, true}, Case{11, false}}) {
        auto tap = std::make_shared<TapGestureRecognizer>();
        content->addGestureRecognizer(tap);
        int recognised = 0;
        tap->addAction([&](GestureRecognizer& g) { recognised += g.state() == S::Ended; });
        content->log.clear();
        driver->down({100, 100});
        driver->move({100 + c.moved, 100});
        driver->up({100 + c.moved, 100});
        EXPECT_EQ(recognised, c.recognised ? 1 : 0) << c.moved;
        // A recognised tap takes the touch from the view; a failed one leaves it the whole touch.
        EXPECT_EQ(content->log.back(), c.recognised ? "cancelled" : "ended") << c.moved;
        content->removeGestureRecognizer(tap.get());
    }
}

TEST_F(GestureTest, ARecogniserThatRequiresAnotherToFailWaitsForIt) {
    auto tap = std::make_shared<TapGestureRecognizer>();
    auto pan = std::make_shared<PanGestureRecognizer>();
    content->addGestureRecognizer(tap);
    window->addGestureRecognizer(pan);
    pan->requireGestureRecognizerToFail(tap);
    auto& panStates = watch(*pan);
    auto& tapStates = watch(*tap);

    // A tap: the tap recognises, so the pan never begins.
    driver->tap({100, 100});
    EXPECT_EQ(tapStates, (std::vector<S>{S::Ended}));
    EXPECT_TRUE(panStates.empty());

    // A drag: the tap fails after 10 points and the pan begins on the same move.
    driver->drag({100, 100}, {160, 100}, 6, 0.3);
    ASSERT_FALSE(panStates.empty());
    EXPECT_EQ(panStates.front(), S::Began);
    EXPECT_EQ(panStates.back(), S::Ended);
    EXPECT_EQ(tapStates.size(), 1u);

    // A single tap that requires a double tap to fail waits out the double tap's interval.
    content->removeGestureRecognizer(tap.get());
    auto single = std::make_shared<TapGestureRecognizer>();
    auto twice = std::make_shared<TapGestureRecognizer>();
    twice->setNumberOfTapsRequired(2);
    single->requireGestureRecognizerToFail(twice);
    content->addGestureRecognizer(single);
    content->addGestureRecognizer(twice);
    auto& singleStates = watch(*single);
    auto& twiceStates = watch(*twice);
    driver->tap({50, 50});
    EXPECT_TRUE(singleStates.empty());
    EXPECT_TRUE(single->isWaitingForFailure());
    driver->wait(TapGestureRecognizer::kMaximumTapInterval + 0.01);
    EXPECT_EQ(singleStates, (std::vector<S>{S::Ended}));
    EXPECT_TRUE(twiceStates.empty());

    driver->tap({50, 50});
    driver->wait(0.1);
    driver->tap({50, 50});
    EXPECT_EQ(twiceStates, (std::vector<S>{S::Ended}));
    driver->wait(1);
    EXPECT_EQ(singleStates.size(), 1u);  // not again
}

TEST_F(GestureTest, DelegateQuestionsTargetsAndTheEnabledFlag) {
    auto pan = std::make_shared<PanGestureRecognizer>();
    auto inner = std::make_shared<PanGestureRecognizer>();
    auto delegate = std::make_shared<Delegate>();
    window->addGestureRecognizer(pan);
    content->addGestureRecognizer(inner);
    pan->setDelegate(delegate);
    auto& outerStates = watch(*pan);
    auto& innerStates = watch(*inner);

    // Only one of two pans recognises, the nearest to the finger first ...
    driver->drag({10, 10}, {60, 10}, 5, 0.1);
    EXPECT_FALSE(innerStates.empty());
    EXPECT_TRUE(outerStates.empty());
    // ... unless the delegate lets them recognise together.
    delegate->together = true;
    innerStates.clear();
    driver->drag({10, 10}, {60, 10}, 5, 0.1);
    EXPECT_FALSE(innerStates.empty());
    EXPECT_FALSE(outerStates.empty());

    // Refusing the touch or the beginning keeps it out.
    outerStates.clear();
    delegate->receive = false;
    driver->drag({10, 10}, {60, 10}, 5, 0.1);
    EXPECT_TRUE(outerStates.empty());
    delegate->receive = true;
    delegate->begin = false;
    content->removeGestureRecognizer(inner.get());
    driver->drag({10, 10}, {60, 10}, 5, 0.1);
    EXPECT_TRUE(outerStates.empty());
    delegate->begin = true;

    // Several targets; a removed one and one whose owner is gone hear nothing.
    int a = 0, b = 0, c = 0;
    auto owner = std::make_shared<int>(0);
    pan->addAction([&](GestureRecognizer&) { ++a; });
    uint64_t tb = pan->addAction([&](GestureRecognizer&) { ++b; });
    pan->addTarget(std::weak_ptr<void>(owner), [&](GestureRecognizer&) { ++c; });
    pan->removeTarget(tb);
    owner.reset();
    driver->drag({10, 10}, {60, 10}, 5, 0.1);
    EXPECT_GT(a, 0);
    EXPECT_EQ(b, 0);
    EXPECT_EQ(c, 0);

    // Turning it off in the middle cancels it; while off it ignores fingers.
    outerStates.clear();
    driver->drag({10, 10}, {60, 10}, 5, 0.1, false);
    pan->setEnabled(false);
    EXPECT_EQ(outerStates.back(), S::Cancelled);
    driver->up();
    outerStates.clear();
    driver->drag({10, 10}, {60, 10}, 5, 0.1);
    EXPECT_TRUE(outerStates.empty());

    // Switched off while idle and on again, it recognises as before.
    pan->setEnabled(true);
    pan->setEnabled(false);
    pan->setEnabled(true);
    driver->drag({10, 10}, {60, 10}, 5, 0.1);
    ASSERT_FALSE(outerStates.empty());
    EXPECT_EQ(outerStates.front(), S::Began);
    EXPECT_EQ(outerStates.back(), S::Ended);
}

TEST_F(GestureTest, RoutingReachesViewsAndControls) {
    auto button = std::make_shared<Button>(Rect(100, 100, 80, 40));
    content->addSubview(button);
    std::vector<std::string> events;
    button->addAction([&](Control*) { events.push_back("down"); }, ControlEventTouchDown);
    button->addAction([&](Control*) { events.push_back("upInside"); }, ControlEventTouchUpInside);
    button->addAction([&](Control*) { events.push_back("upOutside"); }, ControlEventTouchUpOutside);
    // A tap recogniser of an ancestor does not take a tap from the button.
    auto tap = std::make_shared<TapGestureRecognizer>();
    content->addGestureRecognizer(tap);
    auto& tapStates = watch(*tap);

    driver->down({120, 110});
    EXPECT_TRUE(button->isHighlighted());
    driver->up({120, 110});
    EXPECT_FALSE(button->isHighlighted());
    EXPECT_EQ(events, (std::vector<std::string>{"down", "upInside"}));
    EXPECT_TRUE(tapStates.empty());

    // Released far away: up outside.
    events.clear();
    content->removeGestureRecognizer(tap.get());
    driver->drag({120, 110}, {300, 400}, 3, 0.1);
    EXPECT_EQ(events.back(), "upOutside");

    // Elsewhere the view's own touch methods run.
    content->log.clear();
    driver->drag({10, 300}, {20, 300}, 2, 0.1);
    EXPECT_EQ(content->log, (std::vector<std::string>{"began", "moved", "moved", "ended"}));

    // A view that takes no touches passes them to what lies beneath; nothing at all ignores them.
    content->setUserInteractionEnabled(false);
    content->log.clear();
    driver->tap({10, 300});
    EXPECT_TRUE(content->log.empty());
}

TEST_F(GestureTest, SwipeRecognisesAQuickStrokeInItsDirection) {
    auto swipe = std::make_shared<SwipeGestureRecognizer>();
    swipe->setDirection(SwipeLeft | SwipeRight);
    content->addGestureRecognizer(swipe);
    auto& states = watch(*swipe);
    driver->drag({200, 200}, {120, 205}, 4, 0.1);
    EXPECT_EQ(states, (std::vector<S>{S::Ended}));
    states.clear();
    driver->drag({100, 100}, {100, 200}, 4, 0.1);  // downwards: not asked for
    driver->drag({100, 100}, {200, 100}, 4, 2.0);  // too slow
    EXPECT_TRUE(states.empty());
}
