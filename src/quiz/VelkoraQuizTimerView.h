// The circular countdown of the quiz play screen: the time spent on the shown question drawn as a pie
// growing clockwise from 12 o'clock, blinking in the last seconds, with events for the warning, the
// expiry and a stop. Paused time does not count; time away from the application does.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/View.h"

namespace velkora {

class VelkoraQuizTimerViewDelegate {
public:
    virtual ~VelkoraQuizTimerViewDelegate() = default;
    virtual void quizTimerDidExpire() = 0;
    virtual void quizTimerDidStop() = 0;
    virtual void quizTimerDidEnterWarningPeriod() = 0;
};

class VelkoraQuizTimerView : public ui::View {
public:
    VelkoraQuizTimerView();
    ~VelkoraQuizTimerView() override;
    const char* className() const override { return "VelkoraQuizTimerView"; }

    // The delegate is not held: the screen owns this view.
    void setDelegate(std::weak_ptr<VelkoraQuizTimerViewDelegate> d) { delegate_ = std::move(d); }
    std::shared_ptr<VelkoraQuizTimerViewDelegate> delegate() const { return delegate_.lock(); }
    int32_t nSeconds() const { return nSeconds_; }
    void setNSeconds(int32_t n) { nSeconds_ = n; }
    int32_t nWarningSeconds() const { return nWarningSeconds_; }
    float interval() const { return interval_; }

    // Stops whatever ran (telling the delegate), then counts afresh from 0.
    void start();
    // The elapsed seconds; the countdown is idle afterwards.
    double stop();
    // Only while running: banks the elapsed time.
    void pause();
    // Only while paused: runs on from the banked time. `continue` is a keyword here.
    void continueTimer();
    double diffFromStart() const;

    bool isRunning() const { return timer_ != nullptr; }
    bool isPaused() const { return paused_; }
    // The colour the pie is drawn in now (the normal one, or the warning colour showing).
    ui::Color currentColor() const { return currentColor_; }
    int32_t lastWarningIndex() const { return lastWarningIndex_; }
    // How many times the pie was drawn: no drawing happens while paused or idle.
    uint64_t drawCount() const { return drawCount_; }

    void drawRect(ui::GraphicsContext& context, const ui::Rect& rect) override;

    static const ui::Color kNormalColor;
    static const std::array<ui::Color, 2> kWarningColors;

private:
    void startTimer();
    void invalidateTimer();
    void updateTimer();
    foundation::Date now() const { return foundation::RunLoop::main().now(); }

    std::weak_ptr<VelkoraQuizTimerViewDelegate> delegate_;
    int32_t nSeconds_ = 0;
    int32_t nWarningSeconds_ = 5;
    float interval_ = 0.05f;
    foundation::Date startTime_ = 0;
    double lastWarningSwitch_ = 0;
    int32_t lastWarningIndex_ = 0;
    bool warningSent_ = false;
    double lastPausedDiff_ = 0;
    bool paused_ = false;
    std::shared_ptr<foundation::Timer> timer_;
    ui::Color currentColor_;
    uint64_t drawCount_ = 0;
};

} // namespace velkora
