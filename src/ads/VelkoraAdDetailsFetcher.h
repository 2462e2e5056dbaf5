// One ad network banner turned into one native ad: a web view that is never shown loads the banner,
// follows its first link to the store address, and the store lookup describes the application.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "ads/VelkoraNativeAd.h"
#include "platform/foundation/Error.h"
#include "platform/ui/WebView.h"
#include "server/utils/url_fetcher/VelkoraUrlFetcher.h"

namespace velkora {

class VelkoraAdDetailsFetcher : public ui::WebViewDelegate,
                                public VelkoraUrlFetcherDelegate,
                                public std::enable_shared_from_this<VelkoraAdDetailsFetcher> {
public:
    // The failures handed to the blocks (a web view's own failure is passed on as it is).
    static constexpr const char* kFailedParsingAdUrl = "Failed parsing ad Url";         // 1
    static constexpr const char* kNoAdContent = "No Ad Content Received";               // 2
    static constexpr const char* kFailedToExtractAppId = "Failed to extract ad app Id"; // 3
    static constexpr const char* kInternalError = "Internal error";                     // 4
    static constexpr const char* kAppNotFound = "App not found on App Store";           // 5

    using AdUrlBlock = std::function<void(const std::string& url, const foundation::ErrorPtr& error)>;
    using AdDetailsBlock = std::function<void(const VelkoraNativeAdPtr& ad, const foundation::ErrorPtr& error)>;

    static std::shared_ptr<VelkoraAdDetailsFetcher> create();
    ~VelkoraAdDetailsFetcher() override;

    // Details mode: the banner's link is followed at once and the block gets the ad, or one failure.
    void fetchAdDetails(AdDetailsBlock block);
    // Link-only mode: the block gets the banner's link, or one failure.
    void fetchAdUrl(AdUrlBlock block);
    // Follows the loaded banner's link for a person; the report is logged as a usage event.
    void clickAdUrl(const std::string& reportStr);
    // Opens an ad's store address for a person; a non-empty report is logged and the click reported.
    void openAppUrl(const std::string& url, const std::string& reportStr);
    // No block is called afterwards; the lookup is cancelled and the page stopped.
    void cancel();

    const std::string& adUrlStr() const { return adUrlStr_; }
    bool adClicked() const { return adClicked_; }
    const std::shared_ptr<ui::WebView>& internalWebView() const { return internalWebView_; }

    void webViewDidFinishLoad(ui::WebView& webView) override;
    void webViewDidFailLoadWithError(ui::WebView& webView, const foundation::ErrorPtr& error) override;
    bool webViewShouldStartLoadWithRequest(ui::WebView& webView, const foundation::UrlRequest& request,
                                           int navigationType) override;
    void urlDidFinishWithString(VelkoraUrlFetcher& fetcher, const std::optional<std::string>& text) override;
    void urlGotError(VelkoraUrlFetcher& fetcher, const foundation::ErrorPtr& error) override;

private:
    VelkoraAdDetailsFetcher() = default;
    void fetchAd();
    void clickWebView();
    bool userClicked() const { return !clickReportStr_.empty(); }
    void fetchAppDetails(const std::string& appId);
    // Each block is called at most once: it is let go before it runs.
    void fail(const foundation::ErrorPtr& error);
    void fail(const char* domain, int64_t code) { fail(foundation::makeError(domain, code)); }
    void finishDetails(const VelkoraNativeAdPtr& ad);

    std::shared_ptr<VelkoraUrlFetcher> appDetailsUrlFetcher_;
    std::shared_ptr<ui::WebView> internalWebView_;
    std::string adUrlStr_;
    std::string clickReportStr_;
    bool adClicked_ = false;
    bool shouldClickAd_ = false;
    AdUrlBlock fetchAdUrlCompletionBlk_;
    AdDetailsBlock fetchAdDetailsCompletionBlk_;
};

} // namespace velkora
