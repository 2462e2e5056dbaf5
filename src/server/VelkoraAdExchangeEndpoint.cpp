#include "server/VelkoraAdExchangeEndpoint.h"

#include "platform/services/OutsideEndpoints.h"

namespace velkora {

using services::OutsideEndpoints;

std::string VelkoraAdExchangeEndpoint::urlFor(const std::string& host) {
    std::string base = OutsideEndpoints::normalized(host);
    std::string path = kPath;
    if (base.size() >= path.size() && base.compare(base.size() - path.size(), path.size(), path) == 0) return base;
    return base + path;
}

std::string VelkoraAdExchangeEndpoint::url() {
    return urlFor(OutsideEndpoints::base(OutsideEndpoints::Service::AdExchange));
}

void VelkoraAdExchangeEndpoint::setHost(const std::optional<std::string>& host) {
    OutsideEndpoints::setBase(OutsideEndpoints::Service::AdExchange, host);
}

} // namespace velkora
