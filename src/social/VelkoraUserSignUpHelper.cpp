#include "social/VelkoraUserSignUpHelper.h"

#include <map>

#include "data/VelkoraSessionRecords.h"
#include "data/VelkoraUserDetailsDisplayer.h"
#include "data/VelkoraUserInfo.h"
#include "data/VelkoraUserInternal.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Application.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "server/VelkoraServerApi.h"
#include "social/VelkoraFBConnector.h"
#include "social/VelkoraPopups.h"
#include "social/VelkoraSocialDetails.h"
#include "social/VelkoraTwitterConnector.h"

namespace velkora {

using foundation::ErrorPtr;
using foundation::Log;
using foundation::Value;

namespace {

std::string localized(const char* key) {
    return foundation::Bundle::main().localizedString(key);
}

ErrorPtr internalError() {
    return foundation::makeError("INTERNAL_ERROR", 0);
}

// A conversation holds its helper until its answer: a caller that goes away mid-way (a screen left) must
// not leave the record half changed, so the answer is still taken. Main thread only.
std::map<const VelkoraUserSignUpHelper*, std::shared_ptr<VelkoraUserSignUpHelper>>& running() {
    static std::map<const VelkoraUserSignUpHelper*, std::shared_ptr<VelkoraUserSignUpHelper>> held;
    return held;
}

// The hold goes to the caller's stack, where it ends once the answer has been handled.
std::shared_ptr<VelkoraUserSignUpHelper> endConversation(const VelkoraUserSignUpHelper* helper) {
    auto it = running().find(helper);
    if (it == running().end()) return nullptr;
    auto hold = std::move(it->second);
    running().erase(it);
    return hold;
}

} // namespace

std::shared_ptr<VelkoraUserSignUpHelper> VelkoraUserSignUpHelper::create() {
    return std::shared_ptr<VelkoraUserSignUpHelper>(new VelkoraUserSignUpHelper());
}

VelkoraUserSignUpHelper::~VelkoraUserSignUpHelper() {
    VelkoraServerApi::clearUserDelegate(this);
}

VelkoraCallback VelkoraUserSignUpHelper::to(void (VelkoraUserSignUpHelper::*selector)(const Value&),
                                            void (VelkoraUserSignUpHelper::*errorSelector)(const ErrorPtr&)) {
    return VelkoraCallback(shared_from_this(), selector, errorSelector);
}

void VelkoraUserSignUpHelper::removeDelegate(const void* object) {
    if (object && delegate_.delegate() == object) delegate_.clearDelegate();
}

void VelkoraUserSignUpHelper::refuse(const VelkoraCallback& callback, const char* why) {
    Log::line("Velkora (E) - connectServerWithDetails: %@", why);
    callback.fail(internalError());
}

void VelkoraUserSignUpHelper::connectServerWithDetails(const Value& details, int32_t connectType, int32_t method,
                                                       bool justUid, bool implicitSwitch, VelkoraCallback callback) {
    // A second conversation would mix its answers and record writes with the running one's.
    if (connecting_) return refuse(callback, "another connection is running");
    auto& agent = VelkoraSessionRecords::current();
    auto info = agent.getUserInfo();
    if (!info) return refuse(callback, "no local user");

    auto current = agent.velkoraUser();
    meUserUpdated_ = current ? current->copy() : std::make_shared<VelkoraUserInternal>();
    justUid_ = justUid;
    connectType_ = connectType;
    method_ = method;
    delegate_ = std::move(callback);
    infoSource_ = info->userInfoSource();
    password_.reset();
    connectValue_.reset();
    before_ = VelkoraIdentityFields::of(*info);

    if (method == 1) {
        auto email = people::textIn(details, "email");
        if (!email || email->empty()) return refuse(delegate_, "no e-mail address");
        meUserUpdated_->setFirstName(people::textIn(details, "name"));
        meUserUpdated_->setLastName(std::string());
        meUserUpdated_->setCity(std::string());
        meUserUpdated_->setState(std::string());
        meUserUpdated_->setEmail(email);
        meUserUpdated_->setUserPhotoUrl(people::textIn(details, "photoUrl"));
        connectValue_ = email;
        password_ = people::textIn(details, "password");
    } else if (method == 2 || method == 3) {
        // The id comes from the details themselves: the record may still hold an older identity's.
        auto id = people::idIn(details);
        if (!id) return refuse(delegate_, "the details hold no id");
        // The connector stored this identity in the record already; failing puts back what it replaced.
        if (auto replaced = VelkoraIdentityFields::takeReplaced(method, *id)) {
            before_.adopt(*replaced, method);
        }
        if (method == 3)
            VelkoraTwitterConnector::updateUserWithTwitterDetails(meUserUpdated_, details, justUid);
        else
            VelkoraFBConnector::updateUserWithFBDetails(meUserUpdated_, details, justUid);
        connectValue_ = std::to_string(*id);
        if (infoSource_ != 0) {
            connecting_ = true;
            running()[this] = shared_from_this();
            sendConnectSocial(false, &VelkoraUserSignUpHelper::attemptConnectOverride);
            return;
        }
    } else {
        Log::line("Velkora - Connect method %d not yet supported", method);
        return;
    }

    auto errorSelector = implicitSwitch ? (connectType == 1 ? &VelkoraUserSignUpHelper::attemptSignUp
                                                            : &VelkoraUserSignUpHelper::attemptLogin)
                                        : &VelkoraUserSignUpHelper::userConnectError;
    if (connectType == 1) {
        connecting_ = true;
        running()[this] = shared_from_this();
        VelkoraServerApi::login(to(&VelkoraUserSignUpHelper::userSignedUp, errorSelector), method, connectValue_,
                                password_);
    } else if (connectType == 0) {
        connecting_ = true;
        running()[this] = shared_from_this();
        VelkoraServerApi::signUp(to(&VelkoraUserSignUpHelper::userSignedUp, errorSelector), method, connectValue_,
                                 password_, meUserUpdated_);
    }
}

void VelkoraUserSignUpHelper::sendConnectSocial(bool overrideOtherUser,
                                                void (VelkoraUserSignUpHelper::*errorSelector)(const ErrorPtr&)) {
    VelkoraServerApi::connectSocial(to(&VelkoraUserSignUpHelper::userConnected, errorSelector), method_, connectValue_,
                                    !justUid_, overrideOtherUser, meUserUpdated_);
}

void VelkoraUserSignUpHelper::attemptLogin(const ErrorPtr& error) {
    if (!error || error->domain != "USER_ALREADY_SIGNED_UP") return userConnectError(error);
    Log::line("Velkora - User already signed up, trying to login");
    VelkoraServerApi::login(to(&VelkoraUserSignUpHelper::userSignedUp, &VelkoraUserSignUpHelper::userConnectError),
                            method_, connectValue_, std::nullopt);
}

void VelkoraUserSignUpHelper::attemptSignUp(const ErrorPtr& error) {
    if (!error || error->domain != "USER_NOT_FOUND") return userConnectError(error);
    Log::line("Velkora - User is unknown, trying to sign up");
    VelkoraServerApi::signUp(to(&VelkoraUserSignUpHelper::userSignedUp, &VelkoraUserSignUpHelper::userConnectError),
                             method_, connectValue_, std::nullopt, meUserUpdated_);
}

void VelkoraUserSignUpHelper::userSignedUp(const Value& userIdValue) {
    auto userId = userIdValue.toText();
    if (!userId || userId->empty()) {
        Log::line("Velkora - User signed up with nil user Id ? Something is wrong ...");
        // Without an id nothing can be saved; the caller still hears that it failed.
        return userConnectError(internalError());
    }
    auto hold = endConversation(this);
    connecting_ = false;
    password_.reset();
    Log::line("Velkora - User '%@' has successfully signed up / logged in", *userId);
    auto& agent = VelkoraSessionRecords::current();
    agent.setVelkoraUser(meUserUpdated_);
    auto info = agent.getUserInfo();
    if (info) {
        int32_t source = 0;
        if (method_ == 2) {
            source = 1;
        } else if (method_ == 3) {
            source = 2;
        } else if (method_ == 1) {
            source = 3;
            info->setEmailId(meUserUpdated_->email());
            info->setEmailName(VelkoraUserDetailsDisplayer::nameFull(meUserUpdated_.get()));
            info->setEmailPhoto(meUserUpdated_->userPhotoUrl());
        }
        info->setUserInfoSource(source);
        if (!info->joinedFeedSent()) {
            VelkoraServerApi::sendJoinedFeed(VelkoraCallback());
            info->setJoinedFeedSent(true);
        }
        agent.saveUserInfo();
    }
    agent.resetUserInfoWithUserId(*userId);
    if (!delegate_.answer(Value(*userId)))
        Log::line("Velkora - userSignedUp: designated delegate does not respond to defined selector");
    notifyConnection();
}

void VelkoraUserSignUpHelper::userConnected(const Value&) {
    auto hold = endConversation(this);
    connecting_ = false;
    Log::line("Velkora - User successfully connected");
    auto& agent = VelkoraSessionRecords::current();
    agent.setVelkoraUser(meUserUpdated_);
    if (!justUid_) {
        if (auto info = agent.getUserInfo()) {
            info->setUserInfoSource(method_ == 2 ? 1 : method_ == 3 ? 2 : 0);
            agent.saveUserInfo();
        }
    }
    if (!delegate_.answer(Value()))
        Log::line("Velkora - userConnected: designated delegate does not respond to defined selector");
    notifyConnection();
}

void VelkoraUserSignUpHelper::attemptConnectOverride(const ErrorPtr& error) {
    if (!error || error->domain != "USER_ALREADY_SIGNED_UP") return userConnectError(error);
    Log::line("Velkora - User already connected, check if to override");
    VelkoraPopups::Popup popup;
    popup.title = localized("velkora_text_connect_social_override_title");
    popup.message = foundation::format(localized("velkora_text_connect_social_override_message"),
                                       VelkoraUserDetailsDisplayer::nameWithInitial(meUserUpdated_.get()));
    popup.okTitle = localized("velkora_text_confirm_yes_button");
    popup.cancelTitle = localized("velkora_text_cancel_button");
    popup.holdsTouches = true;
    ui::View* host = nullptr;
    if (auto* window = ui::Application::instance().keyWindow()) {
        if (const auto& root = window->rootViewController()) host = root->view().get();
        if (!host) host = window;
    }
    std::weak_ptr<VelkoraUserSignUpHelper> weak = shared_from_this();
    VelkoraPopups::show(host, popup, [weak](bool ok) {
        if (auto self = weak.lock()) ok ? self->popupOkTapped() : self->popupCancelTapped();
    });
}

void VelkoraUserSignUpHelper::popupOkTapped() {
    sendConnectSocial(true, &VelkoraUserSignUpHelper::userConnectError);
}

void VelkoraUserSignUpHelper::popupCancelTapped() {
    userConnectError(nullptr);
}

void VelkoraUserSignUpHelper::userConnectError(const ErrorPtr& error) {
    auto hold = endConversation(this);
    connecting_ = false;
    password_.reset();
    Log::line("Velkora - User failed to connect: %@", error ? error->domain : std::string("(null)"));
    auto& agent = VelkoraSessionRecords::current();
    if (auto info = agent.getUserInfo()) {
        if (method_ >= 1 && method_ <= 3)
            before_.restore(*info, method_);
        else
            Log::line("Velkora - Connect method %d not yet supported", method_);
        info->setUserInfoSource(infoSource_);
        agent.saveUserInfo();
    }
    if (!delegate_.fail(error))
        Log::line("Velkora - userConnectError: designated delegate does not respond to defined error selector");
}

void VelkoraUserSignUpHelper::notifyConnection() {
    static constexpr const char* kNames[] = {"VelkoraEmailConnectedNotification",
                                             "VelkoraFacebookConnectedNotification",
                                             "VelkoraTwitterConnectedNotification"};
    if (method_ < 1 || method_ > 3) {
        Log::line("Velkora - Connect method %d not yet supported", method_);
        return;
    }
    foundation::NotificationCenter::defaultCenter().post(kNames[method_ - 1], this);
}

void VelkoraUserSignUpHelper::userSignedOut(int32_t accountSource) {
    auto& agent = VelkoraSessionRecords::current();
    auto info = agent.getUserInfo();
    std::string service;
    if (info) {
        if (accountSource == 1) {
            VelkoraIdentityFields::clearFacebook(*info);
            service = "Facebook";
        } else if (accountSource == 2) {
            VelkoraIdentityFields::clearTwitter(*info);
            service = "Twitter";
        } else if (accountSource == 3) {
            // Leaving the e-mail account drops every identity.
            VelkoraIdentityFields::clearEmail(*info);
            VelkoraIdentityFields::clearFacebook(*info);
            VelkoraIdentityFields::clearTwitter(*info);
            service = "Email";
        }
        info->resetUserInfoSource();
        agent.saveUserInfo();
    }
    agent.resetUserInfoWithUserId(std::nullopt);
    Value userId = info && info->userId() ? Value(*info->userId()) : Value();
    foundation::NotificationCenter::defaultCenter().post(
        "VelkoraUserSigninChanged", nullptr,
        Value(foundation::Dictionary{{"socialService", Value(service)}, {"loginState", Value(0)}, {"userId", userId}}));
}

} // namespace velkora
