// What a host sees of a kit screen's frame: a small feature screen of the demo's own on the kit's
// feature-screen base, with the application's name and colour from the service and the inbox badge, first
// as the kit draws it and then restyled by a sample host style sheet.
#include <memory>
#include <string>

#include "DemoHost.h"
#include "DemoSteps.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Application.h"
#include "platform/ui/Button.h"
#include "platform/ui/Font.h"
#include "platform/ui/InterfaceLoader.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Window.h"
#include "session/VelkoraAgentInternal.h"
#include "data/VelkoraAppSettings.h"
#include "shell/VelkoraGeneralFeatureViewController.h"
#include "session/VelkoraStyleSheetCustomizer.h"

namespace {

using namespace velkora;

// The demo's screen: the base's top panel over a short text and a button of its own.
constexpr const char* kScreenInterface = R"({
  "objects": [
    {"class": "View", "id": "root", "frame": [0, 0, 320, 568], "outlets": ["view"], "properties": {"backgroundColor": "#FFFFFF"},
     "subviews": [
       {"class": "ImageView", "id": "background", "frame": [0, 0, 320, 568], "outlets": ["backgroundView"], "properties": {"backgroundColor": "#F2F3F5"}},
       {"class": "View", "id": "panel", "frame": [0, 20, 320, 64], "outlets": ["topPanelView"],
        "subviews": [
          {"class": "View", "frame": [0, 0, 320, 64], "outlets": ["aboveNavBarView"]},
          {"class": "ImageView", "frame": [0, 61, 320, 3], "outlets": ["navBarImageView"], "properties": {"backgroundColor": "#00000040"}},
          {"class": "Button", "frame": [6, 16, 50, 32], "outlets": ["backButton"],
           "properties": {"title": "Back", "titleColor": "#FFFFFF", "font": {"size": 14, "bold": true}, "borderColor": "#FFFFFF", "borderWidth": 1, "cornerRadius": 6},
           "actions": [{"selector": "backTapped:", "event": "touchUpInside", "target": "owner"}]},
          {"class": "Label", "frame": [64, 6, 150, 20], "outlets": ["appNameLabel"], "properties": {"font": 11, "textColor": "#FFFFFFCC"}},
          {"class": "Label", "frame": [64, 26, 160, 30], "outlets": ["titleLabel"], "properties": {"font": {"size": 18, "bold": true}, "textColor": "#FFFFFF"}},
          {"class": "View", "frame": [226, 14, 40, 36], "outlets": ["profileButtonView"],
           "subviews": [
             {"class": "Button", "frame": [0, 6, 30, 30], "properties": {"image": "VelImg_MessagesIcon"},
              "actions": [{"selector": "profileButtonClicked:", "event": "touchUpInside", "target": "owner"}]},
             {"class": "View", "frame": [20, 0, 20, 20], "outlets": ["profileBadgeView"], "properties": {"backgroundColor": "#D9453B", "cornerRadius": 10},
              "subviews": [{"class": "Label", "frame": [0, 0, 20, 20], "outlets": ["profileBadgeLabel"], "properties": {"font": {"size": 11, "bold": true}, "textColor": "#FFFFFF", "textAlignment": "center"}}]}
           ]},
          {"class": "Button", "frame": [274, 8, 40, 48], "outlets": ["appButton"],
           "actions": [{"selector": "appTapped:", "event": "touchUpInside", "target": "owner"}]}
        ]},
       {"class": "View", "id": "content", "frame": [0, 84, 320, 484], "outlets": ["velkoraContentView"],
        "subviews": [
          {"class": "Label", "frame": [16, 24, 288, 60], "properties": {"text": "Every screen of the kit stands on this frame.", "font": 15, "textColor": "#202328", "textAlignment": "center", "numberOfLines": 0}},
          {"class": "Button", "id": "send", "frame": [90, 110, 140, 40], "outlets": ["sendButton"],
           "properties": {"title": "Say hello", "titleColor": "#FFFFFF", "backgroundColor": "#50555C", "cornerRadius": 8, "font": {"size": 15, "bold": true}}}
        ]}
     ]}
  ]
})";

class DemoFeatureScreen : public VelkoraGeneralFeatureViewController {
public:
    const char* className() const override { return "DemoFeatureScreen"; }
    void loadView() override {
        std::shared_ptr<ui::View> root;
        auto objects = ui::InterfaceLoader::instance().loadFromText(kScreenInterface, "DemoFeatureScreen", this, &root);
        if (!root && !objects.empty()) root = objects.front();
        if (root)
            setView(root);
        else
            ui::ViewController::loadView();
    }
    void viewDidLoad() override {
        setTitleText("Hello screen");
        setShouldShowProfileButton(true);
        VelkoraGeneralFeatureViewController::viewDidLoad();
        // The screen's own button goes through a button hook, so a host's default button style reaches it.
        VelkoraStyleSheetCustomizer::instance().customizeSendButton(sendButton().get(), styleScreenIdentifier());
    }
};

// The host's side of the screen: where back and close go.
struct DemoContainer : VelkoraGeneralFeatureViewControllerDelegate {
    explicit DemoContainer(demo::Demo& d) : demo(d) {}
    demo::Demo& demo;
    void didClickBack() override { demo.say("the screen went back to its container"); }
    void didClose() override { demo.say("the user left the kit for the host"); }
    void backToPanel() override {}
    bool isUsingPopover() override { return false; }
    bool isTopPanelHidden() override { return false; }
    bool isOpenedAsFeature() override { return true; }
};

// A host's style sheet: a deep purple bar, a larger golden title and one face for every button.
struct SampleStyleSheet : VelkoraStyleSheetProtocol {
    void customizeNavbarView(ui::View* bar, uint32_t) override {
        bar->setBackgroundColor(ui::Color::fromHex("#6A1B9A"));
    }
    void customizeScreenTitleLabel(ui::View* element, uint32_t) override {
        if (auto* title = dynamic_cast<ui::Label*>(element)) {
            title->setFont(std::make_shared<ui::Font>(ui::Font::boldSystemFont(22)));
            title->setTextColor(ui::Color::fromHex("#FFE082"));
        }
    }
    void customizeContentView(ui::View* content, uint32_t) override {
        content->setBackgroundColor(ui::Color::fromHex("#F3E5F5"));
    }
    void customizeDefaultButtonStyle(ui::View* button, uint32_t) override {
        button->setBackgroundColor(ui::Color::fromHex("#FF7043"));
    }
};

bool showScreen(demo::Demo& demo, const std::shared_ptr<DemoContainer>& container, const std::string& picture) {
    auto screen = std::make_shared<DemoFeatureScreen>();
    auto window = demo::showAsHostScreen(screen, container).window;
    if (!screen->view() || !screen->titleLabel()) {
        demo.say("the demo screen could not be built");
        return false;
    }
    // The inbox's count arrives from the service after the screen has loaded.
    demo.loop().runUntil([] { return false; }, 1.0);
    ui::Application::instance().layoutWindows();
    demo.say("\"" + screen->titleLabel()->text() + "\" in \"" + screen->appNameLabel()->text() + "\", inbox badge " +
             (screen->profileBadgeView()->isHidden() ? "hidden" : screen->profileBadgeLabel()->text()));
    bool written = demo.writePng(*window, picture);
    window->setHidden(true);
    return written;
}

} // namespace

VELKORA_DEMO_STEP(featureScreen, 410, DemoStep::NeedsService) {
    using namespace velkora;
    if (!demo.ensureSession()) return false;

    auto container = std::make_shared<DemoContainer>(demo);
    demo.say("a feature screen of the demo's own, as the kit draws it");
    bool shown = showScreen(demo, container, "feature_screen");
    demo.say("the same screen under a sample host style sheet");
    VelkoraAgentInternal::instance().setCustomStyleSheet(std::make_shared<SampleStyleSheet>());
    shown = showScreen(demo, container, "feature_screen_styled") && shown;
    VelkoraAgentInternal::instance().setCustomStyleSheet(nullptr);
    return shown;
}
