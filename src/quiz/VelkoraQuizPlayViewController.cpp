#include "quiz/VelkoraQuizPlayViewController.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "data/VelkoraUserInfo.h"
#include "data/VelkoraUtils.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarItems.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TableView.h"
#include "platform/ui/UiNotifications.h"
#include "platform/ui/Window.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "platform/ui/layout/VisualFormat.h"
#include "quiz/VelkoraQuizPlayScreens.h"
#include "quiz/VelkoraQuizScoreViews.h"
#include "server/VelkoraServerApi.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"
#include "server/utils/VelkoraLogEventsManager.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraScreenRegistry.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "shell/VelkoraResizeableButton.h"
#include "shell/VelkoraWidgetClasses.h"

namespace velkora {

using foundation::Value;

namespace {

// The room before the ladder's first step and after its last.
constexpr double kLadderMargin = 10;

std::string text(const char* key) {
    return foundation::Bundle::main().localizedString(key);
}

std::function<uint32_t()>& randomSource() {
    static std::function<uint32_t()> source;
    return source;
}

// Points never wrap: a total past 32 bits stays at its largest value.
int32_t saturatedAdd(int32_t a, int64_t b) {
    const int64_t sum = static_cast<int64_t>(a) + b;
    return static_cast<int32_t>(
        std::clamp<int64_t>(sum, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

std::shared_ptr<VelkoraUserInternal> currentUser() {
    return VelkoraAgentInternal::instance().velkoraUser();
}

bool isTimed(const VelkoraQuizQuestion& q) {
    return q.timeLimit() > 0;
}

void registerQuizViewClasses() {
    registerVelkoraWidgetClasses();
    auto& loader = ui::InterfaceLoader::instance();
    if (!loader.hasClass("ScrollView")) loader.registerClass("ScrollView", [] { return ui::ScrollView::create(); });
    if (!loader.hasClass("TableView")) loader.registerClass("TableView", [] { return ui::TableView::create(); });
    if (!loader.hasClass("VelkoraQuizTimerView")) loader.registerClass<VelkoraQuizTimerView>("VelkoraQuizTimerView");
}

} // namespace

uint32_t VelkoraQuizPlayViewController::randomNumber() {
    if (randomSource()) return randomSource()();
    static std::mt19937 engine{std::random_device{}()};
    return static_cast<uint32_t>(engine());
}

void VelkoraQuizPlayViewController::setRandomSourceForTests(std::function<uint32_t()> source) {
    randomSource() = std::move(source);
}

std::shared_ptr<VelkoraQuizPlayViewController> VelkoraQuizPlayViewController::initFromNibWithQuizId(int32_t quizId) {
    registerQuizViewClasses();
    return std::shared_ptr<VelkoraQuizPlayViewController>(new VelkoraQuizPlayViewController(quizId));
}

VelkoraQuizPlayViewController::VelkoraQuizPlayViewController(int32_t quizId)
    : VelkoraGeneralFeatureViewController("VelkoraQuizPlayView"), quizId_(quizId) {}

VelkoraQuizPlayViewController::~VelkoraQuizPlayViewController() {
    // Nothing of a screen that left may score, report or play: its timers stop with it.
    stopAnswerTimer();
    if (quizTimerView_) {
        quizTimerView_->setDelegate({});
        quizTimerView_->stop();
    }
    VelkoraServerApi::clearUserDelegate(this);
    disposeSounds();
}

void VelkoraQuizPlayViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraGeneralFeatureViewController::registerInterfaceBindings(b);
    b.outlet("helpButton", helpButton_);
    b.outlet("scoreTitleLabel", scoreTitleLabel_);
    b.outlet("scoreNumberLabel", scoreNumberLabel_);
    b.outlet("scoresScrollView", scoresScrollView_);
    b.outlet("timerContainerView", timerContainerView_);
    b.outlet("quizTimerView", quizTimerView_);
    b.outlet("questionScoreLabel", questionScoreLabel_);
    b.outlet("qaScrollView", qaScrollView_);
    b.outlet("questionLabel", questionLabel_);
    static constexpr const char* kSlots[] = {"first", "second", "third", "fourth"};
    for (size_t i = 0; i < 4; ++i) {
        const std::string slot = kSlots[i];
        VelkoraAnswerCollection& c = answerButtonsArray_[i];
        b.outlet(slot + "AnswerButton", c.button);
        b.outlet(slot + "AnswerHintLabel", c.hintLabel);
        b.outlet(slot + "AnswerHintImage", c.hintImage);
        b.outlet(slot + "AnswerHintImageLeadingSpaceConstraint", c.hintImageLeadingSpaceConstraint);
        b.outlet(slot + "AnswerHintImageTrailingSpaceConstraint", c.hintImageTrailingSpaceConstraint);
    }
    b.action("helpClicked:", this, &VelkoraQuizPlayViewController::helpClicked);
    b.action("firstAnswerClicked:", this, &VelkoraQuizPlayViewController::firstAnswerClicked);
    b.action("secondAnswerClicked:", this, &VelkoraQuizPlayViewController::secondAnswerClicked);
    b.action("thirdAnswerClicked:", this, &VelkoraQuizPlayViewController::thirdAnswerClicked);
    b.action("fourthAnswerClicked:", this, &VelkoraQuizPlayViewController::fourthAnswerClicked);

    // The hints panel.
    b.outlet("hintsView", hintsView_);
    b.outlet("quizHintsStatusBarLineTopSpaceConstraint", quizHintsStatusBarLineTopSpaceConstraint_);
    b.outlet("hintsTitleLabel", hintsTitleLabel_);
    b.outlet("testHintsLabel", testHintsLabel_);
    b.outlet("leaveTwoView", leaveTwoView_);
    b.outlet("leaveTwoLabel", leaveTwoLabel_);
    b.outlet("leaveTwoBadge", leaveTwoBadge_);
    b.outlet("replaceQuestionView", replaceQuestionView_);
    b.outlet("replaceQuestionLabel", replaceQuestionLabel_);
    b.outlet("replaceQuestionBadge", replaceQuestionBadge_);
    b.outlet("popularAnswerView", popularAnswerView_);
    b.outlet("popularAnswerLabel", popularAnswerLabel_);
    b.outlet("popularAnswerBadge", popularAnswerBadge_);
    b.outlet("purchaseHintsTitleLabel", purchaseHintsTitleLabel_);
    b.outlet("quizHintsPurchaseOption1View", quizHintsPurchaseOption1View_);
    b.outlet("quizHintsPurchaseOption1Button", quizHintsPurchaseOption1Button_);
    b.outlet("quizHintsPurchaseOption1PriceLabel", quizHintsPurchaseOption1PriceLabel_);
    b.outlet("quizHintsPurchaseOption2View", quizHintsPurchaseOption2View_);
    b.outlet("quizHintsPurchaseOption2Button", quizHintsPurchaseOption2Button_);
    b.outlet("quizHintsPurchaseOption2PriceLabel", quizHintsPurchaseOption2PriceLabel_);
    b.outlet("buyOptionsActivityIndicator", buyOptionsActivityIndicator_);
    b.action("quizHintsCloseClicked:", this, &VelkoraQuizPlayViewController::quizHintsCloseClicked);
    b.action("quizHintsLeaveTwoClicked:", this, &VelkoraQuizPlayViewController::quizHintsLeaveTwoClicked);
    b.action("quizHintsReplaceQuestionClicked:", this, &VelkoraQuizPlayViewController::quizHintsReplaceQuestionClicked);
    b.action("quizHintsPopularAnswerClicked:", this, &VelkoraQuizPlayViewController::quizHintsPopularAnswerClicked);
    b.action("quizHintsPurchaseOption1Clicked:", this, &VelkoraQuizPlayViewController::quizHintsPurchaseOption1Clicked);
    b.action("quizHintsPurchaseOption2Clicked:", this, &VelkoraQuizPlayViewController::quizHintsPurchaseOption2Clicked);

    // The end panel.
    b.outlet("quizEndView", quizEndView_);
    b.outlet("quizEndViewTopSpaceConstraint", quizEndViewTopSpaceConstraint_);
    b.outlet("quizEndViewBottomSpaceConstraint", quizEndViewBottomSpaceConstraint_);
    b.outlet("quizEndOverlayImageView", quizEndOverlayImageView_);
    b.outlet("gameOverLabel", gameOverLabel_);
    b.outlet("youGotLabel", youGotLabel_);
    b.outlet("pointsReachedLabel", pointsReachedLabel_);
    b.outlet("quizEndPurchaseButton", quizEndPurchaseButton_);
    b.outlet("quizEndPurchaseLivesPriceLabel", quizEndPurchaseLivesPriceLabel_);
    b.outlet("quizEndRewardView", quizEndRewardView_);
    b.outlet("quizEndRewardTitleLabel", quizEndRewardTitleLabel_);
    b.outlet("quizEndRewardSubTitleLabel", quizEndRewardSubTitleLabel_);
    b.outlet("quizEndImageLineTopSpaceToBuyViewConstraint", quizEndImageLineTopSpaceToBuyViewConstraint_);
    b.outlet("quizEndTable", quizEndTable_);
    b.action("quizEndPurchaseLivesClicked:", [this](ui::Control* sender) { quizEndPurchaseLivesClicked(sender); });
    b.action("quizEndRewardsClicked:", [this](ui::Control* sender) { quizEndRewardsClicked(sender); });
    registerQuizEndBindings(b);
}

void VelkoraQuizPlayViewController::viewDidLoad() {
    setStyleScreenIdentifier(kScreenId);
    // The question's points sit over the countdown, whose pale wedge grows under the white digits: a dark
    // shadow keeps them readable on it. Set before the style sheet is applied, so a host's sheet still wins.
    if (questionScoreLabel_) {
        questionScoreLabel_->setShadowColor(ui::Color::rgba(0, 0, 0, 0.8));
        questionScoreLabel_->setShadowOffset({1, 1});
    }
    VelkoraGeneralFeatureViewController::viewDidLoad();
    createSounds();

    origHintImageLeadingSpaceConstraint_ =
        answerButtonsArray_[0].hintImageLeadingSpaceConstraint
            ? static_cast<float>(answerButtonsArray_[0].hintImageLeadingSpaceConstraint->constant())
            : 0;
    origHintImageTrailingSpaceConstraint_ =
        answerButtonsArray_[0].hintImageTrailingSpaceConstraint
            ? static_cast<float>(answerButtonsArray_[0].hintImageTrailingSpaceConstraint->constant())
            : 0;
    if (answerButtonsArray_[0].button)
        origAnswerButtonImage_ = answerButtonsArray_[0].button->backgroundImageForState(ui::ControlStateNormal);

    if (quizEndView_) quizEndView_->setHidden(true);
    if (gameOverLabel_) gameOverLabel_->setText(text("velkora_text_game_over_title"));
    if (youGotLabel_) youGotLabel_->setText(text("velkora_text_you_got_title"));
    if (hintsView_) hintsView_->setHidden(true);
    if (hintsTitleLabel_) hintsTitleLabel_->setText(text("velkora_text_hints_title"));
    if (leaveTwoLabel_) leaveTwoLabel_->setText(text("velkora_text_leave_two_label"));
    if (replaceQuestionLabel_) replaceQuestionLabel_->setText(text("velkora_text_replace_question_label"));
    if (popularAnswerLabel_) popularAnswerLabel_->setText(text("velkora_text_popular_answer_label"));
    if (leaveTwoBadge_) leaveTwoBadge_->setText(foundation::format("%d", kLeaveTwoCost));
    if (replaceQuestionBadge_) replaceQuestionBadge_->setText(foundation::format("%d", kReplaceQuestionCost));
    if (popularAnswerBadge_) popularAnswerBadge_->setText(foundation::format("%d", kPopularAnswersCost));
    if (purchaseHintsTitleLabel_) purchaseHintsTitleLabel_->setText(text("velkora_text_purchase_hints_title_label"));

    std::weak_ptr<VelkoraQuizPlayViewController> weak = sharedAs<VelkoraQuizPlayViewController>();
    productObserver_ = foundation::NotificationObserver("VelkoraNotificationQuizProductUpdated", nullptr,
                                                        [weak](const foundation::Notification& n) {
                                                            if (auto self = weak.lock()) self->quizProductUpdated(n);
                                                        });
    rotationObserver_ = foundation::NotificationObserver(ui::kApplicationDidChangeStatusBarOrientationNotification,
                                                         nullptr, [weak](const foundation::Notification&) {
                                                             if (auto self = weak.lock()) self->orientationChanged();
                                                         });

    if (scoreTitleLabel_) scoreTitleLabel_->setText(text("velkora_text_score_title"));
    if (auto step = VelkoraQuizScrollScoreView::initFromNib())
        scoreViewWidth_ = static_cast<float>(step->frame().width());

    auto& agent = VelkoraAgentInternal::instance();
    werePopInAdsEnabled_ = agent.isPopInAdsEnabled();
    agent.disablePopInAds(true);

    if (quizHintsStatusBarLineTopSpaceConstraint_ && topPanelViewTopSpaceConstraint())
        quizHintsStatusBarLineTopSpaceConstraint_->setConstant(topPanelViewTopSpaceConstraint()->constant());
    auto container = featureTabDelegate();
    if (container && container->isTopPanelHidden() && helpButton_) {
        helpButton_->removeFromSuperview();
        navigationItem().setRightBarButtonItem(ui::BarButtonItem::withCustomView(helpButton_));
    }

    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeQuizHelpButton(helpButton_.get(), kScreenId);
    style.customizeQuizHelpPurchaseButton(quizHintsPurchaseOption1Button_.get(), kScreenId);
    style.customizeQuizHelpPurchaseButton(quizHintsPurchaseOption2Button_.get(), kScreenId);
    style.customizeQuizScoreLabel(scoreNumberLabel_.get(), kScreenId);
    style.customizeQuizQuestionLabel(questionLabel_.get(), kScreenId);
    for (auto& slot : answerButtonsArray_)
        style.customizeQuizAnswerButton(slot.button.get(), kScreenId);
    style.customizeQuizEndOverlayImage(quizEndOverlayImageView_.get(), kScreenId);
    style.customizeQuizGameOverLabel(gameOverLabel_.get(), kScreenId);

    updateScoreLabel();
    loadQuizEndPanel();
    getQuiz();
}

// ---- sounds

void VelkoraQuizPlayViewController::createSounds() {
    auto& bundle = foundation::Bundle::main();
    auto make = [&](const char* name, uint32_t& id, bool& made) {
        const std::string path = bundle.pathForResource(name, "aif");
        if (path.empty()) return;
        const std::string url = "file://" + path;
        made = VelkoraDFL_AudioServicesCreateSystemSoundID(url.c_str(), &id) == 0;
    };
    make("correctSound", correctSound_, hasCorrectSound_);
    make("wrongSound", wrongAnswerSound_, hasWrongSound_);
}

void VelkoraQuizPlayViewController::disposeSounds() {
    if (hasCorrectSound_) VelkoraDFL_AudioServicesDisposeSystemSoundID(correctSound_);
    if (hasWrongSound_) VelkoraDFL_AudioServicesDisposeSystemSoundID(wrongAnswerSound_);
    hasCorrectSound_ = hasWrongSound_ = false;
}

void VelkoraQuizPlayViewController::playSound(bool correct) {
    auto info = VelkoraAgentInternal::instance().getUserInfo();
    if (info && info->playQuizOnMute()) return;
    if (correct && hasCorrectSound_) VelkoraDFL_AudioServicesPlaySystemSound(correctSound_);
    if (!correct && hasWrongSound_) VelkoraDFL_AudioServicesPlaySystemSound(wrongAnswerSound_);
}

// ---- the game

void VelkoraQuizPlayViewController::getQuiz() {
    for (ui::View* v : {static_cast<ui::View*>(questionLabel_.get()), static_cast<ui::View*>(qaScrollView_.get()),
                        timerContainerView_.get()})
        if (v) v->setHidden(true);
    if (!activityIndicator_) {
        activityIndicator_ = ui::ActivityIndicatorView::create(ui::ActivityIndicatorViewStyle::WhiteLarge);
        activityIndicator_->setHidesWhenStopped(true);
    }
    activityIndicator_->setCenter(view()->bounds().center());
    activityIndicator_->startAnimating();
    view()->addSubview(activityIndicator_);
    auto self = sharedAs<VelkoraQuizPlayViewController>();
    VelkoraServerApi::getQuiz(
        VelkoraCallback(self, &VelkoraQuizPlayViewController::gotQuiz, &VelkoraQuizPlayViewController::getQuizFailed),
        quizId_);
    getQuizEndRewardUrl();
}

void VelkoraQuizPlayViewController::gotQuiz(const Value& answer) {
    auto quiz = answer.asObject<VelkoraQuiz>();
    if (!quiz) {
        getQuizFailed(foundation::makeError("Internal error", 0));
        return;
    }
    for (ui::View* v : {static_cast<ui::View*>(questionLabel_.get()), static_cast<ui::View*>(qaScrollView_.get()),
                        timerContainerView_.get()})
        if (v) v->setHidden(false);
    if (activityIndicator_) activityIndicator_->stopAnimating();
    quiz_ = std::move(quiz);
    startQuiz();
    VelkoraLogEventsManager::instance().logEvent(foundation::format("quiz;start;%d", quizId_));
}

// A quiz that cannot be had (an unknown id, an error, a lost connection) ends the wait with a message;
// its OK leaves the screen.
void VelkoraQuizPlayViewController::getQuizFailed(const foundation::ErrorPtr&) {
    if (activityIndicator_) activityIndicator_->stopAnimating();
    if (loadFailedPopup_) return;
    loadFailedPopup_ = VelkoraDefaultOKPopupView::initFromNib(text("velkora_text_ok_button"));
    if (!loadFailedPopup_) {
        goBack();
        return;
    }
    if (loadFailedPopup_->titleLabel())
        loadFailedPopup_->titleLabel()->setText(text("velkora_text_quiz_load_failed_title"));
    if (loadFailedPopup_->messageLable()) {
        loadFailedPopup_->messageLable()->setNumberOfLines(0);
        loadFailedPopup_->messageLable()->setText(text("velkora_text_quiz_load_failed_message"));
    }
    loadFailedPopup_->setDelegate(
        std::static_pointer_cast<VelkoraDefaultOKPopupViewDelegate>(sharedAs<VelkoraQuizPlayViewController>()));
    auto window = ui::Application::instance().keyWindowShared();
    loadFailedPopup_->showInView(window ? window.get() : view().get());
}

void VelkoraQuizPlayViewController::startQuiz() {
    currentQuestionIndex_ = 0;
    currentScore_ = 0;
    reportArray_.clear();
    reportedCount_ = 0;
    scoreSentThisGame_ = false;
    if (quiz_ && !quiz_->questions().empty()) {
        if (quizEndView_) quizEndView_->setHidden(true);
        createScoresScrollView();
        updateWithQuestion(0);
    } else {
        showQuizEnd();
    }
}

VelkoraQuizQuestionPtr VelkoraQuizPlayViewController::currentQuestion() const {
    if (!quiz_ || currentQuestionIndex_ < 0 || static_cast<size_t>(currentQuestionIndex_) >= quiz_->questions().size())
        return nullptr;
    return quiz_->questions()[static_cast<size_t>(currentQuestionIndex_)];
}

void VelkoraQuizPlayViewController::updateWithQuestion(int32_t index) {
    currentQuestionIndex_ = index;
    auto q = currentQuestion();
    if (!q) return;
    if (hintsView_) hintsView_->setHidden(true);
    if (buyOptionsActivityIndicator_) buyOptionsActivityIndicator_->stopAnimating();
    if (questionLabel_) questionLabel_->setText(q->question().value_or(""));
    hintLeaveTwoUsed_ = hintReplaceQuestionUsed_ = hintPopularAnswerUsed_ = false;
    updateScoreLabel();
    updateScrollView(index);
    updateAnswers(q->answers());
    if (questionScoreLabel_) questionScoreLabel_->setText(foundation::format("%d", q->score()));
    if (isTimed(*q)) {
        if (timerContainerView_) timerContainerView_->setHidden(false);
        if (quizTimerView_) {
            quizTimerView_->setNSeconds(q->timeLimit());
            quizTimerView_->setDelegate(
                std::static_pointer_cast<VelkoraQuizTimerViewDelegate>(sharedAs<VelkoraQuizPlayViewController>()));
            quizTimerView_->start();
        }
    } else if (timerContainerView_) {
        // A negative limit is no limit: the question plays untimed.
        timerContainerView_->setHidden(true);
    }
}

void VelkoraQuizPlayViewController::updateAnswers(const std::vector<VelkoraQuizAnswerPtr>& answers) {
    for (size_t i = answerButtonsArray_.size(); i-- > 0;) {
        VelkoraAnswerCollection& slot = answerButtonsArray_[i];
        if (slot.hintLabel) slot.hintLabel->setHidden(true);
        if (slot.hintImage) slot.hintImage->setHidden(true);
        if (!slot.button) continue;
        if (i < answers.size() && answers[i])
            updateButtonWithAnswer(*slot.button, *answers[i]);
        else
            slot.button->setHidden(true);
    }
    if (qaScrollView_) qaScrollView_->setContentOffset({0, 0});
}

void VelkoraQuizPlayViewController::updateButtonWithAnswer(VelkoraResizeableButton& button,
                                                           const VelkoraQuizAnswer& answer) {
    button.setBackgroundImage(origAnswerButtonImage_);
    button.setTitle(answer.answer().value_or(""));
    button.setTitleEdgeInsets({0, 5, 0, 5});
    if (const auto& label = button.titleLabel()) {
        label->setNumberOfLines(1);
        label->setLineBreakMode(ui::LineBreakMode::Clip);
        label->setAdjustsFontSizeToFitWidth(true);
        const double size = label->font() ? label->font()->pointSize() : 17;
        label->setMinimumScaleFactor(size > 0 ? 10.0 / size : 1.0);
    }
    button.setBackgroundColor(ui::Color::clear());
    button.setHidden(false);
}

int32_t VelkoraQuizPlayViewController::timeBonusFor(const VelkoraQuizQuestion& q, double elapsed) {
    if (!isTimed(q) || !(elapsed < q.timeLimit() / 2)) return 0;
    return static_cast<int32_t>(std::trunc(q.timeBonus() * (1.0 - 2.0 * elapsed / q.timeLimit()) + 1));
}

void VelkoraQuizPlayViewController::updateWithAnswer(int32_t slot) {
    auto q = currentQuestion();
    if (!q || answerTimer_ || slot < 0 || slot >= 4 || static_cast<size_t>(slot) >= q->answers().size()) return;
    const double e = isTimed(*q) && quizTimerView_ ? quizTimerView_->stop() : 0;
    // An answer given after the limit, before the tick that would have noticed, is the timeout.
    if (isTimed(*q) && e > q->timeLimit()) {
        quizTimerDidExpire();
        return;
    }
    const auto& answers = q->answers();
    const auto& a = answers[static_cast<size_t>(slot)];
    reportArray_.push_back(foundation::format("%d,%d", q->questionId(), a ? a->answerId() : 0));
    const bool correct = a && a->isCorrect();
    if (correct) {
        currentScore_ = saturatedAdd(currentScore_, q->score());
        if (isTimed(*q) && e < q->timeLimit() / 2) {
            const int32_t b = timeBonusFor(*q, e);
            performAnimationWithTimeBonus(b);
            currentScore_ = saturatedAdd(currentScore_, b);
        }
    } else {
        for (size_t i = 0; i < answers.size() && i < 4; ++i)
            if (answers[i] && answers[i]->isCorrect()) {
                if (auto& b = answerButtonsArray_[i].button) b->setBackgroundImage(bundleImage(kCorrectImage));
                break;
            }
    }
    if (auto& b = answerButtonsArray_[static_cast<size_t>(slot)].button)
        b->setBackgroundImage(bundleImage(correct ? kCorrectImage : kWrongImage));
    view()->setUserInteractionEnabled(false);
    std::weak_ptr<VelkoraQuizPlayViewController> weak = sharedAs<VelkoraQuizPlayViewController>();
    answerTimer_ = foundation::Timer::scheduled(kNextQuestionDelay, false, [weak, correct](foundation::Timer&) {
        auto self = weak.lock();
        if (!self) return;
        self->answerTimer_.reset();
        if (correct)
            self->nextQuestion();
        else
            self->showQuizEnd();
    });
    playSound(correct);
}

void VelkoraQuizPlayViewController::nextQuestion() {
    if (quizEndView_) quizEndView_->setHidden(true);
    view()->setUserInteractionEnabled(true);
    ++currentQuestionIndex_;
    if (!quiz_ || static_cast<size_t>(currentQuestionIndex_) >= quiz_->questions().size()) {
        if (quiz_) currentQuestionIndex_ = static_cast<int32_t>(quiz_->questions().size());
        showQuizEnd();
    } else {
        updateWithQuestion(currentQuestionIndex_);
    }
}

void VelkoraQuizPlayViewController::showQuizEnd() {
    if (gone_) return;
    stopAnswerTimer();
    VelkoraLogEventsManager::instance().logEvent(foundation::format("quiz;end;%d", quizId_));
    setUserScore();
    view()->setUserInteractionEnabled(true);
    if (pointsReachedLabel_)
        pointsReachedLabel_->setText(foundation::format(text("velkora_text_quiz_points_reached_label"), currentScore_));
    const size_t count = quiz_ ? quiz_->questions().size() : 0;
    // A quiz without questions (a locked one opened by its id) was not won.
    const bool won = count > 0 && static_cast<size_t>(currentQuestionIndex_) == count;
    if (gameOverLabel_) {
        gameOverLabel_->setText(text(won ? "velkora_text_congratulations_title" : "velkora_text_game_over_title"));
        gameOverLabel_->setTextColor(won ? ui::Color::rgba(0, 1, 0, 1) : ui::Color::rgba(1, 0, 0, 1));
    }
    if (hintsView_) hintsView_->setHidden(true);
    showQuizEndPanel();
    if (quizEndView_) quizEndView_->setHidden(false);
}

void VelkoraQuizPlayViewController::setUserScore() {
    if (currentScore_ == 0) return;
    auto me = currentUser();
    if (inContinueQuizMode_ && scoreSentThisGame_) {
        VelkoraServerApi::updateScore(quizLevel(), currentScore_);
        if (me) me->setScore(saturatedAdd(me->score(), int64_t(currentScore_) - scoreBeforeContinueQuiz_));
    } else {
        VelkoraServerApi::setScore(quizLevel(), currentScore_);
        if (me) me->setScore(saturatedAdd(me->score(), currentScore_));
    }
    scoreSentThisGame_ = true;
}

void VelkoraQuizPlayViewController::reportQuiz() {
    // Each answer is counted once: a second report of the same game (a new game whose quiz has not come,
    // then leaving) carries only what was answered since.
    if (reportedCount_ >= reportArray_.size()) return;
    std::string report;
    for (size_t i = reportedCount_; i < reportArray_.size(); ++i) {
        if (!report.empty()) report += "|";
        report += reportArray_[i];
    }
    reportedCount_ = reportArray_.size();
    VelkoraServerApi::reportQuiz(quizId_, report);
}

std::string VelkoraQuizPlayViewController::quizLevel() const {
    return foundation::format("quiz_%d", quizId_);
}

void VelkoraQuizPlayViewController::updateScoreLabel() {
    if (scoreNumberLabel_) scoreNumberLabel_->setText(foundation::format("%d", currentScore_));
}

// ---- leaving

void VelkoraQuizPlayViewController::showLeavePopup() {
    if (quizTimerView_) quizTimerView_->pause();
    leavePopup_ = VelkoraDefaultOKPopupView::initFromNibCancel(text("velkora_text_confirm_yes_button"),
                                                               text("velkora_text_cancel_button"));
    if (!leavePopup_) return;
    if (leavePopup_->titleLabel()) leavePopup_->titleLabel()->setText(text("velkora_text_quiz_exit_title"));
    if (leavePopup_->messageLable()) {
        leavePopup_->messageLable()->setNumberOfLines(0);
        leavePopup_->messageLable()->setText(text("velkora_text_quiz_exit_message"));
    }
    leavePopup_->setDelegate(
        std::static_pointer_cast<VelkoraDefaultOKPopupViewDelegate>(sharedAs<VelkoraQuizPlayViewController>()));
    auto window = ui::Application::instance().keyWindowShared();
    leavePopup_->showInView(window ? window.get() : view().get());
}

void VelkoraQuizPlayViewController::backTapped(ui::Control*) {
    showLeavePopup();
}

void VelkoraQuizPlayViewController::appTapped(ui::Control*) {
    showLeavePopup();
    appButtonClicked_ = true;
}

void VelkoraQuizPlayViewController::popupOkTapped() {
    if (loadFailedPopup_) {
        loadFailedPopup_.reset();
        goBack();
        return;
    }
    leavePopup_.reset();
    reportQuiz();
    goBack();
    if (appButtonClicked_) VelkoraGeneralFeatureViewController::appTapped(nullptr);
}

void VelkoraQuizPlayViewController::popupCancelTapped() {
    leavePopup_.reset();
    appButtonClicked_ = false;
    if (quizTimerView_) quizTimerView_->continueTimer();
}

void VelkoraQuizPlayViewController::goBack() {
    // A screen on its way out neither scores nor moves on to another question.
    gone_ = true;
    stopAnswerTimer();
    if (quizTimerView_) {
        quizTimerView_->setDelegate({});
        quizTimerView_->stop();
    }
    VelkoraServerApi::clearUserDelegate(this);
    if (werePopInAdsEnabled_) VelkoraAgentInternal::instance().disablePopInAds(false);
    VelkoraGeneralFeatureViewController::backTapped(nullptr);
}

void VelkoraQuizPlayViewController::stopAnswerTimer() {
    if (answerTimer_) answerTimer_->invalidate();
    answerTimer_.reset();
}

void VelkoraQuizPlayViewController::orientationChanged() {
    if (!isViewLoaded() || gone_) return;
    if (hintPopularAnswerUsed_) redrawPopularAnswers();
    if (!quiz_ || quiz_->questions().empty()) return;
    createScoresScrollView();
    updateScrollView(currentQuestionIndex_);
}

void VelkoraQuizPlayViewController::quizProductUpdated(const foundation::Notification&) {
    if (!isViewLoaded()) return;
    updateQuizHints();
    if (quizEndTable_) quizEndTable_->reloadData();
    view()->setUserInteractionEnabled(true);
}

// ---- countdown

void VelkoraQuizPlayViewController::quizTimerDidExpire() {
    if (helpButton_) helpButton_->stopPulse();
    showQuizEnd();
}

void VelkoraQuizPlayViewController::quizTimerDidStop() {
    if (helpButton_) helpButton_->stopPulse();
}

void VelkoraQuizPlayViewController::quizTimerDidEnterWarningPeriod() {
    if (helpButton_) helpButton_->startPulseWithDuration(0.5f, 0.5f, 1.2f);
}

// ---- ladder and bonus

float VelkoraQuizPlayViewController::layoutWidth() const {
    VelkoraScreenState s;
    s.isTablet = ui::Device::current().userInterfaceIdiom() == ui::UserInterfaceIdiom::Pad;
    s.showsInPopover = VelkoraAgentInternal::instance().popover() != nullptr;
    s.statusBarOrientation = ui::Application::instance().statusBarOrientation();
    const ui::Rect b = ui::Screen::main().bounds();
    s.screenWidth = static_cast<float>(b.width());
    s.screenHeight = static_cast<float>(b.height());
    auto container = featureTabDelegate();
    return VelkoraUtils::widthAdjustedForInterfaceOrientation(container && container->isOpenedAsFeature(), s);
}

void VelkoraQuizPlayViewController::createScoresScrollView() {
    if (!scoresScrollView_ || !quiz_) return;
    for (auto sub : std::vector<ui::ViewPtr>(scoresScrollView_->subviews())) {
        // The old steps' constraints go with them, so a rebuilt ladder holds only its own.
        for (const auto& c : ui::constraintsInvolving(*scoresScrollView_, sub.get()))
            scoresScrollView_->removeConstraint(c.get());
        sub->removeFromSuperview();
    }
    ui::setConstraintsAddressContent(*scoresScrollView_, true);
    const size_t n = quiz_->questions().size();
    const float w = scoreViewWidth_, W = layoutWidth();
    const double H = scoresScrollView_->bounds().height();
    // ((n × w + 20) ÷ W + 1) × W: the strip reaches a whole width past its last step.
    const float T = ((static_cast<float>(n) * w + 20) / W + 1) * W;
    scoresScrollView_->setContentSize({T, H});
    std::shared_ptr<VelkoraQuizScrollScoreView> lastItem;
    for (size_t i = 0; i < n; ++i) {
        auto scoreView = VelkoraQuizScrollScoreView::initFromNib();
        if (!scoreView) return;
        if (scoreView->scoreLabel())
            scoreView->scoreLabel()->setText(foundation::format("%d", quiz_->questions()[i]->score()));
        if (i == 0 && scoreView->leftBarView()) scoreView->leftBarView()->setHidden(true);
        if (i + 1 == n && scoreView->rightBarView()) scoreView->rightBarView()->setHidden(true);
        scoreView->setTranslatesAutoresizingMaskIntoConstraints(false);
        scoresScrollView_->addSubview(scoreView);
        // Step i spans 10 + i × w to 10 + (i + 1) × w, centred vertically; the content ends W + 10 after
        // the last step.
        const double h = scoreView->frame().height();
        const double trailing = T - static_cast<float>(i + 1) * w - kLadderMargin;
        std::string horizontal;
        ui::VisualFormatViews views{{"scoreView", scoreView}};
        if (!lastItem) {
            horizontal =
                foundation::format("H:|-%g-[scoreView(==%f)]-%g-|", kLadderMargin, static_cast<double>(w), trailing);
        } else {
            horizontal = foundation::format("H:[lastItem(==%f)]-0-[scoreView(==%f)]-%g-|", static_cast<double>(w),
                                            static_cast<double>(w), trailing);
            views.emplace("lastItem", lastItem);
        }
        const std::string vertical =
            foundation::format("V:|-%g-[scoreView(==%f)]-%g-|", (H - h) * 0.5, h, (H - h) * 0.5);
        try {
            auto constraints = ui::constraintsWithVisualFormat(horizontal, views);
            auto more = ui::constraintsWithVisualFormat(vertical, views);
            constraints.insert(constraints.end(), more.begin(), more.end());
            ui::addConstraints(*scoresScrollView_, constraints);
        } catch (const ui::VisualFormatError& error) {
            // Only a width without size (no layout yet) makes numbers the lines cannot hold: the step keeps
            // its place by its frame rather than taking the screen down.
            foundation::Log::line("Velkora (E) - %@", std::string(error.what()));
            scoreView->setTranslatesAutoresizingMaskIntoConstraints(true);
            scoreView->setFrame({kLadderMargin + static_cast<double>(i) * w, (H - h) * 0.5, w, h});
        }
        lastItem = scoreView;
    }
    scoresScrollView_->layoutIfNeeded();
    scoresScrollOrigOffset_ = (W - w) * -0.5f + 10;
    scoresScrollView_->setContentOffset({ladderOffset(scoresScrollOrigOffset_), 0}, true);
}

double VelkoraQuizPlayViewController::ladderOffset(double centred) const {
    // The current step is centred only as far as the ladder's ends allow: centring the first steps would
    // leave the strip's start empty, and centring the last ones would leave its end empty. At either end
    // the outer step's edge meets the strip's edge, so its pill keeps the step's own inset on both sides.
    if (!scoresScrollView_ || !quiz_) return centred;
    const double visible = scoresScrollView_->bounds().width() > 0 ? scoresScrollView_->bounds().width()
                                                                   : static_cast<double>(layoutWidth());
    const double first = kLadderMargin;
    const double last = kLadderMargin + static_cast<double>(quiz_->questions().size()) * scoreViewWidth_;
    return std::clamp(centred, first, std::max(first, last - visible));
}

void VelkoraQuizPlayViewController::updateScrollView(int32_t index) {
    if (index <= 0 || !scoresScrollView_) return;
    scoresScrollView_->setContentOffset(
        {ladderOffset(scoresScrollOrigOffset_ + static_cast<double>(index) * scoreViewWidth_),
         scoresScrollView_->contentOffset().y},
        true);
}

void VelkoraQuizPlayViewController::performAnimationWithTimeBonus(int32_t bonus) {
    auto label = VelkoraQuizTimeBonusView::initFromNib();
    if (!label) return;
    if (label->timeBonusValueLabel())
        label->timeBonusValueLabel()->setText(std::string("+").append(VelkoraUtils::displayNumberAsDecimal(bonus)));
    ui::Point centre = view()->bounds().center();
    if (quizTimerView_ && quizTimerView_->superview())
        centre = quizTimerView_->superview()->convertPointToView(quizTimerView_->center(), view().get());
    label->setCenter(centre);
    view()->addSubview(label);
    std::weak_ptr<ui::View> weak = label;
    ui::Animator::animate(
        0.3, 0.2, ui::AnimationOption::CurveEaseIn,
        [weak] {
            if (auto l = weak.lock()) l->setCenter({l->center().x, l->center().y / 2});
        },
        [weak](bool) {
            ui::Animator::animate(
                0.5, 0, ui::AnimationOption::CurveEaseOut,
                [weak] {
                    if (auto l = weak.lock()) {
                        l->setCenter({l->center().x, 0});
                        l->setAlpha(0);
                    }
                },
                [weak](bool) {
                    if (auto l = weak.lock()) l->removeFromSuperview();
                });
        });
}

std::shared_ptr<ui::Image> VelkoraQuizPlayViewController::bundleImage(const char* name) const {
    return ui::Image::named(name);
}

// ---- registration

void registerQuizPlayScreens() {
    registerQuizViewClasses();
    VelkoraScreenRegistry::instance().registerScreen(
        "quiz", [](const Value& arguments) -> std::shared_ptr<ui::ViewController> {
            const Value& object = VelkoraScreenArguments::object1(arguments);
            std::optional<int32_t> id;
            if (object.isNumber() || (object.isString() && !object.toText().value_or("").empty()))
                id = object.int32Or(0);
            if (!id) {
                // Without a quiz the feature is the quiz home, when this build has one.
                auto& registry = VelkoraScreenRegistry::instance();
                if (!registry.hasScreen("quizHome")) {
                    VelkoraScreenRegistry::logNotInBuild("quizHome");
                    return nullptr;
                }
                return registry.makeScreen("quizHome", arguments);
            }
            auto screen = VelkoraQuizPlayViewController::initFromNibWithQuizId(*id);
            screen->setTitleText(text("velkora_text_quiz_play_title"));
            return screen;
        });
}

} // namespace velkora
