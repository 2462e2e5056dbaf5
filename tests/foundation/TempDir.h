// A fresh folder for one test, removed with everything in it afterwards. Other test folders may include
// it as "foundation/TempDir.h".
#pragma once

#include <string>

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

} // namespace velkora::testing
