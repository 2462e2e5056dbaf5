// What a host's user sees of the chat rooms: the topic list, a busy topic with texts, stickers, pictures
// and an ad among them, and the same topic after the user posted a text and a photo.
#include <deque>
#include <memory>
#include <string>

#include "DemoHost.h"
#include "DemoSteps.h"
#include "VelkoraKitScreens.h"
#include "conversations/VelkoraChatRoomsTopicViewController.h"
#include "conversations/VelkoraChatRoomsViewController.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Label.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Window.h"
#include "server/VelkoraServerApi.h"
#include "server/VelkoraServerClientAgent.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraChatRoomsTopicsRepository.h"
#include "session/VelkoraScreenRegistry.h"
#include "shell/VelkoraGeneralFeatureViewController.h"

namespace {

using namespace velkora;

bool settled(foundation::RunLoop& loop) {
    return loop.runUntil(
        [] {
            return VelkoraServerClientAgent::instance().workingProtocolsWrappers().empty() &&
                   foundation::UrlConnection::activeCount() == 0;
        },
        20);
}

std::shared_ptr<ui::Image> demoPhoto() {
    auto context = ui::GraphicsContext::bitmap({800, 600}, 1.0, true);
    context->setFillColor(ui::Color::fromHex("#3A7BD5"));
    context->fillRect({0, 0, 800, 600});
    context->setFillColor(ui::Color::fromHex("#FFD166"));
    context->fillRect({200, 150, 400, 300});
    return context->makeImage();
}

} // namespace

VELKORA_DEMO_STEP(chatRooms, 630, DemoStep::NeedsService) {
    if (!demo.ensureSession()) return false;
    registerKitScreens();
    auto& loop = demo.loop();
    auto& repository = VelkoraChatRoomsTopicsRepository::instance();
    loop.runUntil([&] { return repository.didFinishLoading(); }, 20);
    auto host = std::make_shared<demo::DemoHost>();
    bool shown = true;

    demo.say("The chat rooms: every topic with its picture, age and counts");
    auto list = VelkoraChatRoomsViewController::initFromNib(true);
    auto hostScreen = demo::showAsHostScreen(list, host);
    auto& nav = hostScreen.nav;
    auto& window = hostScreen.window;
    loop.advance(0.5);
    settled(loop);
    loop.advance(0.5);
    window->layoutIfNeeded();
    shown &= demo.writePng(*window, "chatrooms_list");

    VelkoraChatRoomsTopicPtr busy;
    for (const auto& t : repository.getActiveTopics())
        if (t->title().value_or("").rfind("The busy room", 0) == 0) busy = t;
    if (!busy) {
        demo.say("The busy room is not in the list");
        return false;
    }
    demo.say("The busy room: texts, stickers and pictures, with an ad among them");
    auto topic = VelkoraChatRoomsTopicViewController::initWithTopic(busy);
    topic->setFeatureTabDelegate(host);
    nav->pushViewController(topic, false);
    loop.advance(1);
    loop.runUntil([&] { return topic->alreadyGotTopic() && !topic->commentsTableView()->isHidden(); }, 20);
    // The ad network's promotions arrive after the comments.
    loop.runUntil([&] { return !topic->adRowsDict().empty(); }, 20);
    settled(loop);
    loop.advance(1);
    settled(loop);
    window->layoutIfNeeded();
    shown &= demo.writePng(*window, "chatrooms_topic");

    demo.say("The user posts a text and a photo; both show at once");
    const size_t before = topic->activeComments().size();
    topic->postCommentText()->setText("Hello from the demo 👋");
    topic->postButtonClicked(nullptr);
    loop.runUntil([&] { return topic->activeComments().size() > before; }, 20);
    topic->imageSelected(demoPhoto());
    loop.runUntil([&] { return topic->activeComments().size() > before + 1; }, 20);
    settled(loop);
    loop.advance(1);
    settled(loop);
    window->layoutIfNeeded();
    shown &= demo.writePng(*window, "chatrooms_topic_posted");
    shown &= topic->activeComments().size() >= before + 2;
    nav->popViewController(false);
    loop.advance(3);
    return shown;
}
