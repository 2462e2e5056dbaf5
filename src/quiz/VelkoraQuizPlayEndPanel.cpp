// The quiz play screen's end panel: the title and points over a dark overlay, a coin pack for sale, the
// reward offer of the ad network when the application allows it, and the options (a life, a new game,
// the quiz's leaderboard, a suggestion, exit). Also the post of the score to the feed.
#include <cmath>
#include <cstdlib>

#include "ads/VelkoraAdNetwork.h"
#include "data/VelkoraFeedMessage.h"
#include "data/VelkoraUtils.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/services/Product.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/WebView.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "quiz/VelkoraQuizEndTableCell.h"
#include "quiz/VelkoraQuizPlayViewController.h"
#include "server/VelkoraServerApi.h"
#include "server/utils/VelkoraLogEventsManager.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppData.h"
#include "data/VelkoraAppSettings.h"
#include "session/VelkoraScreenRegistry.h"
#include "data/VelkoraUserInfo.h"
#include "shell/VelkoraResizeableButton.h"

namespace velkora {

using foundation::Log;
using foundation::Value;

namespace {

std::string text(const char* key) {
    return foundation::Bundle::main().localizedString(key);
}

int32_t currentCoins() {
    auto me = VelkoraAgentInternal::instance().velkoraUser();
    return me ? me->coins() : 0;
}

// The divider sits under the reward offer when it shows (the offer's own constraint, at 800, wins over
// this one at 700) and under the coin pack otherwise.
constexpr double kDividerWithReward = 700;
constexpr double kDividerWithoutReward = 900;

} // namespace

// The panel's table and the hidden reward page report here; the screen does the work. Kept apart so the
// screen need not be every platform delegate at once.
class VelkoraQuizPlayViewController::EndPanelListener : public ui::TableViewDataSource,
                                                        public ui::TableViewDelegate,
                                                        public ui::WebViewDelegate {
public:
    explicit EndPanelListener(VelkoraQuizPlayViewController& screen) : screen_(screen) {}

    int numberOfRowsInSection(ui::TableView&, int) override { return screen_.quizEndNumberOfRows(); }

    ui::TableViewCellPtr cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override {
        auto cell = std::dynamic_pointer_cast<VelkoraQuizEndTableCell>(
            table.dequeueReusableCellWithIdentifier(kQuizEndCellIdentifier));
        if (!cell) cell = VelkoraQuizEndTableCell::initFromNib();
        if (!cell) return std::make_shared<ui::TableViewCell>(ui::TableViewCellStyle::Default, kQuizEndCellIdentifier);
        const int option = screen_.quizEndOptionForRow(indexPath.row);
        const auto& titles = screen_.quizEndTableTitles();
        cell->setTitle(option >= 0 && static_cast<size_t>(option) < titles.size() ? titles[static_cast<size_t>(option)]
                                                                                  : std::string());
        // A life the user cannot pay for is shown, dimmed, and cannot be chosen.
        const bool usable = option != QuizEndUseLife || currentCoins() >= kLifeCost;
        if (cell->titleLabel()) cell->titleLabel()->setAlpha(usable ? 1.0 : 0.5);
        cell->setUserInteractionEnabled(usable);
        return cell;
    }

    void willDisplayCell(ui::TableView&, ui::TableViewCell& cell, const ui::IndexPath&) override {
        cell.setBackgroundColor(ui::Color::clear());
    }

    // The dimmed life takes no touches.
    std::optional<ui::IndexPath> willSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath& indexPath) override {
        if (screen_.quizEndOptionForRow(indexPath.row) == QuizEndUseLife && currentCoins() < kLifeCost)
            return std::nullopt;
        return indexPath;
    }

    void didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override {
        table.deselectRowAtIndexPath(indexPath, true);
        screen_.quizEndDidSelectOption(screen_.quizEndOptionForRow(indexPath.row));
    }

    void webViewDidFinishLoad(ui::WebView& webView) override { screen_.rewardPageFinished(webView); }
    // A page that could not be had is no offer; nothing to tell anyone.
    void webViewDidFailLoadWithError(ui::WebView&, const foundation::ErrorPtr&) override {}
    bool webViewShouldStartLoadWithRequest(ui::WebView&, const foundation::UrlRequest& request, int) override {
        return screen_.rewardShouldStartLoad(request);
    }

private:
    VelkoraQuizPlayViewController& screen_;
};

// ---- loading

void VelkoraQuizPlayViewController::registerQuizEndBindings(ui::InterfaceBindings& b) {
    b.outlet("postScoreButton", postScoreButton_);
    b.action("postScoreClicked:", this, &VelkoraQuizPlayViewController::postScoreClicked);
}

void VelkoraQuizPlayViewController::loadQuizEndPanel() {
    quizEndTableTitles_ = {
        foundation::format(text("velkora_text_quiz_end_use_life_label"), kLifeCost),
        text("velkora_text_quiz_end_start_new_game_label"),
        text("velkora_text_quiz_end_leaderboard_label"),
        text("velkora_text_quiz_end_suggest_question_label"),
        text("velkora_text_quiz_end_exit_label"),
    };
    if (!endPanelListener_) endPanelListener_ = std::make_shared<EndPanelListener>(*this);
    if (quizEndTable_) {
        quizEndTable_->setDataSource(endPanelListener_);
        quizEndTable_->setDelegate(endPanelListener_);
        quizEndTable_->setBackgroundColor(ui::Color::clear());
        // Rows as high as the file draws them.
        if (auto sample = VelkoraQuizEndTableCell::initFromNib()) quizEndTable_->setRowHeight(sample->frame().height());
    }
    if (quizEndRewardTitleLabel_) quizEndRewardTitleLabel_->setText(text("velkora_text_quiz_end_reward_button_title"));
    if (quizEndRewardSubTitleLabel_)
        quizEndRewardSubTitleLabel_->setText(text("velkora_text_quiz_end_reward_button_subtitle"));
    if (postScoreButton_) postScoreButton_->setTitle(text("velkora_text_quiz_post_score_button"));
}

// ---- showing

void VelkoraQuizPlayViewController::showQuizEndPanel() {
    prepareQuizEndOverlayImage();
    showQuizEndCoinPack();
    auto app = VelkoraAgentInternal::instance().appData();
    const bool offer =
        app && app->appReward() && currentScore_ >= app->appRewardQuizThreshold() && !rewardUrlStr_.empty();
    if (quizEndImageLineTopSpaceToBuyViewConstraint_)
        quizEndImageLineTopSpaceToBuyViewConstraint_->setPriority(offer ? kDividerWithReward : kDividerWithoutReward);
    if (quizEndRewardView_) quizEndRewardView_->setHidden(!offer);
    if (offer) VelkoraLogEventsManager::instance().logEvent(foundation::format("quiz;reward-displayed;%d", quizId_));
    if (quizEndTable_) quizEndTable_->reloadData();
    if (quizEndView_) quizEndView_->layoutIfNeeded();
}

void VelkoraQuizPlayViewController::showQuizEndCoinPack() {
    ui::View* box = quizEndPurchaseButton_ ? quizEndPurchaseButton_->superview() : nullptr;
    auto product = coinPackProduct(kCoinPack1);
    if (box) box->setHidden(!product);
    if (!product) return;
    if (quizEndPurchaseButton_) quizEndPurchaseButton_->setTitle(product->localizedTitle());
    if (quizEndPurchaseLivesPriceLabel_) {
        const double amount = std::strtod(product->price().c_str(), nullptr);
        quizEndPurchaseLivesPriceLabel_->setText(
            VelkoraUtils::displayNumberAsCurrency(amount, product->priceLocale().localeIdentifier));
    }
}

void VelkoraQuizPlayViewController::prepareQuizEndOverlayImage() {
    if (!quizEndOverlayImageView_) return;
    // Whole pixels only: a fractional frame would leave the pixel count and the rows apart, and an empty
    // one has nothing to draw.
    const ui::Size size = quizEndOverlayImageView_->frame().size;
    const long w = std::lround(size.width), h = std::lround(size.height);
    if (w <= 0 || h <= 0) {
        quizEndOverlayImageView_->setImage(nullptr);
        return;
    }
    auto image = ui::Image::create(static_cast<int>(w), static_cast<int>(h));
    if (!image) {
        quizEndOverlayImageView_->setImage(nullptr);
        return;
    }
    // Black at 0.2, premultiplied: only the alpha byte is set.
    constexpr uint32_t kFill = 51u << 24;
    for (int y = 0; y < image->pixelHeight(); ++y)
        for (int x = 0; x < image->pixelWidth(); ++x)
            image->setPixelAt(x, y, kFill);
    inverseAlpha(*image);
    quizEndOverlayImageView_->setImage(image);
}

void VelkoraQuizPlayViewController::inverseAlpha(ui::Image& image) {
    uint8_t* bytes = image.mutableBytes();
    if (!bytes) return;
    for (int y = 0; y < image.pixelHeight(); ++y) {
        auto* row = reinterpret_cast<uint32_t*>(bytes + static_cast<size_t>(y) * static_cast<size_t>(image.stride()));
        for (int x = 0; x < image.pixelWidth(); ++x) {
            const uint32_t a = row[x] >> 24;
            const auto inverted = static_cast<uint32_t>(std::trunc((1.0 - a / 255.0) * 255.0));
            row[x] = (row[x] & 0x00FFFFFFu) | (inverted << 24);
        }
    }
}

// ---- the options

bool VelkoraQuizPlayViewController::shouldSkipFirstRowAtQuizEnd() const {
    const int64_t count = quiz_ ? static_cast<int64_t>(quiz_->questions().size()) : 0;
    return int64_t(currentQuestionIndex_) + 1 >= count;
}

int VelkoraQuizPlayViewController::quizEndNumberOfRows() const {
    return shouldSkipFirstRowAtQuizEnd() ? 4 : 5;
}

int VelkoraQuizPlayViewController::quizEndOptionForRow(int row) const {
    return shouldSkipFirstRowAtQuizEnd() ? row + 1 : row;
}

void VelkoraQuizPlayViewController::quizEndDidSelectOption(int option) {
    switch (option) {
    case QuizEndUseLife: {
        auto me = VelkoraAgentInternal::instance().velkoraUser();
        auto q = currentQuestion();
        if (!me || me->coins() < kLifeCost) {
            openPurchaseView();
            return;
        }
        // Past the last question there is nothing to go on with.
        if (!q || shouldSkipFirstRowAtQuizEnd()) return;
        me->setCoins(me->coins() - kLifeCost);
        VelkoraServerApi::updateQuizUsedLives({}, kLifeCost, 1, quizId_, q->questionId());
        scoreBeforeContinueQuiz_ = currentScore_;
        inContinueQuizMode_ = true;
        nextQuestion();
        return;
    }
    case QuizEndNewGame:
        inContinueQuizMode_ = false;
        reportQuiz();
        getQuiz();
        return;
    case QuizEndLeaderboard:
        openLeaderboardView();
        return;
    case QuizEndSuggest:
        openSuggestQuestionView();
        return;
    case QuizEndExit:
        reportQuiz();
        goBack();
        return;
    default:
        Log::line("Velkora (E) - QUIZ END: Unknown option selected !!");
        return;
    }
}

// ---- the screens the options open (each of its own folder, by name)

namespace {

std::shared_ptr<ui::ViewController> makeQuizScreen(const char* name, const char* openedAs, Value object1,
                                                   Value object2 = {}) {
    foundation::Dictionary arguments{{VelkoraScreenArguments::kOpenedAs, Value(openedAs)},
                                     {VelkoraScreenArguments::kObject1, std::move(object1)}};
    if (!object2.isNull()) arguments.set(VelkoraScreenArguments::kObject2, std::move(object2));
    auto& registry = VelkoraScreenRegistry::instance();
    if (!registry.hasScreen(name)) {
        VelkoraScreenRegistry::logNotInBuild(name);
        return nullptr;
    }
    return registry.makeScreen(name, Value(std::move(arguments)));
}

} // namespace

void VelkoraQuizPlayViewController::openPurchaseView() {
    const int64_t count = quiz_ ? static_cast<int64_t>(quiz_->questions().size()) : 0;
    auto q = currentQuestion();
    const int32_t questionId = currentQuestionIndex_ < count && q ? q->questionId() : -1;
    auto screen = makeQuizScreen("quizStore", VelkoraScreenArguments::kOpenedInNavigation, Value(int64_t(quizId_)),
                                 Value(int64_t(questionId)));
    if (!screen) return;
    if (auto feature = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(screen)) {
        feature->setFeatureTabDelegate(featureTabDelegate());
        feature->setTitleText(text("velkora_text_quiz_purchase_title"));
    }
    if (auto* nav = navigationController()) nav->pushViewController(screen, true);
}

void VelkoraQuizPlayViewController::openLeaderboardView() {
    auto screen = makeQuizScreen("leaderboard", VelkoraScreenArguments::kOpenedInNavigation, Value(quizLevel()));
    if (!screen) return;
    if (auto feature = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(screen)) {
        feature->setFeatureTabDelegate(featureTabDelegate());
        feature->setTitleText(text("velkora_text_quiz_end_leaderboard_label"));
        // The profile button belongs to the leaderboard opened as a feature of its own.
        feature->setShouldShowProfileButton(false);
    }
    if (auto* nav = navigationController()) nav->pushViewController(screen, true);
}

void VelkoraQuizPlayViewController::openSuggestQuestionView() {
    auto screen =
        makeQuizScreen("quizSuggestQuestion", VelkoraScreenArguments::kOpenedModally, Value(int64_t(quizId_)));
    if (!screen) return;
    if (auto feature = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(screen)) {
        feature->setFeatureTabDelegate(featureTabDelegate());
        feature->setTitleText(text("velkora_text_quiz_suggest_question_title"));
    }
    if (auto* nav = navigationController())
        nav->presentViewController(screen, true);
    else
        presentViewController(screen, true);
}

void VelkoraQuizPlayViewController::quizEndPurchaseLivesClicked(ui::Control*) {
    openPurchaseView();
}

// ---- the reward offer

void VelkoraQuizPlayViewController::getQuizEndRewardUrl() {
    rewardClicked_ = false;
    rewardUrlStr_.clear();
    if (!rewardWebView_) {
        rewardWebView_ = ui::WebView::create();
        if (!endPanelListener_) endPanelListener_ = std::make_shared<EndPanelListener>(*this);
        rewardWebView_->setDelegate(endPanelListener_);
    }
    if (rewardWebView_->isLoading()) rewardWebView_->stopLoading();
    rewardWebView_->loadRequest(foundation::UrlRequest::get(VelkoraAdNetwork::adRequestUrl(
        "free-", VelkoraAdNetwork::kBannerSize, VelkoraAppSettings::appId().value_or(""))));
}

void VelkoraQuizPlayViewController::rewardPageFinished(ui::WebView& webView) {
    // Frames finish one by one: the page is read once, when it has finished as a whole.
    if (rewardClicked_ || webView.isLoading()) return;
    // The network's error page is no offer.
    std::string html = webView.statusCode() >= 400 ? std::string() : webView.bodyInnerHtml();
    if (html.empty()) {
        Log::line("Velkora - No Ad Content Received");
        return;
    }
    parseRewardUrl(html);
}

void VelkoraQuizPlayViewController::parseRewardUrl(const std::string& html) {
    rewardUrlStr_ = VelkoraAdNetwork::parseAdUrl(html, "Reward").value_or("");
}

void VelkoraQuizPlayViewController::quizEndRewardsClicked(ui::Control*) {
    // The offer is taken once: a second tap while the first is followed reports nothing.
    if (rewardClicked_ || !rewardWebView_) return;
    rewardClicked_ = true;
    VelkoraLogEventsManager::instance().logEvent(foundation::format("quiz;reward-clicked;%d", quizId_));
    auto app = VelkoraAgentInternal::instance().appData();
    VelkoraServerApi::reporEventNow("adClick", foundation::format("VENDOR%d_none|3", app ? app->appBannerVendor() : 0));
    const std::string href = rewardWebView_->firstLinkHref();
    if (!href.empty()) rewardWebView_->setLocation(href);
}

bool VelkoraQuizPlayViewController::rewardShouldStartLoad(const foundation::UrlRequest& request) {
    if (!rewardClicked_ || !VelkoraAdNetwork::isStoreAddress(request.url)) return true;
    ui::Application::instance().openURL(request.url);
    return false;
}

// ---- the post to the feed

void VelkoraQuizPlayViewController::postToFeed() {
    auto info = VelkoraAgentInternal::instance().getUserInfo();
    if (info && info->isPrivateMode()) {
        Log::line("Velkora - Skipping feed for private users");
        return;
    }
    auto feed = std::make_shared<VelkoraFeedMessage>();
    const std::string name = quiz_ ? quiz_->name().value_or("") : std::string();
    feed->setMessage(foundation::format(text("velkora_text_quiz_post_score_message"), currentScore_, name));
    auto app = VelkoraAgentInternal::instance().appData();
    feed->setDescImageUrl(app ? app->appImage() : std::nullopt);
    feed->setDescText(text("velkora_text_quiz_post_score_description"));
    feed->setDescSubText(std::string());
    feed->setActionVerb(std::string("Play"));
    feed->setActionId(foundation::format("velkora-quiz-%d", quizId_));
    feed->setContentType(std::string("text/plain"));
    VelkoraServerApi::sendFeed(feed, {});
}

} // namespace velkora
