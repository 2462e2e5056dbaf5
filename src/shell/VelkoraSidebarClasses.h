// What the sidebar's pieces share: their classes made known to the interface loader, the screen they
// report to the host's style sheet, and the screen's state as the layout helpers read it.
#pragma once

#include <cstdint>
#include <memory>

#include "data/VelkoraUtils.h"

namespace velkora {

class VelkoraViewController;

// The style-sheet screen of the sidebar.
inline constexpr uint32_t kSidebarStyleScreen = 2;

// The sidebar's view classes and the platform's table and scroll views, by the names interface files use
// (once; later calls do nothing).
void registerSidebarClasses();

// The device, orientation and screen as they are now; the menu shows in a popover when `inPopover`.
VelkoraScreenState sidebarScreenState(bool inPopover = false);

// Opens the sidebar over the menu's width, as its controller's openPanel does: what the activation
// button and the message banner do when tapped. Nothing without an installed sidebar.
void openSidebarPanel();

// The sidebar controller installed beneath the host's root view, set when its view loads; its menu's
// badges are what the activation button shows.
void setCurrentSidebarController(const std::shared_ptr<VelkoraViewController>& controller);
std::shared_ptr<VelkoraViewController> currentSidebarController();
// The sum of the menu rows' badges but the radar's; 0 without a sidebar.
int32_t sidebarTotalBadges();

// The turn of a view that follows the status bar's orientation (1 to 4; any other value: none).
double rotationForStatusBarOrientation(int orientation);

// Whether the device says it is a tablet (a device that cannot answer is a phone).
bool sidebarIsTablet();

} // namespace velkora
