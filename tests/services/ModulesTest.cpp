// The stand-in modules: with them every class and constant the kit looks up by name resolves; without
// them every one is missing, as on a device without those frameworks.
#include <gtest/gtest.h>

#include <filesystem>

#include "BuildPaths.h"
#include "platform/foundation/Log.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"

using velkora::VelkoraDynamicFrameworkLoader;

namespace {

struct ModuleClass {
    const char* name;
    const char* superclassName;
    const char* framework;
};

enum class Kind { Class, Text, Integer };

struct Name {
    const char* framework;
    const char* name;
    Kind kind;
    const char* text; // a text constant's value
    int32_t integer;  // an integer constant's value
};

const Name kNames[] = {
    {"AdSupport", "ASIdentifierManager", Kind::Class, nullptr, 0},
    {"CoreLocation", "CLLocationManager", Kind::Class, nullptr, 0},
    {"CoreLocation", "CLLocation", Kind::Class, nullptr, 0},
    {"Social", "SLComposeViewController", Kind::Class, nullptr, 0},
    {"Social", "SLRequest", Kind::Class, nullptr, 0},
    {"Social", "SLServiceTypeTwitter", Kind::Text, "com.velkora.device.social.twitter", 0},
    {"Accounts", "ACAccountStore", Kind::Class, nullptr, 0},
    {"Accounts", "ACAccountTypeIdentifierTwitter", Kind::Text, "com.velkora.device.account.twitter", 0},
    {"MessageUI", "MFMailComposeViewController", Kind::Class, nullptr, 0},
    {"QuartzCore", "CABasicAnimation", Kind::Class, nullptr, 0},
    {"MobileCoreServices", "kUTTypeImage", Kind::Text, "public.image", 0},
    {"StoreKit", "SKPaymentQueue", Kind::Class, nullptr, 0},
    {"StoreKit", "SKPayment", Kind::Class, nullptr, 0},
    {"StoreKit", "SKProductsRequest", Kind::Class, nullptr, 0},
    {"AddressBook", "kABPersonEmailProperty", Kind::Integer, nullptr, 4},
    {"AddressBook", "kABPersonFirstNameProperty", Kind::Integer, nullptr, 0},
    {"AddressBook", "kABPersonLastNameProperty", Kind::Integer, nullptr, 1},
};

class ModulesTest : public ::testing::Test {
protected:
    void TearDown() override { VelkoraDynamicFrameworkLoader::resetCachesForTests(); }
    static void useTemplate(const std::string& pathTemplate) {
        VelkoraDynamicFrameworkLoader::resetCachesForTests();
        VelkoraDynamicFrameworkLoader::setFrameworkPathTemplate(pathTemplate);
    }
};

TEST_F(ModulesTest, WithTheModulesEveryNameResolves) {
    useTemplate(VELKORA_BUILD_FRAMEWORK_TEMPLATE);
    for (const Name& n : kNames) {
        switch (n.kind) {
        case Kind::Class: {
            auto* cls = static_cast<const ModuleClass*>(VelkoraDynamicFrameworkLoader::loadClass(n.name, n.framework));
            ASSERT_NE(cls, nullptr) << n.name;
            EXPECT_STREQ(cls->name, n.name);
            break;
        }
        case Kind::Text:
            EXPECT_EQ(VelkoraDynamicFrameworkLoader::loadStringConstant(n.name, n.framework), n.text) << n.name;
            break;
        case Kind::Integer:
            EXPECT_NE(VelkoraDynamicFrameworkLoader::loadSymbol(n.name, n.framework), nullptr) << n.name;
            EXPECT_EQ(VelkoraDynamicFrameworkLoader::loadIntegerConstant(n.name, n.framework), n.integer) << n.name;
            break;
        }
    }
    // A module exports what the kit looks up and nothing of the framework's behaviour.
    EXPECT_EQ(VelkoraDynamicFrameworkLoader::loadClass("SKProduct", "StoreKit"), nullptr);
    EXPECT_EQ(VelkoraDynamicFrameworkLoader::loadSymbol("ABAddressBookCreateWithOptions", "AddressBook"), nullptr);
}

TEST_F(ModulesTest, WithoutTheModulesEveryNameIsMissingAndEachFrameworkIsTriedOnce) {
    auto empty = std::filesystem::temp_directory_path() / ("velkora-no-modules-" + std::to_string(::getpid()));
    std::filesystem::create_directories(empty);
    useTemplate(empty.string() + "/%@/lib%@.so");
    velkora::foundation::Log::Capture capture;
    for (int round = 0; round < 2; ++round) {
        for (const Name& n : kNames) {
            EXPECT_EQ(
                VelkoraDynamicFrameworkLoader::loadSymbol(
                    n.kind == Kind::Class ? std::string("OBJC_CLASS_$_") + n.name : std::string(n.name), n.framework),
                nullptr)
                << n.name;
            EXPECT_EQ(VelkoraDynamicFrameworkLoader::loadStringConstant(n.name, n.framework), std::nullopt);
        }
    }
    EXPECT_EQ(capture.count("Velkora - Failed to load library at"), 9u); // nine frameworks, once each
    std::filesystem::remove_all(empty);
}

} // namespace
