// The sidebar header's account actions: connecting Facebook or Twitter, signing out of a network or of the
// e-mail account (or only disconnecting a network the account does not stand on), the private-mode switch,
// and telling the host through "VelkoraUserSigninChanged".
#include "data/VelkoraUserInternal.h"
#include "social/VelkoraFBConnector.h"
#include "social/VelkoraTwitterConnector.h"
#include "social/VelkoraUserSignUpHelper.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Application.h"
#include "server/VelkoraServerApi.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraUserInfo.h"
#include "shell/VelkoraViewController.h"

namespace velkora {

namespace {

std::string localized(const std::string& key) {
    return foundation::Bundle::main().localizedString(key);
}

ui::Point centreOf(ui::View* view) {
    return view ? view->bounds().center() : ui::Point{};
}

} // namespace

std::shared_ptr<VelkoraUserSignUpHelper> VelkoraViewController::signUpHelper() {
    if (!userSignUpHelper_) userSignUpHelper_ = VelkoraUserSignUpHelper::create();
    return userSignUpHelper_;
}

void VelkoraViewController::clearSignUpHelper() {
    if (userSignUpHelper_) userSignUpHelper_->removeDelegate(this);
}

// ---- Connecting

void VelkoraViewController::facebookConnectClicked(ui::Control* /*sender*/) {
    fbConnectClickedInView(panelView_.get());
}

void VelkoraViewController::fbConnectClickedInView(ui::View* view) {
    // Before the session has made its connectors there is nothing to wait for: no spinner.
    auto connector = VelkoraAgentInternal::instance().fbConnector();
    if (!connector) {
        foundation::Log::line("Velkora (W) - fbConnectClickedInView: no Facebook connector yet");
        return;
    }
    if (view) startActivityIndicatorIfNeedAtPoint(centreOf(view), view);
    auto self = std::static_pointer_cast<VelkoraViewController>(shared_from_this());
    std::weak_ptr<VelkoraViewController> weak = self;
    connector->connectWithDelegate(VelkoraConnectorTarget::make(self, [weak](const foundation::Value& details) {
        if (auto s = weak.lock()) s->fbConnected(details);
    }));
}

void VelkoraViewController::fbConnected(const foundation::Value& details) {
    // No details: the log-in failed or was given up; the connector has said what there was to say.
    if (details.isNull()) {
        stopActivityIndicator();
        return;
    }
    auto self = std::static_pointer_cast<VelkoraViewController>(shared_from_this());
    signUpHelper()->connectServerWithDetails(details, 0, 2, false, true,
                                             VelkoraCallback(self, &VelkoraViewController::facebookConnectedServer,
                                                             &VelkoraViewController::facebookServerConnectFailed));
}

void VelkoraViewController::twitterConnectClicked(ui::Control* /*sender*/) {
    twConnectClickedInView(panelView_.get());
}

void VelkoraViewController::twConnectClickedInView(ui::View* view) {
    if (!VelkoraTwitterConnector::isTwitterEnabled()) {
        auto popup = VelkoraDefaultOKPopupView::initFromNib(localized("velkora_text_ok_button"));
        if (popup->titleLabel()) popup->titleLabel()->setText(localized("velkora_text_twitter_connect_title"));
        if (popup->messageLable())
            popup->messageLable()->setText(localized("velkora_text_twitter_cant_connect_message"));
        double profileWidth = panelView_ && panelView_->profileScrollView()
                                  ? panelView_->profileScrollView()->frame().size.width
                                  : (panelView_ ? panelView_->frame().size.width : 0);
        double panelHeight = panelView_ ? panelView_->frame().size.height : 0;
        auto size = popup->toplevelView() ? popup->toplevelView()->frame().size : ui::Size{};
        popup->showInViewAtPosition(view, {(profileWidth - size.width) / 2, (panelHeight - size.height) / 2}, false);
        return;
    }
    auto connector = VelkoraAgentInternal::instance().twitterConnector();
    if (!connector) {
        foundation::Log::line("Velkora (W) - twConnectClickedInView: no Twitter connector yet");
        return;
    }
    if (view) startActivityIndicatorIfNeedAtPoint(centreOf(view), view);
    auto self = std::static_pointer_cast<VelkoraViewController>(shared_from_this());
    std::weak_ptr<VelkoraViewController> weak = self;
    connector->getUserDetailsWithView(view,
                                      VelkoraConnectorTarget::make(self, [weak](const foundation::Value& details) {
                                          if (auto s = weak.lock()) s->twitterGotUserDetails(details);
                                      }));
}

void VelkoraViewController::twitterGotUserDetails(const foundation::Value& details) {
    if (details.isNull()) {
        stopActivityIndicator();
        return;
    }
    auto self = std::static_pointer_cast<VelkoraViewController>(shared_from_this());
    signUpHelper()->connectServerWithDetails(details, 0, 3, false, true,
                                             VelkoraCallback(self, &VelkoraViewController::twitterConnectedServer,
                                                             &VelkoraViewController::twitterServerConnectFailed));
}

void VelkoraViewController::facebookConnectedServer(const foundation::Value&) {
    stopActivityIndicator();
}
void VelkoraViewController::facebookServerConnectFailed(const foundation::ErrorPtr&) {
    stopActivityIndicator();
}
void VelkoraViewController::twitterConnectedServer(const foundation::Value&) {
    stopActivityIndicator();
}
void VelkoraViewController::twitterServerConnectFailed(const foundation::ErrorPtr&) {
    stopActivityIndicator();
}

void VelkoraViewController::didConnectFacebook(const foundation::Notification& /*notification*/) {
    if (panelView_) panelView_->updateWithVelkoraUser(VelkoraAgentInternal::instance().velkoraUser());
    if (isFacebookConnected_) return;
    auto info = VelkoraAgentInternal::instance().userInfo();
    postSigninChanged("Facebook", 1, foundation::Value(static_cast<long long>(info ? info->fbId() : 0)));
    isFacebookConnected_ = true;
}

void VelkoraViewController::didConnectTwitter(const foundation::Notification& /*notification*/) {
    if (panelView_) panelView_->updateWithVelkoraUser(VelkoraAgentInternal::instance().velkoraUser());
    if (isTwitterConnected_) return;
    auto info = VelkoraAgentInternal::instance().userInfo();
    auto identifier = info ? info->twitterAccountIdentifier() : std::nullopt;
    postSigninChanged("Twitter", 1, identifier ? foundation::Value(*identifier) : foundation::Value());
    isTwitterConnected_ = true;
}

void VelkoraViewController::postSigninChanged(const std::string& service, int loginState,
                                              const foundation::Value& accountIdentifier) {
    foundation::Dictionary info{{"socialService", foundation::Value(service)},
                                {"loginState", foundation::Value(loginState)}};
    if (loginState == 1 && !accountIdentifier.isNull()) info.set("accountIdentifier", accountIdentifier);
    auto record = VelkoraAgentInternal::instance().userInfo();
    if (record && record->userId()) info.set("userId", foundation::Value(*record->userId()));
    foundation::NotificationCenter::defaultCenter().post("VelkoraUserSigninChanged", nullptr,
                                                         foundation::Value(std::move(info)));
}

// ---- Signing out

void VelkoraViewController::fbSignoutClickedInView(ui::View* view) {
    showSignoutPopupWithSelector(&VelkoraViewController::signoutFromFacebook, "Facebook", view);
}
void VelkoraViewController::twSignoutClickedInView(ui::View* view) {
    showSignoutPopupWithSelector(&VelkoraViewController::signoutFromTwitter, "Twitter", view);
}
void VelkoraViewController::emailSignoutClickedInView(ui::View* view) {
    showSignoutPopupWithSelector(&VelkoraViewController::signoutFromEmail, "Email", view);
}

void VelkoraViewController::showSignoutPopupWithSelector(Action action, const std::string& app, ui::View* view) {
    auto popup = VelkoraDefaultOKPopupView::initFromNibCancel(localized("velkora_text_confirm_yes_button"),
                                                              localized("velkora_text_cancel_button"));
    if (popup->titleLabel()) popup->titleLabel()->setText(localized("velkora_text_sign_out_title"));
    if (popup->messageLable())
        popup->messageLable()->setText(
            foundation::format(localized("velkora_text_social_network_sign_out_message"), app));
    popup->setDelegate(std::static_pointer_cast<VelkoraDefaultOKPopupViewDelegate>(
        std::static_pointer_cast<VelkoraViewController>(shared_from_this())));
    popupOkActionSelector_ = action;
    signoutView_ = view ? view->sharedView() : nullptr;
    auto key = ui::Application::instance().keyWindowShared();
    ui::View* host = key && key->rootViewController() ? key->rootViewController()->view().get() : nullptr;
    popup->showInView(host);
}

void VelkoraViewController::popupOkTapped() {
    if (auto view = signoutView_.lock()) startActivityIndicatorIfNeedAtPoint(centreOf(view.get()), view.get());
    if (auto action = popupOkActionSelector_) (this->*action)();
}

void VelkoraViewController::popupCancelTapped() {}

void VelkoraViewController::signoutOrDisconnect(int source, bool onlyThisNetwork,
                                                void (VelkoraViewController::*disconnected)(const foundation::Value&),
                                                void (VelkoraViewController::*failed)(const foundation::ErrorPtr&)) {
    auto info = VelkoraAgentInternal::instance().userInfo();
    auto self = std::static_pointer_cast<VelkoraViewController>(shared_from_this());
    // The account stands on this network alone: signing out of it signs out of the account. Otherwise
    // only the network goes and the user stays signed in.
    if (info && info->userInfoSource() == source && onlyThisNetwork) {
        signoutOrigin_ = source;
        VelkoraServerApi::signOut(
            VelkoraCallback(self, &VelkoraViewController::userSignedOut, &VelkoraViewController::userFailedSigningOut));
    } else {
        VelkoraServerApi::disconnectSocial(VelkoraCallback(self, disconnected, failed), source + 1);
    }
}

void VelkoraViewController::signoutFromFacebook() {
    auto info = VelkoraAgentInternal::instance().userInfo();
    signoutOrDisconnect(1, info && info->isOnlyFacebookConnected(), &VelkoraViewController::userDisconnectedFacebook,
                        &VelkoraViewController::userFailedDisconnectFacebook);
}

void VelkoraViewController::signoutFromTwitter() {
    auto info = VelkoraAgentInternal::instance().userInfo();
    signoutOrDisconnect(2, info && info->isOnlyTwitterConnected(), &VelkoraViewController::userDisconnectedTwitter,
                        &VelkoraViewController::userFailedDisconnectTwitter);
}

void VelkoraViewController::signoutFromEmail() {
    signoutOrigin_ = 3;
    auto self = std::static_pointer_cast<VelkoraViewController>(shared_from_this());
    VelkoraServerApi::signOut(
        VelkoraCallback(self, &VelkoraViewController::userSignedOut, &VelkoraViewController::userFailedSigningOut));
}

void VelkoraViewController::userSignedOut(const foundation::Value& /*answer*/) {
    stopActivityIndicator();
    auto& agent = VelkoraAgentInternal::instance();
    auto info = agent.userInfo();
    std::string service;
    if (info) {
        switch (signoutOrigin_) {
        case 1:
            info->setFbId(0);
            isFacebookConnected_ = false;
            service = "Facebook";
            break;
        case 2:
            info->setTwitterId(0);
            isTwitterConnected_ = false;
            service = "Twitter";
            break;
        case 3:
            info->setEmailId(std::string());
            info->setFbId(0);
            info->setTwitterId(0);
            isFacebookConnected_ = isTwitterConnected_ = false;
            service = "Email";
            break;
        default:
            break;
        }
        info->resetUserInfoSource();
    }
    agent.saveUserInfo();
    agent.resetUserInfoWithUserId(std::nullopt);
    postSigninChanged(service, 0, {});
    closeFeatureScreenWithGestureAnimation(true);
}

void VelkoraViewController::networkDisconnected(bool facebook) {
    stopActivityIndicator();
    (facebook ? isFacebookConnected_ : isTwitterConnected_) = false;
    auto& agent = VelkoraAgentInternal::instance();
    auto info = agent.userInfo();
    if (info) {
        if (facebook) {
            info->setFbId(0);
        } else {
            info->setTwitterId(0);
            info->setTwitterAccountIdentifier(std::nullopt);
        }
        info->resetUserInfoSource();
    }
    agent.saveUserInfo();
    if (auto user = agent.velkoraUser()) {
        if (facebook)
            user->setFacebookId(0);
        else
            user->setTwitterId(0);
        if (info) user->updateWithUserInfoSource(*info);
        VelkoraServerApi::setUserData(user);
        if (panelView_) panelView_->updateWithVelkoraUser(user);
    }
    postSigninChanged(facebook ? "Facebook" : "Twitter", 0, {});
}

void VelkoraViewController::userDisconnectedFacebook(const foundation::Value&) {
    networkDisconnected(true);
}
void VelkoraViewController::userDisconnectedTwitter(const foundation::Value&) {
    networkDisconnected(false);
}

void VelkoraViewController::userFailedSigningOut(const foundation::ErrorPtr&) {
    stopActivityIndicator();
}
void VelkoraViewController::userFailedDisconnectFacebook(const foundation::ErrorPtr&) {
    stopActivityIndicator();
}
void VelkoraViewController::userFailedDisconnectTwitter(const foundation::ErrorPtr&) {
    stopActivityIndicator();
}

void VelkoraViewController::privateModeSwitchedValue(bool on) {
    auto& agent = VelkoraAgentInternal::instance();
    if (auto info = agent.userInfo()) info->setIsPrivateMode(!on);
    // Saved at once: nothing else may save the record before the process ends, and the choice would be lost.
    agent.saveUserInfo();
}

} // namespace velkora
