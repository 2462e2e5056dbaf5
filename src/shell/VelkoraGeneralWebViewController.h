// The feature screen that shows one web page inside the kit (terms, privacy policy), under the kit's top
// panel, with a spinner while the page loads and a back button that walks the page history first.
#pragma once

#include <memory>
#include <string>

#include "platform/ui/WebView.h"
#include "shell/VelkoraGeneralFeatureViewController.h"

namespace velkora {

namespace ui {
class ActivityIndicatorView;
}

class VelkoraGeneralWebViewController : public VelkoraGeneralFeatureViewController, public ui::WebViewDelegate {
public:
    static constexpr uint32_t kStyleScreenIdentifier = 37;
    static constexpr const char* kNibName = "VelkoraGeneralWebView";

    VelkoraGeneralWebViewController();
    ~VelkoraGeneralWebViewController() override;
    static std::shared_ptr<VelkoraGeneralWebViewController> initFromNibWithLink(std::string linkUrl);

    const char* className() const override { return "VelkoraGeneralWebViewController"; }

    const std::string& linkUrl() const { return linkUrl_; }
    void setLinkUrl(std::string url) { linkUrl_ = std::move(url); }
    const std::shared_ptr<ui::WebView>& linkWebView() const { return linkWebView_; }
    const std::shared_ptr<ui::ActivityIndicatorView>& activityIndicator() const { return activityIndicator_; }

    void viewDidLoad() override;
    void backTapped(ui::Control* sender) override;
    bool shouldAutorotateToInterfaceOrientation(int orientation) const override;

    // Only web addresses load; any other link is refused with the failure line.
    bool webViewShouldStartLoadWithRequest(ui::WebView& webView, const foundation::UrlRequest& request,
                                           int navigationType) override;
    // The spinner stops once nothing of the page is loading any more.
    void webViewDidFinishLoad(ui::WebView& webView) override;
    void webViewDidFailLoadWithError(ui::WebView& webView, const foundation::ErrorPtr& error) override;

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    void loadFailed(const foundation::ErrorPtr& error);
    void showPageTitle(ui::WebView& webView);

    std::string linkUrl_;
    std::shared_ptr<ui::WebView> linkWebView_;
    std::shared_ptr<ui::ActivityIndicatorView> activityIndicator_;
};

} // namespace velkora
