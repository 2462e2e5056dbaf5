// The e-mail log-in form: an address and a password, and the way to a forgotten password.
#pragma once

#include "people/VelkoraEmailFormViewController.h"

namespace velkora {

class VelkoraEmailLoginViewController : public VelkoraEmailFormViewController {
public:
    static constexpr const char* kNibName = "VelkoraEmailLoginView";

    static std::shared_ptr<VelkoraEmailLoginViewController> initFromNib(const std::string& nibName);
    const char* className() const override { return "VelkoraEmailLoginViewController"; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;
    bool allConditionsMet() const override;
    bool login() { return send(); }
    void loginClicked(ui::Control*) { login(); }
    void forgotPasswordClicked(ui::Control* sender);
    void backTapped(ui::Control* sender) override;
    void resignResponder();

    const std::shared_ptr<VelkoraResizeableButton>& loginButton() const { return loginButton_; }
    const std::shared_ptr<VelkoraResizeableButton>& forgotPasswordButton() const { return forgotPasswordButton_; }

protected:
    explicit VelkoraEmailLoginViewController(std::string nibName);
    std::shared_ptr<ui::Button> mainButton() const override;
    void loadForm() override;
    void customizeWidgets() override;
    ui::TextField* fieldToFocus() const override { return emailTextField().get(); }
    void showFailure(const foundation::ErrorPtr& error) override;

private:
    std::shared_ptr<VelkoraResizeableButton> loginButton_;
    std::shared_ptr<VelkoraResizeableButton> forgotPasswordButton_;
};

} // namespace velkora
