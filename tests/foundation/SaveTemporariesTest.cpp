// Saves clean up after saves that were killed midway, without touching what other writers are doing;
// pictures are written the same crash-safe way.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "foundation/TempDir.h"
#include "platform/foundation/FileIO.h"
#include "platform/ui/Image.h"

using namespace velkora;
using namespace velkora::foundation;
using velkora::testing::entriesOf;
using velkora::testing::TempDir;

namespace {

constexpr const char* kUuid = "0f8fad5b-d9cb-469f-a165-70867728950e";

// The id of a process that has ended.
pid_t deadProcess() {
    pid_t child = fork();
    if (child == 0) _exit(0);
    int status = 0;
    waitpid(child, &status, 0);
    return child;
}

TEST(SaveTemporariesTest, ASaveRemovesTheTemporariesOfKilledSavesOfItsFileOnly) {
    TempDir dir;
    const std::string pid = std::to_string(deadProcess());
    const std::string alive = std::to_string(getppid());
    struct Planted {
        std::string name;
        bool staysAfterTheSave;
    } planted[] = {
        {".archive.dat." + pid + "-" + kUuid + ".tmp", false},  // a save killed midway
        {std::string(".archive.dat.") + kUuid + ".tmp", false}, // the same, from before the pid was in the name
        {".archive.dat." + std::to_string(getpid()) + "-" + kUuid + ".tmp", false}, // this process's, not in flight
        {".archive.dat." + alive + "-" + kUuid + ".tmp", true},                     // another process is writing it now
        {".archive.dat.bak." + pid + "-" + kUuid + ".tmp", true},                   // another file's
        {"archive.dat.tmp", true},                                                  // not a temporary of ours
        {".archive.dat." + pid + "-not-a-uuid.tmp", true},
    };
    for (const Planted& p : planted)
        ASSERT_TRUE(writeFileAtomically(dir / p.name, "left over"));

    ASSERT_TRUE(writeFileAtomically(dir / "archive.dat", "saved"));
    std::vector<std::string> expected{"archive.dat"};
    for (const Planted& p : planted)
        if (p.staysAfterTheSave) expected.push_back(p.name);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(entriesOf(dir.path()), expected);
    EXPECT_EQ(readFile(dir / "archive.dat"), "saved");
}

TEST(SaveTemporariesTest, PicturesAreWrittenWholeAndNeverThroughAPlantedLink) {
    TempDir dir;
    auto image = ui::Image::create(4, 3);
    image->setPixelAt(1, 1, 0xFF336699);
    const std::string victim = dir / "victim.txt";
    ASSERT_TRUE(writeFileAtomically(victim, "not yours"));
    struct Case {
        const char* name;
        bool (*write)(const ui::Image&, const std::string&);
        ui::ImageFormat format;
    } cases[] = {
        {"picture.png", [](const ui::Image& i, const std::string& p) { return i.writePng(p); }, ui::ImageFormat::Png},
        {"picture.jpg", [](const ui::Image& i, const std::string& p) { return i.writeJpeg(p, 0.9); },
         ui::ImageFormat::Jpeg},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir / c.name;
        std::filesystem::create_symlink(victim, path + ".tmp");
        ASSERT_TRUE(c.write(*image, path));
        EXPECT_EQ(readFile(victim), "not yours");
        auto header = ui::Image::headerOfFile(path);
        ASSERT_TRUE(header);
        EXPECT_EQ(header->format, c.format);
        EXPECT_EQ(header->pixelWidth, 4);
        std::filesystem::remove(path + ".tmp");
    }
    EXPECT_EQ(entriesOf(dir.path()), (std::vector<std::string>{"picture.jpg", "picture.png", "victim.txt"}));
}

} // namespace
