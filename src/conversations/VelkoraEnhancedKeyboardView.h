// The input panes that the chat and topic screens put in place of the system keyboard: the base that
// knows its hosting screen and its delegate, the sticker keyboard (pack tabs over a paged grid, with the
// store tab), its tile and tab, and the photo pane.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/VelkoraStickerPack.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Geometry.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/View.h"
#include "shell/VelkoraPictureTaker.h"

namespace velkora {

namespace ui {
class ActivityIndicatorView;
class Control;
class Image;
class ImageView;
class Label;
class PageControl;
class ViewController;
} // namespace ui
class VelkoraLazyImageView;

class VelkoraEnhancedKeyboardDelegate {
public:
    virtual ~VelkoraEnhancedKeyboardDelegate() = default;
    // The photo pane's picture, already scaled.
    virtual void imageSelected(const std::shared_ptr<ui::Image>& image) = 0;
    // The address of the tapped sticker.
    virtual void stickerSelected(const std::string& url) = 0;
    // The store tab was tapped.
    virtual void openStickersStore() = 0;
};

class VelkoraEnhancedKeyboardView : public ui::View, public ui::InterfaceOwner, public VelkoraPictureTakerDelegate {
public:
    static constexpr uint32_t kScreenId = 36;

    VelkoraEnhancedKeyboardView() = default;
    const char* className() const override { return "VelkoraEnhancedKeyboardView"; }

    // The hosting screen holds the pane as its text field's input view, so the pane holds the screen
    // weakly: the other way round they would keep each other alive.
    std::shared_ptr<ui::ViewController> parentVC() const { return parentVC_.lock(); }
    std::shared_ptr<VelkoraEnhancedKeyboardDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<VelkoraEnhancedKeyboardDelegate> d) { delegate_ = std::move(d); }

    // 320 by 460 in the tablet's popover; otherwise the screen's bounds, swapped in landscape.
    static float widthAdjustedForInterfaceOrientation();
    static float heightAdjustedForInterfaceOrientation();
    // The interface file's name for this device ("iPad_" on a tablet).
    static std::string interfaceName(const std::string& name);
    static bool isTablet();
    static bool isLandscapePhone();

    bool pictureTaken(const std::shared_ptr<ui::Image>& image) override;

    int32_t lastOrientation() const { return lastOrientation_; }
    // A rotation takes the pane away: the hosting screen makes one for the new orientation.
    void layoutSubviews() override;

protected:
    // Loads the file with the pane as owner and takes its top-level view's frame; false when it failed.
    bool loadPane(const std::string& nibName, const std::shared_ptr<ui::ViewController>& vc,
                  std::weak_ptr<VelkoraEnhancedKeyboardDelegate> delegate, std::shared_ptr<ui::View>& topLevelView);

    std::weak_ptr<ui::ViewController> parentVC_;
    std::weak_ptr<VelkoraEnhancedKeyboardDelegate> delegate_;
    int32_t lastOrientation_ = 1;
};

class VelkoraKeyboardStickerViewDelegate {
public:
    virtual ~VelkoraKeyboardStickerViewDelegate() = default;
    virtual void keyboardStickerClicked(int32_t stickerId) = 0;
};

// One tile of the grid.
class VelkoraKeyboardStickerView : public ui::View, public ui::InterfaceOwner {
public:
    VelkoraKeyboardStickerView() = default;
    const char* className() const override { return "VelkoraKeyboardStickerView"; }
    static std::shared_ptr<VelkoraKeyboardStickerView> initWithId(int32_t stickerId, const std::string& url);

    void stickerClicked(ui::Control* sender);
    int32_t stickerId() const { return stickerId_; }
    const std::string& stickerUrl() const { return stickerUrl_; }
    void setDelegate(std::weak_ptr<VelkoraKeyboardStickerViewDelegate> d) { delegate_ = std::move(d); }
    const std::shared_ptr<VelkoraLazyImageView>& imageView() const { return imageView_; }
    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    int32_t stickerId_ = 0;
    std::string stickerUrl_;
    std::weak_ptr<VelkoraKeyboardStickerViewDelegate> delegate_;
    std::shared_ptr<ui::View> topLevelView_;
    std::shared_ptr<VelkoraLazyImageView> imageView_;
};

class VelkoraStickersKeyboardToolbarItemView;
class VelkoraStickersKeyboardToolbarItemDelegate {
public:
    virtual ~VelkoraStickersKeyboardToolbarItemDelegate() = default;
    virtual void toolbarItemClicked(VelkoraStickersKeyboardToolbarItemView& item) = 0;
};

// One tab: a pack (its icon by address), the recent pack (-1) or the store (-2), both by image name.
class VelkoraStickersKeyboardToolbarItemView : public ui::View, public ui::InterfaceOwner {
public:
    static constexpr int32_t kRecentItemId = -1, kStoreItemId = -2;

    VelkoraStickersKeyboardToolbarItemView() = default;
    const char* className() const override { return "VelkoraStickersKeyboardToolbarItemView"; }
    static std::shared_ptr<VelkoraStickersKeyboardToolbarItemView> initWithId(int32_t itemId,
                                                                              const std::string& imageName);
    static std::shared_ptr<VelkoraStickersKeyboardToolbarItemView> initWithImageUrl(int32_t itemId,
                                                                                    const std::string& url);
    void setSelected(bool selected);
    bool isSelected() const { return selected_; }
    void itemClicked(ui::Control* sender);
    int32_t itemId() const { return itemId_; }
    void setDelegate(std::weak_ptr<VelkoraStickersKeyboardToolbarItemDelegate> d) { delegate_ = std::move(d); }
    const std::shared_ptr<ui::ImageView>& itemImageView() const { return itemImageView_; }
    const std::shared_ptr<VelkoraLazyImageView>& packIconImageView() const { return packIconImageView_; }
    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    static std::shared_ptr<VelkoraStickersKeyboardToolbarItemView> load(int32_t itemId);
    int32_t itemId_ = 0;
    bool selected_ = false;
    std::weak_ptr<VelkoraStickersKeyboardToolbarItemDelegate> delegate_;
    std::shared_ptr<ui::View> topLevelView_;
    std::shared_ptr<ui::ImageView> itemImageView_;
    std::shared_ptr<ui::ImageView> bgImageView_;
    std::shared_ptr<VelkoraLazyImageView> packIconImageView_;
};

class VelkoraStickersKeyboardView : public VelkoraEnhancedKeyboardView,
                                    public ui::ScrollViewDelegate,
                                    public VelkoraKeyboardStickerViewDelegate,
                                    public VelkoraStickersKeyboardToolbarItemDelegate {
public:
    // The grid's arithmetic, kept apart so it can be checked on its own.
    struct Grid {
        int cols = 1, rows = 1, pages = 0;
        float pageWidth = 0, height = 0;
        ui::Size tile;
        // Where sticker i goes.
        struct Place {
            int page = 0, column = 0, row = 0;
            ui::Rect frame;
        };
        static Grid make(float pageWidth, float height, ui::Size tile, int count);
        Place place(int index) const;
        std::vector<Place> places(int count) const;
    };

    VelkoraStickersKeyboardView() = default;
    ~VelkoraStickersKeyboardView() override;
    const char* className() const override { return "VelkoraStickersKeyboardView"; }
    static std::shared_ptr<VelkoraStickersKeyboardView>
    initFromNibWithVC(const std::shared_ptr<ui::ViewController>& vc,
                      std::weak_ptr<VelkoraEnhancedKeyboardDelegate> delegate);

    void loadBarItems();
    void loadStickersForPackId(int32_t packId);
    void pageChanged(ui::Control* sender);

    void scrollViewDidScroll(ui::ScrollView& scrollView) override;
    void keyboardStickerClicked(int32_t stickerId) override;
    void toolbarItemClicked(VelkoraStickersKeyboardToolbarItemView& item) override;

    const std::shared_ptr<ui::ScrollView>& stickersScrollView() const { return stickersScrollView_; }
    const std::shared_ptr<ui::ScrollView>& toolbarScrollView() const { return toolbarScrollView_; }
    const std::shared_ptr<ui::PageControl>& pageControl() const { return pageControl_; }
    ui::Size stickerSize() const { return stickerSize_; }
    const VelkoraStickerPackPtr& favPack() const { return favPack_; }
    std::shared_ptr<VelkoraStickersKeyboardToolbarItemView> lastItemClicked() const { return lastItemClicked_.lock(); }
    // The tabs in their order.
    std::vector<std::shared_ptr<VelkoraStickersKeyboardToolbarItemView>> tabs() const;
    const Grid& grid() const { return grid_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    std::shared_ptr<VelkoraStickersKeyboardToolbarItemView>
    addTab(std::shared_ptr<VelkoraStickersKeyboardToolbarItemView> tab, int index);
    void selectTab(const std::shared_ptr<VelkoraStickersKeyboardToolbarItemView>& tab);

    std::shared_ptr<ui::View> topLevelView_;
    std::shared_ptr<ui::ScrollView> stickersScrollView_;
    std::shared_ptr<ui::PageControl> pageControl_;
    std::shared_ptr<ui::ScrollView> toolbarScrollView_;
    std::shared_ptr<ui::ImageView> bgImageView_;
    std::shared_ptr<ui::ImageView> toolbarBgImageView_;
    ui::Size stickerSize_;
    VelkoraStickerPackPtr favPack_;
    std::weak_ptr<VelkoraStickersKeyboardToolbarItemView> lastItemClicked_;
    Grid grid_;
    foundation::NotificationObserver packsObserver_;
};

class VelkoraUploadImageKeyboardView : public VelkoraEnhancedKeyboardView {
public:
    VelkoraUploadImageKeyboardView() = default;
    const char* className() const override { return "VelkoraUploadImageKeyboardView"; }
    static std::shared_ptr<VelkoraUploadImageKeyboardView>
    initFromNibWithVC(const std::shared_ptr<ui::ViewController>& vc,
                      std::weak_ptr<VelkoraEnhancedKeyboardDelegate> delegate);

    void takePhotoClicked(ui::Control* sender);
    void chooseExistingClicked(ui::Control* sender);
    bool pictureTaken(const std::shared_ptr<ui::Image>& image) override;

    const std::shared_ptr<ui::Label>& takePhotoLabel() const { return takePhotoLabel_; }
    const std::shared_ptr<ui::Label>& chooseExistingLabel() const { return chooseExistingLabel_; }
    const std::shared_ptr<VelkoraPictureTaker>& pictureTaker() const { return pictureTaker_; }
    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    bool startTaker(int sourceType);

    std::shared_ptr<ui::View> topLevelView_;
    std::shared_ptr<ui::Label> takePhotoLabel_;
    std::shared_ptr<ui::Label> chooseExistingLabel_;
    std::shared_ptr<ui::ImageView> bgImageView_;
    std::shared_ptr<ui::ActivityIndicatorView> activityIndicator_;
    std::shared_ptr<VelkoraPictureTaker> pictureTaker_;
};

// The classes of the sticker and feedback interface files, known to the loader once.
void registerStickerViewClasses();

} // namespace velkora
