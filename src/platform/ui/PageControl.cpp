#include "platform/ui/PageControl.h"

#include <algorithm>

namespace velkora::ui {

void PageControl::setNumberOfPages(int n) {
    numberOfPages_ = std::max(0, n);
    setCurrentPage(currentPage_);
    setNeedsDisplay();
}

void PageControl::setCurrentPage(int page) {
    currentPage_ = std::clamp(page, 0, std::max(0, numberOfPages_ - 1));
    setNeedsDisplay();
}

Size PageControl::sizeForNumberOfPages(int pages) {
    if (pages <= 0) return {0, 37};
    return {pages * 7.0 + (pages - 1) * 9.0, 37};
}

void PageControl::tapAt(Point p) {
    if (!isEnabled() || !isUserInteractionEnabled() || numberOfPages_ == 0) return;
    auto self = sharedView();
    int target = p.x < bounds().midX() ? currentPage_ - 1 : currentPage_ + 1;
    target = std::clamp(target, 0, numberOfPages_ - 1);
    if (target == currentPage_) return;
    setCurrentPage(target);
    sendActionsForControlEvents(ControlEventValueChanged);
}

std::string PageControl::dumpText() const {
    if (numberOfPages_ == 0) return {};
    return std::to_string(currentPage_ + 1) + "/" + std::to_string(numberOfPages_);
}

}  // namespace velkora::ui
