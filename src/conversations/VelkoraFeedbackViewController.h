// Feedback to the application's makers: the menu (talk to us, rate us, share on Facebook and Twitter as
// the configuration allows) and the talk-to-us screen, which sends a feedback, bug report or feature
// request with stars to the owner's inbox.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/TextView.h"
#include "shell/VelkoraDefaultOKPopupView.h"
#include "shell/VelkoraGeneralFeatureViewController.h"

namespace velkora {

namespace ui {
class ActivityIndicatorView;
class ImageView;
class Label;
class LayoutConstraint;
} // namespace ui
class VelkoraLazyImageView;
class VelkoraUserSignUpHelper;
class VelkoraFeedbackViewCell;

class VelkoraFeedbackViewCellDelegate {
public:
    virtual ~VelkoraFeedbackViewCellDelegate() = default;
    virtual void connectTapped(VelkoraFeedbackViewCell& cell) = 0;
};

class VelkoraFeedbackViewCell : public ui::TableViewCell, public ui::InterfaceOwner {
public:
    static constexpr const char* kReuseIdentifier = "velkorafeedbackcell";
    static constexpr uint32_t kScreenId = 7;

    VelkoraFeedbackViewCell() = default;
    const char* className() const override { return "VelkoraFeedbackViewCell"; }
    static std::shared_ptr<VelkoraFeedbackViewCell> initFromNibBig();
    static std::shared_ptr<VelkoraFeedbackViewCell> initFromNibSmall();
    static std::shared_ptr<VelkoraFeedbackViewCell> initFromNib(const std::string& nibName);

    void setOptionIconImage(std::shared_ptr<ui::Image> image);
    void setOptionIconString(const std::string& url);
    // The talk-to-us row of an application without an icon of its own (no logo, no picture address) shows
    // the kit's feedback icon on a clear ground instead of an empty square; answers whether it did.
    bool showKitIconUnlessTheApplicationHasOne(bool applicationHasIcon);
    void connectTapped(ui::Control* sender);

    // The row's feedback type (1 talk to us, 2 rate us, 3 Facebook, 4 Twitter).
    int32_t feedbackType() const { return feedbackType_; }
    void setFeedbackType(int32_t t) { feedbackType_ = t; }
    void setDelegate(std::weak_ptr<VelkoraFeedbackViewCellDelegate> d) { delegate_ = std::move(d); }
    const std::shared_ptr<ui::Label>& title() const { return title_; }
    const std::shared_ptr<ui::Label>& description() const { return description_; }
    const std::shared_ptr<VelkoraLazyImageView>& optionIcon() const { return optionIcon_; }
    const std::shared_ptr<ui::ImageView>& optionBacground() const { return optionBacground_; }
    const std::shared_ptr<ui::Button>& fbConnectButton() const { return fbConnectButton_; }
    const std::shared_ptr<ui::Button>& twitterConnectButton() const { return twitterConnectButton_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;
    void layoutSubviews() override;

private:
    int32_t feedbackType_ = 0;
    std::weak_ptr<VelkoraFeedbackViewCellDelegate> delegate_;
    std::shared_ptr<ui::Label> title_, description_;
    std::shared_ptr<ui::ImageView> accessory_;
    std::shared_ptr<VelkoraLazyImageView> optionIcon_;
    std::shared_ptr<ui::ImageView> optionBacground_;
    std::shared_ptr<ui::Button> fbConnectButton_, twitterConnectButton_;
    std::shared_ptr<ui::View> lineView_;
};

class VelkoraFeedbackTalkToUsViewControllerDelegate {
public:
    virtual ~VelkoraFeedbackTalkToUsViewControllerDelegate() = default;
    virtual void dismissTalkToUs() = 0;
};

class VelkoraFeedbackViewController : public VelkoraGeneralFeatureViewController,
                                      public ui::TableViewDataSource,
                                      public ui::TableViewDelegate,
                                      public VelkoraFeedbackViewCellDelegate,
                                      public VelkoraFeedbackTalkToUsViewControllerDelegate {
public:
    static constexpr uint32_t kScreenId = 7;

    static std::shared_ptr<VelkoraFeedbackViewController> create();
    static std::shared_ptr<VelkoraFeedbackViewController> initFromNib(bool showProfileButton);
    ~VelkoraFeedbackViewController() override;
    const char* className() const override { return "VelkoraFeedbackViewController"; }

    void viewDidLoad() override;

    int numberOfRowsInSection(ui::TableView& table, int section) override;
    ui::TableViewCellPtr cellForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;
    void willDisplayCell(ui::TableView& table, ui::TableViewCell& cell, const ui::IndexPath& indexPath) override;
    double heightForRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;
    void didSelectRowAtIndexPath(ui::TableView& table, const ui::IndexPath& indexPath) override;

    void dismissTalkToUs() override;
    void connectTapped(VelkoraFeedbackViewCell& cell) override;
    void fbConnected(const foundation::Value& details);
    void twitterGotUserDetails(const foundation::Value& details);
    void connectedServer(const foundation::Value& answer);
    void serverConnectFailed(const foundation::ErrorPtr& error);

    const std::vector<int32_t>& supportedFeedbackTypes() const { return supportedFeedbackTypes_; }
    int32_t lastFeedbackType() const { return lastFeedbackType_; }
    const std::shared_ptr<ui::TableView>& optionsTable() const { return optionsTable_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    VelkoraFeedbackViewController();
    VelkoraUserSignUpHelper& userSignUpHelper();
    void connectWithNetwork(int32_t method, const foundation::Value& details);

    std::vector<int32_t> supportedFeedbackTypes_{1, 2, 3, 4};
    int32_t lastFeedbackType_ = 0;
    // The row's height as its interface file draws it, measured once.
    double rowHeight_ = 0;
    std::shared_ptr<VelkoraUserSignUpHelper> userSignUpHelper_;
    std::shared_ptr<ui::TableView> optionsTable_;
};

class VelkoraFeedbackTalkToUsViewController : public VelkoraGeneralFeatureViewController,
                                              public ui::TextViewDelegate,
                                              public VelkoraDefaultOKPopupViewDelegate {
public:
    static constexpr uint32_t kScreenId = 8;

    static std::shared_ptr<VelkoraFeedbackTalkToUsViewController>
    initFromNibWithDelegate(std::weak_ptr<VelkoraFeedbackTalkToUsViewControllerDelegate> delegate);
    ~VelkoraFeedbackTalkToUsViewController() override;
    const char* className() const override { return "VelkoraFeedbackTalkToUsViewController"; }

    void viewDidLoad() override;

    void feedbackModeTapped(ui::Control* sender);
    void bugModeTapped(ui::Control* sender);
    void requestModeTapped(ui::Control* sender);
    void feedbackStarTapped(ui::Control* sender);
    void updateNumStars(int n);
    void sendTapped(ui::Control* sender) override;
    void cancelTapped(ui::Control* sender) override;
    void feedbackSent(const foundation::Value& answer);
    void feedbackFailed(const foundation::ErrorPtr& error);
    bool textViewShouldBeginEditing(ui::TextView& textView) override;
    void keyboardWillShow(const foundation::Notification& notification);
    void keyboardWillHide(const foundation::Notification& notification);
    void popupOkTapped() override;
    void popupCancelTapped() override;

    // A delegate nobody else holds, made for this screen alone (it holds the screen weakly).
    void keepDelegate(std::shared_ptr<VelkoraFeedbackTalkToUsViewControllerDelegate> delegate) {
        ownDelegate_ = std::move(delegate);
    }
    // The user's text: empty while the placeholder shows.
    std::string userText() const;
    int32_t requestMode() const { return requestMode_; }
    int32_t stars() const { return stars_; }
    bool isSending() const { return sending_; }
    const std::shared_ptr<ui::TextView>& feedbackText() const { return feedbackText_; }
    const std::shared_ptr<ui::View>& userDetailsView() const { return userDetailsView_; }
    const std::shared_ptr<ui::Label>& userVersions() const { return userVersions_; }
    const std::shared_ptr<ui::Label>& userName() const { return userName_; }
    const std::shared_ptr<VelkoraLazyImageView>& userPhoto() const { return userPhoto_; }
    const std::shared_ptr<ui::View>& rateUsView() const { return rateUsView_; }
    const std::shared_ptr<ui::LayoutConstraint>& arrowLeadingSpaceConstraint() const {
        return arrowLeadingSpaceConstraint_;
    }
    const std::shared_ptr<ui::Button>& sendFeedbackButton() const { return sendFeedbackButton_; }
    const std::shared_ptr<ui::Button>& cancelFeedbackButton() const { return cancelFeedbackButton_; }
    bool popupIsConfirmCancel() const { return popupIsConfirmCancel_; }
    bool popupOKIsRateUs() const { return popupOKIsRateUs_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    VelkoraFeedbackTalkToUsViewController();
    void selectMode(int32_t mode);
    void closeHiddenBands();
    void setSending(bool sending);
    void dismissSelf();

    std::weak_ptr<VelkoraFeedbackTalkToUsViewControllerDelegate> delegate_;
    std::shared_ptr<VelkoraFeedbackTalkToUsViewControllerDelegate> ownDelegate_;
    int32_t requestMode_ = 4;
    int32_t stars_ = 5;
    bool startedEditing_ = false;
    bool sending_ = false;
    ui::Color textOrigColor_;
    std::shared_ptr<ui::Image> rateStarOnImage_, rateStarOffImage_;
    ui::Color feedbackTypeSelectedColor_, feedbackTypeUnselectedColor_;
    bool popupIsConfirmCancel_ = false;
    bool popupOKIsRateUs_ = false;

    std::shared_ptr<ui::TextView> feedbackText_;
    std::shared_ptr<ui::Button> sendFeedbackButton_, cancelFeedbackButton_, feedbackModeButton_, bugModeButton_,
        requestModeButton_;
    std::shared_ptr<ui::Label> feedbackModeLabel_, bugModeLabel_, requestModeLabel_;
    std::shared_ptr<ui::View> feedbackModeView_, bugModeView_, requestModeView_;
    std::shared_ptr<ui::ImageView> arrowImageView_;
    std::shared_ptr<ui::LayoutConstraint> arrowLeadingSpaceConstraint_;
    std::shared_ptr<ui::Button> feedbackStarBtn1_, feedbackStarBtn2_, feedbackStarBtn3_, feedbackStarBtn4_,
        feedbackStarBtn5_;
    std::shared_ptr<ui::View> rateUsView_, userDetailsView_, feedbackContentView_;
    std::shared_ptr<VelkoraLazyImageView> userPhoto_;
    std::shared_ptr<ui::Label> userName_, userVersions_;
    std::shared_ptr<ui::ActivityIndicatorView> activityIndicator_;
    std::shared_ptr<ui::LayoutConstraint> textViewTopSpaceConstraint_, textViewBottomSpaceConstraint_;
    double detailsTop_ = -1; // where the interface file puts the sender's details
    double bandsShift_ = 0;  // how far the text is moved up into hidden bands
    foundation::NotificationObserver keyboardShowObserver_, keyboardHideObserver_;
};

} // namespace velkora
