// A text field whose background image stretches from its centre.
#pragma once

#include <memory>

#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/TextField.h"

namespace velkora {

class VelkoraResizableTextField : public ui::TextField, public ui::InterfaceOwner {
public:
    VelkoraResizableTextField() : VelkoraResizableTextField(ui::Rect{}) {}
    explicit VelkoraResizableTextField(const ui::Rect& frame) : ui::TextField(frame) {}
    static std::shared_ptr<VelkoraResizableTextField> create(const ui::Rect& frame = {}) {
        return std::make_shared<VelkoraResizableTextField>(frame);
    }
    const char* className() const override { return "VelkoraResizableTextField"; }

    void setBackground(std::shared_ptr<ui::Image> image) override;

    void registerInterfaceBindings(ui::InterfaceBindings&) override {}
    void awakeFromInterface() override;
};

} // namespace velkora
