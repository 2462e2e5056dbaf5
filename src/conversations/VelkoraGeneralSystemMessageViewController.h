// One system message of the application's owner: its title, and in a web view the page it links to or
// the HTML it carries, with a button that starts a chat with the owner. Opening it marks the owner's
// chat viewed.
#pragma once

#include <cstdint>
#include <memory>

#include "data/VelkoraMessageInternal.h"
#include "platform/ui/WebView.h"
#include "shell/VelkoraGeneralFeatureViewController.h"

namespace velkora {

namespace ui {
class ActivityIndicatorView;
}

class VelkoraGeneralSystemMessageViewController : public VelkoraGeneralFeatureViewController,
                                                  public ui::WebViewDelegate {
public:
    static constexpr uint32_t kScreenId = 20;
    static constexpr const char* kInterface = "VelkoraGeneralSystemMessageList";
    static constexpr int kActivityIndicatorTag = 8013;

    static std::shared_ptr<VelkoraGeneralSystemMessageViewController> create(VelkoraMessagePtr message = nullptr);
    ~VelkoraGeneralSystemMessageViewController() override;
    const char* className() const override { return "VelkoraGeneralSystemMessageViewController"; }

    // Set before the view loads.
    const VelkoraMessagePtr& message() const { return message_; }
    void setMessage(VelkoraMessagePtr m) { message_ = std::move(m); }

    void viewDidLoad() override;
    void loadLinkToWebview();
    void backTapped(ui::Control* sender) override;
    void userSawChatMessages();
    void startChatClicked(ui::Control* sender);
    void webViewFinished();
    void webViewError();
    bool shouldAutorotateToInterfaceOrientation(int orientation) const override;

    void webViewDidFinishLoad(ui::WebView& webView) override;
    void webViewDidFailLoadWithError(ui::WebView& webView, const foundation::ErrorPtr& error) override;

    // The address a "text/link" message opens: its text, with "http://" in front unless it starts with
    // "http".
    static std::string linkAddress(const std::string& extraData);

    const std::shared_ptr<ui::Label>& messageTitle() const { return messageTitle_; }
    const std::shared_ptr<ui::WebView>& linkWebView() const { return linkWebView_; }
    const std::shared_ptr<ui::Button>& startChatButton() const { return startChatButton_; }

    void registerInterfaceBindings(ui::InterfaceBindings& bindings) override;

private:
    VelkoraGeneralSystemMessageViewController();

    VelkoraMessagePtr message_;
    std::shared_ptr<ui::Label> messageTitle_;
    std::shared_ptr<ui::WebView> linkWebView_;
    std::shared_ptr<ui::Button> startChatButton_;
    std::shared_ptr<ui::ActivityIndicatorView> activityIndicator_;
};

} // namespace velkora
