#include "platform/ui/Window.h"

#include "platform/ui/Application.h"
#include "platform/ui/ViewController.h"

namespace velkora::ui {

Window::Window(const Rect& frame) : View(frame) { initHidden(true); }

Window::~Window() { Application::instance().windowDestroyed(this); }

std::shared_ptr<Window> Window::createFullScreen() { return create(Screen::main().bounds()); }

void Window::setRootViewController(const std::shared_ptr<ViewController>& controller) {
    if (controller == rootViewController_) return;
    bool visible = !isHidden();
    auto old = rootViewController_;
    if (old) {
        if (visible) old->beginAppearanceTransition(false, false);
        if (old->isViewLoaded() && old->view()->superview() == this) old->view()->removeFromSuperview();
        if (visible) old->endAppearanceTransition();
    }
    rootViewController_ = controller;
    if (!controller) return;
    auto view = controller->view();
    view->setFrame(bounds());
    view->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
    if (visible) controller->beginAppearanceTransition(true, false);
    addSubview(view);
    if (visible) controller->endAppearanceTransition();
}

void Window::makeKeyAndVisible() {
    setHidden(false);
    makeKeyWindow();
}

void Window::makeKeyWindow() { Application::instance().makeKey(this); }

bool Window::isKeyWindow() const { return Application::instance().keyWindow() == this; }

void Window::setHidden(bool hidden) {
    if (hidden == isHidden()) return;
    auto self = sharedAs<Window>();
    if (!hidden) {
        if (self) Application::instance().windowWillShow(self);
        if (rootViewController_) rootViewController_->beginAppearanceTransition(true, false);
        View::setHidden(false);
        if (rootViewController_) rootViewController_->endAppearanceTransition();
        layoutIfNeeded();
    } else {
        if (rootViewController_) rootViewController_->beginAppearanceTransition(false, false);
        View::setHidden(true);
        if (rootViewController_) rootViewController_->endAppearanceTransition();
        Application::instance().windowDidHide(this);
    }
}

Point Window::convertPointToWindow(Point p, const Window* window) const {
    Point screen = convertPointToScreen(p);
    return window ? window->convertPointFromScreen(screen) : screen;
}

Point Window::convertPointFromWindow(Point p, const Window* window) const {
    Point screen = window ? window->convertPointToScreen(p) : p;
    return convertPointFromScreen(screen);
}

}  // namespace velkora::ui
