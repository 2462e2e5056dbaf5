// The question-suggestion form against velkora-service: what it needs before it sends, texts that arrive
// as typed, its popups and dismissal, the keyboard's insets, and a failed or doubled send.
#include "LeaderboardScreensFixture.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/ScrollView.h"
#include "quiz/VelkoraQuizSuggestQuestionViewController.h"
#include "shell/VelkoraResizeableButton.h"

using namespace velkora;
using namespace velkora::testing;
using service::Fault;

namespace {

class QuizSuggestQuestionTest : public LeaderboardScreensTest {
protected:
    using Form = VelkoraQuizSuggestQuestionViewController;

    // The form presented modally over a host screen, as the quiz's end panel shows it.
    std::shared_ptr<Form> presentForm(int32_t quizId = 1) {
        show(std::make_shared<ui::ViewController>());
        auto form = std::dynamic_pointer_cast<Form>(VelkoraScreenRegistry::instance().makeScreen(
            "quizSuggestQuestion", foundation::Value(foundation::Dictionary{{"object1", foundation::Value(quizId)}})));
        EXPECT_TRUE(form);
        if (!form) return nullptr;
        form->setFeatureTabDelegate(container_);
        EXPECT_TRUE(nav_->presentViewController(form, false));
        loop().advance(0.5);
        EXPECT_TRUE(form->questionTextView() && form->wrongAnswer3TextField() && form->qaScrollView())
            << "the form's interface file did not load";
        return form->qaScrollView() ? form : nullptr;
    }
    bool presented(const std::shared_ptr<Form>& form) const { return nav_->presentedViewController() == form; }
    void typeQuestion(Form& form, const std::string& text) {
        ASSERT_TRUE(form.questionTextView()->becomeFirstResponder());
        form.questionTextView()->insertText(text);
        form.questionTextView()->resignFirstResponder();
        loop().advance(0.5);
    }
    void fill(Form& form, const std::string& correct, const std::string& wrong1, const std::string& wrong2 = {},
              const std::string& wrong3 = {}) {
        form.correctAnswerTextField()->setText(correct);
        form.wrongAnswer1TextField()->setText(wrong1);
        form.wrongAnswer2TextField()->setText(wrong2);
        form.wrongAnswer3TextField()->setText(wrong3);
    }
    void send(Form& form) {
        form.sendQuestionButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
        loop().advance(0.1);
    }
    static std::string popupTitle(const Form& form) {
        return form.popup() && form.popup()->titleLabel() ? form.popup()->titleLabel()->text() : "";
    }
};

TEST_F(QuizSuggestQuestionTest, TheQuestionTheRightAnswerAndOneWrongAnswerAreNeededBeforeAnythingIsSent) {
    startUser();
    const struct {
        const char* name;
        const char* question; // null: the placeholder stays
        const char *correct, *wrong1, *wrong2, *wrong3;
        bool sends;
    } cases[] = {
        {"nothing typed", nullptr, "", "", "", "", false},
        {"the placeholder as the question", nullptr, "Lisbon", "Porto", "", "", false},
        {"no right answer", "Capital of Portugal?", "", "Porto", "Faro", "", false},
        {"no first wrong answer", "Capital of Portugal?", "Lisbon", "", "Faro", "Braga", false},
        {"the first wrong answer only", "Capital of Portugal?", "Lisbon", "Porto", "", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        svc.clearRequests();
        auto form = presentForm(2);
        ASSERT_TRUE(form);
        EXPECT_EQ(form->questionTextView()->text(), "Type your question here");
        if (c.question) typeQuestion(*form, c.question);
        fill(*form, c.correct, c.wrong1, c.wrong2, c.wrong3);
        EXPECT_EQ(form->areContitionsMet(), c.sends);
        send(*form);
        settleScreen();
        if (!c.sends) {
            EXPECT_EQ(count("suggestQuizQuestion"), 0u);
            EXPECT_TRUE(form->popupIsConfirmRequirements());
            EXPECT_EQ(popupTitle(*form), "Almost there");
            EXPECT_EQ(form->popup()->messageLable()->text(),
                      "Please write a question, its correct answer and at least one wrong answer.");
            // Its OK returns to the form, which keeps what was typed.
            form->popup()->okTapped(nullptr);
            EXPECT_FALSE(form->popupIsConfirmRequirements());
            EXPECT_TRUE(presented(form));
            EXPECT_EQ(form->correctAnswerTextField()->text(), c.correct);
            nav_->dismissViewController(false);
            continue;
        }
        ASSERT_EQ(count("suggestQuizQuestion"), 1u);
        const auto request = svc.requestsFor("suggestQuizQuestion")[0];
        EXPECT_EQ(param(request, "quizId"), "2");
        EXPECT_EQ(param(request, "wrong2"), "");
        EXPECT_EQ(param(request, "wrong3"), "");
        const auto stored = svc.quizSuggestions(kDemo);
        ASSERT_EQ(stored.size(), 1u);
        EXPECT_EQ(stored[0].question, "Capital of Portugal?");
        EXPECT_EQ(stored[0].correct, "Lisbon");
        EXPECT_EQ(stored[0].wrong1, "Porto");
        // The thanks, then the form goes.
        EXPECT_EQ(popupTitle(*form), "Thank you!");
        form->popup()->okTapped(nullptr);
        loop().advance(1);
        EXPECT_FALSE(presented(form));
    }
}

TEST_F(QuizSuggestQuestionTest, EveryCharacterArrivesAsTyped) {
    startUser();
    auto form = presentForm(1);
    ASSERT_TRUE(form);
    const std::string question = "Is 1+1=2 & 50% true? #maths\nSecond line \xF0\x9F\xA4\x94";
    typeQuestion(*form, question);
    fill(*form, "&=?%#+", "caf\xC3\xA9 \xF0\x9F\x98\x80", "a\nb", "");
    send(*form);
    settleScreen();
    const auto stored = svc.quizSuggestions(kDemo);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].quizId, 1);
    EXPECT_EQ(stored[0].question, question);
    EXPECT_EQ(stored[0].correct, "&=?%#+");
    EXPECT_EQ(stored[0].wrong1, "caf\xC3\xA9 \xF0\x9F\x98\x80");
    EXPECT_EQ(stored[0].wrong2, "a\nb");
}

TEST_F(QuizSuggestQuestionTest, CancellingAnEmptyFormClosesItATypedOneAsksFirst) {
    startUser();
    // Empty: at once.
    auto form = presentForm();
    ASSERT_TRUE(form);
    form->cancelButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    loop().advance(1);
    EXPECT_FALSE(presented(form));
    EXPECT_FALSE(form->popup());

    // Typed: the question, whose cancel returns to the form and whose yes closes it.
    form = presentForm();
    ASSERT_TRUE(form);
    typeQuestion(*form, "Capital of Norway?");
    // Back in the question, what was typed stays.
    ASSERT_TRUE(form->questionTextView()->becomeFirstResponder());
    EXPECT_EQ(form->questionTextView()->text(), "Capital of Norway?");
    form->questionTextView()->resignFirstResponder();
    for (bool yes : {false, true}) {
        SCOPED_TRACE(yes ? "yes" : "cancel");
        form->cancelButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
        loop().advance(0.1);
        EXPECT_TRUE(form->popupIsConfirmCancel());
        EXPECT_EQ(popupTitle(*form), "Discard your question?");
        ASSERT_TRUE(form->popup()->cancelButton());
        EXPECT_EQ(form->popup()->okButton()->currentTitle(), "Yes");
        EXPECT_EQ(form->popup()->cancelButton()->currentTitle(), "Cancel");
        if (yes)
            form->popup()->okTapped(nullptr);
        else
            form->popup()->cancelTapped(nullptr);
        loop().advance(1);
        EXPECT_EQ(presented(form), !yes);
    }
    EXPECT_EQ(count("suggestQuizQuestion"), 0u);
}

TEST_F(QuizSuggestQuestionTest, TheKeyboardInsetsTheFieldsAndGivesTheRoomBack) {
    startUser();
    auto form = presentForm();
    ASSERT_TRUE(form);
    auto& scroll = *form->qaScrollView();
    ASSERT_TRUE(form->wrongAnswer3TextField()->becomeFirstResponder());
    EXPECT_EQ(form->activeField(), form->wrongAnswer3TextField());
    loop().advance(1); // the keyboard's slide ends: did-show
    const double keyboard = ui::Keyboard::instance().frame().height();
    ASSERT_GT(keyboard, 0);
    const double visible =
        form->view()->frame().height() - (scroll.convertRectToView(scroll.bounds(), form->view().get()).y() + keyboard);
    EXPECT_DOUBLE_EQ(scroll.contentInset().bottom, scroll.frame().height() - visible);
    EXPECT_EQ(scroll.scrollIndicatorInsets(), scroll.contentInset());
    EXPECT_GT(scroll.contentOffset().y, 0) << "the last field was under the keyboard";
    // Return ends the editing; the insets go back over the keyboard's slide.
    EXPECT_TRUE(form->textFieldShouldReturn(*form->wrongAnswer3TextField()));
    EXPECT_FALSE(form->activeField());
    loop().advance(1);
    EXPECT_EQ(scroll.contentInset(), ui::EdgeInsets{});
    EXPECT_EQ(scroll.scrollIndicatorInsets(), ui::EdgeInsets{});
}

TEST_F(QuizSuggestQuestionTest, OnItsSideTheKeyboardsWidthIsItsHeight) {
    startUser();
    auto form = presentForm();
    ASSERT_TRUE(form);
    auto& scroll = *form->qaScrollView();
    const double top = scroll.convertRectToView(scroll.bounds(), form->view().get()).y();
    // The keyboard's frame in the screen's fixed coordinates: 162 high in landscape, 216 in portrait.
    const struct {
        int orientation;
        ui::Rect keyboard;
        double viewSide; // the view's side that stands for its height
        double keyboardSide;
    } cases[] = {
        {ui::InterfaceOrientationPortrait, {0, 568, 320, 216}, form->view()->frame().height(), 216},
        {ui::InterfaceOrientationLandscapeLeft, {320, 0, 162, 568}, form->view()->frame().width(), 162},
        {ui::InterfaceOrientationLandscapeRight, {-162, 0, 162, 568}, form->view()->frame().width(), 162},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.orientation);
        ui::Application::instance().setStatusBarOrientation(c.orientation);
        form->keyboardWasShown(
            foundation::Notification{ui::kKeyboardDidShowNotification, nullptr,
                                     foundation::Value(foundation::Dictionary{
                                         {ui::kKeyboardFrameBeginUserInfoKey,
                                          foundation::Value::object(std::make_shared<ui::Rect>(c.keyboard))}})});
        const double visible = c.viewSide - (top + c.keyboardSide);
        EXPECT_DOUBLE_EQ(scroll.contentInset().bottom, scroll.frame().height() - visible);
        form->keyboardWillBeHidden(foundation::Notification{ui::kKeyboardWillHideNotification, nullptr, {}});
        loop().advance(1);
        EXPECT_EQ(scroll.contentInset(), ui::EdgeInsets{});
    }
    ui::Application::instance().setStatusBarOrientation(ui::InterfaceOrientationPortrait);
}

TEST_F(QuizSuggestQuestionTest, AFailedSendKeepsTheFormAndADoubleTapSendsOnce) {
    startUser();
    const struct {
        const char* name;
        Fault::Kind kind;
        const char* value;
    } cases[] = {{"error reply", Fault::Kind::ErrorCode, "SERVICE_DOWN"}, {"dropped", Fault::Kind::Drop, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        svc.clearRequests();
        const size_t storedBefore = svc.quizSuggestions(kDemo).size();
        svc.addFault(Fault{"suggestQuizQuestion", c.kind, c.value, 500, 0, -1});
        auto form = presentForm();
        ASSERT_TRUE(form);
        typeQuestion(*form, "Capital of India?");
        fill(*form, "New Delhi", "Mumbai");
        send(*form);
        EXPECT_TRUE(form->isSending());
        EXPECT_FALSE(form->sendQuestionButton()->isEnabled());
        send(*form); // a second tap while the first is on its way
        ASSERT_TRUE(waitAdvancing([&] { return !form->isSending(); }, 30));
        settleScreen();
        EXPECT_EQ(toastShowing(),
                  "There is no network connection. What you asked for will be sent once the network is back.");
        EXPECT_TRUE(presented(form));
        EXPECT_FALSE(form->popup()) << "no thanks for what was not sent";
        EXPECT_EQ(form->questionTextView()->text(), "Capital of India?");
        EXPECT_EQ(form->correctAnswerTextField()->text(), "New Delhi");
        EXPECT_TRUE(form->sendQuestionButton()->isEnabled());
        EXPECT_EQ(svc.quizSuggestions(kDemo).size(), storedBefore);
        // The service is back: one more tap sends it, once.
        svc.clearFaults();
        svc.clearRequests();
        send(*form);
        send(*form);
        ASSERT_TRUE(waitFor([&] { return form->popup() != nullptr; }));
        settleScreen();
        EXPECT_EQ(count("suggestQuizQuestion"), 1u);
        EXPECT_EQ(svc.quizSuggestions(kDemo).size(), storedBefore + 1);
        form->popup()->okTapped(nullptr);
        loop().advance(5);
        EXPECT_FALSE(presented(form));
    }
}

TEST_F(QuizSuggestQuestionTest, PicturesOnPhoneAndTablet) {
    startUser();
    for (bool tablet : {false, true}) {
        SCOPED_TRACE(tablet ? "tablet" : "phone");
        if (tablet) becomeTablet();
        auto form = presentForm();
        ASSERT_TRUE(form);
        typeQuestion(*form, "What is the capital of Portugal?");
        fill(*form, "Lisbon", "Porto");
        window_->layoutIfNeeded();
        expectScreenLooksLike(tablet ? "suggest_question_tablet" : "suggest_question");
        nav_->dismissViewController(false);
        loop().advance(1);
    }
}

} // namespace
