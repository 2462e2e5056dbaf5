// The row of one person in the kit's lists: picture, name, place, follow or following, and, in the radar's
// form, the distance. Made from one of three interface files by the screen that lists people.
#pragma once

#include <memory>
#include <string>

#include "data/VelkoraUserInternal.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/TableViewCell.h"

namespace velkora {

namespace ui {
class Button;
class Control;
class ImageView;
class Label;
} // namespace ui
class VelkoraLazyImageView;
class VelkoraUserListCell;

class VelkoraUserListCellDelegate {
public:
    virtual ~VelkoraUserListCellDelegate() = default;
    virtual void followTapped(VelkoraUserListCell& cell) = 0;
    virtual void unFollowTapped(VelkoraUserListCell& cell) = 0;
};

class VelkoraUserListCell : public ui::TableViewCell, public ui::InterfaceOwner {
public:
    static constexpr const char* kNormalInterface = "VelkoraUserListCell";
    static constexpr const char* kSuggestionInterface = "VelkoraUserListSuggestionCell";
    static constexpr const char* kRadarInterface = "VelkoraRadarListCell";
    static constexpr uint32_t kScreenId = 1;

    VelkoraUserListCell() = default;
    const char* className() const override { return "VelkoraUserListCell"; }

    // Null when the interface file cannot be loaded (logged by the loader).
    static std::shared_ptr<VelkoraUserListCell>
    initFromNibNormalWithDelegate(std::weak_ptr<VelkoraUserListCellDelegate> d);
    static std::shared_ptr<VelkoraUserListCell>
    initFromNibSuggestionWithDelegate(std::weak_ptr<VelkoraUserListCellDelegate> d);
    static std::shared_ptr<VelkoraUserListCell>
    initFromNibRadarWithDelegate(std::weak_ptr<VelkoraUserListCellDelegate> d);
    static std::shared_ptr<VelkoraUserListCell> initFromNib(const std::string& nibName,
                                                            std::weak_ptr<VelkoraUserListCellDelegate> d);

    // Fills the row for a user (`isLast` is not used).
    void updateData(VelkoraUserPtr user, bool isLast);
    // Neither button for the signed-in user; else follow or following by the relation.
    void updateButtons();

    void followButtonTapped(ui::Control* sender);
    void followingButtonTapped(ui::Control* sender);

    const VelkoraUserPtr& theUser() const { return theUser_; }
    bool showFollowButton() const { return showFollowButton_; }
    void setShowFollowButton(bool v) { showFollowButton_ = v; }
    bool showDistance() const { return showDistance_; }
    void setShowDistance(bool v) { showDistance_ = v; }
    std::shared_ptr<VelkoraUserListCellDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<VelkoraUserListCellDelegate> d) { delegate_ = std::move(d); }

    const std::shared_ptr<ui::ImageView>& userPhotoFrameImage() const { return userPhotoFrameImage_; }
    const std::shared_ptr<VelkoraLazyImageView>& userPhotoImage() const { return userPhotoImage_; }
    const std::shared_ptr<ui::Label>& nameLabel() const { return nameLabel_; }
    const std::shared_ptr<ui::Label>& locationLabel() const { return locationLabel_; }
    const std::shared_ptr<ui::Button>& followingButton() const { return followingButton_; }
    const std::shared_ptr<ui::Button>& followButton() const { return followButton_; }
    const std::shared_ptr<ui::Label>& distanceField() const { return distanceField_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    void setUp();

    VelkoraUserPtr theUser_;
    bool showFollowButton_ = true;
    bool showDistance_ = false;
    std::weak_ptr<VelkoraUserListCellDelegate> delegate_;
    std::shared_ptr<ui::ImageView> userPhotoFrameImage_;
    std::shared_ptr<VelkoraLazyImageView> userPhotoImage_;
    std::shared_ptr<ui::Label> nameLabel_;
    std::shared_ptr<ui::Label> locationLabel_;
    std::shared_ptr<ui::Button> followingButton_;
    std::shared_ptr<ui::Button> followButton_;
    std::shared_ptr<ui::Label> distanceField_;
};

} // namespace velkora
