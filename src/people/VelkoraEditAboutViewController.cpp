#include "people/VelkoraEditAboutViewController.h"

#include <algorithm>
#include <cmath>

#include "people/VelkoraFriendsSupport.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextLayout.h"
#include "platform/ui/Utf16.h"
#include "platform/ui/Window.h"
#include "server/VelkoraServerApi.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "shell/VelkoraProfileSupport.h"

namespace velkora {

namespace {
std::string currentBio() {
    auto me = VelkoraAgentInternal::instance().velkoraUser();
    return me ? me->customString1().value_or("") : std::string();
}

bool isBlank(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}
} // namespace

std::shared_ptr<VelkoraEditAboutViewController> VelkoraEditAboutViewController::create() {
    profiles::registerPeopleViewClasses();
    return std::shared_ptr<VelkoraEditAboutViewController>(new VelkoraEditAboutViewController());
}

void VelkoraEditAboutViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraGeneralFeatureViewController::registerInterfaceBindings(b);
    b.outlet("aboutTextView", aboutTextView_);
    b.outlet("numCharsLabel", numCharsLabel_);
    b.outlet("doneButton", doneButton_);
    b.outlet("editBioTitleLabel", editBioTitleLabel_);
    b.action("doneTapped:", this, &VelkoraEditAboutViewController::doneTapped);
    b.action("cancelTapped:", this, &VelkoraEditAboutViewController::cancelTapped);
}

void VelkoraEditAboutViewController::viewDidLoad() {
    setStyleScreenIdentifier(kScreenId);
    // The editor is a page of the user's own profile; its bar says so above the "Edit Bio" heading.
    if (titleText().empty()) setTitleText(profiles::text("velkora_text_my_profile_title_label"));
    VelkoraGeneralFeatureViewController::viewDidLoad();
    const std::string bio = currentBio();
    if (aboutTextView_) {
        aboutTextView_->setDelegate(
            std::static_pointer_cast<ui::TextViewDelegate>(sharedAs<VelkoraEditAboutViewController>()));
        aboutTextView_->setScrollEnabled(false);
        // The bio and its placeholder keep clear of the box's border, as text in a box does.
        aboutTextView_->setTextContainerInset(kTextInset);
        aboutTextView_->setText(bio);
        origTextViewColor_ = aboutTextView_->textColor();
    }
    showCharsLeft();
    if (bio.empty() && aboutTextView_) {
        aboutTextView_->setText(profiles::text("velkora_text_bio_text"));
        aboutTextView_->setTextColor(ui::Color::white(2.0 / 3.0));
    }
    if (cancelButton()) cancelButton()->setTitle(profiles::text("velkora_text_cancel_button"));
    if (doneButton_) doneButton_->setTitle(profiles::text("velkora_text_done_button"));
    if (editBioTitleLabel_) editBioTitleLabel_->setText(profiles::text("velkora_text_edit_bio_title"));
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeDoneButton(doneButton_.get(), kScreenId);
    style.customizeProfileAboutTextView(aboutTextView_.get(), kScreenId);
    style.customizeCancelButton(cancelButton().get(), kScreenId);

    std::weak_ptr<VelkoraEditAboutViewController> weak = sharedAs<VelkoraEditAboutViewController>();
    friends::observeKeyboard(weak, keyboardShowObserver_, keyboardHideObserver_);
}

void VelkoraEditAboutViewController::showCharsLeft() {
    if (!numCharsLabel_ || !aboutTextView_) return;
    const auto used = static_cast<long>(ui::utf16::length(aboutTextView_->text()));
    numCharsLabel_->setText(std::to_string(static_cast<long>(kMaxLength) - used));
}

bool VelkoraEditAboutViewController::textViewShouldBeginEditing(ui::TextView& view) {
    // What the view shows decides, not the saved bio: the placeholder (or a blank bio) goes away, while
    // what the person typed since stays when they come back to the field.
    const bool placeholder = view.textColor() != origTextViewColor_;
    if (placeholder || isBlank(view.text())) {
        view.setText("");
        view.setTextColor(origTextViewColor_);
    }
    return true;
}

bool VelkoraEditAboutViewController::shouldChangeTextInRange(ui::TextView& view, ui::TextRange range,
                                                             const std::string& text) {
    const std::string& old = view.text();
    const size_t from = ui::utf16::byteOffset(old, range.location);
    const size_t to = ui::utf16::byteOffset(old, range.end());
    const std::string changed = old.substr(0, from) + text + old.substr(std::max(from, to));
    if (ui::utf16::length(changed) > kMaxLength) return false;
    const ui::Font& font = view.font();
    const ui::Size frame = view.frame().size;
    // Measured in the width the text is drawn in, so the lines counted are the lines shown.
    const ui::EdgeInsets inset = view.textContainerInset();
    const double width = std::max(1.0, frame.width - inset.left - inset.right);
    ui::Size measured = ui::measureText(changed, font, width, 0, ui::LineBreakMode::WordWrap);
    measured.height = std::min(measured.height, frame.height);
    const double lineHeight = font.lineHeight();
    if (lineHeight <= 0) return true;
    return static_cast<int>(measured.height / lineHeight) < kMaxLines;
}

void VelkoraEditAboutViewController::textViewDidChange(ui::TextView&) {
    showCharsLeft();
}

bool VelkoraEditAboutViewController::holdsRealText() const {
    return aboutTextView_ && aboutTextView_->textColor() == origTextViewColor_ && !aboutTextView_->text().empty();
}

void VelkoraEditAboutViewController::doneTapped(ui::Control*) {
    if (closed_) return;
    if (holdsRealText()) {
        if (auto me = VelkoraAgentInternal::instance().velkoraUser()) {
            me->setCustomString1(aboutTextView_->text());
            VelkoraServerApi::setUserData(me);
        }
    }
    postClosed();
    dismissViewController(true);
}

void VelkoraEditAboutViewController::cancelTapped(ui::Control*) {
    if (closed_) return;
    if (!holdsRealText()) {
        cancelEditing();
        return;
    }
    auto popup = VelkoraDefaultOKPopupView::initFromNibCancel(profiles::text("velkora_text_confirm_yes_button"),
                                                              profiles::text("velkora_text_cancel_button"));
    if (!popup) return;
    if (popup->titleLabel()) popup->titleLabel()->setText(profiles::text("velkora_text_cancel_edit_message_title"));
    if (popup->messageLable())
        popup->messageLable()->setText(profiles::text("velkora_text_cancel_edit_message_description"));
    popup->setDelegate(
        std::static_pointer_cast<VelkoraDefaultOKPopupViewDelegate>(sharedAs<VelkoraEditAboutViewController>()));
    auto window = ui::Application::instance().keyWindowShared();
    popup->showInView(window ? static_cast<ui::View*>(window.get()) : view().get());
    cancelQuestion_ = popup;
}

void VelkoraEditAboutViewController::cancelEditing() {
    if (closed_) return;
    auto keep = sharedAs<VelkoraEditAboutViewController>();
    dismissViewController(true);
    postClosed();
}

void VelkoraEditAboutViewController::postClosed() {
    if (closed_) return;
    closed_ = true;
    foundation::NotificationCenter::defaultCenter().post(kClosedNotification);
}

void VelkoraEditAboutViewController::keyboardWillShow(const foundation::Notification&) {
    friends::addEndEditingTap(view(), keyboardTap_);
}

void VelkoraEditAboutViewController::keyboardWillHide(const foundation::Notification&) {
    friends::removeEndEditingTap(viewIfLoaded().get(), keyboardTap_);
}

} // namespace velkora
