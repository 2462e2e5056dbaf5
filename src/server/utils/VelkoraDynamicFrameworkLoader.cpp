#include "server/utils/VelkoraDynamicFrameworkLoader.h"

#include <dlfcn.h>

#include <cstdlib>
#include <mutex>
#include <unordered_map>

#include "platform/foundation/InstallPaths.h"
#include "platform/foundation/Log.h"

namespace velkora {

namespace {

constexpr int32_t kAudioServicesSystemSoundUnspecifiedError = -1500;

// One lock for the template and both caches: the contacts reader looks symbols up from its own thread.
struct LoaderState {
    std::mutex mutex;
    std::optional<std::string> pathTemplate;
    std::unordered_map<std::string, void*> libraryMap;  // path -> handle, null included
    std::unordered_map<std::string, void*> symbolMap;   // "path:symbol" -> address, null included
};

LoaderState& state() {
    static LoaderState* s = new LoaderState();  // libraries are never closed; neither is this
    return *s;
}

std::string defaultTemplate() {
    if (const char* env = std::getenv("VELKORA_FRAMEWORK_PATH_TEMPLATE"); env && *env) return env;
    // Installed, the modules lie beside the kit's library.
    return foundation::InstallPaths::binaryFolder() + "/velkora/modules/%@/lib%@.so";
}

std::string templateLocked(LoaderState& s) {
    if (!s.pathTemplate) s.pathTemplate = defaultTemplate();
    return *s.pathTemplate;
}

std::string frameworkPath(const std::string& frameworkName) {
    return foundation::format(VelkoraDynamicFrameworkLoader::frameworkPathTemplate(), frameworkName, frameworkName);
}

// The handle for `path`, opened on first need. Called with the lock held.
void* openLibrary(LoaderState& s, const std::string& path) {
    if (auto it = s.libraryMap.find(path); it != s.libraryMap.end()) return it->second;
    void* handle = dlopen(path.c_str(), RTLD_LAZY);
    if (handle)
        foundation::Log::line("Velkora - Dynamically loaded library at %@", path);
    else
        foundation::Log::line("Velkora - Failed to load library at %@", path);
    s.libraryMap.emplace(path, handle);
    return handle;
}

template <typename Fn>
Fn frameworkFunction(const char* framework, const char* name) {
    return reinterpret_cast<Fn>(velkoraLoadSymbol(frameworkPath(framework).c_str(), name));
}

}  // namespace

std::string VelkoraDynamicFrameworkLoader::frameworkPathTemplate() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    return templateLocked(s);
}

void VelkoraDynamicFrameworkLoader::setFrameworkPathTemplate(std::string pathTemplate) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.pathTemplate = std::move(pathTemplate);
}

void* VelkoraDynamicFrameworkLoader::loadSymbol(const std::string& symbolName, const std::string& frameworkName) {
    return velkoraLoadSymbol(frameworkPath(frameworkName).c_str(), symbolName.c_str());
}

const void* VelkoraDynamicFrameworkLoader::loadClass(const std::string& className, const std::string& frameworkName) {
    return loadSymbol(foundation::format("OBJC_CLASS_$_%@", className), frameworkName);
}

std::optional<std::string> VelkoraDynamicFrameworkLoader::loadStringConstant(const std::string& name,
                                                                            const std::string& frameworkName) {
    auto* slot = static_cast<const char* const*>(loadSymbol(name, frameworkName));
    if (!slot || !*slot) return std::nullopt;
    return std::string(*slot);
}

int32_t VelkoraDynamicFrameworkLoader::loadIntegerConstant(const std::string& name, const std::string& frameworkName) {
    auto* slot = static_cast<const int32_t*>(loadSymbol(name, frameworkName));
    return slot ? *slot : 0;
}

double VelkoraDynamicFrameworkLoader::loadDoubleConstant(const std::string& name, const std::string& frameworkName) {
    auto* slot = static_cast<const double*>(loadSymbol(name, frameworkName));
    return slot ? *slot : 0.0;
}

const void* VelkoraDynamicFrameworkLoader::loadkSecRandomDefault() {
    auto* slot = static_cast<const void* const*>(loadSymbol("kSecRandomDefault", "Security"));
    return slot ? *slot : nullptr;
}

void VelkoraDynamicFrameworkLoader::resetCachesForTests() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.libraryMap.clear();
    s.symbolMap.clear();
    s.pathTemplate.reset();
}

}  // namespace velkora

extern "C" void* velkoraLoadSymbol(const char* path, const char* symbolName) {
    if (!path || !symbolName) return nullptr;
    auto& s = velkora::state();
    // Built by hand: this runs for every wrapped call of the contacts reader, thousands per read.
    std::string key = std::string(path) + ':' + symbolName;
    std::lock_guard lock(s.mutex);
    if (auto it = s.symbolMap.find(key); it != s.symbolMap.end()) return it->second;
    void* handle = velkora::openLibrary(s, path);
    void* address = handle ? dlsym(handle, symbolName) : nullptr;
    s.symbolMap.emplace(std::move(key), address);
    return address;
}

extern "C" int32_t VelkoraDFL_AudioServicesCreateSystemSoundID(const char* fileUrl, uint32_t* outSystemSoundID) {
    using Fn = int32_t (*)(const char*, uint32_t*);
    auto fn = velkora::frameworkFunction<Fn>("AudioToolbox", "AudioServicesCreateSystemSoundID");
    return fn ? fn(fileUrl, outSystemSoundID) : velkora::kAudioServicesSystemSoundUnspecifiedError;
}

extern "C" int32_t VelkoraDFL_AudioServicesDisposeSystemSoundID(uint32_t systemSoundID) {
    using Fn = int32_t (*)(uint32_t);
    auto fn = velkora::frameworkFunction<Fn>("AudioToolbox", "AudioServicesDisposeSystemSoundID");
    return fn ? fn(systemSoundID) : velkora::kAudioServicesSystemSoundUnspecifiedError;
}

extern "C" void VelkoraDFL_AudioServicesPlaySystemSound(uint32_t systemSoundID) {
    using Fn = void (*)(uint32_t);
    auto fn = velkora::frameworkFunction<Fn>("AudioToolbox", "AudioServicesPlaySystemSound");
    if (fn) fn(systemSoundID);
}
