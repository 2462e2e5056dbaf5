#include <gtest/gtest.h>

#include "SessionTestSupport.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Image.h"
#include "platform/ui/Label.h"
#include "data/VelkoraAppData.h"

using namespace velkora;
using foundation::Array;
using foundation::Dictionary;
using foundation::Value;

namespace {

class AppSettingsTest : public velkora::testing::SessionTest {
protected:
    // The icons are looked for in this test's folder only while it runs: the kit's own pictures come
    // back for the tests after it.
    void TearDown() override {
        ui::Image::resetImageSearchPaths();
        ui::Image::clearNamedCache();
        foundation::Bundle::main().setInfoDictionary(Value());
        VelkoraAppSettings::resetForTests();
        SessionTest::TearDown();
    }
    void setInfo(Value info) {
        foundation::Bundle::main().setInfoDictionary(std::move(info));
        VelkoraAppSettings::resetForTests();
    }
    void writeIcon(const std::string& name, int side) {
        auto image = ui::Image::create(side, side);
        ASSERT_TRUE(image);
        ASSERT_TRUE(image->writePng(root_ + "/icons/" + name));
    }
};

TEST_F(AppSettingsTest, IconChoiceFollowsTheRetinaRuleThenTheFirstFile) {
    std::filesystem::create_directories(root_ + "/icons");
    writeIcon("Icon.png", 10);
    writeIcon("Icon@2x.png", 20);
    writeIcon("Icon-72@2x.png", 30);
    ui::Image::setImageSearchPaths({root_ + "/icons"});
    setInfo(Dictionary{{"CFBundleIconFiles", Array{"Icon.png", "Icon@2x.png", "Icon-72@2x.png"}}});
    ASSERT_TRUE(VelkoraAppSettings::appLogo());
    EXPECT_EQ(VelkoraAppSettings::appLogo()->pixelWidth(), 30);

    setInfo(Dictionary{{"CFBundleIconFiles", Array{"Icon.png", "Icon-72@2x.png"}}});
    EXPECT_EQ(VelkoraAppSettings::appLogo()->pixelWidth(), 30);
    setInfo(Dictionary{{"CFBundleIconFiles", Array{"Icon.png"}}});
    EXPECT_EQ(VelkoraAppSettings::appLogo()->pixelWidth(), 10);
    setInfo(Dictionary{{"CFBundleIcons",
                        Dictionary{{"CFBundlePrimaryIcon", Dictionary{{"CFBundleIconFiles", Array{"Icon@2x.png"}}}}}}});
    EXPECT_EQ(VelkoraAppSettings::appLogo()->pixelWidth(), 20);
}

TEST_F(AppSettingsTest, FacebookIdComesOnlyFromTheFirstSchemeOfTheFirstType) {
    struct Case {
        Value types;
        std::optional<std::string> want;
    } cases[] = {
        {Array{Dictionary{{"CFBundleURLSchemes", Array{"fb123"}}}}, "123"},
        {Array{Dictionary{{"CFBundleURLSchemes", Array{"myapp", "fb123"}}}}, std::nullopt},
        {Array{Dictionary{{"CFBundleURLSchemes", Array{"myapp"}}}, Dictionary{{"CFBundleURLSchemes", Array{"fb123"}}}},
         std::nullopt},
        {Array{}, std::nullopt},
        {Value("fb123"), std::nullopt},
    };
    for (auto& c : cases) {
        foundation::Log::Capture log;
        setInfo(Dictionary{{"CFBundleURLTypes", c.types}});
        EXPECT_EQ(VelkoraAppSettings::facebookAppId(), c.want);
        EXPECT_TRUE(log.contains(c.want ? "Velkora - fbAppId = 123" : "Velkora - Cannot find fbAppId in plist"));
    }
}

TEST_F(AppSettingsTest, UnitsColoursAndAnswersBeforeAnyConfiguration) {
    EXPECT_EQ(VelkoraAppSettings::distanceUnits(), "mi");
    EXPECT_FALSE(VelkoraAppSettings::appName());
    EXPECT_EQ(VelkoraAppSettings::changeNumber(), 0);
    EXPECT_FALSE(VelkoraAppSettings::menuOpensToRight());
    EXPECT_FLOAT_EQ(VelkoraAppSettings::distanceInUnits(3200), 2.0f);

    auto data = std::make_shared<VelkoraAppData>();
    data->setDistanceUnits(1);
    data->setLeadingColor((51 << 16) | (102 << 8) | 153);
    data->setAppName(std::string("Demo"));
    VelkoraAgentInternal::instance().setAppData(data);
    EXPECT_EQ(VelkoraAppSettings::distanceUnits(), "km");
    EXPECT_FLOAT_EQ(VelkoraAppSettings::distanceInUnits(3200), 3.2f);
    EXPECT_EQ(VelkoraAppSettings::appName(), "Demo");
    ui::Color c = VelkoraAppSettings::leadingColor();
    EXPECT_DOUBLE_EQ(c.r, 0.2);
    EXPECT_DOUBLE_EQ(c.g, 0.4);
    EXPECT_DOUBLE_EQ(c.b, 0.6);
    EXPECT_DOUBLE_EQ(c.a, 1.0);
    auto label = std::make_shared<ui::Label>();
    VelkoraAppSettings::setLeadingColor(*label);
    EXPECT_EQ(label->textColor(), c);

    EXPECT_FALSE(VelkoraAppSettings::displayTestUsers());
    VelkoraAgentInternal::instance().setTestMode(true);
    EXPECT_TRUE(VelkoraAppSettings::displayTestUsers());
}

} // namespace
