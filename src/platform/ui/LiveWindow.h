// The screen in a real desktop window (SDL: X11 or Wayland, input methods), at the main screen's size
// in points times a scale. The mouse is a finger (press, drag, release); with Ctrl or Alt held, a second
// finger mirrors the first about the window's centre, for pinching; the wheel scrolls. The host's
// keyboard types into the focused input (text, composition, Backspace, Return, arrows, Tab), and the
// on-screen keyboard shows its keys, so both kinds of typing work. A frame is drawn only when something
// on screen changed, and only the part that changed is copied to the window.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/ScreenRenderer.h"

namespace velkora::ui {

class LiveWindow {
public:
    struct Options {
        std::string title = "Velkora";
        double scale = 1.0;
    };
    // Null, with the reason in `error`, when no display can be opened.
    static std::unique_ptr<LiveWindow> open(const Options& options, std::string* error = nullptr);
    ~LiveWindow();
    LiveWindow(const LiveWindow&) = delete;
    LiveWindow& operator=(const LiveWindow&) = delete;

    // Runs the main run loop with the window until the person closes it or stop() is called.
    void run();
    void stop();
    bool isClosed() const;
    // Handles the window's waiting events (the main run loop also does while it runs).
    void handleEvents();
    // Draws and shows a frame when something changed; true when it did.
    bool drawIfNeeded();
    ScreenRenderer& renderer();
    // The window's id on its display (for tools that find windows), 0 when unknown.
    unsigned long nativeId() const;

    struct Impl;

private:
    explicit LiveWindow(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

} // namespace velkora::ui
