#include "server/VelkoraServerEndpoint.h"

#include <cstdlib>
#include <mutex>

#include "platform/foundation/Bundle.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/services/OutsideEndpoints.h"

namespace velkora {

namespace {

std::mutex g_mutex;
std::optional<std::string> g_override;

std::optional<std::string> configured(const char* environment, const char* infoKey) {
    if (const char* env = std::getenv(environment); env && *env) return std::string(env);
    auto text = foundation::Bundle::main().infoDictionary()[infoKey].toText();
    if (text && !text->empty()) return text;
    return std::nullopt;
}

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The service also serves the stand-ins of the outside web services, under their prefixes on its host.
[[maybe_unused]] const bool g_serviceHostHandedOver = [] {
    VelkoraServerEndpoint::handOverServiceHost();
    return true;
}();

} // namespace

std::string VelkoraServerEndpoint::urlFor(const std::string& server) {
    std::string base = server.find("://") == std::string::npos ? "https://" + server : server;
    while (!base.empty() && base.back() == '/')
        base.pop_back();
    return endsWith(base, kPath) ? base : base + kPath;
}

std::string VelkoraServerEndpoint::url() {
    std::lock_guard lock(g_mutex);
    if (g_override) return urlFor(*g_override);
    return urlFor(configured("VELKORA_SERVER", "VelkoraServer").value_or(kDefaultHost));
}

bool VelkoraServerEndpoint::isConfigured() {
    std::lock_guard lock(g_mutex);
    return g_override || configured("VELKORA_SERVER", "VelkoraServer");
}

void VelkoraServerEndpoint::setServer(const std::optional<std::string>& server) {
    std::lock_guard lock(g_mutex);
    g_override = server;
}

void VelkoraServerEndpoint::applyCaFile() {
    if (!foundation::UrlConnection::caFile().empty()) return;
    if (auto ca = configured("VELKORA_SERVER_CA", "VelkoraServerCAFile")) foundation::UrlConnection::setCaFile(*ca);
}

void VelkoraServerEndpoint::handOverServiceHost() {
    services::OutsideEndpoints::setServiceHostProvider([] {
        std::string url = VelkoraServerEndpoint::url();
        auto scheme = url.find("://");
        auto path = url.find('/', scheme == std::string::npos ? 0 : scheme + 3);
        return path == std::string::npos ? url : url.substr(0, path);
    });
}

void VelkoraServerEndpoint::reset() {
    setServer(std::nullopt);
}

} // namespace velkora
