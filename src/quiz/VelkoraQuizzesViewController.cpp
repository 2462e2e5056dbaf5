#include "quiz/VelkoraQuizzesViewController.h"

#include <algorithm>

#include "platform/foundation/Log.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Window.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "quiz/VelkoraQuizHomeScreens.h"
#include "quiz/VelkoraQuizPurchaseViewController.h"
#include "server/VelkoraServerApi.h"
#include "session/VelkoraScreenRegistry.h"
#include "session/VelkoraStyleSheetCustomizer.h"

namespace velkora {

using foundation::Value;
using quizhome::text;

// ---- cell

std::shared_ptr<VelkoraQuizCell> VelkoraQuizCell::initFromNib() {
    quizhome::registerViewClasses();
    auto cell = std::dynamic_pointer_cast<VelkoraQuizCell>(
        ui::InterfaceLoader::instance().loadFirstObject(quizhome::interfaceName("VelkoraQuizCell")));
    if (cell) cell->myInit();
    return cell;
}

void VelkoraQuizCell::myInit() {
    setReuseIdentifier(kReuseIdentifier);
    setBackgroundView(ui::View::create(bounds()));
    auto selected = ui::View::create(ui::Rect(0, 0, frame().width(), frame().height()));
    selected->setBackgroundColor(ui::Color::rgba(29 / 255.0, 29 / 255.0, 29 / 255.0, 1.0));
    setSelectedBackgroundView(selected);
    if (nameLabel_) nameOrigY_ = nameLabel_->frame().y();
    if (descriptionLabel_) descOrigY_ = descriptionLabel_->frame().y();
    if (nameLabelTopSpaceConstraint_) nameTopSpace_ = nameLabelTopSpaceConstraint_->constant();
    auto& style = VelkoraStyleSheetCustomizer::instance();
    const uint32_t screen = VelkoraQuizzesViewController::kScreenId;
    style.customizeTableCellSelectedBackgroundView(selected.get(), screen);
    style.customizeTableCellTitleLabel(nameLabel_.get(), screen);
    style.customizeTableCellDescriptionLabel(descriptionLabel_.get(), screen);
    style.customizeActionButton(actionButton_.get(), screen);
}

void VelkoraQuizCell::updateWithQuiz(const VelkoraQuiz& quiz) {
    quizId_ = quiz.quizId();
    const std::string description = quiz.description().value_or("");
    if (descriptionLabel_) descriptionLabel_->setText(description);
    if (nameLabel_) nameLabel_->setText(quiz.name().value_or(""));
    if (nameLabelTopSpaceConstraint_ && nameLabel_) {
        // Without a description the name sits in the middle of the row.
        nameLabelTopSpaceConstraint_->setConstant(
            description.empty() ? (frame().height() - nameLabel_->frame().height()) * 0.5 : nameTopSpace_);
    }
    if (actionButton_)
        actionButton_->setTitle(text(quiz.isLocked() ? "velkora_text_unlock_button" : "velkora_text_play_button"),
                                ui::ControlStateNormal);
    setNeedsLayout();
    layoutIfNeeded();
}

void VelkoraQuizCell::actionClicked(ui::Control*) {
    if (auto d = delegate_.lock()) d->actionClicked(quizId_);
}

void VelkoraQuizCell::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("nameLabel", nameLabel_);
    b.outlet("descriptionLabel", descriptionLabel_);
    b.outlet("actionButton", actionButton_);
    b.outlet("nameLabelTopSpaceConstraint", nameLabelTopSpaceConstraint_);
    b.action("actionClicked:", this, &VelkoraQuizCell::actionClicked);
}

// ---- screen

VelkoraQuizzesViewController::VelkoraQuizzesViewController(std::string nibName)
    : VelkoraGeneralFeatureViewController(std::move(nibName)) {}

std::shared_ptr<VelkoraQuizzesViewController> VelkoraQuizzesViewController::create() {
    quizhome::registerViewClasses();
    return std::shared_ptr<VelkoraQuizzesViewController>(
        new VelkoraQuizzesViewController(quizhome::interfaceName("VelkoraQuizzesList")));
}

VelkoraQuizzesViewController::~VelkoraQuizzesViewController() {
    VelkoraServerApi::clearUserDelegate(this);
}

void VelkoraQuizzesViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraGeneralFeatureViewController::registerInterfaceBindings(b);
    b.outlet("quizzesTable", quizzesTable_);
    b.outlet("activityIndicator", activityIndicator_);
}

void VelkoraQuizzesViewController::viewDidLoad() {
    setStyleScreenIdentifier(kScreenId);
    VelkoraGeneralFeatureViewController::viewDidLoad();
    shouldOpenQuiz_ = false;
    auto self = sharedAs<VelkoraQuizzesViewController>();
    if (quizzesTable_) {
        quizzesTable_->setDataSource(std::weak_ptr<ui::TableViewDataSource>(self));
        quizzesTable_->setDelegate(std::weak_ptr<ui::TableViewDelegate>(self));
        quizzesTable_->setSeparatorStyle(ui::TableViewCellSeparatorStyle::None);
    }
    getAllQuizzes();
}

void VelkoraQuizzesViewController::getAllQuizzes() {
    if (activityIndicator_) activityIndicator_->startAnimating();
    VelkoraServerApi::getQuizzes(VelkoraCallback(sharedAs<VelkoraQuizzesViewController>(),
                                                 &VelkoraQuizzesViewController::gotQuizzes,
                                                 &VelkoraQuizzesViewController::gotQuizzesFailed));
}

void VelkoraQuizzesViewController::setTouchesEnabled(bool enabled) {
    if (isViewLoaded()) view()->setUserInteractionEnabled(enabled);
}

void VelkoraQuizzesViewController::gotQuizzes(const Value& reply) {
    const int32_t all = reply["unlockAllQuizzesCoins"].int32Or(0);
    unlockAllQuizzesCoins_ = all > 0 ? all : kDefaultUnlockAllQuizzesCoins;
    if (activityIndicator_) activityIndicator_->stopAnimating();
    setTouchesEnabled(true);
    quizzes_.clear();
    if (const auto* list = reply["quizzes"].asArray())
        for (const Value& q : *list)
            if (auto quiz = q.asObject<VelkoraQuiz>()) quizzes_.push_back(quiz);
    if (quizzes_.size() == 1 && !quizzes_.front()->isLocked()) {
        if (viewAppeared_)
            openQuizScreen(quizzes_.front()->quizId());
        else
            shouldOpenQuiz_ = true;
        return;
    }
    if (quizzesTable_) quizzesTable_->reloadData();
}

// The list did not come: the spinner stops, touches come back and the user hears why.
void VelkoraQuizzesViewController::gotQuizzesFailed(const foundation::ErrorPtr& error) {
    if (activityIndicator_) activityIndicator_->stopAnimating();
    setTouchesEnabled(true);
    quizhome::showFailureToast(error, "velkora_text_no_network_message");
}

void VelkoraQuizzesViewController::viewWillAppear(bool animated) {
    VelkoraGeneralFeatureViewController::viewWillAppear(animated);
    // Coming back to a list of one quiz (from that quiz, or from a screen pushed over it) leads past it.
    if (viewAppeared_ && quizzes_.size() == 1 && !shouldOpenQuiz_) removeFromParentViewController();
}

void VelkoraQuizzesViewController::viewDidAppear(bool animated) {
    VelkoraGeneralFeatureViewController::viewDidAppear(animated);
    if (quizzes_.size() == 1 && shouldOpenQuiz_ && !quizzes_.front()->isLocked()) {
        shouldOpenQuiz_ = false;
        viewAppeared_ = true;
        openQuizScreen(quizzes_.front()->quizId());
        return;
    }
    viewAppeared_ = true;
    if (quizzesTable_) quizzesTable_->reloadData();
}

int VelkoraQuizzesViewController::numberOfRowsInSection(ui::TableView&, int) {
    return static_cast<int>(quizzes_.size());
}

ui::TableViewCellPtr VelkoraQuizzesViewController::cellForRowAtIndexPath(ui::TableView& table,
                                                                         const ui::IndexPath& indexPath) {
    auto cell = std::dynamic_pointer_cast<VelkoraQuizCell>(
        table.dequeueReusableCellWithIdentifier(VelkoraQuizCell::kReuseIdentifier));
    if (!cell) cell = VelkoraQuizCell::initFromNib();
    if (!cell) return nullptr;
    cell->setFrame(ui::Rect(0, 0, table.bounds().width(), cell->frame().height()));
    if (indexPath.row >= 0 && indexPath.row < static_cast<int>(quizzes_.size())) {
        cell->setDelegate(std::weak_ptr<VelkoraQuizCellDelegate>(sharedAs<VelkoraQuizzesViewController>()));
        cell->updateWithQuiz(*quizzes_[indexPath.row]);
    }
    return cell;
}

double VelkoraQuizzesViewController::heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath&) {
    if (!measuringCell_) measuringCell_ = VelkoraQuizCell::initFromNib();
    return measuringCell_ ? measuringCell_->frame().height() : -1;
}

void VelkoraQuizzesViewController::willDisplayCell(ui::TableView&, ui::TableViewCell& cell, const ui::IndexPath&) {
    cell.setBackgroundColor(ui::Color::clear());
}

void VelkoraQuizzesViewController::didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) {
    if (indexPath.row >= 0 && indexPath.row < static_cast<int>(quizzes_.size()))
        actionClicked(quizzes_[indexPath.row]->quizId());
    table.deselectRowAtIndexPath(indexPath, true);
}

VelkoraQuizPtr VelkoraQuizzesViewController::quizById(int32_t quizId) const {
    auto it = std::find_if(quizzes_.begin(), quizzes_.end(), [&](const auto& q) { return q->quizId() == quizId; });
    return it == quizzes_.end() ? nullptr : *it;
}

void VelkoraQuizzesViewController::actionClicked(int32_t quizId) {
    auto quiz = quizById(quizId);
    if (!quiz) return;
    if (quiz->isLocked() && quiz->coinsToUnlock() > 0)
        handleQuizPurchase(quiz);
    else
        openQuizScreen(quizId);
}

void VelkoraQuizzesViewController::openQuizScreen(int32_t quizId) {
    foundation::Dictionary arguments{
        {VelkoraScreenArguments::kOpenedAs, Value(VelkoraScreenArguments::kOpenedInNavigation)},
        {VelkoraScreenArguments::kObject1, Value(quizId)}};
    auto screen = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(
        VelkoraScreenRegistry::instance().makeScreen("quiz", Value(std::move(arguments))));
    if (!screen) return;
    screen->setFeatureTabDelegate(featureTabDelegate());
    screen->setTitleText(text("velkora_text_quiz_play_title"));
    if (auto* nav = navigationController()) nav->pushViewController(screen, true);
}

void VelkoraQuizzesViewController::handleQuizPurchase(const VelkoraQuizPtr& quiz) {
    if (!quiz) return;
    quizToUnlock_ = quiz;
    auto popup = VelkoraQuizBuyQuizPopupView::initFromNib(
        text("velkora_text_quiz_unlock_all_quizzes_button"), unlockAllQuizzesCoins_,
        text("velkora_text_quiz_unlock_single_quiz_button"), quiz->coinsToUnlock(),
        text("velkora_text_quiz_unlock_buy_coins_button"));
    if (!popup) return;
    if (popup->titleLabel()) popup->titleLabel()->setText(text("velkora_text_quiz_unlock_quiz_popup_title"));
    if (popup->messageLable()) {
        popup->messageLable()->setNumberOfLines(0);
        popup->messageLable()->setText(text("velkora_text_quiz_unlock_quiz_popup_message"));
    }
    popup->setDelegate(std::weak_ptr<VelkoraDefaultOKPopupViewDelegate>(sharedAs<VelkoraQuizzesViewController>()));
    popup->showInView(ui::Application::instance().keyWindow());
}

void VelkoraQuizzesViewController::purchaseSingleQuiz() {
    if (!quizToUnlock_) return;
    VelkoraServerApi::updateQuizUsedQuiz(VelkoraCallback(sharedAs<VelkoraQuizzesViewController>(),
                                                         &VelkoraQuizzesViewController::quizUnlocked,
                                                         &VelkoraQuizzesViewController::unlockFailed),
                                         quizToUnlock_->coinsToUnlock(), quizToUnlock_->quizId());
    setTouchesEnabled(false);
}

void VelkoraQuizzesViewController::purchaseAllQuizzes() {
    quizToUnlock_.reset();
    VelkoraServerApi::updateQuizUsedAllQuizzes(VelkoraCallback(sharedAs<VelkoraQuizzesViewController>(),
                                                               &VelkoraQuizzesViewController::allQuizzesUnlocked,
                                                               &VelkoraQuizzesViewController::unlockFailed),
                                               unlockAllQuizzesCoins_);
    setTouchesEnabled(false);
}

// Only an unlock the service granted opens the quiz; the coins it took come with the next poll.
void VelkoraQuizzesViewController::quizUnlocked(const Value& reply) {
    if (!reply["success"].boolOr(false)) {
        unlockRefused();
        return;
    }
    if (quizToUnlock_) {
        quizToUnlock_->setIsLocked(false);
        quizToUnlock_.reset();
        if (quizzesTable_) quizzesTable_->reloadData();
    }
    setTouchesEnabled(true);
}

void VelkoraQuizzesViewController::allQuizzesUnlocked(const Value& reply) {
    if (!reply["success"].boolOr(false)) {
        unlockRefused();
        return;
    }
    // The next list tells what is open now; its arrival gives touches back.
    getAllQuizzes();
}

void VelkoraQuizzesViewController::unlockRefused() {
    quizToUnlock_.reset();
    quizhome::showToast(text("velkora_text_quiz_unlock_failed_message"));
    getAllQuizzes();
}

// Nothing was unlocked: the list stays as it was and takes touches again.
void VelkoraQuizzesViewController::unlockFailed(const foundation::ErrorPtr& error) {
    quizToUnlock_.reset();
    setTouchesEnabled(true);
    quizhome::showFailureToast(error, "velkora_text_quiz_unlock_failed_message");
}

void VelkoraQuizzesViewController::openPurchaseView() {
    auto screen = VelkoraQuizPurchaseViewController::create(-1, -1);
    screen->setFeatureTabDelegate(featureTabDelegate());
    screen->setTitleText(text("velkora_text_quiz_purchase_title"));
    if (auto* nav = navigationController()) nav->pushViewController(screen, true);
}

} // namespace velkora
