// Windows: the roots of view trees, stacked by level, one of them the key window.
#pragma once

#include <memory>

#include "platform/ui/View.h"

namespace velkora::ui {

namespace WindowLevel {
inline constexpr double Normal = 0;
inline constexpr double StatusBar = 1000;
inline constexpr double Alert = 2000;
}  // namespace WindowLevel

// A window's frame and centre are in the screen's fixed portrait coordinates. Windows start hidden; a
// visible window is kept alive by the application until it is hidden again.
class Window : public View {
public:
    Window() : Window(Rect{}) {}
    explicit Window(const Rect& frame);
    ~Window() override;

    static std::shared_ptr<Window> create(const Rect& frame) { return std::make_shared<Window>(frame); }
    // A window covering the main screen.
    static std::shared_ptr<Window> createFullScreen();

    const char* className() const override { return "Window"; }

    double windowLevel() const { return windowLevel_; }
    void setWindowLevel(double level) { windowLevel_ = level; }

    // The root controller's view fills the window; replacing the root makes the old one disappear and
    // the new one appear when the window is visible.
    const std::shared_ptr<ViewController>& rootViewController() const { return rootViewController_; }
    void setRootViewController(const std::shared_ptr<ViewController>& controller);

    void makeKeyAndVisible();
    void makeKeyWindow();
    bool isKeyWindow() const;
    virtual void becomeKeyWindow() {}
    virtual void resignKeyWindow() {}

    void setHidden(bool hidden) override;

    // Conversions between this window's coordinates and another window's (null: the screen).
    Point convertPointToWindow(Point p, const Window* window) const;
    Point convertPointFromWindow(Point p, const Window* window) const;

private:
    double windowLevel_ = WindowLevel::Normal;
    std::shared_ptr<ViewController> rootViewController_;
};

}  // namespace velkora::ui
