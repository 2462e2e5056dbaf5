#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/foundation/Bundle.h"
#include "platform/ui/Image.h"

using namespace velkora::ui;
namespace foundation = velkora::foundation;
namespace fs = std::filesystem;

namespace {

// A photo-like picture: smooth gradients, so JPEG keeps the colours close.
std::shared_ptr<Image> gradient(int w, int h) {
    auto img = Image::create(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint32_t r = uint32_t(255 * x / (w - 1)), g = uint32_t(255 * y / (h - 1)), b = 128;
            img->setPixelAt(x, y, 0xff000000u | (r << 16) | (g << 8) | b);
        }
    return img;
}

struct TempDir {
    fs::path path;
    TempDir() {
        path =
            fs::temp_directory_path() / ("velkora-image-" + std::to_string(::getpid()) + "-" + std::to_string(rand()));
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
    void write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::ofstream out(path / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
};

void expectNear(Color c, double r, double g, double b, double tol) {
    EXPECT_NEAR(c.r, r, tol);
    EXPECT_NEAR(c.g, g, tol);
    EXPECT_NEAR(c.b, b, tol);
}

} // namespace

TEST(ImageTest, PhotoDecodesScalesAndEncodesAgain) {
    TempDir dir;
    auto jpeg = gradient(1600, 1200)->jpegData(0.9);
    ASSERT_FALSE(jpeg.empty());
    dir.write("photo.jpg", jpeg);

    auto header = Image::headerOfFile((dir.path / "photo.jpg").string());
    ASSERT_TRUE(header);
    EXPECT_EQ(header->format, ImageFormat::Jpeg);
    EXPECT_EQ(header->pixelWidth, 1600);
    EXPECT_EQ(header->pixelHeight, 1200);

    auto photo = Image::fromFile((dir.path / "photo.jpg").string());
    ASSERT_TRUE(photo);
    EXPECT_EQ(photo->size(), (Size{1600, 1200}));
    expectNear(photo->colorAt(1599, 0), 1, 0, 0.5, 0.04);

    auto small = photo->scaledTo({800, 600});
    ASSERT_TRUE(small);
    EXPECT_EQ(small->pixelWidth(), 800);
    EXPECT_EQ(small->pixelHeight(), 600);
    expectNear(small->colorAt(400, 300), 0.5, 0.5, 0.5, 0.04);
    expectNear(small->colorAt(0, 599), 0, 1, 0.5, 0.04);

    auto good = small->jpegData(0.9), poor = small->jpegData(0.2);
    ASSERT_FALSE(poor.empty());
    EXPECT_LT(poor.size(), good.size());
    auto again = Image::fromData(good);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->size(), (Size{800, 600}));
    EXPECT_LE(again->maxChannelDifference(*small), 24);
}

TEST(ImageTest, PngKeepsEveryPixelIncludingTransparency) {
    auto img = Image::create(3, 2);
    img->setPixelAt(0, 0, 0xff102030u);
    img->setPixelAt(1, 0, 0x80400000u); // half-transparent red, premultiplied
    img->setPixelAt(2, 1, 0x00000000u);
    auto back = Image::fromData(img->pngData());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->maxChannelDifference(*img), 0);
    EXPECT_EQ(back->pixelAt(0, 0), 0xff102030u);
    Color c = back->colorAt(1, 0);
    EXPECT_NEAR(c.r, 0.5, 0.01);
    EXPECT_NEAR(c.a, 0x80 / 255.0, 0.001);
    EXPECT_EQ(back->pixelAt(5, 5), 0u); // outside
}

TEST(ImageTest, AnythingButAnImageGivesNull) {
    auto png = gradient(8, 8)->pngData();
    auto jpeg = gradient(8, 8)->jpegData(0.8);
    std::vector<uint8_t> truncatedPng(png.begin(), png.begin() + 40);
    std::vector<uint8_t> truncatedJpeg(jpeg.begin(), jpeg.begin() + long(jpeg.size() / 3));
    std::vector<uint8_t> badPngBody(png.begin(), png.begin() + 33);
    badPngBody.resize(png.size(), 0x5a);
    std::string gif = "GIF89a\x01\x00\x01\x00";
    const std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
        {"empty", {}},
        {"text", {'<', 'h', 't', 'm', 'l', '>'}},
        {"gif", std::vector<uint8_t>(gif.begin(), gif.end())},
        {"truncated png", truncatedPng},
        {"truncated jpeg", truncatedJpeg},
        {"png with garbage body", badPngBody},
        {"jpeg marker only", {0xff, 0xd8, 0xff}},
    };
    for (const auto& [name, bytes] : cases)
        EXPECT_EQ(Image::fromData(bytes), nullptr) << name;
    EXPECT_EQ(Image::fromFile("/nonexistent/velkora.png"), nullptr);
    EXPECT_FALSE(Image::headerOfData(nullptr, 0));
    EXPECT_FALSE(Image::headerOfFile("/nonexistent/velkora.png"));
}

TEST(ImageTest, SizeComesFromTheHeaderAlone) {
    auto png = gradient(37, 21)->pngData();
    auto h = Image::headerOfData(png.data(), 24); // signature and the first chunk's start only
    ASSERT_TRUE(h);
    EXPECT_EQ(h->format, ImageFormat::Png);
    EXPECT_EQ(h->pixelWidth, 37);
    EXPECT_EQ(h->pixelHeight, 21);

    auto jpeg = gradient(37, 21)->jpegData(0.5);
    // Cut in the middle of the compressed data: the frame header still answers.
    auto j = Image::headerOfData(jpeg.data(), jpeg.size() / 2);
    ASSERT_TRUE(j);
    EXPECT_EQ(j->format, ImageFormat::Jpeg);
    EXPECT_EQ(j->pixelWidth, 37);
    EXPECT_EQ(j->pixelHeight, 21);

    // A header claiming an absurd size is refused, not allocated.
    std::vector<uint8_t> huge = png;
    huge[16] = 0x7f;
    EXPECT_FALSE(Image::headerOfData(huge.data(), huge.size()));
    EXPECT_EQ(Image::fromData(huge), nullptr);
}

TEST(ImageTest, CropClipsToThePicture) {
    auto img = gradient(10, 10);
    auto part = img->croppedTo({2, 3, 4, 5});
    ASSERT_TRUE(part);
    EXPECT_EQ(part->size(), (Size{4, 5}));
    EXPECT_EQ(part->pixelAt(0, 0), img->pixelAt(2, 3));
    EXPECT_EQ(part->pixelAt(3, 4), img->pixelAt(5, 7));

    auto edge = img->croppedTo({8, 8, 10, 10});
    ASSERT_TRUE(edge);
    EXPECT_EQ(edge->size(), (Size{2, 2}));
    EXPECT_EQ(img->croppedTo({20, 20, 5, 5}), nullptr);
    EXPECT_EQ(img->scaledTo({0, 10}), nullptr);
}

TEST(ImageTest, StretchableImagesShareThePixelsAndKeepTheirCaps) {
    auto img = Image::create(21, 31);
    auto half = img->halfCapStretchable();
    EXPECT_TRUE(half->isResizable());
    EXPECT_FALSE(img->isResizable());
    EXPECT_EQ(half->capInsets(), (EdgeInsets{16, 11, 16, 11}));
    EXPECT_EQ(half->cairoSurface(), img->cairoSurface());

    auto cell = img->resizableImageWithCapInsets({20, 17, 20, 17}, ImageResizingMode::Stretch);
    EXPECT_EQ(cell->resizingMode(), ImageResizingMode::Stretch);
    EXPECT_EQ(cell->capInsets(), (EdgeInsets{20, 17, 20, 17}));

    auto old = img->stretchableImageWithLeftCapWidth(10, 15);
    EXPECT_EQ(old->capInsets(), (EdgeInsets{15, 10, 15, 10}));
    EXPECT_EQ(old->size(), (Size{21, 31}));
}

TEST(ImageTest, NamedImagesComeFromTheSearchFoldersWithOrWithoutExtension) {
    TempDir dir;
    dir.write("VelImg_test.png", gradient(4, 6)->pngData());
    dir.write("VelImg_plain", gradient(5, 5)->pngData());
    dir.write("VelImg_hd@2x.png", gradient(8, 8)->pngData());
    dir.write("VelImg_broken.png", {'n', 'o'});
    Image::setImageSearchPaths({"/nonexistent", dir.path.string()});

    auto a = Image::named("VelImg_test");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->size(), (Size{4, 6}));
    EXPECT_EQ(Image::named("VelImg_test"), a); // kept
    EXPECT_TRUE(Image::named("VelImg_test.png"));
    EXPECT_TRUE(Image::named("VelImg_plain"));
    auto hd = Image::named("VelImg_hd@2x");
    ASSERT_TRUE(hd);
    EXPECT_EQ(hd->scale(), 2.0);
    EXPECT_EQ(hd->size(), (Size{4, 4}));
    EXPECT_EQ(Image::named("VelImg_broken"), nullptr);
    EXPECT_EQ(Image::named("VelImg_missing"), nullptr);
    EXPECT_EQ(Image::named(""), nullptr);
    Image::resetImageSearchPaths();
}

TEST(ImageTest, NamedImagesFollowTheBundlesResourcesFolder) {
    TempDir dir;
    fs::create_directories(dir.path / "Velkora.bundle/images/dark2");
    dir.write("Velkora.bundle/images/dark2/VelImg_fromBundle.png", gradient(3, 3)->pngData());
    foundation::Bundle::main().setResourcesPath(dir.path.string());
    Image::resetImageSearchPaths();
    auto img = Image::named("VelImg_fromBundle");
    foundation::Bundle::main().reset();
    ASSERT_TRUE(img);
    EXPECT_EQ(img->size(), (Size{3, 3}));
    EXPECT_EQ(Image::named("../../etc/passwd"), nullptr);

    // A name already found is looked for again under another resources folder, not served from the last.
    TempDir other;
    fs::create_directories(other.path / "Velkora.bundle/images/dark2");
    other.write("Velkora.bundle/images/dark2/VelImg_fromBundle.png", gradient(6, 6)->pngData());
    foundation::Bundle::main().setResourcesPath(dir.path.string());
    ASSERT_TRUE(Image::named("VelImg_fromBundle"));
    foundation::Bundle::main().setResourcesPath(other.path.string());
    auto moved = Image::named("VelImg_fromBundle");
    foundation::Bundle::main().reset();
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->size(), (Size{6, 6}));
}
