#include "shell/VelkoraGeneralWebViewController.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Label.h"

namespace velkora {

using foundation::Log;

namespace {

// Only web pages are shown here: a file or another application's address would read the device's files
// or leave the kit.
bool isWebAddress(const std::string& url) {
    std::string scheme = foundation::urlScheme(url);
    return scheme == "http" || scheme == "https";
}

foundation::ErrorPtr loadError(int64_t code, const std::string& description, const std::string& url,
                               long statusCode = 0) {
    foundation::Dictionary info;
    info.set("description", foundation::Value(description));
    info.set("url", foundation::Value(url));
    if (statusCode) info.set("statusCode", foundation::Value(int64_t(statusCode)));
    return foundation::makeError(foundation::kUrlConnectionErrorDomain, code, foundation::Value(std::move(info)));
}

} // namespace

VelkoraGeneralWebViewController::VelkoraGeneralWebViewController() : VelkoraGeneralFeatureViewController(kNibName) {}

VelkoraGeneralWebViewController::~VelkoraGeneralWebViewController() {
    // The page may still be arriving: nothing of it may reach a screen that is gone.
    if (linkWebView_) {
        linkWebView_->stopLoading();
        linkWebView_->setDelegate(nullptr);
    }
}

std::shared_ptr<VelkoraGeneralWebViewController>
VelkoraGeneralWebViewController::initFromNibWithLink(std::string linkUrl) {
    auto screen = std::make_shared<VelkoraGeneralWebViewController>();
    screen->setLinkUrl(std::move(linkUrl));
    return screen;
}

void VelkoraGeneralWebViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraGeneralFeatureViewController::registerInterfaceBindings(b);
    b.outlet("linkWebView", linkWebView_);
    b.outlet("activityIndicator", activityIndicator_);
}

void VelkoraGeneralWebViewController::viewDidLoad() {
    setStyleScreenIdentifier(kStyleScreenIdentifier);
    VelkoraGeneralFeatureViewController::viewDidLoad();
    if (!linkWebView_) {
        Log::line("Velkora (E) - %@: the interface file has no web view", className());
        return;
    }
    linkWebView_->setHidden(false);
    linkWebView_->setDelegate(sharedAs<VelkoraGeneralWebViewController>());
    if (activityIndicator_) activityIndicator_->startAnimating();
    if (!isWebAddress(linkUrl_)) {
        loadFailed(loadError(foundation::kUrlErrorUnsupportedUrl, "unsupported URL", linkUrl_));
        return;
    }
    linkWebView_->loadRequest(foundation::UrlRequest::get(linkUrl_));
}

bool VelkoraGeneralWebViewController::webViewShouldStartLoadWithRequest(ui::WebView& webView,
                                                                        const foundation::UrlRequest& request,
                                                                        int /*navigationType*/) {
    if (isWebAddress(request.url)) return true;
    // A link to a file or to another application's address is not followed; the page stays.
    Log::line("General WebView failed loading web page due to the following error: %@",
              loadError(foundation::kUrlErrorUnsupportedUrl, "unsupported URL", request.url));
    if (activityIndicator_ && !webView.isLoading()) activityIndicator_->stopAnimating();
    return false;
}

void VelkoraGeneralWebViewController::webViewDidFinishLoad(ui::WebView& webView) {
    if (webView.isLoading()) return;
    if (activityIndicator_) activityIndicator_->stopAnimating();
    showPageTitle(webView);
    // The server's error page is shown as it came, but the page the user asked for did not load.
    if (webView.statusCode() >= 400)
        Log::line("General WebView failed loading web page due to the following error: %@",
                  loadError(foundation::kUrlErrorBadServerResponse,
                            "HTTP status " + std::to_string(webView.statusCode()), webView.request().url,
                            webView.statusCode()));
}

// The opener names the page it opens; a page reached through its links is named by its own title, and going
// back to the first page gives the opener's name back.
void VelkoraGeneralWebViewController::showPageTitle(ui::WebView& webView) {
    if (!titleLabel()) return;
    const std::string pageTitle = webView.canGoBack() ? webView.documentTitle() : std::string();
    titleLabel()->setText(pageTitle.empty() ? titleText() : pageTitle);
}

void VelkoraGeneralWebViewController::webViewDidFailLoadWithError(ui::WebView&, const foundation::ErrorPtr& error) {
    loadFailed(error);
}

void VelkoraGeneralWebViewController::loadFailed(const foundation::ErrorPtr& error) {
    Log::line("General WebView failed loading web page due to the following error: %@", error);
    if (activityIndicator_) activityIndicator_->stopAnimating();
}

void VelkoraGeneralWebViewController::backTapped(ui::Control* sender) {
    if (linkWebView_ && !linkWebView_->isHidden() && linkWebView_->canGoBack()) {
        linkWebView_->goBack();
        return;
    }
    VelkoraGeneralFeatureViewController::backTapped(sender);
}

bool VelkoraGeneralWebViewController::shouldAutorotateToInterfaceOrientation(int orientation) const {
    return orientation == ui::InterfaceOrientationPortrait;
}

} // namespace velkora
