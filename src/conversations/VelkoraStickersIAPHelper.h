// Paid sticker packs: the store layer over the device's store (products, payments, the transaction queue,
// restores), and the manager that maps products to packs, hands each purchase's receipt to the service
// and finishes the store's transaction only once the service has answered for it, so nothing bought is
// lost to a crash, a dropped connection or a service that asks to try again.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "data/VelkoraStickerPack.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/services/Store.h"
#include "server/VelkoraStoreProductsHelper.h"

namespace velkora {

inline constexpr const char* kVelkoraNotificationStickersIAPDataGathered = "VelkoraNotificationStickersIAPDataGathered";
inline constexpr const char* kVelkoraNotificationStickersIAPPaymentFinished =
    "VelkoraNotificationStickersIAPPaymentFinished";

class VelkoraStickersIAPHelper : public VelkoraStoreProductsHelper {
public:
    // Made once; registers with the device's payment queue, which then brings back what is unfinished.
    static VelkoraStickersIAPHelper& instance();
    static bool hasInstance();
    static void resetForTests();

    services::PaymentTransactions getPendingTransactions() const;
    void restoreProducts();

    void paymentQueueUpdatedTransactions(services::PaymentQueue& queue,
                                         const services::PaymentTransactions& transactions) override;
    void paymentQueueRestoreCompletedTransactionsFinished(services::PaymentQueue& queue) override;
    void paymentQueueRestoreCompletedTransactionsFailedWithError(services::PaymentQueue& queue,
                                                                 const foundation::ErrorPtr& error) override;

    static services::PaymentTransactions filterPurchasedTransactions(const services::PaymentTransactions& all);

    VelkoraStickersIAPHelper();

private:
    // Restored transactions seen since the restore began: none means nothing came back.
    std::optional<int> restoredSinceRequest_;
};

// The pack a purchase was started for.
class VelkoraStickersBuyProductDetails {
public:
    int32_t packId = 0;
};

class VelkoraStickersIAPServerManager {
public:
    static VelkoraStickersIAPServerManager& instance();
    static bool hasInstance();
    static void resetForTests();
    // The duty run when the user's own data arrives: the store layer registers, and unfinished
    // transactions it brings back are handled without waiting for the store screen.
    static void startWithUserData();

    void initProducts(const std::vector<VelkoraStickerPackPtr>& packs);
    bool isProductsInitialized() const { return isProductsInitialized_; }
    // False, marking nothing, when the store has no data for the product.
    bool buyProductByKey(const std::string& productId, int32_t packId);
    std::shared_ptr<services::Product> productById(const std::string& productId) const;
    int32_t packIdForProductId(const std::string& productId) const;
    void processPendingTransactions();
    // Seconds to the next product request while the store has given nothing.
    double productRetryInterval() const { return retryInterval_; }

    VelkoraStickersIAPServerManager();
    ~VelkoraStickersIAPServerManager();

private:
    using Transaction = std::shared_ptr<services::PaymentTransaction>;

    void didGetProductsData();
    void handleFinishedPayments(const foundation::Notification& notification);
    void handleStoreDataRetrievalCheckTimeout();
    void armRetryTimer();
    void appendPending(const Transaction& t);
    void sendPaid(const Transaction& t, int32_t packId);
    void sendRestore(const Transaction& t, int32_t packId);
    void stickersProductUpdated(const Transaction& t, int32_t packId, const foundation::Value& reply);
    void stickersPackRestored(const Transaction& t, int32_t packId);
    void serviceFailed(const Transaction& t, int32_t packId, bool restore, const foundation::ErrorPtr& error);
    void finish(const Transaction& t);
    void granted(int32_t packId);
    void retryAfterNextPoll(const Transaction& t);
    void postProductUpdated(const std::optional<std::vector<int32_t>>& failed);
    void askStoreListForUnfinished();

    std::map<std::string, int32_t> productId2PackId_;
    std::map<std::string, VelkoraStickersBuyProductDetails> serverPendingProductsDict_;
    std::vector<Transaction> pendingTransactions_;
    std::vector<Transaction> serverPendingTransactions_;
    std::set<std::string> inFlight_;
    VelkoraTransactionsAfterNextPoll waitingForPoll_{[this](const services::PaymentTransactions& again) {
        for (const auto& t : again)
            appendPending(t);
        processPendingTransactions();
    }};
    std::set<std::string> productSet_;
    std::shared_ptr<foundation::Timer> storeDataRetrievalTimer_;
    double retryInterval_ = 3.0;
    bool isProductsInitialized_ = false;
    bool storeListAsked_ = false;
    std::shared_ptr<int> callbackLife_ = std::make_shared<int>(0);
    foundation::NotificationObserver dataObserver_, paymentObserver_;
};

} // namespace velkora
