// An image view whose image stretches: by half caps, or by fixed caps of 20 and 18 points when the view
// is tagged 99999 (the badge backgrounds of the kit's files).
#pragma once

#include <memory>

#include "platform/ui/ImageView.h"
#include "platform/ui/InterfaceLoader.h"

namespace velkora {

class VelkoraResizableView : public ui::ImageView, public ui::InterfaceOwner {
public:
    static constexpr int kFixedCapsTag = 99999;

    VelkoraResizableView() : VelkoraResizableView(ui::Rect{}) {}
    explicit VelkoraResizableView(const ui::Rect& frame) : ui::ImageView(frame) {}
    static std::shared_ptr<VelkoraResizableView> create(const ui::Rect& frame = {}) {
        return std::make_shared<VelkoraResizableView>(frame);
    }
    const char* className() const override { return "VelkoraResizableView"; }

    void setImage(std::shared_ptr<ui::Image> image) override;

    void registerInterfaceBindings(ui::InterfaceBindings&) override {}
    // The file's image again, now that the tag is known too.
    void awakeFromInterface() override;
};

} // namespace velkora
