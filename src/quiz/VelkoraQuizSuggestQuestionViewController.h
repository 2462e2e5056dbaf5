// The form in which a player proposes a new question for a quiz: the question, its correct answer and one
// to three wrong answers, sent to the service. Shown modally; it dismisses itself.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/foundation/Error.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Value.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "shell/VelkoraDefaultOKPopupView.h"
#include "shell/VelkoraGeneralFeatureViewController.h"

namespace velkora {

namespace ui {
class Control;
class ScrollView;
class View;
} // namespace ui
class VelkoraResizeableButton;

class VelkoraQuizSuggestQuestionViewController : public VelkoraGeneralFeatureViewController,
                                                 public ui::TextFieldDelegate,
                                                 public ui::TextViewDelegate,
                                                 public VelkoraDefaultOKPopupViewDelegate {
public:
    static constexpr const char* kInterface = "VelkoraQuizSuggestQuestionView";
    static constexpr uint32_t kScreenId = 33;
    static constexpr double kFieldInset = 10.0;

    // From its interface file ("iPad_" on a tablet), for a quiz, titled "velkora_text_quiz_suggest_question_title".
    static std::shared_ptr<VelkoraQuizSuggestQuestionViewController> initFromNibWithQuizId(int32_t quizId);
    ~VelkoraQuizSuggestQuestionViewController() override;
    const char* className() const override { return "VelkoraQuizSuggestQuestionViewController"; }

    void viewDidLoad() override;

    void cancelClicked(ui::Control* sender);
    void sendClicked(ui::Control* sender);
    // The question differs from the placeholder and is not empty, and so are the correct and first wrong answers.
    bool areContitionsMet() const;
    void questionSent();
    // Nothing reached the service: the person is told, and the form keeps what was typed.
    void questionFailed(const foundation::ErrorPtr& error);

    void popupOkTapped() override;
    void popupCancelTapped() override;

    void questionEditingBegan(const foundation::Notification& notification);
    void registerForKeyboardNotifications();
    void keyboardWasShown(const foundation::Notification& notification);
    void keyboardWillBeHidden(const foundation::Notification& notification);

    void textFieldDidBeginEditing(ui::TextField& field) override;
    void textFieldDidEndEditing(ui::TextField& field) override;
    bool textFieldShouldReturn(ui::TextField& field) override;
    void textViewDidBeginEditing(ui::TextView& view) override;
    void textViewDidEndEditing(ui::TextView& view) override;

    int32_t quizId() const { return quizId_; }
    void setQuizId(int32_t id) { quizId_ = id; }
    const std::shared_ptr<ui::TextView>& questionTextView() const { return questionTextView_; }
    void setQuestionTextView(std::shared_ptr<ui::TextView> v) { questionTextView_ = std::move(v); }
    const std::shared_ptr<ui::TextField>& correctAnswerTextField() const { return correctAnswerTextField_; }
    void setCorrectAnswerTextField(std::shared_ptr<ui::TextField> f) { correctAnswerTextField_ = std::move(f); }
    const std::shared_ptr<ui::TextField>& wrongAnswer1TextField() const { return wrongAnswer1TextField_; }
    void setWrongAnswer1TextField(std::shared_ptr<ui::TextField> f) { wrongAnswer1TextField_ = std::move(f); }
    const std::shared_ptr<ui::TextField>& wrongAnswer2TextField() const { return wrongAnswer2TextField_; }
    void setWrongAnswer2TextField(std::shared_ptr<ui::TextField> f) { wrongAnswer2TextField_ = std::move(f); }
    const std::shared_ptr<ui::TextField>& wrongAnswer3TextField() const { return wrongAnswer3TextField_; }
    void setWrongAnswer3TextField(std::shared_ptr<ui::TextField> f) { wrongAnswer3TextField_ = std::move(f); }
    const std::shared_ptr<VelkoraResizeableButton>& cancelQuestionButton() const { return cancelQuestionButton_; }
    void setCancelQuestionButton(std::shared_ptr<VelkoraResizeableButton> b) { cancelQuestionButton_ = std::move(b); }
    const std::shared_ptr<VelkoraResizeableButton>& sendQuestionButton() const { return sendQuestionButton_; }
    void setSendQuestionButton(std::shared_ptr<VelkoraResizeableButton> b) { sendQuestionButton_ = std::move(b); }
    const std::shared_ptr<ui::ScrollView>& qaScrollView() const { return qaScrollView_; }
    void setQaScrollView(std::shared_ptr<ui::ScrollView> v) { qaScrollView_ = std::move(v); }
    double scrollViewOrigHeight() const { return scrollViewOrigHeight_; }
    void setScrollViewOrigHeight(double h) { scrollViewOrigHeight_ = h; }
    std::shared_ptr<ui::View> activeField() const { return activeField_.lock(); }
    void setActiveField(std::weak_ptr<ui::View> v) { activeField_ = std::move(v); }
    const std::string& placeHolder() const { return placeHolder_; }
    void setPlaceHolder(std::string p) { placeHolder_ = std::move(p); }
    bool popupIsConfirmCancel() const { return popupIsConfirmCancel_; }
    void setPopupIsConfirmCancel(bool b) { popupIsConfirmCancel_ = b; }
    bool popupIsConfirmRequirements() const { return popupIsConfirmRequirements_; }
    void setPopupIsConfirmRequirements(bool b) { popupIsConfirmRequirements_ = b; }
    // A suggestion is on its way: Send stays off until the service answers.
    bool isSending() const { return sending_; }
    const std::shared_ptr<VelkoraDefaultOKPopupView>& popup() const { return popup_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

protected:
    VelkoraQuizSuggestQuestionViewController();

private:
    bool questionIsEmpty() const;
    void showPopup(std::shared_ptr<VelkoraDefaultOKPopupView> popup, const char* titleKey, const char* messageKey);
    void setSending(bool sending);
    void dismissForm();

    int32_t quizId_ = 0;
    std::shared_ptr<ui::TextView> questionTextView_;
    std::shared_ptr<ui::TextField> correctAnswerTextField_;
    std::shared_ptr<ui::TextField> wrongAnswer1TextField_;
    std::shared_ptr<ui::TextField> wrongAnswer2TextField_;
    std::shared_ptr<ui::TextField> wrongAnswer3TextField_;
    std::shared_ptr<VelkoraResizeableButton> cancelQuestionButton_;
    std::shared_ptr<VelkoraResizeableButton> sendQuestionButton_;
    std::shared_ptr<ui::ScrollView> qaScrollView_;
    double scrollViewOrigHeight_ = 0;
    std::weak_ptr<ui::View> activeField_;
    std::string placeHolder_;
    bool popupIsConfirmCancel_ = false;
    bool popupIsConfirmRequirements_ = false;
    bool sending_ = false;
    std::shared_ptr<VelkoraDefaultOKPopupView> popup_;
    foundation::NotificationObserver keyboardShownObserver_;
    foundation::NotificationObserver keyboardHiddenObserver_;
};

} // namespace velkora
