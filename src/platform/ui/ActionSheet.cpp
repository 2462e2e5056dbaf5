#include "platform/ui/ActionSheet.h"

namespace velkora::ui {

ActionSheet::ActionSheet(std::string title, std::weak_ptr<ActionSheetDelegate> delegate,
                         std::optional<std::string> cancelButtonTitle, std::optional<std::string> destructiveButtonTitle,
                         const std::vector<std::string>& otherButtonTitles)
    : delegate_(std::move(delegate)) {
    setTitle(std::move(title));
    if (destructiveButtonTitle) destructiveButtonIndex_ = addButtonWithTitle(*destructiveButtonTitle);
    for (auto& t : otherButtonTitles) addButtonWithTitle(t);
    if (cancelButtonTitle) setCancelButtonIndex(addButtonWithTitle(*cancelButtonTitle));
}

int ActionSheet::firstOtherButtonIndex() const {
    for (int i = 0; i < numberOfButtons(); ++i)
        if (i != cancelButtonIndex() && i != destructiveButtonIndex_) return i;
    return -1;
}

void ActionSheet::showInView(View* view) {
    shownFromRect_ = view ? view->convertRectToView(view->bounds(), nullptr) : Rect{};
    presentInOwnWindow(true);
}

void ActionSheet::showFromRect(const Rect& rect, View* view, bool /*animated*/) {
    shownFromRect_ = view ? view->convertRectToView(rect, nullptr) : rect;
    presentInOwnWindow(true);
}

void ActionSheet::showFromBarButtonItem(const std::shared_ptr<BarButtonItem>& /*item*/, bool /*animated*/) {
    shownFromRect_ = {};
    presentInOwnWindow(true);
}

void ActionSheet::clicked(int index) {
    if (auto d = delegate()) d->clickedButtonAtIndex(*this, index);
}

void ActionSheet::willDismiss(int index) {
    if (auto d = delegate()) d->willDismissWithButtonIndex(*this, index);
}

void ActionSheet::didDismiss(int index) {
    if (auto d = delegate()) d->didDismissWithButtonIndex(*this, index);
}

void ActionSheet::willPresent() {
    if (auto d = delegate()) d->willPresentActionSheet(*this);
}

void ActionSheet::didPresent() {
    if (auto d = delegate()) d->didPresentActionSheet(*this);
}

}  // namespace velkora::ui
