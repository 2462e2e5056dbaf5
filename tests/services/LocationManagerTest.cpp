// The device's location as an application reads it, and as the kit's update poll sends it to velkora-service:
// the prompt on the first start, refusals and location services switched off, fixes in the order the device
// makes them, and impossible fixes kept away from everyone.
#include <gtest/gtest.h>

#include "platform/services/LocationManager.h"
#include "platform/ui/AlertView.h"
#include "server/ServerClientFixture.h"

using namespace velkora;
using namespace velkora::testing;
using services::AuthorizationStatus;
using services::Device;
using services::LocationFix;
using services::LocationManager;
using services::Prompt;
using services::PromptPolicy;

namespace {

struct Recorder : services::LocationManagerDelegate {
    std::vector<LocationFix> fixes;
    std::vector<foundation::ErrorPtr> failures;
    std::vector<AuthorizationStatus> statuses;
    void locationManagerDidUpdateLocations(LocationManager&, const std::vector<LocationFix>& f) override {
        fixes.insert(fixes.end(), f.begin(), f.end());
    }
    void locationManagerDidFailWithError(LocationManager&, const foundation::ErrorPtr& e) override {
        failures.push_back(e);
    }
    void locationManagerDidChangeAuthorizationStatus(LocationManager&, AuthorizationStatus s) override {
        statuses.push_back(s);
    }
};

class LocationManagerTest : public ServerClientTest {
protected:
    std::shared_ptr<LocationManager> started(const std::shared_ptr<Recorder>& recorder) {
        auto manager = LocationManager::create();
        manager->setDelegate(recorder);
        manager->startUpdatingLocation();
        return manager;
    }
    void startSessionWith(const std::shared_ptr<LocationManager>& manager) {
        VelkoraAppSettings::instance().setAppId(std::string(kApp));
        VelkoraServerApi::startSession(std::string(kApp), manager);
        ASSERT_TRUE(waitFor([] { return VelkoraServerClientAgent::instance().isSessionInitialized(); }));
        ASSERT_TRUE(waitForRequests("update", 1));
    }
    // Runs what the run loop holds now, without moving its clock.
    void drain() { loop().advance(0); }
};

} // namespace

TEST_F(LocationManagerTest, ServicesOffOrARefusalGiveFailureOneAndAnUnlocatedPoll) {
    struct Case {
        const char* name;
        bool servicesOn;
        PromptPolicy policy;
        bool asks; // whether the person sees the prompt
    };
    const Case cases[] = {
        {"services off", false, PromptPolicy::Grant, false},
        {"refused", true, PromptPolicy::Refuse, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Device::instance().resetForTests();
        Device::instance().update([&](services::DeviceProfile& p) {
            p.locationServicesEnabled = c.servicesOn;
            p.position = LocationFix{-36.8485, 174.7633};
            p.prompts[Prompt::Location] = c.policy;
        });
        auto recorder = std::make_shared<Recorder>();
        auto manager = started(recorder);
        drain();
        ASSERT_EQ(recorder->failures.size(), 1u);
        EXPECT_EQ(recorder->failures[0]->domain, services::kLocationErrorDomain);
        EXPECT_EQ(recorder->failures[0]->code, services::kLocationErrorDenied);
        EXPECT_TRUE(recorder->fixes.empty());
        EXPECT_FALSE(manager->location());
        EXPECT_EQ(LocationManager::authorizationStatus(),
                  c.asks ? AuthorizationStatus::Denied : AuthorizationStatus::NotDetermined);

        // Moving the device reaches nobody.
        EXPECT_TRUE(LocationManager::setFix(LocationFix{-41.2865, 174.7762}));
        drain();
        EXPECT_TRUE(recorder->fixes.empty());
        EXPECT_FALSE(manager->location());
    }

    // The refusal is remembered: another start fails without asking again.
    Device::instance().update([](services::DeviceProfile& p) { p.prompts[Prompt::Location] = PromptPolicy::Ask; });
    auto recorder = std::make_shared<Recorder>();
    auto manager = started(recorder);
    EXPECT_FALSE(Device::instance().isPromptWaiting(Prompt::Location));
    drain();
    ASSERT_EQ(recorder->failures.size(), 1u);
    EXPECT_EQ(recorder->failures[0]->code, services::kLocationErrorDenied);

    startSessionWith(manager);
    EXPECT_EQ(param(svc.requestsFor("update").at(0), "longitude"), "<absent>");
    EXPECT_EQ(param(svc.requestsFor("update").at(0), "latitude"), "<absent>");
}

TEST_F(LocationManagerTest, GrantedAtThePromptFixesArriveInOrderAndTheNextPollCarriesThem) {
    Device::instance().update([](services::DeviceProfile& p) {
        p.position = LocationFix{-36.8485, 174.7633};
        p.route = {{-36.85, 174.76}, {-36.86, 174.77}, {-36.87, 174.78}};
        p.routeInterval = 2;
    });
    auto recorder = std::make_shared<Recorder>();
    auto manager = started(recorder);
    // The first start asks, with the alert up, and nothing arrives until the person answers.
    ASSERT_TRUE(Device::instance().isPromptWaiting(Prompt::Location));
    drain();
    EXPECT_TRUE(recorder->fixes.empty());
    EXPECT_FALSE(manager->location());
    ASSERT_TRUE(Device::instance().answerPrompt(Prompt::Location, true));
    ASSERT_TRUE(waitFor([&] { return !recorder->fixes.empty(); }));
    EXPECT_EQ(recorder->statuses, std::vector{AuthorizationStatus::Authorized});
    EXPECT_EQ(recorder->fixes[0].latitude, -36.8485);
    EXPECT_EQ(LocationManager::authorizationStatus(), AuthorizationStatus::Authorized);

    // The route, one fix every two seconds of the run loop's clock.
    LocationManager::playRoute();
    drain();
    ASSERT_EQ(recorder->fixes.size(), 2u);
    loop().advance(1.9);
    EXPECT_EQ(recorder->fixes.size(), 2u);
    loop().advance(0.2);
    EXPECT_EQ(recorder->fixes.size(), 3u);
    loop().advance(10);
    ASSERT_EQ(recorder->fixes.size(), 4u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_DOUBLE_EQ(recorder->fixes[i + 1].latitude, -36.85 - 0.01 * double(i));
        EXPECT_DOUBLE_EQ(recorder->fixes[i + 1].longitude, 174.76 + 0.01 * double(i));
    }
    ASSERT_TRUE(manager->location());
    EXPECT_DOUBLE_EQ(manager->location()->latitude, -36.87);
    EXPECT_TRUE(recorder->failures.empty());

    // The kit's first poll sends where the device is; a fix past the interval is sent with the next one.
    startSessionWith(manager);
    const auto first = svc.requestsFor("update").at(0);
    EXPECT_EQ(param(first, "longitude"), "174.780000");
    EXPECT_EQ(param(first, "latitude"), "-36.870000");
    VelkoraServerApi::pause();
    ASSERT_TRUE(LocationManager::setFix(LocationFix{51.4779, -0.0015}));
    loop().advance(301);
    const size_t before = count("update");
    agent().doUpdate();
    ASSERT_TRUE(waitForRequests("update", before + 1));
    const auto next = svc.requestsFor("update").back();
    EXPECT_EQ(param(next, "longitude"), "-0.001500");
    EXPECT_EQ(param(next, "latitude"), "51.477900");

    // Stopped, the manager keeps its last fix and hears no more.
    manager->stopUpdatingLocation();
    const size_t heard = recorder->fixes.size();
    ASSERT_TRUE(LocationManager::setFix(LocationFix{10, 10}));
    drain();
    EXPECT_EQ(recorder->fixes.size(), heard);
    EXPECT_DOUBLE_EQ(manager->location()->latitude, 51.4779);
}

TEST_F(LocationManagerTest, ImpossibleFixesAreDroppedWithALogLine) {
    Device::instance().update([](services::DeviceProfile& p) {
        p.privacyAnswers[Prompt::Location] = true;
        p.position = LocationFix{48.8566, 2.3522};
    });
    auto recorder = std::make_shared<Recorder>();
    auto manager = started(recorder);
    drain();
    ASSERT_EQ(recorder->fixes.size(), 1u);
    const double nan = std::nan("");
    const LocationFix impossible[] = {
        {90.5, 0, 10}, {-91, 10, 10}, {0, 180.01, 10}, {10, -200, 10}, {nan, 10, 10}, {10, INFINITY, 10}, {10, 10, -1},
    };
    for (const auto& fix : impossible) {
        capture_->clear();
        EXPECT_FALSE(LocationManager::setFix(fix));
        EXPECT_TRUE(logged("Velkora (W) - Impossible location dropped"));
    }
    drain();
    EXPECT_EQ(recorder->fixes.size(), 1u);
    EXPECT_DOUBLE_EQ(manager->location()->latitude, 48.8566);
    EXPECT_DOUBLE_EQ(Device::instance().position()->longitude, 2.3522);
    // The edges of the Earth are places.
    EXPECT_TRUE(LocationManager::setFix(LocationFix{90, -180, 0}));
    drain();
    EXPECT_EQ(recorder->fixes.size(), 2u);

    // A device that loses its fix has none to give.
    EXPECT_TRUE(LocationManager::setFix(std::nullopt));
    EXPECT_FALSE(manager->location());
}
