// A one-line notice in a window of its own that closes itself 2.0 seconds after it shows. It lives
// through its window and the timer; callers keep no reference.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

namespace velkora {

class VelkoraDefaultNotificationPopupView : public ui::View, public ui::InterfaceOwner {
public:
    static constexpr const char* kInterface = "VelkoraDefaultNotificationPopup";
    static constexpr double kDisplaySeconds = 2.0;

    static std::shared_ptr<VelkoraDefaultNotificationPopupView> initFromNib(const std::string& text);

    VelkoraDefaultNotificationPopupView() = default;
    const char* className() const override { return "VelkoraDefaultNotificationPopupView"; }

    // Centred on the view's size.
    void showInView(ui::View* view);
    void showInViewAtPosition(ui::View* view, ui::Point position);
    void closeNotification();

    const std::shared_ptr<ui::View>& toplevelView() const { return toplevelView_; }
    const std::shared_ptr<ui::Label>& titleLabel() const { return titleLabel_; }
    const std::shared_ptr<ui::Window>& alertWindow() const { return alertWindow_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    std::shared_ptr<ui::View> toplevelView_;
    std::shared_ptr<ui::Label> titleLabel_;
    std::shared_ptr<ui::Window> alertWindow_;
};

} // namespace velkora
