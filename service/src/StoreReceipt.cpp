#include "velkora_service/StoreReceipt.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>

#include <nlohmann/json.hpp>

#include "Commands.h"

namespace velkora::service {

namespace {

// The stand-in store's signing key; only the store and the service that checks its receipts know it.
constexpr std::string_view kStoreKey = "velkora stand-in store 2026";

std::string signatureOf(const std::string& productId, const std::string& transactionId) {
    std::string message = productId + "\n" + transactionId;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    HMAC(EVP_sha256(), kStoreKey.data(), static_cast<int>(kStoreKey.size()),
         reinterpret_cast<const unsigned char*>(message.data()), message.size(), digest, &length);
    static const char* hex = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < length; ++i) {
        out += hex[digest[i] >> 4];
        out += hex[digest[i] & 15];
    }
    return out;
}

} // namespace

std::string signStoreReceipt(const std::string& productId, const std::string& transactionId) {
    nlohmann::json receipt = {{"productId", productId},
                              {"transactionId", transactionId},
                              {"signature", signatureOf(productId, transactionId)}};
    return receipt.dump();
}

std::optional<StoreReceipt> readStoreReceipt(std::string_view base64Receipt) {
    auto text = rows::decodeBase64(base64Receipt);
    if (!text) return std::nullopt;
    auto receipt = nlohmann::json::parse(*text, nullptr, false);
    if (!receipt.is_object()) return std::nullopt;
    auto field = [&](const char* key) -> std::optional<std::string> {
        auto it = receipt.find(key);
        if (it == receipt.end() || !it->is_string()) return std::nullopt;
        return it->get<std::string>();
    };
    auto productId = field("productId"), transactionId = field("transactionId"), signature = field("signature");
    if (!productId || !transactionId || !signature || productId->empty() || transactionId->empty())
        return std::nullopt;
    std::string expected = signatureOf(*productId, *transactionId);
    if (signature->size() != expected.size() || CRYPTO_memcmp(signature->data(), expected.data(), expected.size()) != 0)
        return std::nullopt;
    return StoreReceipt{*productId, *transactionId};
}

} // namespace velkora::service
