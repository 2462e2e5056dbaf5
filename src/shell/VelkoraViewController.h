// The root of the kit's own navigation stack: the sidebar menu beneath the host's root view, in a popover
// or as a screen of the host. It opens the feature screens of the menu rows and header, slides the host
// fully aside while one is open and back to the menu when it closes, carries out the header's account
// actions, shows the first-run hint and the incoming-message banner, and keeps the menu laid out for the
// device and orientation.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "shell/VelkoraPanelProfileViewDelegate.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "session/VelkoraKitObjects.h"
#include "shell/VelkoraDefaultOKPopupView.h"
#include "shell/VelkoraGeneralFeatureViewController.h"
#include "shell/VelkoraPanelView.h"

namespace velkora {

namespace ui {
class PopoverController;
}
class VelkoraUserInternal;
class VelkoraUserSignUpHelper;

class VelkoraViewController : public ui::ViewController,
                              public ui::InterfaceOwner,
                              public VelkoraPanelViewDelegate,
                              public VelkoraGeneralFeatureViewControllerDelegate,
                              public VelkoraDefaultOKPopupViewDelegate,
                              public VelkoraPanelProfileViewDelegate,
                              public VelkoraSidebarController {
public:
    static constexpr const char* kInterface = "VelkoraMainMenuView";

    // The sidebar and popover modes: the session object wraps the controller in the kit's navigation
    // controller itself.
    static std::shared_ptr<VelkoraViewController> initWithMode(bool usingPopover);
    // The menu-screen mode: pushed on the host's navigation controller, or (without one) in a navigation
    // controller of its own that the host presents.
    // The navigation controller made for it, when none is given, goes to `made`: its presenter keeps it.
    static std::shared_ptr<VelkoraViewController>
    initFromNibWithNavController(const std::shared_ptr<ui::NavigationController>& navController, bool showVelkoraNavBar,
                                 std::shared_ptr<ui::NavigationController>* made = nullptr);

    VelkoraViewController() : ui::ViewController(kInterface) {}
    ~VelkoraViewController() override;
    const char* className() const override { return "VelkoraViewController"; }

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    void viewWillLayoutSubviews() override;
    int preferredStatusBarStyle() const override { return 1; }

    // ---- Layout
    void internalLoading(bool first);
    void updateOrientation();
    void updateFramesWithOffset(bool withOffset);

    // ---- Opening and closing
    void openFeatureScreenWithGestureAnimation(const std::shared_ptr<ui::ViewController>& screen,
                                               bool forceEntireWidth);
    void closeFeatureScreenWithGestureAnimation(bool toRoot);
    void backToAppWithGestureAnimation();
    void openPanel() override;
    void closePanel() override;
    void appButtonClicked(ui::Control* sender);

    // ---- The feature screens' container
    void didClickBack() override;
    void didClose() override;
    void backToPanel() override;
    bool isUsingPopover() override { return usingPopover_; }
    bool isTopPanelHidden() override { return isMenuMode_ ? isTopPanelViewHidden_ : false; }
    bool isOpenedAsFeature() override { return false; }

    // ---- Menu rows
    void radarClicked(const std::string& title) override;
    void customFeatureClicked(const std::string& customId) override;
    void feedClicked(const std::string& title) override;
    void chatClicked(const std::string& title) override;
    void messagesClicked(const std::string& title) override { chatClicked(title); }
    void inviteClicked(const std::string& title) override;
    void feedbackClicked(const std::string& title) override;
    void chatRoomsClicked(const std::string& title) override;
    void leaderboardClicked(const std::string& title) override;
    void quizClicked(const std::string& title) override;
    void rateUsClicked() override;
    double getPanelTopMargin() override;
    double getPanelBottomMargin() override;
    // Header controls.
    void followersClicked(ui::Control* sender);
    void followingClicked(ui::Control* sender);
    void postsClicked(ui::Control* sender);
    void settingsClicked() override;
    void editAboutClicked() override;
    void loginClicked(ui::Control* sender);
    void signUpClicked(ui::Control* sender);

    // ---- What the session object hands over
    void updateWithAppDeals(const foundation::Value& deals) { gotAppDeals(deals); }
    void updateWithAppDeals(const std::vector<std::shared_ptr<VelkoraAppDeal>>& deals) override;
    void gotAppDeals(const foundation::Value& deals);
    void updateWithNearbyUsersCount() override;
    void updateWithSNFriendsCount() override;
    std::vector<std::pair<std::string, int32_t>> panelCommandBadges() const override;
    std::shared_ptr<ui::ViewController> viewController() override {
        return std::static_pointer_cast<ui::ViewController>(shared_from_this());
    }
    void updateWithVelkoraUser(const std::shared_ptr<VelkoraUserInternal>& user) override;
    bool velkoraShouldPopinAds() const { return false; }
    // The sum of the menu's badges but the radar's.
    int32_t getTotalBadges() const;

    // ---- Account actions
    void facebookConnectClicked(ui::Control* sender);
    void fbConnectClickedInView(ui::View* view) override;
    void fbConnected(const foundation::Value& details);
    void twitterConnectClicked(ui::Control* sender);
    void twConnectClickedInView(ui::View* view) override;
    void twitterGotUserDetails(const foundation::Value& details);
    void facebookConnectedServer(const foundation::Value& answer);
    void facebookServerConnectFailed(const foundation::ErrorPtr& error);
    void twitterConnectedServer(const foundation::Value& answer);
    void twitterServerConnectFailed(const foundation::ErrorPtr& error);
    void fbSignoutClickedInView(ui::View* view) override;
    void twSignoutClickedInView(ui::View* view) override;
    void emailSignoutClickedInView(ui::View* view) override;
    void popupOkTapped() override;
    void popupCancelTapped() override;
    void signoutFromFacebook() override;
    void signoutFromTwitter();
    void signoutFromEmail();
    void userSignedOut(const foundation::Value& answer);
    void userFailedSigningOut(const foundation::ErrorPtr& error);
    void userDisconnectedFacebook(const foundation::Value& answer);
    void userFailedDisconnectFacebook(const foundation::ErrorPtr& error);
    void userDisconnectedTwitter(const foundation::Value& answer);
    void userFailedDisconnectTwitter(const foundation::ErrorPtr& error);
    void privateModeSwitchedValue(bool on) override;
    void didConnectFacebook(const foundation::Notification& notification);
    void didConnectTwitter(const foundation::Notification& notification);

    // ---- First-run hint
    void popupDelayElapsed();
    void showNotificationAboutVelkora();

    // ---- Incoming messages
    void gotNewMessages(const foundation::Notification& notification);
    void chatsLoaded(const foundation::Notification& notification);
    void notifyUserOnNewMessages(const foundation::Notification& notification);

    void startActivityIndicatorIfNeedAtPoint(ui::Point point, ui::View* view);
    void stopActivityIndicator();

    // ---- Fields
    const std::shared_ptr<VelkoraPanelView>& panelView() const { return panelView_; }
    std::shared_ptr<ui::NavigationController> velkoraNavController() const override {
        return velkoraNavController_ ? velkoraNavController_ : hostNavController_.lock();
    }
    // The kit's own navigation controller lies behind the host or in a popover and turns with the
    // status bar; a host's does neither.
    void setVelkoraNavController(std::shared_ptr<ui::NavigationController> nav) override;
    // The kit's own is retained, as the session object hands it over; whoever drops the sidebar sets none,
    // which ends their hold on each other. A host's stack is the host's: it is only pointed at, so a host
    // that lets its stack go lets the menu on it go too. `isKitNavController`: the kit made it (it hides
    // its bar and lies behind the host or in a popover).
    void setVelkoraNavController(const std::shared_ptr<ui::NavigationController>& nav, bool isKitNavController);
    bool usingPopover() const override { return usingPopover_; }
    // The popover the session object shows the menu in (not retained); going back to the host dismisses it.
    void setPopover(std::weak_ptr<ui::PopoverController> popover) { popover_ = std::move(popover); }
    void setUsingPopover(bool v) override { usingPopover_ = v; }
    bool isMenuMode() const override { return isMenuMode_; }
    void setIsMenuMode(bool v) override { isMenuMode_ = v; }
    bool isTopPanelViewHidden() const override { return isTopPanelViewHidden_; }
    void setIsTopPanelViewHidden(bool v) override { isTopPanelViewHidden_ = v; }
    std::shared_ptr<ui::ViewController> origRootViewController() const { return origRootViewController_.lock(); }
    const std::shared_ptr<ui::View>& poweredByView() const { return poweredByView_; }
    const std::shared_ptr<ui::View>& topPanelView() const { return topPanelView_; }
    const std::shared_ptr<ui::Label>& topPanelLabel() const { return topPanelLabel_; }
    const std::shared_ptr<ui::Button>& topPanelAppButton() const { return topPanelAppButton_; }
    const std::shared_ptr<ui::View>& topPanelAboveNavBarView() const { return topPanelAboveNavBarView_; }
    const std::shared_ptr<ui::LayoutConstraint>& panelViewTopSpaceConstraint() const {
        return panelViewTopSpaceConstraint_;
    }
    const std::shared_ptr<ui::LayoutConstraint>& panelViewLeadingSpaceConstraint() const {
        return panelViewLeadingSpaceConstraint_;
    }
    const std::shared_ptr<ui::LayoutConstraint>& panelViewWidthConstraint() const { return panelViewWidthConstraint_; }
    const std::shared_ptr<ui::ActivityIndicatorView>& activityIndicator() const { return activityIndicator_; }
    const std::shared_ptr<foundation::Timer>& welcomePopupTimer() const { return welcomePopupTimer_; }
    bool isFacebookConnected() const { return isFacebookConnected_; }
    bool isTwitterConnected() const { return isTwitterConnected_; }
    int signoutOrigin() const { return signoutOrigin_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    double menuModePanelTop(bool landscape);
    using Action = void (VelkoraViewController::*)();
    // Makes a row's screen through the registry and opens it; a screen not in this build opens nothing.
    void openRowScreen(const std::string& featureName, const std::optional<std::string>& title,
                       foundation::Dictionary extra, bool forceEntireWidth);
    void signoutOrDisconnect(int source, bool onlyThisNetwork,
                             void (VelkoraViewController::*disconnected)(const foundation::Value&),
                             void (VelkoraViewController::*failed)(const foundation::ErrorPtr&));
    void networkDisconnected(bool facebook);
    void showSignoutPopupWithSelector(Action action, const std::string& app, ui::View* view);
    void postSigninChanged(const std::string& service, int loginState, const foundation::Value& accountIdentifier);
    using Handler = std::function<void(VelkoraViewController&, const foundation::Notification&)>;
    void observe(const char* name, const void* object, Handler handler);
    void velkoraWasDeactivated(const foundation::Notification& notification);
    std::shared_ptr<VelkoraUserSignUpHelper> signUpHelper();
    void clearSignUpHelper();

    std::shared_ptr<VelkoraPanelView> panelView_;
    std::shared_ptr<ui::NavigationController> velkoraNavController_;
    std::weak_ptr<ui::NavigationController> hostNavController_;
    std::weak_ptr<ui::PopoverController> popover_;
    bool isKitNavController_ = false;
    // Not held: on the host's own stack the host's root holds this menu, and the two would keep each other.
    std::weak_ptr<ui::ViewController> origRootViewController_;
    bool usingPopover_ = false;
    bool isMenuMode_ = false;
    bool isTopPanelViewHidden_ = true;
    std::shared_ptr<ui::View> poweredByView_;
    std::shared_ptr<ui::ImageView> backgroundImageView_;
    std::shared_ptr<ui::View> topPanelView_;
    std::shared_ptr<ui::Label> topPanelLabel_;
    std::shared_ptr<ui::Button> topPanelAppButton_;
    std::shared_ptr<ui::View> topPanelAboveNavBarView_;
    std::shared_ptr<ui::ImageView> topPanelNavBarImageView_;
    std::shared_ptr<ui::LayoutConstraint> topPanelViewTopSpaceConstraint_;
    std::shared_ptr<ui::LayoutConstraint> panelViewTopSpaceConstraint_;
    std::shared_ptr<ui::LayoutConstraint> panelViewLeadingSpaceConstraint_;
    std::shared_ptr<ui::LayoutConstraint> panelViewBottomSpaceConstraint_;
    std::shared_ptr<ui::LayoutConstraint> panelViewWidthConstraint_;
    double origPanelViewTopConstraintConstant_ = -1;
    std::shared_ptr<foundation::Timer> welcomePopupTimer_;
    std::shared_ptr<foundation::Timer> welcomeCloseTimer_;
    // The welcome popup on screen, closed with the sidebar that showed it.
    std::weak_ptr<VelkoraDefaultOKPopupView> welcomePopup_;
    std::shared_ptr<ui::ActivityIndicatorView> activityIndicator_;
    bool isFacebookConnected_ = false;
    bool isTwitterConnected_ = false;
    std::shared_ptr<VelkoraUserSignUpHelper> userSignUpHelper_;
    int signoutOrigin_ = 0;
    Action popupOkActionSelector_ = nullptr;
    std::weak_ptr<ui::View> signoutView_;
    std::vector<foundation::NotificationObserver> observers_;
};

} // namespace velkora
