// The header of a section of people (find and invite, find friends, the new-message chooser): a title
// over a background strip, with optional connect and follow-all buttons that the owner shows.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/View.h"

namespace velkora {

namespace ui {
class Button;
class Control;
class ImageView;
class Label;
class LayoutConstraint;
} // namespace ui

class VelkoraInviteHeaderView;

class VelkoraInviteHeaderViewDelegate {
public:
    virtual ~VelkoraInviteHeaderViewDelegate() = default;
    virtual void connectTapped(VelkoraInviteHeaderView& header) = 0;
    virtual void followAllTapped(VelkoraInviteHeaderView& header) = 0;
};

class VelkoraInviteHeaderView : public ui::View, public ui::InterfaceOwner {
public:
    static constexpr const char* kInterface = "VelkoraInviteHeaderView";

    static std::shared_ptr<VelkoraInviteHeaderView> create() { return std::make_shared<VelkoraInviteHeaderView>(); }
    VelkoraInviteHeaderView() = default;
    ~VelkoraInviteHeaderView() override;
    const char* className() const override { return "VelkoraInviteHeaderView"; }

    // Set before loadNib: the style-sheet screen of the header's widgets.
    uint32_t styleScreenIdentifier() const { return styleScreenIdentifier_; }
    void setStyleScreenIdentifier(uint32_t id) { styleScreenIdentifier_ = id; }
    void loadNib();
    // The height of the loaded header; 0 before it is loaded.
    double getHeight() const;

    void connectTapped(ui::Control* sender);
    void followAllTapped(ui::Control* sender);
    void setDelegate(std::weak_ptr<VelkoraInviteHeaderViewDelegate> d) { delegate_ = std::move(d); }

    const std::shared_ptr<ui::View>& toplevelSubview() const { return toplevelSubview_; }
    const std::shared_ptr<ui::ImageView>& backgroundView() const { return backgroundView_; }
    const std::shared_ptr<ui::Label>& headerLabel() const { return headerLabel_; }
    const std::shared_ptr<ui::Button>& followAllButton() const { return followAllButton_; }
    const std::shared_ptr<ui::Button>& connectButton() const { return connectButton_; }
    const std::shared_ptr<ui::LayoutConstraint>& headerLabelTrailingSpaceConstraint() const {
        return headerLabelTrailingSpaceConstraint_;
    }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    uint32_t styleScreenIdentifier_ = 0;
    std::weak_ptr<VelkoraInviteHeaderViewDelegate> delegate_;
    std::shared_ptr<ui::View> toplevelSubview_;
    std::shared_ptr<ui::ImageView> backgroundView_;
    std::shared_ptr<ui::Label> headerLabel_;
    std::shared_ptr<ui::Button> followAllButton_, connectButton_;
    std::shared_ptr<ui::LayoutConstraint> headerLabelTrailingSpaceConstraint_;
};

} // namespace velkora
