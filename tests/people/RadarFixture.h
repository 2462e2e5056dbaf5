// The radar against velkora-service: the friends fixture with the device placed (or not) through the
// session's own location manager, people of the service placed around a city, and the radar opened on the
// host's stack.
#pragma once

#include <cmath>
#include <optional>

#include "FriendsFixture.h"
#include "people/VelkoraRadarMapViewController.h"
#include "platform/services/LocationManager.h"

namespace velkora::testing {

// Lisbon.
inline constexpr double kLisbonLatitude = 38.7223;
inline constexpr double kLisbonLongitude = -9.1393;
// Degrees of latitude in a metre on the service's sphere.
inline constexpr double kDegreesPerMetre = 1.0 / 111194.93;

class RadarTest : public FriendsTest {
protected:
    void TearDown() override {
        radar_.reset();
        FriendsTest::TearDown();
    }
    // The session with the radar on; the location answer and the device's fix as given.
    void startRadar(std::optional<ui::MapCoordinate> fix, bool locationAllowed = true, const std::string& units = "K",
                    const std::string& extra = {}) {
        start(friendsConfiguration(units, extra));
        loadMyData();
        services::Device::instance().update(
            [&](services::DeviceProfile& p) { p.privacyAnswers[services::Prompt::Location] = locationAllowed; });
        placeFix(fix);
        auto manager = VelkoraAgentInternal::instance().getNonEmptyLocationManager();
        ASSERT_TRUE(manager) << "the radar's location manager";
        if (fix && locationAllowed) {
            ASSERT_TRUE(waitFor([&] { return manager->location().has_value(); }));
        }
        drain();
        svc.clearRequests();
    }
    static void placeFix(std::optional<ui::MapCoordinate> at) {
        services::LocationManager::setFix(at ? std::optional(services::LocationFix{at->latitude, at->longitude})
                                             : std::nullopt);
    }
    // A user of the service `metres` north of Lisbon (east when `east`).
    std::string placeUser(const std::string& first, double metres, bool east = false, bool test = false,
                          const std::string& last = "Near") {
        service::UserFields f;
        f.firstName = first;
        f.lastName = first.empty() ? std::string() : last;
        f.age = 30;
        const double d = metres * kDegreesPerMetre;
        f.latitude = kLisbonLatitude + (east ? 0 : d);
        f.longitude = kLisbonLongitude + (east ? d / std::cos(kLisbonLatitude * M_PI / 180) : 0);
        f.located = true;
        f.isTest = test;
        return svc.createUser(kApp, f);
    }
    std::shared_ptr<VelkoraRadarMapViewController> openRadar() {
        radar_ = open<VelkoraRadarMapViewController>("radar");
        EXPECT_TRUE(radar_ && radar_->radarMapView() && radar_->radarListView()) << "the interface file did not load";
        if (!radar_ || !radar_->radarMapView()) return nullptr;
        host->layoutIfNeeded();
        return radar_;
    }
    // Until the requests are answered and the map's changes have settled.
    void settleRadar() {
        for (int i = 0; i < 4; ++i) {
            drain();
            loop().advance(0.5);
        }
        drain();
        host->layoutIfNeeded();
    }
    size_t userPins() const {
        size_t n = 0;
        for (const auto& a : radar_->radarMapView()->annotations())
            n += std::dynamic_pointer_cast<VelkoraUserAnnotation>(a) != nullptr;
        return n;
    }
    std::shared_ptr<VelkoraRadarMapViewController> radar_;
};

} // namespace velkora::testing
