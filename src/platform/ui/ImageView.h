// The image view: an image (and a highlighted one), and a sequence of images it can cycle through.
#pragma once

#include <memory>
#include <vector>

#include "platform/ui/View.h"

namespace velkora::ui {

class Image;

class ImageView : public View {
public:
    ImageView() : ImageView(Rect{}) {}
    explicit ImageView(const Rect& frame);
    // Sized to the image when one is given.
    explicit ImageView(std::shared_ptr<Image> image);
    static std::shared_ptr<ImageView> create(const Rect& frame = {}) { return std::make_shared<ImageView>(frame); }
    static std::shared_ptr<ImageView> withImage(std::shared_ptr<Image> image) {
        return std::make_shared<ImageView>(std::move(image));
    }
    const char* className() const override { return "ImageView"; }

    const std::shared_ptr<Image>& image() const { return image_; }
    // Virtual so that a subclass that reworks every image (stretching it) sees the images set through a
    // base pointer and from interface files too.
    virtual void setImage(std::shared_ptr<Image> image);
    const std::shared_ptr<Image>& highlightedImage() const { return highlightedImage_; }
    void setHighlightedImage(std::shared_ptr<Image> image);
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool h);
    // What is drawn now: the highlighted image while highlighted (when there is one), else the image.
    const std::shared_ptr<Image>& currentImage() const;

    const std::vector<std::shared_ptr<Image>>& animationImages() const { return animationImages_; }
    void setAnimationImages(std::vector<std::shared_ptr<Image>> images) { animationImages_ = std::move(images); }
    double animationDuration() const { return animationDuration_; }
    void setAnimationDuration(double d) { animationDuration_ = d; }
    int animationRepeatCount() const { return animationRepeatCount_; }
    void setAnimationRepeatCount(int n) { animationRepeatCount_ = n; }
    void startAnimating() { animating_ = !animationImages_.empty(); }
    void stopAnimating() { animating_ = false; }
    bool isAnimating() const { return animating_; }

    Size sizeThatFits(Size size) const override;
    Size intrinsicContentSize() const override;

    // The image's size in points; zero for none.
    static Size sizeOfImage(const std::shared_ptr<Image>& image);

private:
    std::shared_ptr<Image> image_;
    std::shared_ptr<Image> highlightedImage_;
    bool highlighted_ = false;
    std::vector<std::shared_ptr<Image>> animationImages_;
    double animationDuration_ = 0;
    int animationRepeatCount_ = 0;
    bool animating_ = false;
};

}  // namespace velkora::ui
