#include "shell/VelkoraMultiLineAutoSize.h"

#include "platform/ui/TextLayout.h"

namespace velkora {

void adjustFontSizeToFit(ui::Label& label) {
    ui::Font font = *label.font();
    const double start = font.pointSize();
    const double smallest = start * label.minimumScaleFactor();
    if (start < smallest) return;
    const ui::Size bounds = label.bounds().size;
    // A scale factor of 0 would otherwise walk down to a font of no size.
    for (double size = start; size >= smallest && size > 0; size -= 1) {
        font = font.withSize(size);
        if (ui::measureText(label.text(), font, bounds.width, 0, ui::LineBreakMode::WordWrap).height <= bounds.height)
            break;
    }
    label.setFont(font);
    label.setNeedsLayout();
}

} // namespace velkora
