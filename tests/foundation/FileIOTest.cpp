#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "foundation/TempDir.h"
#include "platform/foundation/FileIO.h"
#include "platform/foundation/Paths.h"

using namespace velkora::foundation;
using velkora::testing::entriesOf;
using velkora::testing::TempDir;

namespace {

TEST(FileIOTest, AtomicWriteReplacesTheFileAndLeavesNothingElse) {
    TempDir dir;
    std::string path = dir / "archive.dat";
    ASSERT_TRUE(writeFileAtomically(path, "first"));
    ASSERT_TRUE(writeFileAtomically(path, std::string("sec\0ond", 7)));
    EXPECT_EQ(readFile(path), std::string("sec\0ond", 7));
    EXPECT_EQ(entriesOf(dir.path()), std::vector<std::string>{"archive.dat"});
    ASSERT_TRUE(writeFileAtomically(path, ""));
    EXPECT_EQ(readFile(path), "");
}

TEST(FileIOTest, AtomicWriteKeepsTheOldFilesPermissions) {
    TempDir dir;
    std::string path = dir / "private.dat";
    ASSERT_TRUE(writeFileAtomically(path, "a"));
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    ASSERT_TRUE(writeFileAtomically(path, "b"));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST(FileIOTest, WriteThatIsKilledMidwayLeavesTheOldFileWhole) {
    TempDir dir;
    std::string path = dir / "archive.dat";
    ASSERT_TRUE(writeFileAtomically(path, "the old archive"));

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::string huge(256u << 20, 'x');
        writeFileAtomically(path, huge);
        _exit(0);
    }
    // Kill the writer as soon as its temporary file has started to fill.
    bool sawPartial = false;
    while (!sawPartial) {
        for (auto& e : std::filesystem::directory_iterator(dir.path())) {
            std::error_code ec;
            auto size = std::filesystem::file_size(e.path(), ec);
            if (e.path().filename() != "archive.dat" && !ec && size > 0) sawPartial = true;
        }
        int status = 0;
        if (!sawPartial && waitpid(child, &status, WNOHANG) == child)
            FAIL() << "the writer finished before it was killed";
    }
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));

    EXPECT_EQ(readFile(path), "the old archive");
    // The next write still works, and clears what the killed one left behind.
    EXPECT_TRUE(writeFileAtomically(path, "new"));
    EXPECT_EQ(readFile(path), "new");
    EXPECT_EQ(entriesOf(dir.path()), std::vector<std::string>{"archive.dat"});
}

TEST(FileIOTest, AChildForkedAfterBackgroundWritesHasAWriterOfItsOwn) {
    TempDir dir;
    // The parent's writer thread is made, then idle: a fork copies only the forking thread, so the child
    // has none, whatever the parent's state says.
    writeFileAtomicallyInBackground(dir / "parent.dat", "parent's");
    waitForBackgroundWrites();
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        alarm(20); // a child waiting for its parent's writer would hang: it dies instead
        writeFileAtomicallyInBackground(dir / "child.dat", "mine");
        bool ok = readFile(dir / "child.dat") == "mine" && writeFileAtomically(dir / "other.dat", "also");
        _exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child was killed: it waited for a writer it does not have";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readFile(dir / "child.dat"), "mine");
}

TEST(FileIOTest, FailedWriteIsReportedAndLeavesTheOldFileAndNoTemporary) {
    TempDir dir;
    std::string path = dir / "archive.dat";
    ASSERT_TRUE(writeFileAtomically(path, "old"));

    // A file-size limit makes the write fail half-way, as a full disk would.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        ErrorPtr error;
        bool ok = writeFileAtomically(path, std::string(1 << 20, 'y'), &error);
        bool reported = error && error->domain == kFileErrorDomain && error->code == EFBIG;
        _exit(!ok && reported ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readFile(path), "old");
    EXPECT_EQ(entriesOf(dir.path()), std::vector<std::string>{"archive.dat"});
}

TEST(FileIOTest, WriteIntoAMissingFolderFailsWithAnError) {
    TempDir dir;
    ErrorPtr error;
    EXPECT_FALSE(writeFileAtomically(dir / "missing/archive.dat", "x", &error));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, ENOENT);
    EXPECT_FALSE(writeFileAtomically("", "x"));
}

TEST(FileIOTest, SmallHelpers) {
    TempDir dir;
    EXPECT_FALSE(readFile(dir / "none"));
    EXPECT_FALSE(readFile(dir.path())); // a folder is not a file
    EXPECT_TRUE(createDirectories(dir / "a/b/c"));
    EXPECT_TRUE(fileExists(dir / "a/b/c"));
    EXPECT_TRUE(writeFileAtomically(dir / "a/b/c/f", "1"));
    EXPECT_TRUE(removeFile(dir / "a/b/c/f"));
    EXPECT_FALSE(fileExists(dir / "a/b/c/f"));
    EXPECT_TRUE(removeFile(dir / "a/b/c/f")); // already gone
    EXPECT_TRUE(writeFileAtomically(dir / "blocker", "1"));
    EXPECT_FALSE(createDirectories(dir / "blocker/sub"));
    EXPECT_TRUE(removeTree(dir / "a"));
    EXPECT_FALSE(fileExists(dir / "a"));
    EXPECT_TRUE(removeTree(dir / "a"));
    std::string other = createTemporaryDirectory("velkora-test-");
    EXPECT_NE(other, dir.path());
    EXPECT_TRUE(std::filesystem::is_directory(other));
    EXPECT_TRUE(removeTree(other));
}

TEST(PathsTest, RootGivesThreeFoldersCreatedOnDemand) {
    TempDir dir;
    Paths::setRoot(dir / "root");
    EXPECT_EQ(Paths::documents(), dir / "root/Documents");
    EXPECT_EQ(Paths::caches(), dir / "root/Caches");
    EXPECT_EQ(Paths::temp(), dir / "root/tmp");
    for (auto* sub : {"root/Documents", "root/Caches", "root/tmp"})
        EXPECT_TRUE(std::filesystem::is_directory(dir / sub));
    Paths::setCaches(dir / "elsewhere");
    EXPECT_EQ(Paths::caches(), dir / "elsewhere");
    Paths::reset();
}

TEST(PathsTest, SharedTempFolderPlantedBySomeoneElseIsNotUsed) {
    TempDir dir;
    Paths::reset();
    setenv("TMPDIR", dir.path().c_str(), 1);
    Paths::setAppName("Host");
    std::string expected = dir / ("velkora-Host-" + std::to_string(getuid()));
    ASSERT_TRUE(createDirectories(dir / "elsewhere"));
    ASSERT_EQ(::symlink((dir / "elsewhere").c_str(), expected.c_str()), 0);
    std::string temp = Paths::temp();
    EXPECT_NE(temp, expected);
    EXPECT_NE(temp.find("velkora-Host-"), std::string::npos);
    EXPECT_EQ(Paths::temp(), temp); // one folder for the whole run
    removeTree(temp);
    unsetenv("TMPDIR");
    Paths::reset();
}

TEST(PathsTest, DefaultsFollowXdg) {
    TempDir dir;
    Paths::reset();
    setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    setenv("XDG_CACHE_HOME", (dir / "cache").c_str(), 1);
    setenv("TMPDIR", dir.path().c_str(), 1);
    Paths::setAppName("Host/App");
    EXPECT_EQ(Paths::documents(), dir / "data/velkora/Host_App");
    EXPECT_EQ(Paths::caches(), dir / "cache/velkora/Host_App");
    EXPECT_EQ(Paths::temp(), dir / ("velkora-Host_App-" + std::to_string(getuid())));
    EXPECT_TRUE(std::filesystem::is_directory(Paths::documents()));
    unsetenv("XDG_DATA_HOME");
    unsetenv("XDG_CACHE_HOME");
    unsetenv("TMPDIR");
    Paths::reset();
}

} // namespace
