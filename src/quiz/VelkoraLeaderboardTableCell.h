// One row of the leaderboard: the user's place, picture, name and score; an anonymous user shows as a guest.
#pragma once

#include <memory>

#include "data/VelkoraScorePosition.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/TableViewCell.h"

namespace velkora {

namespace ui {
class ImageView;
class Label;
class LayoutConstraint;
} // namespace ui
class VelkoraLazyImageView;

class VelkoraLeaderboardTableCell : public ui::TableViewCell, public ui::InterfaceOwner {
public:
    static constexpr const char* kInterface = "VelkoraLeaderboardCell";
    static constexpr const char* kReuseIdentifier = "velkoraleaderboardcell";
    static constexpr uint32_t kScreenId = 23;
    // How strongly the user's own row takes the application's leading colour.
    static constexpr double kOwnRowTint = 0.14;

    VelkoraLeaderboardTableCell() = default;
    const char* className() const override { return "VelkoraLeaderboardTableCell"; }

    // The first object of the cell's interface file ("iPad_" on a tablet), set up; null when it cannot load.
    static std::shared_ptr<VelkoraLeaderboardTableCell> initFromNib();
    static void registerClass();

    // Once, after loading.
    void myInit();
    void updateWithScorePositionUser(const VelkoraScorePositionPtr& position);

    const VelkoraScorePositionPtr& cellUser() const { return cellUser_; }
    const std::shared_ptr<VelkoraLazyImageView>& userImageView() const { return userImageView_; }
    void setUserImageView(std::shared_ptr<VelkoraLazyImageView> v) { userImageView_ = std::move(v); }
    const std::shared_ptr<ui::ImageView>& userImageFrameView() const { return userImageFrameView_; }
    void setUserImageFrameView(std::shared_ptr<ui::ImageView> v) { userImageFrameView_ = std::move(v); }
    const std::shared_ptr<ui::Label>& userPositionLabel() const { return userPositionLabel_; }
    void setUserPositionLabel(std::shared_ptr<ui::Label> v) { userPositionLabel_ = std::move(v); }
    const std::shared_ptr<ui::Label>& userNameLabel() const { return userNameLabel_; }
    void setUserNameLabel(std::shared_ptr<ui::Label> v) { userNameLabel_ = std::move(v); }
    const std::shared_ptr<ui::Label>& userLocationLabel() const { return userLocationLabel_; }
    void setUserLocationLabel(std::shared_ptr<ui::Label> v) { userLocationLabel_ = std::move(v); }
    const std::shared_ptr<ui::Label>& userScoreLabel() const { return userScoreLabel_; }
    void setUserScoreLabel(std::shared_ptr<ui::Label> v) { userScoreLabel_ = std::move(v); }
    const std::shared_ptr<ui::LayoutConstraint>& nameLabelTopSpaceConstraint() const {
        return nameLabelTopSpaceConstraint_;
    }
    void setNameLabelTopSpaceConstraint(std::shared_ptr<ui::LayoutConstraint> c) {
        nameLabelTopSpaceConstraint_ = std::move(c);
    }
    double nameOrigY() const { return nameOrigY_; }
    void setNameOrigY(double y) { nameOrigY_ = y; }
    double locationOrigY() const { return locationOrigY_; }
    void setLocationOrigY(double y) { locationOrigY_ = y; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    VelkoraScorePositionPtr cellUser_;
    std::shared_ptr<VelkoraLazyImageView> userImageView_;
    std::shared_ptr<ui::ImageView> userImageFrameView_;
    std::shared_ptr<ui::Label> userPositionLabel_;
    std::shared_ptr<ui::Label> userNameLabel_;
    std::shared_ptr<ui::Label> userLocationLabel_;
    std::shared_ptr<ui::Label> userScoreLabel_;
    std::shared_ptr<ui::LayoutConstraint> nameLabelTopSpaceConstraint_;
    double nameOrigY_ = 0;
    double locationOrigY_ = 0;
};

} // namespace velkora
