#include "platform/ui/ComposeSheet.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Font.h"
#include "platform/ui/Label.h"
#include "platform/ui/Snapshot.h"

namespace velkora::ui {

namespace {

constexpr double kBarHeight = 44;
constexpr double kRowHeight = 40;
const Color kBarColor = Color::fromHex("#F2F2F5");
const Color kLineColor = Color::fromHex("#C8C7CC");
const Color kTint = Color::fromHex("#1E6FD9");

std::shared_ptr<View> line(double y, double width) {
    auto v = View::create({0, y, width, 0.5});
    v->setBackgroundColor(kLineColor);
    return v;
}

std::shared_ptr<Button> barButton(const std::string& title, const Rect& frame, bool bold) {
    auto b = Button::create(ButtonType::Custom, frame);
    b->setTitle(title);
    b->setTitleColor(kTint);
    b->setTitleColor(kLineColor, ControlStateDisabled);
    b->titleLabel()->setFont(bold ? Font::boldSystemFont(16) : Font::systemFont(16));
    return b;
}

} // namespace

void ComposeSheetViewController::loadView() {
    Rect screen = Screen::main().bounds();
    auto root = View::create(screen);
    root->setBackgroundColor(Color::whiteColor());
    double width = screen.size.width;

    auto bar = View::create({0, 0, width, kBarHeight});
    bar->setBackgroundColor(kBarColor);
    auto title = Label::create({80, 0, width - 160, kBarHeight});
    title->setText(sheetTitle_);
    title->setFont(Font::boldSystemFont(17));
    title->setTextAlignment(TextAlignment::Center);
    bar->addSubview(title);
    cancelButton_ = barButton("Cancel", {4, 0, 72, kBarHeight}, false);
    actionButton_ = barButton(actionTitle_, {width - 76, 0, 72, kBarHeight}, true);
    actionButton_->setEnabled(actionEnabled_);
    auto self = std::static_pointer_cast<ComposeSheetViewController>(shared_from_this());
    cancelButton_->addTarget(self, &ComposeSheetViewController::cancelPressed, ControlEventTouchUpInside);
    actionButton_->addTarget(self, &ComposeSheetViewController::actionPressed, ControlEventTouchUpInside);
    bar->addSubview(cancelButton_);
    bar->addSubview(actionButton_);
    bar->addSubview(line(kBarHeight - 0.5, width));
    root->addSubview(bar);

    rows_ = View::create({0, kBarHeight, width, 0});
    root->addSubview(rows_);
    body_ = Label::create({12, kBarHeight, width - 24, 200});
    body_->setFont(Font::systemFont(15));
    body_->setNumberOfLines(0);
    body_->setLineBreakMode(LineBreakMode::WordWrap);
    root->addSubview(body_);
    footnote_ = Label::create({12, 0, width - 24, 24});
    footnote_->setFont(Font::systemFont(13));
    footnote_->setTextColor(Color::fromHex("#8E8E93"));
    root->addSubview(footnote_);
    setView(root);
    refreshForm();
}

void ComposeSheetViewController::refreshForm() {
    if (!isViewLoaded()) return;
    double width = view()->bounds().size.width;
    for (const auto& sub : std::vector<ViewPtr>(rows_->subviews()))
        sub->removeFromSuperview();
    double y = 0;
    for (const auto& [name, value] : formFields()) {
        auto label = Label::create({12, y, 90, kRowHeight});
        label->setText(name);
        label->setTextColor(Color::fromHex("#8E8E93"));
        label->setFont(Font::systemFont(15));
        auto shown = Label::create({102, y, width - 114, kRowHeight});
        shown->setText(value);
        shown->setFont(Font::systemFont(15));
        rows_->addSubview(label);
        rows_->addSubview(shown);
        y += kRowHeight;
        rows_->addSubview(line(y - 0.5, width));
    }
    rows_->setFrame({0, kBarHeight, width, y});
    double bodyTop = kBarHeight + y + 4;
    double bottom = view()->bounds().size.height;
    std::string note = formFootnote();
    double noteHeight = note.empty() ? 0 : 28;
    // The text from the top of its area, as far as it goes.
    body_->setText(formBody());
    double available = std::max(0.0, bottom - bodyTop - noteHeight - 8);
    double needed = measureLabel(*body_, {width - 24, available}).height;
    body_->setFrame({12, bodyTop + 8, width - 24, std::min(available, std::ceil(needed))});
    footnote_->setText(note);
    footnote_->setHidden(note.empty());
    footnote_->setFrame({12, bottom - noteHeight - 4, width - 24, noteHeight});
}

void ComposeSheetViewController::setActionEnabled(bool enabled) {
    actionEnabled_ = enabled;
    if (actionButton_) actionButton_->setEnabled(enabled);
}

void ComposeSheetViewController::tapCancel() {
    view();
    cancelButton_->sendActionsForControlEvents(ControlEventTouchUpInside);
}

void ComposeSheetViewController::tapAction() {
    view();
    if (actionButton_->isEnabled()) actionButton_->sendActionsForControlEvents(ControlEventTouchUpInside);
}

std::string ComposeSheetViewController::shownBody() const {
    return body_ ? body_->text() : formBody();
}

} // namespace velkora::ui
