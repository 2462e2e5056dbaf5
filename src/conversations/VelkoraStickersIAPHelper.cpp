#include "conversations/VelkoraStickersIAPHelper.h"

#include <algorithm>
#include <mutex>

#include "conversations/VelkoraStickerPackStatusManager.h"
#include "platform/foundation/Log.h"
#include "server/VelkoraServerApi.h"
#include "server/VelkoraServerClientAgent.h"
#include "server/utils/VelkoraBase64.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"

namespace velkora {

using foundation::Log;
using foundation::Value;
using services::PaymentQueue;
using services::PaymentTransactionState;

namespace {

constexpr double kFirstRetrySeconds = 3.0;
constexpr double kLongestRetrySeconds = 60.0;

std::mutex gHelperMutex, gManagerMutex;
std::shared_ptr<VelkoraStickersIAPHelper> gHelper;
std::unique_ptr<VelkoraStickersIAPServerManager> gManager;

std::string productIdOf(const services::PaymentTransaction& t) {
    return VelkoraStoreProductsHelper::productIdOf(t);
}
std::string keyOf(const services::PaymentTransaction& t) {
    return VelkoraStoreProductsHelper::keyOf(t);
}

} // namespace

// ---- the store layer

VelkoraStickersIAPHelper::VelkoraStickersIAPHelper()
    : VelkoraStoreProductsHelper("VelkoraStickersIAPHelper", kVelkoraNotificationStickersIAPDataGathered) {}

VelkoraStickersIAPHelper& VelkoraStickersIAPHelper::instance() {
    std::shared_ptr<VelkoraStickersIAPHelper> made;
    {
        std::lock_guard<std::mutex> lock(gHelperMutex);
        if (gHelper) return *gHelper;
        gHelper = std::make_shared<VelkoraStickersIAPHelper>();
        made = gHelper;
    }
    made->registerWithQueue();
    return *made;
}

bool VelkoraStickersIAPHelper::hasInstance() {
    std::lock_guard<std::mutex> lock(gHelperMutex);
    return gHelper != nullptr;
}

void VelkoraStickersIAPHelper::resetForTests() {
    std::shared_ptr<VelkoraStickersIAPHelper> old;
    {
        std::lock_guard<std::mutex> lock(gHelperMutex);
        old = std::move(gHelper);
    }
}

services::PaymentTransactions
VelkoraStickersIAPHelper::filterPurchasedTransactions(const services::PaymentTransactions& all) {
    services::PaymentTransactions kept;
    for (const auto& t : all)
        if (t && (t->transactionState() == PaymentTransactionState::Purchased ||
                  t->transactionState() == PaymentTransactionState::Failed ||
                  t->transactionState() == PaymentTransactionState::Restored))
            kept.push_back(t);
    return kept;
}

void VelkoraStickersIAPHelper::paymentQueueUpdatedTransactions(PaymentQueue&,
                                                               const services::PaymentTransactions& transactions) {
    auto kept = filterPurchasedTransactions(transactions);
    if (kept.empty()) return;
    if (restoredSinceRequest_)
        for (const auto& t : kept)
            if (t->transactionState() == PaymentTransactionState::Restored) ++*restoredSinceRequest_;
    postTransactions(kVelkoraNotificationStickersIAPPaymentFinished, kept);
}

// A restore that brought nothing back, or failed, still ends: whoever waits for it hears an empty list.
void VelkoraStickersIAPHelper::paymentQueueRestoreCompletedTransactionsFinished(PaymentQueue&) {
    const bool nothing = restoredSinceRequest_ && *restoredSinceRequest_ == 0;
    restoredSinceRequest_.reset();
    if (!nothing) return;
    foundation::NotificationCenter::defaultCenter().post(
        kVelkoraNotificationStickersProductUpdated, this,
        Value(foundation::Dictionary{{"failedTransactions", foundation::Array{}}}));
}

void VelkoraStickersIAPHelper::paymentQueueRestoreCompletedTransactionsFailedWithError(
    PaymentQueue&, const foundation::ErrorPtr& error) {
    restoredSinceRequest_.reset();
    Log::line("Velkora (W) - Restoring sticker packs failed: %@", error ? error->description() : "");
    VelkoraStickerPackStatusManager::showFailureToast(error);
    foundation::NotificationCenter::defaultCenter().post(
        kVelkoraNotificationStickersProductUpdated, this,
        Value(foundation::Dictionary{{"failedTransactions", foundation::Array{}}}));
}

services::PaymentTransactions VelkoraStickersIAPHelper::getPendingTransactions() const {
    if (!storeAvailable()) return {};
    return filterPurchasedTransactions(PaymentQueue::defaultQueue().transactions());
}

void VelkoraStickersIAPHelper::restoreProducts() {
    if (!storeAvailable()) {
        // Nothing can come back: the restore ends at once.
        foundation::NotificationCenter::defaultCenter().post(
            kVelkoraNotificationStickersProductUpdated, this,
            Value(foundation::Dictionary{{"failedTransactions", foundation::Array{}}}));
        return;
    }
    restoredSinceRequest_ = 0;
    PaymentQueue::defaultQueue().restoreCompletedTransactions();
}

// ---- the manager

VelkoraStickersIAPServerManager& VelkoraStickersIAPServerManager::instance() {
    std::lock_guard<std::mutex> lock(gManagerMutex);
    if (!gManager) gManager = std::make_unique<VelkoraStickersIAPServerManager>();
    return *gManager;
}

bool VelkoraStickersIAPServerManager::hasInstance() {
    std::lock_guard<std::mutex> lock(gManagerMutex);
    return gManager != nullptr;
}

void VelkoraStickersIAPServerManager::resetForTests() {
    std::unique_ptr<VelkoraStickersIAPServerManager> old;
    {
        std::lock_guard<std::mutex> lock(gManagerMutex);
        old = std::move(gManager);
    }
}

VelkoraStickersIAPServerManager::VelkoraStickersIAPServerManager() {
    dataObserver_ = foundation::NotificationObserver(kVelkoraNotificationStickersIAPDataGathered, nullptr,
                                                     [this](const foundation::Notification&) { didGetProductsData(); });
    // Transactions the store brings back before the store list is known wait here until it is.
    paymentObserver_ =
        foundation::NotificationObserver(kVelkoraNotificationStickersIAPPaymentFinished, nullptr,
                                         [this](const foundation::Notification& n) { handleFinishedPayments(n); });
}

VelkoraStickersIAPServerManager::~VelkoraStickersIAPServerManager() {
    if (storeDataRetrievalTimer_) storeDataRetrievalTimer_->invalidate();
}

void VelkoraStickersIAPServerManager::startWithUserData() {
    if (!VelkoraStickersIAPHelper::storeAvailable()) return;
    instance();
    VelkoraStickersIAPHelper::instance();
    // The queue may already hold what the store kept from an earlier run.
    if (!VelkoraStickersIAPHelper::instance().getPendingTransactions().empty()) instance().askStoreListForUnfinished();
}

void VelkoraStickersIAPServerManager::askStoreListForUnfinished() {
    if (isProductsInitialized_ || storeListAsked_) return;
    storeListAsked_ = true;
    VelkoraServerApi::getStickerStore(VelkoraCallback::make(
        callbackLife_,
        [this](const Value& v) {
            std::vector<VelkoraStickerPackPtr> packs;
            if (const auto* list = v.asArray())
                for (const auto& p : *list)
                    if (auto pack = p.asObject<VelkoraStickerPack>()) packs.push_back(pack);
            initProducts(packs);
        },
        [this](const foundation::ErrorPtr&) { storeListAsked_ = false; }));
}

void VelkoraStickersIAPServerManager::initProducts(const std::vector<VelkoraStickerPackPtr>& packs) {
    if (isProductsInitialized_) return;
    isProductsInitialized_ = true;
    productSet_.clear();
    for (const auto& pack : packs) {
        if (!pack || !pack->productId() || pack->productId()->empty()) continue;
        productSet_.insert(*pack->productId());
        productId2PackId_[*pack->productId()] = pack->packId();
    }
    if (productSet_.empty() || !VelkoraStickersIAPHelper::storeAvailable()) return;
    VelkoraStickersIAPHelper::instance().resetWithProducts(productSet_);
    retryInterval_ = kFirstRetrySeconds;
    armRetryTimer();
}

void VelkoraStickersIAPServerManager::armRetryTimer() {
    if (storeDataRetrievalTimer_) storeDataRetrievalTimer_->invalidate();
    storeDataRetrievalTimer_ = foundation::Timer::scheduled(
        retryInterval_, false, [this](foundation::Timer&) { handleStoreDataRetrievalCheckTimeout(); });
}

void VelkoraStickersIAPServerManager::handleStoreDataRetrievalCheckTimeout() {
    auto& helper = VelkoraStickersIAPHelper::instance();
    if (helper.didGetStoreData()) {
        storeDataRetrievalTimer_.reset();
        return;
    }
    if (!helper.isStoreDataRetrievalInProgress()) helper.resetWithProducts(productSet_);
    armRetryTimer();
}

void VelkoraStickersIAPServerManager::didGetProductsData() {
    auto& helper = VelkoraStickersIAPHelper::instance();
    if (helper.didGetStoreData()) {
        if (storeDataRetrievalTimer_) storeDataRetrievalTimer_->invalidate();
        storeDataRetrievalTimer_.reset();
    } else {
        // The store knew none of the products: ask less often, up to once a minute.
        retryInterval_ = std::min(retryInterval_ * 2, kLongestRetrySeconds);
        if (storeDataRetrievalTimer_) armRetryTimer();
    }
    for (const auto& t : helper.getPendingTransactions())
        appendPending(t);
    processPendingTransactions();
}

void VelkoraStickersIAPServerManager::handleFinishedPayments(const foundation::Notification& n) {
    if (const auto* list = n.userInfo["transactions"].asArray())
        for (const auto& v : *list)
            if (auto t = v.asObject<services::PaymentTransaction>()) appendPending(t);
    if (!isProductsInitialized_) {
        askStoreListForUnfinished();
        return;
    }
    processPendingTransactions();
}

void VelkoraStickersIAPServerManager::appendPending(const Transaction& t) {
    VelkoraStoreProductsHelper::appendOnce(pendingTransactions_, t);
}

bool VelkoraStickersIAPServerManager::buyProductByKey(const std::string& productId, int32_t packId) {
    if (!VelkoraStickersIAPHelper::storeAvailable()) return false;
    if (!VelkoraStickersIAPHelper::instance().buyProductById(productId)) return false;
    VelkoraStickersBuyProductDetails details;
    details.packId = packId;
    serverPendingProductsDict_[productId] = details;
    productId2PackId_[productId] = packId;
    return true;
}

std::shared_ptr<services::Product> VelkoraStickersIAPServerManager::productById(const std::string& productId) const {
    if (!VelkoraStickersIAPHelper::hasInstance()) return nullptr;
    return VelkoraStickersIAPHelper::instance().productById(productId);
}

int32_t VelkoraStickersIAPServerManager::packIdForProductId(const std::string& productId) const {
    auto it = productId2PackId_.find(productId);
    return it == productId2PackId_.end() ? 0 : it->second;
}

void VelkoraStickersIAPServerManager::processPendingTransactions() {
    if (pendingTransactions_.empty()) return;
    auto batch = std::move(pendingTransactions_);
    pendingTransactions_.clear();
    auto& helper = VelkoraStickersIAPHelper::instance();
    auto& status = VelkoraStickerPackStatusManager::instance();
    std::vector<int32_t> failed;
    int handed = 0, restoresHanded = 0, finishedRestores = 0;
    foundation::ErrorPtr failure;
    for (const auto& t : batch) {
        const std::string productId = productIdOf(*t);
        if (!helper.productById(productId)) {
            Log::line("Velkora (W) - Product information is not available yet for %@ !!", productId);
            continue;
        }
        // Each store transaction has at most one request to the service at a time.
        if (inFlight_.count(keyOf(*t))) continue;
        int32_t packId = -1;
        if (auto it = serverPendingProductsDict_.find(productId); it != serverPendingProductsDict_.end())
            packId = it->second.packId;
        else if (productId2PackId_.count(productId))
            packId = packIdForProductId(productId);
        const auto state = t->transactionState();
        if (state == PaymentTransactionState::Failed) {
            Log::line("Velkora (W) - Stickers IAP: Transaction for product %@ FAILED !!", productId);
            failed.push_back(packId);
            if (!failure) failure = t->error() ? t->error() : foundation::makeError(services::kStoreErrorDomain, 0);
            helper.removePaymentFromQueue(t);
            continue;
        }
        if (packId == -1) {
            // Bought, but for no pack known yet: kept unfinished until the store list names its pack.
            Log::line("Velkora (W) - Stickers IAP: Transaction for product %@ FAILED (pack -1) !!", productId);
            continue;
        }
        if (state == PaymentTransactionState::Purchased) {
            sendPaid(t, packId);
            ++handed;
        } else if (state == PaymentTransactionState::Restored) {
            if (status.getStickerPackStatus(packId) == VelkoraStickerPackStatusManager::kAdded) {
                helper.removePaymentFromQueue(t);
                ++finishedRestores;
            } else {
                sendRestore(t, packId);
                ++handed;
                ++restoresHanded;
            }
        }
    }
    for (int32_t id : failed)
        status.clearStickerPack(id);
    if (failure) VelkoraStickerPackStatusManager::showFailureToast(failure);
    if (handed == 0 || (finishedRestores > 0 && restoresHanded == 0)) postProductUpdated(failed);
}

void VelkoraStickersIAPServerManager::sendPaid(const Transaction& t, int32_t packId) {
    inFlight_.insert(keyOf(*t));
    if (std::find(serverPendingTransactions_.begin(), serverPendingTransactions_.end(), t) ==
        serverPendingTransactions_.end())
        serverPendingTransactions_.push_back(t);
    std::optional<std::string> receipt;
    if (t->transactionReceipt()) receipt = base64EncodedString(*t->transactionReceipt());
    VelkoraServerApi::addPaidStickerPack(
        VelkoraCallback::make(
            callbackLife_, [this, t, packId](const Value& reply) { stickersProductUpdated(t, packId, reply); },
            [this, t, packId](const foundation::ErrorPtr& e) { serviceFailed(t, packId, false, e); }),
        packId, VelkoraStickersIAPHelper::instance().productById(productIdOf(*t)), receipt);
}

void VelkoraStickersIAPServerManager::sendRestore(const Transaction& t, int32_t packId) {
    inFlight_.insert(keyOf(*t));
    if (std::find(serverPendingTransactions_.begin(), serverPendingTransactions_.end(), t) ==
        serverPendingTransactions_.end())
        serverPendingTransactions_.push_back(t);
    VelkoraServerApi::addStickerPack(
        VelkoraCallback::make(
            callbackLife_, [this, t, packId](const Value&) { stickersPackRestored(t, packId); },
            [this, t, packId](const foundation::ErrorPtr& e) { serviceFailed(t, packId, true, e); }),
        packId);
}

void VelkoraStickersIAPServerManager::finish(const Transaction& t) {
    inFlight_.erase(keyOf(*t));
    serverPendingTransactions_.erase(
        std::remove(serverPendingTransactions_.begin(), serverPendingTransactions_.end(), t),
        serverPendingTransactions_.end());
    VelkoraStickersIAPHelper::instance().removePaymentFromQueue(t);
}

// A pack the user has already is not announced a second time.
void VelkoraStickersIAPServerManager::granted(int32_t packId) {
    auto& status = VelkoraStickerPackStatusManager::instance();
    if (status.getStickerPack(packId)) return;
    status.addedStickerPack(packId);
}

void VelkoraStickersIAPServerManager::stickersProductUpdated(const Transaction& t, int32_t packId, const Value& reply) {
    const std::string productId = reply["productId"].toText().value_or(productIdOf(*t));
    if (reply["success"].boolOr(false)) {
        granted(packId);
        finish(t);
        postProductUpdated(std::nullopt);
        return;
    }
    Log::line("Velkora (W) - Purchase of %@ failed validation of receipt", productId);
    if (reply["shouldRetry"].boolOr(false)) {
        inFlight_.erase(keyOf(*t));
        retryAfterNextPoll(t);
        postProductUpdated(std::nullopt);
        return;
    }
    finish(t);
    VelkoraStickerPackStatusManager::instance().clearStickerPack(packId);
    VelkoraStickerPackStatusManager::showFailureToast(nullptr);
    postProductUpdated(std::vector<int32_t>{packId});
}

void VelkoraStickersIAPServerManager::stickersPackRestored(const Transaction& t, int32_t packId) {
    granted(packId);
    finish(t);
    postProductUpdated(std::nullopt);
}

// The transaction stays unfinished. A failure on the way (no connection past the retries, an HTTP status,
// a reply that is not the service's) goes again after the next good poll; the service's own refusal of
// a restore is final; any other error of the service waits for the next start.
void VelkoraStickersIAPServerManager::serviceFailed(const Transaction& t, int32_t packId, bool restore,
                                                    const foundation::ErrorPtr& error) {
    inFlight_.erase(keyOf(*t));
    const std::string domain = error ? error->domain : std::string();
    Log::line("Velkora (W) - Stickers IAP: the service did not take the purchase of %@: %@", productIdOf(*t),
              error ? error->description() : "");
    if (restore && domain == "PACK_NOT_FREE") {
        finish(t);
        VelkoraStickerPackStatusManager::instance().clearStickerPack(packId);
        postProductUpdated(std::vector<int32_t>{packId});
        return;
    }
    const bool onTheWay = VelkoraStoreProductsHelper::failedOnTheWay(error);
    if (onTheWay) retryAfterNextPoll(t);
    VelkoraStickerPackStatusManager::showFailureToast(error);
}

void VelkoraStickersIAPServerManager::retryAfterNextPoll(const Transaction& t) {
    waitingForPoll_.add(t);
}

void VelkoraStickersIAPServerManager::postProductUpdated(const std::optional<std::vector<int32_t>>& failed) {
    Value info;
    if (failed) {
        foundation::Array ids;
        for (int32_t id : *failed)
            ids.push_back(Value(id));
        info = Value(foundation::Dictionary{{"failedTransactions", ids}});
    }
    foundation::NotificationCenter::defaultCenter().post(kVelkoraNotificationStickersProductUpdated, this,
                                                         std::move(info));
}

} // namespace velkora
