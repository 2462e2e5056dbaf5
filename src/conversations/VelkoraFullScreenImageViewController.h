// One picture by its address, as large as the content area allows without enlarging it and keeping its
// proportions; fitted again on every layout pass, so a rotation refits it. The chats, the chat rooms and
// the feed open it.
#pragma once

#include <memory>
#include <string>

#include "shell/VelkoraGeneralFeatureViewController.h"
#include "shell/VelkoraLazyImageView.h"

namespace velkora {

namespace ui {
class LayoutConstraint;
}

class VelkoraFullScreenImageViewController : public VelkoraGeneralFeatureViewController,
                                             public VelkoraLazyImageDelegate {
public:
    static constexpr const char* kInterface = "VelkoraFullScreenImageView";
    static constexpr uint32_t kScreenId = 19;

    static std::shared_ptr<VelkoraFullScreenImageViewController> initFromNibWithImageUrl(const std::string& url);
    ~VelkoraFullScreenImageViewController() override;
    const char* className() const override { return "VelkoraFullScreenImageViewController"; }

    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;
    void imageDidFinishLoading(VelkoraLazyImageView& view);
    void resizeImage();

    const std::string& imageUrl() const { return imageUrl_; }
    const std::shared_ptr<VelkoraLazyImageView>& imageView() const { return imageView_; }
    // The shown size.
    ui::Size imageSize() const;
    double origImageWidth() const { return origImageWidth_; }
    double origImageHeight() const { return origImageHeight_; }
    // The fitting rule: the picture's size within the area, never enlarged.
    static ui::Size fittedSize(ui::Size picture, ui::Size area);

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    explicit VelkoraFullScreenImageViewController(std::string url);

    std::string imageUrl_;
    std::shared_ptr<VelkoraLazyImageView> imageView_;
    std::shared_ptr<ui::LayoutConstraint> imageWidthConstraint_, imageHeightConstraint_;
    double origImageWidth_ = 0, origImageHeight_ = 0;
};

} // namespace velkora
