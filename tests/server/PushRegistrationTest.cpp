// The registration for remote notifications that follows the first user id, and the device's answer as
// a host forwards it to the kit: a token reaches the service, a refusal is only logged.
#include "CommandTestSupport.h"
#include "platform/ui/Application.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

class PushRegistrationTest : public CommandTest {
protected:
    void SetUp() override {
        CommandTest::SetUp();
        app().resetForTests();
        forwardAnswersToTheKit();
    }
    void TearDown() override {
        app().resetForTests();
        CommandTest::TearDown();
    }
    static ui::Application& app() { return ui::Application::instance(); }
    // A host whose application delegate forwards both answers to the kit.
    static void forwardAnswersToTheKit() {
        app().setRemoteNotificationDelegate(
            [](const std::vector<uint8_t>& token) {
                VelkoraAgentInternal::didRegisterForRemoteNotificationsWithDeviceToken(token);
            },
            [](const foundation::ErrorPtr& error) {
                VelkoraAgentInternal::didFailToRegisterForRemoteNotificationsWithError(error);
            });
    }
    // Starts a session for a new user; nothing registers before its id is known.
    void start() {
        VelkoraAppSettings::instance().setAppId(std::string(kApp));
        VelkoraServerApi::startSession(std::string(kApp), nullptr);
        EXPECT_TRUE(app().remoteNotificationRegistrations().empty());
        ASSERT_TRUE(waitFor([] { return VelkoraServerClientAgent::instance().isSessionInitialized(); }));
        EXPECT_EQ(app().remoteNotificationRegistrations(), std::vector<int>{7}); // badge, sound, alert
    }
};

} // namespace

TEST_F(PushRegistrationTest, TheFirstUserIdRegistersAndTheTokenReachesTheService) {
    app().setRemoteNotificationAnswer({0xfb, 0xef, 0xff, 0x01, 0x3e}); // "++//AT4=" in Base64
    start();
    ASSERT_TRUE(waitForRequests("setDeviceToken", 1));
    EXPECT_EQ(param(svc.requestsFor("setDeviceToken")[0], "deviceToken"), "%2B%2B//AT4%3D");
    EXPECT_EQ(app().enabledRemoteNotificationTypes(), 7);
    auto info = VelkoraAgentInternal::instance().getUserInfo();
    EXPECT_TRUE(waitFor([&] { return info->deviceToken() == std::optional<std::string>("++//AT4="); }));
}

TEST_F(PushRegistrationTest, ARefusalIsLoggedAndTheSessionGoesOn) {
    struct Case {
        const char* name;
        foundation::ErrorPtr refusal; // null: the device was given no answer at all
        const char* logged;
    };
    const Case cases[] = {
        {"refused",
         foundation::makeError(
             "RemoteNotificationErrorDomain", 3000,
             foundation::Value(foundation::Dictionary{{"NSLocalizedDescription", "no valid entitlement"}})),
         "no valid entitlement"},
        {"no answer", nullptr, "not supported on this device"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VelkoraServerClientAgent::resetForTests();
        foundation::Paths::setRoot(root_ + "/" + c.name); // a device that never ran the kit
        VelkoraAgentInternal::resetForTests();
        app().resetForTests();
        forwardAnswersToTheKit();
        if (c.refusal) app().setRemoteNotificationFailure(c.refusal);
        svc.clearRequests();
        capture_->clear();
        start();
        ASSERT_TRUE(waitFor([&] { return logged("Velkora - Failed registrating for push notification: "); }));
        EXPECT_TRUE(logged(c.logged));
        EXPECT_EQ(app().enabledRemoteNotificationTypes(), 0);
        // The session polls and answers as ever; no token was sent.
        const size_t polls = count("update");
        VelkoraServerApi::updateNow();
        ASSERT_TRUE(waitForRequests("update", polls + 1));
        auto caller = answered([](VelkoraCallback cb) { VelkoraServerApi::getUserData(std::move(cb)); });
        EXPECT_EQ(caller->answers.size(), 1u);
        EXPECT_EQ(count("setDeviceToken"), 0u);
    }
}
