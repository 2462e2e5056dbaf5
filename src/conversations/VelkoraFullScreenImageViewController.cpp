#include "conversations/VelkoraFullScreenImageViewController.h"

#include "conversations/VelkoraChatOneCells.h"
#include "conversations/VelkoraEnhancedKeyboardView.h"
#include "platform/ui/Image.h"
#include "platform/ui/layout/LayoutConstraint.h"
#include "server/VelkoraServerApi.h"

namespace velkora {

VelkoraFullScreenImageViewController::VelkoraFullScreenImageViewController(std::string url)
    : VelkoraGeneralFeatureViewController(VelkoraEnhancedKeyboardView::interfaceName(kInterface)),
      imageUrl_(std::move(url)) {}

std::shared_ptr<VelkoraFullScreenImageViewController>
VelkoraFullScreenImageViewController::initFromNibWithImageUrl(const std::string& url) {
    registerChatViewClasses();
    auto screen = std::shared_ptr<VelkoraFullScreenImageViewController>(new VelkoraFullScreenImageViewController(url));
    screen->imageDidFinish = [raw = screen.get()](VelkoraLazyImageView& v) { raw->imageDidFinishLoading(v); };
    return screen;
}

VelkoraFullScreenImageViewController::~VelkoraFullScreenImageViewController() {
    if (imageView_) imageView_->setDelegate({});
    VelkoraServerApi::clearUserDelegate(this);
}

void VelkoraFullScreenImageViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraGeneralFeatureViewController::registerInterfaceBindings(b);
    b.outlet("imageView", imageView_);
    b.outlet("imageWidthConstraint", imageWidthConstraint_);
    b.outlet("imageHeightConstraint", imageHeightConstraint_);
}

void VelkoraFullScreenImageViewController::viewDidLoad() {
    setStyleScreenIdentifier(kScreenId);
    VelkoraGeneralFeatureViewController::viewDidLoad();
    if (imageWidthConstraint_) imageWidthConstraint_->setConstant(0);
    if (imageHeightConstraint_) imageHeightConstraint_->setConstant(0);
    if (!imageView_) return;
    auto self = sharedAs<VelkoraFullScreenImageViewController>();
    imageView_->setDelegate(std::weak_ptr<VelkoraLazyImageDelegate>(self));
    if (!imageUrl_.empty()) imageView_->getImage(imageUrl_);
}

void VelkoraFullScreenImageViewController::imageDidFinishLoading(VelkoraLazyImageView& view) {
    if (auto image = view.image()) {
        origImageHeight_ = image->size().height;
        origImageWidth_ = image->size().width;
    }
    resizeImage();
    view.setDelegate({});
}

void VelkoraFullScreenImageViewController::viewDidLayoutSubviews() {
    VelkoraGeneralFeatureViewController::viewDidLayoutSubviews();
    resizeImage();
}

ui::Size VelkoraFullScreenImageViewController::fittedSize(ui::Size p, ui::Size area) {
    // Nothing is known of a picture before it loads: it stays at no size rather than dividing by it.
    if (p.width <= 0 || p.height <= 0) return {0, 0};
    if (p.height > area.height || p.width > area.width) {
        const double rH = area.height / p.height, rW = area.width / p.width;
        if (rW > rH) return {rH * p.width, area.height};
        return {area.width, rW * p.height};
    }
    return p;
}

void VelkoraFullScreenImageViewController::resizeImage() {
    auto content = velkoraContentView();
    if (!content) return;
    const ui::Size shown = fittedSize({origImageWidth_, origImageHeight_}, content->bounds().size);
    const bool changed = !imageWidthConstraint_ || !imageHeightConstraint_ ||
                         imageWidthConstraint_->constant() != shown.width ||
                         imageHeightConstraint_->constant() != shown.height;
    if (imageWidthConstraint_) imageWidthConstraint_->setConstant(shown.width);
    if (imageHeightConstraint_) imageHeightConstraint_->setConstant(shown.height);
    if (changed) view()->setNeedsLayout();
}

ui::Size VelkoraFullScreenImageViewController::imageSize() const {
    return {imageWidthConstraint_ ? imageWidthConstraint_->constant() : 0,
            imageHeightConstraint_ ? imageHeightConstraint_->constant() : 0};
}

} // namespace velkora
