// The kit is built in rooms, each standing on the ones below it, so a newcomer reads it from the ground up
// and a room builds and is tested without those above it:
//
//   platform < data < server < social < session < shell < ads < feed < people < conversations < quiz < host
//
// platform: our own stand-ins for the phone's frameworks; it includes no header of the kit.
// data: the model objects, the local user record, the configuration and the settings, and the face the
//       session shows the rooms below it (VelkoraSessionRecords).
// server: the client of the kit's service (protocol, agent, commands, fetchers, the picture cache).
// social: the social networks' connectors, the friends fetchers, the address book, the sign-up helper,
//         and the popup prompt they speak through (the shell draws it).
// session: the session object, its lists filled from the service, the screen registry and the face it asks
//          of a feature screen.
// shell: what every screen stands on (feature screen, popups, sidebar, shared cells and helpers).
// ads, feed, people, conversations, quiz: the screens, each including only those to its left.
// host: the host interface; with the files at the top of src/ it wires every room together.
//
// A room includes only rooms below it (or itself); what a lower room needs of a higher one it gets through
// a small interface it owns, or by name through the screen registry. The public headers include nothing of
// src/.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "BuildPaths.h"

namespace {

namespace fs = std::filesystem;

const std::vector<std::string> kRooms = {"platform", "data", "server", "social",        "session", "shell",
                                         "ads",      "feed", "people", "conversations", "quiz",    "host"};

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

struct Include {
    std::string where; // file:line
    std::string name;
};

void addIncludesOf(const fs::path& file, const fs::path& root, std::vector<Include>& found) {
    std::ifstream in(file);
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        std::string name = quotedInclude(line);
        if (!name.empty()) found.push_back({fs::relative(file, root).string() + ":" + std::to_string(number), name});
    }
}

// Every quoted include of `place`: a file, or every file under a folder.
std::vector<Include> includesUnder(const fs::path& place, const fs::path& root) {
    std::vector<Include> found;
    if (fs::is_regular_file(place)) {
        addIncludesOf(place, root, found);
        return found;
    }
    for (const auto& entry : fs::recursive_directory_iterator(place))
        if (entry.is_regular_file()) addIncludesOf(entry.path(), root, found);
    return found;
}

class LayeringTest : public ::testing::Test {
protected:
    const fs::path root = fs::path(VELKORA_TESTS_SOURCE_DIR).parent_path();
    const fs::path src = root / "src";
    const fs::path include = root / "include";

    // The room a header of the kit lies in ("" for a file at the top of src/).
    static std::string roomOf(const std::string& name) {
        const size_t slash = name.find('/');
        return slash == std::string::npos ? std::string() : name.substr(0, slash);
    }
    bool isKitHeader(const std::string& name) const { return fs::exists(src / name); }
};

TEST_F(LayeringTest, NothingUnderThePlatformIncludesAKitHeader) {
    ASSERT_TRUE(fs::is_directory(src / "platform")) << src;
    std::vector<std::string> upward;
    auto includes = includesUnder(src / "platform", root);
    EXPECT_FALSE(includes.empty());
    for (const auto& inc : includes) {
        bool kitHeader =
            (isKitHeader(inc.name) && !inc.name.starts_with("platform/")) || fs::exists(include / inc.name);
        if (kitHeader) upward.push_back(inc.where + " " + inc.name);
    }
    EXPECT_TRUE(upward.empty()) << ::testing::PrintToString(upward);
}

TEST_F(LayeringTest, EveryRoomIncludesOnlyRoomsBelowIt) {
    std::map<std::string, size_t> rank;
    for (size_t i = 0; i < kRooms.size(); ++i)
        rank[kRooms[i]] = i;
    // A folder the table does not place is a room nobody decided the place of.
    for (const auto& entry : fs::directory_iterator(src)) {
        if (entry.is_directory()) {
            EXPECT_TRUE(rank.count(entry.path().filename().string())) << "unplaced room " << entry.path().filename();
        }
    }

    std::vector<std::string> upward;
    size_t checked = 0;
    for (const auto& entry : fs::directory_iterator(src)) {
        // The files at the top of src/ wire the rooms together: they stand with the host.
        const std::string room = entry.is_directory() ? entry.path().filename().string() : "host";
        if (!rank.count(room)) continue;
        for (const auto& inc : includesUnder(entry.path(), root)) {
            if (!isKitHeader(inc.name)) continue;
            ++checked;
            const std::string target = roomOf(inc.name);
            const size_t targetRank = rank.count(target) ? rank[target] : rank["host"];
            if (targetRank > rank[room]) upward.push_back(inc.where + " " + inc.name);
        }
    }
    EXPECT_GT(checked, 1000u);
    EXPECT_TRUE(upward.empty()) << upward.size() << " includes run upward: " << ::testing::PrintToString(upward);
}

TEST_F(LayeringTest, PublicHeadersIncludeOnlyEachOther) {
    std::vector<std::string> inward;
    for (const auto& inc : includesUnder(include, root))
        if (!inc.name.starts_with("velkora/") || !fs::exists(include / inc.name))
            inward.push_back(inc.where + " " + inc.name);
    EXPECT_TRUE(inward.empty()) << ::testing::PrintToString(inward);
}

} // namespace
