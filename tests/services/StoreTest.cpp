// The device's store against velkora-service's stand-in store over loopback HTTPS: products, buying
// through the purchase prompt, receipts the service accepts or refuses, unfinished transactions across a
// restart, and restoring what the account owns.
#include <gtest/gtest.h>

#include "platform/services/Device.h"
#include "platform/services/Store.h"
#include "platform/ui/AlertView.h"
#include "server/StoreFixture.h"

namespace velkora::testing {

namespace {

using services::Device;
using services::PaymentQueue;
using services::PaymentTransaction;
using services::PaymentTransactionState;
using services::Prompt;
using services::PromptPolicy;
using State = PaymentTransactionState;

constexpr const char* kCoins100 = "com.velkora.demo.coins100";
constexpr const char* kCoins500 = "com.velkora.demo.coins500";
constexpr const char* kPack = "com.velkora.demo.stickers.spacecats";
constexpr const char* kAccount = "buyer@store.example";

// Everything the queue tells its observer, in order.
struct Observer : services::PaymentTransactionObserver {
    std::vector<std::pair<std::string, State>> updates; // product id and state at the time
    std::vector<std::shared_ptr<PaymentTransaction>> seen;
    int restoreFinished = 0;
    std::vector<foundation::ErrorPtr> restoreFailed;
    void paymentQueueUpdatedTransactions(PaymentQueue&, const services::PaymentTransactions& ts) override {
        for (const auto& t : ts) {
            updates.emplace_back(t->payment()->productIdentifier(), t->transactionState());
            seen.push_back(t);
        }
    }
    void paymentQueueRestoreCompletedTransactionsFinished(PaymentQueue&) override { ++restoreFinished; }
    void paymentQueueRestoreCompletedTransactionsFailedWithError(PaymentQueue&,
                                                                 const foundation::ErrorPtr& e) override {
        restoreFailed.push_back(e);
    }
    std::vector<State> statesOf(const std::string& productId) const {
        std::vector<State> out;
        for (const auto& [id, state] : updates)
            if (id == productId) out.push_back(state);
        return out;
    }
};

struct ProductsDelegate : services::ProductsRequestDelegate {
    std::optional<services::ProductsResponse> response;
    foundation::ErrorPtr error;
    bool finished = false;
    void productsRequestDidReceiveResponse(services::ProductsRequest&, const services::ProductsResponse& r) override {
        response = r;
    }
    void requestDidFailWithError(services::ProductsRequest&, const foundation::ErrorPtr& e) override { error = e; }
    void requestDidFinish(services::ProductsRequest&) override { finished = true; }
};

class PurchaseTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        VelkoraServerEndpoint::handOverServiceHost();
        Device::instance().resetForTests();
        Device::instance().update([](services::DeviceProfile& p) { p.storeAccount = kAccount; });
        Device::instance().setPromptPolicy(Prompt::Purchase, PromptPolicy::Grant);
        queue().resetForTests();
    }
    void TearDown() override {
        queue().resetForTests();
        Device::instance().resetForTests();
        StoreTest::TearDown();
    }
    static PaymentQueue& queue() { return PaymentQueue::defaultQueue(); }

    std::shared_ptr<Observer> observe() {
        auto o = std::make_shared<Observer>();
        queue().addTransactionObserver(o);
        observers_.push_back(o);
        // Whatever the store still holds has arrived before anything else happens.
        EXPECT_TRUE(waitFor([] { return foundation::UrlConnection::activeCount() == 0; }));
        return o;
    }
    ProductsDelegate products(std::set<std::string> ids) {
        auto delegate = std::make_shared<ProductsDelegate>();
        auto request = services::ProductsRequest::create(std::move(ids));
        request->setDelegate(delegate);
        request->start();
        EXPECT_TRUE(waitFor([&] { return delegate->response || delegate->error; }));
        return *delegate;
    }
    std::shared_ptr<services::Product> product(const std::string& id) {
        auto answer = products({id});
        if (!answer.response || answer.response->products.empty()) return nullptr;
        return answer.response->products[0];
    }
    // Buys and waits until the transaction has left purchasing.
    std::shared_ptr<PaymentTransaction> buy(const std::string& id, Observer& observer) {
        auto p = product(id);
        if (!p) return nullptr;
        size_t before = observer.seen.size();
        queue().addPayment(services::Payment::paymentWithProduct(p));
        EXPECT_TRUE(waitFor([&] {
            return observer.seen.size() > before &&
                   observer.seen.back()->transactionState() != PaymentTransactionState::Purchasing;
        }));
        return observer.seen.empty() ? nullptr : observer.seen.back();
    }
    // The service's answer to crediting coins with this receipt.
    foundation::Value credit(const std::string& productId, const std::optional<std::string>& receipt) {
        auto caller = std::make_shared<Caller>();
        VelkoraServerApi::updateQuizBoughtCoins(Caller::of(caller), 100, -1, -1, StoreTest::product(productId),
                                                receipt ? base64EncodedString(*receipt) : std::nullopt);
        EXPECT_TRUE(waitFor([&] { return !caller->answers.empty(); }));
        return caller->answers.empty() ? foundation::Value() : caller->answers[0];
    }
    std::vector<std::shared_ptr<Observer>> observers_;
};

} // namespace

TEST_F(PurchaseTest, TheDemoProductsArePricedAndAnUnknownIdIsInvalid) {
    auto answer = products({"com.velkora.demo.coins100", "com.velkora.demo.coins200", "com.velkora.demo.coins500",
                            "com.velkora.demo.coins1000", kPack, "com.velkora.demo.nothing"});
    ASSERT_TRUE(answer.response);
    EXPECT_TRUE(answer.finished);
    std::map<std::string, std::pair<std::string, std::string>> priced;
    for (const auto& p : answer.response->products) {
        priced[p->productIdentifier()] = {p->price(), p->localizedTitle()};
        EXPECT_EQ(p->priceLocale().currencyCode, "USD");
        EXPECT_FALSE(p->localizedDescription().empty());
    }
    EXPECT_EQ(priced.size(), 5u);
    EXPECT_EQ(priced["com.velkora.demo.coins100"], std::make_pair(std::string("0.99"), std::string("100 Coins")));
    EXPECT_EQ(priced["com.velkora.demo.coins1000"].first, "6.99");
    EXPECT_EQ(answer.response->invalidProductIdentifiers, std::vector<std::string>{"com.velkora.demo.nothing"});
}

TEST_F(PurchaseTest, ABoughtPackHasASignedReceiptTheServiceCreditsOnce) {
    startDemoUser();
    auto observer = observe();
    Device::instance().setPromptPolicy(Prompt::Purchase, PromptPolicy::Ask);
    auto p = product(kCoins100);
    ASSERT_TRUE(p);
    queue().addPayment(services::Payment::paymentWithProduct(p));
    // Purchasing first, then the prompt with the product's title and price.
    ASSERT_TRUE(waitFor([&] { return Device::instance().promptAlert(Prompt::Purchase) != nullptr; }));
    EXPECT_EQ(observer->statesOf(kCoins100), std::vector<State>{State::Purchasing});
    EXPECT_TRUE(observer->seen.back()->transactionIdentifier().empty());
    EXPECT_EQ(Device::instance().promptAlert(Prompt::Purchase)->message(),
              "Do you want to buy one 100 Coins for $0.99?");
    Device::instance().promptAlert(Prompt::Purchase)->tapButtonAtIndex(1); // Buy
    ASSERT_TRUE(waitFor([&] { return observer->updates.size() == 2; }));
    auto t = observer->seen.back();
    EXPECT_EQ(observer->statesOf(kCoins100), (std::vector<State>{State::Purchasing, State::Purchased}));
    EXPECT_FALSE(t->transactionIdentifier().empty());
    EXPECT_EQ(t->error(), nullptr);
    ASSERT_TRUE(t->transactionReceipt());
    EXPECT_EQ(svc.requestsFor("/store/purchase").size(), 1u);

    auto answer = credit(kCoins100, t->transactionReceipt());
    EXPECT_EQ(answer["success"].toBool(), true);
    EXPECT_EQ(svc.userColumn(kDemo, userId_, "coins"), "100");
    // The buyer's same receipt again is taken (a delivery whose answer was lost) but grants nothing.
    EXPECT_EQ(credit(kCoins100, t->transactionReceipt())["success"].toBool(), true);
    EXPECT_EQ(svc.userColumn(kDemo, userId_, "coins"), "100");
}

TEST_F(PurchaseTest, CancelDeclineAndADroppedConnectionFailWithoutAReceipt) {
    struct Case {
        const char* name;
        std::function<void(service::Service&)> arrange;
        PromptPolicy prompt;
        int64_t code;
        bool reachedStore;
        bool connectionError; // the failure carries the connection's own error
    } cases[] = {
        {"cancelled at the prompt", [](service::Service&) {}, PromptPolicy::Refuse,
         services::kStoreErrorPaymentCancelled, false, false},
        {"declined by the store",
         [](service::Service& s) { ASSERT_TRUE(s.setStoreOutcome(kCoins500, service::StoreOutcome::Decline)); },
         PromptPolicy::Grant, services::kStoreErrorPaymentInvalid, true, false},
        {"connection dropped",
         [](service::Service& s) {
             s.addFault({"/store/purchase", service::Fault::Kind::Drop, "", 0, 0, 1});
         },
         PromptPolicy::Grant, services::kStoreErrorUnknown, true, true},
        {"an answer that is not the store's",
         [](service::Service& s) {
             s.addFault({"/store/purchase", service::Fault::Kind::NotJson, "", 0, 0, 1});
         },
         PromptPolicy::Grant, services::kStoreErrorUnknown, true, false},
    };
    auto observer = observe();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        svc.clearRequests();
        c.arrange(svc);
        Device::instance().setPromptPolicy(Prompt::Purchase, c.prompt);
        auto t = buy(kCoins500, *observer);
        ASSERT_TRUE(t);
        EXPECT_EQ(t->transactionState(), State::Failed);
        ASSERT_TRUE(t->error());
        EXPECT_EQ(t->error()->domain, services::kStoreErrorDomain);
        EXPECT_EQ(t->error()->code, c.code);
        EXPECT_FALSE(t->transactionReceipt());
        EXPECT_EQ(!svc.requestsFor("/store/purchase").empty(), c.reachedStore);
        if (c.connectionError) {
            ASSERT_TRUE(t->error()->underlying); // the connection's own error
            EXPECT_EQ(t->error()->underlying->domain, foundation::kUrlConnectionErrorDomain);
        }
        queue().finishTransaction(t);
        svc.setStoreOutcome(kCoins500, service::StoreOutcome::Approve);
    }
    // Never once reported purchased.
    for (const auto& [id, state] : observer->updates)
        EXPECT_NE(state, State::Purchased);
}

TEST_F(PurchaseTest, AReceiptTheStoreDidNotSignCreditsNothing) {
    startDemoUser();
    auto observer = observe();
    ASSERT_TRUE(svc.setStoreOutcome(kCoins100, service::StoreOutcome::UnsignedReceipt));
    auto t = buy(kCoins100, *observer);
    ASSERT_TRUE(t);
    ASSERT_EQ(t->transactionState(), State::Purchased);
    auto answer = credit(kCoins100, t->transactionReceipt());
    EXPECT_EQ(answer["success"].toBool(), false);
    EXPECT_EQ(answer["shouldRetry"].toBool(), false);
    EXPECT_EQ(svc.userColumn(kDemo, userId_, "coins"), "0");
}

TEST_F(PurchaseTest, AnUnfinishedPurchaseComesBackToAFreshQueueUntilFinished) {
    auto first = observe();
    auto bought = buy(kCoins100, *first);
    ASSERT_TRUE(bought);
    ASSERT_EQ(bought->transactionState(), State::Purchased);
    // Finishing a purchasing transaction is refused and leaves it in the queue.
    queue().addPayment(services::Payment::paymentWithProduct(product(kCoins500)));
    auto purchasing = queue().transactions().back();
    queue().finishTransaction(purchasing);
    EXPECT_TRUE(logged("Velkora (E) - PaymentQueue: cannot finish a transaction that is still purchasing"));
    ASSERT_TRUE(waitFor([&] { return purchasing->transactionState() == State::Purchased; }));
    queue().finishTransaction(purchasing);
    ASSERT_TRUE(waitFor([&] { return svc.requestsFor("/store/finish").size() == 1; }));

    // A restart: the new queue asks the store when its first observer comes.
    for (int run = 0; run < 2; ++run) {
        queue().resetForTests();
        auto observer = observe();
        ASSERT_TRUE(waitFor([&] { return !observer->seen.empty(); }));
        ASSERT_EQ(observer->seen.size(), 1u);
        auto back = observer->seen[0];
        EXPECT_EQ(back->transactionIdentifier(), bought->transactionIdentifier());
        EXPECT_EQ(back->transactionState(), State::Purchased);
        EXPECT_EQ(back->transactionReceipt(), bought->transactionReceipt());
        observe(); // a second observer fetches nothing again
        loop().advance(0);
        EXPECT_EQ(observer->seen.size(), 1u);
    }
    queue().finishTransaction(queue().transactions().at(0));
    ASSERT_TRUE(waitFor([&] { return svc.requestsFor("/store/finish").size() == 2; }));
    queue().resetForTests();
    auto after = observe();
    ASSERT_TRUE(waitFor([] { return foundation::UrlConnection::activeCount() == 0; }));
    EXPECT_TRUE(after->seen.empty());
}

TEST_F(PurchaseTest, AnotherDeviceNamingTheAccountGetsNoneOfItsReceipts) {
    Device::instance().update([](services::DeviceProfile& p) { p.storePassword = "the owner's"; });
    auto owner = observe();
    auto bought = buy(kCoins100, *owner);
    ASSERT_TRUE(bought);
    ASSERT_EQ(bought->transactionState(), State::Purchased);

    // Another device names the same account without its password: the store hands it nothing and
    // lets it finish nothing, and the owner's purchase still waits for the owner.
    queue().resetForTests();
    Device::instance().update([](services::DeviceProfile& p) { p.storePassword = "a guess"; });
    auto stranger = observe();
    ASSERT_TRUE(waitFor([] { return foundation::UrlConnection::activeCount() == 0; }));
    EXPECT_TRUE(stranger->seen.empty());
    EXPECT_TRUE(logged("PaymentQueue: unfinished transactions not fetched"));

    queue().resetForTests();
    Device::instance().update([](services::DeviceProfile& p) { p.storePassword = "the owner's"; });
    auto back = observe();
    ASSERT_TRUE(waitFor([&] { return !back->seen.empty(); }));
    EXPECT_EQ(back->seen[0]->transactionIdentifier(), bought->transactionIdentifier());
}

TEST_F(PurchaseTest, RestoreBringsBackThePackButNotTheCoins) {
    auto observer = observe();
    std::string original; // the pack's purchase
    for (const char* id : {kPack, kCoins100}) {
        auto t = buy(id, *observer);
        ASSERT_TRUE(t);
        ASSERT_EQ(t->transactionState(), State::Purchased);
        if (original.empty()) original = t->transactionIdentifier();
        queue().finishTransaction(t);
    }
    observer->updates.clear();
    observer->seen.clear();
    queue().restoreCompletedTransactions();
    ASSERT_TRUE(waitFor([&] { return observer->restoreFinished == 1; }));
    ASSERT_EQ(observer->seen.size(), 1u);
    auto restored = observer->seen[0];
    EXPECT_EQ(restored->payment()->productIdentifier(), kPack);
    EXPECT_EQ(restored->transactionState(), State::Restored);
    ASSERT_TRUE(restored->originalTransaction());
    EXPECT_EQ(restored->originalTransaction()->transactionIdentifier(), original);
    EXPECT_TRUE(restored->transactionReceipt());

    // Without a store reachable: restore-failed, and nothing restored.
    svc.addFault({"/store/restore", service::Fault::Kind::HttpStatus, "", 503, 0, 1});
    queue().restoreCompletedTransactions();
    ASSERT_TRUE(waitFor([&] { return observer->restoreFailed.size() == 1; }));
    EXPECT_EQ(observer->restoreFinished, 1);
    EXPECT_EQ(observer->seen.size(), 1u);
}

} // namespace velkora::testing
