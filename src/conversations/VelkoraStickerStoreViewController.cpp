#include "conversations/VelkoraStickerStoreViewController.h"

#include <algorithm>
#include <cmath>

#include "conversations/VelkoraEnhancedKeyboardView.h"
#include "conversations/VelkoraStickerPackStatusManager.h"
#include "conversations/VelkoraStickerPackViewController.h"
#include "conversations/VelkoraStickersIAPHelper.h"
#include "data/VelkoraUtils.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Application.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TextLayout.h"
#include "platform/ui/UiNotifications.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "server/VelkoraServerApi.h"
#include "server/VelkoraServerClientAgent.h"
#include "server/utils/VelkoraLogEventsManager.h"
#include "session/VelkoraAgentInternal.h"
#include "shell/VelkoraLazyImageView.h"
#include "shell/VelkoraResizeableButton.h"
#include "session/VelkoraStyleSheetCustomizer.h"

namespace velkora {

using foundation::Log;
using foundation::Value;

namespace {

std::string text(const char* key) {
    return foundation::Bundle::main().localizedString(key);
}

VelkoraScreenState screenState() {
    VelkoraScreenState s;
    s.isTablet = VelkoraEnhancedKeyboardView::isTablet();
    s.showsInPopover = VelkoraAgentInternal::instance().popover() != nullptr;
    s.statusBarOrientation = ui::Application::instance().statusBarOrientation();
    const ui::Rect b = ui::Screen::main().bounds();
    s.screenWidth = static_cast<float>(b.width());
    s.screenHeight = static_cast<float>(b.height());
    return s;
}

// The failed list of a purchase names this pack.
bool namesPack(const foundation::Notification& n, int32_t packId) {
    if (const auto* failed = n.userInfo["failedTransactions"].asArray())
        for (const auto& id : *failed)
            if (id.int32Or(-1) == packId) return true;
    return false;
}

} // namespace

bool updateStickerActionButton(ui::Button* button, ui::ActivityIndicatorView* indicator,
                               const VelkoraStickerPack& pack) {
    if (!button) return false;
    button->setEnabled(true);
    button->setSelected(false);
    std::string label;
    bool waiting = false;
    if (pack.isFree()) {
        label = text("velkora_text_free_app_price");
    } else if (auto product = VelkoraStickersIAPServerManager::hasInstance()
                                  ? VelkoraStickersIAPServerManager::instance().productById(*pack.productId())
                                  : nullptr) {
        double price = 0;
        try {
            price = std::stod(product->price());
        } catch (...) {
            price = 0;
        }
        label = VelkoraUtils::displayNumberAsCurrency(price, product->priceLocale().localeIdentifier);
    } else {
        waiting = true;
    }
    const int32_t status = VelkoraStickerPackStatusManager::instance().getStickerPackStatus(pack.packId());
    bool spinning = false;
    if (status == VelkoraStickerPackStatusManager::kAdding) {
        button->setTitle("");
        button->setEnabled(false);
        spinning = true;
    } else if (status == VelkoraStickerPackStatusManager::kAdded) {
        button->setTitle(text("velkora_text_installed"));
        button->setEnabled(false);
        button->setSelected(true);
    } else {
        button->setTitle(label);
        button->setEnabled(!label.empty());
        spinning = label.empty();
    }
    if (indicator) {
        if (spinning)
            indicator->startAnimating();
        else
            indicator->stopAnimating();
    }
    return waiting;
}

bool startStickerPackAction(const VelkoraStickerPackPtr& pack) {
    if (!pack) return false;
    if (!pack->isFree()) {
        // Without the store's data nothing is bought, so nothing is marked as being added either.
        if (!VelkoraStickersIAPServerManager::instance().buyProductByKey(*pack->productId(), pack->packId()))
            return false;
    }
    VelkoraStickerPackStatusManager::instance().addStickerPack(pack, pack->isFree());
    return true;
}

foundation::NotificationObserver failedUntilNextPoll(ui::ActivityIndicatorView* indicator,
                                                     std::function<void()> askAgain) {
    if (indicator) indicator->stopAnimating();
    VelkoraStickerPackStatusManager::showNotice("velkora_text_no_network_message");
    // One answer at most: the observer is the caller's and goes with it.
    auto once = std::make_shared<bool>(false);
    return foundation::NotificationObserver(
        VelkoraServerClientAgent::kUpdatePollAnsweredNotification, nullptr,
        [indicator, once, askAgain = std::move(askAgain)](const foundation::Notification&) {
            if (*once) return;
            *once = true;
            if (indicator) indicator->startAnimating();
            askAgain();
        });
}

double stickerLabelTextHeight(const ui::Label& label, double width) {
    const std::string t = label.text();
    if (t.empty() || !label.font()) return 0;
    return ui::measureText(t, *label.font(), width, 0, ui::LineBreakMode::WordWrap).height;
}

// ---- cell

std::shared_ptr<VelkoraStickerStoreCell> VelkoraStickerStoreCell::initFromNib() {
    registerStickerViewClasses();
    auto cell = std::dynamic_pointer_cast<VelkoraStickerStoreCell>(
        ui::InterfaceLoader::instance().loadFirstObject("VelkoraStickerStoreCell"));
    if (cell) cell->myInit();
    return cell;
}

VelkoraStickerStoreCell::~VelkoraStickerStoreCell() = default;

void VelkoraStickerStoreCell::myInit() {
    setReuseIdentifier(kReuseIdentifier);
    setBackgroundView(ui::View::create(bounds()));
    if (restoreProductsButton_) {
        restoreProductsButton_->setHidden(true);
        restoreProductsButton_->setTitle(text("velkora_text_restore_purchases"));
    }
    auto selected = ui::Button::create(ui::ButtonType::Custom, frame());
    selected->setBackgroundColor(ui::Color::rgba(29 / 255.0, 29 / 255.0, 29 / 255.0, 1.0));
    setSelectedBackgroundView(selected);
    if (packIcon_) packIcon_->setUsingCache(true);
    if (actionButton_ && actionButton_->titleLabel()) {
        actionButton_->titleLabel()->setAdjustsFontSizeToFitWidth(true);
        actionButton_->titleLabel()->setMinimumScaleFactor(0.7);
    }
    for (auto* label : {titleLabel_.get(), subtitleLabel_.get()})
        if (label) {
            label->setNumberOfLines(0);
            label->setLineBreakMode(ui::LineBreakMode::WordWrap);
        }
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeTableCellSeparatorView(endLineImageView_.get(), kScreenId);
    style.customizeTableCellSelectedBackgroundView(selected.get(), kScreenId);
    style.customizeTableCellTitleLabel(titleLabel_.get(), kScreenId);
    style.customizeTableCellDescriptionLabel(subtitleLabel_.get(), kScreenId);
    style.customizeActionButton(actionButton_.get(), kScreenId);
}

// Every row follows its pack's status, whichever screen started a purchase or add: the purchase layer
// clears the packs that failed, the rows only redraw.
void VelkoraStickerStoreCell::observeProductUpdates() {
    auto refresh = [this](const foundation::Notification&) { updateByPackStatus(); };
    productObserver_ = foundation::NotificationObserver(
        kVelkoraNotificationStickersProductUpdated, nullptr, [this](const foundation::Notification& n) {
            if (pack_ && namesPack(n, pack_->packId())) {
                Log::line("Velkora - Failed transaction for pack with id %d, removing from inner map", pack_->packId());
                VelkoraStickerPackStatusManager::instance().clearStickerPack(pack_->packId());
            }
            updateByPackStatus();
        });
    addedObserver_ = foundation::NotificationObserver(kVelkoraNotificationStickerPackAdded, nullptr, refresh);
}

double VelkoraStickerStoreCell::updateWithPack(const VelkoraStickerPackPtr& pack) {
    pack_ = pack;
    for (ui::View* v : std::initializer_list<ui::View*>{titleLabel_.get(), subtitleLabel_.get(), actionButton_.get(),
                                                        packIcon_.get()})
        if (v) v->setHidden(false);
    if (cellButton_) cellButton_->setEnabled(true);
    if (restoreProductsButton_) restoreProductsButton_->setHidden(true);
    layoutIfNeeded();
    if (titleLabel_) titleLabel_->setText(pack ? pack->title().value_or("") : "");
    if (subtitleLabel_) subtitleLabel_->setText(pack ? pack->subtitle().value_or("") : "");
    auto delegate = delegate_.lock();
    double width = VelkoraUtils::widthAdjustedForInterfaceOrientation(delegate ? delegate->isOpenedAsFeature() : true,
                                                                      screenState());
    if (titleLabelLeadingSpaceConstraint_) width -= titleLabelLeadingSpaceConstraint_->constant();
    if (titleLabelTrailingSpaceConstraint_) width -= titleLabelTrailingSpaceConstraint_->constant();
    if (titleLabel_ && titleLabelHeightConstraint_)
        titleLabelHeightConstraint_->setConstant(stickerLabelTextHeight(*titleLabel_, width) + 5);
    if (subtitleLabel_ && subtitleLabelHeightConstraint_)
        subtitleLabelHeightConstraint_->setConstant(stickerLabelTextHeight(*subtitleLabel_, width) + 5);
    if (packIcon_) {
        packIcon_->setImage(nullptr);
        if (pack && pack->icon() && !pack->icon()->empty()) packIcon_->getImage(*pack->icon());
    }
    observeProductUpdates();
    updateByPackStatus();
    placeSeparator();
    return endLineImageView_ ? endLineImageView_->frame().maxY() : frame().height();
}

void VelkoraStickerStoreCell::placeSeparator() {
    if (endLineTopSpaceToIconConstraint_) endLineTopSpaceToIconConstraint_->setPriority(800);
    if (endLineTopSpaceToSubtitleConstraint_) endLineTopSpaceToSubtitleConstraint_->setPriority(700);
    setNeedsLayout();
    layoutIfNeeded();
    if (subtitleLabel_ && packIcon_ && subtitleLabel_->frame().maxY() > packIcon_->frame().maxY()) {
        if (endLineTopSpaceToIconConstraint_) endLineTopSpaceToIconConstraint_->setPriority(700);
        if (endLineTopSpaceToSubtitleConstraint_) endLineTopSpaceToSubtitleConstraint_->setPriority(800);
        setNeedsLayout();
        layoutIfNeeded();
    }
}

double VelkoraStickerStoreCell::updateWithRestore() {
    pack_.reset();
    productObserver_.reset();
    addedObserver_.reset();
    dataObserver_.reset();
    for (ui::View* v : std::initializer_list<ui::View*>{titleLabel_.get(), subtitleLabel_.get(), actionButton_.get(),
                                                        packIcon_.get()})
        if (v) v->setHidden(true);
    if (activityIndicator_) activityIndicator_->stopAnimating();
    if (cellButton_) cellButton_->setEnabled(false);
    if (restoreProductsButton_) restoreProductsButton_->setHidden(false);
    if (endLineTopSpaceToIconConstraint_) endLineTopSpaceToIconConstraint_->setPriority(800);
    if (endLineTopSpaceToSubtitleConstraint_) endLineTopSpaceToSubtitleConstraint_->setPriority(700);
    setNeedsLayout();
    layoutIfNeeded();
    return endLineImageView_ ? endLineImageView_->frame().maxY() : frame().height();
}

void VelkoraStickerStoreCell::updateByPackStatus() {
    if (!pack_) return;
    const bool waiting = updateStickerActionButton(actionButton_.get(), activityIndicator_.get(), *pack_);
    if (waiting && !dataObserver_)
        dataObserver_ = foundation::NotificationObserver(kVelkoraNotificationStickersIAPDataGathered, nullptr,
                                                         [this](const foundation::Notification&) {
                                                             dataObserver_.reset();
                                                             updateByPackStatus();
                                                         });
}

void VelkoraStickerStoreCell::cellClicked(ui::Control*) {
    if (auto d = delegate_.lock()) d->cellClicked(pack_);
}

void VelkoraStickerStoreCell::restoreClicked(ui::Control*) {
    if (auto d = delegate_.lock()) d->restoreClicked();
}

void VelkoraStickerStoreCell::actionClicked(ui::Control*) {
    startStickerPackAction(pack_);
    updateByPackStatus();
}

void VelkoraStickerStoreCell::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("cellButton", cellButton_);
    b.outlet("titleLabel", titleLabel_);
    b.outlet("subtitleLabel", subtitleLabel_);
    b.outlet("actionButton", actionButton_);
    b.outlet("packIcon", packIcon_);
    b.outlet("activityIndicator", activityIndicator_);
    b.outlet("endLineImageView", endLineImageView_);
    b.outlet("restoreProductsButton", restoreProductsButton_);
    b.outlet("titleLabelHeightConstraint", titleLabelHeightConstraint_);
    b.outlet("titleLabelLeadingSpaceConstraint", titleLabelLeadingSpaceConstraint_);
    b.outlet("titleLabelTrailingSpaceConstraint", titleLabelTrailingSpaceConstraint_);
    b.outlet("nameLabelTopSpaceConstraint", nameLabelTopSpaceConstraint_);
    b.outlet("subtitleLabelHeightConstraint", subtitleLabelHeightConstraint_);
    b.outlet("endLineTopSpaceToIconConstraint", endLineTopSpaceToIconConstraint_);
    b.outlet("endLineTopSpaceToSubtitleConstraint", endLineTopSpaceToSubtitleConstraint_);
    b.action("cellClicked:", this, &VelkoraStickerStoreCell::cellClicked);
    b.action("restoreClicked:", this, &VelkoraStickerStoreCell::restoreClicked);
    b.action("actionClicked:", this, &VelkoraStickerStoreCell::actionClicked);
}

// ---- screen

VelkoraStickerStoreViewController::VelkoraStickerStoreViewController()
    : VelkoraGeneralFeatureViewController(VelkoraEnhancedKeyboardView::interfaceName("VelkoraStickerStore")) {}

std::shared_ptr<VelkoraStickerStoreViewController> VelkoraStickerStoreViewController::create() {
    registerStickerViewClasses();
    return std::shared_ptr<VelkoraStickerStoreViewController>(new VelkoraStickerStoreViewController());
}

VelkoraStickerStoreViewController::~VelkoraStickerStoreViewController() {
    VelkoraServerApi::clearUserDelegate(this);
}

void VelkoraStickerStoreViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraGeneralFeatureViewController::registerInterfaceBindings(b);
    b.outlet("packTable", packTable_);
    b.outlet("activityIndicator", activityIndicator_);
}

void VelkoraStickerStoreViewController::viewDidLoad() {
    setStyleScreenIdentifier(kScreenId);
    VelkoraGeneralFeatureViewController::viewDidLoad();
    auto self = sharedAs<VelkoraStickerStoreViewController>();
    if (packTable_) {
        packTable_->setDataSource(std::weak_ptr<ui::TableViewDataSource>(self));
        packTable_->setDelegate(std::weak_ptr<ui::TableViewDelegate>(self));
        packTable_->setSeparatorStyle(ui::TableViewCellSeparatorStyle::None);
    }
    if (activityIndicator_) {
        activityIndicator_->setCenter(ui::Point{view()->bounds().width() / 2, view()->bounds().height() / 2});
        activityIndicator_->startAnimating();
    }
    if (titleLabel()) titleLabel()->setText(text("velkora_text_sticker_store"));
    orientationObserver_ = foundation::NotificationObserver(ui::kApplicationDidChangeStatusBarOrientationNotification,
                                                            nullptr, [this](const foundation::Notification&) {
                                                                if (packTable_) packTable_->reloadData();
                                                            });
    askStore();
}

void VelkoraStickerStoreViewController::askStore() {
    auto self = sharedAs<VelkoraStickerStoreViewController>();
    VelkoraServerApi::getStickerStore(VelkoraCallback(self, &VelkoraStickerStoreViewController::gotStickerStore,
                                                      &VelkoraStickerStoreViewController::gotStickerStoreFailed));
}

void VelkoraStickerStoreViewController::viewDidAppear(bool animated) {
    VelkoraGeneralFeatureViewController::viewDidAppear(animated);
    VelkoraLogEventsManager::instance().logEvent("feature-viewed;stickerStore");
}

void VelkoraStickerStoreViewController::gotStickerStore(const Value& packs) {
    packs_.clear();
    if (const auto* list = packs.asArray())
        for (const auto& p : *list)
            if (auto pack = p.asObject<VelkoraStickerPack>()) packs_.push_back(pack);
    if (activityIndicator_) activityIndicator_->stopAnimating();
    if (packTable_) packTable_->reloadData();
    VelkoraStickersIAPServerManager::instance().initProducts(packs_);
}

// The list did not come: the spinner stops, the user hears why, and the list is asked for again once the
// service answers polls.
void VelkoraStickerStoreViewController::gotStickerStoreFailed(const foundation::ErrorPtr&) {
    pollObserver_ = failedUntilNextPoll(activityIndicator_.get(), [this] { askStore(); });
}

int VelkoraStickerStoreViewController::numberOfRowsInSection(ui::TableView&, int) {
    return static_cast<int>(packs_.size()) + 1;
}

std::shared_ptr<VelkoraStickerStoreCell> VelkoraStickerStoreViewController::preparedCell(ui::TableView& table) {
    auto cell = std::dynamic_pointer_cast<VelkoraStickerStoreCell>(
        table.dequeueReusableCellWithIdentifier(VelkoraStickerStoreCell::kReuseIdentifier));
    if (!cell) cell = VelkoraStickerStoreCell::initFromNib();
    return cell;
}

ui::TableViewCellPtr VelkoraStickerStoreViewController::cellForRowAtIndexPath(ui::TableView& table,
                                                                              const ui::IndexPath& indexPath) {
    auto cell = preparedCell(table);
    if (!cell) return nullptr;
    cell->setDelegate(std::weak_ptr<VelkoraStickerStoreCellDelegate>(sharedAs<VelkoraStickerStoreViewController>()));
    cell->setFrame(ui::Rect(0, 0, table.bounds().width(), cell->frame().height()));
    if (indexPath.row < static_cast<int>(packs_.size()))
        cell->updateWithPack(packs_[indexPath.row]);
    else
        cell->updateWithRestore();
    return cell;
}

double VelkoraStickerStoreViewController::heightForRowAtIndexPath(ui::TableView& table,
                                                                  const ui::IndexPath& indexPath) {
    if (!measuringCell_) measuringCell_ = VelkoraStickerStoreCell::initFromNib();
    if (!measuringCell_) return 0; // no cell can be made for the row either: it takes no room
    measuringCell_->setDelegate(
        std::weak_ptr<VelkoraStickerStoreCellDelegate>(sharedAs<VelkoraStickerStoreViewController>()));
    measuringCell_->setFrame(ui::Rect(0, 0, table.bounds().width(), measuringCell_->frame().height()));
    double height = indexPath.row < static_cast<int>(packs_.size())
                        ? measuringCell_->updateWithPack(packs_[indexPath.row])
                        : measuringCell_->updateWithRestore();
    return height;
}

void VelkoraStickerStoreViewController::willDisplayCell(ui::TableView&, ui::TableViewCell& cell, const ui::IndexPath&) {
    cell.setBackgroundColor(ui::Color::clear());
}

void VelkoraStickerStoreViewController::cellClicked(const VelkoraStickerPackPtr& pack) {
    if (!pack) return;
    auto screen = VelkoraStickerPackViewController::create(pack);
    screen->setFeatureTabDelegate(featureTabDelegate());
    if (auto* nav = navigationController()) nav->pushViewController(screen, true);
}

void VelkoraStickerStoreViewController::restoreClicked() {
    if (activityIndicator_) activityIndicator_->startAnimating();
    restoreObserver_ =
        foundation::NotificationObserver(kVelkoraNotificationStickersProductUpdated, nullptr,
                                         [this](const foundation::Notification&) { stickersRestored(); });
    VelkoraStickersIAPHelper::instance().restoreProducts();
}

void VelkoraStickerStoreViewController::stickersRestored() {
    if (activityIndicator_) activityIndicator_->stopAnimating();
    restoreObserver_.reset();
    if (packTable_) packTable_->reloadData();
}

bool VelkoraStickerStoreViewController::isOpenedAsFeature() {
    auto d = featureTabDelegate();
    return d ? d->isOpenedAsFeature() : true;
}

} // namespace velkora
