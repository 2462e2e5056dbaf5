// Where the ad exchange lives: the AdExchange base of the outside endpoints (set outright, else
// VELKORA_AD_EXCHANGE, else the information key "VelkoraAdExchange", else the service's own host, which
// serves the exchange's interface too). Always HTTPS: its requests carry the user's age and gender.
#pragma once

#include <optional>
#include <string>

namespace velkora {

class VelkoraAdExchangeEndpoint {
public:
    static constexpr const char* kPath = "/1.1/getads";
    // The kit's own account at the exchange.
    static constexpr const char* kPublisherId = "418207553";
    static constexpr const char* kProductId = "602915374";

    // "https://HOST[:PORT]/1.1/getads".
    static std::string url();
    // A host ("ads.example:443") or a base address; an "http://" address is taken as its HTTPS form.
    static void setHost(const std::optional<std::string>& host);
    // Back to reading the configuration afresh; for tests.
    static void reset() { setHost(std::nullopt); }

    // The interface's address for a configured host text.
    static std::string urlFor(const std::string& host);
};

} // namespace velkora
