// The question an anonymous user meets before following, chatting or appearing on the leaderboard: sign
// in first. With e-mail sign-up the answer opens the sign-up or log-in screen (the asking screen does
// that); otherwise the popup connects Twitter or Facebook itself and tells the screen once it is done, so
// the screen can repeat what was tapped.
#pragma once

#include <memory>
#include <string>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "shell/VelkoraDefaultOKPopupView.h"

namespace velkora {

namespace ui {
class View;
}
class VelkoraUserSignUpHelper;

class VelkoraSigninToFollowPopupHelperDelegate {
public:
    virtual ~VelkoraSigninToFollowPopupHelperDelegate() = default;
    // Signed in: repeat the action.
    virtual void didSignin() = 0;
    virtual void performLogin() = 0;
    virtual void performSignUp() = 0;
};

class VelkoraSigninToFollowPopupHelper : public VelkoraDefaultOKPopupViewDelegate,
                                         public std::enable_shared_from_this<VelkoraSigninToFollowPopupHelper> {
public:
    static constexpr const char* kSignUpPopup = "VelkoraSignUpPopup";
    static constexpr const char* kSignInPopup = "VelkoraSignInPopup";

    static std::shared_ptr<VelkoraSigninToFollowPopupHelper> create();
    ~VelkoraSigninToFollowPopupHelper() override;

    // The popup for this showing; the application's configuration decides its form each time.
    std::shared_ptr<VelkoraDefaultOKPopupView>
    showSigninPopupInView(ui::View* view, const std::string& message,
                          std::weak_ptr<VelkoraSigninToFollowPopupHelperDelegate> delegate);

    void popupOkTapped() override;
    void popupCancelTapped() override;

    // Answers of the connectors (null: no usable account; the connector has said so).
    void twitterGotUserDetails(const foundation::Value& details);
    void facebookConnected(const foundation::Value& details);
    // Answers of the connect helper.
    void twitterConnectedServer(const foundation::Value& userId);
    void facebookConnectedServer(const foundation::Value& userId);
    void twitterServerConnectFailed(const foundation::ErrorPtr& error);
    void facebookServerConnectFailed(const foundation::ErrorPtr& error);

    bool emailSignUpEnabled() const { return emailSignUpEnabled_; }
    std::shared_ptr<VelkoraSigninToFollowPopupHelperDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<VelkoraSigninToFollowPopupHelperDelegate> d) { delegate_ = std::move(d); }
    std::shared_ptr<ui::View> view() const { return view_.lock(); }
    void setView(ui::View* view);
    const std::shared_ptr<VelkoraUserSignUpHelper>& userSignUpHelper() const { return userSignUpHelper_; }

private:
    VelkoraSigninToFollowPopupHelper() = default;
    void connect(const foundation::Value& details, int32_t method);
    void connectedServer();
    void serverConnectFailed(const foundation::ErrorPtr& error);

    std::shared_ptr<VelkoraUserSignUpHelper> userSignUpHelper_;
    bool emailSignUpEnabled_ = false;
    std::weak_ptr<VelkoraSigninToFollowPopupHelperDelegate> delegate_;
    // The asking screen owns this helper and the view; a strong hold would keep a closed screen's view.
    std::weak_ptr<ui::View> view_;
};

} // namespace velkora
