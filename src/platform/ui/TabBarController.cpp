#include "platform/ui/TabBarController.h"

#include <algorithm>

#include "platform/foundation/Log.h"

namespace velkora::ui {

using foundation::Log;

void TabBarController::setViewControllers(std::vector<ViewControllerPtr> controllers, bool /*animated*/) {
    std::erase(controllers, nullptr);
    for (auto& c : controllers) {
        if (c->parent_ && c->parent_ != this) {
            Log::line("Velkora (W) - A controller that has a parent can't be a tab: %@", c->description());
            return;
        }
    }
    ViewControllerPtr selected = selectedViewController();
    bool onScreen = appearanceState() == AppearanceState::Appeared;
    auto old = viewControllers();
    for (auto& c : old) {
        if (std::find(controllers.begin(), controllers.end(), c) != controllers.end()) continue;
        if (c == selected && onScreen) c->beginAppearanceTransition(false, false);
        if (auto v = c->viewIfLoaded(); v && v->superview() == viewIfLoaded().get()) v->removeFromSuperview();
        if (c == selected && onScreen) c->endAppearanceTransition();
        c->willMoveToParentViewController(nullptr);
        c->parent_ = nullptr;
        c->didMoveToParentViewController(nullptr);
    }
    mutableChildren() = controllers;
    for (auto& c : controllers) {
        if (c->parent_ == this) continue;
        c->willMoveToParentViewController(this);
        c->parent_ = this;
        c->didMoveToParentViewController(this);
    }
    std::vector<TabBarItemPtr> items;
    for (auto& c : controllers) items.push_back(c->tabBarItem());
    tabBar()->setItems(items);
    auto it = std::find(controllers.begin(), controllers.end(), selected);
    if (selected && it != controllers.end()) {
        selectedIndex_ = size_t(it - controllers.begin());
        tabBar()->setSelectedItem(items[selectedIndex_]);
    } else {
        selectedIndex_ = npos;
        if (!controllers.empty()) select(0);
    }
}

ViewControllerPtr TabBarController::selectedViewController() const {
    auto& list = viewControllers();
    return selectedIndex_ < list.size() ? list[selectedIndex_] : nullptr;
}

void TabBarController::setSelectedIndex(size_t index) {
    if (index >= viewControllers().size()) return;
    select(index);
}

void TabBarController::setSelectedViewController(const ViewController* controller) {
    auto& list = viewControllers();
    auto it = std::find_if(list.begin(), list.end(), [&](auto& c) { return c.get() == controller; });
    if (it != list.end()) select(size_t(it - list.begin()));
}

bool TabBarController::tapTabAtIndex(size_t index) {
    if (index >= viewControllers().size()) return false;
    ViewControllerPtr target = viewControllers()[index];
    if (!target->tabBarItem()->isEnabled()) return false;
    if (auto d = delegate(); d && !d->shouldSelectViewController(*this, *target)) return false;
    select(index);
    if (auto d = delegate()) d->didSelectViewController(*this, *target);
    return true;
}

void TabBarController::select(size_t index) {
    if (index == selectedIndex_) return;
    bool onScreen = appearanceState() == AppearanceState::Appeared;
    ViewControllerPtr old = selectedViewController();
    ViewControllerPtr next = viewControllers()[index];
    next->view();
    if (onScreen && old) old->beginAppearanceTransition(false, false);
    if (onScreen) next->beginAppearanceTransition(true, false);
    if (old) {
        if (auto v = old->viewIfLoaded(); v && v->superview() == viewIfLoaded().get()) v->removeFromSuperview();
    }
    selectedIndex_ = index;
    tabBar()->setSelectedItem(next->tabBarItem());
    installSelectedView();
    if (onScreen && old) old->endAppearanceTransition();
    if (onScreen) next->endAppearanceTransition();
}

const std::shared_ptr<TabBar>& TabBarController::tabBar() {
    if (!tabBar_) {
        Rect s = Screen::main().bounds();
        tabBar_ = std::make_shared<TabBar>(Rect(0, s.height() - kBarHeight, s.width(), kBarHeight));
        tabBar_->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleTopMargin);
    }
    return tabBar_;
}

Rect TabBarController::contentFrame() {
    Rect b = view()->bounds();
    return {b.x(), b.y(), b.width(), std::max(0.0, b.height() - kBarHeight)};
}

void TabBarController::loadView() {
    setView(View::create(Screen::main().bounds()));
    auto container = viewIfLoaded();
    Rect b = container->bounds();
    tabBar()->setFrame({0, b.height() - kBarHeight, b.width(), kBarHeight});
    container->addSubview(tabBar());
    installSelectedView();
}

void TabBarController::installSelectedView() {
    auto container = viewIfLoaded();
    auto selected = selectedViewController();
    if (!container || !selected) return;
    auto v = selected->view();
    v->setFrame(contentFrame());
    v->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
    container->insertSubviewBelow(v, tabBar().get());
}

void TabBarController::viewWillLayoutSubviews() {
    auto container = viewIfLoaded();
    if (!container) return;
    Rect b = container->bounds();
    tabBar()->setFrame({0, b.height() - kBarHeight, b.width(), kBarHeight});
    if (auto s = selectedViewController(); s && s->isViewLoaded()) s->viewIfLoaded()->setFrame(contentFrame());
}

std::vector<ViewController*> TabBarController::childrenForAppearance() const {
    auto s = selectedViewController();
    if (!s) return {};
    return {s.get()};
}

}  // namespace velkora::ui
