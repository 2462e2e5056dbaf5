#include "platform/foundation/NetworkReachability.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/foundation/RunLoop.h"

namespace velkora::foundation {

namespace {

// ---- the kernel's routing tables -------------------------------------------------------------------

bool interfaceUsable(int index) {
    char name[IF_NAMESIZE] = {};
    if (!if_indextoname(static_cast<unsigned>(index), name)) return false;
    int s = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (s < 0) return false;
    ifreq req{};
    std::memcpy(req.ifr_name, name, sizeof req.ifr_name);
    bool ok = ioctl(s, SIOCGIFFLAGS, &req) == 0 && (req.ifr_flags & IFF_UP) && (req.ifr_flags & IFF_RUNNING) &&
              !(req.ifr_flags & IFF_LOOPBACK);
    close(s);
    return ok;
}

// Sends one request on a fresh socket and hands every reply message to `each` until the kernel is done.
// `unavailable` is set when this process may not ask the kernel at all (a sandbox without netlink).
bool netlinkExchange(nlmsghdr* request, const std::function<void(const nlmsghdr*)>& each, bool* unavailable = nullptr) {
    int s = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
    if (s < 0) {
        if (unavailable) *unavailable = true;
        return false;
    }
    timeval tv{2, 0};  // the kernel answers at once; never hang on it
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    request->nlmsg_seq = 1;
    bool ok = sendto(s, request, request->nlmsg_len, 0, reinterpret_cast<sockaddr*>(&kernel), sizeof kernel) >= 0;
    std::vector<char> buffer(64 * 1024);
    bool done = !ok;
    while (!done) {
        ssize_t n = recv(s, buffer.data(), buffer.size(), 0);
        if (n <= 0) {
            ok = false;
            break;
        }
        int len = static_cast<int>(n);
        // The system's NLMSG_OK compares the header's unsigned length with the signed remainder it is given;
        // clang reports that comparison inside the macro (GCC does not), and the remainder is never negative.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wsign-compare"
        for (auto* h = reinterpret_cast<nlmsghdr*>(buffer.data()); NLMSG_OK(h, len); h = NLMSG_NEXT(h, len)) {
            if (h->nlmsg_type == NLMSG_DONE) {
                done = true;
                break;
            }
            if (h->nlmsg_type == NLMSG_ERROR) {
                auto* err = static_cast<nlmsgerr*>(NLMSG_DATA(h));
                if (err->error != 0) ok = false;
                done = true;
                break;
            }
            each(h);
            if (!(h->nlmsg_flags & NLM_F_MULTI)) done = true;
        }
#pragma GCC diagnostic pop
    }
    close(s);
    return ok;
}

struct RouteInfo {
    unsigned char family = 0, type = 0, dstLen = 0;
    unsigned flags = 0;
    uint32_t table = 0;
    int oif = 0;
    bool hasGateway = false;
    in6_addr dst6{};
};

RouteInfo parseRoute(const nlmsghdr* h) {
    RouteInfo info;
    auto* r = static_cast<const rtmsg*>(NLMSG_DATA(h));
    info.family = r->rtm_family;
    info.type = r->rtm_type;
    info.dstLen = r->rtm_dst_len;
    info.flags = r->rtm_flags;
    info.table = r->rtm_table;
    int len = static_cast<int>(RTM_PAYLOAD(h));
    for (auto* a = RTM_RTA(r); RTA_OK(a, len); a = RTA_NEXT(a, len)) {
        switch (a->rta_type) {
        case RTA_OIF: std::memcpy(&info.oif, RTA_DATA(a), sizeof info.oif); break;
        case RTA_TABLE: std::memcpy(&info.table, RTA_DATA(a), sizeof info.table); break;
        case RTA_GATEWAY: info.hasGateway = true; break;
        case RTA_DST:
            if (info.family == AF_INET6 && RTA_PAYLOAD(a) >= sizeof(in6_addr)) std::memcpy(&info.dst6, RTA_DATA(a), sizeof info.dst6);
            break;
        default: break;
        }
    }
    return info;
}

bool anyNetworkRoute(bool& found) {
    found = false;
    bool unavailable = false;
    struct {
        nlmsghdr h;
        rtmsg r;
    } req{};
    req.h.nlmsg_len = NLMSG_LENGTH(sizeof(rtmsg));
    req.h.nlmsg_type = RTM_GETROUTE;
    req.h.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    req.r.rtm_family = AF_UNSPEC;
    bool ok = netlinkExchange(&req.h, [&](const nlmsghdr* h) {
        if (found || h->nlmsg_type != RTM_NEWROUTE) return;
        RouteInfo r = parseRoute(h);
        if (r.table != RT_TABLE_MAIN || r.type != RTN_UNICAST || (r.flags & RTNH_F_LINKDOWN)) return;
        // Every IPv6 interface has a link-local route; it leads nowhere beyond the cable.
        if (r.family == AF_INET6 && r.dstLen > 0 && r.dst6.s6_addr[0] == 0xfe && (r.dst6.s6_addr[1] & 0xc0) == 0x80)
            return;
        if (r.oif > 0 && interfaceUsable(r.oif)) found = true;
    }, &unavailable);
    if (unavailable) {
        // Without a view of the routes the kit must not park every request for ever: let the
        // connection try, and fail on its own if the network is really gone.
        found = true;
        return true;
    }
    return ok;
}

// The route the kernel would take to one IPv4 address.
bool routeTo(in_addr address, uint32_t& flags) {
    flags = 0;
    struct {
        nlmsghdr h;
        rtmsg r;
        char attrs[64];
    } req{};
    req.h.nlmsg_len = NLMSG_LENGTH(sizeof(rtmsg));
    req.h.nlmsg_type = RTM_GETROUTE;
    req.h.nlmsg_flags = NLM_F_REQUEST;
    req.r.rtm_family = AF_INET;
    req.r.rtm_dst_len = 32;
    auto* a = reinterpret_cast<rtattr*>(reinterpret_cast<char*>(&req.h) + NLMSG_ALIGN(req.h.nlmsg_len));
    a->rta_type = RTA_DST;
    a->rta_len = RTA_LENGTH(sizeof address);
    std::memcpy(RTA_DATA(a), &address, sizeof address);
    req.h.nlmsg_len = NLMSG_ALIGN(req.h.nlmsg_len) + RTA_ALIGN(a->rta_len);
    RouteInfo route;
    bool got = false;
    // An unreachable address is a kernel error reply: that reads as "not reachable", not as unreadable.
    netlinkExchange(&req.h, [&](const nlmsghdr* h) {
        if (h->nlmsg_type == RTM_NEWROUTE) {
            route = parseRoute(h);
            got = true;
        }
    });
    if (!got) return true;
    if (route.type == RTN_LOCAL) {
        flags = kReachabilityFlagsReachable | kReachabilityFlagsIsLocalAddress | kReachabilityFlagsIsDirect;
    } else if (route.type == RTN_UNICAST && !(route.flags & RTNH_F_LINKDOWN) && interfaceUsable(route.oif)) {
        flags = kReachabilityFlagsReachable | (route.hasGateway ? 0u : kReachabilityFlagsIsDirect);
    }
    return true;
}

class NetlinkProvider final : public ReachabilityProvider, public IoSource {
public:
    ~NetlinkProvider() override { stopWatching(); }

    bool flags(const ReachabilityTarget& target, uint32_t& out) override {
        out = 0;
        if (target.byName || target.isAnyNetwork()) {
            // A name is judged as any network: resolving it here would block the loop.
            bool found = false;
            if (!anyNetworkRoute(found)) return false;
            if (found) out = kReachabilityFlagsReachable;
            return true;
        }
        return routeTo(target.address.sin_addr, out);
    }

    bool startWatching(std::function<void()> changed) override {
        stopWatching();
        int s = socket(AF_NETLINK, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_ROUTE);
        if (s < 0) return false;
        sockaddr_nl local{};
        local.nl_family = AF_NETLINK;
        local.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_IFADDR | RTMGRP_IPV6_ROUTE;
        if (bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            close(s);
            return false;
        }
        fd_ = s;
        changed_ = std::move(changed);
        RunLoop::main().addSource(this);
        return true;
    }

    void stopWatching() override {
        if (fd_ < 0) return;
        RunLoop::main().removeSource(this);
        close(fd_);
        fd_ = -1;
        changed_ = nullptr;
    }

    int prepare(std::vector<pollfd>& fds) override {
        if (fd_ >= 0) fds.push_back({fd_, POLLIN, 0});
        return -1;
    }

    void dispatch(const pollfd* fds, size_t count) override {
        if (count == 0 || !(fds[0].revents & (POLLIN | POLLERR))) return;
        char buffer[16 * 1024];
        bool any = false;
        for (;;) {
            ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
            if (n > 0 || (n < 0 && errno == ENOBUFS)) {  // an overflow lost events: look again all the same
                any = true;
                continue;
            }
            break;
        }
        if (any && changed_) {
            auto changed = changed_;
            changed();
        }
    }

private:
    int fd_ = -1;
    std::function<void()> changed_;
};

}  // namespace

std::shared_ptr<ReachabilityProvider> makeNetlinkReachabilityProvider() { return std::make_shared<NetlinkProvider>(); }

// ---- the provider tests control -------------------------------------------------------------------

bool TestReachabilityProvider::flags(const ReachabilityTarget&, uint32_t& out) {
    out = readable_ ? flags_ : 0;
    return readable_;
}

bool TestReachabilityProvider::startWatching(std::function<void()> changed) {
    if (watchingFails_) return false;
    changed_ = std::move(changed);
    return true;
}

void TestReachabilityProvider::stopWatching() { changed_ = nullptr; }

void TestReachabilityProvider::setFlags(uint32_t flags) {
    flags_ = flags;
    announce();
}

void TestReachabilityProvider::setReachable(bool reachable) {
    setFlags(reachable ? kReachabilityFlagsReachable | kReachabilityFlagsIsDirect : 0);
}

void TestReachabilityProvider::setReadable(bool readable) {
    readable_ = readable;
    announce();
}

void TestReachabilityProvider::announce() {
    if (!changed_) return;
    RunLoop::main().post([changed = changed_] { changed(); });
}

// ---- the handles and the one watcher they share ------------------------------------------------------

// Keeps the scheduled handles and watches the provider while any is scheduled; on a change each handle
// whose flags differ from what it last reported hears its callback.
struct ReachabilityHub {
    std::recursive_mutex mutex;
    std::shared_ptr<ReachabilityProvider> provider;
    std::vector<std::weak_ptr<NetworkReachability>> scheduled;
    bool watching = false;

    static ReachabilityHub& instance() {
        static ReachabilityHub* hub = new ReachabilityHub();
        return *hub;
    }

    std::shared_ptr<ReachabilityProvider> current() {
        std::lock_guard lock(mutex);
        if (!provider) provider = makeNetlinkReachabilityProvider();
        return provider;
    }

    void watch() {
        if (watching) return;
        auto p = current();
        watching = p->startWatching([] { ReachabilityHub::instance().changed(); });
    }

    void unwatch() {
        if (!watching) return;
        watching = false;
        if (provider) provider->stopWatching();
    }

    void changed() {
        std::vector<std::shared_ptr<NetworkReachability>> handles;
        {
            std::lock_guard lock(mutex);
            for (auto& w : scheduled)
                if (auto h = w.lock()) handles.push_back(std::move(h));
        }
        for (auto& h : handles) {
            if (!h->scheduled_) continue;
            uint32_t flags = 0;
            bool readable = h->getFlags(flags);
            if (readable == h->lastReadable_ && flags == h->lastFlags_) continue;
            h->lastReadable_ = readable;
            h->lastFlags_ = flags;
            if (h->callback_) {
                auto cb = h->callback_;
                cb(*h, flags);
            }
        }
    }
};

std::shared_ptr<NetworkReachability> NetworkReachability::createWithName(const std::string& hostName) {
    if (hostName.empty()) return nullptr;
    ReachabilityTarget t;
    t.byName = true;
    t.hostName = hostName;
    return std::shared_ptr<NetworkReachability>(new NetworkReachability(std::move(t)));
}

std::shared_ptr<NetworkReachability> NetworkReachability::createWithAddress(const sockaddr* address) {
    if (!address || address->sa_family != AF_INET) return nullptr;
    ReachabilityTarget t;
    std::memcpy(&t.address, address, sizeof t.address);
    return std::shared_ptr<NetworkReachability>(new NetworkReachability(std::move(t)));
}

NetworkReachability::~NetworkReachability() {
    auto& hub = ReachabilityHub::instance();
    std::lock_guard lock(hub.mutex);
    std::erase_if(hub.scheduled, [](auto& w) { return w.expired(); });
    if (hub.scheduled.empty()) hub.unwatch();
}

bool NetworkReachability::getFlags(uint32_t& flags) const {
    flags = 0;
    return ReachabilityHub::instance().current()->flags(target_, flags);
}

bool NetworkReachability::setCallback(Callback callback) {
    callback_ = std::move(callback);
    return true;
}

bool NetworkReachability::scheduleWithRunLoop(RunLoop& loop) {
    if (&loop != &RunLoop::main()) return false;
    auto& hub = ReachabilityHub::instance();
    std::lock_guard lock(hub.mutex);
    if (scheduled_) return true;
    hub.watch();
    if (!hub.watching) return false;
    lastReadable_ = getFlags(lastFlags_);
    scheduled_ = true;
    hub.scheduled.push_back(weak_from_this());
    return true;
}

bool NetworkReachability::unscheduleFromRunLoop(RunLoop& loop) {
    if (&loop != &RunLoop::main()) return false;
    auto& hub = ReachabilityHub::instance();
    std::lock_guard lock(hub.mutex);
    if (!scheduled_) return true;
    scheduled_ = false;
    std::erase_if(hub.scheduled, [this](auto& w) {
        auto p = w.lock();
        return !p || p.get() == this;
    });
    if (hub.scheduled.empty()) hub.unwatch();
    return true;
}

void NetworkReachability::setProvider(std::shared_ptr<ReachabilityProvider> provider) {
    auto& hub = ReachabilityHub::instance();
    {
        std::lock_guard lock(hub.mutex);
        bool wasWatching = hub.watching;
        hub.unwatch();
        hub.provider = std::move(provider);
        if (wasWatching) hub.watch();
    }
    // The new provider may see the network differently: let the handles compare.
    RunLoop::main().post([] { ReachabilityHub::instance().changed(); });
}

std::shared_ptr<ReachabilityProvider> NetworkReachability::provider() { return ReachabilityHub::instance().current(); }

}  // namespace velkora::foundation
