// Purchases made in the stand-in app store and sent to the service with their receipt: sticker packs
// and quiz coins. Each store transaction is good for one purchase of one product by one user.
#pragma once

#include <optional>
#include <string>

#include "Database.h"

namespace velkora::service {

enum class PurchaseCheck {
    Accepted,   // a new transaction, now recorded
    Repeated,   // this user's own transaction, sent again (a restore)
    NoReceipt,  // nothing to check yet: the caller may send it again with the receipt
    Refused,    // not signed by the store, for another product, or another user's transaction
};

PurchaseCheck checkPurchase(Database& db, const std::string& appId, const std::string& userId,
                            const std::optional<std::string>& receipt, const std::string& productId, double now);

} // namespace velkora::service
