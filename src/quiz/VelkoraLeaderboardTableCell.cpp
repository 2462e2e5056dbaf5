#include "quiz/VelkoraLeaderboardTableCell.h"

#include <cstdio>

#include "data/VelkoraUtils.h"
#include "shell/VelkoraProfileSupport.h"
#include "platform/foundation/Bundle.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppSettings.h"
#include "shell/VelkoraLazyImageView.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "data/VelkoraUserDetailsDisplayer.h"

namespace velkora {

void VelkoraLeaderboardTableCell::registerClass() {
    profiles::registerPeopleViewClasses();
    auto& loader = ui::InterfaceLoader::instance();
    if (!loader.hasClass("VelkoraLeaderboardTableCell"))
        loader.registerClass("VelkoraLeaderboardTableCell",
                             [] { return std::make_shared<VelkoraLeaderboardTableCell>(); });
}

std::shared_ptr<VelkoraLeaderboardTableCell> VelkoraLeaderboardTableCell::initFromNib() {
    registerClass();
    auto cell = std::dynamic_pointer_cast<VelkoraLeaderboardTableCell>(
        ui::InterfaceLoader::instance().loadFirstObject(kInterface));
    if (cell) cell->myInit();
    return cell;
}

void VelkoraLeaderboardTableCell::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("userImageView", userImageView_);
    b.outlet("userImageFrameView", userImageFrameView_);
    b.outlet("userPositionLabel", userPositionLabel_);
    b.outlet("userNameLabel", userNameLabel_);
    b.outlet("userLocationLabel", userLocationLabel_);
    b.outlet("userScoreLabel", userScoreLabel_);
    b.outlet("nameLabelTopSpaceConstraint", nameLabelTopSpaceConstraint_);
}

void VelkoraLeaderboardTableCell::myInit() {
    setBackgroundView(ui::View::create());
    auto selected = ui::View::create(ui::Rect(0, 0, frame().width(), frame().height()));
    selected->setBackgroundColor(ui::Color::rgba(29 / 255.0, 29 / 255.0, 29 / 255.0, 1.0));
    setSelectedBackgroundView(selected);
    if (userImageView_) {
        userImageView_->layer().setCornerRadius(7.0);
        userImageView_->setClipsToBounds(true);
    }
    if (userNameLabel_) nameOrigY_ = userNameLabel_->frame().y();
    if (userLocationLabel_) locationOrigY_ = userLocationLabel_->frame().y();
    if (userNameLabel_) VelkoraAppSettings::setLeadingColor(*userNameLabel_);
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeUserPhotoFrameImage(userImageFrameView_.get(), kScreenId);
    style.customizeTableCellTitleLabel(userNameLabel_.get(), kScreenId);
    style.customizeLeaderboardUserLocationLabel(userLocationLabel_.get(), kScreenId);
    style.customizeLeaderboardUserPositionLabel(userPositionLabel_.get(), kScreenId);
    style.customizeLeaderboardUserScoreLabel(userScoreLabel_.get(), kScreenId);
}

void VelkoraLeaderboardTableCell::updateWithScorePositionUser(const VelkoraScorePositionPtr& position) {
    cellUser_ = position;
    const VelkoraUserPtr user = position ? position->user() : nullptr;
    if (userImageView_) {
        userImageView_->setUsingCache(true);
        profiles::showUserPhoto(*userImageView_, user);
    }
    auto& bundle = foundation::Bundle::main();
    if (userLocationLabel_) userLocationLabel_->setText("");
    if (userNameLabel_) userNameLabel_->setText(VelkoraUserDetailsDisplayer::nameWithInitial(user.get()));
    if (userPositionLabel_) {
        char number[32];
        std::snprintf(number, sizeof number, "%02lld", static_cast<long long>(position ? position->position() : 0));
        userPositionLabel_->setText(number);
    }
    if (userScoreLabel_)
        userScoreLabel_->setText(
            VelkoraUtils::displayNumberAsDecimal(static_cast<double>(position ? position->score() : 0)));
    auto me = VelkoraAgentInternal::instance().velkoraUser();
    const bool mine = me && me->isEqual(user);
    // The player finds their own place at a glance, in the board and in the rows around them.
    if (backgroundView())
        backgroundView()->setBackgroundColor(mine ? VelkoraAppSettings::leadingColor().withAlpha(kOwnRowTint)
                                                  : ui::Color::clear());
    if (user && user->isAnonymous()) {
        if (userNameLabel_) userNameLabel_->setText(bundle.localizedString("velkora_text_guest_name_label"));
        if (mine && userLocationLabel_)
            userLocationLabel_->setText(bundle.localizedString("velkora_text_guest_me_description_label"));
    }
    if (nameLabelTopSpaceConstraint_ && userNameLabel_) {
        const bool hasLocation = userLocationLabel_ && !userLocationLabel_->text().empty();
        nameLabelTopSpaceConstraint_->setConstant(
            hasLocation ? 0.0 : (frame().height() - userNameLabel_->frame().height()) * 0.5);
    }
    setNeedsLayout();
}

} // namespace velkora
