// The one confirmation and message dialog: a title, a message and one or two buttons from an interface
// file, in a window of its own above everything else. Its owner hears the answer through its delegate.
//
// The dialog lives through its window: the window holds the dialog and the dialog holds the window until
// it closes. A caller makes it, sets the texts and the delegate, shows it and keeps no reference.
#pragma once

#include <memory>
#include <string>

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Button.h"
#include "platform/ui/GestureRecognizer.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"
#include "platform/ui/Window.h"

namespace velkora {

class VelkoraDefaultOKPopupViewDelegate {
public:
    virtual ~VelkoraDefaultOKPopupViewDelegate() = default;
    virtual void popupOkTapped() = 0;
    virtual void popupCancelTapped() = 0;
};

class VelkoraDefaultOKPopupView : public ui::View, public ui::InterfaceOwner, public ui::GestureRecognizerDelegate {
public:
    static constexpr const char* kOKInterface = "VelkoraOKPopupView";
    static constexpr const char* kOKCancelInterface = "VelkoraOKCancelPopupView";

    // One button, from "VelkoraOKPopupView".
    static std::shared_ptr<VelkoraDefaultOKPopupView> initFromNib(const std::string& okTitle);
    // OK and Cancel, from "VelkoraOKCancelPopupView".
    static std::shared_ptr<VelkoraDefaultOKPopupView> initFromNibCancel(const std::string& okTitle,
                                                                        const std::string& cancelTitle);
    // The same from a caller's own file (dialogs with more content).
    static std::shared_ptr<VelkoraDefaultOKPopupView>
    initWithCustomNib(const std::string& nibName, const std::string& okTitle, const std::string& cancelTitle);
    // The common part: the body from the file ("iPad_" variant on a tablet), the window at alert level.
    static std::shared_ptr<VelkoraDefaultOKPopupView> initFromNibInternal(const std::string& nibName);

    VelkoraDefaultOKPopupView() = default;
    ~VelkoraDefaultOKPopupView() override;
    const char* className() const override { return "VelkoraDefaultOKPopupView"; }

    // Centred on the view's size; a tap outside the dialog closes it unless disabled.
    void showInView(ui::View* view, bool disableTouchesOutside = false);
    // With the dialog's top left corner at the point; the view serves only for centring.
    void showInViewAtPosition(ui::View* view, ui::Point position, bool disableTouchesOutside);

    void okTapped(ui::Control* sender);
    void cancelTapped(ui::Control* sender);
    // Lets the window go, and with it the dialog; the delegate hears nothing.
    void close();

    bool gestureRecognizerShouldReceiveTouch(ui::GestureRecognizer& recognizer, ui::Touch& touch) override;
    void handleTouchesOutside(ui::GestureRecognizer& recognizer);
    // Turns the dialog with the status bar.
    void updateOrientation();
    void orientationDidChanged(const foundation::Notification& notification);

    const std::shared_ptr<ui::View>& toplevelView() const { return toplevelView_; }
    const std::shared_ptr<ui::Label>& titleLabel() const { return titleLabel_; }
    const std::shared_ptr<ui::Label>& messageLable() const { return messageLable_; }
    const std::shared_ptr<ui::Button>& okButton() const { return okButton_; }
    const std::shared_ptr<ui::Button>& cancelButton() const { return cancelButton_; }
    const std::shared_ptr<ui::Window>& alertWindow() const { return alertWindow_; }
    const std::shared_ptr<ui::TapGestureRecognizer>& gestureHandler() const { return gestureHandler_; }
    std::shared_ptr<VelkoraDefaultOKPopupViewDelegate> delegate() const { return delegate_.lock(); }
    // Not retained: the delegate usually owns whatever shows the dialog.
    void setDelegate(std::weak_ptr<VelkoraDefaultOKPopupViewDelegate> delegate) { delegate_ = std::move(delegate); }
    // A delegate that lives as long as the dialog (an answer nobody else holds).
    void keepDelegate(std::shared_ptr<VelkoraDefaultOKPopupViewDelegate> delegate) {
        delegate_ = delegate;
        keptDelegate_ = std::move(delegate);
    }
    bool closeOnOrientationChange() const { return closeOnOrientationChange_; }
    void setCloseOnOrientationChange(bool close) { closeOnOrientationChange_ = close; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

protected:
    // For dialogs of a class of their own: loads the body into `popup` and puts it in its window.
    static void loadInto(const std::shared_ptr<VelkoraDefaultOKPopupView>& popup, const std::string& nibName);
    void setButtonTitles(const std::string& okTitle, const std::string& cancelTitle);

private:
    void removeGestureHandler();

    std::shared_ptr<ui::View> toplevelView_;
    std::shared_ptr<ui::Label> titleLabel_;
    std::shared_ptr<ui::Label> messageLable_;
    std::shared_ptr<ui::Button> okButton_;
    std::shared_ptr<ui::Button> cancelButton_;
    std::shared_ptr<ui::Window> alertWindow_;
    std::weak_ptr<VelkoraDefaultOKPopupViewDelegate> delegate_;
    std::shared_ptr<VelkoraDefaultOKPopupViewDelegate> keptDelegate_;
    bool closeOnOrientationChange_ = true;
    std::shared_ptr<ui::TapGestureRecognizer> gestureHandler_;
    foundation::NotificationObserver orientationObserver_;
};

} // namespace velkora
