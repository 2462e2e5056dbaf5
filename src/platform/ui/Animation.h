// Animations on the run loop's clock. Block animations set their final values at once, record which
// properties of which views they animate (as layer animations under the property's key path, so tests
// read them back), and complete when the clock passes their end, or with finished = false when removed
// first. Layer animations added by key (basic, group, repeating, reversing) end and leave their layer
// the same way. Nothing is interpolated: the kit only ever shows final states.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace velkora::ui {

class Layer;
class View;
struct LayerAnimation;

enum class AnimationCurve { EaseInOut = 0, EaseIn = 1, EaseOut = 2, Linear = 3 };

// The platform's animation option bits.
namespace AnimationOption {
inline constexpr unsigned LayoutSubviews = 1u << 0;
inline constexpr unsigned AllowUserInteraction = 1u << 1;
inline constexpr unsigned BeginFromCurrentState = 1u << 2;
inline constexpr unsigned Repeat = 1u << 3;
inline constexpr unsigned Autoreverse = 1u << 4;
inline constexpr unsigned OverrideInheritedDuration = 1u << 5;
inline constexpr unsigned OverrideInheritedCurve = 1u << 6;
inline constexpr unsigned CurveEaseInOut = 0u << 16;
inline constexpr unsigned CurveEaseIn = 1u << 16;
inline constexpr unsigned CurveEaseOut = 2u << 16;
inline constexpr unsigned CurveLinear = 3u << 16;
}  // namespace AnimationOption

// A duration the platform's default view animations last.
inline constexpr double kDefaultAnimationDuration = 0.2;

class Animator {
public:
    using Completion = std::function<void(bool finished)>;

    static void animate(double duration, std::function<void()> animations, Completion completion = {});
    static void animate(double duration, double delay, unsigned options, std::function<void()> animations,
                        Completion completion = {});
    static void performWithoutAnimation(const std::function<void()>& changes);

    // The older form: everything between begin and commit animates with the settings made in between.
    static void beginAnimations(const std::string& animationId = {});
    static void setAnimationDuration(double seconds);
    static void setAnimationDelay(double seconds);
    static void setAnimationCurve(AnimationCurve curve);
    static void setAnimationRepeatCount(double count);
    static void setAnimationRepeatAutoreverses(bool autoreverses);
    static void setAnimationBeginsFromCurrentState(bool fromCurrent);
    // Called with the animation's id and whether it finished (the did-stop selector of a delegate).
    static void setAnimationDidStop(std::function<void(const std::string& animationId, bool finished)> didStop);
    static void commitAnimations();

    static void setAnimationsEnabled(bool enabled);
    static bool areAnimationsEnabled();

    // What is in flight, for tests.
    struct Running {
        uint64_t id = 0;
        std::string animationId;
        double duration = 0;
        double delay = 0;
        unsigned options = 0;
        AnimationCurve curve = AnimationCurve::EaseInOut;
        double beginTime = 0;  // the clock when it was committed
        double endTime = 0;    // beginTime + delay + duration (infinite when repeating for ever)
        std::vector<std::pair<const View*, std::string>> properties;
    };
    static std::vector<Running> running();
    static size_t runningCount();
    static bool isAnimating(const View& view, const std::string& keyPath = {});
    // Drops everything in flight without calling completions (for tests that reuse a process).
    static void reset();

    // Hooks of the view and layer setters; not for general use.
    static void viewPropertyWillChange(View& view, const char* keyPath);
    static void layerAnimationAdded(Layer& layer, const std::string& key, const LayerAnimation& animation);
    static void layerAnimationRemoved(Layer& layer, const std::string& key);
};

// How long one run of a layer animation lasts, repeats and reversals included (infinite for ever).
double layerAnimationTotalDuration(const LayerAnimation& animation);

}  // namespace velkora::ui
