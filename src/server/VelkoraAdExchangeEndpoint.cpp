#include "server/VelkoraAdExchangeEndpoint.h"

#include <cstdlib>
#include <mutex>

#include "platform/foundation/Bundle.h"
#include "server/VelkoraServerEndpoint.h"

namespace velkora {

namespace {

std::mutex g_mutex;
std::optional<std::string> g_override;

std::optional<std::string> configured() {
    if (const char* env = std::getenv("VELKORA_AD_EXCHANGE"); env && *env) return std::string(env);
    auto text = foundation::Bundle::main().infoDictionary()["VelkoraAdExchange"].toText();
    if (text && !text->empty()) return text;
    return std::nullopt;
}

// "https://HOST:PORT" of the service's endpoint.
std::string serviceBase() {
    std::string url = VelkoraServerEndpoint::url();
    auto scheme = url.find("://");
    auto path = url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
    return path == std::string::npos ? url : url.substr(0, path);
}

}  // namespace

std::string VelkoraAdExchangeEndpoint::urlFor(const std::string& host) {
    std::string base = host;
    if (auto scheme = base.find("://"); scheme != std::string::npos) base = base.substr(scheme + 3);
    base = "https://" + base;
    while (!base.empty() && base.back() == '/') base.pop_back();
    std::string path = kPath;
    if (base.size() >= path.size() && base.compare(base.size() - path.size(), path.size(), path) == 0) return base;
    return base + path;
}

std::string VelkoraAdExchangeEndpoint::url() {
    std::optional<std::string> host;
    {
        std::lock_guard lock(g_mutex);
        host = g_override;
    }
    if (!host) host = configured();
    return urlFor(host.value_or(serviceBase()));
}

void VelkoraAdExchangeEndpoint::setHost(const std::optional<std::string>& host) {
    std::lock_guard lock(g_mutex);
    g_override = host;
}

}  // namespace velkora
