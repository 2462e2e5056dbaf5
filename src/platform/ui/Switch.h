// The on/off switch.
#pragma once

#include <memory>

#include "platform/ui/Control.h"

namespace velkora::ui {

class Switch : public Control {
public:
    static constexpr Size kSize{51, 31};
    Switch() : Switch(Rect{}) {}
    // The size is always the switch's own.
    explicit Switch(const Rect& frame);
    static std::shared_ptr<Switch> create(const Rect& frame = {}) { return std::make_shared<Switch>(frame); }
    const char* className() const override { return "Switch"; }

    bool isOn() const { return on_; }
    // Setting the value from code sends no event.
    void setOn(bool on, bool animated = false);
    Color onTintColor() const { return onTintColor_; }
    void setOnTintColor(Color c) { onTintColor_ = c; }
    // A tap flips the value and sends value-changed.
    void tap() override;
    Size sizeThatFits(Size) const override { return kSize; }
    Size intrinsicContentSize() const override { return kSize; }
    void setFrame(const Rect& frame) override;

private:
    bool on_ = false;
    Color onTintColor_ = Color::rgba(0.3, 0.85, 0.39);
};

}  // namespace velkora::ui
