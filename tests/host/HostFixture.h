// A host of the kit against velkora-service: the service and the test clock are set up as for the
// server client's tests; everything the host does goes through the public headers.
#pragma once

#include "server/ServerClientFixture.h"

#include "VelkoraKitScreens.h"
#include "platform/ui/Application.h"
#include "session/VelkoraScreenRegistry.h"
#include "velkora/Velkora.h"
#include "velkora/VelkoraFeatures.h"
#include "velkora/VelkoraMainLoop.h"
#include "velkora/VelkoraNotifications.h"

namespace velkora::testing {

class HostTest : public ServerClientTest {
protected:
    void SetUp() override {
        ServerClientTest::SetUp();
        ui::Application::instance().resetForTests();
        // As in a host's process: the kit's screens are registered by its first call, whatever an earlier
        // test in this process registered or forgot.
        VelkoraScreenRegistry::instance().resetForTests();
        registerKitScreens();
    }
    void TearDown() override {
        // The sidebar a test added goes with its host's window.
        VelkoraAgentInternal::instance().closeView();
        ui::Application::instance().resetForTests();
        VelkoraScreenRegistry::instance().resetForTests();
        ServerClientTest::TearDown();
    }
    // Starts as a new user and waits for the completion.
    void startAndComplete(const std::string& appId = kApp) {
        bool done = false;
        Velkora::initWithAppId(appId, [&] { done = true; });
        ASSERT_TRUE(waitFor([&] { return done; }));
        ASSERT_TRUE(settle());
    }
    // Every notification of a name, with its information, in order.
    struct Heard {
        std::vector<VelkoraNotificationInfo> infos;
        VelkoraObservation observation;
    };
    static std::unique_ptr<Heard> listen(const std::string& name) {
        auto heard = std::make_unique<Heard>();
        auto* raw = heard.get();
        heard->observation = observe(name, [raw](const VelkoraNotificationInfo& info) { raw->infos.push_back(info); });
        return heard;
    }
    static service::UserFields named(const std::string& first, const std::string& last = {}) {
        service::UserFields fields;
        fields.firstName = first;
        fields.lastName = last;
        return fields;
    }
    std::string me() const { return agent().userId().value_or(""); }
};

} // namespace velkora::testing
