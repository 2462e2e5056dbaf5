#include "people/VelkoraAccountScreens.h"

#include "people/VelkoraAccountScreenSupport.h"
#include "people/VelkoraLoginViewController.h"
#include "people/VelkoraSignUpViewController.h"
#include "people/VelkoraUserSettingsViewController.h"
#include "session/VelkoraScreenRegistry.h"

namespace velkora {

void registerAccountScreens() {
    account::registerAccountInterfaceClasses();
    auto& registry = VelkoraScreenRegistry::instance();
    registry.registerScreen("login", [](const foundation::Value&) -> std::shared_ptr<ui::ViewController> {
        return VelkoraLoginViewController::initFromNib();
    });
    registry.registerScreen("signup", [](const foundation::Value&) -> std::shared_ptr<ui::ViewController> {
        return VelkoraSignUpViewController::initFromNib();
    });
    registry.registerScreen("settings", [](const foundation::Value&) -> std::shared_ptr<ui::ViewController> {
        return VelkoraUserSettingsViewController::initFromNib(
            account::interfaceName(VelkoraUserSettingsViewController::kNibName));
    });
}

} // namespace velkora
