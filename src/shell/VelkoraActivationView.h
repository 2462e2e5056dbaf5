// The activation button a host places in its own screens (as a navigation-bar item): it shows the total
// of the kit's badges and opens the sidebar when tapped, in a portrait and a landscape layout. The ribbon
// variant hangs from the screen's edge pointing left or right.
#pragma once

#include <memory>

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

namespace velkora {

class VelkoraActivationView : public ui::View, public ui::InterfaceOwner {
public:
    static constexpr const char* kInterface = "VelkoraActivationView";

    // Made and set up (postInit); its size is the portrait layout's.
    static std::shared_ptr<VelkoraActivationView> create();
    VelkoraActivationView() = default;
    ~VelkoraActivationView() override;
    const char* className() const override { return "VelkoraActivationView"; }

    void postInit();
    virtual void loadNib();
    virtual void resetFrame(bool landscape);
    void orientationDidChanged(const foundation::Notification& notification);
    void updateButton();
    void setButtonType(unsigned type, int direction);
    void buttonTapped(ui::Control* sender);

    const std::shared_ptr<ui::View>& portraitView() const { return portraitView_; }
    const std::shared_ptr<ui::View>& landscapeView() const { return landscapeView_; }
    const std::shared_ptr<ui::Button>& activationButton() const { return activationButton_; }
    const std::shared_ptr<ui::Button>& landscapeActivationButton() const { return landscapeActivationButton_; }
    const std::shared_ptr<ui::Label>& badgeNumberLabel() const { return badgeNumberLabel_; }
    const std::shared_ptr<ui::Label>& landscapeBadgeNumberLabel() const { return landscapeBadgeNumberLabel_; }
    const std::shared_ptr<ui::View>& badgeLeftView() const { return badgeLeftView_; }
    const std::shared_ptr<ui::View>& landscapeBadgeLeftView() const { return landscapeBadgeLeftView_; }
    const std::shared_ptr<ui::View>& badgeRightView() const { return badgeRightView_; }
    const std::shared_ptr<ui::ImageView>& buttonLeftImageView() const { return buttonLeftImageView_; }
    const std::shared_ptr<ui::ImageView>& buttonRightImageView() const { return buttonRightImageView_; }
    const std::shared_ptr<ui::ImageView>& ribbonToLeftView() const { return ribbonToLeftView_; }
    const std::shared_ptr<ui::ImageView>& ribbonToRightView() const { return ribbonToRightView_; }
    unsigned buttonImageType() const { return buttonImageType_; }
    int ribbonDirection() const { return ribbonDirection_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

protected:
    std::shared_ptr<ui::View> portraitView_;
    std::shared_ptr<ui::View> landscapeView_;
    std::shared_ptr<ui::Button> activationButton_;
    std::shared_ptr<ui::Button> landscapeActivationButton_;
    std::shared_ptr<ui::Label> badgeNumberLabel_;
    std::shared_ptr<ui::Label> landscapeBadgeNumberLabel_;
    std::shared_ptr<ui::View> badgeLeftView_;
    std::shared_ptr<ui::View> landscapeBadgeLeftView_;
    std::shared_ptr<ui::View> badgeRightView_;
    std::shared_ptr<ui::ImageView> buttonLeftImageView_;
    std::shared_ptr<ui::ImageView> buttonRightImageView_;
    std::shared_ptr<ui::ImageView> ribbonToLeftView_;
    std::shared_ptr<ui::ImageView> ribbonToRightView_;
    unsigned buttonImageType_ = 0;
    int ribbonDirection_ = 1;
    foundation::NotificationObserver badgeObserver_;
    foundation::NotificationObserver orientationObserver_;
};

} // namespace velkora
