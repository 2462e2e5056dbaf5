#include "ads/VelkoraAdNetwork.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/services/OutsideEndpoints.h"
#include "platform/ui/Utf16.h"
#include "session/VelkoraAgentInternal.h"

namespace velkora {

using foundation::Log;
using services::OutsideEndpoints;

std::string VelkoraAdNetwork::adRequestUrl(std::string_view packagePrefix, std::string_view size,
                                           const std::string& appId) {
    auto& agent = VelkoraAgentInternal::instance();
    std::string query = foundation::format("sdk_key=%@&package_name=%@&format=html&size=%@&platform=ios&%@=%@",
                                           std::string(kSdkKey), std::string(packagePrefix) + appId, std::string(size),
                                           agent.uuidKey().value_or(""), agent.uuidSHA1().value_or(""));
    return OutsideEndpoints::url(OutsideEndpoints::Service::AdNetwork, "ad") + "?" + query;
}

std::optional<std::string> VelkoraAdNetwork::parseAdUrl(std::string_view html, std::string_view what) {
    if (ui::utf16::length(html) < kShortestPage) {
        Log::line("Velkora - %@ response string is empty or two short", std::string(what));
        return std::nullopt;
    }
    constexpr std::string_view kOpening = "href=\"";
    size_t start = html.find(kOpening);
    if (start == std::string_view::npos) {
        Log::line("Velkora - %@ response parsing error - cannot find href attribute", std::string(what));
        return std::nullopt;
    }
    start += kOpening.size();
    size_t end = html.find('"', start);
    if (end == std::string_view::npos) {
        Log::line("Velkora - %@ response parsing error - cannot find href attribute end", std::string(what));
        return std::nullopt;
    }
    return std::string(html.substr(start, end - start));
}

bool VelkoraAdNetwork::isStoreAddress(std::string_view url) {
    return foundation::urlScheme(url).find("itms") != std::string::npos;
}

std::optional<std::string> VelkoraAdNetwork::extractAppId(std::string_view url) {
    if (url.empty()) {
        Log::line("Velkora - Erroneous App URL received: %@", std::string(url));
        return std::nullopt;
    }
    size_t at = url.find("/id");
    size_t markerLength = 3;
    if (at == std::string_view::npos) {
        at = url.find("?id=");
        markerLength = 4;
    }
    if (at == std::string_view::npos) {
        Log::line("Velkora - App URL parsing error - cannot find App Id");
        return std::nullopt;
    }
    size_t start = at + markerLength, end = start;
    while (end < url.size() && url[end] >= '0' && url[end] <= '9')
        ++end;
    return std::string(url.substr(start, end - start));
}

std::string VelkoraAdNetwork::fixImageUrlSize(std::string_view url) {
    size_t at = std::string_view::npos;
    for (std::string_view extension : {".png", ".jpg", ".jpeg"}) {
        at = url.rfind(extension);
        if (at != std::string_view::npos) break;
    }
    if (at == std::string_view::npos) return std::string(url);
    return foundation::format("%@.114x114-75.png", std::string(url.substr(0, at)));
}

} // namespace velkora
