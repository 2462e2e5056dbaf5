#include "shell/VelkoraGeneralFeatureViewController.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "data/VelkoraUserInternal.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarItems.h"
#include "platform/ui/Button.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TextView.h"
#include "platform/ui/UiNotifications.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppSettings.h"
#include "session/VelkoraScreenRegistry.h"
#include "shell/VelkoraActivationGesturesHandler.h"
#include "session/VelkoraStyleSheetCustomizer.h"

namespace velkora {

using foundation::Log;

namespace {

constexpr uint32_t kInboxFeature = 1;
// Room inside the back button's border on either side of its title, and between the button and the
// panel's texts beside it.
constexpr double kBackTitlePadding = 8;
constexpr double kBackButtonGap = 8;

bool systemIsBefore7() {
    return ui::Device::current().compareSystemVersion("7.0") < 0;
}

// The container every action is handed to; a screen opened without one does nothing, and says so.
std::shared_ptr<VelkoraGeneralFeatureViewControllerDelegate>
containerFor(const VelkoraGeneralFeatureViewController& screen, const char* action) {
    auto container = screen.featureTabDelegate();
    if (!container) Log::line("Velkora (W) - %@: the screen %@ has no container", action, screen.className());
    return container;
}

} // namespace

VelkoraGeneralFeatureViewController::VelkoraGeneralFeatureViewController(std::string nibName)
    : ui::ViewController(std::move(nibName)) {}

VelkoraGeneralFeatureViewController::~VelkoraGeneralFeatureViewController() = default;

void VelkoraGeneralFeatureViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("topPanelView", topPanelView_);
    b.outlet("topPanelViewTopSpaceConstraint", topPanelViewTopSpaceConstraint_);
    b.outlet("velkoraContentView", velkoraContentView_);
    b.outlet("velkoraContentViewTopSpaceConstraint", velkoraContentViewTopSpaceConstraint_);
    b.outlet("aboveNavBarView", aboveNavBarView_);
    b.outlet("navBarImageView", navBarImageView_);
    b.outlet("titleLabel", titleLabel_);
    b.outlet("appIconView", appIconView_);
    b.outlet("appNameLabel", appNameLabel_);
    b.outlet("backButton", backButton_);
    b.outlet("appButton", appButton_);
    b.outlet("closePanelImage", closePanelImage_);
    b.outlet("buttonsPanelImageView", buttonsPanelImageView_);
    b.outlet("backgroundView", backgroundView_);
    b.outlet("sendButton", sendButton_);
    b.outlet("cancelButton", cancelButton_);
    b.outlet("textField", textField_);
    b.outlet("profileButtonView", profileButtonView_);
    b.outlet("profileBadgeView", profileBadgeView_);
    b.outlet("profileBadgeLabel", profileBadgeLabel_);
    b.action("backTapped:", this, &VelkoraGeneralFeatureViewController::backTapped);
    b.action("appTapped:", this, &VelkoraGeneralFeatureViewController::appTapped);
    b.action("profileButtonClicked:", this, &VelkoraGeneralFeatureViewController::profileButtonClicked);
    b.action("sendTapped:", this, &VelkoraGeneralFeatureViewController::sendTapped);
    b.action("cancelTapped:", this, &VelkoraGeneralFeatureViewController::cancelTapped);
}

bool VelkoraGeneralFeatureViewController::isTopPanelHiddenByContainer() const {
    auto container = featureTabDelegate();
    return container && container->isTopPanelHidden();
}

void VelkoraGeneralFeatureViewController::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    setContentSizeForViewInPopover({320, 460});

    if (appNameLabel_) appNameLabel_->setText(VelkoraAppSettings::appName().value_or(""));
    if (aboveNavBarView_) aboveNavBarView_->setBackgroundColor(VelkoraAppSettings::leadingColor());

    // Older systems draw no status bar over the screen, so the panel sits at the very top; a tablet's
    // sidebar keeps the file's own value.
    if (systemIsBefore7() && topPanelViewTopSpaceConstraint_) {
        auto container = featureTabDelegate();
        bool keepFileValue = ui::Device::current().isPad() && container && !container->isOpenedAsFeature();
        if (!keepFileValue) topPanelViewTopSpaceConstraint_->setConstant(0);
    }

    const bool panelHidden = isTopPanelHiddenByContainer();
    if (topPanelView_) topPanelView_->setHidden(panelHidden);
    if (panelHidden) {
        navigationItem().setTitle(titleText_);
        resetVelkoraContentViewTopSpace();
        auto back = ui::BarButtonItem::withTitle("Back", ui::BarButtonItemStyle::Bordered);
        back->setTarget(
            weak_from_this(), [this](ui::BarButtonItem*) { backTapped(nullptr); }, "backTapped:");
        navigationItem().setLeftBarButtonItem(back);
    }

    if (shouldShowProfileButton_) {
        VelkoraAgentInternal::instance().preloadFeature(static_cast<int32_t>(kInboxFeature), nullptr);
        showInboxBadge();
        VelkoraStyleSheetCustomizer::instance().customizeProfileButtonView(profileButtonView_.get(),
                                                                           styleScreenIdentifier_);
        badgeObserver_ =
            foundation::NotificationObserver("VelkoraBadgeNumberChangedNotification", nullptr,
                                             [this](const foundation::Notification& n) { badgeNumberChanged(n); });
        if (panelHidden && profileButtonView_) {
            removeConstraintsForView(profileButtonView_.get(), topPanelView_.get());
            profileButtonView_->setTranslatesAutoresizingMaskIntoConstraints(true);
            navigationItem().setRightBarButtonItem(ui::BarButtonItem::withCustomView(profileButtonView_));
        } else {
            navigationItem().setRightBarButtonItem(nullptr);
        }
    } else if (profileButtonView_) {
        profileButtonView_->setHidden(true);
    }

    if (titleLabel_) {
        titleLabel_->setText(titleText_);
        // A long title ("Find & Invite Friends") shrinks a little to show whole between the bar's buttons.
        titleLabel_->setAdjustsFontSizeToFitWidth(true);
        titleLabel_->setMinimumScaleFactor(0.7);
    }

    // The activation ribbon's picture, from the kit's images folder (Velkora.bundle/images/dark2).
    if (appButton_) {
        auto image = ui::Image::named(VelkoraAgentInternal::instance().getActivationButtonImageString());
        appButton_->setImage(image, ui::ControlStateNormal);
        appButton_->setImage(image, ui::ControlStateHighlighted);
    }

    orientationObserver_ =
        foundation::NotificationObserver(ui::kApplicationDidChangeStatusBarOrientationNotification, nullptr,
                                         [this](const foundation::Notification& n) { orientationDidChange(n); });

    styleSharedElements();
    // After the style sheet, which may give the button another title or font.
    fitBackButtonToItsTitle();
}

void VelkoraGeneralFeatureViewController::fitBackButtonToItsTitle() {
    if (!backButton_ || backButton_->currentTitle().empty()) return;
    ui::Rect back = backButton_->frame();
    const double needed = std::ceil(backButton_->intrinsicContentSize().width + 2 * kBackTitlePadding);
    if (back.width() < needed) {
        back.size.width = needed;
        backButton_->setFrame(back);
    }
    // The application's icon and name and the screen's title move right together, keeping their right
    // edges, so nothing beside the button is covered and nothing at the far end is pushed off.
    std::vector<ui::View*> beside;
    double start = back.maxX() + kBackButtonGap;
    for (ui::View* v : {static_cast<ui::View*>(appIconView_.get()), static_cast<ui::View*>(appNameLabel_.get()),
                        static_cast<ui::View*>(titleLabel_.get())}) {
        if (!v || v->superview() != backButton_->superview() || v->frame().minX() < back.minX()) continue;
        beside.push_back(v);
        start = std::min(start, v->frame().minX());
    }
    const double shift = back.maxX() + kBackButtonGap - start;
    if (shift <= 0) return;
    for (ui::View* v : beside) {
        ui::Rect f = v->frame();
        f.origin.x += shift;
        if (dynamic_cast<ui::Label*>(v)) f.size.width = std::max(0.0, f.width() - shift);
        v->setFrame(f);
    }
}

void VelkoraGeneralFeatureViewController::styleSharedElements() {
    auto& customizer = VelkoraStyleSheetCustomizer::instance();
    const uint32_t screen = styleScreenIdentifier_;
    customizer.customizeScreenTitleLabel(titleLabel_.get(), screen);
    customizer.customizeBackButton(backButton_.get(), screen);
    customizer.customizeAppButton(appButton_.get(), screen);
    customizer.customizeBackgroundView(backgroundView_.get(), screen);
    customizer.customizeNavbarView(aboveNavBarView_.get(), screen);
    customizer.customizeNavBarImageView(navBarImageView_.get(), screen);
    customizer.customizeContentView(velkoraContentView_.get(), screen);
}

void VelkoraGeneralFeatureViewController::showInboxBadge() {
    int32_t badge = VelkoraAgentInternal::instance().getFeatureBadgeNumber(kInboxFeature);
    if (profileBadgeLabel_) profileBadgeLabel_->setText(std::to_string(badge));
    if (profileBadgeView_) profileBadgeView_->setHidden(badge == 0);
}

void VelkoraGeneralFeatureViewController::viewDidAppear(bool animated) {
    ui::ViewController::viewDidAppear(animated);
    if (!systemIsBefore7()) setNeedsStatusBarAppearanceUpdate();
}

int VelkoraGeneralFeatureViewController::preferredStatusBarStyle() const {
    return ui::StatusBarStyleLightContent;
}

void VelkoraGeneralFeatureViewController::backTapped(ui::Control*) {
    ui::NavigationController* nav = navigationController();
    if (nav && nav->viewControllers().size() >= 3) {
        nav->popViewController(true);
        return;
    }
    if (auto container = containerFor(*this, "backTapped")) container->didClickBack();
}

void VelkoraGeneralFeatureViewController::appTapped(ui::Control*) {
    if (auto v = viewIfLoaded()) v->endEditing(true);
    if (auto container = containerFor(*this, "appTapped")) container->didClose();
}

void VelkoraGeneralFeatureViewController::profileButtonClicked(ui::Control*) {
    openMyProfile();
}

void VelkoraGeneralFeatureViewController::openMyProfile() {
    // A user whose data has not arrived is no one yet: never an empty profile.
    auto user = VelkoraAgentInternal::instance().velkoraUser();
    const bool anonymous = !user || user->isAnonymous();
    auto screen = VelkoraScreenRegistry::instance().makeScreen(anonymous ? "login" : "myprofile");
    if (!screen) return;
    if (auto feature = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(screen))
        feature->setFeatureTabDelegate(featureTabDelegate_);
    ui::NavigationController* nav = navigationController();
    if (!nav) {
        Log::line("Velkora (W) - openMyProfile: the screen %@ is on no navigation stack", className());
        return;
    }
    nav->pushViewController(screen, true);
}

void VelkoraGeneralFeatureViewController::sendTapped(ui::Control*) {
    if (!textField_) return;
    // Copied first: the screen may clear or replace the text bar while it sends.
    std::string text = textField_->text();
    if (!text.empty()) sendCallback(text);
    textField_->setText("");
    textField_->resignFirstResponder();
}

void VelkoraGeneralFeatureViewController::cancelTapped(ui::Control*) {
    if (!textField_) return;
    textField_->setText("");
    textField_->resignFirstResponder();
}

void VelkoraGeneralFeatureViewController::badgeNumberChanged(const foundation::Notification& notification) {
    const foundation::Value* tab = notification.userInfo.get("tabId");
    if (!tab || tab->toInt64() != std::optional<int64_t>(kInboxFeature)) return;
    showInboxBadge();
}

void VelkoraGeneralFeatureViewController::orientationDidChange(const foundation::Notification&) {
    if (auto v = viewIfLoaded()) v->endEditing(true);
    if (isTopPanelHiddenByContainer()) resetVelkoraContentViewTopSpace();
    if (auto gestures = VelkoraActivationGesturesHandler::current()) gestures->resumeIfUserAllows();
}

void VelkoraGeneralFeatureViewController::resetVelkoraContentViewTopSpace() {
    if (!velkoraContentViewTopSpaceConstraint_) return;
    double constant = -(topPanelView_ ? topPanelView_->frame().height() : 0);
    if (!systemIsBefore7()) {
        // The navigation bar is lower in landscape on a phone; a device that cannot tell counts as one.
        const int orientation = ui::Application::instance().statusBarOrientation();
        const bool landscape = orientation == ui::InterfaceOrientationLandscapeRight ||
                               orientation == ui::InterfaceOrientationLandscapeLeft;
        const auto& device = ui::Device::current();
        const bool pad =
            device.answersUserInterfaceIdiom() && device.userInterfaceIdiom() == ui::UserInterfaceIdiom::Pad;
        constant += landscape && !pad ? 32 : 44;
    }
    velkoraContentViewTopSpaceConstraint_->setConstant(constant);
}

void VelkoraGeneralFeatureViewController::removeConstraintsForView(const ui::View* view, ui::View* container) {
    if (!view || !container) return;
    // Copied: removing changes the container's list.
    auto constraints = container->constraints();
    for (const auto& c : constraints)
        if (c->firstItem().get() == view || c->secondItem().get() == view) container->removeConstraint(c.get());
}

} // namespace velkora
