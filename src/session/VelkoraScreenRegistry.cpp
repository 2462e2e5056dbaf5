#include "session/VelkoraScreenRegistry.h"

#include "platform/foundation/Log.h"
#include "platform/ui/ViewController.h"

namespace velkora {

namespace {
const foundation::Value& nullValue() {
    static const foundation::Value none;
    return none;
}

const foundation::Value& entry(const foundation::Value& arguments, const char* key) {
    if (auto* d = arguments.asDictionary())
        if (auto* v = d->find(key)) return *v;
    return nullValue();
}
} // namespace

const foundation::Value& VelkoraScreenArguments::object1(const foundation::Value& arguments) {
    if (!arguments.isDictionary() || !arguments.asDictionary()->contains(kOpenedAs)) return arguments;
    return entry(arguments, kObject1);
}

const foundation::Value& VelkoraScreenArguments::object2(const foundation::Value& arguments) {
    return entry(arguments, kObject2);
}

std::string VelkoraScreenArguments::openedAs(const foundation::Value& arguments) {
    return entry(arguments, kOpenedAs).toText().value_or("");
}

VelkoraScreenRegistry& VelkoraScreenRegistry::instance() {
    static VelkoraScreenRegistry registry;
    return registry;
}

void VelkoraScreenRegistry::logNotInBuild(const std::string& what) {
    foundation::Log::line("Velkora (W) - %@ is not part of this build", what);
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

void VelkoraScreenRegistry::registerObjectErased(const std::string& name, std::type_index type, ErasedMaker maker) {
    std::lock_guard lock(mutex_);
    objects_[name] = ObjectEntry{type, std::move(maker)};
}

void VelkoraScreenRegistry::unregisterObject(const std::string& name) {
    std::lock_guard lock(mutex_);
    objects_.erase(name);
}

bool VelkoraScreenRegistry::hasObject(const std::string& name) const {
    std::lock_guard lock(mutex_);
    return objects_.count(name) != 0;
}

std::shared_ptr<void> VelkoraScreenRegistry::makeObjectErased(const std::string& name, std::type_index type,
                                                              const foundation::Value& arguments) const {
    ObjectEntry object;
    {
        std::lock_guard lock(mutex_);
        auto it = objects_.find(name);
        if (it != objects_.end()) object = it->second;
    }
    if (!object.maker) {
        logNotInBuild(name);
        return nullptr;
    }
    if (object.type != type) {
        // A maker registered as another interface would hand out the wrong object: refuse it.
        foundation::Log::line("Velkora (E) - %@ is registered as another kind of object", name);
        return nullptr;
    }
    return object.maker(arguments);
}

void VelkoraScreenRegistry::addUserDataDuty(const std::string& name, std::function<void()> duty) {
    std::lock_guard lock(mutex_);
    for (auto& d : duties_)
        if (d.first == name) {
            d.second = std::move(duty);
            return;
        }
    duties_.emplace_back(name, std::move(duty));
}

void VelkoraScreenRegistry::runUserDataDuties() const {
    std::vector<std::function<void()>> duties;
    {
        std::lock_guard lock(mutex_);
        for (auto& d : duties_)
            if (d.second) duties.push_back(d.second);
    }
    for (auto& d : duties)
        d();
}

void VelkoraScreenRegistry::resetForTests() {
    std::lock_guard lock(mutex_);
    makers_.clear();
    objects_.clear();
    duties_.clear();
}

} // namespace velkora
