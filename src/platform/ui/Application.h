// The application, its main screen and its device: window list and key window, status-bar orientation
// and style, opened URLs, the icon badge, the screen's fixed portrait bounds and scale, the device idiom
// and system version.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/ui/Geometry.h"

namespace velkora::ui {

class View;
class Window;

// Status-bar orientations, with the platform's values.
enum InterfaceOrientation : int {
    InterfaceOrientationUnknown = 0,
    InterfaceOrientationPortrait = 1,
    InterfaceOrientationPortraitUpsideDown = 2,
    InterfaceOrientationLandscapeRight = 3,
    InterfaceOrientationLandscapeLeft = 4,
};

inline bool isPortraitOrientation(int o) { return o == InterfaceOrientationPortrait || o == InterfaceOrientationPortraitUpsideDown; }
inline bool isLandscapeOrientation(int o) { return !isPortraitOrientation(o); }

enum StatusBarStyle : int { StatusBarStyleDefault = 0, StatusBarStyleLightContent = 1 };

enum class ApplicationState { Active, Inactive, Background };

// What a registration for remote notifications asks to show, with the platform's bit values.
enum RemoteNotificationType : int {
    RemoteNotificationTypeNone = 0,
    RemoteNotificationTypeBadge = 1 << 0,
    RemoteNotificationTypeSound = 1 << 1,
    RemoteNotificationTypeAlert = 1 << 2,
};

// The failure a device gives when nobody set its answer to a registration.
inline constexpr const char* kRemoteNotificationErrorDomain = "RemoteNotificationErrorDomain";
inline constexpr int64_t kRemoteNotificationsUnavailable = 3010;

class Application {
public:
    static Application& instance();

    // Every window still alive that has been shown, back to front: by level, then in the order they
    // were first shown.
    std::vector<std::shared_ptr<Window>> windows() const;
    Window* keyWindow() const;
    std::shared_ptr<Window> keyWindowShared() const;

    // The topmost visible window containing the screen point, then the deepest view in it that takes
    // touches. Null when none does; `window` (when given) receives the window.
    View* hitTest(Point screenPoint, Window** window = nullptr) const;

    // 1 to 4; a change posts the orientation notification with the old value under its user-info key.
    // Other values are refused (logged).
    int statusBarOrientation() const { return statusBarOrientation_; }
    void setStatusBarOrientation(int orientation, bool animated = false);
    bool isStatusBarHidden() const { return statusBarHidden_; }
    void setStatusBarHidden(bool hidden, bool animated = false);
    int statusBarStyle() const { return statusBarStyle_; }
    void setStatusBarStyle(int style, bool animated = false);
    // In the screen's fixed portrait coordinates: the bar lies along the edge that is on top for the
    // user. Empty while hidden.
    Rect statusBarFrame() const;

    // Opening a URL records it (there is nothing to open it with). A text without a scheme is refused.
    bool openURL(const std::string& url);
    bool canOpenURL(const std::string& url) const;
    // Schemes canOpenURL answers yes for; "http" and "https" by default.
    void setCanOpenScheme(const std::string& scheme, bool canOpen);
    const std::vector<std::string>& openedURLs() const { return openedURLs_; }
    void clearOpenedURLs() { openedURLs_.clear(); }

    // Another application opening this one by its URL (a log-in returning "fb<appId>://authorize#..."):
    // the host's handler gets the URL and the opener's bundle id, and answers whether it took it. False
    // when the host installed no handler.
    using OpenURLHandler = std::function<bool(const std::string& url, const std::string& sourceApplication)>;
    void setOpenURLHandler(OpenURLHandler handler) { openURLHandler_ = std::move(handler); }
    bool deliverOpenURL(const std::string& url, const std::string& sourceApplication = {});

    long applicationIconBadgeNumber() const { return applicationIconBadgeNumber_; }
    void setApplicationIconBadgeNumber(long n) { applicationIconBadgeNumber_ = n; }

    ApplicationState applicationState() const { return applicationState_; }
    void setApplicationState(ApplicationState s) { applicationState_ = s; }

    void beginIgnoringInteractionEvents() { ++ignoringInteractionEvents_; }
    void endIgnoringInteractionEvents() {
        if (ignoringInteractionEvents_ > 0) --ignoringInteractionEvents_;
    }
    bool isIgnoringInteractionEvents() const { return ignoringInteractionEvents_ > 0; }
    bool isNetworkActivityIndicatorVisible() const { return networkActivityIndicatorVisible_; }
    void setNetworkActivityIndicatorVisible(bool v) { networkActivityIndicatorVisible_ = v; }
    bool isIdleTimerDisabled() const { return idleTimerDisabled_; }
    void setIdleTimerDisabled(bool d) { idleTimerDisabled_ = d; }

    // Remote notifications. A registration is answered on the main run loop, through the application
    // delegate's functions, with the device's answer: its token, or a failure.
    using DeviceTokenHandler = std::function<void(const std::vector<uint8_t>& deviceToken)>;
    using RegistrationFailureHandler = std::function<void(const foundation::ErrorPtr& error)>;
    void registerForRemoteNotificationTypes(int types);
    // The types of the last registration the device accepted; none until one was.
    int enabledRemoteNotificationTypes() const { return enabledRemoteNotificationTypes_; }
    // The types asked for by every registration so far, in order.
    const std::vector<int>& remoteNotificationRegistrations() const { return remoteNotificationRegistrations_; }
    void setRemoteNotificationDelegate(DeviceTokenHandler didRegister, RegistrationFailureHandler didFail);
    // The device's answer (its profile and tests set it): a token, or a failure. Without one the device
    // refuses with kRemoteNotificationsUnavailable.
    void setRemoteNotificationAnswer(std::vector<uint8_t> deviceToken);
    void setRemoteNotificationFailure(foundation::ErrorPtr error);

    // The system running short of memory: posts the memory-warning notification so that screens let go
    // of what they can build again. The host's profile, the demo and tests call it.
    void didReceiveMemoryWarning();

    // Lays out every visible window now; also runs on the main run loop after a view in a window asked.
    void layoutWindows();
    void scheduleLayoutPass();

    // Back to a fresh application: no windows, portrait, no URLs, badge 0; the screen and device too.
    void resetForTests();

private:
    friend class Window;
    Application() = default;
    void windowWillShow(const std::shared_ptr<Window>& window);
    void windowDidHide(Window* window);
    void makeKey(Window* window);
    void windowDestroyed(Window* window);

    struct Entry {
        std::weak_ptr<Window> window;
        Window* raw = nullptr;
        uint64_t order = 0;
    };
    std::vector<Entry> windows_;
    std::vector<std::shared_ptr<Window>> visible_;
    std::vector<Window*> keyHistory_;  // the key window last
    uint64_t nextOrder_ = 0;
    int statusBarOrientation_ = InterfaceOrientationPortrait;
    bool statusBarHidden_ = false;
    int statusBarStyle_ = StatusBarStyleDefault;
    std::vector<std::string> openedURLs_;
    OpenURLHandler openURLHandler_;
    std::set<std::string> openableSchemes_{"http", "https"};
    long applicationIconBadgeNumber_ = 0;
    ApplicationState applicationState_ = ApplicationState::Active;
    int ignoringInteractionEvents_ = 0;
    bool networkActivityIndicatorVisible_ = false;
    bool idleTimerDisabled_ = false;
    bool layoutScheduled_ = false;
    int enabledRemoteNotificationTypes_ = RemoteNotificationTypeNone;
    std::vector<int> remoteNotificationRegistrations_;
    DeviceTokenHandler didRegisterForRemoteNotifications_;
    RegistrationFailureHandler didFailToRegisterForRemoteNotifications_;
    std::optional<std::vector<uint8_t>> remoteNotificationToken_;
    foundation::ErrorPtr remoteNotificationFailure_;
};

// The main screen: bounds in fixed portrait coordinates (the width is the short side) and the scale.
class Screen {
public:
    static Screen& main();
    Rect bounds() const { return bounds_; }
    void setBounds(const Rect& bounds) { bounds_ = bounds; }
    double scale() const { return scale_; }
    void setScale(double scale) { scale_ = scale; }
    // The bounds less the status bar, in the same fixed coordinates.
    Rect applicationFrame() const;

private:
    friend class Application;
    Rect bounds_{0, 0, 320, 568};
    double scale_ = 2;
};

enum class UserInterfaceIdiom { Unspecified = -1, Phone = 0, Pad = 1 };

class Device {
public:
    static Device& current();

    // Some devices cannot answer the idiom question: callers ask answersUserInterfaceIdiom first, and
    // treat a device that cannot answer as a phone (isPad does).
    bool answersUserInterfaceIdiom() const { return idiom_.has_value(); }
    UserInterfaceIdiom userInterfaceIdiom() const { return idiom_.value_or(UserInterfaceIdiom::Unspecified); }
    void setUserInterfaceIdiom(std::optional<UserInterfaceIdiom> idiom) { idiom_ = idiom; }
    bool isPad() const { return idiom_ == UserInterfaceIdiom::Pad; }

    const std::string& systemVersion() const { return systemVersion_; }
    void setSystemVersion(std::string v) { systemVersion_ = std::move(v); }
    // Numeric comparison of dotted versions, number by number ("10.0" is above "7.0", "7" equals "7.0"):
    // -1, 0 or 1.
    static int compareVersions(std::string_view a, std::string_view b);
    int compareSystemVersion(std::string_view other) const { return compareVersions(systemVersion_, other); }

    const std::string& model() const { return model_; }
    void setModel(std::string m) { model_ = std::move(m); }
    const std::string& name() const { return name_; }
    void setName(std::string n) { name_ = std::move(n); }

private:
    friend class Application;
    std::optional<UserInterfaceIdiom> idiom_ = UserInterfaceIdiom::Phone;
    std::string systemVersion_ = "7.0";
    std::string model_ = "iPhone";
    std::string name_ = "Velkora device";
};

}  // namespace velkora::ui
