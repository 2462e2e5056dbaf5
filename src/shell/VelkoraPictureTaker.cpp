#include "shell/VelkoraPictureTaker.h"

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/Image.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"

namespace velkora {

using foundation::Log;

VelkoraPictureTaker::~VelkoraPictureTaker() {
    if (actionSheet_) actionSheet_->setDelegate({});
    if (popover_) {
        popover_->setDelegate({});
        popover_->dismissPopoverAnimated(false);
    }
}

bool VelkoraPictureTaker::record(const std::shared_ptr<ui::ViewController>& controller,
                                 const std::shared_ptr<VelkoraPictureTakerDelegate>& delegate) {
    if (!controller || !delegate) return false;
    controller_ = controller;
    delegate_ = delegate;
    return true;
}

bool VelkoraPictureTaker::startCameraControllerFromViewController(
    const std::shared_ptr<ui::ViewController>& controller, const std::shared_ptr<VelkoraPictureTakerDelegate>& delegate,
    ui::View* view) {
    if (!record(controller, delegate)) return false;
    if (actionSheet_) actionSheet_->setDelegate({});
    actionSheet_ = ui::ActionSheet::create(
        "", weak_from_this(), std::nullopt, std::nullopt,
        {"Camera", "Saved Photos Album", foundation::Bundle::main().localizedString("velkora_text_cancel_button")});
    actionSheet_->setCancelButtonIndex(kCancelButton);
    auto sheet = actionSheet_;
    // Shown before the call returns, from whichever thread asked.
    foundation::RunLoop::main().postAndWait([sheet, view] { sheet->showInView(view); });
    return true;
}

bool VelkoraPictureTaker::startCameraControllerFromViewController(
    const std::shared_ptr<ui::ViewController>& controller, const std::shared_ptr<VelkoraPictureTakerDelegate>& delegate,
    int sourceType) {
    if (!record(controller, delegate)) return false;
    return presentCameraUI(sourceType);
}

void VelkoraPictureTaker::clickedButtonAtIndex(ui::ActionSheet&, int index) {
    if (index == kCancelButton) return;
    presentCameraUI(index == kCameraButton ? ui::ImagePickerControllerSourceTypeCamera
                                           : ui::ImagePickerControllerSourceTypeSavedPhotosAlbum);
}

bool VelkoraPictureTaker::presentCameraUI(int sourceType) {
    auto controller = controller_.lock();
    if (!controller) return false;
    // A picker told of a source it lacks would quietly show another one instead.
    if (!ui::ImagePickerController::isSourceTypeAvailable(sourceType)) {
        Log::line("Velkora (W) - The picture source %d is not available on this device", sourceType);
        return false;
    }
    closePicker();
    picker_ = ui::ImagePickerController::create();
    picker_->setSourceType(sourceType);
    if (auto imageType = VelkoraDynamicFrameworkLoader::loadStringConstant("kUTTypeImage", "MobileCoreServices"))
        picker_->setMediaTypes({*imageType});
    else
        Log::line("Velkora (W) - MobileCoreServices is missing: the picker keeps its own media types");
    picker_->setAllowsEditing(false);
    picker_->setDelegate(weak_from_this());

    if (ui::Device::current().isPad()) {
        auto view = controller->view();
        popover_ = ui::PopoverController::create(picker_);
        popover_->setDelegate(weak_from_this());
        popover_->presentPopoverFromRect(view->bounds(), view.get(), ui::PopoverArrowDirectionAny, true);
    } else {
        controller->presentViewController(picker_, true);
    }
    return true;
}

void VelkoraPictureTaker::imagePickerControllerDidFinishPickingMediaWithInfo(ui::ImagePickerController& picker,
                                                                             const foundation::Value& info) {
    // Kept: the delegate may start another request, which replaces the picker.
    auto keep = picker_;
    std::shared_ptr<ui::Image> image;
    if (const foundation::Value* original = info.get(ui::kImagePickerControllerOriginalImage))
        image = original->asObject<ui::Image>();
    if (auto delegate = delegate_.lock(); delegate && image) delegate->pictureTaken(image);
    if (image && picker.sourceType() == ui::ImagePickerControllerSourceTypeCamera)
        ui::imageWriteToSavedPhotosAlbum(image);
    if (picker_.get() == &picker) closePicker();
}

void VelkoraPictureTaker::imagePickerControllerDidCancel(ui::ImagePickerController& picker) {
    if (picker_.get() == &picker) closePicker();
}

void VelkoraPictureTaker::popoverControllerDidDismissPopover(ui::PopoverController& popover) {
    if (popover_.get() != &popover) return;
    popover_.reset();
    picker_.reset();
}

void VelkoraPictureTaker::closePicker() {
    if (popover_) {
        popover_->dismissPopoverAnimated(true);
        popover_.reset();
    } else if (picker_ && picker_->presentingViewController()) {
        picker_->dismissViewController(true);
    }
    picker_.reset();
}

} // namespace velkora
