#include "shell/VelkoraSigninToFollowPopupHelper.h"

#include "shell/VelkoraAccountScreenSupport.h"
#include "social/VelkoraFBConnector.h"
#include "social/VelkoraTwitterConnector.h"
#include "social/VelkoraUserSignUpHelper.h"
#include "platform/foundation/Log.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppData.h"
#include "data/VelkoraAppSettings.h"

namespace velkora {

using foundation::ErrorPtr;
using foundation::Value;

std::shared_ptr<VelkoraSigninToFollowPopupHelper> VelkoraSigninToFollowPopupHelper::create() {
    return std::shared_ptr<VelkoraSigninToFollowPopupHelper>(new VelkoraSigninToFollowPopupHelper());
}

VelkoraSigninToFollowPopupHelper::~VelkoraSigninToFollowPopupHelper() {
    if (userSignUpHelper_) userSignUpHelper_->removeDelegate(this);
    auto& agent = VelkoraAgentInternal::instance();
    if (auto twitter = agent.twitterConnector()) twitter->removeDelegate(this);
    if (auto facebook = agent.fbConnector()) facebook->removeDelegate(this);
}

void VelkoraSigninToFollowPopupHelper::setView(ui::View* view) {
    view_ = view ? std::weak_ptr<ui::View>(view->sharedView()) : std::weak_ptr<ui::View>();
}

std::shared_ptr<VelkoraDefaultOKPopupView> VelkoraSigninToFollowPopupHelper::showSigninPopupInView(
    ui::View* view, const std::string& message, std::weak_ptr<VelkoraSigninToFollowPopupHelperDelegate> delegate) {
    delegate_ = std::move(delegate);
    setView(view);
    auto appData = VelkoraAgentInternal::instance().appData();
    emailSignUpEnabled_ = appData && appData->emailSignUpEnabled();

    std::shared_ptr<VelkoraDefaultOKPopupView> popup;
    if (emailSignUpEnabled_) {
        popup =
            VelkoraDefaultOKPopupView::initWithCustomNib(kSignUpPopup, account::localized("velkora_text_signup_button"),
                                                         account::localized("velkora_text_login_button"));
    } else {
        // The file tells the two apart by their logos: OK is Twitter, Cancel is Facebook.
        const std::string connect = account::localized("velkora_text_connect_button");
        popup = VelkoraDefaultOKPopupView::initWithCustomNib(kSignInPopup, connect, connect);
    }
    popup->setDelegate(std::weak_ptr<VelkoraDefaultOKPopupViewDelegate>(shared_from_this()));
    if (popup->titleLabel())
        popup->titleLabel()->setText(foundation::format(account::localized("velkora_text_welcome_to_app"),
                                                        VelkoraAppSettings::appName().value_or("")));
    if (popup->messageLable()) popup->messageLable()->setText(message);
    popup->showInView(view);
    return popup;
}

void VelkoraSigninToFollowPopupHelper::popupOkTapped() {
    if (emailSignUpEnabled_) {
        if (auto d = delegate()) d->performSignUp();
        return;
    }
    auto twitter = VelkoraAgentInternal::instance().twitterConnector();
    if (!twitter) return;
    auto self = shared_from_this();
    twitter->getUserDetailsWithView(view().get(), VelkoraConnectorTarget::make(self, [this](const Value& details) {
                                        twitterGotUserDetails(details);
                                    }));
}

void VelkoraSigninToFollowPopupHelper::popupCancelTapped() {
    if (emailSignUpEnabled_) {
        if (auto d = delegate()) d->performLogin();
        return;
    }
    auto facebook = VelkoraAgentInternal::instance().fbConnector();
    if (!facebook) return;
    auto self = shared_from_this();
    facebook->connectWithDelegate(
        VelkoraConnectorTarget::make(self, [this](const Value& details) { facebookConnected(details); }));
}

void VelkoraSigninToFollowPopupHelper::twitterGotUserDetails(const Value& details) {
    if (details.isNull()) return;
    connect(details, 3);
}

void VelkoraSigninToFollowPopupHelper::facebookConnected(const Value& details) {
    // The connector has shown its own message already.
    if (details.isNull()) return;
    connect(details, 2);
}

void VelkoraSigninToFollowPopupHelper::connect(const Value& details, int32_t method) {
    if (!userSignUpHelper_) userSignUpHelper_ = VelkoraUserSignUpHelper::create();
    auto self = shared_from_this();
    VelkoraCallback callback = method == 3
                                   ? VelkoraCallback(self, &VelkoraSigninToFollowPopupHelper::twitterConnectedServer,
                                                     &VelkoraSigninToFollowPopupHelper::twitterServerConnectFailed)
                                   : VelkoraCallback(self, &VelkoraSigninToFollowPopupHelper::facebookConnectedServer,
                                                     &VelkoraSigninToFollowPopupHelper::facebookServerConnectFailed);
    userSignUpHelper_->connectServerWithDetails(details, 0, method, false, true, std::move(callback));
}

void VelkoraSigninToFollowPopupHelper::twitterConnectedServer(const Value&) {
    connectedServer();
}
void VelkoraSigninToFollowPopupHelper::facebookConnectedServer(const Value&) {
    connectedServer();
}
void VelkoraSigninToFollowPopupHelper::twitterServerConnectFailed(const ErrorPtr& error) {
    serverConnectFailed(error);
}
void VelkoraSigninToFollowPopupHelper::facebookServerConnectFailed(const ErrorPtr& error) {
    serverConnectFailed(error);
}

void VelkoraSigninToFollowPopupHelper::connectedServer() {
    if (auto d = delegate()) d->didSignin();
}

void VelkoraSigninToFollowPopupHelper::serverConnectFailed(const ErrorPtr& error) {
    // A declined override is the user's own answer; anything else would otherwise pass in silence.
    if (!error) return;
    account::showOKPopup("velkora_text_user_login_failed_title", "velkora_text_login_general_error_message");
}

} // namespace velkora
