// Pieces the sticker, quiz and app-deal commands share: these commands put the ids before the client type
// and the build, and the two purchases carry the store product and the receipt alike.
#pragma once

#include <memory>
#include <optional>
#include <string>

namespace velkora::services {
class Product;
}

namespace velkora::request {

// "&clientType=1&build=2.5.7".
std::string clientTail();
// Logs the line and answers true when either id is missing or empty.
bool idsMissing(const std::optional<std::string>& appId, const std::optional<std::string>& userId, const char* line);
// "&price=...&currency=...&productId=..." when there is a product, then "&receipt=..." when there is one.
std::string purchaseParameters(const std::shared_ptr<services::Product>& product,
                               const std::optional<std::string>& receipt);

}  // namespace velkora::request
