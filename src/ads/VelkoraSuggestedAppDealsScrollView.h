// The sideways row of promoted-application cards in the sidebar. Cards are matched to deals by name and
// reused; each card reports its impression once per opening of the sidebar.
#pragma once

#include <memory>
#include <vector>

#include "ads/VelkoraSuggestedAppDealView.h"
#include "data/VelkoraAppDeal.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/ScrollView.h"
#include "server/utils/url_fetcher/VelkoraUrlFetcher.h"

namespace velkora {

class VelkoraSuggestedAppDealsScrollView : public ui::ScrollView, public VelkoraUrlFetcherDelegate {
public:
    VelkoraSuggestedAppDealsScrollView() { dealViews_.reserve(10); }
    static std::shared_ptr<VelkoraSuggestedAppDealsScrollView> create() {
        return std::make_shared<VelkoraSuggestedAppDealsScrollView>();
    }
    const char* className() const override { return "VelkoraSuggestedAppDealsScrollView"; }

    void applyNewAppDeals(const std::vector<VelkoraAppDealPtr>& deals);
    void clearAllAppDeals();
    // Reports the cards seen within `visibleWidth` from the current offset that have not reported yet.
    void sendEventForViewedDeals(double visibleWidth);
    void sendImpressionForAppDeal(const VelkoraAppDeal& deal);
    void velkoraWasActivated(const foundation::Notification& notification);

    void urlGotError(VelkoraUrlFetcher& fetcher, const foundation::ErrorPtr& error) override;
    void urlDidFinishWithString(VelkoraUrlFetcher&, const std::optional<std::string>&) override {}

    const std::vector<std::shared_ptr<VelkoraSuggestedAppDealView>>& dealViews() const { return dealViews_; }
    bool notificationSet() const { return notificationSet_; }
    int32_t nAppDeals() const { return nAppDeals_; }
    // The width of one card as its file makes it.
    static double cardWidth();

private:
    std::vector<std::shared_ptr<VelkoraSuggestedAppDealView>> dealViews_;
    bool notificationSet_ = false;
    int32_t nAppDeals_ = 0;
    foundation::NotificationObserver activationObserver_;
};

} // namespace velkora
