#include "platform/ui/ActivityIndicatorView.h"

namespace velkora::ui {

namespace {

Color colorForStyle(ActivityIndicatorViewStyle style) {
    return style == ActivityIndicatorViewStyle::Gray ? Color::white(0.5) : Color::whiteColor();
}

}  // namespace

ActivityIndicatorView::ActivityIndicatorView(ActivityIndicatorViewStyle style)
    : View(Rect({0, 0}, sizeForStyle(style))), style_(style), color_(colorForStyle(style)) {
    setUserInteractionEnabled(false);
    setOpaque(false);
    View::setHidden(true);
}

ActivityIndicatorView::ActivityIndicatorView(const Rect& frame) : View(frame) {
    setUserInteractionEnabled(false);
    setOpaque(false);
    View::setHidden(true);
}

Size ActivityIndicatorView::sizeForStyle(ActivityIndicatorViewStyle style) {
    return style == ActivityIndicatorViewStyle::WhiteLarge ? Size{37, 37} : Size{20, 20};
}

void ActivityIndicatorView::setActivityIndicatorViewStyle(ActivityIndicatorViewStyle style) {
    style_ = style;
    color_ = colorForStyle(style);
    Rect f = frame();
    Size s = sizeForStyle(style);
    setFrame({f.midX() - s.width / 2, f.midY() - s.height / 2, s.width, s.height});
    setNeedsDisplay();
}

void ActivityIndicatorView::setHidesWhenStopped(bool h) {
    hidesWhenStopped_ = h;
    if (!animating_) setHidden(h);
}

void ActivityIndicatorView::startAnimating() {
    animating_ = true;
    setHidden(false);
    setNeedsDisplay();
}

void ActivityIndicatorView::stopAnimating() {
    animating_ = false;
    if (hidesWhenStopped_) setHidden(true);
    setNeedsDisplay();
}

}  // namespace velkora::ui
