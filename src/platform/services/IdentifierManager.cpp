#include "platform/services/IdentifierManager.h"

#include <mutex>

namespace velkora::services {

namespace {
std::mutex& managerMutex() {
    static std::mutex m;
    return m;
}
std::shared_ptr<IdentifierManager>& installedManager() {
    static std::shared_ptr<IdentifierManager> manager;
    return manager;
}
}  // namespace

std::shared_ptr<IdentifierManager> IdentifierManager::sharedManager() {
    std::lock_guard lock(managerMutex());
    return installedManager();
}

void IdentifierManager::setSharedManager(std::shared_ptr<IdentifierManager> manager) {
    std::lock_guard lock(managerMutex());
    installedManager() = std::move(manager);
}

}  // namespace velkora::services
