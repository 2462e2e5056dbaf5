#include "people/VelkoraOtherUserProfileViewController.h"

#include <algorithm>
#include <cmath>

#include "data/VelkoraAppSettings.h"
#include "data/VelkoraFeedMessage.h"
#include "data/VelkoraLikeObject.h"
#include "data/VelkoraUserDetailsDisplayer.h"
#include "data/VelkoraUsersRepository.h"
#include "data/VelkoraUtils.h"
#include "feed/VelkoraFeedActivityOrder.h"
#include "people/VelkoraFriendsSupport.h"
#include "people/VelkoraUserListViewController.h"
#include "platform/foundation/DispatchQueue.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TextLayout.h"
#include "platform/ui/Window.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "server/VelkoraServerApi.h"
#include "server/VelkoraServerClientAgent.h"
#include "server/utils/VelkoraLogEventsManager.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraFeedMessagesRepository.h"
#include "session/VelkoraScreenRegistry.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "shell/VelkoraDefaultNotificationPopupView.h"
#include "shell/VelkoraLazyImageView.h"
#include "shell/VelkoraProfileSupport.h"
#include "shell/VelkoraTimeIntervalDisplay.h"

namespace velkora {

namespace {
bool complete(const VelkoraUserPtr& user) {
    return user && user->appId() && user->userId();
}

VelkoraScreenState currentScreen() {
    VelkoraScreenState s;
    s.isTablet = ui::Device::current().isPad();
    const ui::Rect b = ui::Screen::main().bounds();
    s.screenWidth = static_cast<float>(std::min(b.width(), b.height()));
    s.screenHeight = static_cast<float>(std::max(b.width(), b.height()));
    s.statusBarOrientation = ui::Application::instance().statusBarOrientation();
    return s;
}
} // namespace

std::shared_ptr<VelkoraOtherUserProfileViewController>
VelkoraOtherUserProfileViewController::create(VelkoraUserPtr user) {
    profiles::registerPeopleViewClasses();
    return std::shared_ptr<VelkoraOtherUserProfileViewController>(
        new VelkoraOtherUserProfileViewController(std::move(user)));
}

std::shared_ptr<VelkoraOtherUserProfileViewController>
VelkoraOtherUserProfileViewController::initWithUserId(const std::string& userId) {
    auto user = VelkoraUsersRepository::instance().userWithId(userId);
    auto screen = create(user);
    if (!complete(user)) {
        // Asked for only when the repository does not know the user yet; a known user is shown as cached.
        VelkoraServerApi::getOtherUserData(userId,
                                           VelkoraCallback(screen, &VelkoraOtherUserProfileViewController::gotUserData,
                                                           &VelkoraOtherUserProfileViewController::gotUserDataFailed));
    }
    return screen;
}

VelkoraOtherUserProfileViewController::VelkoraOtherUserProfileViewController(VelkoraUserPtr user)
    : VelkoraGeneralFeatureViewController(kInterface), velkoraUser_(std::move(user)) {}

VelkoraOtherUserProfileViewController::~VelkoraOtherUserProfileViewController() {
    VelkoraServerApi::clearUserDelegate(this);
    if (signinHelper_) signinHelper_->setDelegate({});
    friends::detachTable(postsTable_.get());
    if (tableController_) tableController_->stop();
}

void VelkoraOtherUserProfileViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraGeneralFeatureViewController::registerInterfaceBindings(b);
    b.outlet("userPhoto", userPhoto_);
    b.outlet("userPhotoFrame", userPhotoFrame_);
    b.outlet("userNameLabel", userNameLabel_);
    b.outlet("userNameTitleLabel", userNameTitleLabel_);
    b.outlet("userLocationLabel", userLocationLabel_);
    b.outlet("userAboutLabel", userAboutLabel_);
    b.outlet("numPostsLabel", numPostsLabel_);
    b.outlet("numFollowersLabel", numFollowersLabel_);
    b.outlet("numFollowingLabel", numFollowingLabel_);
    b.outlet("postsLabel", postsLabel_);
    b.outlet("followersLabel", followersLabel_);
    b.outlet("followingLabel", followingLabel_);
    b.outlet("followButton", followButton_);
    b.outlet("unfollowButton", unfollowButton_);
    b.outlet("chatButton", chatButton_);
    b.outlet("badUserButton", badUserButton_);
    b.outlet("postsTable", postsTable_);
    b.outlet("midBarView", midBarView_);
    b.outlet("midBarTopImageView", midBarTopImageView_);
    b.outlet("midBarShadeImageView", midBarShadeImageView_);
    b.outlet("midBarTitleLabel", midBarTitleLabel_);
    b.outlet("shareView", shareView_);
    b.outlet("shareLabel", shareLabel_);
    b.outlet("facebookConnectLabel", facebookConnectLabel_);
    b.outlet("twitterConnectLabel", twitterConnectLabel_);
    b.outlet("emailConnectLabel", emailConnectLabel_);
    b.outlet("closeButton", closeButton_);
    b.outlet("activityIndicator", activityIndicator_);
    b.outlet("aboutLabelHeightConstraint", aboutLabelHeightConstraint_);
    b.outlet("aboutLabelLeadingSpaceConstraint", aboutLabelLeadingSpaceConstraint_);
    b.outlet("aboutLabelTrailingSpaceConstraint", aboutLabelTrailingSpaceConstraint_);
    using C = VelkoraOtherUserProfileViewController;
    b.action("followTapped:", this, &C::followTapped);
    b.action("unfollowTapped:", this, &C::unfollowTapped);
    b.action("chatTapped:", this, &C::chatTapped);
    b.action("badUserTapped:", this, &C::badUserTapped);
    b.action("followersTapped:", this, &C::followersTapped);
    b.action("followingTapped:", this, &C::followingTapped);
    b.action("feedTapped:", this, &C::feedTapped);
    // The share popup's buttons belong to the table controller.
    auto forward = [this](void (VelkoraFeedTableController::*f)(ui::Control*)) {
        return [this, f](ui::Control* sender) {
            if (tableController_)
                ((*tableController_).*f)(sender);
            else if (shareView_)
                shareView_->setHidden(true);
        };
    };
    b.action("closeTapped:", forward(&VelkoraFeedTableController::closeTapped));
    b.action("fbShareTapped:", forward(&VelkoraFeedTableController::fbShareTapped));
    b.action("twitterShareTapped:", forward(&VelkoraFeedTableController::twitterShareTapped));
    b.action("emailShareTapped:", forward(&VelkoraFeedTableController::emailShareTapped));
}

void VelkoraOtherUserProfileViewController::viewDidLoad() {
    setStyleScreenIdentifier(kScreenId);
    VelkoraGeneralFeatureViewController::viewDidLoad();
    if (userNameLabel_) VelkoraAppSettings::setLeadingColor(*userNameLabel_);
    if (userPhoto_) {
        userPhoto_->layer().setCornerRadius(7.0);
        userPhoto_->setClipsToBounds(true);
    }
    auto setText = [](const std::shared_ptr<ui::Label>& l, const char* key) {
        if (l) l->setText(profiles::text(key));
    };
    setText(postsLabel_, "velkora_text_posts_title");
    setText(midBarTitleLabel_, "velkora_text_posts_title");
    setText(followingLabel_, "velkora_text_following_title");
    setText(followersLabel_, "velkora_text_followers_title");
    setText(facebookConnectLabel_, "velkora_text_facebook_title");
    setText(twitterConnectLabel_, "velkora_text_twitter_title");
    setText(emailConnectLabel_, "velkora_text_email_title");
    setText(shareLabel_, "velkora_text_share_title");
    if (followButton_) followButton_->setTitle(profiles::text("velkora_text_follow_button"));
    if (unfollowButton_) unfollowButton_->setTitle(profiles::text("velkora_text_following_button"));
    if (closeButton_) closeButton_->setTitle(profiles::text("velkora_text_close_button"));
    if (shareView_) shareView_->setHidden(true);
    isFollowTapped_ = isChatTapped_ = false;

    auto& style = VelkoraStyleSheetCustomizer::instance();
    const uint32_t id = kScreenId;
    style.customizeUserPhotoFrameImage(userPhotoFrame_.get(), id);
    style.customizeShareView(shareView_.get(), id);
    style.customizeProfileNameLabel(userNameLabel_.get(), id);
    style.customizeProfileLocationLabel(userLocationLabel_.get(), id);
    style.customizeProfileAboutLabel(userAboutLabel_.get(), id);
    style.customizeProfileBadUserButton(badUserButton_.get(), id);
    style.customizeProfileMidBarView(midBarView_.get(), id);
    style.customizeProfileMidBarTopImageView(midBarTopImageView_.get(), id);
    style.customizeProfileMidBarTopShadeView(midBarShadeImageView_.get(), id);
    style.customizeProfileChatButton(chatButton_.get(), id);
    style.customizeProfileFollowButton(followButton_.get(), id);
    style.customizeProfileUnfollowButton(unfollowButton_.get(), id);

    // The posts' rows are the feed's, measured on this screen's own queue.
    serialQueue_ = foundation::DispatchQueue::create("com.velkora.profile.posts");
    if (postsTable_) {
        auto self = sharedAs<VelkoraOtherUserProfileViewController>();
        tableController_ = VelkoraFeedTableController::initWithTable(
            postsTable_, self, std::static_pointer_cast<VelkoraFeedTableControllerDelegate>(self));
    }
    if (complete(velkoraUser_)) {
        setViewWithUser();
    } else {
        if (velkoraContentView()) velkoraContentView()->setHidden(true);
        if (activityIndicator_) activityIndicator_->startAnimating();
    }
}

void VelkoraOtherUserProfileViewController::viewDidAppear(bool animated) {
    VelkoraGeneralFeatureViewController::viewDidAppear(animated);
    VelkoraLogEventsManager::instance().logEvent("feature-viewed;profile-other");
}

void VelkoraOtherUserProfileViewController::viewWillDisappear(bool animated) {
    VelkoraGeneralFeatureViewController::viewWillDisappear(animated);
    if (tableController_) tableController_->stop();
}

void VelkoraOtherUserProfileViewController::gotUserData(const foundation::Value& answer) {
    if (auto user = answer.asObject<VelkoraUserInternal>()) velkoraUser_ = user;
    if (!isViewLoaded()) return;
    if (!complete(velkoraUser_)) {
        gotUserDataFailed(nullptr);
        return;
    }
    setViewWithUser();
}

void VelkoraOtherUserProfileViewController::gotUserDataFailed(const foundation::ErrorPtr&) {
    // Nothing of the user is there to show: the content stays hidden and the user hears why.
    if (activityIndicator_) activityIndicator_->stopAnimating();
    if (isViewLoaded()) showToast("velkora_text_no_network_message");
}

void VelkoraOtherUserProfileViewController::setViewWithUser() {
    const auto& u = velkoraUser_;
    if (!u) return;
    const std::string name = VelkoraUserDetailsDisplayer::nameWithInitial(u.get());
    if (userNameLabel_) userNameLabel_->setText(name);
    if (userNameTitleLabel_) userNameTitleLabel_->setText(name);
    if (userLocationLabel_) userLocationLabel_->setText(u->city().value_or(""));

    if (userAboutLabel_) {
        if (!u->customString1()) {
            userAboutLabel_->setHidden(true);
            if (aboutLabelHeightConstraint_) aboutLabelHeightConstraint_->setConstant(0);
        } else {
            userAboutLabel_->setHidden(false);
            userAboutLabel_->setText(*u->customString1());
            auto container = featureTabDelegate();
            const double width =
                VelkoraUtils::widthAdjustedForInterfaceOrientation(container && container->isOpenedAsFeature(),
                                                                   currentScreen()) -
                (aboutLabelLeadingSpaceConstraint_ ? aboutLabelLeadingSpaceConstraint_->constant() : 0) -
                (aboutLabelTrailingSpaceConstraint_ ? aboutLabelTrailingSpaceConstraint_->constant() : 0);
            const auto font = userAboutLabel_->font() ? *userAboutLabel_->font() : ui::Font::systemFont(14);
            ui::Size measured = ui::measureText("A" + *u->customString1() + "A", font, std::max(1.0, width), 0,
                                                userAboutLabel_->lineBreakMode());
            if (aboutLabelHeightConstraint_)
                aboutLabelHeightConstraint_->setConstant(std::min(measured.height, 1000.0) + 1.0);
        }
    }
    if (userPhoto_) profiles::showUserPhoto(*userPhoto_, u);
    if (numPostsLabel_) numPostsLabel_->setText(std::to_string(u->numFeeds()));
    if (numFollowersLabel_) numFollowersLabel_->setText(std::to_string(u->numFollowers()));
    if (numFollowingLabel_) numFollowingLabel_->setText(std::to_string(u->numFollowing()));
    if (followButton_) followButton_->setHidden(u->isFavorite());
    if (unfollowButton_) unfollowButton_->setHidden(!u->isFavorite());
    if (badUserButton_ && profiles::viewerIsAnonymous()) badUserButton_->setHidden(true);

    VelkoraServerApi::getOtherFeed(VelkoraCallback(sharedAs<VelkoraOtherUserProfileViewController>(),
                                                   &VelkoraOtherUserProfileViewController::gotUserPosts,
                                                   &VelkoraOtherUserProfileViewController::gotUserPostsFailed),
                                   u);
    if (activityIndicator_) activityIndicator_->startAnimating();

    std::weak_ptr<VelkoraOtherUserProfileViewController> weak = sharedAs<VelkoraOtherUserProfileViewController>();
    followingObserver_ = foundation::NotificationObserver("VelkoraChangedFollowingNotification", nullptr,
                                                          [weak](const foundation::Notification& n) {
                                                              if (auto s = weak.lock()) s->followingDidChanged(n);
                                                          });
    foundation::NotificationCenter::defaultCenter().post(
        kWatchedNotification, this,
        foundation::Value(foundation::Dictionary{{"otherUserId", foundation::Value(u->userId().value_or(""))}}));
    if (velkoraContentView()) velkoraContentView()->setHidden(false);
    if (auto v = viewIfLoaded()) {
        v->setNeedsLayout();
        v->layoutIfNeeded();
    }
}

void VelkoraOtherUserProfileViewController::viewDidLayoutSubviews() {
    VelkoraGeneralFeatureViewController::viewDidLayoutSubviews();
    // The mid bar and the posts follow the bio, whatever its height.
    if (!userAboutLabel_ || !midBarView_ || !postsTable_) return;
    auto* content = midBarView_->superview();
    if (!content) return;
    const double top = userAboutLabel_->isHidden() ? userAboutLabel_->frame().y() : userAboutLabel_->frame().maxY() + 6;
    ui::Rect bar = midBarView_->frame();
    midBarView_->setFrame({bar.x(), top, bar.width(), bar.height()});
    const double tableTop = top + bar.height();
    postsTable_->setFrame(
        {0, tableTop, content->bounds().width(), std::max(0.0, content->bounds().height() - tableTop)});
}

std::vector<std::shared_ptr<VelkoraActivityModel>>
VelkoraOtherUserProfileViewController::getSortedActivities(const foundation::Value& messages,
                                                           const foundation::Value& likes) {
    return velkora::getSortedActivities(messages, likes);
}

void VelkoraOtherUserProfileViewController::gotUserPosts(const foundation::Value& reply) {
    messagesAndLikes_ = getSortedActivities(reply.at(0), reply.at(1));
    if (numPostsLabel_) numPostsLabel_->setText(std::to_string(messagesAndLikes_.size()));
    if (tableController_) {
        tableController_->listHandedOver();
        tableController_->measureListOnQueue();
    }
    // The spinner ends with the reply, an empty one too.
    if (activityIndicator_) activityIndicator_->stopAnimating();
}

void VelkoraOtherUserProfileViewController::gotUserPostsFailed(const foundation::ErrorPtr&) {
    if (activityIndicator_) activityIndicator_->stopAnimating();
    showToast("velkora_text_no_network_message");
}

void VelkoraOtherUserProfileViewController::showSharePopup() {
    if (shareView_) shareView_->setHidden(false);
}

void VelkoraOtherUserProfileViewController::hideSharePopup() {
    if (shareView_) shareView_->setHidden(true);
}

void VelkoraOtherUserProfileViewController::stopAnimation() {
    // The spinner also covers the user's own data: it stops with the posts' reply or their failure.
}

void VelkoraOtherUserProfileViewController::showFollowState() {
    if (!velkoraUser_) return;
    const bool followed = velkoraUser_->isFavorite();
    if (numFollowersLabel_) numFollowersLabel_->setText(std::to_string(velkoraUser_->numFollowers()));
    if (followButton_) {
        followButton_->setHidden(followed);
        followButton_->setEnabled(!followed);
    }
    if (unfollowButton_) {
        unfollowButton_->setHidden(!followed);
        unfollowButton_->setEnabled(followed);
    }
}

void VelkoraOtherUserProfileViewController::followingDidChanged(const foundation::Notification&) {
    showFollowState();
    if (postsTable_) postsTable_->reloadData();
}

void VelkoraOtherUserProfileViewController::askToSignIn(const std::string& messageKey) {
    if (signinHelper_) signinHelper_->setDelegate({});
    signinHelper_ = VelkoraSigninToFollowPopupHelper::create();
    auto window = ui::Application::instance().keyWindowShared();
    signinHelper_->showSigninPopupInView(window ? static_cast<ui::View*>(window.get()) : view().get(),
                                         profiles::text(messageKey),
                                         std::static_pointer_cast<VelkoraSigninToFollowPopupHelperDelegate>(
                                             sharedAs<VelkoraOtherUserProfileViewController>()));
}

void VelkoraOtherUserProfileViewController::followTapped(ui::Control*) {
    isFollowTapped_ = true;
    if (profiles::viewerIsAnonymous())
        askToSignIn("velkora_text_follow_connect_message");
    else
        didSignin();
}

void VelkoraOtherUserProfileViewController::chatTapped(ui::Control*) {
    isChatTapped_ = true;
    if (profiles::viewerIsAnonymous())
        askToSignIn("velkora_text_message_connect_message");
    else
        didSignin();
}

void VelkoraOtherUserProfileViewController::didSignin() {
    if (badUserButton_) badUserButton_->setHidden(false);
    if (isFollowTapped_) {
        isFollowTapped_ = false;
        VelkoraServerApi::addFollowing(velkoraUser_);
        if (followButton_) followButton_->setEnabled(false);
    } else if (isChatTapped_) {
        isChatTapped_ = false;
        pushFeature("chat", foundation::Value(velkoraUser_ ? velkoraUser_->userId().value_or("") : std::string()));
    }
}

void VelkoraOtherUserProfileViewController::performLogin() {
    pushFeature("login");
}
void VelkoraOtherUserProfileViewController::performSignUp() {
    pushFeature("signup");
}

void VelkoraOtherUserProfileViewController::unfollowTapped(ui::Control*) {
    VelkoraServerApi::removeFollowing(velkoraUser_);
    if (unfollowButton_) unfollowButton_->setEnabled(false);
}

void VelkoraOtherUserProfileViewController::followersTapped(ui::Control*) {
    pushScreen(VelkoraFavoriteUserListViewController::initWithUser(velkoraUser_, true));
}

void VelkoraOtherUserProfileViewController::followingTapped(ui::Control*) {
    pushScreen(VelkoraFavoriteUserListViewController::initWithUser(velkoraUser_, false));
}

void VelkoraOtherUserProfileViewController::feedTapped(ui::Control*) {
    pushFeature("userPosts", foundation::Value::object(velkoraUser_));
}

void VelkoraOtherUserProfileViewController::pushFeature(const std::string& name, foundation::Value object1) {
    pushScreen(VelkoraScreenRegistry::instance().makeScreen(
        name, foundation::Value(foundation::Dictionary{{"object1", std::move(object1)}})));
}

void VelkoraOtherUserProfileViewController::pushScreen(const std::shared_ptr<ui::ViewController>& screen) {
    if (!screen) return;
    if (auto feature = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(screen))
        feature->setFeatureTabDelegate(featureTabDelegate());
    if (auto* nav = navigationController()) nav->pushViewController(screen, true);
}

void VelkoraOtherUserProfileViewController::badUserTapped(ui::Control*) {
    if (!velkoraUser_) return;
    auto sheet = ui::ActionSheet::create(
        "", std::static_pointer_cast<ui::ActionSheetDelegate>(sharedAs<VelkoraOtherUserProfileViewController>()),
        profiles::text("velkora_text_cancel_button"), std::nullopt,
        {profiles::text(velkoraUser_->isBlockedByCurrentUser() ? "velkora_text_unblock_user_title"
                                                               : "velkora_text_block_user_title"),
         profiles::text(velkoraUser_->isReportedByCurrentUser() ? "velkora_text_cancel_report_title"
                                                                : "velkora_text_report_user_title")});
    sheet->showInView(view().get());
    badUserSheet_ = sheet;
}

void VelkoraOtherUserProfileViewController::clickedButtonAtIndex(ui::ActionSheet&, int index) {
    badUserClickedOption_ = index;
    if (!velkoraUser_ || (index != 0 && index != 1)) return;
    auto popup = VelkoraDefaultOKPopupView::initFromNibCancel(profiles::text("velkora_text_confirm_yes_button"),
                                                              profiles::text("velkora_text_cancel_button"));
    if (!popup) return;
    const std::string name = VelkoraUserDetailsDisplayer::nameWithInitial(velkoraUser_.get());
    const bool blocked = velkoraUser_->isBlockedByCurrentUser(), reported = velkoraUser_->isReportedByCurrentUser();
    const char* title = index == 0 ? (blocked ? "velkora_text_unblock_user_title" : "velkora_text_block_user_title")
                                   : (reported ? "velkora_text_cancel_report_title" : "velkora_text_report_user_title");
    const char* message = index == 0
                              ? (blocked ? "velkora_text_unblock_user_message" : "velkora_text_block_user_message")
                              : (reported ? "velkora_text_cancel_report_message" : "velkora_text_report_user_message");
    if (popup->titleLabel()) popup->titleLabel()->setText(profiles::text(title));
    if (popup->messageLable()) popup->messageLable()->setText(profiles::textWith(message, name));
    popup->setDelegate(
        std::static_pointer_cast<VelkoraDefaultOKPopupViewDelegate>(sharedAs<VelkoraOtherUserProfileViewController>()));
    popup->showInView(view().get());
    badUserPopup_ = popup;
}

void VelkoraOtherUserProfileViewController::popupOkTapped() {
    if (!velkoraUser_) return;
    // The flag moves at once; the server client puts it back if the service refuses.
    if (badUserClickedOption_ == 1) {
        const bool now = !velkoraUser_->isReportedByCurrentUser();
        velkoraUser_->setIsReportedByCurrentUser(now);
        VelkoraServerApi::reportUser(velkoraUser_, now);
        showToast(now ? "velkora_text_reported_title" : "velkora_text_unreported_title");
    } else if (badUserClickedOption_ == 0) {
        const bool now = !velkoraUser_->isBlockedByCurrentUser();
        velkoraUser_->setIsBlockedByCurrentUser(now);
        VelkoraServerApi::blockUser(velkoraUser_, now);
        showToast(now ? "velkora_text_blocked_title" : "velkora_text_unblocked_title");
        VelkoraFeedMessagesRepository::instance().resetRepository();
    }
}

void VelkoraOtherUserProfileViewController::showToast(const std::string& key) {
    auto toast = VelkoraDefaultNotificationPopupView::initFromNib(profiles::text(key));
    if (toast && view()) toast->showInView(view().get());
}

} // namespace velkora
