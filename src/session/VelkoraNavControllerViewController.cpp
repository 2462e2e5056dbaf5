#include "session/VelkoraNavControllerViewController.h"

#include "platform/ui/Application.h"
#include "platform/ui/View.h"

namespace velkora {

std::shared_ptr<VelkoraNavControllerViewController>
VelkoraNavControllerViewController::createHidingBar(const ui::ViewControllerPtr& root, bool flexibleTopMargin) {
    auto nav = create(root);
    nav->setNavigationBarHidden(true);
    unsigned mask = ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleHeight;
    if (flexibleTopMargin) mask |= ui::AutoresizingFlexibleTopMargin;
    auto view = nav->view();
    view->setAutoresizingMask(mask);
    view->setClipsToBounds(true);
    nav->setWantsFullScreenLayout(true);
    return nav;
}

int VelkoraNavControllerViewController::preferredStatusBarStyle() const {
    const auto& stack = viewControllers();
    if (stack.empty()) return ui::NavigationController::preferredStatusBarStyle();
    return stack.back()->preferredStatusBarStyle();
}

int VelkoraNavControllerViewController::preferredInterfaceOrientationForPresentation() const {
    return ui::Application::instance().statusBarOrientation();
}

void VelkoraNavControllerViewController::viewDidAppear(bool animated) {
    ui::NavigationController::viewDidAppear(animated);
    if (ui::Device::current().compareSystemVersion("7.0") >= 0) setNeedsStatusBarAppearanceUpdate();
}

} // namespace velkora
