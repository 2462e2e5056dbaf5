// The process's small buffer of ready native ads: it aims at one ad held, so a chat-room row that asks
// is usually served at once, and fetches more when it runs dry.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "ads/VelkoraAdDetailsFetcher.h"
#include "ads/VelkoraNativeAd.h"
#include "session/VelkoraKitObjects.h"

namespace velkora {

class VelkoraNativeAdsController : public VelkoraNativeAds,
                                   public std::enable_shared_from_this<VelkoraNativeAdsController> {
public:
    using AdBlock = std::function<void(const VelkoraNativeAdPtr& ad)>;

    static VelkoraNativeAdsController& instance();
    static std::shared_ptr<VelkoraNativeAdsController> shared();
    ~VelkoraNativeAdsController() override;

    // Run whenever application data arrives: with ads switched off (either number 0) the buffer is
    // emptied; otherwise an empty buffer is filled.
    void reset() override;
    // Serves the last ad held at once, when there is one and a block; an emptied buffer is refilled, and
    // a block not served waits for the first ad fetched.
    void pullNativeAd(AdBlock block) override;
    // Starts the fetches that bring the buffer to its target: 2 with a waiting block, 1 without.
    void fetchAds(AdBlock block);

    const std::vector<VelkoraNativeAdPtr>& ads() const { return ads_; }
    const std::vector<std::shared_ptr<VelkoraAdDetailsFetcher>>& adFetchers() const { return adFetchers_; }
    int32_t nextAdIndex() const { return nextAdIndex_; }

    // Cancels the fetches and empties the buffer; for tests.
    static void resetForTests();

private:
    VelkoraNativeAdsController() { ads_.reserve(1); }
    void fetcherEnded(const VelkoraAdDetailsFetcher* fetcher);

    int32_t nextAdIndex_ = 0;
    std::vector<VelkoraNativeAdPtr> ads_;
    std::vector<std::shared_ptr<VelkoraAdDetailsFetcher>> adFetchers_;
};

} // namespace velkora
