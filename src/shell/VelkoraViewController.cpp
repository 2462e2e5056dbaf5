#include "shell/VelkoraViewController.h"

#include <algorithm>
#include <cmath>

#include "data/VelkoraAppDealsRepository.h"
#include "session/VelkoraChatsRepository.h"
#include "data/VelkoraMessageInternal.h"
#include "data/VelkoraUserInternal.h"
#include "social/VelkoraFBConnector.h"
#include "social/VelkoraTwitterConnector.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Application.h"
#include "platform/ui/PopoverController.h"
#include "platform/ui/UiNotifications.h"
#include "server/VelkoraServerApi.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppData.h"
#include "data/VelkoraAppSettings.h"
#include "session/VelkoraNavControllerViewController.h"
#include "session/VelkoraScreenRegistry.h"
#include "shell/VelkoraActivationGesturesHandler.h"
#include "shell/VelkoraChatPartnerScreen.h"
#include "shell/VelkoraMessageNotificationView.h"
#include "shell/VelkoraSidebarClasses.h"
#include "session/VelkoraStyleSheetCustomizer.h"

namespace velkora {

namespace {

std::shared_ptr<VelkoraActivationGesturesHandler> gestures() {
    return VelkoraActivationGesturesHandler::current();
}

int orientation() {
    return ui::Application::instance().statusBarOrientation();
}

bool belowSeven() {
    return ui::Device::current().compareSystemVersion("7.0") < 0;
}

} // namespace

std::shared_ptr<VelkoraViewController> VelkoraViewController::initWithMode(bool usingPopover) {
    registerSidebarClasses();
    auto controller = std::make_shared<VelkoraViewController>();
    controller->usingPopover_ = usingPopover;
    controller->isMenuMode_ = false;
    controller->isTopPanelViewHidden_ = true;
    return controller;
}

std::shared_ptr<VelkoraViewController>
VelkoraViewController::initFromNibWithNavController(const std::shared_ptr<ui::NavigationController>& navController,
                                                    bool showVelkoraNavBar,
                                                    std::shared_ptr<ui::NavigationController>* made) {
    registerSidebarClasses();
    auto controller = std::make_shared<VelkoraViewController>();
    controller->isMenuMode_ = true;
    controller->isTopPanelViewHidden_ = !showVelkoraNavBar && navController != nullptr;
    if (navController) {
        controller->setVelkoraNavController(navController, false);
    } else {
        auto nav = ui::NavigationController::create(controller);
        nav->setNavigationBarHidden(true);
        nav->view()->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleTopMargin |
                                         ui::AutoresizingFlexibleHeight);
        nav->view()->setClipsToBounds(true);
        controller->view()->setAutoresizingMask(ui::AutoresizingFlexibleTopMargin | ui::AutoresizingFlexibleHeight);
        controller->setVelkoraNavController(nav, true);
        if (made) *made = nav;
    }
    return controller;
}

VelkoraViewController::~VelkoraViewController() {
    observers_.clear();
    if (auto fb = VelkoraAgentInternal::instance().fbConnector()) fb->removeDelegate(this);
    if (auto tw = VelkoraAgentInternal::instance().twitterConnector()) tw->removeDelegate(this);
    VelkoraServerApi::clearUserDelegate(this);
    if (panelView_) panelView_->removeFromSuperview();
    if (welcomePopupTimer_) welcomePopupTimer_->invalidate();
    if (welcomeCloseTimer_) welcomeCloseTimer_->invalidate();
    // Its timer goes with this controller: the popup would otherwise stay over the host for good.
    if (auto popup = welcomePopup_.lock()) popup->close();
    clearSignUpHelper();
}

void VelkoraViewController::setVelkoraNavController(const std::shared_ptr<ui::NavigationController>& nav,
                                                    bool isKitNavController) {
    velkoraNavController_ = isKitNavController ? nav : nullptr;
    hostNavController_ = isKitNavController ? nullptr : nav;
    isKitNavController_ = isKitNavController;
    // The navigation controller may have loaded this view before it was handed over; its frame follows
    // the layout from now on.
    if (isViewLoaded() && nav) updateOrientation();
}

void VelkoraViewController::setVelkoraNavController(std::shared_ptr<ui::NavigationController> nav) {
    bool kit = std::dynamic_pointer_cast<VelkoraNavControllerViewController>(nav) != nullptr;
    setVelkoraNavController(nav, kit);
}

void VelkoraViewController::registerInterfaceBindings(ui::InterfaceBindings& bindings) {
    bindings.outlet("panelView", panelView_);
    bindings.outlet("poweredByView", poweredByView_);
    bindings.outlet("backgroundImageView", backgroundImageView_);
    bindings.outlet("topPanelView", topPanelView_);
    bindings.outlet("topPanelLabel", topPanelLabel_);
    bindings.outlet("topPanelAppButton", topPanelAppButton_);
    bindings.outlet("topPanelAboveNavBarView", topPanelAboveNavBarView_);
    bindings.outlet("topPanelNavBarImageView", topPanelNavBarImageView_);
    bindings.outlet("topPanelViewTopSpaceConstraint", topPanelViewTopSpaceConstraint_);
    bindings.outlet("panelViewTopSpaceConstraint", panelViewTopSpaceConstraint_);
    bindings.outlet("panelViewLeadingSpaceConstraint", panelViewLeadingSpaceConstraint_);
    bindings.outlet("panelViewBottomSpaceConstraint", panelViewBottomSpaceConstraint_);
    bindings.outlet("panelViewWidthConstraint", panelViewWidthConstraint_);
    bindings.action("appButtonClicked:", this, &VelkoraViewController::appButtonClicked);
    bindings.action("postsClicked:", this, &VelkoraViewController::postsClicked);
    bindings.action("followersClicked:", this, &VelkoraViewController::followersClicked);
    bindings.action("followingClicked:", this, &VelkoraViewController::followingClicked);
    bindings.action("facebookConnectClicked:", this, &VelkoraViewController::facebookConnectClicked);
    bindings.action("twitterConnectClicked:", this, &VelkoraViewController::twitterConnectClicked);
    bindings.action("loginClicked:", this, &VelkoraViewController::loginClicked);
    bindings.action("signUpClicked:", this, &VelkoraViewController::signUpClicked);
}

void VelkoraViewController::observe(const char* name, const void* object, Handler handler) {
    std::weak_ptr<VelkoraViewController> weak = std::static_pointer_cast<VelkoraViewController>(shared_from_this());
    observers_.emplace_back(name, object, [weak, handler = std::move(handler)](const foundation::Notification& n) {
        if (auto self = weak.lock()) handler(*self, n);
    });
}

// ---- Loading

void VelkoraViewController::viewDidLoad() {
    origPanelViewTopConstraintConstant_ = -1;
    setPreferredContentSize({270, 460});
    isFacebookConnected_ = isTwitterConnected_ = false;

    const void* chats = &VelkoraChatsRepository::instance();
    observe("VelkoraNewMessagesNotification", chats, &VelkoraViewController::gotNewMessages);
    observe("VelkoraMessagesGotChats", chats, &VelkoraViewController::chatsLoaded);
    observe("VelkoraTwitterConnectedNotification", nullptr, &VelkoraViewController::didConnectTwitter);
    observe("VelkoraFacebookConnectedNotification", nullptr, &VelkoraViewController::didConnectFacebook);
    observe("VelkoraChangedFollowingNotification", nullptr,
            [](VelkoraViewController& self, const foundation::Notification&) {
                if (self.panelView_)
                    self.panelView_->updateWithVelkoraUser(VelkoraAgentInternal::instance().velkoraUser());
            });
    observe("VelkoraDidResetUser", nullptr, [](VelkoraViewController& self, const foundation::Notification&) {
        auto anchor = self.panelView_ ? self.panelView_->signUpAnonymousView() : nullptr;
        if (anchor)
            self.startActivityIndicatorIfNeedAtPoint(
                anchor->convertPointToView(anchor->bounds().center(), self.view().get()), self.view().get());
    });
    // Only the editor this menu opened is closed here: one that a screen of the menu presented (the own
    // profile's) closes itself, and the screen under it stays.
    observe("VelkoraUserAboutPopupClosedNotification", nullptr,
            [](VelkoraViewController& self, const foundation::Notification&) {
                auto nav = self.velkoraNavController();
                auto top = nav ? nav->topViewController() : nullptr;
                if (top && std::string_view(top->className()) == "VelkoraEditAboutViewController")
                    self.closeFeatureScreenWithGestureAnimation(false);
            });
    observe("VelkoraAppDataReceived", nullptr,
            [](VelkoraViewController& self, const foundation::Notification&) { self.internalLoading(false); });
    observe("VelkoraUserDataReceived", nullptr, [](VelkoraViewController& self, const foundation::Notification&) {
        self.updateWithVelkoraUser(VelkoraAgentInternal::instance().velkoraUser());
    });
    observe("VelkoraNotificationWasDeactivated", nullptr, &VelkoraViewController::velkoraWasDeactivated);
    observe(ui::kApplicationDidChangeStatusBarOrientationNotification, nullptr,
            [](VelkoraViewController& self, const foundation::Notification&) {
                self.updateOrientation();
                if (auto g = gestures()) g->resumeIfUserAllows();
            });

    if (auto key = ui::Application::instance().keyWindowShared()) origRootViewController_ = key->rootViewController();
    if (!isMenuMode_ && !usingPopover_)
        setCurrentSidebarController(std::static_pointer_cast<VelkoraViewController>(shared_from_this()));
    if (panelViewTopSpaceConstraint_) origPanelViewTopConstraintConstant_ = panelViewTopSpaceConstraint_->constant();

    if (panelView_)
        panelView_->setDelegate(std::static_pointer_cast<VelkoraPanelViewDelegate>(
            std::static_pointer_cast<VelkoraViewController>(shared_from_this())));
    if (auto g = gestures()) {
        double width = panelView_ ? panelView_->frame().size.width : 0;
        g->setMenuWidth(width);
        g->setMenuWidthLandscape(width);
        if (VelkoraAgentInternal::instance().userPausedSwipe() || g->userPaused())
            g->pause();
        else
            g->start();
    }

    auto& customizer = VelkoraStyleSheetCustomizer::instance();
    customizer.customizeBackgroundView(backgroundImageView_.get(), kSidebarStyleScreen);
    customizer.customizeAppButton(topPanelAppButton_.get(), kSidebarStyleScreen);
    customizer.customizeNavbarView(topPanelAboveNavBarView_.get(), kSidebarStyleScreen);
    customizer.customizeNavBarImageView(topPanelNavBarImageView_.get(), kSidebarStyleScreen);
    customizer.customizeScreenTitleLabel(topPanelLabel_.get(), kSidebarStyleScreen);

    internalLoading(true);

    double delay = VelkoraAppSettings::welcomePopupDelay();
    if (delay > 0) {
        std::weak_ptr<VelkoraViewController> weak = std::static_pointer_cast<VelkoraViewController>(shared_from_this());
        welcomePopupTimer_ = foundation::Timer::scheduled(delay, false, [weak](foundation::Timer&) {
            if (auto self = weak.lock()) self->popupDelayElapsed();
        });
    } else {
        showNotificationAboutVelkora();
    }
}

void VelkoraViewController::viewDidAppear(bool /*animated*/) {
    if (ui::Device::current().compareSystemVersion("7.0") >= 0) setNeedsStatusBarAppearanceUpdate();
}

void VelkoraViewController::internalLoading(bool first) {
    if (topPanelLabel_) topPanelLabel_->setText("Velkora's Menu");
    if (topPanelAboveNavBarView_) topPanelAboveNavBarView_->setBackgroundColor(VelkoraAppSettings::leadingColor());
    if (topPanelAppButton_) {
        auto image = ui::Image::named(VelkoraAgentInternal::instance().getActivationButtonImageString());
        topPanelAppButton_->setImage(image, ui::ControlStateNormal);
        topPanelAppButton_->setImage(image, ui::ControlStateHighlighted);
    }
    auto data = VelkoraAgentInternal::appDataOfInstance();
    if (poweredByView_) poweredByView_->setHidden(!(data && data->showPoweredByMessage()));
    if (topPanelView_) topPanelView_->setHidden(isTopPanelViewHidden_);
    if (first && panelView_) {
        panelView_->myInitAsMenu(isMenuMode_);
        panelView_->setProfileBlockDelegate(std::static_pointer_cast<VelkoraPanelProfileViewDelegate>(
            std::static_pointer_cast<VelkoraViewController>(shared_from_this())));
    }
    updateOrientation();
}

void VelkoraViewController::updateOrientation() {
    auto nav = velkoraNavController();
    if (!usingPopover_ && nav && isKitNavController_) {
        nav->view()->setTransform(ui::AffineTransform::rotation(rotationForStatusBarOrientation(orientation())));
    }
    updateFramesWithOffset(true);
    if (panelView_) {
        panelView_->layoutIfNeeded();
        panelView_->updateScrollView();
    }
}

void VelkoraViewController::updateFramesWithOffset(bool withOffset) {
    ui::Rect bounds = ui::Screen::main().bounds();
    double w = bounds.size.width, h = bounds.size.height;
    int o = orientation();
    auto handler = gestures();
    bool rightSide = handler && !handler->leftMenu() && !usingPopover_;
    bool leftSide = handler && handler->leftMenu() && !usingPopover_;
    bool landscape = o == ui::InterfaceOrientationLandscapeRight || o == ui::InterfaceOrientationLandscapeLeft;
    double panelWidth = landscape ? h : w;
    ui::Rect frame = bounds;
    if (sidebarIsTablet() && withOffset) {
        panelWidth = 450;
        switch (o) {
        case ui::InterfaceOrientationPortrait:
            if (rightSide) frame.origin.x = w - 450;
            frame.size.width = 450;
            break;
        case ui::InterfaceOrientationPortraitUpsideDown:
            frame.size.width = 450;
            if (leftSide) frame.origin.x = bounds.origin.x + 318;
            break;
        case ui::InterfaceOrientationLandscapeRight:
            if (rightSide) frame.origin.y = h - 450;
            frame.size.height = 450;
            break;
        case ui::InterfaceOrientationLandscapeLeft:
            frame.size.height = 450;
            if (leftSide) frame.origin.y = bounds.origin.y + 574;
            break;
        default:
            break;
        }
    }
    if (belowSeven() && !sidebarIsTablet()) {
        if (topPanelViewTopSpaceConstraint_) topPanelViewTopSpaceConstraint_->setConstant(0);
        if (panelViewTopSpaceConstraint_) panelViewTopSpaceConstraint_->setConstant(0);
    }
    if (!isMenuMode_) {
        if (auto nav = velkoraNavController(); nav && isKitNavController_) nav->view()->setFrame(frame);
    } else {
        if (panelViewWidthConstraint_) panelViewWidthConstraint_->setConstant(panelWidth);
        if (panelViewTopSpaceConstraint_) panelViewTopSpaceConstraint_->setConstant(menuModePanelTop(landscape));
    }
    if (rightSide && panelViewLeadingSpaceConstraint_ && panelViewWidthConstraint_)
        panelViewLeadingSpaceConstraint_->setConstant(panelWidth - panelViewWidthConstraint_->constant());
    if (poweredByView_ && poweredByView_->isHidden() && panelViewBottomSpaceConstraint_)
        panelViewBottomSpaceConstraint_->setConstant(-poweredByView_->frame().size.height);
}

double VelkoraViewController::menuModePanelTop(bool landscape) {
    if (belowSeven()) return 0;
    double top = origPanelViewTopConstraintConstant_;
    auto root = origRootViewController_.lock();
    std::shared_ptr<ui::NavigationController> hostNav = std::dynamic_pointer_cast<ui::NavigationController>(root);
    ui::NavigationController* hostNavRaw = hostNav ? hostNav.get() : (root ? root->navigationController() : nullptr);
    if (!isKitNavController_ && hostNavRaw && !hostNavRaw->isNavigationBarHidden()) {
        // Where the host lays this view out beneath its bar, the panel starts where the bar ends; where it
        // places the view below the bar, neither the bar nor the status-bar strip above it covers the view,
        // and adding them left an empty band under the bar. Only before the view has its place does the
        // bar's usual height stand in.
        const auto& bar = hostNavRaw->navigationBar();
        auto view = viewIfLoaded();
        if (bar && view && bar->superview() && view->isDescendantOfView(bar->superview()))
            top = std::max(0.0, bar->convertRectToView(bar->bounds(), view.get()).maxY());
        else
            top += landscape ? (sidebarIsTablet() ? 44 : 32) : 44;
    }
    if (topPanelView_ && !topPanelView_->isHidden()) top += topPanelView_->frame().size.height;
    return top;
}

void VelkoraViewController::viewWillLayoutSubviews() {
    // The host's navigation controller sets this view's place after loading it and again on every rotation
    // or bar change: the menu's top follows it.
    if (isMenuMode_ && !usingPopover_ && panelViewTopSpaceConstraint_ && origPanelViewTopConstraintConstant_ >= 0) {
        int o = orientation();
        bool landscape = o == ui::InterfaceOrientationLandscapeRight || o == ui::InterfaceOrientationLandscapeLeft;
        panelViewTopSpaceConstraint_->setConstant(menuModePanelTop(landscape));
    }
}

// ---- Opening and closing

void VelkoraViewController::openFeatureScreenWithGestureAnimation(const std::shared_ptr<ui::ViewController>& screen,
                                                                  bool forceEntireWidth) {
    if (!screen) return;
    if (sidebarIsTablet() && forceEntireWidth) updateFramesWithOffset(false);
    if (auto nav = velkoraNavController()) nav->pushViewController(screen, true);
    if (auto g = gestures()) {
        g->setHideEntireOriginalApp(true);
        g->setForceEntireWidth(forceEntireWidth);
        g->showFullMenuWithNotification(false);
    }
}

void VelkoraViewController::closeFeatureScreenWithGestureAnimation(bool toRoot) {
    updateFramesWithOffset(true);
    if (auto nav = velkoraNavController()) {
        if (toRoot)
            nav->popToRootViewController(true);
        else
            nav->popViewController(true);
    }
    if (auto g = gestures()) {
        g->setHideEntireOriginalApp(false);
        g->setForceEntireWidth(false);
        g->showFullMenuWithNotification(true);
    }
}

void VelkoraViewController::backToAppWithGestureAnimation() {
    if (usingPopover_) {
        auto popover = popover_.lock();
        if (!popover) popover = VelkoraAgentInternal::instance().popover();
        if (popover) popover->dismissPopoverAnimated(true);
        return;
    }
    if (isMenuMode_) {
        if (auto nav = velkoraNavController()) nav->popToRootViewController(true);
        dismissViewController(true, [] {});
        return;
    }
    if (auto g = gestures()) {
        g->setHideEntireOriginalApp(true);
        g->hideFullMenu();
    }
}

void VelkoraViewController::openPanel() {
    if (auto g = gestures()) {
        g->setForceEntireWidth(false);
        g->showFullMenuWithNotification(true);
    }
}

void VelkoraViewController::closePanel() {
    if (auto g = gestures()) g->hideFullMenu();
}

void VelkoraViewController::appButtonClicked(ui::Control* /*sender*/) {
    view()->endEditing(true);
    didClose();
}

void VelkoraViewController::didClickBack() {
    closeFeatureScreenWithGestureAnimation(false);
}
void VelkoraViewController::didClose() {
    backToAppWithGestureAnimation();
}
void VelkoraViewController::backToPanel() {
    closeFeatureScreenWithGestureAnimation(true);
}

double VelkoraViewController::getPanelTopMargin() {
    return panelViewTopSpaceConstraint_ ? panelViewTopSpaceConstraint_->constant() : 0;
}

double VelkoraViewController::getPanelBottomMargin() {
    return !poweredByView_ || poweredByView_->isHidden() ? 0 : poweredByView_->frame().size.height;
}

// ---- Rows and header controls

void VelkoraViewController::openRowScreen(const std::string& featureName, const std::optional<std::string>& title,
                                          foundation::Dictionary extra, bool forceEntireWidth) {
    foundation::Dictionary arguments{
        {VelkoraScreenArguments::kOpenedAs, foundation::Value(VelkoraScreenArguments::kOpenedFromSidebar)}};
    if (title) arguments.set(VelkoraScreenArguments::kTitle, foundation::Value(*title));
    for (auto& [key, value] : extra)
        arguments.set(key, value);
    auto screen = VelkoraScreenRegistry::instance().makeScreen(featureName, foundation::Value(std::move(arguments)));
    if (!screen) return;
    if (auto feature = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(screen)) {
        if (title) feature->setTitleText(*title);
        feature->setFeatureTabDelegate(std::static_pointer_cast<VelkoraGeneralFeatureViewControllerDelegate>(
            std::static_pointer_cast<VelkoraViewController>(shared_from_this())));
    }
    openFeatureScreenWithGestureAnimation(screen, forceEntireWidth);
}

namespace {
foundation::Value currentUserValue() {
    return foundation::Value::object(VelkoraAgentInternal::instance().velkoraUser());
}
std::string localized(const std::string& key) {
    return foundation::Bundle::main().localizedString(key);
}
} // namespace

void VelkoraViewController::feedClicked(const std::string& title) {
    openRowScreen("feed", title, {}, false);
}
void VelkoraViewController::chatClicked(const std::string& title) {
    openRowScreen("inbox", title, {}, false);
}
void VelkoraViewController::chatRoomsClicked(const std::string& title) {
    openRowScreen("blog", title, {}, false);
}
void VelkoraViewController::inviteClicked(const std::string& title) {
    openRowScreen("invite", title, {}, false);
}
void VelkoraViewController::radarClicked(const std::string& title) {
    openRowScreen("radar", title, {}, true);
}
void VelkoraViewController::feedbackClicked(const std::string& title) {
    openRowScreen("feedback", title, {}, false);
}
void VelkoraViewController::leaderboardClicked(const std::string& title) {
    openRowScreen("leaderboard", title, {{"level", foundation::Value("")}}, false);
}
void VelkoraViewController::quizClicked(const std::string& title) {
    openRowScreen("quiz", title, {}, false);
}
void VelkoraViewController::followersClicked(ui::Control* /*sender*/) {
    openRowScreen("userfollowers", localized("velkora_text_followers_title"),
                  {{VelkoraScreenArguments::kObject1, currentUserValue()},
                   {"showFollowing", foundation::Value(false)},
                   {"showFollowButton", foundation::Value(true)}},
                  false);
}
void VelkoraViewController::followingClicked(ui::Control* /*sender*/) {
    openRowScreen("userfollowing", localized("velkora_text_following_title"),
                  {{VelkoraScreenArguments::kObject1, currentUserValue()},
                   {"showFollowing", foundation::Value(true)},
                   {"showFollowButton", foundation::Value(false)}},
                  false);
}
void VelkoraViewController::postsClicked(ui::Control* /*sender*/) {
    openRowScreen("userPosts", std::nullopt, {{VelkoraScreenArguments::kObject1, currentUserValue()}}, false);
}
void VelkoraViewController::settingsClicked() {
    // The screen's sign-outs, connects and saved name come back here, to the header.
    auto self = std::static_pointer_cast<VelkoraPanelProfileViewDelegate>(
        std::static_pointer_cast<VelkoraViewController>(shared_from_this()));
    openRowScreen("settings", std::nullopt, {{VelkoraScreenArguments::kDelegate, foundation::Value::object(self)}},
                  false);
}
void VelkoraViewController::editAboutClicked() {
    openRowScreen("editAbout", std::nullopt, {}, false);
}
void VelkoraViewController::loginClicked(ui::Control* /*sender*/) {
    openRowScreen("login", std::nullopt, {}, false);
}
void VelkoraViewController::signUpClicked(ui::Control* /*sender*/) {
    openRowScreen("signup", std::nullopt, {}, false);
}

void VelkoraViewController::customFeatureClicked(const std::string& customId) {
    foundation::Log::line("Velkora - customFeatureClicked (%@) ...", customId);
    foundation::NotificationCenter::defaultCenter().post(
        "kVelkoraCustomButtonClicked", nullptr,
        foundation::Value(foundation::Dictionary{{"customButtonId", foundation::Value(customId)}}));
}

void VelkoraViewController::rateUsClicked() {
    if (auto url = VelkoraAppSettings::rateUrl()) ui::Application::instance().openURL(*url);
}

// ---- Handed over by the session object

void VelkoraViewController::gotAppDeals(const foundation::Value& deals) {
    auto& repository = VelkoraAppDealsRepository::instance();
    repository.cleaerRepository();
    std::vector<VelkoraAppDealPtr> list;
    if (const auto* array = deals.asArray())
        for (const auto& d : *array)
            if (auto deal = d.asObject<VelkoraAppDeal>()) list.push_back(deal);
    repository.updateWithAppDeals(list);
    if (panelView_) panelView_->refreshAppDealsView();
}

void VelkoraViewController::updateWithAppDeals(const std::vector<std::shared_ptr<VelkoraAppDeal>>& deals) {
    foundation::Array list;
    for (auto& deal : deals)
        list.push_back(foundation::Value::object(deal));
    gotAppDeals(foundation::Value(std::move(list)));
}

std::vector<std::pair<std::string, int32_t>> VelkoraViewController::panelCommandBadges() const {
    std::vector<std::pair<std::string, int32_t>> badges;
    if (panelView_)
        for (auto& c : panelView_->commands())
            badges.emplace_back(c->commandId().value_or(""), c->badgeNumber());
    return badges;
}

void VelkoraViewController::updateWithNearbyUsersCount() {
    if (panelView_) panelView_->refreshRadarBadge();
}

void VelkoraViewController::updateWithSNFriendsCount() {
    if (panelView_) panelView_->refreshFindFriendsBadge();
}

void VelkoraViewController::updateWithVelkoraUser(const std::shared_ptr<VelkoraUserInternal>& user) {
    stopActivityIndicator();
    if (panelView_) panelView_->updateWithVelkoraUser(user);
}

int32_t VelkoraViewController::getTotalBadges() const {
    return panelView_ ? panelView_->totalBadges() : 0;
}

void VelkoraViewController::velkoraWasDeactivated(const foundation::Notification& /*notification*/) {
    auto data = VelkoraAgentInternal::appDataOfInstance();
    if (!data || !data->isAppDealsEnabled()) return;
    const auto& last = VelkoraAppDealsRepository::instance().lastUpdateTime();
    if (last && *last - foundation::RunLoop::main().now() > -60.0) return;
    auto self = std::static_pointer_cast<VelkoraViewController>(shared_from_this());
    VelkoraServerApi::getAppDeals(VelkoraCallback(self, &VelkoraViewController::gotAppDeals));
}

// ---- Incoming messages

void VelkoraViewController::gotNewMessages(const foundation::Notification& notification) {
    auto nav = velkoraNavController();
    auto top = nav ? nav->topViewController() : nullptr;
    auto* chat = dynamic_cast<VelkoraChatPartnerScreen*>(top.get());
    auto partner = chat ? chat->chatUser() : nullptr;
    if (!partner || !partner->userId()) {
        notifyUserOnNewMessages(notification);
        return;
    }
    const auto& users = notification.userInfo["users"];
    if (users.size() == 0) return;
    bool fromOthers = false;
    if (const auto* array = users.asArray())
        for (const auto& u : *array)
            if (auto user = u.asObject<VelkoraUserInternal>(); !user || user->userId() != partner->userId())
                fromOthers = true;
    if (fromOthers) notifyUserOnNewMessages(notification);
}

void VelkoraViewController::chatsLoaded(const foundation::Notification& notification) {
    if (notification.userInfo["newMessages"].boolOr(false) && VelkoraChatsRepository::instance().isAnyNewMessage())
        notifyUserOnNewMessages(notification);
}

void VelkoraViewController::notifyUserOnNewMessages(const foundation::Notification& notification) {
    const auto& users = notification.userInfo["users"];
    if (const auto* array = users.asArray(); array && array->size() == 1) {
        auto user = array->front().asObject<VelkoraUserInternal>();
        std::string id = user ? user->userId().value_or("") : "";
        if (id.rfind("welcome", 0) == 0 || id.rfind("test", 0) == 0) return;
    }
    if (VelkoraAppSettings::actionOnIncomingMessage() != 1) return;
    const auto* messages = notification.userInfo["messages"].asArray();
    if (!messages) return;
    auto key = ui::Application::instance().keyWindowShared();
    ui::View* host = key && key->rootViewController() ? key->rootViewController()->view().get() : nullptr;
    for (const auto& m : *messages)
        if (auto message = m.asObject<VelkoraMessageInternal>())
            if (auto banner = VelkoraMessageNotificationView::initFromNib(message)) banner->showInView(host);
}

// ---- Spinner

void VelkoraViewController::startActivityIndicatorIfNeedAtPoint(ui::Point point, ui::View* view) {
    if (activityIndicator_ && activityIndicator_->isAnimating()) return;
    if (activityIndicator_) activityIndicator_->removeFromSuperview();
    activityIndicator_ = ui::ActivityIndicatorView::create(ui::ActivityIndicatorViewStyle::White);
    activityIndicator_->setHidesWhenStopped(true);
    activityIndicator_->setCenter(point);
    activityIndicator_->startAnimating();
    if (view) view->addSubview(activityIndicator_);
}

void VelkoraViewController::stopActivityIndicator() {
    if (activityIndicator_) activityIndicator_->stopAnimating();
}

} // namespace velkora
