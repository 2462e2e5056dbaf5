// The app store of the device: product requests, payments, the payment queue with its transactions and
// their receipts, and restoring what the store account owns. It talks to the store at the Store base of
// the outside endpoints, and everything it reports arrives on the main run loop.
#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/RunLoop.h"
#include "platform/services/Product.h"

namespace velkora::services {

// Failures of the store carry this domain.
inline constexpr const char* kStoreErrorDomain = "StoreKitErrorDomain";
enum StoreErrorCode : int64_t {
    kStoreErrorUnknown = 0,           // the store could not be reached, or answered nonsense
    kStoreErrorClientInvalid = 1,     // no store account on the device
    kStoreErrorPaymentCancelled = 2,  // the person cancelled the purchase prompt
    kStoreErrorPaymentInvalid = 3,    // the store declined the payment
    kStoreErrorPaymentNotAllowed = 4, // purchases are restricted on this device
};

class ProductsRequest;

class ProductsResponse {
public:
    std::vector<std::shared_ptr<Product>> products;
    std::vector<std::string> invalidProductIdentifiers;
};

class ProductsRequestDelegate {
public:
    virtual ~ProductsRequestDelegate() = default;
    virtual void productsRequestDidReceiveResponse(ProductsRequest& /*request*/, const ProductsResponse& /*response*/) {
    }
    virtual void requestDidFailWithError(ProductsRequest& /*request*/, const foundation::ErrorPtr& /*error*/) {}
    // After a response (not after a failure).
    virtual void requestDidFinish(ProductsRequest& /*request*/) {}
};

// Asks the store for products by id: the delegate gets the products and the ids the store does not sell,
// or the failure. Cancelled, or once its delegate is gone, it tells no one.
class ProductsRequest : public std::enable_shared_from_this<ProductsRequest> {
public:
    static std::shared_ptr<ProductsRequest> create(std::set<std::string> productIdentifiers);
    ~ProductsRequest();

    void setDelegate(std::weak_ptr<ProductsRequestDelegate> delegate) { delegate_ = std::move(delegate); }
    const std::set<std::string>& productIdentifiers() const { return productIdentifiers_; }
    void start();
    void cancel();

    struct Call;

private:
    explicit ProductsRequest(std::set<std::string> ids) : productIdentifiers_(std::move(ids)) {}
    std::set<std::string> productIdentifiers_;
    std::weak_ptr<ProductsRequestDelegate> delegate_;
    std::shared_ptr<Call> call_;
};

class Payment {
public:
    static std::shared_ptr<Payment> paymentWithProduct(const std::shared_ptr<Product>& product, int quantity = 1);
    const std::string& productIdentifier() const { return productIdentifier_; }
    int quantity() const { return quantity_; }
    // The product as it was when the payment was made; null for a payment the queue got back from the store.
    const std::shared_ptr<Product>& product() const { return product_; }

    Payment(std::string productIdentifier, int quantity, std::shared_ptr<Product> product)
        : productIdentifier_(std::move(productIdentifier)), quantity_(quantity), product_(std::move(product)) {}

private:
    std::string productIdentifier_;
    int quantity_;
    std::shared_ptr<Product> product_;
};

enum class PaymentTransactionState { Purchasing = 0, Purchased = 1, Failed = 2, Restored = 3 };

class PaymentTransaction {
public:
    PaymentTransaction(std::shared_ptr<Payment> payment) : payment_(std::move(payment)) {}

    const std::shared_ptr<Payment>& payment() const { return payment_; }
    PaymentTransactionState transactionState() const { return state_; }
    // The store's id; empty while purchasing and for a payment that never reached the store.
    const std::string& transactionIdentifier() const { return transactionIdentifier_; }
    foundation::Date transactionDate() const { return transactionDate_; }
    // Only when failed.
    const foundation::ErrorPtr& error() const { return error_; }
    // The receipt's bytes, only when purchased or restored.
    const std::optional<std::string>& transactionReceipt() const { return transactionReceipt_; }
    // The purchase a restored transaction brings back.
    const std::shared_ptr<PaymentTransaction>& originalTransaction() const { return originalTransaction_; }

private:
    friend class PaymentQueue;
    std::shared_ptr<Payment> payment_;
    PaymentTransactionState state_ = PaymentTransactionState::Purchasing;
    std::string transactionIdentifier_;
    foundation::Date transactionDate_ = 0;
    foundation::ErrorPtr error_;
    std::optional<std::string> transactionReceipt_;
    std::shared_ptr<PaymentTransaction> originalTransaction_;
};

using PaymentTransactions = std::vector<std::shared_ptr<PaymentTransaction>>;

class PaymentQueue;

class PaymentTransactionObserver {
public:
    virtual ~PaymentTransactionObserver() = default;
    virtual void paymentQueueUpdatedTransactions(PaymentQueue& queue, const PaymentTransactions& transactions) = 0;
    virtual void paymentQueueRemovedTransactions(PaymentQueue& /*queue*/, const PaymentTransactions& /*transactions*/) {
    }
    virtual void paymentQueueRestoreCompletedTransactionsFinished(PaymentQueue& /*queue*/) {}
    virtual void paymentQueueRestoreCompletedTransactionsFailedWithError(PaymentQueue& /*queue*/,
                                                                         const foundation::ErrorPtr& /*error*/) {}
};

// The device's one payment queue. A payment starts purchasing, asks the purchase prompt, and ends
// purchased with the store's signed receipt or failed with the reason. Transactions stay in the queue
// until finished; the store keeps the unfinished ones, which the queue fetches when its first observer
// is added, so they survive a restart. Main thread only.
class PaymentQueue {
public:
    static PaymentQueue& defaultQueue();
    static bool canMakePayments();

    // Observers are not retained; one added twice is told once.
    void addTransactionObserver(const std::shared_ptr<PaymentTransactionObserver>& observer);
    void removeTransactionObserver(const std::shared_ptr<PaymentTransactionObserver>& observer);
    void addPayment(const std::shared_ptr<Payment>& payment);
    // Done with a transaction: the store forgets it as unfinished. A purchasing one is refused.
    void finishTransaction(const std::shared_ptr<PaymentTransaction>& transaction);
    // The account's non-consumables come back as restored transactions, then restore-finished (or
    // restore-failed).
    void restoreCompletedTransactions();
    const PaymentTransactions& transactions() const { return transactions_; }

    // A fresh queue, as after a restart: no transactions, no observers, nothing fetched yet; for tests.
    void resetForTests();

private:
    PaymentQueue() = default;
    void notifyUpdated(const PaymentTransactions& changed);
    template <class Call> void eachObserver(Call call);
    void fetchUnfinished();
    void purchase(const std::shared_ptr<PaymentTransaction>& transaction);
    void fail(const std::shared_ptr<PaymentTransaction>& transaction, int64_t code, const std::string& message);
    void failWithError(const std::shared_ptr<PaymentTransaction>& transaction, foundation::ErrorPtr error);
    std::shared_ptr<PaymentTransaction> adopt(const foundation::Value& record);

    std::vector<std::weak_ptr<PaymentTransactionObserver>> observers_;
    PaymentTransactions transactions_;
    bool fetchedUnfinished_ = false;
    // Ids finished in this run. The store learns of a finish by a request of its own, so a list of
    // unfinished transactions asked for before it arrived may still name one: it must not come back.
    std::set<std::string> finishedIds_;
    uint64_t generation_ = 0; // answers of calls made before a reset are dropped
};

} // namespace velkora::services
