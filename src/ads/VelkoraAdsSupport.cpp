#include "ads/VelkoraAdsSupport.h"

#include "ads/VelkoraAppBannerView.h"
#include "ads/VelkoraChatRoomsTopicNativeAppAdCell.h"
#include "ads/VelkoraPanelViewAppDealsCell.h"
#include "ads/VelkoraSuggestedAppDealView.h"
#include "ads/VelkoraSuggestedAppDealsScrollView.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Image.h"
#include "platform/ui/InterfaceLoader.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppSettings.h"
#include "shell/VelkoraLazyImageView.h"

namespace velkora {

void registerAdsClasses() {
    auto& loader = ui::InterfaceLoader::instance();
    if (loader.hasClass("VelkoraSuggestedAppDealsScrollView")) return;
    VelkoraLazyImageView::registerClass();
    loader.registerClass("VelkoraSuggestedAppDealsScrollView",
                         [] { return VelkoraSuggestedAppDealsScrollView::create(); });
    loader.registerClass<VelkoraPanelViewAppDealsCell>("VelkoraPanelViewAppDealsCell");
    loader.registerClass<VelkoraChatRoomsTopicNativeAppAdCell>("VelkoraChatRoomsTopicNativeAppAdCell");
}

std::shared_ptr<VelkoraAppData> adsAppData() {
    return VelkoraAgentInternal::instance().appData();
}

std::string dealIdText(const VelkoraAppDeal& deal) {
    if (deal.appDealId() != 0) return foundation::format("%d", deal.appDealId());
    return deal.name().value_or("");
}

std::string dealPriceText(const VelkoraAppDeal& deal) {
    if (!deal.isFree()) return foundation::format("%@", deal.price().value_or(""));
    return foundation::Bundle::main().localizedString("velkora_text_free_app_price", "VelkoraLocalizable");
}

void showAppIcon(VelkoraLazyImageView& view, const OptionalText& icon) {
    view.setUsingCache(true);
    view.setImage(ui::Image::named("VelImg_AppsDealPreload.png"));
    if (icon && !icon->empty()) view.getImage(*icon);
}

void showAppName(ui::Label& label, const OptionalText& name) {
    label.setText(name.value_or(""));
    VelkoraAppSettings::setLeadingColor(label);
}

} // namespace velkora
