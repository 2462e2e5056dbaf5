// The kit's button whose images and background images stretch from their centre, and which can pulse.
#pragma once

#include <memory>

#include "platform/ui/Button.h"
#include "platform/ui/InterfaceLoader.h"

namespace velkora {

class VelkoraResizeableButton : public ui::Button, public ui::InterfaceOwner {
public:
    // The key the pulse runs under on the image view's layer.
    static constexpr const char* kPulseAnimationKey = "pulsingButton";

    VelkoraResizeableButton() : VelkoraResizeableButton(ui::Rect{}) {}
    explicit VelkoraResizeableButton(const ui::Rect& frame) : ui::Button(frame) {}
    static std::shared_ptr<VelkoraResizeableButton> create(const ui::Rect& frame = {}) {
        return std::make_shared<VelkoraResizeableButton>(frame);
    }
    const char* className() const override { return "VelkoraResizeableButton"; }

    void setImage(std::shared_ptr<ui::Image> image, unsigned state = ui::ControlStateNormal) override;
    void setBackgroundImage(std::shared_ptr<ui::Image> image, unsigned state = ui::ControlStateNormal) override;

    // Scales the image between the two scales and back for ever; a second pulse replaces the first.
    // Nothing happens without the animation framework.
    void startPulseWithDuration(float duration, float fromScale, float toScale);
    void stopPulse();

    void registerInterfaceBindings(ui::InterfaceBindings&) override {}
    void awakeFromInterface() override;
};

} // namespace velkora
