// Feature 105: signing up with Facebook, Twitter or e-mail.
#pragma once

#include "people/VelkoraSocialEntryViewController.h"

namespace velkora {

class VelkoraSignUpViewController : public VelkoraSocialEntryViewController {
public:
    static constexpr const char* kNibName = "VelkoraSignUpView";
    static const Twin kTwin;

    // From the screen's file ("iPad_" on a tablet).
    static std::shared_ptr<VelkoraSignUpViewController> initFromNib();
    const char* className() const override { return "VelkoraSignUpViewController"; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;
    void loginClicked(ui::Control* sender) { twinClicked(sender); }

    const std::shared_ptr<ui::ImageView>& loginBarImageView() const { return loginBarImageView_; }
    const std::shared_ptr<ui::Label>& loginInviteLabel() const { return footerLabel(); }
    const std::shared_ptr<ui::Button>& loginButton() const { return twinButton(); }

protected:
    explicit VelkoraSignUpViewController(std::string nibName)
        : VelkoraSocialEntryViewController(kTwin, std::move(nibName)) {}
    void bindFooter(ui::InterfaceBindings& bindings, std::shared_ptr<ui::Label>& footer,
                    std::shared_ptr<ui::Button>& twin) override;
    void customizeTwinButton() override;
    std::shared_ptr<VelkoraGeneralFeatureViewController> makeEmailScreen() const override;
    std::shared_ptr<VelkoraGeneralFeatureViewController> makeTwinScreen() const override;

private:
    std::shared_ptr<ui::ImageView> loginBarImageView_;
};

} // namespace velkora
