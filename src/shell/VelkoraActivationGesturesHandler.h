// The sidebar's activation gestures: a pan anywhere in the host's window slides the host's root view aside
// to uncover the sidebar beneath it, a tap on the uncovered strip slides it back, and the menu controller,
// the activation button and the host open and close it through the animated show and hide. The session
// object keeps the one handler of the installed sidebar; until there is one, screens leave the gestures
// alone.
#pragma once

#include <memory>
#include <vector>

#include "platform/ui/Geometry.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "session/VelkoraKitObjects.h"

namespace velkora {

class VelkoraActivationGesturesHandler : public VelkoraActivationGestures,
                                         public ui::GestureRecognizerDelegate,
                                         public std::enable_shared_from_this<VelkoraActivationGesturesHandler> {
public:
    // Pan directions.
    enum Direction { DirectionUnknown = 0, DirectionLeft = 1, DirectionRight = 2, DirectionUp = 3, DirectionDown = 4 };

    // The pan goes on the window, the tap on its root controller's view; both stay off until `start` or
    // `resume`. `leftMenu` is the side the sidebar lies on.
    static std::shared_ptr<VelkoraActivationGesturesHandler> initWithWindow(const std::shared_ptr<ui::Window>& window,
                                                                            bool leftMenu);
    // The handler of the installed sidebar, as the session object holds it; null until there is one.
    static std::shared_ptr<VelkoraActivationGesturesHandler> current();
    // A handler without a window moves nothing; subclasses in tests record what they are asked.
    VelkoraActivationGesturesHandler() = default;
    ~VelkoraActivationGesturesHandler() override;
    VelkoraActivationGesturesHandler(const VelkoraActivationGesturesHandler&) = delete;
    VelkoraActivationGesturesHandler& operator=(const VelkoraActivationGesturesHandler&) = delete;

    void start();
    void pause();
    void resume();
    // Takes the gestures up again unless the host paused them.
    virtual void resumeIfUserAllows();
    void userPause() override;
    void userResume() override;

    // The animated slides: show by the menu's width (or the whole width while a feature screen is open),
    // hide back to 0.
    void showFullMenuWithNotification(bool notify);
    void hideFullMenu();
    // The hint that the sidebar is there: swings of 15 points towards its side, 0.6 seconds a swing.
    void shakeAffect(double seconds);
    void setRootControllerOffset(double offset);

    // Geometry by the status bar's orientation.
    ui::Point pointAdjustedForInterfaceOrientation(ui::Point p) const;
    double widthAdjustedForInterfaceOrientation(const ui::View* view, bool considerIpad) const;
    double adjustMenuWidth() const;
    int determinePanDirection(ui::Point translation) const;

    void handlePanEvents(ui::GestureRecognizer& recognizer);
    void handleTapEvents(ui::GestureRecognizer& recognizer);
    bool gestureRecognizerShouldBegin(ui::GestureRecognizer&) override { return true; }
    bool gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer& recognizer, ui::Touch& touch) override;
    bool gestureRecognizerShouldRecognizeSimultaneously(ui::GestureRecognizer&, ui::GestureRecognizer&) override {
        return true;
    }
    void enableTappingRecognition();
    void disableTappingRecognition();

    bool leftMenu() const { return leftMenu_; }
    void setLeftMenu(bool left) { leftMenu_ = left; }
    bool hideEntireOriginalApp() const { return hideEntireOriginalApp_; }
    void setHideEntireOriginalApp(bool hide) { hideEntireOriginalApp_ = hide; }
    bool forceEntireWidth() const { return forceEntireWidth_; }
    void setForceEntireWidth(bool force) { forceEntireWidth_ = force; }
    // True while the sidebar panel shows.
    bool menuVisible() const override { return menuVisible_; }
    void setMenuVisible(bool visible) { menuVisible_ = visible; }
    bool isShowingFullMenu() const { return isShowingFullMenu_; }
    bool userPaused() const { return userPaused_; }
    void setUserPaused(bool paused) override { userPaused_ = paused; }
    double menuWidth() const { return menuWidth_; }
    void setMenuWidth(double w) { menuWidth_ = w; }
    double menuWidthLandscape() const { return menuWidthLandscape_; }
    void setMenuWidthLandscape(double w) { menuWidthLandscape_ = w; }
    int direction() const { return direction_; }
    const std::shared_ptr<ui::PanGestureRecognizer>& recognizer() const { return recognizer_; }
    const std::shared_ptr<ui::TapGestureRecognizer>& tapRecognizer() const { return tapRecognizer_; }
    const std::shared_ptr<ui::ViewController>& origViewController() const { return origViewController_; }
    const std::shared_ptr<ui::Window>& keepAppWindow() const { return keepAppWindow_; }
    const std::vector<std::shared_ptr<ui::View>>& origViewDisabledControls() const { return origViewDisabledControls_; }

private:
    ui::View* hostView() const;
    bool isKeyWindowRoot() const;
    // The host view's offset along the user's horizontal axis.
    double currentOffset() const;
    bool uncoveredStripAt(double along) const;
    void giveBackDisabledControls();
    void shakeStep(std::shared_ptr<std::vector<double>> offsets);

    std::shared_ptr<ui::ViewController> origViewController_;
    std::shared_ptr<ui::Window> keepAppWindow_;
    std::shared_ptr<ui::PanGestureRecognizer> recognizer_;
    std::shared_ptr<ui::TapGestureRecognizer> tapRecognizer_;
    ui::Point panGestureOrigin_;
    int direction_ = DirectionUnknown;
    bool leftMenu_ = true;
    bool hideEntireOriginalApp_ = false;
    bool forceEntireWidth_ = false;
    bool menuVisible_ = false;
    bool isShowingFullMenu_ = false;
    bool userPaused_ = false;
    bool followedLastEvent_ = false;
    double lastOffset_ = 0;
    double menuWidth_ = 0;
    double menuWidthLandscape_ = 0;
    std::vector<std::shared_ptr<ui::View>> origViewDisabledControls_;
};

} // namespace velkora
