// The stand-in app store under "/store": its products, the purchases made on devices by store account,
// the transactions a device has not finished yet, and restoring what an account owns. It signs a receipt
// only for a purchase it recorded, and the service's purchase check asks it for that record.
#pragma once

#include <string>

#include "Database.h"
#include "velkora_service/Service.h"

namespace velkora::service {

// Records a purchase of `productId` by `account` under `transactionId` (finished, as one a device has
// long been done with) and answers its signed receipt; for tests and the demo.
std::string recordStorePurchase(Database& db, const std::string& account, const std::string& productId,
                                const std::string& transactionId, double now);

// Whether the store recorded a purchase of `productId` under `transactionId` with a signed receipt.
bool storeRecordedPurchase(Database& db, const std::string& productId, const std::string& transactionId);

// How the store answers purchases of a product; false for a product it does not sell.
bool setStoreOutcome(Database& db, const std::string& productId, StoreOutcome outcome);

} // namespace velkora::service
