// Pieces the sticker, quiz and app-deal commands share: these commands put the ids before the client type
// and the build, the two purchases carry the store product and the receipt alike, and their answers hand
// lists of model objects to the caller.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Value.h"

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

namespace velkora::commands {

// The objects as the array a caller is answered with.
template <class T>
foundation::Value objectsValue(const std::vector<std::shared_ptr<T>>& objects) {
    foundation::Array array;
    array.reserve(objects.size());
    for (const auto& o : objects) array.push_back(foundation::Value::object(o));
    return foundation::Value(std::move(array));
}

}  // namespace velkora::commands
