// The shared interface pieces against velkora-service: a session started for a new user, at a place
// when the test gives one, with the application's configuration as the service serves it.
#pragma once

#include "server/ServerClientFixture.h"

namespace velkora::testing {

class ShellServiceTest : public ServerClientTest {
protected:
    // Starts the session (at `at` when given) and waits for the user id and the first poll.
    void startAt(std::optional<VelkoraCoordinate> at) {
        auto manager = grantedLocationManager();
        placeDevice(at);
        VelkoraAppSettings::instance().setAppId(std::string(kApp));
        VelkoraServerApi::startSession(std::string(kApp), manager);
        ASSERT_TRUE(waitFor([] { return VelkoraServerClientAgent::instance().isSessionInitialized(); }));
        ASSERT_TRUE(waitForRequests("update", 1));
    }
    // The service's configuration replaced, and read by the kit as it reads it at start-up.
    void serveConfiguration(const std::string& json) {
        svc.setAppConfiguration(kApp, json);
        auto caller = std::make_shared<Caller>();
        VelkoraServerApi::getAppData(Caller::of(caller));
        ASSERT_TRUE(waitFor([&] { return !caller->answers.empty() || !caller->errors.empty(); }));
        ASSERT_TRUE(caller->errors.empty());
        ASSERT_TRUE(settle());
    }
};

} // namespace velkora::testing
