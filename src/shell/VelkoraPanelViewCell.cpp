#include "shell/VelkoraPanelViewCell.h"

#include <string>

#include "shell/VelkoraSidebarClasses.h"
#include "session/VelkoraStyleSheetCustomizer.h"

namespace velkora {

namespace {
constexpr uint32_t kSidebarScreen = 2;
}

std::shared_ptr<VelkoraPanelViewCell> VelkoraPanelViewCell::initFromNib() {
    registerSidebarClasses();
    auto cell =
        std::dynamic_pointer_cast<VelkoraPanelViewCell>(ui::InterfaceLoader::instance().loadFirstObject(kInterface));
    if (!cell) return nullptr;
    cell->setReuseIdentifier(kReuseIdentifier);
    auto selected = ui::View::create(cell->frame());
    selected->setBackgroundColor(ui::Color::rgba(29 / 255.0, 29 / 255.0, 29 / 255.0, 1));
    cell->setSelectedBackgroundView(selected);
    auto& customizer = VelkoraStyleSheetCustomizer::instance();
    customizer.customizeTableCellSelectedBackgroundView(cell->selectedBackgroundView().get(), kSidebarScreen);
    customizer.customizeTableCellTitleLabel(cell->titleLabel_.get(), kSidebarScreen);
    customizer.customizeTableCellBadgeImageView(cell->badgeImage_.get(), kSidebarScreen);
    customizer.customizeTableCellBadgeLabel(cell->badgeLabel_.get(), kSidebarScreen);
    cell->awakeFromInterface();
    return cell;
}

void VelkoraPanelViewCell::registerInterfaceBindings(ui::InterfaceBindings& bindings) {
    bindings.outlet("titleLabel", titleLabel_);
    bindings.outlet("titleIcon", titleIcon_);
    bindings.outlet("badgeImage", badgeImage_);
    bindings.outlet("badgeLabel", badgeLabel_);
}

void VelkoraPanelViewCell::awakeFromInterface() {
    // Kept after the host's style sheet had its say, so the first style keeps the host's look too.
    if (badgeLabel_)
        fileBadgeLook_ = LabelLook{badgeLabel_->textColor(), badgeLabel_->shadowColor(), badgeLabel_->font()};
}

void VelkoraPanelViewCell::updateData(const std::shared_ptr<VelkoraPanelCommand>& command, bool /*isLast*/) {
    theCommand_ = command;
    if (!command) return;
    if (titleLabel_) titleLabel_->setText(command->title().value_or(""));
    if (titleIcon_) titleIcon_->setImage(command->icon());
    bool shown = command->badgeNumber() > 0;
    if (badgeLabel_) badgeLabel_->setHidden(!shown);
    if (badgeImage_) badgeImage_->setHidden(!shown);
    if (!shown) return;
    if (badgeLabel_) badgeLabel_->setText(std::to_string(command->badgeNumber()));
    if (command->useBadge2()) {
        if (badgeImage_) badgeImage_->setImage(ui::Image::named("VelImg_DashboardBadge2.png"));
        if (badgeLabel_) {
            badgeLabel_->setTextColor(ui::Color::black());
            badgeLabel_->setShadowColor(ui::Color::whiteColor());
            badgeLabel_->setFont(ui::Font::boldSystemFont(badgeLabel_->font()->pointSize()));
        }
    } else {
        if (badgeImage_) badgeImage_->setImage(ui::Image::named("VelImg_DashboardBadge1.png"));
        // A recycled cell that showed the second style would otherwise keep its black bold text.
        if (badgeLabel_ && fileBadgeLook_) {
            badgeLabel_->setTextColor(fileBadgeLook_->textColor);
            badgeLabel_->setShadowColor(fileBadgeLook_->shadowColor);
            badgeLabel_->setFont(fileBadgeLook_->font);
        }
    }
}

} // namespace velkora
