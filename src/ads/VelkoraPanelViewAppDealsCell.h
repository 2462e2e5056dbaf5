// The sidebar menu's promoted-applications row: its title and icon over a sideways row of deal cards.
#pragma once

#include <memory>

#include "ads/VelkoraSuggestedAppDealsScrollView.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/Label.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TableViewCell.h"
#include "shell/VelkoraPanelRowCell.h"

namespace velkora {

class VelkoraPanelViewAppDealsCell : public ui::TableViewCell,
                                     public ui::InterfaceOwner,
                                     public ui::ScrollViewDelegate,
                                     public VelkoraPanelRowCell {
public:
    static constexpr const char* kInterface = "VelkoraPanelAppDealsTableCell";

    // Null when the file is broken.
    static std::shared_ptr<VelkoraPanelViewAppDealsCell> initFromNib();
    VelkoraPanelViewAppDealsCell() : ui::TableViewCell(ui::TableViewCellStyle::Default, "VelkoraPanelAppDealsCell") {}
    const char* className() const override { return "VelkoraPanelViewAppDealsCell"; }

    // The row's title and icon, and the deals held now.
    void updateData(const std::shared_ptr<VelkoraPanelCommand>& command, bool isLast) override;

    void scrollViewDidEndDragging(ui::ScrollView& scrollView, bool willDecelerate) override;
    void scrollViewDidEndDecelerating(ui::ScrollView& scrollView) override;

    const std::shared_ptr<VelkoraPanelCommand>& theCommand() const { return theCommand_; }
    int32_t panelType() const { return panelType_; }
    const std::shared_ptr<ui::Label>& dealsTitleLabel() const { return dealsTitleLabel_; }
    const std::shared_ptr<ui::ImageView>& dealsIcon() const { return dealsIcon_; }
    const std::shared_ptr<VelkoraSuggestedAppDealsScrollView>& appDealsScrollView() const {
        return appDealsScrollView_;
    }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    std::shared_ptr<VelkoraPanelCommand> theCommand_;
    int32_t panelType_ = 0;
    std::shared_ptr<ui::Label> dealsTitleLabel_;
    std::shared_ptr<ui::ImageView> dealsIcon_;
    std::shared_ptr<VelkoraSuggestedAppDealsScrollView> appDealsScrollView_;
};

} // namespace velkora
