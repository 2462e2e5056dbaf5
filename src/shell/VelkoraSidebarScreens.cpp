#include "shell/VelkoraSidebarScreens.h"

#include "platform/ui/Window.h"
#include "session/VelkoraKitObjects.h"
#include "session/VelkoraScreenRegistry.h"
#include "shell/VelkoraActivationGesturesHandler.h"
#include "shell/VelkoraActivationRibonView.h"
#include "shell/VelkoraSidebarClasses.h"
#include "shell/VelkoraViewController.h"

namespace velkora {

void registerSidebarScreens() {
    registerSidebarClasses();
    auto& registry = VelkoraScreenRegistry::instance();
    // The file's tablet variant is the loader's choice, so the name the session passes is not needed.
    registry.registerObject<VelkoraSidebarController>(VelkoraKitObjectNames::kSidebar, [](const foundation::Value&) {
        return std::static_pointer_cast<VelkoraSidebarController>(VelkoraViewController::initWithMode(false));
    });
    registry.registerObject<VelkoraActivationGestures>(
        VelkoraKitObjectNames::kActivationGesturesHandler, [](const foundation::Value& arguments) {
            return std::static_pointer_cast<VelkoraActivationGestures>(VelkoraActivationGesturesHandler::initWithWindow(
                arguments["window"].asObject<ui::Window>(), arguments["opensRight"].boolOr(false)));
        });
    registry.registerObject<ui::View>(VelkoraKitObjectNames::kActivationView, [](const foundation::Value&) {
        return std::static_pointer_cast<ui::View>(VelkoraActivationView::create());
    });
    registry.registerObject<ui::View>(
        VelkoraKitObjectNames::kActivationRibbonView, [](const foundation::Value& arguments) {
            auto ribbon = VelkoraActivationRibonView::create();
            ribbon->setButtonType(unsigned(arguments["buttonType"].int64Or(0)), arguments["direction"].int32Or(0));
            return std::static_pointer_cast<ui::View>(ribbon);
        });
}

} // namespace velkora
