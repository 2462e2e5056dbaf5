// The platform layer stands below the kit: none of its files may include a header of the kit (src/server,
// src/session, src/data, ... or the public headers), so it builds and is tested on its own.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "BuildPaths.h"

namespace {

namespace fs = std::filesystem;

// The name in `#include "name"`, or empty for any other line.
std::string quotedInclude(const std::string& line) {
    size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos || line[i] != '#') return {};
    i = line.find_first_not_of(" \t", i + 1);
    if (i == std::string::npos || line.compare(i, 7, "include") != 0) return {};
    size_t open = line.find_first_not_of(" \t", i + 7);
    if (open == std::string::npos || line[open] != '"') return {};
    size_t close = line.find('"', open + 1);
    return close == std::string::npos ? std::string() : line.substr(open + 1, close - open - 1);
}

TEST(LayeringTest, NothingUnderThePlatformIncludesAKitHeader) {
    const fs::path root = fs::path(VELKORA_TESTS_SOURCE_DIR).parent_path();
    const fs::path src = root / "src";
    const fs::path include = root / "include";
    ASSERT_TRUE(fs::is_directory(src / "platform")) << src;
    std::vector<std::string> upward;
    size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(src / "platform")) {
        if (!entry.is_regular_file()) continue;
        ++files;
        std::ifstream in(entry.path());
        std::string line;
        for (int number = 1; std::getline(in, line); ++number) {
            const std::string name = quotedInclude(line);
            if (name.empty()) continue;
            bool kitHeader = (fs::exists(src / name) && !name.starts_with("platform/")) || fs::exists(include / name);
            if (kitHeader)
                upward.push_back(fs::relative(entry.path(), root).string() + ":" + std::to_string(number) + " " + name);
        }
    }
    EXPECT_GT(files, 0u);
    EXPECT_TRUE(upward.empty()) << ::testing::PrintToString(upward);
}

} // namespace
