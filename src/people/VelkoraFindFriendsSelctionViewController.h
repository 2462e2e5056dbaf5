// The short menu of social networks in which to look for friends who use the application; a row opens
// the user list filled from that network.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/ui/TableView.h"
#include "shell/VelkoraGeneralFeatureViewController.h"

namespace velkora {

namespace ui {
class Label;
}

class VelkoraFindFriendsSelctionViewController : public VelkoraGeneralFeatureViewController,
                                                 public ui::TableViewDataSource,
                                                 public ui::TableViewDelegate {
public:
    static constexpr const char* kInterface = "VelkoraFindFriendsList";
    static constexpr const char* kCellIdentifier = "VelkoraFindFriendsCell";
    static constexpr uint32_t kScreenId = 10;

    static std::shared_ptr<VelkoraFindFriendsSelctionViewController> create();
    const char* className() const override { return "VelkoraFindFriendsSelctionViewController"; }

    void viewDidLoad() override;
    bool shouldAutorotateToInterfaceOrientation(int orientation) const override;

    int numberOfRowsInSection(ui::TableView& table, int section) override;
    ui::TableViewCellPtr cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;
    void willDisplayCell(ui::TableView& table, ui::TableViewCell& cell, const ui::IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;

    const std::vector<int32_t>& supportedSN() const { return supportedSN_; }
    void setSupportedSN(std::vector<int32_t> codes) { supportedSN_ = std::move(codes); }
    const std::shared_ptr<ui::Label>& titleLabel() const { return titleLabel_; }
    const std::shared_ptr<ui::TableView>& optionsTable() const { return optionsTable_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    VelkoraFindFriendsSelctionViewController();

    std::vector<int32_t> supportedSN_;
    std::shared_ptr<ui::Label> titleLabel_;
    std::shared_ptr<ui::TableView> optionsTable_;
};

} // namespace velkora
