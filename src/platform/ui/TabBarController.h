// The tab-bar controller: a row of tabs, each showing one controller, with its delegate.
#pragma once

#include <memory>
#include <vector>

#include "platform/ui/ViewController.h"

namespace velkora::ui {

class TabBarController;

class TabBarControllerDelegate {
public:
    virtual ~TabBarControllerDelegate() = default;
    virtual bool shouldSelectViewController(TabBarController& /*tabs*/, ViewController& /*controller*/) { return true; }
    virtual void didSelectViewController(TabBarController& /*tabs*/, ViewController& /*controller*/) {}
};

class TabBar : public View {
public:
    using View::View;
    const char* className() const override { return "TabBar"; }
    const std::vector<TabBarItemPtr>& items() const { return items_; }
    void setItems(std::vector<TabBarItemPtr> items) { items_ = std::move(items); }
    TabBarItemPtr selectedItem() const { return selectedItem_.lock(); }
    void setSelectedItem(const TabBarItemPtr& item) { selectedItem_ = item; }

private:
    std::vector<TabBarItemPtr> items_;
    std::weak_ptr<TabBarItem> selectedItem_;
};

class TabBarController : public ViewController {
public:
    static constexpr double kBarHeight = 49;
    static constexpr size_t npos = static_cast<size_t>(-1);

    TabBarController() = default;
    static std::shared_ptr<TabBarController> create() { return std::make_shared<TabBarController>(); }
    const char* className() const override { return "TabBarController"; }

    const std::vector<ViewControllerPtr>& viewControllers() const { return childViewControllers(); }
    // Keeps the selected controller when it is still there, else selects the first.
    void setViewControllers(std::vector<ViewControllerPtr> controllers, bool animated = false);
    size_t selectedIndex() const { return selectedIndex_; }
    // An index out of range is ignored.
    void setSelectedIndex(size_t index);
    ViewControllerPtr selectedViewController() const;
    void setSelectedViewController(const ViewController* controller);
    // A tap on a tab: the delegate may refuse; it hears of the selection after it is made. Answers
    // whether the tab was selected.
    bool tapTabAtIndex(size_t index);

    const std::shared_ptr<TabBar>& tabBar();
    void setDelegate(std::weak_ptr<TabBarControllerDelegate> d) { delegate_ = std::move(d); }
    std::shared_ptr<TabBarControllerDelegate> delegate() const { return delegate_.lock(); }

    void loadView() override;
    void viewWillLayoutSubviews() override;
    std::vector<ViewController*> childrenForAppearance() const override;

private:
    void select(size_t index);
    void installSelectedView();
    Rect contentFrame();

    size_t selectedIndex_ = npos;
    std::shared_ptr<TabBar> tabBar_;
    std::weak_ptr<TabBarControllerDelegate> delegate_;
};

}  // namespace velkora::ui
