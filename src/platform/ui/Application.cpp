#include "platform/ui/Application.h"

#include <algorithm>
#include <cctype>

#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/UiNotifications.h"
#include "platform/ui/Window.h"

namespace velkora::ui {

using foundation::Log;

Application& Application::instance() {
    // Never destroyed: windows still alive at exit unregister from it in their destructors.
    static Application* app = new Application;
    return *app;
}

Screen& Screen::main() {
    static Screen screen;
    return screen;
}

Device& Device::current() {
    static Device device;
    return device;
}

// ---- Windows

std::vector<std::shared_ptr<Window>> Application::windows() const {
    std::vector<std::pair<const Entry*, std::shared_ptr<Window>>> live;
    for (auto& e : windows_)
        if (auto w = e.window.lock()) live.emplace_back(&e, std::move(w));
    std::stable_sort(live.begin(), live.end(), [](auto& x, auto& y) {
        if (x.second->windowLevel() != y.second->windowLevel())
            return x.second->windowLevel() < y.second->windowLevel();
        return x.first->order < y.first->order;
    });
    std::vector<std::shared_ptr<Window>> out;
    for (auto& [e, w] : live) out.push_back(std::move(w));
    return out;
}

Window* Application::keyWindow() const { return keyHistory_.empty() ? nullptr : keyHistory_.back(); }

std::shared_ptr<Window> Application::keyWindowShared() const {
    Window* key = keyWindow();
    return key ? key->sharedAs<Window>() : nullptr;
}

View* Application::hitTest(Point screenPoint, Window** hitWindow) const {
    if (hitWindow) *hitWindow = nullptr;
    auto all = windows();
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        Window* w = it->get();
        if (w->isHidden()) continue;
        Point local = w->convertPointFromScreen(screenPoint);
        if (!w->pointInside(local)) continue;
        if (View* hit = w->hitTest(local)) {
            if (hitWindow) *hitWindow = w;
            return hit;
        }
    }
    return nullptr;
}

void Application::windowWillShow(const std::shared_ptr<Window>& window) {
    Window* raw = window.get();
    auto known = std::find_if(windows_.begin(), windows_.end(), [&](auto& e) { return e.raw == raw; });
    if (known == windows_.end()) windows_.push_back({window, raw, nextOrder_++});
    if (std::find(visible_.begin(), visible_.end(), window) == visible_.end()) visible_.push_back(window);
}

void Application::windowDidHide(Window* window) {
    bool wasKey = keyWindow() == window;
    std::erase(keyHistory_, window);
    if (wasKey) {
        // The window that was key before takes over, as when an alert goes away.
        Window* next = keyWindow();
        if (next) {
            next->becomeKeyWindow();
            postNotification(kWindowDidBecomeKeyNotification, next->sharedAs<Window>());
        }
        window->resignKeyWindow();
        postNotification(kWindowDidResignKeyNotification, window->sharedAs<Window>());
    }
    std::erase_if(visible_, [&](auto& w) { return w.get() == window; });
}

void Application::makeKey(Window* window) {
    if (!window || keyWindow() == window) return;
    auto shared = window->sharedAs<Window>();
    if (shared) {
        auto known = std::find_if(windows_.begin(), windows_.end(), [&](auto& e) { return e.raw == window; });
        if (known == windows_.end()) windows_.push_back({shared, window, nextOrder_++});
    }
    Window* old = keyWindow();
    std::erase(keyHistory_, window);
    keyHistory_.push_back(window);
    if (old) {
        old->resignKeyWindow();
        postNotification(kWindowDidResignKeyNotification, old->sharedAs<Window>());
    }
    window->becomeKeyWindow();
    postNotification(kWindowDidBecomeKeyNotification, shared);
}

void Application::windowDestroyed(Window* window) {
    std::erase(keyHistory_, window);
    std::erase_if(windows_, [&](auto& e) { return e.raw == window; });
}

// ---- Status bar

void Application::setStatusBarOrientation(int orientation, bool /*animated*/) {
    if (orientation < InterfaceOrientationPortrait || orientation > InterfaceOrientationLandscapeLeft) {
        Log::line("Velkora (W) - Ignoring status bar orientation %d: it must be 1 to 4", orientation);
        return;
    }
    if (orientation == statusBarOrientation_) return;
    int old = statusBarOrientation_;
    statusBarOrientation_ = orientation;
    postNotification(kApplicationDidChangeStatusBarOrientationNotification, nullptr,
                     foundation::Dictionary{{kApplicationStatusBarOrientationUserInfoKey, old}});
}

void Application::setStatusBarHidden(bool hidden, bool /*animated*/) { statusBarHidden_ = hidden; }

void Application::setStatusBarStyle(int style, bool /*animated*/) { statusBarStyle_ = style; }

Rect Application::statusBarFrame() const {
    if (statusBarHidden_) return {};
    Rect s = Screen::main().bounds();
    const double bar = 20;
    switch (statusBarOrientation_) {
    case InterfaceOrientationPortraitUpsideDown: return {s.minX(), s.maxY() - bar, s.width(), bar};
    case InterfaceOrientationLandscapeRight: return {s.maxX() - bar, s.minY(), bar, s.height()};
    case InterfaceOrientationLandscapeLeft: return {s.minX(), s.minY(), bar, s.height()};
    default: return {s.minX(), s.minY(), s.width(), bar};
    }
}

Rect Screen::applicationFrame() const {
    Rect s = bounds_;
    Rect bar = Application::instance().statusBarFrame();
    if (bar.isEmpty()) return s;
    switch (Application::instance().statusBarOrientation()) {
    case InterfaceOrientationPortraitUpsideDown: return {s.minX(), s.minY(), s.width(), s.height() - bar.height()};
    case InterfaceOrientationLandscapeRight: return {s.minX(), s.minY(), s.width() - bar.width(), s.height()};
    case InterfaceOrientationLandscapeLeft:
        return {s.minX() + bar.width(), s.minY(), s.width() - bar.width(), s.height()};
    default: return {s.minX(), s.minY() + bar.height(), s.width(), s.height() - bar.height()};
    }
}

// ---- URLs

namespace {

std::string schemeOf(const std::string& url) {
    auto colon = url.find(':');
    if (colon == std::string::npos || colon == 0) return {};
    std::string scheme = url.substr(0, colon);
    for (char& ch : scheme) {
        if (!std::isalnum(static_cast<unsigned char>(ch)) && ch != '+' && ch != '-' && ch != '.') return {};
        ch = char(std::tolower(static_cast<unsigned char>(ch)));
    }
    return std::isalpha(static_cast<unsigned char>(scheme[0])) ? scheme : std::string();
}

}  // namespace

bool Application::openURL(const std::string& url) {
    if (schemeOf(url).empty()) {
        Log::line("Velkora (W) - Can't open a URL without a scheme: %@", url);
        return false;
    }
    openedURLs_.push_back(url);
    return true;
}

bool Application::deliverOpenURL(const std::string& url, const std::string& sourceApplication) {
    if (schemeOf(url).empty() || !openURLHandler_) return false;
    // The handler may replace itself while it runs.
    OpenURLHandler handler = openURLHandler_;
    return handler(url, sourceApplication);
}

bool Application::canOpenURL(const std::string& url) const {
    std::string scheme = schemeOf(url);
    return !scheme.empty() && openableSchemes_.count(scheme) > 0;
}

void Application::setCanOpenScheme(const std::string& scheme, bool canOpen) {
    std::string s = schemeOf(scheme + ":");
    if (s.empty()) return;
    if (canOpen) openableSchemes_.insert(s);
    else openableSchemes_.erase(s);
}

// ---- Layout

void Application::scheduleLayoutPass() {
    if (layoutScheduled_) return;
    layoutScheduled_ = true;
    foundation::RunLoop::main().post([] { Application::instance().layoutWindows(); });
}

void Application::layoutWindows() {
    layoutScheduled_ = false;
    for (auto& w : windows())
        if (!w->isHidden()) w->layoutIfNeeded();
}

void Application::resetForTests() {
    auto visible = visible_;
    for (auto& w : visible) w->setHidden(true);
    visible_.clear();
    windows_.clear();
    keyHistory_.clear();
    statusBarOrientation_ = InterfaceOrientationPortrait;
    statusBarHidden_ = false;
    statusBarStyle_ = StatusBarStyleDefault;
    openedURLs_.clear();
    openURLHandler_ = nullptr;
    openableSchemes_ = {"http", "https"};
    applicationIconBadgeNumber_ = 0;
    applicationState_ = ApplicationState::Active;
    ignoringInteractionEvents_ = 0;
    networkActivityIndicatorVisible_ = false;
    idleTimerDisabled_ = false;
    layoutScheduled_ = false;
    enabledRemoteNotificationTypes_ = RemoteNotificationTypeNone;
    remoteNotificationRegistrations_.clear();
    didRegisterForRemoteNotifications_ = nullptr;
    didFailToRegisterForRemoteNotifications_ = nullptr;
    remoteNotificationToken_.reset();
    remoteNotificationFailure_.reset();
    Screen::main() = Screen();
    Device::current() = Device();
}

// ---- Remote notifications

void Application::didReceiveMemoryWarning() { postNotification(kApplicationDidReceiveMemoryWarningNotification); }

void Application::setRemoteNotificationDelegate(DeviceTokenHandler didRegister, RegistrationFailureHandler didFail) {
    didRegisterForRemoteNotifications_ = std::move(didRegister);
    didFailToRegisterForRemoteNotifications_ = std::move(didFail);
}

void Application::setRemoteNotificationAnswer(std::vector<uint8_t> deviceToken) {
    remoteNotificationToken_ = std::move(deviceToken);
    remoteNotificationFailure_.reset();
}

void Application::setRemoteNotificationFailure(foundation::ErrorPtr error) {
    remoteNotificationToken_.reset();
    remoteNotificationFailure_ = std::move(error);
}

void Application::registerForRemoteNotificationTypes(int types) {
    remoteNotificationRegistrations_.push_back(types);
    // The answer comes later, as the device's push service would give it; it is the one set now.
    auto token = remoteNotificationToken_;
    auto failure = remoteNotificationFailure_;
    if (!token && !failure)
        failure =
            foundation::makeError(kRemoteNotificationErrorDomain, kRemoteNotificationsUnavailable,
                                  foundation::Value(foundation::Dictionary{
                                      {"NSLocalizedDescription",
                                       foundation::Value("remote notifications are not supported on this device")}}));
    foundation::RunLoop::main().post([this, types, token = std::move(token), failure = std::move(failure)] {
        if (token) {
            enabledRemoteNotificationTypes_ = types;
            if (didRegisterForRemoteNotifications_) didRegisterForRemoteNotifications_(*token);
        } else if (didFailToRegisterForRemoteNotifications_) {
            didFailToRegisterForRemoteNotifications_(failure);
        }
    });
}

// ---- Versions

int Device::compareVersions(std::string_view a, std::string_view b) {
    // Number by number; a missing number counts as 0, so "7" equals "7.0". Non-digits end a number.
    auto next = [](std::string_view& s) -> long long {
        long long v = 0;
        size_t i = 0;
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
            if (v < 1'000'000'000'000LL) v = v * 10 + (s[i] - '0');
            ++i;
        }
        while (i < s.size() && !std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
        s.remove_prefix(i);
        return v;
    };
    while (!a.empty() || !b.empty()) {
        long long x = next(a), y = next(b);
        if (x != y) return x < y ? -1 : 1;
    }
    return 0;
}

}  // namespace velkora::ui
