// The scroll view: content size, offset (moved at once or animated on the run loop's clock), insets,
// paging, and the dragging and deceleration callbacks of its delegate.
#pragma once

#include <memory>
#include <optional>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/View.h"

namespace velkora::ui {

class ScrollView;

class ScrollViewDelegate {
public:
    virtual ~ScrollViewDelegate() = default;
    virtual void scrollViewDidScroll(ScrollView& /*scrollView*/) {}
    virtual void scrollViewWillBeginDragging(ScrollView& /*scrollView*/) {}
    // The target may be changed.
    virtual void scrollViewWillEndDragging(ScrollView& /*scrollView*/, Point /*velocity*/, Point& /*targetContentOffset*/) {}
    virtual void scrollViewDidEndDragging(ScrollView& /*scrollView*/, bool /*willDecelerate*/) {}
    virtual void scrollViewWillBeginDecelerating(ScrollView& /*scrollView*/) {}
    virtual void scrollViewDidEndDecelerating(ScrollView& /*scrollView*/) {}
    virtual void scrollViewDidEndScrollingAnimation(ScrollView& /*scrollView*/) {}
    virtual bool scrollViewShouldScrollToTop(ScrollView& /*scrollView*/) { return true; }
    virtual void scrollViewDidScrollToTop(ScrollView& /*scrollView*/) {}
};

class ScrollView : public View {
public:
    // Animated offsets take this long; a deceleration takes kDecelerationDuration.
    static constexpr double kAnimationDuration = 0.3;
    static constexpr double kDecelerationDuration = 0.5;
    static constexpr double kFrameInterval = 1.0 / 60;

    ScrollView() : ScrollView(Rect{}) {}
    explicit ScrollView(const Rect& frame);
    ~ScrollView() override;
    static std::shared_ptr<ScrollView> create(const Rect& frame = {}) { return std::make_shared<ScrollView>(frame); }
    const char* className() const override { return "ScrollView"; }

    Size contentSize() const { return contentSize_; }
    virtual void setContentSize(Size size);
    // The bounds' origin.
    Point contentOffset() const { return bounds().origin; }
    // Animated: moves in steps of the run loop's frames and ends with did-end-scrolling-animation.
    void setContentOffset(Point offset, bool animated = false);
    EdgeInsets contentInset() const { return contentInset_; }
    void setContentInset(EdgeInsets insets);
    EdgeInsets scrollIndicatorInsets() const { return scrollIndicatorInsets_; }
    void setScrollIndicatorInsets(EdgeInsets insets) { scrollIndicatorInsets_ = insets; }
    // The offsets the content comes to rest between.
    Point minContentOffset() const;
    Point maxContentOffset() const;
    Point clampedOffset(Point offset) const;

    bool isPagingEnabled() const { return pagingEnabled_; }
    void setPagingEnabled(bool p) { pagingEnabled_ = p; }
    bool isScrollEnabled() const { return scrollEnabled_; }
    void setScrollEnabled(bool e) { scrollEnabled_ = e; }
    bool bounces() const { return bounces_; }
    void setBounces(bool b) { bounces_ = b; }
    bool alwaysBounceVertical() const { return alwaysBounceVertical_; }
    void setAlwaysBounceVertical(bool b) { alwaysBounceVertical_ = b; }
    bool alwaysBounceHorizontal() const { return alwaysBounceHorizontal_; }
    void setAlwaysBounceHorizontal(bool b) { alwaysBounceHorizontal_ = b; }
    bool showsVerticalScrollIndicator() const { return showsVerticalScrollIndicator_; }
    void setShowsVerticalScrollIndicator(bool s) { showsVerticalScrollIndicator_ = s; }
    bool showsHorizontalScrollIndicator() const { return showsHorizontalScrollIndicator_; }
    void setShowsHorizontalScrollIndicator(bool s) { showsHorizontalScrollIndicator_ = s; }
    bool scrollsToTop() const { return scrollsToTop_; }
    void setScrollsToTop(bool s) { scrollsToTop_ = s; }
    bool delaysContentTouches() const { return delaysContentTouches_; }
    void setDelaysContentTouches(bool d) { delaysContentTouches_ = d; }
    bool canCancelContentTouches() const { return canCancelContentTouches_; }
    void setCanCancelContentTouches(bool c) { canCancelContentTouches_ = c; }
    bool isDirectionalLockEnabled() const { return directionalLockEnabled_; }
    void setDirectionalLockEnabled(bool d) { directionalLockEnabled_ = d; }
    double decelerationRate() const { return decelerationRate_; }
    void setDecelerationRate(double r) { decelerationRate_ = r; }

    bool isDragging() const { return dragging_; }
    bool isDecelerating() const { return decelerating_; }
    bool isTracking() const { return dragging_; }

    void setDelegate(std::weak_ptr<ScrollViewDelegate> d) { delegate_ = std::move(d); }
    std::shared_ptr<ScrollViewDelegate> scrollDelegate() const { return delegate_.lock(); }

    // Scrolls as little as needed to show the rectangle (in content coordinates).
    void scrollRectToVisible(const Rect& rect, bool animated);
    // A tap on the status bar: to the top, when the delegate allows.
    bool scrollToTop();
    void flashScrollIndicators() {}

    // A finger drag, as the touch routing drives it: the content follows the finger (a finger moving up
    // by 10 scrolls down by 10). Ending with a velocity (points per second, in the content's direction)
    // decelerates towards a resting offset: the nearest page when paging, never past the limits.
    void beginDragging();
    void dragBy(Point fingerTranslation);
    void endDragging(Point velocity);

    // Ends any animation or deceleration at its target now.
    void finishScrolling();

protected:
    // After every change of the offset, before the delegate hears of it.
    virtual void contentOffsetDidChange() {}
    // Moves the offset by `dy` together with any motion under way (its start and its target), so content
    // that moved by `dy` above the visible part stays where the user sees it.
    void shiftContentOffset(double dy);
    // The animation from code under way ends at `to` instead; no animation, no change.
    void retargetScrollAnimation(Point to);
    bool isScrollAnimating() const { return animation_.has_value(); }

private:
    void applyOffset(Point offset);
    void animateTo(Point target, double duration, bool deceleration);
    void animationStep();

    Size contentSize_;
    EdgeInsets contentInset_;
    EdgeInsets scrollIndicatorInsets_;
    bool pagingEnabled_ = false;
    bool scrollEnabled_ = true;
    bool bounces_ = true;
    bool alwaysBounceVertical_ = false;
    bool alwaysBounceHorizontal_ = false;
    bool showsVerticalScrollIndicator_ = true;
    bool showsHorizontalScrollIndicator_ = true;
    bool scrollsToTop_ = true;
    bool delaysContentTouches_ = true;
    bool canCancelContentTouches_ = true;
    bool directionalLockEnabled_ = false;
    double decelerationRate_ = 0.998;
    bool dragging_ = false;
    bool decelerating_ = false;
    std::weak_ptr<ScrollViewDelegate> delegate_;

    struct Animation {
        Point from, to;
        double start = 0, duration = 0;
        bool deceleration = false;
    };
    std::optional<Animation> animation_;
    std::shared_ptr<foundation::Timer> animationTimer_;
};

}  // namespace velkora::ui
