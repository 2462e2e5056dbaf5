// Reaches optional frameworks by name at run time: their classes, constants and plain functions. Here the
// frameworks are the kit's own stand-in modules, shared libraries found through a path template; a module
// that is not installed behaves as a framework the device lacks.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velkora {

class VelkoraDynamicFrameworkLoader {
public:
    // "%@" placeholders are filled with the framework's name, e.g. "<libdir>/velkora/modules/%@/lib%@.so".
    // The default is the installed modules folder; $VELKORA_FRAMEWORK_PATH_TEMPLATE, when set, replaces it.
    static std::string frameworkPathTemplate();
    static void setFrameworkPathTemplate(std::string pathTemplate);

    static void* loadSymbol(const std::string& symbolName, const std::string& frameworkName);
    // The class descriptor that a module exports as "OBJC_CLASS_$_<name>", or null.
    static const void* loadClass(const std::string& className, const std::string& frameworkName);
    // The text a module exports as a `const char* const` under that name; empty when absent.
    static std::optional<std::string> loadStringConstant(const std::string& name, const std::string& frameworkName);
    // 0 when absent.
    static int32_t loadIntegerConstant(const std::string& name, const std::string& frameworkName);
    static double loadDoubleConstant(const std::string& name, const std::string& frameworkName);
    static const void* loadkSecRandomDefault();

    // Forgets every cached library and symbol (the libraries stay open); for tests only.
    static void resetCachesForTests();
};

}  // namespace velkora

extern "C" {

// Opens the library at `path` once and looks each symbol up once; failures are remembered too.
void* velkoraLoadSymbol(const char* path, const char* symbolName);

// AudioToolbox: system sounds. Without the module: -1500 (unspecified error) and no sound.
int32_t VelkoraDFL_AudioServicesCreateSystemSoundID(const char* fileUrl, uint32_t* outSystemSoundID);
int32_t VelkoraDFL_AudioServicesDisposeSystemSoundID(uint32_t systemSoundID);
void VelkoraDFL_AudioServicesPlaySystemSound(uint32_t systemSoundID);
}
