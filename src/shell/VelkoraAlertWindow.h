// What the dialogs and notices share: a body from an interface file inside a window of their own at alert
// level, placed by the view they are shown over.
#pragma once

#include <memory>

#include "platform/ui/View.h"
#include "platform/ui/Window.h"

namespace velkora {

// The popup takes the body's frame as its own and holds the body; without a body (a missing or broken
// file) it keeps an empty frame. Answers a screen-sized window at alert level holding the popup: the popup
// keeps the window, and through it itself, alive until it lets the window go. A dimmed window shades what
// is behind, so a question reads as the one thing to answer; a passing notice leaves the screen as it is.
enum class AlertBackdrop { Clear, Dimmed };
std::shared_ptr<ui::Window> installInAlertWindow(ui::View& popup, const std::shared_ptr<ui::View>& body,
                                                 AlertBackdrop backdrop);

// The origin that centres a popup of `size` on the view's frame size; on the screen when there is no
// view (logged with `who`).
ui::Point centredOrigin(const ui::View* view, ui::Size size, const char* who);

// Hides the window and takes the popup out of it, which ends their hold on each other.
void releaseAlertWindow(ui::View& popup, std::shared_ptr<ui::Window>& window);

// A popup drawn in a screen's own interface file is moved onto a shade over the whole screen (bar included),
// where it keeps its place: what is behind it is dimmed as behind a dialog and takes no tap while it is up.
// Answers the shade, hidden; null without a popup or a screen.
std::shared_ptr<ui::View> shadeUnderPopup(const std::shared_ptr<ui::View>& screen,
                                          const std::shared_ptr<ui::View>& popup);
// Shows or hides the popup and its shade (which may be null) together; a shown shade is brought to the front.
void showPopupOnShade(const std::shared_ptr<ui::View>& popup, const std::shared_ptr<ui::View>& shade, bool shown);

} // namespace velkora
