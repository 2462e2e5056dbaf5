// A cell's background image view: its image stretches between fixed caps of 20 points top and bottom and
// 17 points left and right.
#pragma once

#include <memory>

#include "platform/ui/ImageView.h"
#include "platform/ui/InterfaceLoader.h"

namespace velkora {

class VelkoraCellBackgroundView : public ui::ImageView, public ui::InterfaceOwner {
public:
    VelkoraCellBackgroundView() : VelkoraCellBackgroundView(ui::Rect{}) {}
    explicit VelkoraCellBackgroundView(const ui::Rect& frame) : ui::ImageView(frame) {}
    static std::shared_ptr<VelkoraCellBackgroundView> create(const ui::Rect& frame = {}) {
        return std::make_shared<VelkoraCellBackgroundView>(frame);
    }
    const char* className() const override { return "VelkoraCellBackgroundView"; }

    void setImage(std::shared_ptr<ui::Image> image) override;

    void registerInterfaceBindings(ui::InterfaceBindings&) override {}
    void awakeFromInterface() override;
};

} // namespace velkora
