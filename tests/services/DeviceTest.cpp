// The simulated device: its JSON profile and the prompts through which the person holding it answers.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <thread>

#include "BuildPaths.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/FileIO.h"
#include "platform/foundation/RunLoop.h"
#include "platform/services/Device.h"
#include "platform/services/DeviceProfileFile.h"
#include "platform/ui/AlertView.h"

using namespace velkora;
using services::Device;
using services::Prompt;
using services::PromptPolicy;
namespace fs = std::filesystem;

namespace {

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override {
        Device::instance().resetForTests();
        loop().useTestClock();
        foundation::Bundle::main().setInfoDictionary(foundation::Value());
    }
    void TearDown() override {
        Device::instance().resetForTests();
        loop().reset();
    }
    static foundation::RunLoop& loop() { return foundation::RunLoop::main(); }
    bool waitFor(const std::function<bool()>& p) { return loop().runUntil(p, 10); }

    // Answers recorded as they arrive, with whether they arrived on the main thread.
    struct Answers {
        std::mutex mutex;
        std::vector<bool> granted;
        std::vector<bool> onMain;
        std::function<void(bool)> recorder() {
            return [this](bool g) {
                std::lock_guard lock(mutex);
                granted.push_back(g);
                onMain.push_back(loop().isLoopThread());
            };
        }
        size_t count() {
            std::lock_guard lock(mutex);
            return granted.size();
        }
    };
};

TEST_F(DeviceTest, TheDemoProfileDescribesAWholeDevice) {
    foundation::ErrorPtr error;
    auto profile = services::readDeviceProfile(std::string(VELKORA_TESTS_SOURCE_DIR) + "/../demo/device.json", &error);
    ASSERT_TRUE(profile) << (error ? error->description() : "");
    EXPECT_TRUE(profile->canMakePayments);
    ASSERT_TRUE(profile->storeAccount);
    ASSERT_TRUE(profile->mailAccount);
    ASSERT_FALSE(profile->twitterAccounts.empty());
    EXPECT_FALSE(profile->twitterAccounts[0].secret.empty());
    ASSERT_TRUE(profile->facebookUser);
    // The device signs in to its store account and to Facebook with a password of its own.
    EXPECT_FALSE(profile->storePassword.empty());
    EXPECT_FALSE(profile->facebookUser->password.empty());
    ASSERT_TRUE(profile->position);
    EXPECT_GE(profile->route.size(), 2u);
    // Contacts with several addresses, none, and a photo.
    bool several = false, none = false, photo = false;
    for (const auto& c : profile->contacts) {
        several |= c.emails.size() > 1;
        none |= c.emails.empty();
        photo |= !c.imageData.empty();
    }
    EXPECT_TRUE(several && none && photo);
    ASSERT_FALSE(profile->album.empty());
    EXPECT_EQ(profile->album[0].data.substr(1, 3), "PNG");
}

TEST_F(DeviceTest, AProfileReadsEveryFieldAndPicturesRelativeToItsFolder) {
    fs::path dir = fs::temp_directory_path() / ("velkora-device-" + std::to_string(::getpid()));
    fs::create_directories(dir / "pics");
    ASSERT_TRUE(foundation::writeFileAtomically((dir / "pics/ann.jpg").string(), "JPEGBYTES"));
    ASSERT_TRUE(foundation::writeFileAtomically((dir / "device.json").string(), R"({
        "locationServicesEnabled": false,
        "position": {"latitude": 45.5, "longitude": -73.25},
        "route": [{"latitude": 1, "longitude": 2}, {"latitude": 3, "longitude": 4, "horizontalAccuracy": 65}],
        "routeInterval": 2.5,
        "storeAccount": "buyer@example.com", "storePassword": "buyer pass", "canMakePayments": false,
        "mailAccount": "me@example.com",
        "twitterAccounts": [{"username": "ann", "identifier": "11", "token": "t", "secret": "s"}],
        "facebookUser": {"userId": "100001", "name": "Ann Lee", "password": "ann pass"},
        "contacts": [{"firstName": "Ann", "lastName": "Lee", "emails": ["a@x.org", "b@x.org"], "image": "pics/ann.jpg"}],
        "album": [{"name": "Beach", "file": "pics/ann.jpg"}],
        "cameraAvailable": false,
        "pushRegistration": {"granted": false, "deviceToken": ""},
        "prompts": {"contacts": "grant", "location": "refuse", "purchase": "ask"},
        "someFutureKey": 1
    })"));
    ASSERT_EQ(Device::instance().loadProfile((dir / "device.json").string()), nullptr);
    auto p = Device::instance().profile();
    EXPECT_FALSE(p.locationServicesEnabled);
    EXPECT_DOUBLE_EQ(p.position->longitude, -73.25);
    ASSERT_EQ(p.route.size(), 2u);
    EXPECT_DOUBLE_EQ(p.route[1].horizontalAccuracy, 65);
    EXPECT_DOUBLE_EQ(p.routeInterval, 2.5);
    EXPECT_EQ(p.storeAccount, "buyer@example.com");
    EXPECT_FALSE(Device::instance().canMakePayments());
    EXPECT_EQ(Device::instance().mailAccount(), "me@example.com");
    EXPECT_EQ(p.twitterAccounts.at(0).secret, "s");
    EXPECT_EQ(Device::instance().storePassword(), "buyer pass");
    EXPECT_EQ(p.facebookUser->name, "Ann Lee");
    EXPECT_EQ(p.facebookUser->password, "ann pass");
    EXPECT_EQ(p.contacts.at(0).emails, (std::vector<std::string>{"a@x.org", "b@x.org"}));
    EXPECT_EQ(p.contacts.at(0).imageData, "JPEGBYTES");
    EXPECT_EQ(p.album.at(0).data, "JPEGBYTES");
    EXPECT_FALSE(p.cameraAvailable);
    EXPECT_FALSE(p.pushRegistration.granted);
    EXPECT_EQ(Device::instance().promptPolicy(Prompt::Contacts), PromptPolicy::Grant);
    EXPECT_EQ(Device::instance().promptPolicy(Prompt::Location), PromptPolicy::Refuse);
    EXPECT_EQ(Device::instance().promptPolicy(Prompt::Photos), PromptPolicy::Ask);
    fs::remove_all(dir);
}

TEST_F(DeviceTest, ABadProfileIsRefusedWithItsReasonAndChangesNothing) {
    struct Case {
        const char* json;
        const char* reason;
    } cases[] = {
        {"{\"mailAccount\": ", "not JSON"},
        {"[1, 2]", "the profile is not an object"},
        {R"({"canMakePayments": "yes"})", "canMakePayments is not true or false"},
        {R"({"position": {"latitude": 91, "longitude": 0}})", "position has no valid latitude and longitude"},
        {R"({"route": [{"latitude": 10}]})", "a fix of route has no valid latitude and longitude"},
        {R"({"routeInterval": 0})", "routeInterval is not positive"},
        {R"({"twitterAccounts": {"username": "x"}})", "twitterAccounts is not a list"},
        {R"({"contacts": [{"emails": ["a@b.c", 7]}]})", "an e-mail address of a contact is not text"},
        {R"({"contacts": [{"image": "no/such/file.jpg"}]})", "image names a file that cannot be read"},
        {R"({"prompts": {"camera": "grant"}})", "prompts names an unknown prompt \"camera\""},
        {R"({"prompts": {"photos": "maybe"}})", "the prompt \"photos\" is not \"grant\", \"refuse\" or \"ask\""},
    };
    Device::instance().update([](services::DeviceProfile& p) { p.mailAccount = "kept@example.com"; });
    for (const auto& c : cases) {
        foundation::ErrorPtr error;
        EXPECT_FALSE(services::parseDeviceProfile(c.json, "/nonexistent", &error)) << c.json;
        ASSERT_TRUE(error) << c.json;
        EXPECT_EQ(error->domain, "VelkoraDeviceProfile");
        EXPECT_NE(error->userInfo["message"].toText().value_or("").find(c.reason), std::string::npos)
            << c.json << " gave " << error->description();
    }
    EXPECT_TRUE(Device::instance().loadProfile("/nonexistent/device.json"));
    EXPECT_EQ(Device::instance().mailAccount(), "kept@example.com");
}

TEST_F(DeviceTest, GrantedAndRefusedPromptsAnswerWithoutAnAlertAndPrivacyAnswersAreRemembered) {
    struct Case {
        Prompt kind;
        PromptPolicy policy;
        bool granted;
        bool remembered;
    } cases[] = {
        {Prompt::Contacts, PromptPolicy::Grant, true, true},
        {Prompt::Location, PromptPolicy::Refuse, false, true},
        {Prompt::Photos, PromptPolicy::Grant, true, true},
        {Prompt::TwitterAccounts, PromptPolicy::Refuse, false, true},
        {Prompt::Purchase, PromptPolicy::Grant, true, false},
        {Prompt::FacebookLogin, PromptPolicy::Refuse, false, false},
    };
    for (const auto& c : cases) {
        Device& device = Device::instance();
        device.setPromptPolicy(c.kind, c.policy);
        Answers answers;
        device.ask(c.kind, answers.recorder());
        EXPECT_FALSE(device.isPromptWaiting(c.kind));
        ASSERT_TRUE(waitFor([&] { return answers.count() == 1; })) << Device::promptName(c.kind);
        EXPECT_EQ(answers.granted[0], c.granted) << Device::promptName(c.kind);

        // The person changes nothing by being asked again: a remembered answer comes back at once even
        // where the device would now ask.
        device.setPromptPolicy(c.kind, PromptPolicy::Ask);
        device.ask(c.kind, answers.recorder());
        EXPECT_EQ(device.isPromptWaiting(c.kind), !c.remembered) << Device::promptName(c.kind);
        if (c.remembered) {
            ASSERT_TRUE(waitFor([&] { return answers.count() == 2; }));
            EXPECT_EQ(answers.granted[1], c.granted);
            EXPECT_EQ(device.authorizationStatus(c.kind),
                      c.granted ? services::AuthorizationStatus::Authorized : services::AuthorizationStatus::Denied);
        } else {
            EXPECT_EQ(device.authorizationStatus(c.kind), services::AuthorizationStatus::NotDetermined);
            EXPECT_TRUE(device.answerPrompt(c.kind, true));
            ASSERT_TRUE(waitFor([&] { return answers.count() == 2; }));
            EXPECT_TRUE(answers.granted[1]);
        }
    }
}

TEST_F(DeviceTest, AnAskingPromptShowsAnAlertAndATapAnswersEveryoneWaitingOnce) {
    foundation::Dictionary info;
    info.set("CFBundleDisplayName", foundation::Value("Demo"));
    foundation::Bundle::main().setInfoDictionary(foundation::Value(std::move(info)));
    Device& device = Device::instance();
    Answers answers;
    device.ask(Prompt::Photos, answers.recorder());
    device.ask(Prompt::Photos, answers.recorder()); // one alert for both
    loop().advance(0);
    auto alert = device.promptAlert(Prompt::Photos);
    ASSERT_TRUE(alert);
    EXPECT_TRUE(alert->isVisible());
    EXPECT_EQ(alert->title(), "\u201CDemo\u201D Would Like to Access Your Photos");
    EXPECT_EQ(alert->buttonTitleAtIndex(0), "Don't Allow");
    EXPECT_EQ(alert->buttonTitleAtIndex(1), "OK");
    EXPECT_EQ(answers.count(), 0u);

    alert->tapButtonAtIndex(1);
    EXPECT_FALSE(alert->isVisible());
    EXPECT_FALSE(device.isPromptWaiting(Prompt::Photos));
    // A late answer finds nothing waiting and answers no one a second time.
    EXPECT_FALSE(device.answerPrompt(Prompt::Photos, false));
    loop().advance(0);
    EXPECT_EQ(answers.granted, (std::vector<bool>{true, true}));
    EXPECT_EQ(answers.onMain, (std::vector<bool>{true, true}));
    EXPECT_EQ(device.authorizationStatus(Prompt::Photos), services::AuthorizationStatus::Authorized);

    // A purchase is asked afresh each time; its refusal is the cancel button.
    device.ask(Prompt::Purchase, answers.recorder(), {"Confirm Your In-App Purchase", "Buy 100 Coins?"});
    loop().advance(0);
    auto purchase = device.promptAlert(Prompt::Purchase);
    ASSERT_TRUE(purchase);
    EXPECT_EQ(purchase->message(), "Buy 100 Coins?");
    EXPECT_EQ(purchase->buttonTitleAtIndex(1), "Buy");
    purchase->tapButtonAtIndex(purchase->cancelButtonIndex());
    loop().advance(0);
    EXPECT_EQ(answers.granted.back(), false);
    EXPECT_EQ(answers.count(), 3u);
}

TEST_F(DeviceTest, AContactsReaderWaitingOnItsOwnThreadGetsTheAnswerWithoutBlockingTheAlert) {
    Device& device = Device::instance();
    std::promise<bool> answer;
    std::atomic<bool> answeredOnMain{true};
    // The reader asks from a background thread and blocks until the answer comes, as the address-book
    // reader does; the alert still shows on the main thread and the answer does not need it.
    std::thread reader([&] {
        std::promise<bool> inner;
        device.ask(Prompt::Contacts, [&](bool granted) {
            answeredOnMain = loop().isLoopThread();
            inner.set_value(granted);
        });
        answer.set_value(inner.get_future().get());
    });
    ASSERT_TRUE(waitFor([&] { return device.promptAlert(Prompt::Contacts) != nullptr; }));
    EXPECT_TRUE(device.promptAlert(Prompt::Contacts)->isVisible());
    EXPECT_TRUE(device.answerPrompt(Prompt::Contacts, false));
    EXPECT_FALSE(device.promptAlert(Prompt::Contacts));
    auto future = answer.get_future();
    reader.join();
    EXPECT_FALSE(future.get());
    EXPECT_FALSE(answeredOnMain);
    EXPECT_EQ(device.authorizationStatus(Prompt::Contacts), services::AuthorizationStatus::Denied);
}

TEST_F(DeviceTest, TheCameraHandsOutItsNextShotOnce) {
    Device& device = Device::instance();
    EXPECT_EQ(device.takeNextCameraShot(), std::nullopt);
    device.setNextCameraShot("SHOT");
    EXPECT_EQ(device.takeNextCameraShot(), "SHOT");
    EXPECT_EQ(device.takeNextCameraShot(), std::nullopt);
}

} // namespace
