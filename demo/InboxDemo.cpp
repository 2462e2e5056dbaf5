// What a host's user sees of the inbox: the owner's welcome in the list of conversations, the owner's
// message opened in its own screen, and the chooser of a new message's recipient among the user's friends.
#include <memory>
#include <string>

#include "DemoHost.h"
#include "DemoSteps.h"
#include "VelkoraKitScreens.h"
#include "conversations/VelkoraGeneralSystemMessageViewController.h"
#include "conversations/VelkoraNewMessageChooserViewController.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/WebView.h"
#include "platform/ui/Window.h"
#include "server/VelkoraServerApi.h"
#include "server/VelkoraServerClientAgent.h"
#include "session/VelkoraChatsRepository.h"
#include "session/VelkoraScreenRegistry.h"
#include "shell/VelkoraGeneralFeatureViewController.h"

namespace {

using namespace velkora;

bool idle() {
    return VelkoraServerClientAgent::instance().workingProtocolsWrappers().empty();
}

// Shows a screen in a window of its own until `ready` holds and its requests are answered, then writes it.
bool showScreen(
    demo::Demo& demo, const std::shared_ptr<demo::DemoHost>& host, const std::shared_ptr<ui::ViewController>& screen,
    const std::string& picture, const std::function<bool()>& ready = [] { return true; }) {
    if (!screen) return false;
    auto window = demo::showAsHostScreen(screen, host).window;
    auto& loop = demo.loop();
    loop.advance(0.5);
    loop.runUntil([&] { return ready() && idle(); }, 20);
    // Pictures come over the network without the service client: give them a moment.
    loop.runUntil([] { return false; }, 2);
    loop.advance(0.5);
    window->layoutIfNeeded();
    const bool written = demo.writePng(*window, picture);
    loop.advance(3);
    return written;
}

} // namespace

VELKORA_DEMO_STEP(inboxAndChooser, 300, DemoStep::NeedsService) {
    if (!demo.ensureSession()) return false;
    registerKitScreens();
    // The application's configuration decides the chooser's sections (talk to us, people nearby).
    {
        bool answered = false;
        auto waiter = std::make_shared<int>(0);
        VelkoraServerApi::getAppData(VelkoraCallback::make(
            waiter, [&](const foundation::Value&) { answered = true; },
            [&](const foundation::ErrorPtr&) { answered = true; }));
        demo.loop().runUntil([&] { return answered; }, 20);
    }
    auto host = std::make_shared<demo::DemoHost>();
    auto& chats = VelkoraChatsRepository::instance();
    bool shown = true;

    demo.say("The inbox of a new user: the team's welcome messages, newest first, with the unread badge");
    shown &= showScreen(demo, host, VelkoraScreenRegistry::instance().makeScreen("inbox"), "inbox",
                        [&] { return chats.didFinishLoading(); });

    VelkoraMessagePtr welcome;
    for (const auto& chat : chats.getActiveChats())
        if (chat && chat->systemChat() && !chat->messages().empty()) welcome = chat->messages().front();
    if (welcome) {
        demo.say("The team's newest message in its own screen: the page it links to, and a button to chat");
        auto screen = VelkoraGeneralSystemMessageViewController::create(welcome);
        shown &= showScreen(demo, host, screen, "inbox_system_message",
                            [&] { return screen->linkWebView() && !screen->linkWebView()->isLoading(); });
    } else {
        demo.say("No message of the team arrived");
        shown = false;
    }

    demo.say("A new message: talk to us, and the friends who follow the user or whom the user follows");
    auto chooser = VelkoraNewMessageChooserViewController::create();
    shown &= showScreen(demo, host, chooser, "inbox_chooser", [&] { return !chooser->friendsList().empty(); });
    return shown;
}
