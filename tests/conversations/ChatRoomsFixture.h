// The chat rooms against velkora-service: a fresh kit and service per test, a signed-in user whose data
// the kit holds, the application's chat settings, the screens registered, a host window with a
// navigation stack, and the ads folder's native ads fed by the service's ad network. All on the test clock.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <iostream>

#include "BuildPaths.h"
#include "VelkoraKitScreens.h"
#include "ads/VelkoraChatRoomsTopicNativeAppAdCell.h"
#include "ads/VelkoraNativeAdsController.h"
#include "conversations/VelkoraChatRoomsTopicViewController.h"
#include "conversations/VelkoraChatRoomsViewController.h"
#include "session/VelkoraChatRoomsTopicsRepository.h"
#include "platform/foundation/Bundle.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TouchRouter.h"
#include "platform/ui/Window.h"
#include "server/ServerClientFixture.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"
#include "data/VelkoraAppData.h"
#include "session/VelkoraScreenRegistry.h"
#include "data/VelkoraUserInfo.h"
#include "shell/VelkoraGeneralFeatureViewController.h"
#include "shell/VelkoraLazyImageView.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "support/ScreenFixture.h"
#include "support/SnapshotCompare.h"

namespace velkora::testing {

struct RoomsContainer : VelkoraGeneralFeatureViewControllerDelegate {
    int backs = 0;
    bool popover = false;
    void didClickBack() override { ++backs; }
    void didClose() override {}
    void backToPanel() override {}
    bool isUsingPopover() override { return popover; }
    bool isTopPanelHidden() override { return false; }
    bool isOpenedAsFeature() override { return true; }
};

class ChatRoomsTest : public ServerClientTest {
protected:
    void SetUp() override {
        ServerClientTest::SetUp();
        ui::Application::instance().resetForTests();
        ui::InterfaceLoader::instance().reset();
        ui::Animator::reset();
        ui::TouchRouter::instance().reset();
        ui::Keyboard::instance().reset();
        VelkoraDynamicFrameworkLoader::resetCachesForTests();
        VelkoraDynamicFrameworkLoader::setFrameworkPathTemplate(VELKORA_BUILD_FRAMEWORK_TEMPLATE);
        VelkoraStyleSheetCustomizer::resetForTests();
        VelkoraScreenRegistry::instance().resetForTests();
        VelkoraChatRoomsTopicsRepository::resetForTests();
        registerKitScreens();
        VelkoraNativeAdsController::resetForTests();
        // The ad network serves the application's one promotion, looked up in the store stand-in.
        svc.addAppDeal(kApp, R"({"name":"Puzzle Quest","description":"Slide the tiles and free the gems.",
            "developer":"Tile Works"})");
        container_ = std::make_shared<RoomsContainer>();
        configure();
    }
    void TearDown() override {
        if (HasFailure())
            for (const auto& line : capture_->lines())
                std::cerr << line << "\n";
        loop().advance(5);
        nav_.reset();
        window_.reset();
        VelkoraNativeAdsController::resetForTests();
        VelkoraChatRoomsTopicsRepository::resetForTests();
        VelkoraScreenRegistry::instance().resetForTests();
        ui::Keyboard::instance().reset();
        ui::TouchRouter::instance().reset();
        ui::Animator::reset();
        ui::Application::instance().resetForTests();
        ui::Device::current().setUserInterfaceIdiom(ui::UserInterfaceIdiom::Phone);
        ui::Screen::main().setBounds({0, 0, 320, 568});
        ServerClientTest::TearDown();
    }

    // The application's chat settings, as the service sends them and the kit keeps them.
    void configure(bool topNewest = false, int pageSize = 20, int adsPerPeriod = 0, int adsPeriod = 0,
                   bool autoPost = true) {
        std::string json = std::string(R"({"appName":"Test","leadingColor":"2D7FF9","chatroomTopNewest":)") +
                           (topNewest ? "true" : "false") + ",\"maxMessagesPerUpdate\":" + std::to_string(pageSize) +
                           ",\"autoPostCommented\":" + (autoPost ? "true" : "false") +
                           ",\"topicAds\":[{\"type\":0,\"position\":2},{\"type\":0,\"position\":5}]";
        if (adsPerPeriod > 0)
            json += ",\"adData\":{\"numAdsInTimeFrame\":" + std::to_string(adsPerPeriod) +
                    ",\"timeFrame\":" + std::to_string(adsPeriod) + "}";
        json += "}";
        svc.setAppConfiguration(kApp, json);
        auto data = VelkoraAgentInternal::instance().getAppData();
        if (!data) {
            data = std::make_shared<VelkoraAppData>();
            VelkoraAgentInternal::instance().setAppData(data);
        }
        data->setChatroomTopNewest(topNewest);
        data->setMaxMessagesPerUpdate(pageSize);
        data->setNAdsPerPeriod(adsPerPeriod);
        data->setAdsPeriodSecs(adsPeriod);
        data->setAutoPostCommented(autoPost);
    }

    void startSignedIn(const std::string& firstName = "Vera", const std::string& lastName = "Viewer") {
        VelkoraAgentInternal::instance().initUserInfo(kApp);
        startNewUser();
        me_ = *VelkoraServerClientAgent::instance().userId();
        loadMyData();
        auto me = VelkoraAgentInternal::instance().velkoraUser();
        me->setFirstName(firstName);
        me->setLastName(lastName);
        auto caller = std::make_shared<Caller>();
        VelkoraServerApi::setUserData(me, Caller::of(caller));
        ASSERT_TRUE(waitFor([&] { return !caller->answers.empty() || !caller->errors.empty(); }));
        ASSERT_TRUE(settle());
    }
    // Another user of the application, with a name.
    std::string otherUser(const std::string& first, const std::string& last) {
        service::UserFields f;
        f.firstName = first;
        f.lastName = last;
        return svc.createUser(kApp, f);
    }

    VelkoraChatRoomsTopicsRepository& repository() { return VelkoraChatRoomsTopicsRepository::instance(); }
    // The repository's first list, as the session's start-up asks for it.
    void loadTopics() {
        repository();
        ASSERT_TRUE(waitFor([&] { return repository().didFinishLoading(); }));
        ASSERT_TRUE(settle());
    }

    void show(const std::shared_ptr<ui::ViewController>& screen) { showFullScreen(screen, container_, nav_, window_); }
    std::shared_ptr<VelkoraChatRoomsTopicViewController> openTopic(int64_t topicId) {
        auto screen = VelkoraChatRoomsTopicViewController::initWithTopic(repository().getTopicById(int32_t(topicId)));
        show(screen);
        return screen;
    }
    // Until the screen shows its comments: the reply merged, the header's content loaded.
    bool topicShown(const std::shared_ptr<VelkoraChatRoomsTopicViewController>& screen, size_t comments) {
        bool ok = waitAdvancing([&] {
            return screen->alreadyGotTopic() && screen->activeComments().size() == comments &&
                   screen->commentsTableView() && !screen->commentsTableView()->isHidden();
        });
        if (window_) window_->layoutIfNeeded();
        if (!ok)
            ADD_FAILURE() << "topic " << (screen->topic() ? screen->topic()->topicId() : -1) << ", asked "
                          << screen->askedForComments() << ", answered " << screen->alreadyGotTopic() << ", comments "
                          << screen->activeComments().size() << ", table hidden "
                          << (screen->commentsTableView() ? screen->commentsTableView()->isHidden() : true);
        return ok;
    }
    // The poll, now, and until what it brought has run.
    void poll() {
        const size_t before = count("update");
        VelkoraServerApi::updateNow();
        ASSERT_TRUE(waitForRequests("update", before + 1));
        loop().advance(0.1);
    }
    bool waitAdvancing(const std::function<bool()>& p, int seconds = 120) {
        for (int i = 0; i < seconds; ++i) {
            if (loop().runUntil(p, 0.2)) return true;
            loop().advance(1.0);
        }
        return p();
    }
    std::vector<int64_t> shownIds(const VelkoraChatRoomsTopicViewController& screen) const {
        std::vector<int64_t> ids;
        for (const auto& c : screen.activeComments())
            ids.push_back(c->commentId());
        return ids;
    }

    static bool allLoaded(ui::View& view) {
        // A picture on its way may show a stand-in (an ad's icon shows a spinner): it is not there yet.
        if (auto* lazy = dynamic_cast<VelkoraLazyImageView*>(&view)) {
            if (lazy->isLoading()) return false;
            if (lazy->cachedImageFetcher() && !lazy->imageLoaded() && !lazy->image()) return false;
        }
        for (const auto& sub : view.subviews())
            if (!allLoaded(*sub)) return false;
        return true;
    }
    bool picturesLoaded() {
        bool done = waitFor([] {
            if (foundation::UrlConnection::activeCount() != 0) return false;
            for (const auto& w : ui::Application::instance().windows())
                if (!allLoaded(*w)) return false;
            return true;
        });
        loop().advance(0.5);
        if (window_) window_->layoutIfNeeded();
        return done;
    }
    void expectLooksLike(const std::string& name) {
        auto picture = ui::Snapshot::imageOfScreen();
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
    static void becomeTablet() {
        ui::Device::current().setUserInterfaceIdiom(ui::UserInterfaceIdiom::Pad);
        ui::Screen::main().setBounds({0, 0, 768, 1024});
    }
    static std::string text(const char* key) { return foundation::Bundle::main().localizedString(key); }

    std::string me_;
    std::shared_ptr<RoomsContainer> container_;
    std::shared_ptr<ui::NavigationController> nav_;
    std::shared_ptr<ui::Window> window_;
};

} // namespace velkora::testing
