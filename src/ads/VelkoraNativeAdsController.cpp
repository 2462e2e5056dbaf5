#include "ads/VelkoraNativeAdsController.h"

#include <algorithm>

#include "platform/foundation/Log.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppData.h"

namespace velkora {

namespace {

std::mutex& instanceMutex() {
    static std::mutex m;
    return m;
}

std::shared_ptr<VelkoraNativeAdsController>& theInstance() {
    static std::shared_ptr<VelkoraNativeAdsController> instance;
    return instance;
}

} // namespace

std::shared_ptr<VelkoraNativeAdsController> VelkoraNativeAdsController::shared() {
    std::lock_guard lock(instanceMutex());
    auto& instance = theInstance();
    if (!instance) instance.reset(new VelkoraNativeAdsController());
    return instance;
}

VelkoraNativeAdsController& VelkoraNativeAdsController::instance() {
    return *shared();
}

VelkoraNativeAdsController::~VelkoraNativeAdsController() {
    for (auto& fetcher : adFetchers_)
        fetcher->cancel();
}

void VelkoraNativeAdsController::resetForTests() {
    std::shared_ptr<VelkoraNativeAdsController> old;
    {
        std::lock_guard lock(instanceMutex());
        old = std::move(theInstance());
        theInstance().reset();
    }
}

void VelkoraNativeAdsController::reset() {
    auto data = VelkoraAgentInternal::instance().appData();
    if (!data || data->nAdsPerPeriod() == 0 || data->adsPeriodSecs() == 0) {
        ads_.clear();
        return;
    }
    if (ads_.empty()) fetchAds(nullptr);
}

void VelkoraNativeAdsController::pullNativeAd(AdBlock block) {
    bool served = false;
    if (!ads_.empty() && block) {
        auto ad = ads_.back();
        ads_.pop_back();
        served = true;
        block(ad);
    }
    if (ads_.empty()) fetchAds(served ? nullptr : std::move(block));
}

void VelkoraNativeAdsController::fetchAds(AdBlock block) {
    int target = block ? 2 : 1;
    int missing = target - static_cast<int>(ads_.size());
    if (missing <= 0) return;
    // The fetches of one call serve the waiting block once between them.
    auto served = std::make_shared<bool>(false);
    auto waiting = std::make_shared<AdBlock>(std::move(block));
    std::weak_ptr<VelkoraNativeAdsController> weak = weak_from_this();
    for (int i = 0; i < missing; ++i) {
        auto fetcher = VelkoraAdDetailsFetcher::create();
        adFetchers_.push_back(fetcher);
        const VelkoraAdDetailsFetcher* raw = fetcher.get();
        fetcher->fetchAdDetails([weak, raw, served, waiting](const VelkoraNativeAdPtr& ad,
                                                             const foundation::ErrorPtr& error) {
            auto self = weak.lock();
            if (!self) return;
            if (ad) {
                if (*waiting && !*served) {
                    *served = true;
                    (*waiting)(ad);
                } else {
                    auto at = std::min<size_t>(static_cast<size_t>(std::max(self->nextAdIndex_, 0)), self->ads_.size());
                    self->ads_.insert(self->ads_.begin() + static_cast<std::ptrdiff_t>(at), ad);
                }
            } else {
                foundation::Log::line("Failed fetching native ad app details with Error: %@)",
                                      error ? error->domain : std::string());
            }
            self->fetcherEnded(raw);
        });
    }
}

void VelkoraNativeAdsController::fetcherEnded(const VelkoraAdDetailsFetcher* fetcher) {
    auto it = std::find_if(adFetchers_.begin(), adFetchers_.end(), [&](const auto& f) { return f.get() == fetcher; });
    if (it == adFetchers_.end()) return;
    // Let go after the fetcher's own call has returned.
    auto keep = std::move(*it);
    adFetchers_.erase(it);
    foundation::RunLoop::main().post([keep] {});
}

} // namespace velkora
