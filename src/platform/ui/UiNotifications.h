// Names of the notifications the ui layer posts, and the one place they are posted from.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/foundation/Value.h"

namespace velkora::ui {

inline constexpr const char* kWindowDidBecomeKeyNotification = "UIWindowDidBecomeKeyNotification";
inline constexpr const char* kWindowDidResignKeyNotification = "UIWindowDidResignKeyNotification";
inline constexpr const char* kApplicationDidChangeStatusBarOrientationNotification =
    "UIApplicationDidChangeStatusBarOrientationNotification";
inline constexpr const char* kApplicationStatusBarOrientationUserInfoKey = "UIApplicationStatusBarOrientationUserInfoKey";
inline constexpr const char* kApplicationDidReceiveMemoryWarningNotification =
    "UIApplicationDidReceiveMemoryWarningNotification";
inline constexpr const char* kNavigationControllerDidShowViewControllerNotification =
    "UINavigationControllerDidShowViewControllerNotification";
inline constexpr const char* kNavigationControllerNextVisibleViewController =
    "UINavigationControllerNextVisibleViewController";
inline constexpr const char* kNavigationControllerLastVisibleViewController =
    "UINavigationControllerLastVisibleViewController";

// Every ui notification goes through postNotification: to the default notification centre (the sender
// compared by identity), and to a poster a test may set to watch them.
using NotificationPoster =
    std::function<void(const std::string& name, const std::shared_ptr<void>& object, const foundation::Value& userInfo)>;

void setNotificationPoster(NotificationPoster poster);
void postNotification(const std::string& name, const std::shared_ptr<void>& object = nullptr,
                      const foundation::Value& userInfo = {});

}  // namespace velkora::ui
