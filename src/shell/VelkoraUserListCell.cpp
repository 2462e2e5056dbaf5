#include "shell/VelkoraUserListCell.h"

#include "shell/VelkoraProfileSupport.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppSettings.h"
#include "shell/VelkoraLazyImageView.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "data/VelkoraUserDetailsDisplayer.h"

namespace velkora {

std::shared_ptr<VelkoraUserListCell>
VelkoraUserListCell::initFromNibNormalWithDelegate(std::weak_ptr<VelkoraUserListCellDelegate> d) {
    return initFromNib(kNormalInterface, std::move(d));
}

std::shared_ptr<VelkoraUserListCell>
VelkoraUserListCell::initFromNibSuggestionWithDelegate(std::weak_ptr<VelkoraUserListCellDelegate> d) {
    return initFromNib(kSuggestionInterface, std::move(d));
}

std::shared_ptr<VelkoraUserListCell>
VelkoraUserListCell::initFromNibRadarWithDelegate(std::weak_ptr<VelkoraUserListCellDelegate> d) {
    auto cell = initFromNib(kRadarInterface, std::move(d));
    if (cell) cell->showDistance_ = true;
    return cell;
}

std::shared_ptr<VelkoraUserListCell> VelkoraUserListCell::initFromNib(const std::string& nibName,
                                                                      std::weak_ptr<VelkoraUserListCellDelegate> d) {
    profiles::registerPeopleViewClasses();
    auto cell =
        std::dynamic_pointer_cast<VelkoraUserListCell>(ui::InterfaceLoader::instance().loadFirstObject(nibName));
    if (!cell) return nullptr;
    cell->delegate_ = std::move(d);
    cell->setUp();
    return cell;
}

void VelkoraUserListCell::setUp() {
    if (userPhotoImage_) {
        userPhotoImage_->layer().setCornerRadius(7.0);
        userPhotoImage_->setClipsToBounds(true);
        userPhotoImage_->setUsingCache(true);
    }
    showFollowButton_ = true;
    if (nameLabel_) VelkoraAppSettings::setLeadingColor(*nameLabel_);
    auto selected = ui::View::create(frame());
    selected->setBackgroundColor(ui::Color::rgba(29 / 255.0, 29 / 255.0, 29 / 255.0, 1.0));
    setSelectedBackgroundView(selected);
    if (followButton_) followButton_->setTitle(profiles::text("velkora_text_follow_button"));
    if (followingButton_) followingButton_->setTitle(profiles::text("velkora_text_following_button"));
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeTableCellFollowButton(followButton_.get(), kScreenId);
    style.customizeTableCellUnfollowButton(followingButton_.get(), kScreenId);
    style.customizeTableCellSelectedBackgroundView(selected.get(), kScreenId);
}

void VelkoraUserListCell::updateData(VelkoraUserPtr user, bool /*isLast*/) {
    theUser_ = std::move(user);
    if (userPhotoImage_) profiles::showUserPhoto(*userPhotoImage_, theUser_);
    if (locationLabel_) locationLabel_->setText(VelkoraUserDetailsDisplayer::locationString(theUser_.get()));
    if (nameLabel_)
        nameLabel_->setText(theUser_
                                ? profiles::nameOrGuest(VelkoraUserDetailsDisplayer::nameWithInitial(theUser_.get()))
                                : std::string());
    updateButtons();
    if (showDistance_ && distanceField_) {
        distanceField_->setText(VelkoraUserDetailsDisplayer::distance(theUser_.get()));
        distanceField_->setHidden(false);
    }
}

void VelkoraUserListCell::updateButtons() {
    auto me = VelkoraAgentInternal::instance().velkoraUser();
    const bool isMe = theUser_ && me && theUser_->isEqual(me);
    if (!theUser_ || isMe) {
        if (followButton_) followButton_->setHidden(true);
        if (followingButton_) followingButton_->setHidden(true);
        return;
    }
    const bool followed = theUser_->isFavorite();
    if (followButton_) {
        followButton_->setHidden(followed);
        followButton_->setEnabled(!followed);
    }
    if (followingButton_) {
        followingButton_->setHidden(!followed);
        followingButton_->setEnabled(followed);
    }
}

void VelkoraUserListCell::followButtonTapped(ui::Control*) {
    if (auto d = delegate_.lock()) d->followTapped(*this);
}

void VelkoraUserListCell::followingButtonTapped(ui::Control*) {
    if (auto d = delegate_.lock()) d->unFollowTapped(*this);
}

void VelkoraUserListCell::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("userPhotoFrameImage", userPhotoFrameImage_);
    b.outlet("userPhotoImage", userPhotoImage_);
    b.outlet("nameLabel", nameLabel_);
    b.outlet("locationLabel", locationLabel_);
    b.outlet("followingButton", followingButton_);
    b.outlet("followButton", followButton_);
    b.outlet("distanceField", distanceField_);
    b.action("followTapped:", this, &VelkoraUserListCell::followButtonTapped);
    b.action("unFollowTapped:", this, &VelkoraUserListCell::followingButtonTapped);
}

} // namespace velkora
