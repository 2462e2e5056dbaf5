// The sidebar menu's plain row: icon, title and a badge drawn in one of two styles, from the interface
// file "VelkoraPanelTableCell".
#pragma once

#include <memory>
#include <optional>

#include "platform/ui/Font.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableViewCell.h"
#include "shell/VelkoraPanelCommand.h"
#include "shell/VelkoraPanelRowCell.h"

namespace velkora {

class VelkoraPanelViewCell : public ui::TableViewCell, public ui::InterfaceOwner, public VelkoraPanelRowCell {
public:
    static constexpr const char* kInterface = "VelkoraPanelTableCell";
    static constexpr const char* kReuseIdentifier = "VelkoraPanelCell";

    // A new cell from the interface file (its tablet variant on a tablet); null when the file is broken.
    static std::shared_ptr<VelkoraPanelViewCell> initFromNib();
    VelkoraPanelViewCell() : ui::TableViewCell(ui::TableViewCellStyle::Default, kReuseIdentifier) {}
    const char* className() const override { return "VelkoraPanelViewCell"; }

    // Shows the row; the plain row has no use for whether it is the last one.
    void updateData(const std::shared_ptr<VelkoraPanelCommand>& command, bool isLast) override;

    const std::shared_ptr<VelkoraPanelCommand>& theCommand() const { return theCommand_; }
    const std::shared_ptr<ui::Label>& titleLabel() const { return titleLabel_; }
    const std::shared_ptr<ui::ImageView>& titleIcon() const { return titleIcon_; }
    const std::shared_ptr<ui::ImageView>& badgeImage() const { return badgeImage_; }
    const std::shared_ptr<ui::Label>& badgeLabel() const { return badgeLabel_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;
    void awakeFromInterface() override;

private:
    std::shared_ptr<VelkoraPanelCommand> theCommand_;
    std::shared_ptr<ui::Label> titleLabel_;
    std::shared_ptr<ui::ImageView> titleIcon_;
    std::shared_ptr<ui::ImageView> badgeImage_;
    std::shared_ptr<ui::Label> badgeLabel_;
    // The badge label as the file styled it, for the first badge style after a recycled cell showed the
    // second.
    struct LabelLook {
        ui::Color textColor;
        std::optional<ui::Color> shadowColor;
        std::shared_ptr<ui::Font> font;
    };
    std::optional<LabelLook> fileBadgeLook_;
};

} // namespace velkora
