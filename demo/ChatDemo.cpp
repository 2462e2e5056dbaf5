// What a host's user sees of a one-to-one chat: Mira's welcome messages under their days, a text and a
// photo from the device's album sent to her, stickers both ways, and that photo opened full screen. It runs early,
// while the session is still the fresh user the service welcomed (a later step signs in as someone else).
#include <memory>
#include <string>

#include "DemoHost.h"
#include "DemoSteps.h"
#include "VelkoraKitScreens.h"
#include "conversations/VelkoraChatOneCells.h"
#include "conversations/VelkoraChatOneViewController.h"
#include "conversations/VelkoraFullScreenImageViewController.h"
#include "platform/foundation/RunLoop.h"
#include "platform/services/OutsideEndpoints.h"
#include "platform/ui/GraphicsContext.h"
#include "platform/ui/Image.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TextField.h"
#include "platform/ui/Window.h"
#include "server/VelkoraServerApi.h"
#include "server/VelkoraServerClientAgent.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraChatsRepository.h"
#include "session/VelkoraScreenRegistry.h"

namespace {

using namespace velkora;

// A photo-sized sunset, drawn at the size a camera gives so that nothing in the chat is scaled up from a
// thumbnail.
std::shared_ptr<ui::Image> albumPhoto() {
    auto context = ui::GraphicsContext::bitmap({800, 600}, 1.0, true);
    context->drawLinearGradient(
        {ui::Color::fromHex("#2B1B5A"), ui::Color::fromHex("#C2456A"), ui::Color::fromHex("#F6A04D")}, {0, 0.55, 1},
        {0, 0}, {0, 420});
    context->setFillColor(ui::Color::fromHex("#FFD27A"));
    context->fillEllipseInRect({310, 310, 180, 180});
    context->setFillColor(ui::Color::fromHex("#1F3B73"));
    context->fillRect({0, 420, 800, 180});
    context->setFillColor(ui::Color::fromHex("#F6A04D"));
    for (int i = 0; i < 6; ++i)
        context->fillRect({330.0 + i * 6, 440.0 + i * 22, 140.0 - i * 12, 4});
    return context->makeImage();
}

bool allSent(const VelkoraChatOneViewController& screen) {
    for (const auto& m : screen.dataSource()->allMessages())
        if (screen.dataSource()->sendState(m.get()) != VelkoraChatSendState::Sent) return false;
    return true;
}

} // namespace

VELKORA_DEMO_STEP(oneToOneChat, 150, DemoStep::NeedsService) {
    if (!demo.ensureSession()) return false;
    registerKitScreens();
    auto& loop = demo.loop();
    auto host = std::make_shared<demo::DemoHost>();
    // The inbox's list first, so the session's own poll carries the chat's live messages.
    VelkoraChatsRepository::instance();
    loop.runUntil([] { return VelkoraChatsRepository::instance().didFinishLoading(); }, 20);

    demo.say("A chat with Mira: her welcome messages under their days");
    auto screen = std::dynamic_pointer_cast<VelkoraChatOneViewController>(VelkoraScreenRegistry::instance().makeScreen(
        "chat", foundation::Value(foundation::Dictionary{{"object1", foundation::Value("u-mira")}})));
    if (!screen) {
        demo.say("chat: no screen");
        return false;
    }
    auto hostScreen = demo::showAsHostScreen(screen, host);
    auto& nav = hostScreen.nav;
    auto& window = hostScreen.window;
    loop.advance(0.5);
    if (!loop.runUntil([&] { return screen->loaded(); }, 20)) {
        demo.say("the chat did not load");
        return false;
    }
    demo.say("A text and a photo from the album, sent to Mira");
    screen->sendMessageText()->setText("Thanks Mira! Here is the view from my balcony.");
    screen->sendMessageButtonTapped(nullptr);
    screen->imageSelected(albumPhoto());
    bool sent = loop.runUntil([&] { return allSent(*screen); }, 30);
    auto& rows = *screen->dataSource();
    std::shared_ptr<VelkoraImageMessageTableCell> photo;
    loop.runUntil(
        [&] {
            loop.advance(0.1);
            window->layoutIfNeeded();
            for (auto& cell : screen->messagesTable()->visibleCells())
                if (auto p = std::dynamic_pointer_cast<VelkoraImageMessageTableCell>(cell);
                    p && p->myImageView()->image())
                    photo = p;
            return photo != nullptr;
        },
        20);
    loop.advance(0.5);
    window->layoutIfNeeded();
    bool shown = sent && photo && demo.writePng(*window, "chat");
    demo.say(std::to_string(rows.allMessages().size()) + " messages in " +
             std::to_string(rows.sectionsToDates().size()) + " days");

    demo.say("A sticker sent to Mira from the sticker keyboard, and one she sends back");
    const std::string stickers = services::OutsideEndpoints::serviceHost() + "/pictures/stickers/smileys/";
    screen->stickerSelected(stickers + "1.png");
    const bool stickerSent = loop.runUntil([&] { return allSent(*screen); }, 30);
    const bool stickerCame = demo::seededUserWrites(demo, "u-mira", stickers + "3.png", "sticker");
    VelkoraServerApi::updateNow();
    auto stickerRows = [&] {
        int mine = 0, hers = 0;
        loop.advance(0.1);
        window->layoutIfNeeded();
        for (auto& cell : screen->messagesTable()->visibleCells())
            if (auto row = std::dynamic_pointer_cast<VelkoraStickerMessageTableCell>(cell)) {
                auto& picture = row->myView()->isHidden() ? row->otherStickerImageView() : row->myStickerImageView();
                if (picture && picture->image()) ++(row->myView()->isHidden() ? hers : mine);
            }
        return mine > 0 && hers > 0;
    };
    const bool bothStickers = stickerSent && stickerCame && loop.runUntil(stickerRows, 20);
    loop.advance(0.5);
    window->layoutIfNeeded();
    shown = bothStickers && demo.writePng(*window, "chat_stickers") && shown;

    demo.say("The photo opened full screen");
    if (photo) photo->imageClicked(nullptr);
    loop.advance(1);
    auto viewer = std::dynamic_pointer_cast<VelkoraFullScreenImageViewController>(nav->topViewController());
    if (!viewer || !loop.runUntil([&] { return viewer->origImageWidth() > 0; }, 20)) {
        demo.say("the viewer did not show the photo");
        return false;
    }
    loop.advance(0.5);
    window->layoutIfNeeded();
    shown = demo.writePng(*window, "chat_viewer") && shown;
    loop.advance(3);
    return shown;
}
