// A fresh kit and a fresh velkora-service for each test: documents in a temporary folder, the run loop on
// its test clock, the server client pointed at the service over loopback HTTPS.
#pragma once

#include <gtest/gtest.h>
#include <velkora_service/Service.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/services/Device.h"
#include "platform/services/LocationManager.h"
#include "server/VelkoraCoordinate.h"
#include "server/VelkoraServerApi.h"
#include "server/VelkoraServerClientAgent.h"
#include "server/VelkoraServerEndpoint.h"
#include "server/utils/VelkoraLogEventsManager.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppSettings.h"
#include "data/VelkoraUserInfo.h"
#include <velkora_service/QueryText.h>

#include "support/KitReset.h"

namespace velkora::testing {

// A caller of the facade that records what it was answered.
struct Caller {
    std::vector<foundation::Value> answers;
    std::vector<foundation::ErrorPtr> errors;
    void answered(const foundation::Value& v) { answers.push_back(v); }
    void failed(const foundation::ErrorPtr& e) { errors.push_back(e); }
    static VelkoraCallback of(const std::shared_ptr<Caller>& c) {
        return VelkoraCallback(c, &Caller::answered, &Caller::failed);
    }
};

class ServerClientTest : public ::testing::Test {
protected:
    static constexpr const char* kApp = "A";

    void SetUp() override {
        char pattern[] = "/tmp/velkora-server-XXXXXX";
        root_ = mkdtemp(pattern);
        foundation::Paths::setRoot(root_);
        foundation::UserDefaults::standard().setFilePath(root_ + "/Documents/velkora.userdefaults.json");
        foundation::Bundle::main().setInfoDictionary(foundation::Value());
        VelkoraAgentInternal::resetForTests();
        VelkoraAppSettings::resetForTests();
        VelkoraServerClientAgent::resetForTests();
        resetKitStateForTests();
        VelkoraLogEventsManager::instance().takeLoggedEvents();
        services::Device::instance().resetForTests();
        services::LocationManager::resetForTests();
        if (!svc.running()) {
            ASSERT_TRUE(svc.start());
        }
        svc.clearRequests();
        svc.clearFaults();
        svc.setAppConfiguration(kApp, R"({"appName":"Test"})");
        foundation::UrlConnection::setCaFile(svc.caFile());
        VelkoraServerEndpoint::setServer(svc.endpoint());
        loop().useTestClock();
        capture_ = std::make_unique<foundation::Log::Capture>();
    }
    void TearDown() override {
        VelkoraServerClientAgent::resetForTests();
        resetKitStateForTests();
        loop().reset();
        foundation::UrlConnection::closeIdleConnections();
        foundation::UrlConnection::setCaFile("");
        VelkoraServerEndpoint::reset();
        services::LocationManager::resetForTests();
        services::Device::instance().resetForTests();
        capture_.reset();
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
        foundation::Paths::reset();
    }

    static foundation::RunLoop& loop() { return foundation::RunLoop::main(); }
    static VelkoraServerClientAgent& agent() { return VelkoraServerClientAgent::instance(); }
    bool waitFor(const std::function<bool()>& p) { return loop().runUntil(p, 20); }
    // The kit holding the user's data as the service answers it, as the session's start-up leaves it.
    void loadMyData() {
        auto caller = std::make_shared<Caller>();
        VelkoraServerApi::getUserData(Caller::of(caller));
        ASSERT_TRUE(waitFor([&] { return !caller->answers.empty() || !caller->errors.empty(); }));
        ASSERT_FALSE(caller->answers.empty());
        VelkoraAgentInternal::instance().setVelkoraUser(caller->answers[0].asObject<VelkoraUserInternal>());
        ASSERT_TRUE(VelkoraAgentInternal::instance().velkoraUser());
    }
    // Until nothing is in flight any more.
    bool settle() {
        return waitFor([] { return VelkoraServerClientAgent::instance().workingProtocolsWrappers().empty(); });
    }
    size_t count(const std::string& command) const { return svc.requestsFor(command).size(); }
    bool waitForRequests(const std::string& command, size_t n) {
        return waitFor([&] { return count(command) >= n; }) && settle();
    }
    // The parameters of a recorded request, in order.
    static std::string param(const service::RecordedRequest& r, const std::string& key) {
        auto q = r.query;
        std::string needle = "&" + key + "=";
        auto at = ("&" + q).find(needle);
        if (at == std::string::npos) return "<absent>";
        auto start = at + needle.size() - 1;
        auto end = q.find('&', start);
        return q.substr(start, end == std::string::npos ? std::string::npos : end - start);
    }
    // A location manager the person allowed, already updating; placeDevice moves the device it reads.
    static std::shared_ptr<services::LocationManager> grantedLocationManager() {
        services::Device::instance().update(
            [](services::DeviceProfile& p) { p.privacyAnswers[services::Prompt::Location] = true; });
        auto manager = services::LocationManager::create();
        manager->startUpdatingLocation();
        return manager;
    }
    // The device's place (longitude, latitude, as the kit sends them); none: the device lost its fix.
    static void placeDevice(std::optional<VelkoraCoordinate> at) {
        services::LocationManager::setFix(at ? std::optional(services::LocationFix{at->latitude, at->longitude})
                                             : std::nullopt);
    }
    // Starts the session for an empty record and waits for the user id and the first poll.
    void startNewUser() {
        VelkoraAppSettings::instance().setAppId(std::string(kApp));
        VelkoraServerApi::startSession(std::string(kApp), nullptr);
        ASSERT_TRUE(waitFor([] { return VelkoraServerClientAgent::instance().isSessionInitialized(); }));
        ASSERT_TRUE(waitForRequests("update", 1));
    }
    bool logged(const std::string& text) const { return capture_->contains(text); }
    // Asks for the user's data, which carries the service's clock. The service stamps whole seconds: the
    // kit's clock stands on the same whole second while the request runs, and a run that crossed into the
    // next second is made again. False when no run stayed within its second, or the request failed.
    bool getUserDataWithinOneSecond() {
        auto wallNow = [] {
            using namespace std::chrono;
            return duration_cast<duration<double>>(system_clock::now().time_since_epoch()).count();
        };
        for (int attempt = 0; attempt < 3; ++attempt) {
            double second = std::floor(wallNow());
            loop().useTestClock(second);
            auto caller = std::make_shared<Caller>();
            VelkoraServerApi::getUserData(Caller::of(caller));
            if (!waitFor([&] { return !caller->answers.empty() || !caller->errors.empty(); })) return false;
            if (!caller->errors.empty()) return false;
            if (std::floor(wallNow()) == second) return true;
        }
        return false;
    }

    service::Service svc;
    std::string root_;
    std::unique_ptr<foundation::Log::Capture> capture_;
};

} // namespace velkora::testing
