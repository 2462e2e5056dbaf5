#include "shell/VelkoraCellBackgroundView.h"

#include "platform/ui/Image.h"

namespace velkora {

void VelkoraCellBackgroundView::setImage(std::shared_ptr<ui::Image> image) {
    if (image) image = image->resizableImageWithCapInsets({20, 17, 20, 17}, ui::ImageResizingMode::Stretch);
    ui::ImageView::setImage(std::move(image));
}

void VelkoraCellBackgroundView::awakeFromInterface() {
    if (auto current = image()) setImage(current);
}

} // namespace velkora
