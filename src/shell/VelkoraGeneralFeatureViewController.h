// The base of every full screen of the kit: the top panel (leading colour, application icon and name,
// title, back, the app button and the profile button with the inbox badge), the rule that trades the
// panel for the navigation bar when the container asks, back and close handed to the container, and the
// style-sheet hooks of the shared elements under the screen's own id.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/ViewController.h"
#include "session/VelkoraFeatureScreenFace.h"

namespace velkora {

namespace ui {
class Button;
class Control;
class ImageView;
class Label;
class LayoutConstraint;
class TextView;
class View;
} // namespace ui

class VelkoraGeneralFeatureViewController : public ui::ViewController,
                                            public ui::InterfaceOwner,
                                            public VelkoraFeatureScreenFace {
public:
    explicit VelkoraGeneralFeatureViewController(std::string nibName = {});
    ~VelkoraGeneralFeatureViewController() override;

    const char* className() const override { return "VelkoraGeneralFeatureViewController"; }

    // The container owns the stack that owns this screen, so the screen holds it weakly: a strong
    // pointer back would keep a closed sidebar alive. Set before the view loads.
    std::shared_ptr<VelkoraGeneralFeatureViewControllerDelegate> featureTabDelegate() const {
        return featureTabDelegate_.lock();
    }
    void setFeatureTabDelegate(std::weak_ptr<VelkoraGeneralFeatureViewControllerDelegate> d) override {
        featureTabDelegate_ = std::move(d);
    }

    // Set by the subclass before the view loads.
    const std::string& titleText() const override { return titleText_; }
    void setTitleText(std::string t) override { titleText_ = std::move(t); }
    bool shouldShowProfileButton() const { return shouldShowProfileButton_; }
    void setShouldShowProfileButton(bool b) { shouldShowProfileButton_ = b; }
    uint32_t styleScreenIdentifier() const { return styleScreenIdentifier_; }
    void setStyleScreenIdentifier(uint32_t id) { styleScreenIdentifier_ = id; }

    // Outlets, filled from the subclass's interface file.
    const std::shared_ptr<ui::View>& topPanelView() const { return topPanelView_; }
    const std::shared_ptr<ui::LayoutConstraint>& topPanelViewTopSpaceConstraint() const {
        return topPanelViewTopSpaceConstraint_;
    }
    const std::shared_ptr<ui::View>& velkoraContentView() const { return velkoraContentView_; }
    const std::shared_ptr<ui::LayoutConstraint>& velkoraContentViewTopSpaceConstraint() const {
        return velkoraContentViewTopSpaceConstraint_;
    }
    const std::shared_ptr<ui::View>& aboveNavBarView() const { return aboveNavBarView_; }
    const std::shared_ptr<ui::ImageView>& navBarImageView() const { return navBarImageView_; }
    const std::shared_ptr<ui::Label>& titleLabel() const { return titleLabel_; }
    const std::shared_ptr<ui::ImageView>& appIconView() const { return appIconView_; }
    const std::shared_ptr<ui::Label>& appNameLabel() const { return appNameLabel_; }
    const std::shared_ptr<ui::Button>& backButton() const { return backButton_; }
    const std::shared_ptr<ui::Button>& appButton() const { return appButton_; }
    const std::shared_ptr<ui::ImageView>& closePanelImage() const { return closePanelImage_; }
    const std::shared_ptr<ui::ImageView>& buttonsPanelImageView() const { return buttonsPanelImageView_; }
    const std::shared_ptr<ui::ImageView>& backgroundView() const { return backgroundView_; }
    const std::shared_ptr<ui::Button>& sendButton() const { return sendButton_; }
    const std::shared_ptr<ui::Button>& cancelButton() const { return cancelButton_; }
    const std::shared_ptr<ui::TextView>& textField() const { return textField_; }
    const std::shared_ptr<ui::View>& profileButtonView() const { return profileButtonView_; }
    const std::shared_ptr<ui::View>& profileBadgeView() const { return profileBadgeView_; }
    const std::shared_ptr<ui::Label>& profileBadgeLabel() const { return profileBadgeLabel_; }

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    int preferredStatusBarStyle() const override;

    // Actions of the panel and the text bar.
    virtual void backTapped(ui::Control* sender);
    virtual void appTapped(ui::Control* sender);
    virtual void profileButtonClicked(ui::Control* sender);
    virtual void sendTapped(ui::Control* sender);
    virtual void cancelTapped(ui::Control* sender);
    // What a screen with a text bar does with a text that is not empty.
    virtual void sendCallback(const std::string& /*text*/) {}
    // The log-in screen for an anonymous user, the own profile otherwise, pushed on this screen's stack.
    void openMyProfile();

    void badgeNumberChanged(const foundation::Notification& notification);
    void orientationDidChange(const foundation::Notification& notification);
    // Moves the content into the hidden panel's place, below the navigation bar.
    void resetVelkoraContentViewTopSpace();
    // Removes from `container` every constraint that names `view`.
    static void removeConstraintsForView(const ui::View* view, ui::View* container);
    // No promoted-application banner pops in over a feature screen.
    bool velkoraShouldPopinAds() const override { return false; }

    // Subclasses add their own outlets and actions and call this.
    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    bool isTopPanelHiddenByContainer() const;
    void showInboxBadge();
    // Widens the back button to its title with room on either side, and moves the panel's texts clear.
    void fitBackButtonToItsTitle();
    void styleSharedElements();

    std::weak_ptr<VelkoraGeneralFeatureViewControllerDelegate> featureTabDelegate_;
    std::string titleText_;
    bool shouldShowProfileButton_ = false;
    uint32_t styleScreenIdentifier_ = 0;

    std::shared_ptr<ui::View> topPanelView_;
    std::shared_ptr<ui::LayoutConstraint> topPanelViewTopSpaceConstraint_;
    std::shared_ptr<ui::View> velkoraContentView_;
    std::shared_ptr<ui::LayoutConstraint> velkoraContentViewTopSpaceConstraint_;
    std::shared_ptr<ui::View> aboveNavBarView_;
    std::shared_ptr<ui::ImageView> navBarImageView_;
    std::shared_ptr<ui::Label> titleLabel_;
    std::shared_ptr<ui::ImageView> appIconView_;
    std::shared_ptr<ui::Label> appNameLabel_;
    std::shared_ptr<ui::Button> backButton_;
    std::shared_ptr<ui::Button> appButton_;
    std::shared_ptr<ui::ImageView> closePanelImage_;
    std::shared_ptr<ui::ImageView> buttonsPanelImageView_;
    std::shared_ptr<ui::ImageView> backgroundView_;
    std::shared_ptr<ui::Button> sendButton_;
    std::shared_ptr<ui::Button> cancelButton_;
    std::shared_ptr<ui::TextView> textField_;
    std::shared_ptr<ui::View> profileButtonView_;
    std::shared_ptr<ui::View> profileBadgeView_;
    std::shared_ptr<ui::Label> profileBadgeLabel_;

    foundation::NotificationObserver badgeObserver_;
    foundation::NotificationObserver orientationObserver_;
};

} // namespace velkora
