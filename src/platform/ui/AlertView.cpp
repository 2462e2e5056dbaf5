#include "platform/ui/AlertView.h"

namespace velkora::ui {

AlertView::AlertView(std::string title, std::string message, std::weak_ptr<AlertViewDelegate> delegate,
                     std::optional<std::string> cancelButtonTitle, const std::vector<std::string>& otherButtonTitles)
    : delegate_(std::move(delegate)) {
    setTitle(std::move(title));
    setMessage(std::move(message));
    if (cancelButtonTitle) setCancelButtonIndex(addButtonWithTitle(*cancelButtonTitle));
    for (auto& t : otherButtonTitles) addButtonWithTitle(t);
}

void AlertView::setMessage(std::string m) {
    message_ = std::move(m);
    messageLabel_->setText(message_);
}

int AlertView::firstOtherButtonIndex() const {
    for (int i = 0; i < numberOfButtons(); ++i)
        if (i != cancelButtonIndex()) return i;
    return -1;
}

void AlertView::setAlertViewStyle(AlertViewStyle s) {
    style_ = s;
    textFields_.clear();
    if (s == AlertViewStyle::Default) return;
    auto first = TextField::create({0, 0, 240, 29});
    first->setBorderStyle(TextBorderStyle::Line);
    first->setSecureTextEntry(s == AlertViewStyle::SecureTextInput);
    textFields_.push_back(first);
    if (s == AlertViewStyle::LoginAndPasswordInput) {
        auto second = TextField::create({0, 0, 240, 29});
        second->setBorderStyle(TextBorderStyle::Line);
        second->setSecureTextEntry(true);
        textFields_.push_back(second);
    }
}

std::shared_ptr<TextField> AlertView::textFieldAtIndex(int index) const {
    if (index < 0 || index >= int(textFields_.size())) return nullptr;
    return textFields_[size_t(index)];
}

void AlertView::show() { presentInOwnWindow(false); }

void AlertView::clicked(int index) {
    if (auto d = delegate()) d->clickedButtonAtIndex(*this, index);
}

void AlertView::willDismiss(int index) {
    if (auto d = delegate()) d->willDismissWithButtonIndex(*this, index);
}

void AlertView::didDismiss(int index) {
    if (auto d = delegate()) d->didDismissWithButtonIndex(*this, index);
}

void AlertView::willPresent() {
    if (auto d = delegate()) d->willPresentAlertView(*this);
}

void AlertView::didPresent() {
    if (auto d = delegate()) d->didPresentAlertView(*this);
}

}  // namespace velkora::ui
