#include "ads/VelkoraAdDetailsFetcher.h"

#include "ads/VelkoraAdNetwork.h"
#include "platform/foundation/Log.h"
#include "platform/services/OutsideEndpoints.h"
#include "platform/ui/Application.h"
#include "server/VelkoraServerApi.h"
#include "server/utils/VelkoraKXJsonParser.h"
#include "server/utils/VelkoraLogEventsManager.h"
#include "data/VelkoraAppSettings.h"

namespace velkora {

using foundation::Log;
using foundation::Value;

namespace {

constexpr int64_t kCancelledLoad = -999;

std::optional<std::string> textOf(const Value& v) {
    if (auto* s = v.asString()) return *s;
    return std::nullopt;
}

} // namespace

std::shared_ptr<VelkoraAdDetailsFetcher> VelkoraAdDetailsFetcher::create() {
    return std::shared_ptr<VelkoraAdDetailsFetcher>(new VelkoraAdDetailsFetcher());
}

VelkoraAdDetailsFetcher::~VelkoraAdDetailsFetcher() {
    fetchAdUrlCompletionBlk_ = nullptr;
    fetchAdDetailsCompletionBlk_ = nullptr;
    if (appDetailsUrlFetcher_) appDetailsUrlFetcher_->cancel();
    if (internalWebView_) {
        internalWebView_->setDelegate(nullptr);
        if (internalWebView_->isLoading()) internalWebView_->stopLoading();
    }
}

void VelkoraAdDetailsFetcher::fetchAdDetails(AdDetailsBlock block) {
    shouldClickAd_ = true;
    fetchAdDetailsCompletionBlk_ = std::move(block);
    fetchAd();
}

void VelkoraAdDetailsFetcher::fetchAdUrl(AdUrlBlock block) {
    shouldClickAd_ = false;
    fetchAdUrlCompletionBlk_ = std::move(block);
    fetchAd();
}

void VelkoraAdDetailsFetcher::fetchAd() {
    adClicked_ = false;
    adUrlStr_.clear();
    if (!internalWebView_) {
        internalWebView_ = ui::WebView::create();
        internalWebView_->setDelegate(shared_from_this());
    }
    internalWebView_->loadRequest(foundation::UrlRequest::get(VelkoraAdNetwork::adRequestUrl(
        "native-", VelkoraAdNetwork::kBannerSize, VelkoraAppSettings::appId().value_or(""))));
}

void VelkoraAdDetailsFetcher::clickAdUrl(const std::string& reportStr) {
    clickReportStr_ = reportStr;
    clickWebView();
}

void VelkoraAdDetailsFetcher::openAppUrl(const std::string& url, const std::string& reportStr) {
    auto keep = shared_from_this();
    adClicked_ = true;
    clickReportStr_ = reportStr;
    if (!reportStr.empty()) {
        VelkoraLogEventsManager::instance().logEvent(reportStr);
        VelkoraServerApi::reporEventNow("adClick", foundation::format("VENDOR%d_none|4", 2));
    }
    if (!internalWebView_) {
        internalWebView_ = ui::WebView::create();
        internalWebView_->setDelegate(shared_from_this());
    }
    internalWebView_->stopLoading();
    internalWebView_->loadRequest(foundation::UrlRequest::get(url));
}

void VelkoraAdDetailsFetcher::cancel() {
    fetchAdUrlCompletionBlk_ = nullptr;
    fetchAdDetailsCompletionBlk_ = nullptr;
    if (appDetailsUrlFetcher_) appDetailsUrlFetcher_->cancel();
    if (internalWebView_ && internalWebView_->isLoading()) internalWebView_->stopLoading();
}

void VelkoraAdDetailsFetcher::fail(const foundation::ErrorPtr& error) {
    if (fetchAdUrlCompletionBlk_) {
        auto block = std::move(fetchAdUrlCompletionBlk_);
        fetchAdUrlCompletionBlk_ = nullptr;
        block(adUrlStr_, error);
    } else if (fetchAdDetailsCompletionBlk_) {
        auto block = std::move(fetchAdDetailsCompletionBlk_);
        fetchAdDetailsCompletionBlk_ = nullptr;
        block(nullptr, error);
    }
}

void VelkoraAdDetailsFetcher::finishDetails(const VelkoraNativeAdPtr& ad) {
    if (!fetchAdDetailsCompletionBlk_) return;
    auto block = std::move(fetchAdDetailsCompletionBlk_);
    fetchAdDetailsCompletionBlk_ = nullptr;
    block(ad, nullptr);
}

void VelkoraAdDetailsFetcher::webViewDidFinishLoad(ui::WebView& webView) {
    // Frames finish one by one; only the whole page counts.
    if (webView.isLoading()) return;
    auto keep = shared_from_this();
    if (adClicked_) {
        // The followed link ended on a page instead of reaching the store: nothing more will come.
        if (!userClicked() && shouldClickAd_) {
            Log::line("Velkora - Erroneous App URL received: %@", webView.request().url);
            fail(kFailedToExtractAppId, 3);
        }
        return;
    }
    // The network's error page is no banner: the load failed.
    if (webView.statusCode() >= 400) {
        auto error = foundation::makeError(kUrlFetcherWrongResponseCodeDomain, webView.statusCode());
        Log::line("Velkora - Failed loading web based ad banner: %@", error->description());
        fail(error);
        return;
    }
    std::string html = webView.bodyInnerHtml();
    if (html.empty()) {
        Log::line("Velkora - No Ad Content Received");
        fail(kNoAdContent, 2);
        return;
    }
    adUrlStr_ = VelkoraAdNetwork::parseAdUrl(html, "Ad").value_or("");
    if (shouldClickAd_) {
        clickReportStr_.clear();
        clickWebView();
        return;
    }
    if (fetchAdUrlCompletionBlk_) {
        auto block = std::move(fetchAdUrlCompletionBlk_);
        fetchAdUrlCompletionBlk_ = nullptr;
        block(adUrlStr_, adUrlStr_.empty() ? foundation::makeError(kFailedParsingAdUrl, 1) : nullptr);
    }
}

void VelkoraAdDetailsFetcher::clickWebView() {
    auto keep = shared_from_this();
    adClicked_ = true;
    if (userClicked()) {
        VelkoraLogEventsManager::instance().logEvent(clickReportStr_);
        VelkoraServerApi::reporEventNow("adClick", foundation::format("VENDOR%d_none|4", 2));
    }
    std::string href = internalWebView_ ? internalWebView_->firstLinkHref() : std::string();
    if (href.empty()) {
        // A page without a link leads nowhere: waiting would keep this fetch for ever.
        fail(kFailedParsingAdUrl, 1);
        return;
    }
    internalWebView_->setLocation(href);
}

bool VelkoraAdDetailsFetcher::webViewShouldStartLoadWithRequest(ui::WebView& webView,
                                                                const foundation::UrlRequest& request,
                                                                int /*navigationType*/) {
    if (!adClicked_ || !VelkoraAdNetwork::isStoreAddress(request.url)) return true;
    auto keep = shared_from_this();
    std::string url = request.url;
    webView.stopLoading();
    if (userClicked()) {
        ui::Application::instance().openURL(url);
        return false;
    }
    adUrlStr_ = url;
    auto appId = VelkoraAdNetwork::extractAppId(url);
    if (appId && !appId->empty())
        fetchAppDetails(*appId);
    else
        fail(kFailedToExtractAppId, 3);
    return false;
}

void VelkoraAdDetailsFetcher::webViewDidFailLoadWithError(ui::WebView& /*webView*/, const foundation::ErrorPtr& error) {
    if (!error) return;
    // A cancelled load, and the interrupted load that ends a hop to the store, are expected.
    if (error->code == kCancelledLoad) return;
    if (error->domain == ui::kWebKitErrorDomain && error->code == ui::kWebKitErrorFrameLoadInterrupted) return;
    auto keep = shared_from_this();
    Log::line("Velkora - Failed loading web based ad banner: %@", error->description());
    fail(error);
}

void VelkoraAdDetailsFetcher::fetchAppDetails(const std::string& appId) {
    if (!appDetailsUrlFetcher_) appDetailsUrlFetcher_ = VelkoraUrlFetcher::create(weak_from_this());
    appDetailsUrlFetcher_->getUrl(
        services::OutsideEndpoints::url(services::OutsideEndpoints::Service::StoreLookup, "lookup?id=" + appId));
}

void VelkoraAdDetailsFetcher::urlDidFinishWithString(VelkoraUrlFetcher& /*fetcher*/,
                                                     const std::optional<std::string>& text) {
    auto keep = shared_from_this();
    std::optional<Value> reply = text ? VelkoraKXJsonParser().objectWithString(*text) : std::nullopt;
    if (!reply || !reply->isDictionary()) {
        Log::line("Velkora - internal error: cannot parse response");
        fail(kInternalError, 4);
        return;
    }
    const Value& count = (*reply)["resultCount"];
    const Value& first = (*reply)["results"].at(0);
    if ((count.isNumber() && count.int64Or(0) == 0) || !first.isDictionary()) {
        Log::line("Velkora - App not found !!");
        fail(kAppNotFound, 5);
        return;
    }
    auto ad = std::make_shared<VelkoraNativeAd>();
    ad->setName(textOf(first["trackName"]));
    ad->setDescription(textOf(first["description"]));
    ad->setUrl(adUrlStr_);
    auto large = textOf(first["artworkUrl512"]);
    if (large && !large->empty())
        ad->setIcon(VelkoraAdNetwork::fixImageUrlSize(*large));
    else
        ad->setIcon(textOf(first["artworkUrl60"]));
    finishDetails(ad);
}

void VelkoraAdDetailsFetcher::urlGotError(VelkoraUrlFetcher& /*fetcher*/, const foundation::ErrorPtr& error) {
    auto keep = shared_from_this();
    Log::line("Velkora - Failed fetching app details: %@", error ? error->description() : std::string());
    fail(error ? error : foundation::makeError(kInternalError, 4));
}

} // namespace velkora
