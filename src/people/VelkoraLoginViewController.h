// Feature 104: logging in with Facebook, Twitter or e-mail.
#pragma once

#include "people/VelkoraSocialEntryViewController.h"

namespace velkora {

class VelkoraLoginViewController : public VelkoraSocialEntryViewController {
public:
    static constexpr const char* kNibName = "VelkoraLoginView";
    static const Twin kTwin;

    // From the screen's file ("iPad_" on a tablet).
    static std::shared_ptr<VelkoraLoginViewController> initFromNib();
    const char* className() const override { return "VelkoraLoginViewController"; }

    void signUpClicked(ui::Control* sender) { twinClicked(sender); }

    const std::shared_ptr<ui::Label>& signUpInviteLabel() const { return footerLabel(); }
    const std::shared_ptr<ui::Button>& signUpButton() const { return twinButton(); }

protected:
    explicit VelkoraLoginViewController(std::string nibName)
        : VelkoraSocialEntryViewController(kTwin, std::move(nibName)) {}
    void bindFooter(ui::InterfaceBindings& bindings, std::shared_ptr<ui::Label>& footer,
                    std::shared_ptr<ui::Button>& twin) override;
    void customizeTwinButton() override;
    std::shared_ptr<VelkoraGeneralFeatureViewController> makeEmailScreen() const override;
    std::shared_ptr<VelkoraGeneralFeatureViewController> makeTwinScreen() const override;
};

} // namespace velkora
