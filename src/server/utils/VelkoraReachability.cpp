#include "server/utils/VelkoraReachability.h"

#include <arpa/inet.h>

#include <cstring>

#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "server/utils/url_fetcher/VelkoraUrlFetcher.h"

namespace velkora {

using foundation::Log;
using foundation::NetworkReachability;

namespace {

void logFlags(uint32_t flags, const char* comment) {
    auto bit = [flags](uint32_t mask, char c) { return (flags & mask) ? c : '-'; };
    Log::line("Velkora - Reachability Flag Status: %c%c %c%c%c%c%c%c%c %s",
              bit(foundation::kReachabilityFlagsIsWWAN, 'W'), bit(foundation::kReachabilityFlagsReachable, 'R'),
              bit(foundation::kReachabilityFlagsTransientConnection, 't'),
              bit(foundation::kReachabilityFlagsConnectionRequired, 'c'),
              bit(foundation::kReachabilityFlagsConnectionOnTraffic, 'C'),
              bit(foundation::kReachabilityFlagsInterventionRequired, 'i'),
              bit(foundation::kReachabilityFlagsConnectionOnDemand, 'D'),
              bit(foundation::kReachabilityFlagsIsLocalAddress, 'l'), bit(foundation::kReachabilityFlagsIsDirect, 'd'),
              comment);
}

}  // namespace

// ---- VelkoraReachability ---------------------------------------------------------------------------

std::shared_ptr<VelkoraReachability> VelkoraReachability::reachabilityWithHostName(const std::string& hostName) {
    auto ref = NetworkReachability::createWithName(hostName);
    if (!ref) return nullptr;
    return std::shared_ptr<VelkoraReachability>(new VelkoraReachability(std::move(ref)));
}

std::shared_ptr<VelkoraReachability> VelkoraReachability::reachabilityWithAddress(const sockaddr_in& hostAddress) {
    auto ref = NetworkReachability::createWithAddress(reinterpret_cast<const sockaddr*>(&hostAddress));
    if (!ref) return nullptr;
    return std::shared_ptr<VelkoraReachability>(new VelkoraReachability(std::move(ref)));
}

std::shared_ptr<VelkoraReachability> VelkoraReachability::reachabilityForInternetConnection() {
    sockaddr_in zero{};
    zero.sin_family = AF_INET;
    return reachabilityWithAddress(zero);
}

std::shared_ptr<VelkoraReachability> VelkoraReachability::reachabilityForLocalWiFi() {
    sockaddr_in linkLocal{};
    linkLocal.sin_family = AF_INET;
    linkLocal.sin_addr.s_addr = htonl(0xA9FE0000u);  // 169.254.0.0
    auto r = reachabilityWithAddress(linkLocal);
    if (r) r->localWiFiRef_ = true;
    return r;
}

VelkoraReachability::~VelkoraReachability() { stopNotifier(); }

bool VelkoraReachability::startNotifier() {
    if (!reachabilityRef_) return false;
    std::weak_ptr<VelkoraReachability> weak = weak_from_this();
    bool ok = reachabilityRef_->setCallback([weak](NetworkReachability&, uint32_t) {
        if (auto self = weak.lock())
            foundation::NotificationCenter::defaultCenter().post(kVelkoraNetworkReachabilityChangedNotification, self.get());
    });
    return ok && reachabilityRef_->scheduleWithRunLoop(foundation::RunLoop::main());
}

void VelkoraReachability::stopNotifier() {
    if (reachabilityRef_) reachabilityRef_->unscheduleFromRunLoop(foundation::RunLoop::main());
}

VelkoraNetworkStatus VelkoraReachability::currentReachabilityStatus() const {
    uint32_t flags = 0;
    if (!reachabilityRef_ || !reachabilityRef_->getFlags(flags)) return NotReachable;
    return localWiFiRef_ ? localWiFiStatusForFlags(flags) : networkStatusForFlags(flags);
}

bool VelkoraReachability::connectionRequired() const {
    uint32_t flags = 0;
    if (!reachabilityRef_ || !reachabilityRef_->getFlags(flags)) return false;
    return (flags & foundation::kReachabilityFlagsConnectionRequired) != 0;
}

VelkoraNetworkStatus VelkoraReachability::networkStatusForFlags(uint32_t flags) const {
    logFlags(flags, "networkStatusForFlags");
    if (!(flags & foundation::kReachabilityFlagsReachable)) return NotReachable;
    VelkoraNetworkStatus status =
        (flags & foundation::kReachabilityFlagsConnectionRequired) ? NotReachable : ReachableViaWiFi;
    if ((flags & (foundation::kReachabilityFlagsConnectionOnDemand | foundation::kReachabilityFlagsConnectionOnTraffic)) &&
        !(flags & foundation::kReachabilityFlagsInterventionRequired))
        status = ReachableViaWiFi;
    if (flags & foundation::kReachabilityFlagsIsWWAN) status = ReachableViaWWAN;
    return status;
}

VelkoraNetworkStatus VelkoraReachability::localWiFiStatusForFlags(uint32_t flags) const {
    logFlags(flags, "localWiFiStatusForFlags");
    bool both = (flags & foundation::kReachabilityFlagsReachable) && (flags & foundation::kReachabilityFlagsIsDirect);
    return both ? ReachableViaWiFi : NotReachable;
}

// ---- VelkoraReachabilityManager --------------------------------------------------------------------

namespace {
std::mutex g_managerMutex;
VelkoraReachabilityManager* g_manager = nullptr;
}  // namespace

VelkoraReachabilityManager& VelkoraReachabilityManager::instance() {
    std::lock_guard lock(g_managerMutex);
    if (!g_manager) g_manager = new VelkoraReachabilityManager();  // lives for the rest of the process
    return *g_manager;
}

VelkoraReachabilityManager* VelkoraReachabilityManager::existingInstance() {
    std::lock_guard lock(g_managerMutex);
    return g_manager;
}

void VelkoraReachabilityManager::resetForTests() {
    VelkoraReachabilityManager* old = nullptr;
    {
        std::lock_guard lock(g_managerMutex);
        std::swap(old, g_manager);
    }
    delete old;
}

VelkoraReachabilityManager::VelkoraReachabilityManager() { initInternetReachabilty(); }

VelkoraReachabilityManager::~VelkoraReachabilityManager() {
    observer_.reset();
    if (internetReachability_) internetReachability_->stopNotifier();
}

void VelkoraReachabilityManager::initInternetReachabilty() {
    observer_ = foundation::NotificationObserver(kVelkoraNetworkReachabilityChangedNotification, nullptr,
                                                 [this](const foundation::Notification& n) { reachabilityChanged(n); });
    internetReachability_ = VelkoraReachability::reachabilityForInternetConnection();
    curNetworkStatus_ = internetReachability_ ? internetReachability_->currentReachabilityStatus() : NotReachable;
    notifierRunning_ = internetReachability_ && internetReachability_->startNotifier();
}

bool VelkoraReachabilityManager::isInternetUnreachable() {
    if (!notifierRunning_ && internetReachability_) {
        bool wasDown = curNetworkStatus_ == NotReachable;
        curNetworkStatus_ = internetReachability_->currentReachabilityStatus();
        if (curNetworkStatus_ != NotReachable && (wasDown || !pendingConnections_.empty())) {
            // Resumed after the current request has been judged, never from inside it. The manager may
            // be gone by then (a test's reset): the task asks for the one that exists.
            foundation::RunLoop::main().post([self = this, wasDown] {
                if (existingInstance() != self || self->curNetworkStatus_ == NotReachable) return;
                self->resumePark();
                if (wasDown)
                    foundation::NotificationCenter::defaultCenter().post(kVelkoraNetworkIsBackNotification, self);
            });
        }
    }
    return curNetworkStatus_ == NotReachable;
}

void VelkoraReachabilityManager::registerNewUrlFetcher(std::shared_ptr<VelkoraUrlFetcher> fetcher) {
    if (fetcher) pendingConnections_.push_back(std::move(fetcher));
}

void VelkoraReachabilityManager::unregisterNewUrlFetcher(const VelkoraUrlFetcher* fetcher) {
    std::erase_if(pendingConnections_, [fetcher](const auto& f) { return f.get() == fetcher; });
    // Still waiting its turn in a resumption that is running: it must not be resumed any more.
    if (resuming_)
        for (size_t i = resumingIndex_ + 1; i < resuming_->size(); ++i)
            if ((*resuming_)[i].get() == fetcher) (*resuming_)[i].reset();
}

void VelkoraReachabilityManager::reachabilityChanged(const foundation::Notification& notification) {
    // Only the watcher of "any network" speaks for the network as a whole; other targets' changes say
    // nothing about it (and their object cannot be read as ours).
    if (!internetReachability_ || notification.object != internetReachability_.get()) return;
    bool wasDown = curNetworkStatus_ == NotReachable;
    curNetworkStatus_ = internetReachability_->currentReachabilityStatus();
    if (curNetworkStatus_ == NotReachable) return;
    resumePark();
    if (wasDown) foundation::NotificationCenter::defaultCenter().post(kVelkoraNetworkIsBackNotification, this);
}

void VelkoraReachabilityManager::resumePark() {
    // The list is taken whole before anyone is resumed: a fetcher that parks itself again lands in the new
    // list (and waits for the next change) instead of being resumed for ever in this loop. One cancelled
    // by an earlier one's resumption is skipped.
    auto parked = std::move(pendingConnections_);
    pendingConnections_.clear();
    for (size_t i = 0; i < parked.size(); ++i) {
        auto fetcher = parked[i];
        if (!fetcher) continue;
        resuming_ = &parked;
        resumingIndex_ = i;
        fetcher->retry();
    }
    resuming_ = nullptr;
}

}  // namespace velkora
