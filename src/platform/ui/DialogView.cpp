#include "platform/ui/DialogView.h"

#include <algorithm>

#include "platform/ui/Application.h"
#include "platform/ui/Window.h"

namespace velkora::ui {

namespace {
constexpr double kWidth = 270;
constexpr double kButtonHeight = 44;
constexpr double kTextHeight = 22;
}  // namespace

DialogView::DialogView() : View(Rect(0, 0, kWidth, 0)) {
    titleLabel_ = Label::create();
    titleLabel_->setTextAlignment(TextAlignment::Center);
    titleLabel_->setFont(Font::boldSystemFont(17));
    titleLabel_->setNumberOfLines(0);  // a long title wraps, as a question of the device's prompts does
    messageLabel_ = Label::create();
    messageLabel_->setTextAlignment(TextAlignment::Center);
    messageLabel_->setNumberOfLines(0);
    messageLabel_->setFont(Font::systemFont(13));
    setBackgroundColor(Color::white(0.97));
    layer().setCornerRadius(7);
}

void DialogView::setTitle(std::string t) {
    title_ = std::move(t);
    titleLabel_->setText(title_);
}

int DialogView::addButtonWithTitle(std::string title) {
    buttonTitles_.push_back(std::move(title));
    if (isVisible()) buildButtons();
    return int(buttonTitles_.size()) - 1;
}

std::string DialogView::buttonTitleAtIndex(int index) const {
    if (index < 0 || index >= int(buttonTitles_.size())) return {};
    return buttonTitles_[size_t(index)];
}

void DialogView::buildButtons() {
    for (auto& b : buttons_) b->removeFromSuperview();
    buttons_.clear();
    for (auto& sub : std::vector<ViewPtr>(subviews())) sub->removeFromSuperview();
    double y = 10;
    double width = bounds().width();
    if (!title_.empty()) {
        double height = std::max(kTextHeight, titleLabel_->sizeThatFits({width - 20, 0}).height);
        titleLabel_->setFrame({10, y, width - 20, height});
        addSubview(titleLabel_);
        y += height + 4;
    }
    if (!messageLabel_->text().empty()) {
        Size s = messageLabel_->sizeThatFits({width - 20, 0});
        messageLabel_->setFrame({10, y, width - 20, s.height});
        addSubview(messageLabel_);
        y += s.height + 4;
    }
    y += 6;
    std::weak_ptr<View> weak = sharedView();
    for (int i = 0; i < int(buttonTitles_.size()); ++i) {
        auto button = Button::create(ButtonType::RoundedRect, {0, y, width, kButtonHeight});
        button->setTitle(buttonTitles_[size_t(i)]);
        button->setTag(i);
        button->addAction(
            [weak, i](Control*) {
                if (auto self = std::static_pointer_cast<DialogView>(weak.lock())) self->tapButtonAtIndex(i);
            },
            ControlEventTouchUpInside);
        addSubview(button);
        buttons_.push_back(button);
        y += kButtonHeight;
    }
    Rect f = frame();
    setFrame({f.x(), f.y(), width, y});
}

void DialogView::presentInOwnWindow(bool alongBottom) {
    if (window_) return;
    auto self = sharedView();
    willPresent();
    Rect screen = Screen::main().bounds();
    window_ = Window::create(screen);
    window_->setWindowLevel(WindowLevel::Alert);
    window_->setBackgroundColor(Color::black().withAlpha(0.4));
    if (alongBottom) setFrame({0, 0, screen.width(), 0});
    buildButtons();
    Rect f = frame();
    if (alongBottom) setFrame({0, screen.maxY() - f.height(), screen.width(), f.height()});
    else setFrame({screen.midX() - f.width() / 2, screen.midY() - f.height() / 2, f.width(), f.height()});
    window_->addSubview(self);
    window_->makeKeyAndVisible();
    didPresent();
}

void DialogView::tapButtonAtIndex(int index) {
    if (!isVisible() || index < 0 || index >= numberOfButtons()) return;
    auto self = sharedView();
    clicked(index);
    dismissWithClickedButtonIndex(index, true);
}

void DialogView::dismissWithClickedButtonIndex(int index, bool /*animated*/) {
    if (!window_) return;
    auto self = sharedView();
    willDismiss(index);
    // The window holds the dialog and the dialog its window: hiding and dropping both ends the pair.
    auto window = std::move(window_);
    window_.reset();
    removeFromSuperview();
    window->setHidden(true);
    didDismiss(index);
}

}  // namespace velkora::ui
