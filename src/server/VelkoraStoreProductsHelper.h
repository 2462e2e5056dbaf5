// The store layer the kit's purchase managers share: it asks the device's store for a set of products,
// keeps what came back, starts payments, finishes transactions, and reports the queue's changes to its
// subclass. Everything runs on the main run loop.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/foundation/Error.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/services/Store.h"

namespace velkora {

class VelkoraStoreProductsHelper : public services::ProductsRequestDelegate,
                                   public services::PaymentTransactionObserver,
                                   public std::enable_shared_from_this<VelkoraStoreProductsHelper> {
public:
    // The store can be reached (its module could be found); without it nothing is asked for or bought.
    static bool storeAvailable();
    // The store's product id of a transaction; empty without a payment.
    static std::string productIdOf(const services::PaymentTransaction& transaction);
    // A key that tells a transaction apart for as long as it lives: the store's id, or its address.
    static std::string keyOf(const services::PaymentTransaction& transaction);
    // The request could not reach the service: no connection past the fetcher's retries.
    static bool isConnectionFailure(const foundation::ErrorPtr& error);
    // Appends the transaction unless the list holds the same store transaction already.
    static void appendOnce(services::PaymentTransactions& list, const std::shared_ptr<services::PaymentTransaction>& t);
    // The request failed on the way (no connection, an HTTP status, a reply that is not the service's),
    // so sending it again later may succeed; the service's own refusals are not.
    static bool failedOnTheWay(const foundation::ErrorPtr& error);

    ~VelkoraStoreProductsHelper() override;

    // Forgets every product, marks each id as asked for, and asks the store.
    void resetWithProducts(const std::set<std::string>& productIds);
    void requestProducts();
    // The store's product; null while it is asked for and not returned, and for an id never asked about.
    std::shared_ptr<services::Product> productById(const std::string& productId) const;
    // Asked for, and the store has not returned it (yet).
    bool isAwaitingProduct(const std::string& productId) const;
    // False, buying nothing (logged), when the store has not returned the product.
    bool buyProductById(const std::string& productId);
    bool didGetStoreData() const { return gotStoreData_; }
    bool isStoreDataRetrievalInProgress() const { return storeDataRetrievalInProgress_; }
    void removePaymentFromQueue(const std::shared_ptr<services::PaymentTransaction>& transaction);

    void productsRequestDidReceiveResponse(services::ProductsRequest& request,
                                           const services::ProductsResponse& response) override;
    void requestDidFailWithError(services::ProductsRequest& request, const foundation::ErrorPtr& error) override;

protected:
    // `logName` names the helper in its log lines; `dataGathered` is posted after every product response.
    VelkoraStoreProductsHelper(std::string logName, std::string dataGathered)
        : logName_(std::move(logName)), dataGathered_(std::move(dataGathered)) {}
    // Made through the subclass's instance(): from then on it hears the device's payment queue.
    void registerWithQueue();
    // Posts `notification` with user info "transactions" when the list is not empty.
    void postTransactions(const char* notification, const services::PaymentTransactions& transactions);

private:
    std::string logName_, dataGathered_;
    // Id → product; a null entry is asked for and not returned yet.
    std::map<std::string, std::shared_ptr<services::Product>> productsDict_;
    std::shared_ptr<services::ProductsRequest> productRequest_;
    bool gotStoreData_ = false;
    bool storeDataRetrievalInProgress_ = false;
};

// Transactions whose delivery to the service failed on the way: kept, unfinished, until the service
// answers the next poll, then handed back together to be delivered again.
class VelkoraTransactionsAfterNextPoll {
public:
    using Again = std::function<void(const services::PaymentTransactions& transactions)>;
    explicit VelkoraTransactionsAfterNextPoll(Again again) : again_(std::move(again)) {}

    void add(const std::shared_ptr<services::PaymentTransaction>& transaction);
    void remove(const std::shared_ptr<services::PaymentTransaction>& transaction);
    const services::PaymentTransactions& transactions() const { return waiting_; }

private:
    Again again_;
    services::PaymentTransactions waiting_;
    foundation::NotificationObserver pollObserver_;
};

} // namespace velkora
