// Writes handed to the writer thread: whatever this process reads, writes or removes afterwards sees them
// landed, in the order they were asked, and ThreadSanitizer finds nothing to report.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "foundation/TempDir.h"
#include "platform/foundation/FileIO.h"

using namespace velkora::foundation;
using velkora::testing::entriesOf;
using velkora::testing::TempDir;

namespace {

TEST(BackgroundWritesTSan, EveryReaderSeesTheNewestWriteAndEachCallerHearsOnce) {
    TempDir dir;
    const std::string path = dir / "record.dat";
    std::atomic<int> heard{0}, failed{0};
    // A large first write keeps the thread busy while the later ones queue up behind it.
    std::vector<std::string> contents{std::string(4 << 20, 'a')};
    for (int i = 0; i < 200; ++i)
        contents.push_back("save " + std::to_string(i));
    for (const std::string& text : contents) {
        writeFileAtomicallyInBackground(path, text, [&](const ErrorPtr& error) {
            ++heard;
            if (error) ++failed;
        });
    }
    EXPECT_EQ(readFile(path), contents.back());
    waitForBackgroundWrites();
    EXPECT_EQ(heard.load(), static_cast<int>(contents.size()));
    EXPECT_EQ(failed.load(), 0);
    EXPECT_EQ(entriesOf(dir.path()), std::vector<std::string>{"record.dat"});
}

TEST(BackgroundWritesTSan, WhatTheProcessDoesNextToAPathComesAfterItsWaitingWrites) {
    TempDir dir;
    const std::string big(4 << 20, 'b');
    struct Case {
        const char* what;
        std::function<void(const std::string&)> next;
        std::optional<std::string> expected;
    };
    const std::vector<Case> cases{
        {"a write made at once", [](const std::string& p) { ASSERT_TRUE(writeFileAtomically(p, "now")); }, "now"},
        {"a removal", [](const std::string& p) { ASSERT_TRUE(removeFile(p)); }, std::nullopt},
        {"a look for the file", [&](const std::string& p) { EXPECT_TRUE(fileExists(p)); }, big},
    };
    for (const Case& c : cases) {
        const std::string path = dir / (std::string(c.what) + ".dat");
        writeFileAtomicallyInBackground(path, big);
        c.next(path);
        waitForBackgroundWrites();
        EXPECT_EQ(readFile(path), c.expected) << c.what;
    }
}

TEST(BackgroundWritesTSan, WritesFromSeveralThreadsAllLand) {
    TempDir dir;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i)
                writeFileAtomicallyInBackground(dir / (std::string("t").append(std::to_string(t)) + ".dat"),
                                                std::to_string(i));
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (int t = 0; t < 4; ++t)
        EXPECT_EQ(readFile(dir / (std::string("t").append(std::to_string(t)) + ".dat")), "49");
}

TEST(BackgroundWritesTSan, AFailedWriteTellsItsCallerWhy) {
    TempDir dir;
    std::mutex m;
    ErrorPtr told;
    writeFileAtomicallyInBackground(dir / "missing/record.dat", "x", [&](const ErrorPtr& error) {
        std::lock_guard lock(m);
        told = error;
    });
    waitForBackgroundWrites();
    std::lock_guard lock(m);
    ASSERT_TRUE(told);
    EXPECT_EQ(told->domain, kFileErrorDomain);
    EXPECT_EQ(told->code, ENOENT);
}

} // namespace
