#include "people/VelkoraAccountScreens.h"

#include "people/VelkoraLoginViewController.h"
#include "people/VelkoraSignUpViewController.h"
#include "people/VelkoraUserSettingsViewController.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraKitObjects.h"
#include "session/VelkoraScreenRegistry.h"
#include "shell/VelkoraAccountScreenSupport.h"
#include "shell/VelkoraPanelProfileViewDelegate.h"

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
    registry.registerScreen("settings", [](const foundation::Value& arguments) -> std::shared_ptr<ui::ViewController> {
        auto screen = VelkoraUserSettingsViewController::initFromNib(
            account::interfaceName(VelkoraUserSettingsViewController::kNibName));
        if (!screen) return nullptr;
        // The opener named carries out the sign-outs and connects; without one, the sidebar does, so no
        // button of the screen is dead.
        std::shared_ptr<VelkoraPanelProfileViewDelegate> delegate;
        if (const auto* d = arguments.asDictionary())
            if (const auto* v = d->find(VelkoraScreenArguments::kDelegate))
                delegate = v->asObject<VelkoraPanelProfileViewDelegate>();
        if (!delegate)
            delegate = std::dynamic_pointer_cast<VelkoraPanelProfileViewDelegate>(
                VelkoraAgentInternal::instance().velkoraVC());
        if (delegate) screen->setDelegate(delegate);
        return screen;
    });
}

} // namespace velkora
