// Whether the network is reachable, and the park of URL fetchers that wait for it to come back.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/foundation/NetworkReachability.h"
#include "platform/foundation/NotificationCenter.h"

namespace velkora {

class VelkoraUrlFetcher;

using VelkoraNetworkStatus = int32_t;
inline constexpr VelkoraNetworkStatus NotReachable = 0;
inline constexpr VelkoraNetworkStatus ReachableViaWiFi = 1;
inline constexpr VelkoraNetworkStatus ReachableViaWWAN = 2;

inline constexpr const char* kVelkoraNetworkReachabilityChangedNotification =
    "kVelkoraNetworkReachabilityChangedNotification";
// Posted by the manager (object: the manager, no user information) when the network is reachable again
// after it was not, once the park has been resumed: whatever failed for want of a network may be sent
// again now.
inline constexpr const char* kVelkoraNetworkIsBackNotification = "VelkoraNetworkIsBackNotification";

// One watched target. Posts kVelkoraNetworkReachabilityChangedNotification (object: itself) on the
// default centre, on the main run loop, whenever the target's flags change while its notifier runs.
class VelkoraReachability : public std::enable_shared_from_this<VelkoraReachability> {
public:
    static std::shared_ptr<VelkoraReachability> reachabilityWithHostName(const std::string& hostName);
    static std::shared_ptr<VelkoraReachability> reachabilityWithAddress(const sockaddr_in& hostAddress);
    // The target that stands for any network: 0.0.0.0.
    static std::shared_ptr<VelkoraReachability> reachabilityForInternetConnection();
    // The link-local network 169.254.0.0, judged by the local rule.
    static std::shared_ptr<VelkoraReachability> reachabilityForLocalWiFi();

    ~VelkoraReachability();

    bool startNotifier();
    void stopNotifier();

    VelkoraNetworkStatus currentReachabilityStatus() const;
    bool connectionRequired() const;
    VelkoraNetworkStatus networkStatusForFlags(uint32_t flags) const;
    VelkoraNetworkStatus localWiFiStatusForFlags(uint32_t flags) const;

    bool localWiFiRef() const { return localWiFiRef_; }

private:
    explicit VelkoraReachability(std::shared_ptr<foundation::NetworkReachability> ref) : reachabilityRef_(std::move(ref)) {}
    bool localWiFiRef_ = false;
    std::shared_ptr<foundation::NetworkReachability> reachabilityRef_;
};

// The process-wide monitor of the target that stands for any network, and the park of fetchers that
// wait for it, resumed in the order they were parked. Used on the main run loop only.
class VelkoraReachabilityManager {
public:
    static VelkoraReachabilityManager& instance();
    // The manager when it already exists, else null (a fetcher going away must not start monitoring).
    static VelkoraReachabilityManager* existingInstance();
    // Ends the manager: its notifier stops and the fetchers it parked are let go without being resumed.
    // The next instance() starts monitoring afresh; for tests that change the network between them.
    static void resetForTests();
    ~VelkoraReachabilityManager();

    // The status kept from the last change. Without a running notifier nothing would ever change it, so
    // then it is read afresh (and a network found again resumes the park).
    bool isInternetUnreachable();
    void registerNewUrlFetcher(std::shared_ptr<VelkoraUrlFetcher> fetcher);
    void unregisterNewUrlFetcher(const VelkoraUrlFetcher* fetcher);
    void reachabilityChanged(const foundation::Notification& notification);

    VelkoraNetworkStatus curNetworkStatus() const { return curNetworkStatus_; }
    void setCurNetworkStatus(VelkoraNetworkStatus status) { curNetworkStatus_ = status; }
    const std::vector<std::shared_ptr<VelkoraUrlFetcher>>& pendingConnections() const { return pendingConnections_; }
    void setPendingConnections(std::vector<std::shared_ptr<VelkoraUrlFetcher>> list) { pendingConnections_ = std::move(list); }
    const std::shared_ptr<VelkoraReachability>& internetReachability() const { return internetReachability_; }

    VelkoraReachabilityManager(const VelkoraReachabilityManager&) = delete;
    VelkoraReachabilityManager& operator=(const VelkoraReachabilityManager&) = delete;

private:
    VelkoraReachabilityManager();
    void initInternetReachabilty();
    void resumePark();
    // Takes a freshly read status; a network found again resumes the park and is announced.
    void takeStatus(VelkoraNetworkStatus status);

    std::shared_ptr<VelkoraReachability> internetReachability_;
    VelkoraNetworkStatus curNetworkStatus_ = NotReachable;
    bool notifierRunning_ = false;
    std::vector<std::shared_ptr<VelkoraUrlFetcher>>* resuming_ = nullptr;
    size_t resumingIndex_ = 0;
    std::vector<std::shared_ptr<VelkoraUrlFetcher>> pendingConnections_;
    foundation::NotificationObserver observer_;
};

}  // namespace velkora
