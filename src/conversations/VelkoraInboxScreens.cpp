#include "conversations/VelkoraInboxScreens.h"

#include "conversations/VelkoraChatsHistoryViewController.h"
#include "conversations/VelkoraEnhancedKeyboardView.h"
#include "conversations/VelkoraGeneralSystemMessageViewController.h"
#include "conversations/VelkoraNewMessageChooserViewController.h"
#include "people/VelkoraInviteHeaderView.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/TextField.h"
#include "platform/ui/WebView.h"
#include "session/VelkoraScreenRegistry.h"
#include "shell/VelkoraLazyImageView.h"
#include "shell/VelkoraWidgetClasses.h"

namespace velkora {

void registerInboxViewClasses() {
    registerStickerViewClasses();
    auto& loader = ui::InterfaceLoader::instance();
    if (!loader.hasClass("WebView")) loader.registerClass("WebView", [] { return ui::WebView::create(); });
    if (!loader.hasClass("TextField")) loader.registerClass<ui::TextField>("TextField");
    if (!loader.hasClass("VelkoraChatsHistoryTableCell"))
        loader.registerClass<VelkoraChatsHistoryTableCell>("VelkoraChatsHistoryTableCell");
    if (!loader.hasClass("VelkoraNewMessageChooserCell"))
        loader.registerClass<VelkoraNewMessageChooserCell>("VelkoraNewMessageChooserCell");
}

void registerInboxScreens() {
    registerInboxViewClasses();
    VelkoraScreenRegistry::instance().registerScreen(
        "inbox", [](const foundation::Value&) -> std::shared_ptr<ui::ViewController> {
            return VelkoraChatsHistoryViewController::initFromNib();
        });
}

void pushChatScreen(ui::ViewController& from, const std::shared_ptr<VelkoraUserInternal>& user) {
    if (!user) return;
    foundation::Dictionary arguments{
        {VelkoraScreenArguments::kObject1, foundation::Value::object(user)},
        {VelkoraScreenArguments::kOpenedAs, foundation::Value(VelkoraScreenArguments::kOpenedInNavigation)}};
    auto screen = VelkoraScreenRegistry::instance().makeScreen("chat", foundation::Value(std::move(arguments)));
    if (!screen) return;
    if (auto* opener = dynamic_cast<VelkoraGeneralFeatureViewController*>(&from))
        if (auto feature = std::dynamic_pointer_cast<VelkoraGeneralFeatureViewController>(screen))
            feature->setFeatureTabDelegate(opener->featureTabDelegate());
    if (auto* nav = from.navigationController()) nav->pushViewController(screen, true);
}

} // namespace velkora
