#include "platform/ui/BarItems.h"

#include "platform/ui/View.h"

namespace velkora::ui {

std::shared_ptr<BarButtonItem> BarButtonItem::withTitle(std::string title, BarButtonItemStyle style) {
    auto item = create();
    item->title_ = std::move(title);
    item->style_ = style;
    return item;
}

std::shared_ptr<BarButtonItem> BarButtonItem::withImage(std::shared_ptr<Image> image, BarButtonItemStyle style) {
    auto item = create();
    item->image_ = std::move(image);
    item->style_ = style;
    return item;
}

std::shared_ptr<BarButtonItem> BarButtonItem::withSystemItem(BarButtonSystemItem systemItem) {
    auto item = create();
    item->systemItem_ = systemItem;
    return item;
}

std::shared_ptr<BarButtonItem> BarButtonItem::withCustomView(std::shared_ptr<View> view) {
    auto item = create();
    item->customView_ = std::move(view);
    return item;
}

void BarButtonItem::setTarget(std::weak_ptr<void> target, Action action, std::string name) {
    hasTarget_ = !target.expired();
    target_ = std::move(target);
    action_ = std::move(action);
    actionName_ = std::move(name);
}

bool BarButtonItem::tap() {
    if (!enabled_ || !action_) return false;
    auto target = target_.lock();
    if (hasTarget_ && !target) return false;
    auto self = weak_from_this().lock();
    Action action = action_;
    action(this);
    return true;
}

void NavigationItem::setLeftBarButtonItem(BarButtonItemPtr item, bool /*animated*/) {
    left_.clear();
    if (item) left_.push_back(std::move(item));
}

void NavigationItem::setLeftBarButtonItems(std::vector<BarButtonItemPtr> items, bool /*animated*/) {
    std::erase(items, nullptr);
    left_ = std::move(items);
}

void NavigationItem::setRightBarButtonItem(BarButtonItemPtr item, bool /*animated*/) {
    right_.clear();
    if (item) right_.push_back(std::move(item));
}

void NavigationItem::setRightBarButtonItems(std::vector<BarButtonItemPtr> items, bool /*animated*/) {
    std::erase(items, nullptr);
    right_ = std::move(items);
}

}  // namespace velkora::ui
