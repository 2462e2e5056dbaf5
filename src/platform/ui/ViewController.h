// View controllers: lazy view loading, the appear and disappear callbacks, containment, modal
// presentation, the navigation and tab-bar items, popover size and the status-bar questions.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarItems.h"
#include "platform/ui/View.h"

namespace velkora::ui {

class NavigationController;
class TabBarController;
class ViewController;

using ViewControllerPtr = std::shared_ptr<ViewController>;

enum class ModalPresentationStyle { FullScreen = 0, PageSheet, FormSheet, CurrentContext, Custom, OverFullScreen, OverCurrentContext };
enum class ModalTransitionStyle { CoverVertical = 0, FlipHorizontal, CrossDissolve, PartialCurl };

enum InterfaceOrientationMask : unsigned {
    InterfaceOrientationMaskPortrait = 1 << InterfaceOrientationPortrait,
    InterfaceOrientationMaskLandscapeLeft = 1 << InterfaceOrientationLandscapeLeft,
    InterfaceOrientationMaskLandscapeRight = 1 << InterfaceOrientationLandscapeRight,
    InterfaceOrientationMaskPortraitUpsideDown = 1 << InterfaceOrientationPortraitUpsideDown,
    InterfaceOrientationMaskLandscape = InterfaceOrientationMaskLandscapeLeft | InterfaceOrientationMaskLandscapeRight,
    InterfaceOrientationMaskAll = InterfaceOrientationMaskPortrait | InterfaceOrientationMaskLandscape | InterfaceOrientationMaskPortraitUpsideDown,
    InterfaceOrientationMaskAllButUpsideDown = InterfaceOrientationMaskPortrait | InterfaceOrientationMaskLandscape,
};

// Where a controller is between appearing and disappearing.
enum class AppearanceState { Disappeared, Appearing, Appeared, Disappearing };

class ViewController : public Responder {
public:
    ViewController() = default;
    explicit ViewController(std::string nibName) : nibName_(std::move(nibName)) {}
    ~ViewController() override;

    static ViewControllerPtr create() { return std::make_shared<ViewController>(); }

    const char* className() const override { return "ViewController"; }
    Responder* nextResponder() const override;

    // How long animated transitions (push, pop, present, dismiss) take on the main run loop's clock.
    static constexpr double kTransitionDuration = 0.35;

    // ---- The view
    // Loads the view on first use: loadView, then viewDidLoad.
    ViewPtr view();
    ViewPtr viewIfLoaded() const { return view_; }
    bool isViewLoaded() const { return view_ != nullptr; }
    void setView(ViewPtr view);
    // Builds the view: from the interface file named nibName through the installed loader, else a plain
    // view of the screen's size.
    virtual void loadView();
    virtual void viewDidLoad() {}
    const std::string& nibName() const { return nibName_; }
    void setNibName(std::string name) { nibName_ = std::move(name); }
    // The interface-file loader: builds the view tree of a file for an owner (binding its outlets and
    // actions), or gives null when it cannot.
    using NibViewLoader = std::function<ViewPtr(ViewController& owner, const std::string& nibName)>;
    static void setNibViewLoader(NibViewLoader loader);

    // Called around the view's layoutSubviews.
    virtual void viewWillLayoutSubviews() {}
    virtual void viewDidLayoutSubviews() {}

    // ---- Appearance
    virtual void viewWillAppear(bool /*animated*/) {}
    virtual void viewDidAppear(bool /*animated*/) {}
    virtual void viewWillDisappear(bool /*animated*/) {}
    virtual void viewDidDisappear(bool /*animated*/) {}
    // Drives the callbacks above; repeated calls for the same direction are ignored, so each callback
    // comes once per transition. Containers forward them to the children they show.
    void beginAppearanceTransition(bool appearing, bool animated);
    void endAppearanceTransition();
    AppearanceState appearanceState() const { return appearanceState_; }
    bool isVisible() const { return appearanceState_ == AppearanceState::Appeared; }
    // The children that appear and disappear with this controller: by default every child whose view is
    // inside this controller's view.
    virtual std::vector<ViewController*> childrenForAppearance() const;

    // ---- Containment
    ViewController* parentViewController() const { return parent_; }
    const std::vector<ViewControllerPtr>& childViewControllers() const { return children_; }
    void addChildViewController(const ViewControllerPtr& child);
    void removeFromParentViewController();
    virtual void willMoveToParentViewController(ViewController* /*parent*/) {}
    virtual void didMoveToParentViewController(ViewController* /*parent*/) {}
    // The nearest navigation or tab-bar controller up the parents.
    NavigationController* navigationController() const;
    TabBarController* tabBarController() const;

    // ---- Items and title
    const std::string& title() const { return title_; }
    // Also the navigation item's title.
    void setTitle(std::string title);
    NavigationItem& navigationItem() { return navigationItem_; }
    const TabBarItemPtr& tabBarItem();
    void setTabBarItem(TabBarItemPtr item) { tabBarItem_ = std::move(item); }
    bool hidesBottomBarWhenPushed() const { return hidesBottomBarWhenPushed_; }
    void setHidesBottomBarWhenPushed(bool h) { hidesBottomBarWhenPushed_ = h; }
    bool isEditing() const { return editing_; }
    virtual void setEditing(bool editing, bool animated);

    // ---- Modal presentation
    // The presentation runs from the outermost container; the completion runs once the presented
    // controller has appeared (after kTransitionDuration when animated). Presenting while something is
    // already presented, or from a controller whose view is in no window, is refused with a warning.
    bool presentViewController(const ViewControllerPtr& controller, bool animated, std::function<void()> completion = {});
    // On the presenting controller, dismisses what it presents; on a presented one, dismisses itself.
    void dismissViewController(bool animated, std::function<void()> completion = {});
    const ViewControllerPtr& presentedViewController() const { return presented_; }
    ViewController* presentingViewController() const;
    bool isBeingPresented() const { return beingPresented_; }
    bool isBeingDismissed() const { return beingDismissed_; }
    ModalPresentationStyle modalPresentationStyle() const { return modalPresentationStyle_; }
    void setModalPresentationStyle(ModalPresentationStyle s) { modalPresentationStyle_ = s; }
    ModalTransitionStyle modalTransitionStyle() const { return modalTransitionStyle_; }
    void setModalTransitionStyle(ModalTransitionStyle s) { modalTransitionStyle_ = s; }
    // Presented inside a popover, keeps the popover open against taps outside it.
    bool isModalInPopover() const { return modalInPopover_; }
    void setModalInPopover(bool modal) { modalInPopover_ = modal; }
    // Ends a pending animated transition of this controller at once.
    void finishPendingTransition();

    // ---- Popover size
    Size contentSizeForViewInPopover() const { return contentSizeForViewInPopover_; }
    void setContentSizeForViewInPopover(Size s) { contentSizeForViewInPopover_ = s; }
    Size preferredContentSize() const { return contentSizeForViewInPopover_; }
    void setPreferredContentSize(Size s) { contentSizeForViewInPopover_ = s; }

    // ---- Status bar and rotation
    virtual int preferredStatusBarStyle() const { return StatusBarStyleDefault; }
    virtual bool prefersStatusBarHidden() const { return false; }
    void setNeedsStatusBarAppearanceUpdate() { ++statusBarAppearanceUpdates_; }
    int statusBarAppearanceUpdateCount() const { return statusBarAppearanceUpdates_; }
    virtual bool shouldAutorotate() const { return true; }
    virtual bool shouldAutorotateToInterfaceOrientation(int orientation) const {
        return orientation == InterfaceOrientationPortrait;
    }
    virtual unsigned supportedInterfaceOrientations() const;
    virtual int preferredInterfaceOrientationForPresentation() const { return InterfaceOrientationPortrait; }
    bool wantsFullScreenLayout() const { return wantsFullScreenLayout_; }
    void setWantsFullScreenLayout(bool w) { wantsFullScreenLayout_ = w; }

    std::string description() const;

protected:
    // Runs `finish` after kTransitionDuration on the main run loop when animated, else at once. One
    // transition at a time: a new one ends the pending one first.
    void runTransition(bool animated, std::function<void()> finish);
    void removeChildInternal(ViewController* child);
    // Containers use these to keep their children list in the order they show them.
    std::vector<ViewControllerPtr>& mutableChildren() { return children_; }
    void setParentInternal(ViewController* parent) { parent_ = parent; }
    // After the appear (true) or disappear (false) callbacks of a transition ended.
    virtual void appearanceTransitionDidEnd(bool /*appeared*/) {}

private:
    friend class View;
    friend class NavigationController;
    friend class TabBarController;
    friend class PopoverController;
    ViewController* presentationRoot();

    std::string nibName_;
    ViewPtr view_;
    bool loadingView_ = false;
    AppearanceState appearanceState_ = AppearanceState::Disappeared;
    bool appearanceAnimated_ = false;
    std::vector<std::weak_ptr<ViewController>> appearanceForwardedTo_;
    ViewController* parent_ = nullptr;
    std::vector<ViewControllerPtr> children_;
    std::string title_;
    NavigationItem navigationItem_;
    TabBarItemPtr tabBarItem_;
    bool hidesBottomBarWhenPushed_ = false;
    bool editing_ = false;
    ViewControllerPtr presented_;
    std::weak_ptr<ViewController> presenting_;
    bool coversPresenter_ = false;
    bool beingPresented_ = false;
    bool beingDismissed_ = false;
    ModalPresentationStyle modalPresentationStyle_ = ModalPresentationStyle::FullScreen;
    ModalTransitionStyle modalTransitionStyle_ = ModalTransitionStyle::CoverVertical;
    Size contentSizeForViewInPopover_{320, 1100};
    bool modalInPopover_ = false;
    int statusBarAppearanceUpdates_ = 0;
    bool wantsFullScreenLayout_ = false;
    std::shared_ptr<foundation::Timer> transitionTimer_;
    std::function<void()> transitionFinish_;
};

}  // namespace velkora::ui
