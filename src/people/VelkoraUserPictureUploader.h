// The picture a user takes for the account: cropped to its centred square, sent at 200 by 200, and shown
// from the address the service answers, with a spinner over the picture until it is there. The address is
// kept until the screen uses it; a failed upload keeps the earlier one.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "shell/VelkoraLazyImageView.h"

namespace velkora {

namespace ui {
class Image;
class View;
class ViewController;
} // namespace ui

class VelkoraPictureTaker;
class VelkoraPictureTakerDelegate;

class VelkoraUserPictureUploader : public VelkoraLazyImageDelegate,
                                   public std::enable_shared_from_this<VelkoraUserPictureUploader> {
public:
    static constexpr float kUploadSide = 200;

    static std::shared_ptr<VelkoraUserPictureUploader> create(ui::ActivityIndicatorViewStyle indicatorStyle);
    ~VelkoraUserPictureUploader() override;

    // Lets the user take or choose a picture for the screen, which hears it as the taker's delegate; false
    // (logged) when the taker cannot start.
    bool startTaking(const std::shared_ptr<ui::ViewController>& screen,
                     const std::shared_ptr<VelkoraPictureTakerDelegate>& delegate);
    // Starts the upload of a taken picture; the spinner sits on the picture view within the screen's view.
    bool pictureTaken(const std::shared_ptr<ui::Image>& image, ui::View& screenView,
                      const std::shared_ptr<VelkoraLazyImageView>& pictureView);
    void pictureUploaded(const foundation::Value& address);
    void pictureUploadFailed(const foundation::ErrorPtr& error);
    // The picture view has shown the answer.
    void imageShown();

    const std::optional<std::string>& uploadedImageUrl() const { return uploadedImageUrl_; }
    void setUploadedImageUrl(std::optional<std::string> url) { uploadedImageUrl_ = std::move(url); }
    const std::shared_ptr<ui::ActivityIndicatorView>& activityIndicator() const { return activityIndicator_; }
    const std::shared_ptr<VelkoraPictureTaker>& pictureTaker() const { return pictureTaker_; }

private:
    explicit VelkoraUserPictureUploader(ui::ActivityIndicatorViewStyle style) : indicatorStyle_(style) {}

    ui::ActivityIndicatorViewStyle indicatorStyle_;
    std::optional<std::string> uploadedImageUrl_;
    std::shared_ptr<ui::ActivityIndicatorView> activityIndicator_;
    std::weak_ptr<VelkoraLazyImageView> pictureView_;
    // Kept until the picture arrives or the user cancels: nothing else holds it.
    std::shared_ptr<VelkoraPictureTaker> pictureTaker_;
};

} // namespace velkora
