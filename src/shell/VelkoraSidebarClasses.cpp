#include "shell/VelkoraSidebarClasses.h"

#include <cmath>

#include "platform/ui/Application.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TableView.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraKitObjects.h"
#include "shell/VelkoraActivationGesturesHandler.h"
#include "shell/VelkoraActivationRibonView.h"
#include "shell/VelkoraLazyImageView.h"
#include "shell/VelkoraPanelView.h"
#include "shell/VelkoraPanelViewCell.h"
#include "shell/VelkoraViewController.h"
#include "shell/VelkoraWidgetClasses.h"

namespace velkora {

void registerSidebarClasses() {
    auto& loader = ui::InterfaceLoader::instance();
    registerVelkoraWidgetClasses();
    VelkoraLazyImageView::registerClass();
    // A host's own interface file may hold the activation button or ribbon: made and set up as in code.
    if (!loader.hasClass("VelkoraActivationView")) {
        loader.registerClass("VelkoraActivationView", [] { return VelkoraActivationView::create(); });
        loader.registerClass("VelkoraActivationRibonView", [] { return VelkoraActivationRibonView::create(); });
    }
    if (loader.hasClass("VelkoraPanelView")) return;
    if (!loader.hasClass("TableView")) loader.registerClass("TableView", [] { return ui::TableView::create(); });
    if (!loader.hasClass("ScrollView")) loader.registerClass<ui::ScrollView>("ScrollView");
    loader.registerClass<VelkoraPanelViewCell>("VelkoraPanelViewCell");
    loader.registerClass<VelkoraPanelView>("VelkoraPanelView");
}

void openSidebarPanel() {
    if (auto sidebar = VelkoraAgentInternal::instance().velkoraVC()) {
        sidebar->openPanel();
        return;
    }
    auto gestures = VelkoraActivationGesturesHandler::current();
    if (!gestures) return;
    gestures->setForceEntireWidth(false);
    gestures->showFullMenuWithNotification(true);
}

namespace {
std::weak_ptr<VelkoraViewController>& currentSidebar() {
    static std::weak_ptr<VelkoraViewController> current;
    return current;
}
} // namespace

void setCurrentSidebarController(const std::shared_ptr<VelkoraViewController>& controller) {
    currentSidebar() = controller;
}

std::shared_ptr<VelkoraViewController> currentSidebarController() {
    return currentSidebar().lock();
}

int32_t sidebarTotalBadges() {
    if (VelkoraAgentInternal::instance().velkoraVC()) return VelkoraAgentInternal::instance().getTotalBagdes();
    auto controller = currentSidebarController();
    return controller ? controller->getTotalBadges() : 0;
}

double rotationForStatusBarOrientation(int orientation) {
    switch (orientation) {
    case ui::InterfaceOrientationPortraitUpsideDown:
        return M_PI;
    case ui::InterfaceOrientationLandscapeRight:
        return M_PI / 2;
    case ui::InterfaceOrientationLandscapeLeft:
        return -M_PI / 2;
    default:
        return 0;
    }
}

bool sidebarIsTablet() {
    auto& device = ui::Device::current();
    return device.answersUserInterfaceIdiom() && device.isPad();
}

VelkoraScreenState sidebarScreenState(bool inPopover) {
    VelkoraScreenState state;
    state.isTablet = sidebarIsTablet();
    state.showsInPopover = inPopover;
    state.statusBarOrientation = ui::Application::instance().statusBarOrientation();
    auto bounds = ui::Screen::main().bounds();
    state.screenWidth = float(bounds.size.width);
    state.screenHeight = float(bounds.size.height);
    return state;
}

} // namespace velkora
