// A native ad as a row among a chat-room topic's comments: title, icon, name, description and an
// install button that takes the person to the store.
#pragma once

#include <memory>
#include <string>

#include "ads/VelkoraAdDetailsFetcher.h"
#include "ads/VelkoraNativeAd.h"
#include "platform/ui/Button.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableViewCell.h"
#include "session/VelkoraKitObjects.h"

namespace velkora {

class VelkoraLazyImageView;

class VelkoraChatRoomsTopicNativeAppAdCell : public ui::TableViewCell,
                                             public ui::InterfaceOwner,
                                             public VelkoraNativeAdRow {
public:
    static constexpr const char* kInterface = "VelkoraChatRoomsTopicNativeAppAdCell";
    static constexpr const char* kReuseIdentifier = "velkorachatroomstopicnativeappadcell";

    // Null when the file is broken.
    static std::shared_ptr<VelkoraChatRoomsTopicNativeAppAdCell> initFromNib();
    VelkoraChatRoomsTopicNativeAppAdCell() : ui::TableViewCell(ui::TableViewCellStyle::Default, kReuseIdentifier) {}
    ~VelkoraChatRoomsTopicNativeAppAdCell() override;
    const char* className() const override { return "VelkoraChatRoomsTopicNativeAppAdCell"; }

    // Shows the ad; its visible impression is reported once per ad, however often the row refreshes.
    void updateData(const VelkoraNativeAdPtr& ad, int32_t topicId) override;
    double getHeight() const override { return frame().size.height; }
    void installNowClicked(ui::Control* sender);

    const std::shared_ptr<ui::View>& commentBgView() const { return commentBgView_; }
    const std::shared_ptr<ui::Label>& titleLabel() const { return titleLabel_; }
    const std::shared_ptr<ui::Label>& appNameLabel() const { return appNameLabel_; }
    const std::shared_ptr<ui::Label>& appDescriptionLabel() const { return appDescriptionLabel_; }
    const std::shared_ptr<VelkoraLazyImageView>& appIconImageView() const { return appIconImageView_; }
    const std::shared_ptr<ui::Button>& installNowButton() const { return installNowButton_; }
    const std::string& currentAppUrl() const { return currentAppUrl_; }
    const std::shared_ptr<VelkoraAdDetailsFetcher>& adFetcher() const { return adFetcher_; }
    int32_t topicId() const { return topicId_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    std::shared_ptr<ui::View> commentBgView_;
    std::shared_ptr<ui::Label> titleLabel_, appNameLabel_, appDescriptionLabel_;
    std::shared_ptr<VelkoraLazyImageView> appIconImageView_;
    std::shared_ptr<ui::Button> installNowButton_;
    std::string currentAppUrl_;
    std::shared_ptr<VelkoraAdDetailsFetcher> adFetcher_;
    int32_t topicId_ = 0;
    // The ad whose visible impression went out.
    const VelkoraNativeAd* reportedAd_ = nullptr;
    VelkoraNativeAdPtr shownAd_;
};

} // namespace velkora
