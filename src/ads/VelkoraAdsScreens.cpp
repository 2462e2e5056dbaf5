#include "ads/VelkoraAdsScreens.h"

#include "ads/VelkoraAppBannerView.h"
#include "ads/VelkoraChatRoomsTopicNativeAppAdCell.h"
#include "ads/VelkoraNativeAdsController.h"
#include "ads/VelkoraPanelViewAppDealsCell.h"
#include "session/VelkoraKitObjects.h"
#include "session/VelkoraScreenRegistry.h"

namespace velkora {

void registerAdsScreens() {
    auto& registry = VelkoraScreenRegistry::instance();
    registry.registerObject<VelkoraAppBanner>(VelkoraKitObjectNames::kAppBanner,
                                              [](const foundation::Value&) -> std::shared_ptr<VelkoraAppBanner> {
                                                  return VelkoraAppBannerView::initFromNib();
                                              });
    registry.registerObject<VelkoraNativeAds>(VelkoraKitObjectNames::kNativeAds,
                                              [](const foundation::Value&) -> std::shared_ptr<VelkoraNativeAds> {
                                                  return VelkoraNativeAdsController::shared();
                                              });
    registry.registerObject<ui::TableViewCell>(VelkoraPanelRowCell::kAppDealsRowMaker,
                                               [](const foundation::Value&) -> std::shared_ptr<ui::TableViewCell> {
                                                   return VelkoraPanelViewAppDealsCell::initFromNib();
                                               });
    registry.registerObject<ui::TableViewCell>(kNativeAdRowMaker,
                                               [](const foundation::Value&) -> std::shared_ptr<ui::TableViewCell> {
                                                   return VelkoraChatRoomsTopicNativeAppAdCell::initFromNib();
                                               });
}

} // namespace velkora
