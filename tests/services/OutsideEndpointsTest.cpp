// Where the outside services are found: set outright, else the environment, else the information
// dictionary, else the stand-in on the service's host; always over HTTPS.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/foundation/Bundle.h"
#include "platform/services/OutsideEndpoints.h"
#include "server/VelkoraAdExchangeEndpoint.h"
#include "server/VelkoraServerEndpoint.h"

using namespace velkora;
using services::OutsideEndpoints;
using Service = OutsideEndpoints::Service;

namespace {

class OutsideEndpointsTest : public ::testing::Test {
protected:
    void SetUp() override { clear(); }
    void TearDown() override { clear(); }
    static void clear() {
        VelkoraServerEndpoint::handOverServiceHost();
        OutsideEndpoints::reset();
        VelkoraServerEndpoint::reset();
        foundation::Bundle::main().setInfoDictionary(foundation::Value());
        for (Service s : OutsideEndpoints::kAll)
            unsetenv(OutsideEndpoints::environmentName(s).c_str());
    }
};

TEST_F(OutsideEndpointsTest, EachServiceResolvesInItsOwnOrder) {
    struct Case {
        Service service;
        const char* environment;
        const char* infoKey;
        const char* standIn; // on the service's host
    } cases[] = {
        {Service::Store, "VELKORA_STORE", "VelkoraStore", "https://127.0.0.1:9443/store"},
        {Service::TwitterApi, "VELKORA_TWITTER_API", "VelkoraTwitterApi", "https://127.0.0.1:9443/twitter"},
        {Service::FacebookGraph, "VELKORA_FACEBOOK_GRAPH", "VelkoraFacebookGraph", "https://127.0.0.1:9443/graph"},
        {Service::StoreLookup, "VELKORA_STORE_LOOKUP", "VelkoraStoreLookup", "https://127.0.0.1:9443/appstore"},
        {Service::AdNetwork, "VELKORA_AD_NETWORK", "VelkoraAdNetwork", "https://127.0.0.1:9443/adnet"},
        {Service::VideoService, "VELKORA_VIDEO_SERVICE", "VelkoraVideoService", "https://127.0.0.1:9443/video"},
        {Service::AdExchange, "VELKORA_AD_EXCHANGE", "VelkoraAdExchange", "https://127.0.0.1:9443"},
    };
    VelkoraServerEndpoint::setServer(std::string("127.0.0.1:9443"));
    for (const auto& c : cases) {
        clear();
        VelkoraServerEndpoint::setServer(std::string("127.0.0.1:9443"));
        EXPECT_EQ(OutsideEndpoints::environmentName(c.service), c.environment);
        EXPECT_EQ(OutsideEndpoints::infoKey(c.service), c.infoKey);
        EXPECT_EQ(OutsideEndpoints::base(c.service), c.standIn);

        // The information dictionary beats the stand-in; a plain-HTTP address is taken as HTTPS.
        foundation::Dictionary info;
        info.set(c.infoKey, foundation::Value("http://info.example/base/"));
        foundation::Bundle::main().setInfoDictionary(foundation::Value(std::move(info)));
        EXPECT_EQ(OutsideEndpoints::base(c.service), "https://info.example/base") << c.infoKey;

        // The environment beats the dictionary; a bare host gets HTTPS.
        setenv(c.environment, "env.example:8443", 1);
        EXPECT_EQ(OutsideEndpoints::base(c.service), "https://env.example:8443") << c.environment;

        // A base set outright beats everything, and no other service moves with it.
        OutsideEndpoints::setBase(c.service, std::string("https://set.example/v2"));
        EXPECT_EQ(OutsideEndpoints::base(c.service), "https://set.example/v2");
        EXPECT_EQ(OutsideEndpoints::url(c.service, "users/show.json"), "https://set.example/v2/users/show.json");
        EXPECT_EQ(OutsideEndpoints::url(c.service, "/me"), "https://set.example/v2/me");
        for (Service other : OutsideEndpoints::kAll) {
            if (other != c.service) {
                EXPECT_NE(OutsideEndpoints::base(other), "https://set.example/v2");
            }
        }

        OutsideEndpoints::setBase(c.service, std::nullopt);
        EXPECT_EQ(OutsideEndpoints::base(c.service), "https://env.example:8443");
    }
}

TEST_F(OutsideEndpointsTest, TheStandInsFollowTheServiceWhereverItMoves) {
    VelkoraServerEndpoint::setServer(std::string("https://10.1.2.3:7000/VelkoraServer2/api"));
    EXPECT_EQ(OutsideEndpoints::base(Service::TwitterApi), "https://10.1.2.3:7000/twitter");
    EXPECT_EQ(VelkoraAdExchangeEndpoint::url(), "https://10.1.2.3:7000/1.1/getads");
    VelkoraServerEndpoint::setServer(std::string("svc.example"));
    EXPECT_EQ(OutsideEndpoints::base(Service::Store), "https://svc.example/store");
    // The exchange's own setting is the AdExchange base.
    VelkoraAdExchangeEndpoint::setHost(std::string("http://ads.example/"));
    EXPECT_EQ(OutsideEndpoints::base(Service::AdExchange), "https://ads.example");
    EXPECT_EQ(VelkoraAdExchangeEndpoint::url(), "https://ads.example/1.1/getads");
}

TEST_F(OutsideEndpointsTest, NoAddressLeavesOverAnythingButHttps) {
    struct Case {
        const char* given;
        const char* base;
    } cases[] = {
        {"http://a.example", "https://a.example"},    {"HTTPS://b.example/", "https://b.example"},
        {"ftp://c.example/x", "https://c.example/x"}, {"d.example:1/y//", "https://d.example:1/y"},
        {"https://e.example", "https://e.example"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(OutsideEndpoints::normalized(c.given), c.base) << c.given;
}

} // namespace
