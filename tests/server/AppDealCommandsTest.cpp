// The app-deal command of the kit against velkora-service and its ad exchange interface.
#include "StoreFixture.h"
#include "server/VelkoraAdExchangeEndpoint.h"
#include "data/VelkoraAppData.h"

using namespace velkora;
using namespace velkora::testing;
using foundation::Value;

namespace {

void useVendor(int vendor) {
    VelkoraAgentInternal::instance().setAppData(
        VelkoraAppData::fromReply(Value(foundation::Dictionary{{"iosAppVendor", Value(vendor)}})));
}


}  // namespace

TEST_F(StoreTest, VendorsZeroAndThreeAskTheServiceForItsApps) {
    startDemoUser();
    for (int vendor : {0, 3}) {
        SCOPED_TRACE(vendor);
        useVendor(vendor);
        auto caller = std::make_shared<Caller>();
        VelkoraServerApi::getAppDeals(Caller::of(caller));
        ASSERT_TRUE(waitFor([&] { return caller->answers.size() == 1; }));
        EXPECT_EQ(lastQuery("getApps"), "command=getApps&clientType=1&build=2.5.7&appId=" + std::string(kDemo) +
                                            "&userId=" + userId_ + "&vendor=" + std::to_string(vendor));
        auto deals = objectsOf<VelkoraAppDeal>(caller->answers[0]);
        ASSERT_EQ(deals.size(), 3u);
        EXPECT_EQ(deals[0]->appDealId(), 1);
        EXPECT_EQ(deals[0]->name(), std::string("Starboard Sailing"));
        EXPECT_TRUE(deals[0]->isFree());
        EXPECT_FLOAT_EQ(deals[1]->rating(), 4.0f);
        EXPECT_EQ(deals[1]->impressionUrl(), std::string());
    }
    EXPECT_EQ(count("getads"), 0u);
}

TEST_F(StoreTest, VendorOneAsksTheExchangeOverHttpsAndKeepsOnlyUsableDeals) {
    startDemoUser();
    useVendor(1);
    svc.addAppDeal(kDemo, R"({"name":"No Tracker","icon":"https://i","description":"d","url":"https://u",
                             "trackingUrl":null,"installs":"1 - 2"})");
    svc.addAppDeal(kDemo, R"({"name":"Small","icon":"https://i","description":"d","url":"https://u",
                             "trackingUrl":"https://t","installs":"500","category":null})");
    auto user = std::make_shared<VelkoraUserInternal>();
    user->setAge(29);
    user->setGender(std::string("fe&male"));
    VelkoraAgentInternal::instance().setVelkoraUser(user);
    VelkoraAgentInternal::instance().setTestMode(true);

    auto caller = std::make_shared<Caller>();
    VelkoraServerApi::getAppDeals(Caller::of(caller));
    ASSERT_TRUE(waitFor([&] { return caller->answers.size() == 1; }));
    auto asked = svc.requestsFor("getads");
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].path, "/1.1/getads");
    EXPECT_EQ(untagged(asked[0]), "publisherId=418207553&productId=602915374&os=ios&type=VELKORA_TOOLBAR"
                                  "&subPublisherId=" + std::string(kDemo) + "&subProductId=" + std::string(kDemo) +
                                  "&adsNumber=10&age=29&gender=fe%26male&testMode=true");
    EXPECT_NE(asked[0].query.find("&crc="), std::string::npos);
    EXPECT_EQ(count("getApps"), 0u);

    auto deals = objectsOf<VelkoraAppDeal>(caller->answers[0]);
    ASSERT_EQ(deals.size(), 3u);  // the deal without a tracking address is left out
    EXPECT_EQ(deals[0]->name(), std::string("Starboard Sailing"));
    EXPECT_EQ(deals[0]->appDealId(), 0);
    EXPECT_EQ(deals[0]->downloads(), std::string("10,000+"));
    EXPECT_EQ(deals[0]->impressionUrl(), std::string("https://deals.velkora.example/starboard/seen"));
    EXPECT_EQ(deals[1]->downloads(), std::string("1,000+"));
    EXPECT_EQ(deals[2]->name(), std::string("Small"));
    EXPECT_FALSE(deals[2]->downloads());  // "500" has no range
    EXPECT_EQ(deals[2]->category(), std::string());

    // A user without an age or gender and no test mode: the optional parts are left out.
    VelkoraAgentInternal::instance().setVelkoraUser(std::make_shared<VelkoraUserInternal>());
    VelkoraAgentInternal::instance().setTestMode(false);
    VelkoraServerApi::getAppDeals(Caller::of(caller));
    ASSERT_TRUE(waitFor([&] { return caller->answers.size() == 2; }));
    EXPECT_EQ(lastQuery("getads").substr(lastQuery("getads").find("&adsNumber")), "&adsNumber=10");
}

TEST_F(StoreTest, TheExchangesRefusalWithAReasonIsAnErrorAndWithoutOneStillListsDeals) {
    startDemoUser();
    useVendor(1);
    struct Case {
        const char* reply;
        size_t deals;
        bool error;
    } cases[] = {
        {R"({"validResponse":false,"errorMessage":"No fill","adsDetails":[]})", 0, true},
        {R"({"validResponse":false,"errorMessage":null,"adsDetails":[{"title":"T","imageUrl":"i","description":"d",
            "clickUrl":"c","trackingUrl":"t","installs":null,"rating":null}]})", 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        svc.addFault({"getads", service::Fault::Kind::NotJson, c.reply});
        auto caller = std::make_shared<Caller>();
        VelkoraServerApi::getAppDeals(Caller::of(caller));
        ASSERT_TRUE(waitForRequests("getads", 1));
        svc.clearRequests();
        if (c.error) {
            EXPECT_TRUE(caller->answers.empty());
            EXPECT_TRUE(logged("Velkora (E) - Got error: No fill"));
        } else {
            ASSERT_EQ(caller->answers.size(), 1u);
            auto deals = objectsOf<VelkoraAppDeal>(caller->answers[0]);
            ASSERT_EQ(deals.size(), c.deals);
            EXPECT_EQ(deals[0]->downloads(), std::string());
            EXPECT_EQ(deals[0]->rating(), 0.0f);
        }
    }
}

TEST_F(StoreTest, OtherVendorsLogAndSendNothing) {
    startDemoUser();
    for (int vendor : {2, 4, -1}) {
        useVendor(vendor);
        auto caller = std::make_shared<Caller>();
        VelkoraServerApi::getAppDeals(Caller::of(caller));
        EXPECT_TRUE(logged("Velkora - getAppDeals: Unknown vendor (" + std::to_string(vendor) + "). Doing nothing"));
        EXPECT_TRUE(agent().workingProtocolsWrappers().empty());
        EXPECT_TRUE(caller->answers.empty());
    }
    EXPECT_EQ(count("getApps") + count("getads"), 0u);
}

TEST_F(StoreTest, AppDealsAskedBeforeTheSessionAreReplayed) {
    useVendor(0);
    auto caller = std::make_shared<Caller>();
    VelkoraServerApi::getAppDeals(Caller::of(caller));
    ASSERT_EQ(agent().pendingRequests().size(), 1u);
    EXPECT_EQ(agent().pendingRequests()[0]->type, VelkoraPendingType::kGetAppDeals);
    startDemoUser();
    ASSERT_TRUE(waitFor([&] { return caller->answers.size() == 1; }));
    EXPECT_EQ(objectsOf<VelkoraAppDeal>(caller->answers[0]).size(), 3u);
}

TEST(AdExchangeEndpoint, IsAlwaysReachedOverHttps) {
    struct Case {
        const char* configured;
        const char* url;
    } cases[] = {
        {"ads.example", "https://ads.example/1.1/getads"},
        {"http://ads.example:8080", "https://ads.example:8080/1.1/getads"},
        {"https://ads.example/", "https://ads.example/1.1/getads"},
        {"https://ads.example/1.1/getads", "https://ads.example/1.1/getads"},
    };
    for (const Case& c : cases) EXPECT_EQ(VelkoraAdExchangeEndpoint::urlFor(c.configured), c.url) << c.configured;
    VelkoraServerEndpoint::setServer(std::string("127.0.0.1:9443"));
    EXPECT_EQ(VelkoraAdExchangeEndpoint::url(), "https://127.0.0.1:9443/1.1/getads");  // the service's own host
    VelkoraAdExchangeEndpoint::setHost(std::string("http://exchange.example"));
    EXPECT_EQ(VelkoraAdExchangeEndpoint::url(), "https://exchange.example/1.1/getads");
    VelkoraAdExchangeEndpoint::reset();
    VelkoraServerEndpoint::reset();
}
