// The quiz play screen: fetches one quiz per game, shows a question at a time with up to four answers, a
// countdown and a ladder of the questions' points, scores correct answers with a bonus for fast ones,
// ends at the first wrong answer or timeout, offers three hints paid with coins, and reports the game.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "data/VelkoraQuiz.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "quiz/VelkoraQuizTimerView.h"
#include "shell/VelkoraDefaultOKPopupView.h"
#include "shell/VelkoraGeneralFeatureViewController.h"

namespace velkora {

namespace ui {
class ActivityIndicatorView;
class Button;
class Image;
class ImageView;
class Label;
class LayoutConstraint;
class ScrollView;
class TableView;
class WebView;
} // namespace ui
class VelkoraResizeableButton;
namespace services {
class Product;
}
namespace foundation {
struct UrlRequest;
}

// One answer slot of the play screen.
class VelkoraAnswerCollection {
public:
    std::shared_ptr<VelkoraResizeableButton> button;
    std::shared_ptr<ui::Label> hintLabel;
    std::shared_ptr<ui::ImageView> hintImage;
    std::shared_ptr<ui::LayoutConstraint> hintImageLeadingSpaceConstraint;
    std::shared_ptr<ui::LayoutConstraint> hintImageTrailingSpaceConstraint;
};

class VelkoraQuizPlayViewController : public VelkoraGeneralFeatureViewController,
                                      public VelkoraQuizTimerViewDelegate,
                                      public VelkoraDefaultOKPopupViewDelegate {
public:
    static constexpr uint32_t kScreenId = 31;
    static constexpr double kNextQuestionDelay = 0.6;
    static constexpr int32_t kLeaveTwoCost = 10;
    static constexpr int32_t kReplaceQuestionCost = 10;
    static constexpr int32_t kPopularAnswersCost = 15;
    static constexpr int32_t kLifeCost = 50;
    static constexpr const char* kCorrectImage = "VelImg_GreenBigBtn.png";
    static constexpr const char* kWrongImage = "VelImg_RedBigBtn.png";
    static constexpr const char* kCoinPack1 = "velkora.coins.100";
    static constexpr const char* kCoinPack2 = "velkora.coins.500";

    static std::shared_ptr<VelkoraQuizPlayViewController> initFromNibWithQuizId(int32_t quizId);
    ~VelkoraQuizPlayViewController() override;
    const char* className() const override { return "VelkoraQuizPlayViewController"; }

    // Where the leave-two hint draws its random number; tests set their own (null: the default source).
    static void setRandomSourceForTests(std::function<uint32_t()> source);

    void viewDidLoad() override;
    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

    // Actions.
    void helpClicked(ui::Control* sender);
    void firstAnswerClicked(ui::Control*) { updateWithAnswer(0); }
    void secondAnswerClicked(ui::Control*) { updateWithAnswer(1); }
    void thirdAnswerClicked(ui::Control*) { updateWithAnswer(2); }
    void fourthAnswerClicked(ui::Control*) { updateWithAnswer(3); }
    void quizHintsCloseClicked(ui::Control* sender);
    void quizHintsLeaveTwoClicked(ui::Control* sender);
    void quizHintsReplaceQuestionClicked(ui::Control* sender);
    void quizHintsPopularAnswerClicked(ui::Control* sender);
    void quizHintsPurchaseOption1Clicked(ui::Control* sender);
    void quizHintsPurchaseOption2Clicked(ui::Control* sender);
    void backTapped(ui::Control* sender) override;
    void appTapped(ui::Control* sender) override;

    // Countdown and popup delegates.
    void quizTimerDidExpire() override;
    void quizTimerDidStop() override;
    void quizTimerDidEnterWarningPeriod() override;
    void popupOkTapped() override;
    void popupCancelTapped() override;

    // The game.
    void getQuiz();
    void gotQuiz(const foundation::Value& answer);
    void getQuizFailed(const foundation::ErrorPtr& error);
    void startQuiz();
    void updateWithQuestion(int32_t index);
    void updateAnswers(const std::vector<VelkoraQuizAnswerPtr>& answers);
    void updateButtonWithAnswer(VelkoraResizeableButton& button, const VelkoraQuizAnswer& answer);
    void updateWithAnswer(int32_t slot);
    void nextQuestion();
    // Opens the end panel; its options and offers are added with the panel itself.
    virtual void showQuizEnd();
    void setUserScore();
    void reportQuiz();
    std::string quizLevel() const;
    void updateScoreLabel();
    void goBack();
    void orientationChanged();
    void quizProductUpdated(const foundation::Notification& notification);

    // Score ladder and time bonus.
    void createScoresScrollView();
    void updateScrollView(int32_t index);
    void performAnimationWithTimeBonus(int32_t bonus);
    // The bonus of a correct answer after `elapsed` seconds; 0 outside the window or without a limit.
    static int32_t timeBonusFor(const VelkoraQuizQuestion& question, double elapsed);

    // Hints.
    void showQuizHints();
    void closeQuizHints(bool resume);
    void updateQuizHints();
    int32_t updateQuizHintsLabel();
    void leaveTwoAnswers();
    bool replaceQuestion();
    void showPopularAnswers();
    bool checkIfNoPopularAnswers() const;
    bool didUseHint(int32_t cost);
    // The reserve the replace hint takes for a question of that level: the first of the same or a higher
    // level, failing that the first of the highest lower level; -1 when none fits.
    static int32_t reserveIndexForLevel(const std::vector<VelkoraQuizQuestionPtr>& reserves, int32_t level);
    // The answers leave two keeps with random number r: every correct one and the (r mod (n − 1))-th wrong.
    static std::vector<VelkoraQuizAnswerPtr> answersLeftByTwo(const std::vector<VelkoraQuizAnswerPtr>& answers,
                                                              uint32_t r);

    // State, for the screens that build on it and for tests.
    int32_t quizId() const { return quizId_; }
    const VelkoraQuizPtr& quiz() const { return quiz_; }
    VelkoraQuizQuestionPtr currentQuestion() const;
    int32_t currentQuestionIndex() const { return currentQuestionIndex_; }
    int32_t currentScore() const { return currentScore_; }
    const std::vector<std::string>& reportArray() const { return reportArray_; }
    bool inContinueQuizMode() const { return inContinueQuizMode_; }
    void setInContinueQuizMode(bool b) { inContinueQuizMode_ = b; }
    int32_t scoreBeforeContinueQuiz() const { return scoreBeforeContinueQuiz_; }
    void setScoreBeforeContinueQuiz(int32_t s) { scoreBeforeContinueQuiz_ = s; }
    bool hintLeaveTwoUsed() const { return hintLeaveTwoUsed_; }
    bool hintReplaceQuestionUsed() const { return hintReplaceQuestionUsed_; }
    bool hintPopularAnswerUsed() const { return hintPopularAnswerUsed_; }
    float scoreViewWidth() const { return scoreViewWidth_; }
    float scoresScrollOrigOffset() const { return scoresScrollOrigOffset_; }
    bool werePopInAdsEnabled() const { return werePopInAdsEnabled_; }
    const std::array<VelkoraAnswerCollection, 4>& answerButtonsArray() const { return answerButtonsArray_; }
    const std::shared_ptr<ui::ActivityIndicatorView>& activityIndicator() const { return activityIndicator_; }
    const std::shared_ptr<VelkoraDefaultOKPopupView>& leavePopup() const { return leavePopup_; }
    const std::shared_ptr<VelkoraDefaultOKPopupView>& loadFailedPopup() const { return loadFailedPopup_; }
    // The answer's 0.6 s timer is waiting.
    bool isAnswerPending() const { return answerTimer_ != nullptr; }

    // Outlets.
    const std::shared_ptr<VelkoraResizeableButton>& helpButton() const { return helpButton_; }
    const std::shared_ptr<ui::Label>& scoreTitleLabel() const { return scoreTitleLabel_; }
    const std::shared_ptr<ui::Label>& scoreNumberLabel() const { return scoreNumberLabel_; }
    const std::shared_ptr<ui::ScrollView>& scoresScrollView() const { return scoresScrollView_; }
    const std::shared_ptr<ui::View>& timerContainerView() const { return timerContainerView_; }
    const std::shared_ptr<VelkoraQuizTimerView>& quizTimerView() const { return quizTimerView_; }
    const std::shared_ptr<ui::Label>& questionScoreLabel() const { return questionScoreLabel_; }
    const std::shared_ptr<ui::ScrollView>& qaScrollView() const { return qaScrollView_; }
    const std::shared_ptr<ui::Label>& questionLabel() const { return questionLabel_; }
    const std::shared_ptr<ui::View>& hintsView() const { return hintsView_; }
    const std::shared_ptr<ui::Label>& testHintsLabel() const { return testHintsLabel_; }
    const std::shared_ptr<ui::View>& leaveTwoView() const { return leaveTwoView_; }
    const std::shared_ptr<ui::View>& replaceQuestionView() const { return replaceQuestionView_; }
    const std::shared_ptr<ui::View>& popularAnswerView() const { return popularAnswerView_; }
    const std::shared_ptr<ui::View>& quizHintsPurchaseOption1View() const { return quizHintsPurchaseOption1View_; }
    const std::shared_ptr<ui::View>& quizHintsPurchaseOption2View() const { return quizHintsPurchaseOption2View_; }
    const std::shared_ptr<VelkoraResizeableButton>& quizHintsPurchaseOption1Button() const {
        return quizHintsPurchaseOption1Button_;
    }
    const std::shared_ptr<VelkoraResizeableButton>& quizHintsPurchaseOption2Button() const {
        return quizHintsPurchaseOption2Button_;
    }
    const std::shared_ptr<ui::Label>& quizHintsPurchaseOption1PriceLabel() const {
        return quizHintsPurchaseOption1PriceLabel_;
    }
    const std::shared_ptr<ui::Label>& quizHintsPurchaseOption2PriceLabel() const {
        return quizHintsPurchaseOption2PriceLabel_;
    }
    const std::shared_ptr<ui::ActivityIndicatorView>& buyOptionsActivityIndicator() const {
        return buyOptionsActivityIndicator_;
    }
    const std::shared_ptr<ui::View>& quizEndView() const { return quizEndView_; }
    const std::shared_ptr<ui::Label>& gameOverLabel() const { return gameOverLabel_; }
    const std::shared_ptr<ui::Label>& youGotLabel() const { return youGotLabel_; }
    const std::shared_ptr<ui::Label>& pointsReachedLabel() const { return pointsReachedLabel_; }
    const std::shared_ptr<ui::ImageView>& quizEndOverlayImageView() const { return quizEndOverlayImageView_; }
    const std::shared_ptr<VelkoraResizeableButton>& quizEndPurchaseButton() const { return quizEndPurchaseButton_; }
    const std::shared_ptr<ui::Label>& quizEndPurchaseLivesPriceLabel() const { return quizEndPurchaseLivesPriceLabel_; }
    const std::shared_ptr<ui::View>& quizEndRewardView() const { return quizEndRewardView_; }
    const std::shared_ptr<ui::Label>& quizEndRewardTitleLabel() const { return quizEndRewardTitleLabel_; }
    const std::shared_ptr<ui::Label>& quizEndRewardSubTitleLabel() const { return quizEndRewardSubTitleLabel_; }
    const std::shared_ptr<ui::LayoutConstraint>& quizEndImageLineTopSpaceToBuyViewConstraint() const {
        return quizEndImageLineTopSpaceToBuyViewConstraint_;
    }
    const std::shared_ptr<ui::LayoutConstraint>& quizEndViewTopSpaceConstraint() const {
        return quizEndViewTopSpaceConstraint_;
    }
    const std::shared_ptr<ui::LayoutConstraint>& quizEndViewBottomSpaceConstraint() const {
        return quizEndViewBottomSpaceConstraint_;
    }
    const std::shared_ptr<ui::TableView>& quizEndTable() const { return quizEndTable_; }

    // The end panel's actions; the panel's own behaviour is added with it.
    virtual void quizEndPurchaseLivesClicked(ui::Control*);
    virtual void quizEndRewardsClicked(ui::Control*);

protected:
    explicit VelkoraQuizPlayViewController(int32_t quizId);

private:
    static uint32_t randomNumber();
    // The coin-purchase manager's products and purchases, reached in one place.
    static std::shared_ptr<services::Product> coinPackProduct(const std::string& key);
    static bool buyCoinPack(const std::string& key, ui::View* view, int32_t quizId, int32_t questionId);
    void createSounds();
    void disposeSounds();
    void playSound(bool correct);
    void showLeavePopup();
    void stopAnswerTimer();
    void setHintEnabled(ui::View* view, bool enabled);
    void buyCoins(const char* key);
    void redrawPopularAnswers();
    float layoutWidth() const;
    double ladderOffset(double centred) const;
    std::shared_ptr<ui::Image> bundleImage(const char* name) const;

    uint32_t correctSound_ = 0, wrongAnswerSound_ = 0;
    bool hasCorrectSound_ = false, hasWrongSound_ = false;
    int32_t quizId_ = 0;
    bool inContinueQuizMode_ = false;
    int32_t scoreBeforeContinueQuiz_ = 0;
    // Whether a score of the current game reached the server client: a continued game that sent none
    // sends a new one, rather than updating an earlier game's.
    bool scoreSentThisGame_ = false;
    // How many answers of the current game were reported: each is reported once.
    size_t reportedCount_ = 0;
    std::shared_ptr<ui::ActivityIndicatorView> activityIndicator_;
    VelkoraQuizPtr quiz_;
    std::array<VelkoraAnswerCollection, 4> answerButtonsArray_;
    int32_t currentQuestionIndex_ = 0;
    std::vector<std::string> reportArray_;
    int32_t currentScore_ = 0;
    std::shared_ptr<ui::Image> origAnswerButtonImage_;
    bool hintLeaveTwoUsed_ = false, hintReplaceQuestionUsed_ = false, hintPopularAnswerUsed_ = false;
    float scoreViewWidth_ = 0, scoresScrollOrigOffset_ = 0;
    float origHintImageLeadingSpaceConstraint_ = 0, origHintImageTrailingSpaceConstraint_ = 0;
    bool werePopInAdsEnabled_ = false;
    bool appButtonClicked_ = false;
    bool gone_ = false;

    std::shared_ptr<foundation::Timer> answerTimer_;
    std::shared_ptr<VelkoraDefaultOKPopupView> leavePopup_, loadFailedPopup_;
    foundation::NotificationObserver productObserver_, rotationObserver_;

    std::shared_ptr<VelkoraResizeableButton> helpButton_;
    std::shared_ptr<ui::Label> scoreTitleLabel_, scoreNumberLabel_;
    std::shared_ptr<ui::ScrollView> scoresScrollView_;
    std::shared_ptr<ui::View> timerContainerView_;
    std::shared_ptr<VelkoraQuizTimerView> quizTimerView_;
    std::shared_ptr<ui::Label> questionScoreLabel_;
    std::shared_ptr<ui::ScrollView> qaScrollView_;
    std::shared_ptr<ui::Label> questionLabel_;

    std::shared_ptr<ui::View> hintsView_;
    std::shared_ptr<ui::LayoutConstraint> quizHintsStatusBarLineTopSpaceConstraint_;
    std::shared_ptr<ui::Label> hintsTitleLabel_, testHintsLabel_;
    std::shared_ptr<ui::View> leaveTwoView_, replaceQuestionView_, popularAnswerView_;
    std::shared_ptr<ui::Label> leaveTwoLabel_, leaveTwoBadge_, replaceQuestionLabel_, replaceQuestionBadge_,
        popularAnswerLabel_, popularAnswerBadge_, purchaseHintsTitleLabel_;
    std::shared_ptr<ui::View> quizHintsPurchaseOption1View_, quizHintsPurchaseOption2View_;
    std::shared_ptr<VelkoraResizeableButton> quizHintsPurchaseOption1Button_, quizHintsPurchaseOption2Button_;
    std::shared_ptr<ui::Label> quizHintsPurchaseOption1PriceLabel_, quizHintsPurchaseOption2PriceLabel_;
    std::shared_ptr<ui::ActivityIndicatorView> buyOptionsActivityIndicator_;

    std::shared_ptr<ui::View> quizEndView_;
    std::shared_ptr<ui::LayoutConstraint> quizEndViewTopSpaceConstraint_, quizEndViewBottomSpaceConstraint_;
    std::shared_ptr<ui::ImageView> quizEndOverlayImageView_;
    std::shared_ptr<ui::Label> gameOverLabel_, youGotLabel_, pointsReachedLabel_;
    std::shared_ptr<VelkoraResizeableButton> quizEndPurchaseButton_;
    std::shared_ptr<ui::Label> quizEndPurchaseLivesPriceLabel_;
    std::shared_ptr<ui::View> quizEndRewardView_;
    std::shared_ptr<ui::Label> quizEndRewardTitleLabel_, quizEndRewardSubTitleLabel_;
    std::shared_ptr<ui::LayoutConstraint> quizEndImageLineTopSpaceToBuyViewConstraint_;
    std::shared_ptr<ui::TableView> quizEndTable_;

    // ---- The end panel: its options, the screens it opens, the reward offer and the post to the feed.
public:
    static constexpr const char* kQuizEndCellIdentifier = "velkoraquizendcell";
    // The options in table order: a life, a new game, the leaderboard, a suggestion, exit.
    enum QuizEndOption : int { QuizEndUseLife = 0, QuizEndNewGame, QuizEndLeaderboard, QuizEndSuggest, QuizEndExit };
    // No question follows the one the game ended on, so no life can be used.
    bool shouldSkipFirstRowAtQuizEnd() const;
    int quizEndNumberOfRows() const;
    int quizEndOptionForRow(int row) const;
    void quizEndDidSelectOption(int option);
    const std::vector<std::string>& quizEndTableTitles() const { return quizEndTableTitles_; }
    void openPurchaseView();
    void openLeaderboardView();
    void openSuggestQuestionView();
    void prepareQuizEndOverlayImage();
    // Turns each pixel's alpha a into trunc((1 − a ÷ 255) × 255).
    static void inverseAlpha(ui::Image& image);
    void getQuizEndRewardUrl();
    void parseRewardUrl(const std::string& html);
    void postToFeed();
    void postScoreClicked(ui::Control*) { postToFeed(); }
    const std::string& rewardUrlStr() const { return rewardUrlStr_; }
    bool rewardClicked() const { return rewardClicked_; }
    const std::shared_ptr<ui::WebView>& rewardWebView() const { return rewardWebView_; }
    const std::shared_ptr<ui::Button>& postScoreButton() const { return postScoreButton_; }

private:
    class EndPanelListener;
    void loadQuizEndPanel();
    void registerQuizEndBindings(ui::InterfaceBindings& bindings);
    void showQuizEndPanel();
    void showQuizEndCoinPack();
    void rewardPageFinished(ui::WebView& webView);
    bool rewardShouldStartLoad(const foundation::UrlRequest& request);

    std::shared_ptr<EndPanelListener> endPanelListener_;
    std::vector<std::string> quizEndTableTitles_;
    std::shared_ptr<ui::WebView> rewardWebView_;
    std::string rewardUrlStr_;
    bool rewardClicked_ = false;
    std::shared_ptr<ui::Button> postScoreButton_;
};

} // namespace velkora
