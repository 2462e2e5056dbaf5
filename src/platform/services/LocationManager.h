// The device's location as an application reads it: whether location services are on, whether the person
// let the application use them, and, once started, the fixes of the device's position source in the order
// they come. The first start asks the location prompt; the answer is remembered by the device.
//
// The position source is the simulated device's: setFix moves it at once, playRoute walks the profile's
// route on the main run loop's clock. Impossible coordinates never reach a manager.
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/services/Device.h"

namespace velkora::services {

inline constexpr const char* kLocationErrorDomain = "com.velkora.location";
// The person refused the application the location, or location services are off.
inline constexpr int kLocationErrorDenied = 1;

class LocationManager;

// Every callback is optional and arrives on the main run loop.
class LocationManagerDelegate {
public:
    virtual ~LocationManagerDelegate() = default;
    // The fixes since the last call, oldest first.
    virtual void locationManagerDidUpdateLocations(LocationManager& /*manager*/,
                                                   const std::vector<LocationFix>& /*locations*/) {}
    virtual void locationManagerDidFailWithError(LocationManager& /*manager*/, const foundation::ErrorPtr& /*error*/) {}
    virtual void locationManagerDidChangeAuthorizationStatus(LocationManager& /*manager*/,
                                                             AuthorizationStatus /*status*/) {}
};

class LocationManager : public std::enable_shared_from_this<LocationManager> {
public:
    static std::shared_ptr<LocationManager> create();
    ~LocationManager();
    LocationManager(const LocationManager&) = delete;
    LocationManager& operator=(const LocationManager&) = delete;

    static bool locationServicesEnabled();
    static AuthorizationStatus authorizationStatus();

    std::shared_ptr<LocationManagerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<LocationManagerDelegate> delegate) { delegate_ = std::move(delegate); }

    // Starting asks the person first when they were never asked. With location services off, or refused,
    // the delegate hears failure kLocationErrorDenied instead of fixes. Main thread.
    void startUpdatingLocation();
    void stopUpdatingLocation();
    bool isUpdatingLocation() const;

    // The latest fix this manager received; none before the first one. Callable from any thread.
    std::optional<LocationFix> location() const;

    // The device's position source. A fix moves the device and reaches every manager that is updating;
    // none means the device lost its fix (managers then report none). An impossible fix (latitude beyond
    // ±90, longitude beyond ±180, not a number, a negative accuracy) is dropped with a log line and
    // answers false.
    static bool setFix(std::optional<LocationFix> fix);
    // Walks the device profile's route, a fix at once and then one every route interval, on the main run
    // loop's clock. Playing again starts the route over.
    static void playRoute();
    static void stopRoute();
    static bool isPossible(const LocationFix& fix);

    // Forgets every manager and stops the route; for tests.
    static void resetForTests();

private:
    LocationManager() = default;
    void authorizationAnswered(bool granted);
    void deliverFix(const std::optional<LocationFix>& fix);
    void fail();

    std::weak_ptr<LocationManagerDelegate> delegate_;
    mutable std::mutex mutex_;
    std::optional<LocationFix> location_;
    bool updating_ = false;
    bool asking_ = false;
};

} // namespace velkora::services
