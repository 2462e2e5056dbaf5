#include "ads/VelkoraSuggestedAppDealView.h"

#include <cmath>

#include "ads/VelkoraAdsSupport.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Application.h"
#include "platform/ui/Image.h"
#include "server/VelkoraServerApi.h"
#include "data/VelkoraAppData.h"
#include "shell/VelkoraLazyImageView.h"

namespace velkora {

std::shared_ptr<VelkoraSuggestedAppDealView> VelkoraSuggestedAppDealView::initFromNib() {
    registerAdsClasses();
    auto card = std::make_shared<VelkoraSuggestedAppDealView>();
    if (ui::InterfaceLoader::instance().loadNibNamed(kInterface, card.get()).empty() || !card->topLevelView_)
        return nullptr;
    if (card->dealView_) {
        card->dealView_->layer().setCornerRadius(7);
        card->dealView_->layer().setMasksToBounds(true);
    }
    for (auto* star : {&card->appRatingFirstStar_, &card->appRatingSecondStar_, &card->appRatingThirdStar_,
                       &card->appRatingFourthStar_, &card->appRatingFifthStar_}) {
        if (!*star) continue;
        (*star)->setImage(ui::Image::named("VelImg_AppsDealStarEmpty.png"));
        card->appRatingStars_.push_back(*star);
    }
    card->setFrame(card->topLevelView_->frame());
    card->addSubview(card->topLevelView_);
    card->impressionSent_ = false;
    return card;
}

void VelkoraSuggestedAppDealView::registerInterfaceBindings(ui::InterfaceBindings& bindings) {
    bindings.outlet("topLevelView", topLevelView_);
    bindings.outlet("dealView", dealView_);
    bindings.outlet("appName", appName_);
    bindings.outlet("appCategory", appCategory_);
    bindings.outlet("appDeveloper", appDeveloper_);
    bindings.outlet("appDescription", appDescription_);
    bindings.outlet("appPrice", appPrice_);
    bindings.outlet("appRatingFirstStar", appRatingFirstStar_);
    bindings.outlet("appRatingSecondStar", appRatingSecondStar_);
    bindings.outlet("appRatingThirdStar", appRatingThirdStar_);
    bindings.outlet("appRatingFourthStar", appRatingFourthStar_);
    bindings.outlet("appRatingFifthStar", appRatingFifthStar_);
    bindings.action("dealTapped:", this, &VelkoraSuggestedAppDealView::dealTapped);
}

void VelkoraSuggestedAppDealView::updateData(const VelkoraAppDealPtr& deal) {
    appDeal_ = deal;
    if (!deal) return;
    if (dealView_) showAppIcon(*dealView_, deal->icon());
    if (appPrice_) appPrice_->setText(dealPriceText(*deal));
    if (appName_) showAppName(*appName_, deal->name());
    std::string category = deal->category().value_or(""), developer = deal->developer().value_or("");
    if (appCategory_) appCategory_->setText(category);
    if (appDeveloper_) appDeveloper_->setText(developer);
    if (appDescription_) appDescription_->setText(deal->description().value_or(""));
    // The description stands in for category and developer only where there is nothing else to show.
    bool described = category.empty() && developer.empty() && deal->rating() <= 0;
    if (appDescription_) appDescription_->setHidden(!described);
    if (appCategory_) appCategory_->setHidden(described);
    if (appDeveloper_) appDeveloper_->setHidden(described);
    if (deal->rating() <= 0) {
        for (auto& star : appRatingStars_)
            star->setHidden(true);
        return;
    }
    showRating(deal->rating());
}

void VelkoraSuggestedAppDealView::updateDetailsOfApp(const VelkoraAppDealPtr& deal) {
    if (!deal) return;
    auto icon = deal->icon();
    bool iconChanged = icon && !icon->empty() && (!appDeal_ || appDeal_->icon() != icon);
    if (iconChanged && dealView_) {
        foundation::Log::line("Velkora - going to update app image from %@", *icon);
        dealView_->getImage(*icon);
    }
    appDeal_ = deal;
    if (appCategory_) appCategory_->setText(deal->category().value_or(""));
    if (appDeveloper_) appDeveloper_->setText(deal->developer().value_or(""));
    if (appPrice_) appPrice_->setText(dealPriceText(*deal));
    showRating(deal->rating());
}

void VelkoraSuggestedAppDealView::showRating(double rating) {
    // Every star is set: a lower rating than before must not leave full stars behind.
    for (size_t i = 0; i < appRatingStars_.size(); ++i) {
        const char* image = std::floor(rating) > double(i) ? "VelImg_AppsDealStarFull.png"
                            : rating > double(i)           ? "VelImg_AppsDealStarHalf.png"
                                                           : "VelImg_AppsDealStarEmpty.png";
        appRatingStars_[i]->setImage(ui::Image::named(image));
        if (rating > 0) appRatingStars_[i]->setHidden(false);
    }
}

bool VelkoraSuggestedAppDealView::isSameApp(const VelkoraAppDeal& deal) const {
    return appDeal_ && appDeal_->name() == deal.name();
}

void VelkoraSuggestedAppDealView::dealTapped(ui::Control* /*sender*/) {
    if (!appDeal_) return;
    auto data = adsAppData();
    VelkoraServerApi::reporEventNow(
        "adClick", foundation::format("VENDOR%d_%@|1", data ? data->appDealsVendor() : 0, dealIdText(*appDeal_)));
    if (auto url = appDeal_->url(); url && !url->empty()) ui::Application::instance().openURL(*url);
}

} // namespace velkora
