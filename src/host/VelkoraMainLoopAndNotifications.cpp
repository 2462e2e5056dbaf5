// The main loop and the notifications as a host reaches them.
#include <map>
#include <mutex>

#include "host/HostInternals.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "velkora/VelkoraMainLoop.h"
#include "velkora/VelkoraNotifications.h"

namespace velkora {

void VelkoraMainLoop::run() {
    host::prepareKit();
    foundation::RunLoop::main().run();
}

bool VelkoraMainLoop::runOnce(double timeoutSeconds) {
    host::prepareKit();
    return foundation::RunLoop::main().runOnce(timeoutSeconds);
}

void VelkoraMainLoop::stop() {
    foundation::RunLoop::main().stop();
}

void VelkoraMainLoop::post(std::function<void()> task) {
    foundation::RunLoop::main().post(std::move(task));
}

namespace host {

VelkoraNotificationInfo flatInfo(const foundation::Value& userInfo) {
    VelkoraNotificationInfo info;
    const auto* dictionary = userInfo.asDictionary();
    if (!dictionary) return info;
    for (const auto& key : dictionary->keys()) {
        const foundation::Value* v = dictionary->find(key);
        if (auto* b = v->asBool())
            info[key] = *b;
        else if (auto* n = v->asNumber())
            info[key] =
                n->isInteger() ? VelkoraNotificationValue(n->toInt64()) : VelkoraNotificationValue(n->toDouble());
        else if (auto* s = v->asString())
            info[key] = *s;
    }
    return info;
}

foundation::Value valueOf(const VelkoraNotificationInfo& info) {
    foundation::Dictionary d;
    for (const auto& entry : info)
        std::visit([&](const auto& v) { d.set(entry.first, foundation::Value(v)); }, entry.second);
    return foundation::Value(std::move(d));
}

} // namespace host

namespace {

std::mutex& observationsLock() {
    static std::mutex m;
    return m;
}

// The host's observations by their id.
std::map<std::uint64_t, foundation::NotificationObserver>& observations() {
    static std::map<std::uint64_t, foundation::NotificationObserver> all;
    return all;
}

} // namespace

VelkoraObservation observe(const std::string& name, std::function<void(const VelkoraNotificationInfo&)> callback) {
    static std::uint64_t nextId = 0;
    foundation::NotificationObserver observer(name, nullptr,
                                              [callback = std::move(callback)](const foundation::Notification& n) {
                                                  if (callback) callback(host::flatInfo(n.userInfo));
                                              });
    std::lock_guard lock(observationsLock());
    std::uint64_t id = ++nextId;
    observations().emplace(id, std::move(observer));
    return VelkoraObservation(id);
}

VelkoraObservation::~VelkoraObservation() {
    reset();
}

VelkoraObservation& VelkoraObservation::operator=(VelkoraObservation&& other) noexcept {
    if (this != &other) {
        reset();
        id_ = other.id_;
        other.id_ = 0;
    }
    return *this;
}

void VelkoraObservation::reset() {
    if (!id_) return;
    foundation::NotificationObserver gone;
    {
        std::lock_guard lock(observationsLock());
        auto it = observations().find(id_);
        if (it != observations().end()) {
            gone = std::move(it->second);
            observations().erase(it);
        }
    }
    id_ = 0;
}

} // namespace velkora
