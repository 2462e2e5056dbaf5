#include "conversations/VelkoraEnhancedKeyboardView.h"

#include <algorithm>
#include <cmath>

#include "data/VelkoraUserInfo.h"
#include "data/VelkoraUtils.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Image.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/PageControl.h"
#include "platform/ui/ViewController.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraStyleSheetCustomizer.h"
#include "shell/VelkoraLazyImageView.h"

namespace velkora {

using foundation::Log;

namespace {

constexpr int kStickerTagOffset = 5000;
constexpr float kGap = 20;

// The kit's images by name, from its image bundle.
std::shared_ptr<ui::Image> bundleImage(const std::string& name) {
    return ui::Image::named(name);
}

} // namespace

// ---- base

bool VelkoraEnhancedKeyboardView::isTablet() {
    auto& device = ui::Device::current();
    return device.answersUserInterfaceIdiom() && device.isPad();
}

bool VelkoraEnhancedKeyboardView::isLandscapePhone() {
    const int o = ui::Application::instance().statusBarOrientation();
    return !isTablet() && (o == 3 || o == 4);
}

std::string VelkoraEnhancedKeyboardView::interfaceName(const std::string& name) {
    return isTablet() ? "iPad_" + name : name;
}

float VelkoraEnhancedKeyboardView::widthAdjustedForInterfaceOrientation() {
    if (isTablet() && VelkoraAgentInternal::instance().popover()) return 320;
    const ui::Rect b = ui::Screen::main().bounds();
    const int o = ui::Application::instance().statusBarOrientation();
    return static_cast<float>(o == 1 || o == 2 ? b.width() : b.height());
}

float VelkoraEnhancedKeyboardView::heightAdjustedForInterfaceOrientation() {
    if (isTablet() && VelkoraAgentInternal::instance().popover()) return 460;
    const ui::Rect b = ui::Screen::main().bounds();
    const int o = ui::Application::instance().statusBarOrientation();
    return static_cast<float>(o == 1 || o == 2 ? b.height() : b.width());
}

bool VelkoraEnhancedKeyboardView::loadPane(const std::string& nibName, const std::shared_ptr<ui::ViewController>& vc,
                                           std::weak_ptr<VelkoraEnhancedKeyboardDelegate> delegate,
                                           std::shared_ptr<ui::View>& topLevelView) {
    registerStickerViewClasses();
    parentVC_ = vc;
    delegate_ = std::move(delegate);
    ui::InterfaceLoader::instance().loadNibNamed(nibName, this);
    if (!topLevelView) return false;
    setFrame(topLevelView->frame());
    topLevelView->setFrame(ui::Rect(0, 0, frame().width(), frame().height()));
    // The hosting screen sizes the pane to its own width.
    topLevelView->setAutoresizingMask(ui::AutoresizingFlexibleWidth | ui::AutoresizingFlexibleHeight);
    addSubview(topLevelView);
    lastOrientation_ = ui::Application::instance().statusBarOrientation();
    return true;
}

bool VelkoraEnhancedKeyboardView::pictureTaken(const std::shared_ptr<ui::Image>&) {
    return false;
}

void VelkoraEnhancedKeyboardView::layoutSubviews() {
    if (ui::Application::instance().statusBarOrientation() != lastOrientation_) {
        removeFromSuperview();
        return;
    }
    ui::View::layoutSubviews();
}

// ---- sticker tile

std::shared_ptr<VelkoraKeyboardStickerView> VelkoraKeyboardStickerView::initWithId(int32_t stickerId,
                                                                                   const std::string& url) {
    registerStickerViewClasses();
    auto tile = std::make_shared<VelkoraKeyboardStickerView>();
    ui::InterfaceLoader::instance().loadNibNamed(
        VelkoraEnhancedKeyboardView::interfaceName("VelkoraKeyboardStickerView"), tile.get());
    if (tile->topLevelView_) {
        tile->setFrame(tile->topLevelView_->frame());
        tile->topLevelView_->setFrame(ui::Rect(0, 0, tile->frame().width(), tile->frame().height()));
        tile->addSubview(tile->topLevelView_);
    }
    tile->stickerId_ = stickerId;
    tile->stickerUrl_ = url;
    if (tile->imageView_) {
        tile->imageView_->setUsingCache(true);
        if (!url.empty()) tile->imageView_->getImage(url);
    }
    return tile;
}

void VelkoraKeyboardStickerView::stickerClicked(ui::Control*) {
    if (auto d = delegate_.lock()) d->keyboardStickerClicked(stickerId_);
}

void VelkoraKeyboardStickerView::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("topLevelView", topLevelView_);
    b.outlet("imageView", imageView_);
    b.action("stickerClicked:", this, &VelkoraKeyboardStickerView::stickerClicked);
}

// ---- tab

std::shared_ptr<VelkoraStickersKeyboardToolbarItemView> VelkoraStickersKeyboardToolbarItemView::load(int32_t itemId) {
    registerStickerViewClasses();
    auto item = std::make_shared<VelkoraStickersKeyboardToolbarItemView>();
    ui::InterfaceLoader::instance().loadNibNamed(
        VelkoraEnhancedKeyboardView::interfaceName("VelkoraStickersKeyboardToolbarItem"), item.get());
    if (item->topLevelView_) {
        item->setFrame(item->topLevelView_->frame());
        item->topLevelView_->setFrame(ui::Rect(0, 0, item->frame().width(), item->frame().height()));
        item->addSubview(item->topLevelView_);
    }
    item->itemId_ = itemId;
    item->setTag(itemId);
    item->setSelected(false);
    return item;
}

std::shared_ptr<VelkoraStickersKeyboardToolbarItemView>
VelkoraStickersKeyboardToolbarItemView::initWithId(int32_t itemId, const std::string& imageName) {
    auto item = load(itemId);
    if (item->itemImageView_) {
        item->itemImageView_->setHidden(false);
        item->itemImageView_->setImage(bundleImage(imageName));
    }
    if (item->packIconImageView_) item->packIconImageView_->setHidden(true);
    return item;
}

std::shared_ptr<VelkoraStickersKeyboardToolbarItemView>
VelkoraStickersKeyboardToolbarItemView::initWithImageUrl(int32_t itemId, const std::string& url) {
    auto item = load(itemId);
    if (item->itemImageView_) item->itemImageView_->setHidden(true);
    if (item->packIconImageView_) {
        item->packIconImageView_->setHidden(false);
        item->packIconImageView_->setUsingCache(true);
        if (!url.empty()) item->packIconImageView_->getImage(url);
    }
    return item;
}

void VelkoraStickersKeyboardToolbarItemView::setSelected(bool selected) {
    selected_ = selected;
    if (bgImageView_)
        bgImageView_->setImage(
            bundleImage(selected ? "VelImg_SelectedTabIcons.png" : "VelImg_NonSelectedTabIcons.png"));
}

void VelkoraStickersKeyboardToolbarItemView::itemClicked(ui::Control*) {
    if (auto d = delegate_.lock()) d->toolbarItemClicked(*this);
}

void VelkoraStickersKeyboardToolbarItemView::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("topLevelView", topLevelView_);
    b.outlet("itemImageView", itemImageView_);
    b.outlet("bgImageView", bgImageView_);
    b.outlet("packIconImageView", packIconImageView_);
    b.action("itemClicked:", this, &VelkoraStickersKeyboardToolbarItemView::itemClicked);
}

// ---- grid

VelkoraStickersKeyboardView::Grid VelkoraStickersKeyboardView::Grid::make(float pageWidth, float height, ui::Size tile,
                                                                          int count) {
    Grid g;
    g.pageWidth = pageWidth;
    g.height = height;
    g.tile = tile;
    // A grid narrower than one tile or lower than one row still has one column and one row; the layout
    // places at most two rows.
    const double cols = tile.width + kGap > 0 ? std::trunc((pageWidth - kGap) / (tile.width + kGap)) : 0;
    const double rows = tile.height > 0 ? std::trunc(height / tile.height) : 0;
    g.cols = std::max(1, static_cast<int>(cols));
    g.rows = std::clamp(static_cast<int>(rows), 1, 2);
    g.pages = count > 0 ? (count - 1) / (g.rows * g.cols) + 1 : 0;
    return g;
}

VelkoraStickersKeyboardView::Grid::Place VelkoraStickersKeyboardView::Grid::place(int i) const {
    Place p;
    p.page = i / (rows * cols);
    p.column = i % cols;
    p.row = rows >= 2 ? (i / cols) % 2 : 0;
    const double sw = tile.width, sh = tile.height;
    // The room the columns leave is shared out evenly, before, between and after them, so a row fills
    // its page whatever the width.
    const double gap = std::max(static_cast<double>(kGap), (pageWidth - cols * sw) / (cols + 1));
    const double x = p.page * pageWidth + gap + p.column * (sw + gap);
    double y;
    if (rows < 2)
        y = ((height - 1) - sh) * 0.5;
    else
        y = p.row == 0 ? 0 : sh + ((height - 1) - 2 * sh);
    p.frame = ui::Rect(x, y, sw, sh);
    return p;
}

std::vector<VelkoraStickersKeyboardView::Grid::Place> VelkoraStickersKeyboardView::Grid::places(int count) const {
    std::vector<Place> all;
    for (int i = 0; i < count; ++i)
        all.push_back(place(i));
    return all;
}

// ---- sticker keyboard

std::shared_ptr<VelkoraStickersKeyboardView>
VelkoraStickersKeyboardView::initFromNibWithVC(const std::shared_ptr<ui::ViewController>& vc,
                                               std::weak_ptr<VelkoraEnhancedKeyboardDelegate> delegate) {
    auto pane = std::make_shared<VelkoraStickersKeyboardView>();
    const char* name = isLandscapePhone() ? "VelkoraStickersKeyboardLandscapeView" : "VelkoraStickersKeyboardView";
    if (!pane->loadPane(interfaceName(name), vc, std::move(delegate), pane->topLevelView_)) return nullptr;
    auto& style = VelkoraStyleSheetCustomizer::instance();
    style.customizeStickerKeyboardPageControl(pane->pageControl_.get(), kScreenId);
    style.customizeStickerKeyboardBackgroundView(pane->bgImageView_.get(), kScreenId);
    style.customizeStickerKeyboardToolbarBackgroundView(pane->toolbarBgImageView_.get(), kScreenId);
    pane->stickerSize_ = VelkoraKeyboardStickerView::initWithId(0, "")->frame().size;
    if (pane->stickersScrollView_) pane->stickersScrollView_->setPagingEnabled(true);
    pane->loadBarItems();
    return pane;
}

VelkoraStickersKeyboardView::~VelkoraStickersKeyboardView() = default;

std::shared_ptr<VelkoraStickersKeyboardToolbarItemView>
VelkoraStickersKeyboardView::addTab(std::shared_ptr<VelkoraStickersKeyboardToolbarItemView> tab, int index) {
    if (!toolbarScrollView_) return tab;
    auto self = std::dynamic_pointer_cast<VelkoraStickersKeyboardView>(sharedView());
    tab->setDelegate(std::weak_ptr<VelkoraStickersKeyboardToolbarItemDelegate>(self));
    const double w = tab->frame().width();
    tab->setFrame(ui::Rect(index * w, 0, w, toolbarScrollView_->frame().height()));
    toolbarScrollView_->addSubview(tab);
    return tab;
}

std::vector<std::shared_ptr<VelkoraStickersKeyboardToolbarItemView>> VelkoraStickersKeyboardView::tabs() const {
    std::vector<std::shared_ptr<VelkoraStickersKeyboardToolbarItemView>> all;
    if (!toolbarScrollView_) return all;
    for (const auto& v : toolbarScrollView_->subviews())
        if (auto tab = std::dynamic_pointer_cast<VelkoraStickersKeyboardToolbarItemView>(v)) all.push_back(tab);
    std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) { return a->frame().x() < b->frame().x(); });
    return all;
}

void VelkoraStickersKeyboardView::loadBarItems() {
    packsObserver_ = foundation::NotificationObserver("VelkoraStickerPackUpdated", nullptr,
                                                      [this](const foundation::Notification&) { loadBarItems(); });
    if (!toolbarScrollView_) return;
    auto subs = toolbarScrollView_->subviews();
    for (auto& v : subs)
        v->removeFromSuperview();
    auto info = VelkoraAgentInternal::instance().userInfo();
    VelkoraUserInfo::StickerPacksMap packs;
    if (info && info->stickerPacksMap()) packs = *info->stickerPacksMap();
    auto recent = packs.find(VelkoraStickerPack::kRecentStickersPackId);
    favPack_ = recent == packs.end() ? nullptr : recent->second;

    int index = 0;
    const std::string recentIcon = favPack_ && favPack_->icon() ? *favPack_->icon() : "VelImg_RecentIcons.png";
    auto recentTab = addTab(VelkoraStickersKeyboardToolbarItemView::initWithId(
                                VelkoraStickersKeyboardToolbarItemView::kRecentItemId, recentIcon),
                            index++);
    const double w = recentTab->frame().width();
    toolbarScrollView_->setContentSize(
        ui::Size{(static_cast<double>(packs.size()) + 1) * w, toolbarScrollView_->frame().height()});

    std::shared_ptr<VelkoraStickersKeyboardToolbarItemView> firstPackTab;
    for (const auto& [id, pack] : packs) {
        if (id == VelkoraStickerPack::kRecentStickersPackId || !pack) continue;
        if (pack->stickers().empty()) {
            Log::line("Velkora - Pack with Id %d has no stickers", static_cast<int32_t>(id));
            continue;
        }
        auto tab = addTab(VelkoraStickersKeyboardToolbarItemView::initWithImageUrl(static_cast<int32_t>(id),
                                                                                   pack->icon().value_or("")),
                          index++);
        if (!firstPackTab) firstPackTab = tab;
    }
    auto shown = firstPackTab ? firstPackTab : recentTab;
    shown->setSelected(true);
    lastItemClicked_ = shown;
    loadStickersForPackId(shown->itemId());

    addTab(VelkoraStickersKeyboardToolbarItemView::initWithId(VelkoraStickersKeyboardToolbarItemView::kStoreItemId,
                                                              "VelImg_AddIcons.png"),
           index++);
}

void VelkoraStickersKeyboardView::loadStickersForPackId(int32_t packId) {
    if (!stickersScrollView_) return;
    auto subs = stickersScrollView_->subviews();
    for (auto& v : subs)
        if (std::dynamic_pointer_cast<VelkoraKeyboardStickerView>(v)) v->removeFromSuperview();
    stickersScrollView_->setContentOffset(ui::Point{0, 0});
    auto self = std::dynamic_pointer_cast<VelkoraStickersKeyboardView>(sharedView());
    stickersScrollView_->setDelegate(std::weak_ptr<ui::ScrollViewDelegate>(self));

    const float W = widthAdjustedForInterfaceOrientation();
    const float H = static_cast<float>(stickersScrollView_->frame().height());
    auto info = VelkoraAgentInternal::instance().userInfo();
    VelkoraStickerPackPtr pack;
    if (info && info->stickerPacksMap()) {
        auto it = info->stickerPacksMap()->find(packId);
        if (it != info->stickerPacksMap()->end()) pack = it->second;
    }
    grid_ = Grid::make(W, H, stickerSize_, 0);
    if (!pack) {
        Log::line("Velkora - No pack for pack Id %d ?", packId);
        if (pageControl_) pageControl_->setNumberOfPages(0);
        return;
    }
    if (pack->stickers().empty()) {
        Log::line("Velkora - No stickers in pack (id=%d)", packId);
        if (pageControl_) pageControl_->setNumberOfPages(0);
        return;
    }
    const auto& stickers = pack->stickers();
    grid_ = Grid::make(W, H, stickerSize_, static_cast<int>(stickers.size()));
    if (pageControl_) {
        pageControl_->setNumberOfPages(grid_.pages);
        pageControl_->setCurrentPage(0);
    }
    stickersScrollView_->setContentSize(ui::Size{grid_.pages * W, H});
    for (size_t i = 0; i < stickers.size(); ++i) {
        const auto& sticker = stickers[i];
        if (!sticker) continue;
        auto tile = VelkoraKeyboardStickerView::initWithId(sticker->stickerId(), sticker->url().value_or(""));
        tile->setDelegate(std::weak_ptr<VelkoraKeyboardStickerViewDelegate>(self));
        tile->setTag(sticker->stickerId() + kStickerTagOffset);
        tile->setFrame(grid_.place(static_cast<int>(i)).frame);
        stickersScrollView_->addSubview(tile);
    }
}

void VelkoraStickersKeyboardView::scrollViewDidScroll(ui::ScrollView& scrollView) {
    if (!pageControl_) return;
    const double pageWidth = scrollView.frame().width();
    if (pageWidth <= 0) return;
    pageControl_->setCurrentPage(
        static_cast<int>(std::floor((scrollView.contentOffset().x - pageWidth / 2) / pageWidth)) + 1);
}

void VelkoraStickersKeyboardView::pageChanged(ui::Control*) {
    if (!pageControl_ || !stickersScrollView_) return;
    stickersScrollView_->setContentOffset(
        ui::Point{pageControl_->currentPage() * widthAdjustedForInterfaceOrientation(), 0.0}, true);
}

void VelkoraStickersKeyboardView::selectTab(const std::shared_ptr<VelkoraStickersKeyboardToolbarItemView>& tab) {
    if (auto last = lastItemClicked_.lock()) last->setSelected(false);
    tab->setSelected(true);
    lastItemClicked_ = tab;
}

void VelkoraStickersKeyboardView::toolbarItemClicked(VelkoraStickersKeyboardToolbarItemView& item) {
    auto tab = std::dynamic_pointer_cast<VelkoraStickersKeyboardToolbarItemView>(item.sharedView());
    if (!tab) return;
    if (item.itemId() == VelkoraStickersKeyboardToolbarItemView::kStoreItemId) {
        if (auto d = delegate()) {
            d->openStickersStore();
            return;
        }
    }
    loadStickersForPackId(item.itemId());
    if (pageControl_) pageControl_->setCurrentPage(0);
    if (stickersScrollView_) stickersScrollView_->setContentOffset(ui::Point{0, 0});
    selectTab(tab);
}

void VelkoraStickersKeyboardView::keyboardStickerClicked(int32_t stickerId) {
    auto d = delegate();
    if (!d || !stickersScrollView_) return;
    auto* tile =
        dynamic_cast<VelkoraKeyboardStickerView*>(stickersScrollView_->viewWithTag(stickerId + kStickerTagOffset));
    if (!tile) return;
    const std::string url = tile->stickerUrl();
    if (favPack_) {
        auto& recent = favPack_->mutableStickers();
        auto same = std::find_if(recent.begin(), recent.end(),
                                 [&](const VelkoraStickerPtr& s) { return s && s->url() && *s->url() == url; });
        if (same != recent.end()) recent.erase(same);
        auto sticker = std::make_shared<VelkoraSticker>();
        sticker->setStickerId(stickerId);
        sticker->setUrl(url);
        recent.insert(recent.begin(), sticker);
        // The recent list is the user's own: kept at once, so a crash does not take it.
        VelkoraAgentInternal::instance().saveUserInfo();
    }
    d->stickerSelected(url);
}

void VelkoraStickersKeyboardView::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("topLevelView", topLevelView_);
    b.outlet("stickersScrollView", stickersScrollView_);
    b.outlet("pageControl", pageControl_);
    b.outlet("toolbarScrollView", toolbarScrollView_);
    b.outlet("bgImageView", bgImageView_);
    b.outlet("toolbarBgImageView", toolbarBgImageView_);
    b.action("pageChanged:", this, &VelkoraStickersKeyboardView::pageChanged);
}

// ---- photo pane

std::shared_ptr<VelkoraUploadImageKeyboardView>
VelkoraUploadImageKeyboardView::initFromNibWithVC(const std::shared_ptr<ui::ViewController>& vc,
                                                  std::weak_ptr<VelkoraEnhancedKeyboardDelegate> delegate) {
    auto pane = std::make_shared<VelkoraUploadImageKeyboardView>();
    const char* name =
        isLandscapePhone() ? "VelkoraUploadImageKeyboardLandscapeView" : "VelkoraUploadImageKeyboardView";
    if (!pane->loadPane(interfaceName(name), vc, std::move(delegate), pane->topLevelView_)) return nullptr;
    if (pane->bgImageView_) pane->bgImageView_->setImage(bundleImage("VelImg_KeyboardBg.png"));
    auto& bundle = foundation::Bundle::main();
    if (pane->takePhotoLabel_) pane->takePhotoLabel_->setText(bundle.localizedString("velkora_text_take_photo_label"));
    if (pane->chooseExistingLabel_)
        pane->chooseExistingLabel_->setText(bundle.localizedString("velkora_text_choose_existing_label"));
    return pane;
}

bool VelkoraUploadImageKeyboardView::startTaker(int sourceType) {
    auto self = std::dynamic_pointer_cast<VelkoraUploadImageKeyboardView>(sharedView());
    pictureTaker_ = VelkoraPictureTaker::create();
    return pictureTaker_->startCameraControllerFromViewController(
        parentVC(), std::static_pointer_cast<VelkoraPictureTakerDelegate>(self), sourceType);
}

void VelkoraUploadImageKeyboardView::takePhotoClicked(ui::Control*) {
    if (!startTaker(1)) Log::line("Velkora - Can not take user picture");
}

void VelkoraUploadImageKeyboardView::chooseExistingClicked(ui::Control*) {
    if (!startTaker(2)) Log::line("Velkora - Can not choose existing picture");
}

bool VelkoraUploadImageKeyboardView::pictureTaken(const std::shared_ptr<ui::Image>& image) {
    auto d = delegate();
    if (!d) return false;
    d->imageSelected(VelkoraUtils::scaleImage(image, 800));
    return true;
}

void VelkoraUploadImageKeyboardView::registerInterfaceBindings(ui::InterfaceBindings& b) {
    b.outlet("topLevelView", topLevelView_);
    b.outlet("takePhotoLabel", takePhotoLabel_);
    b.outlet("chooseExistingLabel", chooseExistingLabel_);
    b.outlet("bgImageView", bgImageView_);
    b.outlet("activityIndicator", activityIndicator_);
    b.action("takePhotoClicked:", this, &VelkoraUploadImageKeyboardView::takePhotoClicked);
    b.action("chooseExistingClicked:", this, &VelkoraUploadImageKeyboardView::chooseExistingClicked);
}

} // namespace velkora
