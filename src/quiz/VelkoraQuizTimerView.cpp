#include "quiz/VelkoraQuizTimerView.h"

#include <cmath>
#include <numbers>

#include "platform/ui/GraphicsContext.h"

namespace velkora {

const ui::Color VelkoraQuizTimerView::kNormalColor = ui::Color::rgba(255 / 255.0, 255 / 255.0, 141 / 255.0, 1);
const std::array<ui::Color, 2> VelkoraQuizTimerView::kWarningColors = {
    ui::Color::rgba(177 / 255.0, 36 / 255.0, 36 / 255.0, 1), ui::Color::rgba(210 / 255.0, 80 / 255.0, 80 / 255.0, 1)};

VelkoraQuizTimerView::VelkoraQuizTimerView() : currentColor_(kNormalColor) {
    setBackgroundColor(ui::Color::clear());
    setOpaque(false);
}

VelkoraQuizTimerView::~VelkoraQuizTimerView() {
    invalidateTimer();
}

void VelkoraQuizTimerView::start() {
    stop();
    lastPausedDiff_ = 0;
    lastWarningSwitch_ = 0;
    lastWarningIndex_ = 0;
    warningSent_ = false;
    currentColor_ = kNormalColor;
    startTimer();
}

double VelkoraQuizTimerView::stop() {
    const double e = diffFromStart();
    invalidateTimer();
    paused_ = false;
    lastPausedDiff_ = e;
    if (auto d = delegate_.lock()) d->quizTimerDidStop();
    return e;
}

void VelkoraQuizTimerView::pause() {
    if (!timer_) return;
    lastPausedDiff_ = diffFromStart();
    invalidateTimer();
    paused_ = true;
}

void VelkoraQuizTimerView::continueTimer() {
    if (!paused_) return;
    paused_ = false;
    startTimer();
}

double VelkoraQuizTimerView::diffFromStart() const {
    if (!timer_) return lastPausedDiff_;
    return (now() - startTime_) + lastPausedDiff_;
}

void VelkoraQuizTimerView::startTimer() {
    startTime_ = now();
    std::weak_ptr<VelkoraQuizTimerView> weak = sharedAs<VelkoraQuizTimerView>();
    timer_ = foundation::Timer::scheduled(interval_, true, [weak](foundation::Timer&) {
        if (auto self = weak.lock()) self->updateTimer();
    });
}

void VelkoraQuizTimerView::invalidateTimer() {
    if (timer_) timer_->invalidate();
    timer_.reset();
}

void VelkoraQuizTimerView::updateTimer() {
    const double e = diffFromStart();
    if (e > nSeconds_) {
        invalidateTimer();
        lastPausedDiff_ = e;
        if (auto d = delegate_.lock()) d->quizTimerDidExpire();
        return;
    }
    // The warning and the blinking follow the elapsed time at each tick, so they come with the tick that
    // first finds fewer than the warning seconds left, whether or not a frame is drawn.
    currentColor_ = kNormalColor;
    if (nWarningSeconds_ > nSeconds_ - e) {
        if (!warningSent_) {
            warningSent_ = true;
            if (auto d = delegate_.lock()) d->quizTimerDidEnterWarningPeriod();
            if (!timer_) return; // the delegate stopped the countdown
        }
        if (e - lastWarningSwitch_ >= 0.5) {
            lastWarningIndex_ = lastWarningIndex_ == 0 ? 1 : 0;
            lastWarningSwitch_ = e;
        }
        if (lastWarningSwitch_ == 0) lastWarningSwitch_ = e;
        currentColor_ = kWarningColors[static_cast<size_t>(lastWarningIndex_)];
    }
    ++drawCount_;
    setNeedsDisplay();
}

void VelkoraQuizTimerView::drawRect(ui::GraphicsContext& context, const ui::Rect&) {
    // A paused pie keeps its frozen share on screen; an idle one shows nothing.
    if ((!timer_ && !paused_) || nSeconds_ <= 0) return;
    const double f = diffFromStart() / nSeconds_;
    if (f <= 0) return;
    const ui::Rect b = bounds();
    const ui::Point c{b.midX(), b.midY()};
    const double r = b.width() / 2;
    constexpr double kTop = -std::numbers::pi / 2;
    context.setFillColor(currentColor_);
    context.beginPath();
    context.moveTo(c);
    context.addArc(c, r, kTop, 2 * std::numbers::pi * std::min(f, 1.0) + kTop, true);
    context.closePath();
    context.fillPath();
}

} // namespace velkora
