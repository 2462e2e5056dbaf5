#include "session/VelkoraScreenRegistry.h"

#include "platform/foundation/Log.h"
#include "platform/ui/ViewController.h"

namespace velkora {

VelkoraScreenRegistry& VelkoraScreenRegistry::instance() {
    static VelkoraScreenRegistry registry;
    return registry;
}

void VelkoraScreenRegistry::registerScreen(const std::string& featureName, ScreenMaker maker) {
    std::lock_guard lock(mutex_);
    if (maker)
        makers_[featureName] = std::move(maker);
    else
        makers_.erase(featureName);
}

void VelkoraScreenRegistry::unregisterScreen(const std::string& featureName) {
    std::lock_guard lock(mutex_);
    makers_.erase(featureName);
}

bool VelkoraScreenRegistry::hasScreen(const std::string& featureName) const {
    std::lock_guard lock(mutex_);
    return makers_.count(featureName) != 0;
}

std::shared_ptr<ui::ViewController> VelkoraScreenRegistry::makeScreen(const std::string& featureName,
                                                                      const foundation::Value& arguments) const {
    ScreenMaker maker;
    {
        // The maker runs outside the lock: it may register screens of its own.
        std::lock_guard lock(mutex_);
        auto it = makers_.find(featureName);
        if (it != makers_.end()) maker = it->second;
    }
    if (!maker) {
        foundation::Log::line("Velkora (W) - The screen '%@' is not part of this build", featureName);
        return nullptr;
    }
    auto screen = maker(arguments);
    if (!screen) foundation::Log::line("Velkora (W) - The screen '%@' could not be made", featureName);
    return screen;
}

void VelkoraScreenRegistry::resetForTests() {
    std::lock_guard lock(mutex_);
    makers_.clear();
}

} // namespace velkora
