// The picture taker on a phone and a tablet: the sheet of sources, the camera and the album through the
// device's picker, the album entry a camera shot adds, and the ways of giving up that tell no one.
#include <memory>
#include <string>
#include <vector>

#include "WidgetFixture.h"
#include "WidgetSnapshot.h"
#include "platform/foundation/Log.h"
#include "platform/services/Device.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/Label.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "shell/VelkoraPictureTaker.h"

namespace velkora::testing {
namespace {

struct Taken : VelkoraPictureTakerDelegate {
    std::vector<std::shared_ptr<ui::Image>> pictures;
    bool pictureTaken(const std::shared_ptr<ui::Image>& image) override {
        pictures.push_back(image);
        return true;
    }
};

std::string pngOf(ui::Color color, double width, double height) {
    auto context = ui::GraphicsContext::bitmap({width, height}, 1.0, true);
    context->setFillColor(color);
    context->fillRect({0, 0, width, height});
    auto bytes = context->makeImage()->pngData();
    return std::string(bytes.begin(), bytes.end());
}

class PictureTakerTest : public WidgetFixture {
protected:
    void SetUp() override {
        WidgetFixture::SetUp();
        services::Device::instance().resetForTests();
        services::Device::instance().update([](services::DeviceProfile& p) {
            p.cameraAvailable = true;
            p.privacyAnswers[services::Prompt::Photos] = true;
            p.album = {{"lake.png", pngOf(ui::Color::fromHex("#1E6FD9"), 40, 30)},
                       {"grass.png", pngOf(ui::Color::fromHex("#34C759"), 30, 50)}};
        });
        taken = std::make_shared<Taken>();
        taker = VelkoraPictureTaker::create();
    }
    void TearDown() override {
        taker.reset();
        if (window) window->setHidden(true);
        window.reset();
        controller.reset();
        services::Device::instance().resetForTests();
        ui::Device::current().setUserInterfaceIdiom(ui::UserInterfaceIdiom::Phone);
        ui::Screen::main().setBounds({0, 0, 320, 568});
        WidgetFixture::TearDown();
    }

    // The client's screen, shown full-screen.
    void showClientScreen() {
        controller = ui::ViewController::create();
        window = ui::Window::create(ui::Screen::main().bounds());
        window->setRootViewController(controller);
        window->makeKeyAndVisible();
        auto view = controller->view();
        view->setBackgroundColor(ui::Color::whiteColor());
        auto label = ui::Label::create({20, 80, view->bounds().width() - 40, 30});
        label->setText("Your picture");
        label->setTextAlignment(ui::TextAlignment::Center);
        view->addSubview(label);
        ui::Application::instance().layoutWindows();
    }
    bool startWithSheet() {
        return taker->startCameraControllerFromViewController(controller, taken, controller->view().get());
    }
    void settleTransitions() { loop().advance(1); }
    size_t albumSize() const { return services::Device::instance().album().size(); }

    std::shared_ptr<Taken> taken;
    std::shared_ptr<VelkoraPictureTaker> taker;
    std::shared_ptr<ui::ViewController> controller;
    std::shared_ptr<ui::Window> window;
};

TEST_F(PictureTakerTest, WithoutAControllerOrADelegateNothingStarts) {
    showClientScreen();
    struct Case {
        bool controller, delegate, sheet;
    };
    for (Case c : {Case{false, true, true}, Case{true, false, true}, Case{false, false, true}, Case{false, true, false},
                   Case{true, false, false}}) {
        SCOPED_TRACE(std::to_string(c.controller) + std::to_string(c.delegate) + std::to_string(c.sheet));
        auto fresh = VelkoraPictureTaker::create();
        std::shared_ptr<ui::ViewController> who = c.controller ? controller : nullptr;
        std::shared_ptr<VelkoraPictureTakerDelegate> to = c.delegate ? taken : nullptr;
        bool started = c.sheet ? fresh->startCameraControllerFromViewController(who, to, controller->view().get())
                               : fresh->startCameraControllerFromViewController(
                                     who, to, int(ui::ImagePickerControllerSourceTypeSavedPhotosAlbum));
        EXPECT_FALSE(started);
        EXPECT_FALSE(fresh->actionSheet());
        EXPECT_FALSE(fresh->picker());
        EXPECT_FALSE(controller->presentedViewController());
    }
}

TEST_F(PictureTakerTest, TheSheetOffersBothSourcesAndItsCancelShowsNothing) {
    showClientScreen();
    ASSERT_TRUE(startWithSheet());
    auto sheet = taker->actionSheet();
    ASSERT_TRUE(sheet);
    EXPECT_TRUE(sheet->isVisible()) << "shown before the start answers";
    EXPECT_EQ(sheet->title(), "");
    ASSERT_EQ(sheet->numberOfButtons(), 3);
    EXPECT_EQ(sheet->buttonTitleAtIndex(0), "Camera");
    EXPECT_EQ(sheet->buttonTitleAtIndex(1), "Saved Photos Album");
    EXPECT_EQ(sheet->buttonTitleAtIndex(2), "Cancel");
    EXPECT_EQ(sheet->cancelButtonIndex(), 2);
    settleTransitions();
    expectMatchesReference(ui::Snapshot::imageOfScreen(), "picture_taker_sheet");

    sheet->tapButtonAtIndex(2);
    settleTransitions();
    EXPECT_FALSE(sheet->isVisible());
    EXPECT_FALSE(taker->picker());
    EXPECT_FALSE(controller->presentedViewController());
    EXPECT_TRUE(taken->pictures.empty());
}

// The sheet's source, what the person does in the picker, and what the album holds afterwards.
struct SourceCase {
    const char* name;
    int button;
    int source;
    size_t albumAfter;
};

class PictureTakerSourceTest : public PictureTakerTest, public ::testing::WithParamInterface<SourceCase> {};

TEST_P(PictureTakerSourceTest, APictureReachesTheDelegateAndOnlyACameraShotTheAlbum) {
    const SourceCase& c = GetParam();
    showClientScreen();
    services::Device::instance().setNextCameraShot(pngOf(ui::Color::fromHex("#FF9500"), 64, 48));
    ASSERT_TRUE(startWithSheet());
    taker->actionSheet()->tapButtonAtIndex(c.button);
    settleTransitions();
    auto picker = taker->picker();
    ASSERT_TRUE(picker);
    EXPECT_EQ(controller->presentedViewController(), picker) << "a phone presents the picker itself";
    EXPECT_EQ(picker->sourceType(), c.source);
    EXPECT_EQ(picker->mediaTypes(), std::vector<std::string>{"public.image"});
    EXPECT_FALSE(picker->allowsEditing());

    if (c.source == ui::ImagePickerControllerSourceTypeCamera)
        ASSERT_TRUE(picker->shoot());
    else
        ASSERT_TRUE(picker->pickPhotoAtIndex(1));
    ASSERT_EQ(taken->pictures.size(), 1u);
    EXPECT_EQ(taken->pictures[0]->pixelWidth(), c.source == ui::ImagePickerControllerSourceTypeCamera ? 64 : 30);
    ASSERT_TRUE(loop().runUntil([&] { return albumSize() == c.albumAfter; }, 10));
    settleTransitions();
    EXPECT_EQ(albumSize(), c.albumAfter);
    EXPECT_FALSE(controller->presentedViewController());
    EXPECT_FALSE(taker->picker());
}

INSTANTIATE_TEST_SUITE_P(Sources, PictureTakerSourceTest,
                         ::testing::Values(SourceCase{"camera", 0, ui::ImagePickerControllerSourceTypeCamera, 3},
                                           SourceCase{"album", 1, ui::ImagePickerControllerSourceTypeSavedPhotosAlbum,
                                                      2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PictureTakerTest, OnATabletThePickerHangsFromTheControllersViewAndATapOutsideLetsItGo) {
    ui::Device::current().setUserInterfaceIdiom(ui::UserInterfaceIdiom::Pad);
    ui::Screen::main().setBounds({0, 0, 768, 1024});
    showClientScreen();
    ASSERT_TRUE(taker->startCameraControllerFromViewController(
        controller, taken, int(ui::ImagePickerControllerSourceTypeSavedPhotosAlbum)));
    auto popover = taker->popover();
    ASSERT_TRUE(popover);
    EXPECT_TRUE(popover->isPopoverVisible());
    EXPECT_EQ(popover->contentViewController(), taker->picker());
    EXPECT_FALSE(controller->presentedViewController()) << "a tablet shows it in the popover only";
    ASSERT_TRUE(popover->popoverView());
    EXPECT_EQ(popover->popoverView()->window(), controller->view()->window());

    // A tap outside closes the popover without a picker callback: the picker goes quietly.
    EXPECT_TRUE(popover->tapOutside());
    settleTransitions();
    EXPECT_FALSE(popover->isPopoverVisible());
    EXPECT_FALSE(taker->picker());
    EXPECT_FALSE(taker->popover());
    EXPECT_TRUE(taken->pictures.empty());

    // A second request picks; the popover closes with the picture.
    ASSERT_TRUE(taker->startCameraControllerFromViewController(
        controller, taken, int(ui::ImagePickerControllerSourceTypeSavedPhotosAlbum)));
    popover = taker->popover();
    ASSERT_TRUE(taker->picker()->pickPhotoAtIndex(0));
    settleTransitions();
    EXPECT_EQ(taken->pictures.size(), 1u);
    EXPECT_FALSE(popover->isPopoverVisible());
    EXPECT_FALSE(taker->popover());
}

TEST_F(PictureTakerTest, ACancelledPickerAndAMissingCameraTellNoOne) {
    showClientScreen();
    ASSERT_TRUE(taker->startCameraControllerFromViewController(
        controller, taken, int(ui::ImagePickerControllerSourceTypeSavedPhotosAlbum)));
    settleTransitions();
    taker->picker()->cancel();
    settleTransitions();
    EXPECT_FALSE(controller->presentedViewController());
    EXPECT_FALSE(taker->picker());

    services::Device::instance().update([](services::DeviceProfile& p) { p.cameraAvailable = false; });
    foundation::Log::Capture capture;
    // Straight to the camera: refused, nothing shown in its place.
    EXPECT_FALSE(taker->startCameraControllerFromViewController(controller, taken,
                                                                int(ui::ImagePickerControllerSourceTypeCamera)));
    // Chosen on the sheet: nothing shown either.
    ASSERT_TRUE(startWithSheet());
    taker->actionSheet()->tapButtonAtIndex(0);
    settleTransitions();
    EXPECT_FALSE(taker->picker());
    EXPECT_FALSE(controller->presentedViewController());
    EXPECT_EQ(capture.count("is not available on this device"), 2u);
    EXPECT_TRUE(taken->pictures.empty());
    EXPECT_EQ(albumSize(), 2u);
}

TEST_F(PictureTakerTest, ATakerLetGoWhileItsPickerShowsLeavesNothingBehind) {
    showClientScreen();
    ASSERT_TRUE(taker->startCameraControllerFromViewController(
        controller, taken, int(ui::ImagePickerControllerSourceTypeSavedPhotosAlbum)));
    settleTransitions();
    auto picker = taker->picker();
    taker.reset();
    // The picker outlives its delegate: a late pick reaches no one and nothing crashes.
    EXPECT_TRUE(picker->pickPhotoAtIndex(0));
    EXPECT_TRUE(taken->pictures.empty());
}

} // namespace
} // namespace velkora::testing
