// The advertising identifier of the device. This platform has no system advertising identifier, so by
// default there is no manager at all, as on a device without the advertising framework; a host that has
// such an identifier (or a test) installs a manager that hands it out.
#pragma once

#include <memory>
#include <string>

namespace velkora::services {

class IdentifierManager {
public:
    // `advertisingIdentifier` is UUID text as the platform renders it ("E621E1F8-C36C-495A-...").
    explicit IdentifierManager(std::string advertisingIdentifier)
        : advertisingIdentifier_(std::move(advertisingIdentifier)) {}

    // The installed manager; null while none is installed.
    static std::shared_ptr<IdentifierManager> sharedManager();
    // Installs a manager, or removes it with null.
    static void setSharedManager(std::shared_ptr<IdentifierManager> manager);

    const std::string& advertisingIdentifier() const { return advertisingIdentifier_; }

private:
    std::string advertisingIdentifier_;
};

}  // namespace velkora::services
