// Where the outside web services live: the store, Twitter's interface, the Facebook graph, the store
// lookup, the ad network, the video service and the ad exchange. Each base is, in this order: set outright
// (by a host or a test), else the environment (VELKORA_<NAME>), else the host's information dictionary
// (Velkora<Name>), else the stand-in that velkora-service serves under its prefix on the service's own host.
// Every base is HTTPS: an "http://" base is taken as its HTTPS form, a bare host gets "https://".
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace velkora::services {

class OutsideEndpoints {
public:
    enum class Service { Store, TwitterApi, FacebookGraph, StoreLookup, AdNetwork, VideoService, AdExchange };
    static constexpr std::array<Service, 7> kAll = {Service::Store,       Service::TwitterApi, Service::FacebookGraph,
                                                    Service::StoreLookup, Service::AdNetwork,  Service::VideoService,
                                                    Service::AdExchange};

    // "https://HOST[:PORT][/PATH]", without a trailing "/".
    static std::string base(Service service);
    // The base joined with a path ("users/show.json" or "/users/show.json").
    static std::string url(Service service, std::string_view path);
    // Sets a base outright, or goes back to the configuration with nothing.
    static void setBase(Service service, const std::optional<std::string>& base);

    // The service's own host ("https://127.0.0.1:8443"), which the kit hands over so that the stand-ins
    // can be found beside it; asked afresh on every resolution.
    static void setServiceHostProvider(std::function<std::string()> provider);
    // The host of the service as the provider gives it; "https://127.0.0.1" without a provider.
    static std::string serviceHost();

    // "TwitterApi"; its environment name "VELKORA_TWITTER_API"; its information key "VelkoraTwitterApi".
    static std::string name(Service service);
    static std::string environmentName(Service service);
    static std::string infoKey(Service service);
    // The stand-in's path on the service's host ("/twitter"; empty for the exchange, served at the root).
    static std::string standInPrefix(Service service);

    // "https://" in front, "http://" replaced, trailing "/" removed.
    static std::string normalized(std::string base);

    // Forgets every base set outright (the service host provider stays); for tests.
    static void reset();
};

} // namespace velkora::services
