// A product of the app store as its purchase describes it: what the kit tells the service about a
// purchase, besides the receipt.
#pragma once

#include <string>
#include <utility>

namespace velkora::services {

// The locale a store price is given in; the kit reads only its currency.
struct PriceLocale {
    std::string localeIdentifier;  // "en_US"
    std::string currencyCode;      // ISO 4217, "USD"
};

class Product {
public:
    Product(std::string productIdentifier, std::string price, PriceLocale priceLocale)
        : productIdentifier_(std::move(productIdentifier)), price_(std::move(price)),
          priceLocale_(std::move(priceLocale)) {}

    const std::string& productIdentifier() const { return productIdentifier_; }
    // The price as decimal text ("0.99"), exactly as the store gives it.
    const std::string& price() const { return price_; }
    const PriceLocale& priceLocale() const { return priceLocale_; }

private:
    std::string productIdentifier_;
    std::string price_;
    PriceLocale priceLocale_;
};

}  // namespace velkora::services
