#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Animation.h"
#include "platform/ui/View.h"

using namespace velkora::ui;
using velkora::foundation::RunLoop;

namespace {

class AnimationTest : public ::testing::Test {
protected:
    void SetUp() override {
        RunLoop::main().useTestClock(1000);
        view = View::create({0, 0, 100, 100});
    }
    void TearDown() override {
        Animator::reset();
        RunLoop::main().reset();
    }
    std::shared_ptr<View> view;
};

}  // namespace

TEST_F(AnimationTest, HalfASecondSetsTheFrameAtOnceAndCompletesOnceWhenTheClockPassesItsEnd) {
    std::vector<bool> completions;
    View::animateWithDuration(0.5, [&] { view->setFrame({50, 60, 100, 100}); },
                              [&](bool finished) { completions.push_back(finished); });
    EXPECT_EQ(view->frame(), Rect(50, 60, 100, 100));  // final at once
    EXPECT_TRUE(Animator::isAnimating(*view, "position"));
    const LayerAnimation* a = view->layer().animationForKey("position");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->duration, 0.5);
    EXPECT_EQ(a->toValue.at(0).doubleOr(0), 100);
    ASSERT_EQ(Animator::running().size(), 1u);
    EXPECT_EQ(Animator::running()[0].duration, 0.5);

    RunLoop::main().advance(0.49);
    EXPECT_TRUE(completions.empty());
    RunLoop::main().advance(0.02);
    EXPECT_EQ(completions, (std::vector<bool>{true}));
    EXPECT_FALSE(Animator::isAnimating(*view));
    EXPECT_EQ(view->layer().animationForKey("position"), nullptr);
    RunLoop::main().advance(5);
    EXPECT_EQ(completions.size(), 1u);
}

TEST_F(AnimationTest, RemovingTheAnimationFirstCompletesWithNo) {
    std::vector<bool> completions;
    View::animateWithDuration(0.5, [&] { view->setAlpha(0); }, [&](bool f) { completions.push_back(f); });
    EXPECT_EQ(view->alpha(), 0);
    view->layer().removeAllAnimations();
    RunLoop::main().advance(0);
    EXPECT_EQ(completions, (std::vector<bool>{false}));
    RunLoop::main().advance(1);
    EXPECT_EQ(completions.size(), 1u);
    EXPECT_EQ(Animator::runningCount(), 0u);
}

TEST_F(AnimationTest, DelaysCurvesAndANewerAnimationOfTheSameProperty) {
    std::vector<std::string> events;
    View::animateWithDuration(0.3, 0.2, AnimationOption::CurveLinear, [&] { view->setCenter({10, 10}); },
                              [&](bool f) { events.push_back(std::string("first ") + (f ? "yes" : "no")); });
    EXPECT_EQ(view->layer().animationForKey("position")->timingFunction, "linear");
    EXPECT_EQ(Animator::running()[0].delay, 0.2);
    RunLoop::main().advance(0.1);
    // Taking the same property over ends the earlier animation unfinished.
    View::animateWithDuration(0.5, [&] { view->setCenter({20, 20}); },
                              [&](bool f) { events.push_back(std::string("second ") + (f ? "yes" : "no")); });
    RunLoop::main().advance(0);
    EXPECT_EQ(events, (std::vector<std::string>{"first no"}));
    RunLoop::main().advance(0.5);
    EXPECT_EQ(events, (std::vector<std::string>{"first no", "second yes"}));

    // A block that changes nothing completes on the next turn, finished.
    events.clear();
    View::animateWithDuration(0.5, [&] { view->setCenter({20, 20}); },
                              [&](bool f) { events.push_back(f ? "none yes" : "none no"); });
    EXPECT_TRUE(events.empty());
    RunLoop::main().advance(0);
    EXPECT_EQ(events, (std::vector<std::string>{"none yes"}));
}

TEST_F(AnimationTest, BeginAndCommitWithADidStopCallback) {
    std::vector<std::string> stops;
    Animator::beginAnimations("slide");
    Animator::setAnimationDuration(0.4);
    Animator::setAnimationCurve(AnimationCurve::EaseOut);
    Animator::setAnimationDidStop([&](const std::string& id, bool finished) { stops.push_back(id + (finished ? "+" : "-")); });
    view->setBackgroundColor(Color::rgba(1, 0, 0));
    view->setTransform(AffineTransform::rotation(0.5));
    Animator::commitAnimations();
    ASSERT_EQ(Animator::running().size(), 1u);
    EXPECT_EQ(Animator::running()[0].animationId, "slide");
    EXPECT_EQ(Animator::running()[0].properties.size(), 2u);
    EXPECT_TRUE(Animator::isAnimating(*view, "transform"));
    RunLoop::main().advance(0.4);
    EXPECT_EQ(stops, (std::vector<std::string>{"slide+"}));

    // Without animations the change is plain.
    Animator::performWithoutAnimation([&] {
        View::animateWithDuration(1, [&] { view->setAlpha(0.5); });
    });
    EXPECT_EQ(Animator::runningCount(), 0u);
}

TEST_F(AnimationTest, LayerAnimationsByKeyRepeatReverseAndEnd) {
    // A pulse: two scale animations in a group, reversing, for ever.
    LayerAnimation x, y, group;
    x.keyPath = "transform.scale.x";
    y.keyPath = "transform.scale.y";
    x.fromValue = y.fromValue = 1.0;
    x.toValue = y.toValue = 1.2;
    group.animations = {x, y};
    group.duration = 0.8;
    group.autoreverses = true;
    group.repeatCount = std::numeric_limits<double>::infinity();
    view->layer().addAnimation(group, "pulsingButton");
    RunLoop::main().advance(100);
    const LayerAnimation* pulse = view->layer().animationForKey("pulsingButton");
    ASSERT_NE(pulse, nullptr);
    EXPECT_EQ(pulse->animations.size(), 2u);
    EXPECT_TRUE(std::isinf(layerAnimationTotalDuration(*pulse)));
    view->layer().removeAnimationForKey("pulsingButton");
    EXPECT_EQ(view->layer().animationForKey("pulsingButton"), nullptr);

    // Twice there and back at 0.5 s: gone after 2 s, not before.
    LayerAnimation fade;
    fade.keyPath = "opacity";
    fade.duration = 0.5;
    fade.repeatCount = 2;
    fade.autoreverses = true;
    view->layer().addAnimation(fade, "fade");
    EXPECT_EQ(layerAnimationTotalDuration(fade), 2.0);
    RunLoop::main().advance(1.9);
    EXPECT_NE(view->layer().animationForKey("fade"), nullptr);
    RunLoop::main().advance(0.2);
    EXPECT_EQ(view->layer().animationForKey("fade"), nullptr);

    // A repeating view animation never finishes by itself.
    int done = 0;
    View::animateWithDuration(0.3, 0, AnimationOption::Repeat | AnimationOption::Autoreverse,
                              [&] { view->setAlpha(0.2); }, [&](bool) { ++done; });
    RunLoop::main().advance(60);
    EXPECT_EQ(done, 0);
    EXPECT_TRUE(Animator::isAnimating(*view, "opacity"));
    view->layer().removeAllAnimations();
    RunLoop::main().advance(0);
    EXPECT_EQ(done, 1);
}

TEST_F(AnimationTest, AViewDestroyedMidAnimationStillCompletes) {
    std::vector<bool> completions;
    View::animateWithDuration(0.5, [&] { view->setAlpha(0); }, [&](bool f) { completions.push_back(f); });
    view.reset();
    RunLoop::main().advance(1);
    EXPECT_EQ(completions, (std::vector<bool>{true}));
}
