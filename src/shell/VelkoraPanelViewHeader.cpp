// The sidebar's header: who uses the app (photo, name, town and three counts) or an invitation to sign up,
// and the slide that trades the menu table for the own-profile block.
#include <cmath>

#include "data/VelkoraUserInternal.h"
#include "data/VelkoraUtils.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Animation.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppData.h"
#include "data/VelkoraAppSettings.h"
#include "session/VelkoraPanelProfileViewFace.h"
#include "data/VelkoraUserInfo.h"
#include "shell/VelkoraLazyImageView.h"
#include "shell/VelkoraMultiLineAutoSize.h"
#include "shell/VelkoraPanelView.h"
#include "shell/VelkoraSidebarClasses.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "data/VelkoraUserDetailsDisplayer.h"

namespace velkora {

namespace {

std::string localized(const std::string& key) {
    return foundation::Bundle::main().localizedString(key);
}

void setTitle(const std::shared_ptr<ui::Button>& button, const std::string& key) {
    if (button) button->setTitle(localized(key), ui::ControlStateNormal);
}

void setText(const std::shared_ptr<ui::Label>& label, const std::string& text) {
    if (label) label->setText(text);
}

void hide(const std::shared_ptr<ui::View>& view, bool hidden) {
    if (view) view->setHidden(hidden);
}

bool emailSignUpEnabled() {
    auto data = VelkoraAgentInternal::appDataOfInstance();
    return data && data->emailSignUpEnabled();
}

} // namespace

void VelkoraPanelView::styleHeader() {
    setTitle(facebookConnectButton_, "velkora_text_connect_button");
    setTitle(twitterConnectButton_, "velkora_text_connect_button");
    setTitle(loginButton_, "velkora_text_login_button");
    setTitle(signUpButton_, "velkora_text_signup_button");
    setText(postsLabel_, localized("velkora_text_posts_title"));
    setText(followingLabel_, localized("velkora_text_following_title"));
    setText(followersLabel_, localized("velkora_text_followers_title"));
    updateScrollView();
    profileViewOrigY_ = profileScrollViewTopSpaceConstraint_ ? profileScrollViewTopSpaceConstraint_->constant() : 0;
    isProfileViewShown_ = true;
    updateWithVelkoraUser(VelkoraAgentInternal::instance().velkoraUser());
    hideProfileScreen();

    auto& customizer = VelkoraStyleSheetCustomizer::instance();
    customizer.customizeProfileNameLabel(nameLabel_.get(), kSidebarStyleScreen);
    customizer.customizeBackgroundView(backgroundImageView_.get(), kSidebarStyleScreen);
    customizer.customizeProfileLocationLabel(locationLabel_.get(), kSidebarStyleScreen);
    customizer.customizeUserPhotoFrameImage(userImageFrame_.get(), kSidebarStyleScreen);
    customizer.customizeFacebookConnectButton(facebookConnectButton_.get(), kSidebarStyleScreen);
    customizer.customizeTwitterConnectButton(twitterConnectButton_.get(), kSidebarStyleScreen);
    customizer.customizeLoginConnectButton(loginButton_.get(), kSidebarStyleScreen);
    customizer.customizeSignupConnectButton(signUpButton_.get(), kSidebarStyleScreen);
}

void VelkoraPanelView::updateWithVelkoraUser(const std::shared_ptr<VelkoraUserInternal>& user) {
    bool email = emailSignUpEnabled();
    if (user) {
        bool anonymous = user->isAnonymous();
        if (activityView_) activityView_->stopAnimating();
        hide(anonymousView_, !(anonymous && !email));
        hide(signUpAnonymousView_, !(anonymous && email));
        hide(usersDetailsView_, anonymous);
        setText(nameLabel_, VelkoraUserDetailsDisplayer::nameWithInitial(user.get()));
        setText(numPostsLabel_, std::to_string(user->numFeeds()));
        setText(numFollowersLabel_, std::to_string(user->numFollowers()));
        setText(numFollowingLabel_, std::to_string(user->numFollowing()));
        if (userImage_) {
            userImage_->setImage(ui::Image::named("VelImg_UserThumbMediumNon.png"));
            auto info = VelkoraAgentInternal::instance().userInfo();
            if (user->hasPhoto(info ? info->userInfoSource() : 0)) {
                auto pixels = userImage_->getSizeInPixels();
                if (auto url = user->getSizedPhotoUrl(float(pixels.width), float(pixels.height)); url && !url->empty())
                    userImage_->getImage(*url);
            }
        }
        const auto& city = user->city();
        if (city && !city->empty()) {
            setText(locationLabel_, *city);
            // A label hidden for an earlier user without a town shows this one's.
            hide(locationLabel_, false);
        } else {
            hide(locationLabel_, true);
        }
    } else {
        hide(anonymousView_, email);
        hide(signUpAnonymousView_, !email);
        hide(usersDetailsView_, true);
        if (activityView_) activityView_->startAnimating();
    }
    if (profileBlock_) profileBlock_->updateWithVelkoraUser(user);

    std::string appName = VelkoraAppSettings::appName().value_or("");
    std::shared_ptr<ui::Label> filled;
    if (anonymousView_ && !anonymousView_->isHidden()) {
        filled = anonymousInvitationLabel_;
        setText(filled, foundation::format(localized("velkora_text_make_the_most"), appName));
    } else if (signUpAnonymousView_ && !signUpAnonymousView_->isHidden()) {
        filled = signUpAnonymousInvitationLabel_;
        setText(filled, foundation::format(localized("velkora_text_login_signup_message"), appName));
    } else {
        return;
    }
    if (filled) adjustFontSizeToFit(*filled);
    hideProfileScreen();
}

void VelkoraPanelView::updateScrollView() {
    if (!profileScrollView_) return;
    // The new block answers to whoever the current one answered to.
    auto delegate = profileBlockDelegate_;
    for (auto subview : std::vector<ui::ViewPtr>(profileScrollView_->subviews())) {
        std::vector<const ui::LayoutConstraint*> naming;
        for (auto& c : profileScrollView_->constraints())
            if (c->firstItem() == subview || c->secondItem() == subview) naming.push_back(c.get());
        for (auto* c : naming)
            profileScrollView_->removeConstraint(c);
        subview->removeFromSuperview();
    }
    profileView_.reset();
    profileBlock_ = VelkoraPanelProfileViewFace::make(false);
    if (!profileBlock_ || !profileBlock_->view()) return;
    profileBlock_->setDelegate(delegate);
    profileView_ = profileBlock_->view();
    profileScrollView_->addSubview(profileView_);
    ui::Size size = profileView_->bounds().size;
    if (isMenuMode_) {
        ui::Size box = profileScrollView_->bounds().size;
        profileView_->setFrame({0, 0, box.width, std::max(size.height, box.height)});
        profileScrollView_->setContentSize(profileView_->frame().size);
        profileScrollView_->layoutIfNeeded();
    } else {
        profileScrollView_->setContentSize(size);
    }
    profileBlock_->updateWithVelkoraUser(VelkoraAgentInternal::instance().velkoraUser());
}

void VelkoraPanelView::setProfileBlockDelegate(std::weak_ptr<VelkoraPanelProfileViewDelegate> delegate) {
    profileBlockDelegate_ = delegate;
    if (profileBlock_) profileBlock_->setDelegate(std::move(delegate));
}

void VelkoraPanelView::profileButtonClicked(ui::Control* /*sender*/) {
    if (isProfileViewShown_)
        hideProfileScreen();
    else
        showProfileScreen();
}

void VelkoraPanelView::showProfileScreen() {
    if (isProfileViewShown_) return;
    auto delegate = delegate_.lock();
    double d = VelkoraUtils::heightAdjustedForInterfaceOrientation(sidebarScreenState()) -
               (delegate ? delegate->getPanelTopMargin() + delegate->getPanelBottomMargin() : 0);
    isProfileViewShown_ = true;
    setUserInteractionEnabled(false);
    std::weak_ptr<VelkoraPanelView> weak = sharedAs<VelkoraPanelView>();
    ui::Animator::animate(
        0.5,
        [this, d] {
            if (profileButton_) profileButton_->setTransform(ui::AffineTransform::rotation(M_PI));
            if (profileScrollViewTopSpaceConstraint_)
                profileScrollViewTopSpaceConstraint_->setConstant(profileViewOrigY_);
            if (commandsTableTopSpaceConstraint_)
                commandsTableTopSpaceConstraint_->setConstant(commandsTableTopSpaceConstraint_->constant() + d);
            for (auto& c : {profileOverlayImageBottomSpaceConstraint_, profileOverlayShadeBottomSpaceConstraint_})
                if (c) c->setConstant(-d);
            layoutIfNeeded();
        },
        [weak](bool /*finished*/) {
            auto self = weak.lock();
            if (!self) return;
            self->updateScrollView();
            self->setUserInteractionEnabled(true);
        });
}

void VelkoraPanelView::hideProfileScreen() {
    if (!isProfileViewShown_) return;
    auto delegate = delegate_.lock();
    double d = VelkoraUtils::heightAdjustedForInterfaceOrientation(sidebarScreenState()) -
               (delegate ? delegate->getPanelTopMargin() + delegate->getPanelBottomMargin() : 0);
    isProfileViewShown_ = false;
    setUserInteractionEnabled(false);
    std::weak_ptr<VelkoraPanelView> weak = sharedAs<VelkoraPanelView>();
    ui::Animator::animate(
        0.5,
        [this, d] {
            if (profileButton_) profileButton_->setTransform(ui::AffineTransform::identity());
            if (commandsTableTopSpaceConstraint_) commandsTableTopSpaceConstraint_->setConstant(profileViewOrigY_);
            if (profileScrollViewTopSpaceConstraint_)
                profileScrollViewTopSpaceConstraint_->setConstant(profileScrollViewTopSpaceConstraint_->constant() + d);
            for (auto& c : {profileOverlayImageBottomSpaceConstraint_, profileOverlayShadeBottomSpaceConstraint_})
                if (c) c->setConstant(0);
            layoutIfNeeded();
        },
        [weak](bool /*finished*/) {
            // However the slide ended, the panel takes touches again.
            if (auto self = weak.lock()) self->setUserInteractionEnabled(true);
        });
}

} // namespace velkora
