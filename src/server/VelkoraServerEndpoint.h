// Where the service lives and which CA signs it: the build default, overridden by the host's information
// dictionary ("VelkoraServer", "VelkoraServerCAFile"), overridden by the environment (VELKORA_SERVER,
// VELKORA_SERVER_CA), overridden by a host or test that sets it outright.
#pragma once

#include <optional>
#include <string>

namespace velkora {

class VelkoraServerEndpoint {
public:
    static constexpr const char* kPath = "/VelkoraServer2/api";
    static constexpr const char* kDefaultHost = "127.0.0.1:8443";

    // The service's API address, "https://HOST:PORT/VelkoraServer2/api".
    static std::string url();
    // Whether a host, test, the environment or the information dictionary named the service.
    static bool isConfigured();
    // A host ("example.org:8443"), a base address ("https://example.org") or the full API address.
    static void setServer(const std::optional<std::string>& server);
    // Applies the configured CA file to the connections, unless one is set already.
    static void applyCaFile();
    // Makes this endpoint's host ("https://HOST:PORT") the host of the outside services' stand-ins; done
    // when the kit loads, again by whoever replaced that host.
    static void handOverServiceHost();
    // Back to reading the configuration afresh; for tests.
    static void reset();

    // The API address for a configured server text.
    static std::string urlFor(const std::string& server);
};

} // namespace velkora
