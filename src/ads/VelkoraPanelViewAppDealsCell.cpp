#include "ads/VelkoraPanelViewAppDealsCell.h"

#include "ads/VelkoraAdsSupport.h"
#include "data/VelkoraAppDealsRepository.h"
#include "session/VelkoraStyleSheetCustomizer.h"

namespace velkora {

namespace {
constexpr uint32_t kSidebarScreen = 2;
}

std::shared_ptr<VelkoraPanelViewAppDealsCell> VelkoraPanelViewAppDealsCell::initFromNib() {
    registerAdsClasses();
    auto cell = std::dynamic_pointer_cast<VelkoraPanelViewAppDealsCell>(
        ui::InterfaceLoader::instance().loadFirstObject(kInterface));
    if (!cell) return nullptr;
    if (cell->appDealsScrollView_)
        cell->appDealsScrollView_->setDelegate(cell->sharedAs<VelkoraPanelViewAppDealsCell>());
    auto selected = ui::View::create(cell->frame());
    selected->setBackgroundColor(ui::Color::rgba(29 / 255.0, 29 / 255.0, 29 / 255.0, 1));
    cell->setSelectedBackgroundView(selected);
    auto& customizer = VelkoraStyleSheetCustomizer::instance();
    customizer.customizeTableCellSelectedBackgroundView(cell->selectedBackgroundView().get(), kSidebarScreen);
    customizer.customizeTableCellTitleLabel(cell->dealsTitleLabel_.get(), kSidebarScreen);
    return cell;
}

void VelkoraPanelViewAppDealsCell::registerInterfaceBindings(ui::InterfaceBindings& bindings) {
    bindings.outlet("dealsTitleLabel", dealsTitleLabel_);
    bindings.outlet("dealsIcon", dealsIcon_);
    bindings.outlet("appDealsScrollView", appDealsScrollView_);
}

void VelkoraPanelViewAppDealsCell::updateData(const std::shared_ptr<VelkoraPanelCommand>& command, bool /*isLast*/) {
    theCommand_ = command;
    if (command) {
        if (dealsTitleLabel_) dealsTitleLabel_->setText(command->title().value_or(""));
        if (dealsIcon_) dealsIcon_->setImage(command->icon());
    }
    if (!appDealsScrollView_) return;
    appDealsScrollView_->applyNewAppDeals(VelkoraAppDealsRepository::instance().appDeals());
    appDealsScrollView_->setShowsHorizontalScrollIndicator(false);
}

void VelkoraPanelViewAppDealsCell::scrollViewDidEndDragging(ui::ScrollView& /*scrollView*/, bool willDecelerate) {
    if (!willDecelerate && appDealsScrollView_) appDealsScrollView_->sendEventForViewedDeals(frame().size.width);
}

void VelkoraPanelViewAppDealsCell::scrollViewDidEndDecelerating(ui::ScrollView& /*scrollView*/) {
    if (appDealsScrollView_) appDealsScrollView_->sendEventForViewedDeals(frame().size.width);
}

} // namespace velkora
