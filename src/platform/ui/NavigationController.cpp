#include "platform/ui/NavigationController.h"

#include <algorithm>

#include "platform/foundation/Log.h"
#include "platform/ui/UiNotifications.h"

namespace velkora::ui {

using foundation::Log;

namespace {

bool contains(const std::vector<ViewControllerPtr>& list, const ViewControllerPtr& c) {
    return std::find(list.begin(), list.end(), c) != list.end();
}

}  // namespace

NavigationController::NavigationController(const ViewControllerPtr& root) {
    if (root && !root->parent_) {
        mutableChildren().push_back(root);
        root->parent_ = this;
    }
}

ViewControllerPtr NavigationController::topViewController() const {
    auto& stack = viewControllers();
    return stack.empty() ? nullptr : stack.back();
}

ViewController* NavigationController::visibleViewController() const {
    auto top = topViewController();
    if (presentedViewController()) return presentedViewController().get();
    if (top && top->presentedViewController()) return top->presentedViewController().get();
    return top.get();
}

void NavigationController::pushViewController(const ViewControllerPtr& controller, bool animated) {
    if (!controller) return;
    if (dynamic_cast<NavigationController*>(controller.get())) {
        Log::line("Velkora (W) - Pushing a navigation controller is not supported: %@", controller->description());
        return;
    }
    if (contains(viewControllers(), controller) || controller->parent_) {
        Log::line("Velkora (W) - Pushing a controller that is already on a stack is not supported: %@",
                  controller->description());
        return;
    }
    auto stack = viewControllers();
    stack.push_back(controller);
    transitionTo(std::move(stack), animated);
}

ViewControllerPtr NavigationController::popViewController(bool animated) {
    auto stack = viewControllers();
    if (stack.size() <= 1) return nullptr;
    ViewControllerPtr popped = stack.back();
    stack.pop_back();
    transitionTo(std::move(stack), animated);
    return popped;
}

std::vector<ViewControllerPtr> NavigationController::popToRootViewController(bool animated) {
    if (viewControllers().empty()) return {};
    return popToViewController(viewControllers().front().get(), animated);
}

std::vector<ViewControllerPtr> NavigationController::popToViewController(const ViewController* controller, bool animated) {
    auto stack = viewControllers();
    auto it = std::find_if(stack.begin(), stack.end(), [&](auto& c) { return c.get() == controller; });
    if (it == stack.end()) {
        Log::line("Velkora (W) - Can't pop to a controller that is not on the navigation stack");
        return {};
    }
    std::vector<ViewControllerPtr> popped(it + 1, stack.end());
    if (popped.empty()) return {};
    stack.erase(it + 1, stack.end());
    transitionTo(std::move(stack), animated);
    return popped;
}

void NavigationController::setViewControllers(std::vector<ViewControllerPtr> controllers, bool animated) {
    std::erase(controllers, nullptr);
    for (size_t i = 0; i < controllers.size(); ++i) {
        for (size_t j = i + 1; j < controllers.size(); ++j) {
            if (controllers[i] == controllers[j]) {
                Log::line("Velkora (W) - A navigation stack can't hold the same controller twice: %@",
                          controllers[i]->description());
                return;
            }
        }
    }
    transitionTo(std::move(controllers), animated);
}

void NavigationController::transitionTo(std::vector<ViewControllerPtr> stack, bool animated) {
    finishPendingTransition();
    std::vector<ViewControllerPtr> old = viewControllers();
    std::vector<ViewControllerPtr> removed, added;
    for (auto& c : old)
        if (!contains(stack, c)) removed.push_back(c);
    for (auto& c : stack) {
        if (contains(old, c)) continue;
        if (c->parent_ && c->parent_ != this) {
            Log::line("Velkora (W) - A controller that has a parent can't go on a navigation stack: %@", c->description());
            return;
        }
        added.push_back(c);
    }
    ViewControllerPtr oldTop = old.empty() ? nullptr : old.back();
    ViewControllerPtr newTop = stack.empty() ? nullptr : stack.back();

    for (auto& c : added) c->willMoveToParentViewController(this);
    for (auto& c : removed) c->willMoveToParentViewController(nullptr);
    mutableChildren() = stack;
    // The controllers that leave keep their parent until the transition ends, so they still find their
    // navigation controller while they disappear.
    for (auto& c : added) c->parent_ = this;

    std::weak_ptr<ViewController> weakSelf = sharedAs<ViewController>();
    auto finishMoves = [this, weakSelf, removed, added] {
        for (auto& c : removed) {
            if (c->parent_ == this && !contains(viewControllers(), c)) {
                c->parent_ = nullptr;
                c->didMoveToParentViewController(nullptr);
            }
        }
        for (auto& c : added) c->didMoveToParentViewController(this);
    };
    auto removeOldView = [this, oldTop] {
        if (!oldTop || oldTop == topViewController() || !isViewLoaded()) return;
        if (auto v = oldTop->viewIfLoaded(); v && v->superview() == viewIfLoaded().get()) v->removeFromSuperview();
    };

    if (oldTop == newTop) {
        finishMoves();
        return;
    }
    if (appearanceState() != AppearanceState::Appeared) {
        installTopView();
        removeOldView();
        finishMoves();
        return;
    }
    if (auto d = delegate(); d && newTop) d->willShowViewController(*this, *newTop, animated);
    if (newTop) newTop->view();
    if (oldTop) oldTop->beginAppearanceTransition(false, animated);
    if (newTop) newTop->beginAppearanceTransition(true, animated);
    installTopView();
    runTransition(animated, [weakSelf, this, oldTop, newTop, animated, finishMoves, removeOldView] {
        auto self = weakSelf.lock();
        if (!self) return;
        removeOldView();
        if (oldTop) oldTop->endAppearanceTransition();
        if (newTop) newTop->endAppearanceTransition();
        finishMoves();
        if (newTop) didShow(newTop, oldTop, animated);
    });
}

void NavigationController::didShow(const ViewControllerPtr& shown, const ViewControllerPtr& previous, bool animated) {
    lastShown_ = shown;
    if (navigationBar_) navigationBar_->topTitle_ = shown->navigationItem().title();
    if (auto d = delegate()) d->didShowViewController(*this, *shown, animated);
    foundation::Dictionary info;
    info.set(kNavigationControllerNextVisibleViewController, foundation::Value::object(shown));
    info.set(kNavigationControllerLastVisibleViewController,
             previous ? foundation::Value::object(previous) : foundation::Value());
    postNotification(kNavigationControllerDidShowViewControllerNotification, weak_from_this().lock(), info);
}

void NavigationController::appearanceTransitionDidEnd(bool appeared) {
    if (!appeared) return;
    auto top = topViewController();
    if (top && lastShown_.lock() != top) didShow(top, nullptr, false);
}

std::vector<ViewController*> NavigationController::childrenForAppearance() const {
    auto top = topViewController();
    if (!top) return {};
    return {top.get()};
}

const std::shared_ptr<NavigationBar>& NavigationController::navigationBar() {
    if (!navigationBar_) {
        navigationBar_ = std::make_shared<NavigationBar>(Rect(0, 0, Screen::main().bounds().width(), kBarHeight));
        navigationBar_->setAutoresizingMask(AutoresizingFlexibleWidth);
        navigationBar_->setHidden(navigationBarHidden_);
    }
    return navigationBar_;
}

void NavigationController::setNavigationBarHidden(bool hidden, bool /*animated*/) {
    navigationBarHidden_ = hidden;
    if (navigationBar_) navigationBar_->setHidden(hidden);
    if (isViewLoaded()) {
        if (auto top = topViewController(); top && top->isViewLoaded()) top->view()->setFrame(contentFrame());
    }
}

Rect NavigationController::contentFrame() {
    Rect b = view()->bounds();
    if (navigationBarHidden_) return b;
    return {b.x(), b.y() + kBarHeight, b.width(), std::max(0.0, b.height() - kBarHeight)};
}

void NavigationController::loadView() {
    setView(View::create(Screen::main().bounds()));
    auto& bar = navigationBar();
    bar->setFrame({0, 0, viewIfLoaded()->bounds().width(), kBarHeight});
    viewIfLoaded()->addSubview(bar);
    installTopView();
}

void NavigationController::installTopView() {
    auto container = viewIfLoaded();
    auto top = topViewController();
    if (!container || !top) return;
    auto v = top->view();
    v->setFrame(contentFrame());
    v->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
    container->insertSubviewBelow(v, navigationBar().get());
}

void NavigationController::viewWillLayoutSubviews() {
    auto container = viewIfLoaded();
    if (!container) return;
    if (navigationBar_) navigationBar_->setFrame({0, 0, container->bounds().width(), kBarHeight});
    if (auto top = topViewController(); top && top->isViewLoaded()) top->viewIfLoaded()->setFrame(contentFrame());
}

}  // namespace velkora::ui
