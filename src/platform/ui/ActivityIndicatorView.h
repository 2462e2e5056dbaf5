// The spinner: a style, started and stopped, hidden while stopped unless told otherwise.
#pragma once

#include <memory>

#include "platform/ui/View.h"

namespace velkora::ui {

enum class ActivityIndicatorViewStyle { WhiteLarge = 0, White = 1, Gray = 2 };

class ActivityIndicatorView : public View {
public:
    ActivityIndicatorView() : ActivityIndicatorView(ActivityIndicatorViewStyle::White) {}
    explicit ActivityIndicatorView(ActivityIndicatorViewStyle style);
    explicit ActivityIndicatorView(const Rect& frame);
    static std::shared_ptr<ActivityIndicatorView> create(ActivityIndicatorViewStyle style = ActivityIndicatorViewStyle::White) {
        return std::make_shared<ActivityIndicatorView>(style);
    }
    const char* className() const override { return "ActivityIndicatorView"; }

    ActivityIndicatorViewStyle activityIndicatorViewStyle() const { return style_; }
    void setActivityIndicatorViewStyle(ActivityIndicatorViewStyle style);
    Color color() const { return color_; }
    void setColor(Color c) { color_ = c; }
    bool hidesWhenStopped() const { return hidesWhenStopped_; }
    void setHidesWhenStopped(bool h);
    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return animating_; }

    // 37 points across for the large style, 20 for the others.
    static Size sizeForStyle(ActivityIndicatorViewStyle style);
    Size sizeThatFits(Size size) const override { (void)size; return sizeForStyle(style_); }
    Size intrinsicContentSize() const override { return sizeForStyle(style_); }

private:
    ActivityIndicatorViewStyle style_ = ActivityIndicatorViewStyle::White;
    Color color_ = Color::whiteColor();
    bool hidesWhenStopped_ = true;
    bool animating_ = false;
};

}  // namespace velkora::ui
