#include "platform/services/OutsideEndpoints.h"

#include <cstdlib>
#include <map>
#include <mutex>

#include "platform/foundation/Bundle.h"

namespace velkora::services {

namespace {

struct State {
    std::mutex mutex;
    std::map<OutsideEndpoints::Service, std::string> overrides;
    std::function<std::string()> serviceHost;
};

State& state() {
    static State* s = new State();
    return *s;
}

bool startsWith(std::string_view s, std::string_view head) {
    return s.substr(0, head.size()) == head;
}

} // namespace

std::string OutsideEndpoints::name(Service service) {
    switch (service) {
    case Service::Store:
        return "Store";
    case Service::TwitterApi:
        return "TwitterApi";
    case Service::FacebookGraph:
        return "FacebookGraph";
    case Service::StoreLookup:
        return "StoreLookup";
    case Service::AdNetwork:
        return "AdNetwork";
    case Service::VideoService:
        return "VideoService";
    case Service::AdExchange:
        return "AdExchange";
    }
    return {};
}

std::string OutsideEndpoints::environmentName(Service service) {
    std::string out = "VELKORA";
    for (char c : name(service)) {
        if (c >= 'A' && c <= 'Z') out += '_';
        out += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    return out;
}

std::string OutsideEndpoints::infoKey(Service service) {
    return "Velkora" + name(service);
}

std::string OutsideEndpoints::standInPrefix(Service service) {
    switch (service) {
    case Service::Store:
        return "/store";
    case Service::TwitterApi:
        return "/twitter";
    case Service::FacebookGraph:
        return "/graph";
    case Service::StoreLookup:
        return "/appstore";
    case Service::AdNetwork:
        return "/adnet";
    case Service::VideoService:
        return "/video";
    case Service::AdExchange:
        return "";
    }
    return {};
}

std::string OutsideEndpoints::normalized(std::string base) {
    if (startsWith(base, "http://"))
        base = "https://" + base.substr(7);
    else if (base.find("://") == std::string::npos)
        base = "https://" + base;
    else if (!startsWith(base, "https://"))
        base = "https://" + base.substr(base.find("://") + 3); // no other scheme reaches a web service
    while (base.size() > 8 && base.back() == '/')
        base.pop_back();
    return base;
}

std::string OutsideEndpoints::serviceHost() {
    std::function<std::string()> provider;
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        provider = s.serviceHost;
    }
    std::string host = provider ? provider() : std::string();
    return normalized(host.empty() ? "127.0.0.1" : host);
}

std::string OutsideEndpoints::base(Service service) {
    {
        auto& s = state();
        std::lock_guard lock(s.mutex);
        if (auto it = s.overrides.find(service); it != s.overrides.end()) return it->second;
    }
    if (const char* env = std::getenv(environmentName(service).c_str()); env && *env) return normalized(env);
    if (auto text = foundation::Bundle::main().infoDictionary()[infoKey(service)].toText(); text && !text->empty())
        return normalized(*text);
    return serviceHost() + standInPrefix(service);
}

std::string OutsideEndpoints::url(Service service, std::string_view path) {
    std::string out = base(service);
    if (path.empty()) return out;
    if (path.front() != '/') out += '/';
    out += path;
    return out;
}

void OutsideEndpoints::setBase(Service service, const std::optional<std::string>& base) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    if (base)
        s.overrides[service] = normalized(*base);
    else
        s.overrides.erase(service);
}

void OutsideEndpoints::setServiceHostProvider(std::function<std::string()> provider) {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.serviceHost = std::move(provider);
}

void OutsideEndpoints::reset() {
    auto& s = state();
    std::lock_guard lock(s.mutex);
    s.overrides.clear();
}

} // namespace velkora::services
