// Whether the network can be reached, as the platform's reachability handles answer it: a flag word per
// target and a callback, on the main run loop, when the flags change. The flags come from a provider: the
// kernel's routing tables (rtnetlink) by default, or one a test controls.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace velkora::foundation {

class RunLoop;

enum ReachabilityFlags : uint32_t {
    kReachabilityFlagsTransientConnection = 1u << 0,
    kReachabilityFlagsReachable = 1u << 1,
    kReachabilityFlagsConnectionRequired = 1u << 2,
    kReachabilityFlagsConnectionOnTraffic = 1u << 3,
    kReachabilityFlagsInterventionRequired = 1u << 4,
    kReachabilityFlagsConnectionOnDemand = 1u << 5,
    kReachabilityFlagsIsLocalAddress = 1u << 16,
    kReachabilityFlagsIsDirect = 1u << 17,
    kReachabilityFlagsIsWWAN = 1u << 18,
};

struct ReachabilityTarget {
    bool byName = false;
    sockaddr_in address{};  // when !byName
    std::string hostName;   // when byName

    bool isAnyNetwork() const { return !byName && address.sin_addr.s_addr == htonl(INADDR_ANY); }
};

// Where the flags come from.
class ReachabilityProvider {
public:
    virtual ~ReachabilityProvider() = default;
    // False when the flags cannot be read.
    virtual bool flags(const ReachabilityTarget& target, uint32_t& out) = 0;
    // Starts watching for changes; `changed` runs on the main run loop whenever the flags may differ.
    virtual bool startWatching(std::function<void()> changed) = 0;
    virtual void stopWatching() = 0;
};

// The kernel's view: a target is reachable when a usable route leads to it. The target that stands for
// any network is reachable while some route leaves the machine through an interface that is up (loopback
// and IPv6 link-local routes do not count). Route, address and link changes arrive on an rtnetlink socket
// that the main run loop polls.
std::shared_ptr<ReachabilityProvider> makeNetlinkReachabilityProvider();

// A provider whose answers a test sets. Changes are announced through the main run loop (a posted task),
// as the kernel's would be.
class TestReachabilityProvider final : public ReachabilityProvider {
public:
    bool flags(const ReachabilityTarget& target, uint32_t& out) override;
    bool startWatching(std::function<void()> changed) override;
    void stopWatching() override;

    // The flags every target answers.
    void setFlags(uint32_t flags);
    // Reachable over a local link, or not reachable at all.
    void setReachable(bool reachable);
    // Makes the flags unreadable.
    void setReadable(bool readable);
    void setWatchingFails(bool fails) { watchingFails_ = fails; }
    bool isWatching() const { return static_cast<bool>(changed_); }

private:
    void announce();
    uint32_t flags_ = kReachabilityFlagsReachable | kReachabilityFlagsIsDirect;
    bool readable_ = true;
    bool watchingFails_ = false;
    std::function<void()> changed_;
};

// One watched target, the stand-in of the platform's reachability handle.
class NetworkReachability : public std::enable_shared_from_this<NetworkReachability> {
public:
    using Callback = std::function<void(NetworkReachability&, uint32_t flags)>;

    static std::shared_ptr<NetworkReachability> createWithName(const std::string& hostName);
    // Null unless the address is an IPv4 socket address.
    static std::shared_ptr<NetworkReachability> createWithAddress(const sockaddr* address);
    ~NetworkReachability();

    bool getFlags(uint32_t& flags) const;
    bool setCallback(Callback callback);
    // The callback runs on this loop when the flags change; only the main loop can be watched.
    bool scheduleWithRunLoop(RunLoop& loop);
    bool unscheduleFromRunLoop(RunLoop& loop);
    const ReachabilityTarget& target() const { return target_; }

    // The process's provider; null restores the kernel's.
    static void setProvider(std::shared_ptr<ReachabilityProvider> provider);
    static std::shared_ptr<ReachabilityProvider> provider();

private:
    explicit NetworkReachability(ReachabilityTarget target) : target_(std::move(target)) {}
    friend struct ReachabilityHub;
    ReachabilityTarget target_;
    Callback callback_;
    bool scheduled_ = false;
    uint32_t lastFlags_ = 0;
    bool lastReadable_ = false;
};

}  // namespace velkora::foundation
