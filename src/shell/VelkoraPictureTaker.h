// Lets the user take a photo with the camera or pick one from the saved-photos album, asking first with an
// action sheet or going straight to a source, and hands the picture to its delegate. On a tablet the
// picker hangs in a popover from the presenting screen's view; on a phone the screen presents it.
#pragma once

#include <memory>

#include "platform/ui/ActionSheet.h"
#include "platform/ui/ImagePickerController.h"
#include "platform/ui/PopoverController.h"

namespace velkora {

namespace ui {
class Image;
class View;
class ViewController;
} // namespace ui

class VelkoraPictureTakerDelegate {
public:
    virtual ~VelkoraPictureTakerDelegate() = default;
    // The taker does not use the answer.
    virtual bool pictureTaken(const std::shared_ptr<ui::Image>& image) = 0;
};

// Serves one request at a time; the client keeps it alive until the picture arrives or the user cancels,
// since neither the sheet nor the picker holds it.
class VelkoraPictureTaker : public ui::ActionSheetDelegate,
                            public ui::ImagePickerControllerDelegate,
                            public ui::PopoverControllerDelegate,
                            public std::enable_shared_from_this<VelkoraPictureTaker> {
public:
    // The sheet's buttons, by index.
    enum SheetButton : int { kCameraButton = 0, kSavedPhotosAlbumButton = 1, kCancelButton = 2 };

    static std::shared_ptr<VelkoraPictureTaker> create() { return std::make_shared<VelkoraPictureTaker>(); }
    ~VelkoraPictureTaker() override;

    // Asks with the sheet, shown in `view`. False, showing nothing, without a controller or a delegate.
    bool startCameraControllerFromViewController(const std::shared_ptr<ui::ViewController>& controller,
                                                 const std::shared_ptr<VelkoraPictureTakerDelegate>& delegate,
                                                 ui::View* view);
    // Straight to a source (1 camera, 2 saved-photos album). False without a controller or a delegate, and
    // for a source the device does not have.
    bool startCameraControllerFromViewController(const std::shared_ptr<ui::ViewController>& controller,
                                                 const std::shared_ptr<VelkoraPictureTakerDelegate>& delegate,
                                                 int sourceType);

    // False when nothing was shown: no controller any more, or a source the device does not have.
    bool presentCameraUI(int sourceType);

    void clickedButtonAtIndex(ui::ActionSheet& sheet, int index) override;
    void imagePickerControllerDidFinishPickingMediaWithInfo(ui::ImagePickerController& picker,
                                                            const foundation::Value& info) override;
    void imagePickerControllerDidCancel(ui::ImagePickerController& picker) override;
    // A tap outside the tablet's popover closes it without a picker callback: the picker goes with it.
    void popoverControllerDidDismissPopover(ui::PopoverController& popover) override;

    // What is showing, for whoever needs to look.
    const std::shared_ptr<ui::ActionSheet>& actionSheet() const { return actionSheet_; }
    const std::shared_ptr<ui::ImagePickerController>& picker() const { return picker_; }
    const std::shared_ptr<ui::PopoverController>& popover() const { return popover_; }

private:
    bool record(const std::shared_ptr<ui::ViewController>& controller,
                const std::shared_ptr<VelkoraPictureTakerDelegate>& delegate);
    void closePicker();

    std::weak_ptr<VelkoraPictureTakerDelegate> delegate_;
    std::weak_ptr<ui::ViewController> controller_;
    std::shared_ptr<ui::PopoverController> popover_;
    std::shared_ptr<ui::ImagePickerController> picker_;
    std::shared_ptr<ui::ActionSheet> actionSheet_;
};

} // namespace velkora
