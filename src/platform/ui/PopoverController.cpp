#include "platform/ui/PopoverController.h"

#include <algorithm>

#include "platform/foundation/Log.h"
#include "platform/ui/Window.h"

namespace velkora::ui {

using foundation::Log;

PopoverController::PopoverController(ViewControllerPtr content) : content_(std::move(content)) {}

PopoverController::~PopoverController() {
    if (container_) container_->removeFromSuperview();
}

void PopoverController::setContentViewController(ViewControllerPtr content, bool /*animated*/) {
    if (content == content_) return;
    bool visible = isPopoverVisible();
    if (visible && content_) {
        content_->beginAppearanceTransition(false, false);
        if (auto v = content_->viewIfLoaded()) v->removeFromSuperview();
        content_->endAppearanceTransition();
    }
    content_ = std::move(content);
    if (visible && content_) {
        content_->beginAppearanceTransition(true, false);
        container_->addSubview(content_->view());
        layoutContainer();
        content_->endAppearanceTransition();
    }
}

Size PopoverController::popoverContentSize() const {
    if (contentSize_) return *contentSize_;
    return content_ ? content_->contentSizeForViewInPopover() : Size{320, 1100};
}

void PopoverController::setPopoverContentSize(Size size, bool /*animated*/) {
    contentSize_ = size;
    if (isPopoverVisible()) layoutContainer();
}

void PopoverController::presentPopoverFromRect(const Rect& rect, View* inView, unsigned arrowDirections, bool animated) {
    Window* window = inView ? inView->window() : nullptr;
    if (!window || !content_) {
        Log::line("Velkora (W) - Can't present a popover from a view that is in no window");
        return;
    }
    if (isPopoverVisible()) dismissPopoverAnimated(false);
    selfWhileVisible_ = shared_from_this();
    anchor_ = inView->convertRectToView(rect, nullptr);
    permitted_ = arrowDirections ? arrowDirections : unsigned(PopoverArrowDirectionAny);
    container_ = std::make_shared<PopoverView>(Rect{});
    container_->setClipsToBounds(true);
    container_->layer().setCornerRadius(8);
    content_->beginAppearanceTransition(true, animated);
    container_->addSubview(content_->view());
    layoutContainer();
    window->addSubview(container_);
    content_->endAppearanceTransition();
}

void PopoverController::presentPopoverFromBarButtonItem(const std::shared_ptr<BarButtonItem>& /*item*/, unsigned arrowDirections,
                                                        bool animated) {
    Window* key = Application::instance().keyWindow();
    if (!key) {
        Log::line("Velkora (W) - Can't present a popover without a key window");
        return;
    }
    Rect top{key->bounds().midX(), 0, 1, 44};
    presentPopoverFromRect(top, key, arrowDirections & (PopoverArrowDirectionUp | PopoverArrowDirectionAny), animated);
}

void PopoverController::layoutContainer() {
    if (!container_) return;
    Window* window = container_->window();
    Rect area = window ? window->bounds() : (container_->superview() ? container_->superview()->bounds() : Screen::main().bounds());
    Size size = popoverContentSize();
    size.width = std::min(size.width, area.width());
    size.height = std::min(size.height, area.height());
    struct Option {
        unsigned arrow;
        Rect frame;
    };
    Option options[] = {
        {PopoverArrowDirectionUp, {anchor_.midX() - size.width / 2, anchor_.maxY(), size.width, size.height}},
        {PopoverArrowDirectionDown, {anchor_.midX() - size.width / 2, anchor_.minY() - size.height, size.width, size.height}},
        {PopoverArrowDirectionLeft, {anchor_.maxX(), anchor_.midY() - size.height / 2, size.width, size.height}},
        {PopoverArrowDirectionRight, {anchor_.minX() - size.width, anchor_.midY() - size.height / 2, size.width, size.height}},
    };
    auto keepInside = [&](Rect f) {
        f.origin.x = std::clamp(f.origin.x, area.minX(), area.maxX() - f.width());
        f.origin.y = std::clamp(f.origin.y, area.minY(), area.maxY() - f.height());
        return f;
    };
    const Option* chosen = nullptr;
    for (auto& o : options) {
        if (!(permitted_ & o.arrow)) continue;
        bool fits = o.arrow == PopoverArrowDirectionUp     ? o.frame.maxY() <= area.maxY()
                    : o.arrow == PopoverArrowDirectionDown ? o.frame.minY() >= area.minY()
                    : o.arrow == PopoverArrowDirectionLeft ? o.frame.maxX() <= area.maxX()
                                                           : o.frame.minX() >= area.minX();
        if (fits) {
            chosen = &o;
            break;
        }
    }
    if (!chosen) {
        for (auto& o : options)
            if (permitted_ & o.arrow) {
                chosen = &o;
                break;
            }
    }
    if (!chosen) chosen = &options[0];
    arrowDirection_ = chosen->arrow;
    container_->setFrame(keepInside(chosen->frame));
    if (content_ && content_->isViewLoaded()) {
        content_->view()->setFrame(container_->bounds());
        content_->view()->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
    }
}

void PopoverController::dismissPopoverAnimated(bool animated) {
    if (!container_) return;
    auto keep = std::move(selfWhileVisible_);
    selfWhileVisible_.reset();
    if (content_) content_->beginAppearanceTransition(false, animated);
    auto container = std::move(container_);
    container_.reset();
    container->removeFromSuperview();
    if (content_) {
        if (auto v = content_->viewIfLoaded(); v && v->superview() == container.get()) v->removeFromSuperview();
        content_->endAppearanceTransition();
    }
    arrowDirection_ = PopoverArrowDirectionUnknown;
}

bool PopoverController::tapOutside() {
    if (!container_) return false;
    for (auto* c = content_.get(); c; c = c->presentedViewController().get())
        if (c->isModalInPopover()) return false;
    auto keep = shared_from_this();
    if (auto d = delegate(); d && !d->popoverControllerShouldDismissPopover(*this)) return false;
    dismissPopoverAnimated(true);
    if (auto d = delegate()) d->popoverControllerDidDismissPopover(*this);
    return true;
}

}  // namespace velkora::ui
