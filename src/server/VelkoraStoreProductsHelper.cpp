#include "server/VelkoraStoreProductsHelper.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UrlConnection.h"
#include "server/VelkoraServerClientAgent.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"

namespace velkora {

using foundation::Log;
using foundation::Value;
using services::PaymentQueue;

bool VelkoraStoreProductsHelper::storeAvailable() {
    return VelkoraDynamicFrameworkLoader::loadClass("SKPaymentQueue", "StoreKit") != nullptr;
}

std::string VelkoraStoreProductsHelper::productIdOf(const services::PaymentTransaction& t) {
    return t.payment() ? t.payment()->productIdentifier() : std::string();
}

std::string VelkoraStoreProductsHelper::keyOf(const services::PaymentTransaction& t) {
    if (!t.transactionIdentifier().empty()) return t.transactionIdentifier();
    return "local:" + std::to_string(reinterpret_cast<uintptr_t>(&t));
}

void VelkoraStoreProductsHelper::appendOnce(services::PaymentTransactions& list,
                                            const std::shared_ptr<services::PaymentTransaction>& t) {
    if (!t) return;
    const std::string key = keyOf(*t);
    for (const auto& p : list)
        if (keyOf(*p) == key) return;
    list.push_back(t);
}

bool VelkoraStoreProductsHelper::isConnectionFailure(const foundation::ErrorPtr& error) {
    for (auto e = error; e; e = e->underlying)
        if (e->domain == foundation::kUrlConnectionErrorDomain) return true;
    return false;
}

bool VelkoraStoreProductsHelper::failedOnTheWay(const foundation::ErrorPtr& error) {
    const std::string domain = error ? error->domain : std::string();
    return isConnectionFailure(error) || domain == "UrlFetcher wrong responseCode" || domain == "Internal error";
}

void VelkoraStoreProductsHelper::registerWithQueue() {
    if (!storeAvailable()) return;
    PaymentQueue::defaultQueue().addTransactionObserver(shared_from_this());
}

VelkoraStoreProductsHelper::~VelkoraStoreProductsHelper() {
    if (productRequest_) productRequest_->cancel();
}

void VelkoraStoreProductsHelper::resetWithProducts(const std::set<std::string>& productIds) {
    productsDict_.clear();
    gotStoreData_ = false;
    for (const auto& id : productIds)
        productsDict_[id] = nullptr;
    requestProducts();
}

void VelkoraStoreProductsHelper::requestProducts() {
    if (!VelkoraDynamicFrameworkLoader::loadClass("SKProductsRequest", "StoreKit")) return;
    if (productRequest_) {
        productRequest_->setDelegate({});
        productRequest_->cancel();
    }
    std::set<std::string> ids;
    for (const auto& [id, product] : productsDict_)
        ids.insert(id);
    productRequest_ = services::ProductsRequest::create(std::move(ids));
    productRequest_->setDelegate(std::weak_ptr<services::ProductsRequestDelegate>(shared_from_this()));
    storeDataRetrievalInProgress_ = true;
    productRequest_->start();
}

void VelkoraStoreProductsHelper::productsRequestDidReceiveResponse(services::ProductsRequest&,
                                                                   const services::ProductsResponse& response) {
    for (const auto& product : response.products) {
        if (!product) continue;
        productsDict_[product->productIdentifier()] = product;
        gotStoreData_ = true;
    }
    for (const auto& invalid : response.invalidProductIdentifiers)
        Log::line("Velkora (E) - %@: Found invalid product: %@", logName_, invalid);
    storeDataRetrievalInProgress_ = false;
    foundation::NotificationCenter::defaultCenter().post(dataGathered_, this);
}

void VelkoraStoreProductsHelper::requestDidFailWithError(services::ProductsRequest&,
                                                         const foundation::ErrorPtr& error) {
    std::string description =
        error ? error->userInfo["NSLocalizedDescription"].toText().value_or(error->description()) : std::string();
    Log::line("Velkora (E) - %@: Failed to load list of products - %@", logName_, description);
    storeDataRetrievalInProgress_ = false;
}

std::shared_ptr<services::Product> VelkoraStoreProductsHelper::productById(const std::string& productId) const {
    auto it = productsDict_.find(productId);
    return it == productsDict_.end() ? nullptr : it->second;
}

bool VelkoraStoreProductsHelper::isAwaitingProduct(const std::string& productId) const {
    auto it = productsDict_.find(productId);
    return it != productsDict_.end() && !it->second;
}

bool VelkoraStoreProductsHelper::buyProductById(const std::string& productId) {
    auto product = productById(productId);
    if (!product || !VelkoraDynamicFrameworkLoader::loadClass("SKPayment", "StoreKit")) {
        Log::line("Velkora (E) - Knowing nothing about product %@ - Won't buy", productId);
        return false;
    }
    PaymentQueue::defaultQueue().addPayment(services::Payment::paymentWithProduct(product));
    return true;
}

void VelkoraStoreProductsHelper::removePaymentFromQueue(const std::shared_ptr<services::PaymentTransaction>& t) {
    if (t) PaymentQueue::defaultQueue().finishTransaction(t);
}

void VelkoraStoreProductsHelper::postTransactions(const char* notification,
                                                  const services::PaymentTransactions& transactions) {
    if (transactions.empty()) return;
    foundation::Array list;
    for (const auto& t : transactions)
        list.push_back(Value::object(t));
    foundation::NotificationCenter::defaultCenter().post(notification, this,
                                                         Value(foundation::Dictionary{{"transactions", list}}));
}

void VelkoraTransactionsAfterNextPoll::add(const std::shared_ptr<services::PaymentTransaction>& transaction) {
    VelkoraStoreProductsHelper::appendOnce(waiting_, transaction);
    if (pollObserver_) return;
    pollObserver_ = foundation::NotificationObserver(VelkoraServerClientAgent::kUpdatePollAnsweredNotification, nullptr,
                                                     [this](const foundation::Notification&) {
                                                         // Ended first: what goes again may fail again and wait anew.
                                                         pollObserver_.reset();
                                                         auto again = std::move(waiting_);
                                                         waiting_.clear();
                                                         again_(again);
                                                     });
}

void VelkoraTransactionsAfterNextPoll::remove(const std::shared_ptr<services::PaymentTransaction>& transaction) {
    waiting_.erase(std::remove(waiting_.begin(), waiting_.end(), transaction), waiting_.end());
}

} // namespace velkora
