#include "shell/VelkoraShellScreens.h"

#include "session/VelkoraScreenRegistry.h"
#include "shell/VelkoraGeneralWebViewController.h"

namespace velkora {

namespace {

std::string textArgument(const foundation::Value& arguments, const char* key) {
    const foundation::Value* v = arguments.get(key);
    const std::string* s = v ? v->asString() : nullptr;
    return s ? *s : std::string();
}

} // namespace

void registerShellScreens() {
    VelkoraScreenRegistry::instance().registerScreen(
        kWebPageFeatureName, [](const foundation::Value& arguments) -> std::shared_ptr<ui::ViewController> {
            auto screen = VelkoraGeneralWebViewController::initFromNibWithLink(textArgument(arguments, "link"));
            screen->setTitleText(textArgument(arguments, "title"));
            return screen;
        });
}

} // namespace velkora
