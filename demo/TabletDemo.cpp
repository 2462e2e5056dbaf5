// The kit's main screens on a tablet, where each is made from its tablet interface file: the activity feed,
// the chat rooms, the inbox, the user's profile, the sticker store and the feedback menu.
#include <memory>
#include <string>
#include <vector>

#include "DemoHost.h"
#include "DemoSteps.h"
#include "VelkoraKitScreens.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
#include "server/VelkoraServerClientAgent.h"
#include "session/VelkoraScreenRegistry.h"

namespace {

using namespace velkora;

// The device is a tablet while it lives, and a phone again after.
struct AsTablet {
    AsTablet() {
        ui::Device::current().setUserInterfaceIdiom(ui::UserInterfaceIdiom::Pad);
        ui::Screen::main().setBounds({0, 0, 768, 1024});
    }
    ~AsTablet() {
        ui::Device::current().setUserInterfaceIdiom(ui::UserInterfaceIdiom::Phone);
        ui::Screen::main().setBounds({0, 0, 320, 568});
    }
};

bool settled() {
    return VelkoraServerClientAgent::instance().workingProtocolsWrappers().empty() &&
           foundation::UrlConnection::activeCount() == 0;
}

} // namespace

VELKORA_DEMO_STEP(tabletScreens, 900, DemoStep::NeedsService) {
    if (!demo.ensureSession()) return false;
    registerKitScreens();
    demo::ensureUserData(demo);
    // What earlier steps left on screen is not part of this one.
    for (const auto& w : ui::Application::instance().windows())
        w->setHidden(true);
    AsTablet tablet;
    auto host = std::make_shared<demo::DemoHost>();
    struct Screen {
        const char* feature;
        const char* picture;
        const char* what;
    };
    const std::vector<Screen> screens{
        {"feed", "tablet_feed", "the activity feed"},
        {"blog", "tablet_chatrooms", "the chat rooms"},
        {"inbox", "tablet_inbox", "the inbox"},
        {"myprofile", "tablet_my_profile", "the user's own profile"},
        {"stickerStore", "tablet_sticker_store", "the sticker store"},
        {"feedback", "tablet_feedback_menu", "the feedback menu"},
    };
    auto& loop = demo.loop();
    bool shown = true;
    for (const Screen& s : screens) {
        auto screen = VelkoraScreenRegistry::instance().makeScreen(s.feature);
        if (!screen) {
            demo.say(std::string(s.feature) + " is not part of this build");
            shown = false;
            continue;
        }
        demo.say(std::string("On a tablet: ") + s.what);
        auto window = demo::showAsHostScreen(screen, host).window;
        for (int i = 0; i < 4; ++i) {
            loop.advance(0.5);
            loop.runUntil(settled, 20);
            window->layoutIfNeeded();
        }
        shown &= demo.writePng(*window, s.picture);
        loop.advance(3);
        window->setHidden(true);
    }
    return shown;
}
