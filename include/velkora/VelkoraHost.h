// The least of the kit's ui a host needs to drive it: its window and the screens in it, navigation and
// tab-bar controllers around screens of its own, a view to anchor the menu's popover, the activation
// bar item and button, the device's facts, the information dictionary, the location fixes the device
// gets, and the return to the foreground. Everything here is used on the main loop's thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "velkora/Export.h"

namespace velkora {

struct VelkoraRect {
    double x = 0, y = 0, width = 0, height = 0;
};

// The objects below wrap the kit's own; `Impl` is opaque to a host.

class VelkoraPopinAdsAnswer;

// A plain screen of the host's own, with a title; one made with an answer (VelkoraAds.h) says whether
// promoted applications may pop in over it.
class VELKORA_EXPORT VelkoraHostScreen {
public:
    static std::shared_ptr<VelkoraHostScreen> create(const std::string& title);
    static std::shared_ptr<VelkoraHostScreen> create(const std::string& title,
                                                     std::shared_ptr<const VelkoraPopinAdsAnswer> popinAdsAnswer);
    std::string title() const;
    struct Impl;
    const std::shared_ptr<Impl>& impl() const { return impl_; }

private:
    std::shared_ptr<Impl> impl_;
};

// A navigation controller of the host's with one of its screens at the root; the kit pushes the features
// the host opens onto it.
class VELKORA_EXPORT VelkoraNavigationController {
public:
    static std::shared_ptr<VelkoraNavigationController> create(const std::shared_ptr<VelkoraHostScreen>& root);
    // How many screens are on the stack, the root included.
    std::size_t stackDepth() const;
    // The title of the screen on top.
    std::string topTitle() const;
    // Whether the kit presented a screen of its own over the stack.
    bool isPresenting() const;
    // Back to the host's root screen, without animation.
    void popToRoot();
    struct Impl;
    const std::shared_ptr<Impl>& impl() const { return impl_; }

private:
    std::shared_ptr<Impl> impl_;
};

// A tab-bar controller of the host's, starting with screens of its own.
class VELKORA_EXPORT VelkoraTabBarController {
public:
    static std::shared_ptr<VelkoraTabBarController>
    create(const std::vector<std::shared_ptr<VelkoraHostScreen>>& screens);
    std::size_t count() const;
    std::vector<std::string> tabTitles() const;
    std::vector<int> tabTags() const;
    struct Impl;
    const std::shared_ptr<Impl>& impl() const { return impl_; }

private:
    std::shared_ptr<Impl> impl_;
};

// A view of the host's: the anchor of the menu's popover, or the view a Twitter log-in shows over.
class VELKORA_EXPORT VelkoraView {
public:
    static std::shared_ptr<VelkoraView> create(const VelkoraRect& frame);
    VelkoraRect frame() const;
    struct Impl;
    const std::shared_ptr<Impl>& impl() const { return impl_; }

private:
    std::shared_ptr<Impl> impl_;
};

// One frame of the kit's screen for a host that draws it itself (a game's renderer): every visible window,
// alerts and the keyboard, as straight RGBA bytes, top row first.
struct VelkoraFrame {
    int width = 0, height = 0;          // in pixels
    int stride = 0;                      // bytes from one row to the next
    const std::uint8_t* rgba = nullptr;  // valid until the next frame is drawn
    VelkoraRect changed;                 // in pixels: only this part differs from the frame before
    bool drawn = false;                  // false: nothing changed since the frame before
};

// Keys a host's keyboard sends besides text.
enum class VelkoraKey { Backspace, Delete, Return, Tab, Left, Right, Up, Down, Home, End, Escape };
enum VelkoraKeyModifiers : unsigned { VelkoraKeyShift = 1, VelkoraKeyControl = 2, VelkoraKeyAlt = 4 };

// The host's window. A new window covers the screen (or has the given size) and stays hidden until it is
// made key.
class VELKORA_EXPORT VelkoraWindow {
public:
    static std::shared_ptr<VelkoraWindow> create();
    static std::shared_ptr<VelkoraWindow> create(double width, double height);
    void setRootScreen(const std::shared_ptr<VelkoraHostScreen>& screen);
    void setRootNavigationController(const std::shared_ptr<VelkoraNavigationController>& controller);
    void setRootTabBarController(const std::shared_ptr<VelkoraTabBarController>& controller);
    void addView(const std::shared_ptr<VelkoraView>& view);
    void makeKeyAndVisible();
    bool isKey() const;
    double width() const;
    double height() const;
    // A picture of the whole screen (every visible window) as PNG bytes; empty on failure.
    static std::vector<std::uint8_t> pngOfScreen();
    static bool writeScreenPng(const std::string& path);
    // A finger on the window, in its coordinates.
    void touchDown(double x, double y);
    void touchMove(double x, double y);
    void touchUp(double x, double y);
    // Typing, as the touches: to the text input that has the focus. Return is the input's return key,
    // Tab moves the focus, Backspace takes the whole character before the caret. True when taken.
    bool keyDown(VelkoraKey key, unsigned modifiers = 0);
    bool insertText(const std::string& utf8);
    // An input method's composition in progress (shown in the input, not yet typed); empty ends it.
    void setMarkedText(const std::string& utf8);

    // For a host that draws the screen itself: `scale` pixels per point (the screen's own until set).
    static void setPixelScale(double scale);
    // Whether something on screen changed since the last frame; cheap enough to ask once per host frame.
    static bool screenNeedsDrawing();
    // Redraws only what changed and answers the whole picture with the changed rectangle.
    static VelkoraFrame drawScreenFrame();
    // Whether the on-screen keyboard draws its keys while it is up (for hosts without a keyboard).
    static void setShowsKeyboardKeys(bool shows);
    // A finger and the wheel anywhere on the screen, in points: a finger goes to the topmost window under
    // it; the wheel scrolls the innermost scrollable view under the point.
    static void screenTouchDown(double x, double y, int finger = 0);
    static void screenTouchMove(double x, double y, int finger = 0);
    static void screenTouchUp(double x, double y, int finger = 0);
    static bool screenScroll(double x, double y, double dx, double dy);
    struct Impl;
    const std::shared_ptr<Impl>& impl() const { return impl_; }

private:
    std::shared_ptr<Impl> impl_;
};

// The activation bar item, for the host's navigation bar.
class VELKORA_EXPORT VelkoraBarItem {
public:
    struct Impl;
    explicit VelkoraBarItem(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}
    // The size of its view.
    double width() const;
    double height() const;
    const std::shared_ptr<Impl>& impl() const { return impl_; }

private:
    std::shared_ptr<Impl> impl_;
};

// The activation ribbon's button, for a view of the host's.
class VELKORA_EXPORT VelkoraButton {
public:
    struct Impl;
    explicit VelkoraButton(std::shared_ptr<Impl> impl) : impl_(std::move(impl)) {}
    VelkoraRect frame() const;
    const std::shared_ptr<Impl>& impl() const { return impl_; }

private:
    std::shared_ptr<Impl> impl_;
};

enum class VelkoraOrientation { Portrait = 1, PortraitUpsideDown = 2, LandscapeRight = 3, LandscapeLeft = 4 };

// Facts of the device the kit runs on.
class VELKORA_EXPORT VelkoraDevice {
public:
    VelkoraDevice() = delete;
    static double screenWidth();
    static double screenHeight();
    static bool isTablet();
    // A phone (320 x 568 points) or a tablet (768 x 1024 points).
    static void setTablet(bool tablet);
    static VelkoraOrientation orientation();
    static void setOrientation(VelkoraOrientation orientation);
};

// The host application's information dictionary (display name, URL schemes, icons, the kit's service),
// as JSON text; false, and nothing changed, when the text is not a JSON object. Set it before the start.
//
// The kit's service is named by these keys, each overridden by the environment variable beside it:
//   "VelkoraServer"        VELKORA_SERVER     the service's host and port ("example.org:8443"), its base
//                                             address ("https://example.org") or its full API address;
//                                             without either the kit dials 127.0.0.1:8443
//   "VelkoraServerCAFile"  VELKORA_SERVER_CA  a PEM file of the certificate authority that signed the
//                                             service's certificate; without either the system's
//                                             authorities are trusted
// A service that is not configured, or that cannot be reached, is said once in the log
// ("Velkora (E) - the service at ..."); the kit keeps asking it, and the start's completion runs when it
// has answered (Velkora.h).
VELKORA_EXPORT bool velkoraSetInfoDictionaryJson(const std::string& json);
// The folder under which the kit keeps its documents and caches.
VELKORA_EXPORT void velkoraSetDataFolder(const std::string& folder);
// The kit reads its texts, screen layouts, sounds and pictures from share/velkora of the prefix its library
// is installed in, and opens its optional modules from velkora/modules beside the library, wherever the
// prefix was moved. A host that ships them elsewhere names the folders here (VELKORA_RESOURCES and
// VELKORA_FRAMEWORK_PATH_TEMPLATE do the same from the environment); set them before the start.
VELKORA_EXPORT void velkoraSetResourcesFolder(const std::string& folder);
VELKORA_EXPORT void velkoraSetModulesFolder(const std::string& folder);

struct VelkoraGeoLocation {
    double latitude = 0;
    double longitude = 0;
};

// A location manager of the host's, for the older start calls. The host feeds the device's fixes.
class VELKORA_EXPORT VelkoraLocationManager {
public:
    static std::shared_ptr<VelkoraLocationManager> create();
    // Where the device is from now on; the kit reads it when it polls and looks for nearby users.
    static void setDeviceLocation(const VelkoraGeoLocation& location);
    // Whether the person allowed the application to know where the device is.
    static void setLocationAllowed(bool allowed);
    struct Impl;
    const std::shared_ptr<Impl>& impl() const { return impl_; }

private:
    std::shared_ptr<Impl> impl_;
};

// The application comes back from the background.
VELKORA_EXPORT void velkoraApplicationWillEnterForeground();

} // namespace velkora
