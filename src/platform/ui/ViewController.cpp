#include "platform/ui/ViewController.h"

#include <algorithm>
#include <cstdio>

#include "platform/foundation/Log.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/Window.h"

namespace velkora::ui {

using foundation::Log;

namespace {

ViewController::NibViewLoader& nibLoader() {
    static ViewController::NibViewLoader loader;
    return loader;
}

}  // namespace

ViewController::~ViewController() {
    if (view_ && view_->viewController_ == this) view_->viewController_ = nullptr;
    for (auto& child : children_)
        if (child->parent_ == this) child->parent_ = nullptr;
    if (transitionTimer_) transitionTimer_->invalidate();
}

Responder* ViewController::nextResponder() const {
    if (view_ && view_->superview()) return view_->superview();
    return parent_;
}

std::string ViewController::description() const {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%p", static_cast<const void*>(this));
    return std::string("<") + className() + ": " + buffer + ">";
}

// ---- The view

ViewPtr ViewController::view() {
    if (!view_ && !loadingView_) {
        loadingView_ = true;
        loadView();
        loadingView_ = false;
        if (!view_) setView(View::create(Screen::main().bounds()));
        viewDidLoad();
    }
    return view_;
}

void ViewController::setView(ViewPtr view) {
    if (view_ && view_->viewController_ == this) view_->viewController_ = nullptr;
    view_ = std::move(view);
    if (view_) view_->viewController_ = this;
}

void ViewController::loadView() {
    if (!nibName_.empty()) {
        if (nibLoader()) {
            if (auto v = nibLoader()(*this, nibName_)) {
                setView(v);
                return;
            }
        } else {
            Log::line("Velkora (E) - No interface loader to load %@ for %@", nibName_, className());
        }
    }
    setView(View::create(Screen::main().bounds()));
}

void ViewController::setNibViewLoader(NibViewLoader loader) { nibLoader() = std::move(loader); }

// ---- Appearance

std::vector<ViewController*> ViewController::childrenForAppearance() const {
    std::vector<ViewController*> out;
    if (!view_) return out;
    for (auto& child : children_)
        if (child->view_ && child->view_->isDescendantOfView(view_.get())) out.push_back(child.get());
    return out;
}

void ViewController::beginAppearanceTransition(bool appearing, bool animated) {
    if (appearing && (appearanceState_ == AppearanceState::Appeared || appearanceState_ == AppearanceState::Appearing))
        return;
    if (!appearing &&
        (appearanceState_ == AppearanceState::Disappeared || appearanceState_ == AppearanceState::Disappearing))
        return;
    auto self = sharedAs<ViewController>();
    appearanceAnimated_ = animated;
    if (appearing) {
        view();
        appearanceState_ = AppearanceState::Appearing;
        viewWillAppear(animated);
    } else {
        appearanceState_ = AppearanceState::Disappearing;
        viewWillDisappear(animated);
    }
    appearanceForwardedTo_.clear();
    for (ViewController* child : childrenForAppearance()) {
        appearanceForwardedTo_.push_back(child->sharedAs<ViewController>());
        child->beginAppearanceTransition(appearing, animated);
    }
}

void ViewController::endAppearanceTransition() {
    auto self = sharedAs<ViewController>();
    bool appeared;
    if (appearanceState_ == AppearanceState::Appearing) {
        appearanceState_ = AppearanceState::Appeared;
        viewDidAppear(appearanceAnimated_);
        appeared = true;
    } else if (appearanceState_ == AppearanceState::Disappearing) {
        appearanceState_ = AppearanceState::Disappeared;
        viewDidDisappear(appearanceAnimated_);
        appeared = false;
    } else {
        return;
    }
    auto forwarded = std::move(appearanceForwardedTo_);
    appearanceForwardedTo_.clear();
    for (auto& weak : forwarded)
        if (auto child = weak.lock()) child->endAppearanceTransition();
    appearanceTransitionDidEnd(appeared);
}

// ---- Containment

void ViewController::addChildViewController(const ViewControllerPtr& child) {
    if (!child || child.get() == this) return;
    if (child->parent_ == this) return;
    if (child->parent_) child->removeFromParentViewController();
    child->willMoveToParentViewController(this);
    children_.push_back(child);
    child->parent_ = this;
}

void ViewController::removeFromParentViewController() {
    if (!parent_) return;
    auto self = sharedAs<ViewController>();
    parent_->removeChildInternal(this);
    parent_ = nullptr;
    didMoveToParentViewController(nullptr);
}

void ViewController::removeChildInternal(ViewController* child) {
    std::erase_if(children_, [&](auto& c) { return c.get() == child; });
}

NavigationController* ViewController::navigationController() const {
    for (ViewController* p = parent_; p; p = p->parent_)
        if (auto* nav = dynamic_cast<NavigationController*>(p)) return nav;
    return nullptr;
}

TabBarController* ViewController::tabBarController() const {
    for (ViewController* p = parent_; p; p = p->parent_)
        if (auto* tabs = dynamic_cast<TabBarController*>(p)) return tabs;
    return nullptr;
}

// ---- Items

void ViewController::setTitle(std::string title) {
    title_ = std::move(title);
    navigationItem_.setTitle(title_);
    if (tabBarItem_ && tabBarItem_->title().empty()) tabBarItem_->setTitle(title_);
}

const TabBarItemPtr& ViewController::tabBarItem() {
    if (!tabBarItem_) tabBarItem_ = TabBarItem::create(title_);
    return tabBarItem_;
}

void ViewController::setEditing(bool editing, bool /*animated*/) { editing_ = editing; }

unsigned ViewController::supportedInterfaceOrientations() const {
    return Device::current().isPad() ? InterfaceOrientationMaskAll : InterfaceOrientationMaskAllButUpsideDown;
}

// ---- Transitions

void ViewController::runTransition(bool animated, std::function<void()> finish) {
    finishPendingTransition();
    auto weak = weak_from_this();
    if (!animated || weak.expired()) {
        finish();
        return;
    }
    transitionFinish_ = std::move(finish);
    transitionTimer_ = foundation::RunLoop::main().schedule(kTransitionDuration, false, [weak](foundation::Timer&) {
        if (auto self = std::dynamic_pointer_cast<ViewController>(weak.lock())) self->finishPendingTransition();
    });
}

void ViewController::finishPendingTransition() {
    if (!transitionFinish_) return;
    auto finish = std::move(transitionFinish_);
    transitionFinish_ = nullptr;
    if (transitionTimer_) transitionTimer_->invalidate();
    transitionTimer_.reset();
    auto self = sharedAs<ViewController>();
    finish();
}

// ---- Modal presentation

ViewController* ViewController::presentationRoot() {
    ViewController* root = this;
    while (root->parent_) root = root->parent_;
    return root;
}

ViewController* ViewController::presentingViewController() const {
    const ViewController* root = this;
    while (root->parent_) root = root->parent_;
    return root->presenting_.lock().get();
}

bool ViewController::presentViewController(const ViewControllerPtr& controller, bool animated,
                                           std::function<void()> completion) {
    if (!controller) return false;
    ViewController* root = presentationRoot();
    if (root->presented_) {
        Log::line("Velkora (W) - Attempt to present %@ on %@ which is already presenting %@", controller->description(),
                  root->description(), root->presented_->description());
        return false;
    }
    if (controller->parent_ || !controller->presenting_.expired() || controller.get() == root) {
        Log::line("Velkora (W) - Attempt to present %@ which is already shown elsewhere", controller->description());
        return false;
    }
    Window* window = root->view_ ? root->view_->window() : nullptr;
    auto rootShared = root->sharedAs<ViewController>();
    if (!window || !rootShared) {
        Log::line("Velkora (W) - Attempt to present %@ on %@ whose view is not in the window hierarchy",
                  controller->description(), root->description());
        return false;
    }
    root->finishPendingTransition();
    auto style = controller->modalPresentationStyle_;
    bool sheet = style == ModalPresentationStyle::FormSheet || style == ModalPresentationStyle::PageSheet;
    bool covers = style == ModalPresentationStyle::FullScreen || style == ModalPresentationStyle::CurrentContext ||
                  (sheet && !Device::current().isPad());
    covers = covers && root->appearanceState_ != AppearanceState::Disappeared;

    root->presented_ = controller;
    controller->presenting_ = rootShared;
    controller->coversPresenter_ = covers;
    controller->beingPresented_ = true;

    ViewPtr view = controller->view();
    Rect area = window->bounds();
    Rect frame = area;
    if (sheet && Device::current().isPad()) {
        Size size = style == ModalPresentationStyle::FormSheet ? Size{540, 620} : Size{768, area.height()};
        size.width = std::min(size.width, area.width());
        size.height = std::min(size.height, area.height());
        frame = {area.midX() - size.width / 2, area.midY() - size.height / 2, size.width, size.height};
    } else {
        view->setAutoresizingMask(AutoresizingFlexibleWidth | AutoresizingFlexibleHeight);
    }
    view->setFrame(frame);

    controller->beginAppearanceTransition(true, animated);
    if (covers) root->beginAppearanceTransition(false, animated);
    window->addSubview(view);
    std::weak_ptr<ViewController> weakRoot = rootShared;
    root->runTransition(animated, [weakRoot, controller, covers, completion = std::move(completion)] {
        controller->beingPresented_ = false;
        controller->endAppearanceTransition();
        if (auto r = weakRoot.lock(); r && covers) r->endAppearanceTransition();
        if (completion) completion();
    });
    return true;
}

void ViewController::dismissViewController(bool animated, std::function<void()> completion) {
    ViewController* root = presentationRoot();
    ViewControllerPtr presenter;
    if (root->presented_) presenter = root->sharedAs<ViewController>();
    else presenter = root->presenting_.lock();
    if (!presenter || !presenter->presented_) return;
    presenter->finishPendingTransition();
    ViewControllerPtr controller = presenter->presented_;
    // What the dismissed controller presents goes with it.
    if (controller->presented_) controller->dismissViewController(false);
    bool covers = controller->coversPresenter_;
    controller->beingDismissed_ = true;
    controller->beginAppearanceTransition(false, animated);
    if (covers) presenter->beginAppearanceTransition(true, animated);
    std::weak_ptr<ViewController> weakPresenter = presenter;
    presenter->runTransition(animated, [weakPresenter, controller, covers, completion = std::move(completion)] {
        if (controller->view_) controller->view_->removeFromSuperview();
        controller->endAppearanceTransition();
        auto p = weakPresenter.lock();
        if (p && covers) p->endAppearanceTransition();
        if (p && p->presented_ == controller) p->presented_.reset();
        controller->presenting_.reset();
        controller->beingDismissed_ = false;
        if (completion) completion();
    });
}

}  // namespace velkora::ui
