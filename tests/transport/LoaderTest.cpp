// The framework loader against the build tree's AudioToolbox module and a fixture framework.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "platform/foundation/Log.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"
#include "BuildPaths.h"

using velkora::VelkoraDynamicFrameworkLoader;
using velkora::foundation::Log;

namespace {

class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        VelkoraDynamicFrameworkLoader::resetCachesForTests();
        VelkoraDynamicFrameworkLoader::setFrameworkPathTemplate(VELKORA_TEST_FRAMEWORK_TEMPLATE);
    }
    void TearDown() override { VelkoraDynamicFrameworkLoader::resetCachesForTests(); }

    static std::string pathOf(const std::string& tmpl, const std::string& name) {
        return velkora::foundation::format(tmpl, name, name);
    }
};

TEST_F(LoaderTest, OpensALibraryOnceAndReadsEveryKindOfName) {
    Log::Capture capture;
    const std::string path = pathOf(VELKORA_TEST_FRAMEWORK_TEMPLATE, "TestKit");

    struct TestKitClass {
        const char* name;
        int32_t (*answer)();
    };
    auto* cls = static_cast<const TestKitClass*>(VelkoraDynamicFrameworkLoader::loadClass("TestKitWidget", "TestKit"));
    ASSERT_NE(cls, nullptr);
    EXPECT_STREQ(cls->name, "TestKitWidget");
    EXPECT_EQ(cls->answer(), 42);
    EXPECT_EQ(VelkoraDynamicFrameworkLoader::loadClass("NoSuchClass", "TestKit"), nullptr);
    EXPECT_EQ(VelkoraDynamicFrameworkLoader::loadStringConstant("TestKitGreeting", "TestKit"), "hello from TestKit");
    EXPECT_EQ(VelkoraDynamicFrameworkLoader::loadIntegerConstant("TestKitAnswer", "TestKit"), 42);
    EXPECT_DOUBLE_EQ(VelkoraDynamicFrameworkLoader::loadDoubleConstant("TestKitRatio", "TestKit"), 1.5);
    using Add = int32_t (*)(int32_t, int32_t);
    auto add = reinterpret_cast<Add>(VelkoraDynamicFrameworkLoader::loadSymbol("TestKitAdd", "TestKit"));
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add(2, 3), 5);
    // Absent names read as nothing, never through a null address.
    EXPECT_EQ(VelkoraDynamicFrameworkLoader::loadStringConstant("TestKitMissing", "TestKit"), std::nullopt);
    EXPECT_EQ(VelkoraDynamicFrameworkLoader::loadIntegerConstant("TestKitMissing", "TestKit"), 0);

    // The same symbol twice is one cached address.
    EXPECT_EQ(velkoraLoadSymbol(path.c_str(), "TestKitAdd"), reinterpret_cast<void*>(add));
    EXPECT_EQ(capture.count("Velkora - Dynamically loaded library at " + path), 1u);
    EXPECT_EQ(capture.lines().size(), 1u);
}

TEST_F(LoaderTest, AMissingFrameworkFailsOnceThenAnswersNullSilently) {
    Log::Capture capture;
    const std::string path = pathOf(VELKORA_TEST_FRAMEWORK_TEMPLATE, "NoSuchKit");
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(VelkoraDynamicFrameworkLoader::loadSymbol("Anything", "NoSuchKit"), nullptr);
        EXPECT_EQ(VelkoraDynamicFrameworkLoader::loadClass("Anything", "NoSuchKit"), nullptr);
        EXPECT_EQ(VelkoraDynamicFrameworkLoader::loadStringConstant("Anything", "NoSuchKit"), std::nullopt);
    }
    EXPECT_EQ(capture.count("Velkora - Failed to load library at " + path), 1u);
    EXPECT_EQ(capture.lines().size(), 1u);
}

TEST_F(LoaderTest, AChangedTemplateAppliesToLaterLookupsAndKeepsOldEntries) {
    void* before = VelkoraDynamicFrameworkLoader::loadSymbol("TestKitAdd", "TestKit");
    ASSERT_NE(before, nullptr);
    const std::string oldPath = pathOf(VELKORA_TEST_FRAMEWORK_TEMPLATE, "TestKit");

    VelkoraDynamicFrameworkLoader::setFrameworkPathTemplate("/nonexistent/velkora/%@/lib%@.so");
    Log::Capture capture;
    EXPECT_EQ(VelkoraDynamicFrameworkLoader::loadSymbol("TestKitAdd", "TestKit"), nullptr);
    EXPECT_EQ(capture.count("Velkora - Failed to load library at /nonexistent/velkora/TestKit/libTestKit.so"), 1u);
    // Still cached under the old path, with no new attempt.
    EXPECT_EQ(velkoraLoadSymbol(oldPath.c_str(), "TestKitAdd"), before);
    EXPECT_EQ(capture.count("Dynamically loaded"), 0u);
}

TEST_F(LoaderTest, TheAudioModuleWorksAndTheKitRunsWithoutIt) {
    // Installed: the wrappers reach the module.
    VelkoraDynamicFrameworkLoader::setFrameworkPathTemplate(VELKORA_BUILD_FRAMEWORK_TEMPLATE);
    auto sound = std::filesystem::temp_directory_path() / ("velkora-sound-" + std::to_string(::getpid()) + ".wav");
    { std::FILE* f = std::fopen(sound.c_str(), "wb"); ASSERT_NE(f, nullptr); std::fputs("RIFF", f); std::fclose(f); }
    std::string url = "file://" + sound.string();
    {
        Log::Capture capture;
        uint32_t id = 0;
        EXPECT_EQ(VelkoraDFL_AudioServicesCreateSystemSoundID(url.c_str(), &id), 0);
        EXPECT_NE(id, 0u);
        VelkoraDFL_AudioServicesPlaySystemSound(id);
        using Count = uint64_t (*)();
        auto played = reinterpret_cast<Count>(VelkoraDynamicFrameworkLoader::loadSymbol("VelkoraAudioToolboxPlayedCount", "AudioToolbox"));
        ASSERT_NE(played, nullptr);
        EXPECT_EQ(played(), 1u);
        EXPECT_EQ(VelkoraDFL_AudioServicesDisposeSystemSoundID(id), 0);
        EXPECT_EQ(VelkoraDFL_AudioServicesDisposeSystemSoundID(id), -50);
        uint32_t none = 0;
        EXPECT_EQ(VelkoraDFL_AudioServicesCreateSystemSoundID("file:///nonexistent.wav", &none), -1500);
        EXPECT_EQ(capture.count("Velkora - Dynamically loaded library at"), 1u);
    }

    // Removed: the same calls answer "unspecified error" and play nothing, and nothing crashes.
    VelkoraDynamicFrameworkLoader::resetCachesForTests();
    auto empty = std::filesystem::temp_directory_path() / ("velkora-no-modules-" + std::to_string(::getpid()));
    std::filesystem::create_directories(empty);
    VelkoraDynamicFrameworkLoader::setFrameworkPathTemplate(empty.string() + "/%@/lib%@.so");
    Log::Capture capture;
    uint32_t id = 7;
    EXPECT_EQ(VelkoraDFL_AudioServicesCreateSystemSoundID(url.c_str(), &id), -1500);
    EXPECT_EQ(id, 7u);
    VelkoraDFL_AudioServicesPlaySystemSound(id);
    EXPECT_EQ(VelkoraDFL_AudioServicesDisposeSystemSoundID(id), -1500);
    EXPECT_EQ(capture.count("Velkora - Failed to load library at"), 1u);
    std::filesystem::remove(sound);
    std::filesystem::remove_all(empty);
}

TEST_F(LoaderTest, TheDefaultTemplateIsTheModulesFolderBesideTheKit) {
    VelkoraDynamicFrameworkLoader::resetCachesForTests();
    ::unsetenv("VELKORA_FRAMEWORK_PATH_TEMPLATE");
    // Linked statically, the kit lies in this program.
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec).parent_path().string();
    EXPECT_EQ(VelkoraDynamicFrameworkLoader::frameworkPathTemplate(), self + "/velkora/modules/%@/lib%@.so");
    ::setenv("VELKORA_FRAMEWORK_PATH_TEMPLATE", "/opt/x/%@.so", 1);
    VelkoraDynamicFrameworkLoader::resetCachesForTests();
    EXPECT_EQ(VelkoraDynamicFrameworkLoader::frameworkPathTemplate(), "/opt/x/%@.so");
    ::unsetenv("VELKORA_FRAMEWORK_PATH_TEMPLATE");
}

}  // namespace
