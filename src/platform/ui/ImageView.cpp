#include "platform/ui/ImageView.h"

#include "platform/ui/Image.h"

namespace velkora::ui {

ImageView::ImageView(const Rect& frame) : View(frame) {
    setUserInteractionEnabled(false);
    setOpaque(false);
}

ImageView::ImageView(std::shared_ptr<Image> image) : ImageView(Rect{}) {
    image_ = std::move(image);
    if (image_) setFrame({{0, 0}, sizeOfImage(image_)});
}

Size ImageView::sizeOfImage(const std::shared_ptr<Image>& image) { return image ? image->size() : Size{0, 0}; }

void ImageView::setImage(std::shared_ptr<Image> image) {
    if (image == image_) return;
    image_ = std::move(image);
    setNeedsDisplay();
}

void ImageView::setHighlightedImage(std::shared_ptr<Image> image) {
    highlightedImage_ = std::move(image);
    setNeedsDisplay();
}

void ImageView::setHighlighted(bool h) {
    if (h == highlighted_) return;
    highlighted_ = h;
    setNeedsDisplay();
}

const std::shared_ptr<Image>& ImageView::currentImage() const {
    if (highlighted_ && highlightedImage_) return highlightedImage_;
    return image_;
}

Size ImageView::sizeThatFits(Size /*size*/) const { return sizeOfImage(currentImage()); }

Size ImageView::intrinsicContentSize() const {
    if (!currentImage()) return {-1, -1};
    return sizeOfImage(currentImage());
}

}  // namespace velkora::ui
