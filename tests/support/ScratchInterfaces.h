// The kit's interface files copied to a scratch folder, some left out or replaced, and the loader reading
// from there while this lives: how a test shows what a screen does when one of its files cannot be used.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/ui/InterfaceLoader.h"

namespace velkora::testing {

class ScratchInterfaces {
public:
    // `left out`: file names without ".json" (with their tablet variants); `replaced`: name → file text.
    explicit ScratchInterfaces(const std::vector<std::string>& leftOut,
                               const std::map<std::string, std::string>& replaced = {}) {
        auto& loader = ui::InterfaceLoader::instance();
        const std::filesystem::path from = loader.interfacesPath();
        char pattern[] = "/tmp/velkora-interfaces-XXXXXX";
        folder_ = mkdtemp(pattern);
        for (const auto& entry : std::filesystem::directory_iterator(from)) {
            const std::string name = entry.path().stem().string();
            bool skip = false;
            for (const auto& out : leftOut)
                skip |= name == out || name == "iPad_" + out;
            if (!skip && !replaced.count(name))
                std::filesystem::copy_file(entry.path(), folder_ / entry.path().filename());
        }
        for (const auto& [name, text] : replaced)
            std::ofstream(folder_ / (name + ".json")) << text;
        loader.setInterfacesPath(folder_.string());
    }
    ~ScratchInterfaces() {
        ui::InterfaceLoader::instance().setInterfacesPath("");
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }
    ScratchInterfaces(const ScratchInterfaces&) = delete;
    ScratchInterfaces& operator=(const ScratchInterfaces&) = delete;

private:
    std::filesystem::path folder_;
};

} // namespace velkora::testing
