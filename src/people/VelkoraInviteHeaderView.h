// The section header of the find and invite lists: a title, and a connect or a follow-all button for the
// network the section shows.
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
    ~VelkoraInviteHeaderView() override;
    const char* className() const override { return "VelkoraInviteHeaderView"; }

    // Set `styleScreenIdentifier` first: the style hooks run here. False when the file does not load.
    bool loadNib();
    // The height of the loaded body; 0 before.
    double getHeight() const;

    void connectButtonTapped(ui::Control* sender);
    void followAllButtonTapped(ui::Control* sender);

    std::shared_ptr<VelkoraInviteHeaderViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<VelkoraInviteHeaderViewDelegate> d) { delegate_ = std::move(d); }
    uint32_t styleScreenIdentifier() const { return styleScreenIdentifier_; }
    void setStyleScreenIdentifier(uint32_t id) { styleScreenIdentifier_ = id; }

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
    std::weak_ptr<VelkoraInviteHeaderViewDelegate> delegate_;
    uint32_t styleScreenIdentifier_ = 0;
    std::shared_ptr<ui::View> toplevelSubview_;
    std::shared_ptr<ui::ImageView> backgroundView_;
    std::shared_ptr<ui::Label> headerLabel_;
    std::shared_ptr<ui::Button> followAllButton_;
    std::shared_ptr<ui::Button> connectButton_;
    std::shared_ptr<ui::LayoutConstraint> headerLabelTrailingSpaceConstraint_;
};

} // namespace velkora
