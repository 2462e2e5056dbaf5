// What the e-mail sign-up and log-in forms share: the e-mail and password fields with their left labels,
// the main button (into the host's navigation bar when the top panel is hidden), the check before
// sending, the password sent only as its digest, the answer announced or told in a popup, and the
// focused field kept above the keyboard.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/foundation/Error.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Value.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextField.h"
#include "shell/VelkoraGeneralFeatureViewController.h"

namespace velkora {

namespace ui {
class ScrollView;
}
class VelkoraResizeableButton;
class VelkoraUserSignUpHelper;

class VelkoraEmailFormViewController : public VelkoraGeneralFeatureViewController, public ui::TextFieldDelegate {
public:
    ~VelkoraEmailFormViewController() override;

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

    virtual bool allConditionsMet() const = 0;
    // Checks, then hands the details to the connect helper; false when nothing was sent.
    bool send();
    void connectedServer(const foundation::Value& userId);
    void serverConnectFailed(const foundation::ErrorPtr& error);

    void registerForKeyboardNotifications();
    void keyboardWasShown(const foundation::Notification& notification);
    void keyboardWillBeHidden(const foundation::Notification& notification);
    void textFieldDidBeginEditing(ui::TextField& field) override;
    void textFieldDidEndEditing(ui::TextField& field) override;
    bool textFieldShouldReturn(ui::TextField& field) override;

    // Whether the connect helper's conversation is running; the main button does nothing meanwhile.
    bool isAttemptRunning() const { return attemptRunning_; }
    const std::shared_ptr<ui::ActivityIndicatorView>& activityIndicator() const { return activityIndicator_; }
    const std::shared_ptr<VelkoraUserSignUpHelper>& userSignUpHelper() const { return userSignUpHelper_; }
    ui::TextField* activeField() const { return activeField_; }
    double scrollViewOrigHeight() const { return scrollViewOrigHeight_; }
    const std::shared_ptr<ui::ScrollView>& scrollView() const { return scrollView_; }
    const std::shared_ptr<ui::TextField>& emailTextField() const { return emailTextField_; }
    const std::shared_ptr<ui::TextField>& passwordTextField() const { return passwordTextField_; }

protected:
    struct Form {
        uint32_t styleScreenIdentifier;
        const char* titleKey;
        const char* mainButtonKey;
        int32_t connectType;
    };
    VelkoraEmailFormViewController(const Form& form, std::string nibName);

    virtual std::shared_ptr<ui::Button> mainButton() const = 0;
    // What the form adds to the shared loading, before the style hooks.
    virtual void loadForm() {}
    virtual void customizeWidgets() = 0;
    virtual ui::TextField* fieldToFocus() const = 0;
    // The message of a failed check.
    virtual std::string requirementsMessageKey() const { return "velkora_text_requirements_not_met_message"; }
    virtual foundation::Dictionary details() const;
    virtual void showFailure(const foundation::ErrorPtr& error) = 0;

private:
    Form form_;
    bool attemptRunning_ = false;
    std::shared_ptr<ui::ActivityIndicatorView> activityIndicator_;
    std::shared_ptr<VelkoraUserSignUpHelper> userSignUpHelper_;
    // Not held: the field belongs to the form's view.
    ui::TextField* activeField_ = nullptr;
    double scrollViewOrigHeight_ = 0;
    std::shared_ptr<ui::ScrollView> scrollView_;
    std::shared_ptr<ui::TextField> emailTextField_;
    std::shared_ptr<ui::TextField> passwordTextField_;
    foundation::NotificationObserver keyboardShownObserver_;
    foundation::NotificationObserver keyboardHiddenObserver_;
};

} // namespace velkora
