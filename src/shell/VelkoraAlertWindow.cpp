#include "shell/VelkoraAlertWindow.h"

#include "platform/foundation/Log.h"
#include "platform/ui/Application.h"

namespace velkora {

namespace {
// What is behind a question.
const ui::Color kShade = ui::Color::white(0, 0.4);
} // namespace

std::shared_ptr<ui::Window> installInAlertWindow(ui::View& popup, const std::shared_ptr<ui::View>& body,
                                                 AlertBackdrop backdrop) {
    if (body) {
        popup.setFrame(body->frame());
        popup.addSubview(body);
    }
    auto window = ui::Window::create(ui::Screen::main().bounds());
    window->addSubview(popup.sharedView());
    window->setWindowLevel(ui::WindowLevel::Alert);
    if (backdrop == AlertBackdrop::Dimmed) window->setBackgroundColor(kShade);
    return window;
}

ui::Point centredOrigin(const ui::View* view, ui::Size size, const char* who) {
    ui::Size over = view ? view->frame().size : ui::Screen::main().bounds().size;
    if (!view) foundation::Log::line("Velkora (W) - %@ shown without a view; centred on the screen", who);
    return {(over.width - size.width) / 2, (over.height - size.height) / 2};
}

void releaseAlertWindow(ui::View& popup, std::shared_ptr<ui::Window>& window) {
    if (!window) return;
    auto keep = std::move(window);
    keep->setHidden(true);
    if (popup.superview() == keep.get()) popup.removeFromSuperview();
}

std::shared_ptr<ui::View> shadeUnderPopup(const std::shared_ptr<ui::View>& screen,
                                          const std::shared_ptr<ui::View>& popup) {
    if (!screen || !popup) return nullptr;
    auto shade = ui::View::create(screen->bounds());
    shade->setBackgroundColor(kShade);
    shade->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleHeight);
    shade->setHidden(true);
    const ui::Rect at =
        popup->superview() ? popup->superview()->convertRectToView(popup->frame(), screen.get()) : popup->frame();
    popup->removeFromSuperview();
    screen->addSubview(shade);
    shade->addSubview(popup);
    popup->setFrame(at);
    return shade;
}

void showPopupOnShade(const std::shared_ptr<ui::View>& popup, const std::shared_ptr<ui::View>& shade, bool shown) {
    if (popup) popup->setHidden(!shown);
    if (!shade) return;
    shade->setHidden(!shown);
    if (shown && shade->superview()) shade->superview()->bringSubviewToFront(shade.get());
}

} // namespace velkora
