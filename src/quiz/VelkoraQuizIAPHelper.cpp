#include "quiz/VelkoraQuizIAPHelper.h"

#include <algorithm>
#include <limits>
#include <mutex>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "server/VelkoraServerApi.h"
#include "server/VelkoraServerClientAgent.h"
#include "server/utils/VelkoraBase64.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppData.h"
#include "session/VelkoraScreenRegistry.h"
#include "shell/VelkoraDefaultNotificationPopupView.h"

namespace velkora {

using foundation::Log;
using foundation::Value;
using services::PaymentTransactionState;

namespace {

constexpr double kStoreDataRetrySeconds = 3.0;

std::mutex gHelperMutex, gManagerMutex;
std::shared_ptr<VelkoraQuizIAPHelper> gHelper;
std::shared_ptr<VelkoraQuizIAPServerManager> gManager;

// Coin key → the host's store id; empty without application data or its "productIds".
VelkoraAppData::ProductIds productIdsOfAppData() {
    auto appData = VelkoraAgentInternal::instance().appData();
    if (!appData || !appData->productIds()) return {};
    return *appData->productIds();
}

foundation::Array valuesOf(const std::vector<VelkoraQuizIAPServerManager::Transaction>& transactions) {
    foundation::Array list;
    for (const auto& t : transactions)
        list.push_back(Value::object(t));
    return list;
}

template <class List, class T> void removeFrom(List& list, const T& item) {
    list.erase(std::remove(list.begin(), list.end(), item), list.end());
}

} // namespace

int32_t VelkoraQuizCoinKeys::coinsForKey(const std::string& key) {
    for (const auto& [packKey, coins] : kPacks)
        if (key == packKey) return coins;
    return 0;
}

// ---- the store layer

VelkoraQuizIAPHelper::VelkoraQuizIAPHelper()
    : VelkoraStoreProductsHelper("VelkoraQuizIAPHelper", kVelkoraNotificationQuizIAPDataGathered) {}

std::shared_ptr<VelkoraQuizIAPHelper> VelkoraQuizIAPHelper::sharedInstance() {
    std::shared_ptr<VelkoraQuizIAPHelper> made;
    {
        std::lock_guard<std::mutex> lock(gHelperMutex);
        if (gHelper) return gHelper;
        gHelper = std::make_shared<VelkoraQuizIAPHelper>();
        made = gHelper;
    }
    made->registerWithQueue();
    return made;
}

VelkoraQuizIAPHelper& VelkoraQuizIAPHelper::instance() {
    return *sharedInstance();
}

bool VelkoraQuizIAPHelper::hasInstance() {
    std::lock_guard<std::mutex> lock(gHelperMutex);
    return gHelper != nullptr;
}

void VelkoraQuizIAPHelper::resetForTests() {
    std::shared_ptr<VelkoraQuizIAPHelper> old;
    {
        std::lock_guard<std::mutex> lock(gHelperMutex);
        old = std::move(gHelper);
    }
}

services::PaymentTransactions
VelkoraQuizIAPHelper::filterPurchasedTransactions(const services::PaymentTransactions& all) const {
    services::PaymentTransactions kept;
    for (const auto& t : all) {
        if (!t || !productById(productIdOf(*t))) continue;
        if (t->transactionState() == PaymentTransactionState::Purchased ||
            t->transactionState() == PaymentTransactionState::Failed)
            kept.push_back(t);
    }
    return kept;
}

services::PaymentTransactions VelkoraQuizIAPHelper::getPendingTransactions() const {
    if (!storeAvailable()) return {};
    return filterPurchasedTransactions(services::PaymentQueue::defaultQueue().transactions());
}

void VelkoraQuizIAPHelper::paymentQueueUpdatedTransactions(services::PaymentQueue&,
                                                           const services::PaymentTransactions& transactions) {
    postTransactions(kVelkoraNotificationQuizIAPPaymentFinished, filterPurchasedTransactions(transactions));
}

// ---- the manager

std::shared_ptr<VelkoraQuizIAPServerManager> VelkoraQuizIAPServerManager::sharedInstance() {
    std::lock_guard<std::mutex> lock(gManagerMutex);
    if (!gManager) gManager = std::make_shared<VelkoraQuizIAPServerManager>();
    return gManager;
}

VelkoraQuizIAPServerManager& VelkoraQuizIAPServerManager::instance() {
    return *sharedInstance();
}

bool VelkoraQuizIAPServerManager::hasInstance() {
    std::lock_guard<std::mutex> lock(gManagerMutex);
    return gManager != nullptr;
}

void VelkoraQuizIAPServerManager::resetForTests() {
    std::shared_ptr<VelkoraQuizIAPServerManager> old;
    {
        std::lock_guard<std::mutex> lock(gManagerMutex);
        old = std::move(gManager);
    }
}

VelkoraQuizIAPServerManager::VelkoraQuizIAPServerManager() {
    dataObserver_ = foundation::NotificationObserver(kVelkoraNotificationQuizIAPDataGathered, nullptr,
                                                     [this](const foundation::Notification&) { didGetProductsData(); });
}

VelkoraQuizIAPServerManager::~VelkoraQuizIAPServerManager() {
    if (storeDataRetrievalTimer_) storeDataRetrievalTimer_->invalidate();
}

void VelkoraQuizIAPServerManager::initProducts() {
    // What waited is asked of the queue again once the product list is back; a delivery still in flight
    // stays, so its answer finds it and it is never sent twice at once.
    pendingTransactions_.clear();
    std::vector<Transaction> inFlight;
    for (const auto& t : serverPendingTransactions_)
        if (inFlight_.count(VelkoraStoreProductsHelper::keyOf(*t))) inFlight.push_back(t);
    serverPendingTransactions_ = std::move(inFlight);
    paymentObserver_ =
        foundation::NotificationObserver(kVelkoraNotificationQuizIAPPaymentFinished, nullptr,
                                         [this](const foundation::Notification& n) { handleFinishedPayments(n); });
    auto products = createProductsSet();
    auto appData = VelkoraAgentInternal::instance().appData();
    // A timer of earlier data stops either way: these data decide what is asked for.
    if (storeDataRetrievalTimer_) storeDataRetrievalTimer_->invalidate();
    if (!appData || !appData->isQuizEnabled() || products.empty() || !VelkoraQuizIAPHelper::storeAvailable()) return;
    VelkoraQuizIAPHelper::instance().resetWithProducts(products);
    storeDataRetrievalTimer_ =
        foundation::Timer::scheduled(kStoreDataRetrySeconds, true, [this, products](foundation::Timer&) {
            handleStoreDataRetrievalCheckTimeout(products);
        });
}

std::set<std::string> VelkoraQuizIAPServerManager::createProductsSet() {
    std::set<std::string> products;
    const auto ids = productIdsOfAppData();
    for (const auto& [key, coins] : VelkoraQuizCoinKeys::kPacks) {
        auto it = ids.find(key);
        if (it == ids.end() || it->second.empty()) continue;
        products.insert(it->second);
        productId2KeyDict_[it->second] = key;
    }
    return products;
}

void VelkoraQuizIAPServerManager::handleStoreDataRetrievalCheckTimeout(const std::set<std::string>& products) {
    auto& helper = VelkoraQuizIAPHelper::instance();
    if (helper.didGetStoreData()) {
        if (storeDataRetrievalTimer_) storeDataRetrievalTimer_->invalidate();
        return;
    }
    if (!helper.isStoreDataRetrievalInProgress()) helper.resetWithProducts(products);
}

void VelkoraQuizIAPServerManager::didGetProductsData() {
    auto& helper = VelkoraQuizIAPHelper::instance();
    if (helper.didGetStoreData() && storeDataRetrievalTimer_ && storeDataRetrievalTimer_->isValid())
        storeDataRetrievalTimer_->invalidate();
    for (const auto& t : helper.getPendingTransactions())
        appendPending(t);
    processPendingTransactions();
}

void VelkoraQuizIAPServerManager::handleFinishedPayments(const foundation::Notification& n) {
    if (const auto* list = n.userInfo["transactions"].asArray())
        for (const auto& v : *list)
            if (auto t = v.asObject<services::PaymentTransaction>()) appendPending(t);
    processPendingTransactions();
}

void VelkoraQuizIAPServerManager::appendPending(const Transaction& t) {
    VelkoraStoreProductsHelper::appendOnce(pendingTransactions_, t);
}

std::shared_ptr<services::Product> VelkoraQuizIAPServerManager::productByKey(const std::string& key) const {
    const auto ids = productIdsOfAppData();
    auto it = ids.find(key);
    if (it == ids.end() || !VelkoraQuizIAPHelper::hasInstance()) return nullptr;
    return VelkoraQuizIAPHelper::instance().productById(it->second);
}

bool VelkoraQuizIAPServerManager::buyProductByKey(const std::string& key, ui::View* view, int32_t quizId,
                                                  int32_t questionId) {
    const auto ids = productIdsOfAppData();
    auto it = ids.find(key);
    if (it == ids.end()) return false;
    const std::string productId = it->second;
    if (!VelkoraQuizIAPHelper::storeAvailable()) {
        Log::line("Velkora (E) - Knowing nothing about product %@ - Won't buy", productId);
        return false;
    }
    serverPendingProductsDict_[productId] = VelkoraQuizBuyProductDetails{quizId, questionId};
    // A product the store did not return cannot be bought (logged): the caller hears so at once instead
    // of waiting on a spinner for a purchase that never starts.
    if (!VelkoraQuizIAPHelper::instance().buyProductById(productId)) return false;
    // The queue reports on the run loop, after the spinner is up.
    if (activityIndicator_) {
        activityIndicator_->stopAnimating();
        activityIndicator_->removeFromSuperview();
    }
    activityIndicator_ = ui::ActivityIndicatorView::create(ui::ActivityIndicatorViewStyle::WhiteLarge);
    activityIndicator_->setHidesWhenStopped(true);
    if (view) {
        const ui::Rect b = view->bounds();
        activityIndicator_->setCenter({b.origin.x + b.size.width / 2, b.origin.y + b.size.height / 2});
        view->addSubview(activityIndicator_);
    }
    activityIndicator_->startAnimating();
    return true;
}

int32_t VelkoraQuizIAPServerManager::coinsForProductId(const std::string& productId) const {
    auto it = productId2KeyDict_.find(productId);
    if (it == productId2KeyDict_.end()) {
        Log::line("Velkora (W) - QUIZ BUY: Unknown product Id: %@", productId);
        return 0;
    }
    if (int32_t coins = VelkoraQuizCoinKeys::coinsForKey(it->second)) return coins;
    Log::line("Velkora (W) - QUIZ BUY: Unknown product Key: %@ for product ID: %@", it->second, productId);
    return 0;
}

void VelkoraQuizIAPServerManager::processPendingTransactions() {
    if (pendingTransactions_.empty()) return;
    auto batch = std::move(pendingTransactions_);
    pendingTransactions_.clear();
    auto& helper = VelkoraQuizIAPHelper::instance();
    bool underWay = false;
    for (const auto& t : batch) {
        const std::string productId = VelkoraStoreProductsHelper::productIdOf(*t);
        if (t->transactionState() == PaymentTransactionState::Failed) {
            Log::line("Velkora (W) - QUIZ IAP: Transaction for product %@ FAILED !!", productId);
            helper.removePaymentFromQueue(t);
            continue;
        }
        if (t->transactionState() != PaymentTransactionState::Purchased) continue;
        // One delivery per transaction at a time: its answer decides.
        if (inFlight_.count(VelkoraStoreProductsHelper::keyOf(*t))) {
            underWay = true;
            continue;
        }
        const int32_t coins = coinsForProductId(productId);
        if (coins == 0) continue;
        auto product = helper.productById(productId);
        if (!product) {
            Log::line("Velkora (W) - Product information is not available yet for %@ !!", productId);
            continue;
        }
        deliver(t, coins, product);
        underWay = true;
    }
    if (!underWay) {
        stopActivityIndicator();
        postProductUpdated(Value(foundation::Dictionary{{"failedTransactions", valuesOf(batch)}}));
    }
}

void VelkoraQuizIAPServerManager::deliver(const Transaction& t, int32_t coins,
                                          const std::shared_ptr<services::Product>& product) {
    const std::string productId = VelkoraStoreProductsHelper::productIdOf(*t);
    VelkoraQuizBuyProductDetails details;
    if (auto it = serverPendingProductsDict_.find(productId); it != serverPendingProductsDict_.end())
        details = it->second;
    inFlight_.insert(VelkoraStoreProductsHelper::keyOf(*t));
    VelkoraStoreProductsHelper::appendOnce(serverPendingTransactions_, t);
    waitingForPoll_.remove(t);
    OptString receipt;
    if (t->transactionReceipt()) receipt = base64EncodedString(*t->transactionReceipt());
    VelkoraServerApi::updateQuizBoughtCoins(
        VelkoraCallback::make(
            callbackLife_, [this, t](const Value& answer) { quizProductUpdated(t, answer); },
            [this, t](const foundation::ErrorPtr& error) { deliveryFailed(t, error); }),
        coins, details.quizId, details.questionId, product, receipt);
}

// The answer decides for the transaction it was sent for, never for another of the same product.
void VelkoraQuizIAPServerManager::quizProductUpdated(const Transaction& t, const Value& answer) {
    inFlight_.erase(VelkoraStoreProductsHelper::keyOf(*t));
    const std::string productId = answer["productId"].toText().value_or(VelkoraStoreProductsHelper::productIdOf(*t));
    if (answer["success"].boolOr(false)) {
        credit(t);
        finish(t);
    } else {
        Log::line("Velkora (W) - Purchase of %@ failed validation of receipt", productId);
        if (answer["shouldRetry"].boolOr(false))
            retryAfterNextPoll(t);
        else
            finish(t);
    }
    stopActivityIndicator();
    postProductUpdated({});
}

// The service did not answer: the transaction stays unfinished and goes again after the next good
// poll when it failed on the way, and at the next product list or start in any case.
void VelkoraQuizIAPServerManager::deliveryFailed(const Transaction& t, const foundation::ErrorPtr& error) {
    inFlight_.erase(VelkoraStoreProductsHelper::keyOf(*t));
    uncertain_.insert(VelkoraStoreProductsHelper::keyOf(*t));
    Log::line("Velkora (W) - QUIZ IAP: the service did not take the purchase of %@: %@",
              VelkoraStoreProductsHelper::productIdOf(*t), error ? error->description() : std::string());
    if (VelkoraStoreProductsHelper::failedOnTheWay(error)) retryAfterNextPoll(t);
    stopActivityIndicator();
    const char* key = VelkoraStoreProductsHelper::isConnectionFailure(error) ? "velkora_text_no_network_message"
                                                                             : "velkora_text_purchase_pending_message";
    const std::string message = foundation::Bundle::main().localizedString(key);
    Log::line("Velkora (W) - QUIZ IAP: %@", message);
    if (auto toast = VelkoraDefaultNotificationPopupView::initFromNib(message))
        toast->showInView(ui::Application::instance().keyWindow());
    postProductUpdated(Value(foundation::Dictionary{{"pendingTransactions", valuesOf({t})}}));
}

// The user's coins until the next poll brings the service's count, once per transaction. Only a purchase
// made in this run whose deliveries all reached the service is added here: after a delivery that failed
// (the service may have credited it before the connection broke, and a poll may have brought that) or
// for a purchase left from an earlier run, the service's own count is asked for instead, so the coins
// are never counted twice.
void VelkoraQuizIAPServerManager::credit(const Transaction& t) {
    const std::string key = VelkoraStoreProductsHelper::keyOf(*t);
    if (!credited_.insert(key).second) return;
    const bool madeHere = t->payment() && t->payment()->product();
    auto user = VelkoraAgentInternal::instance().velkoraUser();
    if (!madeHere || uncertain_.count(key) || !user) {
        VelkoraServerApi::updateNow();
        return;
    }
    const int64_t coins = int64_t(user->coins()) + coinsForProductId(VelkoraStoreProductsHelper::productIdOf(*t));
    user->setCoins(static_cast<int32_t>(
        std::clamp<int64_t>(coins, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max())));
}

void VelkoraQuizIAPServerManager::finish(const Transaction& t) {
    inFlight_.erase(VelkoraStoreProductsHelper::keyOf(*t));
    removeFrom(serverPendingTransactions_, t);
    waitingForPoll_.remove(t);
    removeFrom(pendingTransactions_, t);
    VelkoraQuizIAPHelper::instance().removePaymentFromQueue(t);
}

void VelkoraQuizIAPServerManager::retryAfterNextPoll(const Transaction& t) {
    waitingForPoll_.add(t);
}

void VelkoraQuizIAPServerManager::stopActivityIndicator() {
    if (activityIndicator_) activityIndicator_->stopAnimating();
}

void VelkoraQuizIAPServerManager::postProductUpdated(Value userInfo) {
    foundation::NotificationCenter::defaultCenter().post(kVelkoraNotificationQuizProductUpdated, this,
                                                         std::move(userInfo));
}

void registerQuizPurchaseObjects() {
    auto& registry = VelkoraScreenRegistry::instance();
    registry.registerObject<VelkoraQuizProducts>("VelkoraQuizIAPServerManager",
                                                 [](const Value&) -> std::shared_ptr<VelkoraQuizProducts> {
                                                     return VelkoraQuizIAPServerManager::sharedInstance();
                                                 });
    registry.registerObject<VelkoraQuizProductLookup>("VelkoraQuizIAPHelper",
                                                      [](const Value&) -> std::shared_ptr<VelkoraQuizProductLookup> {
                                                          return VelkoraQuizIAPHelper::sharedInstance();
                                                      });
}

} // namespace velkora
