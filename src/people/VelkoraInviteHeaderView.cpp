#include "people/VelkoraInviteHeaderView.h"

#include "people/VelkoraFriendsSupport.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "shell/VelkoraProfileSupport.h"

namespace velkora {

VelkoraInviteHeaderView::~VelkoraInviteHeaderView() {
    delegate_.reset();
}

bool VelkoraInviteHeaderView::loadNib() {
    friends::registerFriendsViewClasses();
    ui::InterfaceLoader::instance().loadNibNamed(kInterface, this);
    if (!toplevelSubview_) return false;
    addSubview(toplevelSubview_);
    setFrame(toplevelSubview_->frame());
    // "conenct" is the key's own spelling.
    if (connectButton_) connectButton_->setTitle(profiles::text("velkora_text_conenct_button"));
    if (followAllButton_) followAllButton_->setTitle(profiles::text("velkora_text_follow_all_button"));
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeTableSectionHeaderLabel(headerLabel_.get(), styleScreenIdentifier_);
    style.customizeTableSectionHeaderImageView(backgroundView_.get(), styleScreenIdentifier_);
    style.customizeTableSectionHeaderFollowButton(followAllButton_.get(), styleScreenIdentifier_);
    style.customizeTableSectionHeaderConnectButton(connectButton_.get(), styleScreenIdentifier_);
    return true;
}

double VelkoraInviteHeaderView::getHeight() const {
    return toplevelSubview_ ? toplevelSubview_->frame().height() : 0;
}

void VelkoraInviteHeaderView::connectButtonTapped(ui::Control*) {
    if (auto d = delegate_.lock()) d->connectTapped(*this);
}

void VelkoraInviteHeaderView::followAllButtonTapped(ui::Control*) {
    if (auto d = delegate_.lock()) d->followAllTapped(*this);
}

void VelkoraInviteHeaderView::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("toplevelSubview", toplevelSubview_);
    b.outlet("backgroundView", backgroundView_);
    b.outlet("headerLabel", headerLabel_);
    b.outlet("followAllButton", followAllButton_);
    b.outlet("connectButton", connectButton_);
    b.outlet("headerLabelTrailingSpaceConstraint", headerLabelTrailingSpaceConstraint_);
    b.action("connectTapped:", this, &VelkoraInviteHeaderView::connectButtonTapped);
    b.action("followAllTapped:", this, &VelkoraInviteHeaderView::followAllButtonTapped);
}

} // namespace velkora
