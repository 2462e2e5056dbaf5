#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "BuildPaths.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Button.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/PageControl.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/Switch.h"
#include "platform/ui/Window.h"
#include "support/SnapshotCompare.h"

using namespace velkora::ui;
namespace fs = std::filesystem;

namespace {

fs::path dataDir() {
    return fs::path(VELKORA_TEST_DATA_DIR);
}

// A picture with four coloured quarters, so a rotation shows.
std::shared_ptr<Image> quarters() {
    auto ctx = GraphicsContext::bitmap({40, 40});
    const Color colours[4] = {Color::rgba(0.9, 0.1, 0.1), Color::rgba(0.1, 0.6, 0.1), Color::rgba(0.1, 0.2, 0.9),
                              Color::rgba(0.95, 0.8, 0.1)};
    for (int i = 0; i < 4; ++i) {
        ctx->setFillColor(colours[i]);
        ctx->fillRect({double(i % 2) * 20, double(i / 2) * 20, 20, 20});
    }
    return ctx->makeImage();
}

std::shared_ptr<Window> buildWindow() {
    auto window = Window::create({0, 0, 200, 150});
    window->setBackgroundColor(Color::whiteColor());

    auto label = Label::create({10, 8, 135, 24});
    label->setText("Velkora snapshot");
    label->setFont(std::make_shared<Font>(Font::boldSystemFont(16)));
    label->setTextColor(Color::fromHex("#202328"));
    window->addSubview(label);

    auto button = std::make_shared<Button>(Rect(10, 44, 120, 44));
    auto face = Image::named("VelImg_GreenBigBtn");
    if (face) button->setBackgroundImage(face->halfCapStretchable());
    button->setTitle("Connect");
    button->setTitleColor(Color::whiteColor());
    window->addSubview(button);

    auto picture = ImageView::withImage(quarters());
    picture->setFrame({140, 90, 40, 40});
    picture->setTransform(AffineTransform::rotation(M_PI / 6));
    picture->layer().setBorderWidth(2);
    picture->layer().setBorderColor(Color::black());
    window->addSubview(picture);

    auto badge = View::create({150, 10, 40, 24});
    badge->setBackgroundColor(Color::fromHex("#D9453B"));
    badge->layer().setCornerRadius(12);
    window->addSubview(badge);
    return window;
}

} // namespace

TEST(SnapshotTest, AWindowRendersLikeItsReference) {
    ASSERT_TRUE(Image::named("VelImg_GreenBigBtn")) << "the build draws the kit's images before the tests";
    auto window = buildWindow();
    auto shot = Snapshot::imageOfView(*window);
    ASSERT_TRUE(shot);
    EXPECT_EQ(shot->size(), (Size{200, 150}));

    // What the picture must show, whatever the reference says.
    auto near = [](Color c, Color want) {
        return std::abs(c.r - want.r) < 0.08 && std::abs(c.g - want.g) < 0.08 && std::abs(c.b - want.b) < 0.08;
    };
    EXPECT_TRUE(near(shot->colorAt(5, 140), Color::whiteColor()));        // background
    EXPECT_TRUE(near(shot->colorAt(170, 22), Color::fromHex("#D9453B"))); // the badge ...
    EXPECT_TRUE(near(shot->colorAt(151, 11), Color::whiteColor()));       // ... with round corners
    Color buttonEdge = shot->colorAt(14, 80), buttonMiddle = shot->colorAt(70, 80);
    EXPECT_GT(buttonMiddle.g, buttonMiddle.r + 0.2); // the green face stretched
    EXPECT_TRUE(near(buttonEdge, buttonMiddle) || buttonEdge.g > buttonEdge.r);
    int dark = 0, light = 0; // text in the label and button
    for (int y = 8; y < 32; ++y)
        for (int x = 10; x < 145; ++x)
            dark += shot->colorAt(x, y).r < 0.3;
    for (int y = 54; y < 78; ++y)
        for (int x = 30; x < 110; ++x)
            light += near(shot->colorAt(x, y), Color::whiteColor());
    EXPECT_GT(dark, 100);
    EXPECT_GT(light, 40);
    // Rotated by 30 degrees: its corner sticks out beyond the unrotated frame, and the frame's own
    // corner is left white.
    Rect frame = window->subviews()[2]->frame();
    EXPECT_LT(frame.minX(), 140);
    EXPECT_TRUE(near(shot->colorAt(141, 91), Color::whiteColor()));

    fs::path reference = dataDir() / "snapshot_window.png";
    if (std::getenv("VELKORA_UPDATE_SNAPSHOTS")) {
        fs::create_directories(dataDir());
        ASSERT_TRUE(shot->writePng(reference.string()));
    }
    auto expected = Image::fromFile(reference.string());
    ASSERT_TRUE(expected) << "missing reference " << reference;
    EXPECT_TRUE(velkora::testing::looksLike(*shot, *expected));

    // And a file a person can open.
    fs::path out = fs::temp_directory_path() / "velkora-snapshot-test.png";
    ASSERT_TRUE(Snapshot::writePng(*window, out.string(), 2.0));
    auto twice = Image::fromFile(out.string());
    ASSERT_TRUE(twice);
    EXPECT_EQ(twice->pixelWidth(), 400);
    fs::remove(out);
}

TEST(SnapshotTest, AlphaClippingAndHiddenViews) {
    auto root = View::create({0, 0, 60, 60});
    root->setBackgroundColor(Color::whiteColor());
    auto faded = View::create({0, 0, 30, 30});
    faded->setBackgroundColor(Color::black());
    faded->setAlpha(0.5);
    root->addSubview(faded);
    auto clip = View::create({30, 30, 20, 20});
    clip->setClipsToBounds(true);
    auto inner = View::create({10, 10, 40, 40});
    inner->setBackgroundColor(Color::rgba(0, 0, 1));
    clip->addSubview(inner);
    root->addSubview(clip);
    auto hidden = View::create({0, 40, 20, 20});
    hidden->setBackgroundColor(Color::rgba(1, 0, 0));
    hidden->setHidden(true);
    root->addSubview(hidden);

    auto shot = Snapshot::imageOfView(*root);
    EXPECT_NEAR(shot->colorAt(10, 10).r, 0.5, 0.02);
    EXPECT_NEAR(shot->colorAt(45, 45).b, 1, 0.01);
    EXPECT_NEAR(shot->colorAt(55, 55).r, 1, 0.01); // clipped away: white
    EXPECT_NEAR(shot->colorAt(5, 50).g, 1, 0.01);  // hidden: white

    // Labels measure with the real text engine.
    auto label = Label::create({0, 0, 100, 20});
    label->setText("Hello");
    Size s = label->sizeThatFits({0, 0});
    EXPECT_EQ(s, measureText("Hello", Font::systemFont(17), 0));
}

TEST(SnapshotTest, SwitchesPageDotsAndSpinnersShow) {
    auto root = View::create({0, 0, 120, 100});
    root->setBackgroundColor(Color::whiteColor());
    auto on = Switch::create({0, 0, 51, 31});
    on->setOn(true);
    root->addSubview(on);
    auto off = Switch::create({60, 0, 51, 31});
    root->addSubview(off);
    auto dots = PageControl::create({0, 40, 120, 20});
    dots->setNumberOfPages(3);
    dots->setCurrentPage(1);
    dots->setCurrentPageIndicatorTintColor(Color::rgba(0, 0, 1));
    root->addSubview(dots);
    auto spinner = ActivityIndicatorView::create(ActivityIndicatorViewStyle::Gray);
    spinner->setFrame({50, 65, 20, 20});
    spinner->startAnimating();
    root->addSubview(spinner);

    auto shot = Snapshot::imageOfView(*root);
    Color track = shot->colorAt(12, 15), offTrack = shot->colorAt(100, 15);
    EXPECT_GT(track.g, track.r + 0.3);             // the on switch shows its tint
    EXPECT_GT(offTrack.r, 0.9);                    // the off one is white
    EXPECT_NEAR(shot->colorAt(60, 50).b, 1, 0.05); // the current page's dot, in the middle
    EXPECT_LT(shot->colorAt(60, 50).r, 0.1);
    int spokes = 0;
    for (int y = 65; y < 85; ++y)
        for (int x = 50; x < 70; ++x)
            spokes += shot->colorAt(x, y).r < 0.8;
    EXPECT_GT(spokes, 10);
}

TEST(SnapshotTest, TheScreenShowsEveryVisibleWindowInItsPlace) {
    auto back = Window::create({0, 0, 320, 568});
    back->setBackgroundColor(Color::rgba(0, 0, 1));
    back->makeKeyAndVisible();
    auto front = Window::create({100, 200, 50, 50});
    front->setBackgroundColor(Color::rgba(1, 0, 0));
    front->setWindowLevel(WindowLevel::Alert);
    front->setHidden(false);
    auto shot = Snapshot::imageOfScreen();
    ASSERT_TRUE(shot);
    EXPECT_EQ(shot->pixelAt(10, 10), 0xff0000ffu);
    EXPECT_EQ(shot->pixelAt(120, 220), 0xffff0000u);
    EXPECT_EQ(shot->pixelAt(160, 260), 0xff0000ffu);
    front->setHidden(true);
    back->setHidden(true);
}

TEST(SnapshotTest, AOneLineLabelShrinksItsTextToFit) {
    auto label = Label::create({0, 0, 60, 20});
    label->setText("A rather long title");
    label->setFont(std::make_shared<Font>(Font::systemFont(16)));
    label->setNumberOfLines(1);
    label->setLineBreakMode(LineBreakMode::TruncateTail);
    // The height of the ink: smaller letters when the text shrank instead of being cut.
    auto inkHeight = [&] {
        auto shot = Snapshot::imageOfView(*label);
        int top = 20, bottom = 0;
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 60; ++x)
                if (shot->pixelAt(x, y) >> 24) top = std::min(top, y), bottom = std::max(bottom, y);
        return bottom - top;
    };
    int cut = inkHeight();
    label->setAdjustsFontSizeToFitWidth(true);
    label->setMinimumScaleFactor(0.5);
    int shrunk = inkHeight();
    EXPECT_LT(shrunk, cut - 2);
    EXPECT_GT(shrunk, cut / 3);
}
