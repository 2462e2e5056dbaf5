// One promoted application's card in the sidebar's row: icon, name, price, texts and rating; a tap
// reports the click and opens the store.
#pragma once

#include <memory>
#include <vector>

#include "data/VelkoraAppDeal.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/Label.h"

namespace velkora {

class VelkoraLazyImageView;

class VelkoraSuggestedAppDealView : public ui::View, public ui::InterfaceOwner {
public:
    static constexpr const char* kInterface = "VelkoraSuggestedAppDealView";

    // Null when the file is broken.
    static std::shared_ptr<VelkoraSuggestedAppDealView> initFromNib();
    const char* className() const override { return "VelkoraSuggestedAppDealView"; }

    void updateData(const VelkoraAppDealPtr& deal);
    // The same application with new data: the picture only when it changed.
    void updateDetailsOfApp(const VelkoraAppDealPtr& deal);
    bool isSameApp(const VelkoraAppDeal& deal) const;
    void dealTapped(ui::Control* sender);

    bool impressionSent() const { return impressionSent_; }
    void setImpressionSent(bool sent) { impressionSent_ = sent; }
    const VelkoraAppDealPtr& appDeal() const { return appDeal_; }
    const std::vector<std::shared_ptr<ui::ImageView>>& appRatingStars() const { return appRatingStars_; }
    const std::shared_ptr<ui::Label>& appName() const { return appName_; }
    const std::shared_ptr<ui::Label>& appCategory() const { return appCategory_; }
    const std::shared_ptr<ui::Label>& appDeveloper() const { return appDeveloper_; }
    const std::shared_ptr<ui::Label>& appDescription() const { return appDescription_; }
    const std::shared_ptr<ui::Label>& appPrice() const { return appPrice_; }
    const std::shared_ptr<VelkoraLazyImageView>& dealView() const { return dealView_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    // Stars before the rating full, a half star for its fraction, the others empty.
    void showRating(double rating);

    bool impressionSent_ = false;
    VelkoraAppDealPtr appDeal_;
    std::vector<std::shared_ptr<ui::ImageView>> appRatingStars_;
    std::shared_ptr<ui::Label> appName_, appCategory_, appDeveloper_, appDescription_, appPrice_;
    std::shared_ptr<ui::View> topLevelView_;
    std::shared_ptr<VelkoraLazyImageView> dealView_;
    std::shared_ptr<ui::ImageView> appRatingFirstStar_, appRatingSecondStar_, appRatingThirdStar_, appRatingFourthStar_,
        appRatingFifthStar_;
};

} // namespace velkora
