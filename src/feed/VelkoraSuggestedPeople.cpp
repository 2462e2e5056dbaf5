#include "feed/VelkoraSuggestedPeople.h"

#include "data/VelkoraAppSettings.h"
#include "data/VelkoraUserDetailsDisplayer.h"
#include "data/VelkoraUserInfo.h"
#include "platform/ui/Button.h"
#include "platform/ui/Image.h"
#include "platform/ui/Label.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "shell/VelkoraLazyImageView.h"
#include "shell/VelkoraProfileSupport.h"

namespace velkora {

std::string velkoraFeedTextWith(const std::string& key, const std::string& argument) {
    return velkoraFormatOnce(velkoraFeedText(key), argument);
}

// ---- Tile

std::shared_ptr<VelkoraSuggestedPersonView> VelkoraSuggestedPersonView::initFromNib() {
    auto tile = std::make_shared<VelkoraSuggestedPersonView>();
    ui::InterfaceLoader::instance().loadNibNamed(kInterface, tile.get());
    if (!tile->topLevelView_) return nullptr;
    if (tile->userView_) {
        tile->userView_->layer().setCornerRadius(7.0);
        tile->userView_->setClipsToBounds(true);
    }
    tile->setFrame(tile->topLevelView_->frame());
    tile->topLevelView_->setFrame({0, 0, tile->topLevelView_->frame().width(), tile->topLevelView_->frame().height()});
    tile->addSubview(tile->topLevelView_);
    return tile;
}

void VelkoraSuggestedPersonView::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("topLevelView", topLevelView_);
    b.outlet("userView", userView_);
    b.outlet("nameLabel", nameLabel_);
    b.action("profileTapped:", this, &VelkoraSuggestedPersonView::profileTapped);
}

void VelkoraSuggestedPersonView::updateData(const VelkoraUserPtr& user) {
    user_ = user;
    if (nameLabel_)
        nameLabel_->setText(user ? profiles::nameOrGuest(VelkoraUserDetailsDisplayer::nameShort(user.get()))
                                 : std::string());
    if (!userView_) return;
    userView_->setImage(ui::Image::named(kPlaceholder));
    auto info = VelkoraAgentInternal::instance().getUserInfo();
    if (!user || !user->hasPhoto(info ? info->userInfoSource() : 0)) return;
    const ui::Size pixels = userView_->getSizeInPixels();
    if (auto url = user->getSizedPhotoUrl(static_cast<float>(pixels.width), static_cast<float>(pixels.height)))
        userView_->getImage(*url);
}

void VelkoraSuggestedPersonView::profileTapped(ui::Control*) {
    if (auto d = delegate_.lock()) d->suggestedUserTapped(user_);
}

// ---- Strip

void VelkoraSuggestPeopleScrollView::clearAllPersons() {
    for (const auto& sub : std::vector<ui::ViewPtr>(subviews()))
        sub->removeFromSuperview();
    numPersons_ = 0;
}

void VelkoraSuggestPeopleScrollView::addPerson(const VelkoraUserPtr& user,
                                               std::weak_ptr<VelkoraSuggestedPersonViewDelegate> delegate) {
    auto tile = VelkoraSuggestedPersonView::initFromNib();
    if (!tile) return;
    tile->setDelegate(std::move(delegate));
    tile->updateData(user);
    ui::Rect frame = tile->frame();
    tileWidth_ = frame.width();
    frame.origin.x = numPersons_ * frame.width();
    tile->setFrame(frame);
    ++numPersons_;
    addSubview(tile);
}

void VelkoraSuggestPeopleScrollView::doneAddingPersons() {
    double w = tileWidth_;
    if (w <= 0)
        if (auto tile = VelkoraSuggestedPersonView::initFromNib()) w = tile->frame().width();
    const double s = frame().width();
    const double t = numPersons_ * w;
    // The row starts at its first person, whole, however the strip was scrolled before it was filled:
    // a row wider than the strip scrolled to its middle would open on a tile cut at the left edge.
    setContentOffset({-contentInset().left, 0});
    if (t <= s) {
        const double shift = (s - t) * 0.5;
        for (const auto& sub : subviews()) {
            ui::Rect f = sub->frame();
            f.origin.x += shift;
            sub->setFrame(f);
        }
    }
    setContentSize({t, frame().height()});
}

// ---- Header

void VelkoraFeedSuggestionView::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("welcomeLabel", welcomeLabel_);
    b.outlet("checkoutLabel", checkoutLabel_);
    b.outlet("peopleScrollView", peopleScrollView_);
    b.outlet("followAllButton", followAllButton_);
}

void VelkoraFeedSuggestionView::myInit() {
    if (welcomeLabel_)
        welcomeLabel_->setText(
            velkoraFeedTextWith("velkora_text_welcome_to_app", VelkoraAppSettings::appName().value_or("")));
    if (checkoutLabel_) checkoutLabel_->setText(velkoraFeedText("velkora_text_checkout_suggestions"));
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeActivityWelcomeLabel(welcomeLabel_.get(), kScreenId);
    style.customizeActivityMessageLabel(checkoutLabel_.get(), kScreenId);
    style.customizeActivityFollowAllButton(followAllButton_.get(), kScreenId);
}

void VelkoraFeedSuggestionView::setFollowAllTitle(const std::string& title) {
    if (!followAllButton_) return;
    followAllButton_->setTitle(title, ui::ControlStateNormal);
    followAllButton_->setTitle(title, ui::ControlStateHighlighted);
}

void VelkoraFeedSuggestionView::setNumToFollow(int count) {
    setFollowAllTitle(velkoraFeedTextWith("velkora_text_follow_all_friends", std::to_string(count)));
}

void VelkoraFeedSuggestionView::setUserToFollow(const VelkoraUserPtr& user) {
    setFollowAllTitle(
        velkoraFeedTextWith("velkora_text_follow_a_user", VelkoraUserDetailsDisplayer::nameWithInitial(user.get())));
}

} // namespace velkora
