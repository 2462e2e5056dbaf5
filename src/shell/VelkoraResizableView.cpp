#include "shell/VelkoraResizableView.h"

#include "platform/ui/Image.h"

namespace velkora {

void VelkoraResizableView::setImage(std::shared_ptr<ui::Image> image) {
    if (image) {
        image =
            tag() == kFixedCapsTag ? image->resizableImageWithCapInsets({20, 18, 20, 18}) : image->halfCapStretchable();
    }
    ui::ImageView::setImage(std::move(image));
}

void VelkoraResizableView::awakeFromInterface() {
    if (auto current = image()) setImage(current);
}

} // namespace velkora
