#include "conversations/VelkoraGeneralSystemMessageViewController.h"

#include "conversations/VelkoraEnhancedKeyboardView.h"
#include "conversations/VelkoraInboxScreens.h"
#include "session/VelkoraChatsRepository.h"
#include "data/VelkoraUsersRepository.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Application.h"
#include "platform/ui/BarItems.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "server/VelkoraServerApi.h"
#include "session/VelkoraStyleSheetCustomizer.h"

namespace velkora {

using foundation::Log;

VelkoraGeneralSystemMessageViewController::VelkoraGeneralSystemMessageViewController()
    : VelkoraGeneralFeatureViewController(VelkoraEnhancedKeyboardView::interfaceName(kInterface)) {}

std::shared_ptr<VelkoraGeneralSystemMessageViewController>
VelkoraGeneralSystemMessageViewController::create(VelkoraMessagePtr message) {
    registerInboxViewClasses();
    auto screen =
        std::shared_ptr<VelkoraGeneralSystemMessageViewController>(new VelkoraGeneralSystemMessageViewController());
    screen->setMessage(std::move(message));
    return screen;
}

VelkoraGeneralSystemMessageViewController::~VelkoraGeneralSystemMessageViewController() {
    VelkoraServerApi::clearUserDelegate(this);
    if (linkWebView_) {
        linkWebView_->stopLoading();
        linkWebView_->setDelegate(nullptr);
    }
}

void VelkoraGeneralSystemMessageViewController::registerInterfaceBindings(ui::InterfaceBindings& b) {
    VelkoraGeneralFeatureViewController::registerInterfaceBindings(b);
    b.outlet("messageTitle", messageTitle_);
    b.outlet("linkWebView", linkWebView_);
    b.outlet("startChatButton", startChatButton_);
    b.action("startChatClicked:", this, &VelkoraGeneralSystemMessageViewController::startChatClicked);
}

std::string VelkoraGeneralSystemMessageViewController::linkAddress(const std::string& extraData) {
    return extraData.rfind("http", 0) == 0 ? extraData : "http://" + extraData;
}

void VelkoraGeneralSystemMessageViewController::viewDidLoad() {
    setStyleScreenIdentifier(kScreenId);
    VelkoraGeneralFeatureViewController::viewDidLoad();
    if (messageTitle_) messageTitle_->setText(message_ ? message_->messageName().value_or("") : "");
    if (titleLabel() && titleText().empty())
        titleLabel()->setText(message_ ? message_->messageName().value_or("") : "");
    if (startChatButton_ && startChatButton_->currentTitle().empty())
        startChatButton_->setTitle(foundation::Bundle::main().localizedString("velkora_text_start_chat"));
    if (linkWebView_) {
        linkWebView_->setHidden(false);
        linkWebView_->setDelegate(sharedAs<VelkoraGeneralSystemMessageViewController>());
    }
    auto d = featureTabDelegate();
    if (d && d->isTopPanelHidden() && startChatButton_) {
        if (topPanelView()) removeConstraintsForView(startChatButton_.get(), topPanelView().get());
        startChatButton_->setTranslatesAutoresizingMaskIntoConstraints(true);
        navigationItem().setRightBarButtonItem(ui::BarButtonItem::withCustomView(startChatButton_));
    }
    if (message_ && message_->contentType().value_or("") == "text/link") {
        loadLinkToWebview();
    } else if (linkWebView_) {
        linkWebView_->setBackgroundColor(ui::Color::clear());
        linkWebView_->setOpaque(false);
        linkWebView_->setScalesPageToFit(false);
        linkWebView_->loadHTMLString(message_ ? message_->extraData().value_or("") : "", {});
    }
    // Added for hosts that show it; the page's own progress is not tracked.
    activityIndicator_ = ui::ActivityIndicatorView::create(ui::ActivityIndicatorViewStyle::WhiteLarge);
    activityIndicator_->setTag(kActivityIndicatorTag);
    activityIndicator_->setHidesWhenStopped(true);
    if (view()) {
        activityIndicator_->setCenter({view()->bounds().width() / 2, view()->bounds().height() / 2});
        view()->addSubview(activityIndicator_);
    }
    VelkoraStyleSheetCustomizer::instance().customizeInboxComposeButton(startChatButton_.get(), kScreenId);
    userSawChatMessages();
}

void VelkoraGeneralSystemMessageViewController::loadLinkToWebview() {
    if (!linkWebView_ || !message_ || message_->contentType().value_or("") != "text/link") return;
    linkWebView_->loadRequest(foundation::UrlRequest::get(linkAddress(message_->extraData().value_or(""))));
}

void VelkoraGeneralSystemMessageViewController::userSawChatMessages() {
    if (!message_ || !message_->sender() || !message_->sender()->userId()) return;
    VelkoraChatsRepository::instance().setChatWasViewed(*message_->sender()->userId());
}

void VelkoraGeneralSystemMessageViewController::backTapped(ui::Control* sender) {
    if (linkWebView_ && !linkWebView_->isHidden() && linkWebView_->canGoBack()) {
        linkWebView_->goBack();
        return;
    }
    VelkoraGeneralFeatureViewController::backTapped(sender);
}

void VelkoraGeneralSystemMessageViewController::startChatClicked(ui::Control*) {
    pushChatScreen(*this, VelkoraUsersRepository::instance().userWithId("_OWNER"));
}

void VelkoraGeneralSystemMessageViewController::webViewFinished() {}

void VelkoraGeneralSystemMessageViewController::webViewError() {
    Log::line("Velkora - Failed to load custom web view");
}

void VelkoraGeneralSystemMessageViewController::webViewDidFinishLoad(ui::WebView& webView) {
    if (webView.isLoading()) return;
    // The server's error page shows as it came, but the page itself did not load.
    if (webView.statusCode() >= 400)
        webViewError();
    else
        webViewFinished();
}

void VelkoraGeneralSystemMessageViewController::webViewDidFailLoadWithError(ui::WebView&, const foundation::ErrorPtr&) {
    webViewError();
}

bool VelkoraGeneralSystemMessageViewController::shouldAutorotateToInterfaceOrientation(int orientation) const {
    return orientation == ui::InterfaceOrientationPortrait;
}

} // namespace velkora
