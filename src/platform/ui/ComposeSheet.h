// The form every composer of the platform is drawn as (the mail sheet, the tweet sheet, the feed
// dialog): a bar with a cancel button, the sheet's title and its action button; one row per field
// ("To:", "Subject:"); then the body's text. A person (or a test driving it) taps cancel or the action.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/ui/ViewController.h"

namespace velkora::ui {

class Button;
class Control;
class Label;

class ComposeSheetViewController : public ViewController {
public:
    const char* className() const override { return "ComposeSheetViewController"; }

    void loadView() override;

    // The bar's buttons, as a tap on them would press them.
    void tapCancel();
    void tapAction();
    const std::shared_ptr<Button>& cancelButton() const { return cancelButton_; }
    const std::shared_ptr<Button>& actionButton() const { return actionButton_; }
    // The text shown in the body (what the sheet holds now).
    std::string shownBody() const;

protected:
    ComposeSheetViewController(std::string sheetTitle, std::string actionTitle)
        : sheetTitle_(std::move(sheetTitle)), actionTitle_(std::move(actionTitle)) {}

    // The rows to show: label and value.
    virtual std::vector<std::pair<std::string, std::string>> formFields() const = 0;
    virtual std::string formBody() const = 0;
    // A line under the body ("117" characters left, the attachments); empty for none.
    virtual std::string formFootnote() const { return {}; }
    virtual void cancelTapped() = 0;
    virtual void actionTapped() = 0;

    // Shows the current fields again, once the view is loaded.
    void refreshForm();
    void setActionEnabled(bool enabled);

private:
    void cancelPressed(Control*) { cancelTapped(); }
    void actionPressed(Control*) { actionTapped(); }

    std::string sheetTitle_, actionTitle_;
    std::shared_ptr<Button> cancelButton_, actionButton_;
    std::shared_ptr<View> rows_;
    std::shared_ptr<Label> body_;
    std::shared_ptr<Label> footnote_;
    bool actionEnabled_ = true;
};

} // namespace velkora::ui
