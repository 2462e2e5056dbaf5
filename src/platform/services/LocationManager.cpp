#include "platform/services/LocationManager.h"

#include <cmath>

#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"

namespace velkora::services {

using foundation::RunLoop;

namespace {

// The managers alive, so a new fix reaches those that update; and the route being played.
struct Registry {
    std::mutex mutex;
    std::vector<std::weak_ptr<LocationManager>> managers;
    std::shared_ptr<foundation::Timer> routeTimer;
    size_t routeNext = 0;

    std::vector<std::shared_ptr<LocationManager>> alive() {
        std::lock_guard lock(mutex);
        std::vector<std::shared_ptr<LocationManager>> out;
        std::erase_if(managers, [](const std::weak_ptr<LocationManager>& w) { return w.expired(); });
        for (const auto& w : managers)
            if (auto m = w.lock()) out.push_back(std::move(m));
        return out;
    }
};

Registry& registry() {
    static Registry r;
    return r;
}

} // namespace

std::shared_ptr<LocationManager> LocationManager::create() {
    std::shared_ptr<LocationManager> m(new LocationManager());
    std::lock_guard lock(registry().mutex);
    registry().managers.push_back(m);
    return m;
}

LocationManager::~LocationManager() = default;

bool LocationManager::locationServicesEnabled() {
    return Device::instance().locationServicesEnabled();
}

AuthorizationStatus LocationManager::authorizationStatus() {
    return Device::instance().authorizationStatus(Prompt::Location);
}

bool LocationManager::isPossible(const LocationFix& fix) {
    return std::isfinite(fix.latitude) && std::isfinite(fix.longitude) && std::fabs(fix.latitude) <= 90 &&
           std::fabs(fix.longitude) <= 180 && std::isfinite(fix.horizontalAccuracy) && fix.horizontalAccuracy >= 0;
}

void LocationManager::startUpdatingLocation() {
    if (!locationServicesEnabled()) {
        foundation::Log::line("Velkora (W) - Location services are off: no location");
        fail();
        return;
    }
    {
        std::lock_guard lock(mutex_);
        if (updating_) return;
        updating_ = true;
    }
    switch (authorizationStatus()) {
    case AuthorizationStatus::Authorized:
        deliverFix(Device::instance().position());
        break;
    case AuthorizationStatus::Denied:
    case AuthorizationStatus::Restricted: {
        std::lock_guard lock(mutex_);
        updating_ = false;
    }
        fail();
        break;
    case AuthorizationStatus::NotDetermined: {
        {
            std::lock_guard lock(mutex_);
            if (asking_) return;
            asking_ = true;
        }
        std::weak_ptr<LocationManager> weak = weak_from_this();
        Device::instance().ask(Prompt::Location, [weak](bool granted) {
            if (auto self = weak.lock()) self->authorizationAnswered(granted);
        });
        break;
    }
    }
}

void LocationManager::authorizationAnswered(bool granted) {
    bool updating;
    {
        std::lock_guard lock(mutex_);
        asking_ = false;
        updating = updating_;
        if (!granted) updating_ = false;
    }
    if (auto d = delegate())
        d->locationManagerDidChangeAuthorizationStatus(*this, granted ? AuthorizationStatus::Authorized
                                                                      : AuthorizationStatus::Denied);
    if (!updating) return;
    if (granted)
        deliverFix(Device::instance().position());
    else
        fail();
}

void LocationManager::stopUpdatingLocation() {
    std::lock_guard lock(mutex_);
    updating_ = false;
}

bool LocationManager::isUpdatingLocation() const {
    std::lock_guard lock(mutex_);
    return updating_;
}

std::optional<LocationFix> LocationManager::location() const {
    std::lock_guard lock(mutex_);
    return location_;
}

void LocationManager::deliverFix(const std::optional<LocationFix>& fix) {
    {
        std::lock_guard lock(mutex_);
        location_ = fix;
    }
    if (!fix) return;
    // Posted one by one, so the delegate hears the fixes in the order the device made them.
    std::weak_ptr<LocationManager> weak = weak_from_this();
    RunLoop::main().post([weak, fix = *fix] {
        auto self = weak.lock();
        if (!self || !self->isUpdatingLocation()) return;
        if (auto d = self->delegate()) d->locationManagerDidUpdateLocations(*self, {fix});
    });
}

void LocationManager::fail() {
    std::weak_ptr<LocationManager> weak = weak_from_this();
    RunLoop::main().post([weak] {
        auto self = weak.lock();
        if (!self) return;
        if (auto d = self->delegate())
            d->locationManagerDidFailWithError(*self,
                                               foundation::makeError(kLocationErrorDomain, kLocationErrorDenied));
    });
}

bool LocationManager::setFix(std::optional<LocationFix> fix) {
    if (fix && !isPossible(*fix)) {
        foundation::Log::line("Velkora (W) - Impossible location dropped: latitude %@, longitude %@", fix->latitude,
                              fix->longitude);
        return false;
    }
    Device::instance().update([&](DeviceProfile& p) { p.position = fix; });
    bool authorized = locationServicesEnabled() && authorizationStatus() == AuthorizationStatus::Authorized;
    for (auto& m : registry().alive())
        if (authorized && m->isUpdatingLocation()) m->deliverFix(fix);
    return true;
}

void LocationManager::playRoute() {
    stopRoute();
    auto route = Device::instance().profile().route;
    double interval = Device::instance().profile().routeInterval;
    if (route.empty()) return;
    if (!(interval > 0)) interval = 1;
    setFix(route.front());
    if (route.size() == 1) return;
    auto& r = registry();
    std::lock_guard lock(r.mutex);
    r.routeNext = 1;
    r.routeTimer = RunLoop::main().schedule(interval, true, [route](foundation::Timer& timer) {
        size_t next;
        {
            std::lock_guard lock(registry().mutex);
            next = registry().routeNext++;
        }
        if (next >= route.size()) {
            timer.invalidate();
            return;
        }
        setFix(route[next]);
        if (next + 1 == route.size()) timer.invalidate();
    });
}

void LocationManager::stopRoute() {
    std::shared_ptr<foundation::Timer> timer;
    {
        std::lock_guard lock(registry().mutex);
        timer = std::move(registry().routeTimer);
        registry().routeNext = 0;
    }
    if (timer) timer->invalidate();
}

void LocationManager::resetForTests() {
    stopRoute();
    std::lock_guard lock(registry().mutex);
    registry().managers.clear();
}

} // namespace velkora::services
