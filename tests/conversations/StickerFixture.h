// Stickers and feedback against velkora-service's demo application (its sticker packs, the store's
// products): a fresh kit and service per test, the session's user known, the screens registered, a host
// window to show them in, the device's store account, all on the test clock.
#pragma once

#include "conversations/VelkoraEnhancedKeyboardView.h"
#include "conversations/VelkoraStickerPackStatusManager.h"
#include "platform/services/Device.h"
#include "platform/services/Store.h"
#include "server/StoreFixture.h"
#include "support/ScreenFixture.h"

namespace velkora::testing {

class StickerTest : public ScreenFixture<StoreTest> {
protected:
    static constexpr const char* kStoreAccount = "buyer@store.example";

    void SetUp() override {
        ScreenFixture<StoreTest>::SetUp();
        VelkoraStickerPackStatusManager::resetForTests();
        VelkoraServerEndpoint::handOverServiceHost();
        services::Device::instance().update([](services::DeviceProfile& p) { p.storeAccount = kStoreAccount; });
        services::Device::instance().setPromptPolicy(services::Prompt::Purchase, services::PromptPolicy::Grant);
        services::PaymentQueue::defaultQueue().resetForTests();
    }
    void TearDown() override {
        loop().advance(5);
        nav_.reset();
        window_.reset();
        VelkoraStickerPackStatusManager::resetForTests();
        services::PaymentQueue::defaultQueue().resetForTests();
        ScreenFixture<StoreTest>::TearDown();
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
    // The keyboard's tab ids, left to right.
    static std::vector<int32_t> tabIds(const VelkoraStickersKeyboardView& k) {
        std::vector<int32_t> ids;
        for (const auto& t : k.tabs())
            ids.push_back(t->itemId());
        return ids;
    }
    // A request that meets a failed connection is tried again a second later on the test clock, so every
    // wait moves the clock on whenever nothing has happened for a while.
    bool waitAdvancing(const std::function<bool()>& p, int seconds = 120) {
        for (int i = 0; i < seconds; ++i) {
            if (loop().runUntil(p, 0.5)) return true;
            loop().advance(1.0);
        }
        return p();
    }
    bool waitFor(const std::function<bool()>& p) { return waitAdvancing(p, 60); }
    bool settle() {
        return waitFor([] { return VelkoraServerClientAgent::instance().workingProtocolsWrappers().empty(); });
    }
    // Notices close on the clock; what they said stays in the log.
    size_t noticesShown() const {
        size_t n = 0;
        for (const auto& line : capture_->lines())
            n += line.find("Velkora (W) - Stickers: ") != std::string::npos;
        return n;
    }
};

} // namespace velkora::testing
