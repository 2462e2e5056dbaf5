#include <gtest/gtest.h>

#include "data/VelkoraUtils.h"

using namespace velkora;

TEST(VelkoraUtils, EmailCheck) {
    struct Case {
        const char* text;
        bool valid;
    } cases[] = {
        {"ann@example.com", true},        {"a.b_c%d+e-f@x-y.z.org", true}, {"ann@example.info", true},
        {"ann@example.museu", false},     {"ann@example.c", false},        {"annexample.com", false},
        {" ann@example.com", false},      {"ann@example.com ", false},     {"@example.com", false},
        {"ann@.com", false},               {"ann@com", false},              {"ann@ex ample.com", false},
        {"ann@@example.com", false},      {"ann@example.c0m", false},      {"", false},
        {"ann@example.com\n", false},     {"änn@example.com", false},      {"ann@..com", true},
    };
    for (const auto& c : cases) EXPECT_EQ(VelkoraUtils::isValidEmail(c.text), c.valid) << c.text;
}

TEST(VelkoraUtils, NumbersAndPricesInAGivenLocale) {
    EXPECT_EQ(VelkoraUtils::displayNumberAsCurrency(1234.5, "en_US"), "$1,234.50");
    EXPECT_EQ(VelkoraUtils::displayNumberAsCurrency(0.99, "en_US"), "$0.99");
    EXPECT_EQ(VelkoraUtils::displayNumberAsCurrency(1234.5, "de_DE"), "1.234,50\u00a0€");
    EXPECT_EQ(VelkoraUtils::displayNumberAsCurrency(1234.6, "ja_JP"), "￥1,235");
    EXPECT_EQ(VelkoraUtils::displayNumberAsDecimal(1234567, "en_US"), "1,234,567");
    EXPECT_EQ(VelkoraUtils::displayNumberAsDecimal(1234567.25, "fr_FR"), "1\u202f234\u202f567,25");
    EXPECT_FALSE(VelkoraUtils::displayNumberAsDecimal(1234567).empty());
}

TEST(VelkoraUtils, ScreenSizesFollowTheOrientation) {
    VelkoraScreenState phone{false, false, 1, 320, 568};
    EXPECT_EQ(VelkoraUtils::widthAdjustedForInterfaceOrientation(false, phone), 320);
    EXPECT_EQ(VelkoraUtils::heightAdjustedForInterfaceOrientation(phone), 568);
    for (int landscape : {0, 3, 4}) {
        phone.statusBarOrientation = landscape;
        EXPECT_EQ(VelkoraUtils::widthAdjustedForInterfaceOrientation(false, phone), 568);
        EXPECT_EQ(VelkoraUtils::widthAdjustedForInterfaceOrientation(true, phone), 568);
        EXPECT_EQ(VelkoraUtils::heightAdjustedForInterfaceOrientation(phone), 320);
    }
    VelkoraScreenState tablet{true, false, 2, 768, 1024};
    EXPECT_EQ(VelkoraUtils::widthAdjustedForInterfaceOrientation(false, tablet), 450);
    EXPECT_EQ(VelkoraUtils::widthAdjustedForInterfaceOrientation(true, tablet), 768);
    EXPECT_EQ(VelkoraUtils::heightAdjustedForInterfaceOrientation(tablet), 1024);
    tablet.showsInPopover = true;
    EXPECT_EQ(VelkoraUtils::widthAdjustedForInterfaceOrientation(true, tablet), 320);
    EXPECT_EQ(VelkoraUtils::heightAdjustedForInterfaceOrientation(tablet), 460);
}
