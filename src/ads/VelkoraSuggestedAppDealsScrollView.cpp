#include "ads/VelkoraSuggestedAppDealsScrollView.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "ads/VelkoraAdsSupport.h"
#include "platform/foundation/Log.h"
#include "server/VelkoraServerApi.h"
#include "data/VelkoraAppData.h"

namespace velkora {

double VelkoraSuggestedAppDealsScrollView::cardWidth() {
    static const double width = [] {
        auto card = VelkoraSuggestedAppDealView::initFromNib();
        return card ? card->frame().size.width : 0.0;
    }();
    return width;
}

void VelkoraSuggestedAppDealsScrollView::applyNewAppDeals(const std::vector<VelkoraAppDealPtr>& deals) {
    if (!notificationSet_) {
        notificationSet_ = true;
        std::weak_ptr<VelkoraSuggestedAppDealsScrollView> weak = sharedAs<VelkoraSuggestedAppDealsScrollView>();
        activationObserver_ = foundation::NotificationObserver("VelkoraNotificationWasActivated", nullptr,
                                                               [weak](const foundation::Notification& n) {
                                                                   if (auto self = weak.lock())
                                                                       self->velkoraWasActivated(n);
                                                               });
    }
    std::set<std::string> placed;
    std::vector<size_t> reusable;
    for (size_t i = 0; i < dealViews_.size(); ++i) {
        auto& card = dealViews_[i];
        auto match = std::find_if(deals.begin(), deals.end(), [&](const VelkoraAppDealPtr& d) {
            return d && !placed.contains(d->name().value_or("")) && card->isSameApp(*d);
        });
        if (match == deals.end()) {
            reusable.push_back(i);
            continue;
        }
        card->updateDetailsOfApp(*match);
        placed.insert((*match)->name().value_or(""));
    }
    double width = cardWidth();
    size_t nextReusable = 0;
    for (const auto& deal : deals) {
        if (!deal || placed.contains(deal->name().value_or(""))) continue;
        placed.insert(deal->name().value_or(""));
        if (nextReusable < reusable.size()) {
            auto& card = dealViews_[reusable[nextReusable++]];
            card->updateData(deal);
            card->setImpressionSent(false);
            continue;
        }
        auto card = VelkoraSuggestedAppDealView::initFromNib();
        if (!card) continue;
        card->updateData(deal);
        ui::Rect frame = card->frame();
        frame.origin = {nAppDeals_ * width, 0};
        card->setFrame(frame);
        dealViews_.push_back(card);
        addSubview(card);
        ++nAppDeals_;
        setContentSize({nAppDeals_ * width, bounds().size.height});
    }
    // A shorter list must not leave stale deals shown, reported or tappable: the cards left over hide,
    // the ones shown pack to the left and the content ends after them.
    if (nextReusable < reusable.size()) {
        std::vector<std::shared_ptr<VelkoraSuggestedAppDealView>> shown, hidden;
        std::set<size_t> leftover(reusable.begin() + static_cast<std::ptrdiff_t>(nextReusable), reusable.end());
        for (size_t i = 0; i < dealViews_.size(); ++i)
            (leftover.contains(i) ? hidden : shown).push_back(dealViews_[i]);
        for (size_t i = 0; i < shown.size(); ++i) {
            ui::Rect frame = shown[i]->frame();
            frame.origin.x = double(i) * width;
            shown[i]->setFrame(frame);
            shown[i]->setHidden(false);
        }
        for (auto& card : hidden) {
            card->removeFromSuperview();
        }
        dealViews_ = std::move(shown);
        nAppDeals_ = static_cast<int32_t>(dealViews_.size());
        setContentSize({nAppDeals_ * width, bounds().size.height});
    }
}

void VelkoraSuggestedAppDealsScrollView::clearAllAppDeals() {
    for (auto& view : std::vector<ui::ViewPtr>(subviews()))
        view->removeFromSuperview();
    dealViews_.clear();
    nAppDeals_ = 0;
}

void VelkoraSuggestedAppDealsScrollView::sendEventForViewedDeals(double visibleWidth) {
    double width = cardWidth();
    if (width <= 0 || dealViews_.empty()) return;
    // A bounce can take the offset below 0, and the visible width past the last card.
    double x = std::max(0.0, contentOffset().x);
    auto last = static_cast<int64_t>(dealViews_.size()) - 1;
    int64_t first = std::min<int64_t>(static_cast<int64_t>(x / width), last);
    int64_t end = std::min<int64_t>(static_cast<int64_t>(std::min((visibleWidth + x) / width, double(last))), last);
    auto data = adsAppData();
    int32_t vendor = data ? data->appDealsVendor() : 0;
    for (int64_t i = first; i <= end; ++i) {
        auto& card = dealViews_[static_cast<size_t>(i)];
        if (card->impressionSent() || !card->appDeal()) continue;
        const VelkoraAppDeal& deal = *card->appDeal();
        VelkoraServerApi::reporEventNow("adImpress", foundation::format("VENDOR%d_%@|1", vendor, dealIdText(deal)));
        if (deal.appDealId() == 0) sendImpressionForAppDeal(deal);
        card->setImpressionSent(true);
    }
}

void VelkoraSuggestedAppDealsScrollView::sendImpressionForAppDeal(const VelkoraAppDeal& deal) {
    auto url = deal.impressionUrl();
    if (!url || url->empty()) return;
    auto fetcher = VelkoraUrlFetcher::create(std::dynamic_pointer_cast<VelkoraUrlFetcherDelegate>(sharedView()));
    fetcher->getUrl(*url);
}

void VelkoraSuggestedAppDealsScrollView::velkoraWasActivated(const foundation::Notification& notification) {
    if (!notification.userInfo["panelShowing"].boolOr(false)) return;
    for (auto& card : dealViews_)
        card->setImpressionSent(false);
    sendEventForViewedDeals(notification.userInfo["panelWidth"].doubleOr(0));
}

void VelkoraSuggestedAppDealsScrollView::urlGotError(VelkoraUrlFetcher& /*fetcher*/,
                                                     const foundation::ErrorPtr& error) {
    foundation::Log::line("Velkora - Failed sending impression to partners. Error: %@",
                          error ? error->description() : std::string());
}

} // namespace velkora
