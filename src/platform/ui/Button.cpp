#include "platform/ui/Button.h"

#include <algorithm>

namespace velkora::ui {

Button::Button(const Rect& frame, ButtonType type) : Control(frame), buttonType_(type) {
    titleLabel_ = Label::create();
    titleLabel_->setTextAlignment(TextAlignment::Center);
    titleLabel_->setLineBreakMode(LineBreakMode::TruncateMiddle);
    imageView_ = ImageView::create();
    setOpaque(false);
    if (type == ButtonType::RoundedRect) titleColors_[ControlStateNormal] = tintColor();
    else titleColors_[ControlStateNormal] = Color::whiteColor();
    refreshContent();
}

template <typename T>
std::optional<T> Button::lookup(const std::map<unsigned, T>& values, unsigned state) {
    if (auto it = values.find(state); it != values.end()) return it->second;
    if (auto it = values.find(ControlStateNormal); it != values.end()) return it->second;
    return std::nullopt;
}

void Button::setTitle(std::string title, unsigned state) {
    titles_[state] = std::move(title);
    refreshContent();
}

std::optional<std::string> Button::titleForState(unsigned state) const { return lookup(titles_, state); }

void Button::setTitleColor(Color color, unsigned state) {
    titleColors_[state] = color;
    refreshContent();
}

std::optional<Color> Button::titleColorForState(unsigned state) const { return lookup(titleColors_, state); }

void Button::setTitleShadowColor(Color color, unsigned state) {
    titleShadowColors_[state] = color;
    refreshContent();
}

std::optional<Color> Button::titleShadowColorForState(unsigned state) const { return lookup(titleShadowColors_, state); }

void Button::setImage(std::shared_ptr<Image> image, unsigned state) {
    images_[state] = std::move(image);
    refreshContent();
}

std::shared_ptr<Image> Button::imageForState(unsigned state) const { return lookup(images_, state).value_or(nullptr); }

void Button::setBackgroundImage(std::shared_ptr<Image> image, unsigned state) {
    backgroundImages_[state] = std::move(image);
    setNeedsDisplay();
}

std::shared_ptr<Image> Button::backgroundImageForState(unsigned state) const {
    return lookup(backgroundImages_, state).value_or(nullptr);
}

std::string Button::currentTitle() const { return titleForState(state()).value_or(""); }
Color Button::currentTitleColor() const { return titleColorForState(state()).value_or(Color::whiteColor()); }
std::shared_ptr<Image> Button::currentImage() const { return imageForState(state()); }
std::shared_ptr<Image> Button::currentBackgroundImage() const { return backgroundImageForState(state()); }

void Button::setContentEdgeInsets(EdgeInsets i) {
    contentEdgeInsets_ = i;
    setNeedsLayout();
}

void Button::setTitleEdgeInsets(EdgeInsets i) {
    titleEdgeInsets_ = i;
    setNeedsLayout();
}

void Button::setImageEdgeInsets(EdgeInsets i) {
    imageEdgeInsets_ = i;
    setNeedsLayout();
}

void Button::stateDidChange() { refreshContent(); }

void Button::refreshContent() {
    titleLabel_->setText(currentTitle());
    titleLabel_->setTextColor(currentTitleColor());
    titleLabel_->setShadowColor(titleShadowColorForState(state()));
    imageView_->setImage(currentImage());
    setNeedsLayout();
    setNeedsDisplay();
}

Size Button::titleSize() const {
    if (currentTitle().empty()) return {0, 0};
    return titleLabel_->sizeThatFits({0, 0});
}

// Image on the left, title on its right, the pair centred as the alignment says; each then moved by its
// own insets.
Rect Button::imageRectForContentRect(const Rect& content) const {
    Size image = ImageView::sizeOfImage(currentImage());
    Size title = titleSize();
    double total = image.width + title.width;
    double x;
    switch (contentHorizontalAlignment()) {
    case ContentHorizontalAlignment::Left: x = content.minX(); break;
    case ContentHorizontalAlignment::Right: x = content.maxX() - total; break;
    default: x = content.midX() - total / 2; break;
    }
    double y;
    switch (contentVerticalAlignment()) {
    case ContentVerticalAlignment::Top: y = content.minY(); break;
    case ContentVerticalAlignment::Bottom: y = content.maxY() - image.height; break;
    default: y = content.midY() - image.height / 2; break;
    }
    return Rect(x, y, image.width, image.height).inset(imageEdgeInsets_);
}

// The title's insets take room from the content before the title is placed in what is left, so a title
// moved aside by its insets keeps its own width as long as the rest of the content holds it.
Rect Button::titleRectForContentRect(const Rect& whole) const {
    const Rect content = whole.inset(titleEdgeInsets_);
    Size image = ImageView::sizeOfImage(currentImage());
    Size title = titleSize();
    double available = std::max(0.0, content.width() - image.width);
    title.width = std::min(title.width, available);
    double total = image.width + title.width;
    double x;
    switch (contentHorizontalAlignment()) {
    case ContentHorizontalAlignment::Left: x = content.minX() + image.width; break;
    case ContentHorizontalAlignment::Right: x = content.maxX() - title.width; break;
    default: x = content.midX() - total / 2 + image.width; break;
    }
    double y;
    switch (contentVerticalAlignment()) {
    case ContentVerticalAlignment::Top: y = content.minY(); break;
    case ContentVerticalAlignment::Bottom: y = content.maxY() - title.height; break;
    default: y = content.midY() - title.height / 2; break;
    }
    return Rect(x, y, title.width, title.height);
}

void Button::layoutSubviews() {
    Control::layoutSubviews();
    if (!subviewsInstalled_) {
        // Added on first layout so that a button made by the loader gets them after its own subviews.
        subviewsInstalled_ = true;
        addSubview(imageView_);
        addSubview(titleLabel_);
    }
    Rect content = contentRectForBounds(bounds());
    imageView_->setFrame(imageRectForContentRect(content));
    imageView_->setHidden(!currentImage());
    titleLabel_->setFrame(titleRectForContentRect(content));
    titleLabel_->setHidden(currentTitle().empty());
}

Size Button::sizeThatFits(Size /*size*/) const {
    Size image = ImageView::sizeOfImage(currentImage());
    Size title = titleSize();
    Size background = ImageView::sizeOfImage(currentBackgroundImage());
    double w = image.width + title.width + contentEdgeInsets_.left + contentEdgeInsets_.right;
    double h = std::max(image.height, title.height) + contentEdgeInsets_.top + contentEdgeInsets_.bottom;
    return {std::max(w, background.width), std::max(h, background.height)};
}

}  // namespace velkora::ui
