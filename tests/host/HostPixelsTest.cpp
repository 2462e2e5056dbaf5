// The pixels a host draws the screen with: a host that uploads only each frame's changed rectangle, as the
// guide shows, keeps the picture a fresh drawing of the whole screen gives while a list in its window
// scrolls between a bar above and a bar below.
#include <cstring>
#include <vector>

#include "HostFixture.h"
#include "host/HostInternals.h"
#include "platform/ui/Image.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/Snapshot.h"
#include "velkora/VelkoraHost.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

class HostPixelsTest : public HostTest {
protected:
    void TearDown() override {
        VelkoraWindow::setPixelScale(1);
        HostTest::TearDown();
    }
    // A host view holding a platform label, as a bar.
    std::shared_ptr<VelkoraView> bar(const VelkoraRect& frame, const std::string& text, ui::Color color) {
        auto view = VelkoraView::create(frame);
        auto label = ui::Label::create({0, 0, frame.width, frame.height});
        label->setText(text);
        label->setTextAlignment(ui::TextAlignment::Center);
        label->setBackgroundColor(color);
        view->impl()->view->addSubview(label);
        return view;
    }
    // The host's copy of the screen, updated with the changed part of a frame only.
    void upload(const VelkoraFrame& frame) {
        ASSERT_TRUE(frame.rgba);
        shown.resize(size_t(frame.stride) * size_t(frame.height));
        const int x = int(frame.changed.x), y0 = int(frame.changed.y);
        for (int y = y0; y < y0 + int(frame.changed.height); ++y) {
            const size_t at = size_t(y) * size_t(frame.stride) + size_t(x) * 4;
            std::memcpy(shown.data() + at, frame.rgba + at, size_t(frame.changed.width) * 4);
        }
        width = frame.width;
    }
    // Pixels of the host's copy that differ from a fresh drawing of the screen.
    long differingFromFresh() const {
        auto fresh = ui::Snapshot::imageOfScreen(2);
        if (!fresh || fresh->pixelWidth() != width) return -1;
        long differing = 0;
        for (int y = 0; y < fresh->pixelHeight(); ++y)
            for (int x = 0; x < width; ++x) {
                const uint32_t p = fresh->pixelAt(x, y);
                const uint8_t* q = shown.data() + (size_t(y) * size_t(width) + size_t(x)) * 4;
                const int want[3] = {int(p >> 16 & 0xff), int(p >> 8 & 0xff), int(p & 0xff)};
                for (int c = 0; c < 3; ++c)
                    if (std::abs(want[c] - q[c]) > 2) {
                        ++differing;
                        break;
                    }
            }
        return differing;
    }
    std::vector<uint8_t> shown;
    int width = 0;
};

} // namespace

TEST_F(HostPixelsTest, AHostUploadingOnlyTheChangedPartsShowsTheScrolledScreenAsAFreshDrawing) {
    auto window = VelkoraWindow::create();
    window->addView(bar({0, 0, 320, 64}, "Harbour", ui::Color::rgba(0.15, 0.3, 0.5)));
    auto list = VelkoraView::create({0, 64, 320, 440});
    auto scroller = ui::ScrollView::create({0, 0, 320, 440});
    scroller->setClipsToBounds(true);
    scroller->setBackgroundColor(ui::Color::whiteColor());
    scroller->setContentSize({320, 60 * 48});
    for (int i = 0; i < 60; ++i) {
        auto row = ui::Label::create({12, 48.0 * i + 4, 296, 40});
        row->setText("Row " + std::to_string(i) + (i % 2 ? " \u00e9t\u00e9" : " quiz night"));
        row->setBackgroundColor(ui::Color::rgba(0.9, 0.95, i % 3 ? 1.0 : 0.85));
        scroller->addSubview(row);
    }
    list->impl()->view->addSubview(scroller);
    window->addView(list);
    window->addView(bar({0, 504, 320, 64}, "Write something", ui::Color::rgba(0.95, 0.6, 0.2)));
    window->makeKeyAndVisible();
    VelkoraWindow::setPixelScale(2);

    upload(VelkoraWindow::drawScreenFrame());
    ASSERT_EQ(differingFromFresh(), 0);
    for (double by : {40.0, 40.0, 0.5, -25.0, 13.25, 2000.0, -300.0}) {
        SCOPED_TRACE(by);
        ASSERT_TRUE(VelkoraWindow::screenScroll(160, 300, 0, by));
        const VelkoraFrame frame = VelkoraWindow::drawScreenFrame();
        EXPECT_TRUE(frame.drawn);
        // Only the list changed: the bars are neither drawn nor uploaded again.
        EXPECT_GE(frame.changed.y, 64 * 2 - 4);
        EXPECT_LE(frame.changed.y + frame.changed.height, 504 * 2 + 4);
        upload(frame);
        EXPECT_EQ(differingFromFresh(), 0);
    }
}
