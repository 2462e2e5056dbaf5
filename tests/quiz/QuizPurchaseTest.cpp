// Coin packs bought in the store and credited by the service exactly once: the purchase, the ways it
// fails before reaching the service, what the application data offers, and deliveries that are dropped,
// refused for now or cut short by a restart.
#include "QuizPurchaseFixture.h"

namespace velkora::testing {
namespace {

using service::Fault;
using Keys = VelkoraQuizCoinKeys;

const std::string kDelivered = "command=updateQuizProduct&appId=velkora-demo&userId=";

TEST_F(QuizPurchaseTest, AnApprovedPackIsDeliveredOnceCreditedOnBothSidesAndFinished) {
    startBuyer();
    appDataArrived();
    ASSERT_TRUE(productsArrived());
    // The screens read titles and prices through the coin keys; the session asks the helper by name.
    ASSERT_TRUE(manager().productByKey(Keys::kCoins100));
    EXPECT_EQ(manager().productByKey(Keys::kCoins100)->price(), "0.99");
    EXPECT_EQ(manager().productByKey(Keys::kCoins1000)->localizedTitle(), "1000 Coins");
    EXPECT_FALSE(manager().productByKey("velkora.coins.50"));
    auto lookup = VelkoraScreenRegistry::instance().makeObject<VelkoraQuizProductLookup>("VelkoraQuizIAPHelper");
    ASSERT_TRUE(lookup);
    EXPECT_TRUE(lookup->hasProduct(kPack500));
    EXPECT_FALSE(lookup->hasProduct("com.velkora.demo.nothing"));

    ASSERT_TRUE(buy(Keys::kCoins100, 1, 2));
    ASSERT_TRUE(spinning());
    auto indicator = manager().activityIndicator();
    EXPECT_EQ(indicator->superview(), host_.get());
    EXPECT_EQ(indicator->activityIndicatorViewStyle(), ui::ActivityIndicatorViewStyle::WhiteLarge);
    EXPECT_EQ(indicator->center().x, host_->bounds().size.width / 2);
    EXPECT_EQ(indicator->center().y, host_->bounds().size.height / 2);

    ASSERT_TRUE(outcomes(1));
    ASSERT_EQ(deliveries(), 1u);
    const auto sent = svc.requestsFor("updateQuizProduct").front();
    EXPECT_EQ(sent.method, "POST");
    const std::string head = kDelivered + userId_ + "&clientType=1&build=2.5.7&coins=100&quizId=1&questionId=2" +
                             "&price=0.99&currency=USD&productId=com.velkora.demo.coins100&receipt=";
    EXPECT_EQ(sent.body.substr(0, head.size()), head);
    EXPECT_GT(sent.body.size(), head.size()) << "the receipt goes along";
    EXPECT_TRUE(updates_seen_[0].isNull()) << "an answer carries no user info";
    EXPECT_EQ(serviceCoins(), 100);
    EXPECT_EQ(localCoins(), 100);
    EXPECT_EQ(svc.purchases(kDemo, userId_).size(), 1u);
    EXPECT_FALSE(spinning());
    EXPECT_TRUE(manager().serverPendingTransactions().empty());
    EXPECT_TRUE(waitFor([&] { return unfinishedInStore().empty(); }));
}

TEST_F(QuizPurchaseTest, ACancelledDeclinedOrUnreachablePurchaseSendsNothingAndReportsItsTransaction) {
    struct Case {
        const char* name;
        std::function<void(service::Service&)> arrange;
    } cases[] = {
        {"cancelled",
         [](service::Service&) {
             services::Device::instance().setPromptPolicy(services::Prompt::Purchase, services::PromptPolicy::Refuse);
         }},
        {"declined", [](service::Service& s) { s.setStoreOutcome(kPack100, service::StoreOutcome::Decline); }},
        {"store unreachable",
         [](service::Service& s) {
             s.addFault({"/store/purchase", Fault::Kind::Drop, "", 500, 0, -1});
         }},
    };
    startBuyer();
    appDataArrived();
    ASSERT_TRUE(productsArrived());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        services::Device::instance().setPromptPolicy(services::Prompt::Purchase, services::PromptPolicy::Grant);
        svc.clearFaults();
        svc.setStoreOutcome(kPack100, service::StoreOutcome::Approve);
        c.arrange(svc);
        const size_t before = updates_seen_.size();
        ASSERT_TRUE(buy(Keys::kCoins100));
        ASSERT_TRUE(outcomes(before + 1));
        const foundation::Value& info = updates_seen_.back();
        ASSERT_TRUE(info["failedTransactions"].asArray());
        ASSERT_EQ(info["failedTransactions"].asArray()->size(), 1u);
        auto t = info["failedTransactions"].asArray()->front().asObject<services::PaymentTransaction>();
        ASSERT_TRUE(t);
        EXPECT_EQ(t->transactionState(), services::PaymentTransactionState::Failed);
        EXPECT_FALSE(spinning());
        EXPECT_TRUE(logged("Velkora (W) - QUIZ IAP: Transaction for product com.velkora.demo.coins100 FAILED !!"));
        EXPECT_TRUE(waitFor([&] { return unfinishedInStore().empty(); }));
    }
    svc.clearFaults();
    EXPECT_EQ(deliveries(), 0u);
    EXPECT_EQ(serviceCoins(), 0);
    EXPECT_EQ(localCoins(), 0);
    EXPECT_TRUE(services::PaymentQueue::defaultQueue().transactions().empty()) << "every failed one was finished";
}

TEST_F(QuizPurchaseTest, WhatTheApplicationDataOffersDecidesWhatIsAskedForAndBought) {
    startBuyer();
    const auto offered = *appData_->productIds();
    auto withoutQuiz = appData_->appFeatures();
    std::erase_if(withoutQuiz, [](const auto& f) { return f && f->featureId() == std::optional<std::string>("quiz"); });
    const auto withQuiz = appData_->appFeatures();
    struct Case {
        const char* name;
        std::optional<VelkoraAppData::ProductIds> productIds;
        bool quiz;
        bool asked;
    } cases[] = {
        {"no product ids", std::nullopt, true, false},
        {"an empty list", VelkoraAppData::ProductIds{}, true, false},
        {"other keys only", VelkoraAppData::ProductIds{{"velkora.lives.5", kPack100}}, true, false},
        {"quizzes off", offered, false, false},
        {"every pack", offered, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        restartStore();
        appData_->setProductIds(c.productIds);
        appData_->setAppFeatures(c.quiz ? withQuiz : withoutQuiz);
        appDataArrived();
        EXPECT_EQ(manager().storeDataRetrievalTimer() != nullptr, c.asked);
        EXPECT_EQ(VelkoraQuizIAPHelper::hasInstance() && helper().isStoreDataRetrievalInProgress(), c.asked);
        if (c.asked) {
            ASSERT_TRUE(productsArrived());
        }
        capture_->clear();
        EXPECT_EQ(buy(Keys::kCoins100), c.asked) << "bought only what the store returned";
        EXPECT_EQ(services::PaymentQueue::defaultQueue().transactions().size(), c.asked ? 1u : 0u);
        EXPECT_EQ(spinning(), c.asked);
        // A key the data names but the store never returned is logged; no key at all shows nothing.
        EXPECT_EQ(logged("Velkora (E) - Knowing nothing about product com.velkora.demo.coins100 - Won't buy"),
                  !c.asked && c.productIds && c.productIds->count(Keys::kCoins100));
    }
    ASSERT_TRUE(outcomes(1));
    EXPECT_EQ(serviceCoins(), 100);
}

TEST_F(QuizPurchaseTest, WithoutTheStoreModuleNothingIsAskedForNorBought) {
    startBuyer();
    VelkoraDynamicFrameworkLoader::setFrameworkPathTemplate("/nonexistent/%@/lib%@.so");
    VelkoraDynamicFrameworkLoader::resetCachesForTests();
    restartStore();
    appDataArrived();
    EXPECT_FALSE(manager().storeDataRetrievalTimer());
    EXPECT_FALSE(helper().isStoreDataRetrievalInProgress());
    EXPECT_FALSE(buy(Keys::kCoins100));
    EXPECT_FALSE(spinning());
    EXPECT_TRUE(services::PaymentQueue::defaultQueue().transactions().empty());
    EXPECT_TRUE(updates_seen_.empty());
}

TEST_F(QuizPurchaseTest, ProductsTheStoreDoesNotKnowAreLoggedAndAskedForAgainEveryThreeSeconds) {
    startBuyer();
    appData_->setProductIds(VelkoraAppData::ProductIds{{Keys::kCoins100, "com.velkora.demo.nothing"}});
    size_t gathered = 0;
    foundation::NotificationObserver o(kVelkoraNotificationQuizIAPDataGathered, nullptr,
                                       [&](const foundation::Notification&) { ++gathered; });
    appDataArrived();
    auto first = manager().storeDataRetrievalTimer();
    ASSERT_TRUE(first);
    ASSERT_TRUE(waitFor([&] { return gathered == 1 && !helper().isStoreDataRetrievalInProgress(); }));
    EXPECT_FALSE(helper().didGetStoreData());
    EXPECT_TRUE(helper().isAwaitingProduct("com.velkora.demo.nothing"));
    EXPECT_TRUE(logged("Velkora (E) - VelkoraQuizIAPHelper: Found invalid product: com.velkora.demo.nothing"));
    EXPECT_FALSE(buy(Keys::kCoins100));
    EXPECT_TRUE(logged("Velkora (E) - Knowing nothing about product com.velkora.demo.nothing - Won't buy"));
    EXPECT_FALSE(spinning());
    loop().advance(3.0);
    ASSERT_TRUE(waitFor([&] { return gathered == 2 && !helper().isStoreDataRetrievalInProgress(); }));
    // The data arrives again: the timer it replaces stops.
    appDataArrived();
    EXPECT_FALSE(first->isValid());
    ASSERT_TRUE(waitFor([&] { return gathered == 3 && !helper().isStoreDataRetrievalInProgress(); }));
    loop().advance(3.0);
    ASSERT_TRUE(waitFor([&] { return gathered == 4 && !helper().isStoreDataRetrievalInProgress(); }));
    EXPECT_TRUE(manager().storeDataRetrievalTimer()->isValid());
    // Data that name no pack stop the asking too.
    auto second = manager().storeDataRetrievalTimer();
    appData_->setProductIds(std::nullopt);
    appDataArrived();
    EXPECT_FALSE(second->isValid());
    // Once a product comes back, the asking stops.
    appData_->setProductIds(VelkoraAppData::ProductIds{{Keys::kCoins100, kPack100}});
    appDataArrived();
    ASSERT_TRUE(productsArrived());
    loop().advance(3.0);
    EXPECT_FALSE(manager().storeDataRetrievalTimer()->isValid());
}

TEST_F(QuizPurchaseTest, APurchaseIsNeverLostNorCreditedTwiceWhateverHappensToItsDelivery) {
    const std::string retry = std::string(R"({"success":false,"retry":true,"productId":")") + kPack100 + "\"}";
    struct Case {
        const char* name;
        std::vector<Fault> faults;
        int buys;
        // The notice shown when a delivery stays behind, or null.
        const char* notice;
        // What sends it again: the next answered poll, the next product list, or a restart.
        enum { Poll, ProductList, Restart } again;
    } cases[] = {
        {"dropped before the service runs it",
         {{"updateQuizProduct", Fault::Kind::Drop, "", 500, 0, -1}},
         1,
         "velkora_text_no_network_message",
         Case::Poll},
        {"dropped after the service ran it",
         {{"updateQuizProduct", Fault::Kind::RunThenDrop, "", 500, 0, -1}},
         1,
         "velkora_text_no_network_message",
         Case::Poll},
        {"HTTP 500",
         {{"updateQuizProduct", Fault::Kind::HttpStatus, "", 500, 0, 1}},
         1,
         "velkora_text_purchase_pending_message",
         Case::Poll},
        {"asked to retry", {{"updateQuizProduct", Fault::Kind::Answer, retry, 500, 0, 1}}, 1, nullptr, Case::Poll},
        {"two buys of one pack, the first asked to retry",
         {{"updateQuizProduct", Fault::Kind::Answer, retry, 500, 0, 1}},
         2,
         nullptr,
         Case::Poll},
        {"the service's own error, sent again with the next product list",
         {{"updateQuizProduct", Fault::Kind::ErrorCode, "SERVICE_DOWN", 500, 0, 1}},
         1,
         "velkora_text_purchase_pending_message",
         Case::ProductList},
        {"a restart with the purchase unfinished",
         {{"updateQuizProduct", Fault::Kind::ErrorCode, "SERVICE_DOWN", 500, 0, 1}},
         1,
         "velkora_text_purchase_pending_message",
         Case::Restart},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Each case has a store account of its own; the service may know the kit's user from before.
        useStoreAccount(std::string("buyer-") + std::to_string(&c - cases) + "@store.example");
        VelkoraServerClientAgent::resetForTests();
        VelkoraAgentInternal::resetForTests();
        restartStore();
        capture_->clear();
        updates_seen_.clear();
        svc.clearFaults();
        svc.clearRequests();
        startBuyer();
        appDataArrived();
        ASSERT_TRUE(productsArrived());
        const int coinsBefore = serviceCoins();
        ASSERT_EQ(localCoins(), coinsBefore);
        const size_t purchasesBefore = svc.purchases(kDemo, userId_).size();
        for (const auto& f : c.faults)
            svc.addFault(f);
        // No poll is answered until the test asks for one, however far the clock moves meanwhile.
        svc.addFault({"update", Fault::Kind::ErrorCode, "SERVICE_DOWN", 500, 0, -1});
        for (int i = 0; i < c.buys; ++i) {
            ASSERT_TRUE(buy(Keys::kCoins100, 4, 7));
            ASSERT_TRUE(outcomes(i + 1));
            EXPECT_FALSE(spinning()) << "no screen stays locked";
        }
        ASSERT_TRUE(queueSettled());
        if (c.notice) {
            EXPECT_EQ(noticesLogged(c.notice), 1u);
            const auto* pending = updates_seen_.back()["pendingTransactions"].asArray();
            ASSERT_TRUE(pending);
            EXPECT_EQ(pending->size(), 1u);
        }
        if (c.buys == 2) {
            // The second purchase's answer finished the second purchase, not the first.
            EXPECT_EQ(serviceCoins(), coinsBefore + 100);
            EXPECT_TRUE(waitFor([&] { return unfinishedInStore().size() == 1; }));
            EXPECT_EQ(manager().waitingTransactions().size(), 1u);
        }
        const size_t credited = svc.purchases(kDemo, userId_).size() - purchasesBefore;
        if (credited < size_t(c.buys)) {
            EXPECT_FALSE(unfinishedInStore().empty()) << "what is not credited stays";
        }
        svc.clearFaults();
        if (c.again == Case::Poll) {
            VelkoraServerApi::updateNow();
        } else {
            if (c.again == Case::Restart) restartStore();
            svc.clearRequests();
            appDataArrived();
            ASSERT_TRUE(productsArrived());
        }
        ASSERT_TRUE(waitAdvancing(
            [&] {
                return svc.purchases(kDemo, userId_).size() == purchasesBefore + c.buys && unfinishedInStore().empty();
            },
            60));
        ASSERT_TRUE(settle());
        loop().advance(1);
        ASSERT_TRUE(settle());
        EXPECT_EQ(serviceCoins(), coinsBefore + 100 * c.buys);
        // One local credit per purchase: added at once, or brought by the poll after an uncertain delivery.
        EXPECT_TRUE(waitFor([&] { return localCoins() == coinsBefore + 100 * c.buys; })) << localCoins();
        VelkoraServerApi::updateNow();
        ASSERT_TRUE(settle());
        EXPECT_EQ(localCoins(), coinsBefore + 100 * c.buys);
        EXPECT_TRUE(manager().serverPendingTransactions().empty());
        EXPECT_TRUE(manager().waitingTransactions().empty());
        EXPECT_FALSE(spinning());
        if (c.again != Case::Poll) {
            EXPECT_EQ(deliveries(), 1u);
        }
    }
}

TEST_F(QuizPurchaseTest, ADeliveryInFlightIsNeverSentASecondTime) {
    startBuyer();
    appDataArrived();
    ASSERT_TRUE(productsArrived());
    // Every try is dropped, and the next try waits for the clock: the delivery stays in flight.
    svc.addFault({"updateQuizProduct", Fault::Kind::Drop, "", 500, 0, -1});
    ASSERT_TRUE(buy(Keys::kCoins100));
    // The connection layer may try a dropped request once more by itself before the fetcher waits.
    ASSERT_TRUE(waitFor([&] {
        return logged("URLFetcher: Connection Failed UrlConnectionErrorDomain") &&
               manager().serverPendingTransactions().size() == 1;
    }));
    const size_t tries = deliveries();
    auto t = manager().serverPendingTransactions().front();
    // The application data arrives again, the product list with it, and the queue reports the
    // transaction again: none of them starts another delivery.
    appDataArrived();
    ASSERT_TRUE(waitFor([&] { return helper().didGetStoreData(); }));
    foundation::NotificationCenter::defaultCenter().post(
        kVelkoraNotificationQuizIAPPaymentFinished, &helper(),
        foundation::Value(foundation::Dictionary{{"transactions", foundation::Array{foundation::Value::object(t)}}}));
    loop().runUntil([] { return false; }, 0.3);
    EXPECT_EQ(deliveries(), tries);
    EXPECT_EQ(manager().serverPendingTransactions().size(), 1u) << "the delivery in flight is kept";
    EXPECT_TRUE(spinning());
    svc.clearFaults();
    ASSERT_TRUE(outcomes(1));
    EXPECT_EQ(serviceCoins(), 100);
    EXPECT_EQ(localCoins(), 100);
    EXPECT_EQ(svc.purchases(kDemo, userId_).size(), 1u);
    EXPECT_TRUE(waitFor([&] { return unfinishedInStore().empty(); }));
}

} // namespace
} // namespace velkora::testing
