#include "data/VelkoraAppDealsRepository.h"

#include "platform/foundation/RunLoop.h"

namespace velkora {

VelkoraAppDealsRepository& VelkoraAppDealsRepository::instance() {
    static VelkoraAppDealsRepository repository;
    return repository;
}

void VelkoraAppDealsRepository::updateWithAppDeals(const std::vector<VelkoraAppDealPtr>& deals) {
    for (const auto& deal : deals) {
        if (deal) appDeals_.push_back(deal);
    }
    lastUpdateTime_ = foundation::RunLoop::main().now();
}

} // namespace velkora
