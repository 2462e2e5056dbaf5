// The action sheet: a title and buttons by index (a destructive button first, the cancel button last).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/DialogView.h"

namespace velkora::ui {

class ActionSheet;
class BarButtonItem;

class ActionSheetDelegate {
public:
    virtual ~ActionSheetDelegate() = default;
    virtual void clickedButtonAtIndex(ActionSheet& /*sheet*/, int /*index*/) {}
    virtual void willPresentActionSheet(ActionSheet& /*sheet*/) {}
    virtual void didPresentActionSheet(ActionSheet& /*sheet*/) {}
    virtual void willDismissWithButtonIndex(ActionSheet& /*sheet*/, int /*index*/) {}
    virtual void didDismissWithButtonIndex(ActionSheet& /*sheet*/, int /*index*/) {}
};

class ActionSheet : public DialogView {
public:
    ActionSheet() = default;
    ActionSheet(std::string title, std::weak_ptr<ActionSheetDelegate> delegate, std::optional<std::string> cancelButtonTitle,
                std::optional<std::string> destructiveButtonTitle, const std::vector<std::string>& otherButtonTitles);
    static std::shared_ptr<ActionSheet> create(std::string title, std::weak_ptr<ActionSheetDelegate> delegate = {},
                                               std::optional<std::string> cancelButtonTitle = std::nullopt,
                                               std::optional<std::string> destructiveButtonTitle = std::nullopt,
                                               const std::vector<std::string>& otherButtonTitles = {}) {
        return std::make_shared<ActionSheet>(std::move(title), std::move(delegate), std::move(cancelButtonTitle),
                                             std::move(destructiveButtonTitle), otherButtonTitles);
    }
    const char* className() const override { return "ActionSheet"; }

    int destructiveButtonIndex() const { return destructiveButtonIndex_; }
    void setDestructiveButtonIndex(int i) { destructiveButtonIndex_ = i; }
    int firstOtherButtonIndex() const;
    void setDelegate(std::weak_ptr<ActionSheetDelegate> d) { delegate_ = std::move(d); }
    std::shared_ptr<ActionSheetDelegate> delegate() const { return delegate_.lock(); }

    // Every way of showing it ends in a window of its own along the bottom of the screen; where it
    // was shown from is kept.
    void showInView(View* view);
    void showFromRect(const Rect& rect, View* view, bool animated);
    void showFromBarButtonItem(const std::shared_ptr<BarButtonItem>& item, bool animated);
    Rect shownFromRect() const { return shownFromRect_; }
    std::string dumpText() const override { return title(); }

protected:
    void clicked(int index) override;
    void willDismiss(int index) override;
    void didDismiss(int index) override;
    void willPresent() override;
    void didPresent() override;

private:
    std::weak_ptr<ActionSheetDelegate> delegate_;
    int destructiveButtonIndex_ = -1;
    Rect shownFromRect_;
};

}  // namespace velkora::ui
