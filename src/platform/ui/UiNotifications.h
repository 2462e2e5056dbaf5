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
inline constexpr const char* kNavigationControllerDidShowViewControllerNotification =
    "UINavigationControllerDidShowViewControllerNotification";
inline constexpr const char* kNavigationControllerNextVisibleViewController =
    "UINavigationControllerNextVisibleViewController";
inline constexpr const char* kNavigationControllerLastVisibleViewController =
    "UINavigationControllerLastVisibleViewController";

// How a ui notification reaches observers: name, sending object (may be null) and user info (a
// dictionary or null). Every ui notification goes through postNotification, so the kit's notification
// centre, or a test, can take them over by setting the poster.
using NotificationPoster =
    std::function<void(const std::string& name, const std::shared_ptr<void>& object, const foundation::Value& userInfo)>;

void setNotificationPoster(NotificationPoster poster);
void postNotification(const std::string& name, const std::shared_ptr<void>& object = nullptr,
                      const foundation::Value& userInfo = {});

}  // namespace velkora::ui
