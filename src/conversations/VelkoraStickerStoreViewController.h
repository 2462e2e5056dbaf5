// The sticker store: every pack the service offers, each row with its icon, texts and the action button
// (price, free or installed), and a last row that restores earlier purchases.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "data/VelkoraStickerPack.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "shell/VelkoraGeneralFeatureViewController.h"

namespace velkora {

namespace ui {
class ActivityIndicatorView;
class ImageView;
class Label;
class LayoutConstraint;
} // namespace ui
class VelkoraLazyImageView;
class VelkoraResizeableButton;

// The action button of a pack, as the store row and the pack screen show it: the price, "Free" or
// "Installed" by the pack's status. Answers whether the price is still waiting for the store's data.
bool updateStickerActionButton(ui::Button* button, ui::ActivityIndicatorView* indicator,
                               const VelkoraStickerPack& pack);
// What the action button does: buys a paid pack, adds a free one, and marks the pack as being added.
// False when nothing was started (a paid pack without the store's data).
bool startStickerPackAction(const VelkoraStickerPackPtr& pack);
// A list that did not come: the spinner stops, the user hears why, and it is asked for again once the
// service answers a poll. Keep the observer for as long as the question stands.
foundation::NotificationObserver failedUntilNextPoll(ui::ActivityIndicatorView* indicator,
                                                     std::function<void()> askAgain);
// The height of a label's text within a width, in its own font.
double stickerLabelTextHeight(const ui::Label& label, double width);

class VelkoraStickerStoreCellDelegate {
public:
    virtual ~VelkoraStickerStoreCellDelegate() = default;
    virtual void cellClicked(const VelkoraStickerPackPtr& pack) = 0;
    virtual void restoreClicked() = 0;
    virtual bool isOpenedAsFeature() = 0;
};

class VelkoraStickerStoreCell : public ui::TableViewCell, public ui::InterfaceOwner {
public:
    static constexpr const char* kReuseIdentifier = "velkorastickerstorecell";
    static constexpr uint32_t kScreenId = 35;

    VelkoraStickerStoreCell() = default;
    ~VelkoraStickerStoreCell() override;
    const char* className() const override { return "VelkoraStickerStoreCell"; }
    static std::shared_ptr<VelkoraStickerStoreCell> initFromNib();

    void myInit();
    // Both answer the row's height.
    double updateWithPack(const VelkoraStickerPackPtr& pack);
    double updateWithRestore();
    void updateByPackStatus();

    void cellClicked(ui::Control* sender);
    void restoreClicked(ui::Control* sender);
    void actionClicked(ui::Control* sender);

    void setDelegate(std::weak_ptr<VelkoraStickerStoreCellDelegate> d) { delegate_ = std::move(d); }
    const VelkoraStickerPackPtr& pack() const { return pack_; }
    const std::shared_ptr<ui::Label>& titleLabel() const { return titleLabel_; }
    const std::shared_ptr<ui::Label>& subtitleLabel() const { return subtitleLabel_; }
    const std::shared_ptr<VelkoraResizeableButton>& actionButton() const { return actionButton_; }
    const std::shared_ptr<ui::ActivityIndicatorView>& activityIndicator() const { return activityIndicator_; }
    const std::shared_ptr<ui::ImageView>& endLineImageView() const { return endLineImageView_; }
    const std::shared_ptr<ui::Button>& restoreProductsButton() const { return restoreProductsButton_; }
    const std::shared_ptr<VelkoraLazyImageView>& packIcon() const { return packIcon_; }
    const std::shared_ptr<ui::LayoutConstraint>& endLineTopSpaceToIconConstraint() const {
        return endLineTopSpaceToIconConstraint_;
    }
    const std::shared_ptr<ui::LayoutConstraint>& endLineTopSpaceToSubtitleConstraint() const {
        return endLineTopSpaceToSubtitleConstraint_;
    }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    void observeProductUpdates();
    void placeSeparator();

    std::weak_ptr<VelkoraStickerStoreCellDelegate> delegate_;
    VelkoraStickerPackPtr pack_;
    std::shared_ptr<VelkoraResizeableButton> cellButton_;
    std::shared_ptr<ui::Label> titleLabel_;
    std::shared_ptr<ui::Label> subtitleLabel_;
    std::shared_ptr<VelkoraResizeableButton> actionButton_;
    std::shared_ptr<VelkoraLazyImageView> packIcon_;
    std::shared_ptr<ui::ActivityIndicatorView> activityIndicator_;
    std::shared_ptr<ui::ImageView> endLineImageView_;
    std::shared_ptr<ui::Button> restoreProductsButton_;
    std::shared_ptr<ui::LayoutConstraint> titleLabelHeightConstraint_, titleLabelLeadingSpaceConstraint_,
        titleLabelTrailingSpaceConstraint_, nameLabelTopSpaceConstraint_, subtitleLabelHeightConstraint_,
        endLineTopSpaceToIconConstraint_, endLineTopSpaceToSubtitleConstraint_;
    foundation::NotificationObserver dataObserver_, productObserver_, addedObserver_;
};

class VelkoraStickerStoreViewController : public VelkoraGeneralFeatureViewController,
                                          public ui::TableViewDataSource,
                                          public ui::TableViewDelegate,
                                          public VelkoraStickerStoreCellDelegate {
public:
    static constexpr uint32_t kScreenId = 35;

    static std::shared_ptr<VelkoraStickerStoreViewController> create();
    ~VelkoraStickerStoreViewController() override;
    const char* className() const override { return "VelkoraStickerStoreViewController"; }

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;

    void gotStickerStore(const foundation::Value& packs);
    void gotStickerStoreFailed(const foundation::ErrorPtr& error);
    void stickersRestored();

    int numberOfRowsInSection(ui::TableView& table, int section) override;
    ui::TableViewCellPtr cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;
    double heightForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;
    void willDisplayCell(ui::TableView& table, ui::TableViewCell& cell, const ui::IndexPath& indexPath) override;

    void cellClicked(const VelkoraStickerPackPtr& pack) override;
    void restoreClicked() override;
    bool isOpenedAsFeature() override;

    const std::vector<VelkoraStickerPackPtr>& packs() const { return packs_; }
    const std::shared_ptr<ui::TableView>& packTable() const { return packTable_; }
    const std::shared_ptr<ui::ActivityIndicatorView>& activityIndicator() const { return activityIndicator_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    VelkoraStickerStoreViewController();
    void askStore();
    std::shared_ptr<VelkoraStickerStoreCell> preparedCell(ui::TableView& table);

    std::vector<VelkoraStickerPackPtr> packs_;
    std::shared_ptr<ui::TableView> packTable_;
    std::shared_ptr<ui::ActivityIndicatorView> activityIndicator_;
    std::shared_ptr<VelkoraStickerStoreCell> measuringCell_;
    foundation::NotificationObserver restoreObserver_, pollObserver_, orientationObserver_;
};

} // namespace velkora
