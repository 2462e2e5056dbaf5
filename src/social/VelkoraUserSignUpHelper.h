// One conversation with the service that turns the device's user into a known account: log in, sign up,
// or attach a Facebook or Twitter identity, with the fallback between log-in and sign-up, the question
// before taking an identity from another account, and the local half of signing out.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "server/VelkoraCallback.h"
#include "social/VelkoraIdentityFields.h"

namespace velkora {

class VelkoraUserInternal;

class VelkoraUserSignUpHelper : public std::enable_shared_from_this<VelkoraUserSignUpHelper> {
public:
    static std::shared_ptr<VelkoraUserSignUpHelper> create();
    ~VelkoraUserSignUpHelper();

    // The callback's answer receives the new user id text (log-in, sign-up) or null (social connect); its
    // failure the error, or null when the user declined the override. An empty function does not answer.
    void connectServerWithDetails(const foundation::Value& details, int32_t connectType, int32_t method, bool justUid,
                                  bool implicitSwitch, VelkoraCallback callback);
    // The local half of signing out (account source 1 Facebook, 2 Twitter, 3 e-mail).
    void userSignedOut(int32_t accountSource);
    // Clears the caller, or leaves it when it is another.
    void removeDelegate(const void* object);
    void setDelegate(VelkoraCallback callback) { delegate_ = std::move(callback); }

    // Answers of the server client.
    void userSignedUp(const foundation::Value& userId);
    void userConnected(const foundation::Value& ignored);
    void attemptLogin(const foundation::ErrorPtr& error);
    void attemptSignUp(const foundation::ErrorPtr& error);
    void attemptConnectOverride(const foundation::ErrorPtr& error);
    void userConnectError(const foundation::ErrorPtr& error);

    // The override question's answers.
    void popupOkTapped();
    void popupCancelTapped();

    bool justUid() const { return justUid_; }
    int32_t connectType() const { return connectType_; }
    int32_t method() const { return method_; }
    int32_t infoSource() const { return infoSource_; }
    const std::optional<std::string>& connectValue() const { return connectValue_; }
    const std::shared_ptr<VelkoraUserInternal>& meUserUpdated() const { return meUserUpdated_; }
    // Whether a conversation is running (a second one is refused meanwhile).
    bool isConnecting() const { return connecting_; }

private:
    VelkoraUserSignUpHelper() = default;
    VelkoraCallback to(void (VelkoraUserSignUpHelper::*selector)(const foundation::Value&),
                       void (VelkoraUserSignUpHelper::*errorSelector)(const foundation::ErrorPtr&));
    void refuse(const VelkoraCallback& callback, const char* why);
    void sendConnectSocial(bool overrideOtherUser,
                           void (VelkoraUserSignUpHelper::*errorSelector)(const foundation::ErrorPtr&));
    void notifyConnection();

    bool justUid_ = false;
    VelkoraCallback delegate_;
    int32_t connectType_ = 0;
    int32_t method_ = 0;
    int32_t infoSource_ = 0;
    std::optional<std::string> connectValue_;
    std::optional<std::string> password_;
    std::shared_ptr<VelkoraUserInternal> meUserUpdated_;
    VelkoraIdentityFields before_;
    bool connecting_ = false;
};

} // namespace velkora
