#include "platform/ui/ImagePickerController.h"

#include "platform/foundation/Log.h"
#include "platform/services/Device.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Font.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"

namespace velkora::ui {

namespace {

constexpr double kBarHeight = 44;
const Color kTint = Color::fromHex("#1E6FD9");

std::shared_ptr<Image> decode(const std::string& data) {
    return Image::fromData(std::string_view(data));
}

// What the camera sees when nobody set the next shot: a plain frame of its own.
std::shared_ptr<Image> plainShot() {
    auto ctx = GraphicsContext::bitmap({640, 480});
    ctx->setFillColor(Color::fromHex("#5A7D9A"));
    ctx->fillRect({0, 0, 640, 480});
    ctx->setFillColor(Color::fromHex("#E8D8A8"));
    ctx->fillRect({0, 320, 640, 160});
    return ctx->makeImage();
}

// The album's square thumbnail: the picture scaled to fill the square, its middle kept.
std::shared_ptr<Image> thumbnailOf(const std::shared_ptr<Image>& picture, double side) {
    auto ctx = GraphicsContext::bitmap({side, side}, 2.0);
    ctx->setFillColor(Color::fromHex("#E5E5EA"));
    ctx->fillRect({0, 0, side, side});
    if (picture && picture->size().width > 0 && picture->size().height > 0) {
        Size size = picture->size();
        double scale = std::max(side / size.width, side / size.height);
        double w = size.width * scale, h = size.height * scale;
        ctx->clipToRect({0, 0, side, side});
        ctx->drawImage(*picture, Rect{(side - w) / 2, (side - h) / 2, w, h});
    }
    return ctx->makeImage();
}

std::shared_ptr<Button> barButton(const std::string& title, const Rect& frame) {
    auto b = Button::create(ButtonType::Custom, frame);
    b->setTitle(title);
    b->setTitleColor(kTint);
    b->titleLabel()->setFont(Font::systemFont(16));
    return b;
}

} // namespace

bool ImagePickerController::isSourceTypeAvailable(int sourceType) {
    switch (sourceType) {
    case ImagePickerControllerSourceTypeCamera:
        return services::Device::instance().profile().cameraAvailable;
    case ImagePickerControllerSourceTypePhotoLibrary:
    case ImagePickerControllerSourceTypeSavedPhotosAlbum:
        return true;
    default:
        return false;
    }
}

void ImagePickerController::setSourceType(int sourceType) {
    if (!isSourceTypeAvailable(sourceType)) {
        foundation::Log::line("Velkora (W) - Source type %d is not available on this device", sourceType);
        return;
    }
    sourceType_ = sourceType;
}

size_t ImagePickerController::albumCount() const {
    return services::Device::instance().album().size();
}

void ImagePickerController::loadView() {
    Rect screen = Screen::main().bounds();
    double width = screen.size.width;
    bool camera = sourceType_ == ImagePickerControllerSourceTypeCamera;
    auto root = View::create(screen);
    root->setBackgroundColor(camera ? Color::black() : Color::whiteColor());
    auto self = std::static_pointer_cast<ImagePickerController>(shared_from_this());

    auto bar = View::create({0, 0, width, kBarHeight});
    bar->setBackgroundColor(camera ? Color::fromHex("#1C1C1E") : Color::fromHex("#F2F2F5"));
    auto title = Label::create({80, 0, width - 160, kBarHeight});
    title->setText(camera ? "Camera" : "Saved Photos");
    title->setFont(Font::boldSystemFont(17));
    title->setTextColor(camera ? Color::whiteColor() : Color::black());
    title->setTextAlignment(TextAlignment::Center);
    bar->addSubview(title);
    auto cancelButton = barButton("Cancel", {width - 84, 0, 80, kBarHeight});
    cancelButton->addTarget(self, &ImagePickerController::cancelPressed, ControlEventTouchUpInside);
    bar->addSubview(cancelButton);
    root->addSubview(bar);

    if (camera) {
        auto frame = View::create({0, kBarHeight, width, width * 4 / 3});
        frame->setBackgroundColor(Color::fromHex("#2C2C2E"));
        frame->layer().setBorderWidth(1);
        frame->layer().setBorderColor(Color::fromHex("#8E8E93"));
        root->addSubview(frame);
        double shutterTop = kBarHeight + width * 4 / 3 + 12;
        auto shutter = Button::create(ButtonType::Custom, {width / 2 - 32, shutterTop, 64, 64});
        shutter->setBackgroundColor(Color::whiteColor());
        shutter->layer().setCornerRadius(32);
        shutter->layer().setBorderWidth(4);
        shutter->layer().setBorderColor(Color::fromHex("#8E8E93"));
        shutter->addTarget(self, &ImagePickerController::shutterPressed, ControlEventTouchUpInside);
        root->addSubview(shutter);
    } else {
        // Four pictures a row, square thumbnails with a small gap, as the album shows them.
        double gap = (width - 4 * kThumbnailSide) / 5;
        auto album = services::Device::instance().album();
        for (size_t i = 0; i < album.size(); ++i) {
            auto thumbnail = ImageView::withImage(thumbnailOf(decode(album[i].data), kThumbnailSide));
            thumbnail->setFrame({gap + static_cast<double>(i % 4) * (kThumbnailSide + gap),
                                 kBarHeight + gap + static_cast<double>(i / 4) * (kThumbnailSide + gap), kThumbnailSide,
                                 kThumbnailSide});
            root->addSubview(thumbnail);
        }
        if (album.empty()) {
            auto empty = Label::create({20, kBarHeight + 40, width - 40, 30});
            empty->setText("No Photos");
            empty->setTextAlignment(TextAlignment::Center);
            empty->setTextColor(Color::fromHex("#8E8E93"));
            root->addSubview(empty);
        }
    }
    setView(root);
}

bool ImagePickerController::pickPhotoAtIndex(size_t index) {
    if (finished_ || sourceType_ == ImagePickerControllerSourceTypeCamera) return false;
    auto album = services::Device::instance().album();
    if (index >= album.size()) return false;
    auto image = decode(album[index].data);
    if (!image) {
        foundation::Log::line("Velkora (W) - The album's picture %@ cannot be read", album[index].name);
        return false;
    }
    finishWith(image);
    return true;
}

bool ImagePickerController::shoot() {
    if (finished_ || sourceType_ != ImagePickerControllerSourceTypeCamera) return false;
    std::shared_ptr<Image> image;
    if (auto shot = services::Device::instance().takeNextCameraShot()) image = decode(*shot);
    finishWith(image ? image : plainShot());
    return true;
}

void ImagePickerController::cancel() {
    if (finished_) return;
    finished_ = true;
    if (auto delegate = delegate_.lock()) delegate->imagePickerControllerDidCancel(*this);
}

void ImagePickerController::finishWith(std::shared_ptr<Image> image) {
    finished_ = true;
    foundation::Dictionary info{{kImagePickerControllerMediaType, kImagePickerMediaTypeImage},
                                {kImagePickerControllerOriginalImage, foundation::Value::object(image)}};
    if (auto delegate = delegate_.lock()) delegate->imagePickerControllerDidFinishPickingMediaWithInfo(*this, info);
}

void imageWriteToSavedPhotosAlbum(const std::shared_ptr<Image>& image,
                                  std::function<void(const foundation::ErrorPtr& error)> completion) {
    if (!image) return;
    auto png = image->pngData();
    std::string data(png.begin(), png.end());
    services::Device::instance().ask(services::Prompt::Photos, [data, completion](bool granted) {
        if (granted) {
            services::Device::instance().update([&](services::DeviceProfile& p) {
                p.album.push_back({"photo-" + std::to_string(p.album.size() + 1) + ".png", data});
            });
        }
        if (completion) completion(granted ? nullptr : foundation::makeError("ALAssetsLibraryErrorDomain", -3311));
    });
}

} // namespace velkora::ui
