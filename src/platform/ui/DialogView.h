// What the alert and the action sheet share: a title, buttons by index with a cancel button, and a
// window of alert level of their own while they show.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

namespace velkora::ui {

class Window;

class DialogView : public View {
public:
    DialogView();

    const std::string& title() const { return title_; }
    void setTitle(std::string t);

    // Answers the new button's index.
    int addButtonWithTitle(std::string title);
    int numberOfButtons() const { return int(buttonTitles_.size()); }
    // Empty for an index out of range.
    std::string buttonTitleAtIndex(int index) const;
    int cancelButtonIndex() const { return cancelButtonIndex_; }
    void setCancelButtonIndex(int index) { cancelButtonIndex_ = index; }
    bool isVisible() const { return window_ != nullptr; }
    // The buttons as views, in index order (made when the dialog shows).
    const std::vector<std::shared_ptr<Button>>& buttons() const { return buttons_; }

    // A tap on a button: the delegate hears of the click, then the dialog goes away with that index.
    void tapButtonAtIndex(int index);
    // From code: the dialog goes away without a click.
    void dismissWithClickedButtonIndex(int index, bool animated);

protected:
    // Shows in its own window above everything, centred (or along the bottom for a sheet).
    void presentInOwnWindow(bool alongBottom);
    virtual void clicked(int /*index*/) {}
    virtual void willDismiss(int /*index*/) {}
    virtual void didDismiss(int /*index*/) {}
    virtual void willPresent() {}
    virtual void didPresent() {}
    std::shared_ptr<Label> messageLabel_;

private:
    void buildButtons();

    std::string title_;
    std::vector<std::string> buttonTitles_;
    int cancelButtonIndex_ = -1;
    std::shared_ptr<Label> titleLabel_;
    std::vector<std::shared_ptr<Button>> buttons_;
    std::shared_ptr<Window> window_;
};

}  // namespace velkora::ui
