// A fresh folder for one test, removed with everything in it afterwards. Other test folders may include
// it as "foundation/TempDir.h".
#pragma once

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/foundation/FileIO.h"

namespace velkora::testing {

class TempDir {
public:
    TempDir() : path_(foundation::createTemporaryDirectory("velkora-test-")) {}
    ~TempDir() {
        if (!path_.empty()) foundation::removeTree(path_);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// The names in a folder, sorted.
inline std::vector<std::string> entriesOf(const std::string& dir) {
    std::vector<std::string> names;
    for (auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace velkora::testing
