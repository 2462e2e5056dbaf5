// Opening features: the screens the host opens in its navigation controller, modally or in its tab bar,
// the answers to those screens when they go back or close, the sidebar's menu in its three containers,
// the activation button and bar item, and the panel and swipe switches.
#include <algorithm>
#include <iterator>
#include <map>

#include "data/VelkoraAppData.h"
#include "data/VelkoraFeatureRegistry.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarItems.h"
#include "platform/ui/Button.h"
#include "platform/ui/Image.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/PopoverController.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/UiNotifications.h"
#include "platform/ui/Window.h"
#include "session/VelkoraAgentInternalDelegates.h"
#include "session/VelkoraKitObjects.h"
#include "session/VelkoraNavControllerViewController.h"
#include "session/VelkoraScreenRegistry.h"
#include "social/VelkoraPopups.h"

namespace velkora {

using foundation::Log;
using foundation::Value;

namespace {

// The features with a screen, and the title each screen is given (a key of the strings table, or a
// literal title).
struct FeatureScreen {
    int32_t featureId;
    const char* title;
    bool titleIsKey;
};

constexpr FeatureScreen kFeatureScreens[] = {
    {0, "velkora_text_activity_tab_title", true},
    {1, "velkora_text_messages_tab_title", true},
    {2, "velkora_text_chatrooms_tab_title", true},
    {3, "velkora_text_find_and_invite_friends_tab_title", true},
    {4, "velkora_text_radar_tab_title", true},
    {100, "velkora_text_feedback_tab_title", true},
    {102, "velkora_text_leaderboard_tab_title", true},
    {103, "velkora_text_quiz_play_title", true},
    {104, "velkora_text_login_title", true},
    {105, "velkora_text_signup_title", true},
    {106, "velkora_text_my_profile_title_label", true},
    {107, "velkora_text_profile_title_label", true},
    {108, "Chat", false},
    {109, "Chat Room", false},
    {111, "velkora_text_sticker_store", true},
    {112, "", false},
    {113, "", false},
    {114, "", false},
    {115, "velkora_text_activity_tab_title", true},
};

// The features the host may put in its tab bar, with their literal titles and icons.
struct TabEntry {
    int32_t featureId;
    const char* title;
    const char* icon; // null: no icon
};

constexpr TabEntry kTabEntries[] = {
    {0, "Activity", "VelImg_ActivityIcon.png"},
    {1, "Inbox", "VelImg_MessagesIcon.png"},
    {2, "Chat Rooms", "VelImg_BlogIcon"},
    {3, "Find & Invite Friends", "VelImg_FindInviteIcon.png"},
    {4, "Radar", "VelImg_RadarIcon.png"},
    {100, "Feedback", "VelImg_FeedbackIcon.png"},
    {102, "Leaderboard", "VelImg_LeaderboardTabIcon.png"},
    {103, "Quiz", "VelImg_QuizTabIcon.png"},
    {104, "Log In", nullptr},
    {105, "Sign Up", nullptr},
    {106, "User Profile", nullptr},
    {107, "Profile", nullptr},
    {108, "Chat", nullptr},
    {109, "Chat Room", nullptr},
};

const FeatureScreen* featureScreen(int32_t featureId) {
    for (const auto& f : kFeatureScreens)
        if (f.featureId == featureId) return &f;
    return nullptr;
}

const TabEntry* tabEntry(int32_t featureId) {
    for (const auto& t : kTabEntries)
        if (t.featureId == featureId) return &t;
    return nullptr;
}

void logUnknownFeature(int32_t featureId) {
    Log::line("Velkora (E) - Unknown featureId given: %d", featureId);
}

std::shared_ptr<ui::Window> keyWindow() {
    return ui::Application::instance().keyWindowShared();
}

// The host's window for a screen the kit opens: the key window, unless that is an alert window (the kit's
// own popups are, the initializing one among them), which has no screens to present from; then the
// frontmost visible window below the alert level.
std::shared_ptr<ui::Window> hostWindow() {
    auto key = keyWindow();
    if (key && key->windowLevel() < ui::WindowLevel::Alert) return key;
    auto all = ui::Application::instance().windows();
    for (auto it = all.rbegin(); it != all.rend(); ++it)
        if ((*it)->windowLevel() < ui::WindowLevel::Alert && !(*it)->isHidden()) return *it;
    return nullptr;
}

// A kit screen with its own top panel, pushed on the host's navigation controller, would sit under the
// host's bar too: the bar steps aside while the kit's screens are on the stack above `depth`, and comes
// back when the host's own screens are on top again.
struct HostBarWatcher {
    std::weak_ptr<ui::NavigationController> nav;
    foundation::NotificationObserver observer;
};

std::map<const void*, HostBarWatcher>& hostBarWatchers() {
    // Never destroyed: its observers must not outlive the notification centre at exit.
    static auto* watchers = new std::map<const void*, HostBarWatcher>();
    return *watchers;
}

void pushUnderOwnPanel(const std::shared_ptr<ui::NavigationController>& nav, const ui::ViewControllerPtr& screen) {
    const size_t depth = nav->viewControllers().size();
    const void* key = nav.get();
    auto& watchers = hostBarWatchers();
    if (auto it = watchers.find(key); it != watchers.end() && it->second.nav.expired()) watchers.erase(it);
    if (!nav->isNavigationBarHidden() && !watchers.contains(key)) {
        nav->setNavigationBarHidden(true);
        std::weak_ptr<ui::NavigationController> weak = nav;
        watchers[key] = HostBarWatcher{
            weak, foundation::NotificationObserver(ui::kNavigationControllerDidShowViewControllerNotification, key,
                                                   [weak, key, depth](const foundation::Notification&) {
                                                       auto host = weak.lock();
                                                       if (host && host->viewControllers().size() > depth) return;
                                                       if (host) host->setNavigationBarHidden(false);
                                                       hostBarWatchers().erase(key);
                                                   })};
    }
    nav->pushViewController(screen, true);
}

} // namespace

std::shared_ptr<VelkoraGeneralFeatureViewControllerDelegate> VelkoraAgentInternal::featureContainer() const {
    return delegates_;
}

int32_t VelkoraAgentInternal::rewriteFeatureId(int32_t featureId, const Value& object1) const {
    if (featureId == 107 && velkoraUser_ && object1.toText() && object1.toText() == velkoraUser_->userId())
        featureId = 106;
    // Without a current user the user counts as signed in.
    const bool anonymous = velkoraUser_ && velkoraUser_->isAnonymous();
    if (anonymous && featureId == 106) return 104;
    if (!anonymous && (featureId == 104 || featureId == 105)) return 106;
    return featureId;
}

std::shared_ptr<ui::ViewController> VelkoraAgentInternal::makeFeatureScreen(int32_t featureId, const Value& object1,
                                                                            const Value& object2, const char* openedAs,
                                                                            std::string* title) {
    const FeatureScreen* known = featureScreen(featureId);
    const TabEntry* tab = tabEntry(featureId);
    const bool inTabBar = std::string(openedAs) == VelkoraScreenArguments::kOpenedInTabBar;
    if (inTabBar ? !tab : !known) {
        logUnknownFeature(featureId);
        return nullptr;
    }
    std::string name = VelkoraFeatureRegistry::featureNameById(static_cast<uint32_t>(featureId)).value_or("");
    auto& registry = VelkoraScreenRegistry::instance();
    if (!registry.hasScreen(name)) {
        VelkoraScreenRegistry::logNotInBuild("feature " + std::to_string(featureId) + " (" + name + ")");
        return nullptr;
    }
    foundation::Dictionary arguments{{VelkoraScreenArguments::kOpenedAs, Value(openedAs)},
                                     {VelkoraScreenArguments::kObject1, object1},
                                     {VelkoraScreenArguments::kObject2, object2}};
    if (inTabBar) arguments.set(VelkoraScreenArguments::kOptions, object1);
    auto screen = registry.makeScreen(name, Value(std::move(arguments)));
    if (!screen) return nullptr;
    if (inTabBar)
        *title = tab->title;
    else
        *title = known->titleIsKey ? foundation::Bundle::main().localizedString(known->title) : known->title;
    if (auto feature = std::dynamic_pointer_cast<VelkoraFeatureScreenFace>(screen)) {
        feature->setFeatureTabDelegate(delegates_);
        feature->setTitleText(*title);
    }
    return screen;
}

void VelkoraAgentInternal::showInitializingPopup() {
    auto& bundle = foundation::Bundle::main();
    VelkoraPopups::Popup popup;
    popup.title = bundle.localizedString("velkora_text_initializing_popup_title");
    popup.message = bundle.localizedString("velkora_text_initializing_popup_message");
    popup.messageWraps = true;
    popup.okTitle = bundle.localizedString("velkora_text_ok_button");
    auto window = keyWindow();
    initializingPopup_ = VelkoraPopups::show(window.get(), popup);
}

void VelkoraAgentInternal::openFeature(int32_t featureId,
                                       const std::shared_ptr<ui::NavigationController>& navigationController,
                                       bool velkoraNavControllerEnabled, const Value& object1, const Value& object2) {
    if (!appData_ || !appData_->appName() || appData_->appName()->empty() || !velkoraUser_) {
        Log::line("Velkora - Velkora is not ready yet, can't open feature");
        showInitializingPopup();
        return;
    }
    if (!appWindow()) appWindow_ = hostWindow();
    featureId = rewriteFeatureId(featureId, object1);
    isTopPanelHidden_ = navigationController && !velkoraNavControllerEnabled;
    if (featureId == 110) {
        openMenuWithNavigationController(navigationController, velkoraNavControllerEnabled);
        return;
    }
    if (featureId == 111) {
        openStickerStoreWithNavigationController(navigationController, velkoraNavControllerEnabled);
        return;
    }
    showFeatureScreen(featureId, navigationController, velkoraNavControllerEnabled, object1, object2);
}

void VelkoraAgentInternal::showFeatureScreen(int32_t featureId,
                                             const std::shared_ptr<ui::NavigationController>& navigationController,
                                             bool velkoraNavControllerEnabled, const Value& object1,
                                             const Value& object2) {
    isTopPanelHidden_ = navigationController && !velkoraNavControllerEnabled;
    std::string title;
    auto screen = makeFeatureScreen(featureId, object1, object2,
                                    navigationController ? VelkoraScreenArguments::kOpenedInNavigation
                                                         : VelkoraScreenArguments::kOpenedModally,
                                    &title);
    if (!screen) return;
    if (featureId == 112) screen->setModalPresentationStyle(ui::ModalPresentationStyle::FullScreen);
    if (navigationController) {
        featureNavController_ = navigationController;
        if (velkoraNavControllerEnabled)
            pushUnderOwnPanel(navigationController, screen);
        else
            navigationController->pushViewController(screen, true);
    } else {
        auto wrapped = VelkoraNavControllerViewController::createHidingBar(screen);
        auto window = appWindow();
        auto root = window ? window->rootViewController() : nullptr;
        if (!root) {
            // Nothing to present from: say so rather than open a screen nobody sees.
            Log::line("Velkora (E) - The host window has no root view controller to open feature %d from", featureId);
            return;
        }
        // A screen that could not be shown must not take the place of the one on show, whose close
        // would then close nothing.
        if (!presentOnTop(*root, wrapped)) {
            Log::line("Velkora (E) - Feature %d could not be shown", featureId);
            return;
        }
        featureNavController_ = wrapped;
        presentedFeatures_.emplace_back(screen);
    }
    currentPresentedFeatureVC_ = screen;
}

void VelkoraAgentInternal::featureScreenWent(const ui::ViewController* screen) {
    std::erase_if(presentedFeatures_, [&](const std::weak_ptr<ui::ViewController>& w) {
        auto s = w.lock();
        return !s || s.get() == screen;
    });
    if (currentPresentedFeatureVC_.get() != screen) return;
    currentPresentedFeatureVC_.reset();
    // The screen shown before it, in a stack of the kit's own, is the one on show again.
    while (!presentedFeatures_.empty()) {
        auto before = presentedFeatures_.back().lock();
        auto* nav = before ? before->navigationController() : nullptr;
        if (nav && nav->presentingViewController() && !nav->isBeingDismissed()) {
            currentPresentedFeatureVC_ = before;
            featureNavController_ = nav->sharedAs<ui::NavigationController>();
            return;
        }
        presentedFeatures_.pop_back();
    }
}

void VelkoraAgentInternal::addFeature(int32_t featureId, const std::shared_ptr<ui::TabBarController>& tabBarController,
                                      int32_t position, const Value& options) {
    featureId = rewriteFeatureId(featureId, options);
    if (!tabEntry(featureId)) {
        logUnknownFeature(featureId);
        return;
    }
    if (!tabBarController) return;
    auto controllers = tabBarController->viewControllers();
    if (position < 0 || static_cast<size_t>(position) > controllers.size()) {
        Log::line("Velkora (E) - Tab-bar position %d is beyond the %d tabs; feature %d is not added", position,
                  static_cast<int>(controllers.size()), featureId);
        return;
    }
    std::string title;
    auto screen = makeFeatureScreen(featureId, options, Value(), VelkoraScreenArguments::kOpenedInTabBar, &title);
    if (!screen) return;
    auto wrapped = VelkoraNavControllerViewController::createHidingBar(screen);
    const TabEntry* tab = tabEntry(featureId);
    auto feature = std::dynamic_pointer_cast<VelkoraFeatureScreenFace>(screen);
    std::shared_ptr<ui::Image> icon;
    // Named images are looked up in the bundle's "Velkora.bundle/images/dark2" folder.
    if (tab->icon) icon = ui::Image::named(tab->icon);
    wrapped->setTabBarItem(ui::TabBarItem::create(feature ? feature->titleText() : title, icon, featureId + 700));
    featureNavController_ = wrapped;
    if (static_cast<size_t>(position) == controllers.size())
        controllers.push_back(wrapped);
    else
        controllers[static_cast<size_t>(position)] = wrapped;
    tabBarController->setViewControllers(std::move(controllers));
    currentPresentedFeatureVC_ = screen;
}

void VelkoraAgentInternal::handleFeatureBackToPanel(bool backToPanel, bool close) {
    auto dismissPresented = [this] {
        auto window = appWindow();
        auto root = window ? window->rootViewController() : nullptr;
        if (!root || !root->presentedViewController()) return;
        // The screen on show goes; one presented before it stays.
        ui::ViewController* top = root.get();
        while (top->presentedViewController())
            top = top->presentedViewController().get();
        auto current = currentPresentedFeatureVC_;
        const bool wasCurrent = current && (current.get() == top || current->navigationController() == top);
        top->dismissViewController(true, [] {});
        if (wasCurrent) featureScreenWent(current.get());
    };
    if (close) {
        if (!currentPresentedFeatureVC_) return;
        auto screen = currentPresentedFeatureVC_;
        if (!closePushedScreen(screen)) {
            std::weak_ptr<ui::ViewController> weak = screen;
            screen->dismissViewController(true, [this, weak] {
                if (auto s = weak.lock()) featureScreenWent(s.get());
            });
        }
        return;
    }
    auto nav = featureNavController();
    if (backToPanel) {
        std::vector<ui::ViewControllerPtr> popped;
        const std::string name = currentPresentedFeatureVC_ ? currentPresentedFeatureVC_->className() : "";
        if (nav && (name == "VelkoraLoginViewController" || name == "VelkoraSignUpViewController")) {
            popped = nav->popToRootViewController(true);
            currentPresentedFeatureVC_.reset();
        } else if (nav && currentPresentedFeatureVC_) {
            popped = nav->popToViewController(currentPresentedFeatureVC_.get(), true);
        }
        if (!popped.empty()) return;
        dismissPresented();
        return;
    }
    if (nav) {
        if (auto popped = nav->popViewController(true)) {
            if (popped == currentPresentedFeatureVC_) featureScreenWent(popped.get());
            return;
        }
    }
    dismissPresented();
}

void VelkoraAgentInternal::dismissTalkToUs() {
    closeFeatureScreen(currentPresentedFeatureVC_);
}

void VelkoraAgentInternal::closeFeatureScreen(const std::shared_ptr<ui::ViewController>& screen) {
    if (!screen) return;
    if (closePushedScreen(screen)) return;
    if (screen->presentingViewController()) screen->dismissViewController(true);
    featureScreenWent(screen.get());
}

bool VelkoraAgentInternal::closePushedScreen(const std::shared_ptr<ui::ViewController>& screen) {
    // Pushed on a stack (not the root of one the kit presented): it goes with what was pushed above it.
    auto* nav = screen->navigationController();
    if (!nav) return false;
    const auto& stack = nav->viewControllers();
    auto at = std::find(stack.begin(), stack.end(), screen);
    if (at == stack.end() || at == stack.begin()) return false;
    nav->popToViewController((at - 1)->get(), true);
    featureScreenWent(screen.get());
    return true;
}

// ---- the menu

void VelkoraAgentInternal::openMenuInPopoverWithRect(ui::Rect rect, ui::View* view) {
    Log::line("Velkora - Opening Velkora's Menu");
    auto menu = menuForOpening(true, false, true);
    if (!menu) return;
    auto nav = VelkoraNavControllerViewController::createHidingBar(menu->viewController());
    menu->setVelkoraNavController(nav);
    popover_ = ui::PopoverController::create(nav);
    popover_->presentPopoverFromRect(rect, view, ui::PopoverArrowDirectionAny, true);
    implicitPreloadFeatures();
}

void VelkoraAgentInternal::openMenuInWindow(const std::shared_ptr<ui::Window>& window) {
    Log::line("Velkora - Opening Velkora's Menu");
    if (!velkoraVC_) velkoraVC_ = makeSidebar();
    if (!velkoraVC_ || !window) return;
    appWindow_ = window;
    auto root = window->rootViewController();
    std::shared_ptr<ui::NavigationController> hostNav;
    if (root && root->navigationController())
        hostNav = root->navigationController()->sharedAs<ui::NavigationController>();
    else if (root)
        hostNav = std::dynamic_pointer_cast<ui::NavigationController>(root);
    if (hostNav) {
        velkoraVC_->setVelkoraNavController(hostNav);
        hostNav->pushViewController(velkoraVC_->viewController(), true);
    } else if (!root) {
        auto nav = VelkoraNavControllerViewController::createHidingBar(velkoraVC_->viewController());
        velkoraVC_->setVelkoraNavController(nav);
        window->insertSubview(nav->view(), 0);
        sidebarInstalled_ = true;
        window->makeKeyAndVisible();
    }
    implicitPreloadFeatures();
}

void VelkoraAgentInternal::openMenuWithNavigationController(
    const std::shared_ptr<ui::NavigationController>& navigationController, bool velkoraNavControllerEnabled) {
    Log::line("Velkora - Opening Velkora's Menu");
    if (!appWindow()) appWindow_ = hostWindow();
    auto menu = menuForOpening(false, true, !velkoraNavControllerEnabled);
    if (!menu) return;
    auto sidebar = menu->viewController();
    if (!navigationController) {
        auto nav = VelkoraNavControllerViewController::createHidingBar(sidebar, true);
        menu->setVelkoraNavController(nav);
        sidebar->view()->setAutoresizingMask(ui::AutoresizingFlexibleTopMargin | ui::AutoresizingFlexibleHeight);
        auto window = appWindow();
        if (auto root = window ? window->rootViewController() : nullptr) presentOnTop(*root, nav);
    } else {
        menu->setVelkoraNavController(navigationController);
        if (velkoraNavControllerEnabled)
            pushUnderOwnPanel(navigationController, sidebar);
        else
            navigationController->pushViewController(sidebar, true);
    }
    implicitPreloadFeatures();
}

std::shared_ptr<VelkoraSidebarController> VelkoraAgentInternal::menuForOpening(bool popover, bool menuMode,
                                                                               bool topPanelHidden) {
    // Only a menu that no container holds any more, made for the same kind of opening, is shown again.
    auto fits = [&](const std::shared_ptr<VelkoraSidebarController>& menu) {
        auto vc = menu ? menu->viewController() : nullptr;
        return vc && !vc->parentViewController() && !vc->presentingViewController() &&
               menu->usingPopover() == popover && menu->isMenuMode() == menuMode &&
               (!menuMode || menu->isTopPanelViewHidden() == topPanelHidden);
    };
    if (!sidebarInstalled_ && fits(velkoraVC_)) return velkoraVC_;
    if (fits(menuVC_)) return menuVC_;
    auto made = makeSidebar();
    if (!made) return nullptr;
    made->setUsingPopover(popover);
    made->setIsMenuMode(menuMode);
    made->setIsTopPanelViewHidden(topPanelHidden);
    // The sidebar in the host's window stays where it is, and stays the one the session updates.
    auto& slot = sidebarInstalled_ ? menuVC_ : velkoraVC_;
    if (slot) {
        // A menu no longer on show lets go of the stack it was shown in, which lets both go.
        auto vc = slot->viewController();
        auto view = vc ? vc->viewIfLoaded() : nullptr;
        if (!view || !view->window()) slot->setVelkoraNavController(nullptr);
    }
    slot = made;
    return made;
}

bool VelkoraAgentInternal::presentOnTop(ui::ViewController& root, const std::shared_ptr<ui::ViewController>& screen) {
    // Over whatever the kit (or the host) already shows: the new screen comes on top of it.
    ui::ViewController* presenter = &root;
    while (presenter->presentedViewController() && !presenter->presentedViewController()->isBeingDismissed())
        presenter = presenter->presentedViewController().get();
    return presenter->presentViewController(screen, true, [] {});
}

void VelkoraAgentInternal::openStickerStoreWithNavigationController(
    const std::shared_ptr<ui::NavigationController>& navigationController, bool velkoraNavControllerEnabled) {
    Log::line("Velkora - Opening Velkora's StickerStore");
    showFeatureScreen(111, navigationController, velkoraNavControllerEnabled, Value(), Value());
}

// ---- activation

std::shared_ptr<ui::BarButtonItem> VelkoraAgentInternal::velkoraActivationBarItem() {
    auto view = VelkoraScreenRegistry::instance().makeObject<ui::View>(VelkoraKitObjectNames::kActivationView);
    if (!view) return nullptr;
    return ui::BarButtonItem::withCustomView(view);
}

std::shared_ptr<ui::Button> VelkoraAgentInternal::velkoraActivationButtonOpensToLeft(bool toLeft) {
    auto ribbon = VelkoraScreenRegistry::instance().makeObject<ui::View>(
        VelkoraKitObjectNames::kActivationRibbonView,
        Value(foundation::Dictionary{{"buttonType", Value(static_cast<unsigned>(activationButtonType_))},
                                     {"direction", Value(toLeft ? 1 : 0)}}));
    if (!ribbon) return nullptr;
    auto button = ui::Button::create(ui::ButtonType::Custom);
    button->addSubview(ribbon);
    ui::Rect frame = ribbon->frame();
    frame.origin.x = ui::Screen::main().bounds().size.width - frame.size.width;
    button->setFrame(frame);
    return button;
}

// ---- panel and swipe

void VelkoraAgentInternal::openPanel() {
    if (velkoraVC_) velkoraVC_->openPanel();
}

void VelkoraAgentInternal::closePanel() {
    if (velkoraVC_) velkoraVC_->closePanel();
}

bool VelkoraAgentInternal::isPanelOpen() const {
    return gesturesHandler_ && gesturesHandler_->menuVisible();
}

void VelkoraAgentInternal::pauseGestureHandler() {
    userPausedSwipe_ = true;
    if (gesturesHandler_) gesturesHandler_->userPause();
}

void VelkoraAgentInternal::resumeGestureHandler() {
    userPausedSwipe_ = false;
    if (gesturesHandler_) gesturesHandler_->userResume();
}

// Whether swiping opens the sidebar, not whether it is paused.
bool VelkoraAgentInternal::isSwipeEnabled() const {
    return !userPausedSwipe_;
}

} // namespace velkora
