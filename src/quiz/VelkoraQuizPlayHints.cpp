// The hints panel of the quiz play screen: three hints paid with coins, once each per shown question,
// and the two coin packs for sale. The countdown waits while the panel is open.
#include <algorithm>
#include <cstdlib>

#include "data/VelkoraUtils.h"
#include "platform/foundation/Log.h"
#include "platform/services/Product.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "quiz/VelkoraQuizPlayViewController.h"
#include "server/VelkoraServerApi.h"
#include "server/utils/VelkoraLogEventsManager.h"
#include "session/VelkoraAgentInternal.h"
#include "shell/VelkoraResizeableButton.h"

namespace velkora {

void VelkoraQuizPlayViewController::helpClicked(ui::Control*) {
    showQuizHints();
}

void VelkoraQuizPlayViewController::showQuizHints() {
    if (!currentQuestion() || !hintsView_) return;
    hintsView_->setHidden(false);
    if (quizTimerView_) quizTimerView_->pause();
    updateQuizHints();
}

void VelkoraQuizPlayViewController::closeQuizHints(bool resume) {
    if (hintsView_) hintsView_->setHidden(true);
    if (buyOptionsActivityIndicator_) buyOptionsActivityIndicator_->stopAnimating();
    if (resume && quizTimerView_) quizTimerView_->continueTimer();
}

void VelkoraQuizPlayViewController::quizHintsCloseClicked(ui::Control*) {
    closeQuizHints(true);
}

void VelkoraQuizPlayViewController::quizHintsLeaveTwoClicked(ui::Control*) {
    leaveTwoAnswers();
    closeQuizHints(true);
}

void VelkoraQuizPlayViewController::quizHintsReplaceQuestionClicked(ui::Control*) {
    // The replacement starts a countdown of its own; without one the old countdown goes on.
    const bool replaced = replaceQuestion();
    closeQuizHints(!replaced);
}

void VelkoraQuizPlayViewController::quizHintsPopularAnswerClicked(ui::Control*) {
    showPopularAnswers();
    closeQuizHints(true);
}

int32_t VelkoraQuizPlayViewController::updateQuizHintsLabel() {
    auto me = VelkoraAgentInternal::instance().velkoraUser();
    const int32_t c = me ? me->coins() : 0;
    if (testHintsLabel_) testHintsLabel_->setText(foundation::format("%d", c));
    return c;
}

void VelkoraQuizPlayViewController::setHintEnabled(ui::View* v, bool enabled) {
    if (!v) return;
    v->setAlpha(enabled ? 1.0 : 0.5);
    v->setUserInteractionEnabled(enabled);
}

void VelkoraQuizPlayViewController::updateQuizHints() {
    const int32_t c = updateQuizHintsLabel();
    auto q = currentQuestion();
    const size_t n = q ? q->answers().size() : 0;
    // Leave two needs two wrong answers to choose from: from three answers on.
    setHintEnabled(leaveTwoView_.get(), q && c >= kLeaveTwoCost && n >= 3 && !hintLeaveTwoUsed_);
    setHintEnabled(replaceQuestionView_.get(),
                   q && c >= kReplaceQuestionCost && quiz_ && !quiz_->reserves().empty() && !hintReplaceQuestionUsed_);
    setHintEnabled(popularAnswerView_.get(),
                   q && c >= kPopularAnswersCost && !hintPopularAnswerUsed_ && !checkIfNoPopularAnswers());
    bool anyKnown = false;
    auto show = [&](const char* key, ui::View* optionView, VelkoraResizeableButton* button, ui::Label* price) {
        auto product = coinPackProduct(key);
        if (optionView) optionView->setHidden(!product);
        if (!product) return;
        anyKnown = true;
        if (button) button->setTitle(product->localizedTitle());
        if (price) {
            char* end = nullptr;
            const double amount = std::strtod(product->price().c_str(), &end);
            price->setText(VelkoraUtils::displayNumberAsCurrency(amount, product->priceLocale().localeIdentifier));
        }
    };
    show(kCoinPack1, quizHintsPurchaseOption1View_.get(), quizHintsPurchaseOption1Button_.get(),
         quizHintsPurchaseOption1PriceLabel_.get());
    show(kCoinPack2, quizHintsPurchaseOption2View_.get(), quizHintsPurchaseOption2Button_.get(),
         quizHintsPurchaseOption2PriceLabel_.get());
    if (buyOptionsActivityIndicator_) {
        if (anyKnown)
            buyOptionsActivityIndicator_->stopAnimating();
        else
            buyOptionsActivityIndicator_->startAnimating();
    }
}

bool VelkoraQuizPlayViewController::checkIfNoPopularAnswers() const {
    auto q = currentQuestion();
    if (!q) return true;
    for (const auto& a : q->answers())
        if (a && a->hits() > 0) return false;
    return true;
}

bool VelkoraQuizPlayViewController::didUseHint(int32_t cost) {
    auto me = VelkoraAgentInternal::instance().velkoraUser();
    auto q = currentQuestion();
    if (!me || !q || me->coins() < cost) return false;
    me->setCoins(me->coins() - cost);
    VelkoraServerApi::updateQuizUsedHints({}, cost, 1, quizId_, q->questionId());
    return true;
}

std::vector<VelkoraQuizAnswerPtr>
VelkoraQuizPlayViewController::answersLeftByTwo(const std::vector<VelkoraQuizAnswerPtr>& answers, uint32_t r) {
    std::vector<VelkoraQuizAnswerPtr> kept;
    const size_t n = answers.size();
    if (n < 2) return answers;
    int64_t j = static_cast<int64_t>(r % static_cast<uint32_t>(n - 1));
    for (const auto& a : answers) {
        if (a && a->isCorrect()) {
            kept.push_back(a);
            continue;
        }
        if (j == 0) kept.push_back(a);
        --j;
    }
    return kept;
}

void VelkoraQuizPlayViewController::leaveTwoAnswers() {
    auto q = currentQuestion();
    // One answer would divide by zero and two leave nothing to take away: nothing is charged for those.
    if (!q || q->answers().size() < 3 || hintLeaveTwoUsed_) return;
    if (!didUseHint(kLeaveTwoCost)) return;
    q->setAnswers(answersLeftByTwo(q->answers(), randomNumber()));
    hintLeaveTwoUsed_ = true;
    updateAnswers(q->answers());
    if (hintPopularAnswerUsed_) redrawPopularAnswers();
}

int32_t VelkoraQuizPlayViewController::reserveIndexForLevel(const std::vector<VelkoraQuizQuestionPtr>& reserves,
                                                            int32_t level) {
    for (int32_t L = level; L >= 0; --L)
        for (size_t i = 0; i < reserves.size(); ++i)
            if (reserves[i] && reserves[i]->level() >= L) return static_cast<int32_t>(i);
    return -1;
}

bool VelkoraQuizPlayViewController::replaceQuestion() {
    auto q = currentQuestion();
    if (!q || !quiz_ || hintReplaceQuestionUsed_) return false;
    const int32_t index = reserveIndexForLevel(quiz_->reserves(), q->level());
    auto me = VelkoraAgentInternal::instance().velkoraUser();
    if (index < 0 || !me || me->coins() < kReplaceQuestionCost) return false;
    auto& reserves = quiz_->mutableReserves();
    auto reserve = reserves[static_cast<size_t>(index)];
    reserve->setScore(q->score());
    reserve->setTimeBonus(q->timeBonus());
    reserve->setTimeLimit(q->timeLimit());
    quiz_->mutableQuestions()[static_cast<size_t>(currentQuestionIndex_)] = reserve;
    reserves.erase(reserves.begin() + index);
    hintReplaceQuestionUsed_ = true;
    // Charged for the question the player now sees.
    didUseHint(kReplaceQuestionCost);
    updateWithQuestion(currentQuestionIndex_);
    return true;
}

void VelkoraQuizPlayViewController::showPopularAnswers() {
    auto q = currentQuestion();
    if (!q || hintPopularAnswerUsed_ || checkIfNoPopularAnswers()) return;
    if (!didUseHint(kPopularAnswersCost)) return;
    hintPopularAnswerUsed_ = true;
    redrawPopularAnswers();
}

void VelkoraQuizPlayViewController::redrawPopularAnswers() {
    auto q = currentQuestion();
    if (!q) return;
    const float W = layoutWidth();
    const double A = W - (origHintImageLeadingSpaceConstraint_ + origHintImageTrailingSpaceConstraint_);
    const auto& answers = q->answers();
    for (size_t i = 0; i < answers.size() && i < answerButtonsArray_.size(); ++i) {
        VelkoraAnswerCollection& slot = answerButtonsArray_[i];
        // Shares outside 0 to 100 would draw bars past the room or backwards.
        const int32_t hits = std::clamp(answers[i] ? answers[i]->hits() : 0, 0, 100);
        if (slot.hintLabel) {
            slot.hintLabel->setText(foundation::format("%d%%", hits));
            slot.hintLabel->sizeToFit();
            slot.hintLabel->setHidden(false);
        }
        if (slot.hintImage) slot.hintImage->setHidden(false);
        if (slot.hintImageTrailingSpaceConstraint)
            slot.hintImageTrailingSpaceConstraint->setConstant(origHintImageTrailingSpaceConstraint_ + A -
                                                               (hits / 100.0) * A);
    }
    view()->layoutIfNeeded();
    // The answer starts 5 after its percentage, wherever the percentage sits over the button.
    for (size_t i = 0; i < answers.size() && i < answerButtonsArray_.size(); ++i) {
        VelkoraAnswerCollection& slot = answerButtonsArray_[i];
        if (!slot.button) continue;
        double shareEnd = 0;
        if (slot.hintLabel)
            shareEnd = std::max(slot.hintLabel->frame().width(),
                                slot.hintLabel->convertRectToView(slot.hintLabel->bounds(), slot.button.get()).maxX());
        slot.button->setTitleEdgeInsets({0, shareEnd + 5, 0, 5});
    }
    view()->layoutIfNeeded();
}

void VelkoraQuizPlayViewController::buyCoins(const char* key) {
    auto q = currentQuestion();
    if (!buyCoinPack(key, view().get(), quizId_, q ? q->questionId() : -1)) return;
    VelkoraLogEventsManager::instance().logEvent(foundation::format("quiz-hints;store-product-clicked;%@", key));
    view()->setUserInteractionEnabled(false);
}

void VelkoraQuizPlayViewController::quizHintsPurchaseOption1Clicked(ui::Control*) {
    buyCoins(kCoinPack1);
}
void VelkoraQuizPlayViewController::quizHintsPurchaseOption2Clicked(ui::Control*) {
    buyCoins(kCoinPack2);
}

} // namespace velkora
