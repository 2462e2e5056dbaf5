// A cell that shows one sidebar menu row, as the menu fills it. The plain row's cell is the shell's own;
// the promoted-applications row's cell belongs to the ads folder, which registers its maker with
// VelkoraScreenRegistry as a ui::TableViewCell under `kMakerName`, a cell that also answers this.
#pragma once

#include <memory>

#include "shell/VelkoraPanelCommand.h"

namespace velkora {

class VelkoraPanelRowCell {
public:
    // The registry name of the promoted-applications row's cell maker (no arguments; the new cell's frame
    // height is the row's height).
    static constexpr const char* kAppDealsRowMaker = "appDealsRow";

    virtual ~VelkoraPanelRowCell() = default;
    // Shows the row; `isLast` is YES for the menu's last row.
    virtual void updateData(const std::shared_ptr<VelkoraPanelCommand>& command, bool isLast) = 0;
};

} // namespace velkora
