// The navigation controller of every stack the kit builds itself: the sidebar's, the modal one around a
// feature the host opens without a stack of its own, and the host's tab-bar entries.
#pragma once

#include <memory>

#include "platform/ui/NavigationController.h"

namespace velkora {

class VelkoraNavControllerViewController : public ui::NavigationController {
public:
    explicit VelkoraNavControllerViewController(const ui::ViewControllerPtr& root) : ui::NavigationController(root) {}
    static std::shared_ptr<VelkoraNavControllerViewController> create(const ui::ViewControllerPtr& root) {
        return std::make_shared<VelkoraNavControllerViewController>(root);
    }
    // The kit's usual set-up: no navigation bar (the screens draw their own top panel), a view that
    // follows its container's width and height (and top margin, for the menu presented modally),
    // full-screen layout and clipping.
    static std::shared_ptr<VelkoraNavControllerViewController> createHidingBar(const ui::ViewControllerPtr& root,
                                                                               bool flexibleTopMargin = false);

    const char* className() const override { return "VelkoraNavControllerViewController"; }

    // The status bar follows the screen on top.
    int preferredStatusBarStyle() const override;
    int preferredInterfaceOrientationForPresentation() const override;
    bool shouldAutorotate() const override { return true; }
    bool shouldAutorotateToInterfaceOrientation(int /*orientation*/) const override { return true; }
    void viewDidAppear(bool animated) override;
};

} // namespace velkora
