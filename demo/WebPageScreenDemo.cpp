// What a host sees when the kit shows its terms page: the web page screen on the served terms, under the
// kit's top panel, then a link followed and the back button walking back to the terms.
#include <memory>
#include <string>

#include "DemoHost.h"
#include "DemoSteps.h"
#include "platform/foundation/RunLoop.h"
#include "platform/services/OutsideEndpoints.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Window.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppData.h"
#include "session/VelkoraScreenRegistry.h"
#include "shell/VelkoraGeneralWebViewController.h"
#include "shell/VelkoraShellScreens.h"
#include "velkora_service/WebPages.h"

namespace {

using namespace velkora;

struct WebPageContainer : VelkoraGeneralFeatureViewControllerDelegate {
    explicit WebPageContainer(demo::Demo& d) : demo(d) {}
    demo::Demo& demo;
    bool leftScreen = false;
    void didClickBack() override {
        leftScreen = true;
        demo.say("back from the terms page: the screen handed back to its container");
    }
    void didClose() override {}
    void backToPanel() override {}
    bool isUsingPopover() override { return false; }
    bool isTopPanelHidden() override { return false; }
    bool isOpenedAsFeature() override { return true; }
};

} // namespace

VELKORA_DEMO_STEP(webPageScreen, 455, DemoStep::NeedsService) {
    if (!demo.ensureSession()) return false;
    auto& agent = VelkoraAgentInternal::instance();
    demo.loop().runUntil([&] { return agent.appData() && agent.appData()->termsOfUse(); }, 10);
    std::string terms = agent.appData() && agent.appData()->termsOfUse()
                            ? *agent.appData()->termsOfUse()
                            : services::OutsideEndpoints::serviceHost() + service::kTermsPagePath;

    registerShellScreens();
    auto screen =
        std::dynamic_pointer_cast<VelkoraGeneralWebViewController>(VelkoraScreenRegistry::instance().makeScreen(
            kWebPageFeatureName,
            foundation::Dictionary{{"link", foundation::Value(terms)}, {"title", foundation::Value("Terms of Use")}}));
    if (!screen) {
        demo.say("the web page screen is not part of this build");
        return false;
    }
    auto container = std::make_shared<WebPageContainer>(demo);
    auto window = demo::showAsHostScreen(screen, container).window;
    screen->view();
    ui::Application::instance().layoutWindows();
    auto web = screen->linkWebView();
    if (!web) return false;
    demo.say(std::string("the web page screen opened on ") + terms + ", spinner " +
             (screen->activityIndicator()->isAnimating() ? "turning" : "still"));
    auto loaded = [&] { return demo.loop().runUntil([&] { return !web->isLoading(); }, 20); };
    bool shown = loaded() && web->documentTitle() == "Terms of Use" && !screen->activityIndicator()->isAnimating();
    ui::Application::instance().layoutWindows();
    shown = demo.writePng(*window, "web_page_screen_terms") && shown;

    // The person follows the page's first link, then taps back twice.
    auto boxes = web->rectsForLink(0);
    shown = !boxes.empty() && web->tapAt(boxes.front().center()) && loaded() && shown;
    demo.say("followed a link to \"" + web->documentTitle() + "\"");
    shown = demo.writePng(*window, "web_page_screen_followed") && shown;
    screen->backButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    shown = loaded() && web->documentTitle() == "Terms of Use" && shown;
    demo.say("back on \"" + web->documentTitle() + "\"");
    screen->backButton()->sendActionsForControlEvents(ui::ControlEventTouchUpInside);
    window->setHidden(true);
    return shown && container->leftScreen;
}
