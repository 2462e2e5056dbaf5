#include "platform/foundation/InstallPaths.h"

#include <dlfcn.h>
#include <link.h>

#include <filesystem>
#include <system_error>

#ifndef VELKORA_DATADIR
#define VELKORA_DATADIR "share"
#endif

namespace velkora::foundation::InstallPaths {

namespace {

// lib/<arch>/ under the prefix, or a build tree's tests/<folder>/, is as deep as the kit lies.
constexpr int kLevelsUp = 3;

std::filesystem::path binaryFile() {
    Dl_info info{};
    link_map* map = nullptr;
    if (dladdr1(reinterpret_cast<void*>(&binaryFolder), &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) &&
        map && map->l_name && *map->l_name)
        return map->l_name;
    // The main program has no name of its own in the loader's list.
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/exe", ec);
}

} // namespace

std::string binaryFolder() {
    std::error_code ec;
    auto file = binaryFile();
    if (file.empty()) return {};
    auto canonical = std::filesystem::weakly_canonical(std::filesystem::absolute(file, ec), ec);
    if (ec) return {};
    return canonical.parent_path().string();
}

std::string dataFolder(std::string_view name) {
    const std::string folder = binaryFolder();
    if (folder.empty()) return {};
    const std::filesystem::path datadir(VELKORA_DATADIR);
    if (datadir.is_absolute()) {
        auto candidate = datadir / name;
        std::error_code ec;
        return std::filesystem::is_directory(candidate, ec) ? candidate.string() : std::string();
    }
    std::filesystem::path at(folder);
    for (int level = 0; level <= kLevelsUp && !at.empty(); ++level) {
        auto candidate = at / datadir / name;
        std::error_code ec;
        if (std::filesystem::is_directory(candidate, ec)) return candidate.string();
        if (at == at.root_path()) break;
        at = at.parent_path();
    }
    return {};
}

} // namespace velkora::foundation::InstallPaths
