// The bio editor: at most 140 characters (UTF-16 units) on fewer than four lines, saved with the user's
// data on Done, and one closed notification for every close.
#pragma once

#include <memory>
#include <string>

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/TextView.h"
#include "shell/VelkoraDefaultOKPopupView.h"
#include "shell/VelkoraGeneralFeatureViewController.h"

namespace velkora {

namespace ui {
class GestureRecognizer;
}

class VelkoraEditAboutViewController : public VelkoraGeneralFeatureViewController,
                                       public ui::TextViewDelegate,
                                       public VelkoraDefaultOKPopupViewDelegate {
public:
    static constexpr const char* kInterface = "VelkoraEditAboutPopupView";
    static constexpr const char* kClosedNotification = "VelkoraUserAboutPopupClosedNotification";
    static constexpr uint32_t kScreenId = 16;
    static constexpr size_t kMaxLength = 140;
    static constexpr int kMaxLines = 4;
    // Where the text starts inside its box.
    static constexpr ui::EdgeInsets kTextInset{8, 5, 8, 5};

    static std::shared_ptr<VelkoraEditAboutViewController> create();
    const char* className() const override { return "VelkoraEditAboutViewController"; }

    void viewDidLoad() override;

    bool textViewShouldBeginEditing(ui::TextView& view) override;
    bool shouldChangeTextInRange(ui::TextView& view, ui::TextRange range, const std::string& text) override;
    void textViewDidChange(ui::TextView& view) override;

    void doneTapped(ui::Control* sender);
    void cancelTapped(ui::Control* sender) override;
    void cancelEditing();
    void popupOkTapped() override { cancelEditing(); }
    void popupCancelTapped() override {}

    void keyboardWillShow(const foundation::Notification& n);
    void keyboardWillHide(const foundation::Notification& n);

    const std::shared_ptr<ui::TextView>& aboutTextView() const { return aboutTextView_; }
    const std::shared_ptr<ui::Label>& numCharsLabel() const { return numCharsLabel_; }
    const std::shared_ptr<ui::Button>& doneButton() const { return doneButton_; }
    const std::shared_ptr<ui::Label>& editBioTitleLabel() const { return editBioTitleLabel_; }
    ui::Color origTextViewColor() const { return origTextViewColor_; }
    // The question asked before a real text is thrown away, while it shows.
    std::shared_ptr<VelkoraDefaultOKPopupView> cancelQuestion() const { return cancelQuestion_.lock(); }

    void registerInterfaceBindings(ui::InterfaceBindings& b) override;

private:
    VelkoraEditAboutViewController() : VelkoraGeneralFeatureViewController(kInterface) {}
    bool holdsRealText() const;
    void showCharsLeft();
    // Posts the closed notification once for the editor's life, however it closes.
    void postClosed();

    std::shared_ptr<ui::TextView> aboutTextView_;
    std::shared_ptr<ui::Label> numCharsLabel_;
    std::shared_ptr<ui::Button> doneButton_;
    std::shared_ptr<ui::Label> editBioTitleLabel_;
    ui::Color origTextViewColor_;
    bool closed_ = false;
    std::weak_ptr<VelkoraDefaultOKPopupView> cancelQuestion_;
    std::weak_ptr<ui::GestureRecognizer> keyboardTap_;
    foundation::NotificationObserver keyboardShowObserver_;
    foundation::NotificationObserver keyboardHideObserver_;
};

} // namespace velkora
