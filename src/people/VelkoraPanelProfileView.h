// The block of the signed-in user's own settings, shown in the sidebar and in the own profile: the bio
// with its edit button, the Facebook and Twitter rows (or the settings row when the application signs up
// by e-mail), the private-mode switch and, in the profile, the messages row with the inbox badge. It
// decides nothing: every tap goes to its delegate.
#pragma once

#include <memory>
#include <string>

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/View.h"
#include "session/VelkoraPanelProfileViewFace.h"
#include "shell/VelkoraPanelProfileViewDelegate.h"

namespace velkora {

namespace ui {
class Button;
class Control;
class ImageView;
class Label;
class LayoutConstraint;
class Switch;
} // namespace ui

class VelkoraPanelProfileView : public ui::View, public ui::InterfaceOwner, public VelkoraPanelProfileViewFace {
public:
    static constexpr const char* kInterface = "VelkoraPanelNewProfileView";
    static constexpr uint32_t kScreenId = 2;

    // Null when the interface file cannot be loaded (logged by the loader).
    static std::shared_ptr<VelkoraPanelProfileView> initFromNibWithMessages(bool withMessages);
    ~VelkoraPanelProfileView() override;
    const char* className() const override { return "VelkoraPanelProfileView"; }

    // ---- the face
    std::shared_ptr<ui::View> view() override { return sharedAs<ui::View>(); }
    void setDelegate(std::weak_ptr<VelkoraPanelProfileViewDelegate> d) override { delegate_ = std::move(d); }
    std::shared_ptr<VelkoraPanelProfileViewDelegate> delegate() const { return delegate_.lock(); }
    void updateWithVelkoraUser(const std::shared_ptr<VelkoraUserInternal>& user) override;

    void updateAboutText();
    void badgeNumberChanged(const foundation::Notification& n);
    void userAboutChangedHandler(const foundation::Notification& n);

    // ---- actions of the interface file
    void editAboutButtonClicked(ui::Control* sender);
    void fbConnectButtonClicked(ui::Control* sender);
    void fbSignoutButtonClicked(ui::Control* sender);
    void twConnectButtonClicked(ui::Control* sender);
    void twSignoutButtonClicked(ui::Control* sender);
    void privateModeSwitchedValue(ui::Control* sender);
    void settingsButtonClicked(ui::Control* sender);
    void messagesButtonClicked(ui::Control* sender);

    void layoutSubviews() override;
    void registerInterfaceBindings(ui::InterfaceBindings& b) override;

    double minAboutLabelHeight() const { return minAboutLabelHeight_; }
    ui::Color origAboutTextViewColor() const { return origAboutTextViewColor_; }
    const std::shared_ptr<ui::View>& toplevelView() const { return toplevelView_; }
    const std::shared_ptr<ui::Label>& aboutLabel() const { return aboutLabel_; }
    const std::shared_ptr<ui::LayoutConstraint>& aboutLabelHeightConstraint() const {
        return aboutLabelHeightConstraint_;
    }
    const std::shared_ptr<ui::Button>& editAboutButton() const { return editAboutButton_; }
    const std::shared_ptr<ui::View>& fbView() const { return fbView_; }
    const std::shared_ptr<ui::Button>& fbConnectButton() const { return fbConnectButton_; }
    const std::shared_ptr<ui::Label>& fbConnectLabel() const { return fbConnectLabel_; }
    const std::shared_ptr<ui::Label>& fbNameLabel() const { return fbNameLabel_; }
    const std::shared_ptr<ui::Button>& fbSignoutButton() const { return fbSignoutButton_; }
    const std::shared_ptr<ui::View>& twView() const { return twView_; }
    const std::shared_ptr<ui::Button>& twConnectButton() const { return twConnectButton_; }
    const std::shared_ptr<ui::Label>& twNameLabel() const { return twNameLabel_; }
    const std::shared_ptr<ui::Button>& twSignoutButton() const { return twSignoutButton_; }
    const std::shared_ptr<ui::View>& privacyView() const { return privacyView_; }
    const std::shared_ptr<ui::Switch>& privateModeSwitch() const { return privateModeSwitch_; }
    const std::shared_ptr<ui::View>& settingsView() const { return settingsView_; }
    const std::shared_ptr<ui::Button>& settingsButton() const { return settingsButton_; }
    const std::shared_ptr<ui::View>& messagesView() const { return messagesView_; }
    const std::shared_ptr<ui::Button>& messagesButton() const { return messagesButton_; }
    const std::shared_ptr<ui::Label>& messagesLabel() const { return messagesLabel_; }
    const std::shared_ptr<ui::View>& messagesBadgeView() const { return messagesBadgeView_; }
    const std::shared_ptr<ui::Label>& messagesBadgeNumberLabel() const { return messagesBadgeNumberLabel_; }

    static void registerPanelProfileView();

private:
    void myInit(bool withMessages);
    void showInboxBadge();

    std::weak_ptr<VelkoraPanelProfileViewDelegate> delegate_;
    ui::Color origAboutTextViewColor_;
    double minAboutLabelHeight_ = 0;

    std::shared_ptr<ui::View> toplevelView_;
    std::shared_ptr<ui::ImageView> backgroundView_;
    std::shared_ptr<ui::View> aboutView_;
    std::shared_ptr<ui::Label> aboutLabel_;
    std::shared_ptr<ui::Button> editAboutButton_;
    std::shared_ptr<ui::LayoutConstraint> aboutViewLeadingSpaceConstraint_, aboutViewTrailingSpaceConstraint_;
    std::shared_ptr<ui::LayoutConstraint> aboutLabelHeightConstraint_, aboutLabelLeadingSpaceConstraint_,
        aboutLabelTrailingSpaceConstraint_;
    std::shared_ptr<ui::View> fbView_;
    std::shared_ptr<ui::Button> fbConnectButton_;
    std::shared_ptr<ui::Label> fbConnectLabel_, fbNameLabel_;
    std::shared_ptr<ui::Button> fbSignoutButton_;
    std::shared_ptr<ui::ImageView> fbSocialLogo_;
    std::shared_ptr<ui::View> twView_;
    std::shared_ptr<ui::Button> twConnectButton_;
    std::shared_ptr<ui::Label> twConnectLabel_, twNameLabel_;
    std::shared_ptr<ui::Button> twSignoutButton_;
    std::shared_ptr<ui::ImageView> twSocialLogo_;
    std::shared_ptr<ui::View> privacyView_;
    std::shared_ptr<ui::Label> privacyTitle_, privacyDescriptionLabel_;
    std::shared_ptr<ui::ImageView> privacyImageView_;
    std::shared_ptr<ui::Switch> privateModeSwitch_;
    std::shared_ptr<ui::View> settingsView_;
    std::shared_ptr<ui::Button> settingsButton_;
    std::shared_ptr<ui::Label> settingsLabel_;
    std::shared_ptr<ui::View> messagesView_;
    std::shared_ptr<ui::Button> messagesButton_;
    std::shared_ptr<ui::Label> messagesLabel_;
    std::shared_ptr<ui::View> messagesBadgeView_;
    std::shared_ptr<ui::Label> messagesBadgeNumberLabel_;

    foundation::NotificationObserver aboutObserver_;
    foundation::NotificationObserver badgeObserver_;
};

} // namespace velkora
