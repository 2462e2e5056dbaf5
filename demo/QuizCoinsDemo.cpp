// What a host's quiz player sees of buying coins: the packs the application sells with the store's titles
// and prices, a pack bought on the demo device's store account, its receipt checked by the service, and
// the coins credited once on both sides.
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "BuildPaths.h"
#include "BuildTreeModules.h"
#include "DemoHost.h"
#include "DemoSteps.h"
#include "VelkoraKitScreens.h"
#include "platform/foundation/Log.h"
#include "platform/services/Device.h"
#include "platform/ui/Window.h"
#include "quiz/VelkoraQuizIAPHelper.h"
#include "server/VelkoraServerClientAgent.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"
#include "data/VelkoraAppData.h"

namespace {

using namespace velkora;

// The application data as the session holds it, asked of the service when it does not yet.
bool ensureAppData(demo::Demo& demo) {
    auto& session = VelkoraAgentInternal::instance();
    if (session.appData() && session.appData()->productIds()) return true;
    bool answered = false;
    auto waiter = std::make_shared<int>(0);
    VelkoraServerApi::getAppData(VelkoraCallback::make(waiter, [&](const foundation::Value& answer) {
        if (auto data = answer.asObject<VelkoraAppData>()) session.setAppData(data);
        answered = true;
    }));
    demo.loop().runUntil([&] { return answered; }, 20);
    return session.appData() && session.appData()->productIds();
}

} // namespace

VELKORA_DEMO_STEP(quizCoins, 710, DemoStep::NeedsService) {
    if (!demo.ensureSession()) return false;
    demo::useBuildTreeModules("StoreKit");
    if (!services::Device::instance().storeAccount())
        services::Device::instance().update(
            [](services::DeviceProfile& p) { p.storeAccount = "demo.buyer@velkora.example"; });
    registerKitScreens();
    demo::ensureUserData(demo);
    if (!ensureAppData(demo)) {
        demo.say("the application data names no coin packs");
        return false;
    }
    auto& loop = demo.loop();
    auto& manager = VelkoraQuizIAPServerManager::instance();
    // What the session does whenever the application data arrives.
    manager.initProducts();
    if (!loop.runUntil([] { return VelkoraQuizIAPHelper::instance().didGetStoreData(); }, 20)) {
        demo.say("the store returned none of the coin packs");
        return false;
    }
    for (const auto& [key, coins] : VelkoraQuizCoinKeys::kPacks)
        if (auto product = manager.productByKey(key))
            demo.say(std::string(key) + ": \"" + product->localizedTitle() + "\" for " + product->price() + " " +
                     product->priceLocale().currencyCode);

    auto user = VelkoraAgentInternal::instance().velkoraUser();
    const int32_t before = user ? user->coins() : 0;
    bool answered = false;
    foundation::NotificationObserver outcome(kVelkoraNotificationQuizProductUpdated, nullptr,
                                             [&](const foundation::Notification&) { answered = true; });
    auto window = ui::Window::createFullScreen();
    window->makeKeyAndVisible();
    demo.say("Buying 100 coins on the device's store account; the service checks the receipt");
    if (!manager.buyProductByKey(VelkoraQuizCoinKeys::kCoins100, window.get(), -1, -1)) return false;
    loop.runUntil([&] { return answered; }, 30);
    loop.runUntil([] { return VelkoraServerClientAgent::instance().workingProtocolsWrappers().empty(); }, 20);
    const int32_t after = user ? user->coins() : 0;
    demo.say("Coins before: " + std::to_string(before) + ", after: " + std::to_string(after));
    loop.advance(3); // notices close before the window goes
    return answered && after == before + 100;
}
