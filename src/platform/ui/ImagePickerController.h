// The photo picker: the album as a grid of its pictures, or the camera as a frame with a shutter. The
// person picks a picture, shoots one or cancels, and the picker tells its delegate. Saving a picture to
// the album asks the photos prompt first.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "platform/ui/ViewController.h"

namespace velkora::ui {

class Image;
class ImagePickerController;

enum ImagePickerControllerSourceType : int {
    ImagePickerControllerSourceTypePhotoLibrary = 0,
    ImagePickerControllerSourceTypeCamera = 1,
    ImagePickerControllerSourceTypeSavedPhotosAlbum = 2,
};

// Keys of the picked media's information.
inline constexpr const char* kImagePickerControllerOriginalImage = "UIImagePickerControllerOriginalImage";
inline constexpr const char* kImagePickerControllerMediaType = "UIImagePickerControllerMediaType";
inline constexpr const char* kImagePickerMediaTypeImage = "public.image";

class ImagePickerControllerDelegate {
public:
    virtual ~ImagePickerControllerDelegate() = default;
    virtual void imagePickerControllerDidFinishPickingMediaWithInfo(ImagePickerController& picker,
                                                                    const foundation::Value& info) = 0;
    virtual void imagePickerControllerDidCancel(ImagePickerController& picker) = 0;
};

class ImagePickerController : public ViewController {
public:
    static constexpr double kThumbnailSide = 78;

    static bool isSourceTypeAvailable(int sourceType);
    static std::shared_ptr<ImagePickerController> create() { return std::make_shared<ImagePickerController>(); }

    const char* className() const override { return "ImagePickerController"; }
    void loadView() override;

    int sourceType() const { return sourceType_; }
    // An unavailable source is refused (logged) and the picker keeps its own.
    void setSourceType(int sourceType);
    const std::vector<std::string>& mediaTypes() const { return mediaTypes_; }
    void setMediaTypes(std::vector<std::string> types) { mediaTypes_ = std::move(types); }
    bool allowsEditing() const { return allowsEditing_; }
    void setAllowsEditing(bool allows) { allowsEditing_ = allows; }
    void setDelegate(std::weak_ptr<ImagePickerControllerDelegate> delegate) { delegate_ = std::move(delegate); }

    // The album's pictures as the grid shows them.
    size_t albumCount() const;
    // The person's choices. False when the choice is not on this picker (a picture out of range, the
    // shutter of the album) or it has already finished.
    bool pickPhotoAtIndex(size_t index);
    bool shoot();
    void cancel();

private:
    void finishWith(std::shared_ptr<Image> image);
    void shutterPressed(class Control*) { shoot(); }
    void cancelPressed(class Control*) { cancel(); }

    int sourceType_ = ImagePickerControllerSourceTypePhotoLibrary;
    std::vector<std::string> mediaTypes_{kImagePickerMediaTypeImage};
    bool allowsEditing_ = false;
    std::weak_ptr<ImagePickerControllerDelegate> delegate_;
    bool finished_ = false;
};

// Adds a picture to the device's album once the person allows it through the photos prompt; the
// completion (optional) runs on the main run loop with null or the refusal.
void imageWriteToSavedPhotosAlbum(const std::shared_ptr<Image>& image,
                                  std::function<void(const foundation::ErrorPtr& error)> completion = {});

} // namespace velkora::ui
