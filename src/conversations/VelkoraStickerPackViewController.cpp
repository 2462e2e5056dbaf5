#include "conversations/VelkoraStickerPackViewController.h"

#include "conversations/VelkoraEnhancedKeyboardView.h"
#include "conversations/VelkoraStickerPackStatusManager.h"
#include "conversations/VelkoraStickerStoreViewController.h"
#include "conversations/VelkoraStickersIAPHelper.h"
#include "data/VelkoraUtils.h"
#include "platform/foundation/Bundle.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Label.h"
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

using foundation::Value;

namespace {

std::string text(const char* key) {
    return foundation::Bundle::main().localizedString(key);
}

} // namespace

// ---- cell

VelkoraStickerPackCell::VelkoraStickerPackCell(const ui::Rect& frame) : ui::CollectionViewCell(frame) {}

std::shared_ptr<VelkoraStickerPackCell> VelkoraStickerPackCell::create(const ui::Rect& frame) {
    registerStickerViewClasses();
    auto cell = std::make_shared<VelkoraStickerPackCell>(frame);
    ui::InterfaceLoader::instance().loadNibNamed(VelkoraEnhancedKeyboardView::interfaceName("VelkoraStickerPackCell"),
                                                 cell.get());
    if (cell->topLevelView_) {
        cell->topLevelView_->setFrame(cell->bounds());
        cell->topLevelView_->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleHeight);
        cell->contentView()->addSubview(cell->topLevelView_);
    }
    if (cell->stickerImage_) cell->stickerImage_->setUsingCache(true);
    return cell;
}

void VelkoraStickerPackCell::updateWithSticker(const VelkoraStickerPtr& sticker) {
    if (!stickerImage_) return;
    stickerImage_->setImage(nullptr);
    if (sticker && sticker->url() && !sticker->url()->empty()) stickerImage_->getImage(*sticker->url());
}

void VelkoraStickerPackCell::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("topLevelView", topLevelView_);
    b.outlet("stickerImage", stickerImage_);
}

// ---- screen

VelkoraStickerPackViewController::VelkoraStickerPackViewController(VelkoraStickerPackPtr pack)
    : VelkoraGeneralFeatureViewController(VelkoraEnhancedKeyboardView::interfaceName("VelkoraStickerPack")),
      pack_(std::move(pack)) {}

std::shared_ptr<VelkoraStickerPackViewController> VelkoraStickerPackViewController::create(VelkoraStickerPackPtr pack) {
    registerStickerViewClasses();
    if (!pack) pack = std::make_shared<VelkoraStickerPack>();
    return std::shared_ptr<VelkoraStickerPackViewController>(new VelkoraStickerPackViewController(std::move(pack)));
}

VelkoraStickerPackViewController::~VelkoraStickerPackViewController() {
    VelkoraServerApi::clearUserDelegate(this);
}

void VelkoraStickerPackViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraGeneralFeatureViewController::registerInterfaceBindings(b);
    b.outlet("activityIndicator", activityIndicator_);
    b.outlet("buttonActivityIndicator", buttonActivityIndicator_);
    b.outlet("packIcon", packIcon_);
    b.outlet("actionButton", actionButton_);
    b.outlet("packTitle", packTitle_);
    b.outlet("packSubtitle", packSubtitle_);
    b.outlet("stickersView", stickersView_);
    b.outlet("packTitleHeightConstraint", packTitleHeightConstraint_);
    b.outlet("packTitleLeadingSpaceConstraint", packTitleLeadingSpaceConstraint_);
    b.outlet("packTitleTrailingSpaceConstraint", packTitleTrailingSpaceConstraint_);
    b.outlet("packSubtitleHeightConstraint", packSubtitleHeightConstraint_);
    b.outlet("headerViewBottomSpaceToIconConstraint", headerViewBottomSpaceToIconConstraint_);
    b.outlet("headerViewBottonSpaceToSubtitleConstraint", headerViewBottonSpaceToSubtitleConstraint_);
    b.action("actionClicked:", this, &VelkoraStickerPackViewController::actionClicked);
}

void VelkoraStickerPackViewController::viewDidLoad() {
    setStyleScreenIdentifier(kScreenId);
    VelkoraGeneralFeatureViewController::viewDidLoad();
    // The button follows the pack's status for as long as the screen lives.
    auto refresh = [this](const foundation::Notification&) { updateActionButtonContent(); };
    addedObserver_ = foundation::NotificationObserver(kVelkoraNotificationStickerPackAdded, nullptr, refresh);
    dataObserver_ = foundation::NotificationObserver(kVelkoraNotificationStickersIAPDataGathered, nullptr, refresh);
    productObserver_ = foundation::NotificationObserver(kVelkoraNotificationStickersProductUpdated, nullptr, refresh);
    if (activityIndicator_) activityIndicator_->startAnimating();
    if (titleLabel()) titleLabel()->setText(text("velkora_text_sticker_pack"));
    askPack();
    if (packIcon_) packIcon_->setUsingCache(true);
    for (auto* label : {packTitle_.get(), packSubtitle_.get()})
        if (label) {
            label->setNumberOfLines(0);
            label->setLineBreakMode(ui::LineBreakMode::WordWrap);
        }
    if (packSubtitle_) packSubtitle_->setText(pack_->subtitle().value_or(""));
    if (packTitle_) packTitle_->setText(pack_->title().value_or(""));
    if (packIcon_ && pack_->icon() && !pack_->icon()->empty()) packIcon_->getImage(*pack_->icon());
    if (actionButton_ && actionButton_->titleLabel()) {
        actionButton_->titleLabel()->setAdjustsFontSizeToFitWidth(true);
        actionButton_->titleLabel()->setMinimumScaleFactor(0.7);
    }
    updateActionButtonContent();
    auto self = sharedAs<VelkoraStickerPackViewController>();
    if (stickersView_) {
        stickersView_->setDataSource(std::weak_ptr<ui::CollectionViewDataSource>(self));
        stickersView_->setDelegate(std::weak_ptr<ui::CollectionViewDelegate>(self));
        auto layout = stickersView_->layout();
        const double side = VelkoraEnhancedKeyboardView::isTablet() ? 90 : 64;
        layout.itemSize = ui::Size{side, side};
        layout.sectionInset = ui::EdgeInsets{10, 10, 10, 10};
        stickersView_->setLayout(layout);
        stickersView_->registerCellFactory(VelkoraStickerPackCell::kReuseIdentifier, [side] {
            return std::static_pointer_cast<ui::CollectionViewCell>(VelkoraStickerPackCell::create({0, 0, side, side}));
        });
    }
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeActionButton(actionButton_.get(), kScreenId);
    style.customizeStickerPackTitleLabel(packTitle_.get(), kScreenId);
    style.customizeStickerPackSubtitleLabel(packSubtitle_.get(), kScreenId);
    orientationObserver_ =
        foundation::NotificationObserver(ui::kApplicationDidChangeStatusBarOrientationNotification, nullptr,
                                         [this](const foundation::Notification&) { updateViewConstraints(); });
    updateViewConstraints();
}

void VelkoraStickerPackViewController::askPack() {
    auto self = sharedAs<VelkoraStickerPackViewController>();
    VelkoraServerApi::getStickerPack(VelkoraCallback(self, &VelkoraStickerPackViewController::gotStickerPack,
                                                     &VelkoraStickerPackViewController::gotStickerPackFailed),
                                     pack_->packId());
}

void VelkoraStickerPackViewController::viewDidAppear(bool animated) {
    VelkoraGeneralFeatureViewController::viewDidAppear(animated);
    VelkoraLogEventsManager::instance().logEvent("feature-viewed;stickerPack;" + std::to_string(pack_->packId()));
}

void VelkoraStickerPackViewController::gotStickerPack(const Value& value) {
    auto received = value.asObject<VelkoraStickerPack>();
    if (received) pack_->setStickers(received->stickers());
    if (activityIndicator_) activityIndicator_->stopAnimating();
    if (stickersView_) stickersView_->reloadData();
}

// The stickers did not come: the spinner stops, the user hears why, and they are asked for again once the
// service answers polls.
void VelkoraStickerPackViewController::gotStickerPackFailed(const foundation::ErrorPtr&) {
    pollObserver_ = failedUntilNextPoll(activityIndicator_.get(), [this] { askPack(); });
}

void VelkoraStickerPackViewController::updateActionButtonContent() {
    updateStickerActionButton(actionButton_.get(), buttonActivityIndicator_.get(), *pack_);
}

void VelkoraStickerPackViewController::actionClicked(ui::Control*) {
    startStickerPackAction(pack_);
    updateActionButtonContent();
}

int VelkoraStickerPackViewController::numberOfItemsInSection(ui::CollectionView&, int) {
    return static_cast<int>(pack_->stickers().size());
}

ui::CollectionViewCellPtr VelkoraStickerPackViewController::cellForItemAtIndexPath(ui::CollectionView& view,
                                                                                   const ui::IndexPath& indexPath) {
    auto cell = std::dynamic_pointer_cast<VelkoraStickerPackCell>(
        view.dequeueReusableCellWithReuseIdentifier(VelkoraStickerPackCell::kReuseIdentifier, indexPath));
    if (cell && indexPath.row < static_cast<int>(pack_->stickers().size()))
        cell->updateWithSticker(pack_->stickers()[indexPath.row]);
    return cell;
}

void VelkoraStickerPackViewController::updateViewConstraints() {
    auto d = featureTabDelegate();
    VelkoraScreenState s;
    s.isTablet = VelkoraEnhancedKeyboardView::isTablet();
    s.showsInPopover = VelkoraAgentInternal::instance().popover() != nullptr;
    s.statusBarOrientation = ui::Application::instance().statusBarOrientation();
    const ui::Rect b = ui::Screen::main().bounds();
    s.screenWidth = static_cast<float>(b.width());
    s.screenHeight = static_cast<float>(b.height());
    double width = VelkoraUtils::widthAdjustedForInterfaceOrientation(d ? d->isOpenedAsFeature() : true, s);
    if (packTitleLeadingSpaceConstraint_) width -= packTitleLeadingSpaceConstraint_->constant();
    if (packTitleTrailingSpaceConstraint_) width -= packTitleTrailingSpaceConstraint_->constant();
    double growth = 0;
    if (packTitle_ && packTitleHeightConstraint_) {
        const double h = stickerLabelTextHeight(*packTitle_, width) + 2;
        growth += h - packTitleHeightConstraint_->constant();
        packTitleHeightConstraint_->setConstant(h);
    }
    if (packSubtitle_ && packSubtitleHeightConstraint_) {
        const double h = stickerLabelTextHeight(*packSubtitle_, width) + 2;
        growth += h - packSubtitleHeightConstraint_->constant();
        packSubtitleHeightConstraint_->setConstant(h);
    }
    if (packSubtitle_ && packIcon_ && headerViewBottomSpaceToIconConstraint_ &&
        headerViewBottonSpaceToSubtitleConstraint_) {
        const double subtitleBottom = packSubtitle_->frame().maxY() + growth;
        const bool belowIcon = subtitleBottom > packIcon_->frame().maxY();
        headerViewBottomSpaceToIconConstraint_->setPriority(belowIcon ? 700 : 800);
        headerViewBottonSpaceToSubtitleConstraint_->setPriority(belowIcon ? 800 : 700);
    }
    view()->setNeedsLayout();
}

} // namespace velkora
