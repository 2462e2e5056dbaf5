// Run from the build tree, the demo loads the kit's optional modules (the store, the animations) from there
// rather than from where they would be installed, unless the host names a place of its own.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "BuildPaths.h"
#include "platform/foundation/Log.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"

namespace velkora::demo {

// `module` is one the step needs; when the build tree has it, every module is looked for there.
inline void useBuildTreeModules(const char* module) {
    if (std::getenv("VELKORA_FRAMEWORK_PATH_TEMPLATE")) return;
    std::error_code ec;
    if (std::filesystem::exists(foundation::format(VELKORA_BUILD_FRAMEWORK_TEMPLATE, module, module), ec))
        VelkoraDynamicFrameworkLoader::setFrameworkPathTemplate(VELKORA_BUILD_FRAMEWORK_TEMPLATE);
}

} // namespace velkora::demo
