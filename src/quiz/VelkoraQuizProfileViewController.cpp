#include "quiz/VelkoraQuizProfileViewController.h"

#include <cmath>

#include "data/VelkoraUserInternal.h"
#include "data/VelkoraUtils.h"
#include "platform/foundation/DateFormatter.h"
#include "platform/foundation/Log.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "quiz/VelkoraQuizHomeScreens.h"
#include "quiz/VelkoraQuizPurchaseViewController.h"
#include "quiz/VelkoraQuizzesViewController.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppData.h"
#include "session/VelkoraScreenRegistry.h"
#include "data/VelkoraUserInfo.h"
#include "session/VelkoraStyleSheetCustomizer.h"

namespace velkora {

using foundation::Log;
using quizhome::text;

namespace {

constexpr const char* kRowTitleKeys[VelkoraQuizProfileViewController::kRowCount] = {
    "velkora_text_quiz_profile_play_game_label", "velkora_text_quiz_profile_purchase_label",
    "velkora_text_quiz_profile_leaderboard_label", "velkora_text_quiz_profile_sounds_label"};
constexpr double kRowHeights[VelkoraQuizProfileViewController::kRowCount] = {64.0, 44.0, 44.0, 44.0};
constexpr const char* kCoinKeys[] = {"velkora.coins.100", "velkora.coins.200", "velkora.coins.500",
                                     "velkora.coins.1000"};

VelkoraAgentInternal& session() {
    return VelkoraAgentInternal::instance();
}

// In the device's locale, as the dates are.
std::string grouped(int32_t number) {
    return VelkoraUtils::displayNumberAsDecimal(number, foundation::DateFormatter::currentLocaleIdentifier());
}

std::shared_ptr<ui::View> selectedBackground(const ui::Rect& frame) {
    auto selected = ui::View::create(ui::Rect(0, 0, frame.width(), frame.height()));
    selected->setBackgroundColor(ui::Color::rgba(29 / 255.0, 29 / 255.0, 29 / 255.0, 1.0));
    return selected;
}

} // namespace

// ---- cell

std::shared_ptr<VelkoraQuizProfileTableCell> VelkoraQuizProfileTableCell::initFromNib() {
    quizhome::registerViewClasses();
    auto cell = std::dynamic_pointer_cast<VelkoraQuizProfileTableCell>(
        ui::InterfaceLoader::instance().loadFirstObject(quizhome::interfaceName("VelkoraQuizProfileTableCell")));
    if (cell) cell->myInit();
    return cell;
}

void VelkoraQuizProfileTableCell::myInit() {
    setReuseIdentifier(kReuseIdentifier);
    setBackgroundView(ui::View::create(bounds()));
    auto selected = selectedBackground(frame());
    setSelectedBackgroundView(selected);
    // The bundle's arrow points down; a row that leads on points right.
    if (moreImage_) moreImage_->setTransform(ui::AffineTransform::rotation(-M_PI / 2));
    if (soundsOnLabel_) soundsOnLabel_->setText(text("velkora_text_quiz_sounds_on_label"));
    if (soundsOffLabel_) soundsOffLabel_->setText(text("velkora_text_quiz_sounds_off_label"));
    auto& style = VelkoraStyleSheetCustomizer::instance();
    const uint32_t screen = VelkoraQuizProfileViewController::kScreenId;
    style.customizeTableCellSelectedBackgroundView(selected.get(), screen);
    style.customizeTableCellTitleLabel(titleLabel_.get(), screen);
    style.customizeTableCellAccessoryView(moreImage_.get(), screen);
    style.customizeTableCellSeparatorView(seperatorLineImage_.get(), screen);
    style.customizeQuizPlayGameButton(playGameButton_.get(), screen);
}

void VelkoraQuizProfileTableCell::updateWithTitle(const std::string& title, bool isButton) {
    if (playGameButton_) playGameButton_->setHidden(!isButton);
    if (titleLabel_) titleLabel_->setHidden(isButton);
    if (moreImage_) moreImage_->setHidden(isButton);
    if (soundsOnView_) soundsOnView_->setHidden(true);
    if (soundsOffView_) soundsOffView_->setHidden(true);
    if (isButton) {
        if (playGameButton_) playGameButton_->setTitle(title, ui::ControlStateNormal);
    } else {
        // The separator follows the cell's top, not the hidden button.
        if (seperatorLineTopSpaceToButtonConstraint_) seperatorLineTopSpaceToButtonConstraint_->setPriority(750);
        if (seperatorLineTopSpaceToSuperviewConstraint_) seperatorLineTopSpaceToSuperviewConstraint_->setPriority(800);
        if (titleLabel_) titleLabel_->setText(title);
    }
    setNeedsLayout();
}

void VelkoraQuizProfileTableCell::setSoundsFlag(bool muted) {
    if (playGameButton_) playGameButton_->setHidden(true);
    if (moreImage_) moreImage_->setHidden(true);
    if (soundsOnView_) soundsOnView_->setHidden(muted);
    if (soundsOffView_) soundsOffView_->setHidden(!muted);
}

void VelkoraQuizProfileTableCell::playGameClicked(ui::Control*) {
    if (auto d = delegate_.lock()) d->playGameClicked();
}

void VelkoraQuizProfileTableCell::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("titleLabel", titleLabel_);
    b.outlet("moreImage", moreImage_);
    b.outlet("playGameButton", playGameButton_);
    b.outlet("seperatorLineImage", seperatorLineImage_);
    b.outlet("seperatorLineTopSpaceToSuperviewConstraint", seperatorLineTopSpaceToSuperviewConstraint_);
    b.outlet("seperatorLineTopSpaceToButtonConstraint", seperatorLineTopSpaceToButtonConstraint_);
    b.outlet("soundsOffView", soundsOffView_);
    b.outlet("soundsOffLabel", soundsOffLabel_);
    b.outlet("soundsOnView", soundsOnView_);
    b.outlet("soundsOnLabel", soundsOnLabel_);
    b.action("playGameClicked:", this, &VelkoraQuizProfileTableCell::playGameClicked);
}

// ---- screen

VelkoraQuizProfileViewController::VelkoraQuizProfileViewController(std::string nibName)
    : VelkoraGeneralFeatureViewController(std::move(nibName)) {}

std::shared_ptr<VelkoraQuizProfileViewController>
VelkoraQuizProfileViewController::initFromNib(bool showProfileButton) {
    quizhome::registerViewClasses();
    auto screen = std::shared_ptr<VelkoraQuizProfileViewController>(
        new VelkoraQuizProfileViewController(quizhome::interfaceName("VelkoraQuizProfileView")));
    screen->setShouldShowProfileButton(showProfileButton);
    return screen;
}

VelkoraQuizProfileViewController::~VelkoraQuizProfileViewController() = default;

void VelkoraQuizProfileViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraGeneralFeatureViewController::registerInterfaceBindings(b);
    b.outlet("totalPointsView", totalPointsView_);
    b.outlet("totalPointsNumberLabel", totalPointsNumberLabel_);
    b.outlet("totalPointsTitleLabel", totalPointsTitleLabel_);
    b.outlet("coinsView", coinsView_);
    b.outlet("coinsNumberLabel", coinsNumberLabel_);
    b.outlet("coinsTitleLabel", coinsTitleLabel_);
    b.outlet("quizProfileTable", quizProfileTable_);
    b.outlet("activityIndicator", activityIndicator_);
}

void VelkoraQuizProfileViewController::viewDidLoad() {
    setStyleScreenIdentifier(kScreenId);
    VelkoraGeneralFeatureViewController::viewDidLoad();
    for (int row = 0; row < kRowCount; ++row)
        quizProfileTableTitles_[row] = text(kRowTitleKeys[row]);
    auto self = sharedAs<VelkoraQuizProfileViewController>();
    if (quizProfileTable_) {
        quizProfileTable_->setDataSource(std::weak_ptr<ui::TableViewDataSource>(self));
        quizProfileTable_->setDelegate(std::weak_ptr<ui::TableViewDelegate>(self));
        quizProfileTable_->setSeparatorStyle(ui::TableViewCellSeparatorStyle::None);
    }
    scoreObserver_ = foundation::NotificationObserver("VelkoraChangedScoreNotification", nullptr,
                                                      [this](const foundation::Notification&) { updateUserScore(); });
    coinsObserver_ = foundation::NotificationObserver("VelkoraChangedCoinsNotification", nullptr,
                                                      [this](const foundation::Notification&) { updateUserCoins(); });
    VelkoraStyleSheetCustomizer::instance().customizeProfileButtonView(profileButtonView().get(), kScreenId);
}

void VelkoraQuizProfileViewController::viewWillAppear(bool animated) {
    VelkoraGeneralFeatureViewController::viewWillAppear(animated);
    updateUserScore();
    if (totalPointsTitleLabel_) totalPointsTitleLabel_->setText(text("velkora_text_quiz_profile_total_points_label"));
    updateUserCoins();
    if (coinsTitleLabel_) coinsTitleLabel_->setText(text("velkora_text_quiz_profile_hints_label"));
}

void VelkoraQuizProfileViewController::viewDidAppear(bool animated) {
    VelkoraGeneralFeatureViewController::viewDidAppear(animated);
    if (session().testMode()) showNotReadyPopupInTestMode();
}

// Only in test mode: tells the host's developer that a coin pack has no store product yet.
void VelkoraQuizProfileViewController::showNotReadyPopupInTestMode() {
    auto data = session().appData();
    const auto* ids = data && data->productIds() ? &*data->productIds() : nullptr;
    bool missing = false;
    for (const char* key : kCoinKeys)
        missing = missing || !ids || ids->find(key) == ids->end() || ids->at(key).empty();
    if (!missing) return;
    auto popup = VelkoraDefaultOKPopupView::initFromNib(text("velkora_text_ok_button"));
    if (!popup) return;
    if (popup->titleLabel()) popup->titleLabel()->setText(text("velkora_text_quizzes_not_ready_popup_title"));
    if (popup->messageLable()) {
        popup->messageLable()->setNumberOfLines(0);
        popup->messageLable()->setText(text("velkora_text_quizzes_not_ready_popup_message"));
    }
    popup->setDelegate(std::weak_ptr<VelkoraDefaultOKPopupViewDelegate>(sharedAs<VelkoraQuizProfileViewController>()));
    popup->showInView(view().get());
}

void VelkoraQuizProfileViewController::updateUserScore() {
    auto user = session().velkoraUser();
    if (totalPointsNumberLabel_) totalPointsNumberLabel_->setText(grouped(user ? user->score() : 0));
}

void VelkoraQuizProfileViewController::updateUserCoins() {
    auto user = session().velkoraUser();
    if (coinsNumberLabel_) coinsNumberLabel_->setText(grouped(user ? user->coins() : 0));
}

int VelkoraQuizProfileViewController::numberOfRowsInSection(ui::TableView&, int) {
    return kRowCount;
}

double VelkoraQuizProfileViewController::heightForRowAtIndexPath(ui::TableView&, const ui::IndexPath& indexPath) {
    return indexPath.row >= 0 && indexPath.row < kRowCount ? kRowHeights[indexPath.row] : 44.0;
}

ui::TableViewCellPtr VelkoraQuizProfileViewController::cellForRowAtIndexPath(ui::TableView& table,
                                                                             const ui::IndexPath& indexPath) {
    auto cell = std::dynamic_pointer_cast<VelkoraQuizProfileTableCell>(
        table.dequeueReusableCellWithIdentifier(VelkoraQuizProfileTableCell::kReuseIdentifier));
    if (!cell) {
        cell = VelkoraQuizProfileTableCell::initFromNib();
        if (!cell) return nullptr;
        cell->setDelegate(
            std::weak_ptr<VelkoraQuizProfileTableCellDelegate>(sharedAs<VelkoraQuizProfileViewController>()));
    }
    cell->setFrame(ui::Rect(0, 0, table.bounds().width(), heightForRowAtIndexPath(table, indexPath)));
    if (indexPath.row >= 0 && indexPath.row < kRowCount) {
        cell->updateWithTitle(quizProfileTableTitles_[indexPath.row], indexPath.row == 0);
        if (indexPath.row == 3) setCellSoundsFlag(cell.get());
    }
    cell->setBackgroundColor(ui::Color::clear());
    return cell;
}

std::optional<ui::IndexPath>
VelkoraQuizProfileViewController::willSelectRowAtIndexPath(ui::TableView&, const ui::IndexPath& indexPath) {
    // The play row acts through its button only.
    if (indexPath.row == 0) return std::nullopt;
    return indexPath;
}

void VelkoraQuizProfileViewController::didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) {
    switch (indexPath.row) {
    case 1:
        openPurchaseView();
        break;
    case 2:
        openLeaderboardView();
        break;
    case 3:
        switchSoundsFlag();
        setCellSoundsFlag(dynamic_cast<VelkoraQuizProfileTableCell*>(table.cellForRowAtIndexPath(indexPath).get()));
        break;
    default:
        Log::line("Velkora (E) - QUIZ END: Unknown option selected !!");
        break;
    }
    table.deselectRowAtIndexPath(indexPath, true);
}

void VelkoraQuizProfileViewController::push(const std::shared_ptr<VelkoraGeneralFeatureViewController>& screen,
                                            const std::string& title) {
    if (!screen) return;
    screen->setFeatureTabDelegate(featureTabDelegate());
    screen->setTitleText(title);
    if (auto* nav = navigationController()) nav->pushViewController(screen, true);
}

void VelkoraQuizProfileViewController::playGameClicked() {
    push(VelkoraQuizzesViewController::create(), text("velkora_text_quizzes_title"));
}

void VelkoraQuizProfileViewController::openPurchaseView() {
    push(VelkoraQuizPurchaseViewController::create(-1, -1), text("velkora_text_quiz_purchase_title"));
}

void VelkoraQuizProfileViewController::openLeaderboardView() {
    // The overall leaderboard: level "".
    foundation::Dictionary arguments{
        {VelkoraScreenArguments::kOpenedAs, foundation::Value(VelkoraScreenArguments::kOpenedInNavigation)},
        {VelkoraScreenArguments::kObject1, foundation::Value(std::string())}};
    auto screen = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(
        VelkoraScreenRegistry::instance().makeScreen("leaderboard", foundation::Value(std::move(arguments))));
    // The profile button belongs to the leaderboard opened as a feature of its own.
    if (screen) screen->setShouldShowProfileButton(false);
    push(screen, text("velkora_text_quiz_profile_leaderboard_label"));
}

void VelkoraQuizProfileViewController::switchSoundsFlag() {
    auto info = session().userInfo();
    if (!info) return;
    info->setPlayQuizOnMute(!info->playQuizOnMute());
    session().saveUserInfo();
}

void VelkoraQuizProfileViewController::setCellSoundsFlag(VelkoraQuizProfileTableCell* cell) {
    auto info = session().userInfo();
    if (cell) cell->setSoundsFlag(info && info->playQuizOnMute());
}

} // namespace velkora
