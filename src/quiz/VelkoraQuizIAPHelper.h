// Coin packs for quizzes: the store layer that asks the device's store for the packs' products, starts
// payments and hears the payment queue, and the manager that maps the kit's coin keys to the host's store
// products, hands each purchase's receipt to the service and finishes the store's transaction only once
// the service has decided, so coins bought are neither lost to a dropped connection or a restart nor
// credited twice.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Value.h"
#include "platform/services/Store.h"
#include "server/VelkoraStoreProductsHelper.h"
#include "session/VelkoraKitObjects.h"

namespace velkora {

namespace ui {
class ActivityIndicatorView;
class View;
} // namespace ui

// Posted by the store layer after every answer to a product request (also one without products).
inline constexpr const char* kVelkoraNotificationQuizIAPDataGathered = "VelkoraNotificationQuizIAPDataGathered";
// Posted by the store layer when the queue reports purchased or failed transactions of known products;
// user info "transactions": those transactions (objects).
inline constexpr const char* kVelkoraNotificationQuizIAPPaymentFinished = "VelkoraNotificationQuizIAPPaymentFinished";
// Posted by the manager after the service answered for a purchase (no user info), or after a batch of
// which nothing could be sent (user info "failedTransactions"), or when deliveries wait to go again
// (user info "pendingTransactions"). Whoever locked a screen for a purchase unlocks it on any of them.
inline constexpr const char* kVelkoraNotificationQuizProductUpdated = "VelkoraNotificationQuizProductUpdated";

// The kit's coin packs; the host's store ids for them come from the application data's "productIds".
struct VelkoraQuizCoinKeys {
    static constexpr const char* kCoins100 = "velkora.coins.100";
    static constexpr const char* kCoins200 = "velkora.coins.200";
    static constexpr const char* kCoins500 = "velkora.coins.500";
    static constexpr const char* kCoins1000 = "velkora.coins.1000";
    // Every pack with its coins, smallest first.
    static constexpr std::array<std::pair<const char*, int32_t>, 4> kPacks{
        {{kCoins100, 100}, {kCoins200, 200}, {kCoins500, 500}, {kCoins1000, 1000}}};
    // The coins of a pack's key; 0 for a key that is not one of the packs.
    static int32_t coinsForKey(const std::string& key);
};

class VelkoraQuizIAPHelper : public VelkoraStoreProductsHelper, public VelkoraQuizProductLookup {
public:
    // Made once; from then on it hears the device's payment queue, which brings back what is unfinished.
    static VelkoraQuizIAPHelper& instance();
    static std::shared_ptr<VelkoraQuizIAPHelper> sharedInstance();
    static bool hasInstance();
    static void resetForTests();

    VelkoraQuizIAPHelper();

    // The queue's purchased and failed transactions of returned products, in the queue's order.
    services::PaymentTransactions getPendingTransactions() const;
    services::PaymentTransactions filterPurchasedTransactions(const services::PaymentTransactions& all) const;

    bool hasProduct(const std::string& productId) const override { return productById(productId) != nullptr; }

    void paymentQueueUpdatedTransactions(services::PaymentQueue& queue,
                                         const services::PaymentTransactions& transactions) override;
};

// Where a purchase was started: −1 and −1 outside a quiz.
class VelkoraQuizBuyProductDetails {
public:
    int32_t quizId = -1;
    int32_t questionId = -1;
};

class VelkoraQuizIAPServerManager : public VelkoraQuizProducts {
public:
    using Transaction = std::shared_ptr<services::PaymentTransaction>;

    static VelkoraQuizIAPServerManager& instance();
    static std::shared_ptr<VelkoraQuizIAPServerManager> sharedInstance();
    static bool hasInstance();
    static void resetForTests();

    VelkoraQuizIAPServerManager();
    ~VelkoraQuizIAPServerManager() override;

    // Run each time the application data arrives: asks the store for the packs the host sells.
    void initProducts() override;
    // The store's product of a coin key, for its title and price; null when the key has no store id or
    // the store has not returned it.
    std::shared_ptr<services::Product> productByKey(const std::string& key) const;
    // True when the purchase was handed to the store layer; a spinner turns over `view` until the
    // service has answered (or the purchase failed). False, showing nothing, when the key has no store
    // id or the store does not know the product.
    bool buyProductByKey(const std::string& key, ui::View* view, int32_t quizId, int32_t questionId);
    // The coins of a store product id; 0 (logged) when unknown.
    int32_t coinsForProductId(const std::string& productId) const;
    // The store ids of the coin keys the application data names (and remembers id → key).
    std::set<std::string> createProductsSet();
    void processPendingTransactions();

    const std::shared_ptr<ui::ActivityIndicatorView>& activityIndicator() const { return activityIndicator_; }
    const std::vector<Transaction>& pendingTransactions() const { return pendingTransactions_; }
    const std::vector<Transaction>& serverPendingTransactions() const { return serverPendingTransactions_; }
    // Deliveries that go again after the next answered poll: those that failed on the way, and those
    // the service asked to send again.
    const std::vector<Transaction>& waitingTransactions() const { return waitingForPoll_.transactions(); }
    const std::map<std::string, VelkoraQuizBuyProductDetails>& serverPendingProductsDict() const {
        return serverPendingProductsDict_;
    }
    const std::shared_ptr<foundation::Timer>& storeDataRetrievalTimer() const { return storeDataRetrievalTimer_; }

private:
    void didGetProductsData();
    void handleStoreDataRetrievalCheckTimeout(const std::set<std::string>& products);
    void handleFinishedPayments(const foundation::Notification& notification);
    void deliver(const Transaction& transaction, int32_t coins, const std::shared_ptr<services::Product>& product);
    void quizProductUpdated(const Transaction& transaction, const foundation::Value& answer);
    void deliveryFailed(const Transaction& transaction, const foundation::ErrorPtr& error);
    void credit(const Transaction& transaction);
    void appendPending(const Transaction& transaction);
    void retryAfterNextPoll(const Transaction& transaction);
    void finish(const Transaction& transaction);
    void stopActivityIndicator();
    void postProductUpdated(foundation::Value userInfo);

    std::shared_ptr<ui::ActivityIndicatorView> activityIndicator_;
    std::vector<Transaction> pendingTransactions_;
    std::vector<Transaction> serverPendingTransactions_;
    VelkoraTransactionsAfterNextPoll waitingForPoll_{[this](const services::PaymentTransactions& again) {
        for (const auto& t : again)
            appendPending(t);
        processPendingTransactions();
    }};
    std::map<std::string, VelkoraQuizBuyProductDetails> serverPendingProductsDict_;
    std::map<std::string, std::string> productId2KeyDict_;
    // Store transactions with a delivery to the service in flight.
    std::set<std::string> inFlight_;
    // Store transactions credited in this run, and those of which a delivery failed.
    std::set<std::string> credited_, uncertain_;
    std::shared_ptr<foundation::Timer> storeDataRetrievalTimer_;
    std::shared_ptr<int> callbackLife_ = std::make_shared<int>(0);
    foundation::NotificationObserver dataObserver_, paymentObserver_;
};

// Registers both under their class names, for the session object.
void registerQuizPurchaseObjects();

} // namespace velkora
