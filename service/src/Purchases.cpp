#include "Purchases.h"

#include "AppStore.h"
#include "velkora_service/StoreReceipt.h"

namespace velkora::service {

PurchaseCheck checkPurchase(Database& db, const std::string& appId, const std::string& userId,
                            const std::optional<std::string>& receipt, const std::string& productId, double now) {
    if (!receipt || receipt->empty()) return PurchaseCheck::NoReceipt;
    auto proof = readStoreReceipt(*receipt);
    if (!proof || proof->productId != productId) return PurchaseCheck::Refused;
    // A signature alone proves nothing the store did not record: the purchase must be in its books.
    if (!storeRecordedPurchase(db, proof->productId, proof->transactionId)) return PurchaseCheck::Refused;
    // The purchases row keeps the store's transaction id in "data".
    if (auto owner = db.scalarText("SELECT user_id FROM purchases WHERE app_id = ? AND data = ?",
                                   {appId, proof->transactionId}))
        return *owner == userId ? PurchaseCheck::Repeated : PurchaseCheck::Refused;
    db.run("INSERT INTO purchases(app_id, user_id, product_id, receipt, data, time) VALUES(?, ?, ?, ?, ?, ?)",
           {appId, userId, productId, *receipt, proof->transactionId, now});
    return PurchaseCheck::Accepted;
}

} // namespace velkora::service
