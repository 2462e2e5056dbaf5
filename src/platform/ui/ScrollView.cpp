#include "platform/ui/ScrollView.h"

#include <algorithm>
#include <cmath>

namespace velkora::ui {

ScrollView::ScrollView(const Rect& frame) : View(frame) { setClipsToBounds(true); }

ScrollView::~ScrollView() {
    if (animationTimer_) animationTimer_->invalidate();
}

void ScrollView::setContentSize(Size size) {
    if (size == contentSize_) return;
    contentSize_ = size;
    setNeedsLayout();
}

void ScrollView::setContentInset(EdgeInsets insets) {
    contentInset_ = insets;
    setNeedsLayout();
}

Point ScrollView::minContentOffset() const { return {-contentInset_.left, -contentInset_.top}; }

Point ScrollView::maxContentOffset() const {
    Point min = minContentOffset();
    return {std::max(min.x, contentSize_.width + contentInset_.right - bounds().width()),
            std::max(min.y, contentSize_.height + contentInset_.bottom - bounds().height())};
}

Point ScrollView::clampedOffset(Point offset) const {
    Point min = minContentOffset(), max = maxContentOffset();
    return {std::clamp(offset.x, min.x, max.x), std::clamp(offset.y, min.y, max.y)};
}

void ScrollView::applyOffset(Point offset) {
    if (offset == contentOffset()) return;
    auto self = sharedView();
    Rect b = bounds();
    b.origin = offset;
    setBounds(b);
    contentOffsetDidChange();
    if (auto d = scrollDelegate()) d->scrollViewDidScroll(*this);
}

void ScrollView::setContentOffset(Point offset, bool animated) {
    if (!animated) {
        // An offset set from code stops any movement under way.
        if (animationTimer_) animationTimer_->invalidate();
        animationTimer_.reset();
        animation_.reset();
        decelerating_ = false;
        applyOffset(offset);
        return;
    }
    if (offset == contentOffset()) return;
    animateTo(offset, kAnimationDuration, false);
}

void ScrollView::animateTo(Point target, double duration, bool deceleration) {
    if (animationTimer_) animationTimer_->invalidate();
    auto& loop = foundation::RunLoop::main();
    animation_ = Animation{contentOffset(), target, loop.now(), duration, deceleration};
    std::weak_ptr<View> weak = sharedView();
    animationTimer_ = loop.schedule(kFrameInterval, true, [weak](foundation::Timer&) {
        if (auto self = std::static_pointer_cast<ScrollView>(weak.lock())) self->animationStep();
    });
}

void ScrollView::animationStep() {
    if (!animation_) return;
    Animation a = *animation_;
    double t = a.duration > 0 ? (foundation::RunLoop::main().now() - a.start) / a.duration : 1;
    if (t < 1) {
        // Ease out: fast at first, settling at the end.
        double e = 1 - (1 - t) * (1 - t);
        applyOffset({a.from.x + (a.to.x - a.from.x) * e, a.from.y + (a.to.y - a.from.y) * e});
        return;
    }
    finishScrolling();
}

void ScrollView::shiftContentOffset(double dy) {
    if (dy == 0) return;
    if (animation_) {
        animation_->from.y += dy;
        animation_->to.y += dy;
    }
    Point offset = contentOffset();
    applyOffset({offset.x, offset.y + dy});
}

void ScrollView::retargetScrollAnimation(Point to) {
    if (animation_ && !animation_->deceleration) animation_->to = to;
}

void ScrollView::finishScrolling() {
    if (!animation_) return;
    auto self = sharedView();
    Animation a = *animation_;
    animation_.reset();
    if (animationTimer_) animationTimer_->invalidate();
    animationTimer_.reset();
    applyOffset(a.to);
    if (a.deceleration) {
        decelerating_ = false;
        if (auto d = scrollDelegate()) d->scrollViewDidEndDecelerating(*this);
    } else {
        if (auto d = scrollDelegate()) d->scrollViewDidEndScrollingAnimation(*this);
    }
}

void ScrollView::scrollRectToVisible(const Rect& rect, bool animated) {
    Rect b = bounds();
    Point offset = b.origin;
    if (rect.maxX() > b.maxX()) offset.x = rect.maxX() - b.width();
    if (rect.minX() < offset.x) offset.x = rect.minX();
    if (rect.maxY() > b.maxY()) offset.y = rect.maxY() - b.height();
    if (rect.minY() < offset.y) offset.y = rect.minY();
    setContentOffset(clampedOffset(offset), animated);
}

bool ScrollView::scrollToTop() {
    if (!scrollsToTop_) return false;
    if (auto d = scrollDelegate(); d && !d->scrollViewShouldScrollToTop(*this)) return false;
    auto self = sharedView();
    setContentOffset({contentOffset().x, minContentOffset().y}, false);
    if (auto d = scrollDelegate()) d->scrollViewDidScrollToTop(*this);
    return true;
}

void ScrollView::beginDragging() {
    if (!scrollEnabled_ || dragging_) return;
    auto self = sharedView();
    // A finger on moving content stops it where it is.
    if (animationTimer_) animationTimer_->invalidate();
    animationTimer_.reset();
    animation_.reset();
    decelerating_ = false;
    dragging_ = true;
    if (auto d = scrollDelegate()) d->scrollViewWillBeginDragging(*this);
}

void ScrollView::dragBy(Point translation) {
    if (!dragging_) return;
    Point offset{contentOffset().x - translation.x, contentOffset().y - translation.y};
    bool horizontal = contentSize_.width + contentInset_.left + contentInset_.right > bounds().width() || alwaysBounceHorizontal_;
    bool vertical = contentSize_.height + contentInset_.top + contentInset_.bottom > bounds().height() || alwaysBounceVertical_;
    if (!horizontal) offset.x = contentOffset().x;
    if (!vertical) offset.y = contentOffset().y;
    if (!bounces_) offset = clampedOffset(offset);
    applyOffset(offset);
}

void ScrollView::endDragging(Point velocity) {
    if (!dragging_) return;
    auto self = sharedView();
    dragging_ = false;
    Point current = contentOffset();
    Point target;
    if (pagingEnabled_) {
        auto page = [](double offset, double size, double v) {
            if (size <= 0) return offset;
            double p = offset / size;
            p = v > 0 ? std::ceil(p) : v < 0 ? std::floor(p) : std::round(p);
            return p * size;
        };
        target = {page(current.x, bounds().width(), velocity.x), page(current.y, bounds().height(), velocity.y)};
    } else {
        // The distance a flick carries at the deceleration rate (per millisecond).
        double carry = decelerationRate_ / (1 - decelerationRate_) / 1000;
        target = {current.x + velocity.x * carry, current.y + velocity.y * carry};
    }
    target = clampedOffset(target);
    if (auto d = scrollDelegate()) d->scrollViewWillEndDragging(*this, velocity, target);
    bool decelerate = target != current;
    if (auto d = scrollDelegate()) d->scrollViewDidEndDragging(*this, decelerate);
    if (!decelerate) return;
    decelerating_ = true;
    if (auto d = scrollDelegate()) d->scrollViewWillBeginDecelerating(*this);
    animateTo(target, kDecelerationDuration, true);
}

}  // namespace velkora::ui
