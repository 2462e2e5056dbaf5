#include "ads/VelkoraChatRoomsTopicNativeAppAdCell.h"

#include <algorithm>
#include <cmath>

#include "ads/VelkoraAdsSupport.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "server/VelkoraServerApi.h"
#include "data/VelkoraAppSettings.h"
#include "shell/VelkoraLazyImageView.h"
#include "session/VelkoraStyleSheetCustomizer.h"

namespace velkora {

namespace {
constexpr uint32_t kChatRoomTopicScreen = 22;

double relativeLuminance(const ui::Color& c) {
    auto channel = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.r) + 0.7152 * channel(c.g) + 0.0722 * channel(c.b);
}

// Whether text of one colour can be read on a background of another: the contrast that large bold text
// needs (3 to 1).
bool readableOn(const ui::Color& text, const ui::Color& background) {
    double a = relativeLuminance(text) + 0.05, b = relativeLuminance(background) + 0.05;
    return std::max(a, b) / std::min(a, b) >= 3.0;
}
} // namespace

std::shared_ptr<VelkoraChatRoomsTopicNativeAppAdCell> VelkoraChatRoomsTopicNativeAppAdCell::initFromNib() {
    registerAdsClasses();
    auto cell = std::dynamic_pointer_cast<VelkoraChatRoomsTopicNativeAppAdCell>(
        ui::InterfaceLoader::instance().loadFirstObject(kInterface));
    if (!cell) return nullptr;
    cell->setReuseIdentifier(kReuseIdentifier);
    cell->setBackgroundView(ui::View::create(cell->frame()));
    auto selected = ui::View::create(cell->frame());
    selected->setBackgroundColor(ui::Color::rgba(29 / 255.0, 29 / 255.0, 29 / 255.0, 1));
    cell->setSelectedBackgroundView(selected);
    if (auto& icon = cell->appIconImageView_) {
        icon->setUsingCache(true);
        icon->layer().setCornerRadius(7);
        icon->layer().setMasksToBounds(true);
    }
    auto& bundle = foundation::Bundle::main();
    if (cell->titleLabel_)
        cell->titleLabel_->setText(bundle.localizedString("velkora_text_suggested_app_label", "VelkoraLocalizable"));
    if (cell->installNowButton_)
        cell->installNowButton_->setTitle(
            bundle.localizedString("velkora_text_ad_install_button", "VelkoraLocalizable"));
    auto& customizer = VelkoraStyleSheetCustomizer::instance();
    customizer.customizeTableCellSelectedBackgroundView(cell->selectedBackgroundView().get(), kChatRoomTopicScreen);
    customizer.customizeTableCellTitleLabel(cell->titleLabel_.get(), kChatRoomTopicScreen);
    customizer.customizeChatroomCommentBackground(cell->commentBgView_.get(), kChatRoomTopicScreen);
    // The app's name takes the leading colour where it can be read on the row's dark background; an
    // application without one (black) or with a dark one keeps the interface file's light text.
    if (cell->appNameLabel_) {
        ui::Color leading = VelkoraAppSettings::leadingColor();
        ui::Color background = cell->commentBgView_ && !cell->commentBgView_->backgroundColor().isClear()
                                   ? cell->commentBgView_->backgroundColor()
                                   : ui::Color::fromHex("#2A2E35");
        if (readableOn(leading, background)) cell->appNameLabel_->setTextColor(leading);
    }
    return cell;
}

VelkoraChatRoomsTopicNativeAppAdCell::~VelkoraChatRoomsTopicNativeAppAdCell() {
    if (adFetcher_) adFetcher_->cancel();
}

void VelkoraChatRoomsTopicNativeAppAdCell::registerInterfaceBindings(ui::InterfaceBindings& bindings) {
    bindings.outlet("commentBgView", commentBgView_);
    bindings.outlet("titleLabel", titleLabel_);
    bindings.outlet("appNameLabel", appNameLabel_);
    bindings.outlet("appDescriptionLabel", appDescriptionLabel_);
    bindings.outlet("appIconImageView", appIconImageView_);
    bindings.outlet("installNowButton", installNowButton_);
    bindings.action("installNowClicked:", this, &VelkoraChatRoomsTopicNativeAppAdCell::installNowClicked);
}

void VelkoraChatRoomsTopicNativeAppAdCell::updateData(const VelkoraNativeAdPtr& ad, int32_t topicId) {
    topicId_ = topicId;
    if (!ad) return;
    if (appNameLabel_) appNameLabel_->setText(ad->name().value_or(""));
    if (appDescriptionLabel_) appDescriptionLabel_->setText(ad->description().value_or(""));
    if (appIconImageView_) showAppIcon(*appIconImageView_, ad->icon());
    currentAppUrl_ = ad->url().value_or("");
    // A row refreshes whenever its table does: the ad was seen once.
    if (reportedAd_ == ad.get()) return;
    shownAd_ = ad;
    reportedAd_ = ad.get();
    VelkoraServerApi::reporEventNow("adImpressVisible", foundation::format("VENDOR%d_none|4", 2));
}

void VelkoraChatRoomsTopicNativeAppAdCell::installNowClicked(ui::Control* /*sender*/) {
    if (!adFetcher_) adFetcher_ = VelkoraAdDetailsFetcher::create();
    adFetcher_->openAppUrl(currentAppUrl_, foundation::format("blog;ad-clicked;%d", topicId_));
}

} // namespace velkora
