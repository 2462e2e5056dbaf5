// What the account screens share: texts from the strings table, the tablet's interface files, the one
// OK popup, the spinner of a running attempt, the fields' left labels, the main button moved into the
// host's navigation bar, and the rules every form checks (a blank name, a password's length).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Geometry.h"

namespace velkora {

namespace ui {
class Button;
class TextField;
class View;
} // namespace ui
class VelkoraDefaultOKPopupView;
class VelkoraGeneralFeatureViewController;

namespace account {

std::string localized(const std::string& key);
// The interface file's name, with the "iPad_" prefix on a tablet.
std::string interfaceName(const std::string& base);
// An OK popup with the titled message, shown over the key window.
std::shared_ptr<VelkoraDefaultOKPopupView> showOKPopup(const std::string& titleKey, const std::string& messageKey);

// A name of blanks is no name: the account would be anonymous everywhere.
bool isBlankName(const std::string& name);
// At least six characters, counted as UTF-16 units.
bool isPasswordLongEnough(const std::string& password);

// A started spinner, hidden when stopped, added to the view at the centre given (the view's own centre
// when none).
std::shared_ptr<ui::ActivityIndicatorView> startIndicator(ui::View& view, ui::ActivityIndicatorViewStyle style,
                                                          std::optional<ui::Point> centre = std::nullopt);
// A rounded border, and a fixed label on the left: 80 points wide, 10 less high than the field.
void decorateField(ui::TextField& field, const std::string& leftText);
// With the top panel hidden the screen's main button becomes the navigation item's right button (its
// constraints leave the top panel first on a system older than 7.0).
void moveMainButtonIfPanelHidden(VelkoraGeneralFeatureViewController& screen,
                                 const std::shared_ptr<ui::Button>& button);
// Hands the screen its opener's container and pushes it, animated, on the opener's stack.
void pushScreen(VelkoraGeneralFeatureViewController& opener,
                const std::shared_ptr<VelkoraGeneralFeatureViewController>& screen);

// The classes the account interface files name, made known to the interface loader once.
void registerAccountInterfaceClasses();

} // namespace account
} // namespace velkora
