#include "people/VelkoraUserProfileViewController.h"

#include <algorithm>

#include "data/VelkoraAppData.h"
#include "data/VelkoraAppSettings.h"
#include "data/VelkoraUserDetailsDisplayer.h"
#include "data/VelkoraUserInfo.h"
#include "people/VelkoraEditAboutViewController.h"
#include "people/VelkoraPanelProfileView.h"
#include "people/VelkoraUserListViewController.h"
#include "people/VelkoraUserSettingsViewController.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/Window.h"
#include "server/VelkoraServerApi.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraScreenRegistry.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "shell/VelkoraLazyImageView.h"
#include "shell/VelkoraMultiLineAutoSize.h"
#include "shell/VelkoraProfileSupport.h"
#include "social/VelkoraFBConnector.h"
#include "social/VelkoraTwitterConnector.h"
#include "social/VelkoraUserSignUpHelper.h"

namespace velkora {

namespace {
VelkoraAgentInternal& session() {
    return VelkoraAgentInternal::instance();
}
bool emailSignUp() {
    auto data = session().appData();
    return data && data->emailSignUpEnabled();
}
} // namespace

std::shared_ptr<VelkoraUserProfileViewController> VelkoraUserProfileViewController::initFromNib() {
    profiles::registerPeopleViewClasses();
    return std::shared_ptr<VelkoraUserProfileViewController>(new VelkoraUserProfileViewController());
}

VelkoraUserProfileViewController::~VelkoraUserProfileViewController() {
    VelkoraServerApi::clearUserDelegate(this);
    if (profileView_) profileView_->removeFromSuperview();
}

void VelkoraUserProfileViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraGeneralFeatureViewController::registerInterfaceBindings(b);
    b.outlet("userDetailsView", userDetailsView_);
    b.outlet("detailsScrollView", detailsScrollView_);
    b.outlet("userNameTitleLabel", userNameTitleLabel_);
    b.outlet("nameLabel", nameLabel_);
    b.outlet("locationLabel", locationLabel_);
    b.outlet("numPostsLabel", numPostsLabel_);
    b.outlet("numFollowersLabel", numFollowersLabel_);
    b.outlet("numFollowingLabel", numFollowingLabel_);
    b.outlet("postsLabel", postsLabel_);
    b.outlet("followersLabel", followersLabel_);
    b.outlet("followingLabel", followingLabel_);
    b.outlet("userImage", userImage_);
    b.outlet("userImageFrame", userImageFrame_);
    b.outlet("anonymousView", anonymousView_);
    b.outlet("anonymousInvitationLabel", anonymousInvitationLabel_);
    b.outlet("facebookConnectButton", facebookConnectButton_);
    b.outlet("twitterConnectButton", twitterConnectButton_);
    b.outlet("signUpAnonymousView", signUpAnonymousView_);
    b.outlet("signUpAnonymousInvitationLabel", signUpAnonymousInvitationLabel_);
    b.outlet("loginButton", loginButton_);
    b.outlet("signUpButton", signUpButton_);
    b.action("followersClicked:", [this](ui::Control*) {
        pushScreen(VelkoraFavoriteUserListViewController::initWithUser(velkoraUser_, true));
    });
    b.action("followingClicked:", [this](ui::Control*) {
        pushScreen(VelkoraFavoriteUserListViewController::initWithUser(velkoraUser_, false));
    });
    b.action("postsClicked:",
             [this](ui::Control*) { pushFeature("userPosts", foundation::Value::object(session().velkoraUser())); });
    b.action("loginClicked:", [this](ui::Control*) { pushFeature("login"); });
    b.action("signUpClicked:", [this](ui::Control*) { pushFeature("signup"); });
    b.action("facebookConnectClicked:", [this](ui::Control*) { fbConnectClickedInView(view().get()); });
    b.action("twitterConnectClicked:", [this](ui::Control*) { twConnectClickedInView(view().get()); });
}

void VelkoraUserProfileViewController::viewDidLoad() {
    setStyleScreenIdentifier(kScreenId);
    VelkoraGeneralFeatureViewController::viewDidLoad();
    if (userImage_) {
        userImage_->layer().setCornerRadius(7.0);
        userImage_->setClipsToBounds(true);
    }
    isFacebookConnected_ = isTwitterConnected_ = false;
    for (const auto& b : {facebookConnectButton_, twitterConnectButton_})
        if (b) b->setTitle(profiles::text("velkora_text_connect_button"));
    if (loginButton_) loginButton_->setTitle(profiles::text("velkora_text_login_button"));
    if (signUpButton_) signUpButton_->setTitle(profiles::text("velkora_text_signup_button"));
    if (postsLabel_) postsLabel_->setText(profiles::text("velkora_text_posts_title"));
    if (followingLabel_) followingLabel_->setText(profiles::text("velkora_text_following_title"));
    if (followersLabel_) followersLabel_->setText(profiles::text("velkora_text_followers_title"));
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeUserPhotoFrameImage(userImageFrame_.get(), kScreenId);
    style.customizeProfileNameLabel(nameLabel_.get(), kScreenId);
    style.customizeProfileLocationLabel(locationLabel_.get(), kScreenId);
    style.customizeFacebookConnectButton(facebookConnectButton_.get(), kScreenId);
    style.customizeTwitterConnectButton(twitterConnectButton_.get(), kScreenId);
    style.customizeLoginConnectButton(loginButton_.get(), kScreenId);
    style.customizeSignupConnectButton(signUpButton_.get(), kScreenId);
    if (detailsScrollView_) detailsScrollView_->setHidden(true);

    std::weak_ptr<VelkoraUserProfileViewController> weak = sharedAs<VelkoraUserProfileViewController>();
    auto observe = [&](const char* name, std::function<void(VelkoraUserProfileViewController&)> f) {
        observers_.emplace_back(name, nullptr, [weak, f](const foundation::Notification&) {
            if (auto s = weak.lock()) f(*s);
        });
    };
    observe("VelkoraTwitterConnectedNotification", [](auto& s) { s.didConnect(2); });
    observe("VelkoraFacebookConnectedNotification", [](auto& s) { s.didConnect(1); });
    observe("VelkoraUserDataReceived", [](auto& s) {
        s.velkoraUser_ = session().velkoraUser();
        s.updateWithVelkoraUser(s.velkoraUser_);
    });
    observe("VelkoraChangedFollowingNotification", [](auto& s) { s.updateWithVelkoraUser(session().velkoraUser()); });
    observe("VelkoraDidResetUser", [](auto& s) { s.startSpinnerAt(s.signUpAnonymousView_.get()); });
}

void VelkoraUserProfileViewController::viewDidLayoutSubviews() {
    VelkoraGeneralFeatureViewController::viewDidLayoutSubviews();
    // A new block for every pass; making it must not ask for another pass.
    if (buildingBlock_ || !detailsScrollView_) return;
    buildingBlock_ = true;
    for (const auto& sub : std::vector<ui::ViewPtr>(detailsScrollView_->subviews()))
        sub->removeFromSuperview();
    auto block = VelkoraPanelProfileView::initFromNibWithMessages(true);
    if (block) {
        ++blocksBuilt_;
        block->setDelegate(
            std::static_pointer_cast<VelkoraPanelProfileViewDelegate>(sharedAs<VelkoraUserProfileViewController>()));
        profileView_ = block;
        const ui::Rect screen = ui::Screen::main().bounds();
        const bool portrait = ui::Application::instance().statusBarOrientation() <= 2;
        const double width = portrait ? screen.width() : screen.height();
        const double height = std::max(block->frame().height(), detailsScrollView_->bounds().height());
        block->setFrame({0, 0, width, height});
        detailsScrollView_->addSubview(block);
        detailsScrollView_->setContentSize({width, height});
    }
    updateWithVelkoraUser(session().velkoraUser());
    if (profileView_) profileView_->layoutIfNeeded();
    buildingBlock_ = false;
}

void VelkoraUserProfileViewController::updateWithVelkoraUser(const std::shared_ptr<VelkoraUserInternal>& user) {
    if (userNameTitleLabel_) userNameTitleLabel_->setText(profiles::text("velkora_text_my_profile_title_label"));
    const bool e = emailSignUp();
    if (nameLabel_) VelkoraAppSettings::setLeadingColor(*nameLabel_);
    if (!user) {
        if (anonymousView_) anonymousView_->setHidden(e);
        if (signUpAnonymousView_) signUpAnonymousView_->setHidden(!e);
        if (userDetailsView_) userDetailsView_->setHidden(true);
        if (detailsScrollView_) detailsScrollView_->setHidden(true);
        startSpinnerAt(velkoraContentView().get());
    } else {
        const bool a = user->isAnonymous();
        stopSpinner();
        if (anonymousView_) anonymousView_->setHidden(!(a && !e));
        if (signUpAnonymousView_) signUpAnonymousView_->setHidden(!(a && e));
        if (userDetailsView_) userDetailsView_->setHidden(a);
        if (detailsScrollView_) detailsScrollView_->setHidden(a);
        if (nameLabel_) nameLabel_->setText(VelkoraUserDetailsDisplayer::nameWithInitial(user.get()));
        if (numPostsLabel_) numPostsLabel_->setText(std::to_string(user->numFeeds()));
        if (numFollowersLabel_) numFollowersLabel_->setText(std::to_string(user->numFollowers()));
        if (numFollowingLabel_) numFollowingLabel_->setText(std::to_string(user->numFollowing()));
        if (userImage_) profiles::showUserPhoto(*userImage_, user);
        if (locationLabel_) {
            // Without a city the label goes for the screen's life.
            if (user->city().value_or("").empty())
                locationLabel_->removeFromSuperview();
            else
                locationLabel_->setText(*user->city());
        }
    }
    if (profileView_) profileView_->updateWithVelkoraUser(user);
    const std::string app = VelkoraAppSettings::appName().value_or("");
    if (anonymousView_ && !anonymousView_->isHidden() && anonymousInvitationLabel_) {
        anonymousInvitationLabel_->setText(profiles::textWith("velkora_text_make_the_most", app));
        adjustFontSizeToFit(*anonymousInvitationLabel_);
    } else if (signUpAnonymousView_ && !signUpAnonymousView_->isHidden() && signUpAnonymousInvitationLabel_) {
        signUpAnonymousInvitationLabel_->setText(profiles::textWith("velkora_text_login_signup_message", app));
        adjustFontSizeToFit(*signUpAnonymousInvitationLabel_);
    }
}

bool VelkoraUserProfileViewController::isSpinning() const {
    return activityView_ && activityView_->isAnimating();
}

void VelkoraUserProfileViewController::startSpinnerAt(ui::View* at) {
    if (isSpinning() || !at || !view()) return;
    activityView_ = ui::ActivityIndicatorView::create();
    activityView_->setHidesWhenStopped(true);
    activityView_->setCenter(at->convertPointToView(at->bounds().center(), view().get()));
    activityView_->startAnimating();
    view()->addSubview(activityView_);
}

void VelkoraUserProfileViewController::stopSpinner() {
    if (activityView_) activityView_->stopAnimating();
}

VelkoraUserSignUpHelper& VelkoraUserProfileViewController::signUpHelper() {
    if (!userSignUpHelper_) userSignUpHelper_ = VelkoraUserSignUpHelper::create();
    return *userSignUpHelper_;
}

void VelkoraUserProfileViewController::fbConnectClickedInView(ui::View* at) {
    auto connector = session().fbConnector();
    if (!connector) return;
    if (at) startSpinnerAt(at);
    std::weak_ptr<VelkoraUserProfileViewController> weak = sharedAs<VelkoraUserProfileViewController>();
    connector->connectWithDelegate(VelkoraConnectorTarget::make(sharedAs<VelkoraUserProfileViewController>(),
                                                                [weak](const foundation::Value& details) {
                                                                    if (auto s = weak.lock()) s->fbConnected(details);
                                                                }));
}

void VelkoraUserProfileViewController::fbConnected(const foundation::Value& details) {
    if (details.isNull()) {
        stopSpinner();
        return;
    }
    signUpHelper().connectServerWithDetails(details, 0, 2, false, true,
                                            VelkoraCallback(sharedAs<VelkoraUserProfileViewController>(),
                                                            &VelkoraUserProfileViewController::connectFinished,
                                                            &VelkoraUserProfileViewController::connectFailed));
}

void VelkoraUserProfileViewController::twConnectClickedInView(ui::View* at) {
    if (!VelkoraTwitterConnector::isTwitterEnabled()) {
        auto popup = VelkoraDefaultOKPopupView::initFromNib(profiles::text("velkora_text_ok_button"));
        if (!popup || !at) return;
        if (popup->titleLabel()) popup->titleLabel()->setText(profiles::text("velkora_text_twitter_connect_title"));
        if (popup->messageLable())
            popup->messageLable()->setText(profiles::text("velkora_text_twitter_cant_connect_message"));
        const ui::Size block = profileView_ ? profileView_->frame().size : at->bounds().size;
        const ui::Size body = popup->toplevelView() ? popup->toplevelView()->frame().size : ui::Size{};
        popup->showInViewAtPosition(at, {(block.width - body.width) * 0.5, (block.height - body.height) * 0.5}, false);
        return;
    }
    auto connector = session().twitterConnector();
    if (!connector) return;
    if (at) startSpinnerAt(at);
    std::weak_ptr<VelkoraUserProfileViewController> weak = sharedAs<VelkoraUserProfileViewController>();
    connector->getUserDetailsWithView(at, VelkoraConnectorTarget::make(sharedAs<VelkoraUserProfileViewController>(),
                                                                       [weak](const foundation::Value& details) {
                                                                           if (auto s = weak.lock())
                                                                               s->twitterGotUserDetails(details);
                                                                       }));
}

void VelkoraUserProfileViewController::twitterGotUserDetails(const foundation::Value& details) {
    if (details.isNull()) {
        stopSpinner();
        return;
    }
    signUpHelper().connectServerWithDetails(details, 0, 3, false, true,
                                            VelkoraCallback(sharedAs<VelkoraUserProfileViewController>(),
                                                            &VelkoraUserProfileViewController::connectFinished,
                                                            &VelkoraUserProfileViewController::connectFailed));
}

void VelkoraUserProfileViewController::connectFinished(const foundation::Value&) {
    stopSpinner();
}
void VelkoraUserProfileViewController::connectFailed(const foundation::ErrorPtr&) {
    stopSpinner();
}
void VelkoraUserProfileViewController::requestFailed(const foundation::ErrorPtr&) {
    stopSpinner();
}

void VelkoraUserProfileViewController::didConnect(int network) {
    updateWithVelkoraUser(session().velkoraUser());
    bool& announced = network == 1 ? isFacebookConnected_ : isTwitterConnected_;
    if (announced) return;
    auto record = session().userInfo();
    foundation::Value account = network == 1
                                    ? foundation::Value(static_cast<long long>(record ? record->fbId() : 0))
                                    : foundation::Value(record ? record->twitterAccountIdentifier().value_or("") : "");
    postSigninChanged(network == 1 ? "Facebook" : "Twitter", 1, &account);
    announced = true;
}

void VelkoraUserProfileViewController::postSigninChanged(const std::string& service, int state,
                                                         const foundation::Value* account) {
    auto record = session().userInfo();
    foundation::Dictionary info{{"socialService", foundation::Value(service)},
                                {"loginState", foundation::Value(static_cast<long long>(state))},
                                {"userId", foundation::Value(record ? record->userId().value_or("") : "")}};
    if (account) info.set("accountIdentifier", *account);
    foundation::NotificationCenter::defaultCenter().post("VelkoraUserSigninChanged", nullptr,
                                                         foundation::Value(std::move(info)));
}

void VelkoraUserProfileViewController::fbSignoutClickedInView(ui::View* at) {
    showSignoutPopup(1, "Facebook", at);
}
void VelkoraUserProfileViewController::twSignoutClickedInView(ui::View* at) {
    showSignoutPopup(2, "Twitter", at);
}
void VelkoraUserProfileViewController::emailSignoutClickedInView(ui::View* at) {
    showSignoutPopup(3, "Email", at);
}

void VelkoraUserProfileViewController::showSignoutPopup(int origin, const std::string& service, ui::View* at) {
    auto popup = VelkoraDefaultOKPopupView::initFromNibCancel(profiles::text("velkora_text_confirm_yes_button"),
                                                              profiles::text("velkora_text_cancel_button"));
    if (!popup) return;
    if (popup->titleLabel()) popup->titleLabel()->setText(profiles::text("velkora_text_sign_out_title"));
    if (popup->messageLable())
        popup->messageLable()->setText(profiles::textWith("velkora_text_social_network_sign_out_message", service));
    popup->setDelegate(
        std::static_pointer_cast<VelkoraDefaultOKPopupViewDelegate>(sharedAs<VelkoraUserProfileViewController>()));
    pendingSignout_ = origin;
    signoutView_ = at ? at->sharedView() : nullptr;
    auto window = ui::Application::instance().keyWindowShared();
    ui::View* host = window && window->rootViewController() ? window->rootViewController()->view().get() : view().get();
    popup->showInView(host);
    signoutPopup_ = popup;
}

void VelkoraUserProfileViewController::popupOkTapped() {
    if (auto at = signoutView_.lock()) startSpinnerAt(at.get());
    signoutFrom(pendingSignout_);
}

void VelkoraUserProfileViewController::signoutFrom(int origin) {
    auto record = session().userInfo();
    if (!record) return;
    auto self = sharedAs<VelkoraUserProfileViewController>();
    const bool signsOut = origin == 3 ||
                          (origin == 1 && record->userInfoSource() == 1 && record->isOnlyFacebookConnected()) ||
                          (origin == 2 && record->userInfoSource() == 2 && record->isOnlyTwitterConnected());
    if (signsOut) {
        signoutOrigin_ = origin;
        VelkoraServerApi::signOut(VelkoraCallback(self, &VelkoraUserProfileViewController::userSignedOut,
                                                  &VelkoraUserProfileViewController::requestFailed));
    } else if (origin == 1) {
        VelkoraServerApi::disconnectSocial(VelkoraCallback(self,
                                                           &VelkoraUserProfileViewController::userDisconnectedFacebook,
                                                           &VelkoraUserProfileViewController::requestFailed),
                                           2);
    } else if (origin == 2) {
        VelkoraServerApi::disconnectSocial(VelkoraCallback(self,
                                                           &VelkoraUserProfileViewController::userDisconnectedTwitter,
                                                           &VelkoraUserProfileViewController::requestFailed),
                                           3);
    }
}

void VelkoraUserProfileViewController::userSignedOut(const foundation::Value&) {
    stopSpinner();
    auto record = session().userInfo();
    if (!record) return;
    std::string service;
    if (signoutOrigin_ == 1) {
        record->setFbId(0);
        isFacebookConnected_ = false;
        service = "Facebook";
    } else if (signoutOrigin_ == 2) {
        record->setTwitterId(0);
        isTwitterConnected_ = false;
        service = "Twitter";
    } else if (signoutOrigin_ == 3) {
        record->setEmailId(std::string());
        record->setFbId(0);
        record->setTwitterId(0);
        isFacebookConnected_ = isTwitterConnected_ = false;
        service = "Email";
    }
    record->resetUserInfoSource();
    session().saveUserInfo();
    session().resetUserInfoWithUserId(std::nullopt);
    // The id of the record after the reset: the device's own anonymous user.
    postSigninChanged(service, 0, nullptr);
    if (auto container = featureTabDelegate()) container->backToPanel();
}

void VelkoraUserProfileViewController::userDisconnectedFacebook(const foundation::Value&) {
    stopSpinner();
    isFacebookConnected_ = false;
    auto record = session().userInfo();
    if (!record) return;
    record->setFbId(0);
    record->resetUserInfoSource();
    session().saveUserInfo();
    if (auto me = session().velkoraUser()) {
        me->setFacebookId(0);
        me->updateWithUserInfoSource(*record);
        VelkoraServerApi::setUserData(me);
    }
    updateWithVelkoraUser(session().velkoraUser());
    postSigninChanged("Facebook", 0, nullptr);
}

void VelkoraUserProfileViewController::userDisconnectedTwitter(const foundation::Value&) {
    stopSpinner();
    isTwitterConnected_ = false;
    auto record = session().userInfo();
    if (!record) return;
    record->setTwitterId(0);
    record->setTwitterAccountIdentifier(std::nullopt);
    record->resetUserInfoSource();
    session().saveUserInfo();
    if (auto me = session().velkoraUser()) {
        me->setTwitterId(0);
        me->updateWithUserInfoSource(*record);
        VelkoraServerApi::setUserData(me);
    }
    updateWithVelkoraUser(session().velkoraUser());
    postSigninChanged("Twitter", 0, nullptr);
}

void VelkoraUserProfileViewController::privateModeSwitchedValue(bool on) {
    auto record = session().userInfo();
    if (!record) return;
    record->setIsPrivateMode(!on);
    // Kept at once: a switch the next start forgot would publish what the user made private.
    session().saveUserInfo();
}

void VelkoraUserProfileViewController::editAboutClicked() {
    auto editor = VelkoraEditAboutViewController::create();
    editor->setFeatureTabDelegate(featureTabDelegate());
    if (auto* nav = navigationController())
        nav->presentViewController(editor, true);
    else
        presentViewController(editor, true);
}

void VelkoraUserProfileViewController::settingsClicked() {
    auto screen = VelkoraScreenRegistry::instance().makeScreen("settings");
    // The settings screen hands its sign-outs and changes back to this screen.
    if (auto settings = std::dynamic_pointer_cast<VelkoraUserSettingsViewController>(screen))
        settings->setDelegate(
            std::static_pointer_cast<VelkoraPanelProfileViewDelegate>(sharedAs<VelkoraUserProfileViewController>()));
    pushScreen(screen);
}

void VelkoraUserProfileViewController::messagesClicked(const std::string& title) {
    pushFeature("inbox", foundation::Value(title));
}

void VelkoraUserProfileViewController::pushFeature(const std::string& name, foundation::Value object1) {
    pushScreen(VelkoraScreenRegistry::instance().makeScreen(
        name, foundation::Value(foundation::Dictionary{{"object1", std::move(object1)}})));
}

void VelkoraUserProfileViewController::pushScreen(const std::shared_ptr<ui::ViewController>& screen) {
    if (!screen) return;
    if (auto feature = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(screen))
        feature->setFeatureTabDelegate(featureTabDelegate());
    if (auto* nav = navigationController()) nav->pushViewController(screen, true);
}

} // namespace velkora
