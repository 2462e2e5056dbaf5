// Stickers and feedback against velkora-service's demo application (its sticker packs, the store's
// products): a fresh kit and service per test, the session's user known, the screens registered, a host
// window to show them in, the device's store account, all on the test clock.
#pragma once

#include <gtest/gtest.h>

#include <iostream>

#include "BuildPaths.h"
#include "VelkoraKitScreens.h"
#include "conversations/VelkoraEnhancedKeyboardView.h"
#include "conversations/VelkoraStickerPackStatusManager.h"
#include "platform/services/Device.h"
#include "platform/services/Store.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/TouchRouter.h"
#include "platform/ui/Window.h"
#include "server/StoreFixture.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"
#include "session/VelkoraScreenRegistry.h"
#include "shell/VelkoraGeneralFeatureViewController.h"
#include "shell/VelkoraLazyImageView.h"
#include "shell/VelkoraStyleSheetCustomizer.h"
#include "support/SnapshotCompare.h"

namespace velkora::testing {

struct StickerContainer : VelkoraGeneralFeatureViewControllerDelegate {
    int backs = 0, closes = 0, backToPanels = 0;
    bool popover = false;
    void didClickBack() override { ++backs; }
    void didClose() override { ++closes; }
    void backToPanel() override { ++backToPanels; }
    bool isUsingPopover() override { return popover; }
    bool isTopPanelHidden() override { return false; }
    bool isOpenedAsFeature() override { return true; }
};

class StickerTest : public StoreTest {
protected:
    static constexpr const char* kStoreAccount = "buyer@store.example";

    void SetUp() override {
        StoreTest::SetUp();
        ui::Application::instance().resetForTests();
        ui::InterfaceLoader::instance().reset();
        ui::Animator::reset();
        ui::TouchRouter::instance().reset();
        VelkoraDynamicFrameworkLoader::resetCachesForTests();
        VelkoraDynamicFrameworkLoader::setFrameworkPathTemplate(VELKORA_BUILD_FRAMEWORK_TEMPLATE);
        VelkoraStyleSheetCustomizer::resetForTests();
        VelkoraScreenRegistry::instance().resetForTests();
        VelkoraStickerPackStatusManager::resetForTests();
        VelkoraServerEndpoint::handOverServiceHost();
        services::Device::instance().update([](services::DeviceProfile& p) { p.storeAccount = kStoreAccount; });
        services::Device::instance().setPromptPolicy(services::Prompt::Purchase, services::PromptPolicy::Grant);
        services::PaymentQueue::defaultQueue().resetForTests();
        registerKitScreens();
        container_ = std::make_shared<StickerContainer>();
    }
    void TearDown() override {
        if (HasFailure())
            for (const auto& line : capture_->lines())
                std::cerr << line << "\n";
        loop().advance(5);
        nav_.reset();
        window_.reset();
        VelkoraStickerPackStatusManager::resetForTests();
        services::PaymentQueue::defaultQueue().resetForTests();
        VelkoraScreenRegistry::instance().resetForTests();
        ui::TouchRouter::instance().reset();
        ui::Animator::reset();
        ui::Application::instance().resetForTests();
        ui::Device::current().setUserInterfaceIdiom(ui::UserInterfaceIdiom::Phone);
        ui::Screen::main().setBounds({0, 0, 320, 568});
        StoreTest::TearDown();
    }

    // A session for a new user of the demo application whose data the kit holds, with the record's packs
    // made as the session makes them.
    void startWithUserData() {
        VelkoraAgentInternal::instance().initUserInfo(kDemo);
        startDemoUser();
        auto caller = std::make_shared<Caller>();
        VelkoraServerApi::getUserData(Caller::of(caller));
        ASSERT_TRUE(waitFor([&] { return !caller->answers.empty() || !caller->errors.empty(); }));
        ASSERT_FALSE(caller->answers.empty());
        VelkoraAgentInternal::instance().setVelkoraUser(caller->answers[0].asObject<VelkoraUserInternal>());
        VelkoraAgentInternal::instance().updateStickerPacksInfo();
        ASSERT_TRUE(settle());
    }
    std::shared_ptr<VelkoraUserInfo> record() const { return VelkoraAgentInternal::instance().userInfo(); }
    // A pack as the store list gives it, with `n` of the seeded pictures of a folder of the service.
    VelkoraStickerPackPtr makePack(int32_t id, int n, const std::string& folder = "doodles",
                                   const std::string& productId = {}) {
        auto pack = std::make_shared<VelkoraStickerPack>();
        pack->setPackId(id);
        pack->setTitle("Pack " + std::to_string(id));
        pack->setSubtitle(std::string("Stickers for tests"));
        if (!productId.empty()) pack->setProductId(productId);
        pack->setIcon(svc.baseUrl() + "/pictures/stickers/" + folder + "/icon.png");
        for (int i = 0; i < n; ++i) {
            auto s = std::make_shared<VelkoraSticker>();
            s->setStickerId(id * 100 + i);
            s->setUrl(svc.baseUrl() + "/pictures/stickers/" + folder + "/" + std::to_string(i % 13 + 1) + ".png");
            pack->mutableStickers().push_back(s);
        }
        return pack;
    }
    void putInRecord(const VelkoraStickerPackPtr& pack) {
        auto map = record()->stickerPacksMap().value_or(VelkoraUserInfo::StickerPacksMap{});
        map[pack->packId()] = pack;
        record()->setStickerPacksMap(std::move(map));
    }

    void show(const std::shared_ptr<ui::ViewController>& screen) {
        if (auto feature = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(screen))
            feature->setFeatureTabDelegate(container_);
        nav_ = ui::NavigationController::create(screen);
        nav_->setNavigationBarHidden(true);
        window_ = ui::Window::createFullScreen();
        window_->setRootViewController(nav_);
        window_->makeKeyAndVisible();
        window_->layoutIfNeeded();
        loop().advance(0.5);
    }
    void settleScreen() {
        ASSERT_TRUE(settle());
        loop().advance(0.1);
        if (window_) window_->layoutIfNeeded();
    }
    bool waitAdvancing(const std::function<bool()>& p, int seconds = 120) {
        for (int i = 0; i < seconds; ++i) {
            if (loop().runUntil(p, 0.2)) return true;
            loop().advance(1.0);
        }
        return p();
    }
    std::shared_ptr<ui::Image> shotOf(ui::View& view) { return ui::Snapshot::imageOfView(view); }

    // Compares with the reference in tests/conversations/data; VELKORA_UPDATE_SNAPSHOTS=1 writes it instead.
    void expectLooksLike(ui::View& view, const std::string& name) { expectPictureLooksLike(shotOf(view), name); }
    // Every window, popups above the screen included.
    void expectScreenLooksLike(const std::string& name) { expectPictureLooksLike(ui::Snapshot::imageOfScreen(), name); }
    void expectPictureLooksLike(const std::shared_ptr<ui::Image>& picture, const std::string& name) {
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
    void expectLooksLike(const std::string& name) { expectLooksLike(*window_, name); }

    static void becomeTablet() {
        ui::Device::current().setUserInterfaceIdiom(ui::UserInterfaceIdiom::Pad);
        ui::Screen::main().setBounds({0, 0, 768, 1024});
    }

    // Until every picture asked for has come, from the network or the caches' own thread.
    static bool allLoaded(ui::View& view) {
        if (auto* lazy = dynamic_cast<VelkoraLazyImageView*>(&view))
            if (lazy->cachedImageFetcher() && !lazy->imageLoaded() && !lazy->image()) return false;
        for (const auto& sub : view.subviews())
            if (!allLoaded(*sub)) return false;
        return true;
    }
    bool picturesLoaded() {
        bool done = waitFor([this] {
            if (foundation::UrlConnection::activeCount() != 0) return false;
            for (const auto& w : ui::Application::instance().windows())
                if (!allLoaded(*w)) return false;
            return true;
        });
        loop().advance(0.5);
        if (window_) window_->layoutIfNeeded();
        return done;
    }

    std::shared_ptr<StickerContainer> container_;
    std::shared_ptr<ui::NavigationController> nav_;
    std::shared_ptr<ui::Window> window_;
};

} // namespace velkora::testing
