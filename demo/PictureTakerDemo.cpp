// What a host's user sees when the kit asks for a picture: the sheet of sources over the screen, then the
// saved-photos album, a photo picked and handed to the screen that asked.
#include <memory>
#include <string>

#include "DemoSteps.h"
#include "platform/foundation/RunLoop.h"
#include "platform/services/Device.h"
#include "platform/ui/Application.h"
#include "platform/ui/Image.h"
#include "platform/ui/Label.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "shell/VelkoraPictureTaker.h"

namespace {

using namespace velkora;

struct PictureReceiver : VelkoraPictureTakerDelegate {
    explicit PictureReceiver(demo::Demo& d) : demo(d) {}
    demo::Demo& demo;
    std::shared_ptr<ui::Image> picture;
    bool pictureTaken(const std::shared_ptr<ui::Image>& image) override {
        picture = image;
        demo.say("the screen got a picture of " + std::to_string(image->pixelWidth()) + " x " +
                 std::to_string(image->pixelHeight()) + " pixels");
        return true;
    }
};

} // namespace

VELKORA_DEMO_STEP(pictureTaker, 457, DemoStep::Nothing) {
    auto controller = ui::ViewController::create();
    auto window = ui::Window::createFullScreen();
    window->setRootViewController(controller);
    window->makeKeyAndVisible();
    auto view = controller->view();
    view->setBackgroundColor(ui::Color::whiteColor());
    auto label = ui::Label::create({20, 80, view->bounds().width() - 40, 30});
    label->setText("Choose your picture");
    label->setTextAlignment(ui::TextAlignment::Center);
    view->addSubview(label);
    ui::Application::instance().layoutWindows();

    auto receiver = std::make_shared<PictureReceiver>(demo);
    auto taker = VelkoraPictureTaker::create();
    if (!taker->startCameraControllerFromViewController(controller, receiver, view.get())) {
        demo.say("Velkora - Can not take user picture");
        return false;
    }
    demo.loop().runUntil([] { return false; }, 0.5);
    bool shown = demo.writeScreenPng("picture_taker_sheet");
    demo.say("the user chooses \"Saved Photos Album\"");
    taker->actionSheet()->tapButtonAtIndex(VelkoraPictureTaker::kSavedPhotosAlbumButton);
    demo.loop().runUntil([] { return false; }, 0.5);
    auto picker = taker->picker();
    if (!picker || picker->albumCount() == 0) {
        demo.say("the album is empty on this device");
        window->setHidden(true);
        return false;
    }
    shown = demo.writeScreenPng("picture_taker_album") && shown;
    picker->pickPhotoAtIndex(0);
    demo.loop().runUntil([] { return false; }, 0.5);
    window->setHidden(true);
    return shown && receiver->picture != nullptr;
}
