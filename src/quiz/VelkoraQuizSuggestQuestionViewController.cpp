#include "quiz/VelkoraQuizSuggestQuestionViewController.h"

#include "shell/VelkoraProfileSupport.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/ScrollView.h"
#include "quiz/VelkoraLeaderboardScreens.h"
#include "server/VelkoraServerApi.h"
#include "shell/VelkoraResizeableButton.h"
#include "session/VelkoraStyleSheetCustomizer.h"

namespace velkora {

namespace {

std::string text(const char* key) {
    return foundation::Bundle::main().localizedString(key);
}

const ui::Color kLightGray = ui::Color::white(2.0 / 3.0);

} // namespace

std::shared_ptr<VelkoraQuizSuggestQuestionViewController>
VelkoraQuizSuggestQuestionViewController::initFromNibWithQuizId(int32_t quizId) {
    auto form =
        std::shared_ptr<VelkoraQuizSuggestQuestionViewController>(new VelkoraQuizSuggestQuestionViewController());
    form->setQuizId(quizId);
    form->setTitleText(text("velkora_text_quiz_suggest_question_title"));
    return form;
}

VelkoraQuizSuggestQuestionViewController::VelkoraQuizSuggestQuestionViewController()
    : VelkoraGeneralFeatureViewController(kInterface) {
    profiles::registerPeopleViewClasses();
}

VelkoraQuizSuggestQuestionViewController::~VelkoraQuizSuggestQuestionViewController() {
    VelkoraServerApi::clearUserDelegate(this);
    if (popup_) {
        popup_->setDelegate({});
        popup_->close();
    }
}

void VelkoraQuizSuggestQuestionViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraGeneralFeatureViewController::registerInterfaceBindings(b);
    b.outlet("questionTextView", questionTextView_);
    b.outlet("correctAnswerTextField", correctAnswerTextField_);
    b.outlet("wrongAnswer1TextField", wrongAnswer1TextField_);
    b.outlet("wrongAnswer2TextField", wrongAnswer2TextField_);
    b.outlet("wrongAnswer3TextField", wrongAnswer3TextField_);
    b.outlet("cancelQuestionButton", cancelQuestionButton_);
    b.outlet("sendQuestionButton", sendQuestionButton_);
    b.outlet("qaScrollView", qaScrollView_);
    b.action("cancelClicked:", this, &VelkoraQuizSuggestQuestionViewController::cancelClicked);
    b.action("sendClicked:", this, &VelkoraQuizSuggestQuestionViewController::sendClicked);
}

void VelkoraQuizSuggestQuestionViewController::viewDidLoad() {
    setStyleScreenIdentifier(kScreenId);
    VelkoraGeneralFeatureViewController::viewDidLoad();
    if (cancelButton()) cancelButton()->setTitle(text("velkora_text_cancel_button"));
    if (sendQuestionButton_) sendQuestionButton_->setTitle(text("velkora_text_submit_button"));
    placeHolder_ = text("velkora_text_question_text_field");
    auto self = sharedAs<VelkoraQuizSuggestQuestionViewController>();
    if (questionTextView_) {
        questionTextView_->setClipsToBounds(true);
        questionTextView_->layer().setCornerRadius(8.0);
        questionTextView_->layer().setBorderColor(ui::Color::white(0.5, 0.5));
        questionTextView_->layer().setBorderWidth(1.0);
        // The question's text keeps off the rounded border, as the answers' insets do.
        questionTextView_->setTextContainerInset({8, kFieldInset - 4, 8, kFieldInset - 4});
        questionTextView_->setDelegate(std::static_pointer_cast<ui::TextViewDelegate>(self));
        questionTextView_->setText(placeHolder_);
        questionTextView_->setTextColor(kLightGray);
    }
    const std::pair<const std::shared_ptr<ui::TextField>*, const char*> fields[] = {
        {&correctAnswerTextField_, "velkora_text_correct_answer_text_field"},
        {&wrongAnswer1TextField_, "velkora_text_wrong_answer_text_field"},
        {&wrongAnswer2TextField_, "velkora_text_wrong_answer_text_field_optional"},
        {&wrongAnswer3TextField_, "velkora_text_wrong_answer_text_field_optional"}};
    for (const auto& [field, key] : fields) {
        if (!*field) continue;
        (*field)->setLeftView(ui::View::create(ui::Rect(0, 0, kFieldInset, (*field)->frame().height())));
        (*field)->setLeftViewMode(ui::TextFieldViewMode::Always);
        (*field)->setPlaceholder(text(key));
        (*field)->setDelegate(std::static_pointer_cast<ui::TextFieldDelegate>(self));
    }
    if (qaScrollView_) {
        scrollViewOrigHeight_ = qaScrollView_->frame().height();
        // Room for every field and the buttons, so the keyboard's inset can scroll them into view.
        double bottom = 0;
        for (const auto& sub : qaScrollView_->subviews())
            bottom = std::max(bottom, sub->frame().maxY());
        qaScrollView_->setContentSize(ui::Size{qaScrollView_->frame().width(), bottom + 16});
    }
    registerForKeyboardNotifications();
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeCancelButton(cancelButton().get(), kScreenId);
    style.customizeSendButton(sendButton().get(), kScreenId);
    style.customizeQuizSuggestQuestionQuestionTextView(questionTextView_.get(), kScreenId);
    style.customizeQuizSuggestQuestionCorrectAnswerTextView(correctAnswerTextField_.get(), kScreenId);
    style.customizeQuizSuggestQuestionWrongAnswerTextView(wrongAnswer1TextField_.get(), kScreenId);
    style.customizeQuizSuggestQuestionWrongAnswerTextView(wrongAnswer2TextField_.get(), kScreenId);
    style.customizeQuizSuggestQuestionWrongAnswerTextView(wrongAnswer3TextField_.get(), kScreenId);
}

// ---- the question's placeholder

void VelkoraQuizSuggestQuestionViewController::questionEditingBegan(const foundation::Notification&) {
    if (!questionTextView_ || questionTextView_->text() != placeHolder_) return;
    questionTextView_->setText("");
    questionTextView_->setTextColor(ui::Color::black());
}

bool VelkoraQuizSuggestQuestionViewController::questionIsEmpty() const {
    const std::string question = questionTextView_ ? questionTextView_->text() : std::string();
    return question.empty() || question == placeHolder_;
}

bool VelkoraQuizSuggestQuestionViewController::areContitionsMet() const {
    auto filled = [](const std::shared_ptr<ui::TextField>& f) { return f && !f->text().empty(); };
    return !questionIsEmpty() && filled(correctAnswerTextField_) && filled(wrongAnswer1TextField_);
}

// ---- sending

void VelkoraQuizSuggestQuestionViewController::sendClicked(ui::Control*) {
    if (sending_) return;
    if (!areContitionsMet()) {
        popupIsConfirmRequirements_ = true;
        showPopup(VelkoraDefaultOKPopupView::initFromNib(text("velkora_text_ok_button")),
                  "velkora_text_quiz_post_question_suggestion_requirements_popup_title",
                  "velkora_text_quiz_post_question_suggestion_requirements_popup_message");
        return;
    }
    auto fieldText = [](const std::shared_ptr<ui::TextField>& f) { return f ? f->text() : std::string(); };
    setSending(true);
    auto self = sharedAs<VelkoraQuizSuggestQuestionViewController>();
    VelkoraServerApi::suggestQuizQuestion(VelkoraCallback::make(
                                              self, [this](const foundation::Value&) { questionSent(); },
                                              [this](const foundation::ErrorPtr& error) { questionFailed(error); }),
                                          quizId_, questionTextView_->text(), fieldText(correctAnswerTextField_),
                                          fieldText(wrongAnswer1TextField_), fieldText(wrongAnswer2TextField_),
                                          fieldText(wrongAnswer3TextField_));
}

void VelkoraQuizSuggestQuestionViewController::setSending(bool sending) {
    sending_ = sending;
    if (sendQuestionButton_) sendQuestionButton_->setEnabled(!sending);
}

void VelkoraQuizSuggestQuestionViewController::questionSent() {
    popupIsConfirmRequirements_ = false;
    popupIsConfirmCancel_ = false;
    showPopup(VelkoraDefaultOKPopupView::initFromNib(text("velkora_text_ok_button")),
              "velkora_text_quiz_post_question_suggestion_popup_title",
              "velkora_text_quiz_post_question_suggestion_popup_message");
}

void VelkoraQuizSuggestQuestionViewController::questionFailed(const foundation::ErrorPtr& error) {
    foundation::Log::line("Velkora (W) - Question suggestion not sent: %@",
                          error ? error->description() : std::string());
    setSending(false);
    showLeaderboardFailureNotice(error, viewIfLoaded().get());
}

// ---- cancelling and the popups

void VelkoraQuizSuggestQuestionViewController::cancelClicked(ui::Control*) {
    if (questionIsEmpty()) {
        dismissForm();
        return;
    }
    popupIsConfirmCancel_ = true;
    showPopup(VelkoraDefaultOKPopupView::initFromNibCancel(text("velkora_text_confirm_yes_button"),
                                                           text("velkora_text_cancel_button")),
              "velkora_text_quiz_suggest_question_cancel_title", "velkora_text_quiz_suggest_question_cancel_message");
}

void VelkoraQuizSuggestQuestionViewController::showPopup(std::shared_ptr<VelkoraDefaultOKPopupView> popup,
                                                         const char* titleKey, const char* messageKey) {
    if (!popup) return;
    if (popup_) {
        popup_->setDelegate({});
        popup_->close();
    }
    if (popup->titleLabel()) popup->titleLabel()->setText(text(titleKey));
    if (popup->messageLable()) {
        popup->messageLable()->setNumberOfLines(0);
        popup->messageLable()->setText(text(messageKey));
    }
    popup->setDelegate(std::static_pointer_cast<VelkoraDefaultOKPopupViewDelegate>(
        sharedAs<VelkoraQuizSuggestQuestionViewController>()));
    popup->showInView(view().get());
    popup_ = std::move(popup);
}

void VelkoraQuizSuggestQuestionViewController::popupOkTapped() {
    popup_.reset();
    if (popupIsConfirmRequirements_) {
        popupIsConfirmRequirements_ = false;
        return;
    }
    dismissForm();
}

void VelkoraQuizSuggestQuestionViewController::popupCancelTapped() {
    popup_.reset();
    if (popupIsConfirmCancel_) {
        popupIsConfirmCancel_ = false;
        return;
    }
    // The requirements popup closed by a tap outside it leaves the person on the form, as its OK does.
    if (popupIsConfirmRequirements_) {
        popupIsConfirmRequirements_ = false;
        return;
    }
    dismissForm();
}

void VelkoraQuizSuggestQuestionViewController::dismissForm() {
    if (auto root = viewIfLoaded()) root->endEditing(true);
    dismissViewController(true);
}

// ---- keyboard

void VelkoraQuizSuggestQuestionViewController::registerForKeyboardNotifications() {
    std::weak_ptr<VelkoraQuizSuggestQuestionViewController> weak = sharedAs<VelkoraQuizSuggestQuestionViewController>();
    keyboardShownObserver_ = foundation::NotificationObserver(ui::kKeyboardDidShowNotification, nullptr,
                                                              [weak](const foundation::Notification& n) {
                                                                  if (auto s = weak.lock()) s->keyboardWasShown(n);
                                                              });
    keyboardHiddenObserver_ = foundation::NotificationObserver(ui::kKeyboardWillHideNotification, nullptr,
                                                               [weak](const foundation::Notification& n) {
                                                                   if (auto s = weak.lock()) s->keyboardWillBeHidden(n);
                                                               });
}

void VelkoraQuizSuggestQuestionViewController::keyboardWasShown(const foundation::Notification& n) {
    auto root = viewIfLoaded();
    if (!root || !qaScrollView_) return;
    const ui::Rect keyboard = ui::Keyboard::rectFromUserInfo(n.userInfo, ui::kKeyboardFrameBeginUserInfoKey);
    // The keyboard's frame is in the screen's fixed coordinates: on its side, its width is its height.
    const bool landscape = ui::isLandscapeOrientation(ui::Application::instance().statusBarOrientation());
    const double keyboardHeight = landscape ? keyboard.width() : keyboard.height();
    const double viewHeight = landscape ? root->frame().width() : root->frame().height();
    const ui::Rect scrollFrame = qaScrollView_->convertRectToView(qaScrollView_->bounds(), root.get());
    const double visibleHeight = viewHeight - (scrollFrame.y() + keyboardHeight);
    const double scrollHeight = qaScrollView_->frame().height();
    if (visibleHeight > scrollHeight) return;
    const ui::EdgeInsets insets{0, 0, scrollHeight - visibleHeight, 0};
    qaScrollView_->setContentInset(insets);
    qaScrollView_->setScrollIndicatorInsets(insets);
    auto field = activeField_.lock();
    if (!field || !field->superview()) return;
    const ui::Rect fieldFrame = field->superview()->convertRectToView(field->frame(), root.get());
    ui::Rect shown = scrollFrame;
    shown.size.height = visibleHeight;
    if (!shown.contains(fieldFrame.origin))
        qaScrollView_->setContentOffset(ui::Point{0, fieldFrame.y() + fieldFrame.height() - keyboardHeight}, true);
}

void VelkoraQuizSuggestQuestionViewController::keyboardWillBeHidden(const foundation::Notification& n) {
    if (!qaScrollView_) return;
    const double duration =
        n.userInfo[ui::kKeyboardAnimationDurationUserInfoKey].doubleOr(ui::Keyboard::kAnimationDuration);
    std::weak_ptr<ui::ScrollView> scroll = qaScrollView_;
    ui::Animator::animate(duration, [scroll] {
        if (auto s = scroll.lock()) {
            s->setContentInset({});
            s->setScrollIndicatorInsets({});
        }
    });
}

void VelkoraQuizSuggestQuestionViewController::textFieldDidBeginEditing(ui::TextField& field) {
    activeField_ = field.sharedAs<ui::View>();
}

void VelkoraQuizSuggestQuestionViewController::textFieldDidEndEditing(ui::TextField&) {
    activeField_.reset();
}

bool VelkoraQuizSuggestQuestionViewController::textFieldShouldReturn(ui::TextField& field) {
    field.resignFirstResponder();
    return true;
}

void VelkoraQuizSuggestQuestionViewController::textViewDidBeginEditing(ui::TextView& view) {
    activeField_ = view.sharedAs<ui::View>();
    // The platform's text views announce the start of editing through their delegate only.
    questionEditingBegan(foundation::Notification{});
}

void VelkoraQuizSuggestQuestionViewController::textViewDidEndEditing(ui::TextView&) {
    activeField_.reset();
}

} // namespace velkora
