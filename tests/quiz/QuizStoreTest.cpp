// The coin store against the demo application's packs in the stand-in store: the packs with the
// store's titles and prices, the spinner until the product list has come, and a purchase that locks the
// store until it has settled, credits the coins on the service and closes the store. A transaction left
// from an earlier run that settles while the store is open is not the store's.
#include "QuizHomeFixture.h"

#include "platform/ui/ActivityIndicatorView.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

class QuizStore : public QuizHomeTest {
protected:
    std::shared_ptr<VelkoraQuizPurchaseViewController> openStore() {
        auto store = VelkoraQuizPurchaseViewController::create(-1, -1);
        store->setTitleText("Coin store");
        return pushOnHost(store);
    }
    static std::vector<bool> shown(const VelkoraQuizPurchaseViewController& store) {
        std::vector<bool> v;
        for (int slot = 0; slot < 4; ++slot)
            v.push_back(!store.productView(slot)->isHidden());
        return v;
    }
    // Back from a screen with one below it is the container's to do.
    bool storeClosed(const std::shared_ptr<VelkoraQuizPurchaseViewController>& store) {
        return nav_->viewControllers().back() != store || container_->backs > 0;
    }
    // A usage event waiting for the next poll, or one the poll has carried to the service.
    bool eventLogged(const std::string& event) {
        for (const auto& record : VelkoraLogEventsManager::instance().loggedEvents())
            if (record.rfind(event + ";", 0) == 0) return true;
        for (const auto& line : svc.events(kDemo))
            if (line.find(event + ";") != std::string::npos) return true;
        return false;
    }
    // The purchase layer is done with every purchase: delivered, answered, finished.
    bool purchasesSettled() {
        auto& m = VelkoraQuizIAPServerManager::instance();
        return m.serverPendingTransactions().empty() && m.pendingTransactions().empty() &&
               m.waitingTransactions().empty() && services::PaymentQueue::defaultQueue().transactions().empty();
    }
};

TEST_F(QuizStore, ShowsFourPricedPacksAndOnlyThoseConfigured) {
    startDemo();
    auto store = openStore();
    EXPECT_EQ(store->nibName(), "VelkoraQuizPurchaseView");
    EXPECT_EQ(shown(*store), (std::vector<bool>{true, true, true, true}));
    const char* titles[] = {"100 Coins", "200 Coins", "500 Coins", "1000 Coins"};
    const char* prices[] = {"$0.99", "$1.99", "$3.99", "$6.99"};
    for (int slot = 0; slot < 4; ++slot) {
        EXPECT_EQ(store->productTitleLabel(slot)->text(), titles[slot]);
        EXPECT_EQ(store->productButton(slot)->titleForState(ui::ControlStateNormal), prices[slot]);
    }
    EXPECT_EQ(store->button2productKey().size(), 4u);
    EXPECT_FALSE(store->activityIndicator()->isAnimating());
    ASSERT_TRUE(settle());
    loop().advance(0.5);
    EXPECT_TRUE(eventLogged("feature-viewed;quiz-store"));
    ASSERT_TRUE(picturesLoaded());
    expectLooksLike("quiz_store_phone");

    // Only the 200 and 1000 packs sold: panels 1 and 3 hidden.
    nav_.reset();
    window_.reset();
    auto ids = *session().appData()->productIds();
    ids.erase("velkora.coins.100");
    ids.erase("velkora.coins.500");
    session().appData()->setProductIds(ids);
    store = openStore();
    EXPECT_EQ(shown(*store), (std::vector<bool>{false, true, false, true}));
    EXPECT_EQ(store->productButton(1)->titleForState(ui::ControlStateNormal), "$1.99");
    EXPECT_EQ(store->productButton(3)->titleForState(ui::ControlStateNormal), "$6.99");
}

TEST_F(QuizStore, OnATabletComesFromItsTabletFile) {
    becomeTablet();
    startDemo();
    auto store = openStore();
    EXPECT_EQ(store->nibName(), "iPad_VelkoraQuizPurchaseView");
    EXPECT_EQ(shown(*store), (std::vector<bool>{true, true, true, true}));
    ASSERT_TRUE(picturesLoaded());
    expectLooksLike("quiz_store_tablet");
}

TEST_F(QuizStore, TheEndPanelReachesTheStoreByNameWithTheQuizAndTheQuestion) {
    registerQuizHomeScreens();
    for (auto [object2, question] : {std::pair{foundation::Value(int64_t(12)), 12}, {foundation::Value(), -1}}) {
        foundation::Dictionary arguments{{VelkoraScreenArguments::kObject1, foundation::Value(int64_t(7))}};
        if (!object2.isNull()) arguments.set(VelkoraScreenArguments::kObject2, object2);
        auto store = std::dynamic_pointer_cast<VelkoraQuizPurchaseViewController>(
            VelkoraScreenRegistry::instance().makeScreen("quizStore", foundation::Value(std::move(arguments))));
        ASSERT_TRUE(store);
        EXPECT_EQ(store->quizId(), 7);
        EXPECT_EQ(store->questionId(), question);
    }
}

TEST_F(QuizStore, BeforeTheProductListASpinnerTurnsThenThePacksShow) {
    startDemo(false);
    auto store = openStore();
    EXPECT_TRUE(store->activityIndicator()->isAnimating());
    EXPECT_EQ(shown(*store), (std::vector<bool>{false, false, false, false}));
    askProducts();
    EXPECT_FALSE(store->activityIndicator()->isAnimating());
    EXPECT_EQ(shown(*store), (std::vector<bool>{true, true, true, true}));
}

TEST_F(QuizStore, BuyingLocksTheStoreCreditsTheCoinsAndCloses) {
    startDemo();
    setCoins(5);
    auto store = openStore();
    const int32_t before = me()->coins();
    tap(store->productButton(0));
    EXPECT_FALSE(store->velkoraContentView()->isUserInteractionEnabled());
    EXPECT_EQ(store->purchaseInProgress(), "com.velkora.demo.coins100");
    ASSERT_TRUE(waitAdvancing([&] { return storeClosed(store); }, 60));
    EXPECT_TRUE(store->velkoraContentView()->isUserInteractionEnabled());
    EXPECT_EQ(serviceCoins(), 105);
    EXPECT_EQ(me()->coins(), before + 100);
    EXPECT_TRUE(waitAdvancing([&] { return purchasesSettled(); }, 10));
    EXPECT_TRUE(eventLogged("quiz;store-product-clicked;velkora.coins.100"));
}

TEST_F(QuizStore, AFailedPaymentAlsoClosesTheStore) {
    startDemo();
    setCoins(5);
    services::Device::instance().setPromptPolicy(services::Prompt::Purchase, services::PromptPolicy::Refuse);
    auto store = openStore();
    tap(store->productButton(1));
    ASSERT_TRUE(waitAdvancing([&] { return storeClosed(store); }, 60));
    EXPECT_EQ(serviceCoins(), 5);
    EXPECT_EQ(count("updateQuizProduct"), 0u);
}

TEST_F(QuizStore, APurchaseTheServiceWantsAgainGivesTheStoreBackWithoutClosingIt) {
    startDemo();
    setCoins(5);
    service::Fault again;
    again.command = "updateQuizProduct";
    again.kind = service::Fault::Kind::Answer;
    again.value = R"({"success":false,"retry":true,"productId":"com.velkora.demo.coins100"})";
    svc.addFault(again);
    auto store = openStore();
    tap(store->productButton(0));
    ASSERT_TRUE(
        waitAdvancing([&] { return !VelkoraQuizIAPServerManager::instance().waitingTransactions().empty(); }, 60));
    loop().advance(0.5);
    EXPECT_TRUE(store->velkoraContentView()->isUserInteractionEnabled());
    EXPECT_TRUE(store->purchaseInProgress().empty());
    EXPECT_FALSE(storeClosed(store));
    // After the next poll it goes again and is credited; the store the user went on with stays.
    VelkoraServerApi::updateNow();
    ASSERT_TRUE(waitAdvancing([&] { return purchasesSettled(); }, 60));
    EXPECT_EQ(serviceCoins(), 105);
    EXPECT_FALSE(storeClosed(store));
}

TEST_F(QuizStore, ALeftoverTransactionSettlingDoesNotCloseTheStore) {
    startDemo();
    setCoins(5);
    // A purchase whose delivery the service never took: it waits, unfinished, for the next poll.
    service::Fault drop;
    drop.command = "updateQuizProduct";
    drop.kind = service::Fault::Kind::Drop;
    drop.times = -1;
    svc.addFault(drop);
    auto first = openStore();
    tap(first->productButton(0));
    ASSERT_TRUE(
        waitAdvancing([&] { return !VelkoraQuizIAPServerManager::instance().waitingTransactions().empty(); }, 60));
    // That store stays usable while the delivery waits.
    EXPECT_TRUE(first->velkoraContentView()->isUserInteractionEnabled());
    nav_.reset();
    window_.reset();
    loop().advance(5);

    // The user opens the store again; the delivery goes through after the next poll and settles.
    svc.clearFaults();
    auto store = openStore();
    VelkoraServerApi::updateNow();
    ASSERT_TRUE(waitAdvancing([&] { return purchasesSettled(); }, 60));
    EXPECT_EQ(serviceCoins(), 105);
    loop().advance(1);
    EXPECT_FALSE(storeClosed(store));
    EXPECT_TRUE(store->velkoraContentView()->isUserInteractionEnabled());
}

} // namespace
