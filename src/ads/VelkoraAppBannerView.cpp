#include "ads/VelkoraAppBannerView.h"

#include <cmath>
#include <numbers>

#include "ads/VelkoraAdNetwork.h"
#include "ads/VelkoraAdsSupport.h"
#include "data/VelkoraAppDealsRepository.h"
#include "platform/foundation/Log.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
#include "platform/ui/DataDetector.h"
#include "platform/ui/Image.h"
#include "platform/ui/Keyboard.h"
#include "server/VelkoraServerApi.h"
#include "data/VelkoraAppData.h"
#include "data/VelkoraAppSettings.h"
#include "shell/VelkoraLazyImageView.h"

namespace velkora {

using foundation::Log;

namespace {

struct BannerSettings {
    int32_t vendor = 0;
    int32_t location = 0;
    double interval = 0;
    double changeInterval = 0;
    double delay = 0;
};

// Read afresh on every use: new application data changes them at once.
BannerSettings settings() {
    BannerSettings s;
    if (auto data = adsAppData()) {
        s.vendor = data->appBannerVendor();
        s.location = data->appBannerLocation();
        s.interval = data->appBannerInterval();
        s.changeInterval = data->appBannerChangeInterval();
        s.delay = data->appBannerDelay();
    }
    return s;
}

int orientation() {
    return ui::Application::instance().statusBarOrientation();
}

bool isPortrait(int o) {
    return o == ui::InterfaceOrientationPortrait || o == ui::InterfaceOrientationPortraitUpsideDown;
}

double angleFor(int o) {
    switch (o) {
    case ui::InterfaceOrientationPortraitUpsideDown:
        return std::numbers::pi;
    case ui::InterfaceOrientationLandscapeRight:
        return std::numbers::pi / 2;
    case ui::InterfaceOrientationLandscapeLeft:
        return -std::numbers::pi / 2;
    default:
        return 0;
    }
}

} // namespace

std::shared_ptr<VelkoraAppBannerView> VelkoraAppBannerView::initFromNib() {
    registerAdsClasses();
    BannerSettings s = settings();
    const bool full = s.vendor == 2 && s.location == 4;
    const char* name = full ? kFullScreenInterface : kInterface;
    auto& loader = ui::InterfaceLoader::instance();
    if (loader.pathForInterface(name).empty()) {
        Log::line("Velkora (E) - interface file %@ not found in %@", name, loader.interfacesPath());
        return nullptr;
    }
    auto banner = std::make_shared<VelkoraAppBannerView>();
    banner->interfaceName_ = name;
    banner->isFullView_ = full;
    banner->isDisabled_ = false;
    return banner;
}

// A banner is made whenever a configuration arrives, so at every start, and most starts never show one:
// its views are made from the file the first time they are needed.
bool VelkoraAppBannerView::loadInterface() {
    if (interfaceLoaded_) return topLevelView_ != nullptr;
    interfaceLoaded_ = true;
    if (ui::InterfaceLoader::instance().loadNibNamed(interfaceName_, this).empty() || !topLevelView_) {
        topLevelView_.reset();
        return false;
    }
    if (isFullView_) {
        ui::Rect root = topLevelView_->frame();
        root.size = ui::Screen::main().bounds().size;
        topLevelView_->setFrame(root);
    } else {
        if (appImageView_) {
            appImageView_->layer().setCornerRadius(7);
            appImageView_->layer().setMasksToBounds(true);
        }
        for (auto* star : {&appStar1_, &appStar2_, &appStar3_, &appStar4_, &appStar5_}) {
            if (!*star) continue;
            (*star)->setImage(ui::Image::named("VelImg_AppsDealStarEmpty.png"));
            appRatingStars_.push_back(*star);
        }
    }
    setFrame(topLevelView_->frame());
    addSubview(topLevelView_);
    if (closeButton_) origCloseButtonY_ = closeButton_->frame().origin.y;
    return true;
}

VelkoraAppBannerView::~VelkoraAppBannerView() {
    keyboardShowObserver_.reset();
    keyboardHideObserver_.reset();
    if (bannerTimer_) bannerTimer_->invalidate();
    if (webView_) webView_->setDelegate(nullptr);
    if (bannerDelayTimer_) bannerDelayTimer_->invalidate();
    if (bannerChangeTimer_) bannerChangeTimer_->invalidate();
    if (alertWindow_) alertWindow_->setHidden(true);
}

void VelkoraAppBannerView::registerInterfaceBindings(ui::InterfaceBindings& bindings) {
    bindings.outlet("topLevelView", topLevelView_);
    bindings.outlet("detailsView", detailsView_);
    bindings.outlet("appImageView", appImageView_);
    bindings.outlet("appPriceLabel", appPriceLabel_);
    bindings.outlet("appNameLabel", appNameLabel_);
    bindings.outlet("appCategoryLabel", appCategoryLabel_);
    bindings.outlet("appDeveloperLabel", appDeveloperLabel_);
    bindings.outlet("appDescriptionLabel", appDescriptionLabel_);
    bindings.outlet("appDownloadsLabel", appDownloadsLabel_);
    bindings.outlet("appStar1", appStar1_);
    bindings.outlet("appStar2", appStar2_);
    bindings.outlet("appStar3", appStar3_);
    bindings.outlet("appStar4", appStar4_);
    bindings.outlet("appStar5", appStar5_);
    bindings.outlet("webView", webView_);
    bindings.outlet("closeButton", closeButton_);
    bindings.action("appBannerTapped:", this, &VelkoraAppBannerView::appBannerTapped);
    bindings.action("closeBannerTapped:", this, &VelkoraAppBannerView::closeBannerTapped);
}

// ---- the schedule

void VelkoraAppBannerView::startSchedule() {
    stopSchedule();
    std::weak_ptr<VelkoraAppBannerView> weak = sharedAs<VelkoraAppBannerView>();
    bannerTimer_ = foundation::RunLoop::main().schedule(settings().interval, true, [weak](foundation::Timer&) {
        if (auto self = weak.lock()) self->handleBannerTimeout();
    });
    keyboardShowObserver_ = foundation::NotificationObserver(ui::kKeyboardWillShowNotification, nullptr,
                                                             [weak](const foundation::Notification&) {
                                                                 if (auto self = weak.lock()) self->keyboardWillShow();
                                                             });
    keyboardHideObserver_ = foundation::NotificationObserver(ui::kKeyboardWillHideNotification, nullptr,
                                                             [weak](const foundation::Notification&) {
                                                                 if (auto self = weak.lock()) self->keyboardWillHide();
                                                             });
}

void VelkoraAppBannerView::stopSchedule() {
    if (bannerTimer_ && bannerTimer_->isValid()) bannerTimer_->invalidate();
    bannerTimer_.reset();
    keyboardShowObserver_.reset();
    keyboardHideObserver_.reset();
}

void VelkoraAppBannerView::keyboardWillShow() {
    if (settings().location != 2) return;
    closeBannerTapped(nullptr);
    isKeyboardShowing_ = true;
}

void VelkoraAppBannerView::handleBannerTimeout() {
    if (isDisabled_ || isKeyboardShowing_ || !loadInterface()) return;
    auto keep = sharedAs<VelkoraAppBannerView>();
    closeBannerTimers();
    if (isFullView_) {
        prepareFullView();
        return;
    }
    if (selectAppToShow()) showInView(ui::Application::instance().keyWindow());
}

bool VelkoraAppBannerView::selectAppToShow() {
    BannerSettings s = settings();
    if (s.vendor == 2) {
        updateDataForWebViewWithAppId(VelkoraAppSettings::appId().value_or(""));
        return false;
    }
    const auto& deals = VelkoraAppDealsRepository::instance().appDeals();
    if (deals.empty()) {
        Log::line("Velkora - No apps yet, no use in showing this cell");
        return false;
    }
    // A deal counts as seen only once a banner shows it: without a window to show in, nothing turns.
    if (!alertWindow_ && !ui::Application::instance().keyWindow()) return false;
    if (appIndex_ < 0 || appIndex_ >= static_cast<int32_t>(deals.size())) appIndex_ = 0;
    auto deal = deals[static_cast<size_t>(appIndex_)];
    if (!deal) return false;
    updateData(deal);
    ++appIndex_;
    reportImpressionWithDealId(dealIdText(*deal));
    if (deal->appDealId() == 0) sendImpressionForAppDeal(*deal);
    return true;
}

// ---- filling the banner

void VelkoraAppBannerView::updateData(const VelkoraAppDealPtr& deal) {
    loadInterface();
    if (detailsView_) detailsView_->setHidden(false);
    if (webView_) webView_->setHidden(true);
    appDeal_ = deal;
    if (!deal) return;
    if (appImageView_) showAppIcon(*appImageView_, deal->icon());
    if (appPriceLabel_) appPriceLabel_->setText(dealPriceText(*deal));
    if (appNameLabel_) showAppName(*appNameLabel_, deal->name());
    std::string description = deal->description().value_or("");
    if (appDescriptionLabel_) appDescriptionLabel_->setText(description);
    if (appDownloadsLabel_) appDownloadsLabel_->setText(deal->downloads().value_or(""));
    if (appCategoryLabel_) appCategoryLabel_->setText(deal->category().value_or(""));
    if (appDeveloperLabel_) appDeveloperLabel_->setText(deal->developer().value_or(""));
    bool described = !description.empty();
    if (appDescriptionLabel_) appDescriptionLabel_->setHidden(!described);
    if (appCategoryLabel_) appCategoryLabel_->setHidden(described);
    if (appDeveloperLabel_) appDeveloperLabel_->setHidden(described);
    double rating = deal->rating();
    for (size_t i = 0; i < appRatingStars_.size(); ++i) {
        auto& star = appRatingStars_[i];
        if (rating <= 0) {
            star->setHidden(true);
            continue;
        }
        const char* image = std::floor(rating) > double(i) ? "VelImg_bannerstaron.png"
                            : rating > double(i)           ? "VelImg_bannerstaronhalf.png"
                                                           : "VelImg_bannerstaroff.png";
        star->setImage(ui::Image::named(image));
        star->setHidden(false);
    }
}

void VelkoraAppBannerView::setUpWebView(const std::string& appId, const char* size) {
    if (!webView_) return;
    webView_->setDelegate(sharedAs<VelkoraAppBannerView>());
    webView_->setBackgroundColor(ui::Color::clear());
    webView_->setOpaque(false);
    webView_->setScalesPageToFit(false);
    webView_->setDataDetectorTypes(ui::DataDetectorTypes::All);
    linkTapped_ = false;
    webView_->loadRequest(foundation::UrlRequest::get(VelkoraAdNetwork::adRequestUrl("", size, appId)));
}

void VelkoraAppBannerView::updateDataForWebViewWithAppId(const std::string& appId) {
    loadInterface();
    if (detailsView_) detailsView_->setHidden(true);
    if (!webView_) return;
    webView_->setHidden(false);
    if (settings().location == 2 && topLevelView_) {
        double rootHeight = topLevelView_->frame().size.height;
        ui::Rect web = webView_->frame();
        web.origin.y = rootHeight - web.size.height;
        webView_->setFrame(web);
        if (closeButton_) {
            ui::Rect close = closeButton_->frame();
            close.origin.y = origCloseButtonY_ + rootHeight - web.size.height;
            closeButton_->setFrame(close);
        }
    }
    setUpWebView(appId, VelkoraAdNetwork::kBannerSize);
}

void VelkoraAppBannerView::webViewDidFinishLoad(ui::WebView& webView) {
    // Frames finish one by one: only the whole page is a banner to show.
    if (webView.isLoading()) return;
    auto keep = sharedAs<VelkoraAppBannerView>();
    // The network's error page is no banner: a failed load, ignored until the next tick.
    if (webView.statusCode() >= 400) return;
    if (webView.bodyInnerHtml().empty()) {
        Log::line("Velkora - No Ad Content Received");
        return;
    }
    if (isFullView_) {
        showFullView();
        reportImpressionWithDealId("none");
        return;
    }
    // A rotation reloads the page inside the banner that already shows.
    bool showing = alertWindow_ && bannerChangeTimer_ && bannerChangeTimer_->isValid();
    if (!showing) {
        auto* key = ui::Application::instance().keyWindow();
        if (!key) return;
        showInView(key);
    }
    reportImpressionWithDealId("none");
}

bool VelkoraAppBannerView::webViewShouldStartLoadWithRequest(ui::WebView& webView,
                                                             const foundation::UrlRequest& request,
                                                             int navigationType) {
    // The network's links reach the store through a redirect hop: the hop after a tapped link is the tap.
    if (navigationType == ui::WebViewNavigationTypeLinkClicked) linkTapped_ = true;
    if (!linkTapped_ || !VelkoraAdNetwork::isStoreAddress(request.url)) return true;
    auto keep = sharedAs<VelkoraAppBannerView>();
    std::string url = request.url;
    linkTapped_ = false;
    webView.stopLoading();
    closeBannerTapped(nullptr);
    reportClickWithDealId("none");
    ui::Application::instance().openURL(url);
    return false;
}

// ---- sliding in and out

double VelkoraAppBannerView::getAdjustedHeight(const ui::View& view) const {
    return isPortrait(orientation()) ? view.frame().size.height : view.frame().size.width;
}

void VelkoraAppBannerView::showInView(ui::View* view) {
    loadInterface();
    if (!view || !topLevelView_) return;
    auto keep = sharedAs<VelkoraAppBannerView>();
    BannerSettings s = settings();
    int o = orientation();
    ui::Rect root = topLevelView_->frame();
    double h = root.size.height, w = root.size.width;
    double adjusted = getAdjustedHeight(*view);
    double start = 0, end = 0;
    if (s.location == 2) {
        start = adjusted;
        end = adjusted - h;
    } else {
        start = -h;
        end = 0;
    }
    double cx = (ui::Screen::main().applicationFrame().size.width - w) / 2;
    double cy = (view->frame().size.height - w) / 2;
    auto originFor = [=](double v) -> ui::Point {
        switch (o) {
        case ui::InterfaceOrientationPortraitUpsideDown:
            return {cx, adjusted - v - h};
        case ui::InterfaceOrientationLandscapeRight:
            return {adjusted - v - h, cy};
        case ui::InterfaceOrientationLandscapeLeft:
            return {v, cy};
        default:
            return {cx, v};
        }
    };

    auto old = std::move(alertWindow_);
    auto window = ui::Window::create(root);
    alertWindow_ = window;
    if (old) releaseWindow(old);
    window->addSubview(sharedView());
    window->setWindowLevel(ui::WindowLevel::StatusBar);
    window->setHidden(true);
    window->setTransform(ui::AffineTransform::rotation(angleFor(o)));
    ui::Rect frame = window->frame();
    frame.origin = originFor(start);
    window->setFrame(frame);
    topLevelView_->setFrame({{0, 0}, root.size});
    setFrame({{0, 0}, root.size});
    window->setHidden(false);

    std::weak_ptr<VelkoraAppBannerView> weak = keep;
    std::weak_ptr<ui::Window> weakWindow = window;
    ui::Point endOrigin = originFor(end);
    ui::Animator::animate(
        kSlideDuration,
        [window, endOrigin] {
            ui::Rect f = window->frame();
            f.origin = endOrigin;
            window->setFrame(f);
        },
        [weak, weakWindow](bool) {
            auto self = weak.lock();
            auto window = weakWindow.lock();
            // A newer banner took the place of this one while it slid in: its own slide-in arms the timers.
            if (!self || !window || self->alertWindow_ != window) return;
            BannerSettings now = settings();
            std::lock_guard lock(self->timersMutex_);
            if (now.delay > 0)
                self->bannerDelayTimer_ =
                    foundation::RunLoop::main().schedule(now.delay, false, [weak](foundation::Timer&) {
                        if (auto banner = weak.lock()) banner->closeBanner();
                    });
            if (now.changeInterval > 0 && (now.delay > now.changeInterval || now.delay == 0))
                self->bannerChangeTimer_ =
                    foundation::RunLoop::main().schedule(now.changeInterval, true, [weak](foundation::Timer&) {
                        if (auto banner = weak.lock()) banner->selectAppToShow();
                    });
        });
}

void VelkoraAppBannerView::closeBanner() {
    auto window = alertWindow_;
    if (!window || !topLevelView_) return;
    auto keep = sharedAs<VelkoraAppBannerView>();
    {
        std::lock_guard lock(timersMutex_);
        duringClosure_ = true;
        // A rotation during the slide-out would swap and report a deal nobody sees.
        if (bannerChangeTimer_) bannerChangeTimer_->invalidate();
        bannerChangeTimer_.reset();
    }
    double h = topLevelView_->frame().size.height;
    double d = settings().location == 2 ? h : -h;
    int o = orientation();
    ui::Animator::animate(
        kSlideDuration,
        [window, d, o] {
            ui::Rect f = window->frame();
            switch (o) {
            case ui::InterfaceOrientationPortraitUpsideDown:
                f.origin.y -= d;
                break;
            case ui::InterfaceOrientationLandscapeRight:
                f.origin.x -= d;
                break;
            case ui::InterfaceOrientationLandscapeLeft:
                f.origin.x += d;
                break;
            default:
                f.origin.y += d;
                break;
            }
            window->setFrame(f);
        },
        [weak = std::weak_ptr<VelkoraAppBannerView>(keep), window](bool) {
            auto self = weak.lock();
            if (!self) return;
            self->duringClosure_ = false;
            // A banner shown during the slide-out is not this one: only the window that slid out closes.
            if (self->alertWindow_ != window) {
                self->releaseWindow(window);
                return;
            }
            self->bannerDelayTimer_.reset();
            self->closeBannerTapped(nullptr);
        });
}

void VelkoraAppBannerView::releaseWindow(const std::shared_ptr<ui::Window>& window) {
    if (!window) return;
    window->setHidden(true);
    if (superview() == window.get()) removeFromSuperview();
}

void VelkoraAppBannerView::closeBannerTapped(ui::Control* /*sender*/) {
    auto keep = sharedAs<VelkoraAppBannerView>();
    if (webView_) webView_->setDelegate(nullptr);
    auto window = std::move(alertWindow_);
    alertWindow_.reset();
    releaseWindow(window);
    closeBannerTimers();
}

void VelkoraAppBannerView::closeBannerTimers() {
    std::lock_guard lock(timersMutex_);
    if (duringClosure_) return;
    if (bannerDelayTimer_ && bannerDelayTimer_->isValid()) bannerDelayTimer_->invalidate();
    bannerDelayTimer_.reset();
    if (bannerChangeTimer_ && bannerChangeTimer_->isValid()) bannerChangeTimer_->invalidate();
    bannerChangeTimer_.reset();
}

void VelkoraAppBannerView::appBannerTapped(ui::Control* /*sender*/) {
    auto keep = sharedAs<VelkoraAppBannerView>();
    auto deal = appDeal_;
    closeBannerTapped(nullptr);
    if (!deal) return;
    reportClickWithDealId(dealIdText(*deal));
    if (auto url = deal->url(); url && !url->empty()) ui::Application::instance().openURL(*url);
}

// ---- the interstitial

ui::Rect VelkoraAppBannerView::fullScreenFrameInOrientation() const {
    ui::Size size = ui::Screen::main().bounds().size;
    if (!isPortrait(orientation())) std::swap(size.width, size.height);
    return {{0, 0}, size};
}

ui::AffineTransform VelkoraAppBannerView::transformForOrientation() const {
    return ui::AffineTransform::rotation(angleFor(orientation()));
}

void VelkoraAppBannerView::prepareFullView() {
    if (!loadInterface()) return;
    ui::Rect full = fullScreenFrameInOrientation();
    setFrame(full);
    if (topLevelView_) topLevelView_->setFrame(full);
    if (detailsView_) detailsView_->setHidden(true);
    if (webView_) webView_->setHidden(false);
    setUpWebView(VelkoraAppSettings::appId().value_or(""), VelkoraAdNetwork::kInterstitialSize);
}

void VelkoraAppBannerView::showFullView() {
    auto keep = sharedAs<VelkoraAppBannerView>();
    ui::Rect full = fullScreenFrameInOrientation();
    auto old = std::move(alertWindow_);
    auto window = ui::Window::create(full);
    alertWindow_ = window;
    if (old) releaseWindow(old);
    window->setTransform(transformForOrientation());
    ui::Rect frame = window->frame();
    frame.origin = {0, 0};
    window->setFrame(frame);
    window->addSubview(sharedView());
    window->setWindowLevel(ui::WindowLevel::Alert);
    window->setHidden(false);
    double delay = settings().delay;
    std::lock_guard lock(timersMutex_);
    if (delay > 0) {
        std::weak_ptr<VelkoraAppBannerView> weak = keep;
        bannerDelayTimer_ = foundation::RunLoop::main().schedule(delay, false, [weak](foundation::Timer&) {
            if (auto self = weak.lock()) self->closeFullView();
        });
    }
}

// ---- reports

void VelkoraAppBannerView::reportImpressionWithDealId(const std::string& dealId) {
    BannerSettings s = settings();
    VelkoraServerApi::reporEventNow("adImpress", foundation::format("VENDOR%d_%@|2|%d", s.vendor, dealId, s.location));
}

void VelkoraAppBannerView::reportClickWithDealId(const std::string& dealId) {
    BannerSettings s = settings();
    VelkoraServerApi::reporEventNow("adClick", foundation::format("VENDOR%d_%@|2|%d", s.vendor, dealId, s.location));
}

void VelkoraAppBannerView::sendImpressionForAppDeal(const VelkoraAppDeal& deal) {
    if (auto url = deal.impressionUrl(); url && !url->empty()) VelkoraUrlFetcher::create()->getUrl(*url);
}

} // namespace velkora
