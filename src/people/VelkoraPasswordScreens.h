// The two one-field password screens: a new password sent to an address, and a new password for the
// signed-in e-mail user. Each checks its field, waits for the service's answer, and goes back to the
// panel once the service has done it; a failure keeps the field and says so.
#pragma once

#include <memory>
#include <string>

#include "platform/foundation/Error.h"
#include "platform/foundation/Value.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextField.h"
#include "server/VelkoraCallback.h"
#include "shell/VelkoraGeneralFeatureViewController.h"

namespace velkora {

class VelkoraResizeableButton;

class VelkoraPasswordFieldViewController : public VelkoraGeneralFeatureViewController, public ui::TextFieldDelegate {
public:
    static constexpr uint32_t kStyleScreenIdentifier = 25;

    void viewDidLoad() override;
    bool textFieldShouldReturn(ui::TextField& field) override;
    // Checks the field and sends; false when nothing was sent.
    bool run();
    void requestAnswered(const foundation::Value& ignored);
    void requestFailed(const foundation::ErrorPtr& error);

    bool isSending() const { return sending_; }

protected:
    struct Screen {
        const char* titleKey;
        const char* leftText;
        const char* buttonKey;
    };
    VelkoraPasswordFieldViewController(const Screen& screen, std::string nibName);
    virtual std::shared_ptr<ui::TextField> field() const = 0;
    virtual std::shared_ptr<ui::Button> button() const = 0;
    virtual void loadField(ui::TextField& field) = 0;
    virtual void customizeWidgets() = 0;
    virtual bool isValid(const std::string& text) const = 0;
    virtual void sendRequest(const std::string& text, VelkoraCallback caller) = 0;
    virtual void showDone() {}
    // Whether a failure still means the request is done, as far as the user may know.
    virtual bool countsAsDone(const foundation::ErrorPtr&) const { return false; }

private:
    void done();

    Screen screen_;
    bool sending_ = false;
};

class VelkoraForgotPasswordViewController : public VelkoraPasswordFieldViewController {
public:
    static constexpr const char* kNibName = "VelkoraForgotPasswordView";

    static std::shared_ptr<VelkoraForgotPasswordViewController> initFromNib(const std::string& nibName);
    const char* className() const override { return "VelkoraForgotPasswordViewController"; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;
    bool submit() { return run(); }
    void submitClicked(ui::Control*) { submit(); }

    const std::shared_ptr<ui::TextField>& emailTextField() const { return emailTextField_; }
    const std::shared_ptr<VelkoraResizeableButton>& submitButton() const { return submitButton_; }

protected:
    explicit VelkoraForgotPasswordViewController(std::string nibName);
    std::shared_ptr<ui::TextField> field() const override { return emailTextField_; }
    std::shared_ptr<ui::Button> button() const override;
    void loadField(ui::TextField& field) override;
    void customizeWidgets() override;
    bool isValid(const std::string& text) const override;
    void sendRequest(const std::string& text, VelkoraCallback caller) override;
    void showDone() override;
    bool countsAsDone(const foundation::ErrorPtr& error) const override;

private:
    std::shared_ptr<ui::TextField> emailTextField_;
    std::shared_ptr<VelkoraResizeableButton> submitButton_;
};

class VelkoraChangePasswordViewController : public VelkoraPasswordFieldViewController {
public:
    static constexpr const char* kNibName = "VelkoraChangePasswordView";

    static std::shared_ptr<VelkoraChangePasswordViewController> initFromNib(const std::string& nibName);
    const char* className() const override { return "VelkoraChangePasswordViewController"; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;
    bool update() { return run(); }
    void updateClicked(ui::Control*) { update(); }

    const std::shared_ptr<ui::TextField>& passwordTextField() const { return passwordTextField_; }
    const std::shared_ptr<VelkoraResizeableButton>& updateButton() const { return updateButton_; }

protected:
    explicit VelkoraChangePasswordViewController(std::string nibName);
    std::shared_ptr<ui::TextField> field() const override { return passwordTextField_; }
    std::shared_ptr<ui::Button> button() const override;
    void loadField(ui::TextField& field) override;
    void customizeWidgets() override;
    bool isValid(const std::string& text) const override;
    void sendRequest(const std::string& text, VelkoraCallback caller) override;

private:
    std::shared_ptr<ui::TextField> passwordTextField_;
    std::shared_ptr<VelkoraResizeableButton> updateButton_;
};

} // namespace velkora
