// What the public host objects wrap: the kit's own ui objects and records, and the start-up call that
// every entry point makes first.
#pragma once

#include <memory>

#include "data/VelkoraChatRoomsComment.h"
#include "data/VelkoraChatRoomsTopic.h"
#include "data/VelkoraMessageInternal.h"
#include "data/VelkoraUserInternal.h"
#include "platform/foundation/Value.h"
#include "platform/services/LocationManager.h"
#include "platform/ui/BarItems.h"
#include "platform/ui/Button.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TabBarController.h"
#include "platform/ui/TouchRouter.h"
#include "platform/ui/Window.h"
#include "velkora/Velkora.h"
#include "velkora/VelkoraChatRoom.h"
#include "velkora/VelkoraHost.h"
#include "velkora/VelkoraMessage.h"
#include "velkora/VelkoraUser.h"

namespace velkora {

struct VelkoraHostScreen::Impl {
    std::shared_ptr<ui::ViewController> controller;
};
struct VelkoraNavigationController::Impl {
    std::shared_ptr<ui::NavigationController> controller;
};
struct VelkoraTabBarController::Impl {
    std::shared_ptr<ui::TabBarController> controller;
};
struct VelkoraView::Impl {
    std::shared_ptr<ui::View> view;
};
struct VelkoraWindow::Impl {
    std::shared_ptr<ui::Window> window;
    std::unique_ptr<ui::TouchDriver> touches;
};
struct VelkoraBarItem::Impl {
    std::shared_ptr<ui::BarButtonItem> item;
};
struct VelkoraButton::Impl {
    std::shared_ptr<ui::Button> button;
};
struct VelkoraLocationManager::Impl {
    std::shared_ptr<services::LocationManager> manager;
};
struct VelkoraUser::Impl {
    VelkoraUserPtr user;
};
struct VelkoraChatRoomComment::Impl {
    std::shared_ptr<VelkoraChatRoomsComment> comment;
};
struct VelkoraChatRoom::Impl {
    VelkoraChatRoomsTopicPtr topic;
};
struct VelkoraMessage::Impl {
    std::shared_ptr<VelkoraMessageInternal> message;
};

namespace host {

// Once per process, before the kit does anything for the host: every screen of the build registers.
void prepareKit();

inline std::shared_ptr<ui::NavigationController> navOf(const VelkoraNavigation& nav) {
    return nav ? nav->impl()->controller : nullptr;
}
std::shared_ptr<VelkoraUser> wrapUser(const VelkoraUserPtr& user);
// The flat values of a notification's user information.
VelkoraNotificationInfo flatInfo(const foundation::Value& userInfo);
// A notification's user information from the host's flat values.
foundation::Value valueOf(const VelkoraNotificationInfo& info);

} // namespace host
} // namespace velkora
