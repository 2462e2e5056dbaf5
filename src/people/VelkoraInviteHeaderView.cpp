#include "people/VelkoraInviteHeaderView.h"

#include "platform/foundation/Bundle.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "shell/VelkoraStyleSheetCustomizer.h"

namespace velkora {

VelkoraInviteHeaderView::~VelkoraInviteHeaderView() = default;

void VelkoraInviteHeaderView::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("toplevelSubview", toplevelSubview_);
    b.outlet("backgroundView", backgroundView_);
    b.outlet("headerLabel", headerLabel_);
    b.outlet("followAllButton", followAllButton_);
    b.outlet("connectButton", connectButton_);
    b.outlet("headerLabelTrailingSpaceConstraint", headerLabelTrailingSpaceConstraint_);
    b.action("connectTapped:", this, &VelkoraInviteHeaderView::connectTapped);
    b.action("followAllTapped:", this, &VelkoraInviteHeaderView::followAllTapped);
}

void VelkoraInviteHeaderView::loadNib() {
    if (toplevelSubview_) return;
    ui::InterfaceLoader::instance().loadNibNamed(kInterface, this);
    if (!toplevelSubview_) return;
    setFrame(toplevelSubview_->frame());
    toplevelSubview_->setFrame(ui::Rect(0, 0, toplevelSubview_->frame().width(), toplevelSubview_->frame().height()));
    addSubview(toplevelSubview_);
    auto& bundle = foundation::Bundle::main();
    // The key is spelt as the strings table has it.
    if (connectButton_) connectButton_->setTitle(bundle.localizedString("velkora_text_conenct_button"));
    if (followAllButton_) followAllButton_->setTitle(bundle.localizedString("velkora_text_follow_all_button"));
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeTableSectionHeaderLabel(headerLabel_.get(), styleScreenIdentifier_);
    style.customizeTableSectionHeaderImageView(backgroundView_.get(), styleScreenIdentifier_);
    style.customizeTableSectionHeaderFollowButton(followAllButton_.get(), styleScreenIdentifier_);
    style.customizeTableSectionHeaderConnectButton(connectButton_.get(), styleScreenIdentifier_);
}

double VelkoraInviteHeaderView::getHeight() const {
    return toplevelSubview_ ? toplevelSubview_->frame().height() : 0;
}

void VelkoraInviteHeaderView::connectTapped(ui::Control*) {
    if (auto d = delegate_.lock()) d->connectTapped(*this);
}

void VelkoraInviteHeaderView::followAllTapped(ui::Control*) {
    if (auto d = delegate_.lock()) d->followAllTapped(*this);
}

} // namespace velkora
