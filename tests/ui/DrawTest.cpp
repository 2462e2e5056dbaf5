#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "platform/ui/GraphicsContext.h"

using namespace velkora::ui;

namespace {

uint32_t argb(const Color& c) {
    auto ch = [](double v) { return uint32_t(std::lround(v * 255)); };
    return (ch(c.a) << 24) | (ch(c.r * c.a) << 16) | (ch(c.g * c.a) << 8) | ch(c.b * c.a);
}

// A 3 × 3 picture whose corners, edges and middle have distinct colours.
std::shared_ptr<Image> nineColours() {
    auto img = Image::create(3, 3);
    const uint32_t colours[9] = {0xffff0000, 0xff00ff00, 0xff0000ff, 0xffffff00, 0xff00ffff,
                                 0xffff00ff, 0xff800000, 0xff008000, 0xff000080};
    for (int i = 0; i < 9; ++i) img->setPixelAt(i % 3, i / 3, colours[i]);
    return img;
}

}  // namespace

TEST(DrawTest, BitmapContextFillsStrokesAndGivesBytes) {
    auto ctx = GraphicsContext::bitmap({20, 10}, 2.0);
    ASSERT_TRUE(ctx);
    EXPECT_EQ(ctx->pixelWidth(), 40);
    EXPECT_EQ(ctx->pixelHeight(), 20);
    EXPECT_GE(ctx->bytesPerRow(), 160);
    ctx->setFillColor(Color::rgba(0, 0, 1));
    ctx->fillRect({0, 0, 10, 10});
    auto img = ctx->makeImage();
    ASSERT_TRUE(img);
    EXPECT_EQ(img->size(), (Size{20, 10}));
    EXPECT_EQ(img->pixelAt(0, 0), 0xff0000ffu);
    EXPECT_EQ(img->pixelAt(19, 19), 0xff0000ffu);
    EXPECT_EQ(img->pixelAt(20, 0), 0u);  // beyond the filled 10 points

    // Writing bytes directly shows in the next image.
    uint8_t* bytes = ctx->bitmapData();
    ASSERT_NE(bytes, nullptr);
    uint32_t red = 0xffff0000;
    std::memcpy(bytes + size_t(ctx->bytesPerRow()) * 5 + 30 * 4, &red, 4);
    EXPECT_EQ(ctx->makeImage()->pixelAt(30, 5), 0xffff0000u);

    auto opaque = GraphicsContext::bitmap({2, 2}, 1.0, true);
    EXPECT_EQ(opaque->makeImage()->pixelAt(1, 1), 0xffffffffu);
    EXPECT_EQ(GraphicsContext::bitmap({0, 5}), nullptr);
}

TEST(DrawTest, PathsArcsTransformsAndClipping) {
    auto ctx = GraphicsContext::bitmap({100, 100});
    ctx->setFillColor(Color::rgba(1, 0, 0));
    ctx->beginPath();
    ctx->addArc({50, 50}, 20, 0, 2 * M_PI, true);
    ctx->fillPath();
    ctx->setStrokeColor(Color::rgba(0, 1, 0));
    ctx->setLineWidth(4);
    ctx->strokeLine({0, 95}, {100, 95});
    ctx->saveGState();
    ctx->translate(80, 10);
    ctx->rotate(M_PI / 4);
    EXPECT_NEAR(ctx->ctm().tx, 80, 1e-9);
    ctx->setFillColor(Color::rgba(0, 0, 1));
    ctx->fillRect({-2, -2, 4, 4});
    ctx->restoreGState();
    ctx->restoreGState();  // one too many: ignored
    ctx->saveGState();
    ctx->clipToRect({0, 0, 10, 10});
    ctx->fillRect({0, 0, 100, 100});  // red, but only inside the clip
    ctx->restoreGState();

    auto img = ctx->makeImage();
    EXPECT_EQ(img->pixelAt(50, 50), 0xffff0000u);
    EXPECT_EQ(img->pixelAt(50, 25), 0u);  // outside the circle
    EXPECT_EQ(img->pixelAt(50, 95), 0xff00ff00u);
    EXPECT_EQ(img->pixelAt(80, 10), 0xff0000ffu);
    EXPECT_EQ(img->pixelAt(5, 5), 0xffff0000u);
    EXPECT_EQ(img->pixelAt(15, 15), 0u);
    EXPECT_EQ(ctx->ctm(), AffineTransform{});
}

TEST(DrawTest, RoundedRectanglesLeaveTheCornersEmpty) {
    auto ctx = GraphicsContext::bitmap({40, 40});
    ctx->setFillColor(Color::white(1));
    ctx->beginPath();
    ctx->addRoundedRect({0, 0, 40, 40}, 10);
    ctx->fillPath();
    auto img = ctx->makeImage();
    EXPECT_EQ(img->pixelAt(0, 0), 0u);
    EXPECT_EQ(img->pixelAt(20, 0), 0xffffffffu);
    EXPECT_EQ(img->pixelAt(3, 20), 0xffffffffu);
    EXPECT_EQ(img->pixelAt(39, 39), 0u);
}

TEST(DrawTest, StretchableImagesKeepTheirCaps) {
    auto img = nineColours();
    auto ctx = GraphicsContext::bitmap({30, 20});
    ctx->drawImage(*img->resizableImageWithCapInsets({1, 1, 1, 1}, ImageResizingMode::Stretch), {0, 0, 30, 20});
    auto out = ctx->makeImage();
    EXPECT_EQ(out->pixelAt(0, 0), img->pixelAt(0, 0));    // corner stays one pixel
    EXPECT_EQ(out->pixelAt(29, 19), img->pixelAt(2, 2));
    EXPECT_EQ(out->pixelAt(15, 0), img->pixelAt(1, 0));   // top edge stretches along
    EXPECT_EQ(out->pixelAt(0, 10), img->pixelAt(0, 1));   // left edge stretches down
    EXPECT_EQ(out->pixelAt(15, 10), img->pixelAt(1, 1));  // middle fills
    EXPECT_EQ(out->pixelAt(28, 10), img->pixelAt(1, 1));

    // Half caps of an odd picture: the centre line is what stretches.
    auto half = img->halfCapStretchable();
    auto ctx2 = GraphicsContext::bitmap({9, 9});
    ctx2->drawImage(*half, {0, 0, 9, 9});
    auto out2 = ctx2->makeImage();
    EXPECT_EQ(out2->pixelAt(0, 0), img->pixelAt(0, 0));
    EXPECT_EQ(out2->pixelAt(8, 8), img->pixelAt(2, 2));
    EXPECT_EQ(out2->pixelAt(4, 0), img->pixelAt(1, 0));

    // A plain image scales whole.
    auto ctx3 = GraphicsContext::bitmap({30, 30});
    ctx3->drawImage(*img, {0, 0, 30, 30});
    Color mid = ctx3->makeImage()->colorAt(15, 15), want = img->colorAt(1, 1);
    EXPECT_NEAR(mid.r, want.r, 0.1);
    EXPECT_NEAR(mid.g, want.g, 0.1);
    EXPECT_NEAR(mid.b, want.b, 0.1);
}

// A target shorter or narrower than both caps squeezes them; a picture of one solid colour must still cover
// every pixel it is drawn over, with no light seam where the squeezed caps meet. A view placed half a point
// off the grid draws in its own coordinates: the caps meet on the target's pixels, not on the view's points.
TEST(DrawTest, SqueezedCapsMeetWithoutASeam) {
    auto solid = Image::create(10, 10);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x)
            solid->setPixelAt(x, y, 0xff3b8fe0);
    auto stretchable = solid->resizableImageWithCapInsets({6, 3, 2, 3}, ImageResizingMode::Stretch);
    struct Case {
        double shift;
        Rect target; // on the target's pixels once shifted
    } cases[] = {
        {0, {2, 1, 12, 7}}, {0, {1, 3, 5, 9}}, {0, {0, 0, 5, 5}}, {0.5, {2.5, 1.5, 9, 7}}, {0.5, {0.5, 3.5, 5, 5}}};
    for (const Case& c : cases) {
        auto ctx = GraphicsContext::bitmap({20, 20});
        ctx->translate(c.shift, c.shift);
        ctx->drawImage(*stretchable, c.target);
        auto out = ctx->makeImage();
        const Rect r = c.target.offsetBy(c.shift, c.shift);
        for (int y = int(r.minY()); y < int(r.maxY()); ++y)
            for (int x = int(r.minX()); x < int(r.maxX()); ++x)
                EXPECT_EQ(out->pixelAt(x, y), 0xff3b8fe0u) << "at " << x << "," << y << " in " << r.x() << "," << r.y()
                                                           << " " << r.width() << "x" << r.height();
    }
}

TEST(DrawTest, ShadowsFallOffsetAndSoft) {
    auto ctx = GraphicsContext::bitmap({60, 60});
    ctx->setShadow({10, 10}, 0, Color::black().withAlpha(1));
    ctx->setFillColor(Color::rgba(1, 0, 0));
    ctx->fillRect({10, 10, 20, 20});
    auto hard = ctx->makeImage();
    EXPECT_EQ(hard->pixelAt(15, 15), 0xffff0000u);
    EXPECT_EQ(hard->pixelAt(35, 35), 0xff000000u);  // the shadow, 10 points down and right
    EXPECT_EQ(hard->pixelAt(45, 45), 0u);

    auto soft = GraphicsContext::bitmap({60, 60});
    soft->setShadow({0, 0}, 8, Color::black());
    soft->setFillColor(Color::rgba(1, 0, 0));
    soft->fillRect({20, 20, 20, 20});
    auto s = soft->makeImage();
    uint32_t edge = s->pixelAt(18, 30) >> 24;  // just outside the shape: partly shadowed
    EXPECT_GT(edge, 0u);
    EXPECT_LT(edge, 255u);
    EXPECT_EQ(s->pixelAt(30, 30), 0xffff0000u);
}

TEST(DrawTest, TextDrawsInsideItsRectangleInItsColour) {
    auto ctx = GraphicsContext::bitmap({200, 60});
    auto layout = ctx->drawText("Velkora", Font::boldSystemFont(30), Color::rgba(0, 0, 1), {10, 10, 180, 40});
    ASSERT_TRUE(layout);
    auto img = ctx->makeImage();
    int inked = 0, wrong = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 200; ++x) {
            uint32_t p = img->pixelAt(x, y);
            if (p >> 24 == 0) continue;
            ++inked;
            if ((p >> 16 & 0xff) != 0 || (p >> 8 & 0xff) != 0) ++wrong;
            EXPECT_GE(x, 10);
            EXPECT_GE(y, 10);
            EXPECT_LT(x, 10 + layout->size().width + 1);
        }
    EXPECT_GT(inked, 200);
    EXPECT_EQ(wrong, 0);

    // A rectangle too short for every line shows the lines that fit, the last cut with the token.
    auto small = GraphicsContext::bitmap({100, 40});
    TextLayoutOptions o;
    o.lineBreakMode = LineBreakMode::TruncateTail;
    auto cut = small->drawText("one two three four five six seven eight nine ten", Font::systemFont(14), Color::black(),
                               {0, 0, 100, 40}, o);
    EXPECT_EQ(cut->lineCount(), 2);
    EXPECT_TRUE(cut->isTruncated());
    EXPECT_EQ(argb(Color::black()), 0xff000000u);
}

TEST(DrawTest, GradientsAndAlpha) {
    auto ctx = GraphicsContext::bitmap({100, 10});
    ctx->drawLinearGradient({Color::rgba(0, 0, 0), Color::rgba(1, 1, 1)}, {0, 1}, {0, 0}, {100, 0});
    auto img = ctx->makeImage();
    EXPECT_LT(img->colorAt(0, 5).r, 0.02);
    EXPECT_GT(img->colorAt(99, 5).r, 0.98);
    EXPECT_NEAR(img->colorAt(50, 5).r, 0.5, 0.02);

    auto half = GraphicsContext::bitmap({4, 4});
    half->setAlpha(0.5);
    half->setFillColor(Color::rgba(1, 0, 0));
    half->fillRect({0, 0, 4, 4});
    EXPECT_NEAR(half->makeImage()->colorAt(1, 1).a, 0.5, 0.01);
}
