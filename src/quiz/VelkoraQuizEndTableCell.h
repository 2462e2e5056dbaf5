// A row of the quiz end panel's options: one title, from the interface file "VelkoraQuizEndTableCell".
#pragma once

#include <memory>
#include <string>

#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/Label.h"
#include "platform/ui/TableViewCell.h"

namespace velkora {

class VelkoraQuizEndTableCell : public ui::TableViewCell, public ui::InterfaceOwner {
public:
    static constexpr const char* kInterface = "VelkoraQuizEndTableCell";
    static constexpr const char* kReuseIdentifier = "velkoraquizendcell";

    // A new cell from the interface file (its tablet variant on a tablet), made ready by myInit; null when
    // the file is broken.
    static std::shared_ptr<VelkoraQuizEndTableCell> initFromNib();
    VelkoraQuizEndTableCell() : ui::TableViewCell(ui::TableViewCellStyle::Default, kReuseIdentifier) {}
    const char* className() const override { return "VelkoraQuizEndTableCell"; }

    void myInit();
    void setTitle(const std::string& title);
    const std::shared_ptr<ui::Label>& titleLabel() const { return titleLabel_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    std::shared_ptr<ui::Label> titleLabel_;
};

} // namespace velkora
