#include "social/VelkoraSocialConnectors.h"

#include <mutex>

namespace velkora {

namespace {

std::mutex& sourceLock() {
    static std::mutex lock;
    return lock;
}

VelkoraSocialConnectors::Source& sourceSlot() {
    static VelkoraSocialConnectors::Source source;
    return source;
}

VelkoraSocialConnectors::Source currentSource() {
    std::lock_guard lock(sourceLock());
    return sourceSlot();
}

} // namespace

void VelkoraSocialConnectors::setSource(Source source) {
    std::lock_guard lock(sourceLock());
    sourceSlot() = source;
}

std::shared_ptr<VelkoraFBConnector> VelkoraSocialConnectors::facebook() {
    auto source = currentSource();
    return source.facebook ? source.facebook() : nullptr;
}

std::shared_ptr<VelkoraTwitterConnector> VelkoraSocialConnectors::twitter() {
    auto source = currentSource();
    return source.twitter ? source.twitter() : nullptr;
}

} // namespace velkora
