// The banner that announces an incoming private message: it slides down over the top of the screen in a
// window of its own at the status bar's level, with the sender's picture, name and a line of the message.
// A tap on it opens the sidebar; its close button dismisses it; it never goes by itself.
//
// The banner lives through its window, as the popups do: the caller shows it and keeps no reference.
#pragma once

#include <memory>

#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

namespace velkora {

class VelkoraLazyImageView;
class VelkoraMessageInternal;

class VelkoraMessageNotificationView : public ui::View, public ui::InterfaceOwner {
public:
    static constexpr const char* kInterface = "VelkoraNewMessagePopupView";

    // Built for one message, not shown yet; null when the interface file cannot be read.
    static std::shared_ptr<VelkoraMessageNotificationView>
    initFromNib(const std::shared_ptr<VelkoraMessageInternal>& message);
    VelkoraMessageNotificationView() = default;
    ~VelkoraMessageNotificationView() override;
    const char* className() const override { return "VelkoraMessageNotificationView"; }

    // Slides in from above the top edge; the view is not used.
    void showInView(ui::View* view);
    void closeNotificationTapped(ui::Control* sender);
    void messageTapped(ui::Control* sender);

    const std::shared_ptr<ui::View>& topLevelView() const { return topLevelView_; }
    const std::shared_ptr<ui::Label>& nameLabel() const { return nameLabel_; }
    const std::shared_ptr<ui::Label>& messageLabel() const { return messageLabel_; }
    const std::shared_ptr<ui::ImageView>& userFrameView() const { return userFrameView_; }
    const std::shared_ptr<VelkoraLazyImageView>& userImageView() const { return userImageView_; }
    const std::shared_ptr<ui::Window>& alertWindow() const { return alertWindow_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    void releaseWindow();

    std::shared_ptr<ui::View> topLevelView_;
    std::shared_ptr<ui::Label> nameLabel_;
    std::shared_ptr<ui::Label> messageLabel_;
    std::shared_ptr<ui::ImageView> userFrameView_;
    std::shared_ptr<VelkoraLazyImageView> userImageView_;
    std::shared_ptr<ui::Window> alertWindow_;
};

} // namespace velkora
