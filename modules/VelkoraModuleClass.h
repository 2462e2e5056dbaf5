// What a stand-in module exports for each class the kit looks up by name: a descriptor that says which
// class it is. The classes' behaviour lives in the platform layer; finding the descriptor is how the kit
// learns that the device has the framework.
#pragma once

#include <cstdint>

#define VELKORA_MODULE_EXPORT extern "C" __attribute__((visibility("default")))

extern "C" {
struct VelkoraModuleClass {
    const char* name;
    const char* superclassName;
    const char* framework;
};
}

// Exports the descriptor of `cls` under the symbol the loader asks for, "OBJC_CLASS_$_<cls>".
#define VELKORA_MODULE_CLASS(cls, superclass, framework)                                                               \
    VELKORA_MODULE_EXPORT const VelkoraModuleClass OBJC_CLASS_$_##cls = {#cls, superclass, framework}
