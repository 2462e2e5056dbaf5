#include <gtest/gtest.h>

#include <filesystem>

#include "BuildPaths.h"
#include "foundation/TempDir.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileIO.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/StringsFile.h"

using namespace velkora::foundation;
using velkora::testing::TempDir;

namespace {

TEST(StringsFileTest, EntriesCommentsAndEscapes) {
    auto table = parseStringsFile("\xEF\xBB\xBF/* header\n comment */\n"
                                  "\"velkora_text_a\" = \"A\"; // trailing\n"
                                  "\"quote\" = \"say \\\"hi\\\"\\\\ \\n\\tend\";\n"
                                  "\"euro\" = \"\\U20AC \\u00e9\";\n"
                                  "\"smile\"=\"\\UD83D\\UDE00\";\n"
                                  "\"lone\" = \"\\UD83D!\";\n"
                                  "bare_key = bare.value;\n"
                                  "\"self\";\n"
                                  "\"velkora_text_a\" = \"A again\";\n"
                                  "\"utf8\" = \"Grüße\";");
    ASSERT_TRUE(table);
    auto& t = *table;
    EXPECT_EQ(t.at("velkora_text_a"), "A again"); // the later entry wins
    EXPECT_EQ(t.at("quote"), "say \"hi\"\\ \n\tend");
    EXPECT_EQ(t.at("euro"), "\u20AC \u00e9");
    EXPECT_EQ(t.at("smile"), "\U0001F600");
    EXPECT_EQ(t.at("lone"), "\uFFFD!");
    EXPECT_EQ(t.at("bare_key"), "bare.value");
    EXPECT_EQ(t.at("self"), "self");
    EXPECT_EQ(t.at("utf8"), "Grüße");
    EXPECT_EQ(t.size(), 8u);
}

TEST(StringsFileTest, MalformedTextFailsWithItsLine) {
    struct Case {
        const char* text;
        const char* error;
    } cases[] = {
        {"\"a\" = \"b\"", "line 1: expected ';' after a value"},
        {"\"a\" = \"b\";\n\"c\" \"d\";", "line 2: expected '=' after a key"},
        {"\"a\" = \"b", "line 1: unterminated string"},
        {"\"a\" = \"b\\", "line 1: unterminated string"},
        {"/* open\n\n", "line 1: unterminated comment"},
        {"\"a\" = \"\\U12\";", "line 1: bad \\U escape"},
        {"\"a\" = ;", "line 1: expected a quoted string"},
        {"= \"b\";", "line 1: expected a quoted string"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(parseStringsFile(c.text, &error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
    auto empty = parseStringsFile("  // nothing\n/* */ ");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
}

TEST(BundleTest, LocalizedStringsFromTheKitsTableAndMissingKeysGiveTheKey) {
    Bundle bundle;
    EXPECT_EQ(bundle.localizedString("velkora_text_ok"), "OK");
    EXPECT_EQ(bundle.localizedString("velkora_text_cancel"), "Cancel");
    EXPECT_EQ(bundle.localizedString("velkora_text_no_such_key"), "velkora_text_no_such_key");
    EXPECT_EQ(bundle.localizedString("velkora_text_ok", "NoSuchTable"), "velkora_text_ok");
}

TEST(BundleTest, TablesComeFromTheResourcesFolderAndAreReadOnce) {
    TempDir dir;
    ASSERT_TRUE(writeFileAtomically(dir / "T.strings", "\"k\" = \"v1\";"));
    ASSERT_TRUE(writeFileAtomically(dir / "Broken.strings", "\"k\" = "));
    Bundle bundle;
    bundle.setResourcesPath(dir.path());
    EXPECT_EQ(bundle.resourcesPath(), dir.path());
    EXPECT_EQ(bundle.localizedString("k", "T"), "v1");
    ASSERT_TRUE(writeFileAtomically(dir / "T.strings", "\"k\" = \"v2\";"));
    EXPECT_EQ(bundle.localizedString("k", "T"), "v1");
    {
        Log::Capture capture;
        EXPECT_EQ(bundle.localizedString("k", "Broken"), "k");
        EXPECT_EQ(bundle.localizedString("k", "Broken"), "k");
        EXPECT_EQ(capture.count("Velkora (E) - strings table"), 1u);
    }
    bundle.setResourcesPath(dir.path()); // a new folder is read afresh
    EXPECT_EQ(bundle.localizedString("k", "T"), "v2");
}

TEST(BundleTest, ResourcePaths) {
    TempDir dir;
    ASSERT_TRUE(createDirectories(dir / "interfaces"));
    ASSERT_TRUE(writeFileAtomically(dir / "interfaces/Menu.json", "{}"));
    ASSERT_TRUE(writeFileAtomically(dir / "README", ""));
    Bundle bundle;
    bundle.setResourcesPath(dir.path());
    EXPECT_EQ(bundle.pathForResource("interfaces/Menu", "json"), dir / "interfaces/Menu.json");
    EXPECT_EQ(bundle.pathForResource("README", ""), dir / "README");
    EXPECT_EQ(bundle.pathForResource("interfaces/Missing", "json"), "");
    EXPECT_EQ(bundle.pathForResource("../etc/passwd", ""), "");
    EXPECT_EQ(bundle.pathForResource("interfaces/../README", ""), "");
}

TEST(BundleTest, DefaultResourcesFolderFollowsTheEnvironment) {
    Bundle bundle;
    setenv("VELKORA_RESOURCES", "/some/where", 1);
    EXPECT_EQ(bundle.resourcesPath(), "/some/where");
    unsetenv("VELKORA_RESOURCES");
    // The build tree's data folder, found as an install's is: from where the program lies.
    EXPECT_TRUE(std::filesystem::equivalent(bundle.resourcesPath(), VELKORA_BUILD_DATA_DIR));
}

TEST(BundleTest, InfoDictionary) {
    Bundle bundle;
    EXPECT_TRUE(bundle.objectForInfoDictionaryKey("CFBundleIcons").isNull());
    bundle.setInfoDictionary(Value(Dictionary{{"UIStatusBarHidden", true}, {"Name", "Host"}}));
    EXPECT_EQ(bundle.objectForInfoDictionaryKey("Name"), Value("Host"));
    EXPECT_TRUE(bundle.objectForInfoDictionaryKey("UIStatusBarHidden").boolOr(false));
    EXPECT_TRUE(bundle.objectForInfoDictionaryKey("Missing").isNull());
    EXPECT_EQ(bundle.infoDictionary().size(), 2u);
    EXPECT_EQ(&Bundle::main(), &Bundle::main());
}

TEST(BundleTest, InfoDictionaryFromAJsonFile) {
    TempDir dir;
    ASSERT_TRUE(writeFileAtomically(
        dir / "Info.json", R"({"CFBundleURLTypes":[{"CFBundleURLSchemes":["fb123"]}],"UIStatusBarHidden":true})"));
    Bundle bundle;
    ASSERT_TRUE(bundle.loadInfoDictionaryFile(dir / "Info.json"));
    EXPECT_EQ(bundle.objectForInfoDictionaryKey("CFBundleURLTypes").at(0)["CFBundleURLSchemes"].at(0), Value("fb123"));

    // Whatever is wrong with a file, the dictionary already loaded stays.
    struct Case {
        const char* file;
        const char* text;
        const char* logged;
    } cases[] = {
        {"missing.json", nullptr, "cannot be read"},
        {"broken.json", "{\"a\":", "is not JSON"},
        {"array.json", "[1,2]", "is not a JSON object"},
    };
    for (const auto& c : cases) {
        if (c.text) {
            ASSERT_TRUE(writeFileAtomically(dir / c.file, c.text));
        }
        Log::Capture capture;
        EXPECT_FALSE(bundle.loadInfoDictionaryFile(dir / c.file)) << c.file;
        EXPECT_TRUE(capture.contains(c.logged)) << c.file;
        EXPECT_TRUE(bundle.objectForInfoDictionaryKey("UIStatusBarHidden").boolOr(false)) << c.file;
    }
}

} // namespace
