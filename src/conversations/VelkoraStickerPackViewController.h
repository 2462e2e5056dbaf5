// One pack of the sticker store: its icon, title, subtitle and the store row's action button over a grid
// of all its stickers.
#pragma once

#include <memory>

#include "data/VelkoraStickerPack.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/CollectionView.h"
#include "platform/ui/InterfaceLoader.h"
#include "shell/VelkoraGeneralFeatureViewController.h"

namespace velkora {

namespace ui {
class ActivityIndicatorView;
class Label;
class LayoutConstraint;
} // namespace ui
class VelkoraLazyImageView;
class VelkoraResizeableButton;

class VelkoraStickerPackCell : public ui::CollectionViewCell, public ui::InterfaceOwner {
public:
    static constexpr const char* kReuseIdentifier = "velkorastickerpackcell";

    explicit VelkoraStickerPackCell(const ui::Rect& frame = {});
    const char* className() const override { return "VelkoraStickerPackCell"; }
    static std::shared_ptr<VelkoraStickerPackCell> create(const ui::Rect& frame);
    void updateWithSticker(const VelkoraStickerPtr& sticker);
    const std::shared_ptr<VelkoraLazyImageView>& stickerImage() const { return stickerImage_; }
    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    std::shared_ptr<ui::View> topLevelView_;
    std::shared_ptr<VelkoraLazyImageView> stickerImage_;
};

class VelkoraStickerPackViewController : public VelkoraGeneralFeatureViewController,
                                         public ui::CollectionViewDataSource,
                                         public ui::CollectionViewDelegate {
public:
    static constexpr uint32_t kScreenId = 34;

    static std::shared_ptr<VelkoraStickerPackViewController> create(VelkoraStickerPackPtr pack);
    ~VelkoraStickerPackViewController() override;
    const char* className() const override { return "VelkoraStickerPackViewController"; }

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;
    // The header grows with its texts; the bottom edge follows the lower of icon and subtitle.
    void updateViewConstraints();

    void gotStickerPack(const foundation::Value& pack);
    void gotStickerPackFailed(const foundation::ErrorPtr& error);
    void updateActionButtonContent();
    void actionClicked(ui::Control* sender);

    int numberOfItemsInSection(ui::CollectionView& view, int section) override;
    ui::CollectionViewCellPtr cellForItemAtIndexPath(ui::CollectionView& view, const ui::IndexPath& indexPath) override;

    const VelkoraStickerPackPtr& pack() const { return pack_; }
    const std::shared_ptr<ui::CollectionView>& stickersView() const { return stickersView_; }
    const std::shared_ptr<VelkoraResizeableButton>& actionButton() const { return actionButton_; }
    const std::shared_ptr<ui::ActivityIndicatorView>& activityIndicator() const { return activityIndicator_; }
    const std::shared_ptr<ui::ActivityIndicatorView>& buttonActivityIndicator() const {
        return buttonActivityIndicator_;
    }
    const std::shared_ptr<ui::LayoutConstraint>& headerViewBottomSpaceToIconConstraint() const {
        return headerViewBottomSpaceToIconConstraint_;
    }
    const std::shared_ptr<ui::LayoutConstraint>& headerViewBottonSpaceToSubtitleConstraint() const {
        return headerViewBottonSpaceToSubtitleConstraint_;
    }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    explicit VelkoraStickerPackViewController(VelkoraStickerPackPtr pack);
    void askPack();
    void layoutHeader();

    VelkoraStickerPackPtr pack_;
    std::shared_ptr<ui::ActivityIndicatorView> activityIndicator_, buttonActivityIndicator_;
    std::shared_ptr<VelkoraLazyImageView> packIcon_;
    std::shared_ptr<VelkoraResizeableButton> actionButton_;
    std::shared_ptr<ui::Label> packTitle_, packSubtitle_;
    std::shared_ptr<ui::CollectionView> stickersView_;
    std::shared_ptr<ui::LayoutConstraint> packTitleHeightConstraint_, packTitleLeadingSpaceConstraint_,
        packTitleTrailingSpaceConstraint_, packSubtitleHeightConstraint_, headerViewBottomSpaceToIconConstraint_,
        headerViewBottonSpaceToSubtitleConstraint_;
    foundation::NotificationObserver addedObserver_, dataObserver_, productObserver_, pollObserver_,
        orientationObserver_;
};

} // namespace velkora
