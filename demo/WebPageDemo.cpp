// What a host sees of the kit's web view: the terms page its configuration names, a link followed through
// the page's old address to a page with a framed video, the way back, and an ad banner whose link ends at
// the store's address of another application, which the application is asked to open.
#include <fstream>
#include <memory>
#include <string>

#include "DemoSteps.h"
#include "platform/foundation/RunLoop.h"
#include "platform/services/OutsideEndpoints.h"
#include "platform/ui/Application.h"
#include "platform/ui/TouchRouter.h"
#include "platform/ui/WebView.h"
#include "platform/ui/Window.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppData.h"
#include "velkora_service/Service.h"
#include "velkora_service/WebPages.h"

namespace {

using namespace velkora;

// Tells the person what the page does, and hands the store's addresses to the application as the kit's
// ad screens do.
struct Narrator : ui::WebViewDelegate {
    explicit Narrator(demo::Demo& d) : demo(d) {}
    demo::Demo& demo;
    int failures = 0;
    bool webViewShouldStartLoadWithRequest(ui::WebView& view, const foundation::UrlRequest& request,
                                           int navigationType) override {
        demo.say(std::string(navigationType == 0 ? "the user tapped a link to " : "the page loads ") + request.url);
        if (foundation::urlScheme(request.url).find("itms") == std::string::npos) return true;
        view.stopLoading();
        ui::Application::instance().openURL(request.url);
        return false;
    }
    void webViewDidFinishLoad(ui::WebView& view) override {
        demo.say(view.isLoading() ? "a part of the page finished; more is loading"
                                  : "page finished: \"" + view.documentTitle() + "\"");
    }
    void webViewDidFailLoadWithError(ui::WebView&, const foundation::ErrorPtr& error) override {
        if (error && error->code == foundation::kUrlErrorCancelled) return; // stopped for the store
        ++failures;
        demo.say("the page did not load" + (error ? ": " + error->description() : std::string()));
    }
};

bool loadAndWait(demo::Demo& demo, ui::WebView& view) {
    return demo.loop().runUntil([&] { return !view.isLoading(); }, 20);
}

} // namespace

VELKORA_DEMO_STEP(webPage, 450, DemoStep::NeedsService) {
    if (!demo.ensureSession()) return false;
    auto& agent = VelkoraAgentInternal::instance();
    demo.loop().runUntil([&] { return agent.appData() && agent.appData()->termsOfUse(); }, 10);
    std::string terms = agent.appData() && agent.appData()->termsOfUse()
                            ? *agent.appData()->termsOfUse()
                            : services::OutsideEndpoints::serviceHost() + service::kTermsPagePath;
    demo.say("the configuration names the terms page " + terms);

    auto window = ui::Window::createFullScreen();
    auto view = ui::WebView::create(window->bounds());
    window->addSubview(view);
    window->makeKeyAndVisible();
    auto narrator = std::make_shared<Narrator>(demo);
    view->setDelegate(narrator);
    ui::Application::instance().clearOpenedURLs();

    view->loadRequest(foundation::UrlRequest::get(terms));
    bool shown = loadAndWait(demo, *view) && view->documentTitle() == "Terms of Use";
    demo.writePng(*view, "web_page_terms");

    // The person taps the last link of the page.
    size_t last = view->links().size();
    auto boxes = last ? view->rectsForLink(last - 1) : std::vector<ui::Rect>{};
    if (!boxes.empty()) {
        ui::TouchDriver driver(window);
        driver.tap(view->convertPointToView(boxes.front().center(), nullptr));
        driver.wait(0.5);
    }
    shown = loadAndWait(demo, *view) && !boxes.empty() && view->documentTitle() == "Community Rules" && shown;
    demo.writePng(*view, "web_page_community");
    view->goBack();
    shown = loadAndWait(demo, *view) && view->documentTitle() == "Terms of Use" && shown;

    // The ad network's banner for this application, and where its link leads.
    std::string ad = services::OutsideEndpoints::url(services::OutsideEndpoints::Service::AdNetwork, "ad") +
                     "?sdk_key=" + service::kAdNetworkSdkKey + "&package_name=" + demo.appId() +
                     "&format=html&size=BANNER&platform=ios&hudid=demo";
    view->loadRequest(foundation::UrlRequest::get(ad));
    shown = loadAndWait(demo, *view) && !view->firstLinkHref().empty() && shown;
    demo.writePng(*view, "web_page_ad_banner");
    view->setLocation(view->firstLinkHref());
    loadAndWait(demo, *view);

    const auto& opened = ui::Application::instance().openedURLs();
    std::ofstream out(demo.outputDir() + "/web_opened_urls.txt");
    for (const auto& url : opened)
        out << url << "\n";
    demo.say("the application was asked to open " + std::to_string(opened.size()) + " address(es), listed in " +
             demo.outputDir() + "/web_opened_urls.txt");
    shown = shown && opened.size() == 1 && narrator->failures == 0;
    view->setDelegate(nullptr);
    window->setHidden(true);
    return shown;
}
