// The social stand-ins against the real service over loopback HTTPS: the service on an ephemeral port
// whose Twitter pages hold two ids, the outside endpoints pointing at it, a device holding the seed's
// Twitter accounts, Facebook user and a mail account, and the run loop on its test clock.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "platform/foundation/Paths.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/services/Device.h"
#include "platform/services/MailOutbox.h"
#include "platform/services/OutsideEndpoints.h"
#include "platform/services/facebook/Dialogs.h"
#include "platform/services/facebook/Session.h"
#include "platform/ui/Application.h"
#include "velkora_service/Service.h"

namespace velkora::testing {

inline const services::TwitterAccount kDanaTwitter{"dana_velkora", "900000001", "900000001-dTk3vQ8mZp2LrX5aWc",
                                                   "sEcR3t-dana-velkora-7Yq2"};
inline const services::TwitterAccount kDanaGames{"dana_games", "900000002", "900000002-gM4nB7xKe1TzQ9hUv",
                                                 "sEcR3t-dana-games-4Wp8"};
inline const services::TwitterAccount kDanaWork{"dana_work", "900000003", "900000003-wR6cY2pLs8DfN3jAo",
                                                "sEcR3t-dana-work-1Kz5"};
inline constexpr const char* kFacebookAppId = "100000000000001";
inline constexpr const char* kDanaOnFacebook = "100009000000001";

class SocialTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ =
            std::filesystem::temp_directory_path() / ("velkora-social-" + std::to_string(::getpid()) + "-" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(root_);
        foundation::Paths::setRoot(root_.string());
        foundation::UserDefaults::standard().setFilePath((root_ / "velkora.userdefaults.json").string());
        service::ServiceOptions options;
        options.twitterPageSize = 2;
        service_ = std::make_unique<service::Service>(options);
        ASSERT_TRUE(service_->start());
        foundation::UrlConnection::setCaFile(service_->caFile());
        std::string base = service_->baseUrl();
        services::OutsideEndpoints::reset();
        services::OutsideEndpoints::setBase(services::OutsideEndpoints::Service::TwitterApi, base + "/twitter");
        services::OutsideEndpoints::setBase(services::OutsideEndpoints::Service::FacebookGraph, base + "/graph");
        loop().useTestClock();
        ui::Application::instance().resetForTests();
        services::Device::instance().resetForTests();
        services::Device::instance().update([](services::DeviceProfile& p) {
            p.twitterAccounts = {kDanaTwitter};
            p.facebookUser = services::FacebookUser{kDanaOnFacebook, "Dana Whitfield", "dana-facebook-password"};
            p.mailAccount = "dana@mail.velkora.example";
        });
        services::MailOutbox::instance().resetForTests();
        services::facebook::Session::resetForTests();
        services::facebook::Session::setDefaultAppID(kFacebookAppId);
        services::facebook::WebDialogs::setAvailable(true);
        services::facebook::NativeDialogs::setAvailable(true);
    }

    void TearDown() override {
        loop().runUntil([] { return foundation::UrlConnection::activeCount() == 0; }, 10);
        services::facebook::Session::resetForTests();
        services::Device::instance().resetForTests();
        ui::Application::instance().resetForTests();
        foundation::UrlConnection::closeIdleConnections();
        service_->stop();
        foundation::UrlConnection::setCaFile("");
        services::OutsideEndpoints::reset();
        loop().reset();
        foundation::Paths::reset();
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }

    static foundation::RunLoop& loop() { return foundation::RunLoop::main(); }
    bool waitFor(const std::function<bool()>& p) { return loop().runUntil(p, 20); }
    service::Service& service() { return *service_; }

private:
    std::filesystem::path root_;
    std::unique_ptr<service::Service> service_;
};

} // namespace velkora::testing
