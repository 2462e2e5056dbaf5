// What a host's user sees of stickers and feedback: the sticker store, a free pack added and a paid one
// bought on the demo device's store account (its receipt checked by the service), the sticker keyboard
// with the new tabs, a pack's own screen, the feedback menu and a feedback sent to the application's owner.
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "BuildPaths.h"
#include "BuildTreeModules.h"
#include "DemoHost.h"
#include "DemoSteps.h"
#include "VelkoraKitScreens.h"
#include "conversations/VelkoraChatOneViewController.h"
#include "conversations/VelkoraEnhancedKeyboardView.h"
#include "conversations/VelkoraFeedbackViewController.h"
#include "conversations/VelkoraStickerPackStatusManager.h"
#include "conversations/VelkoraStickerPackViewController.h"
#include "conversations/VelkoraStickerStoreViewController.h"
#include "conversations/VelkoraStickersIAPHelper.h"
#include "data/VelkoraUserInternal.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UrlConnection.h"
#include "platform/services/Device.h"
#include "platform/services/OutsideEndpoints.h"
#include "platform/ui/Application.h"
#include "platform/ui/KeyboardView.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TextView.h"
#include "platform/ui/Window.h"
#include "server/VelkoraServerApi.h"
#include "server/VelkoraServerClientAgent.h"
#include "server/utils/VelkoraDynamicFrameworkLoader.h"
#include "session/VelkoraAgentInternal.h"
#include "session/VelkoraScreenRegistry.h"
#include "shell/VelkoraDefaultOKPopupView.h"
#include "shell/VelkoraGeneralFeatureViewController.h"
#include "shell/VelkoraLazyImageView.h"

namespace {

using namespace velkora;

using demo::DemoHost;

struct KeyboardHost : VelkoraEnhancedKeyboardDelegate {
    void imageSelected(const std::shared_ptr<ui::Image>&) override {}
    void stickerSelected(const std::string&) override {}
    void openStickersStore() override {}
};

// The demo device's store account, unless a step before loaded the device or the host was given one.
bool loadDevice(demo::Demo& demo) {
    if (std::getenv("VELKORA_DEVICE") || services::Device::instance().storeAccount()) return true;
    std::string path = std::string(VELKORA_SERVICE_SEED_DIR) + "/../../demo/device.json";
    if (auto error = services::Device::instance().loadProfile(path)) {
        demo.say("the demo device could not be read: " + error->description());
        return false;
    }
    return true;
}

bool allLoaded(ui::View& view) {
    if (auto* lazy = dynamic_cast<VelkoraLazyImageView*>(&view))
        if (lazy->cachedImageFetcher() && !lazy->imageLoaded() && !lazy->image()) return false;
    for (const auto& sub : view.subviews())
        if (!allLoaded(*sub)) return false;
    return true;
}

// Until the kit's requests are answered and the pictures asked for have come.
void settle(demo::Demo& demo, ui::Window* window) {
    auto& loop = demo.loop();
    loop.runUntil([] { return VelkoraServerClientAgent::instance().workingProtocolsWrappers().empty(); }, 20);
    loop.advance(0.5);
    if (window) window->layoutIfNeeded();
    loop.runUntil([&] { return foundation::UrlConnection::activeCount() == 0 && (!window || allLoaded(*window)); }, 20);
    loop.advance(0.5);
    if (window) window->layoutIfNeeded();
}

std::shared_ptr<VelkoraDefaultOKPopupView> popupShown(ui::View& view) {
    for (const auto& sub : view.subviews()) {
        auto popup = std::dynamic_pointer_cast<VelkoraDefaultOKPopupView>(sub);
        if (popup && !sub->isHidden() && sub->alpha() >= 1.0) return popup;
        if (auto inner = popupShown(*sub)) return inner;
    }
    return nullptr;
}

std::shared_ptr<VelkoraDefaultOKPopupView> popupShownAnywhere() {
    for (const auto& w : ui::Application::instance().windows())
        if (!w->isHidden())
            if (auto popup = popupShown(*w)) return popup;
    return nullptr;
}

demo::HostScreen show(const std::shared_ptr<ui::ViewController>& screen, const std::shared_ptr<DemoHost>& host) {
    auto shown = demo::showAsHostScreen(screen, host);
    shown.window->layoutIfNeeded();
    return shown;
}

std::shared_ptr<VelkoraStickerStoreCell> rowOf(VelkoraStickerStoreViewController& store, size_t i) {
    return std::dynamic_pointer_cast<VelkoraStickerStoreCell>(
        store.packTable()->cellForRowAtIndexPath(ui::IndexPath::of(static_cast<int>(i), 0)));
}

// Taps the pack's action button in its row and waits until the pack is the user's.
bool addFromRow(demo::Demo& demo, VelkoraStickerStoreViewController& store, size_t i) {
    auto row = rowOf(store, i);
    if (!row) return false;
    const int32_t packId = store.packs()[i]->packId();
    row->actionClicked(nullptr);
    auto& status = VelkoraStickerPackStatusManager::instance();
    return demo.loop().runUntil([&] { return status.getStickerPack(packId) != nullptr; }, 30);
}

bool stickerStore(demo::Demo& demo, const std::shared_ptr<DemoHost>& host) {
    auto& loop = demo.loop();
    // The host asks for the sticker store by its feature name, as the screen registry knows it.
    auto store = std::dynamic_pointer_cast<VelkoraStickerStoreViewController>(
        VelkoraScreenRegistry::instance().makeScreen("stickerStore"));
    if (!store) {
        demo.say("the sticker store is not part of this build");
        return false;
    }
    auto shown = show(store, host);
    settle(demo, shown.window.get());
    if (store->packs().empty()) {
        demo.say("the sticker store listed no packs");
        return false;
    }
    size_t freePack = store->packs().size(), paidPack = store->packs().size();
    for (size_t i = 0; i < store->packs().size(); ++i) {
        size_t& first = store->packs()[i]->isFree() ? freePack : paidPack;
        if (first == store->packs().size()) first = i;
    }
    bool shownAll = true;
    demo.say("The sticker store, opened by the host by its feature name \"stickerStore\": free and paid packs, "
             "and the row that restores purchases");
    settle(demo, shown.window.get());
    shownAll &= demo.writePng(*shown.window, "stickers_store");
    if (freePack < store->packs().size()) {
        demo.say("Adding the free pack \"" + store->packs()[freePack]->title().value_or("") + "\"");
        shownAll &= addFromRow(demo, *store, freePack);
    }
    if (paidPack < store->packs().size()) {
        loop.runUntil([] { return VelkoraStickersIAPHelper::instance().didGetStoreData(); }, 20);
        demo.say(std::string("Buying \"") + store->packs()[paidPack]->title().value_or("") +
                 "\": the store asks the user to confirm the price; the service then checks the receipt");
        demo::askBeforeNextPurchase();
        auto row = rowOf(*store, paidPack);
        const int32_t packId = store->packs()[paidPack]->packId();
        if (row) row->actionClicked(nullptr);
        shownAll &= row && demo::confirmPurchase(demo, "stickers_purchase_confirm");
        auto& status = VelkoraStickerPackStatusManager::instance();
        shownAll &= loop.runUntil([&] { return status.getStickerPack(packId) != nullptr; }, 30);
    }
    settle(demo, shown.window.get());
    store->packTable()->reloadData();
    settle(demo, shown.window.get());
    demo.say("The store again: the two packs installed");
    shownAll &= demo.writePng(*shown.window, "stickers_store_installed");

    // The pack screen of the last pack on offer, pushed as the store pushes it.
    auto pack = VelkoraStickerPackViewController::create(store->packs().back());
    pack->setFeatureTabDelegate(host);
    shown.nav->pushViewController(pack, false);
    settle(demo, shown.window.get());
    demo.say("A pack's own screen: icon, title, subtitle, its button and every sticker");
    shownAll &= demo.writePng(*shown.window, "stickers_pack");
    loop.advance(3); // notices close before the window goes
    shown.window->setHidden(true);
    return shownAll;
}

// The keyboard as it comes up under a chat's text field, on its own: the space above it is the chat's.
bool stickerKeyboard(demo::Demo& demo) {
    auto screen = std::make_shared<ui::ViewController>();
    auto window = ui::Window::createFullScreen();
    window->setRootViewController(screen);
    window->makeKeyAndVisible();
    screen->view()->setBackgroundColor(ui::Color::fromHex("#F2F3F5"));
    auto delegate = std::make_shared<KeyboardHost>();
    auto keyboard = VelkoraStickersKeyboardView::initFromNibWithVC(screen, delegate);
    if (!keyboard) return false;
    const ui::Rect b = window->bounds();
    keyboard->setFrame(ui::Rect(0, b.height() - keyboard->frame().height(),
                                VelkoraEnhancedKeyboardView::widthAdjustedForInterfaceOrientation(),
                                keyboard->frame().height()));
    screen->view()->addSubview(keyboard);
    settle(demo, window.get());
    demo.say("The sticker keyboard: the recent tab, a tab per pack, the store tab and a page of stickers");
    const bool written = demo.writePng(*keyboard, "stickers_keyboard");
    window->setHidden(true);
    return written;
}

// The same keyboard where a person meets it: under the chat with Mira, switched to from the text field, with
// the packs just added.
bool chatStickerKeyboard(demo::Demo& demo, const std::shared_ptr<DemoHost>& host) {
    auto& loop = demo.loop();
    auto screen = std::dynamic_pointer_cast<VelkoraChatOneViewController>(VelkoraScreenRegistry::instance().makeScreen(
        "chat", foundation::Value(foundation::Dictionary{{"object1", foundation::Value("u-mira")}})));
    if (!screen) return false;
    auto shown = demo::showAsHostScreen(screen, host);
    if (!loop.runUntil([&] { return screen->loaded(); }, 20)) {
        demo.say("the chat did not load");
        return false;
    }
    // The user of this step has not written to Mira yet: a sticker opens the conversation.
    screen->stickerSelected(services::OutsideEndpoints::serviceHost() + "/pictures/stickers/smileys/2.png");
    if (!loop.runUntil(
            [&] {
                loop.advance(0.1);
                shown.window->layoutIfNeeded();
                return !screen->messagesTable()->visibleCells().empty();
            },
            20)) {
        demo.say("the sticker did not show in the chat");
        return false;
    }
    // The keyboard's own window is drawn only for this picture: the other pictures show the kit's windows.
    ui::KeyboardKeys::setShown(true);
    screen->keyboardSwitchClicked(nullptr);
    settle(demo, shown.window.get());
    demo.say("The sticker keyboard in the chat with Mira: the conversation above, the packs' stickers below");
    const bool written = demo.writeScreenPng("chat_sticker_keyboard");
    screen->resetKeyboard();
    loop.advance(1);
    ui::KeyboardKeys::setShown(false);
    shown.window->setHidden(true);
    return written;
}

bool feedback(demo::Demo& demo, const std::shared_ptr<DemoHost>& host) {
    auto& loop = demo.loop();
    bool shownAll = true;
    auto menu = VelkoraScreenRegistry::instance().makeScreen("feedback");
    if (!menu) return false;
    auto shown = show(menu, host);
    settle(demo, shown.window.get());
    demo.say("The feedback menu: talk to us and the rows the application's configuration enables");
    shownAll &= demo.writePng(*shown.window, "feedback_menu");

    auto talk = std::dynamic_pointer_cast<VelkoraFeedbackTalkToUsViewController>(
        VelkoraScreenRegistry::instance().makeScreen("talkToUs"));
    if (!talk) return false;
    auto talkShown = show(talk, host);
    settle(demo, talkShown.window.get());
    if (!talk->feedbackText()) return false;
    talk->bugModeTapped(nullptr);
    talk->updateNumStars(4);
    talk->feedbackText()->becomeFirstResponder();
    talk->feedbackText()->insertText("The sticker keyboard is lovely. Could it remember my last tab?");
    talk->feedbackText()->resignFirstResponder();
    talkShown.window->layoutIfNeeded();
    demo.say("Talk to us: a bug report with four stars, about to go to the owner's inbox");
    shownAll &= demo.writePng(*talkShown.window, "talk_to_us");
    talk->sendTapped(nullptr);
    shownAll &= loop.runUntil([&] { return !talk->isSending(); }, 30);
    // The popup shows in a window of its own, above the screen.
    if (!popupShownAnywhere()) {
        demo.say("the feedback was not sent");
        shownAll = false;
    }
    settle(demo, talkShown.window.get());
    demo.say("Sent: the thank-you popup");
    shownAll &= demo.writeScreenPng("talk_to_us_sent");
    // The user closes the thank-you popup, so it covers none of the later steps' pictures.
    if (auto popup = popupShownAnywhere()) popup->okTapped(nullptr);
    loop.advance(3);
    if (popupShownAnywhere()) {
        demo.say("the thank-you popup did not close");
        shownAll = false;
    }
    return shownAll;
}

} // namespace

VELKORA_DEMO_STEP(stickersAndFeedback, 700, DemoStep::NeedsService) {
    if (!demo.ensureSession()) return false;
    demo::useBuildTreeModules("StoreKit");
    if (!loadDevice(demo)) return false;
    registerKitScreens();
    demo::ensureUserData(demo);
    auto& session = VelkoraAgentInternal::instance();
    session.updateStickerPacksInfo();
    auto host = std::make_shared<DemoHost>();
    bool shown = stickerStore(demo, host);
    shown &= stickerKeyboard(demo);
    shown &= chatStickerKeyboard(demo, host);
    shown &= feedback(demo, host);
    return shown;
}
