#include "platform/ui/UiNotifications.h"

#include "platform/foundation/NotificationCenter.h"

namespace velkora::ui {

namespace {
NotificationPoster& poster() {
    static NotificationPoster p;
    return p;
}
}  // namespace

void setNotificationPoster(NotificationPoster p) { poster() = std::move(p); }

void postNotification(const std::string& name, const std::shared_ptr<void>& object, const foundation::Value& userInfo) {
    // Copied so a poster may replace itself while it runs.
    NotificationPoster p = poster();
    if (p) p(name, object, userInfo);
    foundation::NotificationCenter::defaultCenter().post(name, object.get(), userInfo);
}

}  // namespace velkora::ui
