// The web page screen against the service's own pages: the spinner while the page loads, the back button
// walking the page history before it leaves, failures that leave the screen open, addresses that are not
// web pages, and the screen as a person sees it on a phone and a tablet.
#include "ShellServiceFixture.h"
#include "WidgetSnapshot.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Snapshot.h"
#include "platform/ui/Window.h"
#include "session/VelkoraScreenRegistry.h"
#include "shell/VelkoraGeneralWebViewController.h"
#include "shell/VelkoraShellScreens.h"
#include "velkora_service/WebPages.h"

using namespace velkora;
using namespace velkora::testing;

namespace {

constexpr const char* kFailureLine = "General WebView failed loading web page due to the following error: ";

struct BackRecorder : VelkoraGeneralFeatureViewControllerDelegate {
    std::vector<std::string> calls;
    void didClickBack() override { calls.push_back("didClickBack"); }
    void didClose() override { calls.push_back("didClose"); }
    void backToPanel() override { calls.push_back("backToPanel"); }
    bool isUsingPopover() override { return false; }
    bool isTopPanelHidden() override { return false; }
    bool isOpenedAsFeature() override { return true; }
};

class WebPageScreenTest : public ShellServiceTest {
protected:
    void SetUp() override {
        ShellServiceTest::SetUp();
        ui::InterfaceLoader::instance().reset();
        VelkoraScreenRegistry::instance().resetForTests();
        container = std::make_shared<BackRecorder>();
    }
    void TearDown() override {
        if (window) window->setHidden(true);
        window.reset();
        screen.reset();
        VelkoraScreenRegistry::instance().resetForTests();
        ui::InterfaceLoader::instance().reset();
        ui::Device::current().setUserInterfaceIdiom(ui::UserInterfaceIdiom::Phone);
        ui::Screen::main().setBounds({0, 0, 320, 568});
        ui::Application::instance().resetForTests();
        ShellServiceTest::TearDown();
    }

    std::string page(const char* path) const { return svc.baseUrl() + path; }

    // The screen, made by its feature name, on a navigation stack of its own in a window of the screen's size.
    void open(const std::string& link, const std::string& title = "Terms of Use") {
        registerShellScreens();
        auto made = VelkoraScreenRegistry::instance().makeScreen(
            kWebPageFeatureName,
            foundation::Dictionary{{"link", foundation::Value(link)}, {"title", foundation::Value(title)}});
        screen = std::dynamic_pointer_cast<VelkoraGeneralWebViewController>(made);
        ASSERT_TRUE(screen);
        screen->setFeatureTabDelegate(container);
        auto nav = ui::NavigationController::create();
        nav->setViewControllers({screen}, false);
        nav->setNavigationBarHidden(true);
        window = ui::Window::create(ui::Screen::main().bounds());
        window->setRootViewController(nav);
        window->makeKeyAndVisible();
        screen->view();
        ui::Application::instance().layoutWindows();
    }
    ui::WebView& web() { return *screen->linkWebView(); }
    bool spinning() const { return screen->activityIndicator()->isAnimating(); }
    bool pageLoaded() {
        return waitFor([&] { return !web().isLoading(); });
    }
    // Follows the page's n-th link as a tap on its words does.
    void followLink(size_t index) {
        auto boxes = web().rectsForLink(index);
        ASSERT_FALSE(boxes.empty());
        ASSERT_TRUE(web().tapAt(boxes.front().center()));
    }
    size_t failures() const { return capture_->count(kFailureLine); }

    std::shared_ptr<BackRecorder> container;
    std::shared_ptr<VelkoraGeneralWebViewController> screen;
    std::shared_ptr<ui::Window> window;
};

TEST_F(WebPageScreenTest, TheTermsLoadUnderTheSpinnerAndBackWalksThePagesBeforeLeaving) {
    open(page(service::kTermsPagePath));
    EXPECT_EQ(screen->styleScreenIdentifier(), 37u);
    EXPECT_EQ(screen->titleLabel()->text(), "Terms of Use");
    EXPECT_FALSE(web().isHidden());
    EXPECT_TRUE(spinning());
    ASSERT_TRUE(pageLoaded());
    EXPECT_FALSE(spinning());
    EXPECT_EQ(web().documentTitle(), "Terms of Use");
    EXPECT_EQ(svc.requestsFor(service::kTermsPagePath).size(), 1u);

    followLink(0);
    ASSERT_TRUE(pageLoaded());
    EXPECT_EQ(web().documentTitle(), "Privacy Policy");
    EXPECT_EQ(screen->titleLabel()->text(), "Privacy Policy") << "the title names the page shown";

    screen->backButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    ASSERT_TRUE(pageLoaded());
    EXPECT_EQ(web().documentTitle(), "Terms of Use");
    EXPECT_EQ(screen->titleLabel()->text(), "Terms of Use");
    EXPECT_TRUE(container->calls.empty()) << "the first step back stays on the screen";

    screen->backButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    EXPECT_EQ(container->calls, std::vector<std::string>{"didClickBack"});
    EXPECT_EQ(failures(), 0u);
}

TEST_F(WebPageScreenTest, AFrameStillLoadingKeepsTheSpinnerRunning) {
    svc.addWebPage("framed", "Framed", "<p>The rules, framed.</p><iframe src=\"/pages/privacy\"></iframe>");
    // The frame's reply is held until the page has been looked at.
    svc.addFault({service::kPrivacyPagePath, service::Fault::Kind::Delay, "", 0, 120, 1});
    open(page("/pages/framed"));
    ASSERT_TRUE(waitFor([&] { return web().documentTitle() == "Framed"; }));
    EXPECT_TRUE(web().isLoading());
    EXPECT_TRUE(spinning()) << "the page finished, its frame has not";
    svc.releaseDelays();
    ASSERT_TRUE(pageLoaded());
    EXPECT_FALSE(spinning());
    EXPECT_EQ(failures(), 0u);
}

// Each failure leaves the screen open, stops the spinner and says so once.
struct FailureCase {
    const char* name;
    service::Fault::Kind kind;
    int status;
    int times;
};

class WebPageFailureTest : public WebPageScreenTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(WebPageFailureTest, LeavesTheScreenOpenWithTheSpinnerStoppedAndOneLine) {
    const FailureCase& c = GetParam();
    foundation::UrlConnection::closeIdleConnections();
    svc.addFault({service::kTermsPagePath, c.kind, "", c.status, 0, c.times});
    open(page(service::kTermsPagePath));
    ASSERT_TRUE(pageLoaded());
    ASSERT_TRUE(waitFor([&] { return !spinning(); }));
    EXPECT_EQ(failures(), 1u) << ::testing::PrintToString(capture_->lines());
    EXPECT_TRUE(container->calls.empty());
    EXPECT_TRUE(window->rootViewController());
    EXPECT_FALSE(logged("Velkora - General WebView")) << "the line carries no prefix";
}

INSTANTIATE_TEST_SUITE_P(Failures, WebPageFailureTest,
                         ::testing::Values(FailureCase{"dropped", service::Fault::Kind::Drop, 0, 2},
                                           FailureCase{"status500", service::Fault::Kind::HttpStatus, 500, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(WebPageScreenTest, AddressesThatAreNotWebPagesAreNeverLoaded) {
    // Opened on a file: nothing is read, the spinner stops, the failure is told.
    open("file:///etc/hostname");
    EXPECT_FALSE(web().isLoading());
    EXPECT_FALSE(spinning());
    EXPECT_EQ(failures(), 1u);
    EXPECT_TRUE(web().document().text().empty());
    window->setHidden(true);

    // A link to a file inside a served page is refused; the page stays.
    svc.addWebPage("files", "Files", "<p>Look at <a href=\"file:///etc/hostname\">this file</a>.</p>");
    open(page("/pages/files"));
    ASSERT_TRUE(pageLoaded());
    capture_->clear();
    followLink(0);
    EXPECT_FALSE(web().isLoading());
    EXPECT_EQ(web().documentTitle(), "Files");
    EXPECT_EQ(failures(), 1u);
    EXPECT_FALSE(web().canGoBack());
}

TEST_F(WebPageScreenTest, OnlyPortraitAndAClosedScreenHearsNothingMore) {
    svc.addFault({service::kTermsPagePath, service::Fault::Kind::Delay, "", 0, 0.3, 1});
    open(page(service::kTermsPagePath));
    for (int orientation : {1, 2, 3, 4})
        EXPECT_EQ(screen->shouldAutorotateToInterfaceOrientation(orientation), orientation == 1) << orientation;
    ASSERT_TRUE(web().isLoading());
    std::weak_ptr<ui::WebView> webView = screen->linkWebView();
    auto keepView = webView.lock();
    window->setHidden(true);
    window.reset();
    screen.reset();
    // The closed screen stopped the load and let go of the web view's delegate slot.
    EXPECT_FALSE(keepView->isLoading());
    EXPECT_FALSE(keepView->delegate());
    EXPECT_EQ(failures(), 0u);
}

TEST_F(WebPageScreenTest, PicturesOnPhoneAndTablet) {
    startAt(std::nullopt);
    serveConfiguration(R"({"appName":"Velkora Test","leadingColor":3046706})");
    for (bool tablet : {false, true}) {
        SCOPED_TRACE(tablet ? "tablet" : "phone");
        if (tablet) {
            ui::Device::current().setUserInterfaceIdiom(ui::UserInterfaceIdiom::Pad);
            ui::Screen::main().setBounds({0, 0, 768, 1024});
        }
        open(page(service::kTermsPagePath));
        ASSERT_TRUE(pageLoaded());
        ui::Application::instance().layoutWindows();
        expectMatchesReference(ui::Snapshot::imageOfView(*window), tablet ? "web_page_tablet" : "web_page_phone");
        window->setHidden(true);
    }
}

} // namespace
