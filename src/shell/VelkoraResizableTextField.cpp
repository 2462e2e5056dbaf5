#include "shell/VelkoraResizableTextField.h"

#include "platform/ui/Image.h"

namespace velkora {

void VelkoraResizableTextField::setBackground(std::shared_ptr<ui::Image> image) {
    ui::TextField::setBackground(image ? image->halfCapStretchable() : nullptr);
}

void VelkoraResizableTextField::awakeFromInterface() {
    if (auto current = background()) setBackground(current);
}

} // namespace velkora
