#include <gtest/gtest.h>

#include <cmath>

#include "data/VelkoraUtils.h"
#include "platform/foundation/Paths.h"

using namespace velkora;

namespace {

constexpr uint32_t kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;

// A picture in three bands (left to right, or top to bottom when `vertical`), through a real encoder
// and decoder so the operations see what an upload would.
ui::ImagePtr bands(int w, int h, bool vertical, bool jpeg) {
    auto image = ui::Image::create(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int band = vertical ? y * 3 / h : x * 3 / w;
            image->setPixelAt(x, y, band == 0 ? kRed : band == 1 ? kGreen : kBlue);
        }
    }
    auto bytes = jpeg ? image->jpegData(1.0) : image->pngData();
    return ui::Image::fromData(bytes);
}

// Channel by channel within a JPEG's tolerance.
void expectColor(const ui::ImagePtr& image, int x, int y, uint32_t argb, const char* what) {
    ui::Color c = image->colorAt(x, y);
    const double expected[] = {((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0, (argb & 0xFF) / 255.0,
                               ((argb >> 24) & 0xFF) / 255.0};
    const double got[] = {c.r, c.g, c.b, c.a};
    for (int i = 0; i < 4; ++i) EXPECT_NEAR(got[i], expected[i], 0.1) << what << " at " << x << "," << y << " ch " << i;
}

}  // namespace

TEST(VelkoraUtilsImages, ScaleAndCropTakesTheCentredSquare) {
    for (bool jpeg : {false, true}) {
        auto wide = bands(300, 100, false, jpeg);
        ASSERT_NE(wide, nullptr);
        auto square = VelkoraUtils::scaleAndCropImage(wide, 50);
        ASSERT_NE(square, nullptr);
        EXPECT_EQ(square->pixelWidth(), 50);
        EXPECT_EQ(square->pixelHeight(), 50);
        // The square starts at x = 100: only the middle band is left.
        for (auto [x, y] : {std::pair{2, 2}, {25, 25}, {47, 47}}) expectColor(square, x, y, kGreen, "wide");

        auto tall = bands(60, 180, true, jpeg);
        auto fromTall = VelkoraUtils::scaleAndCropImage(tall, 120);
        ASSERT_NE(fromTall, nullptr);
        EXPECT_EQ(fromTall->pixelWidth(), 120);
        EXPECT_EQ(fromTall->pixelHeight(), 120);
        for (auto [x, y] : {std::pair{3, 3}, {60, 60}, {116, 116}}) expectColor(fromTall, x, y, kGreen, "tall");
    }
}

TEST(VelkoraUtilsImages, CroppingKeepsThePixelsOfTheRectangle) {
    auto image = bands(90, 30, false, false);
    auto part = VelkoraUtils::imageByCropping(image, ui::Rect(20, 5, 20, 10));
    ASSERT_NE(part, nullptr);
    EXPECT_EQ(part->pixelWidth(), 20);
    EXPECT_EQ(part->pixelHeight(), 10);
    expectColor(part, 0, 0, kRed, "crop");
    expectColor(part, 9, 9, kRed, "crop");
    expectColor(part, 10, 0, kGreen, "crop");
    expectColor(part, 19, 9, kGreen, "crop");
    // Beyond the picture the opaque background shows; nothing is transparent.
    auto beyond = VelkoraUtils::imageByCropping(image, ui::Rect(80, 20, 20, 20));
    ASSERT_NE(beyond, nullptr);
    expectColor(beyond, 5, 5, kBlue, "beyond");
    EXPECT_NEAR(beyond->colorAt(15, 15).a, 1.0, 1e-9);
    auto doubled = VelkoraUtils::imageByCropping(image, ui::Rect(0, 0, 10, 10), 2.0);
    EXPECT_EQ(doubled->pixelWidth(), 20);
}

TEST(VelkoraUtilsImages, ScaleOnlyShrinks) {
    auto image = bands(100, 50, false, true);
    EXPECT_EQ(VelkoraUtils::scaleImage(image, 200), image);
    // Exactly the longer side: ratio 1 is redrawn, not returned.
    auto same = VelkoraUtils::scaleImage(image, 100);
    EXPECT_NE(same, image);
    EXPECT_EQ(same->pixelWidth(), 100);
    auto half = VelkoraUtils::scaleImage(image, 50);
    ASSERT_NE(half, nullptr);
    EXPECT_NE(half, image);
    EXPECT_EQ(half->pixelWidth(), 50);
    EXPECT_EQ(half->pixelHeight(), 25);
    expectColor(half, 3, 12, kRed, "half");
    expectColor(half, 25, 12, kGreen, "half");
    expectColor(half, 46, 12, kBlue, "half");
    auto tall = VelkoraUtils::scaleImage(bands(40, 200, true, false), 100);
    EXPECT_EQ(tall->pixelWidth(), 20);
    EXPECT_EQ(tall->pixelHeight(), 100);
    EXPECT_EQ(VelkoraUtils::scaleImage(nullptr, 10), nullptr);
}

TEST(VelkoraUtilsImages, OrientationFixRedrawsOpaque) {
    auto image = ui::Image::create(8, 4);
    image->setPixelAt(1, 1, kBlue);
    auto png = ui::Image::fromData(image->pngData());
    auto fixed = VelkoraUtils::fixImageOrientation(png);
    ASSERT_NE(fixed, nullptr);
    EXPECT_NE(fixed, png);
    EXPECT_EQ(fixed->pixelWidth(), 8);
    EXPECT_EQ(fixed->pixelHeight(), 4);
    expectColor(fixed, 1, 1, kBlue, "fixed");
    EXPECT_NEAR(fixed->colorAt(5, 3).a, 1.0, 1e-9);
}

TEST(VelkoraUtils, Md5AndDataPaths) {
    EXPECT_EQ(VelkoraUtils::md5String("secret", false), "5ebe2294ecd0e0f08eab7690d2a6ee69");
    EXPECT_EQ(VelkoraUtils::md5String("secret", true), "5EBE2294ECD0E0F08EAB7690D2A6EE69");
    EXPECT_EQ(VelkoraUtils::md5String("", false), "d41d8cd98f00b204e9800998ecf8427e");
    // Only the bytes before a zero byte count.
    EXPECT_EQ(VelkoraUtils::md5String(std::string_view("secret\0tail", 11), false), "5ebe2294ecd0e0f08eab7690d2a6ee69");
    EXPECT_EQ(VelkoraUtils::md5String("pässword", true).size(), 32u);

    std::string root = testing::TempDir() + "velkora-utils-paths";
    foundation::Paths::setRoot(root);
    std::string path = VelkoraUtils::dataFilePath("persist_velkora_user_info.dat");
    EXPECT_EQ(path, foundation::Paths::documents() + "/persist_velkora_user_info.dat");
    EXPECT_FALSE(VelkoraUtils::isFileExist(path));
    EXPECT_TRUE(VelkoraUtils::isFileExist(foundation::Paths::documents()));
    foundation::Paths::reset();
}
