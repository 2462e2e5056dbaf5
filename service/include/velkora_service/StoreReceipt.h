// The stand-in app store's purchase receipts. A purchase hands the buyer a receipt signed with the
// store's key; the host sends it on (URL-safe Base64) and the service accepts what the store signed.
// Tests and the demo make receipts with signStoreReceipt, as a real purchase would.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace velkora::service {

struct StoreReceipt {
    std::string productId;
    std::string transactionId;
};

// The receipt of one purchase: a small JSON text with the product, the transaction and the signature.
std::string signStoreReceipt(const std::string& productId, const std::string& transactionId);

// The purchase a receipt proves, given the receipt in Base64 (either alphabet, padding and line breaks
// allowed); nothing when it does not decode or the store did not sign it.
std::optional<StoreReceipt> readStoreReceipt(std::string_view base64Receipt);

} // namespace velkora::service
