// The host's window for hosts that draw the screen themselves: frames of pixels redrawn only where the
// screen changed, typing, and fingers and the wheel in screen coordinates.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "host/HostInternals.h"
#include "platform/ui/Application.h"
#include "platform/ui/KeyInput.h"
#include "platform/ui/KeyboardView.h"
#include "platform/ui/ScreenPointer.h"
#include "platform/ui/ScreenRenderer.h"

namespace velkora {

namespace {

struct PixelHost {
    double scale = 0; // 0: the screen's
    std::unique_ptr<ui::ScreenRenderer> renderer;
    std::vector<std::uint8_t> rgba;
};

PixelHost& pixelHost() {
    // Kept for the life of the process, as the screen it draws.
    static auto* host = new PixelHost;
    return *host;
}

ui::ScreenRenderer& renderer() {
    auto& h = pixelHost();
    double scale = h.scale > 0 ? h.scale : ui::Screen::main().scale();
    if (!h.renderer || h.renderer->scale() != scale) h.renderer = std::make_unique<ui::ScreenRenderer>(scale);
    return *h.renderer;
}

// Cairo's words are premultiplied 0xAARRGGBB; the screen is opaque, so they are straight colours too.
void copyAsRgba(const ui::ScreenRenderer& r, const ui::PixelRect& part, std::vector<std::uint8_t>& out) {
    const int w = r.pixelWidth(), h = r.pixelHeight();
    if (out.size() != size_t(w) * size_t(h) * 4) out.assign(size_t(w) * size_t(h) * 4, 0);
    for (int y = part.y; y < part.y + part.height; ++y) {
        const auto* row = reinterpret_cast<const std::uint32_t*>(r.pixels() + size_t(y) * size_t(r.bytesPerRow()));
        std::uint8_t* to = out.data() + (size_t(y) * size_t(w) + size_t(part.x)) * 4;
        for (int x = part.x; x < part.x + part.width; ++x) {
            std::uint32_t p = row[x];
            *to++ = std::uint8_t(p >> 16);
            *to++ = std::uint8_t(p >> 8);
            *to++ = std::uint8_t(p);
            *to++ = std::uint8_t(p >> 24);
        }
    }
}

ui::Key keyOf(VelkoraKey key) {
    switch (key) {
    case VelkoraKey::Backspace:
        return ui::Key::Backspace;
    case VelkoraKey::Delete:
        return ui::Key::Delete;
    case VelkoraKey::Return:
        return ui::Key::Return;
    case VelkoraKey::Tab:
        return ui::Key::Tab;
    case VelkoraKey::Left:
        return ui::Key::Left;
    case VelkoraKey::Right:
        return ui::Key::Right;
    case VelkoraKey::Up:
        return ui::Key::Up;
    case VelkoraKey::Down:
        return ui::Key::Down;
    case VelkoraKey::Home:
        return ui::Key::Home;
    case VelkoraKey::End:
        return ui::Key::End;
    case VelkoraKey::Escape:
        return ui::Key::Escape;
    }
    return ui::Key::Escape;
}

} // namespace

bool VelkoraWindow::keyDown(VelkoraKey key, unsigned modifiers) {
    unsigned m = ui::KeyModifierNone;
    if (modifiers & VelkoraKeyShift) m |= ui::KeyModifierShift;
    if (modifiers & VelkoraKeyControl) m |= ui::KeyModifierControl;
    if (modifiers & VelkoraKeyAlt) m |= ui::KeyModifierAlt;
    return ui::KeyInput::instance().keyDown(keyOf(key), m);
}

bool VelkoraWindow::insertText(const std::string& utf8) {
    return ui::KeyInput::instance().insertText(utf8);
}

void VelkoraWindow::setMarkedText(const std::string& utf8) {
    ui::KeyInput::instance().setMarkedText(utf8);
}

void VelkoraWindow::setPixelScale(double scale) {
    pixelHost().scale = scale;
}

bool VelkoraWindow::screenNeedsDrawing() {
    auto& r = renderer();
    return !r.pixels() || r.needsDrawing();
}

VelkoraFrame VelkoraWindow::drawScreenFrame() {
    auto& r = renderer();
    ui::PixelRect changed = r.drawFrame();
    auto& rgba = pixelHost().rgba;
    const bool resized = rgba.size() != size_t(r.pixelWidth()) * size_t(r.pixelHeight()) * 4;
    if (resized) changed = {0, 0, r.pixelWidth(), r.pixelHeight()};
    for (const auto& part : resized ? std::vector<ui::PixelRect>{changed} : r.changedRects())
        copyAsRgba(r, part, rgba);
    VelkoraFrame frame;
    frame.width = r.pixelWidth();
    frame.height = r.pixelHeight();
    frame.stride = frame.width * 4;
    frame.rgba = rgba.empty() ? nullptr : rgba.data();
    frame.drawn = !changed.isEmpty();
    frame.changed = {double(changed.x), double(changed.y), double(changed.width), double(changed.height)};
    return frame;
}

void VelkoraWindow::setShowsKeyboardKeys(bool shows) {
    ui::KeyboardKeys::setShown(shows);
}

void VelkoraWindow::screenTouchDown(double x, double y, int finger) {
    ui::ScreenPointer::down(finger, {x, y});
}
void VelkoraWindow::screenTouchMove(double x, double y, int finger) {
    ui::ScreenPointer::move(finger, {x, y});
}
void VelkoraWindow::screenTouchUp(double x, double y, int finger) {
    ui::ScreenPointer::up(finger, {x, y});
}
bool VelkoraWindow::screenScroll(double x, double y, double dx, double dy) {
    return ui::ScreenPointer::scroll({x, y}, dx, dy);
}

} // namespace velkora
