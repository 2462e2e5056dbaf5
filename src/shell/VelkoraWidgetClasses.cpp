#include "shell/VelkoraWidgetClasses.h"

#include "platform/foundation/Log.h"
#include "platform/ui/Image.h"
#include "platform/ui/InterfaceLoader.h"
#include "shell/VelkoraCellBackgroundView.h"
#include "shell/VelkoraResizableTextField.h"
#include "shell/VelkoraResizableView.h"
#include "shell/VelkoraResizeableButton.h"
#include "shell/VelkoraStretchableBadgeView.h"

namespace velkora {

void registerVelkoraWidgetClasses() {
    auto& loader = ui::InterfaceLoader::instance();
    if (loader.hasClass("VelkoraResizeableButton")) return;
    loader.registerClass<VelkoraResizeableButton>("VelkoraResizeableButton");
    loader.registerClass<VelkoraResizableView>("VelkoraResizableView");
    loader.registerClass<VelkoraCellBackgroundView>("VelkoraCellBackgroundView");
    loader.registerClass<VelkoraResizableTextField>("VelkoraResizableTextField");
    loader.registerClass("VelkoraStretchableBadgeView", [] { return VelkoraStretchableBadgeView::create(); });
    loader.registerProperty("background", [](ui::View& view, const foundation::Value& value) {
        using Result = ui::InterfaceLoader::PropertyResult;
        auto* field = dynamic_cast<ui::TextField*>(&view);
        if (!field) return Result::NotApplicable;
        const auto* name = value.asString();
        if (!name) return Result::BadValue;
        auto image = ui::Image::named(*name);
        if (!image) foundation::Log::line("Velkora (W) - interface image %@ not found", *name);
        field->setBackground(image);
        return Result::Applied;
    });
}

} // namespace velkora
