// The getAppData request and its reply branch against velkora-service.
#include "ServerClientFixture.h"
#include "data/VelkoraAppData.h"

using namespace velkora;
using namespace velkora::testing;

TEST_F(ServerClientTest, AppDataIsAskedWithTheHeldChangeNumberAndAReplyReplacesTheRecord) {
    VelkoraAgentInternal::instance().initAppData(kApp);
    VelkoraServerApi::setUserId(std::nullopt);
    agent().setAppId(std::string(kApp));
    auto caller = std::make_shared<Caller>();
    // getAppData never waits for the user.
    VelkoraServerApi::getAppData(Caller::of(caller));
    ASSERT_TRUE(waitFor([&] { return caller->answers.size() == 1; }));
    auto first = svc.requestsFor("getAppData").at(0);
    EXPECT_EQ(first.query.substr(0, first.query.find("&ts=")),
              "command=getAppData&clientType=1&build=2.5.7&appId=A&changeNumber=0&v=15");
    auto record = caller->answers[0].asObject<VelkoraAppData>();
    ASSERT_TRUE(record);
    EXPECT_EQ(VelkoraAgentInternal::instance().getAppData(), record);
    EXPECT_EQ(record->appName(), std::string("Test"));
    int32_t held = record->changeNumber();
    EXPECT_EQ(held, svc.appChangeNumber(kApp));

    // The service answers a current copy with a null "appData": the record stays and the caller gets null.
    VelkoraServerApi::getAppData(Caller::of(caller));
    ASSERT_TRUE(waitFor([&] { return caller->answers.size() == 2; }));
    EXPECT_EQ(param(svc.requestsFor("getAppData").at(1), "changeNumber"), std::to_string(held));
    EXPECT_TRUE(caller->answers[1].isNull());
    EXPECT_EQ(VelkoraAgentInternal::instance().getAppData(), record);
}

TEST_F(ServerClientTest, AppDataWithoutAppIdSendsOnlyTheDiagnostic) {
    auto caller = std::make_shared<Caller>();
    VelkoraServerApi::getAppData(Caller::of(caller));
    EXPECT_TRUE(logged("Velkora - getAppData: AppId not set"));
    ASSERT_TRUE(waitForRequests("dumpAppPlist", 1));
    EXPECT_EQ(svc.requestsFor("dumpAppPlist")[0].query.substr(0, svc.requestsFor("dumpAppPlist")[0].query.find("&ts=")),
              "command=dumpAppPlist&appId=ERROR&userId=ERROR&appData=getAppData-no-appId&v=2");
    EXPECT_EQ(count("getAppData"), 0u);
    EXPECT_TRUE(caller->answers.empty() && caller->errors.empty());
}
