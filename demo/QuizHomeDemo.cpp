// What a host's user sees of the quiz home: points and coins, a coin pack bought in the coin store on the
// demo device's store account (the service checks the receipt and credits the coins), the quiz list, the
// unlock popup of the locked quiz, and that quiz unlocked with the coins.
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
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/services/Device.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Window.h"
#include "quiz/VelkoraQuizIAPHelper.h"
#include "quiz/VelkoraQuizProfileViewController.h"
#include "quiz/VelkoraQuizPurchaseViewController.h"
#include "quiz/VelkoraQuizzesViewController.h"
#include "server/VelkoraServerClientAgent.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"
#include "session/VelkoraScreenRegistry.h"

namespace {

using namespace velkora;

// Until the kit's requests are answered, then the layout.
void settle(demo::Demo& demo, ui::Window& window) {
    demo.loop().runUntil([] { return VelkoraServerClientAgent::instance().workingProtocolsWrappers().empty(); }, 20);
    demo.loop().advance(1);
    window.layoutIfNeeded();
}

template <class T> std::shared_ptr<T> topOf(ui::NavigationController& nav) {
    return nav.viewControllers().empty() ? nullptr : std::dynamic_pointer_cast<T>(nav.viewControllers().back());
}

// The application data as the service sends it, and the coin packs asked of the store.
bool prepareStore(demo::Demo& demo) {
    bool answered = false;
    auto waiter = std::make_shared<int>(0);
    VelkoraServerApi::getAppData(VelkoraCallback::make(
        waiter, [&](const foundation::Value&) { answered = true; },
        [&](const foundation::ErrorPtr&) { answered = true; }));
    demo.loop().runUntil([&] { return answered; }, 20);
    VelkoraQuizIAPServerManager::instance().initProducts();
    return demo.loop().runUntil(
        [] { return VelkoraQuizIAPHelper::hasInstance() && VelkoraQuizIAPHelper::instance().didGetStoreData(); }, 20);
}

} // namespace

VELKORA_DEMO_STEP(quizHome, 712, DemoStep::NeedsService) {
    if (!demo.ensureSession()) return false;
    demo::useBuildTreeModules("StoreKit");
    if (!std::getenv("VELKORA_DEVICE") && !services::Device::instance().storeAccount())
        services::Device::instance().loadProfile(std::string(VELKORA_SERVICE_SEED_DIR) + "/../../demo/device.json");
    registerKitScreens();
    demo::ensureUserData(demo);
    if (!prepareStore(demo)) {
        demo.say("the store did not return the coin packs");
        return false;
    }
    auto& loop = demo.loop();
    auto host = std::make_shared<demo::DemoHost>();
    auto home = std::dynamic_pointer_cast<VelkoraQuizProfileViewController>(
        VelkoraScreenRegistry::instance().makeScreen("quizHome"));
    if (!home) return false;
    home->setFeatureTabDelegate(host);
    home->setTitleText("Quiz");
    // The host's own screen below the home, as when the host opens the quiz in its navigation.
    auto hostScreen = ui::ViewController::create();
    auto nav = ui::NavigationController::create(hostScreen);
    nav->pushViewController(home, false);
    nav->setNavigationBarHidden(true);
    auto window = ui::Window::createFullScreen();
    window->setRootViewController(nav);
    window->makeKeyAndVisible();
    settle(demo, *window);
    bool shown = true;
    demo.say("The quiz home: the user's points and coins, play, buy coins, the leaderboard and the sounds switch");
    shown &= demo.writePng(*window, "quiz_home");

    home->openPurchaseView();
    settle(demo, *window);
    auto store = topOf<VelkoraQuizPurchaseViewController>(*nav);
    if (!store) return false;
    demo.say("The coin store: the four packs with the store's titles and prices");
    shown &= demo.writePng(*window, "quiz_store");
    demo.say("Buying 100 coins: the store asks the user to confirm the price");
    demo::askBeforeNextPurchase();
    store->purchaseOption1Clicked(nullptr);
    shown &= demo::confirmPurchase(demo, "quiz_purchase_confirm");
    demo.say("Bought on the device's store account; the coin store closes once the service credited the coins");
    if (!loop.runUntil([&] { return topOf<VelkoraQuizProfileViewController>(*nav) != nullptr; }, 30)) {
        demo.say("the purchase did not settle");
        return false;
    }
    settle(demo, *window);
    shown &= demo.writePng(*window, "quiz_home_after_purchase");

    home->playGameClicked();
    settle(demo, *window);
    auto list = topOf<VelkoraQuizzesViewController>(*nav);
    if (!list) return false;
    demo.say("The quiz list: an open quiz to play and a locked one to unlock with coins");
    shown &= demo.writePng(*window, "quiz_list");
    VelkoraQuizPtr locked;
    for (const auto& q : list->quizzes())
        if (q->isLocked() && q->coinsToUnlock() > 0) locked = q;
    if (!locked) {
        demo.say("no locked quiz in the list");
        return false;
    }
    list->actionClicked(locked->quizId());
    loop.advance(1);
    demo.say("The unlock popup: this quiz for its coins, every quiz (too dear for now), or more coins");
    shown &= demo.writeScreenPng("quiz_unlock_popup");
    // The popup's single-quiz button.
    std::shared_ptr<VelkoraQuizBuyQuizPopupView> popup;
    for (const auto& w : ui::Application::instance().windows())
        for (const auto& v : w->subviews())
            if (auto p = std::dynamic_pointer_cast<VelkoraQuizBuyQuizPopupView>(v)) popup = p;
    if (!popup) return false;
    popup->cancelTapped(nullptr);
    shown &= loop.runUntil([&] { return list->view()->isUserInteractionEnabled() && !locked->isLocked(); }, 30);
    settle(demo, *window);
    demo.say("Unlocked: the quiz shows its play button");
    shown &= demo.writePng(*window, "quiz_list_unlocked");
    loop.advance(3);
    return shown;
}
