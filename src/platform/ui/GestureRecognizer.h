// Gesture recognisers: the state machine shared by all of them (targets, enabled flag, delegate questions,
// require-to-fail, cancelling touches in the view), and the tap, pan and swipe recognisers. The touch
// routing (TouchRouter) feeds them and settles which of them may recognise.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Geometry.h"
#include "platform/ui/Touch.h"

namespace velkora::foundation {
class Timer;
}

namespace velkora::ui {

class View;
class GestureRecognizer;

enum class GestureRecognizerState { Possible = 0, Began, Changed, Ended, Cancelled, Failed, Recognized = Ended };

const char* gestureRecognizerStateName(GestureRecognizerState state);

// Every question is optional; the defaults are the platform's answers.
class GestureRecognizerDelegate {
public:
    virtual ~GestureRecognizerDelegate() = default;
    virtual bool gestureRecognizerShouldBegin(GestureRecognizer& /*recognizer*/) { return true; }
    virtual bool gestureRecognizerShouldReceiveTouch(GestureRecognizer& /*recognizer*/, Touch& /*touch*/) { return true; }
    virtual bool gestureRecognizerShouldRecognizeSimultaneously(GestureRecognizer& /*recognizer*/,
                                                                GestureRecognizer& /*other*/) {
        return false;
    }
};

class GestureRecognizer : public std::enable_shared_from_this<GestureRecognizer> {
public:
    using Action = std::function<void(GestureRecognizer&)>;

    GestureRecognizer() = default;
    virtual ~GestureRecognizer();
    GestureRecognizer(const GestureRecognizer&) = delete;
    GestureRecognizer& operator=(const GestureRecognizer&) = delete;

    virtual const char* className() const { return "GestureRecognizer"; }

    // Targets: each action runs on every state change a client sees (began, changed, ended/recognised,
    // cancelled). A target that is gone is skipped.
    uint64_t addTarget(std::weak_ptr<void> target, Action action);
    uint64_t addAction(Action action);
    template <typename T>
    uint64_t addTarget(const std::shared_ptr<T>& target, void (T::*method)(GestureRecognizer&)) {
        std::weak_ptr<T> weak = target;
        return addTarget(std::weak_ptr<void>(target), [weak, method](GestureRecognizer& r) {
            if (auto t = weak.lock()) ((*t).*method)(r);
        });
    }
    void removeTarget(uint64_t token);
    void removeAllTargets() { targets_.clear(); }
    size_t targetCount() const { return targets_.size(); }

    GestureRecognizerState state() const { return state_; }
    // Turning a recogniser off while it tracks cancels (a continuous one that began) or fails it.
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    View* view() const { return view_; }
    std::shared_ptr<GestureRecognizerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<GestureRecognizerDelegate> delegate) { delegate_ = std::move(delegate); }

    bool cancelsTouchesInView() const { return cancelsTouchesInView_; }
    void setCancelsTouchesInView(bool c) { cancelsTouchesInView_ = c; }
    bool delaysTouchesBegan() const { return delaysTouchesBegan_; }
    void setDelaysTouchesBegan(bool d) { delaysTouchesBegan_ = d; }

    // This recogniser recognises only once `other` has failed; if `other` recognises, this one fails.
    void requireGestureRecognizerToFail(const std::shared_ptr<GestureRecognizer>& other);
    // True while it has decided but waits for a recogniser it requires to fail.
    bool isWaitingForFailure() const { return pendingState_ != GestureRecognizerState::Possible; }

    // The centroid of its touches (their last places once they ended), in the view's coordinates.
    Point locationInView(const View* view) const;
    // Fingers still down among its touches.
    size_t numberOfTouches() const;

    // For subclasses: what the touch routing hands over. The defaults do nothing.
    virtual void touchesBegan(const TouchSet& touches, Event& event);
    virtual void touchesMoved(const TouchSet& touches, Event& event);
    virtual void touchesEnded(const TouchSet& touches, Event& event);
    virtual void touchesCancelled(const TouchSet& touches, Event& event);
    // Back to Possible after a gesture; subclasses clear their tracking and call the base.
    virtual void reset();
    // Whether it is discrete (recognises in one step: tap, swipe) rather than continuous (pan).
    virtual bool isDiscrete() const { return true; }
    // True while it waits for more touches of the same gesture with no finger down (between taps).
    virtual bool awaitsMoreTouches() const { return false; }

protected:
    // Subclasses move the state; the routing decides whether a move to Began or Ended from Possible
    // takes effect (the delegate, require-to-fail and other recognisers may stop it).
    void setState(GestureRecognizerState state);
    // Decisions taken outside a touch (a timer) are settled through this.
    void settleFromTimer();
    const std::vector<std::shared_ptr<Touch>>& trackedTouches() const { return touches_; }
    Point windowCentroid() const;

private:
    friend class TouchRouter;
    friend class View;
    void sendActions();
    void addTouch(const std::shared_ptr<Touch>& touch);

    struct Target {
        uint64_t token;
        bool hasTarget;
        std::weak_ptr<void> target;
        Action action;
    };
    std::vector<Target> targets_;
    uint64_t nextToken_ = 1;
    GestureRecognizerState state_ = GestureRecognizerState::Possible;
    GestureRecognizerState pendingState_ = GestureRecognizerState::Possible;
    bool enabled_ = true;
    bool cancelsTouchesInView_ = true;
    bool delaysTouchesBegan_ = false;
    View* view_ = nullptr;
    std::weak_ptr<GestureRecognizerDelegate> delegate_;
    std::vector<std::weak_ptr<GestureRecognizer>> requiredToFail_;
    // The touches it receives in the current gesture (ended ones included until it resets).
    std::vector<std::shared_ptr<Touch>> touches_;
    bool pendingEnd_ = false;  // decided to begin and already ended while waiting
    Point lastCentroid_;
    std::weak_ptr<View> lastWindow_;
};

class TapGestureRecognizer : public GestureRecognizer {
public:
    const char* className() const override { return "TapGestureRecognizer"; }
    // A finger that moves farther than this from where it came down is no tap.
    static constexpr double kAllowableMovement = 10;
    // The longest wait between the taps of a multiple tap.
    static constexpr double kMaximumTapInterval = 0.35;

    int numberOfTapsRequired() const { return tapsRequired_; }
    void setNumberOfTapsRequired(int n) { tapsRequired_ = std::max(1, n); }
    int numberOfTouchesRequired() const { return touchesRequired_; }
    void setNumberOfTouchesRequired(int n) { touchesRequired_ = std::max(1, n); }

    void touchesBegan(const TouchSet& touches, Event& event) override;
    void touchesMoved(const TouchSet& touches, Event& event) override;
    void touchesEnded(const TouchSet& touches, Event& event) override;
    void touchesCancelled(const TouchSet& touches, Event& event) override;
    void reset() override;
    bool awaitsMoreTouches() const override { return timer_ != nullptr; }
    ~TapGestureRecognizer() override;

private:
    void armTimer();
    void disarmTimer();
    int tapsRequired_ = 1;
    int touchesRequired_ = 1;
    int tapsSeen_ = 0;
    int fingersDown_ = 0;
    int maxFingers_ = 0;
    Point downPoint_;  // in the window
    std::shared_ptr<foundation::Timer> timer_;
};

class PanGestureRecognizer : public GestureRecognizer {
public:
    const char* className() const override { return "PanGestureRecognizer"; }
    // The distance a finger travels before a pan begins.
    static constexpr double kSlop = 10;
    // Velocity is measured over the motion of this last stretch of time; a finger that rested longer
    // than this before lifting has no velocity.
    static constexpr double kVelocityWindow = 0.1;

    bool isDiscrete() const override { return false; }
    size_t minimumNumberOfTouches() const { return minTouches_; }
    void setMinimumNumberOfTouches(size_t n) { minTouches_ = std::max<size_t>(1, n); }
    size_t maximumNumberOfTouches() const { return maxTouches_; }
    void setMaximumNumberOfTouches(size_t n) { maxTouches_ = std::max<size_t>(1, n); }

    // From the point where the finger came down, in the view's coordinates (null: the window's).
    Point translationInView(const View* view) const;
    void setTranslation(Point translation, const View* view);
    // Points per second, in the view's coordinates.
    Point velocityInView(const View* view) const;

    void touchesBegan(const TouchSet& touches, Event& event) override;
    void touchesMoved(const TouchSet& touches, Event& event) override;
    void touchesEnded(const TouchSet& touches, Event& event) override;
    void touchesCancelled(const TouchSet& touches, Event& event) override;
    void reset() override;

private:
    void sample(double time);
    Point convertVector(Point v, const View* view) const;
    size_t minTouches_ = 1;
    size_t maxTouches_ = SIZE_MAX;
    Point origin_;  // window coordinates of the touch-down centroid, moved by setTranslation
    Point current_;
    struct Sample {
        double time;
        Point at;
    };
    std::vector<Sample> samples_;
    double lastTime_ = 0;
};

enum SwipeDirection : unsigned { SwipeRight = 1, SwipeLeft = 2, SwipeUp = 4, SwipeDown = 8 };

class SwipeGestureRecognizer : public GestureRecognizer {
public:
    const char* className() const override { return "SwipeGestureRecognizer"; }
    // A swipe covers this distance along its direction within kMaximumDuration, drifting sideways by at
    // most half of it.
    static constexpr double kMinimumDistance = 30;
    static constexpr double kMaximumDuration = 0.5;

    unsigned direction() const { return direction_; }
    void setDirection(unsigned d) { direction_ = d ? d : SwipeRight; }
    int numberOfTouchesRequired() const { return touchesRequired_; }
    void setNumberOfTouchesRequired(int n) { touchesRequired_ = std::max(1, n); }

    void touchesBegan(const TouchSet& touches, Event& event) override;
    void touchesMoved(const TouchSet& touches, Event& event) override;
    void touchesEnded(const TouchSet& touches, Event& event) override;
    void touchesCancelled(const TouchSet& touches, Event& event) override;
    void reset() override;

private:
    unsigned direction_ = SwipeRight;
    int touchesRequired_ = 1;
    Point start_;
    double startTime_ = 0;
};

}  // namespace velkora::ui
