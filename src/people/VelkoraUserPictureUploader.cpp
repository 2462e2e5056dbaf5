#include "people/VelkoraUserPictureUploader.h"

#include "data/VelkoraUtils.h"
#include "platform/foundation/Log.h"
#include "platform/ui/ViewController.h"
#include "server/VelkoraServerApi.h"
#include "shell/VelkoraAccountScreenSupport.h"
#include "shell/VelkoraPictureTaker.h"

namespace velkora {

using foundation::Log;

std::shared_ptr<VelkoraUserPictureUploader> VelkoraUserPictureUploader::create(ui::ActivityIndicatorViewStyle style) {
    auto uploader = std::shared_ptr<VelkoraUserPictureUploader>(new VelkoraUserPictureUploader(style));
    VelkoraUserPictureUploader* raw = uploader.get();
    uploader->VelkoraLazyImageDelegate::imageDidFinish = [raw](VelkoraLazyImageView&) { raw->imageShown(); };
    return uploader;
}

VelkoraUserPictureUploader::~VelkoraUserPictureUploader() {
    // A late reply reaches nobody.
    VelkoraServerApi::clearUserDelegate(this);
}

bool VelkoraUserPictureUploader::startTaking(const std::shared_ptr<ui::ViewController>& screen,
                                             const std::shared_ptr<VelkoraPictureTakerDelegate>& delegate) {
    pictureTaker_ = VelkoraPictureTaker::create();
    if (screen &&
        pictureTaker_->startCameraControllerFromViewController(screen, delegate, screen->viewIfLoaded().get()))
        return true;
    Log::line("Velkora - Can not take user picture");
    return false;
}

bool VelkoraUserPictureUploader::pictureTaken(const std::shared_ptr<ui::Image>& image, ui::View& screenView,
                                              const std::shared_ptr<VelkoraLazyImageView>& pictureView) {
    if (!image) return false;
    std::optional<ui::Point> centre;
    if (pictureView && pictureView->superview()) {
        const ui::Rect frame = pictureView->frame();
        ui::Point c = pictureView->superview()->convertPointToView({frame.midX(), frame.midY()}, &screenView);
        centre = ui::Point{c.x - 3, c.y - 3};
    }
    if (activityIndicator_) activityIndicator_->removeFromSuperview();
    activityIndicator_ = account::startIndicator(screenView, indicatorStyle_, centre);
    pictureView_ = pictureView;
    if (pictureView) pictureView->setDelegate(std::weak_ptr<VelkoraLazyImageDelegate>(shared_from_this()));
    auto square = VelkoraUtils::scaleAndCropImage(image, kUploadSide);
    VelkoraServerApi::uploadUserImage(VelkoraCallback(shared_from_this(), &VelkoraUserPictureUploader::pictureUploaded,
                                                      &VelkoraUserPictureUploader::pictureUploadFailed),
                                      square);
    return true;
}

void VelkoraUserPictureUploader::pictureUploaded(const foundation::Value& address) {
    const std::string* text = address.asString();
    if (!text) return;
    uploadedImageUrl_ = *text;
    if (auto view = pictureView_.lock()) view->getImage(*text);
}

void VelkoraUserPictureUploader::pictureUploadFailed(const foundation::ErrorPtr&) {
    Log::line("Velkora (E) - Failed uploading User Picture");
    if (activityIndicator_) activityIndicator_->stopAnimating();
}

void VelkoraUserPictureUploader::imageShown() {
    if (activityIndicator_) activityIndicator_->stopAnimating();
    if (auto view = pictureView_.lock()) view->setDelegate({});
}

} // namespace velkora
