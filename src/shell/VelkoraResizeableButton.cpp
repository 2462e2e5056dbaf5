#include "shell/VelkoraResizeableButton.h"

#include <limits>

#include "platform/ui/Image.h"
#include "server/utils/VelkoraQuartzCore.h"

namespace velkora {

namespace {

std::shared_ptr<ui::Image> halfCaps(const std::shared_ptr<ui::Image>& image) {
    return image ? image->halfCapStretchable() : nullptr;
}

ui::LayerAnimation scaleAnimation(const VelkoraQuartzCoreClass& basic, const char* keyPath, float from, float to) {
    ui::LayerAnimation a;
    a.keyPath = keyPath;
    a.duration = basic.defaultDuration;
    a.fromValue = foundation::Value(double(from));
    a.toValue = foundation::Value(double(to));
    return a;
}

} // namespace

void VelkoraResizeableButton::setImage(std::shared_ptr<ui::Image> image, unsigned state) {
    ui::Button::setImage(halfCaps(image), state);
}

void VelkoraResizeableButton::setBackgroundImage(std::shared_ptr<ui::Image> image, unsigned state) {
    ui::Button::setBackgroundImage(halfCaps(image), state);
}

void VelkoraResizeableButton::awakeFromInterface() {
    // A file may name the images before anything else it sets; feed them through the stretching setters
    // again once the whole button is there.
    for (unsigned state :
         {ui::ControlStateNormal, ui::ControlStateHighlighted, ui::ControlStateSelected, ui::ControlStateDisabled}) {
        if (auto image = imageForState(state)) setImage(image, state);
        if (auto background = backgroundImageForState(state)) setBackgroundImage(background, state);
    }
}

void VelkoraResizeableButton::startPulseWithDuration(float duration, float fromScale, float toScale) {
    const auto* basic = loadQuartzCoreClass("CABasicAnimation");
    const auto* groupClass = loadQuartzCoreClass("CAAnimationGroup");
    if (!basic || !groupClass || !imageView()) return;
    ui::LayerAnimation group;
    group.duration = duration;
    group.autoreverses = true;
    group.repeatCount = std::numeric_limits<double>::infinity();
    group.animations = {scaleAnimation(*basic, "transform.scale.x", fromScale, toScale),
                        scaleAnimation(*basic, "transform.scale.y", fromScale, toScale)};
    imageView()->layer().addAnimation(std::move(group), kPulseAnimationKey);
}

void VelkoraResizeableButton::stopPulse() {
    if (imageView()) imageView()->layer().removeAnimationForKey(kPulseAnimationKey);
}

} // namespace velkora
