// A product of the app store: its id, title and description for display, and its price as the kit tells
// the service about a purchase.
#pragma once

#include <string>
#include <utility>

namespace velkora::services {

// The locale a store price is given in; the kit reads only its currency.
struct PriceLocale {
    std::string localeIdentifier; // "en_US"
    std::string currencyCode;     // ISO 4217, "USD"
};

class Product {
public:
    Product(std::string productIdentifier, std::string price, PriceLocale priceLocale, std::string localizedTitle = {},
            std::string localizedDescription = {})
        : productIdentifier_(std::move(productIdentifier)), price_(std::move(price)),
          priceLocale_(std::move(priceLocale)), localizedTitle_(std::move(localizedTitle)),
          localizedDescription_(std::move(localizedDescription)) {}

    const std::string& productIdentifier() const { return productIdentifier_; }
    // The price as decimal text ("0.99"), exactly as the store gives it.
    const std::string& price() const { return price_; }
    const PriceLocale& priceLocale() const { return priceLocale_; }
    const std::string& localizedTitle() const { return localizedTitle_; }
    const std::string& localizedDescription() const { return localizedDescription_; }

private:
    std::string productIdentifier_;
    std::string price_;
    PriceLocale priceLocale_;
    std::string localizedTitle_;
    std::string localizedDescription_;
};

} // namespace velkora::services
