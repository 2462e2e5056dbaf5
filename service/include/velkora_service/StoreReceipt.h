// The stand-in app store's purchase receipts. A purchase hands the buyer a receipt signed with the
// store's key; the host sends it on (URL-safe Base64) and the service accepts what the store signed.
// The store signs only purchases it recorded, and the service accepts only receipts of those: tests and
// the demo make receipts with Service::signStoreReceipt, which records the purchase first.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velkora::service {

struct StoreReceipt {
    std::string productId;
    std::string transactionId;
};

// The receipt text of one purchase: a small JSON text with the product, the transaction and the
// signature. Signing alone records nothing.
std::string signStoreReceipt(const std::string& productId, const std::string& transactionId);

// The purchase a receipt proves, given the receipt in Base64 (either alphabet, padding and line breaks
// allowed); nothing when it does not decode or the store did not sign it.
std::optional<StoreReceipt> readStoreReceipt(std::string_view base64Receipt);

} // namespace velkora::service
