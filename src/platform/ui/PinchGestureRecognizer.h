// The two-finger pinch: continuous, it begins once the distance between two fingers has changed by more
// than a small slop, and reports the scale of that distance to the distance when the second finger came
// down. It ends when a finger lifts.
#pragma once

#include "platform/ui/GestureRecognizer.h"

namespace velkora::ui {

class PinchGestureRecognizer : public GestureRecognizer {
public:
    const char* className() const override { return "PinchGestureRecognizer"; }
    // How far the fingers' distance changes before a pinch begins.
    static constexpr double kSlop = 4;

    bool isDiscrete() const override { return false; }
    // 1 when the gesture begins; 2 when the fingers are twice as far apart as where they came down.
    double scale() const { return scale_; }
    // Measures the following changes from the current distance as `scale`.
    void setScale(double scale);

    void touchesBegan(const TouchSet& touches, Event& event) override;
    void touchesMoved(const TouchSet& touches, Event& event) override;
    void touchesEnded(const TouchSet& touches, Event& event) override;
    void touchesCancelled(const TouchSet& touches, Event& event) override;
    void reset() override;

private:
    // The distance between the first two fingers still down; negative with fewer than two.
    double fingerDistance() const;
    double startDistance_ = -1;
    double scale_ = 1;
};

} // namespace velkora::ui
