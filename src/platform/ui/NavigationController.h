// The navigation controller: a stack of controllers with push and pop, its bar, its delegate and the
// "did show" notification.
#pragma once

#include <memory>
#include <vector>

#include "platform/ui/ViewController.h"

namespace velkora::ui {

class Image;
class NavigationController;

class NavigationControllerDelegate {
public:
    virtual ~NavigationControllerDelegate() = default;
    virtual void willShowViewController(NavigationController& /*nav*/, ViewController& /*controller*/, bool /*animated*/) {}
    virtual void didShowViewController(NavigationController& /*nav*/, ViewController& /*controller*/, bool /*animated*/) {}
};

enum class BarStyle { Default = 0, Black = 1 };

class NavigationBar : public View {
public:
    using View::View;
    const char* className() const override { return "NavigationBar"; }
    BarStyle barStyle() const { return barStyle_; }
    void setBarStyle(BarStyle s) { barStyle_ = s; }
    bool isTranslucent() const { return translucent_; }
    void setTranslucent(bool t) { translucent_ = t; }
    const std::shared_ptr<Image>& backgroundImage() const { return backgroundImage_; }
    void setBackgroundImage(std::shared_ptr<Image> image) { backgroundImage_ = std::move(image); }
    Color barTintColor() const { return barTintColor_; }
    void setBarTintColor(Color c) { barTintColor_ = c; }
    // The title of the item on top, for the tree dump.
    std::string dumpText() const override { return topTitle_; }

private:
    friend class NavigationController;
    BarStyle barStyle_ = BarStyle::Default;
    bool translucent_ = true;
    std::shared_ptr<Image> backgroundImage_;
    Color barTintColor_ = Color::clear();
    std::string topTitle_;
};

class NavigationController : public ViewController {
public:
    static constexpr double kBarHeight = 44;

    NavigationController() = default;
    explicit NavigationController(const ViewControllerPtr& root);
    static std::shared_ptr<NavigationController> create(const ViewControllerPtr& root = nullptr) {
        return std::make_shared<NavigationController>(root);
    }
    const char* className() const override { return "NavigationController"; }

    // Bottom to top.
    const std::vector<ViewControllerPtr>& viewControllers() const { return childViewControllers(); }
    void setViewControllers(std::vector<ViewControllerPtr> controllers, bool animated);
    ViewControllerPtr topViewController() const;
    // What is presented over the top controller, else the top controller.
    ViewController* visibleViewController() const;

    // Pushing a controller that is already on a stack is refused (logged).
    void pushViewController(const ViewControllerPtr& controller, bool animated);
    // Each returns what it took off the stack: null or empty when there is nothing to pop (the root
    // stays), or when the target is not on the stack.
    ViewControllerPtr popViewController(bool animated);
    std::vector<ViewControllerPtr> popToRootViewController(bool animated);
    std::vector<ViewControllerPtr> popToViewController(const ViewController* controller, bool animated);

    bool isNavigationBarHidden() const { return navigationBarHidden_; }
    void setNavigationBarHidden(bool hidden, bool animated = false);
    const std::shared_ptr<NavigationBar>& navigationBar();
    bool isToolbarHidden() const { return toolbarHidden_; }
    void setToolbarHidden(bool hidden, bool /*animated*/ = false) { toolbarHidden_ = hidden; }

    void setDelegate(std::weak_ptr<NavigationControllerDelegate> d) { delegate_ = std::move(d); }
    std::shared_ptr<NavigationControllerDelegate> delegate() const { return delegate_.lock(); }

    void loadView() override;
    void viewWillLayoutSubviews() override;
    std::vector<ViewController*> childrenForAppearance() const override;
    // The top controller's view frame inside this controller's view.
    Rect contentFrame();

protected:
    void appearanceTransitionDidEnd(bool appeared) override;

private:
    void transitionTo(std::vector<ViewControllerPtr> stack, bool animated);
    void installTopView();
    void didShow(const ViewControllerPtr& shown, const ViewControllerPtr& previous, bool animated);

    std::shared_ptr<NavigationBar> navigationBar_;
    bool navigationBarHidden_ = false;
    bool toolbarHidden_ = true;
    std::weak_ptr<NavigationControllerDelegate> delegate_;
    std::weak_ptr<ViewController> lastShown_;
};

}  // namespace velkora::ui
