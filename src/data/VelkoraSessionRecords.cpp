#include "data/VelkoraSessionRecords.h"

#include <atomic>

namespace velkora {

namespace {

class NoSession final : public VelkoraSessionRecords {
public:
    std::shared_ptr<VelkoraUserInfo> getUserInfo() const override { return nullptr; }
    void initUserInfo(const std::string&) override {}
    bool saveUserInfo() override { return false; }
    void resetUserInfoWithUserId(const std::optional<std::string>&) override {}
    std::shared_ptr<VelkoraAppData> getAppData() const override { return nullptr; }
    void setAppData(std::shared_ptr<VelkoraAppData>) override {}
    bool saveAppData() override { return false; }
    std::shared_ptr<VelkoraUserInternal> velkoraUser() const override { return nullptr; }
    void setVelkoraUser(std::shared_ptr<VelkoraUserInternal>) override {}
    bool testMode() const override { return false; }
};

VelkoraSessionRecords& noSession() {
    static NoSession none;
    return none;
}

std::atomic<VelkoraSessionRecords::Provider>& providerSlot() {
    static std::atomic<VelkoraSessionRecords::Provider> slot{nullptr};
    return slot;
}

} // namespace

VelkoraSessionRecords& VelkoraSessionRecords::current() {
    auto provider = providerSlot().load(std::memory_order_acquire);
    return provider ? provider() : noSession();
}

void VelkoraSessionRecords::setProvider(Provider provider) {
    providerSlot().store(provider, std::memory_order_release);
}

} // namespace velkora
