// The promoted applications to show, in the order received, and when they were last added.
#pragma once

#include <vector>

#include "data/VelkoraAppDeal.h"
#include "data/VelkoraProperty.h"

namespace velkora {

class VelkoraAppDealsRepository {
public:
    static VelkoraAppDealsRepository& instance();

    // Empties the list; callers refreshing the deals call it before `updateWithAppDeals`.
    void cleaerRepository() { appDeals_.clear(); }
    // Appends to what is held and stamps the time.
    void updateWithAppDeals(const std::vector<VelkoraAppDealPtr>& deals);

    const std::vector<VelkoraAppDealPtr>& appDeals() const { return appDeals_; }
    void setAppDeals(std::vector<VelkoraAppDealPtr> deals) { appDeals_ = std::move(deals); }
    const OptionalDate& lastUpdateTime() const { return lastUpdateTime_; }
    void setLastUpdateTime(OptionalDate time) { lastUpdateTime_ = time; }

private:
    VelkoraAppDealsRepository() { appDeals_.reserve(5); }
    std::vector<VelkoraAppDealPtr> appDeals_;
    OptionalDate lastUpdateTime_;
};

} // namespace velkora
