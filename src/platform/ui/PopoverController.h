// The popover: a content controller shown in a floating container beside a rectangle or a bar item.
#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "platform/ui/ViewController.h"

namespace velkora::ui {

class PopoverController;

enum PopoverArrowDirection : unsigned {
    PopoverArrowDirectionUp = 1 << 0,
    PopoverArrowDirectionDown = 1 << 1,
    PopoverArrowDirectionLeft = 1 << 2,
    PopoverArrowDirectionRight = 1 << 3,
    PopoverArrowDirectionAny = 0xF,
    PopoverArrowDirectionUnknown = 0xFFFFFFFF,
};

class PopoverControllerDelegate {
public:
    virtual ~PopoverControllerDelegate() = default;
    virtual bool popoverControllerShouldDismissPopover(PopoverController& /*popover*/) { return true; }
    virtual void popoverControllerDidDismissPopover(PopoverController& /*popover*/) {}
};

class PopoverView : public View {
public:
    using View::View;
    const char* className() const override { return "PopoverView"; }
};

// While it shows, the popover keeps itself alive, so dropping the last reference to a visible popover
// does not pull its content away from under the user.
class PopoverController : public std::enable_shared_from_this<PopoverController> {
public:
    explicit PopoverController(ViewControllerPtr content);
    ~PopoverController();
    static std::shared_ptr<PopoverController> create(ViewControllerPtr content) {
        return std::make_shared<PopoverController>(std::move(content));
    }

    const ViewControllerPtr& contentViewController() const { return content_; }
    void setContentViewController(ViewControllerPtr content, bool animated = false);
    // The content's own popover size unless set here.
    Size popoverContentSize() const;
    void setPopoverContentSize(Size size, bool animated = false);
    bool isPopoverVisible() const { return container_ != nullptr; }
    unsigned popoverArrowDirection() const { return arrowDirection_; }
    const std::vector<ViewPtr>& passthroughViews() const { return passthroughViews_; }
    void setPassthroughViews(std::vector<ViewPtr> views) { passthroughViews_ = std::move(views); }
    void setDelegate(std::weak_ptr<PopoverControllerDelegate> d) { delegate_ = std::move(d); }
    std::shared_ptr<PopoverControllerDelegate> delegate() const { return delegate_.lock(); }
    // The container in the window, while visible.
    const std::shared_ptr<PopoverView>& popoverView() const { return container_; }

    // Shows below the rectangle (in the view's coordinates) when there is room, else above, else beside
    // it, as the permitted arrows allow; kept inside the window.
    void presentPopoverFromRect(const Rect& rect, View* inView, unsigned arrowDirections, bool animated);
    // The item's rectangle is not known here: the popover hangs from the top of the key window.
    void presentPopoverFromBarButtonItem(const std::shared_ptr<BarButtonItem>& item, unsigned arrowDirections, bool animated);
    // From code: the delegate is not asked nor told.
    void dismissPopoverAnimated(bool animated);
    // A tap outside the popover: the delegate may keep it; it hears of a dismissal.
    bool tapOutside();

private:
    void layoutContainer();

    ViewControllerPtr content_;
    std::optional<Size> contentSize_;
    unsigned arrowDirection_ = PopoverArrowDirectionUnknown;
    std::vector<ViewPtr> passthroughViews_;
    std::weak_ptr<PopoverControllerDelegate> delegate_;
    std::shared_ptr<PopoverView> container_;
    std::shared_ptr<PopoverController> selfWhileVisible_;
    Rect anchor_;  // in window coordinates
    unsigned permitted_ = PopoverArrowDirectionAny;
};

}  // namespace velkora::ui
