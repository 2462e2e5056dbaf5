// The sticker keyboard and the photo pane: tabs from the user's packs, the paged grid, the recent list,
// the store tab, rotation, and pictures from the camera and the album handed over scaled.
#include "StickerFixture.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/ImagePickerController.h"
#include "platform/ui/PageControl.h"
#include "platform/ui/ViewController.h"

namespace velkora::testing {
namespace {

using Grid = VelkoraStickersKeyboardView::Grid;

struct KeyboardHost : VelkoraEnhancedKeyboardDelegate {
    std::vector<std::string> stickers;
    std::vector<std::shared_ptr<ui::Image>> images;
    int storeOpened = 0;
    void imageSelected(const std::shared_ptr<ui::Image>& image) override { images.push_back(image); }
    void stickerSelected(const std::string& url) override { stickers.push_back(url); }
    void openStickersStore() override { ++storeOpened; }
};

std::string pngOf(double width, double height) {
    auto context = ui::GraphicsContext::bitmap({width, height}, 1.0, true);
    context->setFillColor(ui::Color::fromHex("#FF9500"));
    context->fillRect({0, 0, width, height});
    auto bytes = context->makeImage()->pngData();
    return std::string(bytes.begin(), bytes.end());
}

class KeyboardTest : public StickerTest {
protected:
    // A hosting screen with a pane at its bottom, as a chat shows it.
    template <class Pane> std::shared_ptr<Pane> showPane(std::shared_ptr<Pane> pane) {
        EXPECT_TRUE(pane);
        if (!pane) return pane;
        const ui::Rect b = window_->bounds();
        const double width = VelkoraEnhancedKeyboardView::widthAdjustedForInterfaceOrientation();
        pane->setFrame(ui::Rect(0, b.height() - pane->frame().height(), width, pane->frame().height()));
        host_->view()->addSubview(pane);
        window_->layoutIfNeeded();
        return pane;
    }
    void showHost() {
        host_ = ui::ViewController::create();
        window_ = ui::Window::createFullScreen();
        window_->setRootViewController(host_);
        window_->makeKeyAndVisible();
        host_->view()->setBackgroundColor(ui::Color::fromHex("#F2F3F5"));
        window_->layoutIfNeeded();
    }
    std::shared_ptr<VelkoraStickersKeyboardView> keyboard() {
        return showPane(VelkoraStickersKeyboardView::initFromNibWithVC(host_, delegate_));
    }
    std::vector<std::shared_ptr<VelkoraKeyboardStickerView>> tiles(const VelkoraStickersKeyboardView& k) {
        std::vector<std::shared_ptr<VelkoraKeyboardStickerView>> all;
        for (const auto& v : k.stickersScrollView()->subviews())
            if (auto t = std::dynamic_pointer_cast<VelkoraKeyboardStickerView>(v)) all.push_back(t);
        return all;
    }
    std::shared_ptr<VelkoraStickersKeyboardToolbarItemView> tab(const VelkoraStickersKeyboardView& k, int32_t id) {
        for (const auto& t : k.tabs())
            if (t->itemId() == id) return t;
        return nullptr;
    }

    std::shared_ptr<KeyboardHost> delegate_ = std::make_shared<KeyboardHost>();
    std::shared_ptr<ui::ViewController> host_;
};

} // namespace

TEST(StickerGrid, ColumnsRowsPagesAndPlacesFollowTheSizes) {
    struct Case {
        const char* name;
        float width, height;
        ui::Size tile;
        int count, cols, rows, pages;
    } cases[] = {
        {"three by two, thirteen stickers", 320, 150, {60, 60}, 13, 3, 2, 3},
        {"a full page", 320, 150, {60, 60}, 6, 3, 2, 1},
        {"one more than a page", 320, 150, {60, 60}, 7, 3, 2, 2},
        {"one row when lower than two", 480, 90, {60, 60}, 13, 5, 1, 3},
        {"a grid lower than a tile", 320, 30, {60, 60}, 4, 3, 1, 2},
        {"a grid narrower than a tile", 30, 150, {60, 60}, 3, 1, 2, 2},
        {"no stickers", 320, 150, {60, 60}, 0, 3, 2, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Grid g = Grid::make(c.width, c.height, c.tile, c.count);
        EXPECT_EQ(g.cols, c.cols);
        EXPECT_EQ(g.rows, c.rows);
        EXPECT_EQ(g.pages, c.pages);
    }
    Grid g = Grid::make(320, 150, {60, 60}, 13);
    Grid::Place sixth = g.place(6);
    EXPECT_EQ(sixth.page, 1);
    EXPECT_EQ(sixth.column, 0);
    EXPECT_EQ(sixth.row, 0);
    // The 140 the three columns leave is shared evenly, 35 before, between and after them, on every page;
    // the second row sits at the bottom of the grid.
    EXPECT_EQ(sixth.frame, ui::Rect(355, 0, 60, 60));
    EXPECT_EQ(g.place(4).frame, ui::Rect(130, 89, 60, 60));
    EXPECT_EQ(g.place(12).frame, ui::Rect(675, 0, 60, 60));
    Grid one = Grid::make(480, 90, {60, 60}, 2);
    EXPECT_EQ(one.place(1).frame, ui::Rect(120, 14.5, 60, 60));

    // Whatever the width, a full row ends as far from its page's right edge as it starts from its left.
    const struct {
        float width;
        ui::Size tile;
    } rows[] = {{320, {60, 60}}, {568, {60, 60}}, {768, {90, 90}}, {1024, {90, 90}}, {375, {70, 70}}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.width);
        Grid full = Grid::make(r.width, 150, r.tile, 40);
        const ui::Rect first = full.place(0).frame, last = full.place(full.cols - 1).frame;
        EXPECT_NEAR(r.width - last.maxX(), first.minX(), 1e-9);
        EXPECT_NEAR(full.place(1).frame.minX() - first.maxX(), first.minX(), 1e-9);
        EXPECT_GE(first.minX(), 20);
        EXPECT_NEAR(full.place(full.cols * full.rows).frame.minX(), r.width + first.minX(), 1e-9);
    }
}

TEST_F(KeyboardTest, TabsFollowTheRecordSkippingEmptyPacksAndThePagedGridShowsAPack) {
    startWithUserData();
    putInRecord(makePack(3, 13, "doodles"));
    auto empty = makePack(7, 0);
    putInRecord(empty);
    putInRecord(makePack(1, 4, "smileys"));
    showHost();
    auto k = keyboard();
    ASSERT_TRUE(k);
    EXPECT_EQ(tabIds(*k), (std::vector<int32_t>{-1, 1, 3, -2}));
    EXPECT_TRUE(logged("Velkora - Pack with Id 7 has no stickers"));
    EXPECT_TRUE(tab(*k, 1)->isSelected());
    EXPECT_FALSE(tab(*k, -1)->isSelected());
    EXPECT_EQ(tiles(*k).size(), 4u);
    EXPECT_EQ(k->toolbarScrollView()->contentSize().width, 5 * tab(*k, 1)->frame().width());

    tab(*k, 3)->itemClicked(nullptr);
    EXPECT_TRUE(tab(*k, 3)->isSelected());
    EXPECT_FALSE(tab(*k, 1)->isSelected());
    ASSERT_EQ(tiles(*k).size(), 13u);
    EXPECT_EQ(k->pageControl()->numberOfPages(), 3);
    EXPECT_EQ(k->stickersScrollView()->contentSize().width, 3 * 320);
    auto* sixth = k->stickersScrollView()->viewWithTag(306 + 5000);
    ASSERT_TRUE(sixth);
    EXPECT_EQ(sixth->frame(), ui::Rect(355, 0, 60, 60));
    k->stickersScrollView()->setContentOffset({640, 0});
    EXPECT_EQ(k->pageControl()->currentPage(), 2);
    ASSERT_TRUE(picturesLoaded());
    k->stickersScrollView()->setContentOffset({0, 0});
    window_->layoutIfNeeded();
    expectLooksLike(*k, "keyboard_portrait"); // the keyboard alone, as in the landscape and tablet pictures

    tab(*k, -2)->itemClicked(nullptr);
    EXPECT_EQ(delegate_->storeOpened, 1);
    EXPECT_TRUE(tab(*k, 3)->isSelected()) << "the store tab changes nothing else";
}

TEST_F(KeyboardTest, AStickerTappedTwiceIsListedOnceFirstAndKept) {
    startWithUserData();
    putInRecord(makePack(1, 4, "smileys"));
    showHost();
    auto k = keyboard();
    ASSERT_TRUE(k);
    auto first = tiles(*k)[2], other = tiles(*k)[0];
    first->stickerClicked(nullptr);
    other->stickerClicked(nullptr);
    first->stickerClicked(nullptr);
    EXPECT_EQ(delegate_->stickers,
              (std::vector<std::string>{first->stickerUrl(), other->stickerUrl(), first->stickerUrl()}));
    // What the record kept on disk, read back as at the next start.
    VelkoraAgentInternal::resetForTests();
    VelkoraAgentInternal::instance().initUserInfo(kDemo);
    auto recent = record()->stickerPacksMap()->at(-1);
    ASSERT_EQ(recent->stickers().size(), 2u);
    EXPECT_EQ(recent->stickers()[0]->url(), first->stickerUrl());
    EXPECT_EQ(recent->stickers()[0]->stickerId(), first->stickerId());
    EXPECT_EQ(recent->stickers()[1]->url(), other->stickerUrl());
}

TEST_F(KeyboardTest, WithoutPacksTheRecentTabShowsAndWithoutADelegateATapDoesNothing) {
    startWithUserData();
    showHost();
    auto k = showPane(VelkoraStickersKeyboardView::initFromNibWithVC(host_, {}));
    ASSERT_TRUE(k);
    EXPECT_EQ(tabIds(*k), (std::vector<int32_t>{-1, -2}));
    EXPECT_TRUE(tab(*k, -1)->isSelected());
    EXPECT_TRUE(logged("Velkora - No stickers in pack (id=-1)"));
    EXPECT_TRUE(tiles(*k).empty());

    // A record that lost even the recent pack: an empty tab, nothing breaks.
    record()->setStickerPacksMap(VelkoraUserInfo::StickerPacksMap{});
    k->loadBarItems();
    EXPECT_EQ(tabIds(*k), (std::vector<int32_t>{-1, -2}));
    EXPECT_TRUE(logged("Velkora - No pack for pack Id -1 ?"));
    putInRecord(makePack(1, 4, "smileys"));
    k->loadBarItems();
    tiles(*k)[0]->stickerClicked(nullptr);
    EXPECT_TRUE(delegate_->stickers.empty());
}

TEST_F(KeyboardTest, APackAnnouncedWhileShownAddsATabAndARotationRemovesThePane) {
    startWithUserData();
    showHost();
    auto k = keyboard();
    ASSERT_TRUE(k);
    size_t observers = foundation::NotificationCenter::defaultCenter().observerCount();
    auto pack = makePack(3, 13, "doodles");
    foundation::NotificationCenter::defaultCenter().post(
        kVelkoraNotificationStickerPackAdded, nullptr,
        foundation::Value(
            foundation::Dictionary{{"packId", foundation::Value(3)}, {"pack", foundation::Value::object(pack)}}));
    EXPECT_EQ(tabIds(*k), (std::vector<int32_t>{-1, 3, -2}));
    EXPECT_TRUE(tab(*k, 3)->isSelected());
    EXPECT_EQ(foundation::NotificationCenter::defaultCenter().observerCount(), observers)
        << "one registration however often the tabs are rebuilt";

    ASSERT_TRUE(k->superview());
    ui::Application::instance().setStatusBarOrientation(3);
    k->setNeedsLayout();
    window_->layoutIfNeeded();
    EXPECT_FALSE(k->superview());
}

TEST_F(KeyboardTest, LandscapeAndTabletKeyboards) {
    struct Case {
        const char* name;
        bool tablet;
        int orientation;
        float width;
        int rows;
    } cases[] = {{"keyboard_landscape", false, 3, 568, 1}, {"keyboard_tablet", true, 1, 768, 2}};
    startWithUserData();
    putInRecord(makePack(3, 13, "doodles"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.tablet) becomeTablet();
        ui::Application::instance().setStatusBarOrientation(c.orientation);
        showHost();
        auto k = keyboard();
        ASSERT_TRUE(k);
        EXPECT_EQ(k->lastOrientation(), c.orientation);
        EXPECT_EQ(k->grid().pageWidth, c.width);
        EXPECT_EQ(k->grid().rows, c.rows);
        ASSERT_TRUE(picturesLoaded());
        expectLooksLike(*k, c.name);
        k->removeFromSuperview();
    }
}

TEST_F(KeyboardTest, ThePhotoPaneHandsOverACameraShotScaledAndAnAlbumPick) {
    startWithUserData();
    services::Device::instance().update([](services::DeviceProfile& p) {
        p.cameraAvailable = true;
        p.privacyAnswers[services::Prompt::Photos] = true;
        p.album = {{"lake.png", pngOf(40, 30)}};
    });
    showHost();
    auto pane = showPane(VelkoraUploadImageKeyboardView::initFromNibWithVC(host_, delegate_));
    ASSERT_TRUE(pane);
    EXPECT_EQ(pane->takePhotoLabel()->text(), "Take Photo");
    EXPECT_EQ(pane->chooseExistingLabel()->text(), "Choose Existing");
    expectLooksLike(*pane, "photo_pane");

    services::Device::instance().setNextCameraShot(pngOf(1600, 1200));
    const size_t album = services::Device::instance().album().size();
    pane->takePhotoClicked(nullptr);
    ASSERT_TRUE(pane->pictureTaker() && pane->pictureTaker()->picker());
    EXPECT_EQ(pane->pictureTaker()->picker()->sourceType(), ui::ImagePickerControllerSourceTypeCamera);
    ASSERT_TRUE(pane->pictureTaker()->picker()->shoot());
    loop().advance(1);
    ASSERT_EQ(delegate_->images.size(), 1u);
    EXPECT_EQ(delegate_->images[0]->pixelWidth(), 800);
    EXPECT_EQ(delegate_->images[0]->pixelHeight(), 600);
    EXPECT_EQ(services::Device::instance().album().size(), album + 1);

    pane->chooseExistingClicked(nullptr);
    ASSERT_TRUE(pane->pictureTaker() && pane->pictureTaker()->picker());
    EXPECT_EQ(pane->pictureTaker()->picker()->sourceType(), ui::ImagePickerControllerSourceTypeSavedPhotosAlbum);
    ASSERT_TRUE(pane->pictureTaker()->picker()->pickPhotoAtIndex(0));
    loop().advance(1);
    ASSERT_EQ(delegate_->images.size(), 2u);
    EXPECT_EQ(delegate_->images[1]->pixelWidth(), 40) << "a small picture stays as it is";
    EXPECT_EQ(services::Device::instance().album().size(), album + 1);

    services::Device::instance().update([](services::DeviceProfile& p) { p.cameraAvailable = false; });
    pane->takePhotoClicked(nullptr);
    EXPECT_TRUE(logged("Velkora - Can not take user picture"));
}

} // namespace velkora::testing
