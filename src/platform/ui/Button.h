// The button: title, title colour, image and background image per control state, with insets.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "platform/ui/Control.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"

namespace velkora::ui {

class Image;

enum class ButtonType { Custom = 0, RoundedRect = 1, DetailDisclosure, InfoLight, InfoDark, ContactAdd };

// Every per-state value falls back to the normal state's when the state has none of its own.
class Button : public Control {
public:
    Button() : Button(Rect{}) {}
    explicit Button(const Rect& frame, ButtonType type = ButtonType::Custom);
    static std::shared_ptr<Button> create(ButtonType type = ButtonType::Custom, const Rect& frame = {}) {
        return std::make_shared<Button>(frame, type);
    }
    const char* className() const override { return "Button"; }
    ButtonType buttonType() const { return buttonType_; }

    void setTitle(std::string title, unsigned state = ControlStateNormal);
    std::optional<std::string> titleForState(unsigned state) const;
    void setTitleColor(Color color, unsigned state = ControlStateNormal);
    std::optional<Color> titleColorForState(unsigned state) const;
    void setTitleShadowColor(Color color, unsigned state = ControlStateNormal);
    std::optional<Color> titleShadowColorForState(unsigned state) const;
    // Virtual, as the image view's setter, for buttons that rework every image they receive.
    virtual void setImage(std::shared_ptr<Image> image, unsigned state = ControlStateNormal);
    std::shared_ptr<Image> imageForState(unsigned state) const;
    virtual void setBackgroundImage(std::shared_ptr<Image> image, unsigned state = ControlStateNormal);
    std::shared_ptr<Image> backgroundImageForState(unsigned state) const;

    // For the current state.
    std::string currentTitle() const;
    Color currentTitleColor() const;
    std::shared_ptr<Image> currentImage() const;
    std::shared_ptr<Image> currentBackgroundImage() const;

    const std::shared_ptr<Label>& titleLabel() const { return titleLabel_; }
    const std::shared_ptr<ImageView>& imageView() const { return imageView_; }

    EdgeInsets contentEdgeInsets() const { return contentEdgeInsets_; }
    void setContentEdgeInsets(EdgeInsets i);
    EdgeInsets titleEdgeInsets() const { return titleEdgeInsets_; }
    void setTitleEdgeInsets(EdgeInsets i);
    EdgeInsets imageEdgeInsets() const { return imageEdgeInsets_; }
    void setImageEdgeInsets(EdgeInsets i);
    bool adjustsImageWhenHighlighted() const { return adjustsImageWhenHighlighted_; }
    void setAdjustsImageWhenHighlighted(bool a) { adjustsImageWhenHighlighted_ = a; }
    bool adjustsImageWhenDisabled() const { return adjustsImageWhenDisabled_; }
    void setAdjustsImageWhenDisabled(bool a) { adjustsImageWhenDisabled_ = a; }
    bool showsTouchWhenHighlighted() const { return showsTouchWhenHighlighted_; }
    void setShowsTouchWhenHighlighted(bool s) { showsTouchWhenHighlighted_ = s; }

    // The rectangles the title and the image are laid out in, inside the bounds.
    Rect titleRectForContentRect(const Rect& contentRect) const;
    Rect imageRectForContentRect(const Rect& contentRect) const;
    Rect contentRectForBounds(const Rect& bounds) const { return bounds.inset(contentEdgeInsets_); }

    void layoutSubviews() override;
    Size sizeThatFits(Size size) const override;
    Size intrinsicContentSize() const override { return sizeThatFits({}); }
    std::string dumpText() const override { return currentTitle(); }

protected:
    void stateDidChange() override;

private:
    template <typename T>
    static std::optional<T> lookup(const std::map<unsigned, T>& values, unsigned state);
    void refreshContent();
    Size titleSize() const;

    ButtonType buttonType_;
    std::map<unsigned, std::string> titles_;
    std::map<unsigned, Color> titleColors_;
    std::map<unsigned, Color> titleShadowColors_;
    std::map<unsigned, std::shared_ptr<Image>> images_;
    std::map<unsigned, std::shared_ptr<Image>> backgroundImages_;
    std::shared_ptr<Label> titleLabel_;
    std::shared_ptr<ImageView> imageView_;
    EdgeInsets contentEdgeInsets_;
    EdgeInsets titleEdgeInsets_;
    EdgeInsets imageEdgeInsets_;
    bool adjustsImageWhenHighlighted_ = true;
    bool adjustsImageWhenDisabled_ = true;
    bool showsTouchWhenHighlighted_ = false;
    bool subviewsInstalled_ = false;
};

}  // namespace velkora::ui
