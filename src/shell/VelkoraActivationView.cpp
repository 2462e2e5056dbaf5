#include "shell/VelkoraActivationView.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/Application.h"
#include "platform/ui/Label.h"
#include "platform/ui/TextLayout.h"
#include "platform/ui/UiNotifications.h"
#include "server/VelkoraServerApi.h"
#include "session/VelkoraAgentInternal.h"
#include "shell/VelkoraSidebarClasses.h"

namespace velkora {

namespace {

void hide(const std::shared_ptr<ui::View>& view, bool hidden) {
    if (view) view->setHidden(hidden);
}

std::shared_ptr<ui::Image> ribbonIcon(unsigned type) {
    if (type > 3) return nullptr;
    return ui::Image::named("VelImg_ribbonicon" + std::to_string(type + 1));
}

} // namespace

std::shared_ptr<VelkoraActivationView> VelkoraActivationView::create() {
    auto view = std::make_shared<VelkoraActivationView>();
    view->postInit();
    return view;
}

VelkoraActivationView::~VelkoraActivationView() {
    VelkoraServerApi::clearUserDelegate(this);
}

void VelkoraActivationView::registerInterfaceBindings(ui::InterfaceBindings& bindings) {
    bindings.outlet("portraitView", portraitView_);
    bindings.outlet("landscapeView", landscapeView_);
    bindings.outlet("activationButton", activationButton_);
    bindings.outlet("landscapeActivationButton", landscapeActivationButton_);
    bindings.outlet("badgeNumberLabel", badgeNumberLabel_);
    bindings.outlet("landscapeBadgeNumberLabel", landscapeBadgeNumberLabel_);
    bindings.outlet("badgeLeftView", badgeLeftView_);
    bindings.outlet("landscapeBadgeLeftView", landscapeBadgeLeftView_);
    bindings.outlet("badgeRightView", badgeRightView_);
    bindings.outlet("buttonLeftImageView", buttonLeftImageView_);
    bindings.outlet("buttonRightImageView", buttonRightImageView_);
    bindings.outlet("ribbonToLeftView", ribbonToLeftView_);
    bindings.outlet("ribbonToRightView", ribbonToRightView_);
    bindings.action("buttonTapped:", this, &VelkoraActivationView::buttonTapped);
}

void VelkoraActivationView::loadNib() {
    registerSidebarClasses();
    ui::InterfaceLoader::instance().loadNibNamed(kInterface, this);
}

void VelkoraActivationView::postInit() {
    loadNib();
    if (portraitView_) setFrame({frame().origin, portraitView_->frame().size});
    std::weak_ptr<VelkoraActivationView> weak = sharedAs<VelkoraActivationView>();
    badgeObserver_ = foundation::NotificationObserver("VelkoraBadgeNumberChangedNotification", nullptr,
                                                      [weak](const foundation::Notification&) {
                                                          if (auto self = weak.lock()) self->updateButton();
                                                      });
    orientationObserver_ = foundation::NotificationObserver(ui::kApplicationDidChangeStatusBarOrientationNotification,
                                                            nullptr, [weak](const foundation::Notification& n) {
                                                                if (auto self = weak.lock())
                                                                    self->orientationDidChanged(n);
                                                            });
    auto image = ui::Image::named(VelkoraAgentInternal::instance().getActivationButtonImageString());
    for (auto& button : {activationButton_, landscapeActivationButton_})
        if (button) button->setImage(image, ui::ControlStateNormal);
    ribbonDirection_ = 1;
    for (auto& view : std::initializer_list<std::shared_ptr<ui::View>>{
             buttonLeftImageView_, ribbonToLeftView_, buttonRightImageView_, ribbonToRightView_, badgeLeftView_,
             landscapeBadgeLeftView_, badgeRightView_})
        hide(view, true);
    updateButton();
    if (portraitView_) {
        portraitView_->setFrame({{0, 0}, portraitView_->frame().size});
        addSubview(portraitView_);
    }
}

void VelkoraActivationView::resetFrame(bool landscape) {
    const auto& shown = landscape ? landscapeView_ : portraitView_;
    const auto& gone = landscape ? portraitView_ : landscapeView_;
    if (gone) gone->removeFromSuperview();
    if (!shown) return;
    setFrame({frame().origin, shown->frame().size});
    shown->setFrame({{0, 0}, shown->frame().size});
    addSubview(shown);
}

void VelkoraActivationView::orientationDidChanged(const foundation::Notification& /*notification*/) {
    int o = ui::Application::instance().statusBarOrientation();
    resetFrame(o == ui::InterfaceOrientationLandscapeRight || o == ui::InterfaceOrientationLandscapeLeft);
}

namespace {

// The badge's oval holds one or two digits; a longer count ("10+") widens it around its centre rather
// than running over its ends.
void fitBadge(ui::View* badge, ui::Label* label) {
    if (!badge || !label || label->superview() != badge) return;
    const ui::Rect frame = badge->frame();
    const ui::Font font = label->font() ? *label->font() : ui::Font::boldSystemFont(11);
    const double textWidth = ui::measureText(label->text(), font, 0, 1).width;
    const double width = std::max(std::ceil(frame.height() * 4 / 3), std::ceil(textWidth + 10));
    if (width == frame.width()) return;
    badge->setFrame({frame.midX() - width / 2, frame.y(), width, frame.height()});
    for (const auto& part : badge->subviews())
        part->setFrame(badge->bounds());
}

} // namespace

void VelkoraActivationView::updateButton() {
    int32_t total = sidebarTotalBadges();
    if (total == 0) {
        hide(badgeLeftView_, true);
        hide(landscapeBadgeLeftView_, true);
        hide(badgeRightView_, true);
        return;
    }
    if (ribbonDirection_ == 1) {
        hide(badgeLeftView_, false);
        hide(landscapeBadgeLeftView_, false);
    } else {
        hide(badgeRightView_, false);
    }
    std::string text = total > 10 ? "10+" : std::to_string(total);
    for (auto& label : {badgeNumberLabel_, landscapeBadgeNumberLabel_})
        if (label) label->setText(text);
    fitBadge(badgeLeftView_.get(), badgeNumberLabel_.get());
    fitBadge(badgeRightView_.get(), badgeNumberLabel_.get());
    fitBadge(landscapeBadgeLeftView_.get(), landscapeBadgeNumberLabel_.get());
}

void VelkoraActivationView::setButtonType(unsigned type, int direction) {
    buttonImageType_ = type;
    ribbonDirection_ = direction;
    std::shared_ptr<ui::ImageView> icon;
    if (direction == 1) {
        hide(ribbonToLeftView_, false);
        hide(badgeLeftView_, false);
        hide(landscapeBadgeLeftView_, false);
        icon = buttonLeftImageView_;
    } else {
        hide(ribbonToRightView_, false);
        hide(badgeRightView_, false);
        icon = buttonRightImageView_;
    }
    hide(icon, false);
    for (auto& button : {activationButton_, landscapeActivationButton_})
        if (button) button->setImage(nullptr, ui::ControlStateNormal);
    if (icon) {
        icon->setImage(ribbonIcon(type));
        icon->setHighlightedImage(ribbonIcon(type));
    }
}

void VelkoraActivationView::buttonTapped(ui::Control* /*sender*/) {
    openSidebarPanel();
}

} // namespace velkora
