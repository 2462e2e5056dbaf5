// A badge whose stretchable background widens with its text, from its own interface file.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"
#include "shell/VelkoraResizableView.h"

namespace velkora {

class VelkoraStretchableBadgeView : public ui::View, public ui::InterfaceOwner {
public:
    static constexpr const char* kInterfaceName = "VelkoraStretchableBadgeView";

    // Loads the body from the interface file; the badge's width never falls below the body's.
    static std::shared_ptr<VelkoraStretchableBadgeView> create(const ui::Rect& frame = {});
    explicit VelkoraStretchableBadgeView(const ui::Rect& frame = {}) : ui::View(frame) {}
    const char* className() const override { return "VelkoraStretchableBadgeView"; }

    // Sizes the badge to the text (kept centred where it stands), then shows it.
    void setText(const std::string& text);

    const std::shared_ptr<ui::View>& topLevelView() const { return topLevelView_; }
    const std::shared_ptr<VelkoraResizableView>& badgeImageView() const { return badgeImageView_; }
    const std::shared_ptr<ui::Label>& badgeLabel() const { return badgeLabel_; }
    float minWidth() const { return minWidth_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    void postInit();

    std::shared_ptr<ui::View> topLevelView_;
    std::shared_ptr<VelkoraResizableView> badgeImageView_;
    std::shared_ptr<ui::Label> badgeLabel_;
    float minWidth_ = 0;
};

} // namespace velkora
