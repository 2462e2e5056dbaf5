// The inbox, its system message screen and the new-message chooser against velkora-service: a fresh kit
// and service per test, a session for a new user, the screens registered, a stand-in chat screen that
// records whom it was opened with, and a host window with a navigation stack, all on the test clock.
#pragma once

#include <gtest/gtest.h>

#include <iostream>

#include "BuildPaths.h"
#include "VelkoraKitScreens.h"
#include "session/VelkoraChatsRepository.h"
#include "data/VelkoraUsersRepository.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/TouchRouter.h"
#include "platform/ui/Window.h"
#include "server/ServerClientFixture.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"
#include "session/VelkoraScreenRegistry.h"
#include "shell/VelkoraChatPartnerScreen.h"
#include "shell/VelkoraGeneralFeatureViewController.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "support/ScreenFixture.h"
#include "support/SnapshotCompare.h"

namespace velkora::testing {

struct InboxContainer : VelkoraGeneralFeatureViewControllerDelegate {
    int backs = 0;
    bool topPanelHidden = false;
    void didClickBack() override { ++backs; }
    void didClose() override {}
    void backToPanel() override {}
    bool isUsingPopover() override { return false; }
    bool isTopPanelHidden() override { return topPanelHidden; }
    bool isOpenedAsFeature() override { return true; }
};

// What the chat screen is opened with, standing in for the chat screen of another folder.
class RecordedChatScreen : public VelkoraGeneralFeatureViewController, public VelkoraChatPartnerScreen {
public:
    explicit RecordedChatScreen(VelkoraUserPtr user) : user_(std::move(user)) {}
    std::shared_ptr<VelkoraUserInternal> chatUser() const override { return user_; }

private:
    VelkoraUserPtr user_;
};

// A named stand-in for the log-in and sign-up screens.
class NamedScreen : public ui::ViewController {
public:
    explicit NamedScreen(std::string name) : name(std::move(name)) {}
    std::string name;
};

class InboxTest : public ServerClientTest {
protected:
    void SetUp() override {
        VelkoraChatsRepository::resetForTests();
        VelkoraUsersRepository::instance().reset();
        ServerClientTest::SetUp();
        ui::Application::instance().resetForTests();
        ui::InterfaceLoader::instance().reset();
        ui::Animator::reset();
        ui::TouchRouter::instance().reset();
        VelkoraDynamicFrameworkLoader::resetCachesForTests();
        VelkoraDynamicFrameworkLoader::setFrameworkPathTemplate(VELKORA_BUILD_FRAMEWORK_TEMPLATE);
        VelkoraStyleSheetCustomizer::resetForTests();
        VelkoraScreenRegistry::instance().resetForTests();
        registerKitScreens();
        auto& registry = VelkoraScreenRegistry::instance();
        registry.registerScreen("chat", [](const foundation::Value& arguments) -> std::shared_ptr<ui::ViewController> {
            return std::make_shared<RecordedChatScreen>(
                VelkoraScreenArguments::object1(arguments).asObject<VelkoraUserInternal>());
        });
        for (const char* name : {"login", "signup"})
            registry.registerScreen(name, [name](const foundation::Value&) -> std::shared_ptr<ui::ViewController> {
                return std::make_shared<NamedScreen>(name);
            });
        container_ = std::make_shared<InboxContainer>();
    }
    void TearDown() override {
        if (HasFailure())
            for (const auto& line : capture_->lines())
                std::cerr << line << "\n";
        loop().advance(5);
        nav_.reset();
        window_.reset();
        VelkoraScreenRegistry::instance().resetForTests();
        ui::TouchRouter::instance().reset();
        ui::Animator::reset();
        ui::Application::instance().resetForTests();
        ServerClientTest::TearDown();
        VelkoraChatsRepository::resetForTests();
        VelkoraUsersRepository::instance().reset();
    }

    std::string me() const { return *VelkoraServerClientAgent::instance().userId(); }

    // A session for a new user; with a name the user counts as signed in.
    void startUser(bool named = true) {
        startNewUser();
        loadMyData();
        if (!named) return;
        auto me = VelkoraAgentInternal::instance().velkoraUser();
        me->setFirstName(std::string("Vera"));
        me->setLastName(std::string("Viewer"));
        auto caller = std::make_shared<Caller>();
        VelkoraServerApi::setUserData(me, Caller::of(caller));
        ASSERT_TRUE(waitFor([&] { return !caller->answers.empty() || !caller->errors.empty(); }));
        ASSERT_TRUE(settle());
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
    // The chats repository once its list has arrived and nothing is in flight.
    VelkoraChatsRepository& loadedChats() {
        auto& repo = VelkoraChatsRepository::instance();
        EXPECT_TRUE(waitFor([&] { return repo.didFinishLoading(); }));
        EXPECT_TRUE(settle());
        return repo;
    }
    // Polls once now and waits until its reply has been handled.
    bool pollNow() {
        const size_t before = count("update");
        VelkoraServerApi::updateNow();
        return waitForRequests("update", before + 1) && settle();
    }

    void show(const std::shared_ptr<ui::ViewController>& screen) { showFullScreen(screen, container_, nav_, window_); }
    void settleScreen() {
        ASSERT_TRUE(settle());
        loop().advance(0.5);
        if (window_) window_->layoutIfNeeded();
    }
    std::shared_ptr<ui::ViewController> top() const { return nav_ ? nav_->topViewController() : nullptr; }

    void expectLooksLike(const std::string& name) {
        auto picture = ui::Snapshot::imageOfView(*window_);
        ASSERT_TRUE(picture);
        const std::string reference = std::string(VELKORA_TEST_DATA_DIR) + "/" + name + ".png";
        if (std::getenv("VELKORA_UPDATE_SNAPSHOTS")) {
            ASSERT_TRUE(picture->writePng(reference));
        }
        auto expected = ui::Image::fromFile(reference);
        ASSERT_TRUE(expected) << "missing reference " << reference;
        EXPECT_TRUE(looksLike(*picture, *expected))
            << name << " differs in " << shareOfPixelsDiffering(*picture, *expected, 48) << " of its pixels";
    }

    std::shared_ptr<InboxContainer> container_;
    std::shared_ptr<ui::NavigationController> nav_;
    std::shared_ptr<ui::Window> window_;
};

} // namespace velkora::testing
