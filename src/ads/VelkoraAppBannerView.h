// The pop-in advertisement: a banner that slides in over the host's screens on a timer, in a window of
// its own, showing one promoted application or the ad network's HTML banner (or, with the network at
// location 4, a full-screen interstitial), closes itself after a delay and reports what was seen and
// tapped.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "data/VelkoraAppDeal.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Button.h"
#include "platform/ui/ImageView.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/Label.h"
#include "platform/ui/WebView.h"
#include "platform/ui/Window.h"
#include "session/VelkoraKitObjects.h"

namespace velkora {

class VelkoraLazyImageView;

class VelkoraAppBannerView : public ui::View,
                             public ui::InterfaceOwner,
                             public ui::WebViewDelegate,
                             public VelkoraAppBanner {
public:
    static constexpr const char* kInterface = "VelkoraAppBannerPopupView";
    static constexpr const char* kFullScreenInterface = "VelkoraAppBannerFullScreenPopupView";
    static constexpr double kSlideDuration = 0.2;

    // The interstitial's file for the ad network at location 4, else the banner's; null when broken.
    static std::shared_ptr<VelkoraAppBannerView> initFromNib();
    VelkoraAppBannerView() = default;
    ~VelkoraAppBannerView() override;
    const char* className() const override { return "VelkoraAppBannerView"; }

    void startSchedule() override;
    void stopSchedule() override;
    void showNow() override { handleBannerTimeout(); }
    bool isDisabled() const override { return isDisabled_; }
    void setIsDisabled(bool disabled) override { isDisabled_ = disabled; }

    void appBannerTapped(ui::Control* sender);
    void closeBannerTapped(ui::Control* sender);

    void webViewDidFinishLoad(ui::WebView& webView) override;
    bool webViewShouldStartLoadWithRequest(ui::WebView& webView, const foundation::UrlRequest& request,
                                           int navigationType) override;

    // One turn of the schedule.
    void handleBannerTimeout();
    bool selectAppToShow();
    void updateData(const VelkoraAppDealPtr& deal);
    void updateDataForWebViewWithAppId(const std::string& appId);
    void showInView(ui::View* view);
    double getAdjustedHeight(const ui::View& view) const;
    void closeBanner();
    void closeBannerTimers();
    void prepareFullView();
    void showFullView();
    void closeFullView() { closeBannerTapped(nullptr); }
    ui::Rect fullScreenFrameInOrientation() const;
    ui::AffineTransform transformForOrientation() const;
    void reportImpressionWithDealId(const std::string& dealId);
    void reportClickWithDealId(const std::string& dealId);
    void sendImpressionForAppDeal(const VelkoraAppDeal& deal);

    int32_t appIndex() const { return appIndex_; }
    bool duringClosure() const { return duringClosure_; }
    bool isFullView() const { return isFullView_; }
    bool isKeyboardShowing() const { return isKeyboardShowing_; }
    const std::shared_ptr<ui::Window>& alertWindow() const { return alertWindow_; }
    const std::shared_ptr<foundation::Timer>& bannerTimer() const { return bannerTimer_; }
    const std::shared_ptr<foundation::Timer>& bannerDelayTimer() const { return bannerDelayTimer_; }
    const std::shared_ptr<foundation::Timer>& bannerChangeTimer() const { return bannerChangeTimer_; }
    const VelkoraAppDealPtr& appDeal() const { return appDeal_; }
    // The views, made from the interface file on first use.
    const std::vector<std::shared_ptr<ui::ImageView>>& appRatingStars() { return loaded(appRatingStars_); }
    const std::shared_ptr<ui::View>& topLevelView() { return loaded(topLevelView_); }
    const std::shared_ptr<ui::View>& detailsView() { return loaded(detailsView_); }
    const std::shared_ptr<VelkoraLazyImageView>& appImageView() { return loaded(appImageView_); }
    const std::shared_ptr<ui::Label>& appPriceLabel() { return loaded(appPriceLabel_); }
    const std::shared_ptr<ui::Label>& appNameLabel() { return loaded(appNameLabel_); }
    const std::shared_ptr<ui::Label>& appCategoryLabel() { return loaded(appCategoryLabel_); }
    const std::shared_ptr<ui::Label>& appDeveloperLabel() { return loaded(appDeveloperLabel_); }
    const std::shared_ptr<ui::Label>& appDescriptionLabel() { return loaded(appDescriptionLabel_); }
    const std::shared_ptr<ui::Label>& appDownloadsLabel() { return loaded(appDownloadsLabel_); }
    const std::shared_ptr<ui::WebView>& webView() { return loaded(webView_); }
    const std::shared_ptr<ui::Button>& closeButton() { return loaded(closeButton_); }
    bool isInterfaceLoaded() const { return interfaceLoaded_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    // False when the file could not be made into the banner's views.
    bool loadInterface();
    template <typename T> const T& loaded(const T& member) {
        loadInterface();
        return member;
    }
    void keyboardWillShow();
    void keyboardWillHide() { isKeyboardShowing_ = false; }
    void setUpWebView(const std::string& appId, const char* size);
    // Hides a window this banner no longer shows in, and takes the banner out of it.
    void releaseWindow(const std::shared_ptr<ui::Window>& window);

    const char* interfaceName_ = kInterface;
    bool interfaceLoaded_ = false;
    int32_t appIndex_ = 0;
    bool duringClosure_ = false;
    bool isFullView_ = false;
    bool isKeyboardShowing_ = false;
    bool isDisabled_ = false;
    // A person tapped a link of the network's page: the store hop that follows is that tap's.
    bool linkTapped_ = false;
    std::vector<std::shared_ptr<ui::ImageView>> appRatingStars_;
    std::shared_ptr<ui::Window> alertWindow_;
    std::shared_ptr<foundation::Timer> bannerTimer_;
    std::shared_ptr<foundation::Timer> bannerDelayTimer_;
    std::shared_ptr<foundation::Timer> bannerChangeTimer_;
    VelkoraAppDealPtr appDeal_;
    std::shared_ptr<ui::View> topLevelView_;
    std::shared_ptr<ui::View> detailsView_;
    std::shared_ptr<VelkoraLazyImageView> appImageView_;
    std::shared_ptr<ui::Label> appPriceLabel_, appNameLabel_, appCategoryLabel_, appDeveloperLabel_,
        appDescriptionLabel_, appDownloadsLabel_;
    std::shared_ptr<ui::ImageView> appStar1_, appStar2_, appStar3_, appStar4_, appStar5_;
    std::shared_ptr<ui::WebView> webView_;
    std::shared_ptr<ui::Button> closeButton_;
    double origCloseButtonY_ = 0;
    foundation::NotificationObserver keyboardShowObserver_, keyboardHideObserver_;
    std::recursive_mutex timersMutex_;
};

} // namespace velkora
